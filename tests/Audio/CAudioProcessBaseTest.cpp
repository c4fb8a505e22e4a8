#include "Audio/CAudioProcessBase.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioLatencyDelay.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessPort.h"
#include "support/GraphTestProcesses.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tal {
namespace {

using test::CGainProcess;
using test::CTestHost;
using Signal = std::vector<std::vector<double>>;

// A composite-like process: no signal of its own, forwards its ports to children.
class CForwarder : public CAudioProcessBase {
public:
    CForwarder() { setLeaf(false); }
    void process() override {
        renderInputs();
        releaseInputs();
    }
};

// Counts its updates; optionally raises a deferred update's flag.
class CUpdateCounter : public CAudioProcessBase {
public:
    void update() override { ++updates; }
    int updates = 0;
};

std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(n));
    for (double& x : v)
        x = dist(rng);
    return v;
}

TEST(CAudioProcessBase, SameFormatTwiceCountsOneChange) {
    CUpdateCounter p;
    CAudioProcessConnection* c = p.addInputConnection(0, 0);
    const int before = p.formatChangeCounter();
    CAudioChannelDesc d[2];
    d[0].key = 0;
    d[1].key = 1;
    d[1].group = 1;
    CAudioProcessBase::setConnectionFormat(c, d, 2, 48000.0);
    CAudioProcessBase::setConnectionFormat(c, d, 2, 48000.0);
    EXPECT_EQ(p.formatChangeCounter(), before + 1);
    d[1].latency = 5;   // any field of a channel counts
    CAudioProcessBase::setConnectionFormat(c, d, 2, 48000.0);
    EXPECT_EQ(p.formatChangeCounter(), before + 2);
}

TEST(CAudioProcessBase, FormatsBeyondThirtyTwoKeysAreDroppedNotWrittenPastTheConnection) {
    CUpdateCounter p;
    CAudioProcessConnection* c = p.addInputConnection(0, 0);
    std::vector<CAudioChannelDesc> d(40);
    for (int i = 0; i < 40; ++i)
        d[std::size_t(i)].key = i;
    CAudioProcessBase::setConnectionFormat(c, d.data(), 40, 48000.0);
    EXPECT_EQ(c->channelCount, 32);
    for (int k = 0; k < 32; ++k)
        EXPECT_EQ(c->recordOfKey(k), &c->channels[k]) << k;
    EXPECT_EQ(c->recordOfKey(32), nullptr);
}

TEST(CAudioProcessBase, ChannelsOfAnotherSourcePortAreCarriedButNotRead) {
    CAudioBlockPool pool;
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CAudioProcessConnection* c = p.addInputConnection(0, 0);
    CAudioChannelDesc d[3];
    d[0].key = 0;
    d[1].key = 16;   // source port 1, channel 0
    d[2].key = 17;
    CAudioProcessBase::setConnectionFormat(c, d, 3, 48000.0);
    CTestHost host(pool);
    for (int k = 0; k < 3; ++k) {
        double* b = pool.allocBlock(64);
        b[0] = k;
        c->storeBlock(d[k].key, b);
    }
    c->blockLength = 1;
    p.renderInputs();
    ASSERT_EQ(p.getPort(0)->channelCount, 1);
    EXPECT_EQ(p.getPort(0)->channelTable[0]->block[0], 0.0);
    p.releaseInputs();
    for (int k = 0; k < 3; ++k)   // all three blocks went back to the pool
        EXPECT_EQ(c->channels[k].block, nullptr);
    EXPECT_NE(pool.firstFree(0), nullptr);
}

struct CombineCase {
    CombineMode mode;
    int sources;
};

class CAudioProcessBaseCombine : public ::testing::TestWithParam<CombineCase> {};

TEST_P(CAudioProcessBaseCombine, SourcesOnOneChannelAreCombined) {
    const CombineCase& cc = GetParam();
    CAudioBlockPool pool;
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    p.setCombineMode(cc.mode);
    CTestHost host(pool);
    const int n = 100;
    std::vector<CAudioProcessConnection*> conns;
    std::vector<Signal> inputs;
    for (int s = 0; s < cc.sources; ++s) {
        conns.push_back(host.attach(p, 2));
        inputs.push_back({noise(n, unsigned(2 * s + 1)), noise(n, unsigned(2 * s + 2))});
        host.feed(conns.back(), inputs.back());
    }
    p.renderInputs();
    CAudioProcessPort* port = p.getPort(0);
    ASSERT_EQ(port->channelCount, 2);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(port->format[ch].sourcePortOrCount, cc.sources);
        const double* got = port->channelTable[ch]->block;
        for (int k = 0; k < n; ++k) {
            double expect = cc.mode == CombineMode::kMaximum ? -1e300 : 0.0;
            for (int s = 0; s < cc.sources; ++s) {
                const double x = inputs[std::size_t(s)][std::size_t(ch)][std::size_t(k)];
                expect = cc.mode == CombineMode::kMaximum ? std::max(expect, x) : expect + x;
            }
            if (cc.mode == CombineMode::kAverage)
                expect /= cc.sources;
            ASSERT_NEAR(got[k], expect, 1e-12) << "channel " << ch << " sample " << k;
        }
    }
    for (CAudioProcessConnection* c : conns)   // the sources keep their use counts
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_EQ(CAudioBlockPool::useCount(c->channels[ch].block), 1);
    p.releaseInputs();
}

