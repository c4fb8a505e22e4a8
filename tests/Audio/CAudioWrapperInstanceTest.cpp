// The wrapper with a whole instance: built from a small shared description (a main process that
// applies one gain parameter, the output terminal, two exported parameters, the master registry),
// its block loop over host buffers, the state, routing, oversampling, window size and latency.
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioWrapper.h"
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CApplication.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"
#include "support/CLogCapture.h"
#include "support/ParamTestTree.h"
#include "support/WrapperTestApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A binding that records what reaches the host.
class CTestWrapper : public CAudioWrapper {
public:
    std::vector<std::string> hostCalls;

    void setHostParamValue(int index, double value) override {
        hostCalls.push_back("value " + std::to_string(index) + " " + std::to_string(value));
    }
    void notifyProgramChange() override { hostCalls.push_back("program"); }
    void beginHostEdit(std::int32_t index) override { hostCalls.push_back("begin " + std::to_string(index)); }
    void endHostEdit(std::int32_t index) override { hostCalls.push_back("end " + std::to_string(index)); }
    void processParamEvent(const CAudioWrapperEvent& e) override {
        if (CAudioExtParam* p = getExtParamList()->getParam(e.index))
            p->setNormalized(e.value);
    }
    CAudioParam* param(const char* name) { return getCollector()->findParam(CString(name)); }
    CAudioExtParam* ext(int index) { return getExtParamList()->getParam(index); }
};

class CAudioWrapperInstance : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::CWrapperTestApp::start(); }
    static void TearDownTestSuite() { test::CWrapperTestApp::stop(); }
    void SetUp() override {
        ASSERT_EQ(takeMessage(w.init()), "");
        w.activate();
    }

    // One block of frames samples on `channels` host channels in and out, 32- or 64-bit.
    template <class T>
    std::vector<std::vector<T>> run(const std::vector<std::vector<T>>& in, int outChannels) {
        const int frames = int(in[0].size());
        std::vector<std::vector<T>> out(std::size_t(outChannels), std::vector<T>(std::size_t(frames), T(7)));
        std::vector<void*> ins, outs;
        for (const auto& c : in)
            ins.push_back(const_cast<T*>(c.data()));
        for (auto& c : out)
            outs.push_back(c.data());
        w.setHostSampleFormat(sizeof(T) == 8);
        w.setHostChannelCounts(int(in.size()), 0, outChannels);
        w.applyFormatChange();
        w.process(ins.data(), outs.data(), frames);
        return out;
    }

    CLogCapture log;
    CTestWrapper w;
};

std::vector<double> ramp(int n, double scale) {
    std::vector<double> v(std::size_t(n), 0.0);
    for (int i = 0; i < n; ++i)
        v[std::size_t(i)] = scale * std::sin(0.01 * i + scale);
    return v;
}

TEST_F(CAudioWrapperInstance, IdentityComesFromTheProjectObject) {
    EXPECT_EQ(w.getPluginCode(), 0x61626364u);
    std::int32_t major = 0, minor = 0, patch = 0;
    w.getVersion(major, minor, patch);
    EXPECT_EQ(major * 10000 + minor * 100 + patch, 2 * 10000 + 0 + 13);
    EXPECT_TRUE(w.hasTail());
    EXPECT_EQ(w.getTailSeconds(), 0.4);   // "abc" is not a number
    EXPECT_EQ(w.getInternalChannelCount(), 8);
    EXPECT_EQ(w.getExtParamList()->getCount(), 2);
    EXPECT_EQ(w.findExtParamIndex(w.param("plugin.modMain.gain"), 0, 0), 1);
    EXPECT_EQ(w.findExtParamIndex(w.param("plugin.modMain.gain"), 1, 0), -1);
}

