#include "Audio/Processes/CAudioProcessTerminalBase.h"

#include "Audio/CAudioProcessConnection.h"
#include "Audio/Processes/CAudioModuleSlot.h"
#include "Audio/Processes/CModGainModule.h"
#include "support/TerminalTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tal {
namespace {

using test::CProcessTestGraph;
using Signal = std::vector<std::vector<double>>;

// A gain terminal "g" (keys 0 gain, 1 mute, 2 phase-invert) as the product's output gain.
struct GainTerminal {
    CProcessTestGraph graph;
    CAudioProcessDefBase* def = nullptr;
    CAudioProcessTerminalBase* terminal = nullptr;
    CAudioProcessConnection* input = nullptr;

    explicit GainTerminal(AttrList attrs, const char* gainDefault = "1", int group = 0) {
        def = graph.define("audio:modGain", "g", attrs);
        graph.alloc(def, 0, "gain");
        graph.alloc(def, 1, "mute");
        graph.alloc(def, 2, "phase-invert");
        graph.param(def, "gain", gainDefault);
        graph.param(def, "mute", "0");
        graph.param(def, "phase-invert", "0");
        graph.finish(def);
        terminal = dynamic_cast<CAudioProcessTerminalBase*>(graph.make(def, "plugin.g", group));
    }
    void attach(int channels, double rate, const std::vector<int>& groups = {}) {
        input = graph.host.attach(*terminal, channels, rate, 0, 0, groups);
    }
    Signal run(const Signal& s) { return graph.run(*terminal, input, s); }
};

Signal constant(int channels, int n, double value = 1.0) {
    return Signal(std::size_t(channels), std::vector<double>(std::size_t(n), value));
}

TEST(CAudioProcessTerminalBase, SmoothChangeCrossfadesAlongARaisedCosineThenRetires) {
    GainTerminal t({{"is-smooth-update", "true"}, {"xfade-length", "0.015"}});
    ASSERT_NE(t.terminal, nullptr);
    t.attach(1, 44100.0);
    EXPECT_EQ(t.run(constant(1, 128))[0], std::vector<double>(128, 1.0));
    EXPECT_EQ(t.terminal->crossfadeSamples(), 662);
    t.graph.set("plugin.g.gain", 2.0);
    std::vector<double> out;
    int retiredAt = -1;
    for (int b = 0; b < 10; ++b) {
        const Signal o = t.run(constant(1, 128));
        out.insert(out.end(), o[0].begin(), o[0].end());
        if (retiredAt < 0 && t.terminal->crossfadingCount() == 0)
            retiredAt = b;
    }
    const int n = 662;
    for (int k = 0; k < 1280; ++k) {
        const double h = k < n ? 0.5 * std::cos(std::numbers::pi * k / n) : -0.5;
        ASSERT_NEAR(out[std::size_t(k)], (h + 0.5) * 1.0 + (0.5 - h) * 2.0, 1e-9) << k;
    }
    // The old module is retired at the first update after the fade's time has run out: the
    // deferred time counts down by one block at each update after the one that started it, and
    // fires at the update that finds it at or below zero.
    const double seconds = n / 44100.0, block = 128 / 44100.0;
    const int expected = int(std::ceil(seconds / block)) + 1;
    EXPECT_EQ(retiredAt, expected);
    EXPECT_EQ(t.terminal->spareCount(), 1);
    EXPECT_EQ(t.terminal->runCount(), 1);
}

TEST(CAudioProcessTerminalBase, CrossfadeLengthFollowsRateAndAttribute) {
    const struct { const char* xfade; double rate; int samples; } cases[] = {
        {"0.015", 44100.0, 662}, {"0.015", 48000.0, 720}, {"", 44100.0, 4}, {"0", 44100.0, 4},
        {"0.0001", 1000.0, 1},   // would round to 0 samples: one sample keeps the fade finite
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.xfade << "' at " << c.rate);
        GainTerminal t({{"is-smooth-update", "true"}, {"xfade-length", c.xfade}});
        t.attach(1, c.rate);
        t.run(constant(1, 16));
        EXPECT_EQ(t.terminal->crossfadeSamples(), c.samples);
        t.graph.set("plugin.g.gain", 3.0);
        const Signal o = t.run(constant(1, 16));
        for (double x : o[0])
            EXPECT_TRUE(std::isfinite(x));
    }
}

TEST(CAudioProcessTerminalBase, SecondChangeDuringAFadeStartsFromTheFadedInModule) {
    GainTerminal t({{"is-smooth-update", "true"}, {"xfade-length", "0.001"}});   // 48 samples at 48 kHz
    t.attach(1, 48000.0);
    t.run(constant(1, 32));
    t.graph.set("plugin.g.gain", 2.0);
    t.run(constant(1, 32));
    t.graph.set("plugin.g.gain", 4.0);   // during the first fade: pending
    EXPECT_TRUE(t.terminal->slot(0).crossfading);
    std::vector<double> out;
    for (int b = 0; b < 8; ++b) {
        const Signal o = t.run(constant(1, 32));
        out.insert(out.end(), o[0].begin(), o[0].end());
    }
    EXPECT_EQ(out.back(), 4.0);
    // The second fade starts from gain 2 (the faded-in module), never from 1: the output rises
    // all the way, first to 2 and then to 4.
    for (std::size_t k = 1; k < out.size(); ++k)
        ASSERT_GE(out[k], out[k - 1]) << k;
    EXPECT_NE(std::find(out.begin(), out.end(), 2.0), out.end());
    EXPECT_EQ(t.terminal->crossfadingCount(), 0);
}

