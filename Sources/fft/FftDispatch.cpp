#include "fft/FftDispatch.h"

#include "fft/CCpuInfo.h"
#include "fft/FftKernels.h"
#include "fft/FftPlan.h"

#include <atomic>

namespace tal {

namespace {

using ForwardFn = std::int32_t (*)(const double*, double*, const RealFFTSpec*, std::uint8_t*);
using GetSizeFn = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t*, std::int32_t*,
                                   std::int32_t*);
using InitFn = std::int32_t (*)(RealFFTSpec**, std::int32_t, std::int32_t, std::int32_t, std::uint8_t*,
                                std::uint8_t*);

template <int Level>
std::int32_t getSizeAt(std::int32_t order, std::int32_t flag, std::int32_t hint, std::int32_t* specSize,
                       std::int32_t* initSize, std::int32_t* workSize) {
    return fft::fftGetSize(Level, order, flag, hint, specSize, initSize, workSize);
}

template <int Level>
std::int32_t initAt(RealFFTSpec** spec, std::int32_t order, std::int32_t flag, std::int32_t hint,
                    std::uint8_t* specMem, std::uint8_t* initBuf) {
    return fft::fftInit(Level, spec, order, flag, hint, specMem, initBuf);
}

// Entries 0 and 1 are the same baseline functions.
const ForwardFn kForward[5] = {&fft::level0::realFFTForward, &fft::level0::realFFTForward,
                               &fft::level2::realFFTForward, &fft::level3::realFFTForward,
                               &fft::level4::realFFTForward};
const GetSizeFn kGetSize[5] = {&getSizeAt<0>, &getSizeAt<0>, &getSizeAt<2>, &getSizeAt<3>, &getSizeAt<4>};
const InitFn kInit[5] = {&initAt<0>, &initAt<0>, &initAt<2>, &initAt<3>, &initAt<4>};

// Written once at start-up (or by a test between transforms); read without locks afterwards.
std::atomic<int> gLevel{0};
std::atomic<std::uint64_t> gEnabled{7};

struct CacheRecord {
    std::int32_t state = 36, size = 0;
};

// The processor's feature mask, detected on first use. selectFFTDispatchByCode replaces it with
// the feature set of the processor code it was given, so that a later selection follows that code.
// Two threads racing on the first detection store the same value.
std::atomic<bool> gMaskKnown{false};
std::atomic<std::uint64_t> gMask{0};

bool detectCPUFeatures(std::uint64_t& mask) {
    if (!gMaskKnown.load(std::memory_order_acquire)) {
        std::uint64_t detected = 0;
        if (!CCpuInfo().featureMask(detected)) return false;
        gMask.store(detected, std::memory_order_relaxed);
        gMaskKnown.store(true, std::memory_order_release);
    }
    mask = gMask.load(std::memory_order_relaxed);
    return true;
}

void setEnabledFeatures(std::uint64_t features) { gEnabled.store(features, std::memory_order_relaxed); }

// A processor code's row: the level it selects and the feature set it enables.
struct CodeRow {
    std::int32_t level;  // -1: level unchanged, status 36
    std::uint64_t enabled;
};

bool lookupProcessorCode(std::int32_t code, CodeRow& row) {
    switch (code) {
    case 0x00: case 0x20: case 0x42: row = {1, 0xF}; return true;
    case 0x21: case 0x22: case 0x24: case 0x43: row = {2, 0x1F}; return true;
    case 0x23: case 0x44: row = {3, 0x5F}; return true;
    case 0x25: case 0x45: row = {3, 0xDF}; return true;
    case 0x26: case 0x47: row = {3, 0xCDF}; return true;
    case 0x46: case 0x49: case 0x4A: row = {4, 0xFDF}; return true;
    case 0x40: case 0x41: case 0x60: row = {-1, 0}; return true;
    default:
        if (code >= 0x01 && code <= 0x0B) {
            row = {-1, 0};
            return true;
        }
        return false;
    }
}

}  // namespace

