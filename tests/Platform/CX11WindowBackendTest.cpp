#include "Platform/CX11WindowBackend.h"

#include "Core/CError.h"
#include "Platform/CNativeWindowSink.h"
#include "Platform/CRunLoopMainLoopTimers.h"
#include "support/CTestRunLoop.h"
#include "support/X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// Xlib's event-type macros would replace the backend's event names.
#undef KeyPress
#undef KeyRelease

#include <gtest/gtest.h>

using namespace tal;

namespace {

// Records the events of one window; can destroy its window on the first button press.
struct CRecordingNativeSink final : CNativeWindowSink {
    std::vector<CNativeEvent> events;
    CWindowBackend* destroyOnPress = nullptr;
    CWindowBackend::WindowId id = 0;
    void onNativeEvent(const CNativeEvent& event) override {
        events.push_back(event);
        if (destroyOnPress && event.type == CNativeEvent::Type::MouseButton && event.down)
            destroyOnPress->destroyWindow(id);
    }
    const CNativeEvent* find(CNativeEvent::Type type) const {
        for (const CNativeEvent& e : events)
            if (e.type == type)
                return &e;
        return nullptr;
    }
    int count(CNativeEvent::Type type) const {
        return int(std::count_if(events.begin(), events.end(), [type](const CNativeEvent& e) { return e.type == type; }));
    }
};

// A host's window on its own connection, and the backend on another.
struct X11BackendHarness {
    Display* host = nullptr;
    Window hostWindow = 0;
    CX11WindowBackend backend;
    bool ready = false;

    explicit X11BackendHarness(const std::string& name) {
        host = XOpenDisplay(name.c_str());
        if (!host)
            return;
        hostWindow = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 1200, 800, 0, 0, 0);
        XMapWindow(host, hostWindow);
        XSync(host, False);
        std::string error;
        ready = backend.open(name, error);
    }
    ~X11BackendHarness() {
        if (host)
            XCloseDisplay(host);
    }
    CWindowBackend::WindowId makeMain(CRecordingNativeSink& sink, double width, double height, double scale) {
        CWindowBackend::WindowParams params;
        params.width = width;
        params.height = height;
        params.scale = scale;
        params.hostParent = hostWindow;
        params.mainWindow = true;
        CWindowBackend::WindowId id = 0;
        CError* error = backend.createWindow(params, &sink, id);
        EXPECT_EQ(error, nullptr);
        delete error;
        sink.id = id;
        return id;
    }
    bool processUntil(const std::function<bool()>& done) {
        return dispatchUntil(backend.display(), [&] {
            backend.processEvents();
            return done();
        });
    }
    std::uint32_t hostPixel(Window w, int x, int y) {
        XSync(host, False);
        XImage* image = XGetImage(host, w, x, y, 1, 1, AllPlanes, ZPixmap);
        const std::uint32_t v = image ? std::uint32_t(XGetPixel(image, 0, 0)) & 0xffffff : 0xdeadbeef;
        if (image)
            XDestroyImage(image);
        return v;
    }
};

} // namespace

// The main window is a hidden child of the host's window at its pixel size; shown, it asks for one
// paint of its whole area in points.
TEST(CX11WindowBackend, MainWindowIsAChildAtItsPixelSizeAndPaintsOnceShown) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    struct Row { double width, height, scale; int pixelWidth, pixelHeight; };
    for (const Row& r : {Row{790, 500, 1.0, 790, 500}, Row{395, 250, 2.0, 790, 500}, Row{400, 300, 1.5, 600, 450}}) {
        SCOPED_TRACE(r.scale);
        CRecordingNativeSink sink;
        const CWindowBackend::WindowId id = h.makeMain(sink, r.width, r.height, r.scale);
        ASSERT_NE(id, 0u);
        const Window xw = Window(h.backend.xWindowOf(id));
        h.backend.display().sync();
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(h.host, xw, &attributes));
        EXPECT_EQ(attributes.width, r.pixelWidth);
        EXPECT_EQ(attributes.height, r.pixelHeight);
        EXPECT_EQ(attributes.map_state, IsUnmapped);
        h.backend.processEvents();
        EXPECT_TRUE(sink.events.empty());
        h.backend.setVisible(id, true);
        ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::Paint) != nullptr; }));
        const CNativeEvent* paint = sink.find(CNativeEvent::Type::Paint);
        EXPECT_DOUBLE_EQ(paint->x, 0.0);
        EXPECT_DOUBLE_EQ(paint->y, 0.0);
        EXPECT_DOUBLE_EQ(paint->width, r.width);
        EXPECT_DOUBLE_EQ(paint->height, r.height);
        h.backend.destroyWindow(id);
        h.backend.display().sync();
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        ASSERT_TRUE(XQueryTree(h.host, h.hostWindow, &root, &parent, &children, &count));
        EXPECT_EQ(count, 0u);
        if (children)
            XFree(children);
    }
}

