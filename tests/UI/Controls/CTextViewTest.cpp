// The text view: its attributes, its text sources (value list, single value, dynamic list with
// disabled and selected items, its own paragraph children), refills that keep what did not change,
// the title, fonts, tab groups, the selection check, the compact size and the clipboard.
#include "UI/Controls/CTextView.h"

#include "Core/CAttrValue.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Other/CFont.h"
#include "UI/BindingCreators.h"
#include "UI/CDynListObject.h"
#include "UI/CValueList.h"
#include "UI/Controls/CTextWrapper.h"
#include "UI/Controls/ControlCreators.h"
#include "support/StreamTestHelpers.h"
#include "support/StubTextFont.h"
#include "support/ViewTestTree.h"
#include "support/WindowTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

// "test:dynlist": a dynamic list whose root list holds `items`; the items named in `disabled` are
// disabled, `selected` is the selected index and item `subListItem` opens list 7.
class CTestDynList : public CDynListObject {
public:
    static CObject* create() { return new CTestDynList; }
    void getItems(std::int32_t listId, CStringList& out) override {
        if (listId != 0) return;
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            out.add(items[i].c_str());
            bool off = false;
            for (int d : disabled) off = off || d == i;
            setCacheEntry(listId, i, i, off);
        }
    }
    std::int32_t getSelectedIndex(std::int32_t) override { return selected; }
    std::int32_t getSubListId(std::int32_t listId, std::int32_t index) override {
        if (listId == -1) return 0;
        return index == subListItem ? 7 : -1;
    }
    std::vector<std::string> items;
    std::vector<int> disabled;
    std::int32_t selected = -1;
    std::int32_t subListItem = -1;
};

class CTextViewTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:dynlist", &CTestDynList::create, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(kBindingCreatorTable);   // may be registered already
            CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        fillStubFont(font);
        window = beginWindow("window", {{"width", "200"}, {"height", "300"}});
    }

    // A text view begun under the window with the stub font set before its text is filled.
    CTextView* textView(const char* name, Attrs attrs) {
        auto* view = dynamic_cast<CTextView*>(begin(window, name, attrs, "ui:textview"));
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        view->textWrapper()->setFont(3, &font);
        finish(view);
        return view;
    }
    CValueList* valueList(const char* name, std::initializer_list<const char*> items) {
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(ui->addChild(object, CString("ui:value-list-manual"), CString(name), false)), "");
        auto* list = dynamic_cast<CValueList*>(object);
        EXPECT_NE(list, nullptr);
        EXPECT_EQ(test::takeMessage(list->init()), "");
        setItems(list, items);
        return list;
    }
    static void setItems(CValueList* list, std::initializer_list<const char*> items) {
        CStringList texts;
        for (const char* item : items) texts.add(item);
        EXPECT_EQ(test::takeMessage(list->setItems(texts)), "");
    }
    CTestDynList* dynList(const char* name) {
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(ui->addChild(object, CString("test:dynlist"), CString(name), false)), "");
        return dynamic_cast<CTestDynList*>(object);
    }
    // The shown texts of the paragraphs.
    static std::vector<std::string> shown(const CTextView& view) {
        std::vector<std::string> out;
        const CTextWrapper& w = *view.textWrapper();
        for (int i = 0; i < w.paragraphCount(); ++i) out.push_back(text(w.paragraph(i).text));
        return out;
    }
    // Records the view's events of the given names in the journal as "listener:<event>".
    void listenTo(CTextView* view, std::initializer_list<const char*> events) {
        CEventTestObject* listener = addListener(ui, "listener");
        for (const char* event : events) listener->listenObject(view->getFullName(), CString(event), CString("on"));
        CEventTestObject::journal().clear();
    }

    CFont font;
    CView* window = nullptr;
};

TEST_F(CTextViewTest, ValueListSourcesCutAtSeparatorOrShowOneValue) {
    valueList("colors", {"Red;1", "Green;2", "a;b;c"});
    struct Case {
        const char* single;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"-1", {"Red", "Green", "a;b"}},
        {"1", {"Green"}},
        {"5", {""}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "list" + std::to_string(n++);
        CTextView* view = textView(name.c_str(), {{"text-source", "ui.colors"}, {"separator-char", ";"},
                                                  {"text-source-single-value", c.single}, {"allow-no-paragraphs", "true"}});
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(takeError(), "");
        EXPECT_EQ(shown(*view), c.expected) << "single value " << c.single;
        EXPECT_EQ(view->sourceItems().count(), 3);
    }
}

