#include "UI/CSpectrumContainer.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Core/CAttrMap.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/NumberText.h"
#include "Other/CColorSwatch.h"
#include "UI/CSectorMap.h"
#include "UI/CSpectrum.h"
#include "UI/CSpectrumData.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CVizExchange.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

std::int32_t roundOf(double v) noexcept { return std::int32_t(std::round(v)); }

double plainAt(CUIParam* param, std::int32_t element, std::int32_t group = -1) {
    CUIParamValue value;
    param->getPlainValue(value, element, group);
    return value[0];
}

// The level (dB) of reference curve m at frequency f.
double referenceLevel(std::int32_t m, double f) {
    const double f2 = f * f;
    switch (m) {
    case 0:
    case 1:
    case 2:
    case 3: {
        static const double kPerOctave[] = {0.0, -3.0, -6.0, -4.5};
        return kPerOctave[m] / std::log(2.0) * std::log(f / 1000.0) - 45.0;
    }
    case 4:
        return 20.0 * std::log10(12200.0 * 12200.0 * f2 * f2 /
                                 ((f2 + 20.6 * 20.6) * (f2 + 12200.0 * 12200.0) *
                                  std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)))) -
               43.0;
    case 5:
        return 20.0 * std::log10(12200.0 * 12200.0 * f2 * f /
                                 ((f2 + 20.6 * 20.6) * (f2 + 12200.0 * 12200.0) * std::sqrt(f2 + 158.5 * 158.5))) -
               44.83;
    case 6:
        return 20.0 * std::log10(12200.0 * 12200.0 * f2 / ((f2 + 20.6 * 20.6) * (f2 + 12200.0 * 12200.0))) - 44.94;
    default:
        return -4.5 / std::log(2.0) * std::log(f / 1000.0) +
               20.0 * std::log10(11500.0 * 11500.0 * f2 / ((f2 + 11500.0 * 11500.0) * (f2 + 40.0 * 40.0))) - 44.94;
    }
}

} // namespace

CObject* CSpectrumContainer::create() { return new CSpectrumContainer(); }

void CSpectrumContainer::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addArgsEventOf<CSpectrumContainer, &CSpectrumContainer::onFreeze>(scheme, "freeze");
    addPlainEventOf<CSpectrumContainer, &CSpectrumContainer::onSpecImportListReady>(scheme, "specimport-list-ready");
    addPlainEventOf<CSpectrumContainer, &CSpectrumContainer::onSpecStaticListReady>(scheme, "specstatic-list-ready");
    addPlainEventOf<CSpectrumContainer, &CSpectrumContainer::onUpdateSlotNames>(scheme, "update-slot-names");
}

CSpectrumContainer::CSpectrumContainer() = default;

CSpectrumContainer::~CSpectrumContainer() {
    mColorSwatch.reset();
    mImportListView.reset();
    mStaticListView.reset();
    mVizExchange.reset();
}

void CSpectrumContainer::setSlotCount(std::vector<std::unique_ptr<CSpectrumSlot>>& slots, std::int32_t n) {
    n = std::max(n, 0);
    while (std::int32_t(slots.size()) < n)
        slots.push_back(std::make_unique<CSpectrumSlot>());
    slots.resize(std::size_t(n));
}

// --- life cycle ---

