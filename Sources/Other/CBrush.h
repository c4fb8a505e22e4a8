#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace tal {

// The pre-computed masks of a round brush of one diameter: one size x size coverage mask (bytes
// 0..255) for each of 2^s x 2^s sub-pixel positions of the circle's centre, so that the rasteriser
// only copies or max-combines mask rows. All masks form one row-major image of (size x 2^s)^2
// bytes; the mask of phase (px, py) starts at column px x size, row py x size of it.
// Read-only once built; cached brushes are shared between painting threads.
class CBrush {
public:
    // Computes every mask for a diameter in pixels (finite, at least 0; anything else counts as 0)
    // with 2^subPixelBits phases per axis. Diameters above 15 are drawn as 16-pixel masks of a
    // 15-pixel circle; diameter() keeps the value asked for.
    void build(int subPixelBits, double diameter);

    // --- queries ---
    double originOffset() const noexcept { return mOriginOffset; }   // radius - 0.5
    double diameter() const noexcept { return mDiameter; }
    std::int32_t size() const noexcept { return mSize; }
    std::int32_t subPixelBits() const noexcept { return mSubPixelBits; }
    const std::uint8_t* masks() const noexcept { return mMasks.data(); }
    // Byte (k, r) of the mask of phase (px, py).
    std::uint8_t maskByte(int px, int py, int k, int r) const noexcept {
        const int n = 1 << mSubPixelBits;
        return mMasks[std::size_t((py * mSize + r) * mSize * n + px * mSize + k)];
    }

private:
    double mOriginOffset = 0.0;
    std::vector<std::uint8_t> mMasks;
    double mDiameter = 0.0;
    std::int32_t mSize = 0;
    std::int32_t mSubPixelBits = 0;
};

// The process-wide cache of brushes by exact diameter (4 sub-pixel bits). Brushes are built on the
// first request and live until the process ends. Any thread.
class CBrushCache {
public:
    // The brush of exactly this diameter; the pointer stays valid until the process ends.
    static const CBrush* getBrush(double diameter);

private:
    std::mutex mMutex;
    std::map<double, CBrush> mBrushes;   // nodes never move
};

} // namespace tal
