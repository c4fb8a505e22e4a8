// The scale selector: the percentage title and the matching entry, and a chosen factor stored with
// four decimals between the windows' position record (mode 1) and rescale (mode 2) while the
// windows follow the stored setting; factors that are no positive number store nothing.
#include "UI/Controls/CSelectorScale.h"

#include "Core/AppDataText.h"
#include "UI/Controls/ButtonTestTree.h"
#include "UI/Controls/CButton.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// "test:scale-window": a recording window renderer that also answers "update-window-scale".
CError* recordScale(CObject* object, CAttrMap* args) {
    auto* window = static_cast<CRecordingWindowRenderer*>(object);
    CAttrValue* mode = args != nullptr ? args->findValue("mode") : nullptr;
    const std::string line = "update-window-scale mode=" + (mode != nullptr ? text(mode->asText()) : std::string());
    window->events.push_back(line);
    if (window->onEvent) window->onEvent(line);
    return nullptr;
}

void initScaleWindowScheme(CObjectScheme* scheme) {
    CRecordingWindowRenderer::initTestScheme(scheme);
    scheme->addEventHandler(CString("update-window-scale")) = CEventHandler{nullptr, &recordScale, true};
}

class CSelectorScaleTest : public CButtonTestTree {
protected:
    void SetUp() override {
        CButtonTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:scale-window", [] { return static_cast<CObject*>(new CRecordingWindowRenderer); }, &initScaleWindowScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        scale = sharedAttribute("ui-scale", "local", "1.0");
        sharedAttribute("ui-scale2", "local", "1.0");
        for (const char* name : {"main", "popup"}) {
            CView* rootView = beginWindow(name, {{"width", "100"}, {"height", "50"}});
            finish(rootView);
            auto* w = static_cast<CRecordingWindowRenderer*>(object(rootView, "test:scale-window", "scale-renderer", {}));
            w->journal = nullptr;
            // Each window notes what the setting held when it was told.
            w->onEvent = [this, name](const std::string& line) { log.push_back(std::string(name) + " " + line + " stored=" + stored()); };
            windows.push_back(w);
        }
    }

    CSelectorScale* scaleSelector(const char* visualScale) {
        EXPECT_EQ(set(root, "VisualScale", visualScale), "");
        auto* s = selector<CSelectorScale>("ui:selector-scale", "scale", {});
        // The drop-down and the entries are children of the selector.
        auto* titles = static_cast<CValueList*>(object(s, "ui:value-list-manual", "ui-scale-titles", {}));
        setItems(titles, {"80%;0.8", "90%;0.9", "100%;1.0", "110%;1.1", "125%;1.25", "150%;1.5", "175%;1.75"});
        CObject* made = nullptr;
        EXPECT_EQ(test::takeMessage(s->addChild(made, CString("ui:button-base"), CString("dropdown"), false)), "");
        EXPECT_EQ(test::takeMessage(made->init()), "");
        EXPECT_EQ(test::takeMessage(made->createChilds()), "");
        EXPECT_EQ(test::takeMessage(made->initChilds()), "");
        button = static_cast<CButton*>(made);
        for (const auto& [key, value] : {std::pair{"dropdown-button-path", ".dropdown"}, {"shared-attribute", "ui.ui-scale"},
                                         {"shared-attribute2", "ui.ui-scale2"}})
            EXPECT_EQ(set(s, key, value), "");
        EXPECT_EQ(set(s, "scale", "{*/ui.ui-scale value}"), "");
        EXPECT_EQ(test::takeMessage(s->initChilds()), "");
        return s;
    }
    std::string stored() { return text(readAppDataString(scale->scope(), scale->dataName(), CString("<none>"))); }

    CSharedAttribute* scale = nullptr;
    CButton* button = nullptr;
    std::vector<CRecordingWindowRenderer*> windows;
    std::vector<std::string> log;
};

TEST_F(CSelectorScaleTest, AChoiceRescalesEveryWindowAroundTheStore) {
    CSelectorScale* s = scaleSelector("0");
    EXPECT_EQ(attr(button, "title"), "100%");
    EXPECT_EQ(attr(button, "selected-item"), "2");
    ASSERT_EQ(run(s, "select-scale", {{"text", "125%;1.25"}}), "");
    EXPECT_EQ(log, (std::vector<std::string>{
        "main update-window-scale mode=1 stored=<none>", "popup update-window-scale mode=1 stored=<none>",
        "main update-window-scale mode=2 stored=1.2500", "popup update-window-scale mode=2 stored=1.2500"}));
    EXPECT_EQ(attr(button, "title"), "100%");   // the stored value comes back through the bridge
    bridge->pump();
    EXPECT_EQ(attr(button, "title"), "125%");
    EXPECT_EQ(attr(button, "selected-item"), "4");
}

TEST_F(CSelectorScaleTest, AFixedVisualScaleOnlyStores) {
    CSelectorScale* s = scaleSelector("1.5");
    ASSERT_EQ(run(s, "select-scale", {{"text", "80%;0.8"}}), "");
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(stored(), "0.8000");
}

TEST_F(CSelectorScaleTest, TextsWithoutOnePositiveFactorStoreNothing) {
    CSelectorScale* s = scaleSelector("0");
    for (const char* choice : {"x;abc", "125%", "1;2;3", "0%;0", "-50%;-0.5", "big;inf", "nan;nan", ";", ""}) {
        SCOPED_TRACE(choice);
        ASSERT_EQ(run(s, "select-scale", {{"text", choice}}), "");
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(stored(), "<none>");
    }
    ASSERT_EQ(run(s, "select-scale", {{"text", "x;1,5"}}), "");   // a comma is a decimal point
    EXPECT_EQ(stored(), "1.5000");
}

TEST_F(CSelectorScaleTest, TheTitleRoundsThePercentageAndSelectsAMatchingEntry) {
    CSelectorScale* s = scaleSelector("0");
    struct Case { const char* scale; const char* title; const char* selected; };
    for (const Case& c : {Case{"0.995", "100%", "2"}, Case{"1.3", "130%", "2"}, Case{"1.75", "175%", "6"}, Case{"0.8", "80%", "0"}}) {
        SCOPED_TRACE(c.scale);
        ASSERT_EQ(set(s, "scale", c.scale), "");
        EXPECT_EQ(attr(button, "title"), c.title);
        EXPECT_EQ(attr(button, "selected-item"), c.selected);
    }
}

TEST_F(CSelectorScaleTest, NothingIsStoredWithoutTheSecondSharedAttribute) {
    CSelectorScale* s = scaleSelector("0");
    ASSERT_EQ(set(s, "shared-attribute2", "ui.nothere"), "");
    // The reference is set up once, at child set-up.
    auto* other = selector<CSelectorScale>("ui:selector-scale", "other", {{"shared-attribute", "ui.ui-scale"}, {"shared-attribute2", "ui.nothere"}});
    ASSERT_EQ(run(other, "select-scale", {{"text", "150%;1.5"}}), "");
    EXPECT_EQ(stored(), "<none>");
    EXPECT_TRUE(log.empty());
    (void)s;
}

} // namespace
} // namespace tal
