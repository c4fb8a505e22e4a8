// One plug-in instance driven through the bundle as a host drives it. These tests need an instance
// the plug-in can build; while it cannot, each says so and is skipped.
#include "CHostModule.h"
#include "CHostParameterChanges.h"
#include "CHostPlugin.h"

#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace delmaro_tool;
using namespace Steinberg;
using namespace Steinberg::Vst;

std::string narrow(const TChar* text) {
    std::string out;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        out.push_back(char(text[i]));
    return out;
}

class VST3Instance : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
        const std::string err = plugin.create(module.factory());
        if (!err.empty())
            GTEST_SKIP() << "the plug-in builds no instance yet: " << err;
    }
    // Exported parameters (every one but the program parameter).
    std::vector<ParameterInfo> exported() const {
        std::vector<ParameterInfo> out;
        for (const ParameterInfo& p : plugin.parameters())
            if (!(p.flags & ParameterInfo::kIsProgramChange))
                out.push_back(p);
        return out;
    }

    CHostModule module;   // declared first: outlives the instance
    CHostPlugin plugin;
};

TEST_F(VST3Instance, BusesAndTheArrangementTable) {
    const std::vector<BusInfo> ins = plugin.buses(kAudio, kInput);
    const std::vector<BusInfo> outs = plugin.buses(kAudio, kOutput);
    const std::vector<BusInfo> events = plugin.buses(kEvent, kInput);
    ASSERT_EQ(ins.size(), 1u);   // the product has no side chain
    ASSERT_EQ(outs.size(), 1u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(narrow(ins[0].name), "Audio In");
    EXPECT_EQ(narrow(outs[0].name), "Audio Out");
    EXPECT_EQ(narrow(events[0].name), "MIDI In");
    EXPECT_EQ(ins[0].channelCount, 2);
    EXPECT_EQ(events[0].channelCount, 1);
    EXPECT_EQ(ins[0].busType, kMain);
    EXPECT_TRUE(ins[0].flags & BusInfo::kDefaultActive);

    struct Row {
        SpeakerArrangement in, out, wantIn, wantOut;
        tresult result;
    };
    // Symmetric input and output, 8 internal channels.
    const Row rows[] = {
        {SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo, kResultOk},
        {SpeakerArr::k51, SpeakerArr::k51, SpeakerArr::k51, SpeakerArr::k51, kResultOk},
        {0x3FF, 0x3FF, SpeakerArr::k71Music, SpeakerArr::k71Music, kResultFalse},
        {SpeakerArr::kStereo, SpeakerArr::k51, SpeakerArr::k51, SpeakerArr::k51, kResultFalse},
        {SpeakerArr::kMono, SpeakerArr::kMono, SpeakerArr::kMono, SpeakerArr::kMono, kResultOk},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << std::hex << r.in << " / " << r.out);
        SpeakerArrangement in = r.in, out = r.out;
        EXPECT_EQ(plugin.processor()->setBusArrangements(&in, 1, &out, 1), r.result);
        SpeakerArrangement takenIn = 0, takenOut = 0;
        plugin.processor()->getBusArrangement(kInput, 0, takenIn);
        plugin.processor()->getBusArrangement(kOutput, 0, takenOut);
        EXPECT_EQ(takenIn, r.wantIn);
        EXPECT_EQ(takenOut, r.wantOut);
    }
    EXPECT_EQ(plugin.processor()->canProcessSampleSize(kSample32), kResultOk);
    EXPECT_EQ(plugin.processor()->canProcessSampleSize(kSample64), kResultOk);
    EXPECT_EQ(plugin.processor()->canProcessSampleSize(2), kResultFalse);
}

TEST_F(VST3Instance, ParameterFlagsUnitAndProgramList) {
    const std::vector<ParameterInfo> params = plugin.parameters();
    const std::vector<ParameterInfo> ext = exported();
    ASSERT_EQ(ext.size(), 35u);
    for (size_t i = 0; i < ext.size(); ++i) {
        SCOPED_TRACE(narrow(ext[i].title));
        EXPECT_EQ(ext[i].id, ParamID(i));
        const bool bypass = narrow(ext[i].title) == "Bypass";
        EXPECT_EQ(ext[i].flags, bypass ? (ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass)
                                       : ParameterInfo::kCanAutomate);
        EXPECT_EQ(ext[i].stepCount, bypass ? 1 : 0);
        EXPECT_EQ(ext[i].unitId, 0);
    }
    ASSERT_EQ(params.size(), 36u);
    const ParameterInfo& program = params.back();
    EXPECT_EQ(program.id, 999u);
    EXPECT_EQ(narrow(program.title), "Program");
    EXPECT_EQ(program.flags, ParameterInfo::kIsProgramChange | ParameterInfo::kIsList);

    FUnknownPtr<IUnitInfo> units(plugin.controller());
    ASSERT_TRUE(units);
    EXPECT_EQ(units->getUnitCount(), 1);
    UnitInfo unit {};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.id, 0);
    EXPECT_EQ(unit.parentUnitId, -1);
    EXPECT_EQ(narrow(unit.name), "Root");
    EXPECT_EQ(unit.programListId, 999);
    EXPECT_EQ(units->getUnitInfo(1, unit), kResultFalse);
    ProgramListInfo list {};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.id, 999);
    EXPECT_EQ(narrow(list.name), "Programs");
    EXPECT_EQ(list.programCount, program.stepCount + 1);
    String128 name {};
    for (int32 k = 0; k < list.programCount; ++k) {
        ASSERT_EQ(units->getProgramName(999, k, name), kResultOk);
        EXPECT_EQ(narrow(name).find(':'), std::string::npos) << "the registry id stays hidden";
    }
    EXPECT_EQ(units->getProgramName(998, 0, name), kResultFalse);
    ParamValue value = 0.0;
    String128 text {};
    UString(text, 128).fromAscii("1");
    EXPECT_NE(plugin.controller()->getParamValueByString(999, text, value), kResultOk);
}

