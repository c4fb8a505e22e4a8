#pragma once
#include <cstdint>

namespace tal {

struct CDenormNoiseGen;

// The conversions between one host channel buffer (32-bit float or 64-bit) and the graph's 64-bit
// blocks, for the wrapper's block loop. Audio thread; no allocation.

// Fills out[0 .. length) from host samples source[offset ..]: 32-bit samples widened, 64-bit
// copied; with noise, the generator's anti-denormal noise (below 2^-42) added to every sample.
// A null source gives the noise alone, or zeros without noise.
void readHostChannel(const void* source, bool is64, std::int32_t offset, std::int32_t length, CDenormNoiseGen* noise,
                     double* out) noexcept;

// Writes in[0 .. count) to host samples target[offset ..]: 64-bit copied, 32-bit rounded to the
// nearest float. A null target is skipped.
void writeHostChannel(const double* in, void* target, bool is64, std::int32_t offset, std::int32_t count) noexcept;

// Zeroes host samples target[from .. to); a null target is skipped.
void clearHostChannel(void* target, bool is64, std::int32_t from, std::int32_t to) noexcept;

} // namespace tal
