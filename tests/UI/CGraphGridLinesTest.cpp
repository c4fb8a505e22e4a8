#include "UI/CGraphGridLines.h"

#include "UI/CMinMax.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tal {
namespace {

class CGraphGridLinesTest : public CRecordingBindingTree {
protected:
    CMinMax* range(const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", name, attrs)), "");
        return dynamic_cast<CMinMax*>(object);
    }
};

TEST_F(CGraphGridLinesTest, ALogFrequencyRangeGivesBordersAndEveryDecadeStepInside) {
    CMinMax* freq = range("freq", {{"min", "20"}, {"max", "20000"}, {"is-log", "true"}, {"scale-power", "1"}});
    std::vector<double> positions;
    CGraphGridLines::frequencyLines(*freq, 100, 1000, positions);
    EXPECT_EQ(positions.size(), 45u);  // 45 candidates less 20 Hz and 20 kHz, plus two borders
    std::vector<int> placed;
    CGraphGridLines::place(positions, 100, 1000, false, placed);
    std::vector<int> expected = {0, 999};
    for (double v : {30., 40., 50., 60., 70., 80., 90., 100., 200., 300., 400., 500., 600., 700., 800., 900., 1000.,
                     2000., 3000., 4000., 5000., 6000., 7000., 8000., 9000., 10000.})
        expected.push_back(int(std::lround(std::log(v / 20) / std::log(1000.0) * 999)));
    std::sort(placed.begin(), placed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(placed.size(), 28u);
    EXPECT_EQ(placed, expected);
}

TEST_F(CGraphGridLinesTest, GainStepsIncludeBothBordersAndNeedAWholeStep) {
    const struct { const char* min; const char* max; double step; std::vector<int> lines; } cases[] = {
        {"-18", "18", 3, {0, 25, 50, 75, 100, 125, 150, 175, 200, 225, 250, 275, 300}},
        {"-18", "18", 0, {}},
        {"-1", "1", 3, {0, 300}},      // 2/3 of a step rounds to one
        {"-1", "0.4", 3, {}},          // less than half a step
        {"-24", "24", 12, {0, 75, 150, 225, 300}},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(i);
        const std::string name = "gain" + std::to_string(i++);
        CMinMax* gain = range(name.c_str(), {{"min", c.min}, {"max", c.max}, {"scale-power", "1"}});
        std::vector<double> positions;
        CGraphGridLines::gainLines(*gain, c.step, 50, 301, positions);
        std::vector<int> placed;
        CGraphGridLines::place(positions, 50, 301, false, placed);
        EXPECT_EQ(placed, c.lines);
    }
}

TEST_F(CGraphGridLinesTest, HiddenBorderLinesDropEverythingWithinAPixelOfAnEdge) {
    const std::vector<double> positions = {100, 101, 101.05, 150, 1097.95, 1099, 1300};
    std::vector<int> placed;
    CGraphGridLines::place(positions, 100, 1000, false, placed);
    EXPECT_EQ(placed, (std::vector<int>{0, 1, 1, 50, 998, 999}));  // 1300 lies outside the view
    CGraphGridLines::place(positions, 100, 1000, true, placed);
    EXPECT_EQ(placed, (std::vector<int>{50}));
    CMinMax* gain = range("gain", {{"min", "-18"}, {"max", "18"}, {"scale-power", "1"}});
    std::vector<double> lines;
    CGraphGridLines::gainLines(*gain, 3, 0, 301, lines);
    CGraphGridLines::place(lines, 0, 301, true, placed);
    EXPECT_EQ(placed.size(), 11u);
    EXPECT_EQ(placed.front(), 25);
    EXPECT_EQ(placed.back(), 275);
}

TEST_F(CGraphGridLinesTest, PositionsSnapToAHundredTwentyEighthBeforeThePixel) {
    EXPECT_EQ(CGraphGridLines::snap(10.4999), 11.0);  // 10.5 at 1/128, then half away from zero
    EXPECT_EQ(CGraphGridLines::snap(10.49), 10.0);
    EXPECT_EQ(CGraphGridLines::snap(-2.5), -3.0);
}

} // namespace
} // namespace tal
