#include "Audio/Processes/CModFilterIIRModule.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterLPHP1Gen.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/FilterCreators.h"
#include "Core/CCreatorRegistry.h"
#include "support/BiquadLevels.h"
#include "support/CLogCapture.h"
#include "support/CObjectTreeTest.h"
#include "support/FilterTestSupport.h"
#include "support/ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace tal {
namespace {

constexpr double kFs = 48000.0;
enum Mode { kBypass = 0, kPeak = 1, kLowPass1 = 2, kShifting = 3, kFivePeaks = 4 };

// The designers of the tests' designer array: 0 bypass, 1 the product's corrected peaking filter,
// 2 a first-order low-pass, 3 a serial design whose first (first-order) item leaves the design
// once ten times the frequency passes half the sample rate, 4 five peaking sections an octave apart.
struct Designers {
    CAudioFilterBypassGen bypass;
    CAudioFilterMagnusGen magnusPeak;
    CAudioFilterSerialGen peak;
    CAudioFilterLPHP1Gen lp1;
    CAudioFilterSerialGen shifting;
    CAudioFilterSerialGen fivePeaks;
    Designers() {
        EXPECT_TRUE(magnusPeak.configure(1));
        peak.addItem({&magnusPeak, {1.0, 1.0, 0.924825}, {}});
        EXPECT_TRUE(lp1.configure(CAudioFilterLPHP1Gen::kLowPass));
        shifting.addItem({&lp1, {10.0}, {}});
        shifting.addItem({&magnusPeak, {}, {}});
        for (double octave : {0.25, 0.5, 1.0, 2.0, 4.0})
            fivePeaks.addItem({&magnusPeak, {octave, 1.0, 0.924825}, {}});
    }
};

class CModFilterIIRModuleTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        static const int registered = CCreatorRegistry::instance().registerTable(kFilterCreatorTable);
        (void)registered;
        CObject* filters = add(root, "filters", "audio:fltgen-array");
        array = dynamic_cast<CAudioFilterGenArray*>(filters);
        ASSERT_NE(array, nullptr);
        array->setGen(kBypass, &designers.bypass);
        array->setGen(kPeak, &designers.peak);
        array->setGen(kLowPass1, &designers.lp1);
        array->setGen(kShifting, &designers.shifting);
        array->setGen(kFivePeaks, &designers.fivePeaks);
        def = add(root, "def");
        ASSERT_EQ(def->setAttr(CString("gen-array"), CString("^filters"), true), nullptr);
        index = test::makeStore({{double(kPeak)}}, true, true);
        freq = test::makeStore({{1000.0}}, true, true);
        gain = test::makeStore({{2.0}}, true, true);
        bw = test::makeStore({{1.0}}, true, true);
    }

    // A module of the band, as a terminal binds it (keys 0 index, 1 freq, 2 gain, 3 bw).
    void bindBand(test::TestModuleHost& host) {
        host.definition = def;
        host.name = CString("plugin.band");
        host.bind(0, index.get(), "index");
        host.bind(1, freq.get(), "freq");
        host.bind(2, gain.get(), "gain");
        host.bind(3, bw.get(), "bw");
    }
    std::unique_ptr<test::ModuleRig<CModFilterIIRModule>> band() {
        auto rig = std::make_unique<test::ModuleRig<CModFilterIIRModule>>();
        bindBand(rig->host);
        rig->start(kFs);
        return rig;
    }

    Designers designers;
    CAudioFilterGenArray* array = nullptr;
    CObject* def = nullptr;
    std::unique_ptr<CAudioParamStorage> index, freq, gain, bw;
};

std::vector<double> slice(const std::vector<double>& v, std::size_t from, std::size_t to) {
    return {v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(to)};
}

