#pragma once
#include "Platform/CNativeWindowSink.h"
#include "Platform/CWindowBackend.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include <cstdint>
#include <vector>

namespace tal {

class CAudioWrapperVST3;
class CObject;
class CWindowRenderer;

// The editor as a VST 3 host embeds it on Linux: an IPlugView for the platform type
// "X11EmbedWindowID" whose attached() builds the editor's object tree from "UserInterface.xml"
// (its root told "ParentWindow", the host's window id) on the host's run loop (from the IPlugFrame);
// the tree's main window renderer puts an X11 child window into the host's window. Size
// negotiation goes through the wrapper's window size; the host's content scale factor (1 to 4) is
// the pixel scale. A description without a main window gets an empty child window of the editor's
// size and background instead.
// Made by CAudioWrapperVST3::createView with one reference (it holds a reference on the wrapper);
// the host's last release destroys it. Host's main thread only.
class CAudioWrapperVST3Editor : public Steinberg::Vst::EditorView,
                                public Steinberg::IPlugViewContentScaleSupport,
                                private CNativeWindowSink {
public:
    static constexpr const char* kPlatformType = "X11EmbedWindowID";

    CAudioWrapperVST3Editor(CAudioWrapperVST3& wrapper, Steinberg::ViewRect* size);
    ~CAudioWrapperVST3Editor() override;

    // --- IPlugView ---
    Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
    // kResultFalse (and a log line) without a run loop from the frame, for another platform type,
    // a second attach, or when the X server cannot be reached.
    Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API removed() override;
    Steinberg::tresult PLUGIN_API onWheel(float distance) override;
    Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                            Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
    Steinberg::tresult PLUGIN_API canResize() override;
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

    // --- IPlugViewContentScaleSupport ---
    // Factors from 1 to 4 are taken (kResultTrue) and become the pixel scale; others are refused.
    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

    // --- FUnknown ---
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return EditorView::addRef(); }
    Steinberg::uint32 PLUGIN_API release() override { return EditorView::release(); }

    // --- queries (tests and tools) ---
    bool isOpen() const noexcept { return mWindow != 0 || mUiRoot != nullptr; }
    // The main window: the renderer's, or the empty one without a renderer.
    CWindowBackend::WindowId mainWindow() const noexcept;
    CObject* uiRoot() const noexcept { return mUiRoot; }               // null while detached
    CWindowRenderer* windowRenderer() const noexcept { return mRenderer; }
    double contentScale() const noexcept { return mContentScale; }
    // Frames the main window painted: the renderer's, or the empty window's.
    int paintCount() const noexcept;
    // A key the host hands over (IPlugView::onKeyDown/onKeyUp) as the window's key event: the
    // host's virtual key codes of the special keys become the framework's codes from 0xE001, other
    // keys their character; the Command modifier (Control on Linux) is "ctrl", Alternate "alt".
    // False for a key with neither code nor character.
    static bool hostKeyToNative(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers,
                                bool down, CNativeEvent& out);
    // The wrapper asks the host for the editor's new size (its window size changed).
    bool requestHostResize(std::int32_t width, std::int32_t height);

private:
    void onNativeEvent(const CNativeEvent& event) override;
    // Passes a host key to the main window unless the window holds the X focus (X brings it then).
    Steinberg::tresult forwardHostKey(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers,
                                      bool down);
    // Builds the tree into mUiRoot; an error leaves mUiRoot null.
    [[nodiscard]] CError* buildTree(void* parent);
    void destroyTree();
    void closeWindow();
    // The main window's size in points for the present view rectangle.
    void applyRectToWindow();

    CAudioWrapperVST3& mWrapper;                      // one reference held
    CObject* mAudioRoot = nullptr;                    // the instance's root, not owned; its address is
                                                      // the tree's "BaseConnectorRootPtr"
    double mVisualScale = 1.0;
    CObject* mUiRoot = nullptr;                       // owned; null while detached
    CWindowRenderer* mRenderer = nullptr;             // in mUiRoot's tree; null without one
    Steinberg::Linux::IRunLoop* mRunLoop = nullptr;   // from the frame; one reference held
    bool mHoldsServices = false;
    CWindowBackend::WindowId mWindow = 0;            // the empty window without a renderer
    double mContentScale = 1.0;
    int mPaintCount = 0;
    std::vector<std::uint8_t> mRows;                  // the background rows presented
};

} // namespace tal
