#include "UI/Controls/RulerParsers.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tal;

namespace {

struct SteppingRow {
    const char* text;
    bool ok;
    // Per item: small, middle, large; a relative step is written as its fraction, flagged below.
    std::vector<std::vector<double>> steps;
    std::vector<std::vector<bool>> relative;
};

TEST(RulerParsers, ReadsSteppingItemsOrFailsWhole) {
    const SteppingRow rows[] = {
        {"0.5/1/3 1/3/6", true, {{0.5, 1, 3}, {1, 3, 6}}, {{false, false, false}, {false, false, false}}},
        {"2/10", true, {{2, 2, 10}}, {{false, false, false}}},
        {"5%/25%/50%", true, {{0.05, 0.25, 0.5}}, {{true, true, true}}},
        {"1/10%", true, {{1, 1, 0.1}}, {{false, false, true}}},
        {"", true, {}, {}},
        {"   ", true, {}, {}},
        {"  0.5//1/3   1/3/6  ", true, {{0.5, 1, 3}, {1, 3, 6}}, {{false, false, false}, {false, false, false}}},
        {"1/x/3", true, {{1, 0, 3}}, {{false, false, false}}},
        {"0,5/1/3", true, {{0.5, 1, 3}}, {{false, false, false}}},
        {"1/2/3/4", false, {}, {}},
        {"1/2/3 4", false, {}, {}},
        {"1/2/3 1/2/3/4/5", false, {}, {}},
        {"/", false, {}, {}},
    };
    for (const SteppingRow& row : rows) {
        SCOPED_TRACE(row.text);
        CArray<CRulerStep> out;
        out.add(CRulerStep{});   // stale content must go
        EXPECT_EQ(parseRulerStepping(CString(row.text), out), row.ok);
        ASSERT_EQ(out.count(), int(row.steps.size()));
        for (int i = 0; i < out.count(); ++i)
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(out[i].isRelative[k], row.relative[std::size_t(i)][std::size_t(k)]) << i << "/" << k;
                const double got = out[i].isRelative[k] ? out[i].fraction[k] : out[i].step[k];
                EXPECT_DOUBLE_EQ(got, row.steps[std::size_t(i)][std::size_t(k)]) << i << "/" << k;
            }
    }
}

TEST(RulerParsers, HairlineLengthsNeedExactlyFourNumbers) {
    struct Row {
        const char* text;
        bool ok;
        std::vector<int> lengths;
    } rows[] = {
        {"4 5 6 8", true, {4, 5, 6, 8}},
        {"4.5 5 6 8", true, {5, 5, 6, 8}},
        {"  4   5 6 8 ", true, {4, 5, 6, 8}},
        {"-2.5 x 6 8", true, {-3, 0, 6, 8}},
        {"4 5 6", false, {}},
        {"4 5 6 8 9", false, {}},
        {"", false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        CArray<int> out;
        out.add(99);
        EXPECT_EQ(parseHairlineLengths(CString(row.text), out), row.ok);
        ASSERT_EQ(out.count(), int(row.lengths.size()));
        for (int i = 0; i < out.count(); ++i)
            EXPECT_EQ(out[i], row.lengths[std::size_t(i)]) << i;
    }
}

} // namespace
