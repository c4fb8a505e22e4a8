#pragma once
#include "Core/CObject.h"

#include <cstdint>

namespace tal {

// "ui:global-settings" (at "ui.global-settings"): the user's interaction preferences in the form
// the views read on every gesture. Each attribute is bound in the description to the global shared
// attribute of the same name under "ui.global-data", so a change in the settings window reaches
// the fields at once. The three precision settings (0..1 in the settings window) become factors
// through an exponential mapping, without clamping; the others are stored as they are. A value
// that does not convert reads as 0 or false. Readers hold a CTarget<CGlobalSettings*> and read the
// fields when they need them. UI thread only.
class CGlobalSettings : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    // The mappings of the three precision settings.
    static double dragFactorOf(double precision) noexcept;
    static double mouseWheelFactorOf(double precision) noexcept;
    static double shiftKeyFactorOf(double precision) noexcept;

    // --- attribute handlers (alphabetical); each returns null ---
    [[nodiscard]] virtual CError* attrDragPrecision();
    [[nodiscard]] virtual CError* attrFramesPerSecond();
    [[nodiscard]] virtual CError* attrIsCurveDragAddsPoints();
    [[nodiscard]] virtual CError* attrIsEqAutoClick();
    [[nodiscard]] virtual CError* attrIsMouseWheelOnLists();
    [[nodiscard]] virtual CError* attrMouseWheelPrecision();
    [[nodiscard]] virtual CError* attrRadialKnobMode();
    [[nodiscard]] virtual CError* attrShiftKeyPrecision();
    [[nodiscard]] virtual CError* attrShowKnobLabels();
    [[nodiscard]] virtual CError* attrShowPresetSelector();
    [[nodiscard]] virtual CError* attrShowVirtualKeyboard();
    [[nodiscard]] virtual CError* attrTabletMode();

    // --- the fields ---
    // Until their attributes arrive the factors are 0; the four settings the creation leaves
    // open start at the description's defaults (40 frames per second, the switches off).
    double dragPrecisionFactor = 0.0;
    std::int32_t framesPerSecond = 40;
    bool isCurveDragAddsPoints = true;
    bool isEqAutoClick = false;
    bool isMouseWheelOnLists = false;
    bool radialKnobMode = false;
    bool showKnobLabels = true;
    bool showPresetSelector = false;
    bool showVirtualKeyboard = true;
    bool tabletMode = false;
    double mouseWheelPrecisionFactor = 0.0;
    double shiftKeyPrecisionFactor = 0.0;
};

} // namespace tal