TEST_F(CModFilterIIRModuleTest, PeakingBandGainIsTwoAtItsCentreAndOneAtDC) {
    auto rig = band();
    ASSERT_EQ(rig->module->valueCount(), 3);
    ASSERT_EQ(rig->module->stateCount(), 1);
    const std::vector<double> out = rig->run(test::testSine(24000, 1000.0, kFs));
    EXPECT_NEAR(test::sineAmplitude(out, 12000, 1000.0, kFs), 2.0, 1e-6);
    auto dc = band();
    const std::vector<double> flat = dc->run(std::vector<double>(24000, 1.0));
    EXPECT_NEAR(flat.back(), 1.0, 1e-9);
}

TEST_F(CModFilterIIRModuleTest, BypassDesignerAndMissingDesignersPassTheInputBlock) {
    for (double mode : {double(kBypass), 9.0, -1.0}) {
        SCOPED_TRACE(mode);
        test::setStoreValue(*index, mode);
        auto rig = band();
        EXPECT_EQ(rig->module->stateCount(), 0);
        double* in = rig->context.blockPool().allocBlock(8 * 16);
        rig->input.block = in;
        rig->module->blockLength = 16;
        rig->module->process();
        EXPECT_EQ(rig->module->outputs[0].block, in);
        EXPECT_EQ(CAudioBlockPool::useCount(in), 2);
        CAudioBlockPool::releaseBlock(in);
        CAudioBlockPool::releaseBlock(in);
    }
}

TEST_F(CModFilterIIRModuleTest, FrequencyChangeMorphsFromTheRunningFilter) {
    auto moved = band();
    auto steady = band();   // never sees the change
    const std::vector<double> in = test::testSine(48000, 1000.0, kFs);
    const std::vector<double> first = slice(in, 0, 4096), rest = slice(in, 4096, in.size());
    EXPECT_EQ(moved->run(first), steady->run(first));
    test::setStoreValue(*freq, 4000.0);
    moved->update();
    // The morph starts on the old filter: its first sample is the unchanged band's.
    const std::vector<double> a = moved->run(rest), b = steady->run(rest);
    EXPECT_EQ(a[0], b[0]);
    EXPECT_NE(a[2000], b[2000]);
    // Once the morph is over the band has the new response at 1 kHz.
    const double expected = test::design(designers.peak, 4000.0, 2.0, 1.0).magnitudeAt(1000.0, kFs);
    EXPECT_NEAR(test::sineAmplitude(a, 20000, 1000.0, kFs), expected, 1e-6);
    EXPECT_GT(std::fabs(expected - 2.0), 0.1);
}

TEST_F(CModFilterIIRModuleTest, IndexChangeStartsTheNewDesignFromSilence) {
    auto moved = band();
    const std::vector<double> in = test::testNoise(8192, 3);
    moved->run(slice(in, 0, 4096));
    test::setStoreValue(*index, double(kLowPass1));
    moved->update();
    auto fresh = band();   // designed with the low-pass from the start
    ASSERT_EQ(fresh->module->currentIndex(), kLowPass1);
    EXPECT_EQ(moved->run(slice(in, 4096, 8192)), fresh->run(slice(in, 4096, 8192)));
}

TEST_F(CModFilterIIRModuleTest, FrequencyAboveHalfTheRateFreezesTheBand) {
    auto moved = band();
    auto steady = band();
    const std::vector<double> in = test::testNoise(12288, 5);
    moved->run(slice(in, 0, 4096));
    steady->run(slice(in, 0, 4096));
    test::setStoreValue(*freq, 30000.0);
    moved->update();
    EXPECT_EQ(moved->module->stateCount(), 1);
    EXPECT_EQ(moved->run(slice(in, 4096, 8192)), steady->run(slice(in, 4096, 8192)));
    // Coming back below half the rate morphs from the frozen coefficients.
    test::setStoreValue(*freq, 2000.0);
    moved->update();
    const std::vector<double> a = moved->run(slice(in, 8192, 12288)), b = steady->run(slice(in, 8192, 12288));
    EXPECT_EQ(a[0], b[0]);
    EXPECT_NE(a.back(), b.back());
}

