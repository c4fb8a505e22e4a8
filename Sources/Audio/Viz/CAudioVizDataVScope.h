#pragma once
#include "Audio/Viz/CAudioVizData.h"
#include "Audio/Viz/CVizInlineArray.h"
#include "Core/CArray.h"

namespace tal {

// A scope frame (type 4): one square grid of s x s floats per channel, stored one after the other
// in one data block, so the float count is the sum of the squared grid sizes.
class CAudioVizDataVScope : public CAudioVizData {
public:
    CAudioVizDataVScope() noexcept : CAudioVizData(kTypeVScope) {}

    // --- the payload: common fields, i32 n, n f32, i32 m, m i32 grid sizes (32 + 4n + 4m bytes) ---
    [[nodiscard]] CError* save(COutputStream& out) const override;
    // Fails when a count is negative, does not fit the payload, or the float count differs from
    // the sum of the squared grid sizes (so the grid pointers always lie inside the data).
    [[nodiscard]] CError* load(CInputStream& in) override;
    CAudioVizDataVScope* cloneVScope() const;

    // Rebuilds the grid pointers and the size copy from the grid sizes; with reset, replaces the
    // data by a zeroed block of exactly the needed size first. Without reset the data must already
    // hold the sum of the squared sizes.
    void updateLayout(bool reset);
    // The sum of the squared grid sizes, or -1 when a size is negative or the sum exceeds i32.
    std::int32_t requiredFloats() const noexcept;

    CVizInlineArray<float, 16> data;
    CArray<std::int32_t> gridSizes;
    CArray<float*> gridPointers;          // derived: start of each channel's grid in data
    CArray<std::int32_t> gridSizesCopy;   // derived: the sizes at the last updateLayout
};

} // namespace tal
