#include "UI/Controls/CRulerScale.h"

#include "Core/CStringList.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/Controls/RulerParsers.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace tal;

namespace {

const char* const kShippedStepping = "0.5/1/3 1/3/6 3/6/12 6/12/24";

// A scale as the product's rulers set it up: label size 13 at scale 1, overlaps hidden, "%.0f".
CRulerScale makeScale(double min, double max, double start, double end, const char* stepping = kShippedStepping) {
    CRulerScale scale;
    scale.min = min;
    scale.max = max;
    scale.start = start;
    scale.end = end;
    scale.visibleStart = std::min(start, end);
    scale.visibleEnd = std::max(start, end);
    scale.labelSize = 13.0;
    scale.minLabelSpacing = 13.0 * 1.6;
    scale.labelFormat = "%.0f";
    EXPECT_TRUE(parseRulerStepping(CString(stepping), scale.steps));
    return scale;
}

std::vector<std::pair<std::string, double>> labelsOf(const CRulerScale& scale) {
    std::vector<std::pair<std::string, double>> out;
    for (const CRulerLabel& label : scale.labels)
        out.emplace_back(label.text.chars8(), label.position);
    return out;
}

std::multiset<double> positionsOf(const CRulerScale& scale, int group) {
    std::multiset<double> out;
    for (const CRulerHairline& h : scale.hairlineGroups[group])
        out.insert(h.position);
    return out;
}

// Sorted positions equal within rounding of the position arithmetic.
void expectPositions(const std::multiset<double>& got, const std::multiset<double>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (auto g = got.begin(), e = expected.begin(); g != got.end(); ++g, ++e)
        EXPECT_NEAR(*g, *e, 1e-9);
}

// The positions reflected about length / 2.
std::multiset<double> reflected(const std::multiset<double>& positions, double length) {
    std::multiset<double> out;
    for (double p : positions)
        out.insert(length - p);
    return out;
}

// Positions on a 240 px linear 0..24 ruler with 24 at the top: 10 px per unit.
double at24(double value) { return (24.0 - value) * 10.0; }

std::multiset<double> positionsOfValues(std::initializer_list<double> values) {
    std::multiset<double> out;
    for (double v : values)
        out.insert(at24(v));
    return out;
}

TEST(CRulerScale, ShippedSteppingOnLinearRulerGivesMajorMiddleMinorGrid) {
    CRulerScale scale = makeScale(0, 24, 0, 240);
    scale.buildLabels(true);

    const std::vector<std::pair<std::string, double>> expected = {
        {"24", 0}, {"0", 240}, {"18", at24(18)}, {"12", at24(12)}, {"6", at24(6)},
        {"21", at24(21)}, {"15", at24(15)}, {"9", at24(9)}, {"3", at24(3)}};
    EXPECT_EQ(labelsOf(scale), expected);

    // Item 1/3/6 is the first whose middle step (30 px) leaves more than 20.8 px for a label.
    expectPositions(positionsOf(scale, 2), positionsOfValues({18, 12, 6}));
    expectPositions(positionsOf(scale, 1), positionsOfValues({21, 15, 9, 3}));
    std::multiset<double> minor;
    for (int v = 1; v <= 23; ++v)
        if (v % 6 != 0)
            minor.insert(at24(v));
    expectPositions(positionsOf(scale, 0), minor);
    for (const CRulerHairline& h : scale.hairlineGroups[0])
        EXPECT_TRUE(h.isMinor);
    for (int g = 1; g < 4; ++g)
        for (const CRulerHairline& h : scale.hairlineGroups[g])
            EXPECT_FALSE(h.isMinor) << g;
    // Both ends, and the zero mark, which lies on the 0 end.
    expectPositions(positionsOf(scale, 3), {0, 240, 240});
}

TEST(CRulerScale, StepItemFollowsTheScaleAndLabelSpacing) {
    // The first item whose middle step spans more than 20.8 px times the scale; else the last.
    struct Row {
        double max, length, uiScale;
        std::multiset<double> majorValues;
    } rows[] = {
        {24, 240, 1, {18, 12, 6}},       // 1/3/6: 30 px
        {24, 480, 1, {18, 12, 6}},       // 0.5/1/3 spans only 20 px: 1/3/6 again
        {24, 1000, 1, {21, 18, 15, 12, 9, 6, 3}},   // 0.5/1/3: 41.7 px
        {24, 240, 2, {12}},              // 3/6/12 at scale 2
        {48, 60, 1, {24}},               // none spans 20.8 px: 6/12/24
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.max << " over " << row.length << " at " << row.uiScale);
        CRulerScale scale = makeScale(0, row.max, 0, row.length);
        scale.uiScale = row.uiScale;
        scale.buildLabels(true);
        std::multiset<double> expected;
        for (double v : row.majorValues)
            expected.insert((row.max - v) * row.length / row.max);
        const std::multiset<double> got = positionsOf(scale, 2);
        ASSERT_EQ(got.size(), expected.size());
        for (auto g = got.begin(), e = expected.begin(); g != got.end(); ++g, ++e)
            EXPECT_NEAR(*g, *e, 1e-9);
    }
}

