#include "Audio/VST/CAudioWrapperVST3.h"

#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/VST/CAudioRegistryProgramSource.h"
#include "Audio/VST/CAudioWrapperVST3Editor.h"
#include "Audio/VST/CAudioWrapperVST3Parameter.h"
#include "Audio/VST/CAudioWrapperVST3ProgramParameter.h"
#include "Audio/VST/CInputStreamVST.h"
#include "Audio/VST/VSTText.h"
#include "Audio/VST/COutputStreamVST.h"
#include "Audio/VST/ParamQueueEvents.h"
#include "Audio/VST/SpeakerArrangements.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/Log.h"

#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tal {

using namespace Steinberg;
using namespace Steinberg::Vst;

CAudioWrapperVST3::CAudioWrapperVST3() = default;

CAudioWrapperVST3::~CAudioWrapperVST3() {
    // The SDK's container deletes the parameters later; they must not reach the instance then.
    parameters.removeAll();
    mProgramParameter = nullptr;
}

IPlugView* PLUGIN_API CAudioWrapperVST3::createView(FIDString name) {
    if (name == nullptr || std::strcmp(name, "editor") != 0)
        return nullptr;
    prepareWindowSize();
    ViewRect size(0, 0, getWindowWidth(), getWindowHeight());
    return new CAudioWrapperVST3Editor(*this, &size);
}

bool CAudioWrapperVST3::resizeHostWindow() {
    return mOpenEditor != nullptr && mOpenEditor->requestHostResize(getWindowWidth(), getWindowHeight());
}

void* CAudioWrapperVST3::operator new(std::size_t size) { return poolAlloc(size); }

void CAudioWrapperVST3::operator delete(void* block) noexcept {
    if (block != nullptr)
        poolFree(block);
}

FUnknown* CAudioWrapperVST3::createInstance(void* /*context*/) {
    return static_cast<IAudioProcessor*>(new CAudioWrapperVST3());
}

tresult PLUGIN_API CAudioWrapperVST3::queryInterface(const TUID iid, void** obj) {
    QUERY_INTERFACE(iid, obj, ChannelContext::IInfoListener::iid, ChannelContext::IInfoListener)
    return CSingleComponentEffect::queryInterface(iid, obj);
}

// --- set-up ---

tresult PLUGIN_API CAudioWrapperVST3::initialize(FUnknown* context) {
    const tresult result = CSingleComponentEffect::initialize(context);
    if (result != kResultOk)
        return result;
    if (!mWrapperInitialised) {
        if (CError* err = init()) {
            reportError(&err);
            return kResultFalse;   // no buses, no parameters; a later initialize tries again
        }
        activate();
        mUnitInfo.id = kRootUnitId;
        mUnitInfo.parentUnitId = kNoParentUnitId;
        UString(mUnitInfo.name, 128).fromAscii("Root");
        mUnitInfo.programListId = kProgramListId;
        mWrapperInitialised = true;
    }
    addBuses();
    addParameters();
    return kResultOk;
}

void CAudioWrapperVST3::addParameters() {
    CAudioExtParamList* list = getExtParamList();
    for (int i = 0; list != nullptr && i < list->getCount(); ++i)
        parameters.addParameter(new CAudioWrapperVST3Parameter(*list->getParam(i), ParamID(i)));
    if (getRegistry() != nullptr) {
        if (mProgramSource == nullptr)
            mProgramSource = std::make_unique<CAudioRegistryProgramSource>(*getRegistry(), static_cast<CAudioWrapper*>(this));
        mProgramParameter = new CAudioWrapperVST3ProgramParameter(*mProgramSource, kProgramListId);
        mProgramCount = mProgramParameter->getProgramCount();
        parameters.addParameter(mProgramParameter);
    }
}

ParamValue PLUGIN_API CAudioWrapperVST3::getParamNormalized(ParamID tag) {
    runDeferredCalls();
    if (auto* p = dynamic_cast<CAudioWrapperVST3Parameter*>(getParameterObject(tag)))
        return p->value();
    if (mProgramParameter != nullptr && tag == kProgramListId)
        return mProgramParameter->value();
    return CSingleComponentEffect::getParamNormalized(tag);
}

