#include "HostBandLevel.h"

#include <cmath>
#include <numbers>

namespace delmaro_tool {

double bandLevelDb(const std::vector<std::vector<double>>& channels, double rate, double fc, double q, int passes,
                   std::size_t skip) {
    const double w0 = 2.0 * std::numbers::pi * fc / rate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    const double b0 = alpha / a0, b2 = -alpha / a0, a1 = -2.0 * std::cos(w0) / a0, a2 = (1.0 - alpha) / a0;
    double sum = 0.0;
    std::size_t count = 0;
    for (const std::vector<double>& x : channels) {
        std::vector<double> y = x;
        for (int p = 0; p < passes; ++p) {
            double z1 = 0.0, z2 = 0.0;
            for (double& v : y) {
                const double in = v;
                v = b0 * in + z1;
                z1 = -a1 * v + z2;
                z2 = b2 * in - a2 * v;
            }
        }
        for (std::size_t i = skip; i < y.size(); ++i)
            sum += y[i] * y[i];
        count += y.size() > skip ? y.size() - skip : 0;
    }
    return count == 0 || sum <= 0.0 ? -200.0 : 10.0 * std::log10(sum / double(count));
}

} // namespace delmaro_tool
