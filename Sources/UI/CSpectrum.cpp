#include "UI/CSpectrum.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Core/CAttrMap.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CColorSwatch.h"
#include "UI/CDynamicPalette.h"
#include "UI/CMinMax.h"
#include "UI/CParamGroupSource.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CSpectrumCurve.h"
#include "UI/CSpectrumData.h"
#include "UI/CSpectrumFiles.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CVizExchange.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

bool isSameReal(double a, double b) noexcept { return std::fabs(a - b) <= (std::fabs(a) + std::fabs(b)) * 2.2204461e-16; }

std::int32_t roundOf(double v) noexcept { return std::int32_t(std::round(v)); }

// The plain value of element 0 of the current group.
double plainOf(CUIParam* param) {
    CUIParamValue value;
    param->getPlainValue(value, 0, -1);
    return value[0];
}


} // namespace

CObject* CSpectrum::create() { return new CSpectrum(); }

void CSpectrum::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CSpectrum, &CSpectrum::attrColorIndex>(scheme, "color-index");
    addAttrOf<CSpectrum, &CSpectrum::attrIsFilled>(scheme, "is-filled");
    addAttrOf<CSpectrum, &CSpectrum::attrIsImportSpectrumFilling>(scheme, "is-import-spectrum-filling");
    addAttrOf<CSpectrum, &CSpectrum::attrGainShift>(scheme, "gain-shift");
    addPlainEventOf<CSpectrum, &CSpectrum::onAudioChannelListUpdate>(scheme, "audio-channel-list-update");
    addPlainEventOf<CSpectrum, &CSpectrum::onAudioChannelNamesUpdate>(scheme, "audio-channel-names-update");
    addPlainEventOf<CSpectrum, &CSpectrum::onAudioGroupNameUpdate>(scheme, "audio-group-name-update");
    addArgsEventOf<CSpectrum, &CSpectrum::onFreeze>(scheme, "freeze");
    addPlainEventOf<CSpectrum, &CSpectrum::onGroupChange>(scheme, "group-change");
    addPlainEventOf<CSpectrum, &CSpectrum::onMinMaxUpdate>(scheme, "min-max-update");
    addPlainEventOf<CSpectrum, &CSpectrum::onMinMaxFreqUpdate>(scheme, "min-max-freq-update");
    addPlainEventOf<CSpectrum, &CSpectrum::onUpdateTimer>(scheme, "update-timer");
}

CSpectrum::CSpectrum() {
    for (CCurveDraw& job : mJobs)
        job.rampIndex = 255;
}

CSpectrum::~CSpectrum() {
    mVizExchange.reset();
    mGroupSelector.reset();
    mLevelRange.reset();
    mFrequencyRange.reset();
    mColorSwatch.reset();
    mFreezeButton.reset();
    mChannelList.reset();
    mChannelNameList.reset();
    mGroupNameList.reset();
}

// --- life cycle ---

CError* CSpectrum::createParam(const CString& bridge, const CString& tag, const char* name) {
    if (bridge.isEmpty())
        return nullptr;
    CAttrMap attrs;
    attrs.findOrAdd("bridge")->value.setText(bridge);
    attrs.findOrAdd("group-selector")->value.setText(getTextAttr("group-selector-base"));
    CObject* param = nullptr;
    return traceError(createChild(param, tag, CString(name), true, &attrs, nullptr), getFullName());
}