TEST_F(CTextViewTest, DynamicListMarksDisabledItemsAndTheActiveOne) {
    CTestDynList* list = dynList("items");
    list->items = {"zero", "one", "two", "three"};
    list->disabled = {2};
    list->selected = 3;
    CTextView* view = textView("list", {{"text-source", "ui.items"}, {"allow-no-paragraphs", "true"},
                                        {"is-paragraph-selectable", "true"}});
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(takeError(), "");
    CTextWrapper& w = *view->textWrapper();
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"zero", "one", "two", "three"}));
    EXPECT_EQ(text(w.paragraph(2).sourceText), "[N/A]two");
    EXPECT_TRUE(w.paragraph(2).disabled);
    EXPECT_FALSE(w.paragraph(1).disabled);
    EXPECT_EQ(w.activeParagraph, 3);
    // A disabled paragraph cannot be selected.
    w.setSelectedParagraph(1);
    w.setSelectedParagraph(2);
    EXPECT_EQ(w.selectedParagraph, 1);

    // The item becomes enabled again: the paragraph follows, although its shown text is the same.
    list->disabled = {};
    ASSERT_EQ(test::takeMessage(list->notifyListUpdated()), "");
    EXPECT_EQ(text(w.paragraph(2).sourceText), "two");
    EXPECT_FALSE(w.paragraph(2).disabled);
    w.setSelectedParagraph(2);
    EXPECT_EQ(w.selectedParagraph, 2);
}

TEST_F(CTextViewTest, RefillRewritesOnlyChangedParagraphsAndKeepsTheSelection) {
    CValueList* list = valueList("names", {"alpha", "beta", "gamma", "delta", "epsilon"});
    CTextView* view = textView("list", {{"text-source", "ui.names"}, {"allow-no-paragraphs", "true"},
                                        {"is-paragraph-selectable", "true"}, {"selected-paragraph", "1"}});
    ASSERT_NE(view, nullptr);
    CTextWrapper& w = *view->textWrapper();
    w.setAvailableWidth(200.0);
    w.updateLayout();
    ASSERT_EQ(w.selectedParagraph, 1);
    // Marks on the laid-out lines: a paragraph wrapped again gets new lines without them.
    for (int i = 0; i < 3; ++i) w.paragraphs[i]->lines[0]->firstChar = 777;
    listenTo(view, {"text-source-updated"});

    setItems(list, {"alpha", "beta", "GAMMA"});
    w.updateLayout();
    EXPECT_EQ(w.paragraph(0).lines[0]->firstChar, 777);
    EXPECT_EQ(w.paragraph(1).lines[0]->firstChar, 777);
    EXPECT_EQ(w.paragraph(2).lines[0]->firstChar, 0);
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"alpha", "beta", "GAMMA"}));
    EXPECT_EQ(w.selectedParagraph, 1);
    EXPECT_EQ(CEventTestObject::journal(), (std::vector<std::string>{"listener:text-source-updated"}));
}

TEST_F(CTextViewTest, EmptySourceDisablesTheViewAndShowsTheNoItemsTitle) {
    CValueList* list = valueList("names", {"one", "two"});
    CTextView* view = textView("list", {{"text-source", "ui.names"}, {"allow-no-paragraphs", "true"},
                                        {"no-items-title", "<no items>"}});
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->getIntAttr("is-disabled"), 0);

    setItems(list, {});
    EXPECT_TRUE(view->showsNoItems());
    EXPECT_EQ(view->getIntAttr("is-disabled"), 1);
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"<no items>"}));

    setItems(list, {"back"});
    EXPECT_FALSE(view->showsNoItems());
    EXPECT_EQ(view->getIntAttr("is-disabled"), 0);
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"back"}));
}

TEST_F(CTextViewTest, ParagraphChildrenFillAViewWithoutSource) {
    CTextView* view = dynamic_cast<CTextView*>(begin(window, "list", {}, "ui:textview"));
    ASSERT_NE(view, nullptr);
    for (const char* content : {"first", "second"}) {
        CObject* p = nullptr;
        ASSERT_EQ(test::takeMessage(view->addChild(p, CString("ui:textview-p"), CString(content), false)), "");
        ASSERT_EQ(test::takeMessage(p->setAttr(CString("content"), CString(content), false)), "");
    }
    finish(view);
    EXPECT_EQ(takeError(), "");
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"first", "second"}));
}

