#include "Audio/Converters/CAudioParamConverterPercent.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

class PercentConverter : public ::testing::Test {
protected:
    void SetUp() override {
        info.setLayout(1, 0, false, false);
        percent = tree.converter<CAudioParamConverterPercent>("percent");
        ASSERT_NE(percent, nullptr);
        // The range texts "50" and "95" are read with the raw parser.
        info.setRange(0, percent->parseTextRaw(info, 0, CString("50"), nullptr),
                      percent->parseTextRaw(info, 0, CString("95"), nullptr));
    }
    CParamTestTree tree;
    CAudioParamInfo info;
    CAudioParamConverterPercent* percent = nullptr;
};

TEST_F(PercentConverter, RangeTextsAreInPercent) {
    EXPECT_DOUBLE_EQ(info.getMinimum(0), 0.5);
    EXPECT_DOUBLE_EQ(info.getMaximum(0), 0.95);
    EXPECT_NEAR(percent->toDisplay(info, 0, 1.0), 95.0, 1e-12);
    EXPECT_NEAR(percent->fromDisplay(info, 0, 72.5), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(percent->fromDisplay(info, 0, 200.0), 1.0);
}

TEST_F(PercentConverter, FormatsAndParsesPercent) {
    EXPECT_EQ(textOf(percent->formatValue(info, 0, nullptr, kPrecisionNormal, 0.5)), "50.0");
    EXPECT_EQ(textOf(percent->formatValue(info, 0, nullptr, kPrecisionCompact, 0.5)), "50");
    EXPECT_EQ(textOf(percent->formatValue(info, 0, nullptr, kPrecisionPrecise, 0.6666)), "66.7");
    bool ok = false;
    EXPECT_DOUBLE_EQ(percent->parseText(info, 0, CString("120"), &ok), 0.95);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(percent->parseText(info, 0, CString("x"), &ok), 0.5);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(percent->parseTextRaw(info, 0, CString("x"), &ok), 0.0);
    EXPECT_NEAR(percent->parseTextRaw(info, 0, CString("120"), &ok), 1.2, 1e-15);
}

TEST_F(PercentConverter, SwitchNameReplacesItsValue) {
    info.parseSwitchValues(CString("0.5"), CString("Auto"));
    EXPECT_EQ(textOf(percent->formatValue(info, 0, nullptr, kPrecisionNormal, 0.5)), "Auto");
    EXPECT_DOUBLE_EQ(percent->parseText(info, 0, CString("Auto"), nullptr), 0.5);
    EXPECT_DOUBLE_EQ(percent->parseText(info, 0, CString("auto"), nullptr), 0.5);   // not the name: the minimum
}

} // namespace
} // namespace tal
