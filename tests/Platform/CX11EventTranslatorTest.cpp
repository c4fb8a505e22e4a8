#include "Platform/CX11EventTranslator.h"

#include "support/X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

using namespace tal;

namespace {

XEvent x11ButtonEvent(bool press, unsigned int button, int x, int y, Time time, unsigned int state = 0) {
    XEvent e{};
    e.xbutton.type = press ? ButtonPress : ButtonRelease;
    e.xbutton.window = 42;
    e.xbutton.button = button;
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.time = time;
    e.xbutton.state = state;
    return e;
}

} // namespace

struct X11ButtonCase { unsigned int xButton; CX11Event::Kind kind; int button, xbutton, delta; bool horizontal; };
class X11ButtonTranslation : public ::testing::TestWithParam<X11ButtonCase> {};

TEST_P(X11ButtonTranslation, PressBecomesTheFrameworkButton) {
    const X11ButtonCase& c = GetParam();
    CX11EventTranslator translator;
    XEvent press = x11ButtonEvent(true, c.xButton, 10, 20, 1000);
    CX11Event out;
    ASSERT_TRUE(translator.translate(press, out));
    EXPECT_EQ(out.kind, c.kind);
    EXPECT_EQ(out.button, c.button);
    EXPECT_EQ(out.xbutton, c.xbutton);
    EXPECT_EQ(out.delta, c.delta);
    EXPECT_EQ(out.horizontal, c.horizontal);
    EXPECT_EQ(out.window, 42u);
    EXPECT_EQ(out.x, 10.0);
    EXPECT_EQ(out.y, 20.0);
    XEvent release = x11ButtonEvent(false, c.xButton, 10, 20, 1010);
    // A wheel step's release gives nothing; a button's gives its release.
    EXPECT_EQ(translator.translate(release, out), c.kind != CX11Event::Kind::Wheel);
    if (c.kind != CX11Event::Kind::Wheel) {
        EXPECT_EQ(out.kind, CX11Event::Kind::MouseUp);
        EXPECT_EQ(out.button, c.button);
    }
}
INSTANTIATE_TEST_SUITE_P(Buttons, X11ButtonTranslation, ::testing::Values(
    X11ButtonCase{1, CX11Event::Kind::MouseDown, 'L', 0, 0, false},
    X11ButtonCase{2, CX11Event::Kind::MouseDown, 2, 0, 0, false},
    X11ButtonCase{3, CX11Event::Kind::MouseDown, 'R', 0, 0, false},
    X11ButtonCase{4, CX11Event::Kind::Wheel, 0, 0, 1, false},
    X11ButtonCase{5, CX11Event::Kind::Wheel, 0, 0, -1, false},
    X11ButtonCase{6, CX11Event::Kind::Wheel, 0, 0, 1, true},
    X11ButtonCase{7, CX11Event::Kind::Wheel, 0, 0, -1, true},
    X11ButtonCase{8, CX11Event::Kind::MouseDown, 3, 2, 0, false},
    X11ButtonCase{9, CX11Event::Kind::MouseDown, 4, 1, 0, false}));

// Presses of one series alternate single and double; a pause, a move or another button starts anew.
TEST(CX11EventTranslator, DoubleClicksComeFromTimeAndDistance) {
    struct Press { unsigned int button; int x, y; Time time; bool isDouble; };
    const Press presses[] = {
        {1, 10, 10, 1000, false}, {1, 11, 12, 1200, true}, {1, 11, 12, 1400, false}, {1, 10, 10, 1600, true},
        {1, 10, 10, 2100, false},                        // 500 ms later: a new series
        {1, 20, 10, 2200, false},                        // 10 px away
        {3, 20, 10, 2300, false},                        // another button
        {3, 20, 10, 2400, true},
    };
    CX11EventTranslator translator;
    for (const Press& p : presses) {
        SCOPED_TRACE(testing::Message() << "press at " << p.time);
        XEvent e = x11ButtonEvent(true, p.button, p.x, p.y, p.time);
        CX11Event out;
        ASSERT_TRUE(translator.translate(e, out));
        EXPECT_EQ(out.isDoubleClick, p.isDouble);
        XEvent up = x11ButtonEvent(false, p.button, p.x, p.y, p.time + 20);
        ASSERT_TRUE(translator.translate(up, out));
        EXPECT_FALSE(out.isDoubleClick);
    }
}

