#pragma once
#include "UI/CView.h"

#include <cstdint>

namespace tal {

// "ui:gradient-base": a vertical three-stop gradient over the view, top to middle row to bottom. In
// multiplier mode it scales the brightness of what lies beneath by a factor per row, weighted by the
// view's draw opacity; in RGB mode it paints opaque colours. Owned by the object tree. Attributes
// are read once by init; paint runs on any worker and reads only those fields.
class CGradientBase : public CView {
public:
    static CObject* create();

    [[nodiscard]] CError* init() override;
    void paint(CSector& sector) override;

    // The brightness factor of the row at fraction f (0 at the top row) of the view's height.
    static double rowFactor(double f, double top, double center, double bottom) noexcept;
    // The 16.16 multiplier 1 + opacity x (factor - 1), truncated; never below 0 and capped where
    // every non-zero byte saturates anyway.
    static std::uint32_t fixedFactor(double opacity, double factor) noexcept;
    // Replaces the first three bytes of count RGBA pixels by min(255, (byte x k) >> 16).
    static void multiplyPixels(std::uint8_t* pixels, std::int32_t count, std::uint32_t k) noexcept;
    // The RGB-mode colour channel of the row at fraction f, rounded half up.
    static std::uint8_t rowChannel(double f, std::uint8_t top, std::uint8_t center, std::uint8_t bottom) noexcept;

    bool isRGBMode() const noexcept { return mIsRGBMode; }

private:
    std::uint8_t mColorTop[3] = {};
    std::uint8_t mColorCenter[3] = {};
    std::uint8_t mColorBottom[3] = {};
    bool mIsRGBMode = false;
    double mMultTop = 0.0;
    double mMultCenter = 0.0;
    double mMultBottom = 0.0;
};

} // namespace tal
