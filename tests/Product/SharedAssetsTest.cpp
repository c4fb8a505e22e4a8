// Loads the product's shared description with its embedded fonts and image sets as the plug-in
// does: every font family and image set of the description loads, with the styles it declares.
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CResourceMap.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"
#include "support/ProductStart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

extern const tal::CResourceEntry productTestResources[];

namespace tal {
namespace {

class SharedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::vector<std::string> lines;
        sStartError = startProductApplication(productTestResources, lines);
        // Other suites of this program may have registered the tables already: those refusals are
        // not faults of the assets.
        for (const std::string& line : lines)
            if (line.find("registered") == std::string::npos &&
                (line.find("font") != std::string::npos || line.find("image") != std::string::npos ||
                 line.find("Gfx") != std::string::npos))
                sLogErrors.push_back(line);
    }
    static void TearDownTestSuite() { CApplication::finishApplication(); }

    static CObject* find(const std::string& path) {
        const CObject* shared = CApplication::sharedObject();
        return shared != nullptr ? shared->findObject(CString(path.c_str())) : nullptr;
    }

    static inline bool sStartError = false;
    static inline std::vector<std::string> sLogErrors;
};

TEST_F(SharedAssets, EveryFamilyLoadsTheStylesItDeclares) {
    EXPECT_FALSE(sStartError);
    for (const std::string& line : sLogErrors)
        ADD_FAILURE() << line;
    const std::map<std::string, std::vector<int>> families = {
        {"base", {CFontObject::kBold, CFontObject::kRegular, CFontObject::kSuperscript}},
        {"micro", {CFontObject::kRegular}},
        {"micro-sm", {CFontObject::kRegular}},
        {"micro-sm2", {CFontObject::kRegular}},
        {"small", {CFontObject::kRegular}},
        {"title", {CFontObject::kRegular}},
        {"compact", {CFontObject::kRegular, CFontObject::kSuperscript}},
    };
    const CObject* fonts = find("font");
    ASSERT_NE(fonts, nullptr);
    EXPECT_EQ(fonts->childCount(), int(families.size()));
    for (const auto& [name, styles] : families) {
        SCOPED_TRACE(name);
        const auto* family = dynamic_cast<const CFontObject*>(find("font." + name));
        ASSERT_NE(family, nullptr);
        for (int slot = 0; slot < CFontObject::kStyleCount; ++slot) {
            const bool declared = std::find(styles.begin(), styles.end(), slot) != styles.end();
            const CFont* font = family->font(slot);
            ASSERT_EQ(font != nullptr, declared) << slot;
            if (declared) {
                EXPECT_GT(font->ascent(), 0.0);
                ASSERT_NE(font->image(CFont::kFallbackGlyph), nullptr);
                ASSERT_NE(font->image('A'), nullptr);
                EXPECT_EQ(font->image('A')->layer(0)->channels(), 1);
            }
        }
    }
    EXPECT_EQ(dynamic_cast<const CFontObject*>(find("font.base"))->font(CFontObject::kRegular)->ascent(), 14.5);
    EXPECT_EQ(dynamic_cast<const CFontObject*>(find("font.title"))->font(CFontObject::kRegular)->ascent(), 16.625);
}

TEST_F(SharedAssets, EveryImageSetLoadsAndCaptionReferencesResolve) {
    const CObject* sets = find("is");
    ASSERT_NE(sets, nullptr);
    ASSERT_GT(sets->childCount(), 0);
    for (int i = 0; i < sets->childCount(); ++i) {
        const auto* object = dynamic_cast<const CImageSetObject*>(sets->child(i));
        ASSERT_NE(object, nullptr) << i;
        ASSERT_NE(object->imageSet(), nullptr) << object->getFullName().narrowed().chars8();
        EXPECT_GT(object->imageSet()->imageCount(), 0);
    }
    const auto* button = dynamic_cast<const CImageSetObject*>(find("is.button"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(CImageSetObject::findImage(CString("is.button"), CString("ArrowSm"), true), button->imageSet()->image(33));
    EXPECT_EQ(CImageSetObject::findImage(CString("is.button"), CString(""), true), button->imageSet()->image(1));
    for (const char* range : {"ListArrow", "HR", "IconRMB", "IconCMD", "Color"})
        EXPECT_NE(CImageSetObject::findImage(CString("is.button"), CString(range), false), nullptr) << range;
    // The loaded pixels are used in place inside the set's unpacked body.
    EXPECT_TRUE(button->imageSet()->image(1)->layer(0)->isInPlace());
}

} // namespace
} // namespace tal
