#include "UI/CUIParam.h"

#include "Audio/CAudioParamInfo.h"
#include "Core/CAttrMap.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CSharedAttribute.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSource.h"
#include "UI/CUIParamUpdateHandler.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

template <CError* (CUIParam::*Operation)()>
CError* attrThunk(CObject* object, CAttrValue*) {
    return traceError((static_cast<CUIParam*>(object)->*Operation)(), object->getFullName());
}

template <CError* (CUIParam::*Operation)(CAttrMap&)>
CError* eventThunk(CObject* object, CAttrMap* args) {
    return traceError((static_cast<CUIParam*>(object)->*Operation)(*args), object->getFullName());
}

template <CError* (CUIParam::*Operation)(CAttrMap&)>
void addEvent(CObjectScheme* scheme, const char* name) {
    CEventHandler& handler = scheme->addEventHandler(CString(name));
    handler.withArgs = &eventThunk<Operation>;
    handler.hasArgs = true;
}

void logAndDrop(CError* error) { reportError(&error); }

// The real value of an attribute, or fallback when the object does not carry it.
double doubleAttrOr(CObject& object, const char* name, double fallback) {
    CAttrValue* value = object.attrs().findValue(name);
    return value != nullptr ? value->asReal() : fallback;
}

// The normalised position of x in min..max, clamped; 0 for an empty range.
double normalizeIn(double x, double min, double max) {
    const double span = max - min;
    return span == 0.0 ? 0.0 : std::clamp((x - min) / span, 0.0, 1.0);
}

} // namespace

CObject* CUIParam::create() { return new CUIParam(); }

void CUIParam::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("bridge")) = &attrThunk<&CUIParam::onBridgeChanged>;
    scheme->addAttrHandler(CString("element")) = &attrThunk<&CUIParam::onElementChanged>;
    scheme->addAttrHandler(CString("shared-attribute-value")) = &attrThunk<&CUIParam::onSharedAttributeValueChanged>;
    addEvent<&CUIParam::onGroupChange>(scheme, "group-change");
    addEvent<&CUIParam::onParamChange>(scheme, "param-change");
}

CUIParam::~CUIParam() = default;

// --- life cycle ---

CError* CUIParam::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mIsUpdateOnAnyGroup = getBoolAttr("is-update-on-any-group");
    mIsSimple = getBoolAttr("is-simple-attr");
    mSimpleMin = mIsSimple ? doubleAttrOr(*this, "simple-min-value", 0.0) : 0.0;
    mSimpleMax = mIsSimple ? doubleAttrOr(*this, "simple-max-value", 1.0) : 1.0;
    mHandler = dynamic_cast<CUIParamUpdateHandler*>(parent());
    if (mHandler == nullptr)
        return newError("@talstr_CUIParam_init_NoHandler Parent object does not support ui-param.", getFullName());

    const CString& sharedPath = getTextAttr("shared-attribute");
    if (!sharedPath.isEmpty()) {
        mSharedAttribute = dynamic_cast<CSharedAttribute*>(findObject(sharedPath));
        if (mSharedAttribute == nullptr)
            return newError("@talstr_CUIParam_init_BadSharedAttribute Invalid parameter shared attribute '%1'.",
                            getFullName(), sharedPath);
        mIsActive = true;
    } else {
        if (CError* error = findObjectByAttr(mBridge, CString("bridge"), false))
            return traceError(error, getFullName());
        mElement = getIntAttr("element");
        mIsActive = mBridge != nullptr;

        const CString& selectorText = getTextAttr("group-selector");
        bool isNumber = false;
        const int number = parseInt(selectorText, 0, &isNumber);
        if (isNumber) {
            mGroup = number;
        } else {
            CObject* selector = nullptr;
            if (CError* error = findObjectByAttr(selector, CString("group-selector"), false))
                return traceError(error, getFullName());
            if (selector != nullptr) {
                mGroupSelector = dynamic_cast<CParamGroupSource*>(selector);
                if (mGroupSelector == nullptr)
                    return newError("@talstr_CUIParam_init_BadGroupSelector Invalid group selector '%1'.",
                                    getFullName(), selectorText);
                mGroup = mGroupSelector->getCurrentGroup();
                listenObject(selector->getFullName(), CString("group-change"), CString("group-change"));
            } else {
                mGroup = 0;
            }
        }
    }

    if (CError* error = mHandler->registerUIParam(this))
        return traceError(error, getFullName());
    if (isBridged()) {
        mIsActive = bridgeUsable();
        CError* error = mIsActive ? mHandler->notifyUIParamActivated(this) : mHandler->notifyUIParamDeactivated(this);
        if (error != nullptr)
            return traceError(error, getFullName());
    } else if (mSharedAttribute != nullptr) {
        if (CError* error = mHandler->notifyUIParamActivated(this))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CUIParam::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    if (isBridged())
        listenObject(mBridge->getFullName(), CString("param-change"), CString("param-change"));
    if (CError* error = mHandler->handleUIParam(this, 0, 0))
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("ui-param-ready"), false), getFullName());
}

