#include "Audio/CAudioExtParam.h"

#include "Audio/CAudioExtParamHostBridge.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CArray.h"
#include "Core/CError.h"

#include <cmath>

namespace tal {

namespace {

// A host value limited to [0, 1]; a NaN from the host counts as 0.
double clampNormalized(double value) {
    if (!(value > 0.0)) return 0.0;
    return value < 1.0 ? value : 1.0;
}

} // namespace

CAudioExtParam::~CAudioExtParam() {
    detach();   // leaves the parameter when that one is still alive
}

CError* CAudioExtParam::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mHostBridge = nullptr;
    mNormalized = 0.0;
    if (CError* err = findObjectByAttr(mCollector, CString("param-collector"), true))
        return traceError(err, getFullName());
    mExtName = getTextAttr("ext-name");
    if (mExtName.isEmpty() || mExtName.length() > kMaxNameLength)
        return newError("@talstr_CAudioExtParam_attrExtName_LongName Externalized parameter name '%1' is too long",
                        getFullName(), mExtName);
    mElement = getIntAttr("element-index");
    mGroup = getIntAttr("group");
    mParam = mCollector->acquireParam(getTextAttr("param-name"));
    mParam->addListener(this);
    CAudioParamLock lock(mParam);
    if (canConvert()) mNormalized = toNormalized(elementValue());
    return nullptr;
}

void CAudioExtParam::releaseLinks() {
    if (mParam != nullptr) {
        mParam->removeListener(this);
        mParam = nullptr;
    }
    CObject::releaseLinks();
}

void CAudioExtParam::setHostBridge(CAudioExtParamHostBridge* bridge) {
    if (mParam == nullptr) {
        mHostBridge = bridge;
        return;
    }
    CAudioParamLock lock(mParam);
    mHostBridge = bridge;
}

bool CAudioExtParam::canConvert() const {
    const CAudioParamInfo* info = mParam->getInfo();
    return info != nullptr && info->getConverter(0) != nullptr;
}

double CAudioExtParam::toNormalized(double plain) const {
    const CAudioParamInfo& info = *mParam->getInfo();
    return info.getConverter(0)->toNormalized(info, 0, plain);
}

double CAudioExtParam::elementDefault() const {
    return mParam->getCurrent().getDefault(mElement, 0);
}

double CAudioExtParam::elementValue() const {
    const CAudioParamStorage& current = mParam->getCurrent();
    if (mGroup >= 0 && mElement >= 0 && mElement < current.getElementCount(mGroup))
        return current.getValue(mGroup, mElement, 0);
    return elementDefault();
}

void CAudioExtParam::setNormalized(double value) {
    if (mParam == nullptr) return;
    CAudioParamLock lock(mParam);
    mNormalized = clampNormalized(value);
    const CAudioParamStorage& current = mParam->getCurrent();
    if (!canConvert() || !current.isFormatSet() || current.getDataType() != CAudioParamStorage::kTypeFloat ||
        mGroup < 0 || mElement < 0)
        return;
    const CAudioParamInfo& info = *mParam->getInfo();
    const double plain = info.getConverter(0)->toPlain(info, 0, mNormalized);
    // Component 0 takes the host's value; further components of the element keep theirs.
    const int es = current.getElementSize();
    CArray<double> values;
    values.setCount(es);
    values[0] = plain;
    for (int c = 1; c < es; ++c) {
        values[c] = mElement < current.getElementCount(mGroup) ? current.getValue(mGroup, mElement, c)
                                                              : current.getDefault(mElement, c);
    }
    const CAudioParamChange change =
        CAudioParamChange::make(mGroup, mElement, 1, false, this, current, values.data(), &current.getData());
    // An element beyond the group's end is reached through the change path's gap fill: one change
    // that sets the missing elements to their defaults and this element to the value.
    mParam->applyChange(change, &lock, CAudioParamContext{});
}

double CAudioExtParam::getNormalized() {
    if (mParam == nullptr) return mNormalized;
    CAudioParamLock lock(mParam);
    return mNormalized;
}

double CAudioExtParam::getDefaultNormalized() {
    if (mParam == nullptr) return 0.5;
    CAudioParamLock lock(mParam);
    return canConvert() ? toNormalized(elementDefault()) : 0.5;
}

CString CAudioExtParam::getUnitLabel() {
    if (mParam == nullptr) return CString();
    CAudioParamLock lock(mParam);
    return canConvert() ? mParam->getInfo()->getConverter(0)->getLabel() : CString();
}

CString CAudioExtParam::normalizedToText(double value) {
    if (mParam == nullptr) return CString();
    CAudioParamLock lock(mParam);
    if (!canConvert()) return CString();
    const CAudioParamInfo& info = *mParam->getInfo();
    const CAudioParamConverter& converter = *info.getConverter(0);
    const double plain = converter.toPlain(info, 0, clampNormalized(value));
    return converter.formatValue(info, 0, &mParam->getCurrent().getData(), kPrecisionNormal, plain);
}

CString CAudioExtParam::getValueText() {
    return normalizedToText(getNormalized());
}

double CAudioExtParam::textToNormalized(const CString& text) {
    if (mParam == nullptr) return 0.5;
    CAudioParamLock lock(mParam);
    if (!canConvert()) return 0.5;
    const CAudioParamInfo& info = *mParam->getInfo();
    bool ok = false;
    double plain = info.getConverter(0)->parseText(info, 0, text, &ok);
    if (!ok) plain = elementDefault();
    return toNormalized(plain);
}

void CAudioExtParam::onParamChange(const CAudioParamUpdateInfo& info) {
    const CAudioParamChange& change = *info.change;
    if (change.group != CAudioParamChange::kFormatGroup) {
        if (change.sender == this || change.group != mGroup || mElement < change.firstElement ||
            mElement >= change.firstElement + change.count)
            return;
    }
    if (!canConvert()) return;
    mNormalized = toNormalized(elementValue());
    if (mHostBridge != nullptr) mCollector->deferNotify(mHostBridge, mIndex, mNormalized);
}

} // namespace tal
