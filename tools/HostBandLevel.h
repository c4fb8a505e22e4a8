#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace delmaro_tool {

// The level in dB of the part of a signal around fc, fed block by block: the channels run through
// `passes` cascaded band-pass biquads (0 dB at fc, q the centre frequency over the -3 dB width of
// one biquad) and the mean square of the result from sample `skip` on is taken over all channels.
class CBandLevelMeter {
public:
    CBandLevelMeter(int channels, double rate, double fc, double q, int passes = 1, std::size_t skip = 0);
    // Adds `frames` frames of every channel.
    void add(const double* const* channels, std::size_t frames);
    // Adds `frames` samples of one channel.
    void addChannel(int channel, const double* samples, std::size_t frames);
    // -200 for silence or no samples.
    double levelDb() const;

private:
    double mB0, mB2, mA1, mA2;
    int mPasses;
    std::size_t mSkip;
    std::vector<std::size_t> mSeen;       // samples added so far per channel
    std::vector<double> mState;           // z1, z2 per channel and pass
    double mSum = 0.0;
    std::uint64_t mCount = 0;
};

// The same for whole signals held in memory.
double bandLevelDb(const std::vector<std::vector<double>>& channels, double rate, double fc, double q, int passes = 1,
                   std::size_t skip = 0);

} // namespace delmaro_tool
