#include "Audio/Processes/CModFilterIIR.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/FilterCreators.h"
#include "support/FilterTestSupport.h"
#include "support/TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using Signal = std::vector<std::vector<double>>;
constexpr double kFs = 48000.0;

// One equaliser band as the product describes it: mode 1 is the corrected peaking filter.
struct Band {
    CAudioFilterBypassGen bypass;
    CAudioFilterMagnusGen magnus;
    CAudioFilterSerialGen peak;
    test::CProcessTestGraph graph;
    CAudioProcessBase* band = nullptr;
    CAudioProcessConnection* input = nullptr;

    explicit Band(int channels) {
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
        CAudioProcessDefBase* def = graph.define("audio:modFilterIIR", "modFilter",
                                                 {{"gen-array", "^filters"}, {"xfade-length", "0.015"}});
        graph.alloc(def, 0, "index", {{"is-smooth-update", "true"}});
        graph.alloc(def, 1, "freq");
        graph.alloc(def, 2, "gain");
        graph.alloc(def, 3, "bw");
        graph.param(def, "index", "1");
        graph.param(def, "freq", "1000");
        graph.param(def, "gain", "2");
        graph.param(def, "bw", "1");
        graph.finish(def);
        band = graph.make(def, "plugin.modFilter");
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

} // namespace
} // namespace tal
