// The caption: its attributes, its measured compact size at scale 1 and 2, fixed sizes, the title
// event, font errors and the shadow colour.
#include "UI/Controls/CCaption.h"

#include "Core/CAttrValue.h"
#include "Core/CCreatorRegistry.h"
#include "Other/CFont.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/StreamTestHelpers.h"
#include "support/StubTextFont.h"
#include "support/TempFolder.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

class CCaptionTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            if (CCreatorRegistry::instance().find(CString("font")) == nullptr)
                CCreatorRegistry::instance().registerTable(kResourceCreatorTable);
            return CCreatorRegistry::instance().find(CString("ui:caption")) != nullptr ||
                   CCreatorRegistry::instance().registerTable(kControlCreatorTable) == 0;
        }();
        ASSERT_TRUE(registered);
        CFont font;
        fillStubFont(font);
        ASSERT_EQ(test::takeMessage(font.save(CString(folder.file("stub.fnt").c_str()))), "");
        stubFont = addFont("stub");
        window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
    }

    CFontObject* addFont(const char* name) {
        CObject* family = nullptr;
        EXPECT_EQ(test::takeMessage(ui->addChild(family, CString("font"), CString(name), false)), "");
        CObject* style = nullptr;
        EXPECT_EQ(test::takeMessage(family->addChild(style, CString("core:object"), CString("regular"), false)), "");
        EXPECT_EQ(test::takeMessage(style->setAttr(CString("is-font-style"), CString("true"), true)), "");
        EXPECT_EQ(test::takeMessage(style->setAttr(CString("file"), CString(folder.file("stub.fnt").c_str()), true)), "");
        EXPECT_EQ(test::takeMessage(family->initChilds()), "");
        return dynamic_cast<CFontObject*>(family);
    }

    CCaption* caption(const char* name, Attrs attrs) {
        auto* view = dynamic_cast<CCaption*>(build(window, name, attrs, "ui:caption"));
        EXPECT_NE(view, nullptr);
        return view;
    }

    test::TempFolder folder;
    CFontObject* stubFont = nullptr;
    CView* window = nullptr;
};

TEST_F(CCaptionTest, CompactSizeIsTheMeasuredTextAtTheWindowScale) {
    CCaption* c = caption("c", {{"width", "compact"}, {"height", "compact"}, {"font-name", "ui.stub"}, {"title", "Gain"}});
    finish(window);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(takeError(), "");
    for (double scale : {1.0, 2.0}) {
        window->area()->setWindowScale(scale, scale);
        ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
        double w = 0.0, h = 0.0;
        c->getTextSize(w, h, false);
        ASSERT_GT(w, 0.0);
        EXPECT_DOUBLE_EQ(c->getDoubleAttr("compact-width"), w / scale) << scale;
        EXPECT_DOUBLE_EQ(c->getDoubleAttr("compact-height"), std::ceil(h) / scale) << scale;
        EXPECT_DOUBLE_EQ(c->captionText().scale, scale);
    }
}

TEST_F(CCaptionTest, FixedSizesAreKept) {
    CCaption* c = caption("c", {{"width", "30"}, {"height", "12"}, {"font-name", "ui.stub"}, {"title", "A long title"}});
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(text(c->getTextAttr("compact-width")), "30");
    EXPECT_EQ(text(c->getTextAttr("compact-height")), "12");
    ASSERT_EQ(test::takeMessage(c->setAttr(CString("title"), CString("Other"), true)), "");
    EXPECT_EQ(text(c->getTextAttr("compact-width")), "30");
}

TEST_F(CCaptionTest, TitleChangedOnlyWhenTheTextChanges) {
    CCaption* c = caption("c", {{"width", "compact"}, {"height", "compact"}, {"font-name", "ui.stub"}, {"title", "Q"}});
    ASSERT_NE(c, nullptr);
    CEventTestObject* listener = addListener(ui, "listener");
    listener->listenObject(c->getFullName(), CString("title-changed"), CString("on"));
    CEventTestObject::journal().clear();
    ASSERT_EQ(test::takeMessage(c->setAttr(CString("title"), CString("Q"), true)), "");
    EXPECT_TRUE(CEventTestObject::journal().empty());
    const double before = c->getDoubleAttr("compact-width");
    ASSERT_EQ(test::takeMessage(c->setAttr(CString("title"), CString("QQQ"), true)), "");
    EXPECT_EQ(CEventTestObject::journal(), (std::vector<std::string>{"listener:title-changed"}));
    EXPECT_GT(c->getDoubleAttr("compact-width"), before);
}

TEST_F(CCaptionTest, AlignmentWords) {
    struct Case {
        const char* h;
        const char* v;
        std::int32_t alignH, alignV;
    };
    const Case cases[] = {{"right", "bottom", 1, 1}, {"center", "center", 0, 0}, {"left", "top", -1, -1},
                          {"middle", "middle", -1, -1}, {"justify", "", -1, -1}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "c" + std::to_string(n++);
        CCaption* view = caption(name.c_str(), {{"text-alignment", "center"}, {"text-alignment-v", "center"}});
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(test::takeMessage(view->setAttr(CString("text-alignment"), CString(c.h), true)), "");
        ASSERT_EQ(test::takeMessage(view->setAttr(CString("text-alignment-v"), CString(c.v), true)), "");
        EXPECT_EQ(view->captionText().alignH, c.alignH) << c.h;
        EXPECT_EQ(view->captionText().alignV, c.alignV) << c.v;
    }
}

TEST_F(CCaptionTest, FontErrorsKeepThePreviousFont) {
    CCaption* c = caption("c", {{"font-name", "ui.stub"}, {"title", "x"}});
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(test::takeMessage(c->setAttr(CString("font-name"), CString(""), true)), "Attribute 'font-name' is empty");
    EXPECT_EQ(test::takeMessage(c->setAttr(CString("font-name"), CString("ui.window"), true)),
              "Font 'ui.window' not found.");
    EXPECT_EQ(c->captionText().fontObject, stubFont);
    CCaption* none = caption("none", {{"title", "x"}});
    ASSERT_NE(none, nullptr);
    EXPECT_FALSE(none->prepareDraw());
}

TEST_F(CCaptionTest, ShadowColourTakesTheSecondName) {
    CCaption* plain = caption("plain", {{"text-color", "/Text"}});
    CCaption* shadowed = caption("shadowed", {{"text-color", "/Text"}, {"shadow-color", "/Shadow"}});
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(shadowed, nullptr);
    EXPECT_EQ(plain->captionText().shadowColorIndex, -1);
    EXPECT_EQ(plain->colorTable()->colorNames().count(), 1);
    EXPECT_EQ(shadowed->captionText().shadowColorIndex, 1);
    ASSERT_EQ(shadowed->colorTable()->colorNames().count(), 2);
    EXPECT_EQ(text(shadowed->colorTable()->colorNames()[0]), "/Text");
    EXPECT_EQ(text(shadowed->colorTable()->colorNames()[1]), "/Shadow");
}

} // namespace
} // namespace tal
