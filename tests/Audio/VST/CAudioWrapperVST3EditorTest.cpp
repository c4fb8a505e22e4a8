// The VST 3 binding over the product's own description, seen from an editor in the same process:
// an audio interface client joined to the instance's base connector reads the channel counts and
// the sample rate of the host's set-up and follows their changes, sees processing start and stop,
// runs the analyser while it listens to it, and its edit gestures reach a test host as edits; states and presets loaded in mono, stereo and
// 5.1 arrangements leave the routing of the present channels.
#include "Audio/VST/CAudioWrapperVST3.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistry.h"
#include "Core/CByteBuffer.h"
#include "Core/CEventRegistry.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Other/Interface/CParamInterfaceClientConnectorUni.h"
#include "Other/Interface/CParamInterfaceParamListener.h"
#include "support/CRecordingVizProcessor.h"
#include "support/WrapperTestApp.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

extern const tal::CResourceEntry productTestResources[];

namespace tal {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// A host's component handler that records the edits it is told of and the thread of each.
class CTestHostHandler : public IComponentHandler {
public:
    tresult PLUGIN_API beginEdit(ParamID id) override { return record("begin " + std::to_string(id)); }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue) override { return record("perform " + std::to_string(id)); }
    tresult PLUGIN_API endEdit(ParamID id) override { return record("end " + std::to_string(id)); }
    tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknownPrivate::iidEqual(iid, IComponentHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }    // lives on the test's stack
    uint32 PLUGIN_API release() override { return 1; }

    // The calls for one host parameter, in order.
    std::vector<std::string> callsOf(ParamID id) const {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c.substr(c.find(' ') + 1) == std::to_string(id))
                out.push_back(c);
        return out;
    }

    std::vector<std::string> calls;
    std::vector<std::thread::id> threads;

private:
    tresult record(std::string call) {
        calls.push_back(std::move(call));
        threads.push_back(std::this_thread::get_id());
        return kResultOk;
    }
};

class CNullParamListener : public CParamInterfaceParamListener {
public:
    CError* onParamInfo(CInputStream&) override { return nullptr; }
    void onParamUpdate(const CAudioParamChange&) override {}
};

class CAudioWrapperVST3Editor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::CWrapperTestApp::start(productTestResources); }
    static void TearDownTestSuite() { test::CWrapperTestApp::stop(); }

    void SetUp() override {
        mEffect = static_cast<CAudioWrapperVST3*>(static_cast<IAudioProcessor*>(CAudioWrapperVST3::createInstance(nullptr)));
        ASSERT_EQ(mEffect->initialize(nullptr), kResultOk);
        mEffect->setComponentHandler(&mHost);
        mAudioRoot = mEffect->getRoot();
        ASSERT_TRUE(hostSetUp(SpeakerArr::kStereo, 48000.0));
    }
    void TearDown() override {
        closeEditor();
        if (mEffect != nullptr) {
            mEffect->setProcessing(false);
            mEffect->terminate();
            mEffect->release();
        }
    }

    // The host's set-up: arrangement in and out, the rate, then one processing block.
    bool hostSetUp(SpeakerArrangement arrangement, double rate) {
        SpeakerArrangement in = arrangement, out = arrangement;
        if (mEffect->setBusArrangements(&in, 1, &out, 1) != kResultOk)
            return false;
        ProcessSetup setup{kRealtime, kSample32, 512, rate};
        if (mEffect->setupProcessing(setup) != kResultOk)
            return false;
        mEffect->setProcessing(true);
        processBlock(SpeakerArr::getChannelCount(arrangement), 64);
        return true;
    }

    // One host block of silence on `channels` inputs and outputs (32-bit).
    void processBlock(int channels, int frames) {
        std::vector<std::vector<float>> in(std::size_t(channels), std::vector<float>(std::size_t(frames), 0.0f));
        std::vector<std::vector<float>> out = in;
        std::vector<float*> inPtrs, outPtrs;
        for (auto& c : in)
            inPtrs.push_back(c.data());
        for (auto& c : out)
            outPtrs.push_back(c.data());
        AudioBusBuffers inBus{}, outBus{};
        inBus.numChannels = channels;
        inBus.channelBuffers32 = inPtrs.data();
        outBus.numChannels = channels;
        outBus.channelBuffers32 = outPtrs.data();
        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = kSample32;
        data.numSamples = frames;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        ASSERT_EQ(mEffect->process(data), kResultOk);
    }

    // An editor as the editor's description builds it: the client connector found through the
    // audio instance's root, and the audio interface client with its visualisation end.
    void openEditor() {
        mEditorRoot = new CObject;
        mEditorRoot->initRoot(new CEventRegistry);
        ASSERT_EQ(takeMessage(mEditorRoot->setPtrAttr(CString("BaseConnectorRootPtr"), &mAudioRoot, false)), "");
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, mEditorRoot, "other:param-interface-client-connector-uni",
                                                    "interface-client-connector",
                                                    {{"base-connector", "plugin.interface-base-connector"}})),
                  "");
        mConnector = dynamic_cast<CParamInterfaceClientConnectorUni*>(object);
        ASSERT_NE(mConnector, nullptr);
        ASSERT_EQ(takeMessage(CParamTestTree::build(
                      object, mEditorRoot, "audio:interface-client", "interface-client",
                      {{"client-connector", "^interface-client-connector"},
                       {"group-names-param", "plugin.modMain.io-params.group-names"}})),
                  "");
        mClient = dynamic_cast<CAudioInterfaceClient*>(object);
        ASSERT_NE(mClient, nullptr);
        mClient->setVizProcessor(&mViz);
    }
    void closeEditor() {
        if (mEditorRoot == nullptr)
            return;
        mClient->setVizProcessor(nullptr);
        mEditorRoot->release();
        mEditorRoot = nullptr;
    }
    // The editor's timer tick: the replies waiting on the audio side are fetched and run on the
    // client (the editor's bridge would run them from the connector's event).
    void drain() {
        ASSERT_EQ(takeMessage(mConnector->pollBaseData()), "");
        ASSERT_EQ(takeMessage(mConnector->onProcessBaseData()), "");
    }

    // Elements 0..n-1 of group 0 of a float parameter of the instance, rounded.
    std::vector<int> floats(const char* name, int n) {
        CAudioParam* p = mEffect->getCollector()->findParam(CString(name));
        std::vector<int> v;
        CAudioParamLock lock(p);
        const CAudioParamStorage& s = p->getCurrent();
        for (int i = 0; i < n; ++i)
            v.push_back(int(std::lround(i < s.getElementCount(0) ? s.getValue(0, i, 0) : s.getDefault(i, 0))));
        return v;
    }
    std::string groupName0() {
        CAudioParam* p = mEffect->getCollector()->findParam(CString("plugin.modMain.io-params.group-names"));
        CAudioParamLock lock(p);
        return std::string(p->getString(0, 0).narrowed().chars8());
    }

    CLogCapture log;
    CTestHostHandler mHost;
    CAudioWrapperVST3* mEffect = nullptr;
    CObject* mAudioRoot = nullptr;   // the location the editor's root points at
    CObject* mEditorRoot = nullptr;
    CParamInterfaceClientConnectorUni* mConnector = nullptr;
    CAudioInterfaceClient* mClient = nullptr;
    CRecordingVizProcessor mViz;
};

