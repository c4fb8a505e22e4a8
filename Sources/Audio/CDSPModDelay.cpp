#include "Audio/CDSPModDelay.h"

#include "Audio/CAudioBlockPool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace tal {

CDSPModDelay::CDSPModDelay(CAudioBlockPool* pool, int segmentLength, int crossfadeLength, int minCapacity,
                           bool primeWithFirst)
    : mPool(pool), mSegmentLength(std::max(segmentLength, kMaxStep)), mCrossfadeLength(std::max(crossfadeLength, 1)),
      mPrimeWithFirst(primeWithFirst), mMinCapacity(std::max(minCapacity, 0)) {}

CDSPModDelay::~CDSPModDelay() { releaseSegments(); }

void CDSPModDelay::releaseSegments() noexcept {
    for (int i = 0; i < mRing.count(); ++i) {
        if (mRing[i] != nullptr)
            CAudioBlockPool::releaseBlock(mRing[i]);
        mRing[i] = nullptr;
    }
}

double* CDSPModDelay::segment(int index, bool fill) noexcept {
    double*& s = mRing[index];
    if (s == nullptr) {
        s = mPool->allocBlock(mSegmentLength * int(sizeof(double)));
        if (fill)
            std::fill(s, s + mSegmentLength, mFillValue);
    }
    return s;
}

double* CDSPModDelay::readAt(int d, int& offset) noexcept {
    const int p = mWritePosition - d;
    offset = p % mSegmentLength;
    return segment((p / mSegmentLength) % mRing.count(), true);
}

void CDSPModDelay::primeWith(const double* in, int n) noexcept {
    if (!mNeedsPriming)
        return;
    if (mPrimeWithFirst && n > 0)
        mFillValue = in[0];
    mNeedsPriming = false;
}

void CDSPModDelay::process(const double* in, double* out, int n) noexcept {
    primeWith(in, n);
    if (mRing.isEmpty())
        fitToTaps();
    (this->*mRoutine)(in, out, n);
}

void CDSPModDelay::mulAdd(const double* a, const double* b, double* out, int n, double g) noexcept {
    for (int i = 0; i < n; ++i)
        out[i] = a[i] + b[i] * g;
}

void CDSPModDelay::addInto(const double* src, double* dst, int n) noexcept {
    for (int i = 0; i < n; ++i)
        dst[i] += src[i];
}

namespace {

// Mixes the raised-cosine crossfade of a tap: out[i] = (h + 0.5) * oldGain * old[i] +
// (0.5 - h) * gain * cur[i], h running on; returns the state after m samples in h and ph.
void crossfadeMix(const double* old, const double* cur, double* out, int m, double oldGain, double gain,
                  double& h, double& ph, double c) noexcept {
    for (int i = 0; i < m; ++i) {
        out[i] = (h + 0.5) * oldGain * old[i] + (0.5 - h) * gain * cur[i];
        const double next = c * h - ph;
        ph = h;
        h = next;
    }
}

} // namespace

template <bool Crossfade, bool Feedback>
void CDSPModDelay::run(const double* in, double* out, int n) noexcept {
    int done = 0;
    while (done < n) {
        int readOffset = 0;
        const double* src = readAt(mTap.delay, readOffset);
        int m = std::min({n - done, mSegmentLength - mWriteOffset, mSegmentLength - readOffset, kMaxStep});
        const double* old = nullptr;
        if (Crossfade && mTap.crossfading) {
            int oldOffset = 0;
            old = readAt(mTap.previousDelay, oldOffset);
            m = std::min({m, mTap.remaining, mSegmentLength - oldOffset});
            old += oldOffset;
        }
        const double* fed = nullptr;
        const double* fedOld = nullptr;
        if constexpr (Feedback) {
            // A step never reaches past the feedback delay, so what it feeds back is already written.
            int fedOffset = 0;
            fed = readAt(mFeedbackTap.delay, fedOffset);
            m = std::min({m, mSegmentLength - fedOffset, mFeedbackTap.delay});
            fed += fedOffset;
            if (Crossfade && mFeedbackTap.crossfading) {
                int oldOffset = 0;
                fedOld = readAt(mFeedbackTap.previousDelay, oldOffset);
                m = std::min({m, mFeedbackTap.remaining, mSegmentLength - oldOffset, mFeedbackTap.previousDelay});
                fedOld += oldOffset;
            }
        }
        // Write first, so that a delay of 0 passes the input through (also in place).
        double* w = segment(mWriteSegment, false) + mWriteOffset;
        if (Feedback && fedOld != nullptr) {
            double mix[kMaxStep];
            crossfadeMix(fedOld, fed, mix, m, mFeedbackTap.previousGain, mFeedbackTap.gain, mFeedbackTap.h,
                         mFeedbackTap.previousH, mFeedbackTap.coefficient);
            std::memmove(w, in + done, sizeof(double) * std::size_t(m));
            addInto(mix, w, m);
        } else if (Feedback) {
            mulAdd(in + done, fed, w, m, mFeedbackTap.gain);
        } else {
            std::memmove(w, in + done, sizeof(double) * std::size_t(m));
        }
        src += readOffset;
        double* o = out + done;
        if (old == nullptr)
            std::memmove(o, src, sizeof(double) * std::size_t(m));
        else
            crossfadeMix(old, src, o, m, 1.0, 1.0, mTap.h, mTap.previousH, mTap.coefficient);
        mWritePosition += m;
        mWriteOffset += m;
        if (mWriteOffset == mSegmentLength) {
            mWriteOffset = 0;
            if (++mWriteSegment == mRing.count()) {
                mWriteSegment = 0;
                mWritePosition = mRingLength;
            }
        }
        if (old != nullptr)
            advanceCrossfade(mTap, m);
        if (fedOld != nullptr)
            advanceCrossfade(mFeedbackTap, m);
        done += m;
    }
}

