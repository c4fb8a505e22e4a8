#include "Audio/Filters/BiquadCascade.h"

#include "Audio/Filters/BiquadCascadeKernels.h"
#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/CDCDAWRoutine.h"
#include "fft/CCpuInfo.h"

#include <emmintrin.h>

#include <atomic>
#include <cstdint>

namespace tal {

namespace {

// Frames interleaved per pass of the kernels (the buffer lives on the stack).
constexpr int kChunk = 512;

int nativeLevel() {
    static const int level = biquadCascadeLevelFor(CCpuInfo());
    return level;
}

std::atomic<int>& forcedLevel() {
    static std::atomic<int> level{-1};
    return level;
}

// Two channels into frames (first channel, second channel), two frames per step.
void interleave(const double* a, const double* b, double* buf, int n) {
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        const __m128d x = _mm_loadu_pd(a + k), y = _mm_loadu_pd(b + k);
        _mm_storeu_pd(buf + 2 * k, _mm_unpacklo_pd(x, y));
        _mm_storeu_pd(buf + 2 * k + 2, _mm_unpackhi_pd(x, y));
    }
    for (; k < n; ++k) {
        buf[2 * k] = a[k];
        buf[2 * k + 1] = b[k];
    }
}

void deinterleave(const double* buf, double* a, double* b, int n) {
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        const __m128d f0 = _mm_loadu_pd(buf + 2 * k), f1 = _mm_loadu_pd(buf + 2 * k + 2);
        _mm_storeu_pd(a + k, _mm_unpacklo_pd(f0, f1));
        _mm_storeu_pd(b + k, _mm_unpackhi_pd(f0, f1));
    }
    for (; k < n; ++k) {
        a[k] = buf[2 * k];
        b[k] = buf[2 * k + 1];
    }
}

} // namespace

bool biquadShapeOf(const CDCDAWRoutine& routine, BiquadShape& shape) noexcept {
    struct Entry {
        void (*routine)(CDCDAWCall&) noexcept;
        BiquadShape shape;
    };
    static constexpr Entry kEntries[] = {
        {DCDAW_fltbiqcommon, BiquadShape::Common}, {DCDAW_fltbiqlp, BiquadShape::LowPass},
        {DCDAW_fltbiqhp, BiquadShape::HighPass},   {DCDAW_fltbiqbp, BiquadShape::BandPass},
        {DCDAW_fltbiqnotch, BiquadShape::Notch},
    };
    for (const Entry& e : kEntries) {
        if (routine.routine == e.routine) {
            shape = e.shape;
            return true;
        }
    }
    return false;
}

void runBiquadCascadePair(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                          int count, const double* in0, const double* in1, double* out0, double* out1, int n) noexcept {
    if (n <= 0)
        return;
    if (count <= 0) {
        for (int k = 0; k < n; ++k) {
            out0[k] = in0[k];
            out1[k] = in1[k];
        }
        return;
    }
    const int level = biquadCascadeLevel();
    auto* kernel = level >= 2 ? runBiquadStatesAvx512 : level == 1 ? runBiquadStatesAvx : runBiquadStatesSse2;
    alignas(32) double buf[2 * kChunk];
    for (int k0 = 0; k0 < n; k0 += kChunk) {
        const int len = n - k0 < kChunk ? n - k0 : kChunk;
        interleave(in0 + k0, in1 + k0, buf, len);
        kernel(states0, states1, shapes, count, buf, len);
        deinterleave(buf, out0 + k0, out1 + k0, len);
    }
}

int biquadCascadeLevelFor(const CCpuInfo& cpu) {
    if (!cpu.hasCpuid() || !cpu.osSupportsAVX())
        return 0;
    // AVX-512 F and VL reported (leaf 7, EBX bits 16 and 31), and the operating system saves the
    // opmask and upper register state (XCR0 bits 5 to 7).
    if (cpu.maxLeaf() < 7)
        return 1;
    std::uint32_t r[4];
    cpu.cpuid(7, 0, r);
    const std::uint32_t need = (1u << 16) | (1u << 31);
    return (r[1] & need) == need && (cpu.xgetbv0() & 0xE0) == 0xE0 ? 2 : 1;
}

int biquadCascadeLevel() noexcept {
    const int forced = forcedLevel().load(std::memory_order_relaxed);
    return forced >= 0 ? forced : nativeLevel();
}

bool setBiquadCascadeLevelForTesting(int level) {
    if (level < 0 || level > nativeLevel())
        return false;
    forcedLevel().store(level, std::memory_order_relaxed);
    return true;
}

} // namespace tal
