// The frame-rate selector: the bound "value" marks its button without storing, a click stores the
// title once, and the stored value comes back through the event bridge.
#include "UI/Controls/CSelectorFPS.h"

#include "Core/AppDataText.h"
#include "UI/Controls/ButtonTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

class CSelectorFPSTest : public CButtonTestTree {
protected:
    void SetUp() override {
        CButtonTestTree::SetUp();
        fps = sharedAttribute("frames-per-second", "global", "40");
        valueList("rates", {"20", "30", "40", "50", "60", "72"});
    }
    CSelectorFPS* rates(const char* name, const char* value) {
        return selector<CSelectorFPS>("ui:selector-fps", name, {{"button-title-list", "^rates"},
            {"shared-attribute", "ui.frames-per-second"}, {"value", value}});
    }
    std::string stored() { return text(readAppDataString(fps->scope(), fps->dataName(), CString("<none>"))); }

    CSharedAttribute* fps = nullptr;
};

TEST_F(CSelectorFPSTest, TheStoredRateMarksItsButtonWithoutStoring) {
    CSelectorFPS* s = rates("s", "{*/ui.frames-per-second value}");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(attr(s, "value"), "40");
    EXPECT_EQ(s->activeIndex(), 2);
    EXPECT_EQ(stored(), "<none>");
    EXPECT_EQ(bridge->pendingCount(), 0);
}

TEST_F(CSelectorFPSTest, AClickStoresTheTitleOnceAndTheValueComesBack) {
    CSelectorFPS* s = rates("s", "{*/ui.frames-per-second value}");
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(static_cast<CView*>(s->button(4))->onMouseRelease(args)), "");
    EXPECT_EQ(stored(), "60");
    EXPECT_EQ(s->activeIndex(), 4);
    EXPECT_EQ(attr(s, "value"), "40");   // not yet: the update travels through the bridge
    EXPECT_EQ(bridge->pendingCount(), 1);
    bridge->pump();
    EXPECT_EQ(attr(s, "value"), "60");
    EXPECT_EQ(s->activeIndex(), 4);
    EXPECT_EQ(bridge->pendingCount(), 0);   // the returning value stores nothing
    // A click on the active button stores nothing either.
    ASSERT_EQ(test::takeMessage(static_cast<CView*>(s->button(4))->onMouseRelease(args)), "");
    EXPECT_EQ(bridge->pendingCount(), 0);
}

TEST_F(CSelectorFPSTest, AValueWithoutTitleMarksNoButton) {
    CSelectorFPS* s = rates("s", "45");
    EXPECT_EQ(s->activeIndex(), -1);
    ASSERT_EQ(set(s, "value", "72"), "");
    EXPECT_EQ(s->activeIndex(), 5);
    EXPECT_EQ(stored(), "<none>");
}

TEST_F(CSelectorFPSTest, WithoutSharedAttributeAClickOnlyMovesTheMark) {
    CSelectorFPS* s = selector<CSelectorFPS>("ui:selector-fps", "s", {{"button-title-list", "^rates"}, {"value", "20"}});
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(static_cast<CView*>(s->button(1))->onMouseRelease(args)), "");
    EXPECT_EQ(s->activeIndex(), 1);
    EXPECT_EQ(stored(), "<none>");
}

} // namespace
} // namespace tal
