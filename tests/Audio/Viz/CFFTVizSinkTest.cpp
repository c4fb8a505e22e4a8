#include "Audio/Viz/CFFTVizSink.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioEnv.h"
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

// An analyser wired to a collector as the spectrum module wires it: frames of the watched primary
// item reach the "viz-data" reply; the unwatched secondary item's frames are dropped.
TEST(CFFTVizSink, AnalyserFramesReachTheReplyOfTheWatchedItem) {
    initFFTCPUDispatch();
    CAudioEnv* env = new CAudioEnv;
    CAudioVizCollector* viz = new CAudioVizCollector;
    viz->setContext(env, nullptr, nullptr);
    CFFTVizSink sink;
    sink.attach(viz, CString("modSpectrum"));
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
    viz->release();
    env->release();
}

} // namespace
} // namespace tal