TEST_F(CTextViewTest, TitleReplacesTheTextOnlyWhenItChanges) {
    CTextView* view = textView("label", {{"title", "Hello"}});
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"Hello"}));
    listenTo(view, {"title-changed"});
    ASSERT_EQ(test::takeMessage(view->setAttr(CString("title"), CString("Hello"), true)), "");
    EXPECT_TRUE(CEventTestObject::journal().empty());
    ASSERT_EQ(test::takeMessage(view->setAttr(CString("title"), CString("World"), true)), "");
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"World"}));
    EXPECT_EQ(CEventTestObject::journal(), (std::vector<std::string>{"listener:title-changed"}));
}

TEST_F(CTextViewTest, AlignmentsAndEditFlagsReadAsDocumented) {
    struct Case {
        const char* h;
        const char* v;
        std::int32_t alignment, vertical;
    };
    const Case cases[] = {
        {"left", "top", 1, 1},    {"right", "bottom", 2, 0}, {"justify", "middle", 3, 0},
        {"center", "center", 0, 0}, {"middle", "top", 0, 1},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "label" + std::to_string(n++);
        CTextView* view = textView(name.c_str(), {{"title", "x"}, {"text-alignment", c.h}, {"text-alignment-v", c.v}});
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->textWrapper()->textAlignment, c.alignment) << c.h;
        EXPECT_EQ(view->textWrapper()->verticalAlignment, c.vertical) << c.v;
    }
    CTextView* dbl = textView("dbl", {{"title", "x"}, {"is-editbox-on-dblclick", "true"},
                                      {"is-editbox-on-click", "true"}, {"is-editbox-on-singleclick", "true"}});
    ASSERT_NE(dbl, nullptr);
    EXPECT_TRUE(dbl->editOnDblClick());
    EXPECT_FALSE(dbl->editOnClick());
    EXPECT_FALSE(dbl->editOnSingleClick());
}

TEST_F(CTextViewTest, FontNameErrors) {
    CTextView* view = textView("label", {{"title", "x"}});
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(test::takeMessage(view->setAttr(CString("font-name"), CString(""), true)),
              "Attribute 'font-name' is empty");
    EXPECT_EQ(test::takeMessage(view->setAttr(CString("font-name"), CString("ui.nofont"), true)),
              "Font 'ui.nofont' not found.");
    // The wrapper keeps the font it had.
    EXPECT_EQ(view->textWrapper()->fonts[3], &font);
}

TEST_F(CTextViewTest, TabGroupListsItsMembersInInitOrder) {
    CObject* placeholder = nullptr;
    ASSERT_EQ(test::takeMessage(root->addChild(placeholder, CString("template"), CString("ui:value-list-manual"), false)), "");
    placeholder->setTemplateBody(new CAttrTemplateBody("ui:value-list-manual", {}));
    root->addTemplate(CString("ui:value-list-manual"), placeholder);
    CTextView* x = textView("x", {{"title", "x"}, {"tab-group", "a.b#c"}, {"value-list-manual-tag", "ui:value-list-manual"}});
    CTextView* y = textView("y", {{"title", "y"}, {"tab-group", "a.b#c"}, {"value-list-manual-tag", "ui:value-list-manual"}});
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(takeError(), "");
    EXPECT_EQ(text(x->tabGroup()), ".tab-group-value-list-a--b--c");
    auto* list = dynamic_cast<CValueList*>(window->findObject(x->tabGroup()));
    ASSERT_NE(list, nullptr);
    const std::string yName = text(y->getFullName());
    ASSERT_EQ(list->itemCount(), 2);
    EXPECT_EQ(text(list->itemText(0)), text(x->getFullName()));
    EXPECT_EQ(text(list->itemText(1)), yName);
    x->release();
    ASSERT_EQ(list->itemCount(), 1);
    EXPECT_EQ(text(list->itemText(0)), yName);
}

TEST_F(CTextViewTest, MaxItemCountSetsTheMaxTextHeight) {
    CTextView* view = textView("list", {{"title", "x"}, {"max-item-count", "5"}, {"paragraph-spacing", "2"}});
    ASSERT_NE(view, nullptr);
    // Ascent 10 and descent 3 at scale 1: six rows of 13 and five spacings of 2.
    EXPECT_NEAR(view->maxTextHeight(), 6 * 13.0 + 5 * 2.0, 0.05);
}

