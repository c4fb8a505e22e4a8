#include "Audio/Processes/CAudioProcessMB.h"

#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/FilterCreators.h"
#include "Core/CError.h"
#include "support/CLogCapture.h"
#include "support/TerminalTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::CProcessTestGraph;
using Signal = std::vector<std::vector<double>>;

// A crossover stand-in: multiplies by its "gain"; its init fails for the element index given by
// "fail-element".
class CScaleProcess : public test::CGainProcess {
public:
    CScaleProcess(double gain, int failElement) : CGainProcess(gain), mFailElement(failElement) {}
    CError* init() override {
        if (elementIndex() == mFailElement)
            return newError("@talstr_Test_init_Failed Test process init failed.", namePrefix());
        return nullptr;
    }

private:
    int mFailElement;
};

class CScaleDef : public CAudioProcessDefBase {
public:
    CAudioProcessBase* newProcess() override {
        const int fail = getTextAttr("fail-element").isEmpty() ? -1 : getIntAttr("fail-element");
        return new CScaleProcess(getDoubleAttr("gain"), fail);
    }
};

void registerTestTags() {
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"test:scale", &createObject<CScaleDef>, &CObject::initScheme},
            {nullptr, nullptr, nullptr},
        };
        CCreatorRegistry::instance().registerTable(table);
        CCreatorRegistry::instance().registerTable(kFilterCreatorTable);
        return true;
    }();
    (void)registered;
}

constexpr double kLow = 0.5;    // gain of the low-pass stand-in
constexpr double kHigh = 0.25;  // gain of the high-pass stand-in
constexpr double kPre = 3.0;    // gain of the pre-band stand-in

struct Shape {
    bool cascade = true;       // with a high-pass prototype
    bool pre = false;          // with a pre-band prototype
    const char* failLow = "";  // element whose low-pass cannot be made
    const char* passThrough = "";
};

// What the bands add up to for a constant input of 1: band k's gain g[k] times the stand-ins'
// gains along its path.
double expectedSum(int bands, const Shape& shape, const std::vector<double>& g) {
    if (bands == 1)
        return g[0];
    double sum = 0.0, through = 1.0;
    for (int k = 0; k < bands; ++k) {
        if (!shape.cascade)
            sum += kLow * g[std::size_t(k)];
        else if (k == bands - 1)
            sum += through * g[std::size_t(k)];
        else {
            sum += through * kLow * (shape.pre ? kPre : 1.0) * g[std::size_t(k)];
            through *= kHigh;
        }
    }
    return sum;
}

// A multiband gain: the band processes are gain terminals whose gain is element k of "gain"; the
// crossovers are scaling stand-ins.
struct ScaleMB {
    CProcessTestGraph graph;
    CAudioProcessMB* mb = nullptr;
    CAudioProcessConnection* input = nullptr;

    ScaleMB(const char* count, const char* xovers, const char* gains, const Shape& shape = {}, int group = 0) {
        registerTestTags();
        CObject* audio = graph.tree.audio();
        leaf(audio, "test:scale", "xlp", {{"gain", "0.5"}, {"fail-element", shape.failLow}});
        leaf(audio, "test:scale", "xhp", {{"gain", "0.25"}});
        leaf(audio, "test:scale", "xpre", {{"gain", "3"}});
        CAudioProcessDefBase* def = graph.define(
            "audio:modGain", "mb",
            {{"is-multiband", "true"}, {"multiband-freq-param", "xover"}, {"multiband-count-param", "bands"},
             {"multiband-lp", "^xlp"}, {"multiband-hp", shape.cascade ? "^xhp" : ""},
             {"multiband-pre", shape.pre ? "^xpre" : ""}, {"multiband-pt-ports", shape.passThrough}});
        graph.alloc(def, 0, "gain");
        graph.param(def, "gain", gains);
        graph.param(def, "xover", xovers);
        graph.param(def, "bands", count);
        leaf(def, "audio:param-remap", "r", {{"orig", "mod.gain"}, {"new", "gain"}});
        graph.finish(def);
        mb = dynamic_cast<CAudioProcessMB*>(graph.make(def, "plugin.mb", group));
    }
    static void leaf(CObject* parent, const char* tag, const char* name, AttrList attrs) {
        CObject* out = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(out, parent, tag, name, attrs)), "") << name;
    }
    // One block of 8 samples of a constant per channel; the summed output.
    Signal run(int channels, double value = 1.0, double rate = 48000.0) {
        if (input == nullptr)
            input = graph.host.attach(*mb, channels, rate, 0, 0, std::vector<int>(std::size_t(channels), mb->groupIndex()));
        return graph.run(*mb, input, Signal(std::size_t(channels), std::vector<double>(8, value)));
    }
};

