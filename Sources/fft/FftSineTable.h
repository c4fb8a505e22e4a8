#pragma once

namespace tal::fft {

// Quarter-wave sine source of order 10: kSineTable1024[j] = sin(2 pi j / 1024), j = 0..256.
// Every plan of order 10 or less takes its trigonometric values from it.
extern const double kSineTable1024[257];

}  // namespace tal::fft
