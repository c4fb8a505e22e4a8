#include "UI/CParamGroupSelector.h"

#include "UI/CValueList.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// A selector "ui.sel" on the recording client, a value list "ui.groups" for its active groups and
// a watcher that records every "group-change" index.
class CParamGroupSelectorTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "groups", {})), "");
        groups = dynamic_cast<CValueList*>(object);
        watcher = addListener(ui, "watcher");
        watcher->action = [this](CEventTestObject&, CAttrMap& args) {
            announced.push_back(args.findValue("index")->asInt());
            return static_cast<CError*>(nullptr);
        };
    }
    CParamGroupSelector* selector(AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:param-group-selector"), CString("sel"), false)), "");
        watcher->listenObject(object->getFullName(), CString("group-change"), CString("on"));
        EXPECT_EQ(takeMessage(object->setAttr(CString("interface-client"), CString("^client"), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return dynamic_cast<CParamGroupSelector*>(object);
    }
    void setGroups(std::vector<const char*> items) {
        CStringList list;
        for (const char* item : items)
            list.add(item);
        ASSERT_EQ(takeMessage(groups->setItems(list)), "");
    }
    // The audio side's new value of the single-group parameter behind "ui.groupsel".
    void reply(CParamBridge* bridge, double x) {
        const std::vector<double> values = {x};
        CAudioParamChange change = floatChange(0, 0, values);
        change.singleGroup = true;
        connector->replyParamUpdate(bridge->listenHandle(), change);
    }
    std::vector<int> takeAnnounced() {
        std::vector<int> out;
        out.swap(announced);
        return out;
    }

    CValueList* groups = nullptr;
    CEventTestObject* watcher = nullptr;
    std::vector<int> announced;
};

TEST_F(CParamGroupSelectorTest, ItemsNameTheGroupAfterTheirLastSemicolon) {
    const struct { const char* item; int group; } cases[] = {
        {"Left;1", 0}, {"Mid;3", 2}, {"a;b;4", 3}, {"Left", 0}, {"Left;", -1},
        {"Left;x", -1}, {"Left;0", -1}, {"Left;-2", -1}, {"Hex;0x10", 15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CParamGroupSelector::parseItemGroup(CString(c.item)), c.group) << c.item;
}

TEST_F(CParamGroupSelectorTest, TheGroupIndexIsAnnouncedOncePerChange) {
    CParamGroupSelector* sel = selector({{"group-index", "0"}});
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{0}));
    ASSERT_EQ(takeMessage(sel->setAttr(CString("group-index"), CString("0"), true)), "");
    EXPECT_TRUE(takeAnnounced().empty());
    ASSERT_EQ(takeMessage(sel->setAttr(CString("group-index"), CString("5"), true)), "");
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{5}));
    EXPECT_EQ(sel->getCurrentGroup(), 5);
}

TEST_F(CParamGroupSelectorTest, ANegativeIndexIsNeverAnnouncedNorLimited) {
    setGroups({"A;2", "B;4"});
    CParamGroupSelector* sel = selector({{"group-index", "-1"}, {"active-groups-list", "^groups"}});
    EXPECT_TRUE(takeAnnounced().empty());
    EXPECT_EQ(sel->getCurrentGroup(), -1);
}

TEST_F(CParamGroupSelectorTest, TheActiveGroupsListLimitsTheCurrentGroup) {
    setGroups({"A;2", "B;4"});
    CParamGroupSelector* sel = selector({{"group-index", "0"}, {"active-groups-list", "^groups"}});
    EXPECT_EQ(sel->getCurrentGroup(), 1);
    ASSERT_EQ(takeMessage(sel->setGroupIndex(3)), "");
    EXPECT_EQ(sel->getCurrentGroup(), 3);
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{1, 3}));

    // A change of the list that keeps group 3 is silent; one that drops it moves to the first group.
    setGroups({"C;1", "B;4"});
    EXPECT_TRUE(takeAnnounced().empty());
    setGroups({"C;1", "D;2"});
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{0}));
    // Items that name no group leave group 0.
    ASSERT_EQ(takeMessage(sel->setGroupIndex(6)), "");
    setGroups({"A;0", "B;x"});
    EXPECT_EQ(sel->getCurrentGroup(), 0);
    // An empty list is no limit.
    setGroups({});
    EXPECT_EQ(sel->getCurrentGroup(), 6);
}

TEST_F(CParamGroupSelectorTest, ActiveGroupsAreListedOnceInItemOrder) {
    CParamGroupSelector* sel = selector({{"group-index", "0"}, {"active-groups-list", "^groups"}});
    setGroups({"A;2", "B;2", "C;1", "D;x"});
    CArray<std::int32_t> active;
    active.add(99);
    sel->getActiveGroups(active);
    ASSERT_EQ(active.count(), 2);
    EXPECT_EQ(active[0], 1);
    EXPECT_EQ(active[1], 0);
}

TEST_F(CParamGroupSelectorTest, ABoundParameterDecidesAndAWriteGoesThroughIt) {
    const auto info = makeInfo("Group", 1, -10, 10, "0", true);
    CParamBridge* bridge = bridgeWith("groupsel", *info);
    CParamGroupSelector* sel = selector({{"group-index", "4"}});
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{4}));
    addUIParam(sel, "ui-param-group", {{"bridge", "ui.groupsel"}});
    ASSERT_TRUE(sel->isUIParamActive());
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{0}));  // the parameter's default now decides

    const struct { double value; int group; } rounding[] = {{2.5, 3}, {-0.5, -1}, {1.49, 1}, {-2.5, -3}};
    for (const auto& r : rounding) {
        reply(bridge, r.value);
        EXPECT_EQ(sel->getCurrentGroup(), r.group) << r.value;
        EXPECT_EQ(takeAnnounced(), (std::vector<int>{r.group})) << r.value;
    }

    // A new index goes to the audio side as a change of the parameter; the bridge applies it, so the
    // announcement comes from the parameter, once, and the echo from the audio side adds nothing.
    connector->take();
    ASSERT_EQ(takeMessage(sel->setGroupIndex(6)), "");
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g0 f0 n1 r0: 6"}));
    EXPECT_EQ(takeAnnounced(), (std::vector<int>{6}));
    reply(bridge, 6);
    EXPECT_TRUE(takeAnnounced().empty());
}

TEST_F(CParamGroupSelectorTest, ANegativeParameterValueBecomesTheFirstListedGroup) {
    const auto info = makeInfo("Group", 1, -10, 10, "0", true);
    CParamBridge* bridge = bridgeWith("groupsel", *info);
    setGroups({"A;0", "B;3", "C;5"});
    CParamGroupSelector* sel = selector({{"active-groups-list", "^groups"}});
    addUIParam(sel, "ui-param-group", {{"bridge", "ui.groupsel"}});
    reply(bridge, -1);
    EXPECT_EQ(sel->getCurrentGroup(), 2);
}

} // namespace
} // namespace tal
