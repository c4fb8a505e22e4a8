#pragma once
#include <cstdint>
#include <vector>

namespace tal {

class CError;
class CNativeWindowSink;

// The native window system as the window renderer sees it: windows of a size in points and a
// pixel scale, the presentation of rendered pixels, titles, cursors, visibility, the screen, and
// the delivery of each window's input and paint events to its sink. One implementation draws into
// memory (CHeadlessWindowBackend: tests, screenshots, tools); another sits on X11. The interface
// carries no window-system types: a window is a number, pixels are plain 32-bit rows.
// The process has one current backend, set and cleared by its owner (the editor, a test, a tool).
// Threads: every call on the main thread.
class CWindowBackend {
public:
    using WindowId = std::uint64_t;   // 0 is never a valid window

    enum class Cursor : std::uint8_t { Arrow, Hand, Text, Crosshair, Move, ResizeHorizontal, ResizeVertical };

    // How a window is made.
    struct WindowParams {
        double x = 0.0, y = 0.0;           // points; top-level windows: screen position, top-left origin
        double width = 0.0, height = 0.0;  // points
        double scale = 1.0;                // pixels per point of the rendered content
        std::uint64_t hostParent = 0;      // the host's window to embed into (an X11 window id); 0: top-level
        WindowId transientFor = 0;         // the window a popup or tool window floats above; 0: none
        bool popup = false;                // borderless, above the others, no decoration
        bool modal = false;                // a modal message window
        bool mainWindow = false;           // the editor's main window
    };

    CWindowBackend() = default;
    CWindowBackend(const CWindowBackend&) = delete;
    CWindowBackend& operator=(const CWindowBackend&) = delete;
    virtual ~CWindowBackend() = default;

    // --- windows ---
    // Makes a window, hidden, and returns its id in `id` (0 on failure). The sink is not owned; it
    // receives the window's events until destroyWindow. Error: the window system refused.
    [[nodiscard]] virtual CError* createWindow(const WindowParams& params, CNativeWindowSink* sink, WindowId& id) = 0;
    // Destroys the window; its sink gets nothing more, not even events already queued. Unknown ids
    // are ignored.
    virtual void destroyWindow(WindowId id) = 0;
    // Moves and sizes a window (points; an embedded window ignores x and y).
    virtual void setFrame(WindowId id, double x, double y, double width, double height) = 0;
    // The pixel scale of the content changed (the pixel buffer is resized).
    virtual void setScale(WindowId id, double scale) = 0;
    virtual void setVisible(WindowId id, bool visible) = 0;
    virtual void setTitle(WindowId id, const char* utf8Title) = 0;

    // --- drawing ---
    // Asks for a Paint event covering the rectangle (points): the backend merges requests and
    // delivers one Paint per window later, from processEvents or the run loop.
    virtual void requestRedraw(WindowId id, double x, double y, double width, double height) = 0;
    // Copies pixels to the window: the rectangle (srcX, srcY, width, height) of the source rows
    // (R, G, B, X bytes per pixel, `stride` bytes per row) lands at pixel (dstX, dstY) of the window's
    // content. Parts outside the window are dropped.
    virtual void present(WindowId id, const std::uint8_t* pixels, std::int32_t stride, std::int32_t srcX,
                         std::int32_t srcY, std::int32_t width, std::int32_t height, std::int32_t dstX,
                         std::int32_t dstY) = 0;

    // --- pointer ---
    virtual void setCursor(WindowId id, Cursor cursor) = 0;
    // Hides or shows the pointer (the caller counts nested requests; this is the plain switch).
    virtual void setCursorHidden(bool hidden) = 0;
    // The pointer position in screen points, top-left origin.
    virtual void pointerPosition(double& x, double& y) = 0;
    virtual void warpPointer(double screenX, double screenY) = 0;

    // --- screen ---
    // The rectangle of the screen that holds the point, in screen points (the main screen when the
    // point is on none).
    virtual void screenRect(double pointX, double pointY, double& x, double& y, double& width, double& height) = 0;
    // The backing scale of the main screen (pixels per point).
    virtual double screenScale() = 0;
    // Sets it (the host's content scale); values outside 0.5..8 are ignored. Windows follow when
    // their renderers get "update-pixel-size".
    virtual void setScreenScale(double scale) noexcept = 0;
    // One screen: its frame and its visible part (without panels and docks), in screen points.
    struct Screen {
        double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
        double visibleX = 0.0, visibleY = 0.0, visibleWidth = 0.0, visibleHeight = 0.0;
    };
    // Every screen, the main one first. The base gives the one screenRect names for (0, 0), all of
    // it visible.
    virtual std::vector<Screen> screens();
    // The position of a window's content on the screen, top-left origin, points.
    virtual void windowOrigin(WindowId id, double& x, double& y) = 0;

    // --- events ---
    // Delivers the events that are queued now to their sinks (input first, then paints) and
    // returns how many were delivered. Never runs anything of the host's.
    virtual int processEvents() = 0;

    // --- the process-wide current backend (main thread) ---
    static CWindowBackend* current() noexcept;                  // not owned; null when none is set
    static void setCurrent(CWindowBackend* backend) noexcept;   // not owned; null clears it
};

} // namespace tal
