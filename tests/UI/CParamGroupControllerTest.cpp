#include "UI/Controls/CParamGroupController.h"

#include "UI/CParamGroupSelector.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// Two bridges of a three-group parameter with known values per group, a selector "ui.sel" and
// controllers built from items.
class CParamGroupControllerTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        info = makeInfo("Gain", 1, -30, 30, "0,0;0,0;0,0");
        a = bridgeWith("a", *info);
        b = bridgeWith("b", *info);
        for (CParamBridge* bridge : {a, b})
            for (int g = 0; g < 3; ++g) {
                const std::vector<double> values = {double(g + 1), double(10 * (g + 1))};
                connector->replyParamUpdate(bridge->listenHandle(), floatChange(g, 0, values));
            }
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:param-group-selector", "sel",
                                                    {{"interface-client", "^client"}, {"group-index", "0"}})),
                  "");
        selector = dynamic_cast<CParamGroupSelector*>(object);
        connector->take();
    }
    // A controller whose items are (attribute, path) pairs.
    CParamGroupController* controller(const char* name, const char* title,
                                      std::vector<std::pair<const char*, const char*>> items) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:param-group-controller"), CString(name), false)), "");
        const std::pair<const char*, const char*> attrs[] = {
            {"group-selector", "ui.sel"}, {"interface-client", "ui.client"}, {"title", title}};
        for (const auto& [key, value] : attrs)
            if (value[0] != 0) {
                EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
            }
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        int n = 0;
        for (const auto& [key, value] : items) {
            CObject* item = nullptr;
            EXPECT_EQ(takeMessage(object->addChild(item, CString("core:object"),
                                                   CString(("item" + std::to_string(n++)).c_str()), false)),
                      "");
            EXPECT_EQ(takeMessage(item->setAttr(CString(key), CString(value), true)), "");
        }
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return dynamic_cast<CParamGroupController*>(object);
    }
    void copyFrom(CObject* c, const char* text) {
        CAttrMap args;
        args.findOrAdd("text")->value.setText(CString(text));
        ASSERT_EQ(takeMessage(c->runEvent(CString("copy-group-from"), &args)), "");
    }
    // The recorded lines with the undo id replaced by "#".
    std::vector<std::string> sent() {
        std::vector<std::string> lines = connector->take();
        std::string id;
        for (std::string& line : lines) {
            if (line.rfind("create-undo-data ", 0) == 0)
                id = line.substr(17, line.find(' ', 17) - 17);
            if (id.empty())
                continue;
            for (const std::string& token : {" " + id + " ", " u" + id + " "}) {
                const std::size_t at = line.find(token);
                if (at != std::string::npos)
                    line.replace(at, token.size(), token[1] == 'u' ? " u# " : " # ");
            }
        }
        return lines;
    }

    std::unique_ptr<CAudioParamInfo> info;
    CParamBridge* a = nullptr;
    CParamBridge* b = nullptr;
    CParamGroupSelector* selector = nullptr;
};

TEST_F(CParamGroupControllerTest, ACopyIsOneNamedUndoStepWithOneChangePerBridge) {
    CParamGroupController* eq = controller("eq", "Equalizer", {{"bridge", "ui.b"}, {"bridge", "ui.a"}});
    copyFrom(eq, "Right;3");
    EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'Group 3 to 1 copy (Equalizer)' m0 k-1",
                                                "change-param u# g0 f0 n2 r1: 3 30",
                                                "change-param u# g0 f0 n2 r1: 3 30",
                                                "submit-undo-data # ''"}));
}

TEST_F(CParamGroupControllerTest, ACopyOntoItselfOrFromNoGroupSendsNothing) {
    CParamGroupController* eq = controller("eq", "Equalizer", {{"bridge", "ui.a"}});
    ASSERT_EQ(takeMessage(selector->setGroupIndex(1)), "");
    for (const char* text : {"Mid;2", "2", "x", "0", "Left;-3", ""}) {
        copyFrom(eq, text);
        EXPECT_TRUE(connector->take().empty()) << text;
    }
}

TEST_F(CParamGroupControllerTest, AResetNamesTheGroupAndTheTitle) {
    ASSERT_EQ(takeMessage(selector->setGroupIndex(1)), "");
    CParamGroupController* eq = controller("eq", "Equalizer", {{"bridge", "ui.a"}, {"bridge", "ui.b"}});
    ASSERT_EQ(takeMessage(eq->runEvent(CString("reset-group"))), "");
    EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'Equalizer (2) reset' m0 k-1",
                                                "reset-param g1 e-1 u# first0", "reset-param g1 e-1 u# first0",
                                                "submit-undo-data # ''"}));
    CParamGroupController* untitled = controller("plain", "", {{"bridge", "ui.a"}});
    ASSERT_EQ(takeMessage(untitled->runEvent(CString("reset-group"))), "");
    EXPECT_EQ(sent().front(), "create-undo-data # 'Group 2 reset' m0 k-1");
}

TEST_F(CParamGroupControllerTest, NoGroupMeansNoResetAndNoCopy) {
    // A negative group would reset every group of every bridge.
    CParamGroupController* eq = controller("eq", "Equalizer", {{"bridge", "ui.a"}});
    ASSERT_EQ(takeMessage(selector->setGroupIndex(-1)), "");
    ASSERT_EQ(takeMessage(eq->runEvent(CString("reset-group"))), "");
    copyFrom(eq, "2");
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CParamGroupControllerTest, AMissingSelectorOrClientSendsNothing) {
    CParamGroupController* eq = controller("eq", "Equalizer", {{"bridge", "ui.a"}});
    ASSERT_EQ(takeMessage(eq->setAttr(CString("group-selector"), CString("ui.nowhere"), true)), "");
    ASSERT_EQ(takeMessage(eq->runEvent(CString("reset-group"))), "");
    copyFrom(eq, "2");
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CParamGroupControllerTest, AnIncludedControllerAddsItsBridgesInItemOrder) {
    CParamBridge* waiting = addBridge("waiting", "plugin.q", "^client");  // no information yet
    ASSERT_NE(waiting, nullptr);
    controller("inner", "", {{"bridge", "ui.b"}, {"bridge", "ui.waiting"}});
    CParamGroupController* outer = controller("outer", "All", {{"bridge", "ui.a"}, {"object", "^inner"}, {"other", "x"}});
    EXPECT_EQ(outer->bridgeCount(), 3);
    connector->take();
    ASSERT_EQ(takeMessage(outer->runEvent(CString("reset-group"))), "");
    EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'All (1) reset' m0 k-1",
                                                "reset-param g0 e-1 u# first0", "reset-param g0 e-1 u# first0",
                                                "submit-undo-data # ''"}));
    copyFrom(outer, "3");
    const std::vector<std::string> lines = sent();
    ASSERT_EQ(lines.size(), 4u);  // the bridge without information is left out
    EXPECT_EQ(lines[1], "change-param u# g0 f0 n2 r1: 3 30");
}

} // namespace
} // namespace tal
