#include "support/CRecordingObject.h"

#include "Core/CError.h"

#include <gtest/gtest.h>

namespace tal {

namespace {

std::string text(const CString& s) { return std::string(s.narrowed().chars8()); }

CError* record(CObject* o, const char* name, CAttrValue* v) {
    CRecordingObject::journal().push_back(text(o->getShortName()) + "." + name + "=" + text(v->asText()));
    return nullptr;
}

} // namespace

CRecordingObject::~CRecordingObject() { journal().push_back("destroy " + label()); }

std::vector<std::string>& CRecordingObject::journal() {
    static std::vector<std::string> lines;
    return lines;
}

void CRecordingObject::initRecordingScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("a")) = [](CObject* o, CAttrValue* v) { return record(o, "a", v); };
    scheme->addAttrHandler(CString("b")) = [](CObject* o, CAttrValue* v) { return record(o, "b", v); };
    scheme->addAttrHandler(CString("c")) = [](CObject* o, CAttrValue* v) { return record(o, "c", v); };
    scheme->addAttrHandler(CString("y")) = [](CObject* o, CAttrValue* v) { return record(o, "y", v); };
    scheme->addAttrHandler(CString("x")) = [](CObject* o, CAttrValue* v) {
        ++static_cast<CRecordingObject*>(o)->xRuns;
        return record(o, "x", v);
    };
    scheme->addAttrHandler(CString("fail")) = [](CObject*, CAttrValue*) -> CError* {
        return newError("@talstr_CRecordingObject_fail_Failed Handler failed.");
    };
    scheme->addAttrHandler(CString("kill")) = [](CObject* o, CAttrValue* v) -> CError* {
        if (CObject* victim = o->findObject(v->asText())) victim->release();
        return nullptr;
    };
}

void CRecordingObject::registerTags() {
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"test:rec", [] { return static_cast<CObject*>(new CRecordingObject); }, &CRecordingObject::initRecordingScheme},
            {"test:rec2", [] { return static_cast<CObject*>(new CRecordingObject); }, &CRecordingObject::initRecordingScheme},
            {"", nullptr, nullptr},
        };
        return CCreatorRegistry::instance().registerTable(table) == 0;
    }();
    EXPECT_TRUE(registered);
}

std::string CRecordingObject::label() const {
    const std::string name = text(getShortName());
    return name.empty() ? "<root>" : name;
}

CError* CRecordingObject::init() {
    journal().push_back("init " + label());
    return CObject::init();
}

CError* CRecordingObject::createChilds() {
    journal().push_back("createChilds " + label());
    return CObject::createChilds();
}

CError* CRecordingObject::initChilds() {
    journal().push_back("initChilds " + label());
    return CObject::initChilds();
}

CError* CRecordingObject::onChildAdded(CObject* child) {
    journal().push_back("added " + text(child->getShortName()) + " to " + label());
    return CObject::onChildAdded(child);
}

void CRecordingObject::releaseLinks() {
    journal().push_back("links " + label());
    CObject::releaseLinks();
}

CObject* buildChild(CObject& parent, const char* tag, const char* name,
                    std::initializer_list<std::pair<const char*, const char*>> attrs) {
    CObject* child = nullptr;
    EXPECT_EQ(parent.addChild(child, CString(tag), CString(name), true), nullptr);
    if (child == nullptr) return nullptr;
    for (const auto& [key, value] : attrs) EXPECT_EQ(child->setAttr(CString(key), CString(value), false), nullptr);
    EXPECT_EQ(child->init(), nullptr);
    EXPECT_EQ(child->createChilds(), nullptr);
    EXPECT_EQ(child->initChilds(), nullptr);
    return child;
}

} // namespace tal
