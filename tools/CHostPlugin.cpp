#include "CHostPlugin.h"

#include "CHostParameterChanges.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <algorithm>
#include <cstring>

namespace delmaro_tool {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string narrow(const TChar* text) {
    std::string out;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        out.push_back(text[i] < 0x80 ? char(text[i]) : '?');
    return out;
}

} // namespace

CHostPlugin::CHostPlugin() : mHostApp(new HostApplication()) {}

CHostPlugin::~CHostPlugin() {
    destroy();
    delete mHostApp;   // the SDK's host application object is not reference counted
}

SpeakerArrangement CHostPlugin::arrangementFor(int count) {
    switch (count) {
    case 1: return SpeakerArr::kMono;
    case 2: return SpeakerArr::kStereo;
    case 3: return SpeakerArr::k30Music;
    case 4: return SpeakerArr::k31Music;
    case 5: return SpeakerArr::k41Music;
    case 6: return SpeakerArr::k51;
    case 7: return SpeakerArr::k61Music;
    case 8: return SpeakerArr::k71Music;
    default: break;
    }
    // More channels: the lowest count bits (hosts do offer such layouts).
    return count >= 64 ? ~SpeakerArrangement(0) : (SpeakerArrangement(1) << count) - 1;
}

std::string CHostPlugin::create(IPluginFactory* factory) {
    destroy();
    if (factory == nullptr)
        return "no factory";
    const int32 count = factory->countClasses();
    for (int32 i = 0; i < count; ++i) {
        PClassInfo info {};
        if (factory->getClassInfo(i, &info) != kResultOk || std::strcmp(info.category, kVstAudioEffectClass) != 0)
            continue;
        void* obj = nullptr;
        if (factory->createInstance(info.cid, IComponent::iid, &obj) != kResultOk || obj == nullptr)
            return std::string("the factory could not create '") + info.name + "'";
        mComponent = static_cast<IComponent*>(obj);
        if (mComponent->initialize(mHostApp) != kResultOk) {
            mComponent->release();
            mComponent = nullptr;
            return std::string("'") + info.name + "' refused to initialise";
        }
        if (mComponent->queryInterface(IAudioProcessor::iid, &obj) != kResultOk) {
            destroy();
            return "the component has no audio processor";
        }
        mProcessor = static_cast<IAudioProcessor*>(obj);
        if (mComponent->queryInterface(IEditController::iid, &obj) == kResultOk) {
            mController = static_cast<IEditController*>(obj);
        } else {
            TUID controllerId;
            if (mComponent->getControllerClassId(controllerId) == kResultOk &&
                factory->createInstance(controllerId, IEditController::iid, &obj) == kResultOk && obj != nullptr) {
                mController = static_cast<IEditController*>(obj);
                mSeparateController = true;
                if (mController->initialize(mHostApp) != kResultOk) {
                    destroy();
                    return "the edit controller refused to initialise";
                }
            }
        }
        if (mController != nullptr)
            mController->setComponentHandler(&mHandler);
        return {};
    }
    return "the factory offers no audio effect class";
}

void CHostPlugin::destroy() {
    stop();
    if (mController != nullptr) {
        mController->setComponentHandler(nullptr);
        if (mSeparateController)
            mController->terminate();
        mController->release();
        mController = nullptr;
    }
    mSeparateController = false;
    if (mProcessor != nullptr) {
        mProcessor->release();
        mProcessor = nullptr;
    }
    if (mComponent != nullptr) {
        mComponent->terminate();
        mComponent->release();
        mComponent = nullptr;
    }
}

std::vector<BusInfo> CHostPlugin::buses(MediaType type, BusDirection dir) const {
    std::vector<BusInfo> out;
    if (mComponent == nullptr)
        return out;
    const int32 n = mComponent->getBusCount(type, dir);
    for (int32 i = 0; i < n; ++i) {
        BusInfo info {};
        if (mComponent->getBusInfo(type, dir, i, info) == kResultOk)
            out.push_back(info);
    }
    return out;
}

std::vector<ParameterInfo> CHostPlugin::parameters() const {
    std::vector<ParameterInfo> out;
    if (mController == nullptr)
        return out;
    const int32 n = mController->getParameterCount();
    for (int32 i = 0; i < n; ++i) {
        ParameterInfo info {};
        if (mController->getParameterInfo(i, info) == kResultOk)
            out.push_back(info);
    }
    return out;
}

