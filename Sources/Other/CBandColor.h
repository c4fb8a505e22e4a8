#pragma once

#include "Other/CColor.h"

#include <cstdint>
#include <vector>

namespace tal {

// The cached colour of one equaliser band: a hue from the band's input colour, optionally shifted
// onto a base colour's saturation and value, rebuilt only when its inputs or the base colour's
// ramp changed. Owned by a CBandColorArray. Editor thread only.
class CBandColor {
public:
    // rgb: the band's colour, channels 0..1. base: not owned, may be null; when given, the result
    // takes its saturation, value and opacity and the band's hue is added to its hue. normaliseLuma
    // scales the input to luma 1 first. Afterwards color() is the colour to draw with.
    void update(const double rgb[3], const CColor* base, bool normaliseLumaFirst);
    const CColor& color() const noexcept { return mColor; }

private:
    CColor mColor;
    const CColor* mBase = nullptr;   // not owned; only compared, never read after the update
    std::int32_t mBaseChangeCount = -1;
    bool mLuma = false;
    double mInput[3] = {-1.0, -1.0, -1.0};
};

// The band colours of one display, one per band, owned by value.
class CBandColorArray {
public:
    // Keeps count band colours; new ones start unbuilt, so that their first update builds.
    void resize(int count) { mColors.resize(std::size_t(count < 0 ? 0 : count)); }
    int count() const noexcept { return int(mColors.size()); }
    CBandColor& operator[](int i) { return mColors[std::size_t(i)]; }

private:
    std::vector<CBandColor> mColors;
};

} // namespace tal