tresult PLUGIN_API CAudioWrapperVST3::setParamNormalized(ParamID tag, ParamValue value) {
    runDeferredCalls();
    const tresult result = CSingleComponentEffect::setParamNormalized(tag, value);
    runDeferredCalls();
    return result;
}

void CAudioWrapperVST3::addBuses() {
    addAudioInput(STR16("Audio In"), SpeakerArr::kStereo, kMain, BusInfo::kDefaultActive);
    addAudioOutput(STR16("Audio Out"), SpeakerArr::kStereo, kMain, BusInfo::kDefaultActive);
    if (usesSidechain())
        addAudioInput(STR16("Sidechain"), SpeakerArr::kStereo, kAux, 0);
    addEventInput(STR16("MIDI In"), 1, kMain, BusInfo::kDefaultActive);
}

// --- buses and processing set-up ---

tresult PLUGIN_API CAudioWrapperVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                        SpeakerArrangement* outputs, int32 numOuts) {
    CBusArrangementChoice choice;
    if (!chooseBusArrangements(inputs, numIns, outputs, numOuts, getInternalChannelCount(), usesSidechain(),
                               isSymmetricIO(), choice))
        return kResultFalse;
    removeAudioBusses();
    addAudioInput(STR16("Audio In"), choice.input, kMain, BusInfo::kDefaultActive);
    addAudioOutput(STR16("Audio Out"), choice.output, kMain, BusInfo::kDefaultActive);
    if (choice.sidechainChannels > 0)
        addAudioInput(STR16("Sidechain"), choice.sidechain, kAux, 0);
    updateChannelNames(choice.input, choice.sidechain);
    return choice.accepted ? kResultOk : kResultFalse;
}

void CAudioWrapperVST3::updateChannelNames(SpeakerArrangement input, SpeakerArrangement sidechain) {
    CStringList main, side;
    for (int bit = 0; bit < 64; ++bit) {
        if (input & (SpeakerArrangement(1) << bit))
            main.add(speakerName(bit));
        if (sidechain & (SpeakerArrangement(1) << bit))
            side.add(speakerName(bit));
    }
    setChannelLabelsAndRoute(main, side);
}

tresult PLUGIN_API CAudioWrapperVST3::canProcessSampleSize(int32 symbolicSampleSize) {
    return uint32(symbolicSampleSize) <= uint32(kSample64) ? kResultOk : kResultFalse;
}

uint32 PLUGIN_API CAudioWrapperVST3::getLatencySamples() {
    acknowledgeLatency();
    return uint32(std::max(getGraphLatency(), 0));
}

uint32 PLUGIN_API CAudioWrapperVST3::getTailSamples() {
    const double samples = getTailSeconds() * getSampleRate();
    if (!(std::fabs(samples) < 2147483647.0))
        return 0;
    return uint32(std::int32_t(samples + std::copysign(0.49999999999999994, samples)));
}

tresult PLUGIN_API CAudioWrapperVST3::setupProcessing(ProcessSetup& setup) {
    runDeferredCalls();
    stopProcessing();
    setSampleRate(setup.sampleRate);
    setOffline(setup.processMode == kOffline);
    processSetup = setup;
    prepareHostFormat();
    startProcessing();
    return kResultOk;
}

void CAudioWrapperVST3::prepareHostFormat() {
    // The channel counts of the negotiated buses, taken here so that the first process call finds
    // the graph's input and the routing already made for them.
    SpeakerArrangement arrIn = 0, arrOut = 0;
    getBusArrangement(kInput, 0, arrIn);
    getBusArrangement(kOutput, 0, arrOut);
    const std::int32_t in = std::min(std::int32_t(std::popcount(std::uint64_t(arrIn))), kMaxHostChannels);
    const std::int32_t out = std::min(std::int32_t(std::popcount(std::uint64_t(arrOut))), kMaxHostChannels);
    setHostChannelCounts(in, 0, out);
    if (mWrapperInitialised && isFormatChanged()) {
        applyFormatChange();
        updateRouting(true, nullptr, nullptr);
    }
}

