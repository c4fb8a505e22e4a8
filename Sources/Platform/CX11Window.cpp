#include "Platform/CX11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

namespace tal {

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | EnterWindowMask | LeaveWindowMask | FocusChangeMask |
                            StructureNotifyMask;

// Our own visual and colormap, whatever the parent's depth; no background, so nothing flashes
// before the first paint.
XSetWindowAttributes baseAttributes(Display* d) {
    XSetWindowAttributes attributes{};
    attributes.colormap = DefaultColormap(d, DefaultScreen(d));
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = kEventMask;
    return attributes;
}

} // namespace

CX11Window::~CX11Window() { destroy(); }

bool CX11Window::createChild(CX11Display& display, std::uint64_t parent, int width, int height, std::string& error,
                             bool visible) {
    destroy();
    Display* d = display.xdisplay();
    if (d == nullptr || width < 1 || height < 1) {
        error = "No X display or an empty window size.";
        return false;
    }
    // The parent belongs to the host, maybe on another connection: check that it exists.
    XWindowAttributes parentAttributes;
    const int errorsBefore = display.errorCount();
    const Status found = XGetWindowAttributes(d, Window(parent), &parentAttributes);
    if (!found || display.errorCount() != errorsBefore) {
        error = "The parent window " + std::to_string(parent) + " does not exist.";
        return false;
    }
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attributes = baseAttributes(d);
    const Window window =
        XCreateWindow(d, Window(parent), 0, 0, unsigned(width), unsigned(height), 0, DefaultDepth(d, screen),
                      InputOutput, DefaultVisual(d, screen), CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask,
                      &attributes);
    finishCreate(display, window, Kind::Child, width, height);
    setXembedMapped(visible);
    if (visible)
        XMapWindow(d, window);
    display.flush();
    return true;
}

void CX11Window::setXembedMapped(bool mapped) {
    // XEmbed: protocol version 0, and the mapped flag.
    const long xembedInfo[2] = {0, mapped ? 1 : 0};
    const Atom xembedAtom = Atom(mDisplay->atom("_XEMBED_INFO"));
    XChangeProperty(mDisplay->xdisplay(), Window(mWindow), xembedAtom, xembedAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(xembedInfo), 2);
}

bool CX11Window::createTopLevel(CX11Display& display, Kind kind, int x, int y, int width, int height,
                                std::uint64_t transientFor, const std::string& title, std::string& error) {
    destroy();
    Display* d = display.xdisplay();
    if (d == nullptr || width < 1 || height < 1 || kind == Kind::Child) {
        error = "No X display, an empty window size or a child window kind.";
        return false;
    }
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attributes = baseAttributes(d);
    attributes.override_redirect = kind == Kind::Popup ? True : False;
    attributes.save_under = kind == Kind::Popup ? True : False;
    const Window window = XCreateWindow(
        d, RootWindow(d, screen), x, y, unsigned(width), unsigned(height), 0, DefaultDepth(d, screen), InputOutput,
        DefaultVisual(d, screen),
        CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask | CWOverrideRedirect | CWSaveUnder, &attributes);
    const std::uint64_t owner = transientFor ? topLevelOf(display, transientFor) : 0;
    if (owner)
        XSetTransientForHint(d, window, Window(owner));
    if (kind == Kind::Tool) {
        Atom deleteAtom = Atom(display.atom("WM_DELETE_WINDOW"));
        XSetWMProtocols(d, window, &deleteAtom, 1);
        const Atom type = Atom(display.atom("_NET_WM_WINDOW_TYPE_DIALOG"));
        XChangeProperty(d, window, Atom(display.atom("_NET_WM_WINDOW_TYPE")), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&type), 1);
        // Placed where asked, not where the window manager likes.
        XSizeHints hints{};
        hints.flags = PPosition | USPosition;
        hints.x = x;
        hints.y = y;
        XSetWMNormalHints(d, window, &hints);
    }
    finishCreate(display, window, kind, width, height);
    if (kind == Kind::Tool)
        setTitle(title);
    return true;
}

void CX11Window::setTitle(const std::string& utf8Title) {
    if (!mDisplay)
        return;
    Display* d = mDisplay->xdisplay();
    XStoreName(d, Window(mWindow), utf8Title.c_str());
    XChangeProperty(d, Window(mWindow), Atom(mDisplay->atom("_NET_WM_NAME")), Atom(mDisplay->atom("UTF8_STRING")), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8Title.data()), int(utf8Title.size()));
    mDisplay->flush();
}

void CX11Window::finishCreate(CX11Display& display, std::uint64_t window, Kind kind, int width, int height) {
    mDisplay = &display;
    mWindow = window;
    mKind = kind;
    mWidth = width;
    mHeight = height;
    mGone = false;
    mCursor = Cursor::Arrow;
    display.flush();
}

void CX11Window::destroy() {
    if (mDisplay == nullptr)
        return;
    mSurface.destroy();
    Display* d = mDisplay->xdisplay();
    mDisplay->removeListener(mWindow);
    if (d) {
        if (!mGone)
            XDestroyWindow(d, Window(mWindow));
        for (const auto& [shape, xcursor] : mCursors)
            XFreeCursor(d, ::Cursor(xcursor));
        XFlush(d);
    }
    mCursors.clear();
    mDisplay = nullptr;
    mWindow = 0;
    mWidth = mHeight = 0;
}

