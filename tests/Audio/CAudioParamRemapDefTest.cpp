#include "Audio/CAudioParamRemapDef.h"

#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tal {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(CAudioParamRemapDef, ReadsPairsFromAttributesAndContent) {
    CParamTestTree tree;
    struct Case {
        const char* name;
        AttrList attrs;
        std::vector<const char*> contents;
        const char* message;
        Pairs pairs;
    } cases[] = {
        {"attributes only", {{"orig", "pairs"}, {"new", "^io-params.ms-pairs"}}, {}, "", {{"pairs", "^io-params.ms-pairs"}}},
        {"blank separated", {}, {"a=b c=d"}, "", {{"a", "b"}, {"c", "d"}}},
        {"blanks around = without ;", {}, {"group-solo = ^io-params.channel-group-solo"},
         "Invalid remapping string 'group-solo = ^io-params.channel-group-solo' defined.", {}},
        {"semicolons", {}, {"group-solo = ^io-params.channel-group-solo; enable = ^bypass-enable;"}, "",
         {{"group-solo", "^io-params.channel-group-solo"}, {"enable", "^bypass-enable"}}},
        {"orig without new", {{"orig", "pairs"}}, {}, "No remappings defined.", {}},
        {"empty content skipped", {{"orig", "a"}, {"new", "b"}}, {""}, "", {{"a", "b"}}},
        {"three parts", {}, {"a=b=c;"}, "Invalid remapping string 'a=b=c;' defined.", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(tree.audio()->addChild(object, CString("audio:param-remap"), CString(c.name), false)), "");
        for (const auto& [key, value] : c.attrs)
            ASSERT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        ASSERT_EQ(takeMessage(object->init()), "");
        for (std::size_t i = 0; i < c.contents.size(); ++i) {
            CObject* content = nullptr;
            ASSERT_EQ(takeMessage(object->addChild(content, CString("content"), CString(int(i)), false)), "");
            if (c.contents[i][0] != 0) {
                ASSERT_EQ(takeMessage(content->setAttr(CString("value"), CString(c.contents[i]), false)), "");
            }
        }
        EXPECT_EQ(takeMessage(object->initChilds()), c.message);
        if (c.message[0] != 0)
            continue;
        Pairs got;
        for (const CAudioParamRemapPair& p : dynamic_cast<CAudioParamRemapDef*>(object)->getPairs())
            got.emplace_back(textOf(p.orig), textOf(p.replacement));
        EXPECT_EQ(got, c.pairs);
    }
}

} // namespace
} // namespace tal