// --- activity ---

bool CUIParam::bridgeUsable() const {
    // A value record holds four components: a parameter with more stays inactive.
    return mBridge != nullptr && mBridge->hasInfo() && mBridge->elementSize() <= CUIParamValue::kComponents;
}

void CUIParam::setActive(bool active) {
    if (active == mIsActive || mHandler == nullptr)
        return;
    mIsActive = active;
    logAndDrop(active ? mHandler->notifyUIParamActivated(this) : mHandler->notifyUIParamDeactivated(this));
}

bool CUIParam::updateActive() {
    setActive(mSharedAttribute != nullptr || mIsSimple || (mElement >= 0 && bridgeUsable()));
    return mIsActive;
}

// --- handlers ---

CError* CUIParam::onBridgeChanged() {
    if (lifeStage() < 3)
        return nullptr;  // init resolves the first binding
    if (mBridge != nullptr)
        unlistenObject(mBridge->getFullName(), CString("param-change"));
    mBridge = nullptr;
    if (CError* error = findObjectByAttr(mBridge, CString("bridge"), false))
        return traceError(error, getFullName());
    mIsActive = bridgeUsable();
    CError* error = mIsActive ? mHandler->notifyUIParamActivated(this) : mHandler->notifyUIParamDeactivated(this);
    if (error == nullptr)
        error = mHandler->handleUIParam(this, 0, 0);
    if (error != nullptr)
        return traceError(error, getFullName());
    if (mBridge != nullptr)
        listenObject(mBridge->getFullName(), CString("param-change"), CString("param-change"));
    return nullptr;
}

CError* CUIParam::onElementChanged() {
    const std::int32_t element = getIntAttr("element");
    if (element == mElement)
        return nullptr;
    mElement = element;
    if (mHandler == nullptr)
        return nullptr;  // before init: init reads the element
    return traceError(mHandler->handleUIParam(this, 0, 0), getFullName());
}

CError* CUIParam::onSharedAttributeValueChanged() {
    const CString& text = getTextAttr("shared-attribute-value");
    mValueText = text.equals("false") ? CString("0") : text.equals("true") ? CString("1") : text;
    if (mIsHeld) {
        addPending(-1, 0);
        return nullptr;
    }
    if (mHandler == nullptr)
        return nullptr;
    return traceError(mHandler->handleUIParam(this, 0, 0), getFullName());
}

CError* CUIParam::onGroupChange(CAttrMap& args) {
    CAttrValue* value = args.findValue("index");
    const std::int32_t index = value != nullptr ? parseInt(value->asText(), -1) : -1;
    if (index == mGroup)
        return nullptr;
    mGroup = index;
    updateActive();
    if (mIsHeld) {
        addPending(-1, 0);
        return nullptr;
    }
    return traceError(mHandler->handleUIParam(this, 0, 0), getFullName());
}

CError* CUIParam::onParamChange(CAttrMap& args) {
    CAttrValue* groupValue = args.findValue("group");
    const std::int32_t group = groupValue != nullptr ? groupValue->asInt() : 0;
    const bool singleGroup = mBridge != nullptr && mBridge->isSingleGroup();
    if (group != 9999 && group != mGroup && !mIsUpdateOnAnyGroup && !singleGroup)
        return nullptr;
    updateActive();
    CAttrValue* replacing = args.findValue("is-replacing");
    CAttrValue* offset = args.findValue("element-offset");
    CAttrValue* count = args.findValue("element-count");
    const std::int32_t first = offset != nullptr ? offset->asInt() : 0;
    const std::int32_t n = (replacing != nullptr && replacing->asBool()) ? 0 : (count != nullptr ? count->asInt() : 0);
    if (mIsHeld) {
        addPending(first, n);
        return nullptr;
    }
    return traceError(mHandler->handleUIParam(this, first, n), getFullName());
}

// --- reading ---

double CUIParam::attrNumber() const {
    bool valid = false;
    const double x = parseDouble(mValueText, &valid);
    return valid ? x : 0.0;
}

void CUIParam::getNormalizedValue(CUIParamValue& out, std::int32_t elementOffset, std::int32_t group) {
    out = CUIParamValue();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->getNormalizedValues(groupOf(group), mElement + elementOffset, out);
    else
        out[0] = mIsSimple ? normalizeIn(attrNumber(), mSimpleMin, mSimpleMax) : attrNumber();
}

void CUIParam::getPlainValue(CUIParamValue& out, std::int32_t elementOffset, std::int32_t group) {
    out = CUIParamValue();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->getPlainValues(groupOf(group), mElement + elementOffset, out);
    else
        out[0] = attrNumber();
}