CError* CSpectrumContainer::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mColorSwatch.init(this, CString(), CString(), this, CString("color-swatch"));
    mColorSwatch.isRequired = true;
    mImportSlotCountAttr = getIntAttr("import-slot-count");
    if (mImportSlotCountAttr >= 0)
        setSlotCount(mImportSlots, mImportSlotCountAttr);
    mIsUseUnderlay = getBoolAttr("use-underlay");
    mVizExchange.init(this, CString("ui.viz-exchange"), CString(), this, CString());
    mVizExchange.isRequired = true;
    mVizExchange.listenEvent(CString("export-slot-names-changed"), CString("update-slot-names"));
    mLiveSlot.isEnabled = true;
    mLiveSlot.secondaryVizName = getTextAttr("viz-name-extra");
    const CString extraSelector = getTextAttr("group-selector-extra");
    if (!extraSelector.isEmpty()) {
        mUnderlaySlot.groupSelector = extraSelector;
        mUnderlaySlot.isEnabled = true;
        mUnderlaySlot.secondaryVizName = mLiveSlot.secondaryVizName;
    }
    setSlotCount(mStaticSlots, getIntAttr("static-spectrum-count-max"));
    for (auto& slot : mStaticSlots)
        slot->isStatic = true;
    const struct {
        CTarget<CObject>* target;
        const char* attr;
        CString path;
        const char* handler;
    } lists[] = {{&mImportListView, "export-specimport-list", getTextAttr("export-specimport-list"),
                  "specimport-list-ready"},
                 {&mStaticListView, "export-specstatic-list", getTextAttr("export-specstatic-list"),
                  "specstatic-list-ready"}};
    for (const auto& list : lists) {
        list.target->init(this, CString(), CString(), this, CString(list.attr));
        const CString& path = list.path;
        if (!path.isEmpty() && list.target->resolve() == nullptr)
            listenObject(resolvePath(path), CString("view-ready"), CString(list.handler));
    }
    return nullptr;
}

CError* CSpectrumContainer::initChilds() { return traceError(updateAllChildren(), getFullName()); }

// --- children ---

CError* CSpectrumContainer::updateAllChildren() {
    if (CError* error = updateSlotChildren(mUnderlaySlot))
        return traceError(error, getFullName());
    if (CError* error = updateSlotChildren(mLiveSlot))
        return traceError(error, getFullName());
    for (auto& slot : mImportSlots)
        if (CError* error = updateSlotChildren(*slot))
            return traceError(error, getFullName());
    return nullptr;
}

void CSpectrumContainer::releaseChildren(CSpectrumSlot& slot) {
    for (CSpectrum** child : {&slot.primary, &slot.secondary})
        if (*child != nullptr) {
            (*child)->releaseBridged();
            *child = nullptr;
        }
}

CError* CSpectrumContainer::applySlot(CSpectrum* child, const CSpectrumSlot& slot) {
    if (CError* error = child->setIntAttr(CString("is-hidden"), slot.isVisible ? 0 : 1, true))
        return traceError(error);
    if (CError* error = child->setIntAttr(CString("color-index"), slot.colorIndex, true))
        return traceError(error);
    if (CError* error = child->setIntAttr(CString("is-filled"), slot.isFilled ? 1 : 0, true))
        return traceError(error);
    if (CError* error = child->setIntAttr(CString("is-imported"), slot.isImported ? 1 : 0, true))
        return traceError(error);
    return traceError(child->setDoubleAttr(CString("gain-shift"), slot.gainShift, true));
}

CError* CSpectrumContainer::createSpectrum(CSpectrumSlot& slot, const CString& secondaryVizName, bool isStatic,
                                           CSpectrum*& out) {
    CAttrMap attrs;
    attrs.findOrAdd("is-hidden")->value.setInt(slot.isVisible ? 0 : 1);
    attrs.findOrAdd("color-index")->value.setInt(slot.colorIndex);
    attrs.findOrAdd("is-filled")->value.setInt(slot.isFilled ? 1 : 0);
    attrs.findOrAdd("is-imported")->value.setInt(slot.isImported ? 1 : 0);
    attrs.findOrAdd("export-slot")->value.setInt(slot.exportSlot);
    attrs.findOrAdd("export-group")->value.setInt(-1);
    attrs.findOrAdd("gain-shift")->value.setReal(slot.gainShift);
    attrs.findOrAdd("z-index")->value.setText(CString(slot.exportSlot < 0 ? "100 ^" : "1 ^"));
    if (!slot.groupSelector.isEmpty())
        attrs.findOrAdd("group-selector")->value.setText(slot.groupSelector);
    if (!secondaryVizName.isEmpty()) {
        attrs.findOrAdd("is-secondary")->value.setInt(1);
        attrs.findOrAdd("viz-name")->value.setText(secondaryVizName);
    }
    if (isStatic) {
        attrs.findOrAdd("is-static")->value.setInt(1);
        attrs.findOrAdd("viz-name")->value.setText(CString());
    }
    out = nullptr;
    return traceError(createChild(out, getTextAttr("spectrum-tag"), CString("spectrum"), true, &attrs, nullptr),
                      getFullName());
}

