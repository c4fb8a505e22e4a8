#pragma once

#include "Core/CByteBuffer.h"

#include <cstdint>

namespace tal {

class CError;
class CInputStream;
class COutputStream;

// The bitmap of one image layer: its size and placement in the image's logical frame, the scale its
// pixels were made for, its tone and channel count, and its pixel block, either raw (rows of width x
// channels bytes; 4 channels are blue, green, red, alpha) or run-length encoded (prepared: a row
// table, then runs that drawing walks directly). A block read from an embedded resource is used in
// place and not copied. Owned by its image layer; read by any thread once loaded.
// The reader checks every record it accepts: sizes not negative, channels 1, 2 or 4, a finite
// positive scale, a raw block of exactly width x height x channels bytes, a run-length block whose
// rows and runs lie inside it and cover exactly the width. Anything else is refused, so drawing and
// scaling never meet a block that does not match its fields.
class CImageLayerData {
public:
    CImageLayerData() = default;
    CImageLayerData(const CImageLayerData&) = default;
    CImageLayerData& operator=(const CImageLayerData&) = default;
    CImageLayerData(CImageLayerData&&) noexcept = default;
    CImageLayerData& operator=(CImageLayerData&&) noexcept = default;
    ~CImageLayerData() = default;

    // --- records ---
    // Reads the record (scale, sizes, offsets, extra sizes, anchor, tone, advance, channels,
    // prepared, pixel block). A stream exposing its bytes (an embedded resource) keeps the block in
    // place. On any failure, a stream error or a record that fails the checks, this data is unchanged.
    [[nodiscard]] CError* read(CInputStream& in);
    // Writes the record; the block is written from wherever it is held.
    [[nodiscard]] CError* write(COutputStream& out) const;
    // Scale 1, sizes and offsets 0, tone 128, channels 1, raw and empty.
    void reset();
    // Checks the fields against the block; null when they agree.
    [[nodiscard]] CError* checkBlock() const;

    // --- queries ---
    double scale() const noexcept { return mScale; }
    double inverseScale() const noexcept { return mInverseScale; }
    std::int32_t width() const noexcept { return mWidth; }
    std::int32_t height() const noexcept { return mHeight; }
    std::int32_t offsetX() const noexcept { return mOffsetX; }
    std::int32_t offsetY() const noexcept { return mOffsetY; }
    std::int32_t extraWidth() const noexcept { return mExtraWidth; }
    std::int32_t extraHeight() const noexcept { return mExtraHeight; }
    std::int32_t anchor() const noexcept { return mAnchor; }
    std::int32_t tone() const noexcept { return mTone; }
    double advance() const noexcept { return mAdvance; }
    std::int32_t channels() const noexcept { return mChannels; }
    bool isPrepared() const noexcept { return mPrepared; }
    bool isInPlace() const noexcept { return mInPlace != nullptr; }
    // The pixel block: the in-place bytes when set, else the own copy.
    const std::uint8_t* block() const noexcept { return mInPlace != nullptr ? mInPlace : mBlock.data(); }
    std::int32_t blockSize() const noexcept { return mInPlace != nullptr ? mInPlaceSize : mBlock.size(); }
    // Row r's byte offset in a run-length block (0: an empty row).
    std::int32_t rowOffset(std::int32_t r) const noexcept;

    // --- set-up (asset tools and tests) ---
    void setScale(double scale) noexcept;
    void setGeometry(std::int32_t width, std::int32_t height, std::int32_t offsetX, std::int32_t offsetY,
                     std::int32_t extraWidth, std::int32_t extraHeight, std::int32_t anchor) noexcept;
    void setTone(std::int32_t tone) noexcept { mTone = tone; }
    void setAdvance(double advance) noexcept { mAdvance = advance; }
    void setChannels(std::int32_t channels) noexcept { mChannels = channels; }
    // Replaces the block with a copy of count bytes, raw or run-length as prepared says.
    void assignBlock(const void* bytes, std::int32_t count, bool prepared);

protected:
    double mScale = 1.0;
    double mInverseScale = 1.0;
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    std::int32_t mOffsetX = 0;
    std::int32_t mOffsetY = 0;
    std::int32_t mExtraWidth = 0;
    std::int32_t mExtraHeight = 0;
    std::int32_t mAnchor = 0;
    std::int32_t mTone = 128;
    double mAdvance = 0.0;
    std::int32_t mChannels = 1;
    bool mPrepared = false;
    CByteBuffer mBlock;                          // own copy; empty while the block is in place
    const std::uint8_t* mInPlace = nullptr;      // not owned: inside the memory the record was read from
    std::int32_t mInPlaceSize = 0;
};

} // namespace tal
