#include "HostBandLevel.h"

#include <cmath>
#include <numbers>

namespace delmaro_tool {

CBandLevelMeter::CBandLevelMeter(int channels, double rate, double fc, double q, int passes, std::size_t skip)
    : mPasses(passes > 0 ? passes : 0), mSkip(skip), mSeen(std::size_t(channels), 0),
      mState(std::size_t(channels) * std::size_t(mPasses) * 2, 0.0) {
    const double w0 = 2.0 * std::numbers::pi * fc / rate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    mB0 = alpha / a0;
    mB2 = -alpha / a0;
    mA1 = -2.0 * std::cos(w0) / a0;
    mA2 = (1.0 - alpha) / a0;
}

void CBandLevelMeter::add(const double* const* channels, std::size_t frames) {
    for (std::size_t c = 0; c < mSeen.size(); ++c)
        addChannel(int(c), channels[c], frames);
}

void CBandLevelMeter::addChannel(int channel, const double* samples, std::size_t frames) {
    double* z = mState.data() + std::size_t(channel) * 2 * std::size_t(mPasses);
    std::size_t& seen = mSeen[std::size_t(channel)];
    for (std::size_t i = 0; i < frames; ++i) {
        double v = samples[i];
        for (int p = 0; p < mPasses; ++p) {
            double& z1 = z[2 * p];
            double& z2 = z[2 * p + 1];
            const double in = v;
            v = mB0 * in + z1;
            z1 = -mA1 * v + z2;
            z2 = mB2 * in - mA2 * v;
        }
        if (seen + i >= mSkip) {
            mSum += v * v;
            ++mCount;
        }
    }
    seen += frames;
}

double CBandLevelMeter::levelDb() const {
    return mCount == 0 || mSum <= 0.0 ? -200.0 : 10.0 * std::log10(mSum / double(mCount));
}

double bandLevelDb(const std::vector<std::vector<double>>& channels, double rate, double fc, double q, int passes,
                   std::size_t skip) {
    CBandLevelMeter meter(int(channels.size()), rate, fc, q, passes, skip);
    for (std::size_t c = 0; c < channels.size(); ++c)
        meter.addChannel(int(c), channels[c].data(), channels[c].size());
    return meter.levelDb();
}

} // namespace delmaro_tool
