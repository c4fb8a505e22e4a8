#include "Other/Interface/CParamInterfaceClient.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Other/Interface/CParamInterfaceClientConnector.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "Other/Interface/CParamInterfaceParamListener.h"
#include "Other/Interface/CParamInterfaceRegistryListener.h"
#include "Other/Interface/ParamInterfaceScheme.h"

namespace tal {

CObject* CParamInterfaceClient::create() { return new CParamInterfaceClient(); }

void CParamInterfaceClient::initScheme(CObjectScheme* scheme) {
    using C = CParamInterfaceClient;
    CObject::initScheme(scheme);
    addProtocolEvent<C, &C::onUpdateUndoHistory>(scheme, "update-undo-history");
    addProtocolEvent<C, &C::onUpdateParamInfo>(scheme, "update-param-info");
    addProtocolEvent<C, &C::onUpdateParam>(scheme, "update-param");
    addProtocolEvent<C, &C::onUpdateRegistry>(scheme, "update-registry");
    addProtocolEvent<C, &C::onRegistryData>(scheme, "registry-data");
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
        for (auto* node = mRegistryListeners.first(); node != nullptr; node = mRegistryListeners.next(node))
            sendHandleRequest("unlisten-registry", node->key);
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

// --- registries, programs and presets ---

void CParamInterfaceClient::sendHandleRequest(const char* eventName, std::int32_t handle) {
    CParamInterfaceMessageWriter writer(eventName);
    writer.i32(handle);
    sendRequest(writer);
}

void CParamInterfaceClient::sendHandleRequest(const char* eventName, std::int32_t handle, std::int32_t value) {
    CParamInterfaceMessageWriter writer(eventName);
    writer.i32(handle);
    writer.i32(value);
    sendRequest(writer);
}

void CParamInterfaceClient::listenRegistry(const CString& name, CParamInterfaceRegistryListener* listener,
                                           std::int32_t& handle) {
    handle = nextHandle(mRegistryHandleCounter);
    auto& entry = mRegistryListeners.findOrAdd(handle)->value;
    entry.name = name;
    entry.listener = listener;
    CParamInterfaceMessageWriter writer("listen-registry");
    writer.string(name);
    writer.i32(handle);
    sendRequest(writer);
    if (listener != nullptr)
        listener->onRegistryListen();
}

void CParamInterfaceClient::unlistenRegistry(std::int32_t handle) {
    auto* node = mRegistryListeners.find(handle);
    if (node == nullptr)
        return;
    sendHandleRequest("unlisten-registry", handle);
    mRegistryListeners.removeNode(node);
}

void CParamInterfaceClient::setCurrentProgram(std::int32_t handle, std::int32_t program) {
    sendHandleRequest("set-current-program", handle, program);
}

void CParamInterfaceClient::renamePreset(std::int32_t handle, std::int32_t preset, const CString& name) {
    CParamInterfaceMessageWriter writer("rename-preset");
    writer.i32(handle);
    writer.i32(preset);
    writer.string(name);
    sendRequest(writer);
}

void CParamInterfaceClient::activateFactoryPreset(std::int32_t handle, std::int32_t preset) {
    sendHandleRequest("activate-factory-preset", handle, preset);
}

bool CParamInterfaceClient::activatePreset(std::int32_t handle, const CAudioPreset& preset, std::int32_t group) {
    CParamInterfaceMessageWriter writer("activate-preset");
    writer.i32(handle);
    writer.i32(group);
    writer.check(preset.save(writer.stream()));
    return sendRequest(writer);
}

void CParamInterfaceClient::requestPreset(std::int32_t handle, std::int32_t requestId, bool factory,
                                          std::int32_t preset, std::int32_t group) {
    CParamInterfaceMessageWriter writer("request-preset");
    writer.i32(handle);
    writer.i32(requestId);
    writer.i32(factory ? 1 : 0);
    writer.i32(preset);
    writer.i32(group);
    sendRequest(writer);
}

void CParamInterfaceClient::requestBank(std::int32_t handle, std::int32_t requestId, bool factory) {
    CParamInterfaceMessageWriter writer("request-bank");
    writer.i32(handle);
    writer.i32(requestId);
    writer.i32(factory ? 1 : 0);
    sendRequest(writer);
}

void CParamInterfaceClient::setDefaultPreset(std::int32_t handle, const CAudioPreset& preset) {
    CParamInterfaceMessageWriter writer("set-default-preset");
    writer.i32(handle);
    writer.check(preset.save(writer.stream()));
    sendRequest(writer);
}

void CParamInterfaceClient::activateDefaultPreset(std::int32_t handle) {
    sendHandleRequest("activate-default-preset", handle);
}

void CParamInterfaceClient::exchangeShadowPreset(std::int32_t handle) {
    sendHandleRequest("exchange-shadow-preset", handle);
}

void CParamInterfaceClient::updateShadowPreset(std::int32_t handle) {
    sendHandleRequest("update-shadow-preset", handle);
}

CError* CParamInterfaceClient::onUpdateRegistry() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0;
    if (CError* error = in.read32(handle))
        return traceError(error, getFullName());
    auto* node = mRegistryListeners.find(handle);
    if (node == nullptr)
        return nullptr;  // the listening ended after the reply was queued
    std::int32_t kind = 0, current = 0, count = 0;
    CString id;
    CStringList names;
    CError* error = in.read32(kind);
    if (error == nullptr) error = in.readString(id);
    if (error == nullptr) error = in.read32(current);
    if (error == nullptr) error = in.read32(count);
    for (std::int32_t i = 0; error == nullptr && i < count; ++i)
        error = in.readString(*names.addEmpty());
    if (error != nullptr)
        return traceError(error, getFullName());
    if (node->value.listener != nullptr)
        node->value.listener->onRegistryUpdate(kind != 0, id, names, current);
    return nullptr;
}

CError* CParamInterfaceClient::onRegistryData() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0, requestId = 0, kind = 0;
    if (CError* error = readInts(in, {&handle, &requestId, &kind}))
        return traceError(error, getFullName());
    auto* node = mRegistryListeners.find(handle);
    if (node == nullptr || node->value.listener == nullptr)
        return nullptr;
    // The audio side could not produce the record (an invalid index, a bank of a registry that
    // keeps none): there is nothing to hand on, and nothing went wrong on this side.
    if (in.getRemainingSize() == 0)
        return nullptr;
    CParamInterfaceRegistryListener* listener = node->value.listener;
    if (kind != 0) {
        CAudioPreset preset;
        if (CError* failed = preset.load(in))
            return traceError(failed, getFullName());
        if (CError* failed = listener->onPresetData(requestId, preset))
            return traceError(failed, getFullName());
    } else {
        CAudioPresetBank bank;
        if (CError* failed = bank.load(in))
            return traceError(failed, getFullName());
        if (CError* failed = listener->onBankData(requestId, bank))
            return traceError(failed, getFullName());
    }
    return nullptr;
}

} // namespace tal