void CUIParam::getValueText(std::int32_t elementOffset, CString& out, std::int32_t precision, std::int32_t group,
                            std::int32_t component) {
    out = CString();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->getValueText(groupOf(group), mElement + elementOffset, component, out, precision);
    else
        out = mValueText;
}

double CUIParam::getDefaultNormalized(std::int32_t elementOffset, std::int32_t component) {
    return isBridged() ? mBridge->getDefaultNormalized(mElement + elementOffset, component) : 0.0;
}

double CUIParam::getDefaultPlainValue(std::int32_t elementOffset, std::int32_t component) {
    return isBridged() ? mBridge->getDefaultPlain(mElement + elementOffset, component) : 0.0;
}

void CUIParam::getDefaultValueText(CString& out, std::int32_t elementOffset, std::int32_t component,
                                   std::int32_t precision) {
    out = CString();
    if (isBridged())
        mBridge->formatNormalizedValue(out, component, precision,
                                       mBridge->getDefaultNormalized(mElement + elementOffset, component));
}

std::int32_t CUIParam::getElementCount(std::int32_t group) {
    if (!isBridged() && (mIsSimple || mSharedAttribute != nullptr))
        return 1;
    return updateActive() ? mBridge->getElementCount(groupOf(group)) : 0;
}

std::int32_t CUIParam::getComponentCount() {
    if (!isBridged() && (mIsSimple || mSharedAttribute != nullptr))
        return 1;
    return updateActive() ? mBridge->elementSize() : 0;
}

double CUIParam::getMaxValue(std::int32_t component) {
    if (!isBridged() && (mIsSimple || mSharedAttribute != nullptr))
        return mIsSimple ? 1.0 : 0.0;
    return updateActive() ? mBridge->info()->getMaximum(component) : 0.0;
}

double CUIParam::getMinValue(std::int32_t component) {
    if (!isBridged() && (mIsSimple || mSharedAttribute != nullptr))
        return 0.0;
    return updateActive() ? mBridge->info()->getMinimum(component) : 0.0;
}

const CByteBuffer* CUIParam::getDataItem(std::int32_t elementOffset, std::int32_t component) {
    if (!updateActive() || !isBridged())
        return nullptr;
    const std::int32_t element = mElement + elementOffset;
    if (element >= mBridge->getElementCount(mGroup))
        return nullptr;
    return &mBridge->getDataItem(mGroup, element, component);
}

double CUIParam::toDisplay(std::int32_t component, double x) {
    return isBridged() ? mBridge->toDisplay(component, x) : 0.0;
}

double CUIParam::fromDisplay(std::int32_t component, double x) {
    return isBridged() ? mBridge->fromDisplay(component, x) : 0.0;
}

// --- writing ---

void CUIParam::storeText(const CString& text) {
    if (mSharedAttribute != nullptr) {
        logAndDrop(traceError(mSharedAttribute->storeValue(text), getFullName()));
        return;
    }
    if (CError* error = setAttr(CString("shared-attribute-value"), text, true)) {
        logAndDrop(traceError(error, getFullName()));
        return;
    }
    mValueText = text;
    logAndDrop(traceError(fireEvent(CString("value-changed"), false), getFullName()));
}

void CUIParam::writeAttrValue(double x) {
    if (mIsSimple)
        x = mSimpleMin + (mSimpleMax - mSimpleMin) * std::clamp(x, 0.0, 1.0);
    // Four decimals, the last one rounded half away from zero.
    const double y = x * 10000.0;
    const std::int64_t n = y < 0.0 ? -std::int64_t(std::floor(0.5 - y)) : std::int64_t(std::floor(y + 0.5));
    CString text;
    formatFixedPoint(text, n, 4);
    storeText(text);
}

void CUIParam::setNormalizedValue(std::int32_t elementOffset, std::int32_t group, CUIParamValue value) {
    openPendingUndo();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->setNormalizedValue(groupOf(group), mElement + elementOffset, value);
    else
        writeAttrValue(value[0]);
}

void CUIParam::setNormalizedValues(std::int32_t elementOffset, std::int32_t count, const CUIParamValue* values,
                                   bool isReplacing, std::int32_t group) {
    openPendingUndo();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->setNormalizedValues(groupOf(group), mElement + elementOffset, count, values, isReplacing);
    else if (count > 0)
        writeAttrValue(values[0][0]);
}

void CUIParam::setPlainValue(std::int32_t elementOffset, std::int32_t group, CUIParamValue value) {
    openPendingUndo();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->setPlainValue(groupOf(group), mElement + elementOffset, value);
    else
        writeAttrValue(value[0]);
}

void CUIParam::setValueText(std::int32_t elementOffset, const CString& text, std::int32_t component) {
    openPendingUndo();
    if (!updateActive())
        return;
    if (isBridged())
        mBridge->setValueText(mGroup, mElement + elementOffset, component, text);
    else
        storeText(text);
}

