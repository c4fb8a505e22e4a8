#include "Platform/CX11Window.h"

#include "support/X11TestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

using namespace tal;

namespace {

// A host's side: its own connection and a top-level window, as a plug-in host has.
struct X11TestHost {
    Display* d = nullptr;
    Window window = 0;
    explicit X11TestHost(const std::string& name, int width = 1000, int height = 700) {
        d = XOpenDisplay(name.c_str());
        if (!d)
            return;
        window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, unsigned(width), unsigned(height), 0, 0, 0);
        XMapWindow(d, window);
        XSync(d, False);
    }
    ~X11TestHost() {
        if (d)
            XCloseDisplay(d);
    }
    std::vector<Window> children() const {
        Window root = 0, parent = 0;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> out;
        XSync(d, False);
        if (XQueryTree(d, window, &root, &parent, &list, &count)) {
            out.assign(list, list + count);
            if (list)
                XFree(list);
        }
        return out;
    }
    // The window's pixels as 0xRRGGBB words, read by the host's own connection.
    std::vector<std::uint32_t> readPixels(Window w, int width, int height) const {
        XSync(d, False);
        std::vector<std::uint32_t> out;
        XImage* image = XGetImage(d, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        if (!image)
            return out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out.push_back(std::uint32_t(XGetPixel(image, x, y)) & 0xffffff);
        XDestroyImage(image);
        return out;
    }
};

std::uint32_t patternPixel(int x, int y, std::uint32_t salt) {
    return 0xff000000u | ((std::uint32_t(x * 7) & 0xff) << 16) | ((std::uint32_t(y * 3) & 0xff) << 8) | (salt & 0xff);
}

} // namespace

TEST(CX11Window, ChildWindowLivesInsideTheHostsWindowUntilDestroyed) {
    TAL_REQUIRE_XVFB(name);
    X11TestHost host(name);
    ASSERT_NE(host.d, nullptr);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    CX11Window child;
    ASSERT_TRUE(child.createChild(display, host.window, 790, 500, error)) << error;
    display.sync();

    const std::vector<Window> children = host.children();
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0], Window(child.id()));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(host.d, children[0], &attributes));
    EXPECT_EQ(attributes.width, 790);
    EXPECT_EQ(attributes.height, 500);
    EXPECT_EQ(attributes.map_state, IsViewable);
    // _XEMBED_INFO: version 0, mapped.
    const Atom xembed = XInternAtom(host.d, "_XEMBED_INFO", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(host.d, children[0], xembed, 0, 2, False, xembed, &type, &format, &count, &after, &data),
              Success);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(reinterpret_cast<long*>(data)[0], 0);
    EXPECT_EQ(reinterpret_cast<long*>(data)[1], 1);
    XFree(data);

    child.resize(400, 300);
    display.sync();
    ASSERT_TRUE(XGetWindowAttributes(host.d, children[0], &attributes));
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 300);

    child.destroy();
    display.sync();
    EXPECT_TRUE(host.children().empty());
    EXPECT_TRUE(XGetWindowAttributes(host.d, host.window, &attributes));   // the host's window stays
    EXPECT_EQ(display.errorCount(), 0);
}

TEST(CX11Window, ChildOfAMissingParentIsRefusedWithAMessage) {
    TAL_REQUIRE_XVFB(name);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    CX11Window child;
    EXPECT_FALSE(child.createChild(display, 0x3fffff1, 100, 100, error));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_EQ(child.id(), 0u);
}

// The host destroys its window first (the usual order when an editor closes): the child goes with it,
// the display reports it, and destroying ours afterwards neither ends the process nor touches the host.
TEST(CX11Window, HostDestroyingItsWindowFirstIsSurvived) {
    TAL_REQUIRE_XVFB(name);
    X11TestHost host(name);
    ASSERT_NE(host.d, nullptr);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    for (const bool markGone : {true, false}) {
        SCOPED_TRACE(markGone ? "told it is gone" : "not told");
        const Window parent = XCreateSimpleWindow(host.d, host.window, 0, 0, 200, 200, 0, 0, 0);
        XMapWindow(host.d, parent);
        XSync(host.d, False);
        CX11Window child;
        CRecordingX11Listener listener;
        ASSERT_TRUE(child.createChild(display, parent, 100, 100, error)) << error;
        child.setListener(&listener);
        display.sync();
        XDestroyWindow(host.d, parent);
        XSync(host.d, False);
        ASSERT_TRUE(dispatchUntil(display, [&] { return listener.find(CX11Event::Kind::Destroyed) != nullptr; }));
        const int errorsBefore = display.errorCount();
        if (markGone)
            child.markGone();
        child.destroy();
        display.sync();
        EXPECT_EQ(display.errorCount(), errorsBefore + (markGone ? 0 : 1));
    }
}

struct X11PresentCase { CX11Surface::Mode mode; const char* name; };
class X11Presentation : public ::testing::TestWithParam<X11PresentCase> {};

