// The window renderer's popups, close requests, closing, the end of the native side and detaching.
#include "UI/CWindowRenderer.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/Log.h"
#include "UI/CIntervalTimer.h"
#include "UI/CUpdateTimer.h"
#include "UI/CView.h"
#include "UI/CWindowSharedData.h"
#include "UI/SchemeThunks.h"

namespace tal {

namespace {

CObject* objectAtArg(const CObject& from, CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    if (v == nullptr || v->asText().isEmpty())
        return nullptr;
    return from.findObject(v->asText());
}

} // namespace

void CWindowRenderer::initClosingScheme(CObjectScheme* scheme) {
    addArgsEventOf<CWindowRenderer, &CWindowRenderer::onPopupChanged>(scheme, "popup-changed");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onActivateWindow>(scheme, "activate-window");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onDeactivateWindow>(scheme, "deactivate-window");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onDeactivateTimer>(scheme, "deactivate-timer");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onPopupClose>(scheme, "popup-close");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onPopupPositionTimer>(scheme, "popup-position-timer");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onCloseWindow>(scheme, "close-window");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onCloseApp>(scheme, "close-app");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onPerformCloseWindow>(scheme, "perform-close-window");
}

// --- popups ---

CError* CWindowRenderer::onPopupChanged(CAttrMap& args) {
    CObject* opener = objectAtArg(*this, args, "opener");
    CWindowRenderer* popup = nullptr;
    if (CObject* p = objectAtArg(*this, args, "popup"))
        popup = dynamic_cast<CWindowRenderer*>(p->findObject(p->getTextAttr("window")));
    if (CWindowSharedData* data = sharedData())
        data->setPopup(opener, popup);
    return nullptr;
}

CError* CWindowRenderer::onActivateWindow() {
    CWindowSharedData* data = sharedData();
    CObject* self = findObject(CString("^"));
    CView* popupRoot = data != nullptr ? data->getPopupRootView() : nullptr;
    CWindowRenderer* popup = data != nullptr ? data->getPopup() : nullptr;
    if (self == nullptr || popupRoot == nullptr || popup == nullptr)
        return nullptr;
    if (self != popupRoot && !self->isBelow(popupRoot->getFullName()))
        return nullptr;
    return traceError(popup->setIntAttr(CString("popup-deactivated"), 0, true), getFullName());
}

CError* CWindowRenderer::onDeactivateWindow() {
    CWindowSharedData* data = sharedData();
    if (data == nullptr || data->getPopup() != this)
        return nullptr;
    return traceError(setIntAttr(CString("popup-deactivated"), 1, true), getFullName());
}

CError* CWindowRenderer::onDeactivateTimer() {
    if (!getBoolAttr("popup-deactivated"))
        return nullptr;
    return traceError(runEvent(CString("close-window")), getFullName());
}

CError* CWindowRenderer::onPopupClose() {
    CWindowSharedData* data = sharedData();
    CWindowRenderer* popup = data != nullptr ? data->getPopup() : nullptr;
    if (popup == nullptr)
        return nullptr;
    return traceError(popup->runEvent(CString("close-window")), getFullName());
}

CError* CWindowRenderer::onPopupPositionTimer() {
    CObject* owner = nullptr;
    if (mIsPopupWindow) {
        if (CWindowSharedData* data = sharedData(); data != nullptr && !data->popupOpenerPath().isEmpty())
            owner = findObject(data->popupOpenerPath());
    } else if (mIsHelperWindow && mRootView != nullptr) {
        owner = mRootView->parent();
    }
    auto* ownerView = dynamic_cast<CView*>(owner);
    CWindowRenderer* ownerWindow = ownerView != nullptr ? ownerView->getWindowRenderer() : nullptr;
    if (ownerWindow == nullptr || !ownerWindow->isOpened() || ownerWindow->windowId() == 0 ||
        ownerWindow->mBackend == nullptr)
        return nullptr;
    double x = 0.0, y = 0.0;
    ownerWindow->mBackend->windowOrigin(ownerWindow->windowId(), x, y);
    if (mOwnerX == 0.0 && mOwnerY == 0.0) {
        mOwnerX = x;
        mOwnerY = y;
    }
    if (x == mOwnerX && y == mOwnerY)
        return nullptr;
    if (mIsHelperWindow)
        if (CError* error = ownerWindow->runEvent(CString("focus-lost")))
            return traceError(error, getFullName());
    return traceError(runEvent(CString("close-window")), getFullName());
}

// --- closing ---

CError* CWindowRenderer::onCloseWindow() {
    // A closed window (waiting for its bridged release) is not asked again: a second queue would
    // release the root view twice.
    if (mIsClosed)
        return nullptr;
    CWindowSharedData* data = sharedData();
    if (data == nullptr)
        return nullptr;
    return traceError(data->closeWindow(this), getFullName());
}

CError* CWindowRenderer::onCloseApp() {
    CWindowSharedData* data = sharedData();
    CWindowRenderer* main = data != nullptr ? data->getMainWindow() : nullptr;
    if (main == nullptr || main->isEmbedded() || main->rootView() == nullptr)
        return nullptr;
    return traceError(main->rootView()->runEvent(CString("close-window")), getFullName());
}

CError* CWindowRenderer::onPerformCloseWindow() {
    if (mIsClosed)
        return nullptr;
    if (mIsOpened && !mIsEmbedded && mBackend != nullptr && mWindowId != 0)
        mBackend->setVisible(mWindowId, false);
    CWindowSharedData* data = sharedData();
    if (data != nullptr && data->isInEventPump()) {
        // The pump further up the stack still dispatches into this window: close after it returned.
        mIsClosing = true;
        CAttrMap args;
        postBridgedEvent(getFullName(), CString("perform-close-window"), args);
        return nullptr;
    }
    if (mIsPopupWindow && data != nullptr && data->getPopup() == this) {
        if (!data->popupOpenerPath().isEmpty())
            if (CObject* opener = findObject(data->popupOpenerPath()))
                if (CError* error = opener->runEvent(CString("popup-closed"))) {
                    // The close goes on: a window that stayed registered but hidden would never go.
                    logError(error);
                    delete error;
                }
        data->setPopup(nullptr, nullptr);
    }
    closeNativeWindow(true);
    mIsClosed = true;
    mRootView->releaseBridged();
    return nullptr;
}

void CWindowRenderer::closeNativeWindow(bool) {
    if (!mIsOpened && mWindowId == 0)
        return;
    if (CWindowSharedData* data = sharedData())
        data->showCursorForced();
    // Every timer stops here, not only those of a full close: a tick before the bridged release
    // must not start a second close of a window that is already gone.
    for (CObject* timer : {static_cast<CObject*>(mRenderTimer), static_cast<CObject*>(mDeactivateTimer),
                           static_cast<CObject*>(mActualPosTimer), static_cast<CObject*>(mPopupPositionTimer)})
        if (timer != nullptr)
            unlistenObject(timer->getFullName(), CString("tick"));
    releaseKeyFocusIfHeld();
    if (mBackend != nullptr && mWindowId != 0)
        mBackend->destroyWindow(mWindowId);
    mBackend = nullptr;
    mWindowId = 0;
    mNativeWindow = nullptr;
    mIsOpened = false;
    mIsWindowSizePending = false;
    mPaintCounter = 0;
}

void CWindowRenderer::detachFromParent() {
    storeWindowPosition();
    if (mRootView != nullptr) {
        const CString tag = mRootView->getTextAttr("window-tag");
        if (!tag.isEmpty())
            if (CView* main = mRootView->getMainRootView(); main != nullptr && main != mRootView)
                main->popups().registry.remove(tag);
    }
    if (mIsRegistered) {
        if (CWindowSharedData* data = sharedData()) {
            if (CError* error = data->unregisterWindow(this)) {
                logError(error);
                delete error;
            }
        }
        mIsRegistered = false;
    }
    closeNativeWindow(false);
    CObject::detachFromParent();
}

void CWindowRenderer::releaseKeyFocusIfHeld() {
    // The process-wide key-focus holder arrives with the input layer.
}

} // namespace tal
