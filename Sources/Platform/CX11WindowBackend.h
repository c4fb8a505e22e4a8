#pragma once
#include "Platform/CNativeEvent.h"
#include "Platform/CWindowBackend.h"
#include "Platform/CX11Clipboard.h"
#include "Platform/CX11Display.h"
#include "Platform/CX11Window.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tal {

class CRunLoopMainLoopTimers;

// The window backend on X11, over its own connection: the main window is a child of the host's
// window (WindowParams::hostParent), popups are override-redirect windows and other windows are
// decorated windows transient for the host's top-level window. Sizes in points become pixels with
// each window's scale, screen positions with the screen scale; X events become CNativeEvent values
// for the windows' sinks, paints merged into one per window. A click takes the keyboard focus.
// Redraw requests go through the server (an expose of the area), so everything arrives through the
// connection, which the owner serves either by calling processEvents or through attachRunLoop.
// Owned by the editor (or a test or tool); main thread only.
class CX11WindowBackend final : public CWindowBackend {
public:
    // --- life cycle ---
    CX11WindowBackend() = default;
    ~CX11WindowBackend() override;

    // Connects to the display (empty: $DISPLAY). False with a message when there is no server.
    bool open(const std::string& displayName, std::string& error);
    // Serves the connection from the host's run loop: its descriptor is watched, and events that
    // Xlib read while presenting are handled on a later turn through a posted call. The loop is not
    // owned and must outlive the backend or see detachRunLoop first.
    bool attachRunLoop(CRunLoopMainLoopTimers& loop);
    void detachRunLoop();

    // --- CWindowBackend ---
    [[nodiscard]] CError* createWindow(const WindowParams& params, CNativeWindowSink* sink, WindowId& id) override;
    void destroyWindow(WindowId id) override;
    void setFrame(WindowId id, double x, double y, double width, double height) override;
    void setScale(WindowId id, double scale) override;
    void setVisible(WindowId id, bool visible) override;
    void setTitle(WindowId id, const char* utf8Title) override;
    void requestRedraw(WindowId id, double x, double y, double width, double height) override;
    void present(WindowId id, const std::uint8_t* pixels, std::int32_t stride, std::int32_t srcX, std::int32_t srcY,
                 std::int32_t width, std::int32_t height, std::int32_t dstX, std::int32_t dstY) override;
    void setCursor(WindowId id, Cursor cursor) override;
    void setCursorHidden(bool hidden) override;
    void pointerPosition(double& x, double& y) override;
    void warpPointer(double screenX, double screenY) override;
    void screenRect(double pointX, double pointY, double& x, double& y, double& width, double& height) override;
    double screenScale() override { return mScreenScale; }
    void windowOrigin(WindowId id, double& x, double& y) override;
    int processEvents() override;

    // --- X11 specifics ---
    // Pixels per screen point (the host's content scale); 1 until set. Values outside 0.5..8 are ignored.
    void setScreenScale(double scale) noexcept override;
    CX11Display& display() noexcept { return mDisplay; }
    // Writing goes straight to the clipboard; reading goes through readClipboard.
    CX11Clipboard& clipboard() noexcept { return mClipboard; }
    // The clipboard's text (CX11Clipboard::getText); events that arrived meanwhile are handled on a
    // later turn of the run loop.
    bool readClipboard(std::string& utf8, int timeoutMs = 1000);
    // Waits until the server has handled every request sent so far; events read meanwhile are
    // handled on a later turn of the run loop.
    void sync();
    // Whether the window holds the X keyboard focus (as its events last told); keys then come
    // from X, not from the host.
    bool hasKeyboardFocus(WindowId id) const;
    // The X window of a backend window; 0 for unknown ids.
    std::uint64_t xWindowOf(WindowId id) const;
    // Forces XPutImage for the windows made afterwards (tests and benchmarks).
    void setSurfaceMode(CX11Surface::Mode mode) noexcept { mSurfaceMode = mode; }

private:
    // One window: its X window, its sink, its merged damage; also the X events' listener.
    struct Entry final : CX11Display::Listener {
        CX11WindowBackend* backend = nullptr;       // not owned
        WindowId id = 0;
        CX11Window window;
        WindowParams params;
        CNativeWindowSink* sink = nullptr;          // not owned
        Cursor cursor = Cursor::Arrow;
        bool visible = false;
        bool focused = false;                       // holds the X keyboard focus
        double damageX0 = 0.0, damageY0 = 0.0, damageX1 = 0.0, damageY1 = 0.0;   // points; empty when x1 <= x0
        void onX11Event(const CX11Event& event) override;
    };

    Entry* find(WindowId id) const;
    void handle(Entry& entry, const CX11Event& event);
    void deliver(WindowId id, const CNativeEvent& event);
    void resizeToParams(Entry& entry);
    void applyCursor(Entry& entry);
    void scheduleDrain();
    static void drainPosted(void* self, std::int64_t);
    static void onReadable(int fd, void* self);

    CX11Display mDisplay;
    CX11Clipboard mClipboard;
    std::map<WindowId, std::unique_ptr<Entry>> mWindows;
    std::vector<std::unique_ptr<Entry>> mDestroyed;       // kept until no event of theirs is being handled
    WindowId mNextId = 1;
    double mScreenScale = 1.0;
    bool mCursorHidden = false;
    int mDepth = 0;                                       // processEvents nesting
    int mDelivered = 0;
    CX11Surface::Mode mSurfaceMode = CX11Surface::Mode::Auto;
    CRunLoopMainLoopTimers* mLoop = nullptr;              // not owned; cleared by detachRunLoop
    std::uint64_t mWatch = 0;
    bool mDrainPosted = false;
};

} // namespace tal