TEST(CAudioProcessMB, BandCountIsTheLeadingAscendingRunOfCrossoversBelowNyquist) {
    const struct Row {
        const char* count;
        const char* xovers;
        double rate;
        int bands;
    } rows[] = {
        {"4", "200,1000,800", 48000.0, 3},   // 800 is below 1000: the run stops there
        {"1", "200,1000", 48000.0, 1},
        {"9", "200,1000", 48000.0, 3},       // no more crossovers than the list has
        {"3", "200,30000", 48000.0, 2},      // above half the rate
        {"3", "200,24000", 48000.0, 2},      // exactly half the rate ends the run too
        {"3", "200,30000", 96000.0, 3},      // the rate decides
        {"3", "200,200", 48000.0, 3},        // equal crossovers keep the run going
        {"0", "200,1000", 48000.0, 1},
        {"-3", "200,1000", 48000.0, 1},
        {"2.5", "200,1000", 48000.0, 3},     // halves round away from zero
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.count) + " / " + r.xovers + " @ " + std::to_string(r.rate));
        ScaleMB s(r.count, r.xovers, "1,1,1,1", {});
        ASSERT_NE(s.mb, nullptr);
        s.run(1, 1.0, r.rate);
        EXPECT_EQ(s.mb->bandCount(), r.bands);
    }
}

TEST(CAudioProcessMB, ProcessOfAnotherGroupReadsTheDefaultCrossovers) {
    // Group 2 has no values of its own: its crossovers are the defaults (group 0's), its count too.
    ScaleMB s("3;1", "200,1000;5000", "1,1,1", {}, 2);
    s.run(1);
    EXPECT_EQ(s.mb->bandCount(), 3);
    ScaleMB own("3;3", "200,1000;5000", "1,1,1", {}, 1);   // group 1: one crossover
    own.run(1);
    EXPECT_EQ(own.mb->bandCount(), 2);
}

