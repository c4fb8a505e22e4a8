// The editor view as a Linux host embeds it: the view made by createView, the platform type it
// accepts, the run loop it takes from the frame, the X11 child window it puts into the host's
// window (on a private Xvfb), size and content-scale negotiation, and a clean removal.
#include "Audio/VST/CAudioWrapperVST3Editor.h"

#include "Audio/VST/CAudioWrapperVST3.h"
#include "Platform/CEditorPlatformServices.h"
#include "Platform/CMainLoopTimers.h"
#include "Platform/CNativeEvent.h"
#include "Platform/CX11WindowBackend.h"
#include "UI/CWindowRenderer.h"
#include "support/CTestRunLoop.h"
#include "support/WrapperTestApp.h"
#include "support/X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
// Xlib's event-type macros would replace the window events' names.
#undef KeyPress
#undef KeyRelease

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

extern const tal::CResourceEntry productTestResources[];
extern const tal::CResourceEntry editorViewTestResources[];

namespace tal {
namespace {

using namespace Steinberg;

// A host's frame: hands out its run loop and answers resize requests as hosts do, by calling the
// view's onSize with the size asked for.
class CTestPlugFrame final : public IPlugFrame {
public:
    explicit CTestPlugFrame(CTestRunLoop* loop) : mLoop(loop) {}
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override {
        requests.push_back(*newSize);
        return view->onSize(newSize) == kResultOk ? kResultTrue : kResultFalse;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (mLoop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
            mLoop->addRef();
            *obj = static_cast<Linux::IRunLoop*>(mLoop);
            return kResultOk;
        }
        if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }    // lives on the test's stack
    uint32 PLUGIN_API release() override { return 1; }

    std::vector<ViewRect> requests;

private:
    CTestRunLoop* mLoop;
};

class CAudioWrapperVST3EditorView : public ::testing::Test {
protected:
    // The product's description, which has no main window yet: the view shows an empty editor.
    static void SetUpTestSuite() { test::CWrapperTestApp::start(productTestResources); }
    static void TearDownTestSuite() { test::CWrapperTestApp::stop(); }
    void SetUp() override {
        FUnknown* made = CAudioWrapperVST3::createInstance(nullptr);
        ASSERT_NE(made, nullptr);
        mEffect = static_cast<CAudioWrapperVST3*>(static_cast<Vst::IAudioProcessor*>(made));
        ASSERT_EQ(mEffect->initialize(nullptr), kResultOk);
    }
    void TearDown() override {
        if (mEffect != nullptr) {
            mEffect->terminate();
            mEffect->release();
        }
    }
    IPlugView* makeView() { return mEffect->createView("editor"); }
    // The host's top-level window on its own connection, with DISPLAY pointing at the server.
    bool openHost(const std::string& display) {
        setenv("DISPLAY", display.c_str(), 1);
        mHost = XOpenDisplay(display.c_str());
        if (!mHost)
            return false;
        mHostWindow = XCreateSimpleWindow(mHost, DefaultRootWindow(mHost), 0, 0, 1600, 1200, 0, 0, 0);
        XMapWindow(mHost, mHostWindow);
        XSync(mHost, False);
        return true;
    }
    // The children of the host's window once the editor's connection has been handled (the server
    // orders the requests of one connection only).
    std::vector<Window> hostChildren() {
        if (CEditorPlatformServices* services = CEditorPlatformServices::current())
            services->backend().sync();
        XSync(mHost, False);
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        std::vector<Window> out;
        if (XQueryTree(mHost, mHostWindow, &root, &parent, &children, &count)) {
            out.assign(children, children + count);
            if (children)
                XFree(children);
        }
        return out;
    }
    ~CAudioWrapperVST3EditorView() override {
        if (mHost)
            XCloseDisplay(mHost);
    }

    std::string logText() const {
        std::string text;
        for (const std::string& line : log.lines())
            text += line + "\n";
        return text;
    }