INSTANTIATE_TEST_SUITE_P(Modes, CAudioProcessBaseCombine,
                         ::testing::Values(CombineCase{CombineMode::kSum, 2}, CombineCase{CombineMode::kAverage, 5},
                                           CombineCase{CombineMode::kMaximum, 3}, CombineCase{CombineMode::kSum, 7}));

// Port 0 carries an early input (latency 0), port 1 a late one. Returns the early channel as the
// process sees it, block by block; `change` runs before the given block.
struct LatencyRig {
    CAudioBlockPool pool;
    CUpdateCounter p;
    CTestHost host{pool};
    CAudioProcessConnection* early = nullptr;
    CAudioProcessConnection* late = nullptr;

    explicit LatencyRig(int lateLatency) {
        p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
        early = host.attach(p, 1, 48000.0, 0, 0);
        late = host.attach(p, 1, 48000.0, 1, lateLatency);
    }
    static void setFormat(CAudioProcessConnection* c, int latency, double rate) {
        CAudioChannelDesc d;
        d.key = 0;
        d.latency = latency;
        CAudioProcessBase::setConnectionFormat(c, &d, 1, rate);
    }
    std::vector<double> block(const std::vector<double>& x) {
        host.feed(early, {x});
        host.feed(late, {std::vector<double>(x.size(), 0.0)});
        p.renderInputs();
        const double* b = p.getPort(0)->channelTable[0]->block;
        std::vector<double> out(b, b + x.size());
        p.releaseInputs();
        return out;
    }
};

TEST(CAudioProcessBase, EarlyChannelsAreDelayedToTheLatestInput) {
    LatencyRig rig(64);
    const std::vector<double> x = noise(512, 3);
    std::vector<double> out;
    for (int b = 0; b < 4; ++b) {
        const std::vector<double> part(x.begin() + b * 128, x.begin() + (b + 1) * 128);
        const std::vector<double> o = rig.block(part);
        out.insert(out.end(), o.begin(), o.end());
    }
    for (int t = 0; t < 512; ++t)
        ASSERT_EQ(out[std::size_t(t)], t < 64 ? 0.0 : x[std::size_t(t - 64)]) << t;
    EXPECT_EQ(rig.p.inputLatency(), 64);
    EXPECT_EQ(rig.p.getPort(0)->format[0].latency, 64);
    EXPECT_EQ(rig.p.getPort(1)->format[0].latency, 64);
    EXPECT_EQ(rig.p.delayList().count(), 1);   // only the early channel needs a line
}

TEST(CAudioProcessBase, ImpulseThroughALatencyChangeFollowsTheRaisedCosine) {
    LatencyRig rig(64);
    const int total = 2560;
    const int change = 512;   // the late input's latency goes from 64 to 96 before this sample
    const int n = int(std::lround(0.015 * 48000.0));
    const std::vector<int> impulses = {100, 600, 2000};
    std::vector<double> x(std::size_t(total), 0.0);
    for (int t : impulses)
        x[std::size_t(t)] = 1.0;
    std::vector<double> out;
    for (int start = 0; start < total; start += 128) {
        if (start == change)
            LatencyRig::setFormat(rig.late, 96, 48000.0);
        const std::vector<double> o = rig.block(std::vector<double>(x.begin() + start, x.begin() + start + 128));
        out.insert(out.end(), o.begin(), o.end());
    }
    // Before the change the impulse arrives 64 samples late with full weight; during the crossfade
    // (k = t - change < n) the old path weighs 0.5 + 0.5 cos(pi k / n), the new one the rest; after
    // it, 96 samples late with full weight.
    std::vector<double> expect(std::size_t(total), 0.0);
    auto weightOld = [&](int t) {
        const int k = t - change;
        return k < 0 ? 1.0 : k >= n ? 0.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * k / n);
    };
    for (int t : impulses) {
        expect[std::size_t(t + 64)] += weightOld(t + 64);
        expect[std::size_t(t + 96)] += 1.0 - weightOld(t + 96);
    }
    for (int t = 0; t < total; ++t)
        ASSERT_NEAR(out[std::size_t(t)], expect[std::size_t(t)], 1e-9) << "sample " << t;
    EXPECT_GT(expect[664], 0.1);   // the impulse at 600 really is split between the two paths
    EXPECT_GT(expect[696], 0.1);
}

