#include "Audio/Viz/CModSpectrumModule.h"

#include "Audio/Viz/CAudioVizCollector.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Processes/CAudioModuleSlot.h"
#include "Audio/Viz/CModSpectrum.h"
#include "fft/FftDispatch.h"
#include "support/FilterTestSupport.h"
#include "support/TerminalTestSupport.h"
#include "support/VizReply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>

namespace tal {
namespace {

constexpr double kFs = 48000.0;
const char* const kKeyNames[] = {"block-size", "window", "overlap", "avg-time", "type", "reset", "sec-type", "sec-enable"};

// One spectrum terminal as the product describes it: keys 0 to 7 allocated to parameters of its
// own, a visualisation collector in the graph context whose editor watches both items.
struct SpectrumRig {
    test::CProcessTestGraph graph;
    CAudioVizCollector* viz = new CAudioVizCollector;
    CAudioProcessBase* process = nullptr;
    CAudioProcessConnection* input = nullptr;

    // defaults: the "def-values" of the eight parameters, in key order.
    explicit SpectrumRig(const std::vector<const char*>& defaults, int channels = 1) {
        initFFTCPUDispatch();
        viz->setContext(&graph.env, &graph.collector, nullptr);
        graph.env.activeVizFrameRate = 1000.0;   // a frame for (nearly) every analysis
        graph.context.vizCollector = viz;
        CAudioProcessDefBase* def = graph.define("audio:modSpectrum", "modSpectrum", {{"is-outoforder", "true"}});
        for (int k = 0; k < CModSpectrumModule::kKeyCount; ++k) {
            graph.alloc(def, k, kKeyNames[k]);
            graph.param(def, kKeyNames[k], defaults[std::size_t(k)]);
        }
        graph.finish(def);
        process = graph.make(def, "plugin.modSpectrum");
        input = graph.host.attach(*process, channels, kFs);
        watch("plugin.modSpectrum");
        watch("plugin.modSpectrum-sec");
    }
    ~SpectrumRig() { viz->release(); }