TEST(CAudioProcessMB, BandsSumAlongTheirCrossoverPaths) {
    const std::vector<double> g = {1.0, 8.0, 64.0, 512.0};
    const struct Row {
        const char* name;
        const char* count;
        Shape shape;
    } rows[] = {
        {"single band", "1", {}},
        {"cascade of three", "3", {}},
        {"cascade of four", "4", {}},
        {"cascade with pre-band", "3", {true, true}},
        {"low-passes only", "3", {false}},
        {"low-passes only, two", "2", {false}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScaleMB s(r.count, "100,200,300", "1,8,64,512", r.shape);
        const Signal o = s.run(2);
        const int bands = s.mb->bandCount();
        ASSERT_EQ(bands, std::atoi(r.count));
        ASSERT_EQ(o.size(), 2u);
        for (const auto& channel : o)
            EXPECT_EQ(channel, std::vector<double>(8, expectedSum(bands, r.shape, g)));
        for (int k = 0; k < bands; ++k) {
            SCOPED_TRACE(k);
            const bool last = k == bands - 1;
            const bool split = bands > 1 && (!r.shape.cascade || !last);
            EXPECT_EQ(s.mb->lowPass(k, 0) != nullptr, split);
            EXPECT_EQ(s.mb->highPass(k, 0) != nullptr, split && r.shape.cascade);
            EXPECT_EQ(s.mb->preBand(k, 0) != nullptr, split && r.shape.cascade && r.shape.pre);
            ASSERT_NE(s.mb->bandProcess(k), nullptr);
            EXPECT_EQ(s.mb->bandProcess(k)->elementIndex(), k);
            if (split) {
                EXPECT_EQ(s.mb->lowPass(k, 0)->elementIndex(), k);
            }
        }
    }
}

TEST(CAudioProcessMB, CountChangesRebuildTheLastBand) {
    const std::vector<double> g = {1.0, 8.0, 64.0, 512.0};
    for (const bool cascade : {true, false}) {
        SCOPED_TRACE(cascade ? "cascade" : "low-passes only");
        const Shape shape{cascade};
        ScaleMB s("4", "100,200,300", "1,8,64,512", shape);
        s.run(1);
        ASSERT_EQ(s.mb->bandCount(), 4);
        for (const int count : {2, 1, 3, 4, 2}) {
            SCOPED_TRACE(count);
            s.graph.set("plugin.mb.bands", count);
            const Signal o = s.run(1);
            ASSERT_EQ(s.mb->bandCount(), count);
            EXPECT_EQ(o[0], std::vector<double>(8, expectedSum(count, shape, g)));
            // The last band of a cascade has no crossover of its own.
            EXPECT_EQ(s.mb->lowPass(count - 1, 0) != nullptr, count > 1 && !cascade);
            int subs = 0;
            for (int k = 0; k < count; ++k)
                subs += (s.mb->lowPass(k, 0) != nullptr) + (s.mb->highPass(k, 0) != nullptr) + 1;
            EXPECT_EQ(s.mb->runList().count(), subs);
        }
    }
}

TEST(CAudioProcessMB, CrossoverChangeAcrossNyquistChangesTheBands) {
    ScaleMB s("3", "100,200", "1,8,64");
    s.run(1);
    ASSERT_EQ(s.mb->bandCount(), 3);
    s.graph.set("plugin.mb.xover", 50000.0);   // element 0 now ends the run
    const Signal o = s.run(1);
    EXPECT_EQ(s.mb->bandCount(), 1);
    EXPECT_EQ(o[0], std::vector<double>(8, 1.0));
}

TEST(CAudioProcessMB, PassThroughPortReachesEveryBandUnsplit) {
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "port 1 passes through" : "port 1 is split");
        Shape shape;
        shape.passThrough = listed ? "x,1,-2" : "";   // not a number, negative: ignored
        ScaleMB s("3", "100,200", "1,8,64", shape);
        CAudioProcessConnection* side = s.graph.host.attach(*s.mb, 2, 48000.0, 1);
        s.graph.host.feed(side, Signal(2, std::vector<double>(8, 1.0)));
        s.run(2);
        ASSERT_EQ(s.mb->bandCount(), 3);
        EXPECT_EQ(s.mb->passThroughPorts().count(), listed ? 1 : 0);
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            CAudioProcessPort* port1 = s.mb->bandProcess(k)->findPort(1);
            ASSERT_NE(port1, nullptr);
            ASSERT_EQ(port1->connections.count(), 1);
            EXPECT_EQ(port1->channelCount, 2);
            EXPECT_EQ(s.mb->lowPass(k, 1) != nullptr, !listed && k < 2);
            EXPECT_EQ(s.mb->lowPass(k, 0) != nullptr, k < 2);
        }
        // The side port leaves: its crossovers and links go with it, port 0 stays split.
        s.mb->removeInputConnection(1, side);
        s.run(2);
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(s.mb->lowPass(k, 1), nullptr);
            EXPECT_EQ(s.mb->highPass(k, 1), nullptr);
            const CAudioProcessPort* port1 = s.mb->bandProcess(k)->findPort(1);
            EXPECT_TRUE(port1 == nullptr || port1->connections.isEmpty());
        }
        EXPECT_EQ(s.mb->runList().count(), 2 + 2 + 3);
        s.run(2);
        EXPECT_EQ(s.mb->findPort(1), nullptr);
    }
}

