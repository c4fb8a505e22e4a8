#include "Other/Interface/CAudioInterfaceClient.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "Other/Interface/CAudioInterfaceVizProcessor.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "Other/Interface/ParamInterfaceScheme.h"

namespace tal {

CObject* CAudioInterfaceClient::create() { return new CAudioInterfaceClient(); }

void CAudioInterfaceClient::initScheme(CObjectScheme* scheme) {
    using C = CAudioInterfaceClient;
    CParamInterfaceClient::initScheme(scheme);
    addProtocolEvent<C, &C::onStartViz>(scheme, "start-viz");
    addProtocolEvent<C, &C::onStopViz>(scheme, "stop-viz");
    addProtocolEvent<C, &C::onClearClient>(scheme, "clear-client");
    addProtocolEvent<C, &C::onUpdateInternalChannelCount>(scheme, "update-internal-channel-count");
    addProtocolEvent<C, &C::onUpdateGroupCount>(scheme, "update-group-count");
    addProtocolEvent<C, &C::onUpdateIOChannelCounts>(scheme, "update-io-channel-counts");
    addProtocolEvent<C, &C::onUpdateSampleRate>(scheme, "update-sample-rate");
    addProtocolEvent<C, &C::onVizData>(scheme, "viz-data");
    addProtocolEvent<C, &C::onExportSlotNames>(scheme, "export-slot-names");
    addProtocolEvent<C, &C::onImportChannelLabels>(scheme, "import-channel-labels");
}

CAudioInterfaceClient::CAudioInterfaceClient() = default;

CAudioInterfaceClient::~CAudioInterfaceClient() { delete mGroupNamesInfo; }

// --- life cycle ---

CError* CAudioInterfaceClient::init() {
    if (CError* error = CParamInterfaceClient::init())
        return traceError(error, getFullName());
    mInternalChannelCount = 2;
    mGroupCount = 2;
    mInputChannelCount = 2;
    mOutputChannelCount = 2;
    mSidechainChannelCount = 0;
    mSampleRate = 44100.0;
    requestInternalChannelCount();
    requestGroupCount();
    requestIOChannelCounts();
    requestSampleRate();
    const CString& groupNames = getTextAttr("group-names-param");
    if (!groupNames.isEmpty())
        listenParam(groupNames, &mGroupNamesListener);
    return nullptr;
}

void CAudioInterfaceClient::releaseLinks() {
    for (auto* node = mVizListeners.first(); node != nullptr; node = mVizListeners.next(node)) {
        CParamInterfaceMessageWriter writer("unlisten-viz");
        writer.i32(node->key);
        sendRequest(writer);
    }
    CParamInterfaceClient::releaseLinks();
}

// --- requests ---

std::int32_t CAudioInterfaceClient::listenViz(std::int32_t exportSlot, const CString& itemName) {
    const std::int32_t handle = nextHandle(mVizListenCounter);
    auto& entry = mVizListeners.findOrAdd(handle)->value;
    entry.exportSlot = exportSlot;
    entry.itemName = itemName;
    CParamInterfaceMessageWriter writer("listen-viz");
    writer.i32(exportSlot);
    writer.string(itemName);
    writer.i32(handle);
    sendRequest(writer);
    return handle;
}

void CAudioInterfaceClient::unlistenViz(std::int32_t handle) {
    auto* node = mVizListeners.find(handle);
    if (node == nullptr)
        return;
    CParamInterfaceMessageWriter writer("unlisten-viz");
    writer.i32(handle);
    sendRequest(writer);
    mVizListeners.removeNode(node);
}

void CAudioInterfaceClient::requestVizData(double frameRate) {
    CParamInterfaceMessageWriter writer("request-viz-data");
    writer.i32(mClientId);
    writer.f64(frameRate);
    sendRequest(writer);
}

void CAudioInterfaceClient::sendClientIdRequest(const char* eventName) {
    CParamInterfaceMessageWriter writer(eventName);
    writer.i32(mClientId);
    sendRequest(writer);
}

void CAudioInterfaceClient::requestExportSlotNames() { sendClientIdRequest("request-export-slot-names"); }
void CAudioInterfaceClient::requestInternalChannelCount() { sendClientIdRequest("request-internal-channel-count"); }
void CAudioInterfaceClient::requestGroupCount() { sendClientIdRequest("request-group-count"); }
void CAudioInterfaceClient::requestIOChannelCounts() { sendClientIdRequest("request-io-channel-counts"); }
void CAudioInterfaceClient::requestSampleRate() { sendClientIdRequest("request-sample-rate"); }

// --- replies ---

CError* CAudioInterfaceClient::onClearClient() {
    if (mVizProcessor != nullptr)
        mVizProcessor->onClearClient();
    return nullptr;
}

CError* CAudioInterfaceClient::onStartViz() {
    if (mVizProcessor != nullptr)
        mVizProcessor->onStartViz();
    return nullptr;
}

CError* CAudioInterfaceClient::onStopViz() {
    if (mVizProcessor != nullptr)
        mVizProcessor->onStopViz();
    return nullptr;
}

CError* CAudioInterfaceClient::readCount(std::int32_t& value, const char* eventName) {
    if (CError* error = messageReader().read32(value))
        return traceError(error, getFullName());
    if (CError* error = fireEvent(CString(eventName), false))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CAudioInterfaceClient::onUpdateInternalChannelCount() {
    return readCount(mInternalChannelCount, "update-internal-channel-count");
}

CError* CAudioInterfaceClient::onUpdateGroupCount() { return readCount(mGroupCount, "update-group-count"); }

CError* CAudioInterfaceClient::onUpdateIOChannelCounts() {
    CMemoryReader& in = messageReader();
    std::int32_t counts[3] = {0, 0, 0};
    for (std::int32_t& count : counts)
        if (CError* error = in.read32(count))
            return traceError(error, getFullName());
    mInputChannelCount = counts[0];
    mOutputChannelCount = counts[1];
    mSidechainChannelCount = counts[2];
    if (CError* error = fireEvent(CString("update-io-channel-counts"), false))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CAudioInterfaceClient::onUpdateSampleRate() {
    CMemoryReader& in = messageReader();
    std::int32_t sequence = 0;
    double rate = 0.0;
    CError* error = in.read32(sequence);
    if (error == nullptr)
        error = in.readDouble(rate);
    if (error != nullptr)
        return traceError(error, getFullName());
    if (sequence < mSampleRateCounter)
        return nullptr;  // overtaken by a later announcement
    mSampleRateCounter = sequence;
    mSampleRate = rate;
    if (CError* fired = fireEvent(CString("update-sample-rate"), false))
        return traceError(fired, getFullName());
    return nullptr;
}

CError* CAudioInterfaceClient::onVizData() {
    if (mVizProcessor == nullptr)
        return nullptr;
    if (CError* error = mVizProcessor->onVizData(messageReader()))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CAudioInterfaceClient::onExportSlotNames() {
    if (mVizProcessor == nullptr)
        return nullptr;
    if (CError* error = mVizProcessor->onExportSlotNames(messageReader()))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CAudioInterfaceClient::onImportChannelLabels() {
    CParamInterfaceMessageWriter writer("import-channel-labels");
    sendRequest(writer);
    return nullptr;
}

// --- group names ---

CError* CAudioInterfaceClient::CGroupNamesParamListener::onParamInfo(CInputStream& reader) {
    std::int32_t hasInfo = 0;
    if (CError* error = reader.read32(hasInfo))
        return traceError(error, mOwner->getFullName());
    if (hasInfo == 0) {
        delete mOwner->mGroupNamesInfo;
        mOwner->mGroupNamesInfo = nullptr;
        mOwner->mGroupNames.clear();
        return nullptr;
    }
    if (CError* error = CAudioParamInfo::loadNew(mOwner->mGroupNamesInfo, reader))
        return traceError(error, mOwner->getFullName());
    return nullptr;
}

void CAudioInterfaceClient::CGroupNamesParamListener::onParamUpdate(const CAudioParamChange& change) {
    const CAudioParamInfo* info = mOwner->mGroupNamesInfo;
    if (info != nullptr && change.elementSize == info->getElementSize() && change.dataType == info->getDataType() &&
        change.singleGroup == info->isSingleGroup() && change.singleElement == info->isSingleElement())
        mOwner->mGroupNames.applyChange(change);
}

CString CAudioInterfaceClient::getGroupName(std::int32_t n) const {
    const CString number(n + 1);
    const CAudioParamInfo* info = mGroupNamesInfo;
    const CAudioParamConverter* converter = info != nullptr ? info->getConverter(0) : nullptr;
    const int size = mGroupNames.getElementSize();
    if (n < 0 || converter == nullptr || size <= 0)
        return number;
    double value = 0.0;
    if (mGroupNames.isFormatSet() && mGroupNames.getGroupCount() > 0 && mGroupNames.getElementCount(0) > n)
        value = mGroupNames.getValues(0)[std::int64_t(n) * size];
    else if (n < mGroupNames.getDefaultCount() / size)
        value = mGroupNames.getDefaultRow()[std::int64_t(n) * size];
    else if (mGroupNames.getDefaultCount() > 0)
        value = mGroupNames.getDefaultRow()[0];
    else
        return number;  // nothing to format
    return converter->formatValue(*info, 0, &mGroupNames.getData(), 0, value);
}

} // namespace tal
