#include "UI/CControlArray.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CTemplateBody.h"
#include "UI/CDynamicPalette.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/PaletteCreators.h"
#include "UI/ViewCreators.h"
#include "support/AppDataFolder.h"
#include "support/BindingTestTree.h"
#include "support/ParamChangeHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

// The item template: a view whose own states show "error", or with withButton a view holding a
// view "button" that takes the states (named by "object-state-path").
class CItemTemplate : public CTemplateBody {
public:
    explicit CItemTemplate(bool withButton) : mWithButton(withButton) {}
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject& target) override {
        if (mWithButton)
            return target.setAttr(CString("object-state-path"), CString(".button"), false);
        return target.setAttr(CString("has-view-states"), CString("true"), false);
    }
    CError* buildChildren(CObject& target) override {
        if (!mWithButton)
            return nullptr;
        CObject* button = nullptr;
        return CParamTestTree::build(button, &target, "ui:view", "button", {{"has-view-states", "true"}});
    }

private:
    CString mTag{"ui:view"};
    bool mWithButton = false;
};

// A window "ui.window" on the recording editor, an enumeration parameter "ui.mode" of three
// elements with the range 1 .. 3 (values 1, 2, 3), a value list "ui.values" whose entries carry
// values after "|", and arrays built in the window from the item template "test:item".
class CControlArrayTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        appData = std::make_unique<test::AppDataFolder>();
        CRecordingBindingTree::SetUp();
        static const bool registered = [] {
            CCreatorRegistry& registry = CCreatorRegistry::instance();
            registry.registerTable(kPaletteCreatorTable);
            registry.registerTable(kViewCreatorTable);
            return registry.find(CString("ui:control-array")) != nullptr;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:window-shared-data", "window-shared-data", {})), "");
        ASSERT_EQ(takeMessage(ui->addChild(object, CString("ui:dynamic-palette"), CString("palette"), false)), "");
        ASSERT_EQ(takeMessage(object->init()), "");
        for (const char* name : {"test:item", "test:button-item"}) {
            CObject* placeholder = nullptr;
            ASSERT_EQ(takeMessage(ui->addChild(placeholder, CString("template"), CString(name), false)), "");
            placeholder->setTemplateBody(new CItemTemplate(std::string(name) == "test:button-item"));
            ui->addTemplate(CString(name), placeholder);
        }
        ASSERT_EQ(takeMessage(CParamTestTree::build(window, ui, "ui:view", "window", {{"is-root-view", "true"}})), "");
        info = makeInfo("Mode", 1, 1, 3, "1,1,1");
        mode = bridgeWith("mode", *info);
        setModes({1, 2, 3});
        setChoices({"Off|2", "Low|0", "High|1"});
    }
    void TearDown() override {
        CRecordingBindingTree::TearDown();
        appData.reset();
    }

    void setModes(const std::vector<double>& values) {
        connector->replyParamUpdate(mode->listenHandle(), floatChange(0, 0, values));
    }
    void setChoices(const std::vector<const char*>& items) {
        if (values == nullptr) {
            CObject* object = nullptr;
            ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "values",
                                                        {{"separator-char", "|"}})),
                      "");
            values = dynamic_cast<CValueList*>(object);
        }
        CStringList list;
        for (const char* item : items)
            list.add(item);
        ASSERT_EQ(takeMessage(values->setItems(list)), "");
    }

    // Builds an array as the description loader does, with the given UI parameters as children
    // (name, bridge), and marks it built.
    CControlArray* array(std::vector<std::pair<const char*, const char*>> attrs,
                         std::vector<std::pair<const char*, const char*>> params = {{"ui-param-values", "ui.mode"}}) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(window->addChild(object, CString("ui:control-array"), CString("array"), false)), "");
        std::vector<std::pair<const char*, const char*>> all = {
            {"interface-client", "ui.client"}, {"object-tag", "test:item"}, {"unknown-value-char", "?"},
            {"object-value-list", "ui.values"}, {"dynlist-value-list-tag", "ui:dynlist-value-list"}};
        all.insert(all.end(), attrs.begin(), attrs.end());
        for (const auto& [key, value] : all)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        for (const auto& [name, bridge] : params)
            addUIParam(object, name, {{"bridge", bridge}});
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        object->setLifeStage(4);
        connector->take();
        return dynamic_cast<CControlArray*>(object);
    }

    // The object's "object-value-title", or "<error>" appended when its "error" state is set.
    static std::string shown(CControlArray* a, int i) {
        auto* item = dynamic_cast<CViewBaseState*>(a->object(i));
        std::string s = test::utf8Of(item->getTextAttr("object-value-title"));
        return item->isStateSet(CString("error")) ? s + "<error>" : s;
    }
    static std::vector<std::string> allShown(CControlArray* a) {
        std::vector<std::string> out;
        for (int i = 0; i < a->objectCount(); ++i)
            out.push_back(shown(a, i));
        return out;
    }
    std::vector<double> modes() {
        std::vector<double> out;
        for (int i = 0; i < 3; ++i) {
            CUIParamValue v;
            mode->getPlainValues(0, i, v);
            out.push_back(v[0]);
        }
        return out;
    }
    void choose(CControlArray* a, int object, int index, bool combine = false) {
        CAttrMap args;
        args.findOrAdd("source")->value.setText(a->object(object)->getFullName());
        args.findOrAdd("index")->value.setInt(index);
        if (combine)
            args.findOrAdd("combine-changes")->value.setInt(1);
        ASSERT_EQ(takeMessage(a->runEvent(CString("popup-result"), &args)), "");
    }
    void toggle(CControlArray* a, int object) {
        CAttrMap args;
        args.findOrAdd("object-index")->value.setInt(object);
        ASSERT_EQ(takeMessage(a->runEvent(CString("toggle-default-value"), &args)), "");
    }
    // The recorded lines with undo ids (the number after "-undo-data " or " u") replaced by "#".
    std::vector<std::string> sent() {
        std::vector<std::string> lines = connector->take();
        for (std::string& line : lines)
            for (const std::string marker : {"-undo-data ", " u"}) {
                const std::size_t at = line.find(marker);
                if (at == std::string::npos)
                    continue;
                const std::size_t from = at + marker.size();
                std::size_t to = from;
                while (to < line.size() && (std::isdigit(static_cast<unsigned char>(line[to])) || line[to] == '-'))
                    ++to;
                if (to > from)
                    line.replace(from, to - from, "#");
            }
        return lines;
    }

    std::unique_ptr<test::AppDataFolder> appData;
    CObject* window = nullptr;
    CValueList* values = nullptr;
    std::unique_ptr<CAudioParamInfo> info;
    CParamBridge* mode = nullptr;
};