TEST_F(CModFilterIIRModuleTest, StageOfAnotherKindGetsAFreshStateAndSurplusRecordsGo) {
    test::setStoreValue(*index, double(kShifting));
    test::setStoreValue(*freq, 1000.0);
    auto moved = band();
    ASSERT_EQ(moved->module->stateCount(), 2);   // first order at 10 kHz, then the peak
    const std::vector<double> in = test::testNoise(8192, 9);
    moved->run(slice(in, 0, 4096));
    test::setStoreValue(*freq, 3000.0);          // 30 kHz: the first-order item drops out
    moved->update();
    ASSERT_EQ(moved->module->stateCount(), 1);
    EXPECT_TRUE(moved->module->state(0).sameRoutines(*moved->module->stages()[0].routines));
    EXPECT_EQ(moved->module->stages()[0].denominatorCount, 2);
    auto fresh = band();
    EXPECT_EQ(moved->run(slice(in, 4096, 8192)), fresh->run(slice(in, 4096, 8192)));
}

TEST_F(CModFilterIIRModuleTest, ResetRestartsWithTheCurrentCoefficients) {
    auto moved = band();
    const std::vector<double> in = test::testNoise(4096, 11);
    moved->run(in);
    test::setStoreValue(*freq, 3000.0);
    moved->update();   // a morph is running
    moved->run(slice(in, 0, 100));
    moved->module->reset();
    auto fresh = band();
    EXPECT_EQ(moved->run(in), fresh->run(in));
}

TEST_F(CModFilterIIRModuleTest, InputChangeRedesignsAtTheNewRate) {
    auto moved = band();
    moved->run(test::testNoise(2048, 13));
    moved->module->sampleRate = 96000.0;
    test::ModuleRig<CModFilterIIRModule>::runUpdate(*moved->module, true);
    const std::vector<double> out = moved->run(test::testSine(96000, 1000.0, 96000.0));
    EXPECT_NEAR(test::sineAmplitude(out, 48000, 1000.0, 96000.0), 2.0, 1e-6);
}

TEST_F(CModFilterIIRModuleTest, MissingDesignerArrayLogsAndPassesThrough) {
    ASSERT_EQ(def->setAttr(CString("gen-array"), CString("^nowhere"), true), nullptr);
    CLogCapture log;
    auto rig = band();
    EXPECT_EQ(rig->module->designerArray(), nullptr);
    EXPECT_EQ(rig->module->stateCount(), 0);
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "The 'gen-array' '^nowhere' not found. // plugin.band");
    const std::vector<double> in = test::testNoise(256, 1);
    EXPECT_EQ(rig->run(in), in);
}

// Paired processing runs steady biquad stages side by side as one cascade and falls back to
// stage-by-stage routines while a stage morphs: on every instruction-set level this processor has,
// for one and several stages and first-order stages among them, across morph starts and ends and
// blocks of 1, 7 and 512 frames, the outputs equal two channels run one by one bit for bit.
class CModFilterIIRPairTest : public CModFilterIIRModuleTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        if (!test::forceBiquadLevel(GetParam()))
            GTEST_SKIP() << "this processor lacks level " << GetParam();
        CModFilterIIRModuleTest::SetUp();
    }
    void TearDown() override {
        test::restoreBiquadLevel();
        CModFilterIIRModuleTest::TearDown();
    }
};

