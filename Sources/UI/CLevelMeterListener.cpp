#include "UI/CLevelMeterListener.h"

#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Platform/CMonotonicClock.h"
#include "UI/CLevelMeterListenerOwner.h"
#include "UI/CParamGroupSource.h"
#include "UI/CValueList.h"
#include "UI/CVizExchange.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

double systemClock(void*) { return double(getMonotonicNanos()) * 1e-9; }

double toDb(double x) noexcept { return std::log(std::fabs(x) + 1e-15) * 8.685889638065037; }


} // namespace

CObject* CLevelMeterListener::create() { return new CLevelMeterListener(); }

void CLevelMeterListener::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CLevelMeterListener, &CLevelMeterListener::onUpdateTimer>(scheme, "update-timer");
    addPlainEventOf<CLevelMeterListener, &CLevelMeterListener::onGroupPerChannelListUpdate>(
        scheme, "group-per-channel-list-update");
    addPlainEventOf<CLevelMeterListener, &CLevelMeterListener::onAudioChannelsListUpdate>(scheme,
                                                                                         "audio-channels-list-update");
}

CLevelMeterListener::CLevelMeterListener() : mClock(&systemClock) {}

CLevelMeterListener::~CLevelMeterListener() {
    mVizExchange.reset();
    mGroupSelector.reset();
    mGroupPerChannelList.reset();
}

void CLevelMeterListener::setClock(ClockFn clock, void* context) noexcept {
    mClock = clock != nullptr ? clock : &systemClock;
    mClockContext = context;
}

// --- life cycle ---

CError* CLevelMeterListener::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mOwner, CString("^")))
        return traceError(error, getFullName());
    mGroupSelector.init(this, CString(), CString(), this, CString("group-selector"));
    mGroupSelector.isRequired = true;
    mResetValue = 0.0;
    mIsFixedBandCount = false;
    mIsIgnoreOtherGroups = getBoolAttr("is-ignore-all-channel-meters");
    mIsRawMode = getBoolAttr("is-raw-mode");
    mInitBandCount = getIntAttr("init-band-count");
    mVizName = getTextAttr("viz-name");
    if (mVizName.isEmpty())
        return newError("@talstr_CLevelMeterListener_init_NoVizName Visual object name is not defined.",
                        getFullName());
    mVizExchange.init(this, CString("ui.viz-exchange"), CString(), this, CString());
    mVizExchange.isRequired = true;
    if (CVizExchange* exchange = mVizExchange.resolve())
        exchange->addListener(this, mVizName, -1, -1, -1);
    mInactiveTimeout = getDoubleAttr("inactive-timeout");
    if (CError* error = createInactiveTimer(*this, mInactiveTimeout, false, mUpdateTimer))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CLevelMeterListener::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    mGroupPerChannelList.init(this, CString(".group-per-channel-values"), CString("group-per-channel-list-update"),
                              this, CString());
    mGroupPerChannelList.listenEvent(CString("values-changed"), CString("group-per-channel-list-update"));
    return nullptr;
}

void CLevelMeterListener::detachFromParent() {
    if (mVizExchange.owner != nullptr)
        if (CVizExchange* exchange = mVizExchange.resolve())
            exchange->removeListener(this, mVizName);
    CObject::detachFromParent();
}

void CLevelMeterListener::setup(std::int32_t index, CValueList* channelList, CValueList* channelLabels) {
    mListenerIndex = index;
    for (auto [list, member] : {std::pair{channelList, &mChannelList}, std::pair{channelLabels, &mChannelLabels}}) {
        *member = list;
        if (list != nullptr)
            listenObject(list->getFullName(), CString("values-changed"), CString("audio-channels-list-update"));
    }
    if (channelList != nullptr || channelLabels != nullptr || mInitBandCount > 0)
        reset();
}

void CLevelMeterListener::setFrozen(bool isFrozen) {
    if (isFrozen == mIsFrozen)
        return;
    mIsFrozen = isFrozen;
    if (!isFrozen)
        reset();
}

// --- queries ---

bool CLevelMeterListener::isBandActive(std::int32_t b) const noexcept {
    return b >= 0 && b < bandCount() && mBandActive[std::size_t(b)] != 0;
}

bool CLevelMeterListener::isChannelActive(std::int32_t ch) const noexcept {
    return ch >= 0 && ch < channelCount() && mChannelActive[std::size_t(ch)] != 0;
}

// --- combination ---

