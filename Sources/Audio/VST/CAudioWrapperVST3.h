#pragma once
#include "Audio/CAudioWrapper.h"
#include "Audio/VST/CSingleComponentEffect.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"

#include <memory>
#include "pluginterfaces/vst/ivstunits.h"

namespace tal {

class CAudioRegistryProgramSource;
class CAudioWrapperVST3Editor;
class CAudioWrapperVST3ProgramParameter;

// One plug-in instance as a VST 3 host sees it: processor and edit controller in one object over
// the plug-in wrapper. It negotiates buses and sample sizes, turns the host's process call into the
// wrapper's block loop with timed parameter events, reports the one unit "Root" with its program
// list, and carries the state through the host's streams.
// Made by the factory's create function with one reference; the host's last release destroys it.
// Threads: the host's main thread, except `process` (the audio thread).
// The SDK's edit controller base already answers IUnitInfo; the overrides below give its answers.
class CAudioWrapperVST3 : public CSingleComponentEffect,
                          public Steinberg::Vst::ChannelContext::IInfoListener,
                          public CAudioWrapper {
public:
    static constexpr Steinberg::int32 kProgramListId = 999;

    CAudioWrapperVST3();
    ~CAudioWrapperVST3() override;

    // The factory's create function: a new instance as an FUnknown with one reference.
    static Steinberg::FUnknown* createInstance(void* context);

    // --- IPluginBase ---
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;

    // --- IEditController ---
    // The exported parameters keep their values atomically (the host's main thread and the audio
    // thread both set them): the answer comes from there. The main-thread calls of the controller
    // and the component also run the deferred work the audio thread posted (runDeferredCalls).
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID tag) override;
    // A host's value; the instance's deferred work (host notices among it) runs before and after.
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID tag,
                                                     Steinberg::Vst::ParamValue value) override;
    // "editor" gives a new editor view with one reference; any other name (or none) gives null.
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

    // --- IComponent ---
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;

    // --- IAudioProcessor ---
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;

    // --- IUnitInfo ---
    Steinberg::int32 PLUGIN_API getUnitCount() override;
    Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
    Steinberg::int32 PLUGIN_API getProgramListCount() override;
    Steinberg::tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex,
                                                     Steinberg::Vst::ProgramListInfo& info) override;
    Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                 Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                 Steinberg::Vst::CString attributeId,
                                                 Steinberg::Vst::String128 attributeValue) override;
    Steinberg::tresult PLUGIN_API hasProgramPitchNames(Steinberg::Vst::ProgramListID listId,
                                                       Steinberg::int32 programIndex) override;
    Steinberg::tresult PLUGIN_API getProgramPitchName(Steinberg::Vst::ProgramListID listId,
                                                      Steinberg::int32 programIndex, Steinberg::int16 midiPitch,
                                                      Steinberg::Vst::String128 name) override;
    Steinberg::Vst::UnitID PLUGIN_API getSelectedUnit() override;
    Steinberg::tresult PLUGIN_API selectUnit(Steinberg::Vst::UnitID unitId) override;
    Steinberg::tresult PLUGIN_API getUnitByBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                               Steinberg::int32 busIndex, Steinberg::int32 channel,
                                               Steinberg::Vst::UnitID& unitId) override;
    Steinberg::tresult PLUGIN_API setUnitProgramData(Steinberg::int32 listOrUnitId, Steinberg::int32 programIndex,
                                                     Steinberg::IBStream* data) override;

    // --- IInfoListener ---
    Steinberg::tresult PLUGIN_API setChannelContextInfos(Steinberg::Vst::IAttributeList* list) override;

    // --- wrapper hooks ---
    void setHostParamValue(int index, double normalized) override;
    void notifyProgramChange() override;
    void beginHostEdit(std::int32_t index) override;
    void endHostEdit(std::int32_t index) override;
    void processParamEvent(const CAudioWrapperEvent& event) override;
    // Asks the open editor's host for the wrapper's window size; false without an open editor.
    bool resizeHostWindow() override;

    // --- the attached editor (main thread) ---
    // The editor attached last (not owned); an editor clears itself when it is removed.
    void setOpenEditor(CAudioWrapperVST3Editor* editor) noexcept { mOpenEditor = editor; }
    void clearOpenEditor(const CAudioWrapperVST3Editor* editor) noexcept {
        if (mOpenEditor == editor)
            mOpenEditor = nullptr;
    }

    // Rebuilds the wrapper's channel labels from the main input's and the side chain's speakers.
    void updateChannelNames(Steinberg::Vst::SpeakerArrangement input, Steinberg::Vst::SpeakerArrangement sidechain);

    OBJ_METHODS(CAudioWrapperVST3, CSingleComponentEffect)
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    REFCOUNT_METHODS(CSingleComponentEffect)

    // The framework's allocator serves the instance.
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;

private:
    void addBuses();
    void addParameters();
    // Main thread, before processing starts: the host channel counts of the negotiated buses.
    void prepareHostFormat();

    bool mWrapperInitialised = false;
    Steinberg::Vst::UnitInfo mUnitInfo {};
    Steinberg::int32 mSelectedUnit = 0;
    Steinberg::int32 mProgramCount = 0;   // 0 until the program parameter exists
    std::unique_ptr<CAudioRegistryProgramSource> mProgramSource;
    CAudioWrapperVST3ProgramParameter* mProgramParameter = nullptr;   // owned by the container
    CAudioWrapperVST3Editor* mOpenEditor = nullptr;                    // not owned; cleared when it is removed
};

} // namespace tal
