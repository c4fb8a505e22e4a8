#include "Other/Interface/CAudioInterfaceBase.h"

#include "Core/CError.h"
#include "Other/Interface/CAudioInterfaceDataProvider.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "Other/Interface/ParamInterfaceScheme.h"

#include <algorithm>
#include <mutex>

namespace tal {

namespace {

// The export slots that "listen-viz" may name: -1 (this instance's own items) and the 48 slots.
bool isValidExportSlot(std::int32_t slot) { return slot >= -1 && slot < 48; }

} // namespace

CObject* CAudioInterfaceBase::create() { return new CAudioInterfaceBase(); }

void CAudioInterfaceBase::initScheme(CObjectScheme* scheme) {
    using B = CAudioInterfaceBase;
    CParamInterfaceBase::initScheme(scheme);
    addProtocolEvent<B, &B::onListenViz>(scheme, "listen-viz");
    addProtocolEvent<B, &B::onUnlistenViz>(scheme, "unlisten-viz");
    addProtocolEvent<B, &B::onRequestVizData>(scheme, "request-viz-data");
    addProtocolEvent<B, &B::onRequestExportSlotNames>(scheme, "request-export-slot-names");
    addProtocolEvent<B, &B::onRequestInternalChannelCount>(scheme, "request-internal-channel-count");
    addProtocolEvent<B, &B::onRequestGroupCount>(scheme, "request-group-count");
    addProtocolEvent<B, &B::onRequestIOChannelCounts>(scheme, "request-io-channel-counts");
    addProtocolEvent<B, &B::onRequestSampleRate>(scheme, "request-sample-rate");
    addProtocolEvent<B, &B::onImportChannelLabels>(scheme, "import-channel-labels");
}

CAudioInterfaceBase::~CAudioInterfaceBase() = default;

// --- life cycle ---

CError* CAudioInterfaceBase::init() {
    if (CError* error = CParamInterfaceBase::init())
        return traceError(error, getFullName());
    if (CError* error = findObjectByAttr(mVizCollector, CString("viz-collector"), true))
        return traceError(error, getFullName());
    mVizCollector->setNamesListener(this);
    return nullptr;
}

void CAudioInterfaceBase::releaseLinks() {
    if (mVizCollector != nullptr) {
        mVizCollector->setNamesListener(nullptr);
        for (auto* node = mVizListeners.first(); node != nullptr; node = mVizListeners.next(node))
            withdraw(node->value);
        mVizListeners.clear();
    }
    CParamInterfaceBase::releaseLinks();
}

void CAudioInterfaceBase::setDataProvider(CAudioInterfaceDataProvider* provider) noexcept {
    mProvider.store(provider, std::memory_order_release);
}

// --- gestures ---

void CAudioInterfaceBase::beginParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) {
    if (CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire))
        provider->beginParamGesture(param, group, element);
}

void CAudioInterfaceBase::endParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) {
    if (CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire))
        provider->endParamGesture(param, group, element);
}

// --- visualisation ---

void CAudioInterfaceBase::withdraw(const CVizEntry& entry) {
    if (entry.exportSlot == -1)
        mVizCollector->removeItemRequest(entry.item);
    else
        mVizCollector->removeSlotRequest(entry.exportSlot, entry.itemName);
}

CError* CAudioInterfaceBase::onListenViz() {
    CMemoryReader& in = messageReader();
    std::int32_t slot = 0, handle = 0;
    CString name;
    CError* error = in.read32(slot);
    if (error == nullptr) error = in.readString(name);
    if (error == nullptr) error = in.read32(handle);
    if (error != nullptr)
        return traceError(error, getFullName());
    if (!isValidExportSlot(slot))
        return nullptr;  // no such slot: nothing to count
    std::lock_guard<CRecursiveMutex> guard(getLock());
    bool added = false;
    CVizEntry& entry = mVizListeners.findOrAdd(handle, &added)->value;
    if (!added)
        return nullptr;
    entry.exportSlot = slot;
    if (slot == -1) {
        entry.item = mVizCollector->getVizItem(name);
        mVizCollector->addItemRequest(entry.item);
    } else {
        entry.itemName = name;
        mVizCollector->addSlotRequest(slot, name);
    }
    return nullptr;
}

CError* CAudioInterfaceBase::onUnlistenViz() {
    std::int32_t handle = 0;
    if (CError* error = messageReader().read32(handle))
        return traceError(error, getFullName());
    std::lock_guard<CRecursiveMutex> guard(getLock());
    if (auto* node = mVizListeners.find(handle)) {
        withdraw(node->value);
        mVizListeners.removeNode(node);
    }
    return nullptr;
}

CError* CAudioInterfaceBase::onRequestVizData() {
    CMemoryReader& in = messageReader();
    std::int32_t clientId = 0;
    double rate = 0.0;
    CError* error = in.read32(clientId);
    if (error == nullptr) error = in.readDouble(rate);
    if (error != nullptr)
        return traceError(error, getFullName());
    CParamInterfaceMessageWriter writer("viz-data");
    writer.check(mVizCollector->writeVizData(writer.stream(), rate));
    sendMessage(clientId, writer);
    return nullptr;
}