// R, G, B, X rows reach the screen in the right colours at the right place.
TEST(CX11WindowBackend, PresentedRowsReachTheScreen) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    CRecordingNativeSink sink;
    const CWindowBackend::WindowId id = h.makeMain(sink, 40, 30, 1.0);
    h.backend.setVisible(id, true);
    ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::Paint) != nullptr; }));
    // A 10 x 10 source: red grows along x, green along y.
    std::vector<std::uint8_t> rows(10 * 10 * 4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            std::uint8_t* p = &rows[std::size_t((y * 10 + x) * 4)];
            p[0] = std::uint8_t(20 * x), p[1] = std::uint8_t(20 * y), p[2] = 0x33, p[3] = 0;
        }
    // Its lower-right 6 x 6 part lands at (35, 27): 5 x 3 of it are inside the window.
    h.backend.present(id, rows.data(), 40, 4, 4, 6, 6, 35, 27);
    const Window xw = Window(h.backend.xWindowOf(id));
    struct Probe { int x, y; std::uint32_t rgb; };
    for (const Probe& p : {Probe{35, 27, (80u << 16) | (80u << 8) | 0x33}, Probe{39, 29, (160u << 16) | (120u << 8) | 0x33}}) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(h.hostPixel(xw, p.x, p.y), p.rgb);
    }
}

// Real input (XTEST) arrives in points; a click takes the keyboard focus, so keys follow.
TEST(CX11WindowBackend, InputArrivesInPointsAndAClickTakesTheKeyboard) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    Display* d = h.backend.display().xdisplay();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(d, &eventBase, &errorBase, &major, &minor));
    CRecordingNativeSink sink;
    const CWindowBackend::WindowId id = h.makeMain(sink, 200, 100, 2.0);
    h.backend.setVisible(id, true);
    ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::Paint) != nullptr; }));
    EXPECT_FALSE(h.backend.hasKeyboardFocus(id));
    double ox = 0, oy = 0;
    h.backend.windowOrigin(id, ox, oy);
    const int x0 = int(ox), y0 = int(oy);
    XTestFakeMotionEvent(d, -1, x0 + 100, y0 + 60, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeMotionEvent(d, -1, x0 + 140, y0 + 60, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XTestFakeButtonEvent(d, 5, True, CurrentTime);
    XTestFakeButtonEvent(d, 5, False, CurrentTime);
    XTestFakeButtonEvent(d, 8, True, CurrentTime);
    XTestFakeButtonEvent(d, 8, False, CurrentTime);
    ASSERT_TRUE(h.processUntil([&] { return sink.count(CNativeEvent::Type::MouseXButton) == 2; }));
    const CNativeEvent* press = sink.find(CNativeEvent::Type::MouseButton);
    ASSERT_NE(press, nullptr);
    EXPECT_TRUE(press->down);
    EXPECT_EQ(press->button, 0);
    EXPECT_DOUBLE_EQ(press->x, 50.0);
    EXPECT_DOUBLE_EQ(press->y, 30.0);
    bool draggedWithLeft = false;
    for (const CNativeEvent& e : sink.events)
        draggedWithLeft |= e.type == CNativeEvent::Type::MouseMove && e.x == 70.0 && (e.modifiers & CNativeEvent::kLeftButton);
    EXPECT_TRUE(draggedWithLeft);
    EXPECT_EQ(sink.find(CNativeEvent::Type::MouseWheel)->delta, -1.0);
    EXPECT_EQ(sink.find(CNativeEvent::Type::MouseXButton)->button, 1);   // back

    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Escape), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Escape), False, CurrentTime);
    ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::KeyRelease) != nullptr; }));
    EXPECT_EQ(sink.find(CNativeEvent::Type::KeyPress)->keycode, 0xE001);
    EXPECT_TRUE(h.backend.hasKeyboardFocus(id));
    XTestFakeMotionEvent(d, -1, x0 + 1000, y0 + 700, CurrentTime);
    ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::MouseExit) != nullptr; }));
}

