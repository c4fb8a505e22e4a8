#include "Audio/CAudioParamSharedStorage.h"

#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

TEST(CAudioParamSharedStorage, ChecksParamDataNameAndStorageTypeInOrder) {
    CParamTestTree tree;
    using Scope = CAudioParamSharedStorage::Scope;
    struct Case {
        const char* name;
        AttrList attrs;
        const char* message;
        Scope scope;
    } cases[] = {
        {"no param, no data name", {{"storage-type", "local"}}, "Invalid parameter name specified.", Scope::kLocal},
        {"no data name", {{"param", "mode-name"}, {"storage-type", "bad"}}, "Invalid shared data name specified.",
         Scope::kLocal},
        {"capital Local", {{"param", "mode-name"}, {"data-name", "uicolor-name"}, {"storage-type", "Local"}},
         "Invalid storage type \"Local\" specified.", Scope::kLocal},
        {"local", {{"param", "p"}, {"data-name", "d"}, {"storage-type", "local"}}, "", Scope::kLocal},
        {"group", {{"param", "p"}, {"data-name", "d"}, {"storage-type", "group"}}, "", Scope::kGroup},
        {"global", {{"param", "p"}, {"data-name", "d"}, {"storage-type", "global"}}, "", Scope::kGlobal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.audio(), "audio:param-shared-storage", c.name, c.attrs)),
                  c.message);
        if (c.message[0] == 0) {
            EXPECT_EQ(dynamic_cast<CAudioParamSharedStorage*>(object)->getScope(), c.scope);
        }
    }
}

} // namespace
} // namespace tal