TEST_F(CControlArrayTest, AFixedCountMakesNumberedObjects) {
    CControlArray* a = array({{"object-count", "3"}}, {});
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->objectCount(), 3);
    for (int i = 0; i < 3; ++i) {
        CObject* item = a->findChild(CString(("object" + std::to_string(i)).c_str()));
        ASSERT_EQ(item, a->object(i));
        EXPECT_EQ(item->getIntAttr("object-index"), i);
        EXPECT_EQ(item->getIntAttr("object-index-incr"), i + 1);
        EXPECT_EQ(test::utf8Of(item->getTextAttr("object-value-list")), "ui.window.array.dynlist-value-list");
    }
    // Without a values parameter no object shows a value.
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"?<error>", "?<error>", "?<error>"}));
}

TEST_F(CControlArrayTest, AMissingObjectTagFailsInit) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(window->addChild(object, CString("ui:control-array"), CString("bad"), false)), "");
    EXPECT_EQ(takeMessage(object->init()), "Object tag not defined.");
}

TEST_F(CControlArrayTest, ValuesShowTheChoiceCarryingTheirValueAboveTheMinimum) {
    // Elements 1, 2, 3 are the values 0, 1, 2 above the minimum 1; the choices carry 2, 0, 1.
    CControlArray* a = array({{"object-count", "3"}});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "High", "Off"}));
    setModes({3, 3, 1});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Off", "Off", "Low"}));
    // A value no choice carries is missing and in error until a known value returns.
    setChoices({"Low|0", "High|1"});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"?<error>", "?<error>", "Low"}));
    setModes({2, 3, 1});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"High", "?<error>", "Low"}));
}

