#include "Audio/Processes/CModFilterIIR.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/FilterCreators.h"
#include "Audio/Processes/CAudioProcessStack.h"
#include "support/BiquadLevels.h"
#include "support/FilterTestSupport.h"
#include "support/ParamChangeHelpers.h"
#include "support/TerminalTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tal {
namespace {

using Signal = std::vector<std::vector<double>>;
constexpr double kFs = 48000.0;

// The parameter defaults of a band definition ("," separates the elements of stacked copies) and
// the copy count of a stacked definition (null: not stacked).
struct BandValues {
    const char* index = "1";
    const char* freq = "1000";
    const char* gain = "2";
    const char* stackCount = nullptr;
};

// One equaliser band as the product describes it: mode 1 is the corrected peaking filter.
struct Band {
    CAudioFilterBypassGen bypass;
    CAudioFilterMagnusGen magnus;
    CAudioFilterSerialGen peak;
    test::CProcessTestGraph graph;
    CAudioProcessBase* band = nullptr;
    CAudioProcessConnection* input = nullptr;

    explicit Band(int channels, BandValues values = {}) {
        static const int registered = CCreatorRegistry::instance().registerTable(kFilterCreatorTable);
        (void)registered;
        magnus.configure(1);
        peak.addItem({&magnus, {1.0, 1.0, 0.924825}, {}});
        CObject* filters = nullptr;
        EXPECT_EQ(takeMessage(graph.tree.audio()->addChild(filters, CString("audio:fltgen-array"), CString("filters"),
                                                           false)),
                  "");
        auto* array = dynamic_cast<CAudioFilterGenArray*>(filters);
        array->setGen(0, &bypass);
        array->setGen(1, &peak);
        CAudioProcessDefBase* def =
            values.stackCount == nullptr
                ? graph.define("audio:modFilterIIR", "modFilter", {{"gen-array", "^filters"}, {"xfade-length", "0.015"}})
                : graph.define("audio:modFilterIIR", "modFilter",
                               {{"gen-array", "^filters"},
                                {"xfade-length", "0.015"},
                                {"is-stacked", "true"},
                                {"stack-param", "count"}});
        graph.alloc(def, 0, "index", {{"is-smooth-update", "true"}});
        graph.alloc(def, 1, "freq");
        graph.alloc(def, 2, "gain");
        graph.alloc(def, 3, "bw");
        graph.param(def, "index", values.index);
        graph.param(def, "freq", values.freq);
        graph.param(def, "gain", values.gain);
        graph.param(def, "bw", "1");
        if (values.stackCount != nullptr)
            graph.param(def, "count", values.stackCount);
        graph.finish(def);
        band = graph.make(def, "plugin.modFilter");
        if (band != nullptr)
            input = graph.host.attach(*band, channels, kFs);
    }
};

TEST(CModFilterIIR, PeakingBandDoublesItsCentreAndKeepsDC) {
    Band b(2);
    ASSERT_NE(b.band, nullptr);
    const Signal o = b.graph.runBlocks(*b.band, b.input,
                                      {test::testSine(24000, 1000.0, kFs), std::vector<double>(24000, 1.0)}, 512);
    ASSERT_EQ(o.size(), 2u);
    EXPECT_NEAR(test::sineAmplitude(o[0], 12000, 1000.0, kFs), 2.0, 1e-6);
    EXPECT_NEAR(o[1].back(), 1.0, 1e-9);
}

TEST(CModFilterIIR, StereoPairsGiveTheChannelsResultsOneByOne) {
    // Both channels of one band run side by side; a band of one channel runs alone.
    Band stereo(2), left(1), right(1);
    const std::vector<double> l = test::testNoise(6000, 1), r = test::testNoise(6000, 2);
    const Signal both = stereo.graph.runBlocks(*stereo.band, stereo.input, {l, r}, 500);
    EXPECT_EQ(both[0], left.graph.runBlocks(*left.band, left.input, {l}, 500)[0]);
    EXPECT_EQ(both[1], right.graph.runBlocks(*right.band, right.input, {r}, 500)[0]);
}

TEST(CModFilterIIR, ModeChangeCrossfadesToThePassThrough) {
    Band b(1);
    const std::vector<double> in = test::testNoise(4096, 4);
    b.graph.runBlocks(*b.band, b.input, {in}, 512);
    b.graph.set("plugin.modFilter.index", 0.0);   // bypass designer, smooth: 15 ms crossfade
    const Signal o = b.graph.runBlocks(*b.band, b.input, {in}, 512);
    // After the fade the band passes its input untouched.
    for (std::size_t k = 720; k < in.size(); ++k)
        ASSERT_EQ(o[0][k], in[k]) << k;
    EXPECT_NE(o[0][100], in[100]);
}

// Four bands in series, stacked as the product stacks its bands: band 0 peaks at 300 Hz, band 1
// at 1 kHz, band 2 is off (bypass designer), band 3 peaks at 9 kHz.
struct BandStack : Band {
    CAudioProcessStack* stack = nullptr;