// On the host's run loop, redraw requests come back as one merged paint through the connection.
TEST(CX11WindowBackend, RedrawRequestsOnTheRunLoopBecomeOneMergedPaint) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    CTestRunLoop loop;
    {
        CRunLoopMainLoopTimers timers(&loop);
        ASSERT_TRUE(h.backend.attachRunLoop(timers));
        CRecordingNativeSink sink;
        const CWindowBackend::WindowId id = h.makeMain(sink, 300, 200, 1.0);
        h.backend.setVisible(id, true);
        for (int turn = 0; turn < 400 && !sink.find(CNativeEvent::Type::Paint); ++turn)
            loop.dispatchFds(50);
        ASSERT_NE(sink.find(CNativeEvent::Type::Paint), nullptr);
        sink.events.clear();
        h.backend.requestRedraw(id, 10, 20, 30, 40);
        h.backend.requestRedraw(id, 100, 150, 10, 10);
        for (int turn = 0; turn < 400 && !sink.find(CNativeEvent::Type::Paint); ++turn)
            loop.dispatchFds(50);
        ASSERT_EQ(sink.count(CNativeEvent::Type::Paint), 1);
        const CNativeEvent* paint = sink.find(CNativeEvent::Type::Paint);
        EXPECT_DOUBLE_EQ(paint->x, 10.0);
        EXPECT_DOUBLE_EQ(paint->y, 20.0);
        EXPECT_DOUBLE_EQ(paint->width, 100.0);
        EXPECT_DOUBLE_EQ(paint->height, 140.0);
        h.backend.destroyWindow(id);
        h.backend.detachRunLoop();
        EXPECT_EQ(timers.watchCount(), 0);
    }
    EXPECT_EQ(loop.fdCount(), 0);
}

// The host destroying its window takes ours away: the sink hears Closed once, the id ends.
TEST(CX11WindowBackend, HostDestroyingItsWindowClosesOurs) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    const Window parent = XCreateSimpleWindow(h.host, h.hostWindow, 0, 0, 300, 300, 0, 0, 0);
    XMapWindow(h.host, parent);
    XSync(h.host, False);
    CRecordingNativeSink sink;
    CWindowBackend::WindowParams params;
    params.width = 100;
    params.height = 100;
    params.hostParent = parent;
    CWindowBackend::WindowId id = 0;
    ASSERT_EQ(h.backend.createWindow(params, &sink, id), nullptr);
    h.backend.setVisible(id, true);
    h.backend.display().sync();
    XDestroyWindow(h.host, parent);
    XSync(h.host, False);
    ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::Closed) != nullptr; }));
    EXPECT_EQ(sink.count(CNativeEvent::Type::Closed), 1);
    EXPECT_EQ(h.backend.xWindowOf(id), 0u);
    h.backend.destroyWindow(id);                       // already gone: ignored
    h.backend.display().sync();
    EXPECT_EQ(h.backend.display().errorCount(), 0);
}