CError* CSpectrum::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mIsResetPending = mIsFilled = mIsAntiAliased = mIsFrozen = false;
    mIsImported = getBoolAttr("is-imported");
    mIsImportFilling = true;
    mIsSecondary = getBoolAttr("is-secondary");
    mIsStatic = getBoolAttr("is-static");
    mIsStaticFilled = false;
    mIsAreaChanged = mIsDirty = true;
    mJobCount = 0;
    mCurves.clear();
    mCurves.push_back(std::make_unique<CSpectrumCurve>());
    mColorSwatch.init(this, CString(), CString(), this, CString("color-swatch"));
    mColorSwatch.isRequired = true;
    mGroupSelector.init(this, CString(), CString(), this, CString("group-selector"));
    mGroupSelector.isRequired = true;
    mGroupSelector.listenEvent(CString("group-change"), CString("group-change"));
    mVizName = getTextAttr("viz-name");
    if (mIsStatic && !mVizName.isEmpty())
        return newError("@talstr_CSpectrum_init_StaticVizName Visual object name is defined for static spectrum.",
                        getFullName());
    if (!mIsStatic && mVizName.isEmpty())
        return newError("@talstr_CSpectrum_init_NoVizName Visual object name is not defined.", getFullName());
    mExportSlot = getIntAttr("export-slot");
    mExportGroup = getIntAttr("export-group");
    if (!mIsStatic) {
        mVizExchange.init(this, CString("ui.viz-exchange"), CString(), this, CString());
        mVizExchange.isRequired = true;
        if (CVizExchange* exchange = mVizExchange.resolve())
            exchange->addListener(this, mVizName, mExportSlot, mExportGroup, -1);
        mInactiveTimeout = getDoubleAttr("inactive-timeout");
        if (CError* error = createInactiveTimer(*this, mInactiveTimeout, true, mUpdateTimer))
            return traceError(error, getFullName());
    }
    const CString paramTag("ui:ui-param");
    if (CError* error = createParam(getTextAttr("slope-bridge"), getTextAttr("ui-param-tag"), "ui-param-slope"))
        return error;
    if (CError* error = createParam(getTextAttr("smoothing-bridge"), paramTag, "ui-param-smoothing"))
        return error;
    if (CError* error = createParam(getTextAttr("offset-bridge"), paramTag, "ui-param-offset"))
        return error;
    if (CError* error = createParam(getTextAttr("align0db-bridge"), paramTag, "ui-param-align0db"))
        return error;
    return createParam(getTextAttr("antialias-bridge"), paramTag, "ui-param-antialias");
}

CColor* CSpectrum::paletteColor(const CString& name) const {
    const CView* root = rootView() != nullptr ? rootView() : this;
    CDynamicPalette* palette = root->colorTable() != nullptr ? root->colorTable()->palette() : nullptr;
    return palette != nullptr && !name.isEmpty() ? palette->getColor(name, 0.0) : nullptr;
}

CError* CSpectrum::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    CColorSwatch* swatch = mColorSwatch.resolve();
    mCurveColor = paletteColor(swatch != nullptr ? swatch->colorName(getIntAttr("color-index")) : CString());
    mFillOpacityColor = paletteColor(CString("SpectrumFillOpacity"));
    mSecondaryOpacityColor = paletteColor(CString("SpectrumSecondaryOpacity"));
    const struct {
        CTarget<CValueList>* target;
        const char* path;
        const char* handler;
    } lists[] = {{&mChannelList, ".audio-channel-list", "audio-channel-list-update"},
                 {&mChannelNameList, ".audio-channel-names", "audio-channel-names-update"},
                 {&mGroupNameList, ".audio-group-name", "audio-group-name-update"}};
    for (const auto& list : lists) {
        list.target->init(this, CString(list.path), CString(), this, CString());
        list.target->isRequired = true;
        list.target->listenEvent(CString("values-changed"), CString(list.handler));
    }
    mLevelRange.init(this, CString(), CString(), this, CString("min-max"));
    mLevelRange.isRequired = true;
    mLevelRange.listenEvent(CString("min-max-update"), CString("min-max-update"));
    mFrequencyRange.init(this, CString(), CString(), this, CString("min-max-freq"));
    mFrequencyRange.isRequired = true;
    mFrequencyRange.listenEvent(CString("min-max-update"), CString("min-max-freq-update"));
    if (CError* error = onAudioChannelListUpdate())
        return traceError(error, getFullName());
    if (CError* error = onAudioChannelNamesUpdate())
        return traceError(error, getFullName());
    if (CError* error = onAudioGroupNameUpdate())
        return traceError(error, getFullName());
    onVizReset();
    rebuildCurves();
    return nullptr;
}

