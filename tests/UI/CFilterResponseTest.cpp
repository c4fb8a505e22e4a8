#include "UI/CFilterResponse.h"

#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CWorkerThreadPool.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "UI/CLevelMeterListener.h"
#include "UI/CWindowSharedData.h"
#include "UI/DisplayCreators.h"
#include "UI/ViewCreators.h"
#include "support/BindingTestTree.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace tal {
namespace {

constexpr double kPi = 3.141592653589793;

// A designer that counts its calls and remembers the frequencies it was given, designing with a
// real peaking designer (or, with isFir, one three-tap FIR stage from freq, gain and bw).
class CCountingGen : public CAudioFilterGen {
public:
    CCountingGen() {
        CAudioFilterRBJGen::Options options;
        mPeaking.configure(CAudioFilterRBJGen::kPeaking, options);
    }
    void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                     double sampleRate) const noexcept override {
        double freq = 0.0, gain = 0.0, bw = 0.0;
        values.read("freq", freq);
        ++calls;
        freqs.push_back(freq);
        if (!isFir) {
            mPeaking.designStage(stages, values, context, sampleRate);
            return;
        }
        values.read("gain", gain);
        values.read("bw", bw);
        CAudioFilterStage* stage = stages.append();
        stage->numeratorCount = 3;
        stage->numerator[0] = freq / 1000.0;
        stage->numerator[1] = gain;
        stage->numerator[2] = bw;
    }
    bool isFir = false;
    mutable int calls = 0;
    mutable std::vector<double> freqs;

private:
    CAudioFilterRBJGen mPeaking;
};

// |H|^2 of a list of stages at a frequency, by direct complex evaluation.
double directPower(const CAudioFilterStageList& stages, double freq, double fs) {
    const std::complex<double> zInv = std::polar(1.0, -2.0 * kPi * freq / fs);
    std::complex<double> h = 1.0;
    for (const CAudioFilterStage& s : stages) {
        std::complex<double> num = 0.0, den = 1.0, z = 1.0;
        for (int i = 0; i < s.numeratorCount; ++i, z *= zInv)
            num += s.numerator[i] * z;
        z = zInv;
        for (int i = 0; i < s.denominatorCount; ++i, z *= zInv)
            den += s.denominator[i] * z;
        h *= num / den;
    }
    return std::norm(h);
}

double gridFrequency(int k, int n, double lo, double hi) { return lo * std::pow(hi / lo, double(k) / (n - 1)); }

class CFilterResponseTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:fltgen-array", &createObject<CAudioFilterGenArray>, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry& registry = CCreatorRegistry::instance();
            registry.registerTable(kDisplayCreatorTable);
            registry.registerTable(kViewCreatorTable);
            registry.registerTable(table);
            return registry.find(CString("ui:filter-response")) != nullptr;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:window-shared-data", "window-shared-data", {})), "");
        windowData = dynamic_cast<CWindowSharedData*>(object);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:fltgen-array", "gens", {})), "");
        dynamic_cast<CAudioFilterGenArray*>(object)->setGen(0, &gen);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:sample-rate-monitor", "srm",
                                                    {{"interface-client", "^client"}})),
                  "");
        announceRate(1, 48000);
        watcher = addListener(ui, "watcher");
    }
    void TearDown() override {
        CRecordingBindingTree::TearDown();
        CWorkerThreadPool::releaseIdleWorkers();
    }
    void announceRate(int sequence, double rate) {
        CParamInterfaceMessageWriter writer("update-sample-rate");
        writer.i32(sequence);
        writer.f64(rate);
        connector->reply(writer);
    }
    // A response with band parameters freq/gain/bw/count/type holding the given bands.
    CFilterResponse* response(const char* name, const char* freqs, const char* gains, const char* bws,
                              const char* count, const char* types) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:filter-response", name,
                                                    {{"gen-array", "^gens"}, {"sample-rate-monitor", "^srm"},
                                                     {"filter-count", "1"}, {"inactive-timeout", "0.35"},
                                                     {"combo-mode", "sum"}, {"combo-mode-peak", "max"}})),
                  "");
        auto* r = dynamic_cast<CFilterResponse*>(object);
        watcher->listenObject(object->getFullName(), CString("update"), CString("on"));
        const std::string prefix(name);
        auto bridge = [&](const char* what, double lo, double hi, const char* defaults) {
            const auto info = makeInfo(what, 1, lo, hi, defaults);
            return bridgeWith((prefix + "-" + what).c_str(), *info);
        };
        freqBridge = bridge("freq", -24000, 24000, freqs);  // wide: a test sends invalid ones
        bridge("gain", -30, 30, gains);
        bridge("bw", 0.01, 10, bws);
        countBridge = bridge("count", 0, 32, count);
        bridge("type", 0, 20, types);
        auto path = [&](const char* what) { return "ui." + prefix + "-" + what; };
        const std::string f = path("freq"), g = path("gain"), b = path("bw"), c = path("count"), t = path("type");
        addUIParam(r, "freq-param", {{"genname", "freq"}, {"bridge", f.c_str()}});
        gainParam = addUIParam(r, "gain-param", {{"genname", "gain"}, {"bridge", g.c_str()}});
        addUIParam(r, "bw-param", {{"genname", "bw"}, {"bridge", b.c_str()}});
        addUIParam(r, "filter-count-param", {{"bridge", c.c_str()}});
        addUIParam(r, "filter-type-param", {{"bridge", t.c_str()}});
        return r;
    }
    void reply(CParamBridge* bridge, int element, double x) {
        const std::vector<double> values = {x};
        connector->replyParamUpdate(bridge->listenHandle(), floatChange(0, element, values));
    }
    int updates() {
        const int n = watcher->calls;
        watcher->calls = 0;
        return n;
    }
    // Checks a slot's curves point by point against the directly evaluated design of (f, g, bw).
    void expectDirect(CFilterResponse* r, int slot, double f, double g, double bw, int n) {
        const CCountingGen reference;  // leaves the counts of the response's designer alone
        const CAudioFilterStageList stages = test::design(reference, f, g, bw, 48000.0);
        ASSERT_GT(stages.count(), 0);
        const std::vector<double>* dB = r->getFilterCurve(slot);
        const std::vector<double>* power = r->getPowerCurve(slot);
        ASSERT_NE(dB, nullptr);
        ASSERT_EQ(int(dB->size()), n);
        const int band = int(std::lround((n - 1) * std::log(f / 20) / std::log(1000.0)));
        for (int k = 0; k < n; ++k) {
            const double p = directPower(stages, k == band ? f : gridFrequency(k, n, 20, 20000), 48000.0);
            ASSERT_NEAR((*power)[std::size_t(k)], p, 1e-12 * p) << "point " << k;
            ASSERT_NEAR((*dB)[std::size_t(k)], 10.0 * std::log10(p), 1e-11) << "point " << k;
        }
    }

    CCountingGen gen;
    CWindowSharedData* windowData = nullptr;
    CEventTestObject* watcher = nullptr;
    CParamBridge* freqBridge = nullptr;
    CParamBridge* countBridge = nullptr;
    CUIParam* gainParam = nullptr;
};

TEST_F(CFilterResponseTest, EachPointEqualsTheDirectResponseAndTheBandPointHoldsTheExactPeak) {
    CFilterResponse* r = response("r", "1000", "6", "1", "1", "0");
    ASSERT_EQ(r->getFilterCount(), 1);
    EXPECT_EQ(r->getFilterCurve(0), nullptr);  // no grid yet
    r->setRange(1000, 20, 20000);
    const CAudioFilterStageList stages = test::design(gen, 1000, 6, 1, 48000.0);
    const std::vector<double>& dB = *r->getFilterCurve(0);
    ASSERT_EQ(dB.size(), 1000u);
    // The band's own point shows the response at 1000 Hz, not at the grid frequency beside it.
    const double exact = 10.0 * std::log10(directPower(stages, 1000.0, 48000.0));
    const double atGrid = 10.0 * std::log10(directPower(stages, gridFrequency(566, 1000, 20, 20000), 48000.0));
    EXPECT_NEAR(dB[566], exact, 1e-12 * std::fabs(exact));
    EXPECT_GT(std::fabs(atGrid - exact), 1e-6);
    for (double x : dB)
        EXPECT_LE(x, dB[566]);
    for (int k = 0; k < 1000; ++k) {
        if (k == 566)
            continue;
        const double p = directPower(stages, gridFrequency(k, 1000, 20, 20000), 48000.0);
        ASSERT_NEAR((*r->getPowerCurve(0))[std::size_t(k)], p, 1e-12 * p) << "point " << k;
        ASSERT_NEAR(dB[std::size_t(k)], 10.0 * std::log10(p), 1e-11) << "point " << k;
    }
}

