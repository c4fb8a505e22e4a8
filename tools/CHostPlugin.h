#pragma once
#include "CHostComponentHandler.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Steinberg {
class IPluginFactory;
class IBStream;
namespace Vst {
class HostApplication;
}
} // namespace Steinberg

namespace delmaro_tool {

class CHostParameterChanges;

// One plug-in instance driven as a VST 3 host drives it: created from a factory's audio-effect
// class, initialised with a host context, given a component handler, negotiated, set up, switched
// on, fed blocks and switched off. The tool's "host" subcommand and the tests use it as their
// harness. The module that made the factory must outlive it. Main-thread calls, except
// `processBlock`, which the audio thread calls between `start` and `stop`.
class CHostPlugin {
public:
    CHostPlugin();
    CHostPlugin(const CHostPlugin&) = delete;
    CHostPlugin& operator=(const CHostPlugin&) = delete;
    ~CHostPlugin();

    // --- life cycle ---
    // Creates and initialises the factory's first audio-effect class. Empty text on success.
    std::string create(Steinberg::IPluginFactory* factory);
    void destroy();   // stops, terminates and releases everything

    // --- the plug-in's interfaces (null before `create`) ---
    Steinberg::Vst::IComponent* component() const noexcept { return mComponent; }
    Steinberg::Vst::IAudioProcessor* processor() const noexcept { return mProcessor; }
    Steinberg::Vst::IEditController* controller() const noexcept { return mController; }
    CHostComponentHandler& handler() noexcept { return mHandler; }

    // --- queries ---
    std::vector<Steinberg::Vst::BusInfo> buses(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir) const;
    std::vector<Steinberg::Vst::ParameterInfo> parameters() const;
    // The id of the parameter with that exact title, or -1.
    std::int64_t findParameter(const std::string& title) const;
    // The parameter's value as the plug-in shows it.
    std::string valueText(Steinberg::Vst::ParamID id, double normalized) const;

    // --- state ---
    Steinberg::tresult saveState(std::vector<std::uint8_t>& bytes) const;
    Steinberg::tresult loadState(const std::vector<std::uint8_t>& bytes);

    // --- processing ---
    // Negotiates channelsIn in and out (the plug-in may answer with other counts: the taken ones are
    // in inputChannels()/outputChannels()), sets up, activates and switches processing on.
    std::string start(double sampleRate, int maxBlock, int sampleSize, int channelsIn, int channelsOut,
                      Steinberg::int32 processMode = Steinberg::Vst::kRealtime);
    void stop();
    int inputChannels() const noexcept { return mInChannels; }
    int outputChannels() const noexcept { return mOutChannels; }
    // One block: in[c] and out[c] hold frames samples of the negotiated channels. Allocates nothing.
    Steinberg::tresult processBlock(const double* const* in, double* const* out, int frames,
                                    CHostParameterChanges* changes);
    // Host buffers for one channel may be withheld (null) to test missing buffers.
    void setInputBufferMissing(int channel, bool missing);

    // The speaker arrangement of count channels that a host offers.
    static Steinberg::Vst::SpeakerArrangement arrangementFor(int count);

private:
    Steinberg::Vst::HostApplication* mHostApp = nullptr;
    CHostComponentHandler mHandler;
    Steinberg::Vst::IComponent* mComponent = nullptr;
    Steinberg::Vst::IAudioProcessor* mProcessor = nullptr;
    Steinberg::Vst::IEditController* mController = nullptr;
    bool mSeparateController = false;
    bool mActive = false;
    bool mProcessing = false;

    int mSampleSize = Steinberg::Vst::kSample32;
    int mInChannels = 0, mOutChannels = 0, mMaxBlock = 0;
    int mAuxInputBuses = 0;
    std::vector<int> mAuxCounts;   // channels of each side-chain bus
    Steinberg::int32 mProcessMode = Steinberg::Vst::kRealtime;
    std::vector<std::vector<float>> mIn32, mOut32, mAux32;
    std::vector<std::vector<double>> mIn64, mOut64, mAux64;
    std::vector<void*> mInPtrs, mOutPtrs, mAuxPtrs;
    std::vector<bool> mMissingIn;
    std::vector<Steinberg::Vst::AudioBusBuffers> mInBuses;
    Steinberg::Vst::AudioBusBuffers mOutBus {};
    Steinberg::Vst::ProcessContext mContext {};
};

} // namespace delmaro_tool
