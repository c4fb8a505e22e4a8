#pragma once
#include "Core/CArray.h"

#include <cstdint>

namespace tal {

class CAudioBlockPool;

// A delay line whose memory is a ring of pooled audio blocks and whose delay may change while
// audio runs: a change of delay is crossfaded along a raised cosine instead of jumping. The
// process base uses one per input channel that arrives earlier than the process's input latency.
//
// A second tap can feed the delayed signal back into the ring (off unless enabled): the ring then
// receives input + gain x (the ring at the feedback delay), and a change of the feedback tap is
// crossfaded like one of the output tap.
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
    // Resizes the ring for the largest delay in use (the feedback tap's too while feedback is on).
    void fitToTaps() noexcept;
    // Turns the feedback tap on or off (off: a running feedback crossfade stops being heard).
    void enableFeedback(bool enabled) noexcept;
    // Sets the feedback tap: delay (below 1 counts as 1: the fed-back sample must already be in the
    // ring) and gain (below 0 counts as 0). At once on a line that has not run yet or while feedback
    // is off, else with a crossfade; during a crossfade the request waits (a later one replaces it).
    void setFeedback(int delay, double gain) noexcept;
    // out[i] = a[i] + b[i] * g and dst[i] += src[i], for i < n.
    static void mulAdd(const double* a, const double* b, double* out, int n, double g) noexcept;
    static void addInto(const double* src, double* dst, int n) noexcept;
    // Resizes the ring to hold a delay of at least `delay` samples; reads of delays up to the
    // smaller of the old and new capacity return the same samples as before.
    void resize(int delay) noexcept;

    // --- queries ---
    int delay() const noexcept { return mTap.delay; }
    int pendingDelay() const noexcept { return mTap.pendingDelay; }
    bool isCrossfading() const noexcept { return mTap.crossfading; }
    bool isFeedbackEnabled() const noexcept { return mFeedback; }
    int feedbackDelay() const noexcept { return mFeedbackTap.delay; }
    double feedbackGain() const noexcept { return mFeedbackTap.gain; }
    bool isFeedbackCrossfading() const noexcept { return mFeedbackTap.crossfading; }
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

    using Routine = void (CDSPModDelay::*)(const double*, double*, int) noexcept;

    // The four routines: plain, output tap crossfading, feedback, feedback with either tap
    // crossfading. One code; the flags decide what each step does.
    template <bool Crossfade, bool Feedback>
    void run(const double* in, double* out, int n) noexcept;
    void selectRoutine() noexcept;
    void startCrossfade(CTap& tap) noexcept;
    void advanceCrossfade(CTap& tap, int m) noexcept;
    // Ends a running crossfade at once, taking what waits.
    static void finishCrossfade(CTap& tap) noexcept;
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
    bool mFeedback = false;
    Routine mRoutine = &CDSPModDelay::run<false, false>;
    CTap mTap;                          // the output tap
    CTap mFeedbackTap{1, 1, -1, 0.0};   // the feedback tap
};

} // namespace tal