double CLevelMeterListener::combineValues(const std::vector<double>& values, std::int32_t mode,
                                          bool& hasValue) const {
    hasValue = !values.empty();
    if (!hasValue)
        return mResetValue;
    double result = 0.0;
    switch (mode) {
    case CLevelMeterListenerOwner::kComboMax:
        result = -1e15;
        for (double v : values)
            result = std::max(result, v);
        return result;
    case CLevelMeterListenerOwner::kComboMin:
        result = 1e15;
        for (double v : values)
            result = std::min(result, v);
        return result;
    case CLevelMeterListenerOwner::kComboAvg:
        for (double v : values)
            result += v;
        return result / double(values.size());
    case CLevelMeterListenerOwner::kComboRms:
        for (double v : values)
            result += v * v;
        return std::sqrt(result / double(values.size()));
    default:
        for (double v : values)
            result += v;
        return result;
    }
}

bool CLevelMeterListener::combineChannel(std::int32_t ch, double& peak, double& level) const {
    peak = level = mResetValue;
    if (!isChannelActive(ch) || mOwner == nullptr)
        return false;
    const std::vector<double>& peaks = mChannelPeakLists[std::size_t(ch)];
    const std::vector<double>& levels = mChannelLevelLists[std::size_t(ch)];
    std::vector<double> p, l;
    for (std::size_t b = 0; b < levels.size(); ++b)
        if (isBandActive(std::int32_t(b))) {
            p.push_back(peaks[b]);
            l.push_back(levels[b]);
        }
    bool hasPeak = false, hasLevel = false;
    peak = combineValues(p, mOwner->peakComboMode(), hasPeak);
    level = combineValues(l, mOwner->comboMode(), hasLevel);
    return hasLevel;
}

bool CLevelMeterListener::combineBand(std::int32_t b, double& peak, double& level) const {
    peak = level = mResetValue;
    if (!isBandActive(b) || mOwner == nullptr)
        return false;
    std::vector<double> p, l;
    for (std::int32_t ch = 0; ch < channelCount(); ++ch) {
        const std::vector<double>& levels = mChannelLevelLists[std::size_t(ch)];
        if (isChannelActive(ch) && std::size_t(b) < levels.size()) {
            p.push_back(mChannelPeakLists[std::size_t(ch)][std::size_t(b)]);
            l.push_back(levels[std::size_t(b)]);
        }
    }
    bool hasPeak = false, hasLevel = false;
    peak = combineValues(p, mOwner->peakComboMode(), hasPeak);
    level = combineValues(l, mOwner->comboMode(), hasLevel);
    return hasLevel;
}

bool CLevelMeterListener::getChannelValue(std::int32_t ch, bool peaks, double& value) const {
    if (ch < 0 || ch >= channelCount()) {
        value = toDb(mResetValue);
        return false;
    }
    value = peaks ? mChannelPeak[std::size_t(ch)] : mChannelLevel[std::size_t(ch)];
    return mChannelActive[std::size_t(ch)] != 0;
}

double CLevelMeterListener::combineChannelsDB(bool peaks, std::int32_t mode) const {
    double result = mode == 0 ? 0.0 : mode > 0 ? -300.0 : 300.0;
    int count = 0;
    for (std::int32_t ch = 0; ch < channelCount(); ++ch) {
        if (mChannelActive[std::size_t(ch)] == 0)
            continue;
        const double v = peaks ? mChannelPeak[std::size_t(ch)] : mChannelLevel[std::size_t(ch)];
        result = mode == 0 ? result + v : mode > 0 ? std::max(result, v) : std::min(result, v);
        ++count;
    }
    if (count == 0)
        return -300.0;
    return mode == 0 ? result / count : result;
}

bool CLevelMeterListener::setChannelCount(std::int32_t n) {
    n = std::max(n, 0);
    if (n == channelCount())
        return false;
    const double resetDb = toDb(mResetValue);
    mChannelActive.resize(std::size_t(n), 0);
    mChannelTime.resize(std::size_t(n), 0.0);
    mChannelPeak.resize(std::size_t(n), resetDb);
    mChannelLevel.resize(std::size_t(n), resetDb);
    mChannelPeakLists.resize(std::size_t(n));
    mChannelLevelLists.resize(std::size_t(n));
    if (hasOwnerIndex())
        mOwner->onLevelMeterChannelsChanged(mListenerIndex);
    return true;
}