    explicit BandStack(int channels) : Band(channels, {"1,1,0,1", "300,1000,3000,9000", "2,0.5,2,3", "4"}) {
        stack = dynamic_cast<CAudioProcessStack*>(band);
    }
    CModFilterIIR* level(int l) const { return dynamic_cast<CModFilterIIR*>(stack->copy(0, l, 0)); }
    // Every band's value of a parameter at once (one element per band), as host automation of
    // several bands delivers it within one block.
    void setBands(const char* fullName, const std::vector<double>& values) {
        CAudioParam* param = graph.collector.findParam(CString(fullName));
        ASSERT_NE(param, nullptr) << fullName;
        param->applyChange(floatChange(0, 0, values), nullptr, CAudioParamContext{});
        graph.deliver();
    }
};

// The stereo bands of a stack run as one side-by-side cascade, steady or morphing; a band that
// crossfades runs alone and the rest chain around it. Every block equals the channels run apart
// (one channel never chains), bit for bit, through blocks of 512, 7 and 1 frames, frequency moves
// of the first band, of every band at once and of the last band alone (morphs, the later bands'
// updates run when the chain reaches them), the first band's switch to bypass and the second
// band's switch of type (crossfades). On every instruction-set level of the cascade this
// processor has.
class CModFilterIIRChain : public test::CBiquadLevelTest {};

TEST_P(CModFilterIIRChain, BandsInSeriesChainAndMatchTheChannelsRunApart) {
    BandStack stereo(2), left(1), right(1);
    ASSERT_NE(stereo.stack, nullptr);
    const int total = 60000;
    const std::vector<double> l = test::testNoise(total, 11), r = test::testNoise(total, 12);
    Signal out(2), refL(1), refR(1);
    int at = 0, block = 0;
    std::vector<bool> chained;       // per block: bands 1 to 3 took chained blocks
    std::vector<bool> tailChained;   // per block: bands 2 and 3 took chained blocks
    while (at < total) {
        const int n = std::min(total - at, block < 6 ? 512 : block < 60 ? 7 : block < 100 ? 1 : 512);
        if (block == 8 || block == 130) {   // band 0 moves: a 25 ms morph
            for (BandStack* s : {&stereo, &left, &right})
                s->graph.set("plugin.modFilter.freq", block == 8 ? 500.0 : 250.0);
        }
        if (block == 20 || block == 105) {   // every band moves, then the last band alone
            const std::vector<double> freqs = {520.0, 1100.0, 3000.0, block == 20 ? 9500.0 : 8000.0};
            for (BandStack* s : {&stereo, &left, &right})
                s->setBands("plugin.modFilter.freq", freqs);
        }
        if (block == 140) {   // band 0 switches to bypass: a 15 ms crossfade
            for (BandStack* s : {&stereo, &left, &right})
                s->graph.set("plugin.modFilter.index", 0.0);
        }
        if (block == 160) {   // band 1 switches to bypass too: its crossfade breaks the chain
            for (BandStack* s : {&stereo, &left, &right})
                s->setBands("plugin.modFilter.index", {0.0, 0.0, 0.0, 1.0});
        }
        auto part = [&](const std::vector<double>& x) {
            return std::vector<double>(x.begin() + at, x.begin() + at + n);
        };
        const Signal o = stereo.graph.run(*stereo.stack, stereo.input, {part(l), part(r)});
        const Signal ol = left.graph.run(*left.stack, left.input, {part(l)});
        const Signal orr = right.graph.run(*right.stack, right.input, {part(r)});
        ASSERT_EQ(stereo.stack->levelCount(0), 4);
        out[0].insert(out[0].end(), o[0].begin(), o[0].end());
        out[1].insert(out[1].end(), o[1].begin(), o[1].end());
        refL[0].insert(refL[0].end(), ol[0].begin(), ol[0].end());
        refR[0].insert(refR[0].end(), orr[0].begin(), orr[0].end());
        chained.push_back(stereo.level(1)->ranInChain() && stereo.level(2)->ranInChain() && stereo.level(3)->ranInChain());
        tailChained.push_back(stereo.level(2)->ranInChain() && stereo.level(3)->ranInChain());
        EXPECT_FALSE(stereo.level(0)->ranInChain());
        EXPECT_FALSE(left.level(3)->ranInChain());
        at += n;
        ++block;
    }
    ASSERT_EQ(out[0].size(), refL[0].size());
    EXPECT_EQ(std::memcmp(out[0].data(), refL[0].data(), out[0].size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(out[1].data(), refR[0].data(), out[1].size() * sizeof(double)), 0);
    EXPECT_NE(out[0], l);
    // Steady or morphing, the whole stack is one chain: while band 0 morphs (from block 8), while
    // every band morphs (from block 20) and in the block where band 3's change arrives (105).
    // While band 0 crossfades to bypass (from block 140) nothing chains; afterwards band 0 has no
    // stage and passes its input on, and band 1 heads the chain of the rest, until band 1
    // crossfades (from block 160; afterwards band 3 alone has a stage, and one stage gains nothing
    // from a chain).
    ASSERT_GT(chained.size(), 200u);
    EXPECT_TRUE(chained[2]);
    EXPECT_TRUE(chained[10]);
    EXPECT_TRUE(chained[20]);
    EXPECT_TRUE(chained[21]);
    EXPECT_TRUE(chained[105]);
    EXPECT_FALSE(chained[141]);
    EXPECT_FALSE(chained[150]);
    EXPECT_TRUE(tailChained[150]);
    EXPECT_FALSE(chained[160]);
    EXPECT_FALSE(tailChained[160]);
}

INSTANTIATE_TEST_SUITE_P(Levels, CModFilterIIRChain, ::testing::Values(0, 1, 2), test::biquadLevelName);

} // namespace
} // namespace tal
