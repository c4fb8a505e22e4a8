#include "support/WindowTestTree.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CTimerQueued.h"
#include "UI/CWindowSharedData.h"
#include "UI/ViewCreators.h"
#include "UI/WindowCreators.h"

namespace tal {

CAttrTemplateBody::CAttrTemplateBody(const char* tag, std::vector<std::pair<std::string, std::string>> attrs)
    : mTag(tag), mAttrs(std::move(attrs)) {}

CError* CAttrTemplateBody::buildAttrs(CObject& target) {
    for (const auto& [name, value] : mAttrs)
        if (CError* error = target.setAttr(CString(name.c_str()), CString(value.c_str()), false))
            return error;
    return nullptr;
}

void CWindowTestTree::SetUp() {
    CEventTestTree::SetUp();
    static const bool registered = [] {
        static const CCreatorTableEntry timers[] = {
            {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
            {"", nullptr, nullptr},
        };
        // Other tests of the program may have registered some of these tags already (logged, kept).
        CCreatorRegistry::instance().registerTable(timers);
        CCreatorRegistry::instance().registerTable(kViewCreatorTable);
        CCreatorRegistry::instance().registerTable(kWindowCreatorTable);
        return true;
    }();
    ASSERT_TRUE(registered);
    CMainLoopTimers::setCurrent(&loop);
    addAttrTemplate(root, "core:timer", "core:timer", {});
    addAttrTemplate(root, "ui:update-timer-group", "ui:update-timer-group", {{"timer-tag", "core:timer"}});
    addAttrTemplate(root, "ui:update-timer", "ui:update-timer", {{"order-asc", "0"}});
    CObject* data = nullptr;
    ASSERT_EQ(ui->addChild(data, CString("ui:window-shared-data"), CString("window-shared-data"), false), nullptr);
    sharedData = dynamic_cast<CWindowSharedData*>(data);
    ASSERT_NE(sharedData, nullptr);
    ASSERT_EQ(data->init(), nullptr);
    ASSERT_EQ(data->createChilds(), nullptr);
    ASSERT_EQ(data->initChilds(), nullptr);
}

void CWindowTestTree::TearDown() {
    CEventTestTree::TearDown();
    CMainLoopTimers::setCurrent(nullptr);
}

void CWindowTestTree::addAttrTemplate(CObject* parent, const char* name, const char* tag,
                                      std::vector<std::pair<std::string, std::string>> attrs) {
    CObject* placeholder = nullptr;
    ASSERT_EQ(parent->addChild(placeholder, CString("template"), CString(name), false), nullptr);
    placeholder->setTemplateBody(new CAttrTemplateBody(tag, std::move(attrs)));
    parent->addTemplate(CString(name), placeholder);
}

void CWindowTestTree::runFor(double seconds) {
    // Step in whole milliseconds so that every tick's bridged delivery runs before the next tick.
    const int steps = int(seconds * 1000.0 + 0.5);
    for (int i = 0; i < steps; ++i) {
        loop.advance(0.001);
        bridge->pump();
    }
}

} // namespace tal