// What a blit sends is what another client reads back, and only the blitted rectangle changes.
TEST_P(X11Presentation, BlittedRectangleReachesTheScreen) {
    TAL_REQUIRE_XVFB(name);
    X11TestHost host(name);
    ASSERT_NE(host.d, nullptr);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    CX11Window child;
    constexpr int kW = 64, kH = 48;
    ASSERT_TRUE(child.createChild(display, host.window, kW, kH, error)) << error;
    child.setSurfaceMode(GetParam().mode);
    std::vector<std::uint32_t> first(kW * kH), second(kW * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            first[std::size_t(y * kW + x)] = patternPixel(x, y, 0x11);
            second[std::size_t(y * kW + x)] = patternPixel(x, y, 0xee);
        }
    ASSERT_TRUE(child.present(first.data(), kW, 0, 0, kW, kH));
    if (GetParam().mode == CX11Surface::Mode::PutImage)
        EXPECT_FALSE(child.usesShm());
    else
        EXPECT_EQ(child.usesShm(), display.hasShm());
    // A rectangle partly outside the window is clipped.
    ASSERT_TRUE(child.present(second.data(), kW, 40, 30, 100, 100));
    const std::vector<std::uint32_t> screen = host.readPixels(Window(child.id()), kW, kH);
    ASSERT_EQ(screen.size(), first.size());
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool inside = x >= 40 && y >= 30;
            const std::uint32_t expected = (inside ? second : first)[std::size_t(y * kW + x)] & 0xffffff;
            if (screen[std::size_t(y * kW + x)] != expected && ++wrong <= 3)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << screen[std::size_t(y * kW + x)]
                              << " instead of " << expected;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(child.present(first.data(), kW, kW, 0, 10, 10));    // entirely outside
}
INSTANTIATE_TEST_SUITE_P(Modes, X11Presentation, ::testing::Values(
    X11PresentCase{CX11Surface::Mode::Auto, "Auto"}, X11PresentCase{CX11Surface::Mode::PutImage, "PutImage"}),
    [](const auto& info) { return std::string(info.param.name); });

// Real input from the server (XTEST) arrives translated, in window pixels.
TEST(CX11Window, PointerAndKeysFromTheServerArriveTranslated) {
    TAL_REQUIRE_XVFB(name);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    Display* d = display.xdisplay();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(d, &eventBase, &errorBase, &major, &minor));
    CX11Window popup;
    ASSERT_TRUE(popup.createTopLevel(display, CX11Window::Kind::Popup, 300, 200, 160, 120, 0, "", error)) << error;
    CRecordingX11Listener listener;
    popup.setListener(&listener);
    popup.show();
    ASSERT_TRUE(dispatchUntil(display, [&] { return listener.find(CX11Event::Kind::Paint) != nullptr; }));
    int sx = 0, sy = 0;
    ASSERT_TRUE(popup.screenPosition(sx, sy));
    EXPECT_EQ(sx, 300);
    EXPECT_EQ(sy, 200);

    XTestFakeMotionEvent(d, -1, 310, 220, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeMotionEvent(d, -1, 330, 225, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XTestFakeButtonEvent(d, 4, True, CurrentTime);
    XTestFakeButtonEvent(d, 4, False, CurrentTime);
    ASSERT_TRUE(dispatchUntil(display, [&] { return listener.find(CX11Event::Kind::Wheel) != nullptr; }));
    const CX11Event* down = listener.find(CX11Event::Kind::MouseDown);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->button, 'L');
    EXPECT_EQ(down->x, 10.0);
    EXPECT_EQ(down->y, 20.0);
    EXPECT_EQ(down->rootX, 310.0);
    const std::size_t downAt = std::size_t(down - listener.events.data());
    const CX11Event* drag = listener.find(CX11Event::Kind::MouseMove, downAt);
    ASSERT_NE(drag, nullptr);
    EXPECT_TRUE(drag->buttonL);
    EXPECT_EQ(drag->x, 30.0);
    EXPECT_EQ(drag->y, 25.0);
    const CX11Event* up = listener.find(CX11Event::Kind::MouseUp, downAt);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->button, 'L');
    EXPECT_EQ(listener.find(CX11Event::Kind::Wheel)->delta, 1);

    popup.takeFocus();
    ASSERT_TRUE(dispatchUntil(display, [&] { return listener.find(CX11Event::Kind::FocusGained) != nullptr; }));
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Return), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Return), False, CurrentTime);
    ASSERT_TRUE(dispatchUntil(display, [&] { return listener.find(CX11Event::Kind::KeyUp) != nullptr; }));
    EXPECT_EQ(listener.find(CX11Event::Kind::KeyDown)->keyCode, 0xE006);

    popup.warpPointer(5, 7);
    display.sync();
    Window root = 0, childWindow = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    ASSERT_TRUE(XQueryPointer(d, Window(popup.id()), &root, &childWindow, &rootX, &rootY, &winX, &winY, &mask));
    EXPECT_EQ(winX, 5);
    EXPECT_EQ(winY, 7);
    XTestFakeMotionEvent(d, -1, 900, 900, CurrentTime);
    ASSERT_TRUE(dispatchUntil(display, [&] { return listener.find(CX11Event::Kind::PointerLeave) != nullptr; }));
}