CError* CSpectrum::releaseFreezeButton() {
    if (mFreezeButton.owner == nullptr)
        return nullptr;
    CObject* button = mFreezeButton.resolve();
    return button != nullptr ? button->setIntAttr(CString("is-active"), 0, true) : nullptr;
}

void CSpectrum::detachFromParent() {
    if (CError* error = releaseFreezeButton()) {
        logError(error);
        delete error;
    }
    if (mVizExchange.owner != nullptr)
        if (CVizExchange* exchange = mVizExchange.resolve())
            exchange->removeListener(this, mVizName);
    CView::detachFromParent();
}

CError* CSpectrum::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    mIsAreaChanged = true;
    return nullptr;
}

// --- state ---

void CSpectrum::markDirty() {
    mIsDirty = true;
    invalidate();
}

void CSpectrum::setChannelCount(std::int32_t n) {
    n = std::max(n, 0);
    CSpectrumCurve& c = curve();
    if (c.slotCount() == n)
        return;
    const std::int32_t old = c.slotCount();
    c.setSlotCount(n);
    mChannelTimes.resize(std::size_t(n), 0.0);
    auto empty = std::make_unique<CAudioVizDataSpectrum>();
    for (std::int32_t i = old; i < n; ++i) {
        c.setSpectrum(i, *empty);
        c.setPresent(i, false);
    }
}

void CSpectrum::setFrozen(bool isFrozen) {
    mIsFrozen = isFrozen;
    if (!isFrozen && mIsResetPending) {
        mIsResetPending = false;
        onVizReset();
    }
}

bool CSpectrum::hasSpectrumData() const {
    const CSpectrumCurve& c = curve();
    bool isAnyPresent = false;
    for (std::int32_t i = 0; i < c.slotCount(); ++i)
        isAnyPresent = isAnyPresent || c.isPresent(i);
    return isAnyPresent && c.combined() != nullptr && c.combined()->fftSize > 0;
}

// --- frames ---

void CSpectrum::onVizReset() {
    if (mIsStatic)
        return;
    if (mIsFrozen) {
        mIsResetPending = true;
        return;
    }
    std::int32_t n = curve().slotCount();
    if (mExportSlot == -1) {
        CValueList* list = mChannelList.resolve();
        n = list != nullptr ? list->itemCount() : 0;
    }
    setChannelCount(n);
    for (std::int32_t i = 0; i < curve().slotCount(); ++i)
        curve().setPresent(i, false);
    markDirty();
}

void CSpectrum::onVizData(const CString& name, const CAudioVizData& frame) {
    if (mIsStatic || mIsFrozen || !(name == mVizName))
        return;
    const auto* spectrum = dynamic_cast<const CAudioVizDataSpectrum*>(&frame);
    if (spectrum == nullptr)
        return;
    std::int32_t slot = -1;
    if (mExportSlot == -1) {
        CParamGroupSource* selector = mGroupSelector.resolve();
        CValueList* list = mChannelList.resolve();
        if (selector == nullptr || list == nullptr || frame.group != selector->getCurrentGroup())
            return;
        setChannelCount(list->itemCount());
        const char label[2] = {char(49 + frame.channel), 0};
        for (std::int32_t i = 0; i < list->itemCount() && slot < 0; ++i)
            if (frame.channel >= 0 && frame.channel < 200 && list->itemText(i) == CString(label))
                slot = i;
    } else {
        if (frame.exportSlot != mExportSlot || frame.channel < 0 || frame.channel >= kMaxImportedChannels)
            return;
        if (frame.channel >= curve().slotCount())
            setChannelCount(frame.channel + 1);
        slot = frame.channel;
    }
    if (slot < 0 || slot >= curve().slotCount())
        return;
    mChannelTimes[std::size_t(slot)] = getTime();
    curve().setSpectrum(slot, *spectrum);
    markDirty();
}

