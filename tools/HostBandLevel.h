#pragma once
#include <cstddef>
#include <vector>

namespace delmaro_tool {

// Level in dB of the part of a signal around fc: the channels run through `passes` cascaded
// band-pass biquads (0 dB at fc, q the centre frequency over the -3 dB width of one biquad) and
// the mean square of the result from sample `skip` on is taken over all channels. -200 for
// silence or no samples.
double bandLevelDb(const std::vector<std::vector<double>>& channels, double rate, double fc, double q, int passes = 1,
                   std::size_t skip = 0);

} // namespace delmaro_tool
