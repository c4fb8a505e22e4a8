#include "UI/CDynamicColorData.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

#include <cmath>

namespace tal {

namespace {

int roundHalfAway(double x) noexcept { return int(x < 0.0 ? -std::floor(0.5 - x) : std::floor(x + 0.5)); }

int channel(std::int32_t tone, int shift) noexcept { return (tone >> shift) & 255; }

} // namespace

CDynamicColorData::CDynamicColorData(std::int32_t n, bool hoverable) {
    for (std::int32_t i = 0; i < n; ++i)
        mEntries.push_back(std::make_unique<CColor>());
    if (hoverable)
        mHover = std::make_unique<CColor>();
}

bool CDynamicColorData::setParams(std::int32_t newTone, std::int32_t newTone2, std::int32_t newTone3,
                                  double newBrightness, double newContrast, double newOpacity,
                                  double newHoverBrightness) {
    if (nearlyEqual(brightness, newBrightness) && nearlyEqual(contrast, newContrast) &&
        nearlyEqual(hoverBrightness, newHoverBrightness) && nearlyEqual(opacity, newOpacity) && tone == newTone &&
        tone2 == newTone2 && tone3 == newTone3)
        return false;
    brightness = newBrightness;
    contrast = newContrast;
    hoverBrightness = newHoverBrightness;
    opacity = newOpacity;
    tone = newTone;
    tone2 = newTone2;
    tone3 = newTone3;
    const std::size_t n = mEntries.size();
    if (n == 1) {
        mEntries[0]->buildToneRamp(channel(tone, 16), channel(tone, 8), channel(tone, 0), contrast, opacity,
                                   brightness);
    } else if (n >= 2) {
        const double step = 1.0 / double(n - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const double v = double(i) * step;
            int rgb[3];
            for (int c = 0; c < 3; ++c) {
                const int shift = 16 - 8 * c;
                const double x1 = channel(tone, shift);
                const double x2 = channel(tone2, shift);
                double x;
                if (tone3 == -1)
                    x = x1 + (x2 - x1) * v;
                else if (v < 0.5)
                    x = x1 + (x2 - x1) * 2.0 * v;
                else
                    x = x2 + (channel(tone3, shift) - x2) * 2.0 * (v - 0.5);
                rgb[c] = roundHalfAway(x);
            }
            mEntries[i]->buildToneRamp(rgb[0], rgb[1], rgb[2], contrast, opacity, brightness);
        }
    }
    // The hover colour is always a brighter first tone, also on a gradient.
    if (mHover != nullptr)
        mHover->buildToneRamp(channel(tone, 16), channel(tone, 8), channel(tone, 0), contrast, opacity,
                              brightness + hoverBrightness);
    return true;
}

CError* CDynamicColorData::read(CInputStream& in) {
    if (CError* error = in.readDouble(brightness))
        return traceError(error);
    if (CError* error = in.readDouble(contrast))
        return traceError(error);
    if (CError* error = in.readDouble(hoverBrightness))
        return traceError(error);
    if (CError* error = in.readDouble(opacity))
        return traceError(error);
    for (std::int32_t* field : {&tone, &tone2, &tone3})
        if (CError* error = in.read32(*field))
            return traceError(error);
    std::int32_t n = 0;
    if (CError* error = in.read32(n))
        return traceError(error);
    // The count comes from a file the user's machine keeps: a damaged one must not size memory.
    if (n < 1 || n > kMaxEntries)
        return newError("@talstr_CDynamicColorData_read_BadCount Damaged colour record: %1 entries.",
                        CString::emptyString, CString(std::to_string(n).c_str()));
    mEntries.resize(std::size_t(n));
    for (auto& entry : mEntries) {
        entry = std::make_unique<CColor>();
        if (CError* error = entry->read(in))
            return traceError(error);
    }
    std::uint8_t hasHover = 0;
    if (CError* error = in.read8(hasHover))
        return traceError(error);
    if (hasHover == 0) {
        mHover.reset();
        return nullptr;
    }
    mHover = std::make_unique<CColor>();
    return traceError(mHover->read(in));
}

CError* CDynamicColorData::write(COutputStream& out) const {
    for (double value : {brightness, contrast, hoverBrightness, opacity})
        if (CError* error = out.writeDouble(value))
            return traceError(error);
    for (std::int32_t value : {tone, tone2, tone3, std::int32_t(mEntries.size())})
        if (CError* error = out.write32(std::uint32_t(value)))
            return traceError(error);
    for (const auto& entry : mEntries)
        if (CError* error = entry->write(out))
            return traceError(error);
    if (CError* error = out.write8(mHover != nullptr ? 1 : 0))
        return traceError(error);
    return mHover != nullptr ? traceError(mHover->write(out)) : nullptr;
}

} // namespace tal