TEST_F(VST3Instance, StateRoundTripAndDamagedStatesChangeNothing) {
    const std::vector<ParameterInfo> ext = exported();
    ASSERT_FALSE(ext.empty());
    IEditController* c = plugin.controller();
    for (const ParameterInfo& p : ext)
        if (!(p.flags & ParameterInfo::kIsBypass))
            c->setParamNormalized(p.id, 0.25);
    std::vector<std::uint8_t> saved;
    ASSERT_EQ(plugin.saveState(saved), kResultOk);
    ASSERT_GT(saved.size(), 12u);
    // A discrete parameter keeps the host's off-grid value until the state reports its own step, so
    // the round trip is compared as the value's text, which is what the host shows.
    const auto valueText = [c](ParamID id) {
        String128 text {};
        EXPECT_EQ(c->getParamStringByValue(id, c->getParamNormalized(id), text), kResultOk);
        return narrow(text);
    };
    std::vector<std::string> before;
    for (const ParameterInfo& p : ext)
        before.push_back(valueText(p.id));

    for (const ParameterInfo& p : ext)
        if (!(p.flags & ParameterInfo::kIsBypass))
            c->setParamNormalized(p.id, 0.75);
    std::vector<double> changed;
    for (const ParameterInfo& p : ext)
        changed.push_back(c->getParamNormalized(p.id));

    std::vector<std::uint8_t> truncated(saved.begin(), saved.begin() + saved.size() / 2);
    std::vector<std::uint8_t> foreign = saved;
    foreign[0] = 'a';   // tag 'abnk' instead of 'aprs'
    foreign[1] = 'b';
    foreign[2] = 'n';
    foreign[3] = 'k';
    for (const std::vector<std::uint8_t>* damaged : {&truncated, &foreign}) {
        EXPECT_EQ(plugin.loadState(*damaged), kResultFalse);
        for (size_t i = 0; i < ext.size(); ++i)
            EXPECT_EQ(c->getParamNormalized(ext[i].id), changed[i]) << narrow(ext[i].title);
    }
    ASSERT_EQ(plugin.loadState(saved), kResultOk);
    for (size_t i = 0; i < ext.size(); ++i)
        EXPECT_EQ(valueText(ext[i].id), before[i]) << narrow(ext[i].title);
}

TEST_F(VST3Instance, AHundredPointQueueEndsOnItsLastPoint) {
    // Bypass, EQRange, then type, frequency, bandwidth and gain of band 1: id 5 is band 1's gain.
    const std::vector<ParameterInfo> ext = exported();
    ASSERT_GT(ext.size(), 5u);
    const ParamID gain = ext[5].id;
    ASSERT_EQ(plugin.start(48000.0, 512, kSample32, 2, 2), "");
    CHostParameterChanges changes(4, 128);
    for (int k = 0; k < 100; ++k)
        ASSERT_TRUE(changes.addPoint(ParamID(gain), k * 5, 0.3 + 0.004 * k));
    std::vector<double> in(512, 0.0), out(512, 0.0);
    const double* ins[2] = {in.data(), in.data()};
    double* outs[2] = {out.data(), out.data()};
    ASSERT_EQ(plugin.processBlock(ins, outs, 512, &changes), kResultOk);
    EXPECT_NEAR(plugin.controller()->getParamNormalized(ParamID(gain)), 0.3 + 0.004 * 99, 1e-9);
}

