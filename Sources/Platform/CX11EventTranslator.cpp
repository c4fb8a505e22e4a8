#include "Platform/CX11EventTranslator.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace tal {

namespace {

struct KeysymCode {
    unsigned long keysym;
    int code;
};

constexpr KeysymCode kSpecialKeys[] = {
    {XK_BackSpace, 0xE004}, {XK_Tab, 0xE005},       {XK_ISO_Left_Tab, 0xE005}, {XK_Return, 0xE006},
    {XK_KP_Enter, 0xE006},  {XK_Escape, 0xE001},    {XK_Delete, 0xE003},       {XK_KP_Delete, 0xE003},
    {XK_Insert, 0xE002},    {XK_KP_Insert, 0xE002}, {XK_Home, 0xE007},         {XK_KP_Home, 0xE007},
    {XK_End, 0xE008},       {XK_KP_End, 0xE008},    {XK_Prior, 0xE009},        {XK_KP_Prior, 0xE009},
    {XK_Next, 0xE00A},      {XK_KP_Next, 0xE00A},   {XK_Left, 0xE00B},         {XK_KP_Left, 0xE00B},
    {XK_Right, 0xE00C},     {XK_KP_Right, 0xE00C},  {XK_Up, 0xE00D},           {XK_KP_Up, 0xE00D},
    {XK_Down, 0xE00E},      {XK_KP_Down, 0xE00E},
};

void setModifiers(unsigned int state, CX11Event& out) {
    out.isCtrl = (state & ControlMask) != 0;
    out.isAlt = (state & Mod1Mask) != 0;
    out.isShift = (state & ShiftMask) != 0;
    out.buttonL = (state & Button1Mask) != 0;
    out.buttonR = (state & Button3Mask) != 0;
    out.buttonM = (state & Button2Mask) != 0;
}

// The pointer position, time and modifiers of a button, motion or crossing event.
template <class PointerEvent>
void setPointer(const PointerEvent& e, CX11Event& out) {
    out.x = e.x;
    out.y = e.y;
    out.rootX = e.x_root;
    out.rootY = e.y_root;
    out.time = std::uint32_t(e.time);
    setModifiers(e.state, out);
}

} // namespace

int CX11EventTranslator::keyCodeOfKeysym(unsigned long keysym) noexcept {
    for (const KeysymCode& k : kSpecialKeys)
        if (k.keysym == keysym)
            return k.code;
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return int(keysym);                               // Latin-1 keysyms are their characters
    if ((keysym & 0xff000000ul) == 0x01000000ul) {        // Unicode keysyms
        const unsigned long ucs = keysym & 0x00fffffful;
        if (ucs < 0x20 || ucs > 0x10ffff)
            return 0;
        return ucs > 0xffff ? int(0xd800 + ((ucs - 0x10000) >> 10)) : int(ucs);
    }
    return 0;
}

bool CX11EventTranslator::translate(const XEvent& event, CX11Event& out) {
    out = CX11Event{};
    out.window = event.xany.window;
    switch (event.type) {
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& e = event.xbutton;
        const bool down = event.type == ButtonPress;
        setPointer(e, out);
        if (e.button >= 4 && e.button <= 7) {             // wheel steps come as press and release
            if (!down)
                return false;
            out.kind = CX11Event::Kind::Wheel;
            out.delta = (e.button == 4 || e.button == 6) ? 1 : -1;
            out.horizontal = e.button >= 6;
            return true;
        }
        out.kind = down ? CX11Event::Kind::MouseDown : CX11Event::Kind::MouseUp;
        switch (e.button) {
        case 1: out.button = CX11Event::kButtonLeft; break;
        case 2: out.button = CX11Event::kButtonMiddle; break;
        case 3: out.button = CX11Event::kButtonRight; break;
        case 8: out.button = CX11Event::kButtonBack; out.xbutton = 2; break;
        case 9: out.button = CX11Event::kButtonForward; out.xbutton = 1; break;
        default: return false;
        }
        if (down) {
            const bool series = mClickCount > 0 && e.button == mLastButton &&
                                std::uint32_t(e.time) - mLastPressTime <= kDoubleClickMs &&
                                std::abs(e.x - mLastPressX) <= kDoubleClickDistance &&
                                std::abs(e.y - mLastPressY) <= kDoubleClickDistance;
            mClickCount = series ? mClickCount + 1 : 1;
            mLastButton = e.button;
            mLastPressTime = std::uint32_t(e.time);
            mLastPressX = e.x;
            mLastPressY = e.y;
            out.isDoubleClick = mClickCount % 2 == 0;
        }
        return true;
    }
    case MotionNotify: {
        const XMotionEvent& e = event.xmotion;
        out.kind = CX11Event::Kind::MouseMove;
        setPointer(e, out);
        return true;
    }
    case KeyPress:
    case KeyRelease: {
        XKeyEvent e = event.xkey;
        // Control would turn letters into control characters: the key's own character is wanted.
        e.state &= ~unsigned(ControlMask);
        char text[16] = {};
        KeySym keysym = NoSymbol;
        const int length = XLookupString(&e, text, sizeof text, &keysym, nullptr);
        int code = keyCodeOfKeysym(keysym);
        if (code == 0 && length > 0 && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7f)
            code = static_cast<unsigned char>(text[0]);   // keypad digits and the like: Latin-1 text
        if (code == 0)
            return false;
        out.kind = event.type == KeyPress ? CX11Event::Kind::KeyDown : CX11Event::Kind::KeyUp;
        out.keyCode = code;
        out.time = std::uint32_t(e.time);
        setModifiers(event.xkey.state, out);
        return true;
    }
    case EnterNotify:
    case LeaveNotify: {
        const XCrossingEvent& e = event.xcrossing;
        if (e.mode != NotifyNormal || e.detail == NotifyInferior)
            return false;
        out.kind = event.type == EnterNotify ? CX11Event::Kind::PointerEnter : CX11Event::Kind::PointerLeave;
        setPointer(e, out);
        return true;
    }
    case FocusIn:
    case FocusOut: {
        const XFocusChangeEvent& e = event.xfocus;
        if (e.mode == NotifyGrab || e.mode == NotifyUngrab || e.detail == NotifyPointer)
            return false;
        out.kind = event.type == FocusIn ? CX11Event::Kind::FocusGained : CX11Event::Kind::FocusLost;
        return true;
    }
    case Expose: {
        const XExposeEvent& e = event.xexpose;
        out.kind = CX11Event::Kind::Paint;
        out.x = e.x;
        out.y = e.y;
        out.width = e.width;
        out.height = e.height;
        return true;
    }
    case ConfigureNotify: {
        const XConfigureEvent& e = event.xconfigure;
        if (e.window != e.event)                           // a substructure note of another window
            return false;
        out.kind = CX11Event::Kind::Geometry;
        out.x = e.x;
        out.y = e.y;
        out.width = e.width;
        out.height = e.height;
        return true;
    }
    case UnmapNotify:
        out.kind = CX11Event::Kind::Hidden;
        return true;
    default:
        return false;
    }
}

} // namespace tal
