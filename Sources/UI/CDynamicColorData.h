#pragma once
#include "Other/CColor.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CError;
class CInputStream;
class COutputStream;

// The built colours of one palette colour: the gradient entries (one for a plain colour) and the
// hover colour, with the parameters they were built from, so that an unchanged colour is never
// rebuilt. Owned by the palette under the colour's name and kept across editor openings in its
// cache; the CDynamicColor objects only point at it. The CColor objects keep their addresses
// while the record lives (views hold pointers to them). Editor thread only.
class CDynamicColorData {
public:
    // The largest gradient a stored record may hold; larger counts are refused as damaged.
    static constexpr std::int32_t kMaxEntries = 4096;

    // n entries without tone tables, and a hover colour when hoverable; parameters "never built".
    CDynamicColorData(std::int32_t n, bool hoverable);

    // Rebuilds every entry and the hover colour unless all parameters nearly equal the recorded
    // ones; true when it built. Tones are 0x00RRGGBB, -1 for none (reads as white).
    bool setParams(std::int32_t tone, std::int32_t tone2, std::int32_t tone3, double brightness, double contrast,
                   double opacity, double hoverBrightness);

    // Stream form: brightness, contrast, hover brightness, opacity (f64), tone, tone2, tone3, n
    // (i32), n colour records, a hover byte and the hover record. A count outside 1..kMaxEntries
    // fails as damaged. What was read before a failure stays.
    [[nodiscard]] CError* read(CInputStream& in);
    [[nodiscard]] CError* write(COutputStream& out) const;

    std::int32_t entryCount() const noexcept { return std::int32_t(mEntries.size()); }
    CColor* entry(std::int32_t i) const noexcept { return mEntries[std::size_t(i)].get(); }
    CColor* hoverColor() const noexcept { return mHover.get(); }
    bool hasHover() const noexcept { return mHover != nullptr; }

    double brightness = -1.0;
    double contrast = -1.0;
    double hoverBrightness = 0.0;
    double opacity = -1.0;
    std::int32_t tone = -1;
    std::int32_t tone2 = -1;
    std::int32_t tone3 = -1;

private:
    std::vector<std::unique_ptr<CColor>> mEntries;
    std::unique_ptr<CColor> mHover;
};

} // namespace tal
