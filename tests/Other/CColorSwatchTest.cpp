#include "Other/CColorSwatch.h"

#include "Core/CCreatorRegistry.h"
#include "UI/Controls/ControlCreators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

TEST(CColorSwatch, LaterEntriesReplaceEarlierOnesAndOtherChildrenAreIgnored) {
    auto* swatchObject = new CColorSwatch;
    CColorSwatch& swatch = *swatchObject;
    swatch.initRoot(nullptr);
    struct Entry {
        const char* isColor;
        int index;
        const char* color;
    };
    const Entry entries[] = {{"true", 2, "band-a"}, {"true", 0, "background"}, {nullptr, 1, "ignored"},
                             {"true", 2, "band-b"}};
    for (const Entry& e : entries) {
        CObject* child = nullptr;
        ASSERT_EQ(swatch.addChild(child, CString("core:object"), CString("entry"), false), nullptr);
        if (e.isColor != nullptr) {
            ASSERT_EQ(child->setAttr(CString("is-color"), CString(e.isColor), false), nullptr);
        }
        ASSERT_EQ(child->setAttr(CString("index"), CString(e.index), false), nullptr);
        ASSERT_EQ(child->setAttr(CString("color"), CString(e.color), false), nullptr);
    }
    ASSERT_EQ(swatch.initChilds(), nullptr);
    EXPECT_EQ(swatch.count(), 2);
    EXPECT_EQ(str(swatch.colorName(2)), "band-b");
    EXPECT_EQ(str(swatch.colorName(0)), "background");
    EXPECT_EQ(str(swatch.colorName(1)), "");
    swatchObject->release();
}

TEST(CColorSwatch, IsColorFalseAndEmptySwatchesHoldNoNames) {
    struct Case { std::vector<const char*> isColor; int count; };
    const Case cases[] = {{{}, 0}, {{"false"}, 0}, {{"0", "true"}, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.isColor.size());
        auto* swatch = new CColorSwatch;
        swatch->initRoot(nullptr);
        int index = 0;
        for (const char* flag : c.isColor) {
            CObject* child = nullptr;
            ASSERT_EQ(swatch->addChild(child, CString("core:object"), CString("entry"), false), nullptr);
            ASSERT_EQ(child->setAttr(CString("is-color"), CString(flag), false), nullptr);
            ASSERT_EQ(child->setAttr(CString("index"), CString(index), false), nullptr);
            ASSERT_EQ(child->setAttr(CString("color"), CString("Custom1"), false), nullptr);
            ++index;
        }
        ASSERT_EQ(swatch->initChilds(), nullptr);
        EXPECT_EQ(swatch->count(), c.count);
        EXPECT_EQ(str(swatch->colorName(0)), "");   // a knob finds no colour here
        swatch->release();
    }
}

TEST(CColorSwatch, TheTagMakesASwatch) {
    CCreatorRegistry::instance().registerTable(kControlCreatorTable);
    const CCreatorEntry* entry = CCreatorRegistry::instance().find(CString("ui:color-swatch"));
    ASSERT_NE(entry, nullptr);
    CObject* object = entry->create();
    EXPECT_NE(dynamic_cast<CColorSwatch*>(object), nullptr);
    object->initRoot(nullptr);
    object->release();
}

} // namespace
} // namespace tal