TEST(CRulerScale, ValueToPositionClosedForms) {
    struct Row {
        const char* name;
        double min, max, power;
        bool isLog, isMirrored, isInverted, isAbsolute;
        double start, end, value, expected;
    } rows[] = {
        {"vertical linear", 0, 24, 1, false, false, false, true, 10, 250, 6, 10 + 240 * 0.75},
        {"vertical offset", 0, 24, 1, false, false, false, false, 10, 250, 6, 240 * 0.75},
        {"horizontal linear", 0, 24, 1, false, false, false, true, 239, 0, 6, 239 * 0.25},
        {"horizontal offset", 0, 24, 1, false, false, false, false, 239, 0, 6, 239 * 0.25},
        {"inverted flag", 0, 24, 1, false, false, true, true, 0, 240, 6, 60},
        {"inverted range", 24, 0, 1, false, false, false, true, 0, 240, 6, 60},
        {"log", 20, 20000, 1, true, false, false, true, 999, 0, 200, 999 * (1.0 / 3.0)},
        {"power", 0, 1, 2, false, false, false, true, 0, 100, 0.5, 75},
        {"power below min", 0, 1, 2, false, false, false, true, 0, 100, -0.5, 100},
        {"mirrored", 0, 24, 1, false, true, false, true, 0, 480, 12, 120},
        {"log min = max", 50, 50, 1, true, false, false, true, 0, 100, 50, 100},
        {"log bound below zero", -1, 100, 1, true, false, false, true, 0, 100, 50, 100},
        {"log value zero", 1, 100, 1, true, false, false, true, 0, 100, 0, 100},
        {"linear min = max", 5, 5, 1, false, false, false, true, 0, 100, 5, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CRulerScale scale;
        scale.min = row.min;
        scale.max = row.max;
        scale.power = row.power;
        scale.isLog = row.isLog;
        scale.isMirrored = row.isMirrored;
        scale.start = row.start;
        scale.end = row.end;
        const double got = scale.valueToPosition(row.isInverted, row.isAbsolute, row.value);
        EXPECT_TRUE(std::isfinite(got));
        EXPECT_NEAR(got, row.expected, 1e-9);
    }
}

TEST(CRulerScale, InvertedRangeMirrorsTheRuler) {
    CRulerScale upright = makeScale(0, 24, 0, 240);
    CRulerScale inverted = makeScale(24, 0, 0, 240);
    upright.buildLabels(true);
    inverted.buildLabels(true);
    std::set<std::pair<std::string, double>> expected;
    for (const auto& [text, position] : labelsOf(upright))
        expected.emplace(text, 240 - position);
    const std::vector<std::pair<std::string, double>> got = labelsOf(inverted);
    using LabelSet = std::set<std::pair<std::string, double>>;
    EXPECT_EQ(LabelSet(got.begin(), got.end()), expected);
    for (int g = 0; g < 4; ++g) {
        SCOPED_TRACE(g);
        expectPositions(positionsOf(inverted, g), reflected(positionsOf(upright, g), 240));
    }
}

TEST(CRulerScale, MirroredLayoutRepeatsGridOnBothHalves) {
    CRulerScale scale = makeScale(0, 24, 0, 480);
    scale.isMirrored = true;
    scale.buildLabels(true);
    ASSERT_GE(scale.labels.size(), 3u);
    EXPECT_EQ(labelsOf(scale)[0], (std::pair<std::string, double>{"24", 0}));
    EXPECT_EQ(labelsOf(scale)[1], (std::pair<std::string, double>{"24", 480}));
    EXPECT_EQ(labelsOf(scale)[2], (std::pair<std::string, double>{"0", 240}));
    // Every grid label on the upper half has its twin on the lower half, and min shows once.
    std::multiset<std::pair<std::string, double>> upper, lower;
    int zeros = 0;
    for (std::size_t i = 3; i < scale.labels.size(); ++i) {
        const std::string text = scale.labels[i].text.chars8();
        const double p = scale.labels[i].position;
        zeros += text == "0";
        (p < 240 ? upper : lower).emplace(text, p < 240 ? p : 480 - p);
    }
    EXPECT_EQ(zeros, 0);
    EXPECT_EQ(upper, lower);
    EXPECT_EQ(upper.size(), 7u);   // 18 12 6 21 15 9 3
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE(g);
        expectPositions(positionsOf(scale, g), reflected(positionsOf(scale, g), 480));
    }
}