void CUIParam::setDataItem(std::int32_t elementOffset, std::int32_t component, CByteBuffer& item) {
    openPendingUndo();
    if (updateActive() && isBridged())
        mBridge->setDataItem(mGroup, mElement + elementOffset, component, item);
}

void CUIParam::resetValue(std::int32_t elementOffset, bool createUndo, bool useFirstElement, std::int32_t group,
                          std::int32_t undoId) {
    if (!updateActive())
        return;
    if (isBridged()) {
        mBridge->resetValue(groupOf(group), mElement + elementOffset, undoId, createUndo, useFirstElement);
        return;
    }
    const CString& defText = mSharedAttribute != nullptr ? mSharedAttribute->getTextAttr("def-value")
                                                         : getTextAttr("simple-def-value");
    bool valid = false;
    double x = parseDouble(defText, &valid);
    if (!valid)
        x = 0.0;
    writeAttrValue(mIsSimple ? normalizeIn(x, mSimpleMin, mSimpleMax) : x);
}

// --- edit gestures ---

void CUIParam::forgetEditSettings() {
    mPendingBegin = false;
    mIsMergeable = false;
    mNoUndo = false;
    mMergeKey = -1;
    mUndoGroups.clear();
}

void CUIParam::openPendingUndo() {
    if (!mPendingBegin)
        return;
    if (isBridged() && updateActive()) {
        mBridge->openUndo(mGroup, mIsMergeable, mMergeKey, &mUndoGroups, mNoUndo);
        mUndoOpened = true;
    }
    forgetEditSettings();
}

void CUIParam::beginEdit(bool isMergeable, std::int32_t mergeKey, const CArray<std::int32_t>* undoGroups,
                         bool noUndo) {
    if (mEditDepth > 0) {
        ++mEditDepth;
        return;
    }
    mPendingBegin = true;
    mIsMergeable = isMergeable;
    mMergeKey = mergeKey;
    mNoUndo = noUndo;
    mUndoGroups.clear();
    if (undoGroups != nullptr)
        mUndoGroups = *undoGroups;
    mEditDepth = 1;
}

void CUIParam::endEdit(bool keepOpen) {
    if (mEditDepth <= 0)
        return;
    if (--mEditDepth > 0)
        return;
    // A gesture that wrote nothing forgets its settings, so that a later write outside any gesture
    // does not open a step that nobody submits.
    if (mUndoOpened) {
        if (!keepOpen && isBridged() && updateActive())
            mBridge->submitUndo();
        mUndoOpened = false;
    }
    forgetEditSettings();
}

// --- notifications ---

void CUIParam::addPending(std::int32_t first, std::int32_t count) {
    if (count <= 0) {
        mPendingElements.findOrAdd(-1);
        return;
    }
    for (std::int32_t i = 0; i < count; ++i)
        mPendingElements.findOrAdd(first + i);
}

void CUIParam::holdNotifications() {
    if (mIsHeld)
        return;
    mIsHeld = true;
    mPendingElements.clear();
}

CError* CUIParam::flushPendingChanges() {
    if (!mIsHeld)
        return nullptr;
    mIsHeld = false;
    if (mPendingElements.contains(-1)) {
        if (CError* error = mHandler->handleUIParam(this, 0, 0))
            return traceError(error, getFullName());
    } else {
        auto* node = mPendingElements.first();
        while (node != nullptr) {
            const std::int32_t first = node->key;
            std::int32_t length = 1;
            node = mPendingElements.next(node);
            while (node != nullptr && node->key == first + length) {
                ++length;
                node = mPendingElements.next(node);
            }
            if (CError* error = mHandler->handleUIParam(this, first, length))
                return traceError(error, getFullName());
        }
    }
    mPendingElements.clear();
    return nullptr;
}

// --- group copies ---

void CUIParam::copyGroup(std::int32_t sourceGroup, std::int32_t targetGroup) {
    if (sourceGroup == targetGroup || !isBridged() || !updateActive())
        return;
    mBridge->openUndo(targetGroup, false, -1, nullptr, false);
    const int count = mBridge->getElementCount(sourceGroup);
    CArray<CUIParamValue> values;
    values.setCount(count);
    for (int e = 0; e < count; ++e)
        mBridge->getNormalizedValues(sourceGroup, e, values[e]);
    mBridge->setNormalizedValues(targetGroup, 0, count, values.data(), true);
    mBridge->submitUndo();
}

void CUIParam::copyGroupValuesTo(std::int32_t targetGroup) { copyGroup(mGroup, targetGroup); }

void CUIParam::copyGroupValuesFrom(std::int32_t sourceGroup) { copyGroup(sourceGroup, mGroup); }

} // namespace tal
