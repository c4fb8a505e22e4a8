#include "UI/CUIParam.h"

#include "Core/CAppData.h"
#include "Core/CAttrMap.h"
#include "Core/CSharedAttribute.h"
#include "Core/CSystem.h"
#include "support/BindingTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CUIParamTest : public CRecordingBindingTree {
protected:
    // Raises the bridge's "param-change" as a reply would.
    void raiseParamChange(CParamBridge* bridge, int group, int offset, int count, bool replacing) {
        CAttrMap args;
        args.findOrAdd("group")->value.setInt(group);
        args.findOrAdd("element-offset")->value.setInt(offset);
        args.findOrAdd("element-count")->value.setInt(count);
        args.findOrAdd("is-replacing")->value.setInt(replacing ? 1 : 0);
        ASSERT_EQ(takeMessage(bridge->fireEvent(CString("param-change"), &args, false)), "");
    }
};

TEST_F(CUIParamTest, AParentWithoutHandlerRefusesTheParameter) {
    CObject* object = nullptr;
    const std::string message =
        takeMessage(CParamTestTree::build(object, ui, "ui:ui-param", "orphan", {{"is-simple-attr", "true"}}));
    EXPECT_EQ(message, "Parent object does not support ui-param.");
}

TEST_F(CUIParamTest, AMissingSharedAttributeIsAnError) {
    CObject* object = nullptr;
    const std::string message = takeMessage(
        CParamTestTree::build(object, owner, "ui:ui-param", "p", {{"shared-attribute", "ui.nothing-here"}}));
    EXPECT_EQ(message, "Invalid parameter shared attribute 'ui.nothing-here'.");
}

TEST_F(CUIParamTest, ASimpleParameterMapsItsRangeToFourDecimalTexts) {
    CUIParam* param = addUIParam(owner, "p", {{"is-simple-attr", "true"}, {"simple-min-value", "0.4"},
                                               {"simple-max-value", "1"}});
    const struct { double written; const char* text; double normalised, plain; } cases[] = {
        {0.5, "0.7000", 0.5, 0.7}, {2.0, "1.0000", 1.0, 1.0}, {-1.0, "0.4000", 0.0, 0.4}, {0.123456, "0.4741", 0.1235, 0.4741},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        param->setNormalizedValue(0, -1, value(c.written));
        EXPECT_EQ(text(param->valueText()), c.text);
        EXPECT_EQ(text(param->getTextAttr("shared-attribute-value")), c.text);
        CUIParamValue out;
        param->getNormalizedValue(out, 0, -1);
        EXPECT_NEAR(out[0], c.normalised, 1e-3);
        param->getPlainValue(out, 0, -1);
        EXPECT_NEAR(out[0], c.plain, 1e-12);
    }
    EXPECT_TRUE(param->isActive());
    EXPECT_EQ(param->getElementCount(0), 1);
    EXPECT_EQ(param->getMaxValue(0), 1.0);
}

TEST_F(CUIParamTest, ASimpleParameterNamingABridgeStaysLocal) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0");
    bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"is-simple-attr", "true"}, {"bridge", "ui.bridge"}});
    param->setNormalizedValue(0, -1, value(0.5));
    EXPECT_TRUE(connector->take().empty());
    EXPECT_EQ(text(param->valueText()), "0.5000");
    EXPECT_EQ(param->getComponentCount(), 1);
}

TEST_F(CUIParamTest, ASimpleParameterWithAnEmptyRangeReadsZero) {
    CUIParam* param = addUIParam(owner, "p", {{"is-simple-attr", "true"}, {"simple-min-value", "3"},
                                               {"simple-max-value", "3"}, {"shared-attribute-value", "3"}});
    CUIParamValue out;
    param->getNormalizedValue(out, 0, -1);
    EXPECT_EQ(out[0], 0.0);
}