TEST(CRulerScale, ZeroMarkComesFromTheEndsAndHidesNearAnEnd) {
    {
        CRulerScale scale = makeScale(-12, 12, 0, 240);
        scale.buildLabels(true);
        const auto labels = labelsOf(scale);
        ASSERT_GE(labels.size(), 3u);
        EXPECT_EQ(labels[2], (std::pair<std::string, double>{"0", 120}));
        EXPECT_EQ(std::count_if(labels.begin(), labels.end(), [](const auto& l) { return l.first == "0"; }), 1);
        for (int g = 0; g < 3; ++g)
            for (double p : positionsOf(scale, g))
                EXPECT_GT(std::fabs(p - 120), 3) << g;
        expectPositions(positionsOf(scale, 3), {0, 120, 240});
    }
    {
        // 0 lies 6 px from the min end, within half a label: the mark stays, the label goes.
        CRulerScale scale = makeScale(-0.6, 24, 0, 246);
        scale.buildLabels(true);
        const auto labels = labelsOf(scale);
        EXPECT_EQ(std::count_if(labels.begin(), labels.end(), [](const auto& l) { return l.first == "0"; }), 0);
        const std::multiset<double> marks = positionsOf(scale, 3);
        EXPECT_EQ(std::count_if(marks.begin(), marks.end(), [](double p) { return std::fabs(p - 240) < 1e-9; }), 1);
    }
}

TEST(CRulerScale, LogarithmicFrequencyRuler) {
    // 20 Hz .. 20 kHz along 1000 px, max at the right.
    CRulerScale scale = makeScale(20, 20000, 999, 0);
    scale.isLog = true;
    scale.buildLabels(false);
    auto at = [](double f) { return 999 * std::log10(f / 20) / 3; };

    const auto labels = labelsOf(scale);
    ASSERT_GE(labels.size(), 2u);
    EXPECT_EQ(labels[0], (std::pair<std::string, double>{"20k", 999}));
    EXPECT_EQ(labels[1].first, "20");
    EXPECT_NEAR(labels[1].second, 0, 1e-9);
    // Every grid label reads as the frequency it stands at.
    std::set<std::string> texts;
    for (std::size_t i = 2; i < labels.size(); ++i) {
        const std::string& t = labels[i].first;
        texts.insert(t);
        const double f = t.back() == 'k' ? std::stod(t) * 1000 : std::stod(t);
        EXPECT_NEAR(labels[i].second, at(f), 1e-9) << t;
    }
    EXPECT_TRUE(texts.count("1k") && texts.count("10k") && texts.count("100")) << texts.size();
    // Every hairline is in group 1, once, at 1, 2 ... 9 times a power of ten, or an end.
    for (int g : {0, 2, 3})
        EXPECT_TRUE(scale.hairlineGroups[g].isEmpty()) << g;
    std::multiset<double> expected{999, 0};
    for (double decade : {10.0, 100.0, 1000.0, 10000.0})
        for (int n = 1; n <= 9; ++n)
            if (n * decade > 20 && n * decade < 20000)
                expected.insert(at(n * decade));
    const std::multiset<double> got = positionsOf(scale, 1);
    ASSERT_EQ(got.size(), expected.size());
    for (auto g = got.begin(), e = expected.begin(); g != got.end(); ++g, ++e)
        EXPECT_NEAR(*g, *e, 1e-9);
}

