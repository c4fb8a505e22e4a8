#include "Audio/Viz/CFFTAnalyser.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CFFTFrameSink.h"
#include "Audio/Viz/SpectrumWindow.h"
#include "Audio/Viz/CSpectrumValueReserve.h"
#include "fft/FftDispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace tal {
namespace {

struct CapturingSink : CFFTFrameSink {
    void postSpectrum(CAudioVizDataSpectrum* frame, bool secondary) override {
        (secondary ? secondaryFrames : frames).emplace_back(frame);
    }
    std::vector<std::unique_ptr<CAudioVizDataSpectrum>> frames;
    std::vector<std::unique_ptr<CAudioVizDataSpectrum>> secondaryFrames;
};

// One analyser with its pool and sink, configured as a new module is: every setting changed.
struct Rig {
    explicit Rig(CFFTAnalyser::CSettings s, double rate = 48000.0, double fps = 30.0) : settings(s), rate(rate), fps(fps) {
        initFFTCPUDispatch();
        analyser.setup(&pool, &sink, 1, 2);
        analyser.update(settings, CFFTAnalyser::kChangedAll, true, rate, fps, 0.0);
    }
    void feed(const std::vector<double>& x, int blockLength = 512) {
        for (std::size_t i = 0; i < x.size(); i += std::size_t(blockLength)) {
            const int n = int(std::min<std::size_t>(std::size_t(blockLength), x.size() - i));
            analyser.process(x.data() + i, n, fps);
        }
    }
    CFFTAnalyser::CSettings settings;
    double rate;
    double fps;
    CAudioBlockPool pool;
    CapturingSink sink;
    CFFTAnalyser analyser;   // destroyed first: its blocks return to the pool
};

std::vector<double> sine(double amplitude, double frequency, double rate, int n) {
    std::vector<double> x(std::size_t(n), 0.0);
    for (int i = 0; i < n; ++i)
        x[std::size_t(i)] = amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate);
    return x;
}

// The window formulas evaluated directly with the library's cosines.
double referenceWindow(int type, int k, int count) {
    const double n = count, x = 2.0 * std::numbers::pi * k / n;
    switch (type) {
    case kWindowBlackman: return 3.3671751485073687 / n * (0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x));
    case kWindowHiRes: {
        const double v = 0.355768 - 0.487396 * std::cos(x) + 0.144232 * std::cos(2 * x) - 0.012604 * std::cos(3 * x);
        return 5.527964235380254 / n * v * v;
    }
    case kWindowDome: return 1.854082169738002 / n * std::sqrt(std::fabs(std::sin(std::numbers::pi * (k + 1) / n)));
    default: return 2.82842712474619 / n * (0.5 - 0.5 * std::cos(x));
    }
}

TEST(SpectrumWindow, MatchesTheFormulasAndSumsToSqrt2) {
    for (const int type : {kWindowHann, kWindowBlackman, kWindowHiRes, kWindowDome}) {
        for (const int count : {64, 2048, 65536}) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " count " << count);
            std::vector<double> w(static_cast<std::size_t>(count));
            buildSpectrumWindow(type, w.data(), count);
            // The recurrence drifts by a few ulps per step; the Dome window's square root magnifies
            // that where the sine nears 0, so it is compared squared.
            double sum = 0.0;
            double worst = 0.0;
            for (int k = 0; k < count; ++k) {
                const double v = w[std::size_t(k)], ref = referenceWindow(type, k, count);
                sum += v;
                const double diff = type == kWindowDome ? std::fabs(v * v - ref * ref) * count * count
                                                        : std::fabs(v - ref) * count;
                worst = std::max(worst, diff);
            }
            EXPECT_LT(worst, 1e-6);
            // The coherent gain: a bin-centred sine of amplitude A then reads A / sqrt(2). The scale
            // constants give it to within these tolerances; the Dome window's sum converges slowly.
            const double tolerance = type == kWindowDome ? (count == 64 ? 3e-3 : 2e-5) : type == kWindowHiRes ? 1e-6 : 1e-8;
            EXPECT_NEAR(sum, std::numbers::sqrt2, tolerance);
        }
    }
    std::vector<double> hann(8, -1.0);
    buildSpectrumWindow(kWindowHann, hann.data(), 8);
    EXPECT_EQ(hann[0], 0.0);
    double untouched = 5.0;
    buildSpectrumWindow(kWindowHann, &untouched, 0);
    EXPECT_EQ(untouched, 5.0);
}

