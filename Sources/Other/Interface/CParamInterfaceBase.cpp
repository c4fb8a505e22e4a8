#include "Other/Interface/CParamInterfaceBase.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Core/CArray.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"
#include "Other/Interface/CParamInterfaceBaseConnector.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "Other/Interface/ParamInterfaceScheme.h"

namespace tal {

CObject* CParamInterfaceBase::create() { return new CParamInterfaceBase(); }

void CParamInterfaceBase::initScheme(CObjectScheme* scheme) {
    using B = CParamInterfaceBase;
    CObject::initScheme(scheme);
    addProtocolEvent<B, &B::onCreateUndoData>(scheme, "create-undo-data");
    addProtocolEvent<B, &B::onRemoveUndoData>(scheme, "remove-undo-data");
    addProtocolEvent<B, &B::onSubmitUndoData>(scheme, "submit-undo-data");
    addProtocolEvent<B, &B::onRequestUndoHistory>(scheme, "request-undo-history");
    addProtocolEvent<B, &B::onSetUndoHistoryPos>(scheme, "set-undo-history-pos");
    addProtocolEvent<B, &B::onListenParam>(scheme, "listen-param");
    addProtocolEvent<B, &B::onUnlistenParam>(scheme, "unlisten-param");
    addProtocolEvent<B, &B::onChangeParam>(scheme, "change-param");
    addProtocolEvent<B, &B::onResetParam>(scheme, "reset-param");
    addProtocolEvent<B, &B::onListenRegistry>(scheme, "listen-registry");
    addProtocolEvent<B, &B::onUnlistenRegistry>(scheme, "unlisten-registry");
    addProtocolEvent<B, &B::onSetCurrentProgram>(scheme, "set-current-program");
    addProtocolEvent<B, &B::onRenamePreset>(scheme, "rename-preset");
    addProtocolEvent<B, &B::onActivateFactoryPreset>(scheme, "activate-factory-preset");
    addProtocolEvent<B, &B::onActivatePreset>(scheme, "activate-preset");
    addProtocolEvent<B, &B::onRequestPreset>(scheme, "request-preset");
    addProtocolEvent<B, &B::onRequestBank>(scheme, "request-bank");
    addProtocolEvent<B, &B::onSetDefaultPreset>(scheme, "set-default-preset");
    addProtocolEvent<B, &B::onActivateDefaultPreset>(scheme, "activate-default-preset");
    addProtocolEvent<B, &B::onExchangeShadowPreset>(scheme, "exchange-shadow-preset");
    addProtocolEvent<B, &B::onUpdateShadowPreset>(scheme, "update-shadow-preset");
}

CParamInterfaceBase::~CParamInterfaceBase() {
    for (auto* node = mRegistryListeners.first(); node != nullptr; node = mRegistryListeners.next(node))
        delete node->value;
    mRegistryListeners.clear();
    mParamListeners.clear();
    for (auto* node = mOpenUndo.first(); node != nullptr; node = mOpenUndo.next(node))
        delete node->value;
}

// --- life cycle ---

CError* CParamInterfaceBase::init() {
    if (CError* error = CAudioParamUndo::init())
        return traceError(error, getFullName());
    if (CError* error = findObjectByAttr(mBaseConnector, CString("base-connector"), true))
        return traceError(error, getFullName());
    if (CError* error = findObjectByAttr(mCollector, CString("param-collector"), true))
        return traceError(error, getFullName());
    setCollector(mCollector);
    mBaseConnector->setBase(this);
    return nullptr;
}

void CParamInterfaceBase::releaseLinks() {
    {
        // The host must see the end of every gesture it saw begin, also of records never submitted.
        std::lock_guard<CRecursiveMutex> guard(getLock());
        discardOpenUndo(-1);
    }
    for (auto* node = mParamListeners.first(); node != nullptr; node = mParamListeners.next(node))
        node->value.detach();
    for (auto* node = mRegistryListeners.first(); node != nullptr; node = mRegistryListeners.next(node))
        node->value->detach();
    if (mBaseConnector != nullptr)
        mBaseConnector->setBase(nullptr);
    CAudioParamUndo::releaseLinks();
}

// --- undo history ---

void CParamInterfaceBase::onHistoryChanged() { sendUndoHistory(-1); }

void CParamInterfaceBase::beginParamGesture(CAudioParam*, std::int32_t, std::int32_t) {}

void CParamInterfaceBase::endParamGesture(CAudioParam*, std::int32_t, std::int32_t) {}

bool CParamInterfaceBase::hasGestureKey(std::int32_t group, std::int32_t element) noexcept {
    return group >= 0 && group < 256 && element >= 0 && element < (1 << 23);
}

void CParamInterfaceBase::endUndoGestures(CAudioParamUndoRecord& record) {
    const auto& entries = record.entries();
    for (auto* entry = entries.first(); entry != nullptr; entry = entries.next(entry)) {
        const auto& keys = entry->value->touched();
        if (keys.isEmpty())
            continue;
        CAudioParam* param = mCollector->findParam(entry->key);
        for (auto* key = keys.first(); key != nullptr && param != nullptr; key = keys.next(key))
            endParamGesture(param, key->key & 255, key->key >> 8);
    }
}

CAudioParamUndoRecord* CParamInterfaceBase::takeOpenUndo(std::int32_t id) {
    auto* node = mOpenUndo.find(id);
    if (node == nullptr)
        return nullptr;
    CAudioParamUndoRecord* record = node->value;
    mOpenUndo.removeNode(node);
    return record;
}

void CParamInterfaceBase::discardOpenUndo(std::int32_t clientId) {
    for (auto* node = mOpenUndo.first(); node != nullptr;) {
        auto* next = mOpenUndo.next(node);
        if (clientId == -1 || (node->key >> 16) == clientId) {
            CAudioParamUndoRecord* record = node->value;
            mOpenUndo.removeNode(node);
            endUndoGestures(*record);
            delete record;
        }
        node = next;
    }
}

void CParamInterfaceBase::onClientGone(std::int32_t clientId) {
    // Nothing of a client that went away can reach it any more: its open records end their
    // gestures, and its parameter and registry listenings end as if it had unlistened them.
    CArray<CRegistryListener*> gone;
    {
        std::lock_guard<CRecursiveMutex> guard(getLock());
        discardOpenUndo(clientId);
        for (auto* node = mParamListeners.first(); node != nullptr;) {
            auto* next = mParamListeners.next(node);
            if ((node->key >> 16) == clientId)
                mParamListeners.removeNode(node);
            node = next;
        }
        for (auto* node = mRegistryListeners.first(); node != nullptr;) {
            auto* next = mRegistryListeners.next(node);
            if ((node->key >> 16) == clientId) {
                gone.add(node->value);
                mRegistryListeners.removeNode(node);
            }
            node = next;
        }
    }
    for (CRegistryListener* listener : gone)
        delete listener;  // detaching waits for a running notification: not under the undo lock
}

CError* CParamInterfaceBase::onCreateUndoData() {
    CMemoryReader& in = messageReader();
    std::int32_t id = 0, mergeable = 0, mergeKey = 0;
    CString name;
    CError* error = in.read32(id);
    if (error == nullptr) error = in.readString(name);
    if (error == nullptr) error = in.read32(mergeable);
    if (error == nullptr) error = in.read32(mergeKey);
    if (error != nullptr)
        return traceError(error, getFullName());
    auto* record = new CAudioParamUndoRecord(name, mergeable != 0, mergeKey);
    std::lock_guard<CRecursiveMutex> guard(getLock());
    // A record still open under the id is replaced; the gestures begun in it end first.
    if (CAudioParamUndoRecord* old = takeOpenUndo(id)) {
        endUndoGestures(*old);
        delete old;
    }
    mOpenUndo.findOrAdd(id)->value = record;
    return nullptr;
}

CError* CParamInterfaceBase::onRemoveUndoData() {
    std::int32_t id = 0;
    if (CError* error = messageReader().read32(id))
        return traceError(error, getFullName());
    std::lock_guard<CRecursiveMutex> guard(getLock());
    if (CAudioParamUndoRecord* record = takeOpenUndo(id)) {
        endUndoGestures(*record);
        delete record;
    }
    return nullptr;
}

CError* CParamInterfaceBase::onSubmitUndoData() {
    CMemoryReader& in = messageReader();
    std::int32_t id = 0;
    CString name;
    CError* error = in.read32(id);
    if (error == nullptr) error = in.readString(name);
    if (error != nullptr)
        return traceError(error, getFullName());
    std::lock_guard<CRecursiveMutex> guard(getLock());
    if (CAudioParamUndoRecord* record = takeOpenUndo(id)) {
        endUndoGestures(*record);
        if (!name.isEmpty())
            record->setName(name);
        addRecord(record);
    }
    return nullptr;
}

CError* CParamInterfaceBase::onRequestUndoHistory() {
    std::int32_t clientId = 0;
    if (CError* error = messageReader().read32(clientId))
        return traceError(error, getFullName());
    sendUndoHistory(clientId);
    return nullptr;
}

CError* CParamInterfaceBase::onSetUndoHistoryPos() {
    std::int32_t target = 0;
    if (CError* error = messageReader().read32(target))
        return traceError(error, getFullName());
    setHistoryPosition(target, true);
    return nullptr;
}

void CParamInterfaceBase::sendUndoHistory(std::int32_t clientId) {
    CParamInterfaceMessageWriter writer("update-undo-history");
    CStringList names;
    std::int32_t position = 0;
    getHistory(names, position);
    writer.i32(position);
    writer.i32(names.count());
    for (int i = 0; i < names.count(); ++i)
        writer.string(names[i]);
    sendMessage(clientId, writer);
}

// --- parameters ---

void CParamInterfaceBase::CParamListener::onParamChange(const CAudioParamUpdateInfo& info) {
    if (info.change->group == CAudioParamChange::kFormatGroup)
        mBase->sendParamInfo(mHandle, mParam->getInfo(), info.change);
    else
        mBase->sendParamUpdate(mHandle, *info.change);
}

void CParamInterfaceBase::CParamListener::attach() { mParam->addListener(this); }

CError* CParamInterfaceBase::onListenParam() {
    CMemoryReader& in = messageReader();
    CString name;
    std::int32_t handle = 0;
    CError* error = in.readString(name);
    if (error == nullptr) error = in.read32(handle);
    if (error != nullptr)
        return traceError(error, getFullName());

    std::lock_guard<CRecursiveMutex> guard(getLock());
    bool added = false;
    auto* node = mParamListeners.findOrAddWith(handle, &added, this, mCollector->acquireParam(name), handle);
    if (!added)
        return nullptr;
    CAudioParam* param = node->value.param();
    CAudioParamLock lock(param);
    node->value.attach();
    const CAudioParamInfo* info = param->getInfo();
    if (info == nullptr) {
        sendParamInfo(handle, nullptr, nullptr);
        return nullptr;
    }
    // The format and defaults first, then the values of every group.
    const CAudioParamStorage& current = param->getCurrent();
    const int elementSize = current.getElementSize();
    const int defaults = elementSize > 0 ? current.getDefaultCount() / elementSize : 0;
    CAudioParamChange change = CAudioParamChange::make(CAudioParamChange::kFormatGroup, 0, defaults, true, this,
                                                       current, current.getDefaultRow(), &current.getData());
    sendParamInfo(handle, info, &change);
    for (int g = 0; g < current.getGroupCount(); ++g) {
        change.group = g;
        const bool hasValues = current.isFormatSet() && current.getElementCount(g) > 0;
        change.count = hasValues ? current.getElementCount(g) : 0;
        change.values = hasValues ? current.getValues(g) : nullptr;
        sendParamUpdate(handle, change);
    }
    return nullptr;
}

CError* CParamInterfaceBase::onUnlistenParam() {
    std::int32_t handle = 0;
    if (CError* error = messageReader().read32(handle))
        return traceError(error, getFullName());
    std::lock_guard<CRecursiveMutex> guard(getLock());
    if (auto* node = mParamListeners.find(handle))
        mParamListeners.removeNode(node);  // the listener detaches itself
    return nullptr;
}

CError* CParamInterfaceBase::onChangeParam() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0, undoId = 0;
    CAudioParamChangeBuffer buffer;  // owns what the change points to, on every path
    CAudioParamChange change;
    CError* error = in.read32(handle);
    if (error == nullptr) error = in.read32(undoId);
    if (error == nullptr) error = CAudioParamStorage::readChange(buffer, in, change, this);
    if (error != nullptr)
        return traceError(error, getFullName());

