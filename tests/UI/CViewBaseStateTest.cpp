#include "UI/CViewBaseState.h"

#include "Core/CError.h"
#include "Core/CXMLLoader.h"
#include "UI/CViewCommand.h"
#include "UI/CViewState.h"
#include "support/CLogCapture.h"
#include "support/StateTestView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {

namespace {

using Attrs = std::initializer_list<std::pair<const char*, const char*>>;

// Builds views with state objects and commands as the description builder does: the view's init
// and createChilds, each child's whole life cycle, then the view's initChilds.
class ViewStates : public CPlacementTest {
protected:
    void SetUp() override {
        CPlacementTest::SetUp();
        CStateTestView::registerTags();
        window = rootView();
    }

    CStateTestView* begin(CObject* parent, const char* name, Attrs attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(parent->addChild(object, CString("test:state-view"), CString(name), false), nullptr);
        auto* view = static_cast<CStateTestView*>(object);
        for (const auto& [key, text] : attrs) EXPECT_EQ(view->setAttr(CString(key), CString(text), false), nullptr);
        EXPECT_EQ(view->init(), nullptr);
        EXPECT_EQ(view->createChilds(), nullptr);
        return view;
    }
    // A child object with its whole life cycle; the message of its first error ("" for none).
    std::string child(CObject* parent, const char* tag, const char* name, Attrs attrs, bool useTemplates = false) {
        CObject* object = nullptr;
        EXPECT_EQ(parent->addChild(object, CString(tag), CString(name), useTemplates), nullptr);
        for (const auto& [key, text] : attrs) EXPECT_EQ(object->setAttr(CString(key), CString(text), false), nullptr);
        CError* err = object->init();
        if (err == nullptr) err = object->createChilds();
        if (err == nullptr) err = object->initChilds();
        std::string message = err != nullptr ? str(err->message()) : std::string();
        delete err;
        return message;
    }
    std::string finish(CStateTestView* view) { return message(view->initChilds()); }
    static std::string message(CError* err) {
        std::string m = err != nullptr ? str(err->message()) : std::string();
        delete err;
        return m;
    }
    static std::string text(CObject* object, const char* name) {
        CAttrValue* v = object->attrs().findValue(name);
        return v != nullptr ? str(v->asText()) : std::string("<absent>");
    }
    static double real(CObject* object, const char* name) {
        CAttrValue* v = object->attrs().findValue(name);
        return v != nullptr ? v->asReal() : -1.0;
    }
    // Runs an event as the window layer does.
    static std::string fire(CObject* object, const char* event, CAttrMap* args = nullptr) {
        return message(object->runEvent(CString(event), args));
    }
    static std::string colorState(CStateTestView* view) { return str(view->stateData()->shownLook.colorState); }

    CPlacementTestView* window = nullptr;
};

// --- states ---

struct ColorCase {
    const char* hoverValue;
    const char* expected;
};
class ViewStateColors : public ViewStates, public ::testing::WithParamInterface<ColorCase> {};

TEST_P(ViewStateColors, ColourStatesComposeInNameOrderAndASlashStartsOver) {
    CStateTestView* v = begin(window, "v", {{"has-view-states", "true"}});
    EXPECT_EQ(child(v, "ui:view-state", "s1", {{"state-name", "active"}, {"state-attrs", "color-state"}, {"color-state", "Active"}}), "");
    EXPECT_EQ(child(v, "ui:view-state", "s2", {{"state-name", "hover"}, {"state-attrs", "color-state"}, {"color-state", GetParam().hoverValue}}), "");
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->setState(CString("hover active"), true)), "");
    EXPECT_EQ(colorState(v), GetParam().expected);
    EXPECT_EQ(str(v->stateData()->shownLook.stateName), "active hover");
    EXPECT_EQ(message(v->unsetState(CString("active hover"), true)), "");
    EXPECT_EQ(colorState(v), "");
}
INSTANTIATE_TEST_SUITE_P(Values, ViewStateColors, ::testing::Values(ColorCase{"Hover", "ActiveHover"}, ColorCase{"/Hover", "Hover"}));

