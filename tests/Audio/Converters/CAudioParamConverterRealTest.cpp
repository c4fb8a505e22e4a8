#include "Audio/Converters/CAudioParamConverterReal.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

TEST(CAudioParamConverterReal, FormatsWithItsDecimalsAndClampsParsedValues) {
    CParamTestTree tree;
    auto* real = tree.converter<CAudioParamConverterReal>("real");
    ASSERT_NE(real, nullptr);
    CAudioParamInfo info;
    info.setRange(0, -20.0, 20.0);
    struct Case {
        int mode;
        double value;
        const char* text;
    } cases[] = {
        {kPrecisionNormal, 3.14159, "3.14"}, {kPrecisionPrecise, 3.14159, "3.14"}, {kPrecisionCompact, 3.14159, "3.1"},
        {kPrecisionCompact, 9.96, "10"},     {kPrecisionCompact, -12.34, "-12"},   {kPrecisionNormal, -0.004, "0.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.value);
        EXPECT_EQ(textOf(real->formatValue(info, 0, nullptr, c.mode, c.value)), c.text);
    }
    bool ok = false;
    EXPECT_DOUBLE_EQ(real->parseText(info, 0, CString("25"), &ok), 20.0);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(real->parseText(info, 0, CString("1e"), &ok), -20.0);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(real->parseTextRaw(info, 0, CString("1e"), &ok), 0.0);
    EXPECT_DOUBLE_EQ(real->toPlain(info, 0, 0.75), 10.0);
    EXPECT_DOUBLE_EQ(real->toNormalized(info, 0, 30.0), 1.25);   // not clamped
}

TEST(CAudioParamConverterReal, RejectsDecimalsOutsideZeroToTen) {
    CParamTestTree tree;
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.converters(), "audio:cvt-real", "r", {{"decimals", "12"}})),
              "Invalid decimals 12 specified.");
}

} // namespace
} // namespace tal