TEST_F(CControlArrayTest, DisabledAndSeparatorChoicesShowCleanTitles) {
    setChoices({"[N/A]Off|2", "[IMG=is.button#HR:Action]", "High|1", "Half [N/A]|0"});
    CControlArray* a = array({{"object-count", "3"}});
    // Element values 1, 2, 3: value 0 is "Half [N/A]" (not a disabled prefix), 2 the disabled
    // "Off"; the separator carries its position 1 and comes before "High", so it names value 1.
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Half [N/A]", "?<error>", "Off"}));
    setChoices({"Low|0", "[IMG=is.button#HR:Action]|1"});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "?<error>", "?<error>"}));
}

TEST_F(CControlArrayTest, AChoiceIsOneUndoStepAndWritesTheValueAboveTheMinimum) {
    CControlArray* a = array({{"object-count", "3"}});
    choose(a, 1, 0);  // "Off" carries 2: the element becomes 3
    EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'Mode change (1)' m0 k-1", "change-param u# g0 f1 n1 r0: 3",
                                                "submit-undo-data # ''"}));
    EXPECT_EQ(modes(), (std::vector<double>{1, 3, 3}));
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "Off", "Off"}));
}

TEST_F(CControlArrayTest, UniqueValuesClearTheOtherHolderInTheSameStep) {
    CControlArray* a = array({{"object-count", "3"}, {"is-unique-values-only", "true"}});
    choose(a, 0, 2);  // "High" carries 1: element 0 becomes 2, which element 1 holds
    EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'Mode change (1)' m0 k-1", "change-param u# g0 f0 n1 r0: 2",
                                                "change-param u# g0 f1 n1 r0: 1", "submit-undo-data # ''"}));
    EXPECT_EQ(modes(), (std::vector<double>{2, 1, 3}));
}

TEST_F(CControlArrayTest, ACombinedChoiceGoesThroughTheCollector) {
    CControlArray* a = array({{"object-count", "3"}});
    ASSERT_TRUE(a->undoCollector().isAttached());
    choose(a, 2, 1, true);
    // The step held open since attach gives way to a mergeable one, which the choice fills and
    // submits under the parameter's name; a plain step is open for the next action.
    EXPECT_EQ(sent(), (std::vector<std::string>{"remove-undo-data #", "create-undo-data # '' m1 k-1",
                                                "change-param u# g0 f2 n1 r0: 1",
                                                "submit-undo-data # 'Mode change (1)'", "create-undo-data # '' m0 k-1"}));
    EXPECT_EQ(modes(), (std::vector<double>{1, 2, 1}));
}

TEST_F(CControlArrayTest, ACombinedChoiceWithoutAClientIsStillOneStep) {
    CControlArray* a = array({{"object-count", "3"}, {"interface-client", "ui.nowhere"}});
    ASSERT_FALSE(a->undoCollector().isAttached());
    choose(a, 0, 0, true);
    EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'Mode change (1)' m0 k-1", "change-param u# g0 f0 n1 r0: 3",
                                                "submit-undo-data # ''"}));
}

TEST_F(CControlArrayTest, TheDefaultToggleSwapsAndIsOneUndoStepEachTime) {
    CControlArray* a = array({{"object-count", "3"}});
    // Element 2 holds 3 (default 1): the toggle sets the default and remembers 3, the next one
    // brings 3 back.
    const struct {
        int object;
        const char* change;
        std::vector<double> after;
    } steps[] = {{2, "change-param u# g0 f2 n1 r0: 1", {1, 2, 1}},
                 {2, "change-param u# g0 f2 n1 r0: 3", {1, 2, 3}},
                 {0, "change-param u# g0 f0 n1 r0: 1", {1, 2, 3}}};  // at its default: the default
    for (const auto& step : steps) {
        toggle(a, step.object);
        EXPECT_EQ(sent(), (std::vector<std::string>{"create-undo-data # 'Mode change (1)' m0 k-1", step.change,
                                                    "submit-undo-data # ''"}))
            << step.change;
        EXPECT_EQ(modes(), step.after) << step.change;
    }
}

