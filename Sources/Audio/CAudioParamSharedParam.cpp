#include "Audio/CAudioParamSharedParam.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/RecordTags.h"

namespace tal {

namespace {

// The converter of component 0 and the definition, or null when either is missing.
const CAudioParamConverter* converterOf(const CAudioParam& param) {
    return param.getInfo() != nullptr ? param.getInfo()->getConverter(0) : nullptr;
}

} // namespace

CAudioParamSharedParam::CAudioParamSharedParam(CAudioParamCollector* collector) : mCollector(collector) {}

CAudioParamSharedParam::~CAudioParamSharedParam() {
    // Both listeners first: a notification on another thread must not reach a half-destroyed owner.
    mDataListener.detach();
    detach();
}

void CAudioParamSharedParam::init(const CString& paramName, CAppData* scope, const CString& dataName) {
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
    if (mScope != nullptr) mDataListener.setNotifier(mScope, reinterpret_cast<std::intptr_t>(&mDataName));
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

void CAudioParamSharedParam::CDataListener::update(const CUpdateRecord* record) {
    if (record == nullptr || record->sender != owner)
        owner->readShared();
}

void CAudioParamSharedParam::readShared() {
    if (mScope == nullptr)
        return;
    // The item is read before the parameter is locked: the scope is never entered under a
    // parameter lock.
    int type = -1;
    {
        CAudioParamLock lock(mParam);
        if (mParam->getCurrent().isFormatSet())
            type = mParam->getCurrent().getDataType();
    }
    if (type == CAudioParamStorage::kTypeRaw) {
        CByteBuffer bytes;
        mScope->read(mDataName, bytes, kTagAppData, false);
        if (!bytes.isEmpty())
            mParam->setRaw(0, 0, bytes, this, nullptr, {});
    } else if (type == CAudioParamStorage::kTypeString) {
        mParam->setString(0, 0, readAppDataString(mScope, mDataName, mDefaultText), this, nullptr, {});
    } else if (type == CAudioParamStorage::kTypeFloat) {
        const CString text = readAppDataString(mScope, mDataName, mDefaultText);
        const CAudioParamConverter* cvt = converterOf(*mParam);
        bool ok = false;
        const double value = cvt != nullptr ? cvt->parseText(*mParam->getInfo(), 0, text, &ok) : 0.0;
        if (ok)
            mParam->setValue(0, this, nullptr, value);
    }
}

void CAudioParamSharedParam::writeShared() {
    if (mScope == nullptr)
        return;
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
        mScope->write(mDataName, bytes, this, kTagAppData);
    else
        writeAppDataString(mScope, mDataName, text, this);
}

} // namespace tal
