// Knobs over a recording editor: linked knobs engaged and released by Ctrl mid-drag inside the
// master's single undo step, the right-button inversion table, a Ctrl wheel step on every linked
// knob, and a knob disabled during its drag.
#include "UI/Controls/CKnob.h"

#include "Core/CAttrMap.h"
#include "UI/CGlobalSettings.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamController.h"
#include "UI/CValueList.h"
#include "UI/Controls/CMultiChangeDisplay.h"
#include "UI/Controls/ControlCreators.h"
#include "support/ControllerTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// Three panels "a", "b", "c" in the window, each with a knob "knob-base" on element 0, 1 and 2 of
// the parameter ui.p (range 0..1, group 0 at 0.3 everywhere); knob a links b and c.
class CKnobLinkTest : public CControllerTestTree {
protected:
    void SetUp() override {
        CControllerTestTree::SetUp();
        static const bool registered = [] {
            CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
            return CCreatorRegistry::instance().find(CString("ui:knob")) != nullptr;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:param-group-selector", "sel",
                                                    {{"interface-client", "^client"}, {"group-index", "0"}})),
                  "");
        connector->take();
    }
    CKnob* addKnob(const char* panel, int element, AttrList attrs) {
        CObject* holder = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(holder, window, "ui:view", panel, {})), "");
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(holder->addChild(object, CString("ui:knob"), CString("knob-base"), false)), "");
        auto* k = dynamic_cast<CKnob*>(object);
        if (k == nullptr) return nullptr;
        std::vector<std::pair<const char*, const char*>> all = {
            {"center-x", "0.5"}, {"center-y", "0.5"}, {"inner-radius", "0.27"}, {"outer-radius", "0.44"},
            {"zone-start", "0.89"}, {"zone-end", "0.60"}, {"is-knob-labels", "false"}, {"element", std::to_string(element).c_str()},
            {"multichange-display", ".multichange-display"}};
        const std::string elementText = std::to_string(element);
        all[7].second = elementText.c_str();
        all.insert(all.end(), attrs.begin(), attrs.end());
        for (const auto& [key, value] : all) EXPECT_EQ(takeMessage(k->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(k->init()), "");
        EXPECT_EQ(takeMessage(k->createChilds()), "");
        CObject* child = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(child, k, "ui:ui-param", "ui-param", {{"bridge", "ui.p"}, {"group-selector", "ui.sel"}})), "");
        EXPECT_EQ(takeMessage(CParamTestTree::build(child, k, "ui:ui-param-controller", "ui-param-controller",
                                                    {{"interface-client", "ui.client"}, {"is-vertical", "true"},
                                                     {"sensitivity", "1.0"}, {"timer-tag", "test:tick"},
                                                     {"ui-param", "^ui-param"}})),
                  "");
        EXPECT_EQ(takeMessage(k->initChilds()), "");
        const CAreaRect rect{0.0, 0.0, 100.0, 100.0};
        EXPECT_EQ(takeMessage(k->handleViewAreaUpdate(rect, rect)), "");
        connector->take();
        return k;
    }
    void makeKnobs(const char* linkInversed = "false") {
        a = addKnob("a", 0, {{"linked-knob", "^b ^c"}, {"is-link-inversed", linkInversed}});
        b = addKnob("b", 1, {});
        c = addKnob("c", 2, {});
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        ASSERT_NE(c, nullptr);
    }
    static CAttrMap& args(CAttrMap& m, std::vector<std::pair<const char*, double>> values) {
        for (const auto& [key, value] : values) m.findOrAdd(key)->value.setReal(value);
        return m;
    }
    // One pointer step of dy points on knob k with the given button and Ctrl.
    void step(CKnob* k, double dy, char button, bool ctrl) {
        moveMouseTo(input().dragMouseX, input().dragMouseY + dy);
        CAttrMap m;
        args(m, {{"x", 50}, {"y", 50 + dy}});
        m.findOrAdd("button")->value.setInt(button);
        m.findOrAdd("is-ctrl")->value.setBool(ctrl);
        ASSERT_EQ(takeMessage(k->onMouseMove(m)), "");
    }
    void pressCentre(CKnob* k, bool right, bool ctrl, bool alt = false) {
        moveMouseTo(50, 50);
        CAttrMap m;
        args(m, {{"x", 50}, {"y", 50}});
        m.findOrAdd("is-ctrl")->value.setBool(ctrl);
        m.findOrAdd("is-alt")->value.setBool(alt);
        ASSERT_EQ(takeMessage(right ? k->onMousePressR(m) : k->onMousePress(m)), "");
    }
    void release(CKnob* k) {
        CAttrMap none;
        ASSERT_EQ(takeMessage(k->onMouseRelease(none)), "");
    }

    CKnob* a = nullptr;
    CKnob* b = nullptr;
    CKnob* c = nullptr;
};

