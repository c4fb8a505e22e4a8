#include "Audio/VST/CAudioWrapperVST3Editor.h"

#include "Audio/VST/CAudioWrapperVST3.h"
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CXMLLoader.h"
#include "Core/Log.h"
#include "Platform/CEditorPlatformServices.h"
#include "Platform/CNativeEvent.h"
#include "Platform/CX11WindowBackend.h"
#include "UI/CFileDialog.h"
#include "UI/CView.h"
#include "UI/CViewArea.h"
#include "UI/CWindowRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace tal {

using namespace Steinberg;

namespace {

// The editor's background until its views stand in the window.
constexpr std::uint8_t kBackground[4] = {0x1c, 0x1f, 0x26, 0xff};

void logEditorLine(const std::string& text) { writeLog(("Editor: " + text).c_str(), true); }

void logAndFreeError(CError* error) {
    if (error) {
        logError(error);
        delete error;
    }
}

} // namespace

CAudioWrapperVST3Editor::CAudioWrapperVST3Editor(CAudioWrapperVST3& wrapper, ViewRect* size)
    : EditorView(&wrapper, size), mWrapper(wrapper), mAudioRoot(wrapper.getRoot()), mVisualScale(wrapper.getUIScale()) {}

CWindowBackend::WindowId CAudioWrapperVST3Editor::mainWindow() const noexcept {
    return mRenderer != nullptr ? mRenderer->windowId() : mWindow;
}

int CAudioWrapperVST3Editor::paintCount() const noexcept {
    return mRenderer != nullptr ? int(mRenderer->paintCounter()) : mPaintCount;
}

CError* CAudioWrapperVST3Editor::buildTree(void* parent) {
    CObject* root = nullptr;
    if (CError* err = CApplication::initRootObject(root, CString()))
        return traceError(err);
    mUiRoot = root;
    // Each setter's error is logged; the next one still runs.
    logAndFreeError(root->setIntAttr(CString("IsVST3"), 1, true));
    logAndFreeError(root->setPtrAttr(CString("BaseConnectorRootPtr"), &mAudioRoot, true));
    logAndFreeError(root->setPtrAttr(CString("ParentWindow"), parent, true));
    logAndFreeError(root->setDoubleAttr(CString("VisualScale"), mVisualScale, true));
    logAndFreeError(root->setAttr(CString("plugin-tech"), CString("VST3 PlugIn Technology by Steinberg"), true));
    if (CError* err = CXMLLoader::loadXMLData(*root, CString("UserInterface.xml"), false)) {
        destroyTree();
        return traceError(err);
    }
    mRenderer = dynamic_cast<CWindowRenderer*>(root->findObject(CString("ui.main-window.window-renderer")));
    return nullptr;
}

void CAudioWrapperVST3Editor::destroyTree() {
    if (mUiRoot == nullptr)
        return;
    CObject* root = mUiRoot;
    mUiRoot = nullptr;
    mRenderer = nullptr;
    CFileDialog::cancelRequestsOf(root->getEventRegistryId());
    root->release();
}

CAudioWrapperVST3Editor::~CAudioWrapperVST3Editor() {
    if (isAttached() || mWindow != 0 || mUiRoot != nullptr)
        removed();
    if (mRunLoop)
        mRunLoop->release();
}

