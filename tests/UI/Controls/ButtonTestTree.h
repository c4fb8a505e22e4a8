#pragma once
// A view test tree for buttons and selectors: every product tag registered, the global settings at
// "ui.global-settings", a window, value lists, shared attributes, and a sink that records the
// "popup-result" events forwarded to it.
#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CObjectScheme.h"
#include "Core/CSharedAttribute.h"
#include "Core/CXMLLoader.h"
#include "Core/CStringList.h"
#include "ProductCreators.h"
#include "UI/CGlobalSettings.h"
#include "UI/CValueList.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {

// "test:result-sink": records every "popup-result" it receives as "index=.. text=.. combine=..".
class CResultSink : public CObject {
public:
    static void initSinkScheme(CObjectScheme* scheme) {
        CObject::initScheme(scheme);
        scheme->addEventHandler(CString("popup-result")) = CEventHandler{nullptr, &record, true};
    }
    static CError* record(CObject* object, CAttrMap* args) {
        std::string line;
        for (const char* key : {"index", "text", "combine-changes"}) {
            CAttrValue* value = args != nullptr ? args->findValue(key) : nullptr;
            if (value == nullptr) continue;
            if (!line.empty()) line += " ";
            line += std::string(key) + "=" + text(value->asText());
        }
        static_cast<CResultSink*>(object)->results.push_back(line);
        return nullptr;
    }
    std::vector<std::string> results;
};

class CButtonTestTree : public CViewTestTree {
protected:
    using List = std::vector<std::string>;

    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
                for (const CCreatorTableEntry* e = *table; e->create != nullptr; ++e)
                    if (CCreatorRegistry::instance().find(CString(e->tag)) == nullptr) {
                        CObjectScheme* scheme = CCreatorRegistry::instance().newScheme();
                        if (e->initScheme) e->initScheme(scheme);
                        delete CObject::registerCreator(CString(e->tag), e->create, scheme);
                    }
            static const CCreatorTableEntry sink[] = {
                {"test:result-sink", [] { return static_cast<CObject*>(new CResultSink); }, &CResultSink::initSinkScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(sink) == 0;
        }();
        ASSERT_TRUE(registered);
        settings = static_cast<CGlobalSettings*>(object(ui, "ui:global-settings", "global-settings", {}));
        CObject* made = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(made, CString("test:result-sink"), CString("sink"), false)), "");
        sink = static_cast<CResultSink*>(made);
        window = beginWindow("w", {{"width", "300"}, {"height", "100"}});
    }

    // A plain object of a tag under parent with its whole life cycle run.
    CObject* object(CObject* parent, const char* tag, const char* name, Attrs attrs) {
        CObject* made = nullptr;
        EXPECT_EQ(test::takeMessage(parent->addChild(made, CString(tag), CString(name), false)), "") << tag;
        if (made == nullptr) return nullptr;
        for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(made->setAttr(CString(key), CString(value), false)), "");
        CError* err = made->init();
        if (err == nullptr) err = made->createChilds();
        if (err == nullptr) err = made->initChilds();
        EXPECT_EQ(test::takeMessage(err), "") << name;
        return made;
    }

    // A manual value list under the window holding items (whole texts, no separator).
    CValueList* valueList(const char* name, const List& items) {
        auto* list = static_cast<CValueList*>(object(window, "ui:value-list-manual", name, {}));
        setItems(list, items);
        return list;
    }
    static void setItems(CValueList* list, const List& items) {
        CStringList texts;
        for (const std::string& item : items) texts.add(CString(item.c_str()));
        EXPECT_EQ(test::takeMessage(list->setItems(texts)), "");
    }

    // A shared attribute "name" in scope keeping attribute "value", under ui.
    CSharedAttribute* sharedAttribute(const char* name, const char* scope, const char* def) {
        return static_cast<CSharedAttribute*>(object(ui, "core:shared-attribute", name,
            {{"storage-type", scope}, {"attribute", "value"}, {"def-value", def}}));
    }

    std::string attr(CObject* o, const char* name) {
        CAttrValue* value = o->attrs().findValue(name);
        return value != nullptr ? text(value->asText()) : std::string("<none>");
    }
    std::string set(CObject* o, const char* name, const char* value) {
        return test::takeMessage(o->setAttr(CString(name), CString(value), true));
    }
    std::string run(CObject* o, const char* event, Attrs args = {}) {
        CAttrMap map;
        for (const auto& [key, value] : args) map.findOrAdd(key)->value.setText(CString(value));
        return test::takeMessage(o->runEvent(CString(event), &map));
    }

    // A selector of tag under the window, its rows made from the test templates.
    template <class T>
    T* selector(const char* tag, const char* name, std::vector<std::pair<const char*, const char*>> attrs) {
        if (!mSelectorTemplates) {
            EXPECT_EQ(test::takeMessage(CXMLLoader::loadXMLData(*shared, CString(TAL_SELECTOR_DESCRIPTION), false)), "");
            mSelectorTemplates = true;
        }
        attrs.insert(attrs.begin(), {{"button-tag", "test:sel-button"}, {"run-event-params-tag", "test:sel-params"},
                                     {"param-data-tag", "test:sel-param"}, {"view-command-tag", "test:sel-command"},
                                     {"placement", "left"}, {"width", "200"}, {"height", "20"}, {"button-width", "40"}});
        CObject* made = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(made, CString(tag), CString(name), false)), "");
        for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(made->setAttr(CString(key), CString(value), false)), "");
        CError* err = made->init();
        if (err == nullptr) err = made->createChilds();
        if (err == nullptr) err = made->initChilds();
        EXPECT_EQ(test::takeMessage(err), "") << name;
        return dynamic_cast<T*>(made);
    }

    CGlobalSettings* settings = nullptr;
    CResultSink* sink = nullptr;
    CView* window = nullptr;

private:
    bool mSelectorTemplates = false;
};

} // namespace tal
