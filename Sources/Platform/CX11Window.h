#pragma once
#include "Platform/CX11Display.h"
#include "Platform/CX11Surface.h"

#include <cstdint>
#include <map>
#include <string>

namespace tal {

// One X window of the editor: the child window inside a host's window ("X11EmbedWindowID", with
// _XEMBED_INFO), a popup (override-redirect, placed in screen pixels) or a tool window (a
// decorated top-level window transient for the host's top-level window). It routes its events to a
// listener, presents pixels through a CX11Surface, and sets cursors, pointer and focus.
// Owned by its renderer; the display must outlive it. Main thread only.
class CX11Window {
public:
    enum class Kind { Child, Popup, Tool };
    enum class Cursor { Arrow, Hand, Text, Crosshair, ResizeHorizontal, ResizeVertical, Move, Hidden };

    // --- life cycle ---
    CX11Window() = default;
    ~CX11Window();
    CX11Window(const CX11Window&) = delete;
    CX11Window& operator=(const CX11Window&) = delete;

    // A child of `parent` (a window id of any client) at (0, 0), mapped unless `visible` is false.
    // False with a message when the parent does not exist or the size is empty.
    bool createChild(CX11Display& display, std::uint64_t parent, int width, int height, std::string& error,
                     bool visible = true);
    // A popup or tool window at (x, y) in screen pixels, not yet shown; `transientFor` (0: none) is
    // a window whose top-level window it stays above.
    bool createTopLevel(CX11Display& display, Kind kind, int x, int y, int width, int height,
                        std::uint64_t transientFor, const std::string& title, std::string& error);
    // Destroys the X window (unless the server already did, with its parent) and its surface.
    void destroy();

    // --- operations ---
    // Events of this window go to `listener` (not owned; null stops them).
    void setListener(CX11Display::Listener* listener);
    // Maps or unmaps the window (a child also tells its embedder through _XEMBED_INFO).
    void show();
    void hide();
    void setTitle(const std::string& utf8Title);
    void move(int x, int y);
    // New size in pixels (>= 1); the surface follows on the next present.
    void resize(int width, int height);
    void setCursor(Cursor cursor);
    // Moves the pointer to (x, y) in window pixels.
    void warpPointer(int x, int y);
    // Makes the server send an expose of the area (pixels) without touching its pixels: a redraw
    // request that arrives through the connection.
    void requestExpose(int x, int y, int w, int h);
    // Asks for the keyboard focus (on a click, or when a view takes key focus).
    void takeFocus();
    // Copies the rectangle (x, y, w, h) of a window-sized bitmap (0xAARRGGBB words, `stride` words
    // per row) to the screen. Returns false when nothing could be shown.
    bool present(const std::uint32_t* pixels, int stride, int x, int y, int w, int h);
    // The same from rows of R, G, B, X bytes: the rectangle (srcX, srcY, w, h) lands at (dstX, dstY).
    bool presentRgbx(const std::uint8_t* rows, int strideBytes, int srcX, int srcY, int w, int h, int dstX, int dstY);
    // PutImage forces the XPutImage path (benchmarks, tests); takes effect on the next present.
    void setSurfaceMode(CX11Surface::Mode mode) noexcept;

    // --- queries ---
    std::uint64_t id() const noexcept { return mWindow; }
    Kind kind() const noexcept { return mKind; }
    int width() const noexcept { return mWidth; }
    int height() const noexcept { return mHeight; }
    Cursor cursor() const noexcept { return mCursor; }
    bool usesShm() const noexcept { return mSurface.usesShm(); }
    // The window's origin in screen pixels.
    bool screenPosition(int& x, int& y) const;
    // Marks the window as destroyed by the server (its parent went), so destroy sends nothing.
    void markGone() noexcept { mGone = true; }
    // The top-level window that holds `window` (the root's child on its path); 0 when it is gone.
    static std::uint64_t topLevelOf(CX11Display& display, std::uint64_t window);

private:
    void finishCreate(CX11Display& display, std::uint64_t window, Kind kind, int width, int height);
    void setXembedMapped(bool mapped);
    bool prepareSurface();

    CX11Display* mDisplay = nullptr;                  // not owned; cleared by destroy
    std::uint64_t mWindow = 0;
    Kind mKind = Kind::Child;
    int mWidth = 0, mHeight = 0;
    bool mGone = false;
    Cursor mCursor = Cursor::Arrow;
    std::map<Cursor, unsigned long> mCursors;         // X cursors made so far
    CX11Surface mSurface;
    CX11Surface::Mode mSurfaceMode = CX11Surface::Mode::Auto;
};

} // namespace tal
