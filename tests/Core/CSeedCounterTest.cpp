#include "Core/CSeedCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <thread>
#include <vector>

using namespace tal;

TEST(CSeedCounter, ConsecutiveSeedsDifferByOne) {
    const std::uint64_t a = takeSeed();
    const std::uint64_t b = takeSeed();
    EXPECT_EQ(b, a + 1);
}

TEST(CSeedCounter, StartValueDependsOnTimeAndAddresses) {
    CSeedCounter first, second;
    initSeedCounter(first);
    initSeedCounter(second);   // other anchor and field addresses
    EXPECT_NE(first.value, second.value);
    EXPECT_NE(seedFromTime(1000, 1), seedFromTime(1000, 2));
    EXPECT_NE(seedFromTime(1000, 1), seedFromTime(1001, 1));
    // A one-bit change of either input flips about half of the output bits.
    for (int bit = 0; bit < 64; bit += 7) {
        SCOPED_TRACE(bit);
        const std::uint64_t base = seedMixStep(0x1234, 0x5678);
        EXPECT_GT(std::popcount(base ^ seedMixStep(0x1234, 0x5678 ^ (1ull << bit))), 12);
        EXPECT_GT(std::popcount(base ^ seedMixStep(0x1234 ^ (1ull << bit), 0x5678)), 12);
    }
}

TEST(CSeedCounter, ConcurrentTakersGetDistinctSeeds) {
    constexpr int kThreads = 4, kEach = 5000;
    std::vector<std::vector<std::uint64_t>> seeds(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                seeds[std::size_t(t)].push_back(takeSeed());
        });
    for (std::thread& th : threads)
        th.join();
    std::vector<std::uint64_t> all;
    for (const auto& s : seeds)
        all.insert(all.end(), s.begin(), s.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
    EXPECT_EQ(all.back() - all.front(), std::uint64_t(kThreads * kEach - 1));
}