CError* CSpectrum::onUpdateTimer() {
    CVizExchange* exchange = mVizExchange.owner != nullptr ? mVizExchange.resolve() : nullptr;
    if (mIsStatic || mIsFrozen || mInactiveTimeout < 0.01 || exchange == nullptr || !exchange->isActive())
        return nullptr;
    const double now = getTime();
    bool isCleared = false, isAnyLeft = false;
    for (std::int32_t i = 0; i < curve().slotCount(); ++i) {
        if (!curve().isPresent(i))
            continue;
        if (mChannelTimes[std::size_t(i)] < now - mInactiveTimeout) {
            curve().setPresent(i, false);
            isCleared = true;
        } else {
            isAnyLeft = true;
        }
    }
    if (isCleared) {
        if (isAnyLeft)
            markDirty();
        else
            onVizReset();
    }
    return nullptr;
}

CError* CSpectrum::loadStaticData(CUIParam* param, std::int32_t index) {
    setChannelCount(1);
    const CByteBuffer* item = param != nullptr ? param->getDataItem(index, 0) : nullptr;
    if (item == nullptr || item->isEmpty()) {
        curve().setPresent(0, false);
    } else {
        CSpectrumData data;
        if (CError* error = data.loadFromBuffer(*item))
            return traceError(error, getFullName());
        auto spectrum = std::make_unique<CAudioVizDataSpectrum>();
        data.getSpectrum(*spectrum, mGroupName, mChannelNames);
        curve().setSpectrum(0, *spectrum);
        mChannelTimes[0] = getTime();
    }
    markDirty();
    return nullptr;
}

CError* CSpectrum::storeToDataParam(CUIParam* param, std::int32_t element) {
    CByteBuffer record;
    if (param != nullptr && CSpectrumFiles::recordFromCurve(curve(), mGroupName, mChannelNames, record))
        param->setDataItem(element, 0, record);
    return nullptr;
}

CError* CSpectrum::writeDataFile(const CString& path) {
    const CAudioVizDataSpectrum* spectrum = curve().spectrum(0);
    if (spectrum == nullptr)
        return newError("@talstr_CSpectrum_writeDataFile_NoSpectrum No spectrum to write.", getFullName());
    return traceError(CSpectrumFiles::writeDataFile(path, *spectrum, mGroupName, mChannelNames), getFullName());
}

// --- handlers ---

CError* CSpectrum::onAudioChannelListUpdate() {
    onVizReset();
    return nullptr;
}

CError* CSpectrum::onAudioChannelNamesUpdate() {
    if (mIsStatic)
        return nullptr;
    mChannelNames = CString();
    if (CValueList* list = mChannelNameList.resolve())
        for (int i = 0; i < list->itemCount(); ++i) {
            if (i > 0)
                mChannelNames.append("+");
            mChannelNames.append(list->itemText(i));
        }
    return nullptr;
}

CError* CSpectrum::onAudioGroupNameUpdate() {
    if (mIsStatic)
        return nullptr;
    CValueList* list = mGroupNameList.resolve();
    if (list != nullptr && list->itemCount() > 0)
        mGroupName = list->itemText(0);
    return nullptr;
}

CError* CSpectrum::onFreeze(CAttrMap& args) {
    CAttrValue* source = args.findValue("source");
    const CString path = source != nullptr ? source->asText() : CString();
    CObject* button = nullptr;
    if (CError* error = findObjectChecked(button, path))
        return traceError(error, getFullName());
    // The button is kept by path: it may be released while the spectrum lives on.
    mFreezeButton.init(this, button->getFullName(), CString(), this, CString());
    CAttrValue* state = args.findValue("state");
    bool isValid = false;
    const bool isRunning = state != nullptr && parseBool(state->asText(), false, &isValid) && isValid;
    setFrozen(!isRunning);
    return nullptr;
}

CError* CSpectrum::onGroupChange() {
    if (CError* error = releaseFreezeButton())
        return traceError(error, getFullName());
    mIsFrozen = false;
    onVizReset();
    return nullptr;
}

CError* CSpectrum::onMinMaxUpdate() {
    markDirty();
    return nullptr;
}

CError* CSpectrum::onMinMaxFreqUpdate() {
    markDirty();
    return nullptr;
}

