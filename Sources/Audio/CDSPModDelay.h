#pragma once
#include "Core/CArray.h"

#include <cstdint>

namespace tal {

class CAudioBlockPool;

// A delay line whose memory is a ring of pooled audio blocks and whose delay may change while
// audio runs: a change of delay is crossfaded along a raised cosine instead of jumping. The
// process base uses one per input channel that arrives earlier than the process's input latency.
//
// Ring segments come lazily from the block pool (not owned: the pool outlives every line) and go
// back to it on clear, on resize and on destruction. Threads: the audio thread of its process only
// (or a reset while no block runs). Memory comes from the pool and the size-class allocator only.
class CDSPModDelay {
public:
    static constexpr int kMaxStep = 256;   // samples per copy step; the ring keeps this much spare

    // crossfadeLength below 1 counts as 1 (so the raised cosine stays finite at any rate).
    CDSPModDelay(CAudioBlockPool* pool, int segmentLength, int crossfadeLength, int minCapacity, bool primeWithFirst);
    CDSPModDelay(const CDSPModDelay&) = delete;
    CDSPModDelay& operator=(const CDSPModDelay&) = delete;
    ~CDSPModDelay();   // releases the ring segments to the pool

    // --- audio thread ---
    // Delays n samples of in into out; in and out may be the same buffer. The first block after
    // creation or clear primes the line (see primeWith).
    void process(const double* in, double* out, int n) noexcept;
    // Takes the fill value from the first input sample when the line needs priming and priming with
    // the first sample is on; then the line counts as running.
    void primeWith(const double* in, int n) noexcept;
    // Sets the delay (negative counts as 0): at once on a line that has not run yet, else with a
    // crossfade; during a crossfade the request waits (a later one replaces it).
    void setDelay(int delay) noexcept;
    // Forgets the signal: releases every segment; reads give the fill value until written again.
    // A running crossfade ends at once, a waiting delay is taken.
    void clear() noexcept;
    // Resizes the ring for the largest delay in use.
    void fitToTaps() noexcept;
    // Resizes the ring to hold a delay of at least `delay` samples; reads of delays up to the
    // smaller of the old and new capacity return the same samples as before.
    void resize(int delay) noexcept;

    // --- queries ---
    int delay() const noexcept { return mTap.delay; }
    int pendingDelay() const noexcept { return mTap.pendingDelay; }
    bool isCrossfading() const noexcept { return mTap.crossfading; }
    bool needsPriming() const noexcept { return mNeedsPriming; }
    int crossfadeLength() const noexcept { return mCrossfadeLength; }
    int segmentCount() const noexcept { return mRing.count(); }
    double fillValue() const noexcept { return mFillValue; }

private:
    struct CTap {
        int delay = 0;
        int previousDelay = 0;
        int pendingDelay = -1;
        double gain = 0.5;
        double previousGain = 0.0;
        double pendingGain = -1.0;
        bool crossfading = false;
        double h = 0.0;
        double previousH = 0.0;
        double coefficient = 0.0;
        int remaining = 0;
    };

    void startCrossfade() noexcept;
    void advanceCrossfade(int m) noexcept;
    // The segment and offset of the read position of delay d; a missing segment is made and filled.
    double* readAt(int d, int& offset) noexcept;
    double* segment(int index, bool fill) noexcept;
    void releaseSegments() noexcept;

    CAudioBlockPool* mPool = nullptr;   // not owned
    int mSegmentLength = 1024;
    int mCrossfadeLength = 1;
    double mFillValue = 0.0;
    bool mPrimeWithFirst = false;
    int mMinCapacity = 0;
    bool mNeedsPriming = true;
    CArray<double*> mRing;              // null or a block of mSegmentLength samples each
    int mRingLength = 0;
    int mWriteSegment = 0;
    int mWriteOffset = 0;
    int mWritePosition = 0;             // ring length + write segment * segment length + write offset
    CTap mTap;                          // the output tap
};

} // namespace tal