TEST_F(ViewStates, TheLaterStateInNameOrderWinsAndTheLastStateObjectGivesTheDuration) {
    CStateTestView* v = begin(window, "v", {{"opacity", "1"}, {"duration", "0.5"}});
    EXPECT_EQ(child(v, "ui:view-state", "a", {{"state-name", "a"}, {"state-attrs", "opacity"}, {"opacity", "0.2"}, {"duration", "1"}}), "");
    EXPECT_EQ(child(v, "ui:view-state", "b", {{"state-name", "b"}, {"state-attrs", "opacity"}, {"opacity", "0.6"}, {"duration", "2"}}), "");
    EXPECT_EQ(child(v, "ui:view-state", "c", {{"state-name", "c"}, {"state-attrs", "draw-opacity"}, {"draw-opacity", "0.9"}, {"duration", "3"}}), "");
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->setState(CString("b a"), false)), "");
    const CViewStateTween& opacity = v->stateData()->tweens[0];
    EXPECT_DOUBLE_EQ(opacity.targetValue, 0.6);
    EXPECT_DOUBLE_EQ(opacity.endTime - opacity.startTime, 2.0);
    EXPECT_EQ(message(v->setState(CString("c"), false)), "");   // lists no opacity, yet decides the duration
    EXPECT_DOUBLE_EQ(opacity.endTime - opacity.startTime, 3.0);
    EXPECT_DOUBLE_EQ(real(v, "draw-opacity"), 0.9);
    // Nothing set any more: the defaults come back, tweened with the view's own duration.
    EXPECT_EQ(message(v->unsetState(CString("a b c"), false)), "");
    EXPECT_DOUBLE_EQ(opacity.targetValue, 1.0);
    EXPECT_DOUBLE_EQ(opacity.endTime - opacity.startTime, 0.5);
    EXPECT_EQ(text(v, "draw-opacity"), "");
}

TEST_F(ViewStates, TogglingTwoNamesTwiceLeavesBothSetAndUnsettingOneKeepsTheOther) {
    CStateTestView* v = begin(window, "v", {{"has-view-states", "true"}});
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->toggleState(CString("a b"), false)), "");
    EXPECT_EQ(message(v->toggleState(CString("a b"), false)), "");
    EXPECT_TRUE(v->isStateSet(CString("a")));
    EXPECT_TRUE(v->isStateSet(CString("b")));
    EXPECT_EQ(message(v->toggleState(CString("a"), false)), "");
    EXPECT_FALSE(v->isStateSet(CString("a")));
    EXPECT_EQ(message(v->setState(CString("hover pushed"), true)), "");
    EXPECT_EQ(message(v->unsetState(CString("pushed"), true)), "");
    EXPECT_TRUE(v->isStateSet(CString("hover")));
    EXPECT_FALSE(v->isStateSet(CString("pushed")));
}

TEST_F(ViewStates, BadStateObjectsFailWithTheirMessages) {
    CStateTestView* v = begin(window, "v", {});
    EXPECT_EQ(child(v, "ui:view-state", "empty", {{"state-name", "x"}, {"state-attrs", ""}}),
              "The state-attrs attribute is empty in window.v.empty");
    EXPECT_EQ(child(v, "ui:view-state", "reserved", {{"state-name", "y"}, {"state-attrs", "opacity duration"}}),
              "Reserved attribute name specified in state-attrs in window.v.reserved");
    EXPECT_EQ(child(v, "ui:view-state", "noname", {{"state-attrs", "opacity"}}), "State name is empty.");
    EXPECT_EQ(child(root, "ui:view-state", "orphan", {{"state-name", "x"}, {"state-attrs", "opacity"}}),
              "Parent object is not a view.");
    EXPECT_EQ(child(root, "ui:view-command", "orphan-command", {{"on-event", "mouse-press"}}), "Parent object is not a view.");
}

TEST_F(ViewStates, NamesSetBeforeInitChildsApplyThereButNotWithoutARecord) {
    CStateTestView* v = begin(window, "v", {{"color-state", "Base"}});
    EXPECT_EQ(child(v, "ui:view-state", "h", {{"state-name", "hover"}, {"state-attrs", "color-state"}, {"color-state", "Hover"}}), "");
    EXPECT_EQ(message(v->setState(CString("hover"), true)), "");
    EXPECT_EQ(colorState(v), "Base");   // only recorded so far
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(colorState(v), "BaseHover");

    CStateTestView* plain = begin(window, "plain", {});
    EXPECT_EQ(message(plain->setState(CString("hover"), false)), "");
    EXPECT_EQ(plain->stateData(), nullptr);
    EXPECT_EQ(finish(plain), "");
}

