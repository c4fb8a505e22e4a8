// The A/B button: a click asks the audio side first, then writes the state parameter and shows the
// other side on itself, its copy button and its labels; parameter updates only show; a refused
// exchange changes nothing.
#include "UI/Controls/CButtonAB.h"

#include "Core/CError.h"
#include "UI/CPluginControl.h"
#include "UI/Controls/ButtonTestTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

// "test:plugin-control": counts its "on-ab" runs and refuses them on request.
class CCountingPluginControl : public CPluginControl {
public:
    CError* onAB() override {
        ++calls;
        return refuse ? newError("exchange refused") : nullptr;
    }
    int calls = 0;
    bool refuse = false;
};

class CButtonABTest : public CButtonTestTree {
protected:
    void SetUp() override {
        CButtonTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:plugin-control", [] { return static_cast<CObject*>(new CCountingPluginControl); }, &CPluginControl::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        control = static_cast<CCountingPluginControl*>(object(ui, "test:plugin-control", "plugin-control", {}));
    }

    // The A/B button with its labels, optionally its state parameter, and a copy button made before
    // or after it.
    CButtonAB* abButton(bool withParam, bool copyFirst) {
        CView* copyEarly = copyFirst ? build(window, "ab-copy", {{"has-view-states", "true"}}, "ui:button-base") : nullptr;
        auto* ab = static_cast<CButtonAB*>(begin(window, "ab", {{"has-view-states", "true"}, {"copy-button-path", "^ab-copy"}}, "ui:button-ab"));
        EXPECT_EQ(takeError(), "");
        CView* labels = begin(ab, "labels", {});
        build(labels, "a", {});
        build(labels, "b", {});
        finish(labels);
        if (withParam) param = object(ab, "ui:ui-param", "ui-param-ab-state", {{"is-simple-attr", "true"}, {"shared-attribute-value", "0"}});
        finish(ab);
        EXPECT_EQ(takeError(), "");
        copy = copyEarly != nullptr ? copyEarly : build(window, "ab-copy", {{"has-view-states", "true"}}, "ui:button-base");
        labelA = static_cast<CView*>(ab->findObject(CString(".labels.a")));
        labelB = static_cast<CView*>(ab->findObject(CString(".labels.b")));
        return ab;
    }
    void click(CButtonAB* ab) {
        CAttrMap none;
        ASSERT_EQ(test::takeMessage(ab->onMousePress(none)), "");
        ASSERT_EQ(test::takeMessage(ab->onMouseRelease(none)), "");
    }
    // "A" or "B" as every part of the look shows it, "mixed" otherwise.
    std::string look(CButtonAB* ab) {
        const bool b = ab->isStateSet(CString("b-state"));
        if (copy->isStateSet(CString("b-state")) != b) return "mixed";
        if (attr(labelA, "color") != (b ? "ButtonAB" : "Selection")) return "mixed";
        if (attr(labelB, "color") != (b ? "Selection" : "ButtonAB")) return "mixed";
        return b ? "B" : "A";
    }

    CCountingPluginControl* control = nullptr;
    CObject* param = nullptr;
    CView* copy = nullptr;
    CView* labelA = nullptr;
    CView* labelB = nullptr;
};

TEST_F(CButtonABTest, AClickExchangesWritesAndShowsTheOtherSide) {
    for (const bool copyFirst : {true, false}) {
        SCOPED_TRACE(copyFirst);
        window = beginWindow(copyFirst ? "w1" : "w2", {{"width", "300"}, {"height", "100"}});
        control->calls = 0;
        CButtonAB* ab = abButton(true, copyFirst);
        EXPECT_EQ(look(ab), "A");
        click(ab);
        EXPECT_EQ(control->calls, 1);
        EXPECT_FALSE(ab->isStateA());
        EXPECT_EQ(attr(param, "shared-attribute-value"), "1.0000");
        EXPECT_EQ(look(ab), "B");
        click(ab);
        EXPECT_EQ(control->calls, 2);
        EXPECT_EQ(attr(param, "shared-attribute-value"), "0.0000");
        EXPECT_EQ(look(ab), "A");
    }
}

TEST_F(CButtonABTest, ParameterUpdatesOnlyShowTheState) {
    CButtonAB* ab = abButton(true, true);
    struct Case { const char* value; const char* look; };
    for (const Case& c : {Case{"1", "B"}, Case{"0.4", "A"}, Case{"0.5", "B"}, Case{"-0.4", "A"}, Case{"-0.5", "B"}, Case{"0", "A"}}) {
        SCOPED_TRACE(c.value);
        ASSERT_EQ(set(param, "shared-attribute-value", c.value), "");
        EXPECT_EQ(look(ab), c.look);
        EXPECT_EQ(attr(param, "shared-attribute-value"), c.value);
    }
    EXPECT_EQ(control->calls, 0);
}

TEST_F(CButtonABTest, WithoutParameterTheButtonStillSwitches) {
    CButtonAB* ab = abButton(false, true);
    EXPECT_FALSE(ab->isDisabled());
    click(ab);
    EXPECT_EQ(control->calls, 1);
    EXPECT_EQ(look(ab), "B");
}

// An exchange the audio side refuses leaves the state, the parameter and the look as they were.
TEST_F(CButtonABTest, ARefusedExchangeChangesNothing) {
    CButtonAB* ab = abButton(true, true);
    control->refuse = true;
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(ab->onMousePress(none)), "");
    EXPECT_EQ(test::takeMessage(ab->onMouseRelease(none)), "exchange refused");
    EXPECT_TRUE(ab->isStateA());
    EXPECT_EQ(attr(param, "shared-attribute-value"), "0");
    EXPECT_EQ(look(ab), "A");
}

TEST_F(CButtonABTest, ThePressedLookShiftsBothLabels) {
    CButtonAB* ab = abButton(false, true);
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(ab->onMousePress(none)), "");
    EXPECT_EQ(attr(labelA, "outer-border"), "LT1 BR-1");
    EXPECT_EQ(attr(labelB, "outer-border"), "LT1 BR-1");
    ASSERT_EQ(test::takeMessage(ab->onMouseRelease(none)), "");
    EXPECT_NE(attr(labelA, "outer-border"), "LT1 BR-1");
    EXPECT_NE(attr(labelB, "outer-border"), "LT1 BR-1");
    EXPECT_EQ(look(ab), "B");
}

} // namespace
} // namespace tal
