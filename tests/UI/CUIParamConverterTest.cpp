#include "UI/CUIParamConverter.h"

#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

using CUIParamConverterTest = CBindingTestTree;

// A converter under "ui" whose simple UI parameter holds value; writes "element" of "ui.target".
TEST_F(CUIParamConverterTest, WritesTheValuePlusTheIncrementIntoTheTarget) {
    const struct { const char* value; const char* incr; bool integer, ignoreNegative; bool written; double expected; } cases[] = {
        {"2.5", "-1", true, false, true, 2},      // 3 - 1: halves round away from zero
        {"-2.5", "-1", true, false, true, -4},
        {"-2.5", "-1", true, true, false, 0},
        {"0", "-1", true, false, true, -1},
        {"0.25", "0.5", false, false, true, 0.75},
        {"-0.75", "0.25", false, true, true, -0.5},  // real mode writes negative results
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " + " + c.incr);
        const std::string suffix = std::to_string(n++);
        CObject* target = CParamTestTree::plain(ui, ("target" + suffix).c_str());
        ASSERT_EQ(takeMessage(target->setIntAttr(CString("element"), 99, true)), "");
        const std::string targetPath = "ui.target" + suffix;
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:ui-param-converter", ("cvt" + suffix).c_str(),
                                                    {{"target", targetPath.c_str()},
                                                     {"attr", "element"},
                                                     {"incr", c.incr},
                                                     {"is-integer", c.integer ? "true" : ""},
                                                     {"is-ignore-negative", c.ignoreNegative ? "true" : ""}})),
                  "");
        CUIParam* param = addUIParam(object, "ui-param", {{"is-simple-attr", "true"}, {"simple-min-value", "-10"},
                                                          {"simple-max-value", "10"}});
        ASSERT_EQ(takeMessage(param->setAttr(CString("shared-attribute-value"), CString(c.value), true)), "");
        EXPECT_EQ(target->getDoubleAttr("element"), c.written ? c.expected : 99.0);
    }
}

TEST_F(CUIParamConverterTest, AMissingTargetIsAnError) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:ui-param-converter", "cvt",
                                                {{"target", "ui.nowhere"}, {"attr", "element"}})),
              "");
    CObject* param = nullptr;
    const std::string message =
        takeMessage(CParamTestTree::build(param, object, "ui:ui-param", "ui-param", {{"is-simple-attr", "true"}}));
    EXPECT_NE(message.find("ui.nowhere"), std::string::npos) << message;
}

} // namespace
} // namespace tal