TEST(CAudioProcessMB, NewPortReachesEveryBandOfAnExistingCascade) {
    ScaleMB s("3", "100,200", "1,8,64");
    s.run(1);
    ASSERT_EQ(s.mb->bandCount(), 3);
    // A second input port appears after the bands exist; band 1 and 2 hang on band 0's and 1's
    // high-pass of that port.
    CAudioProcessConnection* side = s.graph.host.attach(*s.mb, 1, 48000.0, 1);
    s.graph.host.feed(side, Signal(1, std::vector<double>(8, 1.0)));
    s.run(1);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const CAudioProcessPort* port1 = s.mb->bandProcess(k)->findPort(1);
        ASSERT_NE(port1, nullptr);
        ASSERT_EQ(port1->connections.count(), 1) << "band " << k << " gets nothing of the new port";
    }
    EXPECT_NE(s.mb->highPass(0, 1), nullptr);
    EXPECT_NE(s.mb->lowPass(1, 1), nullptr);
}

TEST(CAudioProcessMB, CrossoverThatCannotBeMadeIsLeftOut) {
    CLogCapture log;
    Shape shape;
    shape.failLow = "1";   // band 1's low-pass fails its init
    ScaleMB s("3", "100,200", "1,8,64", shape);
    const Signal o = s.run(1);
    ASSERT_EQ(s.mb->bandCount(), 3);
    EXPECT_EQ(s.mb->lowPass(1, 0), nullptr);
    EXPECT_NE(s.mb->highPass(1, 0), nullptr);
    // Band 1 yields nothing; the others are as before.
    const std::vector<double> g = {1.0, 8.0, 64.0};
    EXPECT_EQ(o[0], std::vector<double>(8, expectedSum(3, {}, g) - kHigh * kLow * g[1]));
    bool logged = false;
    for (const std::string& line : log.lines())
        logged = logged || line.find("Test process init failed.") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST(CAudioProcessMB, InitNeedsBothParametersAndALowPassPrototype) {
    registerTestTags();
    const struct Row {
        const char* name;
        const char* freq;
        const char* count;
        const char* lp;
        const char* message;
    } rows[] = {
        {"no freq", "", "bands", "^xlp", "No 'multiband-freq-param' attribute defined."},
        {"no count", "xover", "", "^xlp", "No 'multiband-count-param' attribute defined."},
        {"no lp", "xover", "bands", "",
         "Object name attribute 'multiband-lp' cannot be empty at audio.mb."},
        {"missing lp", "xover", "bands", "^nothing",
         "Name attribute 'multiband-lp' refers to a non-existent object '^nothing' ('audio.nothing') at "
         "audio.mb."},
        {"lp of another class", "xover", "bands", "^paramcvt",
         "Name attribute 'multiband-lp' refers to object '^paramcvt' ('audio.paramcvt') of incompatible type "
         "at audio.mb."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CProcessTestGraph graph;
        ScaleMB::leaf(graph.tree.audio(), "test:scale", "xlp", {{"gain", "0.5"}});
        CAudioProcessDefBase* def =
            graph.define("audio:modGain", "mb",
                         {{"is-multiband", "true"}, {"multiband-freq-param", r.freq},
                          {"multiband-count-param", r.count}, {"multiband-lp", r.lp}});
        graph.finish(def);
        const CString prefix("plugin.mb");
        CAudioProcessBase* holder = nullptr;
        CError* err = def->createProcess(&holder, prefix, graph.context, 0, 0, &graph.daw.blockPool(), false, false);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(textOf(err->line(0)), r.message);
        const std::string trace = textOf(err->line(err->lineCount() - 1));
        EXPECT_EQ(trace.rfind("Audio/CAudioProcessDefBase( ", 0), 0u) << trace;
        delete err;
        EXPECT_EQ(holder, nullptr);   // a half-made multiband process is never kept
    }
}

// --- Linkwitz-Riley crossovers ----------------------------------------------------------------------

constexpr double kFs = 48000.0;
enum Designer { kLR4Low = 0, kLR4High = 1, kAllPass = 2 };

// The product's fourth-order Linkwitz-Riley designers (two RBJ sections of Q = sqrt(gain)) and an
// RBJ all-pass whose Q is its gain. Index 3 has no designer: such a band passes its input.
struct CrossoverDesigners {
    CAudioFilterRBJGen lp2, hp2, ap;
    CAudioFilterSerialGen lp4, hp4;
    CrossoverDesigners() {
        CAudioFilterRBJGen::Options gainQ;
        gainQ.isGainQ = true;
        EXPECT_TRUE(lp2.configure(CAudioFilterRBJGen::kLowPass, gainQ));
        EXPECT_TRUE(hp2.configure(CAudioFilterRBJGen::kHighPass, gainQ));
        EXPECT_TRUE(ap.configure(CAudioFilterRBJGen::kAllPass, gainQ));
        for (int i = 0; i < 2; ++i) {
            lp4.addItem({&lp2, {}, {1.0, 0.5, 1.0}});
            hp4.addItem({&hp2, {}, {1.0, 0.5, 1.0}});
        }
    }
    // The designer array "xfilters" under parent.
    void publish(CObject* parent) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, parent, "audio:fltgen-array", "xfilters", {})), "");
        auto* array = dynamic_cast<CAudioFilterGenArray*>(object);
        ASSERT_NE(array, nullptr);
        array->setGen(kLR4Low, &lp4);
        array->setGen(kLR4High, &hp4);
        array->setGen(kAllPass, &ap);
    }
};

