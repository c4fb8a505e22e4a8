#pragma once

#include "Other/CImageSet.h"

namespace tal {

// A bitmap font: an image set whose image n is the glyph of character code n (its first layer a
// one-channel coverage mask with its own scale, placement and fractional advance), plus four
// metrics in pixels at scale 1: ascent and descent of the line box, and two more that the font
// keeps and writes back. Loaded once, then only read.
class CFont : public CImageSet {
public:
    // The record tag; its bytes spell "font".
    static constexpr std::uint32_t kTag = 1953394534u;
    // The glyph that stands in for characters a font does not hold.
    static constexpr std::int32_t kFallbackGlyph = 164;

    std::uint32_t getTag() const override { return kTag; }
    // u32 font version (not 1: nothing is read, no error), the image-set record, four f64 metrics.
    [[nodiscard]] CError* read(CInputStream& in) override;
    [[nodiscard]] CError* write(COutputStream& out) const override;

    double ascent() const noexcept { return mMetrics[0]; }
    double descent() const noexcept { return mMetrics[1]; }
    // The four metrics in record order: ascent, descent, third, fourth.
    const double* metrics() const noexcept { return mMetrics; }
    void setMetrics(double ascent, double descent, double third, double fourth) noexcept;

private:
    double mMetrics[4] = {0.0, 0.0, 0.0, 0.0};
};

} // namespace tal