TEST(CRulerScale, LogarithmicWalkStopsAtTwoAndSkipsTheLabelCrowdingMax) {
    CRulerScale scale = makeScale(0.5, 25, 600, 0);
    scale.isLog = true;
    scale.buildLabels(false);
    const double two = scale.valueToPosition(false, true, 2.0);
    for (const CRulerHairline& h : scale.hairlineGroups[1])
        if (h.position != 0 && h.position != 600) {
            EXPECT_GE(h.position, two - 1e-9);
        }
    // 20 is 34 px under 25 (more than a label): kept; on 0.5 .. 21 it is 8 px away and skipped.
    CRulerScale crowded = makeScale(0.5, 21, 600, 0);
    crowded.isLog = true;
    crowded.buildLabels(false);
    const double twenty = crowded.valueToPosition(false, true, 20.0);
    for (const CRulerHairline& h : crowded.hairlineGroups[1])
        EXPECT_GT(std::fabs(h.position - twenty), 1e-6);
    EXPECT_EQ(positionsOf(scale, 1).count(scale.valueToPosition(false, true, 20.0)), 1u);
}

TEST(CRulerScale, DuplicateTextsKeepTheNearestValue) {
    {
        // 1.5 prints as "2", the max label's text, and 0.5 as "0": both go.
        CRulerScale scale = makeScale(0, 2, 0, 200, "0.5/0.5/0.5");
        scale.buildLabels(true);
        const std::vector<std::pair<std::string, double>> expected = {{"2", 0}, {"0", 200}, {"1", 100}};
        EXPECT_EQ(labelsOf(scale), expected);
    }
    {
        // 9.3, 9.0 and 8.7 all print "9": the label of 9.0 stays.
        CRulerScale scale = makeScale(0, 10, 0, 1000, "0.3/0.3/0.3");
        scale.buildLabels(true);
        const auto labels = labelsOf(scale);
        std::vector<double> nines;
        std::set<std::string> seen;
        for (const auto& [text, position] : labels) {
            EXPECT_TRUE(seen.insert(text).second) << text;
            if (text == "9")
                nines.push_back(position);
        }
        ASSERT_EQ(nines.size(), 1u);
        EXPECT_NEAR(nines[0], 100, 1e-6);
    }
    {
        // With decimals shown nothing is removed.
        CRulerScale scale = makeScale(0, 2, 0, 200, "0.5/0.5/0.5");
        scale.labelFormat = "%.1f";
        scale.buildLabels(true);
        EXPECT_EQ(scale.labels.size(), 5u);
    }
}

TEST(CRulerScale, RelativeStepsFollowTheRange) {
    CRulerScale scale = makeScale(0, 200, 0, 400, "5%/25%/50%");
    scale.buildLabels(true);
    EXPECT_DOUBLE_EQ(scale.steps[0].step[2], 100);
    EXPECT_EQ(positionsOf(scale, 2), (std::multiset<double>{200}));
    scale.max = 400;
    scale.buildLabels(true);
    EXPECT_DOUBLE_EQ(scale.steps[0].step[2], 200);
    EXPECT_EQ(positionsOf(scale, 2), (std::multiset<double>{200}));
}

