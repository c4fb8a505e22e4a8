#include "UI/CStdEventBridge.h"

#include "UI/CUIEventBridge.h"

namespace tal {

CStdEventBridge::CStdEventBridge() : mPoster(new CUIEventBridge(*this)) {
    setEventBridge(mPoster, std::this_thread::get_id());
}

CStdEventBridge::~CStdEventBridge() {
    setEventBridge(nullptr, std::thread::id());
    delete mPoster;
}

CObject* CStdEventBridge::create() { return new CStdEventBridge; }

void CStdEventBridge::releaseLinks() {
    mPoster->unregister();
    CObjectEventBridgeHandler::releaseLinks();
}

} // namespace tal