std::int32_t fftProcessorCodeAllowed(std::int32_t /*code*/) { return 1; }

std::int32_t fftProcessorCodeRefused(std::int32_t /*code*/) { return 0; }

std::int32_t initFFTCPUDispatch() {
    std::uint64_t mask = 0;
    const bool known = detectCPUFeatures(mask);
    const CCpuInfo cpu;
    const FftLevelChoice choice = chooseFFTLevelForMask(known ? &mask : nullptr, cpu.hasCpuid() && cpu.isGenuineIntel());
    gLevel.store(choice.level, std::memory_order_relaxed);
    setEnabledFeatures(choice.enabledFeatures);
    return choice.status;
}

std::int32_t selectFFTDispatchByCode(std::int32_t code) { return selectFFTDispatchByCodeOn(code, CCpuInfo()); }

std::int32_t selectFFTDispatchByCodeOn(std::int32_t code, const CCpuInfo& cpu) {
    if (code == -1) return initFFTCPUDispatch();
    CodeRow row{};
    if (!lookupProcessorCode(code, row)) return kFFTUnknownCode;
    // A code naming a level this processor cannot run is refused: its kernels would fault on the
    // first transform.
    if (row.level > chooseFFTLevel(cpu).level) return kFFTNotSupported;
    std::int32_t status = kFFTNoError;
    if (row.level < 0) {
        status = kFFTNotSupported;
    } else {
        gLevel.store(row.level, std::memory_order_relaxed);
        setEnabledFeatures(row.enabled);
    }
    gMask.store(getEnabledFeatures(), std::memory_order_relaxed);
    gMaskKnown.store(true, std::memory_order_release);
    return status;
}

void forgetCPUFeaturesForTesting() { gMaskKnown.store(false, std::memory_order_release); }

std::int32_t realFFTForward(const double* src, double* dst, const RealFFTSpec* spec, std::uint8_t* work) {
    return kForward[gLevel.load(std::memory_order_relaxed)](src, dst, spec, work);
}

std::int32_t realFFTGetSize(std::int32_t order, std::int32_t flag, std::int32_t hint, std::int32_t* specSize,
                            std::int32_t* initSize, std::int32_t* workSize) {
    return kGetSize[gLevel.load(std::memory_order_relaxed)](order, flag, hint, specSize, initSize, workSize);
}

std::int32_t realFFTInit(RealFFTSpec** spec, std::int32_t order, std::int32_t flag, std::int32_t hint,
                         std::uint8_t* specMem, std::uint8_t* initBuf) {
    return kInit[gLevel.load(std::memory_order_relaxed)](spec, order, flag, hint, specMem, initBuf);
}

std::int32_t fftDispatchLevel() { return gLevel.load(std::memory_order_relaxed); }

std::int32_t getCPUFeatures(std::uint64_t* mask) {
    if (!mask) return kFFTNullPointer;
    return detectCPUFeatures(*mask) ? kFFTNoError : kFFTNotSupported;
}

std::uint64_t getEnabledFeatures() { return gEnabled.load(std::memory_order_relaxed); }

std::int32_t testEnabledFeatures(std::uint64_t features) {
    return (getEnabledFeatures() & features) == features ? 1 : 0;
}

std::int32_t getLargestCacheSize(std::int32_t* size) {
    if (!size) return kFFTNullPointer;
    static const CacheRecord record = [] {
        CacheRecord r;
        r.state = CCpuInfo().largestCache(r.size);
        return r;
    }();
    *size = record.size;
    return record.state;
}

int fftNativeLevel() { return chooseFFTLevel(CCpuInfo()).level; }

bool setFFTDispatchLevelForTesting(int level) {
    if (level < 0 || level > fftNativeLevel()) return false;
    gLevel.store(level, std::memory_order_relaxed);
    return true;
}

}  // namespace tal