TEST_F(CTextViewTest, ClampSelectionNotifiesAndSelectsTheLastParagraph) {
    valueList("names", {"a", "b", "c", "d"});
    CTextView* view = textView("list", {{"text-source", "ui.names"}, {"allow-no-paragraphs", "true"},
                                        {"is-paragraph-selectable", "true"}});
    ASSERT_NE(view, nullptr);
    CTextWrapper& w = *view->textWrapper();
    w.selectedParagraph = 7;
    listenTo(view, {"selected-paragraph-changed"});
    EXPECT_EQ(test::takeMessage(view->clampSelection(true)), "");
    EXPECT_EQ(w.selectedParagraph, 3);
    EXPECT_EQ(CEventTestObject::journal(), (std::vector<std::string>{"listener:selected-paragraph-changed"}));

    w.clearParagraphs();
    w.selectedParagraph = -1;
    CEventTestObject::journal().clear();
    EXPECT_EQ(test::takeMessage(view->clampSelection(true)), "");
    EXPECT_TRUE(CEventTestObject::journal().empty());
    EXPECT_EQ(w.selectedParagraph, -1);
}

TEST_F(CTextViewTest, CompactSizeFollowsTheText) {
    struct Case {
        const char* readOnly;
        double extra;
    };
    for (const Case& c : {Case{"true", 0.0}, Case{"false", 2.0}}) {
        const std::string name = std::string("field-") + c.readOnly;
        CTextView* view = textView(name.c_str(), {{"title", "ab cd"}, {"is-read-only", c.readOnly}});
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(test::takeMessage(view->updateCompactSize()), "");
        // Five glyphs of 7.5 on whole pixels; one line of ascent 10 + descent 3.
        const double width = view->getDoubleAttr("compact-width") - c.extra;
        EXPECT_GE(width, 36.0);
        EXPECT_LE(width, 38.0);
        EXPECT_DOUBLE_EQ(view->getDoubleAttr("compact-height"), 13.0);
    }
}

TEST_F(CTextViewTest, PasteReplacesTheWholeTextReadOnlyOrNot) {
    CTextView* readout = textView("readout", {{"title", "1.00 kHz"}, {"is-read-only", "true"}});
    CTextView* field = textView("field", {{"title", "ab"}, {"is-read-only", "false"}});
    ASSERT_NE(readout, nullptr);
    ASSERT_NE(field, nullptr);
    CTextView::clipboardText() = CString("2.5");
    listenTo(readout, {"text-changed"});
    ASSERT_EQ(test::takeMessage(readout->onPaste()), "");
    EXPECT_EQ(shown(*readout), (std::vector<std::string>{"2.5"}));
    EXPECT_EQ(CEventTestObject::journal(), (std::vector<std::string>{"listener:text-changed"}));

    CTextWrapper& w = *field->textWrapper();
    w.setAvailableWidth(200.0);
    w.showCursor(false, false);
    w.setPositionFromIndex(0, 1, w.cursor, false, true, false);
    CTextView::clipboardText() = CString("x[BR]y\r\nz");
    ASSERT_EQ(test::takeMessage(field->onPaste()), "");
    EXPECT_EQ(shown(*field), (std::vector<std::string>{"x\ny", "z"}));
    EXPECT_FALSE(w.cursorVisible);

    // Copy puts the whole text on the clipboard, whatever was selected, and leaves no selection.
    CTextView::clipboardText() = CString();
    w.showCursor(false, false);
    w.setPositionFromIndex(0, 0, w.cursor, false, true, false);
    ASSERT_EQ(test::takeMessage(field->onCopy()), "");
    EXPECT_EQ(text(CTextView::clipboardText()), "x[BR]y\r\nz");
    EXPECT_TRUE(w.isSelectionEmpty());
}

TEST_F(CTextViewTest, FailingTabGroupLeavesAWorkingView) {
    // No template for the group's list: init fails, yet the view keeps a wrapper and draw items.
    auto* view = dynamic_cast<CTextView*>(begin(window, "field", {{"tab-group", "knobs"}}, "ui:textview"));
    ASSERT_NE(view, nullptr);
    EXPECT_NE(takeError(), "");
    ASSERT_NE(view->textWrapper(), nullptr);
    view->textWrapper()->setFont(3, &font);
    ASSERT_EQ(test::takeMessage(view->setAttr(CString("title"), CString("still here"), true)), "");
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"still here"}));
    EXPECT_TRUE(view->prepareDraw());
    ASSERT_EQ(test::takeMessage(view->onPaste()), "");
}