TEST_F(CControlArrayTest, ANegativeIndexChangesNothing) {
    CControlArray* a = array({{"object-count", "3"}});
    toggle(a, -1);
    CAttrMap args;
    args.findOrAdd("source")->value.setText(a->object(0)->getFullName());
    ASSERT_EQ(takeMessage(a->object(0)->setIntAttr(CString("object-index"), -2, true)), "");
    args.findOrAdd("index")->value.setInt(0);
    ASSERT_EQ(takeMessage(a->runEvent(CString("popup-result"), &args)), "");
    EXPECT_TRUE(connector->take().empty());
    EXPECT_EQ(modes(), (std::vector<double>{1, 2, 3}));
}

TEST_F(CControlArrayTest, ACountParameterHidesAndRecreatesObjects) {
    const auto countInfo = makeInfo("Count", 1, 0, 8, "3");
    CParamBridge* count = bridgeWith("count", *countInfo);
    CControlArray* a = array({{"object-count", "7"}}, {{"ui-param-count", "ui.count"}, {"ui-param-values", "ui.mode"}});
    ASSERT_EQ(a->objectCount(), 3);  // the parameter, not the fixed count
    CObject* second = a->object(1);
    connector->replyParamUpdate(count->listenHandle(), floatChange(0, 0, {1}));
    EXPECT_EQ(a->objectCount(), 1);
    EXPECT_EQ(second->getIntAttr("is-hidden"), 1);
    connector->replyParamUpdate(count->listenHandle(), floatChange(0, 0, {3}));
    ASSERT_EQ(a->objectCount(), 3);
    EXPECT_NE(a->object(1), second);
    EXPECT_EQ(a->object(2)->getIntAttr("object-index"), 2);
}

TEST_F(CControlArrayTest, DisabledArraysShowNoTitlesAndKeepStates) {
    CControlArray* a = array({{"object-count", "3"}});
    ASSERT_EQ(takeMessage(a->setAttr(CString("is-disabled"), CString("true"), true)), "");
    EXPECT_TRUE(a->isDisabled());
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"", "", ""}));
    setChoices({"Low|0"});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"", "", ""}));  // no "error" while disabled
    ASSERT_EQ(takeMessage(a->setAttr(CString("is-disabled"), CString("false"), true)), "");
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "?<error>", "?<error>"}));
}

TEST_F(CControlArrayTest, AnInactiveValuesParameterDisablesTheArray) {
    CControlArray* a = array({{"object-count", "1"}});
    EXPECT_FALSE(a->isDisabled());
    addBridge("waiting", "plugin.q", "^client");  // no parameter information yet
    CObject* param = a->findChild(CString("ui-param-values"));
    ASSERT_EQ(takeMessage(param->setAttr(CString("bridge"), CString("ui.waiting"), true)), "");
    EXPECT_TRUE(a->isDisabled());
    EXPECT_EQ(allShown(a), (std::vector<std::string>{""}));
    ASSERT_EQ(takeMessage(param->setAttr(CString("bridge"), CString("ui.mode"), true)), "");
    EXPECT_FALSE(a->isDisabled());
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low"}));
}