TEST_F(CFilterResponseTest, TheSumIsThePointwiseSumOfTheBands) {
    CFilterResponse* r = response("r", "100,1000,7000", "6,-9,3", "1,0.5,2", "3", "0,0,0");
    r->setRange(500, 20, 20000);
    ASSERT_EQ(r->getFilterCount(), 3);
    const std::vector<double> sum = *r->getSumCurve(false);
    ASSERT_EQ(sum.size(), 500u);
    for (std::size_t k = 0; k < sum.size(); ++k) {
        const double expected = (*r->getFilterCurve(0))[k] + (*r->getFilterCurve(1))[k] + (*r->getFilterCurve(2))[k];
        ASSERT_NEAR(sum[k], expected, 1e-12 * (1 + std::fabs(expected))) << k;
    }
    // Without the last band; the cached sum is recomputed only after it was invalidated.
    r->invalidateSum();
    const std::vector<double> partial = *r->getSumCurve(true);
    EXPECT_NEAR(partial[300], (*r->getFilterCurve(0))[300] + (*r->getFilterCurve(1))[300], 1e-12);
    expectDirect(r, 2, 7000, 3, 2, 500);
}

TEST_F(CFilterResponseTest, TheBandCountRoundsHalvesAwayAndInactiveParametersRemoveEverySlot) {
    CFilterResponse* r = response("r", "100,200,300,400", "1,2,3,4", "1,1,1,1", "4", "0,0,0,0");
    EXPECT_EQ(r->getFilterCount(), 4);
    const struct { double count; int slots; } cases[] = {{2.5, 3}, {2.4, 2}, {0, 0}, {3.5, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        reply(countBridge, 0, c.count);
        EXPECT_EQ(r->getFilterCount(), c.slots);
    }
    updates();
    addBridge("silent", "plugin.q", "^client");  // never gets its information: inactive
    ASSERT_EQ(takeMessage(gainParam->setAttr(CString("bridge"), CString("ui.silent"), true)), "");
    EXPECT_EQ(r->getFilterCount(), 0);
    EXPECT_EQ(r->getSumCurve(false), nullptr);
    EXPECT_GE(updates(), 1);
}

TEST_F(CFilterResponseTest, AChangedElementDesignsOnlyItsOwnSlotAgain) {
    CFilterResponse* r = response("r", "100,200,300,400", "1,2,3,4", "1,1,1,1", "4", "0,0,0,0");
    r->setRange(800, 20, 20000);
    ASSERT_NE(r->getSumCurve(false), nullptr);
    EXPECT_EQ(gen.calls, 4);
    gen.calls = 0;
    gen.freqs.clear();
    updates();
    reply(freqBridge, 2, 5000);
    EXPECT_EQ(updates(), 1);
    EXPECT_EQ(gen.calls, 0);  // lazy: nothing is designed until asked
    ASSERT_NE(r->getSumCurve(false), nullptr);
    EXPECT_EQ(gen.calls, 1);
    EXPECT_EQ(gen.freqs, std::vector<double>{5000});
    expectDirect(r, 2, 5000, 3, 1, 800);
    // The new sum includes the new band.
    const double expected = (*r->getFilterCurve(0))[400] + (*r->getFilterCurve(1))[400] +
                            (*r->getFilterCurve(2))[400] + (*r->getFilterCurve(3))[400];
    EXPECT_NEAR((*r->getSumCurve(false))[400], expected, 1e-12);
    EXPECT_EQ(gen.calls, 1);
    // A new sample rate designs everything again.
    announceRate(2, 96000);
    r->getSumCurve(false);
    EXPECT_EQ(gen.calls, 5);
}

TEST_F(CFilterResponseTest, CurvesEndAtHalfTheSampleRateAndBandsAboveItAreFlat) {
    CFilterResponse* r = response("r", "1000,30000", "6,6", "1,1", "2", "0,0");
    announceRate(2, 44100);
    r->setRange(1000, 20, 40000);
    const std::vector<double>* dB = r->getFilterCurve(0);
    ASSERT_NE(dB, nullptr);
    const int u = int(dB->size());
    EXPECT_LT(u, 1000);
    EXPECT_LT(gridFrequency(u - 1, 1000, 20, 40000), 22050.0);
    EXPECT_GE(gridFrequency(u, 1000, 20, 40000), 22050.0);
    const std::vector<double>& flat = *r->getFilterCurve(1);
    ASSERT_EQ(int(flat.size()), u);
    for (double x : flat)
        ASSERT_EQ(x, 0.0);
    // A single grid point has no spacing: the curves are empty.
    r->setRange(1, 20, 20000);
    EXPECT_EQ(r->getFilterCurve(0), nullptr);
}

TEST_F(CFilterResponseTest, TheLevelCurveVanishesAfterTheInactiveTimeout) {
    CFilterResponse* r = response("r", "1000", "6", "1", "1", "0");
    r->setRange(200, 20, 20000);
    windowData->setFrameClock(0.2);
    const std::vector<double>* level = r->getLevelCurve(0);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level, r->getFilterCurve(0));  // level factor 1: the plain curve
    windowData->setFrameClock(0.5);
    EXPECT_EQ(r->getLevelCurve(0), nullptr);
    EXPECT_EQ(r->getLevelCurve(1), nullptr);
}

