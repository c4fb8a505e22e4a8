// The multi-change display: showing switches the controller's multi-change flag, the items follow
// the active groups with each group's value text, surplus items go, and the display is placed over
// its owner inside the root view.
#include "UI/Controls/CMultiChangeDisplay.h"

#include "UI/CViewBasePlacement.h"
#include "support/ControllerTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CMultiChangeDisplayTest : public CControllerTestTree {
protected:
    void SetUp() override {
        CControllerTestTree::SetUp();
        c = controller({{"active-audio-groups", "ui.window.groups"}});
        ASSERT_NE(c, nullptr);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, window, "ui:value-list-manual", "groups", {})), "");
        groups = dynamic_cast<CValueList*>(object);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, knob, "ui:multichange-display", "multichange-display",
                                                    {{"owner-path", "^"},
                                                     {"ui-param-controller-path", "^ui-param-controller"},
                                                     {"active-audio-groups", "ui.window.groups"},
                                                     {"multichange-item-tag", "test:tick"},
                                                     {"has-view-states", "true"},
                                                     {"offset-y", "-50"}})),
                  "");
        display = dynamic_cast<CMultiChangeDisplay*>(object);
        ASSERT_NE(display, nullptr);
        ASSERT_EQ(takeMessage(CParamTestTree::build(items, display, "ui:view", "items", {})), "");
        setValues(1, {0.5, 0.25, 0.5, 0.5});
    }
    void setGroups(std::vector<const char*> list) {
        CStringList texts;
        for (const char* t : list)
            texts.add(t);
        ASSERT_EQ(takeMessage(groups->setItems(texts)), "");
    }
    // "label=value" of every item that is not hidden.
    std::vector<std::string> shownItems() {
        std::vector<std::string> out;
        for (int i = 0; i < items->childCount(); ++i) {
            CObject* item = items->child(i);
            if (item->getBoolAttr("is-hidden"))
                continue;
            out.push_back(test::utf8Of(item->getTextAttr("group-name")) + "=" +
                          test::utf8Of(item->getTextAttr("value")));
        }
        return out;
    }
    std::string valueText(int group, int element) {
        CString text;
        bridge->getValueText(group, element, 0, text, 0);
        return test::utf8Of(text);
    }

    CUIParamController* c = nullptr;
    CValueList* groups = nullptr;
    CMultiChangeDisplay* display = nullptr;
    CObject* items = nullptr;
};

TEST_F(CMultiChangeDisplayTest, ShowingSwitchesTheControllersMultiChangeFlag) {
    EXPECT_FALSE(c->isMultiChange());
    ASSERT_EQ(takeMessage(display->setShown(true)), "");
    EXPECT_TRUE(display->isShown());
    EXPECT_TRUE(c->isMultiChange());
    EXPECT_TRUE(display->isStateSet(CString("show")));
    ASSERT_EQ(takeMessage(display->setShown(true)), "");   // twice: nothing more
    EXPECT_TRUE(c->isMultiChange());
    ASSERT_EQ(takeMessage(display->setShown(false)), "");
    EXPECT_FALSE(c->isMultiChange());
    EXPECT_FALSE(display->isStateSet(CString("show")));
}

TEST_F(CMultiChangeDisplayTest, ItemsListEachActiveGroupsValueText) {
    setGroups({"L;1", "R;2", "bad", "a;b;c"});
    ASSERT_EQ(takeMessage(display->refreshItems()), "");   // hidden: nothing
    EXPECT_EQ(items->childCount(), 0);
    ASSERT_EQ(takeMessage(display->setShown(true)), "");
    ASSERT_EQ(takeMessage(display->setAttr(CString("element"), CString("1"), true)), "");
    ASSERT_EQ(takeMessage(display->refreshItems()), "");
    const std::vector<std::string> expected = {"L=" + valueText(0, 1), "R=" + valueText(1, 1)};
    EXPECT_EQ(shownItems(), expected);
    EXPECT_NE(valueText(0, 1), valueText(1, 1));   // the two groups really differ

    setGroups({"L;1"});
    ASSERT_EQ(takeMessage(display->refreshItems()), "");
    EXPECT_EQ(shownItems(), std::vector<std::string>{"L=" + valueText(0, 1)});
}

} // namespace
} // namespace tal