    CLogCapture log;
    CAudioWrapperVST3* mEffect = nullptr;
    Display* mHost = nullptr;
    Window mHostWindow = 0;
};

TEST_F(CAudioWrapperVST3EditorView, OnlyTheEditorNameMakesAView) {
    for (const char* name : {"Editor", "", "editor2", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(name ? name : "null");
        EXPECT_EQ(mEffect->createView(name), nullptr);
    }
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), mEffect->getWindowWidth());
    EXPECT_EQ(size.getHeight(), mEffect->getWindowHeight());
    void* scaleSupport = nullptr;
    EXPECT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid, &scaleSupport), kResultOk);
    EXPECT_NE(scaleSupport, nullptr);
    static_cast<IPlugViewContentScaleSupport*>(scaleSupport)->release();
    view->release();
}

TEST_F(CAudioWrapperVST3EditorView, OnlyTheX11EmbedPlatformTypeIsSupported) {
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    struct Row { const char* type; tresult result; };
    for (const Row& r : {Row{"X11EmbedWindowID", kResultTrue}, Row{"NSView", kResultFalse}, Row{"HWND", kResultFalse},
                         Row{"x11embedwindowid", kResultFalse}, Row{nullptr, kResultFalse}}) {
        SCOPED_TRACE(r.type ? r.type : "null");
        EXPECT_EQ(view->isPlatformTypeSupported(r.type), r.result);
    }
    // Refused types never attach, whatever the frame offers.
    CTestRunLoop loop;
    CTestPlugFrame frame(&loop);
    view->setFrame(&frame);
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(0x1234)), "NSView"), kResultFalse);
    EXPECT_EQ(loop.fdCount(), 0);
    view->setFrame(nullptr);
    view->release();
    EXPECT_EQ(loop.refs, 0);
}

TEST_F(CAudioWrapperVST3EditorView, FrameWithoutARunLoopIsRefusedWithALogLine) {
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    CTestPlugFrame frame(nullptr);
    view->setFrame(&frame);
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(0x1234)), "X11EmbedWindowID"), kResultFalse);
    bool logged = false;
    for (const std::string& line : log.lines())
        logged |= line.find("run loop") != std::string::npos;
    EXPECT_TRUE(logged);
    EXPECT_EQ(CEditorPlatformServices::userCount(), 0);
    view->release();
}

// Attach puts a child of the view's size into the host's window and paints it from the host's run
// loop; removal takes the child and every registration away and leaves the host's window; a second
// attach starts anew.
TEST_F(CAudioWrapperVST3EditorView, AttachPaintsAChildAndRemovalLeavesNothingBehind) {
    TAL_REQUIRE_XVFB(name);
    ASSERT_TRUE(openHost(name));
    CTestRunLoop loop;
    CTestPlugFrame frame(&loop);
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    auto* editor = static_cast<CAudioWrapperVST3Editor*>(view);
    ViewRect size;
    view->getSize(&size);
    view->setFrame(&frame);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(mHostWindow)), "X11EmbedWindowID"), kResultOk);
        EXPECT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(mHostWindow)), "X11EmbedWindowID"), kResultFalse);
        const std::vector<Window> children = hostChildren();
        ASSERT_EQ(children.size(), 1u);
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(mHost, children[0], &attributes));
        EXPECT_EQ(attributes.width, size.getWidth());
        EXPECT_EQ(attributes.height, size.getHeight());
        EXPECT_GT(loop.fdCount(), 0);
        const int paintsBefore = editor->paintCount();
        for (int turn = 0; turn < 400 && editor->paintCount() == paintsBefore; ++turn)
            loop.dispatchFds(50);
        EXPECT_GT(editor->paintCount(), paintsBefore);
        EXPECT_EQ(view->removed(), kResultOk);
        EXPECT_TRUE(hostChildren().empty());
        EXPECT_TRUE(XGetWindowAttributes(mHost, mHostWindow, &attributes));
        EXPECT_EQ(loop.fdCount(), 0);
        EXPECT_EQ(loop.timerCount(), 0);
        EXPECT_EQ(CEditorPlatformServices::userCount(), 0);
        EXPECT_EQ(CMainLoopTimers::current(), nullptr);
    }
    view->setFrame(nullptr);
    view->release();
    EXPECT_EQ(loop.refs, 0);
}