TEST_F(CUIParamTest, BooleanTextsBecomeNumbersOnlyInLowerCase) {
    CUIParam* param = addUIParam(owner, "p", {{"is-simple-attr", "true"}});
    const struct { const char* set; const char* text; double plain; } cases[] = {
        {"true", "1", 1.0}, {"TRUE", "TRUE", 0.0}, {"0.25", "0.25", 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        ASSERT_EQ(takeMessage(param->setAttr(CString("shared-attribute-value"), CString(c.set), true)), "");
        EXPECT_EQ(text(param->valueText()), c.text);
        CUIParamValue out;
        param->getPlainValue(out, 0, -1);
        EXPECT_EQ(out[0], c.plain);
    }
}

TEST_F(CUIParamTest, ABridgedParameterReadsAndWritesItsElementThroughTheBridge) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0,0,0;0,0,0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    std::vector<double> group1 = {0, 0, 0};
    connector->replyParamUpdate(bridge->listenHandle(), floatChange(1, 0, group1));
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}, {"element", "1"}, {"group-selector", "1"}});
    EXPECT_TRUE(param->isActive());
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"registered p", "activated p", "changed p 0 0"}));
    param->setPlainValue(1, -1, value(6));
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g1 f2 n1 r0: 6"}));
    // The bridge applied the change and raised "param-change" before the write returned.
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed p 2 1"}));
    CUIParamValue out;
    param->getNormalizedValue(out, 1, -1);
    EXPECT_DOUBLE_EQ(out[0], bridge->toNormalized(0, 6));
    CString shown;
    param->getValueText(1, shown, 0, -1, 0);
    EXPECT_EQ(text(shown), "6.00");
    EXPECT_EQ(param->getElementCount(-1), 3);
    EXPECT_EQ(param->getMinValue(0), -30);
}

TEST_F(CUIParamTest, AParameterAtElementMinusOneIsInactiveAndIgnoresWrites) {
    const auto info = makeInfo("Gain", 1, -30, 30, "5,5");
    bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}, {"element", "-1"}});
    CUIParamValue out;
    param->getPlainValue(out, 1, -1);
    EXPECT_FALSE(param->isActive());
    EXPECT_EQ(out[0], 0.0);
    CString shown("x");
    param->getValueText(1, shown, 0, -1, 0);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(param->getElementCount(-1), 0);
    param->setPlainValue(1, -1, value(1));
    param->setValueText(1, CString("2"), 0);
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CUIParamTest, ChangesOfOtherGroupsReachTheOwnerOnlyWhenAsked) {
    const auto grouped = makeInfo("Gain", 1, -30, 30, "0;0;0");
    const auto single = makeInfo("Solo", 1, 0, 1, "0", true);
    CParamBridge* groupedBridge = bridgeWith("grouped", *grouped);
    CParamBridge* singleBridge = bridgeWith("single", *single);
    addUIParam(owner, "current", {{"bridge", "ui.grouped"}, {"group-selector", "1"}});
    addUIParam(owner, "any", {{"bridge", "ui.grouped"}, {"group-selector", "1"}, {"is-update-on-any-group", "true"}});
    addUIParam(owner, "solo", {{"bridge", "ui.single"}, {"group-selector", "1"}});
    takeEvents();
    raiseParamChange(groupedBridge, 2, 0, 1, false);
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed any 0 1"}));
    raiseParamChange(groupedBridge, 9999, 0, 1, false);
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed current 0 1", "changed any 0 1"}));
    raiseParamChange(singleBridge, 0, 0, 1, false);
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed solo 0 1"}));
    raiseParamChange(groupedBridge, 1, 0, 5, true);  // replacing: all elements
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed current 0 0", "changed any 0 0"}));
}