std::int64_t CHostPlugin::findParameter(const std::string& title) const {
    for (const ParameterInfo& info : parameters())
        if (narrow(info.title) == title)
            return info.id;
    return -1;
}

std::string CHostPlugin::valueText(ParamID id, double normalized) const {
    String128 text {};
    if (mController == nullptr || mController->getParamStringByValue(id, normalized, text) != kResultOk)
        return {};
    return narrow(text);
}

tresult CHostPlugin::saveState(std::vector<std::uint8_t>& bytes) const {
    bytes.clear();
    if (mComponent == nullptr)
        return kResultFalse;
    MemoryStream* stream = new MemoryStream();
    const tresult result = mComponent->getState(stream);
    if (result == kResultOk)
        bytes.assign(stream->getData(), stream->getData() + stream->getSize());
    stream->release();
    return result;
}

tresult CHostPlugin::loadState(const std::vector<std::uint8_t>& bytes) {
    if (mComponent == nullptr)
        return kResultFalse;
    MemoryStream* stream = new MemoryStream();
    int32 written = 0;
    stream->write(const_cast<std::uint8_t*>(bytes.data()), int32(bytes.size()), &written);
    stream->seek(0, IBStream::kIBSeekSet, nullptr);
    tresult result = mComponent->setState(stream);
    if (result == kResultOk && mSeparateController) {
        stream->seek(0, IBStream::kIBSeekSet, nullptr);
        mController->setComponentState(stream);
    }
    stream->release();
    return result;
}

std::string CHostPlugin::start(double sampleRate, int maxBlock, int sampleSize, int channelsIn, int channelsOut,
                               int32 processMode) {
    stop();
    if (mProcessor == nullptr)
        return "no plug-in";
    if (mProcessor->canProcessSampleSize(sampleSize) != kResultOk)
        return "the plug-in cannot process " + std::string(sampleSize == kSample64 ? "64" : "32") + "-bit samples";

    // Main buses with the wanted counts; every further input bus (a side chain) keeps its own.
    const std::vector<BusInfo> inBuses = buses(kAudio, kInput);
    std::vector<SpeakerArrangement> ins(std::max<size_t>(inBuses.size(), 1));
    ins[0] = arrangementFor(channelsIn);
    for (size_t i = 1; i < ins.size(); ++i)
        mProcessor->getBusArrangement(kInput, int32(i), ins[i]);
    SpeakerArrangement out = arrangementFor(channelsOut);
    mProcessor->setBusArrangements(ins.data(), int32(ins.size()), &out, 1);
    SpeakerArrangement takenIn = 0, takenOut = 0;
    mProcessor->getBusArrangement(kInput, 0, takenIn);
    mProcessor->getBusArrangement(kOutput, 0, takenOut);
    mInChannels = SpeakerArr::getChannelCount(takenIn);
    mOutChannels = SpeakerArr::getChannelCount(takenOut);
    if (mInChannels != channelsIn)
        return "the plug-in does not take " + std::to_string(channelsIn) + " input channels (it offers " +
               std::to_string(mInChannels) + ")";
    if (mOutChannels == 0)
        return "the plug-in has no output channels";

    ProcessSetup setup {processMode, sampleSize, maxBlock, sampleRate};
    if (mProcessor->setupProcessing(setup) != kResultOk)
        return "the plug-in refused the processing set-up";
    for (int32 i = 0; i < int32(inBuses.size()); ++i)
        mComponent->activateBus(kAudio, kInput, i, true);
    mComponent->activateBus(kAudio, kOutput, 0, true);
    mComponent->setActive(true);
    mActive = true;
    mProcessor->setProcessing(true);
    mProcessing = true;

    mSampleSize = sampleSize;
    mMaxBlock = maxBlock;
    mAuxInputBuses = int(inBuses.size()) > 1 ? int(inBuses.size()) - 1 : 0;
    mProcessMode = processMode;
    int auxChannels = 0;
    mAuxCounts.assign(mAuxInputBuses, 0);
    for (int i = 1; i <= mAuxInputBuses; ++i) {
        SpeakerArrangement a = 0;
        mProcessor->getBusArrangement(kInput, i, a);
        mAuxCounts[i - 1] = SpeakerArr::getChannelCount(a);
        auxChannels += mAuxCounts[i - 1];
    }
    auto makeBuffers = [&](auto& b32, auto& b64, std::vector<void*>& ptrs, int n) {
        b32.assign(n, std::vector<float>(maxBlock, 0.0f));
        b64.assign(n, std::vector<double>(maxBlock, 0.0));
        ptrs.assign(n, nullptr);
        for (int c = 0; c < n; ++c)
            ptrs[c] = sampleSize == kSample64 ? static_cast<void*>(b64[c].data()) : static_cast<void*>(b32[c].data());
    };
    makeBuffers(mIn32, mIn64, mInPtrs, mInChannels);
    makeBuffers(mOut32, mOut64, mOutPtrs, mOutChannels);
    makeBuffers(mAux32, mAux64, mAuxPtrs, auxChannels);
    mMissingIn.assign(mInChannels, false);
    mInBuses.assign(1 + mAuxInputBuses, AudioBusBuffers {});
    mContext = ProcessContext {};
    mContext.sampleRate = sampleRate;
    mContext.tempo = 120.0;
    mContext.timeSigNumerator = 4;
    mContext.timeSigDenominator = 4;
    mContext.state = ProcessContext::kTempoValid | ProcessContext::kTimeSigValid;
    return {};
}

