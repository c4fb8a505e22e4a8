#include "UI/CDynListValueList.h"

#include "Core/CCreatorRegistry.h"
#include "Other/CColorSwatch.h"
#include "UI/CDynListColorSwatch.h"
#include "UI/CDynListWhatsNew.h"
#include "UI/CValueList.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// A dynamic list over a vector that counts how often it lists ("test:counting-dynlist").
class CCountingDynList : public CDynListObject {
public:
    void getItems(std::int32_t listId, CStringList& out) override {
        ++listings;
        for (std::size_t i = 0; i < values.size(); ++i) {
            setCacheEntry(listId, std::int32_t(i), values[i], values[i] < 0);
            out.add(("item" + std::to_string(i)).c_str());
        }
    }
    std::vector<int> values;
    int listings = 0;
};

// A control that binds its item list ("test:list-owner"); "item-list-update" counts and reads list 0.
class CListOwner : public CObject {
public:
    CTarget<CDynListObject> items;
    int updates = 0;
    std::vector<int> seenValues;
};

CError* ownerUpdate(CObject* object) {
    auto* owner = static_cast<CListOwner*>(object);
    ++owner->updates;
    if (CDynListObject* list = owner->items.resolve())
        owner->seenValues.push_back(list->getItemValue(0, 0));
    return nullptr;
}

class CDynListTest : public CBindingTestTree {
protected:
    void SetUp() override {
        CBindingTestTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"test:counting-dynlist", [] { return static_cast<CObject*>(new CCountingDynList); }, &CObject::initScheme},
            {"test:list-owner", [] { return static_cast<CObject*>(new CListOwner); },
             [](CObjectScheme* scheme) {
                 CObject::initScheme(scheme);
                 CEventHandler& h = scheme->addEventHandler(CString("item-list-update"));
                 h.plain = &ownerUpdate;
             }},
            {"test:color-swatch", [] { return static_cast<CObject*>(new CColorSwatch); }, &CObject::initScheme},
            {"", nullptr, nullptr},
        };
        static const bool registered = (CCreatorRegistry::instance().registerTable(table), true);
        ASSERT_TRUE(registered);
    }
    CValueList* valueList(const char* name, const char* separator, std::vector<const char*> items) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", name,
                                                    {{"separator-char", separator}})),
                  "");
        auto* list = dynamic_cast<CValueList*>(object);
        CStringList texts;
        for (const char* item : items)
            texts.add(item);
        EXPECT_EQ(takeMessage(list->setItems(texts)), "");
        return list;
    }
    CObject* build(const char* tag, const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, tag, name, attrs)), "");
        return object;
    }
    static std::vector<std::string> itemsOf(CDynList& list, std::int32_t listId = 0) {
        CStringList out;
        list.getItems(listId, out);
        std::vector<std::string> texts;
        for (int i = 0; i < out.count(); ++i)
            texts.push_back(text(out[i]));
        return texts;
    }
};

TEST_F(CDynListTest, AValueListItemIsItsTextBeforeTheSeparatorWithTheNumberAfterItAsValue) {
    valueList("scales", ";", {"80%;0.8", "Mid;7", "plain", "hex;0x10", "a;b;-3"});
    auto* adapter = dynamic_cast<CDynListValueList*>(build("ui:dynlist-value-list", "adapter", {{"value-list", "ui.scales"}}));
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(itemsOf(*adapter), (std::vector<std::string>{"80%", "Mid", "plain", "hex", "a;b"}));
    const int expected[] = {0, 7, 2, 16, -3};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(adapter->getItemValue(0, i), expected[i]) << i;
    EXPECT_EQ(adapter->getItemValue(0, 5), -1);
}

TEST_F(CDynListTest, TheCacheIsFilledOnceAndEmptiedBeforeListenersHearOfAChange) {
    auto* list = dynamic_cast<CCountingDynList*>(build("test:counting-dynlist", "counting", {}));
    list->values = {4, 9, 4};
    EXPECT_EQ(list->getItemValue(3, 1), 9);
    EXPECT_EQ(list->getItemIndex(3, 4), 0);  // the smaller of two indices
    EXPECT_EQ(list->getItemIndex(3, 5), -1);
    EXPECT_EQ(list->listings, 1);
    CString item;
    list->getItemText(item, 3, 3, false);
    EXPECT_TRUE(item.isEmpty());
    list->getItemText(item, 3, -1, false);
    EXPECT_TRUE(item.isEmpty());
    list->getItemText(item, 3, 2, false);
    EXPECT_EQ(text(item), "item2");

    CObject* owner = build("test:list-owner", "owner", {{"item-list", "ui.counting"}});
    auto* listOwner = static_cast<CListOwner*>(owner);
    ASSERT_EQ(takeMessage(CDynListValueList::bindDynList(owner, listOwner->items, CString("item-list"),
                                                         CString("item-list-update"), true)),
              "");
    list->values = {5};
    ASSERT_EQ(takeMessage(list->notifyListUpdated()), "");
    EXPECT_EQ(listOwner->seenValues.back(), 5);  // the listener sees the new items
    EXPECT_TRUE(list->isItemDisabled(0, 0) == false);
    list->values = {-2};
    ASSERT_EQ(takeMessage(list->notifyListUpdated()), "");
    EXPECT_TRUE(list->isItemDisabled(0, 0));
}

