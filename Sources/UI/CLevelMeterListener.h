#pragma once
#include "Core/CObject.h"
#include "Core/CTarget.h"
#include "UI/CVizListener.h"

#include <cstdint>
#include <vector>

namespace tal {

class CLevelMeterListenerOwner;
class CParamGroupSource;
class CValueList;
class CVizExchange;

// Receives the level-meter frames of one visual object ("viz-name") from the editor's viz exchange,
// files each frame's level and peak under its channel and band, combines them across channels and
// across bands with the owner's combination modes, expires values that stop arriving
// ("inactive-timeout") and reports every change to its owner, the parent object
// (a CLevelMeterListenerOwner). A child of its owner, destroyed with it; it leaves the exchange in
// detachFromParent. Editor thread only.
class CLevelMeterListener : public CObject, public CVizListener {
public:
    // A clock in seconds; tests substitute a manual one.
    using ClockFn = double (*)(void* context);

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CLevelMeterListener();
    ~CLevelMeterListener() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    void detachFromParent() override;
    // Called by the owner: this listener's index in the owner's list and the optional channel list
    // and labels (not owned; both listened to for changes).
    void setup(std::int32_t index, CValueList* channelList, CValueList* channelLabels);
    // While frozen, frames and resets are ignored; unfreezing resets.
    void setFrozen(bool isFrozen);

    // --- CVizListener ---
    void onVizReset() override;
    void onVizData(const CString& name, const CAudioVizData& frame) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onUpdateTimer();
    [[nodiscard]] virtual CError* onGroupPerChannelListUpdate();
    [[nodiscard]] virtual CError* onAudioChannelsListUpdate();
    // Clears every value (not while frozen) and reports the clearing to the owner.
    virtual void reset();

    // --- combination ---
    // Over the active bands of channel ch: the combined peak and level; false when ch is inactive.
    bool combineChannel(std::int32_t ch, double& peak, double& level) const;
    // Over the active channels that reach band b: the combined peak and level; false when b is
    // inactive or no channel has a value for it.
    bool combineBand(std::int32_t b, double& peak, double& level) const;
    // Channel ch's combined peak (peaks) or level (dB unless the owner takes raw data); false, and
    // the reset value in dB, for an inactive or unknown channel.
    bool getChannelValue(std::int32_t ch, bool peaks, double& value) const;
    // Over the active channels: the mean (mode 0), maximum (mode > 0) or minimum (mode < 0) of their
    // peaks or levels; -300 when none is active.
    double combineChannelsDB(bool peaks, std::int32_t mode) const;
    // Every band and channel value back to the reset value, flags cleared.
    void clearValues();
    // Resizes the channels; false when the count does not change.
    bool setChannelCount(std::int32_t n);
    // Resizes the bands (new ones inactive and changed); with isFixed the count is kept against
    // frames of higher bands.
    void setBandCount(std::int32_t n, bool isFixed);

    // --- queries ---
    std::int32_t listenerIndex() const noexcept { return mListenerIndex; }
    std::int32_t bandCount() const noexcept { return std::int32_t(mBandActive.size()); }
    bool isBandActive(std::int32_t b) const noexcept;
    double bandLevel(std::int32_t b) const noexcept { return mBandLevel[std::size_t(b)]; }
    double bandPeak(std::int32_t b) const noexcept { return mBandPeak[std::size_t(b)]; }
    std::int32_t channelCount() const noexcept { return std::int32_t(mChannelActive.size()); }
    bool isChannelActive(std::int32_t ch) const noexcept;
    const std::vector<std::int32_t>& channelGroups() const noexcept { return mChannelGroups; }
    bool isFrozen() const noexcept { return mIsFrozen; }
    void setClock(ClockFn clock, void* context) noexcept;

private:
    double now() const { return mClock(mClockContext); }
    bool hasOwnerIndex() const noexcept { return mListenerIndex >= 0 && mOwner != nullptr; }
    double combineValues(const std::vector<double>& values, std::int32_t mode, bool& hasValue) const;
    // Recombines every changed band and reports it with the frame's time.
    void flushBands(double time);
    void refreshOwner();

    CValueList* mChannelList = nullptr;    // not owned
    CValueList* mChannelLabels = nullptr;  // not owned
    std::vector<std::uint8_t> mBandActive;
    std::vector<double> mBandTime;
    std::vector<double> mBandPeak;
    std::vector<double> mBandLevel;
    std::vector<std::uint8_t> mChannelActive;
    std::vector<double> mChannelTime;
    std::vector<std::vector<double>> mChannelPeakLists;
    std::vector<std::vector<double>> mChannelLevelLists;
    double mResetValue = 0.0;
    std::vector<std::int32_t> mChannelGroups;
    CTarget<CValueList> mGroupPerChannelList;
    double mInactiveTimeout = 0.0;
    std::int32_t mInitBandCount = 0;
    std::vector<std::uint8_t> mBandChanged;
    bool mIsFrozen = false;
    bool mIsIgnoreOtherGroups = false;
    bool mIsFixedBandCount = false;
    bool mIsRawMode = false;
    std::int32_t mListenerIndex = -1;
    CLevelMeterListenerOwner* mOwner = nullptr;  // not owned: the parent
    CTarget<CParamGroupSource> mGroupSelector;
    std::vector<double> mChannelPeak;
    CObject* mUpdateTimer = nullptr;  // not owned: a child
    std::vector<double> mChannelLevel;
    CTarget<CVizExchange> mVizExchange;
    CString mVizName;
    ClockFn mClock;
    void* mClockContext = nullptr;
};

} // namespace tal
