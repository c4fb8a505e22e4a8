#include "fft/CCpuInfo.h"

#include "fft/FftDispatch.h"

#include <cpuid.h>

namespace tal {

namespace {

// CPUID leaf-2 descriptors of second- and third-level caches of 128 KiB and more, largest first.
struct CacheDescriptor {
    std::uint8_t descriptor;
    std::int32_t bytes;
};
constexpr std::int32_t kKiB = 1024, kMiB = 1024 * 1024;
const CacheDescriptor kCacheDescriptorTable[] = {
    {0xEC, 24 * kMiB}, {0xEB, 18 * kMiB}, {0x4D, 16 * kMiB}, {0xEA, 12 * kMiB}, {0x4C, 12 * kMiB},
    {0xE4, 8 * kMiB},  {0xDE, 8 * kMiB},  {0x4B, 8 * kMiB},  {0x47, 8 * kMiB},  {0x4E, 6 * kMiB},
    {0x4A, 6 * kMiB},  {0xE3, 4 * kMiB},  {0xDD, 4 * kMiB},  {0xD8, 4 * kMiB},  {0x49, 4 * kMiB},
    {0x29, 4 * kMiB},  {0x46, 4 * kMiB},  {0x48, 3 * kMiB},  {0xE2, 2 * kMiB},  {0xDC, 2 * kMiB},
    {0xD7, 2 * kMiB},  {0xD2, 2 * kMiB},  {0x25, 2 * kMiB},  {0x7D, 2 * kMiB},  {0x85, 2 * kMiB},
    {0x45, 2 * kMiB},  {0xD6, 1 * kMiB},  {0xD1, 1 * kMiB},  {0x23, 1 * kMiB},  {0x87, 1 * kMiB},
    {0x7C, 1 * kMiB},  {0x78, 1 * kMiB},  {0x84, 1 * kMiB},  {0x44, 1 * kMiB},  {0xD0, 512 * kKiB},
    {0x22, 512 * kKiB}, {0x7B, 512 * kKiB}, {0x80, 512 * kKiB}, {0x86, 512 * kKiB}, {0x3E, 512 * kKiB},
    {0x7F, 512 * kKiB}, {0x83, 512 * kKiB}, {0x43, 512 * kKiB}, {0x3D, 384 * kKiB}, {0x21, 256 * kKiB},
    {0x7A, 256 * kKiB}, {0x82, 256 * kKiB}, {0x3C, 256 * kKiB}, {0x3F, 256 * kKiB}, {0x42, 256 * kKiB},
    {0x3A, 192 * kKiB}, {0x79, 128 * kKiB}, {0x39, 128 * kKiB}, {0x3B, 128 * kKiB}, {0x41, 128 * kKiB},
    {0, 0},
};

constexpr std::uint32_t bit(int n) { return std::uint32_t{1} << n; }

}  // namespace

bool CCpuInfo::hasCpuid() const { return true; }

void CCpuInfo::cpuid(std::uint32_t leaf, std::uint32_t subLeaf, std::uint32_t regs[4]) const {
    __cpuid_count(leaf, subLeaf, regs[0], regs[1], regs[2], regs[3]);
}

std::uint64_t CCpuInfo::xgetbv0() const {
    std::uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (std::uint64_t{hi} << 32) | lo;
}

std::uint32_t CCpuInfo::maxLeaf() const {
    std::uint32_t r[4];
    cpuid(0, 0, r);
    return r[0];
}

bool CCpuInfo::isGenuineIntel() const {
    std::uint32_t r[4];
    cpuid(0, 0, r);
    return r[1] == 0x756E6547 && r[3] == 0x49656E69 && r[2] == 0x6C65746E;
}

bool CCpuInfo::osSupportsAVX() const {
    std::uint32_t r[4];
    cpuid(1, 0, r);
    if ((r[2] & (bit(27) | bit(28))) != (bit(27) | bit(28))) return false;
    return (xgetbv0() & 6) == 6;
}

bool CCpuInfo::featureMask(std::uint64_t& mask) const {
    if (!hasCpuid()) return false;
    std::uint32_t r[4];
    cpuid(1, 0, r);
    const std::uint32_t eax = r[0], ecx = r[2], edx = r[3];
    std::uint64_t m = 0;
    if (edx & bit(23)) m |= 0x1;
    if (edx & bit(25)) m |= 0x2;
    if (edx & bit(26)) m |= 0x4;
    if (ecx & bit(0)) m |= 0x8;
    if (ecx & bit(9)) m |= 0x10;
    if (ecx & bit(22)) m |= 0x20;
    if (ecx & bit(19)) m |= 0x40;
    if (ecx & bit(20)) m |= 0x80;
    if (ecx & bit(28)) m |= 0x100;
    if ((ecx & bit(27)) && (ecx & bit(28)) && osSupportsAVX()) m |= 0x200;
    if (ecx & bit(25)) m |= 0x400;
    if (ecx & bit(1)) m |= 0x800;
    if (((eax >> 8) & 0xF) == 0xB) {
        std::uint32_t e[4];
        cpuid(0x20000001, 0, e);
        if (e[3] & bit(1)) m |= 0x1000;
    }
    if (ecx & bit(30)) m |= 0x2000;
    if (ecx & bit(29)) m |= 0x4000;
    std::uint32_t l7[4];
    cpuid(7, 0, l7);
    const std::uint32_t need7 = bit(5) | bit(3) | bit(8);
    if ((ecx & bit(12)) && (l7[1] & need7) == need7) m |= 0x8000;
    mask = m;
    return true;
}

std::int32_t CCpuInfo::lookupCacheDescriptor() const {
    std::uint32_t r[4];
    cpuid(2, 0, r);
    if ((r[0] & 0xFF) != 1) return -1;
    std::uint8_t bytes[16];
    int count = 0;
    for (int reg = 0; reg < 4; ++reg) {
        if (r[reg] & bit(31)) continue;
        for (int b = (reg == 0 ? 1 : 0); b < 4; ++b) bytes[count++] = static_cast<std::uint8_t>(r[reg] >> (8 * b));
    }
    for (const CacheDescriptor* row = kCacheDescriptorTable; row->descriptor != 0; ++row)
        for (int i = 0; i < count; ++i)
            if (bytes[i] == row->descriptor) return row->bytes;
    return -1;
}

std::int32_t CCpuInfo::largestCache(std::int32_t& size) const {
    size = 0;
    if (!hasCpuid()) return 36;
    const std::uint32_t top = maxLeaf();
    if (top < 2 || !isGenuineIntel()) return 36;
    if (top >= 4) {
        std::int64_t largest = 0;
        for (std::uint32_t sub = 0; sub < 32; ++sub) {
            std::uint32_t r[4];
            cpuid(4, sub, r);
            const std::uint32_t type = r[0] & 0x1F;
            if (type == 0) break;
            if (type == 2) continue;
            const std::int64_t ways = ((r[1] >> 22) & 0x3FF) + 1;
            const std::int64_t partitions = ((r[1] >> 12) & 0x3FF) + 1;
            const std::int64_t line = (r[1] & 0xFFF) + 1;
            const std::int64_t sets = std::int64_t{r[2]} + 1;
            const std::int64_t bytes = ways * partitions * line * sets;
            if (bytes > largest) largest = bytes;
        }
        if (largest <= 0 || largest > 0x7FFFFFFF) return 37;
        size = static_cast<std::int32_t>(largest);
        return 0;
    }
    const std::int32_t bytes = lookupCacheDescriptor();
    if (bytes < 0) return 37;
    size = bytes;
    return 0;
}

FftLevelChoice chooseFFTLevel(const CCpuInfo& cpu) {
    std::uint64_t mask = 0;
    const bool known = cpu.featureMask(mask);
    return chooseFFTLevelForMask(known ? &mask : nullptr, cpu.hasCpuid() && cpu.isGenuineIntel());
}

FftLevelChoice chooseFFTLevelForMask(const std::uint64_t* features, bool genuineIntel) {
    FftLevelChoice c;
    const std::uint64_t mask = features ? *features : 0;
    if (!features) {
        c.status = 36;
    } else if ((mask & 0x100) && (mask & 0x200) && fftProcessorCodeAllowed(0x46)) {
        c.level = 4;
        c.enabledFeatures = mask & 0x6FDF;
    } else if (mask & 0x40) {
        c.level = 3;
        c.enabledFeatures = mask & 0xCDF;
    } else if (mask & 0x10) {
        c.level = 2;
        c.enabledFeatures = mask & 0x1F;
    } else if (mask & 0x8) {
        c.level = 1;
        c.enabledFeatures = mask & 0xF;
    } else {
        c.enabledFeatures = mask & 7;
        c.status = 36;
    }
    if (!genuineIntel) c.status = 20;
    return c;
}

}  // namespace tal
