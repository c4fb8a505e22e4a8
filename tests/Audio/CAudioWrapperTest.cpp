#include "Audio/CAudioWrapper.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tal;

// A wrapper whose graph run, change hand-over and parameter events are recorded in call order:
// "E<index>" an event, "C" a hand-over, "R<offset>+<length>" a sub-block.
class CProbeWrapper : public CAudioWrapper {
public:
    std::vector<std::string> log;
    unsigned mxcsrInside = 0;

    void setHostParamValue(std::int32_t, double) override {}
    void notifyProgramChange() override {}
    void beginHostEdit(std::int32_t) override {}
    void endHostEdit(std::int32_t) override {}
    void processParamEvent(const CAudioWrapperEvent& e) override { log.push_back("E" + std::to_string(e.index)); }

    void runBlock(std::int32_t frames) { process(nullptr, nullptr, frames); }
    void queue(int offset, int index) {
        CAudioWrapperEvent e;
        e.offset = offset;
        e.type = CAudioWrapperEvent::kParameter;
        e.index = index;
        events().append(e);
    }

protected:
    void renderSubBlock(void* const*, void* const*, std::int32_t offset, std::int32_t length) override {
        mxcsrInside = _mm_getcsr();
        log.push_back("R" + std::to_string(offset) + "+" + std::to_string(length));
    }
    void applyCollectedChanges(bool, std::int32_t) override { log.push_back("C"); }
};

using Log = std::vector<std::string>;

TEST(CAudioWrapper, LongBlockRunsInSubBlocksOfAtMost512) {
    CProbeWrapper w;
    w.runBlock(1300);
    EXPECT_EQ(w.log, (Log{"C", "R0+512", "R512+512", "R1024+276"}));
}

TEST(CAudioWrapper, SubBlocksEndAtEventOffsetsAndEventsRunBeforeTheirSubBlock) {
    CProbeWrapper w;
    w.queue(100, 2);
    w.queue(0, 1);
    w.queue(100, 3);
    w.runBlock(600);
    // Both events at 100, in arrival order, then the hand-over, then the sub-block from 100.
    EXPECT_EQ(w.log, (Log{"E1", "C", "R0+100", "E2", "E3", "C", "R100+500"}));
    EXPECT_EQ(w.events().count(), 0);
}

TEST(CAudioWrapper, EventBeyondTheBlockIsDroppedWithIt) {
    CProbeWrapper w;
    w.queue(700, 4);
    w.runBlock(600);
    EXPECT_EQ(w.log, (Log{"C", "R0+512", "R512+88"}));
    w.log.clear();
    w.runBlock(600);
    EXPECT_EQ(w.log, (Log{"C", "R0+512", "R512+88"}));   // not dispatched later either
}

TEST(CAudioWrapper, EmptyBlockRunsNothingAndEmptiesTheQueue) {
    CProbeWrapper w;
    w.queue(0, 1);
    w.runBlock(0);
    EXPECT_TRUE(w.log.empty());
    EXPECT_EQ(w.events().count(), 0);
}

TEST(CAudioWrapper, FlushModesHoldDuringTheLoopAndAreRestoredAfter) {
    const unsigned original = _mm_getcsr();
    const unsigned modes = 0x8040;
    _mm_setcsr(original & ~modes);
    CProbeWrapper w;
    w.runBlock(10);
    EXPECT_EQ(w.mxcsrInside & modes, modes);
    EXPECT_EQ(_mm_getcsr(), original & ~modes);
    _mm_setcsr(original);
}

TEST(CAudioWrapper, InstancesTakeSuccessiveSeedsAndDifferentNoise) {
    CProbeWrapper a, b;
    EXPECT_NE(a.noise().s, b.noise().s);
    CDenormNoiseGen na = a.noise(), nb = b.noise();
    double x[8], y[8];
    na.fill(x, 8);
    nb.fill(y, 8);
    bool differ = false;
    for (int i = 0; i < 8; ++i)
        differ = differ || x[i] != y[i];
    EXPECT_TRUE(differ);
}

TEST(CAudioWrapper, HostChannelCountsAreBoundedAndMarkTheFormatChanged) {
    CProbeWrapper w;
    w.applyFormatChange();
    EXPECT_FALSE(w.isFormatChanged());
    EXPECT_TRUE(w.setHostChannelCounts(40, 2, 33));
    EXPECT_TRUE(w.isFormatChanged());
    EXPECT_EQ(w.getInputChannelCount(), CAudioWrapper::kMaxHostChannels);
    EXPECT_EQ(w.getOutputChannelCount(), CAudioWrapper::kMaxHostChannels);
    EXPECT_EQ(w.getSidechainChannelCount(), 2);
    w.applyFormatChange();
    EXPECT_FALSE(w.setHostChannelCounts(16, 2, 16));   // the same counts again: no change
    EXPECT_FALSE(w.isFormatChanged());
}

TEST(CAudioWrapper, SampleRateChangeMarksTheFormatOnlyWhenItDiffers) {
    CProbeWrapper w;
    w.setSampleRate(48000.0);
    w.applyFormatChange();
    w.setSampleRate(48000.0);
    EXPECT_FALSE(w.isFormatChanged());
    w.setSampleRate(96000.0);
    EXPECT_TRUE(w.isFormatChanged());
    EXPECT_EQ(w.getSampleRate(), 96000.0);
}

// The audio thread changes the host format and runs blocks while the main thread reads the format
// and replaces the channel labels (the spin lock and the wrapper mutex keep both race-free).
TEST(CAudioWrapper, ConcurrentFormatChangesAndQueries) {
    CProbeWrapper w;
    // The format the loop starts from, so that every read below sees one the loop sets, whenever
    // the reading thread starts.
    w.setHostChannelCounts(3, 2, 1);
    w.applyFormatChange();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int i = 0; i < 20000; ++i) {
            const int n = 1 + i % 8;
            w.setHostChannelCounts(n + 2, 2, n);
            if (w.isFormatChanged())
                w.applyFormatChange();
            w.runBlock(64);
            w.log.clear();
        }
        done.store(true);
    });
    int reads = 0;
    CStringList labels;
    labels.add("L");
    labels.add("R");
    do {   // at least once, however the threads are scheduled
        // Each count is one the loop sets (the three are read apart, so they may come from
        // different formats).
        const std::int32_t in = w.getInputChannelCount();
        EXPECT_TRUE(in >= 3 && in <= 10) << in;
        EXPECT_EQ(w.getSidechainChannelCount(), 2);
        const std::int32_t out = w.getOutputChannelCount();
        EXPECT_TRUE(out >= 1 && out <= 8) << out;
        w.setChannelLabels(labels, CStringList());
        EXPECT_EQ(w.getMainLabels().count(), 2);
        ++reads;
    } while (!done.load());
    audio.join();
    EXPECT_GT(reads, 0);
}

} // namespace