struct CalibrationCase {
    int window;
    double amplitude;
    int bin;
    double tolerance;   // relative: the mirror image of the tone leaks through the window's sidelobes
    double far;         // relative level allowed 40 bins away
};

// Names the case in test listings (instead of its raw bytes).
void PrintTo(const CalibrationCase& c, std::ostream* os) {
    static const char* const kNames[] = {"Hann", "Blackman", "HiRes", "Dome"};
    *os << (c.window >= 0 && c.window < 4 ? kNames[c.window] : "window?") << " amplitude " << c.amplitude << " bin "
        << c.bin;
}

class SpectrumCalibration : public ::testing::TestWithParam<CalibrationCase> {};

// A sine centred on bin k reads amplitude / sqrt(2) in bin k, whatever the window.
TEST_P(SpectrumCalibration, BinCentredSineReadsItsRmsLevel) {
    const CalibrationCase c = GetParam();
    CFFTAnalyser::CSettings s;
    s.blockSize = 4;   // N = 1024
    s.window = c.window;
    s.avgTime = 0.0;   // every analysis replaces the average
    Rig rig(s);
    ASSERT_EQ(rig.analyser.fftSize(), 1024);
    rig.feed(sine(c.amplitude, c.bin * 48000.0 / 1024, 48000.0, 1024 * 4));
    ASSERT_FALSE(rig.sink.frames.empty());
    const CAudioVizDataSpectrum& f = *rig.sink.frames.back();
    ASSERT_EQ(f.binCount(), 513);
    EXPECT_NEAR(f.values[c.bin], c.amplitude / std::numbers::sqrt2, c.tolerance * c.amplitude);
    // Far from the tone the window leaves little.
    EXPECT_LT(f.values[c.bin + 40], c.far * c.amplitude);
}

INSTANTIATE_TEST_SUITE_P(Windows, SpectrumCalibration,
                         ::testing::Values(CalibrationCase{kWindowHann, 1.0, 37, 1e-9, 1e-9},
                                           CalibrationCase{kWindowBlackman, 0.5, 100, 1e-6, 1e-6},
                                           CalibrationCase{kWindowHiRes, 1.0, 200, 1e-6, 1e-9},
                                           CalibrationCase{kWindowDome, 2.0, 64, 3e-3, 1e-2},
                                           CalibrationCase{kWindowHann, 1.0, 1, 1e-9, 1e-9}));

TEST(CFFTAnalyser, DefaultsGiveTheDocumentedSizes) {
    Rig rig({});
    EXPECT_EQ(rig.analyser.fftSize(), 2048);
    EXPECT_EQ(rig.analyser.binCount(), 1025);
    EXPECT_EQ(rig.analyser.hop(), 1024);
    EXPECT_EQ(rig.analyser.framesPerOutput(), 1);   // 48000 / (1024 * 30) = 1.56
    EXPECT_EQ(rig.analyser.windowType(), kWindowHann);
    // alpha1 = 1 - 10^-h with h = hop / (0.3 s * rate)
    const double h = 1024.0 / (0.3 * 48000.0);
    EXPECT_NEAR(rig.analyser.alpha1(), 1.0 - std::pow(10.0, -h), 1e-12);
    EXPECT_NEAR(rig.analyser.alpha2(), 1.0 - std::pow(10.0, -2.0 * h), 1e-12);
}

struct SizeCase {
    double blockSize;
    double overlap;
    int size;
    int hop;
};

// Every block size and overlap emits frames, also where the frame cadence would round to zero
// (large blocks at a high frame rate) and where the hop would round to zero.
TEST(CFFTAnalyser, EveryBlockSizeAndOverlapEmitsFrames) {
    const SizeCase cases[] = {{0, 0.5, 64, 32},        {0, 0.95, 64, 3},        {0, 1.0, 64, 1},
                              {4, 0.75, 1024, 256},    {6, 0.5, 4096, 2048},    {8, 0.5, 16384, 8192},
                              {10, 0.5, 65536, 32768}, {10, 0.95, 65536, 3276}, {-3, 0.5, 64, 32},
                              {14, 0.5, 65536, 32768}};
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "block-size " << c.blockSize << " overlap " << c.overlap);
        CFFTAnalyser::CSettings s;
        s.blockSize = c.blockSize;
        s.overlap = c.overlap;
        Rig rig(s, 44100.0, 60.0);
        EXPECT_EQ(rig.analyser.fftSize(), c.size);
        EXPECT_EQ(rig.analyser.hop(), c.hop);
        const int hops = std::max(1, int(44100.0 / (c.hop * 60.0)));   // analyses per frame
        rig.feed(std::vector<double>(std::size_t(c.hop) * std::size_t(hops) * 2, 0.25), 500);
        ASSERT_GE(rig.sink.frames.size(), 1u);
        EXPECT_EQ(rig.sink.frames[0]->fftSize, c.size);
        EXPECT_EQ(rig.sink.frames[0]->binCount(), c.size / 2 + 1);
    }
}

