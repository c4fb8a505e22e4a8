#include "Audio/Viz/CFFTPlanCache.h"

#include "fft/FftDispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>
#include <set>
#include <thread>
#include <vector>

namespace tal {
namespace {

class CFFTPlanCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        initFFTCPUDispatch();
        releaseFFTPlanCache();
    }
    void TearDown() override { releaseFFTPlanCache(); }
};

TEST_F(CFFTPlanCacheTest, ReleasedPlansAreReusedPerOrder) {
    CFFTPlan* a = acquireFFTPlan(8);
    CFFTPlan* b = acquireFFTPlan(8);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->order, 8);
    EXPECT_EQ(a->size, 256);
    EXPECT_EQ(a->inverseSize, 1.0 / 256.0);
    EXPECT_NE(a->spec, nullptr);
    releaseFFTPlan(a);
    releaseFFTPlan(b);
    EXPECT_EQ(cachedFFTPlanCount(8), 2);
    EXPECT_EQ(cachedFFTPlanCount(9), 0);
    CFFTPlan* again = acquireFFTPlan(8);
    EXPECT_TRUE(again == a || again == b);
    CFFTPlan* other = acquireFFTPlan(9);
    EXPECT_NE(other, a);
    EXPECT_NE(other, b);
    EXPECT_EQ(other->size, 512);
    releaseFFTPlan(again);
    releaseFFTPlan(other);
    releaseFFTPlan(nullptr);
}

TEST_F(CFFTPlanCacheTest, OrdersOutsideTheRangeGiveNoPlan) {
    EXPECT_EQ(acquireFFTPlan(-1), nullptr);
    EXPECT_EQ(acquireFFTPlan(31), nullptr);
}

// A cached plan transforms like a direct DFT: bin 5 of a cosine at bin 5 holds N/2.
TEST_F(CFFTPlanCacheTest, PlanTransformsWithoutScaling) {
    for (const int order : {6, 11, 16}) {
        SCOPED_TRACE(order);
        CFFTPlan* plan = acquireFFTPlan(order);
        ASSERT_NE(plan, nullptr);
        ASSERT_NE(plan->spec, nullptr);
        const int n = plan->size;
        std::vector<double> x(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) x[std::size_t(i)] = std::cos(2.0 * std::numbers::pi * 5 * i / n);
        ASSERT_EQ(realFFTForward(x.data(), x.data(), plan->spec, plan->workMemory), 0);
        EXPECT_NEAR(x[10], n / 2.0, 1e-9 * n);
        EXPECT_NEAR(x[11], 0.0, 1e-9 * n);
        EXPECT_NEAR(x[0], 0.0, 1e-9 * n);
        releaseFFTPlan(plan);
    }
}

// Two threads take, use and return plans of a few orders: no plan is ever held twice at once.
TEST_F(CFFTPlanCacheTest, ConcurrentAcquireAndRelease) {
    std::mutex heldMutex;
    std::set<CFFTPlan*> held;
    std::atomic<int> doubleHolds{0};
    auto worker = [&](int seed) {
        std::vector<double> buffer(1024, 0.0);
        for (int i = 0; i < 400; ++i) {
            const int order = 6 + (i * 7 + seed) % 5;
            CFFTPlan* plan = acquireFFTPlan(order);
            if (plan == nullptr) continue;
            {
                std::lock_guard<std::mutex> lock(heldMutex);
                if (!held.insert(plan).second) doubleHolds.fetch_add(1);
            }
            buffer[1] = double(i);
            realFFTForward(buffer.data(), buffer.data(), plan->spec, plan->workMemory);
            {
                std::lock_guard<std::mutex> lock(heldMutex);
                held.erase(plan);
            }
            releaseFFTPlan(plan);
        }
    };
    std::thread a(worker, 1), b(worker, 2);
    a.join();
    b.join();
    EXPECT_EQ(doubleHolds.load(), 0);
    int cached = 0;
    for (int order = 6; order <= 10; ++order) cached += cachedFFTPlanCount(order);
    EXPECT_GE(cached, 5);
    EXPECT_LE(cached, 10);   // at most two holders per order ever needed a plan of their own
}

} // namespace
} // namespace tal