CError* CSpectrum::attrColorIndex() {
    CColorSwatch* swatch = mColorSwatch.owner != nullptr ? mColorSwatch.resolve() : nullptr;
    if (swatch != nullptr)
        mCurveColor = paletteColor(swatch->colorName(getIntAttr("color-index")));
    invalidate();
    return nullptr;
}

CError* CSpectrum::attrIsFilled() {
    if (mIsImported && mIsImportFilling) {
        mIsFilled = getBoolAttr("is-filled");
        invalidate();
    }
    return nullptr;
}

CError* CSpectrum::attrIsImportSpectrumFilling() {
    const bool before = mIsFilled, beforeFilling = mIsImportFilling;
    mIsImportFilling = getBoolAttr("is-import-spectrum-filling");
    if (mIsImported) {
        if (mIsImportFilling)
            mIsFilled = getBoolAttr("is-filled");
        else if (mFilledParam != nullptr)
            mIsFilled = plainOf(mFilledParam) >= 0.5;
    }
    if (before != mIsFilled || beforeFilling != mIsImportFilling)
        invalidate();
    return nullptr;
}

CError* CSpectrum::attrGainShift() {
    curve().gainShift = getDoubleAttr("gain-shift");
    markDirty();
    return nullptr;
}

// --- UI parameters ---

void CSpectrum::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    const struct {
        const char* name;
        CUIParam** slot;
    } slots[] = {{"ui-param-filled-display", &mFilledParam},  {"ui-param-static-filled-display", &mStaticFilledParam},
                 {"ui-param-slope", &mSlopeParam},             {"ui-param-smoothing", &mSmoothingParam},
                 {"ui-param-offset", &mOffsetParam},           {"ui-param-align0db", &mAlign0dbParam},
                 {"ui-param-antialias", &mAntialiasParam}};
    for (const auto& s : slots)
        if (name == CString(s.name))
            *s.slot = param;
}

CError* CSpectrum::onUIParamChanged(CUIParam* param, std::int32_t, std::int32_t) {
    const double v = plainOf(param);
    const bool isOn = v >= 0.5;
    CSpectrumCurve& c = curve();
    bool isChanged = false, isRecomputed = false;
    if (param == mFilledParam) {
        if (!(mIsImported && mIsImportFilling) && mIsFilled != isOn) {
            mIsFilled = isOn;
            isChanged = true;
        }
    } else if (param == mStaticFilledParam) {
        if (mIsStatic && mIsStaticFilled != isOn) {
            mIsStaticFilled = isOn;
            isChanged = true;
        }
    } else if (param == mSlopeParam) {
        if (!isSameReal(c.slope, v)) {
            c.slope = v;
            isChanged = isRecomputed = true;
        }
    } else if (param == mSmoothingParam) {
        if (roundOf(v) != c.smoothingIndex) {
            c.smoothingIndex = roundOf(v);
            isChanged = isRecomputed = true;
        }
    } else if (param == mOffsetParam) {
        if (roundOf(v) != c.offsetMode) {
            c.offsetMode = roundOf(v);
            isChanged = isRecomputed = true;
        }
    } else if (param == mAlign0dbParam) {
        if (c.isAlign0db != isOn) {
            c.isAlign0db = isOn;
            isChanged = isRecomputed = true;
        }
    } else if (param == mAntialiasParam) {
        if (mIsAntiAliased != isOn) {
            mIsAntiAliased = isOn;
            isChanged = true;
        }
    }
    if (isRecomputed)
        mIsDirty = true;
    if (isChanged)
        invalidate();
    return nullptr;
}

// --- drawing ---

