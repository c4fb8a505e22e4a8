#pragma once
#include <cstdint>

namespace tal {

// The analysis windows of the spectrum analyser, shared with the editor's spectrum display.
enum : std::int32_t { kWindowHann = 0, kWindowBlackman = 1, kWindowHiRes = 2, kWindowDome = 3 };

// Fills count periodic window coefficients (nothing for count <= 0), scaled so that a sine of
// amplitude A centred on a bin reads A / sqrt(2) after an unscaled forward FFT. An unknown type
// gives the Hann window.
void buildSpectrumWindow(std::int32_t type, double* out, std::int32_t count);

} // namespace tal
