#include "Audio/Converters/CAudioParamConverterGain.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

class GainConverter : public ::testing::Test {
protected:
    void SetUp() override {
        info.setLayout(1, 0, false, false);
        info.setRange(0, fromDb(-30), fromDb(30));   // what the texts "-30" and "30" give
        gain = tree.converter<CAudioParamConverterGain>("gain");
        ASSERT_NE(gain, nullptr);
    }
    CParamTestTree tree;
    CAudioParamInfo info;
    CAudioParamConverterGain* gain = nullptr;
};

TEST_F(GainConverter, MapsUnityToTheMiddleOfASymmetricDecibelRange) {
    EXPECT_NEAR(gain->toNormalized(info, 0, 1.0), 0.5, 1e-12);
    EXPECT_NEAR(gain->toDisplay(info, 0, 0.5), 0.0, 1e-9);
    EXPECT_NEAR(gain->toPlain(info, 0, 0.75), fromDb(15), 1e-12);
    EXPECT_DOUBLE_EQ(gain->fromDisplay(info, 0, 40.0), 1.0);   // clamped to the maximum
    EXPECT_NEAR(gain->fromDisplay(info, 0, -15.0), 0.25, 1e-12);
}

TEST_F(GainConverter, ParsesDecibelTextsWithClampingAndFallbacks) {
    struct Case {
        const char* text;
        double parsed, raw;
        bool ok;
    } cases[] = {
        {"6", fromDb(6), fromDb(6), true},
        {"-3,5", fromDb(-3.5), fromDb(-3.5), true},
        {"40", fromDb(30), fromDb(40), true},       // parseText clamps, the raw parser does not
        {"-100", fromDb(-30), fromDb(-100), true},
        {"six", fromDb(-30), 1.0, false},           // malformed: the minimum, or unity for the raw parser
        {"", fromDb(-30), 1.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool ok = !c.ok;
        EXPECT_NEAR(gain->parseText(info, 0, CString(c.text), &ok), c.parsed, 1e-12);
        EXPECT_EQ(ok, c.ok);
        ok = !c.ok;
        EXPECT_NEAR(gain->parseTextRaw(info, 0, CString(c.text), &ok), c.raw, 1e-12);
        EXPECT_EQ(ok, c.ok);
    }
}

TEST_F(GainConverter, FormatsDecibelsInTheThreePrecisions) {
    struct Case {
        int mode;
        double db;
        const char* text;
    } cases[] = {
        {kPrecisionNormal, -30, "-30.0"}, {kPrecisionNormal, 0, "0.0"},    {kPrecisionNormal, 3.46, "3.5"},
        {kPrecisionCompact, 0, "0"},      {kPrecisionCompact, 3.5, "3.5"}, {kPrecisionCompact, 12.3, "12"},
        {kPrecisionCompact, -9.94, "-9.9"}, {kPrecisionCompact, -9.96, "-10"}, {kPrecisionCompact, 0.004, "0"},
        {kPrecisionPrecise, 3.456, "3.46"}, {kPrecisionPrecise, -0.001, "0.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.db << " dB");
        EXPECT_EQ(textOf(gain->formatValue(info, 0, nullptr, c.mode, fromDb(c.db))), c.text);
    }
}

TEST_F(GainConverter, ReadsItsConfiguration) {
    EXPECT_EQ(gain->getDecimals(), 1);
    EXPECT_EQ(textOf(gain->getLabel()), "dB");
    EXPECT_FALSE(gain->isDiscrete());
}

TEST(CAudioParamConverterGain, RejectsDecimalsOutsideZeroToTen) {
    CParamTestTree tree;
    struct Case {
        const char* decimals;
        const char* message;
    } cases[] = {
        {"11", "Invalid 'decimals' attribute value 11 specified."},
        {"-1", "Invalid 'decimals' attribute value -1 specified."},
        {"10", ""},
        {"", ""},   // missing reads 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decimals);
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.converters(), "audio:cvt-gain", "g",
                                                    {{"decimals", c.decimals}})),
                  c.message);
    }
}

} // namespace
} // namespace tal
