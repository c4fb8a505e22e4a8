#include "Audio/Viz/CFFTAnalyser.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CFFTPlanCache.h"
#include "Audio/Viz/CFFTFrameSink.h"
#include "Audio/Viz/SpectrumWindow.h"
#include "Audio/Viz/CSpectrumValueReserve.h"
#include "fft/FftDispatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tal {

namespace {

constexpr double kDefaultFrameRate = 30.0;
// Frames the reserve keeps per averaging: half a second of emission, plus two, within these bounds.
constexpr double kReserveSeconds = 0.5;
constexpr std::int32_t kMinReservedFrames = 4;
constexpr std::int32_t kMaxReservedFrames = 32;

// A stored parameter value as an integer in [lo, hi]: nearest, halves away from zero; NaN gives lo.
std::int32_t toInt(double x, std::int32_t lo, std::int32_t hi) noexcept {
    if (!(x == x))
        return lo;
    const double r = std::round(x);
    return r < lo ? lo : r > hi ? hi : std::int32_t(r);
}

} // namespace

CFFTAnalyser::~CFFTAnalyser() {
    CSpectrumValueReserve::unreserve(mReservedOrder, mReservedCount);
    releaseBlock(mFFTBuffer);
    releaseBlock(mWindow);
    releaseBlock(mRing);
    releaseBlock(mPrimary.accumulator);
    releaseBlock(mPrimary.mean);
    releaseBlock(mSecondary.accumulator);
    releaseBlock(mSecondary.mean);
    releaseBlock(mScratch);
    releaseFFTPlan(mPlan);
}

void CFFTAnalyser::setup(CAudioBlockPool* pool, CFFTFrameSink* sink, std::int32_t channel,
                              std::int32_t group) noexcept {
    mPool = pool;
    mSink = sink;
    mChannel = channel;
    mGroup = group;
}

void CFFTAnalyser::update(const CSettings& settings, std::uint32_t changed, bool inputsChanged,
                               double sampleRate, double vizFrameRate, double runningTime) {
    bool restart = (changed & kChangedReset) != 0 || inputsChanged;
    if (sampleRate > 0.0 && std::isfinite(sampleRate) && sampleRate != mSampleRate) {
        mSampleRate = sampleRate;
        restart = true;
    }
    if (changed & kChangedBlockSize) {
        // The description offers 64 to 65536 samples; other values are held to that range.
        mOrder = toInt(settings.blockSize + kMinOrder, kMinOrder, kMaxOrder);
        mSize = std::int32_t(1) << mOrder;
        mBins = mSize / 2 + 1;
        restart = true;
    }
    if (changed & kChangedWindow) {
        mWindowType = toInt(settings.window, kWindowHann, kWindowDome);
        restart = true;
    }
    if (changed & kChangedOverlap)
        mHopFraction = 1.0 - settings.overlap;
    if (changed & kChangedType) {
        mPrimaryType = toInt(settings.type, kRTAvg, kRTSigma);
        restart = true;
    }
    if (changed & kChangedSecEnable) {
        mSecondaryEnabled = settings.secEnable >= 0.5;
        restart = true;
    }
    if (changed & kChangedSecType) {
        mSecondaryType = toInt(settings.secType, kRTAvg, kRTSigma);
        restart = restart || mSecondaryEnabled;
    }
    if (changed & kChangedAvgTime)
        mAvgTime = settings.avgTime;
    if ((changed & (kChangedAvgTime | kChangedOverlap)) != 0 || restart) {
        // At least one new sample per analysis, at most a whole block: an overlap of 1 or more
        // would otherwise never consume input.
        const double hop = std::floor(double(mSize) * mHopFraction);
        mHop = hop >= 1.0 ? std::int32_t(std::min(hop, double(mSize))) : 1;
        const double span = mAvgTime * mSampleRate;
        if (span > 0.0 && std::isfinite(span)) {
            const double h = double(mHop) / span;
            mAlpha1 = 1.0 - std::exp2(-h * 3.321928094887362);
            mAlpha2 = 1.0 - std::exp2(-h * 6.643856189774724);
        } else {
            mAlpha1 = 1.0;   // no averaging time: every analysis replaces the average
            mAlpha2 = 1.0;
        }
        computeCadence(vizFrameRate);
        if (restart) {
            reset(runningTime);
            mFrameCounter = 0;
            mToNextAnalysis = mHop;
        }
        updateReserve();
    }
    mAnalysisTime = runningTime;
}