TEST(CFFTAnalyser, FirstAnalysisComesOneHopAfterTheReset) {
    CFFTAnalyser::CSettings s;
    s.blockSize = 0;   // N = 64, hop 32
    Rig rig(s, 48000.0, 2000.0);   // every analysis emits
    rig.feed(std::vector<double>(31, 1.0));
    EXPECT_TRUE(rig.sink.frames.empty());
    rig.feed(std::vector<double>(1, 1.0));
    ASSERT_EQ(rig.sink.frames.size(), 1u);
    const CAudioVizDataSpectrum& f = *rig.sink.frames[0];
    // Time stamp: the centre of the analysed block, which ends 32 samples after the reset.
    EXPECT_NEAR(f.time, 32.0 / 48000.0 - 32.0 / 48000.0, 1e-15);
    EXPECT_EQ(f.channel, 1);
    EXPECT_EQ(f.group, 2);
    EXPECT_EQ(f.sampleRate, 48000.0);
    // Half the ring holds zeros: DC is the sum of the newer half of the window times 1, scaled by
    // the averaging step alpha1.
    std::vector<double> w(64);
    buildSpectrumWindow(kWindowHann, w.data(), 64);
    double dc = 0.0;
    for (int m = 32; m < 64; ++m) dc += w[std::size_t(m)];
    EXPECT_NEAR(f.values[0], dc * rig.analyser.alpha1(), 1e-12);
}

TEST(CFFTAnalyser, AvgAndMaxCarryTheAverageAndPeakSinceTheReset) {
    const double rate = 48000.0;
    for (const int type : {CFFTAnalyser::kAvg, CFFTAnalyser::kMax}) {
        SCOPED_TRACE(type);
        CFFTAnalyser::CSettings s;
        s.blockSize = 0;    // N = 64
        s.overlap = 0.0;    // hop 64: every analysis sees only new samples
        s.type = type;
        Rig rig(s, rate, 1000.0);   // every analysis emits
        rig.feed(std::vector<double>(64, 1.0));
        rig.feed(std::vector<double>(64, 3.0));
        ASSERT_EQ(rig.sink.frames.size(), 2u);
        std::vector<double> w(64);
        buildSpectrumWindow(kWindowHann, w.data(), 64);
        double sum = 0.0;
        for (double v : w) sum += v;
        const double expected = type == CFFTAnalyser::kAvg ? 2.0 * sum : 3.0 * sum;
        const CAudioVizDataSpectrum& f = *rig.sink.frames[1];
        EXPECT_NEAR(f.values[0], expected, 1e-12);
        EXPECT_EQ(f.averagingType, type);
        EXPECT_NEAR(f.averagingTime, 128.0 / rate, 1e-15);   // elapsed since the reset
    }
}

TEST(CFFTAnalyser, AveragingTimeAloneKeepsTheSpectraButTypeRestarts) {
    CFFTAnalyser::CSettings s;
    s.blockSize = 0;
    s.overlap = 0.0;
    s.type = CFFTAnalyser::kMax;
    Rig rig(s, 48000.0, 1000.0);
    rig.feed(std::vector<double>(64, 3.0));
    s.avgTime = 1.0;
    rig.analyser.update(s, CFFTAnalyser::kChangedAvgTime, false, 48000.0, 1000.0, 64.0 / 48000.0);
    rig.feed(std::vector<double>(64, 1.0));
    ASSERT_EQ(rig.sink.frames.size(), 2u);
    EXPECT_EQ(rig.sink.frames[1]->values[0], rig.sink.frames[0]->values[0]);   // the peak stays
    rig.analyser.update(s, CFFTAnalyser::kChangedType, false, 48000.0, 1000.0, 128.0 / 48000.0);
    rig.feed(std::vector<double>(64, 1.0));
    ASSERT_EQ(rig.sink.frames.size(), 3u);
    EXPECT_NEAR(rig.sink.frames[2]->values[0], rig.sink.frames[0]->values[0] / 3.0, 1e-12);
}

