#pragma once
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace tal {

// The audio processor and the edit controller of one plug-in instance in one object: the SDK's
// edit controller (with units and program lists) plus IComponent and IAudioProcessor with the bus
// lists of the SDK. The SDK copy the build uses lacks such a class, so this is the project's own.
// Reference counted as an FObject: the host's last release destroys it.
// Threads: the host's main thread for everything but `process` (the audio thread).
class CSingleComponentEffect : public Steinberg::Vst::EditControllerEx1,
                               public Steinberg::Vst::IComponent,
                               public Steinberg::Vst::IAudioProcessor {
public:
    CSingleComponentEffect();
    CSingleComponentEffect(const CSingleComponentEffect&) = delete;
    CSingleComponentEffect& operator=(const CSingleComponentEffect&) = delete;

    // --- IPluginBase (for both the component and the controller) ---
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;

    // --- IComponent ---
    Steinberg::tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
    Steinberg::tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
    Steinberg::int32 PLUGIN_API getBusCount(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir) override;
    Steinberg::tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                             Steinberg::int32 index, Steinberg::Vst::BusInfo& bus) override;
    Steinberg::tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo,
                                                 Steinberg::Vst::RoutingInfo& outInfo) override;
    Steinberg::tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                              Steinberg::int32 index, Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
    // One state for both views: the component's and the controller's.
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;

    // --- IAudioProcessor ---
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir, Steinberg::int32 index,
                                                    Steinberg::Vst::SpeakerArrangement& arr) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override;

    OBJ_METHODS(CSingleComponentEffect, Steinberg::Vst::EditControllerEx1)
    DEFINE_INTERFACES
        DEF_INTERFACE(Steinberg::Vst::IComponent)
        DEF_INTERFACE(Steinberg::Vst::IAudioProcessor)
    END_DEFINE_INTERFACES(Steinberg::Vst::EditControllerEx1)
    REFCOUNT_METHODS(Steinberg::Vst::EditControllerEx1)

protected:
    // --- buses ---
    Steinberg::Vst::AudioBus* addAudioInput(const Steinberg::tchar* name, Steinberg::Vst::SpeakerArrangement arr,
                                            Steinberg::Vst::BusType type, Steinberg::int32 flags);
    Steinberg::Vst::AudioBus* addAudioOutput(const Steinberg::tchar* name, Steinberg::Vst::SpeakerArrangement arr,
                                             Steinberg::Vst::BusType type, Steinberg::int32 flags);
    Steinberg::Vst::EventBus* addEventInput(const Steinberg::tchar* name, Steinberg::int32 channels,
                                            Steinberg::Vst::BusType type, Steinberg::int32 flags);
    void removeAudioBusses();
    void removeAllBusses();
    Steinberg::Vst::BusList* getBusList(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir);

    Steinberg::Vst::ProcessSetup processSetup {};
    Steinberg::Vst::BusList audioInputs {Steinberg::Vst::kAudio, Steinberg::Vst::kInput};
    Steinberg::Vst::BusList audioOutputs {Steinberg::Vst::kAudio, Steinberg::Vst::kOutput};
    Steinberg::Vst::BusList eventInputs {Steinberg::Vst::kEvent, Steinberg::Vst::kInput};
    Steinberg::Vst::BusList eventOutputs {Steinberg::Vst::kEvent, Steinberg::Vst::kOutput};
};

} // namespace tal