void CFFTAnalyser::updateReserve() {
    const std::int32_t order = CSpectrumValueReserve::orderOfBins(mBins);
    std::int32_t count = 0;
    if (order >= 0) {
        const double framesPerSecond = mSampleRate / (double(mHop) * double(mFramesPerOutput));
        const double wanted = std::ceil(framesPerSecond * kReserveSeconds) + 2.0;
        count = wanted >= kMaxReservedFrames ? kMaxReservedFrames
                                             : std::max(kMinReservedFrames, std::int32_t(wanted));
        if (mSecondaryEnabled)
            count *= 2;
    }
    if (order == mReservedOrder && count == mReservedCount)
        return;
    CSpectrumValueReserve::unreserve(mReservedOrder, mReservedCount);
    CSpectrumValueReserve::reserve(order, count);
    mReservedOrder = order;
    mReservedCount = count;
}

void CFFTAnalyser::computeCadence(double vizFrameRate) noexcept {
    const double fps = vizFrameRate > 0.0 && std::isfinite(vizFrameRate) ? vizFrameRate : kDefaultFrameRate;
    // Emit at least every analysis: with a large block and a high frame rate the quotient is below 1.
    const double perOutput = std::floor(mSampleRate / (double(mHop) * fps));
    mFramesPerOutput = perOutput >= 1.0 ? std::int32_t(std::min(perOutput, 1e9)) : 1;
}

double* CFFTAnalyser::ensureBlock(double* block, std::int32_t count) noexcept {
    const int bytes = count * int(sizeof(double));
    if (block != nullptr && CAudioBlockPool::capacity(block) >= bytes)
        return block;
    if (block != nullptr)
        CAudioBlockPool::releaseBlock(block);
    return mPool->allocBlock(bytes);
}

void CFFTAnalyser::releaseBlock(double*& block) noexcept {
    if (block != nullptr)
        CAudioBlockPool::releaseBlock(block);
    block = nullptr;
}

void CFFTAnalyser::reset(double runningTime) {
    if (mPlan != nullptr && mPlan->order != mOrder) {
        releaseFFTPlan(mPlan);
        mPlan = nullptr;
    }
    if (mPlan == nullptr)
        mPlan = acquireFFTPlan(mOrder);
    mFFTBuffer = ensureBlock(mFFTBuffer, mSize);
    mWindow = ensureBlock(mWindow, mSize);
    mRing = ensureBlock(mRing, mSize);
    mPrimary.accumulator = ensureBlock(mPrimary.accumulator, mBins);
    mPrimary.mean = ensureBlock(mPrimary.mean, mBins);
    mScratch = ensureBlock(mScratch, mBins);
    buildSpectrumWindow(mWindowType, mWindow, mSize);
    mRingPosition = 0;
    const std::size_t binBytes = std::size_t(mBins) * sizeof(double);
    std::memset(mRing, 0, std::size_t(mSize) * sizeof(double));
    std::memset(mPrimary.accumulator, 0, binBytes);
    std::memset(mPrimary.mean, 0, binBytes);
    mPrimary.counter = 0;
    if (mSecondaryEnabled) {
        mSecondary.accumulator = ensureBlock(mSecondary.accumulator, mBins);
        mSecondary.mean = ensureBlock(mSecondary.mean, mBins);
        std::memset(mSecondary.accumulator, 0, binBytes);
        std::memset(mSecondary.mean, 0, binBytes);
    } else {
        releaseBlock(mSecondary.accumulator);
    }
    mSecondary.counter = 0;
    mResetTime = runningTime;
}

void CFFTAnalyser::process(const double* input, std::int32_t n, double vizFrameRate) {
    if (mRing == nullptr)
        return;   // never prepared
    const double secondsPerSample = 1.0 / mSampleRate;
    while (n > 0) {
        const std::int32_t k = std::min(n, mToNextAnalysis);
        const std::int32_t first = std::min(k, mSize - mRingPosition);
        std::memcpy(mRing + mRingPosition, input, std::size_t(first) * sizeof(double));
        std::memcpy(mRing, input + first, std::size_t(k - first) * sizeof(double));
        mRingPosition = (mRingPosition + k) % mSize;
        mAnalysisTime += double(k) * secondsPerSample;
        input += k;
        n -= k;
        mToNextAnalysis -= k;
        if (mToNextAnalysis != 0)
            continue;
        mToNextAnalysis = mHop;
        // Without a plan (its memory could not be had) the analysis is skipped until a reset
        // finds one.
        if (mPlan == nullptr || mPlan->spec == nullptr)
            continue;
        analyse();
        accumulate(mPrimary, mPrimaryType);
        if (mSecondaryEnabled)
            accumulate(mSecondary, mSecondaryType);
        if (++mFrameCounter >= mFramesPerOutput) {
            emit(mPrimary, mPrimaryType, false);
            if (mSecondaryEnabled)
                emit(mSecondary, mSecondaryType, true);
            mFrameCounter = 0;
            computeCadence(vizFrameRate);
        }
    }
}