TEST_F(CTextViewTest, ScrollingWithoutTextHeightKeepsTheOffset) {
    // No font: the text has no height, and centring a paragraph must not divide by it.
    auto* view = dynamic_cast<CTextView*>(begin(window, "list", {{"placement", "overlay"}, {"width", "100%"},
                                                                 {"height", "100%"}, {"title", "a"}}, "ui:textview"));
    ASSERT_NE(view, nullptr);
    finish(view);
    finish(window);
    ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
    ASSERT_EQ(test::takeMessage(view->setDoubleAttr(CString("offset-y"), 0.25, true)), "");
    view->revealSelectedParagraph();
    view->textWrapper()->selectedParagraph = 0;
    view->revealSelectedParagraph();
    ASSERT_EQ(test::takeMessage(view->scrollParagraphIntoView(0.0)), "");
    const double offset = view->getDoubleAttr("offset-y");
    EXPECT_TRUE(std::isfinite(offset));
    EXPECT_DOUBLE_EQ(offset, 0.25);
}

TEST_F(CTextViewTest, MaxTextHeightLetsASlightlyTallerTextShowWhole) {
    struct Case {
        const char* limit;
        double height;   // of the view after the next layout report
    };
    // Three lines of 13: a text 7 units above the limit shows whole (+ 0.3), 9 above is cut.
    const Case cases[] = {{"32", 39.3}, {"30", 30.0}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "message" + std::to_string(n++);
        CTextView* view = textView(name.c_str(), {{"title", "one[BR]two[BR]three"}, {"max-text-height", c.limit}});
        ASSERT_NE(view, nullptr);
        double w = 0.0, h = 0.0;
        view->textWrapper()->getTextSize(w, h);
        ASSERT_DOUBLE_EQ(h, 39.0);
        ASSERT_EQ(test::takeMessage(view->handleViewAreaUpdate(view->lastTotalRect(), view->lastClipRect())), "");
        EXPECT_NEAR(view->getDoubleAttr("height"), c.height, 1e-9) << c.limit;
    }
}

TEST_F(CTextViewTest, ScrollableViewPublishesRatiosAndALineStep) {
    auto* view = dynamic_cast<CTextView*>(begin(window, "notes", {{"placement", "overlay"}, {"width", "100%"},
                                                                  {"height", "100"}, {"is-scrollable", "true"},
                                                                  {"text-alignment-v", "top"}},
                                                "ui:textview"));
    ASSERT_NE(view, nullptr);
    view->textWrapper()->setFont(3, &font);
    CView* scroller = begin(view, "scroller-v", {{"placement", "overlay"}, {"width", "4"}, {"height", "100%"}});
    CView* bar = build(scroller, "bar", {{"placement", "overlay"}, {"width", "100%"}, {"height", "10"}});
    finish(scroller);
    finish(view);
    finish(window);
    ASSERT_EQ(takeError(), "");
    std::string title;
    for (int i = 0; i < 20; ++i) title += "line[BR]";
    ASSERT_EQ(test::takeMessage(view->setAttr(CString("title"), CString(title.c_str()), true)), "");
    ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
    ASSERT_EQ(view->getScrollerBar(), bar);
    ASSERT_EQ(test::takeMessage(view->setDoubleAttr(CString("offset-y"), 0.99, true)), "");
    ASSERT_EQ(test::takeMessage(view->updateCompactSize()), "");
    double w = 0.0, h = 0.0;
    view->textWrapper()->getTextSize(w, h);
    const double clip = view->area()->clipRect().height;
    ASSERT_GT(h, clip);
    const double ratio = clip / std::round(h);
    EXPECT_NEAR(view->getDoubleAttr("ratio-y"), ratio, 1e-9);
    EXPECT_NEAR(view->getDoubleAttr("offset-y"), 1.0 - ratio, 1e-9);
    EXPECT_NEAR(bar->getDoubleAttr("scroll-step-size"), 13.0 / clip, 1e-9);
    // A short text fits: ratio 1, offset back to 0.
    ASSERT_EQ(test::takeMessage(view->setAttr(CString("title"), CString("short"), true)), "");
    EXPECT_DOUBLE_EQ(view->getDoubleAttr("ratio-y"), 1.0);
    EXPECT_DOUBLE_EQ(view->getDoubleAttr("offset-y"), 0.0);
}

} // namespace
} // namespace tal
