#include "UI/CLevelMeterBase.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CLevelMeterListener.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSource.h"
#include "UI/CSectorMap.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CValueList.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tal {

namespace {

double toDb(double x) noexcept { return std::log(std::fabs(x) + 1e-15) * 8.685889638065037; }

double plainAt(CUIParam* param, std::int32_t element, std::int32_t group) {
    CUIParamValue value;
    param->getPlainValue(value, element, group);
    return value[0];
}

} // namespace

CObject* CLevelMeterBase::create() { return new CLevelMeterBase(); }

void CLevelMeterBase::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addArgsEventOf<CLevelMeterBase, &CLevelMeterBase::onSourceState>(scheme, "source-state");
    addPlainEventOf<CLevelMeterBase, &CLevelMeterBase::onSourceRelease>(scheme, "source-release");
    addPlainEventOf<CLevelMeterBase, &CLevelMeterBase::onGroupChange>(scheme, "group-change");
}

CLevelMeterBase::~CLevelMeterBase() {
    mGroupSelector.reset();
    mSource.reset();
    mOutList.reset();
}

// --- life cycle ---

CError* CLevelMeterBase::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mGroupSelector.init(this, CString(), CString(), this, CString("group-selector"));
    mGroupSelector.isRequired = true;
    mGroupSelector.listenEvent(CString("group-change"), CString("group-change"));
    mIsInverted = getBoolAttr("is-inverted");
    mIsMultiband = getBoolAttr("is-multiband-display");
    mIsThresholdInverse = getBoolAttr("is-threshold-inverse");
    mHasThreshold = !getTextAttr("threshold-bridge").isEmpty();
    mIsZeroBase = getBoolAttr("is-zerobase");
    mIsExportPeaks = getBoolAttr("is-export-peaks");
    mIsRawData = getBoolAttr("is-raw-data");
    mIsSurroundCombo = getBoolAttr("is-surround-combo");
    mIsAlwaysShowAllChannels = getBoolAttr("is-always-show-all-channels");
    mOutFormat = getTextAttr("out-format");
    mOutList.init(this, CString(), CString(), this, CString("out-value-list"));
    mSingleBand = getIntAttr("accept-single-band");
    if (getTextAttr("accept-single-band").isEmpty())
        mSingleBand = -1;
    mShowAllChannels = mIsAlwaysShowAllChannels ? 1 : 0;
    return nullptr;
}

CError* CLevelMeterBase::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    if (CError* error = CLevelMeterListenerOwner::init(this))
        return traceError(error, getFullName());
    if (getBoolAttr("use-channel-routing"))
        if (CError* error = findObjectByAttr(mChannelNames, CString("audio-channels-names"), false))
            return traceError(error, getFullName());
    updateThresholds();
    if (listenerCount() == 0)
        return newError("@talstr_CLevelMeterBase_init_NoListeners At least one listener object is required.",
                        getFullName());
    if (mBandCountParam != nullptr)
        return traceError(onUIParamChanged(mBandCountParam, 0, 0), getFullName());
    return nullptr;
}

void CLevelMeterBase::detachFromParent() {
    if (mSource.owner != nullptr)
        if (CObject* source = mSource.resolve())
            if (CError* error = source->setIntAttr(CString("is-active"), 0, true)) {
                logError(error);
                delete error;
            }
    CView::detachFromParent();
}

// --- parameters ---

void CLevelMeterBase::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    if (name.equals("ui-param-corr-freqs"))
        mBandCountParam = param;
    else if (name.equals("ui-param-show-all-channels"))
        mShowAllParam = param;
    else if (name.equals("ui-param-threshold"))
        mThresholdParam = param;
    else if (name.equals("ui-param-threshold-enabled"))
        mThresholdEnabledParam = param;
}

CError* CLevelMeterBase::onUIParamChanged(CUIParam* param, std::int32_t, std::int32_t) {
    if (param == nullptr)
        return nullptr;
    if (param == mBandCountParam) {
        const std::int32_t n = param->getElementCount(-1);
        for (int i = 0; i < listenerCount(); ++i) {
            if (mIsMultiband)
                listener(i)->setBandCount(n, true);
            else
                listener(i)->setChannelCount(n);
        }
        updateThresholds();
    } else if (param == mShowAllParam) {
        if (!mIsAlwaysShowAllChannels)
            mShowAllChannels = plainAt(param, 0, -1) >= 0.5 ? 1 : 0;
    } else if (param == mThresholdParam || param == mThresholdEnabledParam) {
        updateThresholds();
    }
    return nullptr;
}

void CLevelMeterBase::onAcceptSingleBand(std::int32_t value) {
    mSingleBand = value;
    updateThresholds();
}