TEST(CRulerScale, DegenerateInputs) {
    {
        CRulerScale scale = makeScale(0, 24, 0, 240, "");
        scale.buildLabels(true);
        EXPECT_EQ(labelsOf(scale), (std::vector<std::pair<std::string, double>>{{"24", 0}, {"0", 240}}));
        for (int g = 0; g < 3; ++g)
            EXPECT_TRUE(scale.hairlineGroups[g].isEmpty());
        EXPECT_EQ(scale.hairlineGroups[3].count(), 3);
    }
    {
        CRulerScale scale = makeScale(0, 0, 0, 240);
        scale.buildLabels(true);
        EXPECT_TRUE(scale.labels.empty());
        for (int g = 0; g < 4; ++g)
            EXPECT_TRUE(scale.hairlineGroups[g].isEmpty());
    }
    {
        CRulerScale scale = makeScale(0, 24, 50, 50);
        scale.buildLabels(true);
        EXPECT_EQ(labelsOf(scale), (std::vector<std::pair<std::string, double>>{{"24", 50}}));
    }
    {
        // Equal logarithmic bounds: every position finite, at the min end.
        CRulerScale scale = makeScale(100, 100, 0, 240);
        scale.isLog = true;
        scale.buildLabels(true);
        for (int g = 0; g < 4; ++g)
            for (const CRulerHairline& h : scale.hairlineGroups[g])
                EXPECT_TRUE(std::isfinite(h.position));
        for (const CRulerLabel& l : scale.labels)
            EXPECT_TRUE(std::isfinite(l.position));
    }
}

TEST(CRulerScale, TooFineGridOnWideRangeIsSkipped) {
    // 10^9 values of step 1 would be far under a pixel apart: only the ends remain.
    CRulerScale scale = makeScale(0, 1e9, 0, 240, "1/1/1");
    scale.buildLabels(true);
    for (int g = 0; g < 3; ++g)
        EXPECT_TRUE(scale.hairlineGroups[g].isEmpty()) << g;
    EXPECT_EQ(scale.labels.size(), 2u);
    // Under the bound the same step still draws.
    CRulerScale fine = makeScale(0, 2000, 0, 40000, "1/1/1");
    fine.buildLabels(true);
    EXPECT_EQ(fine.hairlineGroups[2].count(), 1999);
}

