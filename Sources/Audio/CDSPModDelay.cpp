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
    int done = 0;
    while (done < n) {
        int readOffset = 0;
        const double* src = readAt(mTap.delay, readOffset);
        int m = std::min({n - done, mSegmentLength - mWriteOffset, mSegmentLength - readOffset, kMaxStep});
        const double* old = nullptr;
        if (mTap.crossfading) {
            int oldOffset = 0;
            old = readAt(mTap.previousDelay, oldOffset);
            m = std::min({m, mTap.remaining, mSegmentLength - oldOffset});
            old += oldOffset;
        }
        // Write first, so that a delay of 0 passes the input through (also in place).
        double* w = segment(mWriteSegment, false) + mWriteOffset;
        std::memmove(w, in + done, sizeof(double) * std::size_t(m));
        src += readOffset;
        double* o = out + done;
        if (old == nullptr) {
            std::memmove(o, src, sizeof(double) * std::size_t(m));
        } else {
            double h = mTap.h, ph = mTap.previousH;
            const double c = mTap.coefficient;
            for (int i = 0; i < m; ++i) {
                o[i] = (h + 0.5) * old[i] + (0.5 - h) * src[i];
                const double next = c * h - ph;
                ph = h;
                h = next;
            }
            mTap.h = h;
            mTap.previousH = ph;
        }
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
            advanceCrossfade(m);
        done += m;
    }
}

void CDSPModDelay::startCrossfade() noexcept {
    const double n = double(mCrossfadeLength);
    mTap.crossfading = true;
    mTap.remaining = mCrossfadeLength;
    mTap.h = 0.5;
    mTap.previousH = 0.5 * std::sin(std::numbers::pi / 2 - std::numbers::pi / n);
    mTap.coefficient = 2.0 * std::cos(std::numbers::pi / n);
}

void CDSPModDelay::advanceCrossfade(int m) noexcept {
    if (m < mTap.remaining) {
        mTap.remaining -= m;
        return;
    }
    if (mTap.pendingDelay < 0 && mTap.pendingGain < 0.0) {
        mTap.crossfading = false;
        fitToTaps();
        return;
    }
    mTap.previousDelay = mTap.delay;
    if (mTap.pendingDelay >= 0) {
        mTap.delay = mTap.pendingDelay;
        mTap.pendingDelay = -1;
    }
    mTap.previousGain = mTap.gain;
    if (mTap.pendingGain >= 0.0) {
        mTap.gain = mTap.pendingGain;
        mTap.pendingGain = -1.0;
    }
    startCrossfade();
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
                startCrossfade();
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
    if (mTap.crossfading) {
        mTap.crossfading = false;
        if (mTap.pendingDelay >= 0) {
            mTap.delay = mTap.pendingDelay;
            mTap.pendingDelay = -1;
        }
        if (mTap.pendingGain >= 0.0) {
            mTap.gain = mTap.pendingGain;
            mTap.pendingGain = -1.0;
        }
    }
    fitToTaps();
}

void CDSPModDelay::fitToTaps() noexcept {
    int a = mTap.delay;
    if (mTap.crossfading)
        a = std::max(a, mTap.previousDelay);
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