    std::lock_guard<CRecursiveMutex> guard(getLock());
    auto* node = mParamListeners.find(handle);
    if (node == nullptr)
        return nullptr;
    CAudioParam* param = node->value.param();
    CAudioParamLock lock(param);
    const CAudioParamInfo* info = param->getInfo();
    if (info == nullptr || change.elementSize != info->getElementSize() || change.dataType != info->getDataType() ||
        change.singleGroup != info->isSingleGroup() || change.singleElement != info->isSingleElement())
        return nullptr;
    // The first change of an element inside an open undo record begins the element's edit gesture.
    CAudioParamUndoRecord* record = nullptr;
    if (auto* open = mOpenUndo.find(undoId)) {
        record = open->value;
        auto& keys = record->acquireEntry(param->getName())->touched();
        for (std::int32_t e = change.firstElement; e < change.firstElement + change.count; ++e) {
            if (!hasGestureKey(change.group, e))
                continue;
            bool added = false;
            keys.findOrAddWith(gestureKey(change.group, e), &added, 1);
            if (added)
                beginParamGesture(param, change.group, e);
        }
    }
    // An edit of values makes the presets that hold the parameter read "User". A format change
    // (group 9999) edits no values of a group, and would turn the name parameter's own format into
    // that text.
    if (change.group >= 0 && change.group != CAudioParamChange::kFormatGroup)
        param->markOwnerPresetsUser(&lock, change.group, record);
    param->applyChange(change, &lock, CAudioParamContext{record, nullptr, false});
    return nullptr;
}