tresult PLUGIN_API CAudioWrapperVST3Editor::isPlatformTypeSupported(FIDString type) {
    return type != nullptr && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::setFrame(IPlugFrame* frame) {
    EditorView::setFrame(frame);
    if (mRunLoop)
        mRunLoop->release();
    mRunLoop = nullptr;
    if (frame) {
        void* loop = nullptr;
        if (frame->queryInterface(Linux::IRunLoop::iid, &loop) == kResultOk)
            mRunLoop = static_cast<Linux::IRunLoop*>(loop);   // the reference queryInterface gave
    }
    return kResultTrue;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::attached(void* parent, FIDString type) {
    if (mWindow != 0 || mUiRoot != nullptr || isAttached())
        return kResultFalse;
    if (isPlatformTypeSupported(type) != kResultTrue) {
        logEditorLine(std::string("the platform type \"") + (type ? type : "") + "\" is not supported.");
        return kResultFalse;
    }
    if (mRunLoop == nullptr) {
        logEditorLine("the host's frame offers no run loop (Steinberg::Linux::IRunLoop); the editor cannot open.");
        return kResultFalse;
    }
    const tresult result = EditorView::attached(parent, type);
    if (result != kResultOk)
        return result;
    std::string error;
    CEditorPlatformServices* services = CEditorPlatformServices::acquire(mRunLoop, error);
    if (services == nullptr) {
        logEditorLine(error);
        EditorView::removed();
        return kResultFalse;
    }
    mHoldsServices = true;
    if (CError* err = buildTree(parent)) {
        logError(err);
        delete err;
        closeWindow();
        EditorView::removed();
        return kResultFalse;
    }
    if (mRenderer != nullptr) {
        applyRectToWindow();   // the host may have sized the view before it attached it
        mWrapper.setOpenEditor(this);
        return kResultOk;
    }
    logEditorLine("the description has no main window (ui.main-window.window-renderer); an empty editor is shown.");
    CWindowBackend::WindowParams params;
    params.width = rect.getWidth() / mContentScale;
    params.height = rect.getHeight() / mContentScale;
    params.scale = mContentScale;
    params.hostParent = std::uint64_t(reinterpret_cast<std::uintptr_t>(parent));
    params.mainWindow = true;
    CWindowBackend& backend = services->backend();
    if (CError* err = backend.createWindow(params, this, mWindow)) {
        logError(err);
        delete err;
        closeWindow();
        EditorView::removed();
        return kResultFalse;
    }
    backend.setVisible(mWindow, true);
    mWrapper.setOpenEditor(this);
    return kResultOk;
}

void CAudioWrapperVST3Editor::closeWindow() {
    if (mWindow != 0) {
        if (CEditorPlatformServices* services = CEditorPlatformServices::current())
            services->backend().destroyWindow(mWindow);
        mWindow = 0;
    }
    if (mHoldsServices) {
        mHoldsServices = false;
        CEditorPlatformServices::release();
    }
    mRows.clear();
    mRows.shrink_to_fit();
}

tresult PLUGIN_API CAudioWrapperVST3Editor::removed() {
    // The tree closes its windows through the backend, which goes with the last editor.
    destroyTree();
    closeWindow();
    mWrapper.clearOpenEditor(this);
    if (isAttached())
        EditorView::removed();
    return kResultOk;
}

void CAudioWrapperVST3Editor::onNativeEvent(const CNativeEvent& event) {
    if (event.type == CNativeEvent::Type::Closed) {
        mWindow = 0;                       // the host's window took ours with it
        return;
    }
    if (event.type != CNativeEvent::Type::Paint)
        return;
    CEditorPlatformServices* services = CEditorPlatformServices::current();
    if (services == nullptr || mWindow == 0)
        return;
    const int width = std::max(1, int(rect.getWidth())), height = std::max(1, int(rect.getHeight()));
    if (mRows.size() != std::size_t(width) * std::size_t(height) * 4) {
        mRows.resize(std::size_t(width) * std::size_t(height) * 4);
        for (std::size_t i = 0; i < mRows.size(); i += 4)
            std::memcpy(&mRows[i], kBackground, 4);
    }
    const int x0 = std::max(0, int(std::floor(event.x * mContentScale)));
    const int y0 = std::max(0, int(std::floor(event.y * mContentScale)));
    const int x1 = std::min(width, int(std::ceil((event.x + event.width) * mContentScale)));
    const int y1 = std::min(height, int(std::ceil((event.y + event.height) * mContentScale)));
    if (x1 > x0 && y1 > y0) {
        services->backend().present(mWindow, mRows.data(), width * 4, x0, y0, x1 - x0, y1 - y0, x0, y0);
        ++mPaintCount;
    }
}

void CAudioWrapperVST3Editor::applyRectToWindow() {
    if (mRenderer != nullptr && mRenderer->rootView() != nullptr) {
        // The description's main window: the host's content scale is the backend's pixel factor, the
        // renderer's window scale becomes the visual scale times it, and the root view takes the
        // host's pixel size in units of that window scale.
        CView* root = mRenderer->rootView();
        if (CEditorPlatformServices* services = CEditorPlatformServices::current())
            services->backend().setScreenScale(mContentScale);
        logAndFreeError(mRenderer->onUpdatePixelSize());
        const double scale = mRenderer->windowScale();
        logAndFreeError(root->setIntAttr(CString("width"), std::int32_t(std::lround(rect.getWidth() / scale)), true));
        logAndFreeError(root->setIntAttr(CString("height"), std::int32_t(std::lround(rect.getHeight() / scale)), true));
        logAndFreeError(mRenderer->onUpdateWindowBounds());
    }
    CEditorPlatformServices* services = CEditorPlatformServices::current();
    const CWindowBackend::WindowId window = mainWindow();
    if (services == nullptr || window == 0)
        return;
    services->backend().setScale(window, mContentScale);
    services->backend().setFrame(window, 0.0, 0.0, rect.getWidth() / mContentScale, rect.getHeight() / mContentScale);
}

tresult PLUGIN_API CAudioWrapperVST3Editor::onSize(ViewRect* newSize) {
    if (newSize == nullptr)
        return kInvalidArgument;
    const bool changed = newSize->getWidth() != rect.getWidth() || newSize->getHeight() != rect.getHeight();
    // The wrapper keeps the size at the content scale 1.
    mWrapper.onHostResize(std::int32_t(std::lround(newSize->getWidth() / mContentScale)),
                          std::int32_t(std::lround(newSize->getHeight() / mContentScale)));
    const tresult result = EditorView::onSize(newSize);
    if (changed)
        applyRectToWindow();
    return result;
}

bool CAudioWrapperVST3Editor::requestHostResize(std::int32_t width, std::int32_t height) {
    ViewRect wanted(0, 0, int32(std::lround(width * mContentScale)), int32(std::lround(height * mContentScale)));
    if (wanted.getWidth() == rect.getWidth() && wanted.getHeight() == rect.getHeight())
        return true;                       // an unchanged size asks nothing, so no loop with onSize
    if (plugFrame == nullptr) {
        rect = wanted;
        applyRectToWindow();
        return true;
    }
    return plugFrame->resizeView(this, &wanted) == kResultTrue;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::canResize() {
    return mWrapper.usesWindowResizing() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::checkSizeConstraint(ViewRect* r) {
    std::int32_t minWidth = 0, minHeight = 0;
    if (r == nullptr || !mWrapper.getMinWindowSize(minWidth, minHeight))
        return kResultFalse;
    const int32 w = int32(std::lround(minWidth * mContentScale)), h = int32(std::lround(minHeight * mContentScale));
    if (r->getWidth() < w)
        r->right = r->left + w;
    if (r->getHeight() < h)
        r->bottom = r->top + h;
    return kResultTrue;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::setContentScaleFactor(ScaleFactor factor) {
    if (!(factor >= 1.0f && factor <= 4.0f))
        return kResultFalse;
    if (double(factor) == mContentScale)
        return kResultTrue;
    const double baseWidth = rect.getWidth() / mContentScale, baseHeight = rect.getHeight() / mContentScale;
    mContentScale = factor;
    // The same editor at the new scale: the host is asked for the new pixel size.
    ViewRect wanted(0, 0, int32(std::lround(baseWidth * factor)), int32(std::lround(baseHeight * factor)));
    if (plugFrame && isAttached()) {
        applyRectToWindow();
        plugFrame->resizeView(this, &wanted);
    } else {
        rect = wanted;
    }
    return kResultTrue;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::onWheel(float) { return kResultOk; }

namespace {

// The host's virtual key codes (the VST 3 SDK's VirtualKeyCodes) of the special keys.
struct HostKeyCode {
    int16 hostCode;
    int code;
};
constexpr HostKeyCode kHostKeys[] = {
    {1, 0xE004},  {2, 0xE005},  {4, 0xE006},  {19, 0xE006}, {6, 0xE001},  {22, 0xE003}, {21, 0xE002},
    {10, 0xE007}, {9, 0xE008},  {15, 0xE009}, {16, 0xE00A}, {8, 0xE00A},  {11, 0xE00B}, {13, 0xE00C},
    {12, 0xE00D}, {14, 0xE00E}, {7, ' '},
};
// The host's modifier bits (KeyModifier): Shift, Alternate, Command (Control on Linux).
constexpr int16 kHostShift = 1 << 0, kHostAlternate = 1 << 1, kHostCommand = 1 << 2;

} // namespace

bool CAudioWrapperVST3Editor::hostKeyToNative(char16 key, int16 keyCode, int16 modifiers, bool down,
                                              CNativeEvent& out) {
    out = CNativeEvent{};
    out.type = down ? CNativeEvent::Type::KeyPress : CNativeEvent::Type::KeyRelease;
    out.keycode = 0;
    for (const HostKeyCode& k : kHostKeys)
        if (k.hostCode == keyCode)
            out.keycode = k.code;
    if (out.keycode == 0 && key >= 0x20 && key != 0x7f)
        out.keycode = key;
    if (modifiers & kHostShift)
        out.modifiers |= CNativeEvent::kShift;
    if (modifiers & kHostAlternate)
        out.modifiers |= CNativeEvent::kAlt;
    if (modifiers & kHostCommand)
        out.modifiers |= CNativeEvent::kCtrl;
    return out.keycode != 0;
}

tresult CAudioWrapperVST3Editor::forwardHostKey(char16 key, int16 keyCode, int16 modifiers, bool down) {
    CEditorPlatformServices* services = CEditorPlatformServices::current();
    if (mRenderer == nullptr || services == nullptr || services->backend().hasKeyboardFocus(mRenderer->windowId()))
        return kResultFalse;
    CNativeEvent event;
    if (!hostKeyToNative(key, keyCode, modifiers, down, event))
        return kResultFalse;
    mRenderer->onNativeEvent(event);
    // The host keeps its own use of the key (the editor cannot tell whether a view took it).
    return kResultFalse;
}

tresult PLUGIN_API CAudioWrapperVST3Editor::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
    return forwardHostKey(key, keyCode, modifiers, true);
}

tresult PLUGIN_API CAudioWrapperVST3Editor::onKeyUp(char16 key, int16 keyCode, int16 modifiers) {
    return forwardHostKey(key, keyCode, modifiers, false);
}

tresult PLUGIN_API CAudioWrapperVST3Editor::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, IPlugViewContentScaleSupport::iid)) {
        addRef();
        *obj = static_cast<IPlugViewContentScaleSupport*>(this);
        return kResultOk;
    }
    return EditorView::queryInterface(iid, obj);
}

} // namespace tal