TEST(CAudioProcessBase, SampleRateChangeRecreatesTheDelayLines) {
    LatencyRig rig(64);
    const std::vector<double> ones(128, 1.0);
    rig.block(ones);
    rig.block(ones);
    LatencyRig::setFormat(rig.early, 0, 44100.0);
    LatencyRig::setFormat(rig.late, 96, 44100.0);
    std::vector<double> x(128, 0.0);
    x[10] = 1.0;
    const std::vector<double> out = rig.block(x);
    // A fresh line: silence (not the old ones) until the new delay, no crossfade.
    for (int t = 0; t < 128; ++t)
        ASSERT_EQ(out[std::size_t(t)], t == 106 ? 1.0 : 0.0) << t;
    EXPECT_EQ(rig.p.inputSampleRate(), 44100.0);
}

TEST(CAudioProcessBase, CompensationInputRepeatsTheFirstSampleUntilTheDelayIsFilled) {
    LatencyRig rig(64);
    rig.p.setCompensationInput(true);
    std::vector<double> x(128);
    for (int t = 0; t < 128; ++t)
        x[std::size_t(t)] = 0.25 + t;
    const std::vector<double> out = rig.block(x);
    for (int t = 0; t < 128; ++t)
        ASSERT_EQ(out[std::size_t(t)], t < 64 ? 0.25 : x[std::size_t(t - 64)]) << t;
}

TEST(CAudioProcessBase, PortWithoutConnectionsDisappearsAtTheNextEvaluation) {
    CAudioBlockPool pool;
    CGainProcess src;
    src.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CTestHost host(pool);
    host.attach(p, 1);
    src.addOutput(&p, 3, 0);
    ASSERT_NE(p.findPort(3), nullptr);
    host.feed(p.connections()[0], {{1.0}});
    p.renderInputs();
    p.releaseInputs();
    EXPECT_NE(p.findPort(3), nullptr);
    src.removeOutput(&p, 3, 0);
    EXPECT_GT(p.formatChangeCounter(), 0);
    host.feed(p.connections()[0], {{1.0}});
    p.renderInputs();
    p.releaseInputs();
    EXPECT_EQ(p.findPort(3), nullptr);
    EXPECT_NE(p.findPort(0), nullptr);   // port 0 always stays
}

TEST(CAudioProcessBase, DeferredUpdateFiresAtTheFifthBlockAfter) {
    CAudioBlockPool pool;
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CTestHost host(pool);
    CAudioProcessConnection* c = host.attach(p, 1);
    const std::vector<double> block(128, 0.0);
    host.feed(c, {block});
    p.renderInputs();
    p.releaseInputs();
    bool fired = false;
    p.addDeferredUpdate(0.01, &fired);
    for (int b = 1; b <= 5; ++b) {
        const int updatesBefore = p.updates;
        host.feed(c, {block});
        p.renderInputs();
        p.releaseInputs();
        EXPECT_EQ(p.updates, updatesBefore + 1) << "block " << b;   // updated every block while waiting
        EXPECT_EQ(fired, b == 5) << "block " << b;
        if (b == 5) {
            EXPECT_FALSE(p.isUpdatePending());
        }
    }
}

TEST(CAudioProcessBase, FindInputChannelsFallsBackToTheLastChannelOfTheGroup) {
    CAudioBlockPool pool;
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CTestHost host(pool);
    CAudioProcessConnection* c = host.attach(p, 3, 48000.0, 0, 0, {1, 1, 2});
    host.feed(c, {{0.0}, {0.0}, {0.0}});
    p.renderInputs();
    CAudioChannelDesc want;
    want.key = 3;
    want.group = 1;
    const CAudioChannelDesc* requested[] = {&want};
    CAudioProcessBase::CChannelSlot out[1] = {};
    p.findInputChannels(out, requested, 1, 0);
    EXPECT_EQ(out[0], &p.getPort(0)->channelTable[1]);   // (1, group 1)
    // With several requests only exact matches count.
    CAudioChannelDesc exact;
    exact.key = 2;
    exact.group = 2;
    const CAudioChannelDesc* two[] = {&want, &exact};
    CAudioProcessBase::CChannelSlot outs[2] = {};
    p.findInputChannels(outs, two, 2, 0);
    EXPECT_EQ(outs[0], nullptr);
    EXPECT_EQ(outs[1], &p.getPort(0)->channelTable[2]);
    p.findInputChannels(outs, two, 2, 7);   // no such port
    EXPECT_EQ(outs[1], nullptr);
    p.releaseInputs();
}