// The content scale multiplies the pixel size: the view asks its host for it, and the child follows.
TEST_F(CAudioWrapperVST3EditorView, ContentScaleAsksTheHostForThePixelSize) {
    TAL_REQUIRE_XVFB(name);
    ASSERT_TRUE(openHost(name));
    CTestRunLoop loop;
    CTestPlugFrame frame(&loop);
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    IPlugViewContentScaleSupport* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid, reinterpret_cast<void**>(&scaling)), kResultOk);
    ViewRect base;
    view->getSize(&base);
    view->setFrame(&frame);
    for (const float refused : {0.5f, 0.99f, 4.5f})
        EXPECT_EQ(scaling->setContentScaleFactor(refused), kResultFalse) << refused;
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(mHostWindow)), "X11EmbedWindowID"), kResultOk);
    struct Row { float factor; bool asksHost; };
    for (const Row& r : {Row{2.0f, true}, Row{2.0f, false}, Row{1.5f, true}, Row{1.0f, true}}) {
        SCOPED_TRACE(r.factor);
        const std::size_t requestsBefore = frame.requests.size();
        EXPECT_EQ(scaling->setContentScaleFactor(r.factor), kResultTrue);
        ViewRect now;
        view->getSize(&now);
        EXPECT_EQ(now.getWidth(), std::lround(base.getWidth() * r.factor));
        EXPECT_EQ(now.getHeight(), std::lround(base.getHeight() * r.factor));
        const std::vector<Window> children = hostChildren();
        ASSERT_EQ(children.size(), 1u);
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(mHost, children[0], &attributes));
        EXPECT_EQ(attributes.width, now.getWidth());
        EXPECT_EQ(attributes.height, now.getHeight());
        EXPECT_EQ(frame.requests.size(), requestsBefore + (r.asksHost ? 1 : 0));
    }
    // A host's resize to the size the view has changes nothing and asks nothing back.
    ViewRect same;
    view->getSize(&same);
    const std::size_t requests = frame.requests.size();
    EXPECT_EQ(view->onSize(&same), kResultOk);
    EXPECT_EQ(frame.requests.size(), requests);
    view->removed();
    scaling->release();
    view->setFrame(nullptr);
    view->release();
    EXPECT_EQ(loop.refs, 0);
}

// Without a minimum size the rectangle is left alone; the host's wheel and keys do nothing yet.
TEST_F(CAudioWrapperVST3EditorView, SizeConstraintAndHostInputBeforeAttach) {
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    std::int32_t minWidth = 0, minHeight = 0;
    const bool hasMinimum = mEffect->getMinWindowSize(minWidth, minHeight);
    ViewRect small(10, 20, 11, 21);
    EXPECT_EQ(view->checkSizeConstraint(&small), hasMinimum ? kResultTrue : kResultFalse);
    EXPECT_EQ(small.left, 10);
    EXPECT_EQ(small.top, 20);
    EXPECT_EQ(small.getWidth(), hasMinimum ? std::max(1, minWidth) : 1);
    EXPECT_EQ(view->onWheel(1.0f), kResultOk);
    EXPECT_EQ(view->canResize(), mEffect->usesWindowResizing() ? kResultTrue : kResultFalse);
    view->release();
}

// Keys the host hands over become the window's key events.
TEST(CAudioWrapperVST3EditorKeys, HostKeysBecomeFrameworkKeyCodes) {
    struct Row { char16 key; int16 keyCode; int16 modifiers; bool made; int code; std::uint32_t nativeModifiers; };
    const Row rows[] = {
        {0, 1, 0, true, 0xE004, 0},                                   // back space
        {0, 2, 0, true, 0xE005, 0},                                   // tab
        {0, 4, 0, true, 0xE006, 0},  {0, 19, 0, true, 0xE006, 0},     // return and keypad enter
        {0, 6, 0, true, 0xE001, 0},                                   // escape
        {0, 22, 0, true, 0xE003, 0}, {0, 21, 0, true, 0xE002, 0},     // delete, insert
        {0, 10, 0, true, 0xE007, 0}, {0, 9, 0, true, 0xE008, 0},      // home, end
        {0, 15, 0, true, 0xE009, 0}, {0, 16, 0, true, 0xE00A, 0},     // page up, page down
        {0, 11, 0, true, 0xE00B, 0}, {0, 13, 0, true, 0xE00C, 0},     // left, right
        {0, 12, 0, true, 0xE00D, 0}, {0, 14, 0, true, 0xE00E, 0},     // up, down
        {'a', 0, 1 << 2, true, 'a', CNativeEvent::kCtrl},             // Command (Control on Linux)
        {'A', 0, 1 << 0, true, 'A', CNativeEvent::kShift},
        {0xf6, 0, 1 << 1, true, 0xf6, CNativeEvent::kAlt},
        {0, 0, 0, false, 0, 0},                                       // neither code nor character
        {0x1b, 0, 0, false, 0, 0},                                    // a control character
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "key " << int(r.key) << " code " << r.keyCode);
        for (const bool down : {true, false}) {
            CNativeEvent event;
            EXPECT_EQ(CAudioWrapperVST3Editor::hostKeyToNative(r.key, r.keyCode, r.modifiers, down, event), r.made);
            if (!r.made)
                continue;
            EXPECT_EQ(event.type, down ? CNativeEvent::Type::KeyPress : CNativeEvent::Type::KeyRelease);
            EXPECT_EQ(event.keycode, r.code);
            EXPECT_EQ(event.modifiers, r.nativeModifiers);
        }
    }
}