TEST(CAudioProcessTerminalBase, ResetDuringAFadeRetiresTheOldModule) {
    GainTerminal t({{"is-smooth-update", "true"}, {"xfade-length", "0.015"}});
    t.attach(1, 48000.0);
    t.run(constant(1, 64));
    t.graph.set("plugin.g.gain", 2.0);
    t.run(constant(1, 64));
    ASSERT_EQ(t.terminal->crossfadingCount(), 1);
    t.terminal->reset();
    EXPECT_EQ(t.terminal->crossfadingCount(), 0);
    EXPECT_EQ(t.terminal->runCount(), 1);
    EXPECT_EQ(t.terminal->spareCount(), 1);
    EXPECT_EQ(t.run(constant(1, 64))[0], std::vector<double>(64, 2.0));
}

TEST(CAudioProcessTerminalBase, NonSmoothChangeUpdatesOnlyTheChangedGroup) {
    // The terminal works on group 1 and watches that group; its channels are of groups 0 and 1.
    GainTerminal t({}, "1;1", 1);
    t.attach(2, 48000.0, {0, 1});
    t.run(constant(2, 8));
    t.graph.set("plugin.g.gain", 5.0, 0);   // not watched: nothing is updated
    t.graph.set("plugin.g.gain", 3.0, 1);   // raises bit 1 only
    const Signal o = t.run(constant(2, 8));
    EXPECT_EQ(o[0], std::vector<double>(8, 1.0));   // the group-0 module kept its values
    EXPECT_EQ(o[1], std::vector<double>(8, 3.0));   // at once: no fade without smooth update
}

TEST(CAudioProcessTerminalBase, NewChannelGetsAModuleOldOnesStay) {
    GainTerminal t({{"is-smooth-update", "true"}, {"xfade-length", "0.001"}});
    t.attach(2, 48000.0);
    t.run(constant(2, 8));
    const CAudioModule* first = t.terminal->slot(0).current;
    const CAudioModule* second = t.terminal->slot(1).current;
    // A smooth change leaves a spare module once its fade is over.
    t.graph.set("plugin.g.gain", 2.0);
    for (int b = 0; b < 12; ++b)
        t.run(constant(2, 8));
    ASSERT_EQ(t.terminal->spareCount(), 2);
    first = t.terminal->slot(0).current;
    second = t.terminal->slot(1).current;
    CAudioChannelDesc d[3];
    for (int i = 0; i < 3; ++i) {
        d[i].key = i;
        d[i].group = i == 2 ? 1 : 0;
    }
    CAudioProcessBase::setConnectionFormat(t.input, d, 3, 48000.0);
    const Signal o = t.run(constant(3, 8));
    ASSERT_EQ(t.terminal->slotCount(), 3);
    EXPECT_EQ(t.terminal->slot(0).current, first);
    EXPECT_EQ(t.terminal->slot(1).current, second);
    EXPECT_EQ(t.terminal->spareCount(), 1);   // the new channel took a spare module
    EXPECT_EQ(t.terminal->slot(2).current->group, 1u);
    EXPECT_EQ(t.terminal->outputChannelCount(), 3);
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], std::vector<double>(8, 2.0));
    EXPECT_EQ(o[2], std::vector<double>(8, 1.0));   // group 1 keeps the default gain
}

TEST(CAudioProcessTerminalBase, TwoOutputLinksShareEveryBlock) {
    GainTerminal t({}, "2");
    test::CSinkProcess second;
    t.terminal->addOutput(&second, 0, 0);
    t.attach(1, 48000.0);
    t.graph.host.feed(t.input, constant(1, 16));
    t.terminal->process();
    second.renderInputs();
    t.graph.sink.renderInputs();
    double* a = t.graph.sink.getPort(0)->channelTable[0]->block;
    double* b = second.getPort(0)->channelTable[0]->block;
    EXPECT_EQ(a, b);
    EXPECT_EQ(CAudioBlockPool::useCount(a), 2);
    EXPECT_EQ(a[0], 2.0);
    second.releaseInputs();
    t.graph.sink.releaseInputs();
    t.terminal->removeOutput(&second, 0, 0);
}

TEST(CAudioProcessTerminalBase, AllocationKeysWithGapsAndUnusedKeys) {
    // Keys 0, 2 and 5: no mute allocation, and key 5 belongs to no key the gain module uses.
    CProcessTestGraph graph;
    CAudioProcessDefBase* def = graph.define("audio:modGain", "g", {});
    graph.alloc(def, 0, "gain");
    graph.alloc(def, 2, "phase-invert");
    graph.alloc(def, 5, "other");
    graph.param(def, "gain", "2");
    graph.param(def, "phase-invert", "0");
    graph.param(def, "other", "0");
    graph.finish(def);
    CAudioProcessBase* p = graph.make(def, "plugin.g");
    CAudioProcessConnection* in = graph.host.attach(*p, 1, 48000.0);
    EXPECT_EQ(graph.run(*p, in, constant(1, 4))[0], std::vector<double>(4, 2.0));
    graph.set("plugin.g.other", 1.0);
    EXPECT_EQ(graph.run(*p, in, constant(1, 4))[0], std::vector<double>(4, 2.0));
    graph.set("plugin.g.phase-invert", 1.0);
    EXPECT_EQ(graph.run(*p, in, constant(1, 4))[0], std::vector<double>(4, -2.0));
}

} // namespace
} // namespace tal
