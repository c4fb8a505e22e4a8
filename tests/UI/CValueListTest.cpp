#include "UI/CValueList.h"

#include "Core/CCreatorRegistry.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// A value list whose item source is the vector `source` ("test:source-list").
class CSourceList : public CValueList {
public:
    CError* collectItems(CStringList& list) override {
        for (const std::string& s : source)
            list.add(s.c_str());
        return nullptr;
    }
    std::vector<std::string> source;
};

// One paragraph of markup: its "content" attribute (may be empty) and the values of its "content"
// children.
struct Paragraph {
    const char* content;
    std::vector<const char*> parts;
};

class CValueListTest : public CBindingTestTree {
protected:
    void SetUp() override {
        CBindingTestTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"test:source-list", [] { return static_cast<CObject*>(new CSourceList); }, &CValueList::initScheme},
            {"", nullptr, nullptr},
        };
        static const bool registered = (CCreatorRegistry::instance().registerTable(table), true);
        ASSERT_TRUE(registered);
        watcher = addListener(ui, "watcher");
    }

    // Builds a list as the description loader does, with paragraph children made between
    // createChilds and initChilds, and counts its "values-changed" and "value-list-ready".
    template <class T = CValueList>
    T* buildList(const char* name, const char* tag, AttrList attrs, const std::vector<Paragraph>& markup = {},
                 const std::vector<std::string>& source = {}) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString(tag), CString(name), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        if (auto* sourced = dynamic_cast<CSourceList*>(object))
            sourced->source = source;
        watcher->listenObject(object->getFullName(), CString("values-changed"), CString("on"));
        watcher->listenObject(object->getFullName(), CString("value-list-ready"), CString("on"));
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        int n = 0;
        for (const Paragraph& p : markup) {
            CObject* paragraph = nullptr;
            EXPECT_EQ(takeMessage(object->addChild(paragraph, CString("ui:textview-p"),
                                                   CString(("p" + std::to_string(n++)).c_str()), false)),
                      "");
            if (p.content[0] != 0) {
                EXPECT_EQ(takeMessage(paragraph->setAttr(CString("content"), CString(p.content), true)), "");
            }
            int k = 0;
            for (const char* part : p.parts) {
                CObject* content = nullptr;
                EXPECT_EQ(takeMessage(paragraph->addChild(content, CString("content"),
                                                          CString(("c" + std::to_string(k++)).c_str()), false)),
                          "");
                EXPECT_EQ(takeMessage(content->setAttr(CString("value"), CString(part), true)), "");
            }
        }
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return dynamic_cast<T*>(object);
    }
    static std::vector<std::string> texts(const CValueList& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.itemCount(); ++i)
            out.push_back(text(list.itemText(i)));
        return out;
    }
    static std::vector<std::string> values(const CValueList& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.itemCount(); ++i)
            out.push_back(text(list.itemValue(i)));
        return out;
    }
    // The events the watcher heard, which are then forgotten.
    static std::vector<std::string> heard() {
        std::vector<std::string> events;
        events.swap(CEventTestObject::journal());
        return events;
    }

    CEventTestObject* watcher = nullptr;
};

TEST_F(CValueListTest, AnEmptyListIsReadyWithoutAChange) {
    CValueList* list = buildList("list", "ui:value-list-manual", {});
    EXPECT_EQ(list->itemCount(), 0);
    EXPECT_EQ(heard(), (std::vector<std::string>{"watcher:value-list-ready"}));
}

TEST_F(CValueListTest, ParagraphsBecomeItemsAndTheSeparatorCutsOnlyTheDisplayText) {
    CValueList* list = buildList("scales", "ui:value-list-manual", {{"separator-char", ";"}},
                                 {{"", {"80%;0.8"}}, {"", {"125%", ";1.25"}}, {"Both", {"part"}}, {"", {"a;b;c"}},
                                  {"", {"whole"}}});
    EXPECT_EQ(texts(*list), (std::vector<std::string>{"80%", "125%", "Both", "part", "a;b", "whole"}));
    EXPECT_EQ(values(*list), (std::vector<std::string>{"80%;0.8", "125%;1.25", "Both", "part", "a;b;c", "whole"}));
    EXPECT_EQ(heard(), (std::vector<std::string>{"watcher:values-changed", "watcher:value-list-ready"}));
}

