#include "Audio/Filters/CAudioFilterGen.h"

#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tal {
namespace {

// One designer serves every instance's audio thread and the editor's response workers at once.
TEST(CAudioFilterGen, ConcurrentDesignsAgreeWithSingleThreadedOnes) {
    CAudioFilterRBJGen lp2;
    ASSERT_TRUE(lp2.configure(CAudioFilterRBJGen::kLowPass, {false, false, false, true}));
    CAudioFilterSerialGen lp8;
    for (int i = 0; i < 4; ++i)
        lp8.addItem({&lp2, {}, {1.0, 0.25, 1.0}});
    CAudioFilterMagnusGen peak;
    ASSERT_TRUE(peak.configure(1));
    const CAudioFilterGen* gens[] = {&lp8, &peak};

    auto sweep = [&](std::vector<double>& out) {
        for (int i = 0; i < 400; ++i)
            for (const CAudioFilterGen* g : gens)
                for (const CAudioFilterStage& s : test::design(*g, 20.0 + 50.0 * i, 0.5 + 0.01 * i, 1.0))
                    out.insert(out.end(), s.numerator, s.numerator + 3);
    };
    std::vector<double> expect;
    sweep(expect);
    std::vector<std::vector<double>> results(4);
    std::vector<std::thread> threads;
    for (std::vector<double>& r : results)
        threads.emplace_back([&sweep, &r] { sweep(r); });
    for (std::thread& t : threads)
        t.join();
    for (const std::vector<double>& r : results)
        EXPECT_EQ(r, expect);
}

} // namespace
} // namespace tal
