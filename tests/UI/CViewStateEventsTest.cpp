#include "UI/CViewBaseState.h"

#include "Core/CError.h"
#include "Core/CSharedAttribute.h"
#include "support/CEventTestTree.h"
#include "support/StateTestView.h"
#include "support/UserSettingsSandbox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tal {

namespace {

// Views in an editor-like tree with an event registry and a pumped bridge: a window renderer object
// that fires "render", a root view naming it in "window", and user settings in a temporary folder.
class ViewStateEvents : public CEventTestTree {
protected:
    void SetUp() override {
        mSandbox = std::make_unique<test::UserSettingsSandbox>();
        CEventTestTree::SetUp();
        CStateTestView::registerTags();
        CObject* made = nullptr;
        ASSERT_EQ(ui->addChild(made, CString("ui:window-shared-data"), CString("window-shared-data"), false), nullptr);
        ASSERT_EQ(ui->addChild(renderer, CString("core:object"), CString("renderer"), false), nullptr);
        window = build(ui, "window", {{"is-root-view", "true"}, {"window", "ui.renderer"}});
    }
    void TearDown() override {
        CEventTestTree::TearDown();
        mSandbox.reset();
    }

    using Attrs = std::initializer_list<std::pair<const char*, const char*>>;
    CObject* add(CObject* parent, const char* tag, const char* name, Attrs attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(parent->addChild(object, CString(tag), CString(name), false), nullptr);
        for (const auto& [key, value] : attrs) EXPECT_EQ(object->setAttr(CString(key), CString(value), false), nullptr);
        return object;
    }
    static void expectNoError(CError* err) {
        EXPECT_EQ(err, nullptr) << (err != nullptr ? text(err->message()) : std::string());
        delete err;
    }
    CStateTestView* build(CObject* parent, const char* name, Attrs attrs) {
        auto* view = static_cast<CStateTestView*>(add(parent, "test:state-view", name, attrs));
        expectNoError(view->init());
        expectNoError(view->createChilds());
        return view;
    }
    void life(CObject* object) {
        expectNoError(object->init());
        expectNoError(object->createChilds());
        expectNoError(object->initChilds());
    }
    static std::string attr(CObject* object, const char* name) {
        CAttrValue* v = object->attrs().findValue(name);
        return v != nullptr ? text(v->asText()) : std::string("<absent>");
    }

    CObject* renderer = nullptr;
    CStateTestView* window = nullptr;
    std::unique_ptr<test::UserSettingsSandbox> mSandbox;
};

TEST_F(ViewStateEvents, AnimatingViewsFollowTheRenderEventUntilTheirAnimationsEnd) {
    expectNoError(window->initChilds());
    CStateTestView* v = build(window, "v", {{"opacity", "0"}});
    life(add(v, "ui:view-state", "show", {{"state-name", "show"}, {"state-attrs", "opacity"}, {"opacity", "1"}, {"duration", "0.2"}}));
    expectNoError(v->initChilds());
    CAttrMap args;
    args.findOrAdd("state")->value.setText(CString("show"));
    expectNoError(v->runEvent(CString("set-state"), &args));   // the description's way to set a state
    EXPECT_TRUE(v->isStateSet(CString("show")));
    EXPECT_TRUE(registry().hasSender(renderer->getFullName()));
    v->now = 0.1;
    expectNoError(renderer->fireEvent(CString("render"), false));
    const double half = std::stod(attr(v, "opacity"));
    EXPECT_NEAR(half, 0.5, 1e-9);
    v->now = 0.25;
    expectNoError(renderer->fireEvent(CString("render"), false));
    EXPECT_EQ(std::stod(attr(v, "opacity")), 1.0);
    EXPECT_FALSE(registry().hasSender(renderer->getFullName()));   // unsubscribed once done
    v->now = 0.3;
    args.findOrAdd("state")->value.setText(CString("show"));
    expectNoError(v->runEvent(CString("unset-state"), &args));
    EXPECT_FALSE(v->isStateSet(CString("show")));
    EXPECT_TRUE(registry().hasSender(renderer->getFullName()));
}

TEST_F(ViewStateEvents, ResettingASharedAttributeStoresItsDefaultValue) {
    expectNoError(window->initChilds());
    CObject* setting = add(ui, "core:shared-attribute", "setting",
                           {{"storage-type", "local"}, {"attribute", "value"}, {"def-value", "7"}});
    life(setting);
    auto* shared = static_cast<CSharedAttribute*>(setting);
    expectNoError(shared->storeValue(CString("3")));
    bridge->pump();
    ASSERT_EQ(attr(setting, "value"), "3");
    CStateTestView* v = build(window, "v", {});
    life(add(v, "ui:view-command", "reset", {{"on-event", "mouse-release"}, {"reset-shared-attr", "ui.setting"}}));
    life(add(v, "ui:view-command", "wrong", {{"on-event", "mouse-release"}, {"reset-shared-attr", "ui.renderer"}}));
    expectNoError(v->initChilds());
    CAttrMap args;
    expectNoError(v->runEvent(CString("mouse-release"), &args));
    bridge->pump();
    EXPECT_EQ(attr(setting, "value"), "7");
}

} // namespace

} // namespace tal
