#pragma once
#include <cstdint>

namespace tal {

class CAudioBlockPool;
class CFFTFrameSink;
struct CFFTPlan;

// The analysis core of the spectrum analyser module: cuts one channel into overlapping blocks,
// windows each, takes its magnitude spectrum with the forward real FFT, averages the spectra by one
// of five rules and hands a spectrum frame to its sink at the editor's frame rate. An optional
// secondary averaging runs on the same FFTs.
//
// Audio thread only (one thread at a time). Buffers come from the instance's audio block pool and
// the plan from the process-wide plan cache; both are taken when the analysis is (re)prepared and
// kept while the settings stay. Frames of more than 510 bins take their values from the spectrum
// value reserve, which update sizes, so that emitting a frame never reaches the system heap.
class CFFTAnalyser {
public:
    // Averaging types.
    enum : std::int32_t { kRTAvg = 0, kMax = 1, kAvg = 2, kRTMax = 3, kRTSigma = 4 };
    // Which settings changed, one bit per parameter key of the module.
    enum : std::uint32_t {
        kChangedBlockSize = 1u << 0,
        kChangedWindow = 1u << 1,
        kChangedOverlap = 1u << 2,
        kChangedAvgTime = 1u << 3,
        kChangedType = 1u << 4,
        kChangedReset = 1u << 5,
        kChangedSecType = 1u << 6,
        kChangedSecEnable = 1u << 7,
        kChangedAll = 0xFFu,
    };
    static constexpr std::int32_t kMinOrder = 6;
    static constexpr std::int32_t kMaxOrder = 16;

    // The parameter values as they are stored (before conversion), with the module's defaults.
    struct CSettings {
        double blockSize = 5.0;   // order - 6
        double window = 0.0;
        double overlap = 0.5;     // fraction of a block shared with the next one
        double avgTime = 0.3;     // seconds
        double type = 0.0;
        double secType = 0.0;
        double secEnable = 0.0;
    };

    CFFTAnalyser() = default;
    ~CFFTAnalyser();
    CFFTAnalyser(const CFFTAnalyser&) = delete;
    CFFTAnalyser& operator=(const CFFTAnalyser&) = delete;

    // --- set-up ---
    // The block pool the buffers come from, the frames' destination and their channel and group.
    void setup(CAudioBlockPool* pool, CFFTFrameSink* sink, std::int32_t channel, std::int32_t group) noexcept;

    // --- audio thread ---
    // Reads the changed settings. Size, window, type and secondary changes, a reset or changed
    // inputs restart the analysis; averaging time and overlap alone keep the accumulated spectra.
    // vizFrameRate: frames per second the editor wants; runningTime: the audio clock in seconds.
    void update(const CSettings& settings, std::uint32_t changed, bool inputsChanged, double sampleRate,
                double vizFrameRate, double runningTime);
    // Restarts the analysis: plan and buffers for the current size, window, ring and averages zero.
    void reset(double runningTime);
    // Analyses n samples of the channel.
    void process(const double* input, std::int32_t n, double vizFrameRate);

    // --- queries ---
    std::int32_t fftSize() const noexcept { return mSize; }
    std::int32_t binCount() const noexcept { return mBins; }
    std::int32_t hop() const noexcept { return mHop; }
    std::int32_t framesPerOutput() const noexcept { return mFramesPerOutput; }
    std::int32_t windowType() const noexcept { return mWindowType; }
    std::int32_t primaryType() const noexcept { return mPrimaryType; }
    double alpha1() const noexcept { return mAlpha1; }
    double alpha2() const noexcept { return mAlpha2; }
    bool hasPlan() const noexcept { return mPlan != nullptr; }
    // Value blocks this analyser holds in the spectrum value reserve (0 for spectra that fit a
    // pool block), and frames lost because every reserved block was still out in frames the
    // editor had not fetched: the oldest waiting frame of the sink makes room, else the new one
    // is left out.
    std::int32_t reservedValueBlocks() const noexcept { return mReservedCount; }
    std::int64_t droppedFrames() const noexcept { return mDroppedFrames; }

private:
    struct CAverage {
        double* accumulator = nullptr;
        double* mean = nullptr;
        std::int32_t counter = 0;
    };

    void computeCadence(double vizFrameRate) noexcept;
    // Sizes this analyser's share of the spectrum value reserve for its bin count and cadence.
    void updateReserve();
    void analyse();
    void accumulate(CAverage& average, std::int32_t type) noexcept;
    void emit(const CAverage& average, std::int32_t type, bool secondary);
    double* ensureBlock(double* block, std::int32_t count) noexcept;
    void releaseBlock(double*& block) noexcept;

    CAudioBlockPool* mPool = nullptr;
    CFFTFrameSink* mSink = nullptr;
    std::int32_t mChannel = 0;
    std::int32_t mGroup = 0;

    std::int32_t mOrder = 11;
    std::int32_t mSize = 2048;
    std::int32_t mBins = 1025;
    std::int32_t mWindowType = 0;
    double mHopFraction = 0.5;
    double mAvgTime = 0.3;
    double mSampleRate = 44100.0;
    double mAnalysisTime = 0.0;
    double mResetTime = 0.0;
    std::int32_t mFrameCounter = 0;
    std::int32_t mFramesPerOutput = 1;
    std::int32_t mPrimaryType = 0;
    bool mSecondaryEnabled = false;
    std::int32_t mSecondaryType = 0;
    CFFTPlan* mPlan = nullptr;
    std::int32_t mHop = 1024;
    std::int32_t mToNextAnalysis = 1024;
    std::int32_t mRingPosition = 0;
    double mAlpha1 = 1.0;
    double mAlpha2 = 1.0;

    double* mFFTBuffer = nullptr;
    double* mWindow = nullptr;
    double* mRing = nullptr;
    double* mScratch = nullptr;
    CAverage mPrimary;
    CAverage mSecondary;
    std::int32_t mReservedOrder = -1;
    std::int32_t mReservedCount = 0;
    std::int64_t mDroppedFrames = 0;
};

} // namespace tal
