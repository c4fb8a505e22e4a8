#pragma once
#include "Core/CTarget.h"
#include "UI/CView.h"

#include <cstdint>
#include <vector>

namespace tal {

class CColor;
class CMinMax;
class CRuler;

// "ui:graph-log-lines": an overlay view that draws the background grid of the equaliser and
// spectrum displays as one-pixel lines: vertical lines at d x 10^k on the frequency range
// ("min-max-freq"), horizontal lines every "gain-step" on the gain range ("min-max-gain"); where a
// ruler is named ("ruler-freq", "ruler-gain") its hairlines instead, so grid and ticks coincide.
// Owned by the object tree. UI thread, except paint, which only fills the placed rectangles.
class CGraphLogLines : public CView {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CGraphLogLines() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;

    // --- drawing ---
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onLinesUpdate();

    // --- queries ---
    const std::vector<std::int32_t>& placedItems() const noexcept { return mPlacedItems; }

private:
    void computeLines();
    void placeLines();

    std::vector<std::int32_t> mItems;        // draw items reserved for lines
    const CColor* mLineColor = nullptr;      // not owned: the colour table's
    double mGainStep = 0.0;
    bool mIsHideBorderLines = false;
    std::vector<std::int32_t> mPlacedItems;
    std::vector<double> mVertical;           // window x
    std::vector<double> mHorizontal;         // window y
    CTarget<CMinMax> mFrequencyRange;
    CTarget<CMinMax> mGainRange;
    CTarget<CRuler> mFrequencyRuler;
    CTarget<CRuler> mGainRuler;
    bool mIsPlacementDirty = true;
    bool mIsPositionsDirty = true;
};

} // namespace tal