// Ctrl pressed in the middle of a left-button drag moves the linked knobs by the travel after it;
// letting Ctrl go stops them; everything lands in one undo step.
TEST_F(CKnobLinkTest, CtrlMidDragLinksOnlyTheTravelAfterIt) {
    makeKnobs();
    connector->take();
    pressCentre(a, false, false);
    ASSERT_EQ(a->dragMode(), KnobDragLinear);
    step(a, -20, 'L', false);
    const double afterFirst = valueOf(0, 0);
    EXPECT_GT(afterFirst, 0.3);
    EXPECT_DOUBLE_EQ(valueOf(0, 1), 0.3);
    EXPECT_DOUBLE_EQ(valueOf(0, 2), 0.3);
    step(a, -20, 'L', true);
    const double linkedTravel = valueOf(0, 0) - afterFirst;
    EXPECT_GT(linkedTravel, 0.0);
    EXPECT_TRUE(a->isLinkedDragActive());
    EXPECT_NEAR(valueOf(0, 1), 0.3 + linkedTravel, 1e-9);
    EXPECT_NEAR(valueOf(0, 2), 0.3 + linkedTravel, 1e-9);
    step(a, -10, 'L', false);
    EXPECT_FALSE(a->isLinkedDragActive());
    EXPECT_GT(valueOf(0, 0), afterFirst + linkedTravel);
    EXPECT_NEAR(valueOf(0, 1), 0.3 + linkedTravel, 1e-9);
    release(a);
    EXPECT_EQ(lines("create-undo-data").size(), 1u);
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);
    EXPECT_FALSE(a->controller()->isDragActive());
    EXPECT_FALSE(b->controller()->isDragActive());
}

// Right-button drags bring the linked knobs along; they move against the master when Ctrl at the
// press differs from "is-link-inversed". Left-button drags never invert.
TEST_F(CKnobLinkTest, RightButtonInversionTable) {
    struct Case { const char* inversed; bool right, ctrl; double sign; };
    const Case cases[] = {{"false", true, false, 1.0}, {"false", true, true, -1.0}, {"true", true, false, -1.0},
                          {"true", true, true, 1.0}, {"true", false, true, 1.0}};
    int panel = 0;
    for (const Case& cs : cases) {
        SCOPED_TRACE(std::string(cs.inversed) + (cs.right ? " right" : " left") + (cs.ctrl ? " ctrl" : ""));
        setValues(0, {0.5, 0.5, 0.5, 0.5});
        // Fresh panels for each case, since the links are resolved once per knob.
        const std::string pa = "a" + std::to_string(panel), pb = "b" + std::to_string(panel);
        ++panel;
        const std::string link = "^" + pb;
        CKnob* master = addKnob(pa.c_str(), 0, {{"linked-knob", link.c_str()}, {"is-link-inversed", cs.inversed}});
        CKnob* linked = addKnob(pb.c_str(), 1, {});
        ASSERT_NE(master, nullptr);
        ASSERT_NE(linked, nullptr);
        pressCentre(master, cs.right, cs.ctrl);
        step(master, -20, cs.right ? 'R' : 'L', cs.ctrl);
        const double moved = valueOf(0, 0) - 0.5;
        ASSERT_GT(moved, 0.0);
        EXPECT_NEAR(valueOf(0, 1) - 0.5, cs.sign * moved, 1e-9);
        release(master);
    }
}

