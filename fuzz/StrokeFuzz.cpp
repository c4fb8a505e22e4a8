// libFuzzer target: anti-aliased strokes of any geometry (points anywhere, NaN and infinities
// included, any brush diameter, origin and clip) on bitmaps up to 4200 pixels wide or tall. Nothing
// may be written outside the bitmap (AddressSanitizer) or outside the clip.
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CCurveDraw.h"
#include "Other/CLinearBitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    template <class T>
    T take() {
        T v {};
        const std::size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 24 || size > 4096)
        return 0;
    Bytes in{data, size};
    // Header: sizes, routine, brush, origin, clip; then the points as pairs of f64 or of small
    // integers (which reach the edges far more often than random doubles).
    const int width = 1 + in.take<std::uint16_t>() % 4200;
    const int height = 1 + in.take<std::uint8_t>() % 64 * (width > 300 ? 1 : 64);
    const std::uint8_t flags = in.take<std::uint8_t>();
    const double diameter = (flags & 1) ? in.take<double>() : in.take<std::uint8_t>() / 8.0;
    const std::int32_t originX = (flags & 2) ? in.take<std::int32_t>() : in.take<std::int8_t>();
    const std::int32_t originY = (flags & 2) ? in.take<std::int32_t>() : in.take<std::int8_t>();
    tal::CPixelRect clip{0, 0, width, height};
    if (flags & 4) {
        clip.x = in.take<std::int16_t>();
        clip.y = in.take<std::int16_t>();
        clip.width = in.take<std::int16_t>();
        clip.height = in.take<std::int16_t>();
    }
    std::vector<double> points;
    while (in.size > 0 && points.size() < 2 * 512) {
        if (flags & 8) {
            points.push_back(in.take<double>());
        } else {
            const std::int16_t v = in.take<std::int16_t>();
            points.push_back(v / 4.0);
        }
    }
    if (points.size() % 2 != 0)
        points.pop_back();

    tal::CLinearBitmap bitmap;
    if (bitmap.setSize(width, height, true) != nullptr)
        return 0;
    for (int y = 0; y < height; ++y)
        std::memset(bitmap.pixel(0, y), 0x11, std::size_t(width) * 4);
    tal::CColor colour;
    colour.buildLinearRamp(255, 255, 255);
    tal::CCurveDraw record;
    record.points = points.data();
    record.count = std::int32_t(points.size() / 2);
    record.color = &colour;
    record.brush = tal::CBrushCache::getBrush(diameter);
    if (flags & 16)
        bitmap.drawColumnCurveAA(record, originX, originY, clip);
    else
        bitmap.drawCurveAA(record, originX, originY, clip);

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inClip = x >= clip.x && y >= clip.y && std::int64_t(x) < std::int64_t(clip.x) + clip.width &&
                                std::int64_t(y) < std::int64_t(clip.y) + clip.height;
            if (!inClip && std::memcmp(bitmap.pixel(x, y), "\x11\x11\x11\x11", 4) != 0)
                __builtin_trap();
        }
    return 0;
}