TEST(CRulerScale, LineCountLevelsFillTheVisiblePart) {
    struct Row {
        const char* name;
        double visibleStart, visibleEnd;
        std::multiset<double> first, refined;
    } rows[] = {
        {"all visible", 0, 400, {0, 100, 200, 300, 400}, {}},
        {"top 120 px", 0, 120, {0, 100}, {50, 25, 75}},
        {"top 60 px", 0, 60, {0}, {50, 25, 12.5, 37.5}},
        {"between lines", 10, 11, {}, {10.9375}},
        {"between the finest lines", 10, 10.5, {}, {}},
        {"outside", 1000, 2000, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CRulerScale scale = makeScale(0, 1, 0, 400);
        scale.lineCount = 5;
        scale.visibleStart = row.visibleStart;
        scale.visibleEnd = row.visibleEnd;
        scale.buildLabels(true);
        EXPECT_EQ(positionsOf(scale, 1), row.first);
        EXPECT_EQ(positionsOf(scale, 0), row.refined);
        EXPECT_EQ(scale.labels.size(), row.first.size() + row.refined.size());
        EXPECT_LE(scale.labels.size(), 5u);
    }
}

TEST(CRulerScale, TitleModeSpreadsTheTitles) {
    CStringList titles;
    titles.add("Left");
    titles.add("Mid");
    titles.add("Right");
    CRulerScale scale = makeScale(0, 1, 0, 300);
    scale.isLabelsLinear = true;
    scale.titles = &titles;
    scale.buildLabels(false);
    const std::vector<std::pair<std::string, double>> expected = {{"Left", 0}, {"Mid", 150}, {"Right", 300}};
    EXPECT_EQ(labelsOf(scale), expected);
    for (int g = 0; g < 4; ++g)
        EXPECT_TRUE(scale.hairlineGroups[g].isEmpty());
}

TEST(CRulerScale, FormatsLabelValues) {
    struct Row {
        bool isLog;
        const char* format;
        double value;
        const char* expected;
    } rows[] = {
        {true, "%.0f", 1000, "1k"},
        {true, "%.0f", 10000, "10k"},
        {true, "%.0f", 999, "999"},
        {true, "%.0f", 20000, "20k"},
        {false, "%.0f", 1000, "1000"},
        {false, "%.0f", -0.3, "0"},
        {false, "%.1f dB", -2.25, "-2.2 dB"},
        {false, "%+.0f%%", 50, "+50%"},
        {false, "%5.1f", 2.5, "  2.5"},
        {false, "%s", 2.5, "2.5"},
        {false, "%n%f", 2.5, "2.5"},
        {false, "%f %f", 2.5, "2.5"},
        {false, "%d", 2.5, "2.5"},
        {false, "%.2lf", 2.5, "2.50"},
        {false, "%Lf", 2.5, "2.5"},
        {false, "%.0f%", 2.5, "2.5"},
        {false, "%999f", 2.5, "2.5"},
        {false, "dB", 7, "dB"},
        {false, "", 7, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        const CString got = CRulerScale::formatLabelValue(row.isLog, CString(row.format), nullptr, row.value, 0, 1);
        EXPECT_STREQ(got.chars8(), row.expected) << row.value;
    }
    CStringList titles;
    titles.add("Low");
    titles.add("Mid");
    titles.add("High");
    const std::pair<double, const char*> titled[] = {{0, "Low"}, {24, "Mid"}, {36, "High"}, {100, "High"}, {-5, "Low"}};
    for (const auto& [value, text] : titled)
        EXPECT_STREQ(CRulerScale::formatLabelValue(false, CString("%.0f"), &titles, value, 0, 48).chars8(), text)
            << value;
}

// Restores the process locale however the test ends.
struct LocaleGuard {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
};

TEST(CRulerScale, LabelsIgnoreTheHostLocale) {
    LocaleGuard guard;
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8",
                                        "de_DE", "fr_FR"};
    const char* chosen = nullptr;
    for (const char* name : commaLocales)
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    if (chosen == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    ASSERT_STREQ(probe, "2,5") << chosen;   // the host's own printf now writes a comma
    EXPECT_STREQ(CRulerScale::formatLabelValue(false, CString("%.1f"), nullptr, 2.5, 0, 1).chars8(), "2.5");
    EXPECT_STREQ(CRulerScale::formatLabelValue(true, CString("%.1f"), nullptr, 1500, 0, 1).chars8(), "1.5k");
    CRulerScale scale = makeScale(0, 2, 0, 200, "0.5/0.5/0.5");
    scale.labelFormat = "%.1f";
    scale.buildLabels(true);
    for (const CRulerLabel& label : scale.labels)
        EXPECT_EQ(std::string(label.text.chars8()).find(','), std::string::npos) << label.text.chars8();
}

} // namespace

namespace tal {
namespace {

class CRulerScaleParamTest : public CRecordingBindingTree {};

TEST_F(CRulerScaleParamTest, ScaleParameterTurnsLabelsIntoDisplayValues) {
    const auto info = makeInfo("Level", 1, -24, 12, "0");
    bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    ASSERT_TRUE(param->isActive());
    CRulerScale scale = makeScale(0, 1, 0, 360, "0.5/0.5/0.5");
    scale.scaleParam = param;
    scale.buildLabels(true);
    // The ruler runs over the parameter's normalised range: -24 dB at the bottom, 12 dB at the top.
    const std::vector<std::pair<std::string, double>> expected = {{"12", 0}, {"-24", 360}, {"-6", 180}};
    EXPECT_EQ(labelsOf(scale), expected);
}

TEST_F(CRulerScaleParamTest, LineCountLabelsReadTheParameterAtEachLine) {
    const auto info = makeInfo("Level", 1, -24, 12, "0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    CRulerScale scale = makeScale(0, 1, 0, 400);
    scale.lineCount = 5;
    scale.lineCountParam = param;
    scale.visibleStart = 0;
    scale.visibleEnd = 120;
    scale.buildLabels(true);
    ASSERT_EQ(scale.labels.size(), 5u);
    for (const CRulerLabel& label : scale.labels) {
        // The line at position p stands for the normalised value 1 - p / 400.
        CString expected;
        bridge->formatNormalizedValue(expected, 0, -1, 1.0 - label.position / 400);
        EXPECT_FALSE(expected.isEmpty());
        EXPECT_STREQ(label.text.chars8(), expected.chars8()) << label.position;
    }
}

} // namespace
} // namespace tal