void CFFTAnalyser::analyse() {
    // Oldest sample first: the ring's write position is where the oldest sample sits.
    const double* __restrict window = mWindow;
    const double* __restrict ring = mRing;
    double* __restrict fft = mFFTBuffer;
    const std::int32_t tail = mSize - mRingPosition;
    for (std::int32_t m = 0; m < tail; ++m)
        fft[m] = window[m] * ring[mRingPosition + m];
    for (std::int32_t m = tail; m < mSize; ++m)
        fft[m] = window[m] * ring[m - tail];
    realFFTForward(fft, fft, mPlan->spec, mPlan->workMemory);

    double* __restrict mag = mScratch;
    const std::int32_t last = mBins - 1;
    mag[0] = std::fabs(fft[0]);
    mag[last] = std::fabs(fft[1]);
    for (std::int32_t k = 1; k < last; ++k) {
        const double re = fft[2 * k];
        const double im = fft[2 * k + 1];
        mag[k] = std::sqrt(re * re + im * im);
    }
}

void CFFTAnalyser::accumulate(CAverage& average, std::int32_t type) noexcept {
    const double* __restrict m = mScratch;
    double* __restrict a = average.accumulator;
    const std::int32_t bins = mBins;
    switch (type) {
    case kMax:
        for (std::int32_t k = 0; k < bins; ++k)
            if (m[k] > a[k]) a[k] = m[k];
        break;
    case kAvg:
        for (std::int32_t k = 0; k < bins; ++k)
            a[k] += m[k];
        ++average.counter;
        break;
    case kRTMax: {
        const double alpha = mAlpha1;
        for (std::int32_t k = 0; k < bins; ++k)
            a[k] = a[k] < m[k] ? m[k] : a[k] + (m[k] - a[k]) * alpha;
        break;
    }
    case kRTSigma: {
        const double alpha = mAlpha2;
        double* __restrict q = average.mean;
        for (std::int32_t k = 0; k < bins; ++k)
            q[k] += (m[k] - q[k]) * alpha;
        for (std::int32_t k = 0; k < bins; ++k) {
            const double d = m[k] - q[k];
            a[k] = std::sqrt(std::fabs((d * d - a[k] * a[k]) * alpha + a[k] * a[k]));
        }
        break;
    }
    default: {
        const double alpha = mAlpha1;
        for (std::int32_t k = 0; k < bins; ++k)
            a[k] += (m[k] - a[k]) * alpha;
        break;
    }
    }
}

void CFFTAnalyser::emit(const CAverage& average, std::int32_t type, bool secondary) {
    if (mSink == nullptr)
        return;
    auto* frame = new CAudioVizDataSpectrum;
    if (mReservedCount > 0) {
        // Every reserved block may be out in frames the editor has not fetched yet: the oldest
        // of them makes room for this one. Without any, this frame is left out rather than
        // allocated on the audio thread.
        if (!frame->useReservedValues(mBins)) {
            const bool madeRoom = mSink->dropOldest(secondary);
            ++mDroppedFrames;   // the oldest frame, or else this one
            if (!madeRoom || !frame->useReservedValues(mBins)) {
                mDroppedFrames += madeRoom ? 1 : 0;   // another analyser took the freed block
                delete frame;
                return;
            }
        }
    } else {
        frame->values.resize(mBins);
    }
    frame->channel = mChannel;
    frame->group = mGroup;
    frame->position = 0;
    frame->time = mAnalysisTime - 0.5 * double(mSize) / mSampleRate;
    frame->sampleRate = mSampleRate;
    frame->fftSize = mSize;
    frame->averagingType = type;
    frame->averagingTime = (type == kMax || type == kAvg) ? mAnalysisTime - mResetTime : mAvgTime;
    frame->window = mWindowType;
    double* out = frame->values.data();
    if (average.counter >= 1) {
        const double scale = 1.0 / double(average.counter);
        for (std::int32_t k = 0; k < mBins; ++k)
            out[k] = average.accumulator[k] * scale;
    } else {
        std::memcpy(out, average.accumulator, std::size_t(mBins) * sizeof(double));
    }
    mSink->postSpectrum(frame, secondary);
}

} // namespace tal