// The same instance with a description that has a main window: its renderer makes the child.
class CAudioWrapperVST3EditorViewWindow : public CAudioWrapperVST3EditorView {
protected:
    static void SetUpTestSuite() { test::CWrapperTestApp::start(editorViewTestResources); }
};

// Attach builds the tree whose main window renderer puts a child of the description's size into
// the host's window and paints it from the host's run loop; removal takes the tree, the child and
// every registration away; a second attach builds a new tree.
TEST_F(CAudioWrapperVST3EditorViewWindow, TreesMainWindowLivesInTheHostsWindow) {
    TAL_REQUIRE_XVFB(name);
    ASSERT_TRUE(openHost(name));
    CTestRunLoop loop;
    CTestPlugFrame frame(&loop);
    IPlugView* view = makeView();
    ASSERT_NE(view, nullptr);
    auto* editor = static_cast<CAudioWrapperVST3Editor*>(view);
    view->setFrame(&frame);
    std::int32_t previousRegistry = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(mHostWindow)), "X11EmbedWindowID"), kResultOk)
            << logText();
        ASSERT_NE(editor->windowRenderer(), nullptr);
        EXPECT_EQ(editor->uiRoot()->getPtrAttr(CString("ParentWindow")), reinterpret_cast<void*>(std::uintptr_t(mHostWindow)));
        EXPECT_NE(editor->uiRoot()->getEventRegistryId(), previousRegistry);
        previousRegistry = editor->uiRoot()->getEventRegistryId();
        std::vector<Window> children = hostChildren();
        for (int turn = 0; turn < 400 && children.empty(); ++turn) {
            loop.advance(25);
            loop.dispatchFds(25);
            children = hostChildren();
        }
        EXPECT_TRUE(editor->windowRenderer()->isOpened());
        ASSERT_EQ(children.size(), 1u);
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(mHost, children[0], &attributes));
        EXPECT_EQ(attributes.width, 790);
        EXPECT_EQ(attributes.height, 500);
        // The first frames arrive through the run loop: the panel's highlight differs from the
        // window's first pixels, which are black.
        bool painted = false;
        for (int turn = 0; turn < 400 && !painted; ++turn) {
            loop.advance(25);
            loop.dispatchFds(25);
            if (turn % 8 == 7) {
                hostChildren();
                XImage* image = XGetImage(mHost, children[0], 0, 0, 790, 500, AllPlanes, ZPixmap);
                if (image) {
                    painted = (XGetPixel(image, 100, 100) & 0xffffff) != 0;
                    XDestroyImage(image);
                }
            }
        }
        EXPECT_TRUE(painted);
        // Without the X focus the host's keys go to the window; the host keeps its own use of them.
        EXPECT_EQ(view->onKeyDown(u'a', 0, 0), kResultFalse);
        EXPECT_EQ(view->onKeyUp(u'a', 0, 0), kResultFalse);
        EXPECT_EQ(view->removed(), kResultOk);
        EXPECT_EQ(editor->uiRoot(), nullptr);
        EXPECT_TRUE(hostChildren().empty());
        EXPECT_EQ(loop.fdCount(), 0);
        EXPECT_EQ(loop.timerCount(), 0);
        EXPECT_EQ(CEditorPlatformServices::userCount(), 0);
    }
    view->setFrame(nullptr);
    view->release();
    EXPECT_EQ(loop.refs, 0);
}

} // namespace
} // namespace tal