void CDSPModDelay::selectRoutine() noexcept {
    if (!mFeedback)
        mRoutine = mTap.crossfading ? &CDSPModDelay::run<true, false> : &CDSPModDelay::run<false, false>;
    else
        mRoutine = mTap.crossfading || mFeedbackTap.crossfading ? &CDSPModDelay::run<true, true>
                                                                : &CDSPModDelay::run<false, true>;
}

void CDSPModDelay::startCrossfade(CTap& tap) noexcept {
    const double n = double(mCrossfadeLength);
    tap.crossfading = true;
    tap.remaining = mCrossfadeLength;
    tap.h = 0.5;
    tap.previousH = 0.5 * std::sin(std::numbers::pi / 2 - std::numbers::pi / n);
    tap.coefficient = 2.0 * std::cos(std::numbers::pi / n);
    selectRoutine();
}

void CDSPModDelay::advanceCrossfade(CTap& tap, int m) noexcept {
    if (m < tap.remaining) {
        tap.remaining -= m;
        return;
    }
    if (tap.pendingDelay < 0 && tap.pendingGain < 0.0) {
        tap.crossfading = false;
        selectRoutine();
        fitToTaps();
        return;
    }
    tap.previousDelay = tap.delay;
    if (tap.pendingDelay >= 0) {
        tap.delay = tap.pendingDelay;
        tap.pendingDelay = -1;
    }
    tap.previousGain = tap.gain;
    if (tap.pendingGain >= 0.0) {
        tap.gain = tap.pendingGain;
        tap.pendingGain = -1.0;
    }
    startCrossfade(tap);
    fitToTaps();
}

void CDSPModDelay::finishCrossfade(CTap& tap) noexcept {
    if (!tap.crossfading)
        return;
    tap.crossfading = false;
    if (tap.pendingDelay >= 0) {
        tap.delay = tap.pendingDelay;
        tap.pendingDelay = -1;
    }
    if (tap.pendingGain >= 0.0) {
        tap.gain = tap.pendingGain;
        tap.pendingGain = -1.0;
    }
}

void CDSPModDelay::enableFeedback(bool enabled) noexcept {
    if (enabled == mFeedback)
        return;
    mFeedback = enabled;
    if (!enabled)
        finishCrossfade(mFeedbackTap);
    selectRoutine();
    fitToTaps();
}

void CDSPModDelay::setFeedback(int delay, double gain) noexcept {
    delay = std::max(delay, 1);
    gain = std::max(gain, 0.0);
    CTap& tap = mFeedbackTap;
    if (tap.crossfading) {
        tap.pendingDelay = delay == tap.delay ? -1 : delay;
        tap.pendingGain = gain == tap.gain ? -1.0 : gain;
        return;
    }
    if (delay == tap.delay && gain == tap.gain)
        return;
    if (mNeedsPriming || !mFeedback) {
        tap.delay = delay;
        tap.gain = gain;
    } else {
        tap.previousDelay = tap.delay;
        tap.delay = delay;
        tap.pendingDelay = -1;
        tap.previousGain = tap.gain;
        tap.gain = gain;
        tap.pendingGain = -1.0;
        startCrossfade(tap);
    }
    fitToTaps();
}

void CDSPModDelay::setDelay(int d) noexcept {
    d = std::max(d, 0);
    if (!mTap.crossfading) {
        if (d != mTap.delay || mTap.gain != 0.5) {
            if (mNeedsPriming) {
                mTap.delay = d;
                mTap.gain = 0.5;
            } else {
                mTap.previousDelay = mTap.delay;
                mTap.delay = d;
                mTap.pendingDelay = -1;
                mTap.previousGain = mTap.gain;
                mTap.gain = 0.5;
                mTap.pendingGain = -1.0;
                startCrossfade(mTap);
            }
        }
        fitToTaps();
        return;
    }
    mTap.pendingDelay = d == mTap.delay ? -1 : d;
    mTap.pendingGain = mTap.gain == 0.5 ? -1.0 : 0.5;
}

void CDSPModDelay::clear() noexcept {
    releaseSegments();
    mWriteSegment = 0;
    mWriteOffset = 0;
    mWritePosition = mRingLength;
    mNeedsPriming = true;
    finishCrossfade(mTap);
    if (mFeedback)
        finishCrossfade(mFeedbackTap);
    selectRoutine();
    fitToTaps();
}

void CDSPModDelay::fitToTaps() noexcept {
    int a = mTap.delay;
    if (mTap.crossfading)
        a = std::max(a, mTap.previousDelay);
    if (mFeedback) {
        a = std::max(a, mFeedbackTap.delay);
        if (mFeedbackTap.crossfading)
            a = std::max(a, mFeedbackTap.previousDelay);
    }
    resize(a);
}

void CDSPModDelay::resize(int a) noexcept {
    a = std::max({a, mMinCapacity, 0});
    const int n = int((std::int64_t(a) + mSegmentLength + kMaxStep - 1) / mSegmentLength);
    const int count = mRing.count();
    if (n == count)
        return;
    CArray<double*> ring;
    ring.setCount(n);   // null entries
    if (count > 0) {
        // The write segment becomes entry 0; the segments before it keep their distance to it.
        for (int j = 0; j < count; ++j) {
            double* s = mRing[(mWriteSegment - j + count) % count];
            if (j < n)
                ring[(n - j) % n] = s;
            else if (s != nullptr)
                CAudioBlockPool::releaseBlock(s);
        }
    }
    mRing = std::move(ring);
    mRingLength = n * mSegmentLength;
    mWriteSegment = 0;
    mWritePosition = mRingLength + mWriteOffset;
}

} // namespace tal