// A multiband unity gain whose crossovers are LR4 filter bands; with "pre" each band but the last
// runs an all-pass at the next crossover (element k of "ap-freq") after its low-pass.
struct FilterMB {
    CrossoverDesigners designers;   // outlive the graph's modules
    CProcessTestGraph graph;
    CAudioProcessMB* mb = nullptr;

    FilterMB(const char* count, const char* xovers, const char* gains, bool pre, const char* apFreqs = "1000") {
        registerTestTags();
        designers.publish(graph.tree.audio());
        band("xlp", "0", "0.5");
        band("xhp", "1", "0.5");
        band("xpre", "2,3", "0.7071067811865476");   // element 0 an all-pass, element 1 passes
        CAudioProcessDefBase* def =
            graph.define("audio:modGain", "mb",
                         {{"is-multiband", "true"}, {"multiband-freq-param", "xover"}, {"multiband-count-param", "bands"},
                          {"multiband-lp", "^xlp"}, {"multiband-hp", "^xhp"}, {"multiband-pre", pre ? "^xpre" : ""}});
        graph.alloc(def, 0, "gain");
        graph.param(def, "gain", gains);
        graph.param(def, "xover", xovers);
        graph.param(def, "ap-freq", apFreqs);
        graph.param(def, "bands", count);
        ScaleMB::leaf(def, "audio:param-remap", "r1", {{"orig", "mod.gain"}, {"new", "gain"}});
        ScaleMB::leaf(def, "audio:param-remap", "r2", {{"orig", "lp.freq"}, {"new", "xover"}});
        ScaleMB::leaf(def, "audio:param-remap", "r3", {{"orig", "hp.freq"}, {"new", "xover"}});
        ScaleMB::leaf(def, "audio:param-remap", "r4", {{"orig", "pre.freq"}, {"new", "ap-freq"}});
        graph.finish(def);
        mb = dynamic_cast<CAudioProcessMB*>(graph.make(def, "plugin.mb"));
    }
    // An IIR band definition whose designer index and gain are fixed per element (its own,
    // non-global parameters); its frequency comes through the multiband's remapping.
    void band(const char* name, const char* index, const char* gain) {
        CAudioProcessDefBase* def = graph.define("audio:modFilterIIR", name, {{"gen-array", "^xfilters"}});
        graph.alloc(def, 0, "index");
        graph.alloc(def, 1, "freq");
        graph.alloc(def, 2, "gain");
        graph.alloc(def, 3, "bw");
        local(def, "index", index);
        local(def, "gain", gain);
        local(def, "bw", "1");
        graph.finish(def);
    }
    static void local(CObject* def, const char* name, const char* values) {
        ScaleMB::leaf(def, "audio:param", name,
                      {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "-100000"},
                       {"max-values", "100000"}, {"def-values", values}});
    }
    // The response to a unit impulse, run in blocks of 512.
    std::vector<double> impulseResponse(int length) {
        CAudioProcessConnection* in = graph.host.attach(*mb, 1, kFs);
        Signal impulse(1, std::vector<double>(std::size_t(length), 0.0));
        impulse[0][0] = 1.0;
        return graph.runBlocks(*mb, in, impulse, 512)[0];
    }
};