TEST_F(CUIParamTest, HeldNotificationsFlushAsRunsOfElements) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    takeEvents();
    param->holdNotifications();
    raiseParamChange(bridge, 0, 5, 2, false);
    raiseParamChange(bridge, 0, 9, 1, false);
    raiseParamChange(bridge, 0, 6, 1, false);
    EXPECT_TRUE(takeEvents().empty());
    ASSERT_EQ(takeMessage(param->flushPendingChanges()), "");
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed p 5 2", "changed p 9 1"}));
    param->holdNotifications();
    raiseParamChange(bridge, 0, 3, 1, false);
    CAttrMap args;
    args.findOrAdd("index")->value.setText(CString("4"));
    ASSERT_EQ(takeMessage(param->onGroupChange(args)), "");
    EXPECT_EQ(param->currentGroup(), 4);
    ASSERT_EQ(takeMessage(param->flushPendingChanges()), "");
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed p 0 0"}));
    ASSERT_EQ(takeMessage(param->flushPendingChanges()), "");  // not held: nothing
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(CUIParamTest, NestedGesturesOpenOneStepAtTheFirstWriteAndSubmitItAtTheOutermostEnd) {
    const auto info = makeInfo("Output gain", 1, -30, 30, "0;0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    param->beginEdit(false, -1, nullptr, false);
    param->beginEdit(true, 5, nullptr, false);  // inner: records nothing
    EXPECT_TRUE(connector->take().empty());
    param->setPlainValue(0, -1, value(2));
    const std::string id = std::to_string(bridge->undoId());
    param->endEdit(false);
    EXPECT_EQ(bridge->undoId(), std::stoi(id));  // still open
    param->endEdit(false);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"create-undo-data " + id + " 'Output gain change (1)' m0 k-1",
                                                           "change-param u" + id + " g0 f0 n1 r0: 2",
                                                           "submit-undo-data " + id + " ''"}));
}

TEST_F(CUIParamTest, AGestureWithoutWritesLeavesNoStepForALaterWrite) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    param->beginEdit(true, 3, nullptr, false);
    param->endEdit(false);
    // A write outside any gesture must not open a step that nobody would submit.
    param->setPlainValue(0, -1, value(1));
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g0 f0 n1 r0: 1"}));
    EXPECT_EQ(bridge->undoId(), -1);
}

TEST_F(CUIParamTest, ACollectorGestureOpensNoStepOfItsOwnAndKeepsTheAttachedOne) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    bridge->attachUndo(77);
    param->beginEdit(false, -1, nullptr, true);
    param->setPlainValue(0, -1, value(1));
    param->endEdit(true);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u77 g0 f0 n1 r0: 1"}));
    EXPECT_EQ(bridge->undoId(), 77);
    EXPECT_TRUE(bridge->isChanged());
}

TEST_F(CUIParamTest, CopyingAGroupIsOneStepOfTheTargetGroup) {
    const auto info = makeInfo("Output gain", 1, -30, 30, "1,2;0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    param->copyGroupValuesTo(0);  // the current group: nothing
    EXPECT_TRUE(connector->take().empty());
    param->copyGroupValuesTo(1);
    const std::vector<std::string> lines = connector->take();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("'Output gain change (2)'"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].substr(lines[1].find(" g")), " g1 f0 n2 r1: 1 2");
    EXPECT_EQ(lines[2].rfind("submit-undo-data", 0), 0u) << lines[2];
    EXPECT_EQ(bridge->getElementCount(1), 2);
}

TEST_F(CUIParamTest, ChangingTheBridgeRebindsTheParameter) {
    const auto first = makeInfo("Gain", 1, -30, 30, "1");
    const auto second = makeInfo("Freq", 1, 20, 20000, "1000");
    bridgeWith("a", *first);
    CParamBridge* b = addBridge("b", "plugin.q", "^client");
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.a"}});
    takeEvents();
    ASSERT_EQ(takeMessage(param->setAttr(CString("bridge"), CString("ui.b"), true)), "");
    EXPECT_EQ(param->bridge(), b);
    EXPECT_FALSE(param->isActive());  // b has no info yet
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"deactivated p", "changed p 0 0"}));
    connector->replyParamInfo(b->listenHandle(), *second);
    EXPECT_TRUE(param->updateActive());
    CUIParamValue out;
    param->getPlainValue(out, 0, -1);
    EXPECT_EQ(out[0], 1000);
}