CError* CSpectrumContainer::updateSlotChildren(CSpectrumSlot& slot) {
    if (!slot.isEnabled || slot.madeFor != slot.exportSlot) {
        releaseChildren(slot);
        if (!slot.isEnabled)
            return nullptr;
    }
    if (slot.primary != nullptr) {
        for (CSpectrum* child : {slot.primary, slot.secondary})
            if (child != nullptr)
                if (CError* error = applySlot(child, slot))
                    return traceError(error, getFullName());
        return nullptr;
    }
    CSpectrum* primary = nullptr;
    if (CError* error = createSpectrum(slot, CString(), slot.isStatic, primary))
        return error;
    slot.primary = primary;
    if (!slot.secondaryVizName.isEmpty() && !slot.isStatic) {
        CSpectrum* secondary = nullptr;
        if (CError* error = createSpectrum(slot, slot.secondaryVizName, false, secondary))
            return error;
        slot.secondary = secondary;
    }
    slot.madeFor = slot.exportSlot;
    return nullptr;
}

// --- parameters ---

void CSpectrumContainer::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    const struct {
        const char* name;
        CUIParam** slot;
    } slots[] = {{"ui-param-import-color", &mImportColorParam},   {"ui-param-import-slots", &mImportSlotsParam},
                 {"ui-param-static-color", &mStaticColorParam},   {"ui-param-static-data", &mStaticDataParam},
                 {"ui-param-static-enable", &mStaticEnableParam}, {"ui-param-static-name", &mStaticNameParam},
                 {"ui-param-static-shift", &mStaticShiftParam},   {"ui-param-spec-underlay-group", &mUnderlayGroupParam}};
    for (const auto& s : slots)
        if (name == CString(s.name))
            *s.slot = param;
}

CError* CSpectrumContainer::onUIParamChanged(CUIParam* param, std::int32_t, std::int32_t) {
    return traceError(updateParamState(param), getFullName());
}

CError* CSpectrumContainer::updateParamState(CUIParam* param) {
    if (param == nullptr)
        return nullptr;
    if (param == mImportColorParam) {
        const std::int32_t n = param->getElementCount(-1);
        if (n > 0)
            mLiveSlot.colorIndex = roundOf(plainAt(param, 0));
        if (n > 1) {
            if (!mIsUseUnderlay) {
                mUnderlaySlot.colorIndex = roundOf(plainAt(param, 1));
            } else {
                if (mUnderlayGroupParam == nullptr)
                    return newError("@talstr_CSpectrumContainer_NoUnderlayGroup Unable to find underlay group UI "
                                    "parameter.",
                                    getFullName());
                const std::int32_t g = roundOf(plainAt(mUnderlayGroupParam, 0));
                mUnderlaySlot.colorIndex = g < 1 ? 0 : roundOf(plainAt(param, 0, g - 1));
            }
        }
        if (CError* error = updateImportList())
            return traceError(error, getFullName());
        return traceError(updateAllChildren(), getFullName());
    }
    if (param == mImportSlotsParam) {
        const std::int32_t n = std::max(importSlotCount(), param->getElementCount(-1));
        for (auto& slot : mImportSlots) {
            slot->isEnabled = false;
            slot->secondaryVizName = mLiveSlot.secondaryVizName;
        }
        CVizExchange* exchange = mVizExchange.resolve();
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t v = roundOf(plainAt(param, i));
            if (i >= importSlotCount()) {
                setSlotCount(mImportSlots, i + 1);
                mImportSlots.back()->secondaryVizName = mLiveSlot.secondaryVizName;
            }
            CSpectrumSlot& slot = *mImportSlots[std::size_t(i)];
            slot.exportSlot = v - 1;
            slot.isEnabled = v > 0;
            slot.isImported = true;
            if (exchange != nullptr) {
                CString name;
                std::int32_t option1 = -1, option2 = -1;
                exchange->getExportSlotName(v - 1, name, &option1, &option2);
                if (option1 >= 0)
                    slot.colorIndex = option1;
                if (option2 >= 0)
                    slot.isFilled = option2 != 0;
            }
        }
        return traceError(updateParamState(mImportColorParam), getFullName());
    }
    if (param == mUnderlayGroupParam)
        return traceError(updateParamState(mImportColorParam), getFullName());
    if (param == mStaticColorParam || param == mStaticDataParam || param == mStaticEnableParam ||
        param == mStaticNameParam || param == mStaticShiftParam)
        return traceError(updateStaticSpectra(), getFullName());
    return nullptr;
}