void CHostPlugin::stop() {
    if (mProcessing && mProcessor != nullptr)
        mProcessor->setProcessing(false);
    mProcessing = false;
    if (mActive && mComponent != nullptr)
        mComponent->setActive(false);
    mActive = false;
}

void CHostPlugin::setInputBufferMissing(int channel, bool missing) {
    if (channel >= 0 && channel < int(mMissingIn.size()))
        mMissingIn[channel] = missing;
}

tresult CHostPlugin::processBlock(const double* const* in, double* const* out, int frames,
                                  CHostParameterChanges* changes) {
    if (!mProcessing || frames > mMaxBlock)
        return kResultFalse;
    const bool is64 = mSampleSize == kSample64;
    void* inPtrs[64];
    for (int c = 0; c < mInChannels && c < 64; ++c) {
        if (is64)
            std::copy(in[c], in[c] + frames, mIn64[c].begin());
        else
            for (int i = 0; i < frames; ++i)
                mIn32[c][i] = float(in[c][i]);
        inPtrs[c] = mMissingIn[c] ? nullptr : mInPtrs[c];
    }
    mInBuses[0] = AudioBusBuffers {};
    mInBuses[0].numChannels = mInChannels;
    if (is64)
        mInBuses[0].channelBuffers64 = reinterpret_cast<Sample64**>(inPtrs);
    else
        mInBuses[0].channelBuffers32 = reinterpret_cast<Sample32**>(inPtrs);
    int auxFirst = 0;
    for (int b = 1; b <= mAuxInputBuses; ++b) {
        const int n = mAuxCounts[b - 1];
        AudioBusBuffers& bus = mInBuses[b];
        bus = AudioBusBuffers {};
        bus.numChannels = n;
        bus.silenceFlags = n >= 64 ? ~uint64(0) : (uint64(1) << n) - 1;   // a silent side chain
        if (is64)
            bus.channelBuffers64 = reinterpret_cast<Sample64**>(mAuxPtrs.data() + auxFirst);
        else
            bus.channelBuffers32 = reinterpret_cast<Sample32**>(mAuxPtrs.data() + auxFirst);
        auxFirst += n;
    }
    mOutBus = AudioBusBuffers {};
    mOutBus.numChannels = mOutChannels;
    if (is64)
        mOutBus.channelBuffers64 = reinterpret_cast<Sample64**>(mOutPtrs.data());
    else
        mOutBus.channelBuffers32 = reinterpret_cast<Sample32**>(mOutPtrs.data());

    ProcessData data;
    data.processMode = mProcessMode;
    data.symbolicSampleSize = mSampleSize;
    data.numSamples = frames;
    data.numInputs = int32(mInBuses.size());
    data.numOutputs = 1;
    data.inputs = mInBuses.data();
    data.outputs = &mOutBus;
    data.inputParameterChanges = changes;
    data.processContext = &mContext;
    const tresult result = mProcessor->process(data);
    mContext.projectTimeSamples += frames;
    for (int c = 0; c < mOutChannels; ++c) {
        if (is64)
            std::copy(mOut64[c].begin(), mOut64[c].begin() + frames, out[c]);
        else
            for (int i = 0; i < frames; ++i)
                out[c][i] = mOut32[c][i];
    }
    return result;
}

} // namespace delmaro_tool
