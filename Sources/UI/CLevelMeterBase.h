#pragma once
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CLevelMeterListenerOwner.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CParamGroupSource;
class CUIParam;
class CValueList;

// The base of level-meter views: a view that owns level-meter listeners, summarises its first
// listener's channels into one peak and one value, publishes them as "sum-peak" and "sum-value" and
// as the items of an output value list ("out-value-list", formatted with "out-format"), and keeps a
// per-group threshold list from UI parameters. Draws nothing itself; derived views draw.
// Owned by the object tree; its listeners are its children. UI thread only.
class CLevelMeterBase : public CView, public CLevelMeterListenerOwner, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CLevelMeterBase() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    void detachFromParent() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- CLevelMeterListenerOwner ---
    [[nodiscard]] CError* refreshLevels() override;
    bool isInverted() const override { return mIsInverted; }
    bool isMultibandDisplay() const override { return mIsMultiband; }
    bool isRawData() const override { return mIsRawData; }
    bool isZeroBase() const override { return mIsZeroBase; }
    void onLevelMeterGroupsChanged() override { updateThresholds(); }

    // --- handlers and operations ---
    // Rebuilds the thresholds: one per channel group of the first listener, from the threshold
    // parameter's text in that group (sign flipped with "is-threshold-inverse").
    virtual void updateThresholds();
    // Accepts only frames of one band (value >= 0) or of all (-1).
    virtual void onAcceptSingleBand(std::int32_t value);
    // "source-state": args "source" (the driving object's path) and "state" (false freezes the
    // listeners, true unfreezes them).
    [[nodiscard]] virtual CError* onSourceState(CAttrMap& args);
    // "source-release": the source's "is-active" goes to 0 and the listeners run again.
    [[nodiscard]] virtual CError* onSourceRelease();
    [[nodiscard]] virtual CError* onGroupChange();
    // A level for display: "-inf" below -222.1, else out-format applied (at most 32 characters),
    // without a minus sign when only zeros follow it.
    CString formatLevel(double x) const;

    // --- queries ---
    double sumPeak() const noexcept { return mSumPeak; }
    double sumValue() const noexcept { return mSumValue; }
    const CSortedMap<std::int32_t, double>& thresholds() const noexcept { return mThresholds; }
    std::int32_t currentThreshold() const noexcept { return mCurrentThreshold; }

private:
    CError* updateOutValueList();

    bool mIsInverted = false;
    bool mIsMultiband = false;
    bool mIsThresholdInverse = false;
    bool mHasThreshold = false;
    bool mIsZeroBase = false;
    CTarget<CParamGroupSource> mGroupSelector;
    std::int32_t mCurrentThreshold = 0;
    CSortedMap<std::int32_t, double> mThresholds;
    double mSumPeak = 0.0;
    double mSumValue = 0.0;
    CUIParam* mBandCountParam = nullptr;         // not owned: children
    CTarget<CObject> mSource;
    bool mIsExportPeaks = false;
    bool mIsRawData = false;
    bool mIsSurroundCombo = false;
    bool mIsAlwaysShowAllChannels = false;
    CString mOutFormat;
    CTarget<CValueList> mOutList;
    CUIParam* mShowAllParam = nullptr;
    CUIParam* mThresholdParam = nullptr;
    CUIParam* mThresholdEnabledParam = nullptr;
    CValueList* mChannelNames = nullptr;         // not owned
};

} // namespace tal
