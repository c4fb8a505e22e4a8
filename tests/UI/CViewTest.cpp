// The view object: its life cycle in the order the description builder runs it, colour tables, the
// sector map of a root view, rectangles reported by the layout, window services and the tree dump.
#include "UI/CView.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/CXMLLoader.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewStateData.h"
#include "support/CLogCapture.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tal {
namespace {

class CViewTest : public CViewTestTree {
protected:
    // Listens to "view-ready" of the view of that full name (made or not) and notes it in the journal.
    void noteViewReady(const std::string& name) {
        CEventTestObject* listener = addListener(ui, ("listener-" + std::to_string(listeners++)).c_str());
        listener->action = [this, name](CEventTestObject&, CAttrMap&) -> CError* {
            journal.push_back("view-ready " + name);
            return nullptr;
        };
        listener->listenObject(CString(name.c_str()), CString("view-ready"), CString("on"));
    }
    int listeners = 0;
};

TEST_F(CViewTest, ChildrenAreReadyBeforeTheirParentAndTheRootLaysOutFirst) {
    // Listeners by name, before the description builder makes the views.
    for (const char* name : {"ui.window", "ui.window.panel", "ui.window.panel.knob"}) noteViewReady(name);
    ASSERT_EQ(test::takeMessage(CXMLLoader::loadXMLData(*ui, CString(TAL_VIEW_LIFECYCLE_DESCRIPTION), false)), "");
    auto* knob = dynamic_cast<CView*>(ui->findObject(CString("ui.window.panel.knob")));
    ASSERT_NE(knob, nullptr);
    // Children complete first; the root's first layout pass (its report runs "update-window-bounds")
    // and "content-ready" come before its own "view-ready".
    EXPECT_EQ(journal, (std::vector<std::string>{"view-ready ui.window.panel.knob", "view-ready ui.window.panel",
                                                 "update-window-bounds", "content-ready", "view-ready ui.window"}));
    EXPECT_EQ(knob->lastTotalRect().width, 20.0);
}

TEST_F(CViewTest, InitFailuresNameTheViewInATraceLine) {
    CView* window = beginWindow("window");
    finish(window);
    ASSERT_EQ(takeError(), "");
    CObject* plainParent = nullptr;
    ASSERT_EQ(test::takeMessage(window->addChild(plainParent, CString("core:object"), CString("box"), false)), "");
    const struct {
        const char* name;
        CObject* parent;
        Attrs attrs;
        const char* message;
    } cases[] = {
        {"nowhere", window, {{"shared-color", "ui.window.missing"}}, "Unable to find shared color."},
        {"not-a-view", window, {{"shared-color", "ui.palette"}}, "Unable to find shared color."},
        // The placement layer turns a view under a non-view down first.
        {"orphan", plainParent, {}, "Unable to locate parent view."},
    };
    for (const auto& c : cases) {
        CView* view = begin(c.parent, c.name, c.attrs);
        ASSERT_NE(lastError, nullptr) << c.name;
        EXPECT_EQ(text(lastError->message()), c.message) << c.name;
        bool traced = false;
        for (int i = 1; i < lastError->lineCount(); ++i) {
            const std::string line = text(lastError->line(i));
            traced = traced || (line.rfind("UI/CView(", 0) == 0 && line.find(text(view->getFullName())) != std::string::npos);
        }
        EXPECT_TRUE(traced) << c.name;
        takeError();
    }
}

TEST_F(CViewTest, ColourTablesAreOwnOrShared) {
    CView* window = beginWindow("window", {{"shared-color", "ui.window"}, {"color-slots", "a|.|b"}});
    CView* owner = begin(window, "owner", {{"color-slots", "a||b"}, {"color", "Knob"}});
    CView* borrower = begin(window, "borrower",
                            {{"shared-color", "ui.window.owner"}, {"disabled-color", "Grey"}, {"color", "Other"},
                             {"color-slots", "x|y|z"}});
    ASSERT_EQ(takeError(), "");
    // A root view ignores "shared-color".
    ASSERT_NE(window->colorTable(), nullptr);
    EXPECT_FALSE(window->sharesColorTable());
    EXPECT_EQ(window->colorTable()->rootColors(), window->colorTable());
    const struct {
        CView* view;
        std::vector<std::string> slots;
    } cases[] = {{window, {"a", "", "b"}}, {owner, {"a", "b"}}};
    for (const auto& c : cases) {
        std::vector<std::string> slots;
        for (int i = 0; i < c.view->colorTable()->slotNames().count(); ++i)
            slots.push_back(text(c.view->colorTable()->slotNames()[i]));
        EXPECT_EQ(slots, c.slots) << text(c.view->getFullName());
    }
    // The borrower's colour and slots are ignored; its disabled colour renames the owner's.
    EXPECT_TRUE(borrower->sharesColorTable());
    EXPECT_EQ(borrower->colorTable(), owner->colorTable());
    EXPECT_EQ(text(owner->colorTable()->prefix()), "Knob");
    EXPECT_EQ(text(owner->colorTable()->disabledName()), "Grey");
    EXPECT_EQ(text(owner->colorTable()->disabledTextName()), "Grey");
    EXPECT_EQ(owner->colorTable()->rootColors(), window->colorTable());
    EXPECT_EQ(owner->colorTable()->palette(), nullptr);   // taken from the root table at refresh
    owner->colorTable()->refresh();
    EXPECT_EQ(owner->colorTable()->palette(), window->colorTable()->palette());
    finish(borrower);
    finish(owner);
    finish(window);
    EXPECT_EQ(takeError(), "");
}

TEST_F(CViewTest, ABorrowedColourTableOutlivesItsOwner) {
    CView* window = beginWindow("window");
    CView* owner = build(window, "owner", {{"color", "Knob"}});
    CView* borrower = build(window, "borrower", {{"shared-color", "ui.window.owner"}});
    finish(window);
    ASSERT_EQ(takeError(), "");
    ASSERT_EQ(borrower->colorTable(), owner->colorTable());
    owner->release();   // as a state switch may replace a view
    ASSERT_NE(borrower->colorTable(), nullptr);
    EXPECT_EQ(text(borrower->colorTable()->prefix()), "Knob");
    borrower->colorTable()->refresh();
    borrower->release();
}

TEST_F(CViewTest, ARootViewsMapLosesEveryDescendantBeforeItIsDestroyed) {
    CView* window = beginWindow("window", {{"width", "120"}, {"height", "80"}});
    CView* panel = begin(window, "panel", {{"placement", "full"}, {"width", "100%"}, {"height", "100%"}});
    build(panel, "a", {{"placement", "top"}, {"width", "30"}, {"height", "10"}});
    build(panel, "b", {{"placement", "left"}, {"width", "20"}, {"height", "30"}});
    finish(panel);
    finish(window);
    ASSERT_EQ(takeError(), "");
    ASSERT_EQ(sectorMap->registered.size(), 4u);
    journal.clear();
    window->release();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back(), "map-destroyed registered=0");
    EXPECT_EQ(std::count_if(journal.begin(), journal.end(), [](const std::string& l) { return l.rfind("remove ", 0) == 0; }),
              4);
}

TEST_F(CViewTest, ASubtreeLeavesTheMapWithItsLastClipRectangle) {
    CView* window = beginWindow("window", {{"width", "120"}, {"height", "80"}});
    CView* panel = build(window, "panel", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    finish(window);
    ASSERT_EQ(takeError(), "");
    const std::string clip = rectText(panel->lastClipRect());
    EXPECT_EQ(clip, rectText(panel->area()->clipRect()));
    EXPECT_EQ(panel->lastClipRect().width, 50.0);
    const std::string name = text(panel->getFullName());
    journal.clear();
    panel->release();
    EXPECT_EQ(journal, std::vector<std::string>({"remove " + name + " " + clip}));
    EXPECT_EQ(sectorMap->registered, std::vector<CView*>({window}));
}

} // namespace
} // namespace tal
