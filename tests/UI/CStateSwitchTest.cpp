// The state switch: the "if" language and its errors, rounding of parameter values, application of
// holding states or the default state, the forced first application, relative bridge paths,
// state tags and their targets.
#include "UI/CStateSwitch.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/ViewCreators.h"
#include "support/BindingTestTree.h"
#include "support/CLogCapture.h"
#include "support/ParamChangeHelpers.h"
#include "support/ParamTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

class CStateSwitchTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        CCreatorRegistry::instance().registerTable(kViewCreatorTable);   // may be registered already
        static const CCreatorTableEntry plain[] = {{"ui:state-data", &CObject::createPlain, &CObject::initScheme},
                                                   {"", nullptr, nullptr}};
        CCreatorRegistry::instance().registerTable(plain);
        const auto info = makeInfo("Mode", 1, -20, 20, "0");
        mode = bridgeWith("eq-mode-bridge", *info);
        other = bridgeWith("other-bridge", *info);
        panel = CParamTestTree::plain(ui, "panel");
        for (const char* name : {"a", "b"})
            CParamTestTree::plain(panel, name);
    }

    // A switch under ui with its attributes, begun (init, createChilds); finish completes it.
    CStateSwitch* begin(AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:state-switch"), CString("switch"), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        return dynamic_cast<CStateSwitch*>(object);
    }
    void data(CObject* parent, const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, parent, "ui:state-data", name, attrs)), "") << name;
    }
    std::string finish(CStateSwitch* sw) {
        const std::string message = takeMessage(sw->initChilds());
        sw->setLifeStage(4);
        return message;
    }
    // Sets the plain value of element 0 in group 0.
    void setValue(CParamBridge* bridge, double v) {
        connector->replyParamUpdate(bridge->listenHandle(), floatChange(0, 0, {v}));
        connector->take();
    }
    std::string attr(const char* path, const char* name) {
        CObject* object = ui->findObject(CString(path));
        if (object == nullptr) return "<none>";
        CAttrValue* value = object->attrs().findValue(name);
        return value != nullptr ? text(value->asText()) : "<unset>";
    }
    // Compiles text on a completed switch; the error message or "".
    std::string compile(CStateSwitch* sw, const char* text, CArray<CSwitchCondGroup*>& condition) {
        return takeMessage(sw->buildExpression(CString(text), condition));
    }
    static void free(CArray<CSwitchCondGroup*>& condition) {
        for (int i = 0; i < condition.count(); ++i) delete condition[i];
        condition.clear();
    }
    int dynamicParams(CObject* sw) const {
        int n = 0;
        for (int i = 0; i < sw->childCount(); ++i)
            n += text(sw->child(i)->getShortName()).rfind("ui-param-dynamic", 0) == 0 ? 1 : 0;
        return n;
    }

    CParamBridge* mode = nullptr;
    CParamBridge* other = nullptr;
    CObject* panel = nullptr;
};

