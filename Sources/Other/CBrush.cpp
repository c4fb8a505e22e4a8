#include "Other/CBrush.h"

#include <algorithm>
#include <cmath>

namespace tal {

void CBrush::build(int subPixelBits, double diameter) {
    if (!(diameter >= 0.0) || !std::isfinite(diameter))
        diameter = 0.0;
    mDiameter = diameter;
    mSubPixelBits = subPixelBits;
    const int b = int(std::ceil(1.0 + diameter));
    mSize = std::min(b, 16);
    const double radius = b > 16 ? 7.5 : diameter / 2.0;
    const int n = 1 << subPixelBits;
    const int side = mSize * n;
    mMasks.assign(std::size_t(side) * std::size_t(side), 0);
    const double r2 = radius * radius;
    for (int py = 0; py < n; ++py) {
        const double cy = radius + double(py) / n;
        for (int px = 0; px < n; ++px) {
            const double cx = radius + double(px) / n;
            for (int r = 0; r < mSize; ++r) {
                for (int k = 0; k < mSize; ++k) {
                    double sum = 0.0;
                    for (double y = 0.0125; y < 1.0; y += 0.025) {
                        const double dy = r + y - cy;
                        if (!(dy * dy < r2))
                            continue;
                        const double h = std::sqrt(r2 - dy * dy);
                        const double lo = std::max(double(k), cx - h), hi = std::min(double(k + 1), cx + h);
                        if (hi > lo)
                            sum += hi - lo;
                    }
                    mMasks[std::size_t((py * mSize + r) * side + px * mSize + k)] = std::uint8_t(std::floor(sum * 6.375 + 0.5));
                }
            }
        }
    }
    mOriginOffset = radius - 0.5;
}

const CBrush* CBrushCache::getBrush(double diameter) {
    static CBrushCache cache;
    if (!(diameter >= 0.0) || !std::isfinite(diameter))
        diameter = 0.0;   // a NaN key would break the map's order
    std::lock_guard lock(cache.mMutex);
    auto [it, added] = cache.mBrushes.try_emplace(diameter);
    if (added)
        it->second.build(4, diameter);
    return &it->second;
}

} // namespace tal
