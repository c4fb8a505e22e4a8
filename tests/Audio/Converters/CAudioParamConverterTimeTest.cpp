#include "Audio/Converters/CAudioParamConverterTime.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

class TimeConverter : public ::testing::Test {
protected:
    void SetUp() override {
        info.setLayout(1, 0, false, false);
        time = tree.converter<CAudioParamConverterTime>("time");
        ASSERT_NE(time, nullptr);
        info.setRange(0, time->parseTextRaw(info, 0, CString("5"), nullptr),
                      time->parseTextRaw(info, 0, CString("10000"), nullptr));
    }
    CAudioParamConverterTime* make(AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.converters(), "audio:cvt-time", "t", attrs)), "");
        return dynamic_cast<CAudioParamConverterTime*>(object);
    }
    CParamTestTree tree;
    CAudioParamInfo info;
    CAudioParamConverterTime* time = nullptr;
};

TEST_F(TimeConverter, MillisecondTextsGiveSeconds) {
    EXPECT_DOUBLE_EQ(info.getMinimum(0), 0.005);
    EXPECT_DOUBLE_EQ(info.getMaximum(0), 10.0);
    EXPECT_NEAR(time->toDisplay(info, 0, 1.0), 10000.0, 1e-9);
    EXPECT_NEAR(time->toPlain(info, 0, 0.5), 0.005 + 9.995 * 0.25, 1e-12);   // square law
    EXPECT_NEAR(time->toNormalized(info, 0, 0.005 + 9.995 * 0.25), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(time->fromDisplay(info, 0, 20000.0), 1.0);
    bool ok = true;
    EXPECT_DOUBLE_EQ(time->parseText(info, 0, CString("none"), &ok), 0.005);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(time->parseTextRaw(info, 0, CString("none"), &ok), 0.0);
}

TEST_F(TimeConverter, FormatsDisplayUnits) {
    struct Case {
        int mode;
        double seconds;
        const char* text;
    } cases[] = {
        {kPrecisionNormal, 0.0025, "2.50"}, {kPrecisionNormal, 0.002, "2.00"}, {kPrecisionNormal, 0.05, "50.0"},
        {kPrecisionNormal, 0.5, "500"},     {kPrecisionCompact, 0.00004, "0"}, {kPrecisionCompact, 0.0025, "2.5"},
        {kPrecisionCompact, 0.5, "500"},    {kPrecisionCompact, 1.5, "1.5*"},  {kPrecisionCompact, 12.0, "12*"},
        {kPrecisionPrecise, 0.5, "500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.seconds << " s");
        EXPECT_EQ(textOf(time->formatValue(info, 0, nullptr, c.mode, c.seconds)), c.text);
    }
}

TEST_F(TimeConverter, ExactIsLinearAndShowsTwoMoreDecimals) {
    CAudioParamConverterTime* exact = make({{"scale", "0.001"}, {"is-exact", "true"}, {"is-precise", "true"}});
    ASSERT_NE(exact, nullptr);
    EXPECT_NEAR(exact->toPlain(info, 0, 0.5), 0.005 + 9.995 * 0.5, 1e-12);
    EXPECT_EQ(textOf(exact->formatValue(info, 0, nullptr, kPrecisionNormal, 0.5)), "500.000");
    EXPECT_EQ(textOf(exact->formatValue(info, 0, nullptr, kPrecisionCompact, 0.5)), "500");
}

TEST_F(TimeConverter, LogMappingIsGeometric) {
    CAudioParamConverterTime* log = make({{"scale", "0.001"}, {"is-log", "true"}});
    ASSERT_NE(log, nullptr);
    EXPECT_NEAR(log->toPlain(info, 0, 0.5), std::sqrt(0.005 * 10.0), 1e-12);
    EXPECT_NEAR(log->toNormalized(info, 0, std::sqrt(0.005 * 10.0)), 0.5, 1e-12);
}

TEST(CAudioParamConverterTime, ScaleMustBePositive) {
    CParamTestTree tree;
    for (const char* scale : {"0", "", "-1"}) {
        SCOPED_TRACE(scale);
        CObject* object = nullptr;
        const std::string expected = std::string("Invalid scale ") + (scale[0] == '-' ? "-1.0000" : "0.0000") + " specified.";
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.converters(), "audio:cvt-time", "t", {{"scale", scale}})),
                  expected);
    }
}

} // namespace
} // namespace tal
