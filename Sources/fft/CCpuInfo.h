#pragma once

#include <cstdint>

namespace tal {

// Processor identification for the FFT's instruction-set levels: CPUID and XGETBV behind virtual
// calls, so that tests can describe any processor. Every query is computed afresh; callers cache.
class CCpuInfo {
public:
    CCpuInfo() = default;
    virtual ~CCpuInfo() = default;

    // --- raw queries (overridden by test processors) ---
    virtual bool hasCpuid() const;
    // Runs CPUID for leaf and sub-leaf; regs receives EAX, EBX, ECX, EDX.
    virtual void cpuid(std::uint32_t leaf, std::uint32_t subLeaf, std::uint32_t regs[4]) const;
    // XCR0 (only asked when the processor reports OSXSAVE).
    virtual std::uint64_t xgetbv0() const;

    // --- derived queries ---
    std::uint32_t maxLeaf() const;
    bool isGenuineIntel() const;
    // AVX and OSXSAVE reported, and the operating system saves the SSE and AVX register state.
    bool osSupportsAVX() const;
    // The 16-bit feature mask (MMX 0x1 ... FMA with AVX2, BMI1, BMI2 0x8000); false without CPUID.
    bool featureMask(std::uint64_t& mask) const;
    // Size of the largest listed cache among the leaf-2 descriptors, or -1 when none matches.
    std::int32_t lookupCacheDescriptor() const;
    // Largest data or unified cache: state 0 with the size, 36 (not supported: no CPUID, leaf 2
    // missing or not GenuineIntel) or 37 (not determinable) with size 0.
    std::int32_t largestCache(std::int32_t& size) const;
};

// The level the FFT runs at on a processor, the feature subset it relies on, and the selection
// status (0; 36 without SSE3 or without CPUID; 20 when the vendor is not GenuineIntel).
struct FftLevelChoice {
    int level = 0;
    std::uint64_t enabledFeatures = 7;
    std::int32_t status = 0;
};
FftLevelChoice chooseFFTLevel(const CCpuInfo& cpu);
// The same choice from a feature mask (null: no mask available) and the vendor test.
FftLevelChoice chooseFFTLevelForMask(const std::uint64_t* features, bool genuineIntel);

}  // namespace tal