// Random block sizes, sample rates, sample sizes and automation: finite input stays finite.
TEST_F(VST3Instance, StressRandomBlocksRatesAndAutomation) {
    const std::vector<ParameterInfo> ext = exported();
    std::mt19937 rng(20261211);
    const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0};
    for (int run = 0; run < 6; ++run) {
        const double rate = rates[run];
        const int sampleSize = run % 2 == 0 ? kSample32 : kSample64;
        SCOPED_TRACE(::testing::Message() << rate << " Hz, " << (sampleSize == kSample64 ? 64 : 32) << "-bit");
        ASSERT_EQ(plugin.start(rate, 8192, sampleSize, 2, 2), "");
        CHostParameterChanges changes(64, 8);
        std::vector<double> l(8192), r(8192), ol(8192), orr(8192);
        for (int block = 0; block < 40; ++block) {
            const int n = 1 + int(rng() % 8192);
            for (int i = 0; i < n; ++i) {
                l[i] = std::sin(0.01 * i + block) * 0.8;
                r[i] = double(int(rng() % 2001) - 1000) / 1000.0;
            }
            changes.clear();
            for (const ParameterInfo& p : ext)
                if (rng() % 3 == 0)
                    changes.addPoint(p.id, int32(rng() % unsigned(n)), double(rng() % 1001) / 1000.0);
            const double* ins[2] = {l.data(), r.data()};
            double* outs[2] = {ol.data(), orr.data()};
            ASSERT_EQ(plugin.processBlock(ins, outs, n, &changes), kResultOk);
            for (int i = 0; i < n; ++i)
                ASSERT_TRUE(std::isfinite(ol[i]) && std::isfinite(orr[i])) << "block " << block << " sample " << i;
        }
        plugin.stop();
    }
}

// The audio thread processes while the main thread edits parameters and saves and restores state.
TEST_F(VST3Instance, ConcurrentProcessingWithEditsAndState) {
    const std::vector<ParameterInfo> ext = exported();
    ASSERT_EQ(plugin.start(48000.0, 256, kSample64, 2, 2), "");
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        CHostParameterChanges changes(64, 4);
        std::vector<double> in(256, 0.1), out(256, 0.0);
        const double* ins[2] = {in.data(), in.data()};
        double* outs[2] = {out.data(), out.data()};
        int block = 0;
        while (!stop.load()) {
            changes.clear();
            changes.addPoint(ext[1 + block % (int(ext.size()) - 1)].id, block % 256, (block % 100) / 100.0);
            plugin.processBlock(ins, outs, 256, &changes);
            ++block;
        }
    });
    std::vector<std::uint8_t> state;
    for (int i = 0; i < 200; ++i) {
        plugin.controller()->setParamNormalized(ext[2 + i % (int(ext.size()) - 2)].id, (i % 10) / 10.0);
        if (i % 20 == 0) {
            EXPECT_EQ(plugin.saveState(state), kResultOk);
            EXPECT_EQ(plugin.loadState(state), kResultOk);
        }
    }
    stop.store(true);
    audio.join();
    plugin.stop();
}

} // namespace

namespace {

// Every call into the host's component handler comes from the main thread, while the audio thread
// automates every parameter and the main thread switches programs and restores states. The threads
// overlap for the whole of the main thread's fixed work; no step waits for the other.
TEST_F(VST3Instance, ConcurrentHostNoticesComeFromTheMainThreadOnly) {
    const std::vector<ParameterInfo> ext = exported();
    const std::int64_t program = 999;
    ASSERT_EQ(plugin.start(48000.0, 256, kSample64, 2, 2), "");
    // Two states to restore: the defaults and a changed program.
    std::vector<std::uint8_t> stateA, stateB;
    ASSERT_EQ(plugin.saveState(stateA), kResultOk);
    plugin.controller()->setParamNormalized(ParamID(program), 3.0 / 13.0);
    ASSERT_EQ(plugin.saveState(stateB), kResultOk);
    plugin.handler().clearCalls();

    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<bool> mainDone{false};
    std::thread audio([&] {
        plugin.handler().setAudioThread(std::this_thread::get_id());
        CHostParameterChanges changes(int(ext.size()), 8);
        std::vector<double> in(256, 0.1), out(256, 0.0);
        const double* ins[2] = {in.data(), in.data()};
        double* outs[2] = {out.data(), out.data()};
        for (int block = 0; block < 50 || !mainDone.load(); ++block) {
            changes.clear();
            for (const ParameterInfo& p : ext)
                for (int k = 0; k < 4; ++k)
                    changes.addPoint(p.id, k * 64, double((block * 11 + k * 17 + int(p.id)) % 101) / 100.0);
            plugin.processBlock(ins, outs, 256, &changes);
        }
    });
    for (int i = 0; i < 200; ++i) {
        plugin.controller()->setParamNormalized(ParamID(program), double(i % 14) / 13.0);
        if (i % 7 == 3) {
            EXPECT_EQ(plugin.loadState(i % 2 ? stateA : stateB), kResultOk);
        }
        plugin.controller()->getParamNormalized(ext[i % ext.size()].id);
    }
    mainDone.store(true);
    audio.join();
    // A last main-thread call hears what the audio thread posted at the end.
    plugin.controller()->getParamNormalized(ext[0].id);
    plugin.stop();

    const std::vector<CHostComponentHandler::CCall> calls = plugin.handler().calls();
    int edits = 0;
    for (const CHostComponentHandler::CCall& call : calls)
        edits += call.kind == CHostComponentHandler::Kind::Perform ? 1 : 0;
    EXPECT_GT(edits, 0) << "restoring states reports the changed values to the host";
    EXPECT_EQ(plugin.handler().callsNotFrom(mainThread), 0) << "of " << calls.size() << " calls";
    EXPECT_EQ(plugin.handler().callsFromAudioThread(), 0);
}

} // namespace
