#include "Other/Interface/CParamInterfaceClientConnector.h"

#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/Log.h"
#include "Other/Interface/CParamInterfaceClient.h"

namespace tal {

namespace {

CError* processBaseDataThunk(CObject* object) {
    return traceError(static_cast<CParamInterfaceClientConnector*>(object)->onProcessBaseData());
}

} // namespace

void CParamInterfaceClientConnector::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addEventHandler(CString("process-base-data")).plain = &processBaseDataThunk;
}

CParamInterfaceClientConnector::~CParamInterfaceClientConnector() = default;

CError* CParamInterfaceClientConnector::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    listenObject(getFullName(), CString("process-base-data-proxy"), CString("process-base-data"));
    return nullptr;
}

CError* CParamInterfaceClientConnector::pollBaseData() { return nullptr; }

CError* CParamInterfaceClientConnector::onProcessBaseData() {
    CParamInterfaceMessageQueue::Node* chain = nullptr;
    {
        CSpinLockGuard guard(mPendingLock);
        chain = mPending.takeAll();
    }
    if (chain == nullptr)
        return nullptr;
    CError* result = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
        if (mClient == nullptr) {
            result = newError(
                "@talstr_CParamInterfaceClientConnector_onProcessBaseData_NoClientObject No client object defined.",
                getFullName());
        } else {
            // One failing reply does not cost the ones after it: it is logged, and the rest run.
            std::lock_guard<std::recursive_mutex> clientGuard(mClient->objectMutex());
            for (auto* node = chain; node != nullptr; node = node->next) {
                CError* error = mClient->runMessage(*mClient, node->message.data(), node->message.size());
                if (error != nullptr) {
                    error = traceError(error, getFullName());
                    reportError(&error);
                }
            }
        }
    }
    CParamInterfaceMessageQueue::freeChain(chain);
    return result;
}

std::int32_t CParamInterfaceClientConnector::setClient(CParamInterfaceClient* client) {
    std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
    mClient = client;
    return mClientId;
}

void CParamInterfaceClientConnector::clearClient() {
    std::lock_guard<std::recursive_mutex> guard(mConnectorMutex);
    mClient = nullptr;
}

void CParamInterfaceClientConnector::pushBaseData(CByteBuffer& message) {
    CParamInterfaceMessageQueue::Node* node = CParamInterfaceMessageQueue::newNode(message);
    {
        CSpinLockGuard guard(mPendingLock);
        mPending.push(node);
    }
    CError* error = fireEvent(CString("process-base-data-proxy"), false);
    if (error != nullptr)
        reportError(&error);
}

} // namespace tal
