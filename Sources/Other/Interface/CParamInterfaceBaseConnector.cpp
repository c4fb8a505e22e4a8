#include "Other/Interface/CParamInterfaceBaseConnector.h"

#include "Core/CError.h"
#include "Other/Interface/CParamInterfaceBase.h"

namespace tal {

CError* CParamInterfaceBaseConnector::processClientData(const std::uint8_t* data, std::int32_t size) {
    std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
    if (mBase == nullptr)
        return newError("@talstr_CParamInterfaceBaseConnector_processClientData_NoBaseObject No base object defined.",
                        getFullName());
    return traceError(mBase->runMessage(*mBase, data, size), getFullName());
}

void CParamInterfaceBaseConnector::setBase(CParamInterfaceBase* base) {
    std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
    mBase = base;
}

void CParamInterfaceBaseConnector::notifyClientGone(std::int32_t clientId) {
    std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
    if (mBase != nullptr)
        mBase->onClientGone(clientId);
}

void CParamInterfaceBaseConnector::sendPostedMessages() {
    std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
    if (mBase != nullptr)
        mBase->sendPostedMessages();
}

} // namespace tal
