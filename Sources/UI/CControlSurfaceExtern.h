#pragma once
#include <cstdint>
#include <vector>

namespace tal {

class CError;
class CUIParam;

// What other views ask of the curve editor: whether bands are drawn in their own colours, a band's
// hue, the bands highlighted now, and a refresh of the hover state after new curves. The curve
// editor implements it; the response graph holds it through a target and never owns it.
// UI thread only.
class CControlSurfaceExtern {
public:
    virtual ~CControlSurfaceExtern() = default;
    virtual bool isColorizedBandsEnabled() = 0;
    // The hue of band `band`, 0..1.
    virtual double getBandHue(std::int32_t band) = 0;
    // Brings active (the bands highlighted now) up to date for the current band; previousActive
    // receives the bands highlighted before. False when nothing changed.
    virtual bool updateActiveBands(std::int32_t currentBand, std::vector<std::int32_t>& active,
                                   std::vector<std::int32_t>& previousActive) = 0;
    // Whether the point of a band parameter's element is selected (scale gestures of drag
    // controllers move only selected points); every point counts as selected by default.
    virtual bool isPointSelected(const CUIParam* param, std::int32_t point) {
        (void)param;
        (void)point;
        return true;
    }
    // Refreshes what the pointer hovers over after the curves changed.
    [[nodiscard]] virtual CError* updateHover() = 0;
};

} // namespace tal
