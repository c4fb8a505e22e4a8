#include "UI/KeyFocusHolder.h"

#include "Platform/CWindowBackend.h"
#include "UI/CWindowRenderer.h"

#include <mutex>

namespace tal {

namespace {

struct KeyFocusRecord {
    std::recursive_mutex mutex;
    CWindowRenderer* holder = nullptr;   // not owned
};

KeyFocusRecord& record() {
    static KeyFocusRecord instance;
    return instance;
}

} // namespace

void setKeyFocusWindow(CWindowRenderer* renderer) {
    KeyFocusRecord& r = record();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    if (renderer == nullptr || r.holder == renderer)
        return;
    if (r.holder != nullptr)
        releaseKeyFocusWindow(r.holder);   // takes the mutex a second time
    r.holder = renderer;
    if (CWindowBackend* backend = CWindowBackend::current(); backend != nullptr && renderer->windowId() != 0)
        backend->setKeyboardFocus(renderer->windowId());
}

void releaseKeyFocusWindow(CWindowRenderer* renderer) {
    KeyFocusRecord& r = record();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    if (r.holder == renderer)
        r.holder = nullptr;
}

CWindowRenderer* getKeyFocusWindow() {
    KeyFocusRecord& r = record();
    std::lock_guard<std::recursive_mutex> lock(r.mutex);
    return r.holder;
}

} // namespace tal
