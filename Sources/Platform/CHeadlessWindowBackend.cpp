#include "Platform/CHeadlessWindowBackend.h"

#include "Core/CError.h"
#include "Platform/CNativeWindowSink.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace tal {

namespace {

std::int32_t pixelsOf(double points, double scale) noexcept {
    const double v = std::round(points * scale);
    return v < 1.0 ? 0 : v > 32768.0 ? 32768 : std::int32_t(v);
}

bool isEmptyArea(double width, double height) noexcept { return width < 1e-5 || height < 1e-5; }

} // namespace

CHeadlessWindowBackend::~CHeadlessWindowBackend() = default;

CError* CHeadlessWindowBackend::createWindow(const WindowParams& params, CNativeWindowSink* sink, WindowId& id) {
    id = 0;
    if (!(params.width >= 0.0 && params.height >= 0.0 && params.scale > 0.0))
        return newError("@talstr_CHeadlessWindowBackend_BadSize Bad window size %1 x %2 at scale %3.",
                        CString::emptyString, CString(std::to_string(params.width).c_str()),
                        CString(std::to_string(params.height).c_str()), CString(std::to_string(params.scale).c_str()));
    Window w;
    w.params = params;
    w.sink = sink;
    resizePixels(w);
    id = mNextId++;
    mWindows.emplace(id, std::move(w));
    return nullptr;
}

void CHeadlessWindowBackend::destroyWindow(WindowId id) {
    mWindows.erase(id);
    std::erase_if(mQueue, [id](const std::pair<WindowId, CNativeEvent>& e) { return e.first == id; });
}

void CHeadlessWindowBackend::setFrame(WindowId id, double x, double y, double width, double height) {
    auto it = mWindows.find(id);
    if (it == mWindows.end())
        return;
    Window& w = it->second;
    const bool resized = width != w.params.width || height != w.params.height;
    w.params.x = x;
    w.params.y = y;
    w.params.width = std::max(width, 0.0);
    w.params.height = std::max(height, 0.0);
    if (resized) {
        resizePixels(w);
        damageAll(w);
    }
}

void CHeadlessWindowBackend::setScale(WindowId id, double scale) {
    auto it = mWindows.find(id);
    if (it == mWindows.end() || !(scale > 0.0) || scale == it->second.params.scale)
        return;
    it->second.params.scale = scale;
    resizePixels(it->second);
    damageAll(it->second);
}

void CHeadlessWindowBackend::setVisible(WindowId id, bool visible) {
    auto it = mWindows.find(id);
    if (it == mWindows.end() || it->second.visible == visible)
        return;
    it->second.visible = visible;
    if (visible)
        damageAll(it->second);
}

void CHeadlessWindowBackend::setTitle(WindowId id, const char* utf8Title) {
    auto it = mWindows.find(id);
    if (it != mWindows.end())
        it->second.title = utf8Title != nullptr ? utf8Title : "";
}

void CHeadlessWindowBackend::requestRedraw(WindowId id, double x, double y, double width, double height) {
    auto it = mWindows.find(id);
    if (it == mWindows.end() || isEmptyArea(width, height))
        return;
    Window& w = it->second;
    if (isEmptyArea(w.damageWidth, w.damageHeight)) {
        w.damageX = x, w.damageY = y, w.damageWidth = width, w.damageHeight = height;
        return;
    }
    const double x0 = std::min(w.damageX, x), y0 = std::min(w.damageY, y);
    const double x1 = std::max(w.damageX + w.damageWidth, x + width);
    const double y1 = std::max(w.damageY + w.damageHeight, y + height);
    w.damageX = x0, w.damageY = y0, w.damageWidth = x1 - x0, w.damageHeight = y1 - y0;
}

void CHeadlessWindowBackend::present(WindowId id, const std::uint8_t* pixels, std::int32_t stride, std::int32_t srcX,
                                     std::int32_t srcY, std::int32_t width, std::int32_t height, std::int32_t dstX,
                                     std::int32_t dstY) {
    auto it = mWindows.find(id);
    if (it == mWindows.end() || pixels == nullptr)
        return;
    Window& w = it->second;
    ++w.presentCount;
    // Clip the destination to the window, moving the source with it.
    if (dstX < 0) { srcX -= dstX; width += dstX; dstX = 0; }
    if (dstY < 0) { srcY -= dstY; height += dstY; dstY = 0; }
    width = std::min(width, w.pixelWidth - dstX);
    height = std::min(height, w.pixelHeight - dstY);
    if (width <= 0 || height <= 0 || srcX < 0 || srcY < 0)
        return;
    for (std::int32_t row = 0; row < height; ++row)
        std::memcpy(w.pixels.data() + (std::size_t(dstY + row) * std::size_t(w.pixelWidth) + std::size_t(dstX)) * 4,
                    pixels + std::int64_t(srcY + row) * stride + std::int64_t(srcX) * 4, std::size_t(width) * 4);
}