// A sink that destroys its window while handling an event gets nothing more from it.
TEST(CX11WindowBackend, WindowDestroyedByItsSinkGetsNoMoreEvents) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    Display* d = h.backend.display().xdisplay();
    CRecordingNativeSink sink;
    const CWindowBackend::WindowId id = h.makeMain(sink, 100, 100, 1.0);
    sink.destroyOnPress = &h.backend;
    h.backend.setVisible(id, true);
    ASSERT_TRUE(h.processUntil([&] { return sink.find(CNativeEvent::Type::Paint) != nullptr; }));
    double ox = 0, oy = 0;
    h.backend.windowOrigin(id, ox, oy);
    XTestFakeMotionEvent(d, -1, int(ox) + 10, int(oy) + 10, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XTestFakeMotionEvent(d, -1, int(ox) + 20, int(oy) + 20, CurrentTime);
    ASSERT_TRUE(h.processUntil([&] { return h.backend.xWindowOf(id) == 0; }));
    // Events still on their way are dropped.
    h.backend.display().sync();
    h.backend.processEvents();
    ASSERT_FALSE(sink.events.empty());
    EXPECT_EQ(sink.events.back().type, CNativeEvent::Type::MouseButton);
    EXPECT_TRUE(sink.events.back().down);
}

TEST(CX11WindowBackend, PopupsAndToolWindowsSitOnTheScreenAboveTheirOwner) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    h.backend.setScreenScale(2.0);
    CRecordingNativeSink mainSink, popupSink, toolSink;
    const CWindowBackend::WindowId main = h.makeMain(mainSink, 100, 100, 2.0);
    CWindowBackend::WindowParams params;
    params.x = 100;
    params.y = 50;
    params.width = 40;
    params.height = 30;
    params.scale = 2.0;
    params.transientFor = main;
    params.popup = true;
    CWindowBackend::WindowId popup = 0, tool = 0;
    ASSERT_EQ(h.backend.createWindow(params, &popupSink, popup), nullptr);
    params.popup = false;
    ASSERT_EQ(h.backend.createWindow(params, &toolSink, tool), nullptr);
    h.backend.setTitle(tool, "Band \xE2\x80\x93 1");
    h.backend.setVisible(popup, true);
    ASSERT_TRUE(h.processUntil([&] { return popupSink.find(CNativeEvent::Type::Paint) != nullptr; }));
    double x = 0, y = 0;
    h.backend.windowOrigin(popup, x, y);
    EXPECT_DOUBLE_EQ(x, 100.0);
    EXPECT_DOUBLE_EQ(y, 50.0);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(h.host, Window(h.backend.xWindowOf(popup)), &attributes));
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.width, 80);
    Window owner = 0;
    ASSERT_TRUE(XGetTransientForHint(h.host, Window(h.backend.xWindowOf(tool)), &owner));
    EXPECT_EQ(owner, h.hostWindow);
    char* title = nullptr;
    ASSERT_TRUE(XFetchName(h.host, Window(h.backend.xWindowOf(tool)), &title));
    EXPECT_STREQ(title, "Band \xE2\x80\x93 1");
    XFree(title);
    double sx = 0, sy = 0, sw = 0, sh = 0;
    h.backend.screenRect(10, 10, sx, sy, sw, sh);
    EXPECT_DOUBLE_EQ(sw, 960.0);                        // 1920 pixels at 2 pixels per point
    EXPECT_DOUBLE_EQ(sh, 540.0);
    h.backend.warpPointer(30, 40);
    h.backend.pointerPosition(x, y);
    EXPECT_DOUBLE_EQ(x, 30.0);
    EXPECT_DOUBLE_EQ(y, 40.0);
}

TEST(CX11WindowBackend, ScreensAreInPointsAtTheContentScale) {
    TAL_REQUIRE_XVFB(name);
    X11BackendHarness h(name);
    ASSERT_TRUE(h.ready);
    double x = 0, y = 0, w = 0, hgt = 0;
    h.backend.screenRect(0, 0, x, y, w, hgt);
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        h.backend.setScreenScale(scale);
        const std::vector<CWindowBackend::Screen> screens = h.backend.screens();
        ASSERT_FALSE(screens.empty());
        EXPECT_EQ(screens.front().width, w / scale);
        EXPECT_EQ(screens.front().height, hgt / scale);
        // The visible part lies inside the screen.
        EXPECT_GE(screens.front().visibleX, screens.front().x);
        EXPECT_LE(screens.front().visibleX + screens.front().visibleWidth, screens.front().x + screens.front().width);
        EXPECT_GT(screens.front().visibleWidth, 0.0);
    }
}