tresult PLUGIN_API CAudioWrapperVST3::setProcessing(TBool state) {
    runDeferredCalls();
    if (state) {
        prepareHostFormat();
        startProcessing();
    } else {
        stopProcessing();
    }
    return kResultOk;
}

// --- the process call ---

tresult PLUGIN_API CAudioWrapperVST3::process(ProcessData& data) {
    CPoolRealtimeScope realtime;   // allocator refills take prepared chunks
    setOffline(data.processMode == kOffline);
    const std::int32_t frames = std::max<std::int32_t>(data.numSamples, 0);
    if (IParameterChanges* changes = data.inputParameterChanges) {
        const int32 queues = changes->getParameterCount();
        const std::int32_t exported = getExtParamList() != nullptr ? getExtParamList()->getCount() : 0;
        for (int32 i = 0; i < queues; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            if (queue == nullptr)
                continue;
            const std::int32_t id = std::int32_t(queue->getParameterId());
            if (id < 0 || id >= exported)
                continue;   // the program parameter (999) and unknown ids make no events
            appendParamQueueEvents(*queue, id, frames, events());
        }
    }
    if (data.numInputs <= 0 || data.numOutputs <= 0 || data.inputs == nullptr || data.outputs == nullptr)
        return kResultOk;   // queued events wait for the next block that runs the loop
    if (!mWrapperInitialised)
        return kResultOk;

    const bool is64 = data.symbolicSampleSize == kSample64;
    setHostSampleFormat(is64);
    // The host's buffers, bounded by what the negotiated buses and the loop hold.
    SpeakerArrangement arrIn = 0, arrOut = 0;
    getBusArrangement(kInput, 0, arrIn);
    getBusArrangement(kOutput, 0, arrOut);
    const std::int32_t mainIn = std::min({data.inputs[0].numChannels, std::int32_t(std::popcount(std::uint64_t(arrIn))),
                                          kMaxHostChannels});
    std::int32_t sidechain = 0;
    void* const* sidechainBuffers = nullptr;
    if (data.numInputs >= 2 && data.inputs[1].numChannels >= 1) {
        const AudioBusBuffers& sc = data.inputs[1];
        const std::int32_t k = std::min(sc.numChannels, kMaxHostChannels - mainIn);
        const std::uint64_t mask = k >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << k) - 1;
        void* const* buffers = is64 ? reinterpret_cast<void* const*>(sc.channelBuffers64)
                                    : reinterpret_cast<void* const*>(sc.channelBuffers32);
        if (k > 0 && (sc.silenceFlags & mask) != mask && buffers != nullptr) {
            sidechain = k;
            sidechainBuffers = buffers;
        }
    }
    setSidechainBuffers(sidechainBuffers);
    const std::int32_t out = std::min({data.outputs[0].numChannels, std::int32_t(std::popcount(std::uint64_t(arrOut))),
                                       kMaxHostChannels});
    setHostChannelCounts(mainIn + sidechain, sidechain, out);
    data.outputs[0].silenceFlags = 0;
    if (isFormatChanged()) {
        applyFormatChange();
        updateRouting(true, nullptr, nullptr);
    }
    if (frames > 0) {
        void* const* inputs = is64 ? reinterpret_cast<void* const*>(data.inputs[0].channelBuffers64)
                                   : reinterpret_cast<void* const*>(data.inputs[0].channelBuffers32);
        void* const* outputs = is64 ? reinterpret_cast<void* const*>(data.outputs[0].channelBuffers64)
                                    : reinterpret_cast<void* const*>(data.outputs[0].channelBuffers32);
        CAudioWrapper::process(inputs, outputs, frames);
    }
    return kResultOk;
}

// --- state ---

tresult PLUGIN_API CAudioWrapperVST3::getState(IBStream* state) {
    runDeferredCalls();
    COutputStreamVST out(state);
    if (CError* err = CAudioWrapper::getState(out)) {
        delete err;
        return kResultFalse;
    }
    return kResultOk;
}