void CHeadlessWindowBackend::setCursor(WindowId id, Cursor cursor) {
    auto it = mWindows.find(id);
    if (it != mWindows.end())
        it->second.cursor = cursor;
}

void CHeadlessWindowBackend::pointerPosition(double& x, double& y) {
    x = mPointerX;
    y = mPointerY;
}

void CHeadlessWindowBackend::warpPointer(double screenX, double screenY) {
    mPointerX = screenX;
    mPointerY = screenY;
}

void CHeadlessWindowBackend::setScreenSize(double width, double height) {
    mScreens = {Screen{0.0, 0.0, width, height, 0.0, 0.0, width, height}};
}

void CHeadlessWindowBackend::setScreens(std::vector<Screen> screens) {
    if (!screens.empty())
        mScreens = std::move(screens);
}

void CHeadlessWindowBackend::screenRect(double px, double py, double& x, double& y, double& width, double& height) {
    const Screen* chosen = &mScreens.front();
    for (const Screen& s : mScreens)
        if (s.x <= px && px < s.x + s.width && s.y <= py && py < s.y + s.height) {
            chosen = &s;
            break;
        }
    x = chosen->x;
    y = chosen->y;
    width = chosen->width;
    height = chosen->height;
}

void CHeadlessWindowBackend::windowOrigin(WindowId id, double& x, double& y) {
    auto it = mWindows.find(id);
    x = it != mWindows.end() ? it->second.params.x : 0.0;
    y = it != mWindows.end() ? it->second.params.y : 0.0;
}

void CHeadlessWindowBackend::injectEvent(WindowId id, const CNativeEvent& event) {
    auto it = mWindows.find(id);
    if (it == mWindows.end())
        return;
    if (event.type == CNativeEvent::Type::MouseMove) {
        mPointerX = it->second.params.x + event.x;
        mPointerY = it->second.params.y + event.y;
    }
    mQueue.emplace_back(id, event);
}

int CHeadlessWindowBackend::pendingEventCount() const noexcept {
    int count = int(mQueue.size());
    for (const auto& [id, w] : mWindows)
        if (w.visible && !isEmptyArea(w.damageWidth, w.damageHeight))
            ++count;
    return count;
}

int CHeadlessWindowBackend::processEvents() {
    int delivered = 0;
    // Input first, in injection order; events a sink injects now wait for the next call.
    std::vector<std::pair<WindowId, CNativeEvent>> queue;
    queue.swap(mQueue);
    for (const auto& [id, event] : queue) {
        auto it = mWindows.find(id);   // a sink may have destroyed a window meanwhile
        if (it == mWindows.end() || it->second.sink == nullptr)
            continue;
        it->second.sink->onNativeEvent(event);
        ++delivered;
    }
    // Then one paint per visible window with damage.
    for (WindowId id : windowIds()) {
        auto it = mWindows.find(id);
        if (it == mWindows.end())
            continue;
        Window& w = it->second;
        if (!w.visible || w.sink == nullptr || isEmptyArea(w.damageWidth, w.damageHeight))
            continue;
        CNativeEvent paint;
        paint.type = CNativeEvent::Type::Paint;
        paint.x = w.damageX, paint.y = w.damageY, paint.width = w.damageWidth, paint.height = w.damageHeight;
        w.damageX = w.damageY = w.damageWidth = w.damageHeight = 0.0;
        w.sink->onNativeEvent(paint);
        ++delivered;
    }
    return delivered;
}

const CHeadlessWindowBackend::Window* CHeadlessWindowBackend::window(WindowId id) const {
    auto it = mWindows.find(id);
    return it != mWindows.end() ? &it->second : nullptr;
}

std::vector<CWindowBackend::WindowId> CHeadlessWindowBackend::windowIds() const {
    std::vector<WindowId> ids;
    ids.reserve(mWindows.size());
    for (const auto& entry : mWindows)
        ids.push_back(entry.first);
    return ids;
}

void CHeadlessWindowBackend::damageAll(Window& w) {
    w.damageX = 0.0;
    w.damageY = 0.0;
    w.damageWidth = w.params.width;
    w.damageHeight = w.params.height;
}

void CHeadlessWindowBackend::resizePixels(Window& w) {
    w.pixelWidth = pixelsOf(w.params.width, w.params.scale);
    w.pixelHeight = pixelsOf(w.params.height, w.params.scale);
    w.pixels.assign(std::size_t(w.pixelWidth) * std::size_t(w.pixelHeight) * 4, 0);
}

} // namespace tal
