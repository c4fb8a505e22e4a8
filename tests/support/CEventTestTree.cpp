#include "support/CEventTestTree.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"

namespace tal {

namespace {

CError* onEvent(CObject* o, CAttrMap* args) {
    auto* self = static_cast<CEventTestObject*>(o);
    ++self->calls;
    CAttrValue* name = args->findValue("event-name");
    CEventTestObject::journal().push_back(text(self->getShortName()) + ":" + (name ? text(name->asText()) : "?"));
    return self->action ? self->action(*self, *args) : nullptr;
}

void initListenerScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    CEventHandler& on = scheme->addEventHandler(CString("on"));
    on.withArgs = &onEvent;
    on.hasArgs = true;
    CEventHandler& plain = scheme->addEventHandler(CString("plain"));
    plain.plain = [](CObject* o) -> CError* {
        ++static_cast<CEventTestObject*>(o)->calls;
        CEventTestObject::journal().push_back(text(o->getShortName()) + ":plain");
        return nullptr;
    };
    CEventHandler& fail = scheme->addEventHandler(CString("fail"));
    fail.plain = [](CObject*) -> CError* { return newError("@talstr_Test_fail_Failed Handler failed."); };
}

} // namespace

void CEventTestObject::registerTags() {
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"test:listener", [] { return static_cast<CObject*>(new CEventTestObject); }, &initListenerScheme},
            {"test:bridge", [] { return static_cast<CObject*>(new CObjectEventBridgeHandler); }, &CObject::initScheme},
            {"", nullptr, nullptr},
        };
        return CCreatorRegistry::instance().registerTable(table) == 0;
    }();
    EXPECT_TRUE(registered);
}

std::vector<std::string>& CEventTestObject::journal() {
    static std::vector<std::string> lines;
    return lines;
}

void CEventTestTree::SetUp() {
    CEventTestObject::registerTags();
    CEventTestObject::journal().clear();
    shared = new CObject;
    shared->initRoot(nullptr);
    CObject::setSharedObject(shared);
    root = new CObject;
    root->initRoot(new CEventRegistry);
    CObject* carrier = nullptr;
    ASSERT_EQ(root->addChild(carrier, CString("test:bridge"), CString("ui"), false), nullptr);
    ui = dynamic_cast<CObjectEventBridgeHandler*>(carrier);
    ASSERT_NE(ui, nullptr);
    bridge = std::make_unique<CPumpedEventBridge>(*ui);
}

void CEventTestTree::TearDown() {
    bridge.reset();
    if (root != nullptr) root->release();
    shared->release();
    CObject::setSharedObject(nullptr);
}

CEventTestObject* CEventTestTree::addListener(CObject* parent, const char* name) {
    CObject* child = nullptr;
    EXPECT_EQ(parent->addChild(child, CString("test:listener"), CString(name), false), nullptr);
    return static_cast<CEventTestObject*>(child);
}

} // namespace tal