double magnitudeAt(const std::vector<double>& h, double freq) {
    std::complex<double> sum = 0.0;
    for (std::size_t n = 0; n < h.size(); ++n)
        sum += h[n] * std::polar(1.0, -2.0 * std::numbers::pi * freq * double(n) / kFs);
    return std::abs(sum);
}

const double kProbes[] = {20.0, 150.0, 300.0, 700.0, 1000.0, 2000.0, 3000.0, 6000.0, 12000.0, 20000.0};

TEST(CAudioProcessMB, TwoLinkwitzRileyBandsSumToAFlatMagnitude) {
    FilterMB f("2", "1000", "1,1", false);
    const std::vector<double> h = f.impulseResponse(32768);
    ASSERT_EQ(f.mb->bandCount(), 2);
    for (const double probe : kProbes) {
        SCOPED_TRACE(probe);
        EXPECT_NEAR(magnitudeAt(h, probe), 1.0, 1e-6);
    }
}

TEST(CAudioProcessMB, LowBandAloneIsSixDecibelsDownAtTheCrossover) {
    FilterMB f("2", "1000", "1,0", false);   // the high band muted
    const std::vector<double> h = f.impulseResponse(32768);
    EXPECT_NEAR(magnitudeAt(h, 1000.0), 0.5, 1e-6);
    EXPECT_NEAR(magnitudeAt(h, 20.0), 1.0, 1e-4);
    EXPECT_LT(magnitudeAt(h, 12000.0), 1e-3);
}

TEST(CAudioProcessMB, ThreeBandsWithAllPassCompensationSumToAFlatMagnitude) {
    // Band 0 runs an all-pass at the upper crossover, so every band carries the same phase.
    FilterMB compensated("3", "300,3000", "1,1,1", true, "3000");
    const std::vector<double> h = compensated.impulseResponse(32768);
    ASSERT_EQ(compensated.mb->bandCount(), 3);
    ASSERT_NE(compensated.mb->preBand(0, 0), nullptr);
    for (const double probe : kProbes) {
        SCOPED_TRACE(probe);
        EXPECT_NEAR(magnitudeAt(h, probe), 1.0, 1e-6);
    }
    // Without it the low band's phase lags behind the others near the lower crossover.
    FilterMB plain("3", "300,3000", "1,1,1", false);
    const std::vector<double> p = plain.impulseResponse(32768);
    EXPECT_LT(magnitudeAt(p, 300.0), 1.0 - 1e-3);
}

} // namespace
} // namespace tal
