#include "UI/CUIParamUpdateHandler.h"

#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// Owners with named slots under a recording client; "ui.on" has its info, "ui.off" never gets one.
class CUIParamUpdateHandlerTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        info = makeInfo("Gain", 1, -30, 30, "0,0");
        on = bridgeWith("on", *info);
        off = addBridge("off", "plugin.q", "^client");
        connector->take();
    }
    CTestParamView* view(const char* name, AttrList attrs) {
        return dynamic_cast<CTestParamView*>(addOwner(name, "test:param-view", attrs));
    }

    std::unique_ptr<CAudioParamInfo> info;
    CParamBridge* on = nullptr;
    CParamBridge* off = nullptr;
};

TEST_F(CUIParamUpdateHandlerTest, AnAbsentRequiredSlotMakesTheOwnerInactiveAndDisablesItsView) {
    const struct { const char* label; AttrList attrs; bool active, disabled; } cases[] = {
        {"defaults", {{"slots", ".ui-param-group"}}, false, true},
        {"allow absent", {{"slots", ".ui-param-group"}, {"allow-absent", "true"}}, true, false},
        {"keep on absent", {{"slots", ".ui-param-group"}, {"keep-on-absent", "true"}}, false, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string name = "view" + std::to_string(n++);
        CTestParamView* v = view(name.c_str(), c.attrs);
        addUIParam(v, "ui-param-other", {{"bridge", "ui.on"}});  // a child of another name binds nothing
        ASSERT_EQ(takeMessage(v->checkUIParamActivity()), "");
        EXPECT_EQ(v->isUIParamActive(), c.active);
        EXPECT_EQ(v->isDisabled, c.disabled);
    }
}

TEST_F(CUIParamUpdateHandlerTest, OnlyRequiredSlotsDecideAndOptionalOnesHearChangesWhileActive) {
    CTestParamView* v = view("v", {{"slots", ".ui-param-offset,.ui-param-activity?"}});
    CUIParam* offset = addUIParam(v, "ui-param-offset", {{"bridge", "ui.on"}});
    CUIParam* activity = addUIParam(v, "ui-param-activity", {{"bridge", "ui.off"}});
    EXPECT_TRUE(v->isUIParamActive());
    EXPECT_FALSE(v->isDisabled);
    EXPECT_EQ(v->getActiveUIParam(0), offset);
    EXPECT_EQ(v->getActiveUIParam(1), activity);
    v->events.clear();
    ASSERT_EQ(takeMessage(v->handleUIParam(activity, 3, 1)), "");
    EXPECT_EQ(v->events.back(), "slot 1 3 1");

    // The required parameter moves to the bridge without info: the owner goes inactive and deaf.
    ASSERT_EQ(takeMessage(offset->setAttr(CString("bridge"), CString("ui.off"), true)), "");
    EXPECT_FALSE(v->isUIParamActive());
    EXPECT_TRUE(v->isDisabled);
    EXPECT_EQ(v->getActiveUIParam(0), nullptr);
    v->events.clear();
    ASSERT_EQ(takeMessage(v->handleUIParam(activity, 3, 1)), "");
    for (const std::string& e : v->events)
        EXPECT_EQ(e.rfind("slot", 0), std::string::npos) << e;
}

TEST_F(CUIParamUpdateHandlerTest, AParameterMatchingNoSlotStaysUnboundWithoutError) {
    CTestParamView* v = view("v", {{"slots", ".ui-param-a,.ui-param-b"}});
    CUIParam* param = addUIParam(v, "ui-param", {{"bridge", "ui.on"}});
    ASSERT_NE(param, nullptr);
    v->events.clear();
    ASSERT_EQ(takeMessage(v->handleUIParam(param, 0, 0)), "");
    for (const std::string& e : v->events)
        EXPECT_EQ(e.rfind("slot", 0), std::string::npos) << e;
    EXPECT_FALSE(v->isUIParamActive());
}

TEST_F(CUIParamUpdateHandlerTest, AnActivityChangeIsReportedOnce) {
    CTestParamOwner* o = addOwner("o", "test:param-owner", {{"slots", ".ui-param"}});
    addUIParam(o, "ui-param", {{"bridge", "ui.on"}});
    ASSERT_EQ(takeMessage(o->checkUIParamActivity()), "");
    ASSERT_EQ(takeMessage(o->checkUIParamActivity()), "");
    int reports = 0;
    for (const std::string& e : o->events)
        reports += e.rfind("activity", 0) == 0;
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(o->events.front(), "activity 1");
}

TEST_F(CUIParamUpdateHandlerTest, AViewDisabledByItsOwnSettingStaysDisabled) {
    CTestParamView* v = view("v", {{"slots", ".ui-param"}, {"is-disabled", "true"}});
    addUIParam(v, "ui-param", {{"bridge", "ui.on"}});
    EXPECT_TRUE(v->isUIParamActive());
    EXPECT_TRUE(v->isDisabled);
    int calls = 0;
    for (const std::string& e : v->events)
        if (e.rfind("disabled", 0) == 0) {
            ++calls;
            EXPECT_EQ(e, "disabled 1");
        }
    EXPECT_GT(calls, 0);
}

TEST_F(CUIParamUpdateHandlerTest, WithoutSlotsEveryParameterIsReportedAsItIs) {
    owner->events.clear();
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.off"}});
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"registered p", "deactivated p", "changed p 0 0"}));
    connector->replyParamInfo(off->listenHandle(), *info);
    EXPECT_TRUE(param->updateActive());
    EXPECT_EQ(takeEvents().front(), "activated p");
    EXPECT_FALSE(owner->isUIParamActive());  // never computed without slots
}

} // namespace
} // namespace tal
