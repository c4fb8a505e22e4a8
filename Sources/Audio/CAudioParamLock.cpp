#include "Audio/CAudioParamLock.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"

namespace tal {

CAudioParamLock::CAudioParamLock(CAudioParam* param, CAudioParamLock* outer) : mParam(param) {
    if (outer != nullptr) {
        mOuter = outer->mOuter != nullptr ? outer->mOuter : outer;
        return;
    }
    mParam->getCollector()->beginUpdate(CAudioParamCollector::kLockHolderUpdate);
    mParam->getMutex().lock();
}

CAudioParamLock::~CAudioParamLock() {
    if (mOuter != nullptr)
        return;
    mParam->getMutex().unlock();
    mParam->getCollector()->endUpdate(CAudioParamCollector::kLockHolderUpdate);
}

} // namespace tal