TEST_F(CAudioWrapperVST3Editor, EditorSeesTheHostsChannelsAndRateAndFollowsTheirChanges) {
    openEditor();
    drain();
    EXPECT_EQ(mClient->internalChannelCount(), 8);
    EXPECT_EQ(mClient->groupCount(), 8);
    EXPECT_EQ(mClient->inputChannelCount(), 2);
    EXPECT_EQ(mClient->outputChannelCount(), 2);
    EXPECT_EQ(mClient->sidechainChannelCount(), 0);
    EXPECT_EQ(mClient->sampleRate(), 48000.0);

    // The host moves to 5.1 at 96 kHz while the editor is open: both are pushed to it.
    ASSERT_TRUE(hostSetUp(SpeakerArr::k51, 96000.0));
    drain();
    EXPECT_EQ(mClient->inputChannelCount(), 6);
    EXPECT_EQ(mClient->outputChannelCount(), 6);
    EXPECT_EQ(mClient->sampleRate(), 96000.0);

    // Back to mono; the rate alone changes next.
    ASSERT_TRUE(hostSetUp(SpeakerArr::kMono, 96000.0));
    drain();
    EXPECT_EQ(mClient->inputChannelCount(), 1);
    EXPECT_EQ(mClient->outputChannelCount(), 1);
    ProcessSetup setup{kRealtime, kSample32, 512, 44100.0};
    mEffect->setProcessing(false);
    ASSERT_EQ(mEffect->setupProcessing(setup), kResultOk);
    drain();
    EXPECT_EQ(mClient->sampleRate(), 44100.0);
}

TEST_F(CAudioWrapperVST3Editor, VisualisationStartsAndClearsWithProcessing) {
    openEditor();
    drain();
    mViz.events.clear();
    // The product keeps its visualisation active: a stop clears the editors' displays instead of
    // stopping them, and a start needs no clearing.
    mEffect->setProcessing(false);
    drain();
    EXPECT_EQ(mViz.events, (std::vector<std::string>{"clear"}));
    mEffect->setProcessing(true);
    drain();
    EXPECT_EQ(mViz.events, (std::vector<std::string>{"clear", "start"}));
    // Repeating the state the processing is in sends nothing.
    mEffect->setProcessing(true);
    drain();
    EXPECT_EQ(mViz.events, (std::vector<std::string>{"clear", "start"}));
}

// The analyser runs while an editor display listens to it: the request reaches the audio side
// with the next host block, and so does its withdrawal.
TEST_F(CAudioWrapperVST3Editor, AnalyserRunsWhileTheEditorListensToIt) {
    openEditor();
    drain();
    auto enabled = [&] {
        CAudioParam* p = mEffect->getCollector()->findParam(CString("plugin.modMain.modSpectrum-enable"));
        if (p == nullptr)
            return -1.0;
        CAudioParamLock lock(p);
        return p->getCurrent().getElementCount(0) > 0 ? p->getCurrent().getValue(0, 0, 0) : -1.0;
    };
    const std::int32_t handle = mClient->listenViz(-1, CString("plugin.modMain.modSpectrum"));
    processBlock(2, 64);
    EXPECT_EQ(enabled(), 1.0);
    mClient->unlistenViz(handle);
    processBlock(2, 64);
    EXPECT_EQ(enabled(), 0.0);
}