CError* CParamInterfaceBase::onResetParam() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0, group = 0, element = 0, undoId = 0, firstElement = 0;
    if (CError* error = readInts(in, {&handle, &group, &element, &undoId, &firstElement}))
        return traceError(error, getFullName());

    // A reset of one element first fills the group up to it; an element far beyond any real
    // parameter would make that fill run for minutes and flood the editors.
    if (element > kMaxResetElement)
        return nullptr;
    std::lock_guard<CRecursiveMutex> guard(getLock());
    auto* node = mParamListeners.find(handle);
    if (node == nullptr)
        return nullptr;
    CAudioParam* param = node->value.param();
    CAudioParamLock lock(param);
    if (param->getInfo() == nullptr)
        return nullptr;
    // Every step is an ordinary change: listeners report it and an open record captures it. No
    // gesture begins: a reset is one click, not a drag.
    auto* open = mOpenUndo.find(undoId);
    param->resetValues(group, element, &lock, CAudioParamContext{open != nullptr ? open->value : nullptr, nullptr, false},
                       firstElement != 0);
    return nullptr;
}

void CParamInterfaceBase::sendParamInfo(std::int32_t handle, const CAudioParamInfo* info,
                                        const CAudioParamChange* change) {
    CParamInterfaceMessageWriter writer("update-param-info");
    writer.i32(handle);
    writer.i32(info != nullptr ? 1 : 0);
    if (info != nullptr)
        writer.check(info->save(writer.stream()));
    writer.i32(change != nullptr ? 1 : 0);
    if (change != nullptr)
        writer.check(CAudioParamStorage::writeChange(*change, writer.stream()));
    sendMessage(handle >> 16, writer);
}