void CX11Window::setListener(CX11Display::Listener* listener) {
    if (!mDisplay)
        return;
    if (listener)
        mDisplay->addListener(mWindow, listener);
    else
        mDisplay->removeListener(mWindow);
}

void CX11Window::show() {
    if (!mDisplay)
        return;
    if (mKind == Kind::Child)
        setXembedMapped(true);
    XMapRaised(mDisplay->xdisplay(), Window(mWindow));
    mDisplay->flush();
}

void CX11Window::hide() {
    if (!mDisplay)
        return;
    if (mKind == Kind::Child)
        setXembedMapped(false);
    XUnmapWindow(mDisplay->xdisplay(), Window(mWindow));
    mDisplay->flush();
}

void CX11Window::move(int x, int y) {
    if (!mDisplay)
        return;
    XMoveWindow(mDisplay->xdisplay(), Window(mWindow), x, y);
    mDisplay->flush();
}

void CX11Window::resize(int width, int height) {
    if (!mDisplay || width < 1 || height < 1 || (width == mWidth && height == mHeight))
        return;
    mWidth = width;
    mHeight = height;
    XResizeWindow(mDisplay->xdisplay(), Window(mWindow), unsigned(width), unsigned(height));
    mDisplay->flush();
}

void CX11Window::setCursor(Cursor cursor) {
    if (!mDisplay || cursor == mCursor)
        return;
    Display* d = mDisplay->xdisplay();
    auto it = mCursors.find(cursor);
    if (it == mCursors.end()) {
        ::Cursor made = None;
        if (cursor == Cursor::Hidden) {
            // A cursor of one transparent pixel.
            static const char blank[1] = {0};
            const Pixmap pixmap = XCreateBitmapFromData(d, Window(mWindow), blank, 1, 1);
            XColor black{};
            made = XCreatePixmapCursor(d, pixmap, pixmap, &black, &black, 0, 0);
            XFreePixmap(d, pixmap);
        } else {
            unsigned int shape = XC_left_ptr;
            switch (cursor) {
            case Cursor::Hand: shape = XC_hand2; break;
            case Cursor::Text: shape = XC_xterm; break;
            case Cursor::Crosshair: shape = XC_crosshair; break;
            case Cursor::ResizeHorizontal: shape = XC_sb_h_double_arrow; break;
            case Cursor::ResizeVertical: shape = XC_sb_v_double_arrow; break;
            case Cursor::Move: shape = XC_fleur; break;
            default: break;
            }
            made = XCreateFontCursor(d, shape);
        }
        it = mCursors.emplace(cursor, made).first;
    }
    XDefineCursor(d, Window(mWindow), ::Cursor(it->second));
    mCursor = cursor;
    mDisplay->flush();
}

void CX11Window::warpPointer(int x, int y) {
    if (!mDisplay)
        return;
    XWarpPointer(mDisplay->xdisplay(), None, Window(mWindow), 0, 0, 0, 0, x, y);
    mDisplay->flush();
}

void CX11Window::requestExpose(int x, int y, int w, int h) {
    if (!mDisplay || mGone || w < 1 || h < 1)
        return;
    // Without a background the server leaves the pixels alone and only reports the area.
    XClearArea(mDisplay->xdisplay(), Window(mWindow), x, y, unsigned(w), unsigned(h), True);
    mDisplay->flush();
}

void CX11Window::takeFocus() {
    if (!mDisplay)
        return;
    XSetInputFocus(mDisplay->xdisplay(), Window(mWindow), RevertToParent, CurrentTime);
    mDisplay->flush();
}

void CX11Window::setSurfaceMode(CX11Surface::Mode mode) noexcept {
    if (mode != mSurfaceMode) {
        mSurfaceMode = mode;
        mSurface.destroy();
    }
}

bool CX11Window::prepareSurface() {
    if (!mDisplay || mGone)
        return false;
    if (mSurface.isCreated() && mSurface.width() == mWidth && mSurface.height() == mHeight)
        return true;
    std::string error;
    return mSurface.create(*mDisplay, mWindow, mWidth, mHeight, mSurfaceMode, error);
}

bool CX11Window::present(const std::uint32_t* pixels, int stride, int x, int y, int w, int h) {
    return prepareSurface() && mSurface.blit(pixels, stride, x, y, w, h);
}

bool CX11Window::presentRgbx(const std::uint8_t* rows, int strideBytes, int srcX, int srcY, int w, int h, int dstX,
                             int dstY) {
    return prepareSurface() && mSurface.blitRgbx(rows, strideBytes, srcX, srcY, w, h, dstX, dstY);
}

bool CX11Window::screenPosition(int& x, int& y) const {
    x = y = 0;
    if (!mDisplay || mGone)
        return false;
    Window child = None;
    return XTranslateCoordinates(mDisplay->xdisplay(), Window(mWindow), Window(mDisplay->rootWindow()), 0, 0, &x,
                                 &y, &child) == True;
}

std::uint64_t CX11Window::topLevelOf(CX11Display& display, std::uint64_t window) {
    Display* d = display.xdisplay();
    if (!d || window == 0)
        return 0;
    Window current = Window(window);
    for (int depth = 0; depth < 64; ++depth) {
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, current, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root || parent == None)
            return current;
        current = parent;
    }
    return 0;
}

} // namespace tal
