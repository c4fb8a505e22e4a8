// The button: its value flags, enabling, activity parameter, shadow and pointer states, item-list
// stepping with the wheel and the extra buttons, the small-list drop-down and the popups.
#include "UI/Controls/CButton.h"

#include "Core/CAppData.h"
#include "Core/AppDataText.h"
#include "UI/CUIParam.h"
#include "UI/Controls/ButtonTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CButtonTest : public CButtonTestTree {
protected:
    // A button under the window; children (commands, parameters) may be added before finishing it.
    CButton* beginButton(const char* name, const std::vector<std::pair<const char*, const char*>>& attrs) {
        CObject* made = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(made, CString("ui:button-base"), CString(name), false)), "");
        auto* button = dynamic_cast<CButton*>(made);
        EXPECT_NE(button, nullptr);
        if (button == nullptr) return nullptr;
        // States are recorded even without state children, so that the tests can read them.
        EXPECT_EQ(test::takeMessage(button->setAttr(CString("has-view-states"), CString("true"), false)), "");
        for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(button->setAttr(CString(key), CString(value), false)), "");
        CError* err = button->init();
        if (err == nullptr) err = button->createChilds();
        EXPECT_EQ(test::takeMessage(err), "");
        return button;
    }
    CButton* button(const char* name, const std::vector<std::pair<const char*, const char*>>& attrs) {
        CButton* b = beginButton(name, attrs);
        finish(b);
        EXPECT_EQ(takeError(), "");
        return b;
    }
    // A button over a list of items, its results sent to the sink.
    CButton* listButton(const char* name, const List& items, const char* selected, Attrs more = {}) {
        const std::string listName = std::string(name) + "-list";
        valueList(listName.c_str(), items);
        const std::string path = "^" + listName;
        std::vector<std::pair<const char*, const char*>> attrs = {{"item-list", path.c_str()},
            {"dynlist-value-list-tag", "ui:dynlist-value-list"}, {"popup-result-target", "ui.sink"}, {"selected-item", selected}};
        attrs.insert(attrs.end(), more.begin(), more.end());
        CButton* b = beginButton(name, attrs);
        finish(b);
        EXPECT_EQ(takeError(), "");
        return b;
    }
    // A command of the button: on event, run "on" of a listener recording "<listener>:<event>".
    void recordOn(CButton* b, const char* event) {
        addListener(ui, "rec");
        object(b, "ui:view-command", (std::string("cmd-") + event).c_str(),
               {{"on-event", event}, {"run-event", "on"}, {"run-event-target", "ui.rec"}});
    }
    std::vector<std::string> takeResults() {
        std::vector<std::string> r;
        r.swap(sink->results);
        return r;
    }
    bool hasState(CButton* b, const char* name) { return b->isStateSet(CString(name)); }
};

TEST_F(CButtonTest, TitlesThatShowNoValueSetTheUndefinedFlag) {
    struct Case { const char* title; const char* undefined; };
    int n = 0;
    for (const Case& c : {Case{"---", "1"}, Case{"?", "1"}, Case{"", "1"}, Case{"--- ", "0"}, Case{"-", "0"}, Case{"Low", "0"}}) {
        SCOPED_TRACE(c.title);
        CButton* b = listButton(("b" + std::to_string(n++)).c_str(), {"A", "B"}, "0");
        ASSERT_EQ(set(b, "title", c.title), "");
        EXPECT_EQ(attr(b, "is-value-undefined"), c.undefined);
        EXPECT_EQ(attr(b, "is-item-list-empty"), "0");   // a full list does not change it
    }
}

TEST_F(CButtonTest, AnEmptyItemListDisablesTheButton) {
    struct Case { List items; const char* empty; };
    int n = 0;
    for (const Case& c : {Case{{}, "1"}, Case{{"---"}, "1"}, Case{{"---", "A"}, "0"}, Case{{"A"}, "0"}, Case{{"----"}, "0"}}) {
        SCOPED_TRACE(n);
        CButton* b = listButton(("b" + std::to_string(n++)).c_str(), c.items, "0");
        EXPECT_EQ(attr(b, "is-item-list-empty"), c.empty);
        EXPECT_EQ(b->isDisabled(), std::string(c.empty) == "1");
    }
    CButton* plain = button("plain", {{"title", "Go"}});
    EXPECT_EQ(attr(plain, "is-item-list-empty"), "0");
    EXPECT_FALSE(plain->isDisabled());
}

