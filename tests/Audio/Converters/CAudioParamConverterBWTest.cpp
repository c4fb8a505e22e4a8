#include "Audio/Converters/CAudioParamConverterBW.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

TEST(CAudioParamConverterBW, SquareLawMappingParsingAndFormatting) {
    CParamTestTree tree;
    auto* bw = tree.converter<CAudioParamConverterBW>("bw");
    ASSERT_NE(bw, nullptr);
    CAudioParamInfo info;
    info.setRange(0, 0.01, 7.0);
    EXPECT_NEAR(bw->toPlain(info, 0, 0.5), 0.01 + 6.99 * 0.25, 1e-12);
    EXPECT_NEAR(bw->toNormalized(info, 0, 0.01 + 6.99 * 0.25), 0.5, 1e-12);
    bool ok = true;
    EXPECT_DOUBLE_EQ(bw->parseTextRaw(info, 0, CString("wide"), &ok), 0.001);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(bw->parseText(info, 0, CString("wide"), &ok), 0.01);
    EXPECT_DOUBLE_EQ(bw->parseText(info, 0, CString("9"), &ok), 7.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(textOf(bw->formatValue(info, 0, nullptr, kPrecisionNormal, 1.5)), "1.50");
    EXPECT_EQ(textOf(bw->formatValue(info, 0, nullptr, kPrecisionCompact, 1.5)), "1.50");
    EXPECT_EQ(textOf(bw->formatValue(info, 0, nullptr, kPrecisionPrecise, 1.5)), "1.500");
    EXPECT_EQ(textOf(bw->getLabel()), "Oct");
}

} // namespace
} // namespace tal
