#include "Platform/CX11Clipboard.h"

#include "Platform/CX11Display.h"
#include "support/X11TestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <poll.h>
#include <thread>

using namespace tal;

namespace {

// Asks the selection owner for a target from a bare connection; the answer's bytes, or nothing.
std::optional<std::string> x11RequestTarget(Display* d, const char* target) {
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(d, "TEST_PROPERTY", False);
    XConvertSelection(d, XInternAtom(d, "CLIPBOARD", False), XInternAtom(d, target, False), property, w, CurrentTime);
    XFlush(d);
    XEvent e;
    for (int waited = 0; waited < 400; ++waited) {      // up to 20 s
        if (XCheckTypedWindowEvent(d, w, SelectionNotify, &e))
            break;
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 50);
        e.type = 0;
    }
    std::optional<std::string> out;
    if (e.type == SelectionNotify && e.xselection.property != None) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, w, property, 0, 65536, True, AnyPropertyType, &type, &format, &count, &after, &data) ==
            Success) {
            out = std::string(reinterpret_cast<const char*>(data), format == 8 ? count : count * sizeof(long));
            XFree(data);
        }
    }
    XDestroyWindow(d, w);
    return out;
}

} // namespace

// Text travels between two connections as UTF-8 bytes, unchanged and without a terminating zero;
// clients that only know STRING get Latin-1.
TEST(CX11Clipboard, TextTravelsBetweenConnections) {
    TAL_REQUIRE_XVFB(name);
    CX11ClipboardClient owner, reader;
    ASSERT_TRUE(owner.open(name));
    ASSERT_TRUE(reader.open(name));
    const std::string texts[] = {"\xC3\xB6", "AB", "Gain \xE2\x82\xAC 3 dB\nline 2", std::string(100000, 'x')};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 20));
        ASSERT_TRUE(owner.clipboard.setText(text));
        EXPECT_TRUE(owner.clipboard.ownsSelection());
        owner.startServing();
        std::string got;
        EXPECT_TRUE(reader.clipboard.getText(got, 20000));
        EXPECT_EQ(got, text);
        owner.stopServing();
    }
    // A bare client asks for STRING and for the list of targets.
    ASSERT_TRUE(owner.clipboard.setText("\xC3\xB6\xE2\x82\xAC"));
    owner.startServing();
    Display* bare = XOpenDisplay(name.c_str());
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(x11RequestTarget(bare, "STRING"), std::optional<std::string>("\xF6?"));
    EXPECT_EQ(x11RequestTarget(bare, "UTF8_STRING"), std::optional<std::string>("\xC3\xB6\xE2\x82\xAC"));
    EXPECT_FALSE(x11RequestTarget(bare, "image/png").has_value());
    const std::optional<std::string> targets = x11RequestTarget(bare, "TARGETS");
    ASSERT_TRUE(targets.has_value());
    EXPECT_EQ(targets->size(), 4 * sizeof(long));
    owner.stopServing();
    XCloseDisplay(bare);
}

// Another client taking the selection ends our ownership; we then read its text.
TEST(CX11Clipboard, AnotherOwnerReplacesOurText) {
    TAL_REQUIRE_XVFB(name);
    CX11ClipboardClient first, second;
    ASSERT_TRUE(first.open(name));
    ASSERT_TRUE(second.open(name));
    ASSERT_TRUE(first.clipboard.setText("first"));
    ASSERT_TRUE(second.clipboard.setText("second"));
    // The first client learns of it from its events.
    for (int i = 0; i < 400 && first.clipboard.ownsSelection(); ++i) {
        first.display.dispatch();
        pollfd p{first.display.fd(), POLLIN, 0};
        poll(&p, 1, 50);
    }
    EXPECT_FALSE(first.clipboard.ownsSelection());
    second.startServing();
    std::string got;
    EXPECT_TRUE(first.clipboard.getText(got, 20000));
    EXPECT_EQ(got, "second");
    second.stopServing();
}

// No owner, or an owner that never answers: an empty text and false, without hanging.
TEST(CX11Clipboard, ReadWithoutAnAnswerGivesUpAtTheTimeout) {
    TAL_REQUIRE_XVFB(name);
    CX11ClipboardClient reader;
    ASSERT_TRUE(reader.open(name));
    Display* silent = XOpenDisplay(name.c_str());
    ASSERT_NE(silent, nullptr);
    const Atom clipboard = XInternAtom(silent, "CLIPBOARD", False);
    XSetSelectionOwner(silent, clipboard, None, CurrentTime);
    XSync(silent, False);
    std::string got = "old";
    EXPECT_FALSE(reader.clipboard.getText(got, 200));
    EXPECT_TRUE(got.empty());
    // An owner that never dispatches its events.
    const Window w = XCreateSimpleWindow(silent, DefaultRootWindow(silent), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(silent, clipboard, w, CurrentTime);
    XSync(silent, False);
    got = "old";
    EXPECT_FALSE(reader.clipboard.getText(got, 200));
    EXPECT_TRUE(got.empty());
    XCloseDisplay(silent);
}