TEST(CAudioProcessBase, UnboundBindingReadsNoValuesAndSeesFormatChanges) {
    CAudioBlockPool pool;
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    const CAudioParamStorage* values = nullptr;
    std::uint32_t changed = 0;
    p.bindParam(CString("gain"), false, false, values, &changed);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(CAudioProcessBase::readParamValue(values, 0, 0, -7.0), -7.0);

    struct Probe : CAudioProcessBase {
        std::uint32_t* word = nullptr;
        std::uint32_t seen = 0;
        void update() override { seen = *word; }
    } probe;
    probe.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    probe.bindParam(CString("gain"), false, false, values, &changed);
    probe.word = &changed;
    CTestHost host(pool);
    CAudioProcessConnection* c = host.attach(probe, 1);
    host.feed(c, {{0.0}});
    probe.renderInputs();
    probe.releaseInputs();
    EXPECT_EQ(probe.seen, 0xFFFFFFFFu);   // all bits during the update after a format change
    EXPECT_EQ(changed, 0u);               // cleared after it
}

TEST(CAudioProcessBase, ReadParamValueFollowsGroupsElementsAndDefaults) {
    CAudioParamStorage s;
    s.setFormat(1, CAudioParamStorage::kTypeFloat, false, false);
    const double defaults[] = {10.0, 20.0};
    s.setDefaultRow(defaults, 2, nullptr);
    s.setGroupCount(2);
    CAudioParamChange change;
    const double g1[] = {1.5, 2.5, 3.5};
    change.group = 1;
    change.count = 3;
    change.values = g1;
    s.applyChange(change);
    struct Row {
        int group, element;
        double expect;
    } rows[] = {{1, 2, 3.5}, {1, 0, 1.5}, {1, 3, 10.0}, {0, 1, 20.0}, {5, 0, 10.0}, {0, 7, 10.0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.group << "/" << r.element);
        EXPECT_EQ(CAudioProcessBase::readParamValue(&s, r.group, r.element, -1.0), r.expect);
    }
}

TEST(CAudioProcessBase, CompositeWithoutOutputSourcePassesPortZeroThrough) {
    CAudioBlockPool pool;
    CForwarder composite;
    composite.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CGainProcess child(2.0);
    child.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CUpdateCounter sink;
    sink.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    CTestHost host(pool);
    CAudioProcessConnection* in = host.attach(composite, 1);
    composite.addOutput(&sink, 0, 0);
    composite.addInputLink(0, &child, 0);

    auto run = [&](double x) {
        host.feed(in, {{x, x}});
        composite.process();
        if (child.connections().count() > 0)
            child.process();
        const Signal got = CTestHost::collect(sink);
        return got.empty() || got[0].empty() ? -1.0 : got[0][1];
    };
    EXPECT_EQ(run(3.0), 3.0);   // straight through
    composite.addOutputSource(&child);
    EXPECT_EQ(run(3.0), 6.0);   // through the child
    EXPECT_EQ(sink.getPort(0)->connections.count(), 1);   // the pass-through link is gone
    composite.removeOutputSource(&child);
    EXPECT_EQ(run(4.0), 4.0);   // straight through again
    composite.disconnectAll();
    EXPECT_EQ(sink.getPort(0)->connections.count(), 0);
    EXPECT_EQ(child.getPort(0)->connections.count(), 0);
}

TEST(CAudioProcessBase, LeafFeedsMoreThanSeventeenOutputLinks) {
    CAudioBlockPool pool;
    CGainProcess source(0.5);
    source.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    std::vector<std::unique_ptr<CUpdateCounter>> targets;
    for (int i = 0; i < 20; ++i) {
        targets.push_back(std::make_unique<CUpdateCounter>());
        targets.back()->setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
        source.addOutput(targets.back().get(), 0, 0);
    }
    CTestHost host(pool);
    CAudioProcessConnection* in = host.attach(source, 1);
    host.feed(in, {{8.0}});
    source.process();
    for (auto& t : targets) {
        const Signal got = CTestHost::collect(*t);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], std::vector<double>{4.0});
    }
    // Every holder released its use: the one output block is back on its list.
    EXPECT_NE(pool.firstFree(0), nullptr);
    for (auto& t : targets)
        source.removeOutput(t.get(), 0, 0);
    EXPECT_EQ(source.outputCount(), 0);
}

TEST(CAudioProcessBase, ProcessWithoutInputsRunsAnEmptyBlock) {
    CAudioBlockPool pool;
    CUpdateCounter p;
    p.setIdentity(nullptr, nullptr, nullptr, 0, 0, &pool);
    p.renderInputs();
    EXPECT_EQ(p.blockLength(), 0);
    EXPECT_EQ(p.getPort(0)->channelCount, 0);
    p.releaseInputs();
}

} // namespace
} // namespace tal