// The exported gain reaches the graph at the next block: output = input x 10^(dB / 20), both sample
// sizes; host channels no graph channel feeds are silent.
TEST_F(CAudioWrapperInstance, BlocksRunTheGraphWithTheHostsParameterValues) {
    w.setSampleRate(48000.0);
    w.startProcessing();
    const std::vector<double> left = ramp(1300, 0.5), right = ramp(1300, 0.25);
    for (double db : {0.0, 6.0, -12.0}) {
        SCOPED_TRACE(db);
        w.ext(1)->setNormalized(w.ext(1)->textToNormalized(CString(std::to_string(db).c_str())));
        const double factor = std::pow(10.0, db / 20.0);
        run<double>({left, right}, 3);   // a gain change may be crossfaded in over the first block
        const auto out64 = run<double>({left, right}, 3);
        std::vector<float> l32(left.begin(), left.end()), r32(right.begin(), right.end());
        const auto out32 = run<float>({l32, r32}, 3);
        for (std::size_t i = 0; i < left.size(); ++i) {
            // The anti-denormal noise stays below 2^-42.
            ASSERT_NEAR(out64[0][i], left[i] * factor, 1e-12) << i;
            ASSERT_NEAR(out64[1][i], right[i] * factor, 1e-12) << i;
            ASSERT_NEAR(out32[0][i], double(l32[i]) * factor, 1e-6) << i;
            ASSERT_EQ(out64[2][i], 0.0) << i;
            ASSERT_EQ(out32[2][i], 0.0f) << i;
        }
    }
}

TEST_F(CAudioWrapperInstance, MissingInputBufferReadsAsNoiseBelowTheDenormalGuard) {
    w.setSampleRate(44100.0);
    w.startProcessing();
    std::vector<double> out(256, 7.0);
    void* outs[1] = {out.data()};
    void* ins[1] = {nullptr};
    w.setHostSampleFormat(true);
    w.setHostChannelCounts(1, 0, 1);
    w.applyFormatChange();
    w.process(ins, outs, 256);
    int zeros = 0;
    for (double x : out) {
        EXPECT_LE(std::fabs(x), std::ldexp(1.0, -42));   // the noise lies in [-2^-42, 2^-42)
        zeros += x == 0.0;
    }
    EXPECT_LT(zeros, 8);
}

TEST_F(CAudioWrapperInstance, StateRoundTripRestoresAndDamagedStatesChangeNothing) {
    CAudioExtParam* gain = w.ext(1);
    gain->setNormalized(0.8);
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(w.getState(out)), "");
    CByteBuffer saved;
    out.moveTo(saved);
    ASSERT_GT(saved.size(), 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved.data()), 4), "aprs");

    gain->setNormalized(0.3);
    std::vector<std::uint8_t> truncated(saved.data(), saved.data() + saved.size() / 2);
    std::vector<std::uint8_t> foreign(saved.data(), saved.data() + saved.size());
    foreign[0] = 'a', foreign[1] = 'b', foreign[2] = 'n', foreign[3] = 'k';
    std::vector<std::uint8_t> flipped(saved.data(), saved.data() + saved.size());
    flipped[flipped.size() - 3] ^= 0x5A;
    for (const auto* damaged : {&truncated, &foreign, &flipped}) {
        CMemoryReader in(damaged->data(), std::int32_t(damaged->size()));
        EXPECT_NE(takeMessage(w.setState(in)), "");
        EXPECT_NEAR(gain->getNormalized(), 0.3, 1e-12);
    }
    CMemoryReader in(saved.data(), saved.size());
    ASSERT_EQ(takeMessage(w.setState(in)), "");
    EXPECT_NEAR(gain->getNormalized(), 0.8, 1e-9);
}

std::vector<int> floats(CAudioParam* p, int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(int(p->getCurrent().getElementCount(0) > i ? p->getCurrent().getValue(0, i, 0)
                                                               : p->getCurrent().getDefault(i, 0)));
    return v;
}
std::vector<std::string> texts(CAudioParam* p, int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i)
        v.push_back(textOf(p->getString(0, i)));
    return v;
}
CStringList labels(std::initializer_list<const char*> names) {
    CStringList l;
    for (const char* n : names)
        l.add(n);
    return l;
}

