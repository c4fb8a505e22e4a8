#include "Audio/CAudioParamSharedParam.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

namespace {

// The converter of component 0 and the definition, or null when either is missing.
const CAudioParamConverter* converterOf(const CAudioParam& param) {
    return param.getInfo() != nullptr ? param.getInfo()->getConverter(0) : nullptr;
}

} // namespace

CAudioParamSharedParam::CAudioParamSharedParam(CAudioParamCollector* collector) : mCollector(collector) {}

CAudioParamSharedParam::~CAudioParamSharedParam() {
    if (mScope != nullptr)
        mScope->removeListener(mDataName, this);
    if (mParam != nullptr)
        mParam->removeListener(this);
}

void CAudioParamSharedParam::init(const CString& paramName, CAudioParamSharedScope* scope, const CString& dataName) {
    mScope = scope;
    mDataName = dataName;
    mParam = mCollector->acquireParam(paramName);
    {
        CAudioParamLock lock(mParam);
        const CAudioParamStorage& current = mParam->getCurrent();
        if (current.isFormatSet() && current.getDefaultCount() > 0) {
            const double first = current.getDefaultRow()[0];
            if (current.getDataType() == CAudioParamStorage::kTypeString) {
                mDefaultText = current.getData().getString(int(first));
            } else if (current.getDataType() == CAudioParamStorage::kTypeFloat) {
                if (const CAudioParamConverter* cvt = converterOf(*mParam))
                    mDefaultText = cvt->formatValue(*mParam->getInfo(), 0, nullptr, 0, first);
            }
        }
        mParam->addListener(this);
    }
    readShared();
    mScope->addListener(mDataName, this);
}

void CAudioParamSharedParam::onParamChange(const CAudioParamUpdateInfo& info) {
    if (info.sender == this)
        return;
    if (!mWritePending.exchange(true))
        mCollector->deferNotify(this, 0, 0.0);
}

void CAudioParamSharedParam::onDeferred(int, double) {
    mWritePending.store(false);
    writeShared();
}

void CAudioParamSharedParam::onSharedDataChanged(const CString&, const void* sender) {
    if (sender != this)
        readShared();
}

void CAudioParamSharedParam::readShared() {
    // The item is read before the parameter is locked: the scope is never entered under a
    // parameter lock.
    int type = -1;
    {
        CAudioParamLock lock(mParam);
        if (mParam->getCurrent().isFormatSet())
            type = mParam->getCurrent().getDataType();
    }
    if (type == CAudioParamStorage::kTypeRaw) {
        CByteBuffer bytes = mScope->readRaw(mDataName);
        if (!bytes.isEmpty())
            mParam->setRaw(0, 0, bytes, this, nullptr, {});
    } else if (type == CAudioParamStorage::kTypeString) {
        mParam->setString(0, 0, mScope->readText(mDataName, mDefaultText), this, nullptr, {});
    } else if (type == CAudioParamStorage::kTypeFloat) {
        const CString text = mScope->readText(mDataName, mDefaultText);
        const CAudioParamConverter* cvt = converterOf(*mParam);
        bool ok = false;
        const double value = cvt != nullptr ? cvt->parseText(*mParam->getInfo(), 0, text, &ok) : 0.0;
        if (ok)
            mParam->setValue(0, this, nullptr, value);
    }
}

void CAudioParamSharedParam::writeShared() {
    // Read under the lock, written after it.
    int type = -1;
    CString text;
    CByteBuffer bytes;
    {
        CAudioParamLock lock(mParam);
        const CAudioParamStorage& current = mParam->getCurrent();
        if (!current.isFormatSet() || current.getElementCount(0) < 1)
            return;
        type = current.getDataType();
        const double first = current.getValues(0)[0];
        if (type == CAudioParamStorage::kTypeRaw) {
            bytes = current.getData().getRaw(int(first));
        } else if (type == CAudioParamStorage::kTypeString) {
            text = current.getData().getString(int(first));
        } else if (const CAudioParamConverter* cvt = converterOf(*mParam)) {
            text = cvt->formatValue(*mParam->getInfo(), 0, nullptr, 0, first);
        } else {
            return;
        }
    }
    if (type == CAudioParamStorage::kTypeRaw)
        mScope->writeRaw(mDataName, bytes, this);
    else
        mScope->writeText(mDataName, text, this);
}

} // namespace tal
