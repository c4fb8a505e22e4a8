#pragma once
#include "Platform/CX11Event.h"
#include "Platform/CX11EventTranslator.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct _XDisplay;   // Xlib's Display; Xlib's macros stay out of this header
union _XEvent;

namespace tal {

class CX11Clipboard;

// One connection to an X server for the editor's windows. Xlib reports protocol errors through one
// process-wide handler, whose default ends the process; while any CX11Display is open a handler is
// installed that records errors of our connections (a host may destroy its window before ours) and
// passes the others on to the handler it replaced.
// Owned by the editor (or a test); main thread only.
class CX11Display {
public:
    // Receives the translated events of one window.
    class Listener {
    public:
        virtual void onX11Event(const CX11Event& event) = 0;

    protected:
        ~Listener() = default;
    };

    struct ScreenArea {
        int x = 0, y = 0, width = 0, height = 0;
    };

    // --- life cycle ---
    CX11Display() = default;
    ~CX11Display();
    CX11Display(const CX11Display&) = delete;
    CX11Display& operator=(const CX11Display&) = delete;

    // Connects to the named display, or to $DISPLAY for an empty name. Returns false with a message
    // in `error` when no server can be reached.
    bool open(const std::string& name, std::string& error);
    void close();
    bool isOpen() const noexcept { return mDisplay != nullptr; }

    // --- queries ---
    _XDisplay* xdisplay() const noexcept { return mDisplay; }   // not owned by callers
    int fd() const noexcept;                                     // the connection's socket, -1 when closed
    std::uint64_t rootWindow() const noexcept;
    bool hasShm() const noexcept { return mHasShm; }
    // The monitors (XRandR, else the whole screen) in screen pixels.
    std::vector<ScreenArea> screens() const;
    // The desktop's work area (_NET_WORKAREA of the current desktop), else the whole screen.
    ScreenArea workArea() const;
    // The scale the desktop asks for: Xft.dpi / 96 from the resource database, else 1.
    double scaleHint() const;
    // The pointer's position on the screen in pixels; false when it is on another screen.
    bool pointerPosition(int& x, int& y) const;
    // The number of events waiting: those Xlib (and XCB below it) already read, where the
    // descriptor no longer shows them, plus those on the socket now. Never blocks. Any call that
    // writes to the server may read events on the way, so a run loop checks this before it sleeps.
    int queuedEvents() const noexcept;
    // An atom of this connection (interned on first use).
    unsigned long atom(const char* name);
    // The number of protocol errors on this connection since it was opened, and the last error code.
    int errorCount() const noexcept { return mErrorCount; }
    int lastErrorCode() const noexcept { return mLastErrorCode; }

    // --- windows and events ---
    // Routes the events of `window` to `listener` (not owned) until removed.
    void addListener(std::uint64_t window, Listener* listener);
    void removeListener(std::uint64_t window);
    // Events of the windows the clipboard owns go to it; null stops that.
    void setClipboard(CX11Clipboard* clipboard) noexcept { mClipboard = clipboard; }
    // Reads what the server has sent and hands every event to its window's listener. Returns the
    // number of events read. Safe when a listener removes itself or another window.
    int dispatch();
    // Sends buffered requests to the server (XFlush); sync also waits until it has handled them.
    void flush();
    void sync();
    // Moves the pointer to (x, y) in screen pixels.
    void warpPointer(int x, int y);
    // The held modifier keys and buttons as CNativeEvent's bits (Control as ctrl, Mod1 as alt).
    std::uint32_t pointerState() const;
    // Asks the window manager to iconify a top-level window.
    void iconify(std::uint64_t window);

    // Routes one event to the clipboard or its window's listener, as dispatch does for each event
    // it reads (for events a caller took from the connection itself).
    void route(_XEvent& event);

private:
    _XDisplay* mDisplay = nullptr;
    bool mHasShm = false;
    std::map<std::string, unsigned long> mAtoms;
    struct Route {
        Listener* listener = nullptr;                   // not owned
        CX11EventTranslator translator;
    };
    std::map<std::uint64_t, Route> mRoutes;
    CX11Clipboard* mClipboard = nullptr;               // not owned
    int mErrorCount = 0;
    int mLastErrorCode = 0;

public:
    // Called by the process-wide error handler for errors of this connection.
    void recordError(int code) noexcept {
        ++mErrorCount;
        mLastErrorCode = code;
    }
};

} // namespace tal