TEST_F(CFilterResponseTest, BandLevelsFromAMeterListenerBlendTheBandCurves) {
    static const CCreatorTableEntry table[] = {
        {"test:response-meter-listener", &CLevelMeterListener::create, &CLevelMeterListener::initScheme},
        {"", nullptr, nullptr},
    };
    static const bool registered = (CCreatorRegistry::instance().registerTable(table), true);
    ASSERT_TRUE(registered);
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:viz-exchange", "viz-exchange",
                                                {{"interface-client", "^client"}})),
              "");
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:group-source", "groups", {{"group", "0"}})), "");
    CFilterResponse* r = response("r", "1000,3000", "6,-6", "1,1", "2", "0,0");
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, r, "test:response-meter-listener", "meter",
                                                {{"viz-name", "band-levels"}, {"group-selector", "ui.groups"}})),
              "");
    auto* listener = dynamic_cast<CLevelMeterListener*>(object);
    // The listener joins as the description would have it: a child present at initChilds.
    ASSERT_EQ(takeMessage(r->CLevelMeterListenerOwner::init(r)), "");
    ASSERT_EQ(r->listenerCount(), 1);
    r->setRange(200, 20, 20000);
    windowData->setFrameClock(5.0);
    updates();
    CAudioVizDataMeter frame;
    frame.position = 0;   // band 0
    frame.time = 2.0;
    frame.level = 0.25;
    listener->onVizData(CString("band-levels"), frame);
    EXPECT_GT(updates(), 0);
    // Band 0 is blended with its level: 20 log10(q |H| + 1 - q).
    const CAudioFilterStageList stages = test::design(gen, 1000, 6, 1, 48000.0);
    const std::vector<double>* level = r->getLevelCurve(0);
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(level->size(), 200u);
    for (int k = 0; k < 200; k += 7) {
        const double power = (*r->getPowerCurve(0))[std::size_t(k)];
        EXPECT_NEAR((*level)[std::size_t(k)], 20.0 * std::log10(0.25 * std::sqrt(power) + 0.75), 1e-9) << k;
    }
    const double peak = 20.0 * std::log10(0.25 * std::sqrt(directPower(stages, 1000.0, 48000.0)) + 0.75);
    EXPECT_NEAR(*std::max_element(level->begin(), level->end()), peak, 1e-9);
    // Band 1 has no level value: no blend, and no level curve once its clock is stale.
    EXPECT_EQ(r->getLevelCurve(1), nullptr);
    // A reset of the listener restores the plain curves.
    listener->onVizReset();
    EXPECT_EQ(r->getLevelCurve(0), r->getFilterCurve(0));
    // An older frame than the last one is ignored.
    frame.time = 1.0;
    listener->onVizData(CString("band-levels"), frame);
    EXPECT_EQ(r->getLevelCurve(0), r->getFilterCurve(0));
    // A band whose mode changed shows no level curve until a new level arrives.
    frame.time = 3.0;
    listener->onVizData(CString("band-levels"), frame);
    r->expireLevel(0, 5.0);
    windowData->setFrameClock(5.01);
    EXPECT_EQ(r->getLevelCurve(0), nullptr);
    frame.time = 4.0;
    listener->onVizData(CString("band-levels"), frame);
    EXPECT_NE(r->getLevelCurve(0), nullptr);
}

