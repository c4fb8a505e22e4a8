#include "Other/CColorSwatch.h"

#include "Core/CCreatorRegistry.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
} // namespace tal
