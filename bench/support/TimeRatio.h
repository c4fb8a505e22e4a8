#pragma once
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace tal::bench {

// Runs ours and theirs one after the other in every iteration, timed apart, and reports our time
// as a fraction of theirs in the counter of that name (both measured under the same conditions).
template <class Ours, class Theirs>
void runTimeRatio(benchmark::State& state, Ours& ours, Theirs& theirs, const std::string& counter) {
    double ourSeconds = 0.0, theirSeconds = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        ours.draw();
        const auto t1 = std::chrono::steady_clock::now();
        theirs.draw();
        const auto t2 = std::chrono::steady_clock::now();
        ourSeconds += std::chrono::duration<double>(t1 - t0).count();
        theirSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters[counter] = theirSeconds > 0.0 ? ourSeconds / theirSeconds : 0.0;
}

} // namespace tal::bench
