#pragma once
#include "UI/Controls/CControlSurfaceBase.h"
#include "UI/Controls/CControlSurfaceSweep.h"

namespace tal {

// The curve editor's handlers of its own attributes and events: the display switches the
// description binds to the settings (colorized bands, band hiding, crosshair, glued mode, slider
// mode, shadows), the update timer child that paces parameter writes during gestures, and the
// range updates that re-read the points. Part of the surface; UI thread only.
class CControlSurfaceEvents : public CControlSurfaceBase {
public:
    CControlSurfaceEvents() = default;
    ~CControlSurfaceEvents() override;

    // --- attribute handlers ---
    // Colorized bands on or off (always off in simple xy mode); fires "colorized-bands-enable-changed"
    // once the surface is live.
    [[nodiscard]] virtual CError* attrColorizedBandsEnable();
    [[nodiscard]] virtual CError* attrIsBandHidingEnabled();
    [[nodiscard]] virtual CError* attrIsCrosshairShown();
    // Glued mode; turning it off drops the glued values.
    [[nodiscard]] virtual CError* attrIsGluedMode();
    [[nodiscard]] virtual CError* attrIsSliderMode();
    [[nodiscard]] virtual CError* attrUiStyleShadowHidden();
    // Creates, retunes or (fps <= 0) releases the child "update-timer".
    [[nodiscard]] virtual CError* attrUpdateFps();

    // --- commands ---
    // The band-type popup's choice for every selected band: a type (each its own undo step), or
    // the list's remove item, which removes the first selected band as one step.
    [[nodiscard]] CError* onPopupResult(CAttrMap& args) override;
    // Resets every band of the active editable layers as one undo step named after "title" and
    // "group" ("Control surface reset" without a title). Nothing without an interface client.
    [[nodiscard]] virtual CError* onReset(CAttrMap& args);
    // Makes the next / previous band in screen order current (nothing in simple xy mode).
    [[nodiscard]] virtual CError* onSelNext();
    [[nodiscard]] virtual CError* onSelPrev();
    // Delivers the parameter notifications held during a gesture.
    [[nodiscard]] virtual CError* onUnholdTimer();
    // Sends the pending point changes to the parameters.
    [[nodiscard]] virtual CError* onUpdateTimer();

    // --- event handlers ---
    // Re-reads the points of every layer whose range is the sender; an unknown sender is logged.
    [[nodiscard]] virtual CError* onMinMaxUpdate(CAttrMap& args);
    [[nodiscard]] CError* onDynamicPaletteUpdated() override;

    // --- queries ---
    CObject* updateTimer() { return mUpdateTimer.resolve(); }
    CControlSurfaceSweep& sweep() noexcept { return mSweep; }

protected:
    // Fires "colorized-bands-enable-changed" once the surface is live (life stage 3 on).
    [[nodiscard]] CError* fireColorizedChanged();

    CTarget<CObject> mUpdateTimer;
    CTarget<CObject> mInterfaceClient;
    CControlSurfaceSweep mSweep;
};

} // namespace tal