TEST_P(CModFilterIIRPairTest, PairedChannelsMatchChannelsRunOneByOne) {
    struct Channel {
        CAudioChannelDesc input;
        CAudioChannelDesc* table[1] = {&input};
        std::unique_ptr<CModFilterIIRModule> module = std::make_unique<CModFilterIIRModule>();
    };
    const std::vector<int> patterns[] = {{512, 512, 97, 1, 1500, 512, 512, 512, 512, 1245},
                                         std::vector<int>(40, 7), std::vector<int>(200, 1)};
    for (Mode mode : {kPeak, kFivePeaks, kShifting}) {
        for (const std::vector<int>& blocks : patterns) {
            SCOPED_TRACE("mode " + std::to_string(int(mode)) + ", first block " + std::to_string(blocks[0]));
            test::setStoreValue(*index, double(mode));
            test::setStoreValue(*freq, 1000.0);
            test::ModuleRig<CModFilterIIRModule> rig;
            bindBand(rig.host);
            Channel paired[2], single[2];
            for (Channel* set : {paired, single}) {
                for (int c = 0; c < 2; ++c) {
                    rig.configure(*set[c].module, kFs, c, 0, 8);
                    set[c].module->inputTable = set[c].table;
                }
            }
            int total = 0;
            for (int n : blocks)
                total += n;
            const std::vector<double> in[2] = {test::testNoise(total, 21), test::testNoise(total, 22)};
            std::vector<double> out[2][2];
            // Moves mid-run: both channels morph, the morphs ending inside later blocks; the third
            // arrives during the second morph and waits for its end.
            const int moves[3] = {blocks.size() > 2 ? 2 : 0, int(blocks.size()) / 3, int(blocks.size()) / 3 + 1};
            const double targets[3] = {2500.0, 700.0, 900.0};
            int at = 0;
            for (int b = 0; b < int(blocks.size()); ++b) {
                for (int m = 0; m < 3; ++m) {
                    if (b == moves[m] && b > 0) {
                        test::setStoreValue(*freq, targets[m]);
                        for (Channel* set : {paired, single})
                            for (int c = 0; c < 2; ++c)
                                test::ModuleRig<CModFilterIIRModule>::runUpdate(*set[c].module, false);
                    }
                }
                const int n = blocks[std::size_t(b)];
                for (int s = 0; s < 2; ++s) {
                    Channel* set = s == 0 ? paired : single;
                    double* inBlock[2];
                    for (int c = 0; c < 2; ++c) {
                        inBlock[c] = rig.context.blockPool().allocBlock(8 * n);
                        std::copy(in[c].begin() + at, in[c].begin() + at + n, inBlock[c]);
                        set[c].input.block = inBlock[c];
                        set[c].module->blockLength = n;
                    }
                    if (s == 0) {
                        ASSERT_TRUE(set[0].module->canPairWith(*set[1].module));
                        CModFilterIIRModule::processPair(*set[0].module, *set[1].module);
                    } else {
                        set[0].module->process();
                        set[1].module->process();
                    }
                    for (int c = 0; c < 2; ++c) {
                        double* o = set[c].module->outputs[0].block;
                        out[s][c].insert(out[s][c].end(), o, o + n);
                        CAudioBlockPool::releaseBlock(o);
                        CAudioBlockPool::releaseBlock(inBlock[c]);
                    }
                }
                at += n;
            }
            ASSERT_EQ(paired[0].module->stateCount(), mode == kFivePeaks ? 5 : mode == kShifting ? 2 : 1);
            for (int c = 0; c < 2; ++c) {
                ASSERT_EQ(out[0][c].size(), out[1][c].size());
                EXPECT_EQ(std::memcmp(out[0][c].data(), out[1][c].data(), out[0][c].size() * sizeof(double)), 0)
                    << "channel " << c;
                EXPECT_NE(out[0][c], in[c]);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, CModFilterIIRPairTest, ::testing::Values(0, 1, 2), test::biquadLevelName);

TEST_F(CModFilterIIRModuleTest, ModulesOfDifferentKindsDoNotPair) {
    auto a = band();
    test::setStoreValue(*index, double(kLowPass1));
    auto b = band();
    test::setStoreValue(*index, double(kBypass));
    auto c = band();
    EXPECT_FALSE(a->module->canPairWith(*b->module));
    EXPECT_FALSE(c->module->canPairWith(*c->module));   // nothing to run
}

} // namespace
} // namespace tal
