#include "Audio/Converters/CAudioParamConverterFreq.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

class FreqConverter : public ::testing::Test {
protected:
    void SetUp() override {
        info.setLayout(1, 0, false, false);
        info.setRange(0, 5.0, 30000.0);
        freq = tree.converter<CAudioParamConverterFreq>("freq");
        ASSERT_NE(freq, nullptr);
    }
    CParamTestTree tree;
    CAudioParamInfo info;
    CAudioParamConverterFreq* freq = nullptr;
};

TEST_F(FreqConverter, ParsesHertzAndKilohertzTexts) {
    struct Case {
        const char* text;
        double parsed, raw;
        bool ok;
    } cases[] = {
        {"1000", 1000, 1000, true}, {"1.5k", 1500, 1500, true}, {"2K", 2000, 2000, true},
        {"40k", 30000, 40000, true}, {"1", 5, 1, true},          {"abc", 5, 0, false},
        {"abck", 5, 0, false},       {"k", 5, 0, false},         {"", 5, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool ok = !c.ok;
        EXPECT_DOUBLE_EQ(freq->parseText(info, 0, CString(c.text), &ok), c.parsed);
        EXPECT_EQ(ok, c.ok);
        ok = !c.ok;
        EXPECT_DOUBLE_EQ(freq->parseTextRaw(info, 0, CString(c.text), &ok), c.raw);
        EXPECT_EQ(ok, c.ok);
    }
}

TEST_F(FreqConverter, FormatsAtTheModeBoundaries) {
    struct Case {
        int mode;
        double hertz;
        const char* text;
    } cases[] = {
        {kPrecisionNormal, 50, "50.0"},     {kPrecisionNormal, 707, "707"},     {kPrecisionNormal, 1500, "1.50k"},
        {kPrecisionNormal, 12000, "12.0k"}, {kPrecisionNormal, 99.94, "99.9"},  {kPrecisionNormal, 999.4, "999"},
        {kPrecisionNormal, 999.6, "1.00k"}, {kPrecisionNormal, 9994, "9.99k"},  {kPrecisionNormal, 9996, "10.0k"},
        {kPrecisionCompact, 9.9, "9.9"},    {kPrecisionCompact, 9.94, "9.9"},   {kPrecisionCompact, 9.96, "10"},
        {kPrecisionCompact, 707, "707"},    {kPrecisionCompact, 1500, "1.5k"},  {kPrecisionCompact, 12000, "12k"},
        {kPrecisionPrecise, 1000, "1000.00"}, {kPrecisionPrecise, 20.125, "20.13"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.hertz << " Hz");
        EXPECT_EQ(textOf(freq->formatValue(info, 0, nullptr, c.mode, c.hertz)), c.text);
        EXPECT_EQ(textOf(CAudioParamConverterFreq::formatFrequency(c.mode, c.hertz)), c.text);
    }
}

TEST_F(FreqConverter, FirstSwitchNameStandsForItsValue) {
    info.parseSwitchValues(CString("10,20"), CString("Low,High"));
    bool ok = false;
    EXPECT_DOUBLE_EQ(freq->parseText(info, 0, CString("Low"), &ok), 10.0);
    EXPECT_FALSE(ok);   // the flag is left as it was
    EXPECT_DOUBLE_EQ(freq->parseText(info, 0, CString("High"), nullptr), 5.0);   // only the first pair counts
    EXPECT_EQ(textOf(freq->formatValue(info, 0, nullptr, kPrecisionNormal, 10.04)), "Low");
    EXPECT_EQ(textOf(freq->formatValue(info, 0, nullptr, kPrecisionNormal, 10.06)), "10.1");
}

} // namespace
} // namespace tal