void CAudioInterfaceBase::exportSlotNamesChanged(CAudioVizCollector&) { sendExportSlotNames(-1); }

int CAudioInterfaceBase::vizListenerCount() {
    std::lock_guard<CRecursiveMutex> guard(getLock());
    return mVizListeners.count();
}

// --- requests for the layout ---

CError* CAudioInterfaceBase::answer(void (CAudioInterfaceBase::*sender)(std::int32_t)) {
    std::int32_t clientId = 0;
    if (CError* error = messageReader().read32(clientId))
        return traceError(error, getFullName());
    (this->*sender)(clientId);
    return nullptr;
}

CError* CAudioInterfaceBase::onRequestExportSlotNames() { return answer(&CAudioInterfaceBase::sendExportSlotNames); }
CError* CAudioInterfaceBase::onRequestInternalChannelCount() {
    return answer(&CAudioInterfaceBase::sendInternalChannelCount);
}
CError* CAudioInterfaceBase::onRequestGroupCount() { return answer(&CAudioInterfaceBase::sendGroupCount); }
CError* CAudioInterfaceBase::onRequestIOChannelCounts() { return answer(&CAudioInterfaceBase::sendIOChannelCounts); }
CError* CAudioInterfaceBase::onRequestSampleRate() { return answer(&CAudioInterfaceBase::sendSampleRate); }

CError* CAudioInterfaceBase::onImportChannelLabels() {
    if (CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire))
        provider->importChannelLabels();
    return nullptr;
}

// --- senders ---

void CAudioInterfaceBase::sendNameOnly(const char* eventName, std::int32_t clientId) {
    CParamInterfaceMessageWriter writer(eventName);
    sendMessage(clientId, writer);
}

void CAudioInterfaceBase::sendClearClient() { sendNameOnly("clear-client", -1); }
void CAudioInterfaceBase::sendStartViz(std::int32_t clientId) { sendNameOnly("start-viz", clientId); }
void CAudioInterfaceBase::sendStopViz(std::int32_t clientId) { sendNameOnly("stop-viz", clientId); }

void CAudioInterfaceBase::sendInternalChannelCount(std::int32_t clientId) {
    CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire);
    CParamInterfaceMessageWriter writer("update-internal-channel-count");
    writer.i32(provider != nullptr ? provider->getInternalChannelCount() : 1);
    sendMessage(clientId, writer);
}

void CAudioInterfaceBase::sendGroupCount(std::int32_t clientId) {
    CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire);
    CParamInterfaceMessageWriter writer("update-group-count");
    writer.i32(provider != nullptr ? provider->getGroupCount() : 1);
    sendMessage(clientId, writer);
}

void CAudioInterfaceBase::sendIOChannelCounts(std::int32_t clientId) {
    CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire);
    CParamInterfaceMessageWriter writer("update-io-channel-counts");
    writer.i32(provider != nullptr ? provider->getInputChannelCount() : 1);
    writer.i32(provider != nullptr ? provider->getOutputChannelCount() : 1);
    writer.i32(provider != nullptr ? provider->getSidechainChannelCount() : 0);
    sendMessage(clientId, writer);
}

void CAudioInterfaceBase::sendSampleRate(std::int32_t clientId) {
    std::lock_guard<std::recursive_mutex> guard(objectMutex());
    CAudioInterfaceDataProvider* provider = mProvider.load(std::memory_order_acquire);
    CParamInterfaceMessageWriter writer("update-sample-rate");
    writer.i32(++mSampleRateCounter);
    writer.f64(provider != nullptr ? provider->getSampleRate() : 44100.0);
    sendMessage(clientId, writer);
}

// --- posted messages ---

void CAudioInterfaceBase::postMessage(CPosted message) noexcept {
    CSpinLockGuard guard(mPostLock);
    if (mPostedCount > 0 && mPosted[mPostedCount - 1] == message)
        return;
    if (mPostedCount == kMaxPosted) {
        std::copy(mPosted + 1, mPosted + kMaxPosted, mPosted);
        --mPostedCount;
    }
    mPosted[mPostedCount++] = message;
}

void CAudioInterfaceBase::sendPostedMessages() {
    CPosted posted[kMaxPosted];
    std::int32_t count = 0;
    {
        CSpinLockGuard guard(mPostLock);
        count = mPostedCount;
        std::copy(mPosted, mPosted + count, posted);
        mPostedCount = 0;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        switch (posted[i]) {
        case CPosted::kClearClient: sendClearClient(); break;
        case CPosted::kStartViz: sendStartViz(-1); break;
        case CPosted::kStopViz: sendStopViz(-1); break;
        case CPosted::kIOChannelCounts: sendIOChannelCounts(-1); break;
        }
    }
}

void CAudioInterfaceBase::sendExportSlotNames(std::int32_t clientId) {
    CParamInterfaceMessageWriter writer("export-slot-names");
    writer.check(mVizCollector->writeExportSlotNames(writer.stream()));
    sendMessage(clientId, writer);
}

} // namespace tal