void CParamInterfaceBase::sendParamUpdate(std::int32_t handle, const CAudioParamChange& change) {
    CParamInterfaceMessageWriter writer("update-param");
    writer.i32(handle);
    writer.check(CAudioParamStorage::writeChange(change, writer.stream()));
    sendMessage(handle >> 16, writer);
}

void CParamInterfaceBase::sendMessage(std::int32_t clientId, CParamInterfaceMessageWriter& writer) {
    CByteBuffer message;
    writer.moveTo(message);
    if (mBaseConnector != nullptr)
        mBaseConnector->sendToClient(clientId, message);
}

// --- registries ---

void CParamInterfaceBase::CRegistryListener::onRegistryUpdate(CAudioParamRegistry*, const void*) {
    // Only the session names change after listening; the factory bank never does.
    mBase->sendRegistryNames(*mRegistry, mHandle, 0);
}

void CParamInterfaceBase::CRegistryListener::attach() {
    if (mRegistry != nullptr)
        mRegistry->addListener(this);
}

CAudioParamRegistry* CParamInterfaceBase::findRegistry(const CString& name) const {
    const CObject* top = root() != nullptr ? root() : this;
    auto* registry = dynamic_cast<CAudioParamRegistry*>(top->findObject(name));
    // Only a registry of this instance, named by its full name (not "shared::" or a relative path).
    if (registry == nullptr || registry->getFullName() != name)
        return nullptr;
    const CObject* registryTop = registry->root() != nullptr ? registry->root() : registry;
    return registryTop == top ? registry : nullptr;
}

