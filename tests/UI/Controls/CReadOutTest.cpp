// The value readout: its binding children, the shown text, typed values as one edit each, and drag
// and wheel through its controller.
#include "UI/Controls/CReadOut.h"

#include "UI/Controls/CTextWrapper.h"
#include "support/ControllerTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CReadOutTest : public CControllerTestTree {
protected:
    CReadOut* readout(AttrList attrs) {
        std::vector<std::pair<const char*, const char*>> all = {
            {"ui-param-tag", "test:ui-param"}, {"ui-param-controller-tag", "test:controller"},
            {"is-vertical-controller", "1"}};
        all.insert(all.end(), attrs.begin(), attrs.end());
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(window->addChild(object, CString("ui:readout"), CString("readout"), false)), "");
        for (const auto& [key, value] : all)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        connector->take();
        return dynamic_cast<CReadOut*>(object);
    }
    std::string title(CReadOut* r) { return test::utf8Of(r->getTextAttr("title")); }
    // The user typed text and confirmed it.
    void type(CReadOut* r, const char* text) {
        ASSERT_NE(r->textWrapper(), nullptr);
        if (r->textWrapper()->paragraphCount() == 0)
            r->textWrapper()->addParagraph(CString(text));
        else
            r->textWrapper()->setParagraphText(0, CString(text));
        ASSERT_EQ(takeMessage(r->notifyTextChanged()), "");
    }
    std::string valueText(int element) {
        CString text;
        bridge->getValueText(0, element, 0, text, 0);
        return test::utf8Of(text);
    }
};

TEST_F(CReadOutTest, ShowsTheElementsTextAndFollowsTheElement) {
    setValues(0, {0.3, 0.7, 0.3, 0.3});
    CReadOut* r = readout({{"bridge", "ui.p"}, {"element", "1"}});
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->uiParam(), nullptr);
    EXPECT_EQ(r->element(), 1);
    EXPECT_EQ(title(r), valueText(1));
    ASSERT_EQ(takeMessage(r->setAttr(CString("element"), CString("0"), true)), "");
    EXPECT_EQ(title(r), valueText(0));
    EXPECT_NE(valueText(0), valueText(1));
}

TEST_F(CReadOutTest, ATypedValueIsExactlyOneEdit) {
    struct Case { const char* typed; int changes; double expected; };
    CReadOut* r = readout({{"bridge", "ui.p"}, {"element", "2"}, {"default-value", "0.9"}});
    ASSERT_NE(r, nullptr);
    const Case cases[] = {
        {"0.6", 1, 0.6},     // a new value: begin, set, end
        {"same", 0, 0.6},    // the text that is shown: nothing
        {"", 1, 0.9},        // empty: the default value is typed
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.typed);
        connector->take();
        const std::string typed = std::string(row.typed) == "same" ? valueText(2) : row.typed;
        type(r, typed.c_str());
        EXPECT_EQ(lines("change-param").size(), std::size_t(row.changes));
        EXPECT_EQ(lines("submit-undo-data").size(), std::size_t(row.changes));
        EXPECT_NEAR(valueOf(0, 2), row.expected, 1e-9);
        EXPECT_EQ(title(r), valueText(2));   // the shown text is the parameter's again
    }
}

TEST_F(CReadOutTest, ElementMinusOneSendsNothing) {
    CReadOut* r = readout({{"bridge", "ui.p"}, {"element", "-1"}});
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->element(), -1);
    connector->take();
    type(r, "0.8");
    EXPECT_TRUE(lines("change-param").empty());
    EXPECT_TRUE(lines("create-undo-data").empty());
    EXPECT_NEAR(valueOf(0, 0), 0.3, 1e-12);
}

TEST_F(CReadOutTest, AnUnboundReadoutKeepsWhatIsTyped) {
    CReadOut* r = readout({});
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->uiParam(), nullptr);
    type(r, "hello");
    EXPECT_EQ(title(r), "hello");
}

TEST_F(CReadOutTest, DragAndWheelGoThroughTheController) {
    struct Case { const char* dragDisabled; bool dragMoves; };
    for (const Case& row : {Case{"0", true}, Case{"true", false}}) {
        SCOPED_TRACE(row.dragDisabled);
        if (CObject* old = window->findChild(CString("readout")))
            old->release();
        setValues(0, {0.3, 0.3, 0.3, 0.3});
        CReadOut* r = readout({{"bridge", "ui.p"},
                               {"element", "1"},
                               {"needs-ui-param-controller", "true"},
                               {"is-ui-param-controller-drag-disabled", row.dragDisabled}});
        ASSERT_NE(r, nullptr);
        ASSERT_NE(r->controller(), nullptr);
        CAttrMap args;
        moveMouseTo(100.0, 100.0);
        ASSERT_EQ(takeMessage(r->onMousePress(args)), "");
        moveMouseTo(100.0, 90.0);
        ASSERT_EQ(takeMessage(r->onMouseMove(args)), "");
        ASSERT_EQ(takeMessage(r->onMouseRelease(args)), "");
        const double afterDrag = valueOf(0, 1);
        if (row.dragMoves)
            EXPECT_NEAR(afterDrag, 0.3 + 10.0 * settings->dragPrecisionFactor, 1e-9);
        else
            EXPECT_NEAR(afterDrag, 0.3, 1e-12);
        CAttrMap wheel;
        wheel.findOrAdd("delta")->value.setReal(1.0);
        ASSERT_EQ(takeMessage(r->onMouseWheel(wheel)), "");
        EXPECT_NEAR(valueOf(0, 1), afterDrag + settings->mouseWheelPrecisionFactor, 1e-9);
    }
}

} // namespace
} // namespace tal