TEST_F(CKnobLinkTest, ACtrlWheelStepMovesEveryLinkedKnobOnce) {
    makeKnobs();
    CAttrMap m;
    args(m, {{"delta", 1.0}});
    ASSERT_EQ(takeMessage(a->onMouseWheel(m)), "");
    const double stepSize = valueOf(0, 0) - 0.3;
    ASSERT_GT(stepSize, 0.0);
    EXPECT_DOUBLE_EQ(valueOf(0, 1), 0.3);
    m.findOrAdd("is-ctrl")->value.setBool(true);
    ASSERT_EQ(takeMessage(a->onMouseWheel(m)), "");
    EXPECT_NEAR(valueOf(0, 0), 0.3 + 2 * stepSize, 1e-9);
    EXPECT_NEAR(valueOf(0, 1), 0.3 + stepSize, 1e-9);
    EXPECT_NEAR(valueOf(0, 2), 0.3 + stepSize, 1e-9);
}

// A knob disabled during its drag ends the drag: the controller's drag (and the hidden pointer)
// ends, one undo step is committed, and the next press starts a clean drag.
TEST_F(CKnobLinkTest, AKnobDisabledMidDragEndsItsDrag) {
    makeKnobs();
    connector->take();
    pressCentre(a, false, false);
    step(a, -20, 'L', false);
    ASSERT_TRUE(a->controller()->isDragActive());
    ASSERT_EQ(takeMessage(a->setAttr(CString("element"), CString("-1"), true)), "");
    EXPECT_EQ(a->dragMode(), KnobDragNone);
    EXPECT_FALSE(a->controller()->isDragActive());
    EXPECT_FALSE(a->controller()->drag.isActive());
    EXPECT_FALSE(a->controller()->drag.isCursorHidden());
    EXPECT_FALSE(a->controller()->isMultiChange());
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);
    // The release that arrives while disabled changes nothing more.
    release(a);
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);
    ASSERT_EQ(takeMessage(a->setAttr(CString("element"), CString("0"), true)), "");
    connector->take();
    pressCentre(a, false, false);
    step(a, -20, 'L', false);
    EXPECT_TRUE(a->controller()->isDragActive());
    release(a);
    EXPECT_EQ(lines("create-undo-data").size(), 1u);
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);
}

// With the show-all-channels switch on, an all-channel drag moves every active group by the
// current group's difference, each keeping its own offset; the snapshot is taken at the press.
TEST_F(CKnobLinkTest, AnAllChannelDragMovesEveryActiveGroupByTheSameDifference) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "groups", {})), "");
    CStringList items;
    for (const char* item : {"A;1", "B;2", "C;3"}) items.add(CString(item));
    ASSERT_EQ(takeMessage(static_cast<CValueList*>(object)->setItems(items)), "");
    ASSERT_EQ(takeMessage(ui->findChild(CString("sel"))->setAttr(CString("active-groups-list"), CString("ui.groups"), true)), "");
    const auto showInfo = makeInfo("Show all", 1, 0, 1, "1");
    bridgeWith("show-all", *showInfo);
    setValues(0, {0.3, 0.3, 0.3, 0.3});
    setValues(1, {0.5, 0.5, 0.5, 0.5});
    setValues(2, {0.6, 0.6, 0.6, 0.6});
    CKnob* k = addKnob("solo", 0, {{"show-all-channels-bridge", "ui.show-all"}});
    ASSERT_NE(k, nullptr);
    pressCentre(k, false, false, true);
    k->controller()->setMultiChange(true);   // what the shown multi-change display does
    step(k, -20, 'L', false);
    step(k, -10, 'L', false);
    const double moved = valueOf(0, 0) - 0.3;
    ASSERT_GT(moved, 0.0);
    EXPECT_NEAR(valueOf(1, 0) - 0.5, moved, 1e-9);
    EXPECT_NEAR(valueOf(2, 0) - 0.6, moved, 1e-9);
    EXPECT_DOUBLE_EQ(valueOf(1, 1), 0.5);   // other elements stay
    release(k);
}

} // namespace
} // namespace tal