CError* CParamInterfaceBase::getRegistry(std::int32_t handle, CAudioParamRegistry*& registry) {
    registry = nullptr;
    std::lock_guard<CRecursiveMutex> guard(getLock());
    auto* node = mRegistryListeners.find(handle);
    if (node == nullptr)
        return newError("@talstr_CParamInterfaceBase_getRegistry_NoParamRegistry No param registry object '%1' found.",
                        getFullName(), CString(handle));
    registry = node->value->registry();
    if (registry == nullptr)
        return newError("@talstr_CParamInterfaceBase_getRegistry_ParamRegistryNULL Param registry object '%1' is NULL.",
                        getFullName(), CString(handle));
    return nullptr;
}

CError* CParamInterfaceBase::readRegistryHandle(std::int32_t& handle, CAudioParamRegistry*& registry) {
    registry = nullptr;
    if (CError* error = messageReader().read32(handle))
        return traceError(error, getFullName());
    if (CError* error = getRegistry(handle, registry))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CParamInterfaceBase::readRegistryCommand(CAudioParamRegistry*& registry, std::int32_t& value) {
    std::int32_t handle = 0;
    if (CError* error = readRegistryHandle(handle, registry))
        return traceError(error, getFullName());
    if (CError* error = messageReader().read32(value))
        return traceError(error, getFullName());
    return nullptr;
}

void CParamInterfaceBase::sendRegistryNames(CAudioParamRegistry& registry, std::int32_t handle, std::int32_t kind) {
    if (kind != 0 && !registry.isMaster())
        return;
    CStringList names;
    int current = -1;
    registry.getPresetNames(kind != 0, names, current);
    CParamInterfaceMessageWriter writer("update-registry");
    writer.i32(handle);
    writer.i32(kind);
    writer.string(registry.getId());
    writer.i32(current);
    writer.i32(names.count());
    for (int i = 0; i < names.count(); ++i)
        writer.string(names[i]);
    sendMessage(handle >> 16, writer);
}

void CParamInterfaceBase::sendRegistryUpdate(std::int32_t handle, std::int32_t kind) {
    CAudioParamRegistry* registry = nullptr;
    if (CError* error = getRegistry(handle, registry)) {
        delete error;  // a handle without registry has nothing to announce
        return;
    }
    sendRegistryNames(*registry, handle, kind);
}

CError* CParamInterfaceBase::onListenRegistry() {
    CMemoryReader& in = messageReader();
    CString name;
    std::int32_t handle = 0;
    CError* error = in.readString(name);
    if (error == nullptr) error = in.read32(handle);
    if (error != nullptr)
        return traceError(error, getFullName());
    CAudioParamRegistry* registry = findRegistry(name);
    {
        std::lock_guard<CRecursiveMutex> guard(getLock());
        bool added = false;
        auto* node = mRegistryListeners.findOrAdd(handle, &added);
        if (!added)
            return nullptr;  // a known handle: no second listening, no names
        // A name that matches no registry still takes the handle: its requests then fail.
        node->value = new CRegistryListener(this, registry, handle);
        node->value->attach();
    }
    // The names are read under the registry's preset lock, which must not be taken inside the undo
    // lock (the registry takes them the other way round).
    if (registry != nullptr) {
        sendRegistryNames(*registry, handle, 0);
        sendRegistryNames(*registry, handle, 1);
    }
    return nullptr;
}

CError* CParamInterfaceBase::onUnlistenRegistry() {
    std::int32_t handle = 0;
    if (CError* error = messageReader().read32(handle))
        return traceError(error, getFullName());
    CRegistryListener* listener = nullptr;
    {
        std::lock_guard<CRecursiveMutex> guard(getLock());
        if (auto* node = mRegistryListeners.find(handle)) {
            listener = node->value;
            mRegistryListeners.removeNode(node);
        }
    }
    delete listener;  // detaching waits for a running notification: not under the undo lock
    return nullptr;
}

CError* CParamInterfaceBase::onSetCurrentProgram() {
    CAudioParamRegistry* registry = nullptr;
    std::int32_t index = 0;
    if (CError* error = readRegistryCommand(registry, index))
        return traceError(error, getFullName());
    registry->setCurrentProgram(index, this);
    return nullptr;
}

CError* CParamInterfaceBase::onRenamePreset() {
    CAudioParamRegistry* registry = nullptr;
    std::int32_t index = 0;
    CString name;
    if (CError* error = readRegistryCommand(registry, index))
        return traceError(error, getFullName());
    if (CError* error = messageReader().readString(name))
        return traceError(error, getFullName());
    registry->renamePreset(index, name, this);
    return nullptr;
}

CError* CParamInterfaceBase::onActivateFactoryPreset() {
    CAudioParamRegistry* registry = nullptr;
    std::int32_t index = 0;
    if (CError* error = readRegistryCommand(registry, index))
        return traceError(error, getFullName());
    registry->activateFactoryPreset(index);
    return nullptr;
}

CError* CParamInterfaceBase::onActivatePreset() {
    CAudioParamRegistry* registry = nullptr;
    std::int32_t group = 0;
    if (CError* error = readRegistryCommand(registry, group))
        return traceError(error, getFullName());
    if (CError* error = registry->activatePreset(messageReader(), false, group))
        return traceError(error, getFullName());
    return nullptr;
}

template <class Write>
void CParamInterfaceBase::sendRegistryData(std::int32_t handle, std::int32_t requestId, std::int32_t kind,
                                           Write&& write) {
    // The record is built apart, so that a registry that fails half-way leaves no partial record in
    // the reply: the client then sees a reply without record.
    CWriteSeqBuffer record;
    CByteBuffer bytes;
    if (CError* error = write(record)) {
        reportError(&error);
    } else {
        record.moveTo(bytes);
    }
    CParamInterfaceMessageWriter writer("registry-data");
    writer.i32(handle);
    writer.i32(requestId);
    writer.i32(kind);
    if (!bytes.isEmpty())
        writer.check(writer.stream().write(bytes.data(), bytes.size()));
    sendMessage(handle >> 16, writer);
}

CError* CParamInterfaceBase::onRequestPreset() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0, requestId = 0, factory = 0, index = 0, group = 0;
    if (CError* error = readInts(in, {&handle, &requestId, &factory, &index, &group}))
        return traceError(error, getFullName());
    CAudioParamRegistry* registry = nullptr;
    if (CError* missing = getRegistry(handle, registry))
        return traceError(missing, getFullName());
    sendRegistryData(handle, requestId, 1, [&](COutputStream& out) {
        return registry->acquirePreset(factory != 0, index, group, out);
    });
    return nullptr;
}