void CLevelMeterListener::setBandCount(std::int32_t n, bool isFixed) {
    n = std::max(n, 0);
    mBandActive.resize(std::size_t(n), 0);
    mBandTime.resize(std::size_t(n), 0.0);
    mBandLevel.resize(std::size_t(n), mResetValue);
    mBandPeak.resize(std::size_t(n), mResetValue);
    mBandChanged.resize(std::size_t(n), 1);
    if (isFixed) {
        mInitBandCount = n;
        mIsFixedBandCount = true;
    }
}

void CLevelMeterListener::clearValues() {
    std::fill(mBandLevel.begin(), mBandLevel.end(), mResetValue);
    std::fill(mBandPeak.begin(), mBandPeak.end(), mResetValue);
    std::fill(mBandChanged.begin(), mBandChanged.end(), std::uint8_t(0));
    std::fill(mBandActive.begin(), mBandActive.end(), std::uint8_t(0));
    std::fill(mChannelActive.begin(), mChannelActive.end(), std::uint8_t(0));
    for (auto& list : mChannelPeakLists)
        list.clear();
    for (auto& list : mChannelLevelLists)
        list.clear();
}

// --- frames ---

void CLevelMeterListener::onVizReset() { reset(); }

void CLevelMeterListener::reset() {
    if (mIsFrozen)
        return;
    mIsFixedBandCount = false;
    std::fill(mBandActive.begin(), mBandActive.end(), std::uint8_t(0));
    std::fill(mChannelActive.begin(), mChannelActive.end(), std::uint8_t(0));
    if (mChannelList != nullptr)
        setChannelCount(mChannelList->itemCount());
    setBandCount(mInitBandCount, false);
    clearValues();
    if (!hasOwnerIndex())
        return;
    if (mIsRawMode) {
        mOwner->onLevelMeterRawValue(mListenerIndex, -1, 0.0, 0.0, 0.0);
        return;
    }
    mOwner->onLevelMeterChannelValue(mListenerIndex, -1, 0.0);
    mOwner->onLevelMeterValue(mListenerIndex, -1, -1.0);
    refreshOwner();
}

void CLevelMeterListener::refreshOwner() {
    if (CError* error = mOwner != nullptr ? mOwner->refreshLevels() : nullptr) {
        logError(error);
        delete error;
    }
}

void CLevelMeterListener::onVizData(const CString& name, const CAudioVizData& frame) {
    if (mIsFrozen || !(name == mVizName) || frame.type != CAudioVizData::kTypeMeter || mOwner == nullptr)
        return;
    const auto& meter = static_cast<const CAudioVizDataMeter&>(frame);
    CParamGroupSource* selector = mGroupSelector.resolve();
    const std::int32_t current = selector != nullptr ? selector->getCurrentGroup() : -1;
    if (meter.group != current && (mIsIgnoreOtherGroups || !mOwner->isShowAllChannels()))
        return;
    std::int32_t band = meter.position;
    const std::int32_t single = mOwner->singleBand();
    if (single >= 0) {
        if (band != single)
            return;
        band = 0;
    }
    // Frames of the whole channel set (channel -1) or without a band have no slot here.
    if (meter.channel < 0 || band < 0)
        return;
    std::int32_t slot = -1;
    if (mChannelList != nullptr) {
        setChannelCount(mChannelList->itemCount());
        const CString key(std::string(1, char(49 + meter.channel)).c_str());
        for (std::int32_t i = 0; i < mChannelList->itemCount() && slot < 0; ++i)
            if (mChannelList->itemText(i) == key)
                slot = i;
    } else {
        setChannelCount(std::max(meter.channel + 1, channelCount()));
        slot = meter.channel;
    }
    if (slot < 0 || slot >= channelCount())
        return;
    if (mIsRawMode) {
        mOwner->onLevelMeterRawValue(mListenerIndex, slot, meter.time, meter.level, meter.peak);
        return;
    }
    std::vector<double>& peaks = mChannelPeakLists[std::size_t(slot)];
    std::vector<double>& levels = mChannelLevelLists[std::size_t(slot)];
    if (std::size_t(band) >= levels.size()) {
        peaks.resize(std::size_t(band) + 1, 0.0);
        levels.resize(std::size_t(band) + 1, 0.0);
    }
    if (band >= bandCount()) {
        if (mIsFixedBandCount)
            return;
        setBandCount(band + 1, false);
    }
    peaks[std::size_t(band)] = meter.peak;
    levels[std::size_t(band)] = meter.level;
    const double t = now();
    mBandChanged[std::size_t(band)] = 1;
    mBandActive[std::size_t(band)] = 1;
    mBandTime[std::size_t(band)] = t;
    mChannelActive[std::size_t(slot)] = 1;
    mChannelTime[std::size_t(slot)] = t;
    double peak = 0.0, level = 0.0;
    if (combineChannel(slot, peak, level)) {
        const bool isRaw = mOwner->isRawData();
        mChannelPeak[std::size_t(slot)] = isRaw ? peak : toDb(peak);
        mChannelLevel[std::size_t(slot)] = isRaw ? level : toDb(level);
        if (mListenerIndex >= 0)
            mOwner->onLevelMeterChannelValue(mListenerIndex, slot, meter.time);
    }
    flushBands(meter.time);
    if (mListenerIndex >= 0)
        refreshOwner();
}

