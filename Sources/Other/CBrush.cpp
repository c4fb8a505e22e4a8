#include "Other/CBrush.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CString.h"

#include <algorithm>
#include <cmath>

namespace tal {

void CBrush::build(int subPixelBits, double diameter) {
    mInPlace = nullptr;
    mInPlaceLength = 0;
    if (!(diameter >= 0.0) || !std::isfinite(diameter))
        diameter = 0.0;
    mDiameter = diameter;
    mSubPixelBits = subPixelBits;
    // Compared as a double: a huge diameter must not overflow the integer size.
    const double b = std::ceil(1.0 + diameter);
    mSize = b > 16.0 ? 16 : int(b);
    const double radius = b > 16.0 ? 7.5 : diameter / 2.0;
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

void CBrush::clear() {
    mOriginOffset = mDiameter = 0.0;
    mSize = mSubPixelBits = 0;
    mMasks.clear();
    mInPlace = nullptr;
    mInPlaceLength = 0;
}

CError* CBrush::read(CInputStream& in) {
    double origin = 0.0, diameter = 0.0;
    std::int32_t size = 0, bits = 0;
    if (CError* err = in.readDouble(origin))
        return traceError(err);
    if (CError* err = in.readDouble(diameter))
        return traceError(err);
    if (CError* err = in.read32(size))
        return traceError(err);
    if (CError* err = in.read32(bits))
        return traceError(err);
    if (!std::isfinite(origin) || !(diameter >= 0.0) || !std::isfinite(diameter) || size < 1 || size > 16 || bits < 0 ||
        bits > 8)
        return newError("@talstr_CBrush_read_Damaged Damaged brush record (size %1, sub-pixel bits %2).",
                        CString::emptyString, CString(size), CString(bits));
    const std::int64_t side = std::int64_t(size) << bits;
    const std::uint8_t* inPlace = in.getDataPtr();
    std::int32_t length = 0;
    CByteBuffer own;
    if (inPlace != nullptr) {
        if (CError* err = in.read32(length))
            return traceError(err);
        if (length == side * side)
            if (CError* err = in.skip(length))
                return traceError(err);
        inPlace += 4;
    } else {
        if (CError* err = in.readByteBuffer(own))
            return traceError(err);
        length = own.size();
    }
    if (length != side * side)
        return newError("@talstr_CBrush_read_BadMasks Brush masks of %1 bytes where %2 are needed.", CString::emptyString,
                        CString(length), CString(std::int64_t(side * side)));
    mOriginOffset = origin;
    mDiameter = diameter;
    mSize = size;
    mSubPixelBits = bits;
    if (inPlace != nullptr) {
        mMasks.clear();
        mInPlace = inPlace;
        mInPlaceLength = length;
    } else {
        mMasks.assign(own.data(), own.data() + own.size());
        mInPlace = nullptr;
        mInPlaceLength = 0;
    }
    return nullptr;
}

CError* CBrush::write(COutputStream& out) const {
    if (CError* err = out.writeDouble(mOriginOffset))
        return traceError(err);
    if (CError* err = out.writeDouble(mDiameter))
        return traceError(err);
    if (CError* err = out.write32(std::uint32_t(mSize)))
        return traceError(err);
    if (CError* err = out.write32(std::uint32_t(mSubPixelBits)))
        return traceError(err);
    if (CError* err = out.write32(std::uint32_t(maskLength())))
        return traceError(err);
    if (CError* err = out.write(masks(), maskLength()))
        return traceError(err);
    return nullptr;
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