TEST_F(CControlArrayTest, AttributeModeChoicesRunThePopupCommandsTwiceWithTheValue) {
    CControlArray* a = array({{"object-count", "2"}, {"is-attr-mode", "true"}, {"is-call-popup-result", "true"},
                              {"object-value", "-1"}},
                             {});
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"?<error>", "?<error>"}));
    CEventTestObject* heard = addListener(ui, "heard");
    std::vector<std::string> seen;
    heard->action = [&seen](CEventTestObject&, CAttrMap& args) -> CError* {
        CAttrValue* value = args.findValue("object-value");
        CAttrValue* text = args.findValue("object-value-string");
        seen.push_back(std::to_string(value != nullptr ? value->asInt() : -9) + " " +
                       (text != nullptr ? test::utf8Of(text->asText()) : "-"));
        return nullptr;
    };
    CObject* command = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(command, a, "ui:view-command", "c",
                                                {{"on-event", "popup-result"}, {"run-event", "on"},
                                                 {"run-event-target", "ui.heard"},
                                                 {"run-event-forward-params", "object-value object-value-string"}})),
              "");
    choose(a, 1, 2);
    EXPECT_EQ(a->getIntAttr("object-value"), 1);  // "High" carries 1
    // The value names the plain text of the choice at that position, which every object shows.
    EXPECT_EQ(seen, (std::vector<std::string>{"1 Low", "1 Low"}));
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "Low"}));
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CControlArrayTest, SetByStringMatchesPlainChoicesAndOnlyMovesTheArrayValue) {
    CControlArray* a = array({{"object-count", "3"}});
    for (const auto& [text, expected] : {std::pair{"High", 2}, {"Nothing", 2}, {"Off", 0}}) {
        CAttrMap args;
        args.findOrAdd("string")->value.setText(CString(text));
        ASSERT_EQ(takeMessage(a->runEvent(CString("set-object-value-by-string"), &args)), "");
        EXPECT_EQ(a->getIntAttr("object-value"), expected) << text;
    }
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "High", "Off"}));
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CControlArrayTest, ATitleListSetsTheCountAndTheTitles) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "titles", {})), "");
    auto* titles = dynamic_cast<CValueList*>(object);
    CStringList items;
    items.add("Left");
    items.add("Right");
    ASSERT_EQ(takeMessage(titles->setItems(items)), "");
    CControlArray* a = array({{"object-count", "5"}, {"object-title-list", "ui.titles"}});
    ASSERT_EQ(a->objectCount(), 2);
    items.add("Centre");
    ASSERT_EQ(takeMessage(titles->setItems(items)), "");
    ASSERT_EQ(a->objectCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(test::utf8Of(a->object(i)->getTextAttr("object-title")), test::utf8Of(items[i])) << i;
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "High", "Off"}));
}

TEST_F(CControlArrayTest, TheStatePathNamesTheViewThatShowsAnUnknownValue) {
    setChoices({"Low|0"});
    CControlArray* a = array({{"object-count", "2"}, {"object-tag", "test:button-item"}});
    for (int i = 0; i < 2; ++i) {
        auto* button = dynamic_cast<CViewBaseState*>(a->object(i)->findChild(CString("button")));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->isStateSet(CString("error")), i == 1) << i;
    }
    setModes({3, 1, 1});
    auto* first = dynamic_cast<CViewBaseState*>(a->object(0)->findChild(CString("button")));
    auto* second = dynamic_cast<CViewBaseState*>(a->object(1)->findChild(CString("button")));
    EXPECT_TRUE(first->isStateSet(CString("error")));
    EXPECT_FALSE(second->isStateSet(CString("error")));
}

TEST_F(CControlArrayTest, IgnoringInactiveValuesKeepsTheLastTitles) {
    CControlArray* a = array({{"object-count", "2"}, {"is-ignore-inactive-values", "true"}});
    addBridge("waiting", "plugin.q", "^client");
    ASSERT_EQ(takeMessage(a->findChild(CString("ui-param-values"))->setAttr(CString("bridge"), CString("ui.waiting"), true)),
              "");
    EXPECT_TRUE(a->isDisabled());
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"Low", "High"}));
}

TEST_F(CControlArrayTest, ObjectsMadeWhileDisabledStartInError) {
    CControlArray* a = array({{"object-count", "1"}, {"is-disabled", "true"}});
    ASSERT_TRUE(a->isDisabled());
    EXPECT_EQ(allShown(a), (std::vector<std::string>{"<error>"}));
}

} // namespace
} // namespace tal