TEST_F(CButtonTest, TheListFollowsItsItemsAndIsDisabledSettingStacks) {
    CButton* b = listButton("b", {}, "0");
    ASSERT_TRUE(b->isDisabled());
    setItems(static_cast<CValueList*>(window->findChild(CString("b-list"))), {"One", "Two"});
    EXPECT_EQ(attr(b, "is-item-list-empty"), "0");
    EXPECT_FALSE(b->isDisabled());
    ASSERT_EQ(set(b, "is-disabled", "true"), "");
    EXPECT_TRUE(b->isDisabled());
    ASSERT_EQ(set(b, "is-disabled", "false"), "");
    EXPECT_FALSE(b->isDisabled());
}

// A value change of the activity parameter re-checks the handler's activity, which must not enable
// a button whose item list is empty.
TEST_F(CButtonTest, AParameterChangeDoesNotEnableAButtonWithAnEmptyList) {
    valueList("empty", {});
    CButton* b = beginButton("b", {{"item-list", "^empty"}, {"dynlist-value-list-tag", "ui:dynlist-value-list"}});
    CObject* param = object(b, "ui:ui-param", "ui-param-activity", {{"is-simple-attr", "true"}, {"shared-attribute-value", "0"}});
    finish(b);
    ASSERT_EQ(takeError(), "");
    ASSERT_TRUE(b->isDisabled());
    ASSERT_EQ(set(param, "shared-attribute-value", "1"), "");
    EXPECT_TRUE(b->isActive());
    EXPECT_TRUE(b->isDisabled());
}

TEST_F(CButtonTest, TheActivityParameterRoundsHalfAwayFromZero) {
    struct Case { const char* value; bool active; };
    int n = 0;
    for (const Case& c : {Case{"0.4", false}, Case{"0.5", true}, Case{"-0.5", true}, Case{"-0.4", false}, Case{"1", true}}) {
        SCOPED_TRACE(c.value);
        CButton* b = beginButton(("b" + std::to_string(n++)).c_str(), {});
        CObject* param = object(b, "ui:ui-param", "ui-param-activity", {{"is-simple-attr", "true"}, {"shared-attribute-value", "0"}});
        finish(b);
        ASSERT_EQ(set(param, "shared-attribute-value", c.value), "");
        EXPECT_EQ(b->isActive(), c.active);
        EXPECT_EQ(hasState(b, "active"), c.active);
        if (c.active) EXPECT_EQ(attr(b, "is-active"), "1");
        else EXPECT_NE(attr(b, "is-active"), "1");
        EXPECT_EQ(attr(param, "shared-attribute-value"), c.value);   // following it writes nothing back
    }
}

TEST_F(CButtonTest, TogglingIsActiveWritesTheParameterOnce) {
    CButton* b = beginButton("b", {});
    CObject* param = object(b, "ui:ui-param", "ui-param-activity", {{"is-simple-attr", "true"}, {"shared-attribute-value", "0.5"}});
    object(b, "ui:view-command", "toggle", {{"on-event", "mouse-release"}, {"toggle-attr", "is-active"}, {"toggle-attr-target", "."}});
    finish(b);
    ASSERT_TRUE(b->isActive());
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(b->onMousePress(none)), "");
    ASSERT_EQ(test::takeMessage(b->onMouseRelease(none)), "");
    EXPECT_FALSE(b->isActive());
    EXPECT_EQ(attr(param, "shared-attribute-value"), "0.0000");
    ASSERT_EQ(test::takeMessage(b->onMousePress(none)), "");
    ASSERT_EQ(test::takeMessage(b->onMouseRelease(none)), "");
    EXPECT_TRUE(b->isActive());
    EXPECT_EQ(attr(param, "shared-attribute-value"), "1.0000");
}

