#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace tal {

class CError;
class CInputStream;
class COutputStream;

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
    // Origin offset, diameter, size and sub-pixel bits 0; no masks.
    void clear();

    // --- stream form: origin offset f64, diameter f64, size i32, sub-pixel bits i32, mask length
    // i32 and the mask bytes ---
    // Reads a brush. From a stream exposing its bytes (an embedded resource) the masks are used in
    // place. A record whose masks do not match its size and sub-pixel bits (size 1..16, bits 0..8,
    // (size x 2^bits)^2 bytes), or whose offset or diameter is not a finite number, is refused. On
    // failure the brush is unchanged.
    [[nodiscard]] CError* read(CInputStream& in);
    [[nodiscard]] CError* write(COutputStream& out) const;

    // --- queries ---
    double originOffset() const noexcept { return mOriginOffset; }   // radius - 0.5
    double diameter() const noexcept { return mDiameter; }
    std::int32_t size() const noexcept { return mSize; }
    std::int32_t subPixelBits() const noexcept { return mSubPixelBits; }
    // The masks: the in-place bytes when the brush was read from memory, else its own.
    const std::uint8_t* masks() const noexcept { return mInPlace != nullptr ? mInPlace : mMasks.data(); }
    std::int32_t maskLength() const noexcept { return mInPlace != nullptr ? mInPlaceLength : std::int32_t(mMasks.size()); }
    bool isInPlace() const noexcept { return mInPlace != nullptr; }
    // Byte (k, r) of the mask of phase (px, py).
    std::uint8_t maskByte(int px, int py, int k, int r) const noexcept {
        const int n = 1 << mSubPixelBits;
        return masks()[std::size_t((py * mSize + r) * mSize * n + px * mSize + k)];
    }

private:
    double mOriginOffset = 0.0;
    std::vector<std::uint8_t> mMasks;
    const std::uint8_t* mInPlace = nullptr;   // not owned: inside the memory the brush was read from
    std::int32_t mInPlaceLength = 0;
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