TEST_F(CValueListTest, ALineBreakJoinsTheTextsOfOneParagraph) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(ui->addChild(object, CString("ui:value-list-manual"), CString("list"), false)), "");
    ASSERT_EQ(takeMessage(object->init()), "");
    CObject* p = nullptr;
    CObject* c = nullptr;
    ASSERT_EQ(takeMessage(object->addChild(p, CString("ui:textview-p"), CString("p"), false)), "");
    ASSERT_EQ(takeMessage(p->addChild(c, CString("content"), CString("a"), false)), "");
    ASSERT_EQ(takeMessage(c->setAttr(CString("value"), CString("One"), true)), "");
    ASSERT_EQ(takeMessage(p->addChild(c, CString("ui:textview-br"), CString("br"), false)), "");
    ASSERT_EQ(takeMessage(p->addChild(c, CString("content"), CString("b"), false)), "");
    ASSERT_EQ(takeMessage(c->setAttr(CString("value"), CString("Two"), true)), "");
    ASSERT_EQ(takeMessage(p->addChild(c, CString("other"), CString("skipped"), false)), "");
    ASSERT_EQ(takeMessage(object->initChilds()), "");
    EXPECT_EQ(texts(*dynamic_cast<CValueList*>(object)), (std::vector<std::string>{"One[BR]Two"}));
}

TEST_F(CValueListTest, TheEmptyItemAndManualItemsAreNotCountedByTheCapacity) {
    CSourceList* list = buildList<CSourceList>("list", "test:source-list",
                                               {{"add-empty-value", "true"}, {"is-add-manual-items", "true"},
                                                {"max-capacity", "2"}},
                                               {{"", {"Manual"}}}, {"s1", "s2", "s3", "s4", "s5"});
    EXPECT_EQ(texts(*list), (std::vector<std::string>{"---", "Manual", "s1", "s2"}));
    EXPECT_EQ(list->fixedItemCount(), 2);

    heard();
    ASSERT_EQ(takeMessage(list->setAttr(CString("max-capacity"), CString("2"), true)), "");
    EXPECT_TRUE(heard().empty());
    ASSERT_EQ(takeMessage(list->setAttr(CString("max-capacity"), CString("0"), true)), "");
    EXPECT_EQ(texts(*list), (std::vector<std::string>{"---", "Manual", "s1", "s2", "s3", "s4", "s5"}));
    EXPECT_EQ(heard(), (std::vector<std::string>{"watcher:values-changed"}));
    // A new limit that leaves the result as it is changes nothing.
    ASSERT_EQ(takeMessage(list->setAttr(CString("max-capacity"), CString("7"), true)), "");
    EXPECT_TRUE(heard().empty());
}

TEST_F(CValueListTest, UpdateValuesAnnouncesOnlyARealChange) {
    CSourceList* list = buildList<CSourceList>("list", "test:source-list", {}, {}, {"a", "b"});
    heard();
    ASSERT_EQ(takeMessage(list->runEvent(CString("update-values"))), "");
    EXPECT_TRUE(heard().empty());
    list->source = {"a", "c"};
    ASSERT_EQ(takeMessage(list->runEvent(CString("update-values"))), "");
    EXPECT_EQ(heard(), (std::vector<std::string>{"watcher:values-changed"}));
    EXPECT_EQ(texts(*list), (std::vector<std::string>{"a", "c"}));
}

TEST_F(CValueListTest, SetItemsAlwaysAnnouncesAndIgnoresTheSeparator) {
    CValueList* list = buildList("list", "ui:value-list-manual", {{"separator-char", ";"}});
    CStringList items;
    items.add("x;1");
    items.add("y;2");
    heard();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(takeMessage(list->setItems(items)), "");
        EXPECT_EQ(heard(), (std::vector<std::string>{"watcher:values-changed"})) << round;
    }
    EXPECT_EQ(texts(*list), (std::vector<std::string>{"x;1", "y;2"}));
    EXPECT_EQ(values(*list), texts(*list));
}

TEST_F(CValueListTest, EnablingAndDisablingTextsKeepsTheSeparatorWhole) {
    const std::string separator = text(CValueList::separatorItem());
    const struct { const char* text; bool enabled; const char* disabledForm; const char* enabledForm; } cases[] = {
        {"Left", true, "[N/A]Left", "Left"},
        {"[N/A]Left", false, "[N/A]Left", "Left"},
        {"[N/A", true, "[N/A][N/A", "[N/A"},
        {"", true, "[N/A]", ""},
        {"[n/a]x", true, "[N/A][n/a]x", "[n/a]x"},
        {separator.c_str(), false, separator.c_str(), separator.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CString t(c.text);
        EXPECT_EQ(CValueList::isListItemEnabled(t), c.enabled);
        EXPECT_EQ(text(CValueList::formatItemEnabled(t, false)), c.disabledForm);
        EXPECT_EQ(text(CValueList::formatItemEnabled(t, true)), c.enabledForm);
        // Disabling and enabling again gives the enabled form back.
        EXPECT_EQ(text(CValueList::formatItemEnabled(CValueList::formatItemEnabled(t, false), true)), c.enabledForm);
    }
}

} // namespace
} // namespace tal
