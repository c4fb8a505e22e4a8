#include "Audio/Filters/CAudioFilterStage.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace tal {

int CAudioFilterStage::copyCoefficients(double* to) const noexcept {
    int n = 0;
    for (int i = 0; i < numeratorCount; ++i)
        to[n++] = numerator[i];
    for (int i = 0; i < denominatorCount; ++i)
        to[n++] = denominator[i];
    return n;
}

double CAudioFilterStage::magnitudeAt(double freqHz, double sampleRate) const noexcept {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * freqHz / sampleRate);  // z^-1
    std::complex<double> num = 0.0, den = 1.0, zk = 1.0;
    for (int i = 0; i < numeratorCount; ++i) {
        num += numerator[i] * zk;
        zk *= z1;
    }
    zk = z1;
    for (int i = 0; i < denominatorCount; ++i) {
        den += denominator[i] * zk;
        zk *= z1;
    }
    return std::abs(num / den);
}

} // namespace tal
