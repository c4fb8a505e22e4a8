#include "Platform/CX11Surface.h"

#include "Platform/CX11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace tal {

CX11Surface::~CX11Surface() { destroy(); }

bool CX11Surface::create(CX11Display& display, std::uint64_t window, int width, int height, Mode mode,
                         std::string& error) {
    destroy();
    Display* d = display.xdisplay();
    if (d == nullptr || window == 0 || width < 1 || height < 1) {
        error = "No window to present to.";
        return false;
    }
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, Window(window), &attributes)) {
        error = "The window to present to does not exist.";
        return false;
    }
    Visual* visual = attributes.visual;
    if ((attributes.depth != 24 && attributes.depth != 32) || visual->red_mask != 0xff0000 ||
        visual->green_mask != 0xff00 || visual->blue_mask != 0xff) {
        error = "The X visual is not 24-bit RGB (depth " + std::to_string(attributes.depth) + ").";
        return false;
    }
    mDisplay = &display;
    mWindow = window;
    mWidth = width;
    mHeight = height;
    mGc = XCreateGC(d, Window(window), 0, nullptr);

    if (mode == Mode::Auto && display.hasShm()) {
        auto* info = new XShmSegmentInfo{};
        XImage* image = XShmCreateImage(d, visual, unsigned(attributes.depth), ZPixmap, nullptr, info,
                                        unsigned(width), unsigned(height));
        if (image && image->bits_per_pixel == 32) {
            info->shmid = shmget(IPC_PRIVATE, std::size_t(image->bytes_per_line) * std::size_t(height), IPC_CREAT | 0600);
            if (info->shmid >= 0) {
                info->shmaddr = image->data = static_cast<char*>(shmat(info->shmid, nullptr, 0));
                info->readOnly = False;
                if (info->shmaddr != reinterpret_cast<char*>(-1)) {
                    const int errorsBefore = display.errorCount();
                    XShmAttach(d, info);
                    XSync(d, False);   // the server's refusal (another machine, other namespace) comes as an error
                    // The segment goes when both sides detach.
                    shmctl(info->shmid, IPC_RMID, nullptr);
                    if (display.errorCount() == errorsBefore) {
                        mShm = true;
                        mShmInfo = info;          // the image points to it until destroyed
                        mImage = image;
                        return true;
                    }
                    shmdt(info->shmaddr);
                } else {
                    shmctl(info->shmid, IPC_RMID, nullptr);
                }
            }
        }
        if (image) {
            image->data = nullptr;
            XDestroyImage(image);
        }
        delete info;
    }

    const std::size_t rowBytes = std::size_t(width) * 4;
    char* data = static_cast<char*>(std::calloc(std::size_t(height), rowBytes));   // freed by XDestroyImage
    if (data == nullptr) {
        error = "No memory for a window image.";
        destroy();
        return false;
    }
    XImage* image = XCreateImage(d, visual, unsigned(attributes.depth), ZPixmap, 0, data, unsigned(width),
                                 unsigned(height), 32, int(rowBytes));
    if (image == nullptr) {
        std::free(data);
        error = "Cannot make a window image.";
        destroy();
        return false;
    }
    mImage = image;
    return true;
}

void CX11Surface::destroy() {
    if (mDisplay == nullptr)
        return;
    Display* d = mDisplay->xdisplay();
    if (auto* image = static_cast<XImage*>(mImage)) {
        if (mShm) {
            auto* info = static_cast<XShmSegmentInfo*>(mShmInfo);
            if (d) {
                XShmDetach(d, info);
                XSync(d, False);
            }
            shmdt(info->shmaddr);
            image->data = nullptr;
        }
        XDestroyImage(image);
        delete static_cast<XShmSegmentInfo*>(mShmInfo);
    }
    if (mGc && d)
        XFreeGC(d, static_cast<GC>(mGc));
    mImage = nullptr;
    mGc = nullptr;
    mShm = false;
    mShmInfo = nullptr;
    mWidth = mHeight = 0;
    mDisplay = nullptr;
    mWindow = 0;
}

bool CX11Surface::blit(const std::uint32_t* pixels, int stride, int x, int y, int w, int h) {
    auto* image = static_cast<XImage*>(mImage);
    if (image == nullptr || pixels == nullptr)
        return false;
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, mWidth), y1 = std::min(y + h, mHeight);
    if (x1 <= x0 || y1 <= y0)
        return false;
    for (int row = y0; row < y1; ++row)
        std::memcpy(image->data + std::size_t(row) * std::size_t(image->bytes_per_line) + std::size_t(x0) * 4,
                    pixels + std::size_t(row) * std::size_t(stride) + x0, std::size_t(x1 - x0) * 4);
    send(x0, y0, x1 - x0, y1 - y0);
    return true;
}

bool CX11Surface::blitRgbx(const std::uint8_t* rows, int strideBytes, int srcX, int srcY, int w, int h, int dstX,
                           int dstY) {
    auto* image = static_cast<XImage*>(mImage);
    if (image == nullptr || rows == nullptr)
        return false;
    // Clip the destination to the surface and the source to its origin, moving the other with it.
    if (dstX < 0) { srcX -= dstX; w += dstX; dstX = 0; }
    if (dstY < 0) { srcY -= dstY; h += dstY; dstY = 0; }
    if (srcX < 0) { dstX -= srcX; w += srcX; srcX = 0; }
    if (srcY < 0) { dstY -= srcY; h += srcY; srcY = 0; }
    w = std::min(w, mWidth - dstX);
    h = std::min(h, mHeight - dstY);
    if (w <= 0 || h <= 0)
        return false;
    for (int row = 0; row < h; ++row) {
        const std::uint8_t* from = rows + std::ptrdiff_t(srcY + row) * strideBytes + std::ptrdiff_t(srcX) * 4;
        auto* to = reinterpret_cast<std::uint32_t*>(image->data + std::size_t(dstY + row) * std::size_t(image->bytes_per_line)) + dstX;
        for (int i = 0; i < w; ++i)
            to[i] = std::uint32_t(from[4 * i]) << 16 | std::uint32_t(from[4 * i + 1]) << 8 | from[4 * i + 2];
    }
    send(dstX, dstY, w, h);
    return true;
}

void CX11Surface::send(int x, int y, int w, int h) {
    auto* image = static_cast<XImage*>(mImage);
    Display* d = mDisplay->xdisplay();
    if (mShm)
        XShmPutImage(d, Window(mWindow), static_cast<GC>(mGc), image, x, y, x, y, unsigned(w), unsigned(h), False);
    else
        XPutImage(d, Window(mWindow), static_cast<GC>(mGc), image, x, y, x, y, unsigned(w), unsigned(h));
    // The shared image must not change before the server has read it; both ways wait the same.
    XSync(d, False);
}

} // namespace tal