tresult PLUGIN_API CAudioWrapperVST3::setState(IBStream* state) {
    runDeferredCalls();
    CInputStreamVST in(state);
    CError* err = CAudioWrapper::setState(in);
    runDeferredCalls();
    if (err != nullptr) {
        delete err;
        return kResultFalse;
    }
    return kResultOk;
}

// --- units and the program list ---

int32 PLUGIN_API CAudioWrapperVST3::getUnitCount() { return 1; }

tresult PLUGIN_API CAudioWrapperVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
    if (unitIndex != 0)
        return kResultFalse;
    info = mUnitInfo;
    return kResultOk;
}

int32 PLUGIN_API CAudioWrapperVST3::getProgramListCount() { return 1; }

tresult PLUGIN_API CAudioWrapperVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0)
        return kResultFalse;
    info.id = kProgramListId;
    UString(info.name, 128).fromAscii("Programs");
    info.programCount = mProgramCount;
    return kResultOk;
}

tresult PLUGIN_API CAudioWrapperVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
    if (listId != kProgramListId || mProgramParameter == nullptr)
        return kResultFalse;
    mProgramParameter->toString(mProgramParameter->toNormalized(double(programIndex)), name);
    return kResultOk;
}

tresult PLUGIN_API CAudioWrapperVST3::getProgramInfo(ProgramListID, int32, Vst::CString, String128) {
    return kResultFalse;
}

tresult PLUGIN_API CAudioWrapperVST3::hasProgramPitchNames(ProgramListID, int32) { return kResultFalse; }

tresult PLUGIN_API CAudioWrapperVST3::getProgramPitchName(ProgramListID, int32, int16, String128) {
    return kResultFalse;
}

UnitID PLUGIN_API CAudioWrapperVST3::getSelectedUnit() { return mSelectedUnit; }

tresult PLUGIN_API CAudioWrapperVST3::selectUnit(UnitID unitId) {
    if (unitId != 0)
        return kResultFalse;
    mSelectedUnit = 0;
    return kResultOk;
}

tresult PLUGIN_API CAudioWrapperVST3::getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) {
    return kResultFalse;
}

tresult PLUGIN_API CAudioWrapperVST3::setUnitProgramData(int32, int32, IBStream*) { return kResultFalse; }

// --- channel context ---

tresult PLUGIN_API CAudioWrapperVST3::setChannelContextInfos(IAttributeList* list) {
    if (list == nullptr)
        return kResultOk;
    TChar name[128] = {};
    if (list->getString(ChannelContext::kChannelNameKey, name, sizeof(name)) == kResultOk)
        setHostTrackName(textFromUTF16(name));
    return kResultOk;
}

// --- wrapper hooks ---

void CAudioWrapperVST3::setHostParamValue(int index, double normalized) {
    if (auto* p = dynamic_cast<CAudioWrapperVST3Parameter*>(getParameterObject(ParamID(index))))
        p->setQuietly(normalized);
    if (isHostLinkActive())
        performEdit(ParamID(index), normalized);
}

void CAudioWrapperVST3::notifyProgramChange() {
    if (mProgramParameter == nullptr || mProgramSource == nullptr)
        return;
    const ParamValue v = mProgramParameter->toNormalized(double(mProgramSource->getCurrentProgram()));
    mProgramParameter->setNormalizedQuietly(v);
    beginEdit(kProgramListId);
    performEdit(kProgramListId, v);
    endEdit(kProgramListId);
    if (componentHandler != nullptr) {
        FUnknownPtr<IUnitHandler> units(componentHandler);
        if (units)
            units->notifyProgramListChange(kProgramListId, -1);
    }
}

void CAudioWrapperVST3::beginHostEdit(std::int32_t index) { beginEdit(ParamID(index)); }

void CAudioWrapperVST3::endHostEdit(std::int32_t index) { endEdit(ParamID(index)); }

void CAudioWrapperVST3::processParamEvent(const CAudioWrapperEvent& event) {
    if (Parameter* parameter = getParameterObject(ParamID(event.index)))
        parameter->setNormalized(event.value);
}

} // namespace tal
