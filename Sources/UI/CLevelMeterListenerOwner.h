#pragma once
#include "Core/CCheckedObject.h"

#include <cstdint>
#include <vector>

namespace tal {

class CError;
class CLevelMeterListener;
class CObject;
class CValueList;

// The mix-in of objects that own level-meter listeners: the options the listeners read (how levels
// and peaks are combined, which band is accepted, whether frames of other groups count), the list of
// listener children and the callbacks through which listeners report, all empty by default.
// Editor thread only.
class CLevelMeterListenerOwner : public CCheckedObject {
public:
    enum ComboMode : std::int32_t { kComboSum = 0, kComboMax = 1, kComboMin = 2, kComboAvg = 3, kComboRms = 4 };

    CLevelMeterListenerOwner() = default;
    CLevelMeterListenerOwner(const CLevelMeterListenerOwner&) = delete;
    CLevelMeterListenerOwner& operator=(const CLevelMeterListenerOwner&) = delete;
    ~CLevelMeterListenerOwner() override;

    // Reads "combo-mode", "combo-mode-peak" and, with "use-channel-routing", the channel list and
    // labels of `owner`. Called once by the owner's initChilds.
    [[nodiscard]] CError* init(CObject* owner);

    // The mode of an attribute text ("sum", "max", "min", "avg", "rms"; exact case), -1 otherwise.
    static std::int32_t comboModeOf(const char* text) noexcept;

    // --- callbacks and options (defaults: nothing, false) ---
    [[nodiscard]] virtual CError* refreshLevels();
    virtual void onLevelMeterValue(std::int32_t listenerIndex, std::int32_t band, double time);
    virtual void onLevelMeterChannelValue(std::int32_t listenerIndex, std::int32_t channel, double time);
    virtual void onLevelMeterRawValue(std::int32_t listenerIndex, std::int32_t channel, double time, double level,
                                      double peak);
    virtual bool isInverted() const;
    virtual bool isMultibandDisplay() const;
    virtual bool isRawData() const;
    virtual bool isShowAllChannels() const;
    virtual bool isZeroBase() const;
    virtual void onLevelMeterChannelsChanged(std::int32_t listenerIndex);
    virtual void onLevelMeterGroupsChanged();

    // --- what listeners read ---
    std::int32_t singleBand() const noexcept { return mSingleBand; }
    std::int32_t comboMode() const noexcept { return mComboMode; }
    std::int32_t peakComboMode() const noexcept { return mPeakComboMode; }
    CValueList* channelList() const noexcept { return mChannelList; }
    CValueList* channelLabels() const noexcept { return mChannelLabels; }
    int listenerCount() const noexcept { return int(mListeners.size()); }
    CLevelMeterListener* listener(int index) const noexcept {
        return index >= 0 && index < listenerCount() ? mListeners[std::size_t(index)] : nullptr;
    }

protected:
    std::int32_t mSingleBand = -1;
    std::int32_t mShowAllChannels = 0;
    std::vector<CLevelMeterListener*> mListeners;  // not owned: children of the owner
    std::int32_t mComboMode = kComboSum;
    std::int32_t mPeakComboMode = kComboMax;
    CValueList* mChannelList = nullptr;    // not owned
    CValueList* mChannelLabels = nullptr;  // not owned
};

} // namespace tal