void CLevelMeterBase::updateThresholds() {
    if (!mHasThreshold || listenerCount() == 0)
        return;
    mThresholds.clear();
    invalidate();
    const std::int32_t element = std::max(mSingleBand, 0);
    if (mThresholdEnabledParam != nullptr && plainAt(mThresholdEnabledParam, element, -1) < 0.5)
        return;
    mCurrentThreshold = 0;
    if (mThresholdParam == nullptr)
        return;
    CParamGroupSource* selector = mGroupSelector.resolve();
    const std::int32_t current = selector != nullptr ? selector->getCurrentGroup() : -1;
    const bool isGrouped = mThresholdParam->bridge() != nullptr && !mThresholdParam->bridge()->isSingleGroup();
    std::int32_t index = 0;
    for (std::int32_t g : listener(0)->channelGroups()) {
        if (g == -1)
            continue;
        CString text;
        mThresholdParam->getValueText(element, text, 0, g, 0);
        bool isNumber = false;
        double value = parseDouble(text, &isNumber);
        if (!isNumber)
            value = 0.0;
        mThresholds.findOrAdd(index)->value = mIsThresholdInverse ? -value : value;
        if (g == current && isGrouped)
            mCurrentThreshold = index;
        ++index;
    }
}

// --- sources ---

CError* CLevelMeterBase::onSourceState(CAttrMap& args) {
    CAttrValue* source = args.findValue("source");
    mSource.init(this, source != nullptr ? source->asText() : CString(), CString(), this, CString());
    CAttrValue* state = args.findValue("state");
    bool isValid = false;
    const bool isRunning = state != nullptr && parseBool(state->asText(), false, &isValid) && isValid;
    for (int i = 0; i < listenerCount(); ++i)
        listener(i)->setFrozen(!isRunning);
    return nullptr;
}

CError* CLevelMeterBase::onSourceRelease() {
    if (mSource.owner != nullptr)
        if (CObject* source = mSource.resolve())
            if (CError* error = source->setIntAttr(CString("is-active"), 0, true))
                return traceError(error, getFullName());
    for (int i = 0; i < listenerCount(); ++i)
        listener(i)->setFrozen(false);
    updateThresholds();
    return nullptr;
}

CError* CLevelMeterBase::onGroupChange() {
    updateThresholds();
    return nullptr;
}

// --- levels ---

CString CLevelMeterBase::formatLevel(double x) const {
    if (x < -222.1)
        return CString("-inf");
    char text[33];
    std::snprintf(text, sizeof text, mOutFormat.chars8(), x);
    // "-0.0" and the like lose their sign.
    if (text[0] == '-' && text[1] != 0 && std::all_of(text + 1, text + std::char_traits<char>::length(text),
                                                       [](char c) { return c == '0' || c == '.'; }))
        return CString(text + 1);
    return CString(text);
}

CError* CLevelMeterBase::updateOutValueList() {
    CValueList* list = mOutList.owner != nullptr ? mOutList.resolve() : nullptr;
    if (list == nullptr || listenerCount() == 0)
        return nullptr;
    const CLevelMeterListener* first = listener(0);
    const std::vector<std::int32_t>& groups = first->channelGroups();
    CStringList items;
    for (std::int32_t i = 0; i < first->channelCount(); ++i) {
        double value = 0.0;
        bool isActive = first->getChannelValue(i, mIsExportPeaks, value);
        if (!isActive && std::size_t(i) < groups.size()) {
            for (std::int32_t j = 0; j < first->channelCount() && !isActive; ++j)
                if (j != i && std::size_t(j) < groups.size() && groups[std::size_t(j)] == groups[std::size_t(i)])
                    isActive = first->getChannelValue(j, mIsExportPeaks, value);
        }
        items.add(isActive ? formatLevel(value) : CString());
    }
    return traceError(list->setItems(items), getFullName());
}

CError* CLevelMeterBase::refreshLevels() {
    if (CError* error = updateOutValueList())
        return traceError(error, getFullName());
    if (listenerCount() == 0)
        return nullptr;
    const CLevelMeterListener* first = listener(0);
    double peak = 0.0, sum = 0.0;
    int count = 0;
    const bool isRms = comboMode() == kComboRms;
    for (std::int32_t j = 0; j < first->channelCount(); ++j) {
        double weight = 1.0;
        if (mIsSurroundCombo && mChannelNames != nullptr) {
            const CString name = j < mChannelNames->itemCount() ? mChannelNames->itemText(j) : CString();
            if (name.equals("lfe"))
                continue;
            if (name.equals("ls") || name.equals("rs"))
                weight = 1.41;
        }
        double channelPeak = 0.0, level = 0.0;
        if (!first->combineChannel(j, channelPeak, level))
            continue;
        if (count == 0)
            peak = channelPeak;
        else
            peak = peakComboMode() == kComboMin ? std::min(peak, channelPeak) : std::max(peak, channelPeak);
        sum += isRms ? weight * level * level : level;
        ++count;
    }
    double value = 0.0;
    if (count > 0)
        value = isRms ? std::sqrt(sum / count) : sum / count;
    else
        peak = 0.0;
    mSumPeak = mIsRawData ? peak : toDb(peak);
    mSumValue = mIsRawData ? value : toDb(value);
    if (CError* error = setAttr(CString("sum-peak"), formatLevel(mSumPeak), true))
        return traceError(error, getFullName());
    return traceError(setAttr(CString("sum-value"), formatLevel(mSumValue), true), getFullName());
}

} // namespace tal