TEST_F(CAudioWrapperInstance, RoutingFollowsTheHostWhileItIsAutomatic) {
    CAudioParam* in = w.param("plugin.modMain.io-params.in-routing");
    CAudioParam* out = w.param("plugin.modMain.io-params.out-routing");
    CAudioParam* grouping = w.param("plugin.modMain.io-params.grouping");
    CAudioParam* names = w.param("plugin.modMain.io-params.in-channel-names");
    CAudioParam* groups = w.param("plugin.modMain.io-params.group-names");
    // A refresh before the host described its channels does nothing.
    w.setChannelLabels(labels({"L", "R", "C"}), CStringList());
    w.refreshRouting(nullptr, nullptr);
    EXPECT_EQ(floats(in, 8), (std::vector<int>{1, 2, 0, 0, 0, 0, 0, 0}));

    w.setChannelLabels(labels({"L", "R"}), CStringList());
    w.updateRouting(true, nullptr, nullptr);
    EXPECT_EQ(texts(names, 2), (std::vector<std::string>{"L", "R"}));
    EXPECT_EQ(texts(groups, 3), (std::vector<std::string>{"STEREO", "G-2", "G-3"}));
    EXPECT_EQ(floats(in, 8), (std::vector<int>{1, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(floats(grouping, 8), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3}));

    w.setChannelLabels(labels({"L", "R", "C", "Lfe", "Ls", "Rs"}), CStringList());
    w.updateRouting(true, nullptr, nullptr);
    EXPECT_EQ(floats(in, 8), (std::vector<int>{1, 2, 3, 4, 5, 6, 0, 0}));
    EXPECT_EQ(floats(out, 8), (std::vector<int>{1, 2, 3, 4, 5, 6, 0, 0}));
    EXPECT_EQ(floats(grouping, 8), (std::vector<int>{0, 0, 0, 0, 0, 0, 3, 3}));
    EXPECT_EQ(texts(groups, 1), (std::vector<std::string>{"MULTI"}));
    EXPECT_EQ(texts(names, 6), (std::vector<std::string>{"L", "R", "C", "Lfe", "Ls", "Rs"}));

    // Edits by the user stop the automatic routing: an edited in-routing, a group name, a pair.
    struct Edit {
        const char* param;
        int element;
        double value;
    };
    for (const Edit& e : {Edit{"plugin.modMain.io-params.in-routing", 0, 2.0},
                          Edit{"plugin.modMain.io-params.ms-pairs", 3, 1.0}}) {
        SCOPED_TRACE(e.param);
        CAudioParam* p = w.param(e.param);
        {
            CAudioParamLock lock(p);
            std::vector<double> values(std::size_t(p->getCurrent().getElementCount(0)));
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = p->getCurrent().getValue(0, int(i), 0);
            const double old = values[std::size_t(e.element)];
            values[std::size_t(e.element)] = e.value;
            CAudioParamChange c;
            c.count = int(values.size());
            c.singleGroup = true;
            c.values = values.data();
            p->applyChange(c, &lock, CAudioParamContext{});
            const std::vector<int> before = floats(in, 8);
            w.setChannelLabels(labels({"L", "R"}), CStringList());
            w.updateRouting(true, nullptr, nullptr);
            EXPECT_EQ(floats(in, 8), before);
            values[std::size_t(e.element)] = old;
            p->applyChange(c, &lock, CAudioParamContext{});
        }
    }
    groups->setString(0, 2, CString("Drums"), nullptr, nullptr, CAudioParamContext{});
    w.updateRouting(true, nullptr, nullptr);
    EXPECT_EQ(floats(in, 8), (std::vector<int>{1, 2, 3, 4, 5, 6, 0, 0}));
}

// The registry's refresh and the label import (main thread) run while the process call rebuilds the
// routing after a format change (audio thread): both take the wrapper mutex and the routing
// parameters, always in that order, so neither waits for the other forever.
TEST_F(CAudioWrapperInstance, ConcurrentRoutingRefreshAndForcedUpdate) {
    w.setChannelLabels(labels({"L", "R"}), CStringList());
    w.updateRouting(true, nullptr, nullptr);
    constexpr int kRounds = 200;
    std::thread audio([&] {
        for (int i = 0; i < kRounds; ++i)
            w.updateRouting(true, nullptr, nullptr);
    });
    for (int i = 0; i < kRounds; ++i) {
        w.setChannelLabels(i % 2 == 0 ? labels({"L", "R", "C", "Lfe", "Ls", "Rs"}) : labels({"L", "R"}), CStringList());
        w.refreshRouting(nullptr, nullptr);
        w.importChannelLabels();
    }
    audio.join();
    // The last labels were stereo; the routing is rebuilt for them once both threads are done.
    w.updateRouting(true, nullptr, nullptr);
    EXPECT_EQ(floats(w.param("plugin.modMain.io-params.in-routing"), 8), (std::vector<int>{1, 2, 0, 0, 0, 0, 0, 0}));
}

TEST_F(CAudioWrapperInstance, OfflineOversamplingDependsOnTheRateAndTheForceSetting) {
    CAudioParam* mode = w.param("plugin.modMain.host-oversampling-mode");
    struct Row {
        double rate;
        const char* force;
        int mode;
    };
    for (const Row& r : {Row{48000, "0", 2}, Row{96000, "0", 1}, Row{192000, "0", 0}, Row{48000, "true", -2},
                         Row{96000, "1", -1}}) {
        SCOPED_TRACE(r.rate);
        writeAppDataString(&CAppData::localScope(), CString("force-auto-oversampling"), CString(r.force), nullptr);
        w.setSampleRate(r.rate);
        w.setOffline(false);
        EXPECT_EQ(w.getOversamplingMode(), 0);   // real time: auto-oversampling-rtmode - 1
        w.setOffline(true);
        EXPECT_EQ(w.getOversamplingMode(), r.mode);
        EXPECT_EQ(mode->getCurrent().getValue(0, 0, 0), double(r.mode));
        EXPECT_EQ(w.param("plugin.modMain.host-offline")->getCurrent().getValue(0, 0, 0), 1.0);
    }
    writeAppDataString(&CAppData::localScope(), CString("force-auto-oversampling"), CString("0"), nullptr);
}

TEST_F(CAudioWrapperInstance, WindowSizeFollowsTheParameterScaleAndMinimum) {
    EXPECT_EQ(w.getWindowWidth(), 790);
    EXPECT_EQ(w.getWindowHeight(), 500);
    std::int32_t mw = 0, mh = 0;
    ASSERT_TRUE(w.getMinWindowSize(mw, mh));
    EXPECT_EQ(mw, 658);
    EXPECT_EQ(mh, 230);
    w.onHostResize(600, 200);   // the parameter takes it; the window keeps the minimum
    CAudioParam* size = w.param("plugin.modMain.main-window-size");
    EXPECT_EQ(floats(size, 2), (std::vector<int>{600, 200}));
    EXPECT_EQ(w.getWindowWidth(), 658);
    EXPECT_EQ(w.getWindowHeight(), 230);
    w.onHostResize(1000, 700);
    EXPECT_EQ(w.getWindowWidth(), 1000);
    EXPECT_EQ(w.getWindowHeight(), 700);
}

TEST_F(CAudioWrapperInstance, LatencyChangeIsReportedOnceUntilTheHostAsks) {
    CAudioParam* flag = w.param("plugin.modMain.host-latency-change");
    w.acknowledgeLatency();
    EXPECT_EQ(flag->getCurrent().getValue(0, 0, 0), 0.0);
    w.onLatencyChanged();
    EXPECT_EQ(flag->getCurrent().getValue(0, 0, 0), 1.0);
    w.acknowledgeLatency();
    EXPECT_EQ(flag->getCurrent().getValue(0, 0, 0), 0.0);
}

// One attribute of an object of the shared description (at path) changed for the while, e.g. the
// instance template that "audio" names; restored by the destructor.
class CSharedAttrOverride {
public:
    CSharedAttrOverride(const char* path, const char* attr, const char* value)
        : mObject(CApplication::sharedObject()->findObject(CString(path))), mAttr(attr) {
        EXPECT_NE(mObject, nullptr) << path;
        if (mObject == nullptr)
            return;
        if (CAttrValue* old = mObject->attrs().findValue(mAttr))
            mSaved = old->asText();
        EXPECT_EQ(takeMessage(mObject->setAttr(mAttr, CString(value), true)), "");
    }
    ~CSharedAttrOverride() {
        if (mObject != nullptr) {
            EXPECT_EQ(takeMessage(mObject->setAttr(mAttr, mSaved, true)), "");
        }
    }
    CSharedAttrOverride(const CSharedAttrOverride&) = delete;
    CSharedAttrOverride& operator=(const CSharedAttrOverride&) = delete;

private:
    CObject* mObject;
    CString mAttr;
    CString mSaved;
};

// The message of a second instance's set-up, built with one attribute changed.
std::string initMessage(const char* path, const char* attr, const char* value) {
    CSharedAttrOverride change(path, attr, value);
    CTestWrapper other;
    return takeMessage(other.init());
}

// The event names of the messages waiting for a client of an instance's base connector.
std::vector<std::string> waitingNames(CParamInterfaceBaseConnectorUni& connector, std::int32_t clientId) {
    std::vector<std::string> names;
    CByteBuffer message;
    while (connector.takeBaseData(clientId, message)) {
        CMemoryReader reader(message.data(), message.size());
        CString name;
        EXPECT_EQ(takeMessage(reader.readString(name)), "");
        names.push_back(textOf(name));
    }
    return names;
}

// With a side chain the rebuild appends the side-chain channels to the routed inputs, marks them
// muted (no output) and maps the main channels onto them; a routing it wrote stays automatic for
// the next arrangement, and a broken run of muted channels stops it.
TEST_F(CAudioWrapperInstance, SidechainChannelsFollowTheMainOnesWhileTheRoutingIsAutomatic) {
    CSharedAttrOverride change("project", "use-sidechain", "true");
    CTestWrapper sc;
    ASSERT_EQ(takeMessage(sc.init()), "");
    sc.activate();
    const auto values = [&](const char* name) { return floats(sc.param(name), 8); };
    const char* kIn = "plugin.modMain.io-params.in-routing";
    const char* kOut = "plugin.modMain.io-params.out-routing";
    const char* kGrouping = "plugin.modMain.io-params.grouping";
    const char* kMap = "plugin.modMain.io-params.sidechain";
    const char* kMute = "plugin.modMain.io-params.sidechain-mute";
    struct Step {
        std::vector<const char*> main, side;
        std::vector<int> in, out, grouping, map, mute;
    };
    const Step steps[] = {
        // Stereo with a stereo side chain: inputs 3 and 4 are the side chain, main 0/1 map onto 2/3.
        {{"L", "R"}, {"SL", "SR"}, {1, 2, 3, 4, 0, 0, 0, 0}, {1, 2, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 2, 2, 3, 3},
         {2, 3, 2, 3, 0, 0, 0, 0}, {0, 0, 1, 1, 0, 0, 0, 0}},
        // A one-channel side chain: both main channels map onto it.
        {{"L", "R"}, {"S"}, {1, 2, 3, 0, 0, 0, 0, 0}, {1, 2, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 2, 2, 3, 3},
         {2, 2, 2, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0, 0}},
        // 5.1 with a stereo side chain fills all eight channels.
        {{"L", "R", "C", "Lfe", "Ls", "Rs"}, {"SL", "SR"}, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 0, 0},
         {0, 0, 0, 0, 0, 0, 0, 0}, {6, 7, 2, 3, 4, 5, 6, 7}, {0, 0, 0, 0, 0, 0, 1, 1}},
        // Without side-chain labels: identity mapping, nothing muted.
        {{"L", "R"}, {}, {1, 2, 0, 0, 0, 0, 0, 0}, {1, 2, 0, 0, 0, 0, 0, 0}, {0, 0, 1, 1, 2, 2, 3, 3},
         {0, 1, 2, 3, 4, 5, 6, 7}, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.main.size()) + " + " + std::to_string(step.side.size()));
        CStringList main, side;
        for (const char* l : step.main)
            main.add(l);
        for (const char* l : step.side)
            side.add(l);
        sc.setChannelLabels(main, side);
        sc.updateRouting(true, nullptr, nullptr);
        EXPECT_EQ(values(kIn), step.in);
        EXPECT_EQ(values(kOut), step.out);
        EXPECT_EQ(values(kGrouping), step.grouping);
        EXPECT_EQ(values(kMap), step.map);
        EXPECT_EQ(values(kMute), step.mute);
    }

    // A muted run with a gap is the user's: a new arrangement changes nothing.
    sc.setChannelLabels(labels({"L", "R"}), labels({"SL", "SR"}));
    sc.updateRouting(true, nullptr, nullptr);
    CAudioParam* mute = sc.param(kMute);
    {
        CAudioParamLock lock(mute);
        double v[8] = {0, 0, 1, 0, 1, 0, 0, 0};
        CAudioParamChange c;
        c.count = 8;
        c.singleGroup = true;
        c.values = v;
        mute->applyChange(c, &lock, CAudioParamContext{});
    }
    const std::vector<int> before = values(kIn);
    sc.setChannelLabels(labels({"L", "R", "C", "Lfe", "Ls", "Rs"}), CStringList());
    sc.updateRouting(true, nullptr, nullptr);
    EXPECT_EQ(values(kIn), before);
    EXPECT_EQ(values(kMute), (std::vector<int>{0, 0, 1, 0, 1, 0, 0, 0}));
}