// --- animations ---

TEST_F(ViewStates, AFadeOutEasesAlongTheCurveInsteadOfJumping) {
    CStateTestView* v = begin(window, "v", {{"opacity", "1"}});
    EXPECT_EQ(child(v, "ui:view-state", "h", {{"state-name", "hidden"}, {"state-attrs", "opacity"}, {"opacity", "0"}, {"duration", "1"}}), "");
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->setState(CString("hidden"), false)), "");
    EXPECT_DOUBLE_EQ(real(v, "opacity"), 1.0);   // first step at the start time
    std::vector<double> written;
    for (double t : {0.25, 0.5, 0.75, 1.01}) {
        v->now = t;
        EXPECT_EQ(fire(v, "timer"), "");
        written.push_back(real(v, "opacity"));
    }
    for (std::size_t i = 0; i + 1 < written.size(); ++i) EXPECT_GT(written[i], written[i + 1]) << i;
    EXPECT_NEAR(written[1], 0.5, 1e-12);
    EXPECT_NEAR(written[0], 1.0 - (std::sin(0.25 * M_PI - M_PI / 2) + 1) * 0.5, 1e-12);
    EXPECT_EQ(written.back(), 0.0);
    EXPECT_FALSE(v->stateData()->isTweening);
}

TEST_F(ViewStates, ATweenBetweenUnitsWritesTheTargetAtOnce) {
    CStateTestView* v = begin(window, "v", {});
    v->now = 1.0;
    v->ensureStateData();
    CViewStateTween& tween = v->stateData()->tweens[0];
    EXPECT_EQ(v->setAttr(CString("probe"), CString("100%"), true), nullptr);
    EXPECT_EQ(message(v->startTween(tween, CString("probe"), CString("22"), 1.0)), "");
    EXPECT_DOUBLE_EQ(real(v, "probe"), 22.0);
    EXPECT_EQ(v->setAttr(CString("probe"), CString("50%"), true), nullptr);
    EXPECT_EQ(message(v->startTween(tween, CString("probe"), CString("100%"), 1.0)), "");
    v->now = 1.5;
    bool running = false;
    EXPECT_EQ(message(v->stepTween(tween, running)), "");
    EXPECT_TRUE(running);
    EXPECT_EQ(text(v, "probe"), "75.0000%");
    v->now = 2.5;
    running = false;
    EXPECT_EQ(message(v->stepTween(tween, running)), "");
    EXPECT_FALSE(running);
    EXPECT_EQ(text(v, "probe"), "100.0000%");
}

TEST_F(ViewStates, ACrossFadeStepEndsPastNinetyFivePercentOfTheEaseAndThenTheFadeStops) {
    CStateTestView* v = begin(window, "v", {{"color-state", "Base"}});
    EXPECT_EQ(child(v, "ui:view-state", "h", {{"state-name", "hover"}, {"state-attrs", "color-state"}, {"color-state", "Hover"}, {"morph-duration", "0.06"}}), "");
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->setState(CString("hover"), false)), "");
    CViewStateData& data = *v->stateData();
    EXPECT_TRUE(data.isMorphing);
    EXPECT_EQ(str(data.targetLook.colorState), "BaseHover");
    v->now = 0.05;   // progress 0.833: eased 0.934, still blending
    EXPECT_EQ(fire(v, "timer"), "");
    EXPECT_EQ(str(data.shownLook.colorState), "Base");
    EXPECT_GT(data.morphFraction, 0.9);
    v->now = 0.052;  // progress 0.867: past 0.95, the new look alone
    EXPECT_EQ(fire(v, "timer"), "");
    EXPECT_EQ(str(data.shownLook.colorState), "BaseHover");
    EXPECT_TRUE(data.isMorphing);   // ends at the next frame, which finds the looks equal
    v->now = 0.07;
    EXPECT_EQ(fire(v, "timer"), "");
    EXPECT_FALSE(data.isMorphing);
    // A condition waits for the end of the animation.
    EXPECT_EQ(child(v, "ui:view-command", "c", {{"on-event", "go"}, {"condition-state-set", "hover"}, {"run-event", "ping"}, {"run-event-target", "."}}), "");
    EXPECT_EQ(message(v->unsetState(CString("hover"), false)), "");
    EXPECT_EQ(message(v->setState(CString("hover"), false)), "");
    EXPECT_TRUE(data.isMorphing);
    EXPECT_EQ(message(v->runCommand(CString("go"), nullptr)), "");
    EXPECT_TRUE(v->pings.empty());
    for (double t = 0.1; data.isMorphing && t < 1.0; t += 0.02) {
        v->now = t;
        EXPECT_EQ(fire(v, "timer"), "");
    }
    EXPECT_EQ(message(v->runCommand(CString("go"), nullptr)), "");
    EXPECT_EQ(v->pings.size(), 1u);
}