TEST_F(CDynListTest, BindingAValueListMakesOneWrapperChild) {
    CValueList* rates = valueList("rates", "", {"20", "30"});
    CObject* owner = build("test:list-owner", "owner",
                           {{"item-list", "ui.rates"}, {"dynlist-value-list-tag", "ui:dynlist-value-list"}});
    auto* listOwner = static_cast<CListOwner*>(owner);
    ASSERT_EQ(takeMessage(CDynListValueList::bindDynList(owner, listOwner->items, CString("item-list"),
                                                         CString("item-list-update"), true)),
              "");
    EXPECT_EQ(owner->childCount(), 1);
    ASSERT_NE(owner->findChild(CString("dynlist-value-list")), nullptr);
    CDynListObject* bound = listOwner->items.resolve();
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(itemsOf(*bound), (std::vector<std::string>{"20", "30"}));
    const int before = listOwner->updates;
    CStringList texts;
    texts.add("40");
    ASSERT_EQ(takeMessage(rates->setItems(texts)), "");
    EXPECT_GT(listOwner->updates, before);
    EXPECT_EQ(itemsOf(*bound), (std::vector<std::string>{"40"}));
}

TEST_F(CDynListTest, ARequiredBindingToNothingFails) {
    CObject* owner = build("test:list-owner", "owner", {{"item-list", "ui.missing"}});
    auto* listOwner = static_cast<CListOwner*>(owner);
    EXPECT_EQ(takeMessage(CDynListValueList::bindDynList(owner, listOwner->items, CString("item-list"),
                                                         CString("item-list-update"), true)),
              "Name attribute 'item-list' refers to invalid dynamic/value list 'ui.missing' (in 'ui.owner').");
    EXPECT_EQ(takeMessage(CDynListValueList::bindDynList(owner, listOwner->items, CString("item-list"),
                                                         CString("item-list-update"), false)),
              "");
}

TEST_F(CDynListTest, ASwatchListsItsColoursByIndex) {
    CObject* swatch = nullptr;
    ASSERT_EQ(takeMessage(ui->addChild(swatch, CString("test:color-swatch"), CString("swatch"), false)), "");
    ASSERT_EQ(takeMessage(swatch->init()), "");
    const std::pair<const char*, const char*> colours[] = {{"5", "Teal"}, {"0", "Red"}, {"2", "Blue"}};
    for (const auto& [index, colour] : colours) {
        CObject* c = nullptr;
        ASSERT_EQ(takeMessage(swatch->addChild(c, CString("core:object"), CString(colour), false)), "");
        ASSERT_EQ(takeMessage(c->setAttr(CString("is-color"), CString("true"), true)), "");
        ASSERT_EQ(takeMessage(c->setAttr(CString("index"), CString(index), true)), "");
        ASSERT_EQ(takeMessage(c->setAttr(CString("color"), CString(colour), true)), "");
    }
    ASSERT_EQ(takeMessage(swatch->initChilds()), "");
    auto* list = dynamic_cast<CDynListColorSwatch*>(build("ui:dynlist-color-swatch", "colours", {{"color-swatch", "ui.swatch"}}));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(itemsOf(*list, 4), (std::vector<std::string>{"[IMG=is.button#Color:Red]", "[IMG=is.button#Color:Blue]",
                                                           "[IMG=is.button#Color:Teal]"}));
    EXPECT_EQ(list->getItemValue(4, 1), 2);
    EXPECT_EQ(list->getItemValue(4, 2), 5);
    EXPECT_FALSE(list->isItemDisabled(4, 0));
}

TEST_F(CDynListTest, ReleaseNotesHaveHeadingsMarkedParagraphsAndSeparatorsBetween) {
    auto* notes = dynamic_cast<CDynListWhatsNew*>(build("ui:dynlist-whats-new", "notes", {}));
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(itemsOf(*notes).empty());  // the test's shared tree holds no notes

    // A shared tree of its own: notes, another object, older notes.
    CObject* saved = CObject::sharedObject();
    CObject* sharedRoot = new CObject;
    sharedRoot->initRoot(nullptr);
    CObject::setSharedObject(sharedRoot);
    auto addNotes = [&](const char* name, const char* version, std::vector<const char*> paragraphs) {
        CObject* notesObject = nullptr;
        ASSERT_EQ(takeMessage(sharedRoot->addChild(notesObject, CString("core:object"), CString(name), false)), "");
        ASSERT_EQ(takeMessage(notesObject->setAttr(CString("version"), CString(version), true)), "");
        ASSERT_EQ(takeMessage(notesObject->setAttr(CString("date"), CString("1-jan-2026"), true)), "");
        int n = 0;
        for (const char* paragraph : paragraphs) {
            CObject* p = nullptr;
            CObject* content = nullptr;
            ASSERT_EQ(takeMessage(notesObject->addChild(p, CString("core:object"),
                                                        CString(("p" + std::to_string(n++)).c_str()), false)),
                      "");
            ASSERT_EQ(takeMessage(p->addChild(content, CString("core:object"), CString("content"), false)), "");
            ASSERT_EQ(takeMessage(content->setAttr(CString("value"), CString(paragraph), true)), "");
        }
    };
    addNotes("whatsnew", "2.0", {"Faster.", "Smaller."});
    addNotes("other", "9.9", {"Not a note."});
    addNotes("whatsnew-old", "1.0", {"First."});
    const std::string marker = "[IMG=is.button#DynListCircle:ListItemMarker] ";
    EXPECT_EQ(itemsOf(*notes), (std::vector<std::string>{"[B]Version 2.0, 1-jan-2026[/B]", marker + "Faster.",
                                                         marker + "Smaller.", text(CValueList::separatorItem()),
                                                         "[B]Version 1.0, 1-jan-2026[/B]", marker + "First."}));
    EXPECT_EQ(notes->getItemValue(0, 1), -1);
    EXPECT_FALSE(notes->isItemDisabled(0, 1));
    CObject::setSharedObject(saved);
    sharedRoot->release();
}

} // namespace
} // namespace tal