TEST_F(CStateSwitchTest, ConditionsCompileToComparisons) {
    CStateSwitch* sw = begin({});
    data(sw, "d", {{"state-target", "^panel.a"}, {"state-attrs", "mode"}, {"mode", "x"}});
    ASSERT_EQ(finish(sw), "");
    struct Case { const char* text; bool negate; std::int32_t offset; std::vector<std::int32_t> values; };
    const Case cases[] = {
        {"ui.eq-mode-bridge == 4 8 12", false, 0, {4, 8, 12}},
        {"ui.eq-mode-bridge != 0 3 4", true, 0, {0, 3, 4}},
        {"ui.eq-mode-bridge = !0 3 4", true, 0, {0, 3, 4}},
        {"ui.eq-mode-bridge != !0", true, 0, {0}},
        {"ui.eq-mode-bridge[2]=1", false, 2, {1}},
        {"ui.eq-mode-bridge[x]=1", false, 0, {1}},
        {"ui.eq-mode-bridge = 0x10 #10 $10 -3", false, 0, {16, 16, 16, -3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CArray<CSwitchCondGroup*> condition;
        ASSERT_EQ(compile(sw, c.text, condition), "");
        ASSERT_EQ(condition.count(), 1);
        ASSERT_EQ(condition[0]->conds.count(), 1);
        const CSwitchCond& cond = *condition[0]->conds[0];
        EXPECT_EQ(text(cond.bridgeName), "ui.eq-mode-bridge");
        EXPECT_EQ(cond.negate, c.negate);
        EXPECT_EQ(cond.elementOffset, c.offset);
        EXPECT_EQ(std::vector<std::int32_t>(&cond.values[0], &cond.values[0] + cond.values.count()), c.values);
        free(condition);
    }
    CArray<CSwitchCondGroup*> groups;
    ASSERT_EQ(compile(sw, "ui.eq-mode-bridge=1 && ui.other-bridge=2 || ui.other-bridge!=0", groups), "");
    ASSERT_EQ(groups.count(), 2);
    EXPECT_EQ(groups[0]->conds.count(), 2);
    EXPECT_EQ(groups[1]->conds.count(), 1);
    free(groups);
}

TEST_F(CStateSwitchTest, BadConditionsFailWithTheirMessage) {
    CStateSwitch* sw = begin({});
    data(sw, "d", {{"state-target", "^panel.a"}, {"state-attrs", "mode"}, {"mode", "x"}});
    ASSERT_EQ(finish(sw), "");
    struct Case { const char* text; const char* message; };
    const Case cases[] = {
        {"ui.eq-mode-bridge = 1 !2", "The '!' sign is only allowed before the list of values: '1 !2'"},
        {"ui.eq-mode-bridge = 1 = 2", "Invalid 'if' attribute syntax."},
        {"|", "Condition group list cannot be empty: '|'"},
        {"ui.eq-mode-bridge=1|&", "Condition list cannot be empty: '&'"},
        {"ui.eq-mode-bridge = 1.5", "Invalid integer value '1.5'"},
        {"ui.eq-mode-bridge=", "Default bridge name is not set."},
        {"ui.eq-mode-bridge = ", "Value list cannot be empty: 'ui.eq-mode-bridge = '"},
        {"ui.nowhere = 1", "Unable to find object 'ui.nowhere' ('ui.nowhere') at ui.switch."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CArray<CSwitchCondGroup*> condition;
        EXPECT_EQ(compile(sw, c.text, condition), c.message);
        free(condition);
    }
}

TEST_F(CStateSwitchTest, ValuesRoundHalfAwayFromZero) {
    CStateSwitch* sw = begin({{"bridge", "ui.eq-mode-bridge"}});
    data(sw, "d", {{"if", "0"}, {"state-target", "^panel.a"}, {"state-attrs", "mode"}, {"mode", "x"}});
    ASSERT_EQ(finish(sw), "");
    struct Case { double value; std::int32_t nearest; };
    for (const Case& c : {Case{2.5, 3}, Case{3.5, 4}, Case{-0.5, -1}, Case{4.4999, 4}, Case{-2.5, -3}, Case{0.49, 0}}) {
        SCOPED_TRACE(c.value);
        setValue(mode, c.value);
        for (const std::int32_t probe : {c.nearest - 1, c.nearest, c.nearest + 1}) {
            CArray<CSwitchCondGroup*> condition;
            ASSERT_EQ(compile(sw, std::to_string(probe).c_str(), condition), "");   // against the default bridge
            EXPECT_EQ(sw->evaluate(condition), probe == c.nearest) << probe;
            free(condition);
        }
    }
}

TEST_F(CStateSwitchTest, HoldingStatesApplyInOrderElseTheDefault) {
    CStateSwitch* sw = begin({});
    data(sw, "off", {{"state-target", "^panel.a ^panel.b"}, {"state-attrs", "is-hidden look"}, {"is-hidden", "0"},
                     {"look", "plain"}});
    data(sw, "low", {{"if", "ui.eq-mode-bridge = 1 2"}, {"state-target", "^panel.a"}, {"state-attrs", "is-hidden"},
                     {"is-hidden", "first"}});
    data(sw, "two", {{"if", "ui.eq-mode-bridge == 2"}, {"state-target", "^panel.a"}, {"state-attrs", "is-hidden look"},
                     {"is-hidden", "second"}});
    ASSERT_EQ(finish(sw), "");
    EXPECT_EQ(attr("ui.panel.a", "is-hidden"), "0");   // the forced first application: default
    EXPECT_EQ(attr("ui.panel.b", "look"), "plain");
    setValue(mode, 2.0);
    EXPECT_EQ(attr("ui.panel.a", "is-hidden"), "second");   // both hold; the later wins
    EXPECT_EQ(attr("ui.panel.a", "look"), "");              // named but not carried: empty
    ASSERT_EQ(takeMessage(ui->findObject(CString("ui.panel.b"))->setAttr(CString("look"), CString("mine"), true)), "");
    setValue(mode, 1.0);
    EXPECT_EQ(attr("ui.panel.a", "is-hidden"), "first");
    EXPECT_EQ(attr("ui.panel.b", "look"), "mine");          // the default was not applied
    setValue(mode, 7.0);
    EXPECT_EQ(attr("ui.panel.a", "is-hidden"), "0");
    EXPECT_EQ(attr("ui.panel.b", "look"), "plain");
}

TEST_F(CStateSwitchTest, ChangesBeforeCompletionAreIgnored) {
    CStateSwitch* sw = begin({{"bridge", "ui.eq-mode-bridge"}});
    data(sw, "odd", {{"if", "1 3"}, {"state-target", "^panel.a"}, {"state-attrs", "n"}, {"n", "odd"}});
    data(sw, "other", {{"state-target", "^panel.a"}, {"state-attrs", "n"}, {"n", "other"}});
    setValue(mode, 3.0);   // no parameter yet, and not completed
    EXPECT_EQ(attr("ui.panel.a", "n"), "<unset>");
    EXPECT_EQ(takeMessage(sw->initChilds()), "");   // forced, at life stage 3
    EXPECT_EQ(attr("ui.panel.a", "n"), "odd");
    ASSERT_EQ(takeMessage(ui->findObject(CString("ui.panel.a"))->setAttr(CString("n"), CString("kept"), true)), "");
    setValue(mode, 0.0);   // still at stage 3: ignored
    EXPECT_EQ(attr("ui.panel.a", "n"), "kept");
    sw->setLifeStage(4);
    setValue(mode, 0.0);
    EXPECT_EQ(attr("ui.panel.a", "n"), "other");
}

// A bridge named by a relative path resolves to its full name: one parameter, and the comparison
// works instead of being skipped.
TEST_F(CStateSwitchTest, RelativeBridgePathsShareTheFullNameParameter) {
    CStateSwitch* sw = begin({});
    data(sw, "rel", {{"if", "^eq-mode-bridge = 5"}, {"state-target", "^panel.a"}, {"state-attrs", "n"}, {"n", "five"}});
    data(sw, "abs", {{"if", "ui.eq-mode-bridge = 6"}, {"state-target", "^panel.a"}, {"state-attrs", "n"}, {"n", "six"}});
    data(sw, "dflt", {{"state-target", "^panel.a"}, {"state-attrs", "n"}, {"n", "none"}});
    ASSERT_EQ(finish(sw), "");
    EXPECT_EQ(dynamicParams(sw), 1);
    ASSERT_NE(sw->findParam(CString("ui.eq-mode-bridge")), nullptr);
    CLogCapture log;
    setValue(mode, 5.0);
    EXPECT_EQ(attr("ui.panel.a", "n"), "five");
    setValue(mode, 6.0);
    EXPECT_EQ(attr("ui.panel.a", "n"), "six");
    for (const std::string& line : log.lines())
        EXPECT_EQ(line.find("No UIParam"), std::string::npos) << line;
}

TEST_F(CStateSwitchTest, StateDataErrorsNameTheStateData) {
    struct Case { AttrList attrs; const char* message; };
    const Case cases[] = {
        {{{"if", "1"}, {"state-target", "^panel.a"}}, "Both state-attrs and state-tag are empty in ui.switch.d"},
        {{{"state-target", "^panel.a"}, {"state-attrs", "n if"}}, "Reserved attribute name specified in state-attrs in ui.switch.d"},
    };
    for (const Case& c : cases) {
        CStateSwitch* sw = begin({{"bridge", "ui.eq-mode-bridge"}});
        data(sw, "d", c.attrs);
        EXPECT_EQ(finish(sw), c.message);
        sw->release();
    }
}

TEST_F(CStateSwitchTest, StateTagsReplaceTheTargetsOnce) {
    CObject* holder = CParamTestTree::plain(ui, "holder");
    CParamTestTree::plain(holder, "slot");
    CStateSwitch* sw = begin({{"target", "^holder.slot ^holder.missing"}, {"bridge", "ui.eq-mode-bridge"}});
    data(sw, "swap", {{"if", "1"}, {"state-tag", "core:object"}});
    data(sw, "dflt", {{"state-target", "^panel.a"}, {"state-attrs", "n"}, {"n", "none"}});
    CLogCapture log;
    ASSERT_EQ(finish(sw), "");
    CObject* before = ui->findObject(CString("ui.holder.slot"));
    ASSERT_NE(before, nullptr);
    const std::int32_t beforeId = before->objectId();
    setValue(mode, 1.0);   // the tag swap; the missing target is skipped
    CObject* swapped = ui->findObject(CString("ui.holder.slot"));
    ASSERT_NE(swapped, nullptr);
    EXPECT_NE(swapped->objectId(), beforeId);
    EXPECT_EQ(holder->childCount(), 1);
    const std::int32_t id = swapped->objectId();
    setValue(mode, 1.0);   // the same tag again: nothing new
    EXPECT_EQ(ui->findObject(CString("ui.holder.slot"))->objectId(), id);
    EXPECT_EQ(holder->childCount(), 1);
}

// A state tag whose target holds the switch is refused instead of destroying the running switch.
TEST_F(CStateSwitchTest, AStateTagCannotReplaceAnObjectHoldingTheSwitch) {
    CStateSwitch* sw = begin({{"target", "^"}, {"bridge", "ui.eq-mode-bridge"}});
    data(sw, "swap", {{"if", "0"}, {"state-tag", "core:object"}});
    EXPECT_EQ(finish(sw), "A state tag cannot replace 'ui', which holds the switch.");
    EXPECT_EQ(ui->findObject(CString("ui.switch")), sw);
}

} // namespace
} // namespace tal
