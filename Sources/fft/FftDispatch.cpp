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

}  // namespace

std::int32_t initFFTCPUDispatch() {
    const FftLevelChoice choice = chooseFFTLevel(CCpuInfo());
    gLevel.store(choice.level, std::memory_order_relaxed);
    gEnabled.store(choice.enabledFeatures, std::memory_order_relaxed);
    return choice.status;
}

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
    static const struct Detected {
        bool known = false;
        std::uint64_t mask = 0;
        Detected() { known = CCpuInfo().featureMask(mask); }
    } detected;
    if (!detected.known) return kFFTNotSupported;
    *mask = detected.mask;
    return kFFTNoError;
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
