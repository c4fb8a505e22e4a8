#pragma once
#include "Core/CCreatorRegistry.h"
#include "Core/CTemplateBody.h"
#include "UI/CGlobalSettings.h"
#include "UI/CInputState.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CWindowSharedData.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/PaletteCreators.h"
#include "UI/ViewCreators.h"
#include "support/AppDataFolder.h"
#include "support/BindingTestTree.h"
#include "support/ParamChangeHelpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UI/CUIParamController.h"

namespace tal {

// A template of a tag with fixed attributes (the pacing timer's is a plain view that keeps "fps";
// the test fires its "tick").
class CTagTemplate : public CTemplateBody {
public:
    CTagTemplate(const char* tag, std::vector<std::pair<const char*, const char*>> attrs)
        : mTag(tag), mAttrs(std::move(attrs)) {}
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject& target) override {
        for (const auto& [key, value] : mAttrs)
            if (CError* error = target.setAttr(CString(key), CString(value), false))
                return error;
        return nullptr;
    }
    CError* buildChildren(CObject&) override { return nullptr; }

private:
    CString mTag;
    std::vector<std::pair<const char*, const char*>> mAttrs;
};

// A window "ui.window" holding a view "knob" with a controller, global settings at drag precision
// 0.8 and fine precision 0 (factor 2/3), and a float parameter 0..1 of four elements in two groups.
class CControllerTestTree : public CRecordingBindingTree {
protected:
    void SetUp() override {
        appData = std::make_unique<test::AppDataFolder>();
        CRecordingBindingTree::SetUp();
        static const bool registered = [] {
            CCreatorRegistry& registry = CCreatorRegistry::instance();
            registry.registerTable(kPaletteCreatorTable);
            registry.registerTable(kViewCreatorTable);
            registry.registerTable(kControlCreatorTable);
            return registry.find(CString("ui:ui-param-controller")) != nullptr;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:window-shared-data", "window-shared-data", {})), "");
        shared = dynamic_cast<CWindowSharedData*>(object);
        ASSERT_EQ(takeMessage(ui->addChild(object, CString("ui:dynamic-palette"), CString("palette"), false)), "");
        ASSERT_EQ(takeMessage(object->init()), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:global-settings", "global-settings",
                                                    {{"drag-precision", "0.8"}, {"shift-key-precision", "0"},
                                                     {"mouse-wheel-precision", "0"}, {"tablet-mode", "0"}})),
                  "");
        settings = dynamic_cast<CGlobalSettings*>(object);
        addTemplate("test:tick", new CTagTemplate("ui:view", {}));
        addTemplate("test:ui-param", new CTagTemplate("ui:ui-param", {}));
        addTemplate("test:controller",
                    new CTagTemplate("ui:ui-param-controller", {{"interface-client", "ui.client"},
                                                                {"sensitivity", "1.0"},
                                                                {"timer-tag", "test:tick"}}));
        ASSERT_EQ(takeMessage(CParamTestTree::build(window, ui, "ui:view", "window", {{"is-root-view", "true"}})), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(knob, window, "ui:view", "knob", {})), "");
        info = makeInfo("Gain", 1, 0, 1, "0.3,0.3,0.3,0.3");
        bridge = bridgeWith("p", *info);
        setValues(0, {0.3, 0.3, 0.3, 0.3});
        setValues(1, {0.5, 0.5, 0.5, 0.5});
    }

    void addTemplate(const char* name, CTemplateBody* body) {
        CObject* placeholder = nullptr;
        ASSERT_EQ(takeMessage(ui->addChild(placeholder, CString("template"), CString(name), false)), "");
        placeholder->setTemplateBody(body);
        ui->addTemplate(CString(name), placeholder);
    }
    void TearDown() override {
        CRecordingBindingTree::TearDown();
        appData.reset();
    }

    void setValues(int group, const std::vector<double>& v) {
        connector->replyParamUpdate(bridge->listenHandle(), floatChange(group, 0, v));
        connector->take();
    }
    double valueOf(int group, int element) {
        CUIParamValue v;
        bridge->getPlainValues(group, element, v);
        return v[0];
    }
    // A controller under the knob, editing the parameter "ui.owner.ui-param" on ui.p.
    CUIParamController* controller(AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(knob->addChild(object, CString("ui:ui-param-controller"), CString("ui-param-controller"),
                                             false)),
                  "");
        std::vector<std::pair<const char*, const char*>> all = {
            {"interface-client", "ui.client"}, {"is-vertical", "true"}, {"sensitivity", "1.0"},
            {"timer-tag", "test:tick"},        {"ui-param", "ui.owner.ui-param"}};
        all.insert(all.end(), attrs.begin(), attrs.end());
        for (const auto& [key, value] : all)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        if (owner->findChild(CString("ui-param")) == nullptr)
            addUIParam(owner, "ui-param", {{"bridge", "ui.p"}});
        connector->take();
        return dynamic_cast<CUIParamController*>(object);
    }
    CInputState& input() { return shared->inputState(); }
    void moveMouseTo(double x, double y) {
        input().mouseX = input().dragMouseX = x;
        input().mouseY = input().dragMouseY = y;
    }
    // Moves the pointer by (dx, dy) points and runs one drag step.
    void moveBy(CUIParamController* c, double dx, double dy, bool fine = false, bool limit = false) {
        moveMouseTo(input().dragMouseX + dx, input().dragMouseY + dy);
        c->handleMouseMove(fine, false, limit);
    }
    // The recorded lines of one kind ("change-param", "submit-undo-data", ...).
    std::vector<std::string> lines(const char* prefix) {
        std::vector<std::string> out;
        for (const std::string& line : connector->lines)
            if (line.rfind(prefix, 0) == 0)
                out.push_back(line);
        return out;
    }

    std::unique_ptr<test::AppDataFolder> appData;
    CWindowSharedData* shared = nullptr;
    CGlobalSettings* settings = nullptr;
    CObject* window = nullptr;
    CObject* knob = nullptr;
    std::unique_ptr<CAudioParamInfo> info;
    CParamBridge* bridge = nullptr;
};

} // namespace tal