CError* CParamInterfaceBase::onRequestBank() {
    CMemoryReader& in = messageReader();
    std::int32_t handle = 0, requestId = 0, factory = 0;
    if (CError* error = readInts(in, {&handle, &requestId, &factory}))
        return traceError(error, getFullName());
    CAudioParamRegistry* registry = nullptr;
    if (CError* missing = getRegistry(handle, registry))
        return traceError(missing, getFullName());
    sendRegistryData(handle, requestId, 0, [&](COutputStream& out) { return registry->acquireBank(factory != 0, out); });
    return nullptr;
}

template <class Operation>
CError* CParamInterfaceBase::runOnRegistry(Operation&& operation) {
    std::int32_t handle = 0;
    CAudioParamRegistry* registry = nullptr;
    if (CError* error = readRegistryHandle(handle, registry))
        return traceError(error, getFullName());
    operation(*registry);
    return nullptr;
}

CError* CParamInterfaceBase::onSetDefaultPreset() {
    // The registry reads the preset record that follows the handle; an unreadable one changes nothing.
    return runOnRegistry([&](CAudioParamRegistry& registry) { registry.setDefaultPreset(messageReader()); });
}

CError* CParamInterfaceBase::onActivateDefaultPreset() {
    return runOnRegistry([](CAudioParamRegistry& registry) { registry.resetToDefaults(); });
}

CError* CParamInterfaceBase::onExchangeShadowPreset() {
    return runOnRegistry([](CAudioParamRegistry& registry) { registry.exchangeShadowPreset(); });
}

CError* CParamInterfaceBase::onUpdateShadowPreset() {
    return runOnRegistry([](CAudioParamRegistry& registry) { registry.updateShadowPreset(); });
}

// --- queries ---

int CParamInterfaceBase::registryListenerCount() {
    std::lock_guard<CRecursiveMutex> guard(getLock());
    return mRegistryListeners.count();
}

int CParamInterfaceBase::openUndoCount() {
    std::lock_guard<CRecursiveMutex> guard(getLock());
    return mOpenUndo.count();
}

int CParamInterfaceBase::paramListenerCount() {
    std::lock_guard<CRecursiveMutex> guard(getLock());
    return mParamListeners.count();
}

} // namespace tal