    void watch(const char* name) {
        viz->addItemRequest(viz->getVizItem(CString(name)));
        viz->runHostBlockRequests();
    }
    CModSpectrumModule* module(int slot = 0) {
        auto* terminal = dynamic_cast<CModSpectrum*>(process);
        return terminal != nullptr && slot < terminal->slotCount()
                   ? dynamic_cast<CModSpectrumModule*>(terminal->slot(slot).current)
                   : nullptr;
    }
    test::VizReply run(const std::vector<std::vector<double>>& signal, int blockSize = 512) {
        const auto out = graph.runBlocks(*process, input, signal, blockSize);
        for (const auto& channel : out)
            EXPECT_TRUE(channel.empty());   // the analyser passes nothing on
        return test::takeVizReply(*viz);
    }
};

TEST(CModSpectrumModule, BinCentredSineGivesItsRmsLevelAtItsBin) {
    // Defaults of the product, but without averaging time: each frame is the last analysis.
    SpectrumRig rig({"5", "0", "0.5", "0", "0", "0", "0", "0"});
    for (const int bin : {1, 100, 700}) {
        SCOPED_TRACE(bin);
        const test::VizReply reply = rig.run({test::testSine(2048 * 4, bin * kFs / 2048, kFs)});
        const auto frames = reply.framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum");
        ASSERT_FALSE(frames.empty());
        const CAudioVizDataSpectrum& f = *frames.back();
        ASSERT_EQ(f.binCount(), 1025);
        EXPECT_EQ(f.fftSize, 2048);
        EXPECT_EQ(f.sampleRate, kFs);
        const double* v = f.values.data();
        EXPECT_EQ(std::max_element(v, v + f.binCount()) - v, bin);
        EXPECT_NEAR(v[bin], std::numbers::sqrt2 / 2.0, 1e-9);
        EXPECT_TRUE(reply.framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum-sec").empty());
        ASSERT_NE(rig.module(), nullptr);
        EXPECT_EQ(rig.module()->sink().primaryItem(), rig.viz->getVizItem(CString("plugin.modSpectrum")));
    }
}

struct KeyCase {
    std::vector<const char*> defaults;
    int fftSize, window, type, secType;   // secType -1: no secondary frames
};

// Each key reaches the analyser: the frames carry the size, window and averaging types the
// parameters select.
TEST(CModSpectrumModule, ParametersSelectSizeWindowAndAveraging) {
    const KeyCase cases[] = {
        {{"0", "1", "0.75", "0.1", "3", "0", "0", "0"}, 64, 1, 3, -1},
        {{"2", "3", "0.5", "0.3", "1", "0", "4", "1"}, 256, 3, 1, 4},
        {{"1", "2", "0.5", "0.3", "2", "0", "0", "0.6"}, 128, 2, 2, 0},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "size " << c.fftSize << " window " << c.window);
        SpectrumRig rig(c.defaults);
        const test::VizReply reply = rig.run({test::testNoise(4096, 3)});
        const auto primary = reply.framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum");
        const auto secondary = reply.framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum-sec");
        ASSERT_FALSE(primary.empty());
        EXPECT_EQ(primary[0]->fftSize, c.fftSize);
        EXPECT_EQ(primary[0]->binCount(), c.fftSize / 2 + 1);
        EXPECT_EQ(primary[0]->window, c.window);
        EXPECT_EQ(primary[0]->averagingType, c.type);
        if (c.secType < 0) {
            EXPECT_TRUE(secondary.empty());
        } else {
            ASSERT_EQ(secondary.size(), primary.size());
            EXPECT_EQ(secondary[0]->averagingType, c.secType);
        }
    }
}

TEST(CModSpectrumModule, EachChannelHasItsOwnModuleAndFrames) {
    SpectrumRig rig({"0", "0", "0.5", "0", "0", "0", "0", "0"}, 2);
    const test::VizReply reply = rig.run({std::vector<double>(256, 1.0), std::vector<double>(256, 0.25)});
    ASSERT_NE(rig.module(1), nullptr);
    EXPECT_EQ(rig.module(0)->outputCount, 0);
    const auto frames = reply.framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum");
    ASSERT_FALSE(frames.empty());
    // A constant channel c reads c times the window's sum, sqrt(2), at DC.
    double dc[2] = {-1.0, -1.0};
    for (const CAudioVizDataSpectrum* f : frames) {
        ASSERT_TRUE(f->channel == 0 || f->channel == 1);
        dc[f->channel] = f->values[0];
    }
    EXPECT_NEAR(dc[0], std::numbers::sqrt2, 1e-9);
    EXPECT_NEAR(dc[1], std::numbers::sqrt2 / 4.0, 1e-9);
}

TEST(CModSpectrumModule, ResetParameterRestartsAndAvgTimeKeepsTheAverage) {
    // "Max" keeps the peak since the last reset.
    SpectrumRig rig({"0", "0", "0", "0.3", "1", "0", "0", "0"});
    rig.run({std::vector<double>(64, 4.0)});
    const double peak = rig.run({std::vector<double>(64, 1.0)}).framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum").back()->values[0];
    EXPECT_NEAR(peak, 4.0 * std::numbers::sqrt2, 1e-9);
    rig.graph.set("plugin.modSpectrum.avg-time", 1.0);
    EXPECT_EQ(rig.run({std::vector<double>(64, 1.0)}).framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum").back()->values[0], peak);
    rig.graph.set("plugin.modSpectrum.reset", 1.0);
    EXPECT_NEAR(rig.run({std::vector<double>(64, 1.0)}).framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum").back()->values[0],
                std::numbers::sqrt2, 1e-9);
}


// The audio thread runs the terminal block after block as the shell does (request hand-over and
// frame rate once per host block) while the editor's thread fetches replies and switches a
// second listener on and off. 4096-point analyses take their values from the reserve, given back
// on the editor's thread. Every frame is either received, in time order, or left out for want of a
// free reserved block; none is lost or received twice.
TEST(CModSpectrumModule, ConcurrentAnalysisWhileTheEditorFetches) {
    SpectrumRig rig({"6", "0", "0.5", "0", "0", "0", "0", "0"});
    constexpr int kBlocks = 400;   // 204800 samples: 100 analyses of hop 2048
    constexpr int kBlockLength = 512;
    std::atomic<bool> done{false};
    std::thread audio([&] {
        const std::vector<double> block(kBlockLength, 0.5);
        for (int b = 0; b < kBlocks; ++b) {
            {
                CSpinLockGuard guard(rig.graph.env.processingLock);
                rig.graph.env.activeVizFrameRate = rig.graph.env.requestedVizFrameRate;
                rig.graph.env.vizTime = rig.graph.env.runningTime;
            }
            rig.viz->runHostBlockRequests();
            rig.graph.run(*rig.process, rig.input, {block});
            rig.graph.env.runningTime += kBlockLength / kFs;
        }
        done.store(true, std::memory_order_release);
    });
    std::vector<double> times;
    CAudioVizItem* second = rig.viz->getVizItem(CString("plugin.modSpectrum"));
    bool extra = false;
    const auto collect = [&] {
        const test::VizReply reply = test::takeVizReply(*rig.viz, 1000.0);
        for (const CAudioVizDataSpectrum* f : reply.framesOf<CAudioVizDataSpectrum>("plugin.modSpectrum")) {
            EXPECT_EQ(f->binCount(), 2049);
            if (f->time > 0.0) {   // the first analysis sees zeros in the older half of its block
                EXPECT_NEAR(f->values[0], 0.5 * std::numbers::sqrt2, 1e-9);
            }
            times.push_back(f->time);
        }
    };
    while (!done.load(std::memory_order_acquire)) {
        collect();
        // Another listener of the same item comes and goes; the first one keeps it on throughout.
        if (extra)
            rig.viz->removeItemRequest(second);
        else
            rig.viz->addItemRequest(second);
        extra = !extra;
        std::this_thread::yield();
    }
    audio.join();
    rig.viz->runHostBlockRequests();
    collect();
    ASSERT_NE(rig.module(), nullptr);
    EXPECT_EQ(std::int64_t(times.size()) + rig.module()->analyser().droppedFrames(), kBlocks * kBlockLength / 2048);
    EXPECT_FALSE(times.empty());
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(std::adjacent_find(times.begin(), times.end()), times.end());
}

} // namespace
} // namespace tal
