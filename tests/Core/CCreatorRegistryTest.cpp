#include "Core/CCreatorRegistry.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CObjectScheme.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using namespace tal;
using ::testing::MatchesRegex;

namespace {

std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

CObject* createA() { return new CObject; }
CObject* createB() { return new CObject; }

CError* handlerBase(CObject*, CAttrValue*) { return nullptr; }
CError* handlerDerived(CObject*, CAttrValue*) { return nullptr; }

void initBase(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("offset-y")) = &handlerBase;
}

void initDerived(CObjectScheme* scheme) {
    initBase(scheme);
    scheme->addAttrHandler(CString("offset-y")) = &handlerDerived;  // replaces the inherited handler
}

} // namespace

TEST(CCreatorRegistry, SecondRegistrationOfATagFailsAndTheFirstStays) {
    CCreatorRegistry registry;
    CObjectScheme* first = registry.newScheme();
    ASSERT_EQ(registry.registerCreator(CString("ui:knob"), &createA, first), nullptr);
    CError* err = registry.registerCreator(CString("ui:knob"), &createB, registry.newScheme());
    ASSERT_NE(err, nullptr);
    ASSERT_EQ(err->lineCount(), 2);
    EXPECT_EQ(str(err->line(0)), "Creator for 'ui:knob' has already been registered.");
    EXPECT_THAT(str(err->line(1)), MatchesRegex("Core/[A-Za-z]+\\( [0-9]+ \\)"));
    delete err;
    const CCreatorEntry* entry = registry.find(CString("ui:knob"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->create, &createA);
    EXPECT_EQ(entry->scheme, first);
    EXPECT_EQ(registry.schemeCount(), 2);  // the refused scheme stays owned by the list
}

TEST(CCreatorRegistry, DuplicateInATableIsLoggedAndTheRestStillRegisters) {
    const CCreatorTableEntry table[] = {
        {"a:one", &createA, &CObject::initScheme},
        {"a:two", &createB, &CObject::initScheme},
        {"a:one", &createB, &CObject::initScheme},
        {"a:three", &createA, &CObject::initScheme},
        {"", nullptr, nullptr},
    };
    CCreatorRegistry registry;
    CLogCapture log;
    EXPECT_EQ(registry.registerTable(table), 1);
    for (const char* tag : {"a:one", "a:two", "a:three"}) {
        SCOPED_TRACE(tag);
        EXPECT_NE(registry.find(CString(tag)), nullptr);
    }
    EXPECT_EQ(registry.find(CString("a:one"))->create, &createA);
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);  // the message and two trace lines
    EXPECT_EQ(lines[0], "Creator for 'a:one' has already been registered.");
}

TEST(CCreatorRegistry, TagsAreExactAndCaseSensitive) {
    CCreatorRegistry registry;
    ASSERT_EQ(registry.registerCreator(CString("ui:knob"), &createA, registry.newScheme()), nullptr);
    EXPECT_EQ(registry.find(CString("ui:Knob")), nullptr);
    EXPECT_EQ(registry.find(CString("ui:kno")), nullptr);
    CString wide("ui:knob");
    wide.widen(wide.length());
    EXPECT_NE(registry.find(wide), nullptr);
}

TEST(CCreatorRegistry, EveryTagGetsItsOwnScheme) {
    const CCreatorTableEntry table[] = {
        {"ui:frame-base", &createA, &initBase},
        {"ui:shadow", &createA, &initBase},
        {"ui:multichange-display", &createA, &initDerived},
        {"", nullptr, nullptr},
    };
    CCreatorRegistry registry;
    ASSERT_EQ(registry.registerTable(table), 0);
    const CObjectScheme* frame = registry.find(CString("ui:frame-base"))->scheme;
    const CObjectScheme* shadow = registry.find(CString("ui:shadow"))->scheme;
    const CObjectScheme* derived = registry.find(CString("ui:multichange-display"))->scheme;
    EXPECT_NE(frame, shadow);
    EXPECT_EQ(frame->attrHandlers().count(), shadow->attrHandlers().count());
    EXPECT_EQ(frame->attrHandlers().find(CString("offset-y"))->value, &handlerBase);
    EXPECT_EQ(shadow->attrHandlers().find(CString("offset-y"))->value, &handlerBase);
    EXPECT_EQ(derived->attrHandlers().find(CString("offset-y"))->value, &handlerDerived);
    // Each scheme has the plain object's event.
    for (const CObjectScheme* s : {frame, shadow, derived}) {
        auto* node = s->eventHandlers().find(CString("release-child-bridged"));
        ASSERT_NE(node, nullptr);
        EXPECT_TRUE(node->value.hasArgs);
        EXPECT_NE(node->value.withArgs, nullptr);
        EXPECT_EQ(node->value.plain, nullptr);
    }
}
