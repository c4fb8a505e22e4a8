#pragma once

#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Other/CImageLayerData.h"

#include <cstdint>

namespace tal {

class CError;
class CImageResampler;
class CInputStream;
class COutputStream;

// Where a scaled copy of a layer lies and how it samples the layer: the copy's size and offsets in
// pixels at the new scale, the source positions of the centres of its first column and row, and
// the step in source pixels per copy pixel.
struct CScaledGeometry {
    std::int32_t width = 0, height = 0, offsetX = 0, offsetY = 0;
    double startX = 0.0, startY = 0.0;
    double step = 1.0;
};

// One tinted layer of an image: its bitmap (CImageLayerData), the colour slot of the drawing
// view that tints it, and the run-length copies made for each window scale. Owned by its image,
// which lives as long as its image set; copies live as long as the layer.
// Threads: read on the loading thread; then getScaled may run on any thread at once (the copy list
// is guarded by one process-wide spin lock, resampling runs outside it); drawing reads copies
// without a lock, since a copy is never changed or removed once in the list.
class CImageLayer : public CImageLayerData, public CPoolAllocated {
public:
    CImageLayer() = default;
    CImageLayer(const CImageLayer&) = delete;
    CImageLayer& operator=(const CImageLayer&) = delete;
    ~CImageLayer();

    // --- records ---
    // The colour index (i16), then the layer data. On failure the layer is unchanged.
    [[nodiscard]] CError* read(CInputStream& in);
    [[nodiscard]] CError* write(COutputStream& out) const;

    // --- set-up ---
    // Sets every field (raw, not prepared); a negative tone is derived from the raw pixels, 32 bits
    // per pixel standing for four channels. Neither copies nor encodes the pixels.
    void init(std::int32_t colorIndex, std::int32_t width, std::int32_t height, std::int32_t offsetX,
              std::int32_t offsetY, double scale, double advance, std::int32_t extraWidth, std::int32_t extraHeight,
              std::int32_t anchor, std::int32_t channels, std::int32_t tone, const std::uint8_t* pixels,
              std::int32_t bitsPerPixel);
    // Replaces the pixel block by the run-length form of raw pixels of this layer's width, height
    // and channels, with bitsPerPixel / 8 bytes per source pixel (the alpha is byte 0 at 8 bits,
    // byte 1 at 16, byte 3 at 32; other sizes count every pixel opaque). Marks the layer prepared.
    void encodeRuns(const std::uint8_t* pixels, std::int32_t bitsPerPixel);

    // --- scaled copies (any thread) ---
    // The layer to draw at a scale: this layer when it is prepared, else its run-length copy at
    // exactly that scale, made on the first request. A scale that is not a finite positive number,
    // or one whose copy would not fit 32767 pixels a side, gives an empty copy that draws nothing.
    // The result lives as long as this layer.
    CImageLayer* getScaled(double scale);
    // The geometry of a copy at a scale (see CScaledGeometry); false when the copy would be too
    // large or the scale is unusable.
    static bool getScaledGeometry(const CImageLayerData& layer, double scale, CScaledGeometry& geometry);
    // The tone rule for raw pixels: 4 channels: the rounded mean of byte 0 over the up to 6 x 6
    // pixels from (1, 1), 255 below 2 x 2 pixels; 1 or 2 channels: byte 0 of the first pixel, 255
    // when empty.
    static std::int32_t toneOf(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                               std::int32_t channels) noexcept;

    // --- queries ---
    std::int32_t colorIndex() const noexcept { return mColorIndex; }
    void setColorIndex(std::int32_t index) noexcept { mColorIndex = std::int16_t(index); }
    // The number of copies made so far (takes the copy lock).
    int copyCount() const;

    // Largest side of a scaled copy.
    static constexpr std::int32_t kMaxCopySide = 32767;

private:
    CImageLayer* findCopy(double scale) const noexcept;   // under the copy lock
    // Fills a new copy (scale, colour index, anchor and channels set) with its pixels.
    void makeCopy(CImageLayer& copy, CImageResampler& workspace);

    CArray<CImageLayer*> mCopies;   // owned; appended under the copy lock, never removed
    std::int32_t mColorIndex = 0;
};

} // namespace tal
