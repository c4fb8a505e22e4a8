#include "UI/CGlobalSettings.h"

#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

CObject* CGlobalSettings::create() { return new CGlobalSettings(); }

void CGlobalSettings::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrDragPrecision>(scheme, "drag-precision");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrFramesPerSecond>(scheme, "frames-per-second");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrIsCurveDragAddsPoints>(scheme, "is-curve-drag-adds-points");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrIsEqAutoClick>(scheme, "is-eq-auto-click");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrIsMouseWheelOnLists>(scheme, "is-mouse-wheel-on-lists");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrMouseWheelPrecision>(scheme, "mouse-wheel-precision");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrRadialKnobMode>(scheme, "radial-knob-mode");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrShiftKeyPrecision>(scheme, "shift-key-precision");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrShowKnobLabels>(scheme, "show-knob-labels");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrShowPresetSelector>(scheme, "show-preset-selector");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrShowVirtualKeyboard>(scheme, "show-virtual-keyboard");
    addAttrOf<CGlobalSettings, &CGlobalSettings::attrTabletMode>(scheme, "tablet-mode");
}

// 0.05 x 0.02^x: 0.05 at 0, 0.001 at 1.
double CGlobalSettings::dragFactorOf(double precision) noexcept {
    return std::exp(precision * -3.912023005428146 + -2.995732273553991);
}

// 0.2 x 0.025^x: 0.2 at 0, 0.005 at 1.
double CGlobalSettings::mouseWheelFactorOf(double precision) noexcept {
    return std::exp(precision * -3.6888794541139363 + -1.6094379124341003);
}

// (2/3) x 0.15^x: 2/3 at 0, 0.1 at 1.
double CGlobalSettings::shiftKeyFactorOf(double precision) noexcept {
    return 1.0 / std::exp(precision * 1.8971199848858813 + 0.4054651081081644);
}

CError* CGlobalSettings::attrDragPrecision() {
    dragPrecisionFactor = dragFactorOf(getDoubleAttr("drag-precision"));
    return nullptr;
}

CError* CGlobalSettings::attrFramesPerSecond() {
    framesPerSecond = getIntAttr("frames-per-second");
    return nullptr;
}

CError* CGlobalSettings::attrIsCurveDragAddsPoints() {
    isCurveDragAddsPoints = getBoolAttr("is-curve-drag-adds-points");
    return nullptr;
}

CError* CGlobalSettings::attrIsEqAutoClick() {
    isEqAutoClick = getBoolAttr("is-eq-auto-click");
    return nullptr;
}

CError* CGlobalSettings::attrIsMouseWheelOnLists() {
    isMouseWheelOnLists = getBoolAttr("is-mouse-wheel-on-lists");
    return nullptr;
}

CError* CGlobalSettings::attrMouseWheelPrecision() {
    mouseWheelPrecisionFactor = mouseWheelFactorOf(getDoubleAttr("mouse-wheel-precision"));
    return nullptr;
}

CError* CGlobalSettings::attrRadialKnobMode() {
    radialKnobMode = getBoolAttr("radial-knob-mode");
    return nullptr;
}

CError* CGlobalSettings::attrShiftKeyPrecision() {
    shiftKeyPrecisionFactor = shiftKeyFactorOf(getDoubleAttr("shift-key-precision"));
    return nullptr;
}

CError* CGlobalSettings::attrShowKnobLabels() {
    showKnobLabels = getBoolAttr("show-knob-labels");
    return nullptr;
}

CError* CGlobalSettings::attrShowPresetSelector() {
    showPresetSelector = getBoolAttr("show-preset-selector");
    return nullptr;
}

CError* CGlobalSettings::attrShowVirtualKeyboard() {
    showVirtualKeyboard = getBoolAttr("show-virtual-keyboard");
    return nullptr;
}

CError* CGlobalSettings::attrTabletMode() {
    tabletMode = getBoolAttr("tablet-mode");
    return nullptr;
}

} // namespace tal
