#pragma once
#include <cstdint>
#include <string>

namespace tal {

class CX11Display;

// The image through which a window's pixels reach the X server: a shared-memory image (MIT-SHM)
// when the server offers it on this machine, else a client-side image sent with XPutImage.
// Pixels are 32-bit words 0xAARRGGBB (the framework's premultiplied bitmaps on a little-endian
// machine); the window's visual must be 24 or 32 bits deep with 8-bit red, green and blue.
// Owned by its window; main thread. After a blit Xlib may have queued events read from the
// connection: the owner dispatches them (the connection's fd does not become readable again).
class CX11Surface {
public:
    enum class Mode { Auto, PutImage };

    // --- life cycle ---
    CX11Surface() = default;
    ~CX11Surface();
    CX11Surface(const CX11Surface&) = delete;
    CX11Surface& operator=(const CX11Surface&) = delete;

    // Makes an image of width x height (both >= 1) for `window` (not owned) on `display` (not
    // owned; must outlive the surface or see destroy first). Returns false with a message in
    // `error` for an unsuitable visual or no memory; a shared-memory image that the server refuses
    // falls back to XPutImage.
    bool create(CX11Display& display, std::uint64_t window, int width, int height, Mode mode, std::string& error);
    void destroy();

    // --- operations ---
    // Copies the rectangle (x, y, w, h) of `pixels` (a width x height bitmap of `stride` words per
    // row, stride >= width) into the window at the same position, clipped to the surface, and waits
    // until the server has it. Returns false when nothing was sent (empty rectangle, no image).
    bool blit(const std::uint32_t* pixels, int stride, int x, int y, int w, int h);
    // The same from rows of R, G, B, X bytes (`strideBytes` per row): the rectangle (srcX, srcY, w, h)
    // lands at (dstX, dstY), clipped to the surface and to the source's origin.
    bool blitRgbx(const std::uint8_t* rows, int strideBytes, int srcX, int srcY, int w, int h, int dstX, int dstY);

    // --- queries ---
    bool isCreated() const noexcept { return mImage != nullptr; }
    bool usesShm() const noexcept { return mShm; }
    int width() const noexcept { return mWidth; }
    int height() const noexcept { return mHeight; }

private:
    // Sends the rectangle of the image to the window and waits until the server has it.
    void send(int x, int y, int w, int h);

    CX11Display* mDisplay = nullptr;      // not owned; cleared by destroy
    std::uint64_t mWindow = 0;
    void* mImage = nullptr;               // XImage
    void* mGc = nullptr;                  // GC
    bool mShm = false;
    void* mShmInfo = nullptr;             // XShmSegmentInfo, owned while mShm
    int mWidth = 0, mHeight = 0;
};

} // namespace tal
