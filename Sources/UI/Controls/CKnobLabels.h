#pragma once
#include "Core/CArray.h"
#include "Core/CTarget.h"
#include "UI/Controls/CPicture.h"

namespace tal {

class CCaption;
class CColor;
class CValueList;

// "ui:knob-labels": value texts on the arc a knob sweeps, from the bottom left over the top to the
// bottom right. The texts are the items of the child value list "scale"; each is a caption child
// made from the template in "label-tag". The view is a picture too, drawing its background image
// aligned on the knob's own image. The knob (its parent view) creates and releases it on hover.
// Owned by the object tree; the captions are its children, `labels` only points at them. UI thread,
// except paint (the picture's, reading what prepareDraw prepared).
class CKnobLabels : public CPicture {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CKnobLabels() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    void paint(CSector& sector) override;

    // Handler of "scale-values-change": rebuilds the captions and places them.
    [[nodiscard]] virtual CError* onScaleValuesChange();
    // Rebuilds the captions when a rebuild is pending, then places every caption on the arc.
    [[nodiscard]] CError* updateLabels();

    // --- queries ---
    int labelCount() const noexcept { return mLabels.count(); }
    // Caption i, or null where none is made (small circles).
    CCaption* label(int i) const noexcept { return mLabels[i]; }
    double labelRadius() const noexcept { return mLabelRadius; }
    bool useSmallCircles() const noexcept { return mUseSmallCircles; }

private:
    bool mIsRebuildPending = false;
    double mCenterX = 0.0;
    double mCenterY = 0.0;
    CArray<CCaption*> mLabels;   // not owned: children
    double mLabelRadius = 0.0;
    CTarget<CValueList> mScaleList;
    bool mUseSmallCircles = false;
};

// Fills color's 256-entry tone table from a base colour (channels 0..1): each entry is the base
// scaled by i / 255, its saturation raised by up to 1.65 in the dark part and its value by up to
// 1.35 in the bright part, with a linear hand-over between entries 193 and 242. Opacity 1; counts
// one change.
void buildKnobToneRamp(CColor& color, const double base[3]);

} // namespace tal