TEST_F(ViewStates, StateReadyCommandsRunWhenTheAnimationsEnd) {
    CStateTestView* v = begin(window, "v", {{"opacity", "0"}});
    EXPECT_EQ(child(v, "ui:view-state", "s", {{"state-name", "show"}, {"state-attrs", "opacity"}, {"opacity", "1"}, {"duration", "0.2"}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "ready", {{"on-event", "state-ready"}, {"run-event", "ping"}, {"run-event-target", "."}}), "");
    EXPECT_EQ(finish(v), "");
    v->pings.clear();
    EXPECT_EQ(message(v->setState(CString("show"), false)), "");
    EXPECT_TRUE(v->pings.empty());
    v->now = 0.1;
    EXPECT_EQ(fire(v, "timer"), "");
    EXPECT_TRUE(v->pings.empty());
    v->now = 0.3;
    EXPECT_EQ(fire(v, "timer"), "");
    EXPECT_EQ(v->pings.size(), 1u);
    EXPECT_DOUBLE_EQ(real(v, "opacity"), 1.0);
}

// --- commands ---

// The shipped command template: a command that names no target acts on its own view, and a
// parameter object made from its template carries parameters.
TEST_F(ViewStates, CommandsMadeFromTheTemplateTargetTheirOwnView) {
    ASSERT_EQ(message(CXMLLoader::loadXMLData(*shared, CString(TAL_UI_COMMANDS_DESCRIPTION), false)), "");
    CStateTestView* v = begin(window, "v", {{"has-view-states", "true"}});
    CObject* params = nullptr;
    ASSERT_EQ(v->addChild(params, CString("ui:run-event-params"), CString("params"), true), nullptr);
    EXPECT_EQ(child(params, "ui:param-data", "p", {{"attr", "index"}, {"value", "3"}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "c", {{"on-event", "mouse-release"}, {"run-event", "ping"}, {"run-event-params", "^params"}}, true), "");
    EXPECT_EQ(child(v, "ui:view-command", "s", {{"on-event", "mouse-release"}, {"set-state", "pushed"}}, true), "");
    EXPECT_EQ(finish(v), "");
    CAttrMap args;
    EXPECT_EQ(fire(v, "mouse-release", &args), "");
    EXPECT_EQ(v->pings, (std::vector<std::string>{"index=3"}));
    EXPECT_TRUE(v->isStateSet(CString("pushed")));
}

TEST_F(ViewStates, AMissingFirstTargetIsLoggedOnceAndTheSecondStillRuns) {
    CStateTestView* v = begin(window, "v", {});
    CStateTestView* other = begin(window, "other", {});
    EXPECT_EQ(finish(other), "");
    EXPECT_EQ(child(v, "ui:view-command", "c", {{"on-event", "mouse-release"}, {"run-event", "ping"}, {"run-event-target", "^nothere ^other"}}), "");
    EXPECT_EQ(finish(v), "");
    CLogCapture log;
    CAttrMap args;
    EXPECT_EQ(fire(v, "mouse-release", &args), "");
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Target not found: '^nothere' (command mouse-release) // window.v"}));
    EXPECT_EQ(other->pings.size(), 1u);
}

TEST_F(ViewStates, TheSelfTargetRunsTheEventOnTheView) {
    CStateTestView* v = begin(window, "v", {});
    EXPECT_EQ(child(v, "ui:view-command", "c", {{"on-event", "mouse-press"}, {"run-event", "ping"}, {"run-event-target", "."}}), "");
    EXPECT_EQ(finish(v), "");
    CAttrMap args;
    EXPECT_EQ(fire(v, "mouse-press-r", &args), "");   // no commands there
    EXPECT_TRUE(v->pings.empty());
    EXPECT_EQ(fire(v, "mouse-press", &args), "");
    EXPECT_EQ(v->pings, (std::vector<std::string>{""}));
}

TEST_F(ViewStates, ParametersComeFromTheParameterObjectAndForwardedArgumentsReplaceThem) {
    CStateTestView* v = begin(window, "v", {});
    CObject* params = add(v, "params");
    for (auto [name, attr, value] : {std::tuple{"p1", "index", "1"}, {"p2", "text", "a"}, {"p3", "other", "o"}})
        EXPECT_EQ(child(params, "ui:param-data", name, {{"attr", attr}, {"value", value}}), "");
    EXPECT_EQ(params->setAttr(CString("popup-tag"), CString("menu"), true), nullptr);
    EXPECT_EQ(child(v, "ui:view-command", "c", {{"on-event", "mouse-press"}, {"run-event", "ping"}, {"run-event-target", "."},
                                                {"run-event-params", "^params"}, {"run-event-forward-params", "index text"}}), "");
    EXPECT_EQ(finish(v), "");
    CAttrMap args;
    args.findOrAdd("index")->value.setInt(5);
    args.findOrAdd("x")->value.setInt(9);
    EXPECT_EQ(fire(v, "mouse-press", &args), "");
    EXPECT_EQ(v->pings, (std::vector<std::string>{"index=5 other=o popup-tag=menu text=a"}));
}

TEST_F(ViewStates, AParameterOfAnotherTagFailsBeforeAnyTargetRuns) {
    CStateTestView* v = begin(window, "v", {});
    CObject* params = add(v, "params");
    EXPECT_EQ(child(params, "ui:param-data", "p1", {{"attr", "index"}, {"value", "1"}}), "");
    add(params, "stray");
    EXPECT_EQ(child(v, "ui:view-command", "c", {{"on-event", "mouse-press"}, {"run-event", "ping"}, {"run-event-target", ". ."}, {"run-event-params", "^params"}}), "");
    EXPECT_EQ(finish(v), "");
    CAttrMap args;
    EXPECT_EQ(fire(v, "mouse-press", &args), "Unexpected tag 'core:object', expected <param>.");
    EXPECT_TRUE(v->pings.empty());
}

TEST_F(ViewStates, ToggleAttrInvertsAndConditionsTakeTheWholeTextAsOneName) {
    CStateTestView* v = begin(window, "v", {{"has-view-states", "true"}, {"flag-b", "true"}});
    EXPECT_EQ(child(v, "ui:view-command", "a", {{"on-event", "go"}, {"toggle-attr", "flag-a"}, {"toggle-attr-target", "."}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "b", {{"on-event", "go"}, {"toggle-attr", "flag-b"}, {"toggle-attr-target", "^missing"}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "ab", {{"on-event", "go"}, {"condition-state-set", "a b"}, {"set-attr", "never"}, {"set-attr-value", "1"}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "un", {{"on-event", "go"}, {"condition-state-unset", "a"}, {"set-state", "a b"}, {"state-target", "."}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "no-target", {{"on-event", "go"}, {"set-state", "c"}}), "");
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->runCommand(CString("go"), nullptr)), "");
    EXPECT_EQ(text(v, "flag-a"), "1");
    EXPECT_EQ(text(v, "flag-b"), "0");
    EXPECT_TRUE(v->isStateSet(CString("a")) && v->isStateSet(CString("b")));
    EXPECT_FALSE(v->isStateSet(CString("c")));
    EXPECT_EQ(message(v->runCommand(CString("go"), nullptr)), "");
    EXPECT_EQ(text(v, "never"), "<absent>");
    EXPECT_EQ(text(v, "flag-a"), "0");
}

TEST_F(ViewStates, ACommandThatReleasesItsOwnViewEndsTheRunCleanly) {
    CStateTestView* v = begin(window, "v", {});
    EXPECT_EQ(child(v, "ui:view-command", "c1", {{"on-event", "mouse-release"}, {"run-event", "release-me"}, {"run-event-target", "."}, {"set-state", "x"}, {"state-target", "."}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "c2", {{"on-event", "mouse-release"}, {"set-attr", "after"}, {"set-attr-value", "1"}}), "");
    EXPECT_EQ(finish(v), "");
    CAttrMap args;
    EXPECT_EQ(fire(v, "mouse-release", &args), "");
    EXPECT_EQ(window->findChild(CString("v")), nullptr);
}

TEST_F(ViewStates, ACommandThatReleasesItselfAndAnEarlierCommandLetsTheNextOneRunOnce) {
    CStateTestView* v = begin(window, "v", {});
    CStateTestView* holder = begin(v, "holder", {});
    EXPECT_EQ(finish(holder), "");
    EXPECT_EQ(child(v, "ui:view-command", "c1", {{"on-event", "go"}, {"toggle-attr", "first"}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "c2", {{"on-event", "go"}, {"run-event", "ping"}, {"run-event-target", ".holder"}, {"toggle-attr", "second"}}), "");
    EXPECT_EQ(child(v, "ui:view-command", "c3", {{"on-event", "go"}, {"toggle-attr", "third"}}), "");
    EXPECT_EQ(finish(v), "");
    holder->onPing = [v] {
        v->findChild(CString("c2"))->release();   // the command being run
        v->findChild(CString("c1"))->release();   // one before it: the later ones move down
    };
    EXPECT_EQ(message(v->runCommand(CString("go"), nullptr)), "");
    EXPECT_EQ(text(v, "first"), "1");
    EXPECT_EQ(text(v, "second"), "<absent>");     // the rest of a released command does not run
    EXPECT_EQ(text(v, "third"), "1");             // exactly once: 0 would mean it ran twice
    EXPECT_EQ(holder->pings.size(), 1u);
}

// --- input events ---

TEST_F(ViewStates, EnteringSetsHoverUnlessTheCommandsFailAndExitingUnsetsIt) {
    CStateTestView* v = begin(window, "v", {{"has-view-states", "true"}});
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(fire(v, "mouse-enter"), "");
    EXPECT_TRUE(v->isStateSet(CString("hover")));
    EXPECT_EQ(fire(v, "mouse-exit"), "");
    EXPECT_FALSE(v->isStateSet(CString("hover")));

    CStateTestView* w = begin(window, "w", {{"has-view-states", "true"}});
    EXPECT_EQ(child(w, "ui:view-command", "c", {{"on-event", "mouse-enter"}, {"run-event", "fail"}, {"run-event-target", "."}}), "");
    EXPECT_EQ(finish(w), "");
    EXPECT_EQ(fire(w, "mouse-enter"), "failed on purpose");
    EXPECT_FALSE(w->isStateSet(CString("hover")));
}

TEST_F(ViewStates, InputFlagsAreReadAtInitAndClickThroughFollowsItsAttribute) {
    CStateTestView* v = begin(window, "v", {{"is-focusable", "true"}, {"is-intercepting", "1"}, {"is-click-through", "true"}});
    EXPECT_EQ(finish(v), "");
    EXPECT_TRUE(v->isFocusable());
    EXPECT_TRUE(v->isIntercepting());
    EXPECT_FALSE(v->isInterceptingAllowChilds());
    EXPECT_FALSE(v->isInterceptingHoverOther());
    EXPECT_TRUE(v->isClickThrough());
    EXPECT_EQ(set(v, "is-click-through", "sometimes"), "");
    EXPECT_FALSE(v->isClickThrough());
    EXPECT_EQ(set(v, "is-click-through", "true"), "");
    EXPECT_TRUE(v->isClickThrough());
}

TEST_F(ViewStates, DroppingTheWindowFocusRunsFocusLostOnTheWindowObjectOnly) {
    CStateTestView* v = begin(window, "v", {});
    EXPECT_EQ(finish(v), "");
    EXPECT_EQ(message(v->dropWindowFocus()), "");   // the root view names no window
    CStateTestView* target = begin(window, "window-object", {});
    EXPECT_EQ(finish(target), "");
    EXPECT_EQ(set(window, "window", "window.window-object"), "");
    EXPECT_EQ(message(v->dropWindowFocus()), "Unknown event 'focus-lost'.");
}

} // namespace

} // namespace tal