void CLevelMeterListener::flushBands(double time) {
    for (std::int32_t b = 0; b < bandCount(); ++b) {
        if (mBandChanged[std::size_t(b)] == 0)
            continue;
        double peak = 0.0, level = 0.0;
        if (!combineBand(b, peak, level))
            continue;
        mBandPeak[std::size_t(b)] = peak;
        mBandLevel[std::size_t(b)] = level;
        mBandChanged[std::size_t(b)] = 0;
        if (mListenerIndex >= 0)
            mOwner->onLevelMeterValue(mListenerIndex, b, time);
    }
}

// --- handlers ---

CError* CLevelMeterListener::onAudioChannelsListUpdate() {
    reset();
    return nullptr;
}

CError* CLevelMeterListener::onGroupPerChannelListUpdate() {
    CValueList* list = mGroupPerChannelList.resolve();
    if (list == nullptr || mOwner == nullptr)
        return nullptr;
    mChannelGroups.clear();
    for (int i = 0; i < list->itemCount(); ++i) {
        const int group = parseInt(list->itemText(i), -1);
        if (group >= 0)
            mChannelGroups.push_back(group);
    }
    mOwner->onLevelMeterGroupsChanged();
    if (!mIsIgnoreOtherGroups && mOwner->isShowAllChannels())
        return nullptr;
    CParamGroupSource* selector = mGroupSelector.resolve();
    const std::int32_t current = selector != nullptr ? selector->getCurrentGroup() : -1;
    bool isAnyDropped = false;
    // Channels without an entry in the list keep their state.
    const std::int32_t known = std::min(channelCount(), std::int32_t(mChannelGroups.size()));
    for (std::int32_t ch = 0; ch < known; ++ch)
        if (mChannelGroups[std::size_t(ch)] != current && mChannelActive[std::size_t(ch)] != 0) {
            mChannelActive[std::size_t(ch)] = 0;
            isAnyDropped = true;
        }
    if (isAnyDropped && mListenerIndex >= 0)
        mOwner->onLevelMeterValue(mListenerIndex, -1, 0.0);
    return nullptr;
}

CError* CLevelMeterListener::onUpdateTimer() {
    CVizExchange* exchange = mVizExchange.resolve();
    if (mInactiveTimeout < 0.01 || exchange == nullptr || !exchange->isActive())
        return nullptr;
    const double t = now();
    bool isExpired = false, isAnyActive = false;
    for (std::int32_t b = 0; b < bandCount(); ++b) {
        if (mBandActive[std::size_t(b)] == 0)
            continue;
        if (t - mBandTime[std::size_t(b)] >= mInactiveTimeout) {
            mBandActive[std::size_t(b)] = 0;
            isExpired = true;
        } else {
            isAnyActive = true;
        }
    }
    if (isExpired && !isAnyActive && hasOwnerIndex()) {
        mOwner->onLevelMeterValue(mListenerIndex, -1, -1.0);
        if (CError* error = mOwner->refreshLevels())
            return traceError(error, getFullName());
    }
    isExpired = isAnyActive = false;
    for (std::int32_t ch = 0; ch < channelCount(); ++ch) {
        if (mChannelActive[std::size_t(ch)] == 0)
            continue;
        if (t - mChannelTime[std::size_t(ch)] >= mInactiveTimeout) {
            mChannelActive[std::size_t(ch)] = 0;
            isExpired = true;
        } else {
            isAnyActive = true;
        }
    }
    if (isExpired && !isAnyActive)
        reset();
    return nullptr;
}

} // namespace tal
