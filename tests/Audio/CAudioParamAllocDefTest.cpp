#include "Audio/CAudioParamAllocDef.h"

#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

TEST(CAudioParamAllocDef, ChecksTheNameBeforeTheIndex) {
    CParamTestTree tree;
    struct Case {
        const char* name;
        AttrList attrs;
        const char* message;
    } cases[] = {
        {"no name", {{"index", "-1"}}, "Invalid parameter name specified."},
        {"negative index", {{"param-name", "freq"}, {"index", "-1"}}, "Invalid parameter's 'freq' index '-1' specified."},
        {"index 0", {{"param-name", "freq"}, {"index", "0"}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CObject* object = nullptr;
        CError* err = CParamTestTree::build(object, tree.audio(), "audio:param-alloc", c.name, c.attrs);
        if (err != nullptr) {
            EXPECT_EQ(textOf(err->line(err->lineCount() - 1)).find("Audio/CAudioParamAllocDef"), 0u);
        }
        EXPECT_EQ(takeMessage(err), c.message);
    }
}

TEST(CAudioParamAllocDef, ReadsTheSlotAndWatchFlags) {
    CParamTestTree tree;
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, tree.audio(), "audio:param-alloc", "a",
                                                {{"param-name", "^io-params.ms-pairs"},
                                                 {"index", "3"},
                                                 {"use-all-groups", "true"},
                                                 {"is-smooth-update", "1"}})),
              "");
    auto* def = dynamic_cast<CAudioParamAllocDef*>(object);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(textOf(def->getParamName()), "^io-params.ms-pairs");
    EXPECT_EQ(def->getIndex(), 3);
    EXPECT_TRUE(def->useAllGroups());
    EXPECT_FALSE(def->useAllElements());
    EXPECT_TRUE(def->isSmoothUpdate());
}

} // namespace
} // namespace tal