TEST_F(CFilterResponseTest, ComboModesAreCheckedExactly) {
    const struct { const char* mode; const char* peak; const char* error; } cases[] = {
        {"rms", "min", ""},
        {"Sum", "max", "Invalid combo mode."},
        {"", "max", "Invalid combo mode."},
        {"avg", "peak", "Invalid peak combo mode."},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        CObject* object = nullptr;
        const std::string name = "combo" + std::to_string(i++);
        const std::string message = takeMessage(CParamTestTree::build(
            object, ui, "ui:filter-response", name.c_str(),
            {{"gen-array", "^gens"}, {"sample-rate-monitor", "^srm"}, {"combo-mode", c.mode}, {"combo-mode-peak", c.peak}}));
        if (*c.error == 0) {
            EXPECT_EQ(message, "");
            auto* r = dynamic_cast<CFilterResponse*>(object);
            EXPECT_EQ(r->comboMode(), CLevelMeterListenerOwner::kComboRms);
            EXPECT_EQ(r->peakComboMode(), CLevelMeterListenerOwner::kComboMin);
            EXPECT_TRUE(r->isRawData());
        } else {
            EXPECT_NE(message.find(c.error), std::string::npos) << message;
        }
    }
}

TEST_F(CFilterResponseTest, ConcurrentFirStagesGiveTheSameCurvesOnAnyThreadCount) {
    gen.isFir = true;
    CFilterResponse* r = response("r", "1000,500", "-0.7,0.25", "0.3,0.5", "2", "0,0");
    std::vector<std::vector<double>> results;
    for (int threads : {1, 4, 9}) {
        r->setFIRThreadCount(threads);
        r->setRange(0, 20, 20000);
        r->setRange(2000, 20, 20000);
        results.push_back(*r->getFilterCurve(0));
        results.push_back(*r->getFilterCurve(1));
    }
    for (std::size_t i = 2; i < results.size(); ++i)
        EXPECT_EQ(results[i], results[i % 2]) << i;
    // A two-stage FIR cascade against its direct evaluation (the band point included).
    const double taps[3] = {1.0, -0.7, 0.3};
    for (int k = 0; k < 2000; k += 7) {
        const double w = 2 * kPi * gridFrequency(k, 2000, 20, 20000) / 48000.0;
        const std::complex<double> h = taps[0] + taps[1] * std::polar(1.0, -w) + taps[2] * std::polar(1.0, -2 * w);
        ASSERT_NEAR(results[0][std::size_t(k)], 10 * std::log10(std::norm(h)), 1e-10) << k;
    }
}

} // namespace
} // namespace tal

namespace tal {
namespace {

// A band frequency at or below zero, or not a number, has no point of its own on the grid: the
// curve is the plain evaluation everywhere (the logarithm of such a frequency is not converted).
TEST_F(CFilterResponseTest, ABandFrequencyWithoutALogarithmPlacesNoExactPoint) {
    gen.isFir = true;
    CFilterResponse* r = response("r", "-1000,0", "0.5,0.5", "0.25,0.25", "2", "0,0");
    r->setFIRThreadCount(1);
    r->setRange(300, 20, 20000);
    const double freqs[2] = {-1000, 0};
    for (int slot = 0; slot < 2; ++slot) {
        const std::vector<double>* dB = r->getFilterCurve(slot);
        ASSERT_NE(dB, nullptr);
        ASSERT_EQ(dB->size(), 300u);
        const double taps[3] = {freqs[slot] / 1000.0, 0.5, 0.25};
        for (int k = 0; k < 300; ++k) {
            const double w = 2 * kPi * gridFrequency(k, 300, 20, 20000) / 48000.0;
            const std::complex<double> h = taps[0] + taps[1] * std::polar(1.0, -w) + taps[2] * std::polar(1.0, -2 * w);
            ASSERT_NEAR((*dB)[std::size_t(k)], 10 * std::log10(std::norm(h)), 1e-10) << slot << " " << k;
        }
    }
}

} // namespace
} // namespace tal
