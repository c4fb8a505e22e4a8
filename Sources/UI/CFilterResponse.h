#pragma once
#include "Audio/Filters/CAudioFilterValues.h"
#include "Core/CObject.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CLevelMeterListenerOwner.h"
#include "UI/CUIParamUpdateHandler.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tal {

class CAudioFilterGenArray;
struct CAudioFilterStage;
class CAudioFilterStageList;
class CSampleRateMonitor;
class CUIParam;
class CWindowSharedData;

// "ui:filter-response": the magnitude response of every equaliser band and of their sum, for
// display. The band values come through child UI parameters (every child with a "genname", element
// k = band k, plus "filter-count-param" and "filter-type-param"); they go to the audio side's own
// designers ("gen-array", indexed by the band mode) and the designed stages are evaluated on a
// logarithmic grid set by setRange. Curves are computed lazily: a parameter change only marks the
// affected slots (and the sum) stale and fires "update"; the getters design a stale slot again.
// One table of cos/sin over the grid serves every slot. FIR stages are evaluated on the worker pool
// in a fixed number of chunks, so their results do not depend on the number of threads.
// Editor thread only (the pool workers only fill disjoint ranges while the caller waits).
class CFilterResponse : public CObject, public CUIParamUpdateHandler, public CLevelMeterListenerOwner {
public:
    // One filter slot: its power (|H|^2) and dB curves and its level blend.
    struct Item {
        bool isStale = true;
        bool isLevelStale = false;
        double levelTime = 0.0;
        double levelClock = 0.0;
        double levelFactor = 1.0;
        std::vector<double> power;
        std::vector<double> dB;
        std::vector<double> levelCurve;
    };

    static constexpr int kFIRChunks = 32;

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CFilterResponse() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    // Every slot and the sum stale, then "update".
    [[nodiscard]] virtual CError* onSampleRateChange();

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- CLevelMeterListenerOwner ---
    bool isRawData() const override { return true; }
    void onLevelMeterValue(std::int32_t listenerIndex, std::int32_t band, double time) override;

    // --- what the graph uses ---
    std::int32_t getFilterCount() const noexcept { return std::int32_t(mSlots.size()); }
    // N grid points from fLo to fHi (geometric); a change marks everything stale.
    void setRange(std::int32_t pointCount, double fLo, double fHi);
    // The dB curve of a slot (designed again when stale); null out of range or when empty.
    const std::vector<double>* getFilterCurve(std::int32_t slot);
    // The power curve of a slot, evaluated like getFilterCurve; null out of range or when empty.
    const std::vector<double>* getPowerCurve(std::int32_t slot);
    // The level-blended curve, else the dB curve; null out of range, when empty, or when no level
    // value arrived within the inactive timeout before the window frame clock.
    const std::vector<double>* getLevelCurve(std::int32_t slot);
    // The pointwise sum of the slots' dB curves (without the last slot with excludeLast); null
    // without slots.
    const std::vector<double>* getSumCurve(bool excludeLast);
    void invalidateSum() noexcept { mIsSumStale = true; }
    // Drops the level blend of a slot until a new level value arrives (its clock one inactive
    // timeout before clock, its factor 1). Nothing out of range.
    void expireLevel(std::int32_t slot, double clock) noexcept;

    // --- tuning and tests ---
    // The number of threads that evaluate FIR stages (the caller included); 0: from the CPU count.
    void setFIRThreadCount(int count) noexcept { mFIRThreadCount = count; }
    // Evaluates a cascade over n grid points (angle w0·e^(k·logStep) at point k) into power (|H|^2)
    // and dB. Exposed for the benchmark.
    void evaluateStages(const CAudioFilterStageList& stages, double* power, double* dB, int n, double w0,
                        double logStep);

private:
    struct TrigTable {
        std::vector<double> cos1, sin1, cos2, sin2;
        int count = 0;
        double w0 = 0.0;
        double logStep = 0.0;
    };

    void updateFilterCount();
    void markAllStale();
    void markBandsStale(std::int32_t offset, std::int32_t count);
    void fireUpdate();
    void ensureEvaluated(Item& item, std::int32_t slot);
    void evaluateFilter(Item& item, std::int32_t slot);
    void computeLevelCurve(Item& item);
    void updateTrigTable(int n, double w0, double logStep);
    // Multiplies one stage's power into power (first: stores it).
    void evaluateStage(const CAudioFilterStage& stage, double* power, int n, bool first, double w0, double logStep);
    void evaluateFIR(const CAudioFilterStage& stage, double* power, int n, bool first);
    void rebuildValueMap();
    double frameClock();
    int firThreads() const;

    std::int32_t mFilterCount = 1;
    bool mIsSumStale = true;
    CUIParam* mFilterCountParam = nullptr;  // not owned: a child
    CUIParam* mFilterTypeParam = nullptr;   // not owned: a child
    std::vector<std::string> mGenNames;     // genname of each per-filter parameter, by list index
    CAudioFilterValueMap mValueMap;         // views of mGenNames
    std::vector<std::unique_ptr<Item>> mSlots;
    CTarget<CAudioFilterGenArray> mGenArray;
    CTarget<CAudioFilterGenArray> mGenArrayPoints;
    double mInactiveTimeout = 0.0;
    std::vector<std::uint8_t> mSplineFlags;
    double mHighFrequency = 1.0;
    double mLowFrequency = 0.1;
    std::vector<CUIParam*> mFilterParams;  // not owned: children
    std::int32_t mPointCount = 0;
    std::vector<CString> mSplineNames;
    CTarget<CSampleRateMonitor> mMonitor;
    std::vector<double> mSum;
    CTarget<CWindowSharedData> mWindowData;
    TrigTable mTrig;
    int mFIRThreadCount = 0;
};

} // namespace tal
