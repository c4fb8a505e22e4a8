#include "Other/Interface/CParamInterfaceBase.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
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
}

CParamInterfaceBase::~CParamInterfaceBase() {
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
        std::lock_guard<std::recursive_mutex> guard(getLock());
        discardOpenUndo(-1);
    }
    for (auto* node = mParamListeners.first(); node != nullptr; node = mParamListeners.next(node))
        node->value.detach();
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
    std::lock_guard<std::recursive_mutex> guard(getLock());
    discardOpenUndo(clientId);
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
    std::lock_guard<std::recursive_mutex> guard(getLock());
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
    std::lock_guard<std::recursive_mutex> guard(getLock());
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
    std::lock_guard<std::recursive_mutex> guard(getLock());
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

void CParamInterfaceBase::CParamListener::attach() {
    if (!mAttached) {
        mParam->addListener(this);
        mAttached = true;
    }
}

void CParamInterfaceBase::CParamListener::detach() {
    if (mAttached) {
        mParam->removeListener(this);  // under the parameter's lock: a running report ends first
        mAttached = false;
    }
}

CError* CParamInterfaceBase::onListenParam() {
    CMemoryReader& in = messageReader();
    CString name;
    std::int32_t handle = 0;
    CError* error = in.readString(name);
    if (error == nullptr) error = in.read32(handle);
    if (error != nullptr)
        return traceError(error, getFullName());

    std::lock_guard<std::recursive_mutex> guard(getLock());
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
    CAudioParamChange change;
    change.group = CAudioParamChange::kFormatGroup;
    change.firstElement = 0;
    change.elementSize = current.getElementSize();
    change.count = change.elementSize > 0 ? current.getDefaultCount() / change.elementSize : 0;
    change.truncate = true;
    change.sender = this;
    change.dataType = current.getDataType();
    change.singleGroup = current.isSingleGroup();
    change.singleElement = current.isSingleElement();
    change.values = current.getDefaultRow();
    change.table = &current.getData();
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
    std::lock_guard<std::recursive_mutex> guard(getLock());
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

    std::lock_guard<std::recursive_mutex> guard(getLock());
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
    param->applyChange(change, &lock, CAudioParamContext{record, nullptr, false});
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

// --- queries ---

int CParamInterfaceBase::openUndoCount() {
    std::lock_guard<std::recursive_mutex> guard(getLock());
    return mOpenUndo.count();
}

int CParamInterfaceBase::paramListenerCount() {
    std::lock_guard<std::recursive_mutex> guard(getLock());
    return mParamListeners.count();
}

} // namespace tal
