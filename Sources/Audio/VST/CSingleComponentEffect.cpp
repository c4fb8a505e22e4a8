#include "Audio/VST/CSingleComponentEffect.h"

namespace tal {

using namespace Steinberg;
using namespace Steinberg::Vst;

CSingleComponentEffect::CSingleComponentEffect() {
    processSetup.maxSamplesPerBlock = 1024;
    processSetup.processMode = kRealtime;
    processSetup.sampleRate = 44100.0;
    processSetup.symbolicSampleSize = kSample32;
}

tresult PLUGIN_API CSingleComponentEffect::initialize(FUnknown* context) {
    return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API CSingleComponentEffect::terminate() {
    parameters.removeAll();
    removeAllBusses();
    return EditControllerEx1::terminate();
}

tresult PLUGIN_API CSingleComponentEffect::getControllerClassId(TUID /*classId*/) { return kNotImplemented; }

tresult PLUGIN_API CSingleComponentEffect::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

BusList* CSingleComponentEffect::getBusList(MediaType type, BusDirection dir) {
    if (type == kAudio)
        return dir == kInput ? &audioInputs : &audioOutputs;
    if (type == kEvent)
        return dir == kInput ? &eventInputs : &eventOutputs;
    return nullptr;
}

int32 PLUGIN_API CSingleComponentEffect::getBusCount(MediaType type, BusDirection dir) {
    BusList* list = getBusList(type, dir);
    return list != nullptr ? int32(list->size()) : 0;
}

tresult PLUGIN_API CSingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& info) {
    BusList* list = getBusList(type, dir);
    if (list == nullptr || index < 0 || index >= int32(list->size()))
        return kInvalidArgument;
    info.mediaType = type;
    info.direction = dir;
    return list->at(index)->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API CSingleComponentEffect::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/) {
    return kNotImplemented;
}

tresult PLUGIN_API CSingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index, TBool state) {
    BusList* list = getBusList(type, dir);
    if (list == nullptr || index < 0 || index >= int32(list->size()))
        return kInvalidArgument;
    list->at(index)->setActive(state);
    return kResultTrue;
}

tresult PLUGIN_API CSingleComponentEffect::setActive(TBool /*state*/) { return kResultOk; }

tresult PLUGIN_API CSingleComponentEffect::setState(IBStream* /*state*/) { return kNotImplemented; }

tresult PLUGIN_API CSingleComponentEffect::getState(IBStream* /*state*/) { return kNotImplemented; }

tresult PLUGIN_API CSingleComponentEffect::setBusArrangements(SpeakerArrangement* /*inputs*/, int32 /*numIns*/,
                                                             SpeakerArrangement* /*outputs*/, int32 /*numOuts*/) {
    return kResultFalse;
}

tresult PLUGIN_API CSingleComponentEffect::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
    BusList* list = getBusList(kAudio, dir);
    if (list == nullptr || index < 0 || index >= int32(list->size()))
        return kInvalidArgument;
    if (auto* bus = FCast<AudioBus>(list->at(index).get())) {
        arr = bus->getArrangement();
        return kResultTrue;
    }
    return kResultFalse;
}

tresult PLUGIN_API CSingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API CSingleComponentEffect::getLatencySamples() { return 0; }

tresult PLUGIN_API CSingleComponentEffect::setupProcessing(ProcessSetup& setup) {
    processSetup = setup;
    return kResultOk;
}

tresult PLUGIN_API CSingleComponentEffect::setProcessing(TBool /*state*/) { return kNotImplemented; }

tresult PLUGIN_API CSingleComponentEffect::process(ProcessData& /*data*/) { return kNotImplemented; }

uint32 PLUGIN_API CSingleComponentEffect::getTailSamples() { return kNoTail; }

AudioBus* CSingleComponentEffect::addAudioInput(const tchar* name, SpeakerArrangement arr, BusType type, int32 flags) {
    auto* bus = new AudioBus(name, type, flags, arr);
    audioInputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

AudioBus* CSingleComponentEffect::addAudioOutput(const tchar* name, SpeakerArrangement arr, BusType type,
                                                 int32 flags) {
    auto* bus = new AudioBus(name, type, flags, arr);
    audioOutputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

EventBus* CSingleComponentEffect::addEventInput(const tchar* name, int32 channels, BusType type, int32 flags) {
    auto* bus = new EventBus(name, type, flags, channels);
    eventInputs.push_back(IPtr<Vst::Bus>(bus, false));
    return bus;
}

void CSingleComponentEffect::removeAudioBusses() {
    audioInputs.clear();
    audioOutputs.clear();
}

void CSingleComponentEffect::removeAllBusses() {
    removeAudioBusses();
    eventInputs.clear();
    eventOutputs.clear();
}

} // namespace tal