void CSpectrum::updateCurveGeometry(CSpectrumCurve& c) {
    const CAreaRect total = area() != nullptr ? area()->totalRect() : CAreaRect();
    const CAreaRect clip = area() != nullptr ? area()->clipRect() : CAreaRect();
    CMinMax* frequencies = mFrequencyRange.resolve();
    if (total.width < 1.0 || frequencies == nullptr) {
        c.freqLow = c.freqHigh = 0.0;
        c.width = 0;
    } else {
        const double x0 = (clip.x - total.x) / total.width;
        const double x1 = x0 + clip.width / total.width;
        auto valueAt = [frequencies](double p) {
            if (frequencies->isLog() && !(frequencies->min() > 0.0 && frequencies->max() > 0.0))
                return frequencies->min();
            return frequencies->fromNormalClamped(p);
        };
        c.freqLow = valueAt(x0);
        c.freqHigh = valueAt(x1);
        c.width = roundOf(clip.width);
    }
    if (CMinMax* levels = mLevelRange.resolve()) {
        c.levelLow = levels->min();
        c.levelHigh = levels->max();
    }
    c.left = clip.x;
    c.top = total.y;
    c.bottom = total.y - 1.0 + total.height;
}

void CSpectrum::rebuildCurves() {
    for (auto& c : mCurves) {
        updateCurveGeometry(*c);
        c->buildPoints();
    }
}

bool CSpectrum::prepareDraw() {
    if (mIsAreaChanged) {
        mIsAreaChanged = false;
        const CAreaRect total = area() != nullptr ? area()->totalRect() : CAreaRect();
        if (total.width >= 1e-5 && total.height >= 1e-5)
            markDirty();
    }
    if (mIsDirty) {
        mIsDirty = false;
        rebuildCurves();
    }
    const auto& points = curve().points();
    const std::int32_t n = std::int32_t(points.size());
    if (n < 2 || mCurveColor == nullptr) {
        mJobCount = 0;
        return false;
    }
    mPointPairs.resize(std::size_t(2 * n));
    for (std::int32_t i = 0; i < n; ++i) {
        mPointPairs[std::size_t(2 * i)] = points[std::size_t(i)].x;
        mPointPairs[std::size_t(2 * i + 1)] = points[std::size_t(i)].y;
    }
    const double scale = area() != nullptr ? area()->windowScale() : 1.0;
    const CBrush* brush = mIsAntiAliased ? CBrushCache::getBrush(1.5 * scale) : nullptr;
    const double k = mIsSecondary && mSecondaryOpacityColor != nullptr ? mSecondaryOpacityColor->opacity() : 1.0;
    const bool isFilled = mIsStatic ? mIsStaticFilled : mIsFilled;
    const CAreaRect total = area() != nullptr ? area()->totalRect() : CAreaRect();
    std::int32_t job = 0;
    if (isFilled) {
        CCurveDraw& fill = mJobs[job];
        fill = CCurveDraw();
        fill.points = mPointPairs.data();
        fill.count = n;
        fill.color = mCurveColor;
        fill.opacity = (mFillOpacityColor != nullptr ? mFillOpacityColor->opacity() : 1.0) * k;
        fill.edgeFade = brush != nullptr;
        fill.edgeFactor = 1.35;
        fill.peakFactor = 0.85;
        fill.peakPosition = 1.0;
        fill.areaTop = total.y;
        fill.areaHeight = total.height;
        fill.alphaTableMode = true;
        mIsJobLine[job] = false;
        mIsJobAntiAliased[job] = false;
        ++job;
    }
    CCurveDraw& line = mJobs[job];
    line = CCurveDraw();
    line.points = mPointPairs.data();
    line.count = n;
    line.color = mCurveColor;
    line.opacity = k;
    line.brush = brush;
    mIsJobLine[job] = true;
    mIsJobAntiAliased[job] = brush != nullptr;
    mJobCount = job + 1;
    return true;
}

void CSpectrum::paint(CSector& sector) {
    CPixelRect clip;
    if (drawItemCount() < 2 || !drawItem(1)->intersectContext(sector, clip))
        return;
    const std::int32_t originX = -sector.windowRect.x, originY = -sector.windowRect.y;
    for (std::int32_t j = 0; j < mJobCount; ++j) {
        if (!mIsJobLine[j])
            sector.target->fillColumnArea(mJobs[j], originX, originY, clip);
        else if (mIsJobAntiAliased[j])
            sector.target->drawColumnCurveAA(mJobs[j], originX, originY, clip);
        else
            sector.target->drawColumnCurve(mJobs[j], originX, originY, clip);
    }
}

} // namespace tal
