#pragma once
#include "Core/CTarget.h"
#include "Other/CBandColor.h"
#include "Other/CCurveDraw.h"
#include "UI/CView.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CBrush;
class CColor;
class CControlSurfaceExtern;
class CFilterResponse;
class CMinMax;
class CParamGroupSource;

// "ui:graph": the overlay view that draws the equaliser's magnitude response: one curve per band
// (only the highlighted ones unless all are shown), the summary curve, curves of two alternate
// responses and optional level-weighted band curves, at one point per visible pixel column.
// Band curves take the curve editor's band colours while colorized bands are on, highlighted ones
// get a gradient fill, and a change of the current band cross-fades the highlighting. It answers
// the curve editor's two questions about what it drew (nearest curve point, curve height).
// Owned by the object tree. UI thread, except paint, which only replays prepared jobs.
class CGraph : public CView {
public:
    // One built curve, in drawing order.
    struct CGraphCurve {
        double weightFrom = 1.0;
        double weightTo = 1.0;
        double brushSize = 1.5;
        std::int32_t kind = 5;   // 0 band, 1 alternate band, 2 summary, 3 alternate summary, 4 weighted
        bool isAlternate = false;
        bool isCurrent = false;
        bool isFlat = false;
        bool isHighlighted = false;
        bool isPerColumn = true;
        bool isSummary = false;
        std::int32_t key = -1;   // band index, -1 for the others
        std::vector<double> points;           // x, y pairs in window pixels
        std::vector<double> referencePoints;  // glued mode: the summary under a band curve
        std::int32_t pointCount() const noexcept { return std::int32_t(points.size() / 2); }
    };

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CGraph();
    ~CGraph() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;

    // --- drawing ---
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* attrCurrentAltFilter();
    [[nodiscard]] virtual CError* attrCurrentAltGroup();
    [[nodiscard]] virtual CError* attrCurrentGraph();
    [[nodiscard]] virtual CError* attrIsGluedMode();
    [[nodiscard]] virtual CError* attrIsShowAllGraphs();
    [[nodiscard]] virtual CError* attrIsSumIgnoresCurrentGraph();
    [[nodiscard]] virtual CError* attrSummaryAltGroup();
    [[nodiscard]] virtual CError* attrIsSweepMode();
    [[nodiscard]] virtual CError* onBandModeChanged(CAttrMap& args);
    [[nodiscard]] virtual CError* onColorizedBandsEnableChanged();
    [[nodiscard]] virtual CError* onFadeTimer();
    [[nodiscard]] virtual CError* onFilterResponseChange();
    [[nodiscard]] virtual CError* onGroupChange();
    [[nodiscard]] virtual CError* onMinMaxFreqUpdate();
    [[nodiscard]] virtual CError* onMinMaxGainUpdate();

    // --- queries of the curve editor ---
    // The nearest point of the current band curve (isCurrentOnly) or of the summary curve to q
    // (window pixels relative to the total rectangle's top-left corner); the distance in window
    // pixels, maxDistance x window scale when nothing is nearer (nearest then (0, 0)), and
    // maxDistance itself for a view of no size or without curves.
    double findNearestCurvePoint(const double q[2], double nearest[2], bool isCurrentOnly, double maxDistance);
    // The height (0 bottom .. 1 top of the total rectangle) of band `key`'s curve, or of the summary
    // for -1, at x (0 left .. 1 right of the total rectangle); defaultValue and found false when
    // there is no such curve or x lies beyond its right end. found may be null.
    double getCurveValueAt(std::int32_t key, bool* found, double x, double defaultValue);

    // --- queries ---
    const std::vector<std::unique_ptr<CGraphCurve>>& curves() const noexcept { return mCurves; }
    std::int32_t currentGraph() const noexcept { return mCurrentGraph; }
    const std::vector<std::int32_t>& activeBands() const noexcept { return mActiveBands; }
    double fadeProgress() const noexcept { return mFadeProgress; }
    bool isFading() const noexcept { return mIsFading; }
    std::int32_t jobCount() const noexcept { return std::int32_t(mJobs.size()); }

private:
    struct CJob {
        CCurveDraw draw;
        bool isFill = false;
        bool isPerColumn = true;
    };

    void setCurrentGraph(std::int32_t band);
    void markCurvesDirty();
    void updateFrequencyRange();
    [[nodiscard]] CError* rebuildCurves();
    void buildCurve(CFilterResponse& response, std::int32_t band, bool isSummary, bool isWeighted, std::int32_t key,
                    bool isMain);
    CGraphCurve& addCurve(std::int32_t key);
    double windowScale() const;
    // The alternate responses when named (null otherwise).
    CFilterResponse* alternateCurrent();
    CFilterResponse* alternateSummary();

    double mBrushSizeCurrent = 0.0;
    double mBrushSizeSummary = 0.0;
    double mBrushSizeWeighted = 0.0;
    CBandColorArray mBandColors;
    double mColorizedOpacity = 0.0;
    double mColorizedDamping = 0.0;
    const CColor* mColorModifier = nullptr;   // not owned: the palette's
    std::int32_t mCurrentAltFilter = -1;
    std::int32_t mCurrentAltGroup = -1;
    std::int32_t mCurrentGraph = -1;
    std::vector<std::int32_t> mActiveBands;
    CTarget<CControlSurfaceExtern> mControlSurface;
    std::vector<const CBrush*> mCurveBrushes;
    std::vector<const CColor*> mCurveColors;
    std::vector<double> mCurveFillOpacity;
    double mFadeProgress = 0.0;
    double mFadeTime = 0.0;
    CTarget<CObject> mFadeTimer;
    double mFadeStartTime = 0.0;
    std::vector<std::unique_ptr<CGraphCurve>> mCurves;
    double mClipOrigin[2] = {0.0, 0.0};
    double mGroupChangeTime = 0.0;
    bool mIsEmptyResponseShown = false;
    bool mIsFading = false;
    bool mIsGluedMode = false;
    bool mIsShowAllGraphs = false;
    bool mIsSumIgnoresCurrentGraph = false;
    bool mIsSweepMode = false;
    bool mIsUseWeights = false;
    CTarget<CMinMax> mFrequencyRange;
    CTarget<CMinMax> mGainRange;
    bool mIsRangeDirty = true;
    bool mIsCurvesDirty = true;
    bool mIsSummaryDirty = true;
    CTarget<CParamGroupSource> mGroupSelector;
    std::int32_t mPreviousCurrentGraph = -1;
    std::vector<std::int32_t> mPreviousActiveBands;
    CTarget<CFilterResponse> mResponse;
    CTarget<CFilterResponse> mAltCurrentResponse;
    CTarget<CFilterResponse> mAltSummaryResponse;
    std::int32_t mSummaryAltGroup = -1;
    double mZeroLevel = 0.5;
    std::vector<CJob> mJobs;
};

} // namespace tal