TEST_F(CButtonTest, ActiveStateAndShadowFollowTheFlags) {
    struct Case { Attrs attrs; bool active; bool stateActive; const char* shadowHidden; };
    const Case cases[] = {
        {{}, false, false, "0"},
        {{}, true, true, "1"},
        {{{"is-checkbox", "true"}}, true, true, "0"},
        {{{"is-inverse", "true"}}, false, true, "0"},
        {{{"is-inverse", "true"}}, true, false, "1"},
        {{{"ui-style-shadow-hidden", "true"}}, false, false, "1"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        CButton* b = button(("b" + std::to_string(n++)).c_str(), c.attrs);
        ASSERT_EQ(set(b, "is-active", c.active ? "1" : "0"), "");
        EXPECT_EQ(hasState(b, "active"), c.stateActive);
        if (*c.shadowHidden == '1') EXPECT_EQ(attr(b, "is-shadow-hidden"), "1");
        else EXPECT_NE(attr(b, "is-shadow-hidden"), "1");
    }
}

TEST_F(CButtonTest, SettingTheSameActiveValueFiresNothing) {
    CButton* b = button("b", {});
    CEventTestObject* listener = addListener(ui, "l");
    listener->listenObject(b->getFullName(), CString("state-changed"), CString("on"));
    ASSERT_EQ(set(b, "is-active", "1"), "");
    ASSERT_EQ(set(b, "is-active", "1"), "");
    ASSERT_EQ(set(b, "is-active", "0"), "");
    EXPECT_EQ(CEventTestObject::journal(), (std::vector<std::string>{"l:state-changed", "l:state-changed"}));
}

// Pressing, dragging off and back on: "pushed" and "hover" go and come together, and the shadow with
// them; the release leaves the hover.
TEST_F(CButtonTest, PressDragOffAndBackShowsThePushedLookOnlyOverTheButton) {
    CButton* b = button("b", {});
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(b->onMouseEnterTop()), "");
    EXPECT_TRUE(hasState(b, "hover"));
    ASSERT_EQ(test::takeMessage(b->onMousePress(none)), "");
    EXPECT_TRUE(b->isPushed());
    EXPECT_TRUE(hasState(b, "pushed"));
    EXPECT_EQ(attr(b, "is-shadow-hidden"), "1");
    ASSERT_EQ(test::takeMessage(b->onMouseExitTop()), "");
    EXPECT_TRUE(b->isPushed());
    EXPECT_FALSE(hasState(b, "pushed"));
    EXPECT_FALSE(hasState(b, "hover"));
    EXPECT_EQ(attr(b, "is-shadow-hidden"), "0");
    ASSERT_EQ(test::takeMessage(b->onMouseEnterTop()), "");
    EXPECT_TRUE(hasState(b, "pushed"));
    EXPECT_TRUE(hasState(b, "hover"));
    EXPECT_EQ(attr(b, "is-shadow-hidden"), "1");
    ASSERT_EQ(test::takeMessage(b->onMouseRelease(none)), "");
    EXPECT_FALSE(b->isPushed());
    EXPECT_FALSE(hasState(b, "pushed"));
    EXPECT_TRUE(hasState(b, "hover"));
    EXPECT_EQ(attr(b, "is-shadow-hidden"), "0");
}

TEST_F(CButtonTest, TheRightButtonActsOnlyWhenAllowed) {
    for (const bool allowed : {false, true}) {
        SCOPED_TRACE(allowed);
        CEventTestObject::journal().clear();
        CButton* b = beginButton(allowed ? "yes" : "no", {{"is-right-click-allowed", allowed ? "true" : "0"}});
        recordOn(b, "mouse-press-r");
        recordOn(b, "mouse-release-r");
        finish(b);
        CAttrMap none;
        ASSERT_EQ(test::takeMessage(b->onMousePressR(none)), "");
        EXPECT_EQ(b->isPushed(), allowed);
        EXPECT_EQ(hasState(b, "pushed"), allowed);
        ASSERT_EQ(test::takeMessage(b->onMouseReleaseR(none)), "");
        EXPECT_EQ(CEventTestObject::journal().size(), allowed ? 2u : 0u);
    }
}

TEST_F(CButtonTest, HoverIsIgnoredWhileAParentIsDisabled) {
    CView* box = begin(window, "box", {{"placement", "left"}, {"width", "100"}, {"height", "50"}, {"has-view-states", "true"}});
    auto* b = dynamic_cast<CButton*>(begin(box, "b", {{"has-view-states", "true"}}, "ui:button-base"));
    finish(b);
    finish(box);
    ASSERT_EQ(takeError(), "");
    ASSERT_EQ(set(box, "is-disabled", "true"), "");
    ASSERT_EQ(test::takeMessage(b->onMouseEnterTop()), "");
    EXPECT_FALSE(hasState(b, "hover"));
}

TEST_F(CButtonTest, TempPushedShowsItsStateWithoutTouchingTheShadow) {
    CButton* b = button("b", {});
    ASSERT_EQ(set(b, "is-temp-pushed", "true"), "");
    EXPECT_TRUE(hasState(b, "temp-pushed"));
    EXPECT_NE(attr(b, "is-shadow-hidden"), "1");
    ASSERT_EQ(set(b, "is-temp-pushed", "false"), "");
    EXPECT_FALSE(hasState(b, "temp-pushed"));
}

