#pragma once
#include "Core/CObjectEventBridgeHandler.h"

namespace tal {

class CUIEventBridge;

// The object of tag "ui:ui-event-bridge" (the editor's "ui"): the top of the editor's tree and the
// nearest event bridge of every object below it. It owns its poster and runs the calls delivered
// through it on the thread that created it. Releasing it drops its undelivered events before its
// children go.
class CStdEventBridge : public CObjectEventBridgeHandler {
public:
    CStdEventBridge();
    ~CStdEventBridge() override;

    static CObject* create();

    void releaseLinks() override;

    CUIEventBridge& poster() const noexcept { return *mPoster; }

private:
    CUIEventBridge* mPoster;   // owned
};

} // namespace tal
