#include "Platform/CX11Display.h"

#include "Platform/CNativeEvent.h"

#include "Platform/CX11Clipboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace tal {

namespace {

// Xlib keeps process-wide state (its error handler, thread locks, locale and resource databases)
// that other users in the host's process share, and the X libraries do not unload cleanly: once
// they came in with the plug-in they stay when a host unloads it, as they do in a process that
// opened a display. (A scanning host that loads and unloads the plug-in many times would otherwise
// load and drop them each time.)
const bool gX11LibrariesPinned = [] {
    bool pinned = true;
    for (const char* name : {"libX11.so.6", "libXext.so.6", "libXrandr.so.2", "libXrender.so.1", "libxcb.so.1"}) {
        void* handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        pinned = pinned && handle != nullptr;
        if (handle)
            dlclose(handle);
    }
    return pinned;
}();

// The open connections and the error handler that was installed before ours (main thread).
std::vector<CX11Display*> gOpenDisplays;
XErrorHandler gPreviousErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* error) {
    for (CX11Display* d : gOpenDisplays)
        if (d->xdisplay() == display) {
            d->recordError(error->error_code);
            return 0;
        }
    return gPreviousErrorHandler ? gPreviousErrorHandler(display, error) : 0;
}

void registerDisplay(CX11Display* display) {
    if (gOpenDisplays.empty())
        gPreviousErrorHandler = XSetErrorHandler(&onXError);
    gOpenDisplays.push_back(display);
}

void unregisterDisplay(CX11Display* display) {
    gOpenDisplays.erase(std::remove(gOpenDisplays.begin(), gOpenDisplays.end(), display), gOpenDisplays.end());
    if (gOpenDisplays.empty()) {
        // Someone may have installed a handler after ours: theirs stays.
        const XErrorHandler current = XSetErrorHandler(gPreviousErrorHandler);
        if (current != &onXError)
            XSetErrorHandler(current);
        gPreviousErrorHandler = nullptr;
    }
}

} // namespace

CX11Display::~CX11Display() { close(); }

bool CX11Display::open(const std::string& name, std::string& error) {
    close();
    const char* wanted = name.empty() ? std::getenv("DISPLAY") : name.c_str();
    if (wanted == nullptr || *wanted == '\0') {
        error = "No X display: DISPLAY is not set.";
        return false;
    }
    mDisplay = XOpenDisplay(wanted);
    if (mDisplay == nullptr) {
        error = std::string("Cannot open the X display \"") + wanted + "\".";
        return false;
    }
    registerDisplay(this);
    mErrorCount = 0;
    mLastErrorCode = 0;
    // Shared memory works only when client and server share the machine.
    const char* shown = DisplayString(mDisplay);
    const bool local = shown != nullptr && (shown[0] == ':' || std::strncmp(shown, "unix:", 5) == 0);
    mHasShm = local && XShmQueryExtension(mDisplay) == True;
    return true;
}

void CX11Display::close() {
    if (mDisplay == nullptr)
        return;
    mRoutes.clear();
    mAtoms.clear();
    XCloseDisplay(mDisplay);
    unregisterDisplay(this);
    mDisplay = nullptr;
    mHasShm = false;
}

int CX11Display::fd() const noexcept { return mDisplay ? ConnectionNumber(mDisplay) : -1; }

std::uint64_t CX11Display::rootWindow() const noexcept { return mDisplay ? DefaultRootWindow(mDisplay) : 0; }

unsigned long CX11Display::atom(const char* name) {
    const auto it = mAtoms.find(name);
    if (it != mAtoms.end())
        return it->second;
    const Atom a = XInternAtom(mDisplay, name, False);
    mAtoms.emplace(name, a);
    return a;
}

std::vector<CX11Display::ScreenArea> CX11Display::screens() const {
    std::vector<ScreenArea> out;
    if (!mDisplay)
        return out;
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(mDisplay, &eventBase, &errorBase)) {
        int count = 0;
        if (XRRMonitorInfo* monitors = XRRGetMonitors(mDisplay, DefaultRootWindow(mDisplay), True, &count)) {
            for (int i = 0; i < count; ++i)
                out.push_back(ScreenArea{monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height});
            XRRFreeMonitors(monitors);
        }
    }
    if (out.empty()) {
        const int screen = DefaultScreen(mDisplay);
        out.push_back(ScreenArea{0, 0, DisplayWidth(mDisplay, screen), DisplayHeight(mDisplay, screen)});
    }
    return out;
}

namespace {

// Reads a CARDINAL array property of the root window; empty when missing.
std::vector<long> readCardinals(Display* display, Window window, Atom property) {
    std::vector<long> values;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        if (type == XA_CARDINAL && format == 32) {
            const long* longs = reinterpret_cast<const long*>(data);   // format 32 arrives as longs
            values.assign(longs, longs + count);
        }
        XFree(data);
    }
    return values;
}

} // namespace

