#pragma once
#include "UI/Controls/CControlSurfaceVisual.h"

namespace tal {

class CObjectScheme;

// "ui:control-surface": the curve editor laid over the response graph. Every equaliser band is a
// point of one of its layers ("ui:control-surface-layer" children) that it draws, hit-tests and
// edits. Set-up binds its links (graph, interface client, colour swatch, palette), reads its
// settings, writes the initial readout attributes and prepares its draw items and colours.
// Owned by the object tree; it owns its layer, selection and drawing records. UI thread only,
// except paint.
class CControlSurface : public CControlSurfaceVisual {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CControlSurface() = default;
    ~CControlSurface() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;

    // --- queries ---
    bool isFreehandModeAllowed() const noexcept { return mIsFreehandModeAllowed; }
    const std::vector<CAddBandAutoType>& addBandAutoTypes() const noexcept { return mAddBandAutoTypes; }

private:
    CTarget<CObject> mPalette;
    bool mIsFreehandModeAllowed = false;
    bool mIsDblclickAddPoint = false;
    bool mIsSelectionAreaEnabled = false;
    bool mIsSweepingEnabled = false;
    bool mIsScaleMultiplePoints = false;
    bool mIsZoomingEnabled = false;
    std::int32_t mMaxPointNumberShown = 0;
};

} // namespace tal
