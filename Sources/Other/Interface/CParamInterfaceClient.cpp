#include "Other/Interface/CParamInterfaceClient.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Other/Interface/CParamInterfaceClientConnector.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "Other/Interface/CParamInterfaceParamListener.h"
#include "Other/Interface/ParamInterfaceScheme.h"

namespace tal {

CObject* CParamInterfaceClient::create() { return new CParamInterfaceClient(); }

void CParamInterfaceClient::initScheme(CObjectScheme* scheme) {
    using C = CParamInterfaceClient;
    CObject::initScheme(scheme);
    addProtocolEvent<C, &C::onUpdateUndoHistory>(scheme, "update-undo-history");
    addProtocolEvent<C, &C::onUpdateParamInfo>(scheme, "update-param-info");
    addProtocolEvent<C, &C::onUpdateParam>(scheme, "update-param");
}

CParamInterfaceClient::~CParamInterfaceClient() = default;

// --- life cycle ---

CError* CParamInterfaceClient::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    if (CError* error = findObjectByAttr(mConnector, CString("client-connector"), true))
        return traceError(error, getFullName());
    mClientId = mConnector->setClient(this);
    requestUndoHistory();
    return nullptr;
}

void CParamInterfaceClient::releaseLinks() {
    if (mConnector != nullptr) {
        for (auto* node = mParamListeners.first(); node != nullptr; node = mParamListeners.next(node)) {
            CParamInterfaceMessageWriter writer("unlisten-param");
            writer.i32(node->key);
            sendRequest(writer);
        }
        mConnector->clearClient();
    }
    CObject::releaseLinks();
}

bool CParamInterfaceClient::sendRequest(CParamInterfaceMessageWriter& writer) {
    CByteBuffer message;
    writer.moveTo(message);
    return mConnector != nullptr && mConnector->sendToBase(message);
}

std::int32_t CParamInterfaceClient::nextHandle(std::int32_t& counter) noexcept {
    const std::int32_t handle = std::int32_t(std::uint32_t(mClientId) << 16) + counter + 1;
    ++counter;
    return handle;
}

// --- parameters ---

std::int32_t CParamInterfaceClient::listenParam(const CString& name, CParamInterfaceParamListener* listener) {
    const std::int32_t handle = nextHandle(mParamHandleCounter);
    auto& entry = mParamListeners.findOrAdd(handle)->value;
    entry.name = name;
    entry.listener = listener;
    CParamInterfaceMessageWriter writer("listen-param");
    writer.string(name);
    writer.i32(handle);
    sendRequest(writer);
    return handle;
}

void CParamInterfaceClient::unlistenParam(std::int32_t handle) {
    auto* node = mParamListeners.find(handle);
    if (node == nullptr)
        return;
    CParamInterfaceMessageWriter writer("unlisten-param");
    writer.i32(handle);
    sendRequest(writer);
    mParamListeners.removeNode(node);
}

void CParamInterfaceClient::changeParam(std::int32_t handle, const CAudioParamChange& change, std::int32_t undoId) {
    CParamInterfaceMessageWriter writer("change-param");
    writer.i32(handle);
    writer.i32(undoId);
    writer.check(CAudioParamStorage::writeChange(change, writer.stream()));
    sendRequest(writer);
}

void CParamInterfaceClient::resetParam(std::int32_t handle, std::int32_t group, std::int32_t element,
                                       std::int32_t undoId, bool firstElement) {
    CParamInterfaceMessageWriter writer("reset-param");
    writer.i32(handle);
    writer.i32(group);
    writer.i32(element);
    writer.i32(undoId);
    writer.i32(firstElement ? 1 : 0);
    sendRequest(writer);
}

CError* CParamInterfaceClient::onUpdateParamInfo() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0;
    if (CError* error = in.read32(handle))
        return traceError(error, getFullName());
    auto* node = mParamListeners.find(handle);
    if (node == nullptr)
        return nullptr;
    CParamInterfaceParamListener* listener = node->value.listener;
    if (CError* error = listener->onParamInfo(in))
        return traceError(error, getFullName());
    std::int32_t hasChange = 0;
    if (CError* error = in.read32(hasChange))
        return traceError(error, getFullName());
    if (hasChange != 0) {
        CAudioParamChangeBuffer buffer;
        CAudioParamChange change;
        if (CError* error = CAudioParamStorage::readChange(buffer, in, change, this))
            return traceError(error, getFullName());
        listener->onParamUpdate(change);
    }
    return nullptr;
}

CError* CParamInterfaceClient::onUpdateParam() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0;
    if (CError* error = in.read32(handle))
        return traceError(error, getFullName());
    auto* node = mParamListeners.find(handle);
    if (node == nullptr)
        return nullptr;
    CAudioParamChangeBuffer buffer;
    CAudioParamChange change;
    if (CError* error = CAudioParamStorage::readChange(buffer, in, change, this))
        return traceError(error, getFullName());
    node->value.listener->onParamUpdate(change);
    return nullptr;
}

// --- undo ---

std::int32_t CParamInterfaceClient::createUndoData(const CString& name, bool mergeable, std::int32_t mergeKey) {
    const std::int32_t id = nextHandle(mUndoCounter);
    CParamInterfaceMessageWriter writer("create-undo-data");
    writer.i32(id);
    writer.string(name);
    writer.i32(mergeable ? 1 : 0);
    writer.i32(mergeKey);
    sendRequest(writer);
    return id;
}

void CParamInterfaceClient::removeUndoData(std::int32_t undoId) {
    CParamInterfaceMessageWriter writer("remove-undo-data");
    writer.i32(undoId);
    sendRequest(writer);
}

void CParamInterfaceClient::submitUndoData(std::int32_t undoId, const CString& name) {
    CParamInterfaceMessageWriter writer("submit-undo-data");
    writer.i32(undoId);
    writer.string(name);
    sendRequest(writer);
}

void CParamInterfaceClient::setUndoHistoryPos(std::int32_t position) {
    CParamInterfaceMessageWriter writer("set-undo-history-pos");
    writer.i32(position);
    sendRequest(writer);
}

void CParamInterfaceClient::requestUndoHistory() {
    CParamInterfaceMessageWriter writer("request-undo-history");
    writer.i32(mClientId);
    sendRequest(writer);
}

CError* CParamInterfaceClient::onUpdateUndoHistory() {
    CMemoryReader& in = messageReader();
    mUndoNames.clear();
    std::int32_t count = 0;
    CError* error = in.read32(mUndoPosition);
    if (error == nullptr)
        error = in.read32(count);
    for (std::int32_t i = 0; error == nullptr && i < count; ++i)
        error = in.readString(*mUndoNames.addEmpty());
    if (error != nullptr)
        return traceError(error, getFullName());
    if (CError* fired = fireEvent(CString("undo-history-changed"), false))
        return traceError(fired, getFullName());
    return nullptr;
}

} // namespace tal