// Start and stop (activation runs one of each) and format changes post their editor messages,
// which an editor's fetch builds; a new sample rate is sent at once.
TEST_F(CAudioWrapperInstance, ProcessingStateReachesTheEditorsAsTheProjectSays) {
    struct Case {
        const char* alwaysActive;
        std::vector<std::string> activation;
    };
    const std::vector<Case> cases = {
        {"true", {"start-viz", "update-io-channel-counts", "clear-client"}},
        {"false", {"start-viz", "clear-client", "update-io-channel-counts", "stop-viz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alwaysActive);
        CSharedAttrOverride change("project", "is-viz-always-active", c.alwaysActive);
        CTestWrapper other;
        ASSERT_EQ(takeMessage(other.init()), "");
        auto* connector = dynamic_cast<CParamInterfaceBaseConnectorUni*>(
            other.getRoot()->findObject(CString("plugin.interface-base-connector")));
        ASSERT_NE(connector, nullptr);
        const std::int32_t client = connector->registerClient(nullptr);
        other.activate();
        EXPECT_TRUE(waitingNames(*connector, client).empty());   // posted, not yet built
        connector->sendPostedMessages();
        EXPECT_EQ(waitingNames(*connector, client), c.activation);

        other.setSampleRate(96000.0);
        other.setSampleRate(96000.0);   // the same rate: nothing
        EXPECT_EQ(waitingNames(*connector, client), (std::vector<std::string>{"update-sample-rate"}));
        other.applyFormatChange();      // the rate marked the format changed
        other.applyFormatChange();      // already applied: nothing more
        connector->sendPostedMessages();
        EXPECT_EQ(waitingNames(*connector, client), (std::vector<std::string>{"update-io-channel-counts"}));
        connector->unregisterClient(client);
    }
}

TEST_F(CAudioWrapperInstance, SetUpRequiresEveryPartWithItsClass) {
    struct Case {
        const char* path;
        const char* attr;
        const char* value;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"audio", "plugin-tag", "plugin-no-interface",
         "Unable to find object 'plugin.interface-base' ('plugin.interface-base') at ."},
        {"audio", "plugin-tag", "plugin-wrong-interface",
         "Incompatible type of object 'plugin.interface-base' ('plugin.interface-base') at ."},
        {"audio", "plugin-tag", "plugin-no-cctable",
         "Unable to find object 'plugin.cctable' ('plugin.cctable') at ."},
        {"project", "app-version", "1", "Invalid version specification in string '1'."},
        {"project", "app-version", "1.-2", "Invalid version specification in string '1.-2'."},
        {"project", "app-version", "1.2.3.4", "Invalid version specification in string '1.2.3.4'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(initMessage(c.path, c.attr, c.value), c.message);
    }
    // The instance of the fixture, built from the whole template, is not disturbed.
    EXPECT_TRUE(w.isInitialised());
}

// The uncalled state variants: a program or the program bank, with or without the 16-byte header.
TEST_F(CAudioWrapperInstance, StateRecordsRoundTripWithAndWithoutHeader) {
    CAudioExtParam* gain = w.ext(1);
    for (const bool bank : {false, true}) {
        for (const bool header : {false, true}) {
            SCOPED_TRACE(std::string(bank ? "bank" : "preset") + (header ? " with header" : ""));
            gain->setNormalized(0.8);
            CByteBuffer record;
            ASSERT_EQ(takeMessage(w.saveStateRecord(record, bank, header)), "");
            const int skip = header ? 16 : 0;
            ASSERT_GT(record.size(), skip + 12);
            for (int i = 0; i < skip; ++i)
                EXPECT_EQ(record.data()[i], 0) << i;
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data()) + skip, 4), bank ? "abnk" : "aprs");

            gain->setNormalized(0.3);
            // The other kind of record is refused and changes nothing.
            EXPECT_NE(takeMessage(w.loadStateRecord(record.data(), record.size(), !bank, header)), "");
            EXPECT_NEAR(gain->getNormalized(), 0.3, 1e-12);
            ASSERT_EQ(takeMessage(w.loadStateRecord(record.data(), record.size(), bank, header)), "");
            EXPECT_NEAR(gain->getNormalized(), 0.8, 1e-9);
        }
    }
    // With the header, data that holds no more than the header is ignored.
    gain->setNormalized(0.3);
    const std::uint8_t zeros[16] = {};
    EXPECT_EQ(takeMessage(w.loadStateRecord(zeros, 16, false, true)), "");
    EXPECT_NEAR(gain->getNormalized(), 0.3, 1e-12);
}