TEST(CX11Window, ToolWindowIsTransientForTheHostsTopLevelWindow) {
    TAL_REQUIRE_XVFB(name);
    X11TestHost host(name);
    ASSERT_NE(host.d, nullptr);
    // The editor's window sits two levels below the host's top-level window.
    const Window inner = XCreateSimpleWindow(host.d, host.window, 10, 10, 300, 300, 0, 0, 0);
    XSync(host.d, False);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    CX11Window child;
    ASSERT_TRUE(child.createChild(display, inner, 100, 100, error)) << error;
    EXPECT_EQ(CX11Window::topLevelOf(display, child.id()), std::uint64_t(host.window));
    CX11Window tool;
    ASSERT_TRUE(tool.createTopLevel(display, CX11Window::Kind::Tool, 50, 60, 200, 100, child.id(), "Tool", error))
        << error;
    display.sync();
    Window transientFor = 0;
    ASSERT_TRUE(XGetTransientForHint(host.d, Window(tool.id()), &transientFor));
    EXPECT_EQ(transientFor, host.window);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(host.d, Window(tool.id()), &attributes));
    EXPECT_FALSE(attributes.override_redirect);
    CX11Window popup;
    ASSERT_TRUE(popup.createTopLevel(display, CX11Window::Kind::Popup, 0, 0, 10, 10, child.id(), "", error));
    display.sync();
    ASSERT_TRUE(XGetWindowAttributes(host.d, Window(popup.id()), &attributes));
    EXPECT_TRUE(attributes.override_redirect);
}

TEST(CX11Window, CursorShapesAreSetWithoutErrors) {
    TAL_REQUIRE_XVFB(name);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    CX11Window popup;
    ASSERT_TRUE(popup.createTopLevel(display, CX11Window::Kind::Popup, 0, 0, 50, 50, 0, "", error));
    for (const CX11Window::Cursor c : {CX11Window::Cursor::Hidden, CX11Window::Cursor::Hand, CX11Window::Cursor::Text,
                                       CX11Window::Cursor::ResizeVertical, CX11Window::Cursor::Hidden,
                                       CX11Window::Cursor::Arrow}) {
        popup.setCursor(c);
        EXPECT_EQ(popup.cursor(), c);
    }
    display.sync();
    EXPECT_EQ(display.errorCount(), 0);
}

TEST(CX11Display, ScreensWorkAreaAndScaleHint) {
    TAL_REQUIRE_XVFB(name);
    CX11Display display;
    std::string error;
    ASSERT_TRUE(display.open(name, error)) << error;
    const std::vector<CX11Display::ScreenArea> screens = display.screens();
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens[0].width, 1920);
    EXPECT_EQ(screens[0].height, 1080);
    // No window manager publishes a work area: the whole screen.
    const CX11Display::ScreenArea area = display.workArea();
    EXPECT_EQ(area.width, 1920);
    EXPECT_EQ(area.height, 1080);

    // The resource database is read when a connection opens.
    Display* d = display.xdisplay();
    const Atom resourceManager = XInternAtom(d, "RESOURCE_MANAGER", False);
    const long workArea[8] = {0, 0, 1920, 1080, 40, 30, 1800, 1000};
    const long desktop = 1;
    struct Row { const char* resources; double scale; };
    for (const Row& r : {Row{"Xft.dpi:\t192\nXft.antialias:\t1\n", 2.0}, Row{"Xft.antialias:\t1\nXft.dpi:\t144\n", 1.5},
                         Row{"Xft.dpi:\t9000\n", 1.0}}) {
        SCOPED_TRACE(r.resources);
        XChangeProperty(d, DefaultRootWindow(d), resourceManager, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(r.resources), int(std::strlen(r.resources)));
        XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_WORKAREA", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(workArea), 8);
        XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CURRENT_DESKTOP", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&desktop), 1);
        display.sync();
        CX11Display second;
        ASSERT_TRUE(second.open(name, error)) << error;
        EXPECT_DOUBLE_EQ(second.scaleHint(), r.scale);
        const CX11Display::ScreenArea desk = second.workArea();
        EXPECT_EQ(desk.x, 40);
        EXPECT_EQ(desk.y, 30);
        EXPECT_EQ(desk.width, 1800);
        EXPECT_EQ(desk.height, 1000);
    }
    XDeleteProperty(d, DefaultRootWindow(d), resourceManager);
    XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_WORKAREA", False));
    XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CURRENT_DESKTOP", False));
    display.sync();
}

TEST(CX11Display, OpeningWithoutAServerGivesAMessage) {
    CX11Display display;
    std::string error;
    EXPECT_FALSE(display.open(":4095", error));
    EXPECT_NE(error.find(":4095"), std::string::npos) << error;
    EXPECT_FALSE(display.isOpen());
    EXPECT_EQ(display.fd(), -1);
}
