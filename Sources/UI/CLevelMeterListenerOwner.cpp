#include "UI/CLevelMeterListenerOwner.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "UI/CLevelMeterListener.h"
#include "UI/CValueList.h"

#include <cstring>

namespace tal {

CLevelMeterListenerOwner::~CLevelMeterListenerOwner() = default;

std::int32_t CLevelMeterListenerOwner::comboModeOf(const char* text) noexcept {
    static const char* const kNames[] = {"sum", "max", "min", "avg", "rms"};
    for (std::int32_t i = 0; i < 5; ++i)
        if (std::strcmp(text, kNames[i]) == 0)
            return i;
    return -1;
}

CError* CLevelMeterListenerOwner::init(CObject* owner) {
    const std::int32_t mode = comboModeOf(owner->getTextAttr("combo-mode").chars8());
    if (mode < 0)
        return newError("@talstr_CLevelMeterBase_init_InvalidComboMode Invalid combo mode.", owner->getFullName());
    mComboMode = mode;
    const std::int32_t peak = comboModeOf(owner->getTextAttr("combo-mode-peak").chars8());
    if (peak < 0)
        return newError("@talstr_CLevelMeterBase_init_InvalidComboModePeak Invalid peak combo mode.",
                        owner->getFullName());
    mPeakComboMode = peak;
    if (owner->getBoolAttr("use-channel-routing")) {
        if (CError* error = owner->findObjectByAttr(mChannelList, CString("audio-channels-list"), false))
            return traceError(error, owner->getFullName());
        if (CError* error = owner->findObjectByAttr(mChannelLabels, CString("audio-in-channel-labels"), false))
            return traceError(error, owner->getFullName());
    }
    mListeners.clear();
    for (int i = 0; i < owner->childCount(); ++i)
        if (auto* listener = dynamic_cast<CLevelMeterListener*>(owner->child(i))) {
            mListeners.push_back(listener);
            listener->setup(std::int32_t(mListeners.size()) - 1, mChannelList, mChannelLabels);
        }
    return nullptr;
}

CError* CLevelMeterListenerOwner::refreshLevels() { return nullptr; }
void CLevelMeterListenerOwner::onLevelMeterValue(std::int32_t, std::int32_t, double) {}
void CLevelMeterListenerOwner::onLevelMeterChannelValue(std::int32_t, std::int32_t, double) {}
void CLevelMeterListenerOwner::onLevelMeterRawValue(std::int32_t, std::int32_t, double, double, double) {}
bool CLevelMeterListenerOwner::isInverted() const { return false; }
bool CLevelMeterListenerOwner::isMultibandDisplay() const { return false; }
bool CLevelMeterListenerOwner::isRawData() const { return false; }
bool CLevelMeterListenerOwner::isShowAllChannels() const { return mShowAllChannels != 0; }
bool CLevelMeterListenerOwner::isZeroBase() const { return false; }
void CLevelMeterListenerOwner::onLevelMeterChannelsChanged(std::int32_t) {}
void CLevelMeterListenerOwner::onLevelMeterGroupsChanged() {}

} // namespace tal