TEST_F(CAudioWrapperInstance, GesturesReachTheHostOnlyForExportedElements) {
    w.hostCalls.clear();
    w.beginParamGesture(w.param("plugin.modMain.gain"), 0, 0);
    w.endParamGesture(w.param("plugin.modMain.gain"), 0, 0);
    w.beginParamGesture(w.param("plugin.modMain.io-params.in-routing"), 0, 0);
    EXPECT_EQ(w.hostCalls, (std::vector<std::string>{"begin 1", "end 1"}));
}

TEST_F(CAudioWrapperInstance, ParameterChangesFromInsideReachTheHostButTheHostsOwnDoNot) {
    w.hostCalls.clear();
    w.ext(1)->setNormalized(0.25);   // the host's own change: not echoed
    EXPECT_TRUE(w.hostCalls.empty());
    w.param("plugin.modMain.gain")->setValue(0, nullptr, nullptr, 1.0);   // unity gain from the editor
    ASSERT_EQ(w.hostCalls.size(), 1u);
    EXPECT_EQ(w.hostCalls[0].rfind("value 1 ", 0), 0u);
}

TEST_F(CAudioWrapperInstance, TrackNameIsSetOnlyWhenItDiffers) {
    struct CCounter : CAudioParamListener {
        ~CCounter() override { detach(); }
        int changes = 0;
        void onParamChange(const CAudioParamUpdateInfo&) override { ++changes; }
    } counter;
    CAudioParam* name = w.param("plugin.modMain.host-track-name");
    name->addListener(&counter);
    w.setHostTrackName(CString("Vocals"));
    EXPECT_EQ(textOf(w.getHostTrackName()), "Vocals");
    EXPECT_EQ(counter.changes, 1);
    w.setHostTrackName(CString("Vocals"));
    EXPECT_EQ(counter.changes, 1);
    w.setHostTrackName(CString("Drums"));
    EXPECT_EQ(counter.changes, 2);
    name->removeListener(&counter);
}

} // namespace
} // namespace tal

namespace tal {
namespace {

TEST_F(CAudioWrapperInstance, LabelImportWritesTheNamesOnlyWhenTheyDiffer) {
    struct CCounter : CAudioParamListener {
        ~CCounter() override { detach(); }
        int changes = 0;
        void onParamChange(const CAudioParamUpdateInfo&) override { ++changes; }
    } counter;
    CAudioParam* names = w.param("plugin.modMain.io-params.in-channel-names");
    names->addListener(&counter);
    w.setChannelLabels(labels({"Mid", "Side", "C"}), labels({"SL"}));
    w.importChannelLabels();
    EXPECT_EQ(texts(names, 4), (std::vector<std::string>{"Mid", "Side", "C", "SL"}));
    EXPECT_EQ(counter.changes, 1);
    w.importChannelLabels();
    EXPECT_EQ(counter.changes, 1);
    names->removeListener(&counter);
}

} // namespace
} // namespace tal
