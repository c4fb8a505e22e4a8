#include "support/MultiWindowTestTree.h"

#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "UI/CWindowCloser.h"
#include "UI/CWindowOpener.h"
#include "UI/CWindowSharedData.h"
#include "support/StreamTestHelpers.h"
#include "support/WindowTestTree.h"

namespace tal {

CError* CCloseTestView::onPreCloseWindow(CAttrMap& args) {
    lastQueue = args.findValue("queue-id") != nullptr ? args.findValue("queue-id")->asInt() : 0;
    lastCloser = args.findValue("window-closer") != nullptr ? args.findValue("window-closer")->asText() : CString();
    if (asked != nullptr)
        asked->push_back(std::string(getShortName().narrowed().chars8()) + " " + std::to_string(lastQueue));
    const CString& answer = getTextAttr("close-answer");
    if (answer.equals("later"))
        return nullptr;
    if (answer.equals("fail"))
        return newError("@talstr_Test_preClose_Failed Cannot close now.", getFullName());
    return confirmCloseWindow(this, args, !answer.equals("deny"), false);
}

CError* CCloseTestView::answerLater(bool confirm) {
    CAttrMap args;
    args.findOrAdd("queue-id")->value.setInt(lastQueue);
    args.findOrAdd("window-closer")->value.setText(lastCloser);
    return confirmCloseWindow(this, args, confirm, false);
}

void CMultiWindowTestTree::SetUp() {
    CRendererTestTree::SetUp();
    static const CCreatorTableEntry table[] = {
        {"test:close-view", [] { return static_cast<CObject*>(new CCloseTestView); }, &CView::initScheme},
        {"", nullptr, nullptr},
    };
    static const bool registered = [] {
        CCreatorRegistry::instance().registerTable(table);
        return true;
    }();
    ASSERT_TRUE(registered);
    CCloseTestView::asked = &askedViews;
    CObject* treeRoot = ui->root();
    CObject* placeholder = nullptr;
    ASSERT_EQ(treeRoot->addChild(placeholder, CString("template"), CString("ui:update-timer"), false), nullptr);
    placeholder->setTemplateBody(new CAttrTemplateBody("ui:update-timer", {{"order-asc", "0"}}));
    treeRoot->addTemplate(CString("ui:update-timer"), placeholder);
    ASSERT_EQ(treeRoot->addChild(placeholder, CString("template"), CString("ui:interval-timer"), false), nullptr);
    placeholder->setTemplateBody(new CAttrTemplateBody("ui:interval-timer", {{"interval", "1.0"}}));
    treeRoot->addTemplate(CString("ui:interval-timer"), placeholder);
    CObject* child = nullptr;
    ASSERT_EQ(sharedData->addChild(child, CString("ui:window-closer"), CString("window-closer"), false), nullptr);
    closer = dynamic_cast<CWindowCloser*>(child);
    ASSERT_EQ(sharedData->addChild(child, CString("ui:window-opener"), CString("window-opener"), false), nullptr);
    opener = dynamic_cast<CWindowOpener*>(child);
    for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
             {"interval-timer-tag", "ui:interval-timer"}, {"update-interval", "0.2"}, {"wait-timeout", "5"}})
        ASSERT_EQ(opener->setAttr(CString(key), CString(value), false), nullptr);
    for (CObject* o : {static_cast<CObject*>(closer), static_cast<CObject*>(opener)}) {
        ASSERT_EQ(o->init(), nullptr);
        ASSERT_EQ(o->createChilds(), nullptr);
        ASSERT_EQ(o->initChilds(), nullptr);
    }
}

void CMultiWindowTestTree::TearDown() {
    CCloseTestView::asked = nullptr;
    CRendererTestTree::TearDown();
}

CView* CMultiWindowTestTree::addWindow(CObject* parent, const char* name, int w, int h, Attrs rootAttrs,
                                       Attrs rendererAttrs, bool open) {
    CObject* object = nullptr;
    EXPECT_EQ(test::takeMessage(parent->addChild(object, CString("test:close-view"), CString(name), false)), "");
    auto* view = dynamic_cast<CView*>(object);
    const std::string ws = std::to_string(w), hs = std::to_string(h);
    for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
             {"is-root-view", "true"}, {"width", ws.c_str()}, {"height", hs.c_str()}, {"window-alignment", "bottom"}})
        EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
    for (const auto& [key, value] : rootAttrs)
        EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "") << key;
    EXPECT_EQ(test::takeMessage(view->init()), "");
    EXPECT_EQ(test::takeMessage(view->createChilds()), "");
    CObject* r = nullptr;
    EXPECT_EQ(test::takeMessage(view->addChild(r, CString("ui:window-renderer"), CString("window-renderer"), false)), "");
    for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
             {"timer-tag", "ui:update-timer"}, {"fps", "40"}})
        EXPECT_EQ(test::takeMessage(r->setAttr(CString(key), CString(value), false)), "");
    for (const auto& [key, value] : rendererAttrs)
        EXPECT_EQ(test::takeMessage(r->setAttr(CString(key), CString(value), false)), "") << key;
    EXPECT_EQ(test::takeMessage(r->init()), "");
    EXPECT_EQ(test::takeMessage(r->createChilds()), "");
    auto timer = [r](const char* tag, const char* timerName, std::vector<std::pair<const char*, const char*>> attrs) {
        CAttrMap map;
        for (const auto& [key, value] : attrs)
            map.findOrAdd(key)->value.setText(CString(value));
        CObject* t = nullptr;
        EXPECT_EQ(test::takeMessage(r->createChild(t, CString(tag), CString(timerName), false, &map, nullptr)), "");
    };
    timer("ui:update-timer", "render-timer", {{"fps", "40"}, {"order-asc", "1000"}});
    timer("ui:interval-timer", "update-actual-pos-timer", {{"interval", "0.3"}});
    if (view->getBoolAttr("is-popup-window"))
        timer("ui:update-timer", "deactivate-timer", {{"fps", "40"}, {"order-asc", "0"}});
    EXPECT_EQ(test::takeMessage(r->initChilds()), "");
    if (open) {
        EXPECT_EQ(test::takeMessage(view->initChilds()), "");
        backend.processEvents();
    }
    return view;
}

CWindowRenderer* CMultiWindowTestTree::rendererOf(CView* root) {
    return root != nullptr ? dynamic_cast<CWindowRenderer*>(root->findChild(CString("window-renderer"))) : nullptr;
}

void CMultiWindowTestTree::settle() {
    for (int i = 0; i < 3; ++i) {
        bridge->pump();
        backend.processEvents();
    }
}

} // namespace tal