// Control stays "ctrl": a Control-left press is a left press, not a right one.
TEST(CX11EventTranslator, ModifiersAndHeldButtonsComeFromTheState) {
    CX11EventTranslator translator;
    CX11Event out;
    XEvent press = x11ButtonEvent(true, 1, 5, 5, 10, ControlMask);
    ASSERT_TRUE(translator.translate(press, out));
    EXPECT_EQ(out.button, 'L');
    EXPECT_TRUE(out.isCtrl);
    EXPECT_FALSE(out.isAlt);
    XEvent motion{};
    motion.xmotion.type = MotionNotify;
    motion.xmotion.x = 7;
    motion.xmotion.y = 9;
    motion.xmotion.state = Button1Mask | ShiftMask | Mod1Mask;
    ASSERT_TRUE(translator.translate(motion, out));
    EXPECT_EQ(out.kind, CX11Event::Kind::MouseMove);
    EXPECT_TRUE(out.buttonL);
    EXPECT_FALSE(out.buttonR);
    EXPECT_TRUE(out.isShift);
    EXPECT_TRUE(out.isAlt);
    EXPECT_FALSE(out.isCtrl);
}

TEST(CX11EventTranslator, KeysymsOutsideTheKeyboardsTextMapToUtf16Units) {
    struct Row { unsigned long keysym; int code; };
    for (const Row& r : {Row{0x01000000ul | 0x20ac, 0x20ac},     // euro sign
                         Row{0x01000000ul | 0x1f600, 0xd83d},    // beyond the BMP: the high surrogate
                         Row{XK_odiaeresis, 0xf6}, Row{XK_space, 0x20},
                         Row{XK_Shift_L, 0}, Row{XK_F5, 0}}) {
        SCOPED_TRACE(r.keysym);
        EXPECT_EQ(CX11EventTranslator::keyCodeOfKeysym(r.keysym), r.code);
    }
}

// Keys are read through the server's keyboard map, so they need a display.
TEST(CX11EventTranslator, KeysBecomeFrameworkCodesWithModifiers) {
    TAL_REQUIRE_XVFB(name);
    Display* d = XOpenDisplay(name.c_str());
    ASSERT_NE(d, nullptr);
    struct Row { KeySym keysym; unsigned int state; int code; bool ctrl, alt, shift; };
    const Row rows[] = {
        {XK_BackSpace, 0, 0xE004, false, false, false}, {XK_Tab, 0, 0xE005, false, false, false},
        {XK_Return, 0, 0xE006, false, false, false},    {XK_KP_Enter, 0, 0xE006, false, false, false},
        {XK_Escape, 0, 0xE001, false, false, false},    {XK_Delete, 0, 0xE003, false, false, false},
        {XK_Insert, 0, 0xE002, false, false, false},    {XK_Home, 0, 0xE007, false, false, false},
        {XK_End, 0, 0xE008, false, false, false},       {XK_Prior, 0, 0xE009, false, false, false},
        {XK_Next, 0, 0xE00A, false, false, false},      {XK_Left, 0, 0xE00B, false, false, false},
        {XK_Right, 0, 0xE00C, false, false, false},     {XK_Up, 0, 0xE00D, false, false, false},
        {XK_Down, 0, 0xE00E, false, false, false},      {XK_a, 0, 'a', false, false, false},
        {XK_a, ShiftMask, 'A', false, false, true},     {XK_a, ControlMask, 'a', true, false, false},
        {XK_z, Mod1Mask, 'z', false, true, false},      {XK_5, 0, '5', false, false, false},
    };
    CX11EventTranslator translator;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "keysym 0x" << std::hex << r.keysym << " state " << r.state);
        const KeyCode keycode = XKeysymToKeycode(d, r.keysym);
        ASSERT_NE(keycode, 0) << "the server's keymap lacks the key";
        for (const bool press : {true, false}) {
            XEvent e{};
            e.xkey.type = press ? KeyPress : KeyRelease;
            e.xkey.display = d;
            e.xkey.keycode = keycode;
            e.xkey.state = r.state;
            CX11Event out;
            ASSERT_TRUE(translator.translate(e, out));
            EXPECT_EQ(out.kind, press ? CX11Event::Kind::KeyDown : CX11Event::Kind::KeyUp);
            EXPECT_EQ(out.keyCode, r.code);
            EXPECT_EQ(out.isCtrl, r.ctrl);
            EXPECT_EQ(out.isAlt, r.alt);
            EXPECT_EQ(out.isShift, r.shift);
        }
    }
    // A key without text gives nothing.
    XEvent shift{};
    shift.xkey.type = KeyPress;
    shift.xkey.display = d;
    shift.xkey.keycode = XKeysymToKeycode(d, XK_Shift_L);
    CX11Event out;
    EXPECT_FALSE(translator.translate(shift, out));
    XCloseDisplay(d);
}