// Stepping over five entries: disabled ("[N/A]") and separator entries are skipped, both ends wrap,
// and nothing is sent when no other entry is usable.
TEST_F(CButtonTest, SteppingSkipsUnusableEntriesAndWraps) {
    const std::string sep = text(CValueList::separatorItem());
    struct Case { List items; const char* selected; std::int32_t step; const char* result; };
    const Case cases[] = {
        {{"A", "B", "C", "D", "E"}, "2", 1, "index=3 text=D combine-changes=1"},
        {{"A", "B", "C", "D", "E"}, "4", 1, "index=0 text=A combine-changes=1"},
        {{"A", "B", "C", "D", "E"}, "0", -1, "index=4 text=E combine-changes=1"},
        {{"A", "B", "C", "D", "E"}, "-1", 1, "index=0 text=A combine-changes=1"},
        {{"A", "[N/A]B", sep, "D", "E"}, "0", 1, "index=3 text=D combine-changes=1"},
        {{"A", "B", "C", "[N/A]D", "[N/A]E"}, "2", 1, "index=0 text=A combine-changes=1"},
        {{"[N/A]A", "B", sep, "[N/A]D", "[N/A]E"}, "1", 1, ""},
        {{"[N/A]A", "B", sep, "[N/A]D", "[N/A]E"}, "1", -1, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        CButton* b = listButton(("b" + std::to_string(n++)).c_str(), c.items, c.selected);
        ASSERT_EQ(test::takeMessage(b->selectNextItem(c.step, true)), "");
        const std::vector<std::string> results = takeResults();
        if (*c.result == '\0') EXPECT_TRUE(results.empty());
        else EXPECT_EQ(results, std::vector<std::string>{c.result});
        EXPECT_EQ(attr(b, "selected-item"), c.selected);   // the receiver sets it, not the button
    }
}

// The wheel steps only with "is-mouse-wheel-on-lists": a negative delta the next entry, anything
// else the previous one; "is-mouse-wheel-disabled" blocks the wheel and the extra buttons, their
// commands included.
TEST_F(CButtonTest, TheWheelStepsListsOnlyWhenTheSettingAllowsIt) {
    const List five = {"A", "B", "C", "D", "E"};
    struct Case { bool onLists; Attrs args; const char* result; };
    const Case cases[] = {
        {true, {{"delta", "-1"}}, "index=4 text=E combine-changes=1"},
        {true, {{"delta", "0"}}, "index=2 text=C combine-changes=1"},
        {true, {{"delta", "3"}}, "index=2 text=C combine-changes=1"},
        {true, {}, "index=2 text=C combine-changes=1"},
        {true, {{"delta", "down"}}, "index=2 text=C combine-changes=1"},
        {false, {{"delta", "-1"}}, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        settings->isMouseWheelOnLists = c.onLists;
        CButton* b = listButton(("b" + std::to_string(n++)).c_str(), five, "3", {{"is-x-button-allowed", "true"}});
        ASSERT_EQ(run(b, "mouse-wheel", c.args), "");
        const std::vector<std::string> results = takeResults();
        if (*c.result == '\0') EXPECT_TRUE(results.empty());
        else EXPECT_EQ(results, std::vector<std::string>{c.result});
    }
}

TEST_F(CButtonTest, ExtraButtonsRunTheirCommandsAndStepWhenAllowed) {
    settings->isMouseWheelOnLists = true;
    struct Case { Attrs attrs; const char* xbutton; std::size_t commands; const char* result; };
    const Case cases[] = {
        {{{"is-x-button-allowed", "true"}}, "1", 1, "index=2 text=C combine-changes=1"},
        {{{"is-x-button-allowed", "true"}}, "2", 1, "index=0 text=A combine-changes=1"},
        {{{"is-x-button-allowed", "true"}}, "3", 1, ""},
        {{}, "1", 1, ""},
        {{{"is-x-button-allowed", "true"}, {"is-mouse-wheel-disabled", "true"}}, "1", 0, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        CEventTestObject::journal().clear();
        valueList(("l" + std::to_string(n)).c_str(), {"A", "B", "C"});
        const std::string listPath = "^l" + std::to_string(n);
        std::vector<std::pair<const char*, const char*>> attrs = {{"item-list", listPath.c_str()},
            {"dynlist-value-list-tag", "ui:dynlist-value-list"}, {"popup-result-target", "ui.sink"}, {"selected-item", "1"}};
        attrs.insert(attrs.end(), c.attrs.begin(), c.attrs.end());
        CButton* b = beginButton(("b" + std::to_string(n++)).c_str(), attrs);
        recordOn(b, "mouse-xbutton-release");
        finish(b);
        ASSERT_EQ(run(b, "mouse-xbutton-release", {{"xbutton", c.xbutton}}), "");
        EXPECT_EQ(CEventTestObject::journal().size(), c.commands);
        const std::vector<std::string> results = takeResults();
        if (*c.result == '\0') EXPECT_TRUE(results.empty());
        else EXPECT_EQ(results, std::vector<std::string>{c.result});
    }
}

// A list of at most two entries steps on release instead of opening a popup; an index that names no
// entry sends nothing.
TEST_F(CButtonTest, ASmallDropDownStepsOnRelease) {
    struct Case { List items; const char* selected; const char* result; };
    const Case cases[] = {
        {{"Left", "Right"}, "1", "index=0"},
        {{"Left", "Right"}, "0", "index=1"},
        {{"Left", "Right"}, "-1", "index=0"},
        {{"Only"}, "0", "index=0"},
        {{"Left", "[N/A]Right"}, "0", ""},
        {{}, "0", ""},
        {{"Left", "Right"}, "-3", ""},
        {{"A", "B", "C"}, "0", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        renderer->events.clear();
        CButton* b = listButton(("b" + std::to_string(n++)).c_str(), c.items, c.selected);
        ASSERT_EQ(run(b, "popup-toggle-check-press", {{"popup-tag", ""}}), "");
        EXPECT_EQ(takeResults(), std::vector<std::string>{});
        ASSERT_EQ(run(b, "popup-toggle-check-release"), "");
        const std::vector<std::string> results = takeResults();
        if (*c.result == '\0') EXPECT_TRUE(results.empty());
        else EXPECT_EQ(results, std::vector<std::string>{c.result});
    }
}

// The press side opens the popup unless the list is small or its local popup window still exists.
TEST_F(CButtonTest, ThePressOpensNoSecondPopup) {
    CButton* b = listButton("b", {"A", "B", "C"}, "0");
    CView* other = beginWindow("popup-1", {{"width", "50"}, {"height", "50"}});
    finish(other);
    CRecordingWindowRenderer* popupWindow = renderer;
    popupWindow->events.clear();
    ASSERT_EQ(run(b, "popup-created", {{"is-local-popup", "1"}, {"window", text(popupWindow->getFullName()).c_str()}}), "");
    ASSERT_EQ(run(b, "popup-toggle-check-press", {{"popup-tag", "ui:list-popup"}}), "");
    EXPECT_TRUE(popupWindow->events.empty());
    // Without the check the toggle closes the open popup.
    ASSERT_EQ(run(b, "popup-toggle", {{"popup-tag", "ui:list-popup"}}), "");
    EXPECT_EQ(popupWindow->events, std::vector<std::string>{"close-window"});
}

// A popup that is open after the toggle ends the gesture and shows the button active until it
// closes, whatever the button showed before.
TEST_F(CButtonTest, AnOpenPopupShowsTheButtonActiveUntilItCloses) {
    CButton* b = beginButton("b", {});
    object(b, "ui:view-command", "open", {{"on-event", "mouse-press"}, {"run-event", "popup-toggle"}, {"run-event-target", "."}});
    finish(b);
    ASSERT_EQ(set(b, "is-active", "1"), "");
    // The popup machinery reports the local popup before the toggle returns (here: before it runs).
    ASSERT_EQ(run(b, "popup-created", {{"is-local-popup", "1"}, {"window", ""}}), "");
    ASSERT_EQ(set(b, "is-active", "0"), "");
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(b->onMousePress(none)), "");
    EXPECT_FALSE(b->isPushed());
    EXPECT_FALSE(hasState(b, "pushed"));
    EXPECT_TRUE(b->isActive());
    EXPECT_EQ(attr(b, "is-active"), "1");
    ASSERT_EQ(run(b, "popup-closed"), "");
    EXPECT_FALSE(b->isActive());
    EXPECT_EQ(attr(b, "is-active"), "0");
}

TEST_F(CButtonTest, SharedAttrToggleStoresTheOppositeText) {
    struct Case { const char* stored; const char* result; };
    int n = 0;
    for (const Case& c : {Case{"true", "false"}, Case{"false", "true"}, Case{"maybe", "true"}, Case{"1", "false"}}) {
        SCOPED_TRACE(c.stored);
        const std::string name = "flag" + std::to_string(n++);
        CSharedAttribute* shared = sharedAttribute(name.c_str(), "global", c.stored);
        CButton* b = button(("b" + name).c_str(), {{"shared-attribute", ("ui." + name).c_str()}});
        ASSERT_EQ(run(b, "shared-attr-toggle"), "");
        EXPECT_EQ(text(readAppDataString(shared->scope(), shared->dataName(), CString("<none>"))), c.result);
    }
    CButton* unbound = button("unbound", {});
    EXPECT_EQ(run(unbound, "shared-attr-toggle"), "");
}

} // namespace
} // namespace tal