CString CSpectrumContainer::colorNameOf(std::int32_t index) {
    CColorSwatch* swatch = mColorSwatch.resolve();
    return swatch != nullptr ? swatch->colorName(index) : CString();
}

CError* CSpectrumContainer::updateImportList() {
    CObject* list = mImportListView.resolve();
    if (list == nullptr || mImportSlotsParam == nullptr || mImportColorParam == nullptr)
        return nullptr;
    for (int i = 0; i < list->childCount(); ++i) {
        CObject* label = list->child(i);
        if (CError* error = label->setIntAttr(CString("is-hidden"), 1, true))
            return traceError(error, getFullName());
        label->releaseBridged();
    }
    CVizExchange* exchange = mVizExchange.resolve();
    for (auto& slot : mImportSlots) {
        if (!slot->isEnabled || !slot->isVisible)
            continue;
        CString name;
        std::int32_t option1 = -1, option2 = -1;
        if (exchange != nullptr)
            exchange->getExportSlotName(slot->exportSlot, name, &option1, &option2);
        CAttrMap attrs;
        attrs.findOrAdd("title")->value.setText(name);
        attrs.findOrAdd("color")->value.setText(colorNameOf(option1));
        attrs.findOrAdd("is-filled")->value.setInt(option2 != 0 && option2 != -1 ? 1 : 0);
        CObject* label = nullptr;
        if (CError* error =
                list->createChild(label, getTextAttr("export-label-tag"), CString("label"), true, nullptr, &attrs))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CSpectrumContainer::updateStaticSpectra() {
    if (mStaticColorParam == nullptr || mStaticDataParam == nullptr || mStaticEnableParam == nullptr ||
        mStaticNameParam == nullptr || mStaticShiftParam == nullptr)
        return nullptr;
    CObject* list = mStaticListView.resolve();
    std::vector<CString> names, colors;
    for (std::int32_t i = 0; i < staticSlotCount(); ++i) {
        CSpectrumSlot& slot = *mStaticSlots[std::size_t(i)];
        slot.isEnabled = true;
        slot.isVisible = plainAt(mStaticEnableParam, i) >= 0.5;
        slot.colorIndex = roundOf(plainAt(mStaticColorParam, i));
        CString shift;
        mStaticShiftParam->getValueText(i, shift, 0, -1, 0);
        bool isNumber = false;
        const double db = parseDouble(shift, &isNumber);
        slot.gainShift = isNumber ? db : 0.0;
        if (CError* error = updateSlotChildren(slot))
            return traceError(error, getFullName());
        if (slot.primary == nullptr)
            continue;
        if (CError* error = slot.primary->loadStaticData(mStaticDataParam, i))
            return traceError(error, getFullName());
        if (list != nullptr && slot.isVisible && slot.primary->hasSpectrumData()) {
            CString name;
            mStaticNameParam->getValueText(i, name, 0, -1, 0);
            names.push_back(name);
            colors.push_back(colorNameOf(slot.primary->getIntAttr("color-index")));
        }
    }
    if (list == nullptr)
        return nullptr;
    while (list->childCount() > int(names.size()))
        list->child(0)->release();
    while (list->childCount() < int(names.size())) {
        CObject* label = nullptr;
        if (CError* error =
                list->createChild(label, getTextAttr("export-label-tag"), CString("label"), true, nullptr, nullptr))
            return traceError(error, getFullName());
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        CObject* label = list->child(int(i));
        if (CError* error = label->setAttr(CString("title"), names[i], true))
            return traceError(error, getFullName());
        if (CError* error = label->setAttr(CString("color"), colors[i], true))
            return traceError(error, getFullName());
    }
    return nullptr;
}

// --- events ---

CError* CSpectrumContainer::onFreeze(CAttrMap& args) {
    std::vector<CSpectrumSlot*> slots = {&mLiveSlot, &mUnderlaySlot};
    for (auto& slot : mImportSlots)
        slots.push_back(slot.get());
    for (CSpectrumSlot* slot : slots)
        for (CSpectrum* child : {slot->primary, slot->secondary})
            if (child != nullptr)
                if (CError* error = child->runEvent(CString("freeze"), &args))
                    return traceError(error, getFullName());
    return nullptr;
}

CError* CSpectrumContainer::onSpecImportListReady() { return traceError(updateImportList(), getFullName()); }

CError* CSpectrumContainer::onSpecStaticListReady() { return traceError(updateStaticSpectra(), getFullName()); }

CError* CSpectrumContainer::onUpdateSlotNames() { return traceError(updateParamState(mImportSlotsParam), getFullName()); }

// --- operations nothing in the description calls ---

void CSpectrumContainer::clearLiveSpectra() {
    for (CSpectrumSlot* slot : {&mLiveSlot, &mUnderlaySlot})
        if (slot->isEnabled)
            for (CSpectrum* child : {slot->primary, slot->secondary})
                if (child != nullptr)
                    child->onVizReset();
}

CSpectrum* CSpectrumContainer::getStaticSpectrum(std::int32_t i) const {
    return i >= 0 && i < std::int32_t(mStaticSlots.size()) ? mStaticSlots[std::size_t(i)]->primary : nullptr;
}

bool CSpectrumContainer::hasLiveSpectrumData(std::int32_t k) const {
    const CSpectrum* child = k == 0 ? mLiveSlot.primary : k == 1 ? mLiveSlot.secondary : nullptr;
    return child != nullptr && child->hasSpectrumData();
}

CError* CSpectrumContainer::captureLiveSpectrum(std::int32_t s, std::int32_t k) {
    CSpectrum* child = k == 0 ? mLiveSlot.primary : k == 1 ? mLiveSlot.secondary : nullptr;
    if (child == nullptr || mStaticDataParam == nullptr)
        return nullptr;
    if (CError* error = child->storeToDataParam(mStaticDataParam, s))
        return traceError(error, getFullName());
    if (mStaticEnableParam != nullptr) {
        CUIParamValue on;
        on[0] = 1.0;
        mStaticEnableParam->setPlainValue(s, -1, on);
    }
    return nullptr;
}

CError* CSpectrumContainer::generateReferenceSpectrum(std::int32_t s, std::int32_t m) {
    if (mStaticDataParam == nullptr || m < 0 || m >= kReferenceCurveCount)
        return nullptr;
    auto spectrum = std::make_unique<CAudioVizDataSpectrum>();
    spectrum->sampleRate = 44100.0;
    spectrum->fftSize = 4096;
    spectrum->averagingType = 2;
    spectrum->averagingTime = 60.0;
    spectrum->window = 0;
    spectrum->values.resize(2049);
    for (std::int32_t k = 1; k <= 2048; ++k)
        spectrum->values[k] = referenceLevel(m, k * 44100.0 / 4096.0);
    spectrum->values[0] = spectrum->values[1];
    CSpectrumData data;
    data.setFromSpectrum(*spectrum, CString("1"), CString("C"), false);
    CByteBuffer record;
    if (CError* error = data.saveToBuffer(record))
        return traceError(error, getFullName());
    mStaticDataParam->setDataItem(s, 0, record);
    if (mStaticEnableParam != nullptr) {
        CUIParamValue on;
        on[0] = 1.0;
        mStaticEnableParam->setPlainValue(s, -1, on);
    }
    return nullptr;
}

} // namespace tal
