#include "Platform/CLockFreeStack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace tal;

namespace {
struct alignas(16) Block {
    void* link;
    std::uint64_t owner;
};
} // namespace

TEST(CLockFreeStack, PopsInReverseOrderOfPushes) {
    CLockFreeStack stack;
    Block blocks[3];
    EXPECT_TRUE(stack.isEmpty());
    for (Block& b : blocks)
        stack.push(&b);
    EXPECT_EQ(stack.pop(), &blocks[2]);
    EXPECT_EQ(stack.pop(), &blocks[1]);
    EXPECT_EQ(stack.pop(), &blocks[0]);
    EXPECT_EQ(stack.pop(), nullptr);
    EXPECT_TRUE(stack.isEmpty());
}

// Threads pop blocks, write their own mark into them and push them back. A block handed to two
// threads at once (the ABA fault) shows up as a mark overwritten by another thread, and a lost or
// duplicated block shows up in the final count.
TEST(CLockFreeStack, ConcurrentPopPushNeverHandsOutABlockTwice) {
    constexpr int kBlocks = 16, kThreads = 8, kRounds = 20000;
    CLockFreeStack stack;
    std::vector<Block> blocks(kBlocks);
    for (Block& b : blocks)
        stack.push(&b);
    std::atomic<int> conflicts{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                Block* b = static_cast<Block*>(stack.pop());
                if (b == nullptr)
                    continue;
                b->owner = std::uint64_t(t + 1);
                std::this_thread::yield();
                if (b->owner != std::uint64_t(t + 1))
                    conflicts.fetch_add(1);
                stack.push(b);
            }
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(conflicts.load(), 0);
    std::vector<void*> seen;
    while (void* b = stack.pop())
        seen.push_back(b);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen.size(), std::size_t(kBlocks));
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}