TEST(CFFTAnalyser, SecondarySpectrumOnlyWhenEnabled) {
    CFFTAnalyser::CSettings s;
    s.blockSize = 0;
    s.secType = CFFTAnalyser::kMax;
    Rig rig(s, 48000.0, 1000.0);
    rig.feed(std::vector<double>(256, 0.5));
    EXPECT_FALSE(rig.sink.frames.empty());
    EXPECT_TRUE(rig.sink.secondaryFrames.empty());
    s.secEnable = 1.0;
    rig.analyser.update(s, CFFTAnalyser::kChangedSecEnable, false, 48000.0, 1000.0, 0.0);
    rig.sink.frames.clear();
    rig.feed(std::vector<double>(256, 0.5));
    EXPECT_EQ(rig.sink.secondaryFrames.size(), rig.sink.frames.size());
    ASSERT_FALSE(rig.sink.secondaryFrames.empty());
    EXPECT_EQ(rig.sink.secondaryFrames[0]->averagingType, CFFTAnalyser::kMax);
}

TEST(CFFTAnalyser, RtSigmaOfASteadySignalDecaysToZero) {
    CFFTAnalyser::CSettings s;
    s.blockSize = 0;
    s.overlap = 0.0;
    s.avgTime = 0.01;
    s.type = CFFTAnalyser::kRTSigma;
    Rig rig(s, 48000.0, 1000.0);
    rig.feed(std::vector<double>(64 * 400, 1.0));
    ASSERT_FALSE(rig.sink.frames.empty());
    EXPECT_LT(rig.sink.frames.back()->values[0], 1e-6);
    EXPECT_GT(rig.sink.frames.front()->values[0], 0.1);
}

// Spectra longer than a pool block (here 1025 bins) take their values from blocks reserved when the
// analyser was configured: emitting makes no block, and when the editor holds every reserved block
// a frame is left out instead of allocated.
TEST(CFFTAnalyser, LongSpectraUseReservedBlocksAndNeverAllocateWhileEmitting) {
    constexpr std::int32_t kOrder = 11;
    CFFTAnalyser::CSettings s;   // N = 2048, hop 1024
    Rig rig(s, 48000.0, 1000.0);   // a frame per analysis
    const std::int64_t allocated = CSpectrumValueReserve::allocatedTotal(kOrder);
    // 46.9 frames per second: half a second of them plus two.
    EXPECT_EQ(rig.analyser.reservedValueBlocks(), 26);
    EXPECT_GE(CSpectrumValueReserve::existingCount(kOrder), 26);
    const std::vector<double> hop = sine(1.0, 1000.0, 48000.0, 1024);
    int emitted = 0;
    for (int i = 0; i < 100; ++i) {   // the editor fetches after every analysis
        rig.feed(hop);
        for (const auto& f : rig.sink.frames) {
            EXPECT_TRUE(f->hasReservedValues());
            EXPECT_EQ(f->binCount(), 1025);
        }
        emitted += int(rig.sink.frames.size());
        rig.sink.frames.clear();
    }
    EXPECT_EQ(emitted, 100);
    EXPECT_EQ(rig.analyser.droppedFrames(), 0);
    EXPECT_EQ(CSpectrumValueReserve::allocatedTotal(kOrder), allocated);

    // The editor stops fetching: the reserve runs dry and later frames are left out.
    const int available = CSpectrumValueReserve::freeCount(kOrder);
    for (int i = 0; i < available + 5; ++i)
        rig.feed(hop);
    EXPECT_EQ(int(rig.sink.frames.size()), available);
    EXPECT_EQ(rig.analyser.droppedFrames(), 5);
    EXPECT_EQ(CSpectrumValueReserve::allocatedTotal(kOrder), allocated);
    // Once the frames are fetched their blocks serve again.
    rig.sink.frames.clear();
    rig.feed(hop);
    EXPECT_EQ(rig.sink.frames.size(), 1u);
    EXPECT_EQ(rig.analyser.droppedFrames(), 5);
}

} // namespace
} // namespace tal