CX11Display::ScreenArea CX11Display::workArea() const {
    if (!mDisplay)
        return {};
    const int screen = DefaultScreen(mDisplay);
    const ScreenArea whole{0, 0, DisplayWidth(mDisplay, screen), DisplayHeight(mDisplay, screen)};
    const Window root = DefaultRootWindow(mDisplay);
    const std::vector<long> desktop =
        readCardinals(mDisplay, root, XInternAtom(mDisplay, "_NET_CURRENT_DESKTOP", True));
    const std::vector<long> areas = readCardinals(mDisplay, root, XInternAtom(mDisplay, "_NET_WORKAREA", True));
    const std::size_t index = desktop.empty() ? 0 : std::size_t(desktop[0]);
    if (areas.size() < (index + 1) * 4)
        return whole;
    const ScreenArea area{int(areas[index * 4]), int(areas[index * 4 + 1]), int(areas[index * 4 + 2]),
                          int(areas[index * 4 + 3])};
    return area.width > 0 && area.height > 0 ? area : whole;
}

double CX11Display::scaleHint() const {
    if (!mDisplay)
        return 1.0;
    const char* resources = XResourceManagerString(mDisplay);
    if (resources == nullptr)
        return 1.0;
    // Lines "Xft.dpi:\t192"
    for (const char* line = resources; line && *line; ) {
        const char* end = std::strchr(line, '\n');
        if (std::strncmp(line, "Xft.dpi:", 8) == 0) {
            const double dpi = std::strtod(line + 8, nullptr);
            if (dpi >= 48.0 && dpi <= 960.0)
                return dpi / 96.0;
        }
        line = end ? end + 1 : nullptr;
    }
    return 1.0;
}

void CX11Display::addListener(std::uint64_t window, Listener* listener) {
    mRoutes[window].listener = listener;
}

void CX11Display::removeListener(std::uint64_t window) { mRoutes.erase(window); }

int CX11Display::dispatch() {
    if (!mDisplay)
        return 0;
    int count = 0;
    while (mDisplay && XPending(mDisplay) > 0) {
        XEvent event;
        XNextEvent(mDisplay, &event);
        route(event);
        ++count;
    }
    return count;
}

void CX11Display::route(XEvent& event) {
    if (mClipboard && mClipboard->handleEvent(event))
        return;
    const auto it = mRoutes.find(event.xany.window);
    if (it == mRoutes.end())
        return;
    CX11Event out;
    if (event.type == ClientMessage) {
        if (event.xclient.message_type != atom("WM_PROTOCOLS") || event.xclient.format != 32 ||
            Atom(event.xclient.data.l[0]) != atom("WM_DELETE_WINDOW"))
            return;
        out.kind = CX11Event::Kind::CloseRequest;
        out.window = event.xany.window;
    } else if (event.type == DestroyNotify) {
        if (event.xdestroywindow.window != event.xdestroywindow.event)
            return;
        out.kind = CX11Event::Kind::Destroyed;
        out.window = event.xdestroywindow.window;
    } else if (!it->second.translator.translate(event, out)) {
        return;
    }
    // The listener may remove routes, its own included.
    it->second.listener->onX11Event(out);
}

bool CX11Display::pointerPosition(int& x, int& y) const {
    x = y = 0;
    if (!mDisplay)
        return false;
    Window root = 0, child = 0;
    int winX = 0, winY = 0;
    unsigned int mask = 0;
    return XQueryPointer(mDisplay, DefaultRootWindow(mDisplay), &root, &child, &x, &y, &winX, &winY, &mask) == True;
}

int CX11Display::queuedEvents() const noexcept { return mDisplay ? XEventsQueued(mDisplay, QueuedAfterReading) : 0; }

std::uint32_t CX11Display::pointerState() const {
    if (!mDisplay)
        return 0;
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (XQueryPointer(mDisplay, DefaultRootWindow(mDisplay), &root, &child, &rx, &ry, &wx, &wy, &mask) != True)
        return 0;
    std::uint32_t state = 0;
    if (mask & ShiftMask) state |= CNativeEvent::kShift;
    if (mask & ControlMask) state |= CNativeEvent::kCtrl;
    if (mask & Mod1Mask) state |= CNativeEvent::kAlt;
    if (mask & Button1Mask) state |= CNativeEvent::kLeftButton;
    if (mask & Button3Mask) state |= CNativeEvent::kRightButton;
    if (mask & Button2Mask) state |= CNativeEvent::kMiddleButton;
    return state;
}

void CX11Display::iconify(std::uint64_t window) {
    if (!mDisplay || window == 0)
        return;
    XIconifyWindow(mDisplay, Window(window), DefaultScreen(mDisplay));
    XFlush(mDisplay);
}

void CX11Display::warpPointer(int x, int y) {
    if (!mDisplay)
        return;
    XWarpPointer(mDisplay, None, DefaultRootWindow(mDisplay), 0, 0, 0, 0, x, y);
    XFlush(mDisplay);
}

void CX11Display::flush() {
    if (mDisplay)
        XFlush(mDisplay);
}

void CX11Display::sync() {
    if (mDisplay)
        XSync(mDisplay, False);
}

} // namespace tal