TEST_F(CUIParamTest, AGroupSelectorGivesTheCurrentGroupAndAnnouncesItsChanges) {
    const auto info = makeInfo("Gain", 1, -30, 30, "1;2;3");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    for (int g = 1; g < 3; ++g) {
        std::vector<double> values = {double(g + 1)};
        connector->replyParamUpdate(bridge->listenHandle(), floatChange(g, 0, values));
    }
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:group-source", "groups", {{"group", "1"}})), "");
    auto* groups = dynamic_cast<CTestGroupSource*>(object);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}, {"group-selector", "ui.groups"}});
    EXPECT_EQ(param->currentGroup(), 1);
    takeEvents();
    ASSERT_EQ(takeMessage(groups->setGroup(2)), "");
    EXPECT_EQ(param->currentGroup(), 2);
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed p 0 0"}));
    ASSERT_EQ(takeMessage(groups->setGroup(2)), "");  // the same group: nothing
    EXPECT_TRUE(takeEvents().empty());
    CUIParamValue out;
    param->getPlainValue(out, 0, -1);
    EXPECT_EQ(out[0], 3.0);
    param->getPlainValue(out, 0, 1);
    EXPECT_EQ(out[0], 2.0);
}

TEST_F(CUIParamTest, AGroupSelectorOfAnotherClassIsAnError) {
    CParamTestTree::plain(ui, "not-a-selector");
    CObject* object = nullptr;
    const std::string message = takeMessage(
        CParamTestTree::build(object, owner, "ui:ui-param", "p", {{"group-selector", "ui.not-a-selector"}}));
    EXPECT_EQ(message, "Invalid group selector 'ui.not-a-selector'.");
}

// A UI parameter of a shared attribute, with the application-data scopes in a temporary folder.
class CUIParamSharedTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mTemp.path().c_str()));
        resetScopes();
        registerShared();
    }
    void TearDown() override {
        CRecordingBindingTree::TearDown();
        resetScopes();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    static void resetScopes() {
        for (CAppData* scope : {&CAppData::globalScope(), &CAppData::groupScope(), &CAppData::localScope()})
            scope->resetForTest();
    }
    static void registerShared() {
        static const CCreatorTableEntry table[] = {
            {"core:shared-attribute", &CSharedAttribute::create, &CSharedAttribute::initScheme},
            {"", nullptr, nullptr},
        };
        CCreatorRegistry::instance().registerTable(table);  // may be registered already
    }

    test::TempFolder mTemp;
    CString mSavedBundleFolder;
};

TEST_F(CUIParamSharedTest, WritesGoThroughTheSharedAttributeAndComeBackThroughItsBinding) {
    CObject* shared = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(shared, ui, "core:shared-attribute", "drag-precision",
                                                {{"storage-type", "local"},
                                                 {"attribute", "drag-precision"},
                                                 {"def-value", "0.5"}})),
              "");
    CUIParam* param = addUIParam(owner, "p", {{"shared-attribute", "ui.drag-precision"},
                                              {"shared-attribute-value", "{*/ui.drag-precision drag-precision}"}});
    EXPECT_TRUE(param->isActive());
    EXPECT_EQ(text(param->valueText()), "0.5");
    takeEvents();
    param->setNormalizedValue(0, -1, value(0.25));
    EXPECT_EQ(text(param->valueText()), "0.5");  // the value comes back through the bridge
    bridge->pump();
    EXPECT_EQ(text(param->valueText()), "0.2500");
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"changed p 0 0"}));
    CUIParamValue out;
    param->getPlainValue(out, 0, -1);
    EXPECT_EQ(out[0], 0.25);
    param->resetValue(0, false, false, -1, -1);
    bridge->pump();
    EXPECT_EQ(text(param->valueText()), "0.5000");
    EXPECT_EQ(param->getMaxValue(0), 0.0);
    EXPECT_EQ(param->getElementCount(0), 1);
}

} // namespace
} // namespace tal
