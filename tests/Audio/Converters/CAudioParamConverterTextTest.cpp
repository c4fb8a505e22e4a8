#include "Audio/Converters/CAudioParamConverterText.h"

#include "Audio/CAudioParamData.h"
#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

TEST(CAudioParamConverterText, ShowsTheStringItemOfTheId) {
    CParamTestTree tree;
    auto* text = tree.converter<CAudioParamConverterText>("text");
    ASSERT_NE(text, nullptr);
    CAudioParamInfo info;
    info.setRange(0, 0.0, 8388608.0);
    CAudioParamData items;
    const int left = items.addString(CString("Left"));
    const int raw = items.addEmptyRaw();
    EXPECT_EQ(textOf(text->formatValue(info, 0, &items, kPrecisionNormal, left)), "Left");
    EXPECT_EQ(textOf(text->formatValue(info, 0, &items, kPrecisionNormal, raw)), "");       // not a string item
    EXPECT_EQ(textOf(text->formatValue(info, 0, &items, kPrecisionNormal, 77.0)), "");      // absent id
    EXPECT_EQ(textOf(text->formatValue(info, 0, nullptr, kPrecisionNormal, left)), "");     // no table
    bool ok = false;
    EXPECT_DOUBLE_EQ(text->parseText(info, 0, CString("Right"), &ok), 0.0);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(text->isDiscrete());
}

} // namespace
} // namespace tal
