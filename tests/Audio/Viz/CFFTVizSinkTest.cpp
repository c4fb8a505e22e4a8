#include "Audio/Viz/CFFTVizSink.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioEnv.h"
#include "Audio/Viz/CSpectrumValueReserve.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CFFTAnalyser.h"
#include "Core/CMemoryReader.h"
#include "fft/FftDispatch.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <vector>

namespace tal {
namespace {

// A collector with its environment and a sink attached to the item "modSpectrum".
struct SinkRig {
    SinkRig() {
        initFFTCPUDispatch();
        viz->setContext(env, nullptr, nullptr);
        sink.attach(viz, CString("modSpectrum"));
    }
    ~SinkRig() {
        viz->release();
        env->release();
    }
    CAudioEnv* env = new CAudioEnv;
    CAudioVizCollector* viz = new CAudioVizCollector;
    CFFTVizSink sink;
};

// An analyser wired to a collector as the spectrum module wires it: frames of the watched primary
// item reach the "viz-data" reply; the unwatched secondary item's frames are dropped.
TEST(CFFTVizSink, AnalyserFramesReachTheReplyOfTheWatchedItem) {
    SinkRig rig;
    CAudioVizCollector* viz = rig.viz;
    CFFTVizSink& sink = rig.sink;
    ASSERT_NE(sink.primaryItem(), sink.secondaryItem());
    EXPECT_EQ(viz->getVizItem(CString("modSpectrum-sec")), sink.secondaryItem());
    viz->addItemRequest(sink.primaryItem());
    viz->runHostBlockRequests();
    {
        CAudioBlockPool pool;
        CFFTAnalyser analyser;
        analyser.setup(&pool, &sink, -1, 0);
        CFFTAnalyser::CSettings s;
        s.blockSize = 0;   // N = 64, hop 32
        s.secEnable = 1.0;
        analyser.update(s, CFFTAnalyser::kChangedAll, true, 48000.0, 1500.0, 0.0);   // every analysis emits
        const std::vector<double> input(128, 0.5);
        analyser.process(input.data(), 128, 1500.0);
    }
    EXPECT_EQ(viz->queuedFrameCount(sink.primaryItem()), 4);
    EXPECT_EQ(viz->queuedFrameCount(sink.secondaryItem()), 0);
    const test::Bytes reply = test::written([&](COutputStream& out) { ASSERT_EQ(viz->writeVizData(out, 30.0), nullptr); });
    CMemoryReader in(reply.data(), std::int32_t(reply.size()));
    double t = 0.0;
    std::int32_t count = 0;
    CString name;
    ASSERT_EQ(in.readDouble(t), nullptr);
    ASSERT_EQ(in.read32(count), nullptr);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(in.readString(name), nullptr);
    EXPECT_TRUE(name.equals("modSpectrum"));
    CAudioVizData* frame = nullptr;
    ASSERT_EQ(CAudioVizData::readFromStream(in, frame), nullptr);
    auto* spectrum = dynamic_cast<CAudioVizDataSpectrum*>(frame);
    ASSERT_NE(spectrum, nullptr);
    EXPECT_EQ(spectrum->fftSize, 64);
    EXPECT_EQ(spectrum->binCount(), 33);
    EXPECT_EQ(spectrum->channel, -1);
    delete frame;
}

// The editor stops fetching while a long spectrum keeps coming: the item's queue and the value
// reserve stay bounded, nothing new is allocated, and what waits are the newest frames (the
// oldest make room), all of which the next reply carries.
TEST(CFFTVizSink, AStalledReaderKeepsTheNewestFramesInBoundedMemory) {
    constexpr std::int32_t kOrder = 11;   // N = 2048, hop 1024: 1025 values, held in the reserve
    SinkRig rig;
    CAudioVizCollector* viz = rig.viz;
    CFFTVizSink& sink = rig.sink;
    viz->addItemRequest(sink.primaryItem());
    viz->runHostBlockRequests();
    std::vector<double> times;
    {
        CAudioBlockPool pool;
        CFFTAnalyser analyser;
        analyser.setup(&pool, &sink, -1, 0);
        CFFTAnalyser::CSettings s;
        analyser.update(s, CFFTAnalyser::kChangedAll, true, 48000.0, 1000.0, 0.0);   // every analysis emits
        const int reserved = analyser.reservedValueBlocks();
        ASSERT_GT(reserved, 0);
        const std::int64_t allocated = CSpectrumValueReserve::allocatedTotal(kOrder);
        const std::int32_t existing = CSpectrumValueReserve::existingCount(kOrder);
        const std::vector<double> hop(1024, 0.25);
        constexpr int kHops = 1500;   // more than the queue limit and far more than the reserve
        for (int i = 0; i < kHops; ++i) {
            analyser.process(hop.data(), 1024, 1000.0);
            ASSERT_LE(viz->queuedFrameCount(sink.primaryItem()), reserved);
        }
        EXPECT_EQ(CSpectrumValueReserve::allocatedTotal(kOrder), allocated);
        EXPECT_EQ(CSpectrumValueReserve::existingCount(kOrder), existing);
        const int waiting = viz->queuedFrameCount(sink.primaryItem());
        EXPECT_GE(waiting, reserved - 1);
        EXPECT_EQ(analyser.droppedFrames(), kHops - waiting);
        const test::Bytes reply =
            test::written([&](COutputStream& out) { ASSERT_EQ(viz->writeVizData(out, 30.0), nullptr); });
        CMemoryReader in(reply.data(), std::int32_t(reply.size()));
        double t = 0.0;
        std::int32_t count = 0;
        CString name;
        ASSERT_EQ(in.readDouble(t), nullptr);
        ASSERT_EQ(in.read32(count), nullptr);
        ASSERT_EQ(count, waiting);
        ASSERT_EQ(in.readString(name), nullptr);
        for (std::int32_t i = 0; i < count; ++i) {
            CAudioVizData* frame = nullptr;
            ASSERT_EQ(CAudioVizData::readFromStream(in, frame), nullptr);
            times.push_back(frame->time);
            delete frame;
        }
        // The newest: the last analysis's frame is there, and the frames follow each other hop by hop.
        const double hopSeconds = 1024.0 / 48000.0;
        const double lastAnalysis = kHops * hopSeconds - 0.5 * 2048.0 / 48000.0;
        ASSERT_FALSE(times.empty());
        EXPECT_NEAR(times.back(), lastAnalysis, 1e-9);
        for (std::size_t i = 1; i < times.size(); ++i)
            EXPECT_NEAR(times[i] - times[i - 1], hopSeconds, 1e-9);
        EXPECT_EQ(viz->queuedFrameCount(sink.primaryItem()), 0);
        EXPECT_EQ(CSpectrumValueReserve::freeCount(kOrder), CSpectrumValueReserve::existingCount(kOrder));
    }
}

} // namespace
} // namespace tal