TEST_F(CAudioWrapperVST3Editor, EditorGestureOnABandGainReachesTheHostAsOneEdit) {
    openEditor();
    drain();
    CNullParamListener listener;
    const std::int32_t handle = mClient->listenParam(CString("plugin.modMain.modDelmaro.eq-params.gain"), &listener);
    drain();
    CAudioParam* gain = mEffect->getCollector()->findParam(CString("plugin.modMain.modDelmaro.eq-params.gain"));
    ASSERT_NE(gain, nullptr);
    const ParamID gain1 = ParamID(mEffect->findExtParamIndex(gain, 0, 0));
    ASSERT_EQ(gain1, 5u);   // Bypass, EQRange, Type 1, Freq 1, BW 1, Gain 1
    mHost.calls.clear();
    mHost.threads.clear();

    // A knob drag: one undo record, three values, then the record is submitted.
    const std::int32_t undo = mClient->createUndoData(CString("Gain 1"), false, 0);
    // The change's format as the editor knows it (no audio-side lock held while it sends).
    CAudioParamChange change;
    {
        CAudioParamLock lock(gain);
        change = CAudioParamChange::make(0, 0, 1, false, nullptr, gain->getCurrent(), nullptr, nullptr);
    }
    for (const double dB : {1.5, 3.0, 4.5}) {
        change.values = &dB;
        mClient->changeParam(handle, change, undo);
    }
    mClient->submitUndoData(undo, CString());
    drain();
    EXPECT_EQ(mHost.callsOf(gain1),
              (std::vector<std::string>{"begin 5", "perform 5", "perform 5", "perform 5", "end 5"}));
    EXPECT_EQ(mHost.callsOf(gain1).size(), mHost.calls.size());   // no other parameter was touched
    for (const std::thread::id& id : mHost.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_EQ(floats("plugin.modMain.modDelmaro.eq-params.gain", 1), (std::vector<int>{5}));   // 4.5 dB
}

// A state saved in one arrangement and loaded in another, and a factory preset: the registry asks
// the wrapper to rebuild the automatic routing for the channels the host has now.
TEST_F(CAudioWrapperVST3Editor, RoutingFollowsLoadedStatesAndPresetsInEveryArrangement) {
    struct Case {
        const char* name;
        SpeakerArrangement saved, loaded;
        std::vector<int> routing;
        std::string group0;
    };
    const std::vector<Case> cases = {
        {"5.1 state in mono", SpeakerArr::k51, SpeakerArr::kMono, {1, 0, 0, 0, 0, 0, 0, 0}, "MONO"},
        {"5.1 state in stereo", SpeakerArr::k51, SpeakerArr::kStereo, {1, 2, 0, 0, 0, 0, 0, 0}, "STEREO"},
        {"stereo state in 5.1", SpeakerArr::kStereo, SpeakerArr::k51, {1, 2, 3, 4, 5, 6, 0, 0}, "MULTI"},
        {"mono state in 5.1", SpeakerArr::kMono, SpeakerArr::k51, {1, 2, 3, 4, 5, 6, 0, 0}, "MULTI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(hostSetUp(c.saved, 48000.0));
        CWriteSeqBuffer out;
        ASSERT_EQ(takeMessage(mEffect->CAudioWrapper::getState(out)), "");
        CByteBuffer state;
        out.moveTo(state);
        ASSERT_TRUE(hostSetUp(c.loaded, 48000.0));
        // The state carries the routing of the other arrangement; loading it must not keep that.
        CMemoryReader in(state.data(), state.size());
        ASSERT_EQ(takeMessage(mEffect->CAudioWrapper::setState(in)), "");
        EXPECT_EQ(floats("plugin.modMain.io-params.in-routing", 8), c.routing);
        EXPECT_EQ(floats("plugin.modMain.io-params.out-routing", 8), c.routing);
        EXPECT_EQ(groupName0(), c.group0);

        // The same through the state record of a preset, and through a factory preset.
        ASSERT_TRUE(hostSetUp(c.saved, 48000.0));
        CByteBuffer record;
        ASSERT_EQ(takeMessage(mEffect->saveStateRecord(record, false, false)), "");
        ASSERT_TRUE(hostSetUp(c.loaded, 48000.0));
        ASSERT_EQ(takeMessage(mEffect->loadStateRecord(record.data(), record.size(), false, false)), "");
        EXPECT_EQ(floats("plugin.modMain.io-params.in-routing", 8), c.routing);
        mEffect->getRegistry()->activateFactoryPreset(1);
        EXPECT_EQ(floats("plugin.modMain.io-params.in-routing", 8), c.routing);
        EXPECT_EQ(groupName0(), c.group0);
    }
}

} // namespace
} // namespace tal
