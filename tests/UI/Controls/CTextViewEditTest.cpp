// In-place editing of text views: the edit box opens at the next layout report, the edit field
// takes the key focus, and Return, Escape, an unchanged and an empty text end the edit with their
// events in order; keys of the on-screen keyboard; Tab along a tab group; clicks and their results.
// The window's key focus is played by a small window object that blurs the focused view and
// focuses the named one, as the window layer does.
#include "UI/Controls/CTextView.h"

#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CObjectScheme.h"
#include "Core/CStringList.h"
#include "Core/CTemplateBody.h"
#include "Other/CFont.h"
#include "UI/BindingCreators.h"
#include "UI/CDynListObject.h"
#include "UI/CValueList.h"
#include "UI/Controls/CTextWrapper.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/StreamTestHelpers.h"
#include "support/StubTextFont.h"
#include "support/ViewTestTree.h"
#include "support/WindowTestTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

std::vector<std::string>& focusEvents() {
    static std::vector<std::string> list;
    return list;
}

// "test:focus-window": moves the key focus on "change-key-focus" (blur of the focused view, then
// focus with "is-tab" on the named one) and records it; records "focus-lost" (and drops the focus),
// "reset-auto-click" and "close-window".
class CFocusWindow : public CRecordingWindowRenderer {
public:
    static CObject* create() { return new CFocusWindow; }
    static void initScheme(CObjectScheme* scheme) {
        CRecordingWindowRenderer::initTestScheme(scheme);
        scheme->addEventHandler(CString("change-key-focus")) = CEventHandler{nullptr, &changeFocus, true};
        scheme->addEventHandler(CString("focus-lost")) = CEventHandler{nullptr, &focusLost, true};
        scheme->addEventHandler(CString("reset-auto-click")) = CEventHandler{nullptr, &record, true};
    }
    static CError* record(CObject*, CAttrMap*) {
        focusEvents().push_back("window:reset-auto-click");
        return nullptr;
    }
    static CError* focusLost(CObject* object, CAttrMap*) {
        focusEvents().push_back("window:focus-lost");
        return static_cast<CFocusWindow*>(object)->moveFocus(CString(), false);
    }
    static CError* changeFocus(CObject* object, CAttrMap* args) {
        const CString name = args->findValue("key-focus-view")->asText();
        const bool isTab = args->findValue("is-tab")->asInt() != 0;
        focusEvents().push_back("window:change-key-focus " + text(name) + (isTab ? " tab" : ""));
        return static_cast<CFocusWindow*>(object)->moveFocus(name, isTab);
    }
    CError* moveFocus(const CString& name, bool isTab) {
        if (CObject* old = focused.isEmpty() ? nullptr : findObject(focused)) {
            focused = CString();
            if (CError* err = old->runEvent(CString("blur"))) return err;
        }
        CObject* next = name.isEmpty() ? nullptr : findObject(name);
        if (next == nullptr) return nullptr;
        focused = name;
        CAttrMap args;
        args.findOrAdd("is-tab")->value.setInt(isTab ? 1 : 0);
        return next->runEvent(CString("focus"), &args);
    }
    CString focused;
};

// The edit box: a frame whose child "readout" is an editable text view that ends the edit with
// Return, showing the box's title, in the box's tab group and paragraph index.
class CEditBoxBody : public CTemplateBody {
public:
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject&) override { return nullptr; }
    CError* buildChildren(CObject& box) override {
        CAttrMap attrs;
        const char* const copied[] = {"title", "paragraph-index", "tab-group", "temp-editbox-owner"};
        for (const char* name : copied)
            if (CAttrValue* v = box.attrs().findValue(name)) attrs.findOrAdd(name)->value.setText(v->asText());
        attrs.findOrAdd("is-read-only")->value.setText(CString("false"));
        attrs.findOrAdd("is-accept-enter")->value.setText(CString("true"));
        attrs.findOrAdd("value-list-manual-tag")->value.setText(CString("ui:value-list-manual"));
        CTextView* field = nullptr;
        CError* err = box.createChild(field, CString("ui:textview"), CString("readout"), false, nullptr, &attrs);
        if (field != nullptr) field->textWrapper()->setFont(3, font);
        return err;
    }
    CFont* font = nullptr;   // not owned

private:
    CString mTag = CString("ui:view");
};

// "test:sublist-dynlist": a root list of three items; item 1 opens list 11.
class CSubListDynList : public CDynListObject {
public:
    static CObject* create() { return new CSubListDynList; }
    void getItems(std::int32_t listId, CStringList& out) override {
        if (listId != 0) return;
        for (const char* item : {"Copy", "Paste", "Reset"}) out.add(item);
    }
    std::int32_t getSubListId(std::int32_t listId, std::int32_t index) override {
        if (listId == -1) return 0;
        return listId == 0 && index == 1 ? 11 : -1;
    }
};

class CTextViewEditTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:focus-window", &CFocusWindow::create, &CFocusWindow::initScheme},
                {"test:sublist-dynlist", &CSubListDynList::create, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(kBindingCreatorTable);   // may be registered already
            CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        focusEvents().clear();
        fillStubFont(font);
        auto* body = new CEditBoxBody;
        body->font = &font;
        addTemplate("ui:editbox-popup", body);
        addTemplate("ui:value-list-manual", new CAttrTemplateBody("ui:value-list-manual", {}));
        window = beginWindow("window", {{"width", "200"}, {"height", "200"}});
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(window->addChild(object, CString("test:focus-window"), CString("focus"), false)), "");
        focus = dynamic_cast<CFocusWindow*>(object);
        ASSERT_NE(focus, nullptr);
        ASSERT_EQ(test::takeMessage(window->setAttr(CString("window"), focus->getFullName(), false)), "");
        CObject* list = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(list, CString("ui:value-list-manual"), CString("names"), false)), "");
        names = dynamic_cast<CValueList*>(list);
        ASSERT_EQ(test::takeMessage(names->init()), "");
        CStringList items;
        for (const char* item : {"Bank A", "Bank B", "Bank C"}) items.add(item);
        ASSERT_EQ(test::takeMessage(names->setItems(items)), "");
    }
    void addTemplate(const char* name, CTemplateBody* body) {
        CObject* placeholder = nullptr;
        ASSERT_EQ(test::takeMessage(root->addChild(placeholder, CString("template"), CString(name), false)), "");
        placeholder->setTemplateBody(body);
        root->addTemplate(CString(name), placeholder);
    }
    CTextView* textView(const char* name, Attrs attrs) {
        auto* view = dynamic_cast<CTextView*>(begin(window, name, attrs, "ui:textview"));
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        view->textWrapper()->setFont(3, &font);
        finish(view);
        return view;
    }
    // The bank list of a preset manager: edited in place, events recorded as "list:<event>".
    CTextView* bankList() {
        CTextView* view = textView("list", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                            {"text-source", "ui.names"}, {"allow-no-paragraphs", "true"},
                                            {"is-paragraph-selectable", "true"}, {"is-paragraph-hoverable", "true"},
                                            {"selected-paragraph", "1"}, {"editbox-popup-tag", "ui:editbox-popup"},
                                            {"editbox-placement", "overlay"}, {"is-editbox-full", "true"},
                                            {"editbox-empty-value", "Bank"}});
        finish(window);
        EXPECT_EQ(takeError(), "");
        CEventTestObject* listener = addListener(ui, "list");
        for (const char* event : {"editbox-shown", "editbox-hidden", "text-changed", "paragraph-text-changed"})
            listener->listenObject(view->getFullName(), CString(event), CString("on"));
        return view;
    }
    void recordEvent(CObject* sender, const char* label, const char* event) {
        CEventTestObject* listener = addListener(ui, label);
        listener->listenObject(sender->getFullName(), CString(event), CString("on"));
    }
    // Journal lines of the listeners and the focus window, in order.
    std::vector<std::string> takeEvents() {
        std::vector<std::string> out;
        for (const std::string& e : CEventTestObject::journal()) out.push_back(e);
        for (const std::string& e : focusEvents()) out.push_back(e);
        CEventTestObject::journal().clear();
        focusEvents().clear();
        return out;
    }
    CError* key(CObject* view, std::int32_t code) {
        CAttrMap args;
        args.findOrAdd("keycode")->value.setInt(code);
        return view->runEvent(CString("key-press"), &args);
    }
    CError* type(CObject* view, const char* text) {
        for (const char* p = text; *p != 0; ++p)
            if (CError* err = key(view, *p)) return err;
        return nullptr;
    }
    // The layout report that opens a requested edit box.
    CError* report(CTextView* view) { return view->handleViewAreaUpdate(view->lastTotalRect(), view->lastClipRect()); }
    static std::vector<std::string> shown(const CTextView& view) {
        std::vector<std::string> out;
        for (int i = 0; i < view.textWrapper()->paragraphCount(); ++i) out.push_back(text(view.textWrapper()->paragraph(i).text));
        return out;
    }

    CFont font;
    CView* window = nullptr;
    CFocusWindow* focus = nullptr;
    CValueList* names = nullptr;
};

TEST_F(CTextViewEditTest, EditBoxOpensAtTheNextLayoutReportWithTheFieldFocused) {
    CTextView* list = bankList();
    ASSERT_NE(list, nullptr);
    takeEvents();
    ASSERT_EQ(test::takeMessage(list->beginEditParagraph(-1, false)), "");
    EXPECT_TRUE(list->editBoxPending());
    EXPECT_TRUE(list->editBoxPath().isEmpty());
    ASSERT_EQ(test::takeMessage(report(list)), "");
    EXPECT_FALSE(list->editBoxPending());
    EXPECT_EQ(list->editedParagraph(), 1);
    const std::string box = text(list->getFullName()) + ".temp-editbox";
    EXPECT_EQ(text(list->editBoxPath()), box);
    auto* field = dynamic_cast<CTextView*>(list->findObject(list->editBoxPath() + CString(".readout")));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->hasKeyFocus());
    EXPECT_EQ(shown(*field), (std::vector<std::string>{"Bank B"}));
    // The focus came with "is-tab": the whole text is selected.
    EXPECT_EQ(text(field->textWrapper()->selectionClipboardText()), "Bank B");
    // Opening closes any box left open first.
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"list:editbox-hidden", "list:editbox-shown",
                                                      "window:change-key-focus " + box + ".readout tab"}));
}

TEST_F(CTextViewEditTest, EndingAnEditGivesItsEventsInOrder) {
    struct Case {
        const char* name;
        const char* typed;       // replaces the selected text; null: typed nothing
        std::int32_t endKey;
        std::vector<std::string> paragraphs;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"return", "Mixing", CTextWrapper::kKeyReturn, {"Bank A", "Mixing", "Bank C"},
         {"list:editbox-hidden", "list:text-changed", "list:paragraph-text-changed", "window:change-key-focus "}},
        {"escape", "Mixing", CTextWrapper::kKeyEscape, {"Bank A", "Bank B", "Bank C"},
         {"list:editbox-hidden", "window:focus-lost"}},
        {"unchanged", nullptr, CTextWrapper::kKeyReturn, {"Bank A", "Bank B", "Bank C"},
         {"list:editbox-hidden", "window:change-key-focus "}},
        {"empty", "", CTextWrapper::kKeyReturn, {"Bank A", "Bank", "Bank C"},
         {"list:editbox-hidden", "list:text-changed", "list:paragraph-text-changed", "window:change-key-focus "}},
    };
    CTextView* list = bankList();
    ASSERT_NE(list, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(test::takeMessage(list->setAttr(CString("title"), CString(""), true)), "");
        CStringList items;
        for (const char* item : {"Bank A", "Bank B", "Bank C"}) items.add(item);
        ASSERT_EQ(test::takeMessage(names->setItems(items)), "");
        ASSERT_EQ(test::takeMessage(list->beginEditParagraph(1, false)), "");
        ASSERT_EQ(test::takeMessage(report(list)), "");
        CObject* field = list->findObject(list->editBoxPath() + CString(".readout"));
        ASSERT_NE(field, nullptr);
        if (c.typed != nullptr) {
            ASSERT_EQ(test::takeMessage(key(field, CTextWrapper::kKeyBackspace)), "");   // the selected text
            ASSERT_EQ(test::takeMessage(type(field, c.typed)), "");
        }
        takeEvents();
        ASSERT_EQ(test::takeMessage(key(field, c.endKey)), "");
        EXPECT_EQ(takeEvents(), c.events);
        EXPECT_EQ(shown(*list), c.paragraphs);
        EXPECT_TRUE(list->editBoxPath().isEmpty());
        EXPECT_EQ(list->editedParagraph(), -1);
    }
}

TEST_F(CTextViewEditTest, OnScreenKeyboardKeys) {
    CTextView* field = textView("field", {{"title", ""}, {"is-read-only", "false"}});
    finish(window);
    ASSERT_NE(field, nullptr);
    CEventTestObject* caps = addListener(ui, "caps");
    ASSERT_EQ(test::takeMessage(caps->setAttr(CString("is-active"), CString("false"), false)), "");
    // Focused as the window focuses a field through Tab: the cursor goes to the end of the text.
    CAttrMap tab;
    tab.findOrAdd("is-tab")->value.setInt(1);
    ASSERT_EQ(test::takeMessage(field->runEvent(CString("focus"), &tab)), "");
    const auto press = [&](const char* label) {
        CAttrMap args;
        args.findOrAdd("key")->value.setText(CString(label));
        args.findOrAdd("caps-button")->value.setText(caps->getFullName());
        return test::takeMessage(field->runEvent(CString("virtual-keyboard-press"), &args));
    };
    struct Step {
        const char* key;
        const char* text;   // the field's text after the key
    };
    const Step steps[] = {{"Q", "q"}, {"7", "q7"}, {"CAPS", "q7"}, {"Q", "q7Q"}, {".", "q7Q."},
                          {"Bkspace", "q7Q"}, {"CAPS", "q7Q"}, {"W", "q7Qw"}, {" ", "q7Qw "}};
    for (const Step& s : steps) {
        ASSERT_EQ(press(s.key), "") << s.key;
        EXPECT_EQ(shown(*field), (std::vector<std::string>{s.text})) << s.key;
    }
    EXPECT_FALSE(caps->getBoolAttr("is-active"));
    takeEvents();
    ASSERT_EQ(press("Cancel"), "");
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"window:focus-lost"}));
    EXPECT_TRUE(field->textWrapper()->escapePressed);
}

TEST_F(CTextViewEditTest, TabMovesAlongTheGroupSkippingHiddenAndDisabledMembers) {
    std::vector<CTextView*> views;
    for (const char* name : {"a", "b", "c", "d"})
        views.push_back(textView(name, {{"title", name}, {"tab-group", "knobs"}, {"is-read-only", "false"},
                                        {"value-list-manual-tag", "ui:value-list-manual"}}));
    finish(window);
    ASSERT_EQ(takeError(), "");
    ASSERT_EQ(test::takeMessage(views[2]->setIntAttr(CString("is-disabled"), 1, true)), "");
    struct Step {
        int from;
        bool shift;
        int to;
    };
    const Step steps[] = {{0, false, 1}, {1, false, 3}, {3, false, 0}, {0, true, 3}, {3, true, 1}};
    for (const Step& s : steps) {
        takeEvents();
        CAttrMap args;
        args.findOrAdd("keycode")->value.setInt(CTextWrapper::kKeyTab);
        args.findOrAdd("is-shift")->value.setBool(s.shift);
        ASSERT_EQ(test::takeMessage(views[std::size_t(s.from)]->runEvent(CString("key-press"), &args)), "");
        EXPECT_EQ(takeEvents(), (std::vector<std::string>{"window:change-key-focus " +
                                                          text(views[std::size_t(s.to)]->getFullName()) + " tab"}))
            << s.from << (s.shift ? " back" : "");
    }
}

TEST_F(CTextViewEditTest, ClickSelectsAndWritesTheResultIndex) {
    CObject* target = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(target, CString("test:listener"), CString("opener"), false)), "");
    CTextView* list = textView("list", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                        {"text-source", "ui.names"}, {"allow-no-paragraphs", "true"},
                                        {"is-read-only", "true"}, {"is-paragraph-selectable", "true"},
                                        {"is-paragraph-hoverable", "true"}, {"result-target", "ui.opener"},
                                        {"result-target-index-attr", "chosen"}});
    finish(window);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
    recordEvent(list, "list", "selected-paragraph-changed");
    takeEvents();
    CTextWrapper& w = *list->textWrapper();
    const auto click = [&](double y) {
        CAttrMap at;
        at.findOrAdd("x")->value.setReal(5.0);
        at.findOrAdd("y")->value.setReal(y);
        std::string error = test::takeMessage(list->runEvent(CString("mouse-move"), &at));
        if (error.empty()) error = test::takeMessage(list->runEvent(CString("mouse-press"), &at));
        if (error.empty()) error = test::takeMessage(list->runEvent(CString("mouse-release"), &at));
        return error;
    };
    ASSERT_EQ(click(w.paragraph(2).top + 3.0), "");
    EXPECT_EQ(w.selectedParagraph, 2);
    EXPECT_EQ(target->getIntAttr("chosen"), 2);
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"list:selected-paragraph-changed", "window:reset-auto-click"}));
    // The same paragraph again sends nothing.
    ASSERT_EQ(test::takeMessage(target->setIntAttr(CString("chosen"), -1, false)), "");
    ASSERT_EQ(click(w.paragraph(2).top + 3.0), "");
    EXPECT_EQ(target->getIntAttr("chosen"), -1);
    EXPECT_TRUE(takeEvents().empty());
    // Below the last paragraph nothing is selected.
    ASSERT_EQ(click(w.paragraph(2).top + 100.0), "");
    EXPECT_EQ(w.selectedParagraph, 2);
}

// A field whose popups cannot be closed (the on-screen keyboard's window fails).
class CStuckKeyboardField : public CTextView {
public:
    static CObject* create() { return new CStuckKeyboardField; }
    CError* onPopupToggle(CAttrMap&) override { return newError("keyboard window failed"); }
};

TEST_F(CTextViewEditTest, BlurEndsTheEditEvenWhenTheKeyboardFailsToClose) {
    static const bool registered = CCreatorRegistry::instance().registerTable([] {
        static const CCreatorTableEntry table[] = {
            {"test:stuck-keyboard-field", &CStuckKeyboardField::create, &CTextView::initScheme},
            {"", nullptr, nullptr},
        };
        return table;
    }()) == 0;
    ASSERT_TRUE(registered);
    CObject* settings = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(settings, CString("ui:global-settings"), CString("global-settings"), false)), "");
    auto* field = dynamic_cast<CTextView*>(begin(window, "field", {{"title", "abc"}, {"is-read-only", "false"},
                                                                   {"is-virtual-keyboard-allowed", "true"},
                                                                   {"paragraph-index", "2"}},
                                                 "test:stuck-keyboard-field"));
    ASSERT_NE(field, nullptr);
    field->textWrapper()->setFont(3, &font);
    finish(field);
    finish(window);
    ASSERT_EQ(takeError(), "");
    recordEvent(field, "field", "editbox-text-changed");
    CAttrMap tab;
    tab.findOrAdd("is-tab")->value.setInt(1);
    ASSERT_EQ(test::takeMessage(field->runEvent(CString("focus"), &tab)), "");
    EXPECT_TRUE(field->virtualKeyboardPending());
    ASSERT_EQ(test::takeMessage(type(field, "xy")), "");
    takeEvents();
    EXPECT_EQ(test::takeMessage(field->runEvent(CString("blur"))), "keyboard window failed");
    EXPECT_FALSE(field->hasKeyFocus());
    EXPECT_FALSE(field->textWrapper()->cursorVisible);
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"field:editbox-text-changed"}));
    EXPECT_EQ(shown(*field), (std::vector<std::string>{"xy"}));
}

// A text view whose popups are recorded instead of opened: each "popup-toggle" adds a line of its
// parameters, and one with a "popup-tag" records `popupPath` as the popup it opened.
class CPopupRecordingView : public CTextView {
public:
    static CObject* create() { return new CPopupRecordingView; }
    CError* onPopupToggle(CAttrMap& args) override {
        std::string line = "popup-toggle";
        for (auto* n = args.first(); n != nullptr; n = CAttrMap::next(n))
            line += " " + text(n->key) + "=" + text(n->value.asText());
        focusEvents().push_back(line);
        if (args.findValue("popup-tag") != nullptr) {
            // As the window layer answers: the popup is this view's local one.
            CAttrMap created;
            created.findOrAdd("is-local-popup")->value.setBool(true);
            created.findOrAdd("window")->value.setText(popupPath);
            popups().created(*this, &popups(), created);
        }
        return nullptr;
    }
    static CString popupPath;
};
CString CPopupRecordingView::popupPath;

class CTextViewPopupTest : public CTextViewEditTest {
protected:
    void SetUp() override {
        CTextViewEditTest::SetUp();
        static const bool registered = CCreatorRegistry::instance().registerTable([] {
            static const CCreatorTableEntry table[] = {
                {"test:popup-recording-textview", &CPopupRecordingView::create, &CTextView::initScheme},
                {"", nullptr, nullptr},
            };
            return table;
        }()) == 0;
        ASSERT_TRUE(registered);
    }
    CTextView* recordingView(const char* name, Attrs attrs) {
        auto* view = dynamic_cast<CTextView*>(begin(window, name, attrs, "test:popup-recording-textview"));
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        view->textWrapper()->setFont(3, &font);
        finish(view);
        return view;
    }
};

TEST_F(CTextViewPopupTest, AutoClickOpensTheSubListOfTheItemUnderThePointer) {
    CObject* object = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("test:sublist-dynlist"), CString("menu"), false)), "");
    CTextView* list = recordingView("list", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                             {"text-source", "ui.menu"}, {"allow-no-paragraphs", "true"},
                                             {"is-read-only", "true"}, {"is-paragraph-selectable", "true"}});
    finish(window);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
    CTextWrapper& w = *list->textWrapper();
    const auto autoClick = [&](std::int32_t p) {
        CAttrMap at;
        at.findOrAdd("x")->value.setReal(5.0);
        at.findOrAdd("y")->value.setReal(w.paragraph(p).top + 3.0);
        return test::takeMessage(list->runEvent(CString("auto-click"), &at));
    };
    takeEvents();
    // Item 1 opens list 11: the view's popup closes, then the sub-list opens to the right.
    ASSERT_EQ(autoClick(1), "");
    CAttrValue top;   // the item's top in layout units, as a real parameter reads
    top.setReal(w.paragraph(1).top);
    EXPECT_EQ(takeEvents(),
              (std::vector<std::string>{
                  "popup-toggle",
                  "popup-toggle is-local-popup=1 is-popup-window=0 is-same-width=0 original-opener={original-opener} "
                  "popup-dynamic-list-parent-id=0 popup-dynamic-list-parent-item=1 popup-inner-border=LR6 "
                  "popup-result-target-redirect-attr=original-opener popup-tag=ui:window-app-popup-list "
                  "popup-text-alignment=left shift-x=-5 shift-y=" + text(top.asText()) + " window-alignment=right"}));
    // The same item again opens nothing; an item without a sub-list only closes the open popup.
    ASSERT_EQ(autoClick(1), "");
    EXPECT_TRUE(takeEvents().empty());
    ASSERT_EQ(autoClick(2), "");
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"popup-toggle"}));
}

TEST_F(CTextViewPopupTest, ASecondFieldClosesTheFirstKeyboard) {
    CObject* settings = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(settings, CString("ui:global-settings"), CString("global-settings"), false)), "");
    CObject* keyboard = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(keyboard, CString("test:window-renderer"), CString("keyboard"), false)), "");
    CPopupRecordingView::popupPath = keyboard->getFullName();
    std::vector<CTextView*> fields;
    for (const char* name : {"first", "second"})
        fields.push_back(recordingView(name, {{"title", "1"}, {"is-read-only", "false"}, {"is-virtual-keyboard-allowed", "true"},
                                              {"virtual-keyboard-tag", "ui:digit-pad"}}));
    finish(window);
    ASSERT_EQ(takeError(), "");
    const auto focusAndReport = [&](CTextView* field) {
        std::string error = test::takeMessage(focus->moveFocus(field->getFullName(), true));
        if (error.empty()) error = test::takeMessage(field->handleViewAreaUpdate(field->lastTotalRect(), field->lastClipRect()));
        return error;
    };
    takeEvents();
    ASSERT_EQ(focusAndReport(fields[0]), "");
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"popup-toggle is-popup-toggle-always-create=true popup-tag=ui:digit-pad "
                                                      "window-alignment=bottom-local-center"}));
    EXPECT_EQ(text(focus->getTextAttr("last-virtual-keyboard")), text(keyboard->getFullName()));
    auto* recorded = static_cast<CRecordingWindowRenderer*>(keyboard);
    EXPECT_TRUE(recorded->events.empty());
    // The second field's focus blurs the first (which closes its popup) and closes the recorded
    // keyboard before its own opens.
    ASSERT_EQ(focusAndReport(fields[1]), "");
    EXPECT_EQ(recorded->events, (std::vector<std::string>{"close-window"}));
    EXPECT_EQ(takeEvents(), (std::vector<std::string>{"popup-toggle",
                                                      "popup-toggle is-popup-toggle-always-create=true popup-tag=ui:digit-pad "
                                                      "window-alignment=bottom-local-center"}));
}

// A list whose paragraphs carry a remove glyph (the image set's "ArrowSm" range stands in for it).
class CTextViewRemoveTest : public CTextViewEditTest {
protected:
    void SetUp() override {
        CTextViewEditTest::SetUp();
        if (CCreatorRegistry::instance().find(CString("imageset")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(kResourceCreatorTable), 0);
        }
        CObject* set = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(set, CString("imageset"), CString("buttons"), false)), "");
        const std::string file = std::string(TAL_ASSET_DIR) + "/Gfx/Imagesets/button.is";
        ASSERT_EQ(test::takeMessage(set->setAttr(CString("file"), CString(file.c_str()), true)), "");
    }
    CTextView* removableList() {
        CStringList items;
        for (const char* item : {"one", "two", "three", "four"}) items.add(item);
        EXPECT_EQ(test::takeMessage(names->setItems(items)), "");
        CTextView* view = textView("list", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                            {"text-source", "ui.names"}, {"allow-no-paragraphs", "true"},
                                            {"is-read-only", "true"}, {"is-paragraph-selectable", "true"},
                                            {"is-paragraph-hoverable", "true"}, {"is-paragraph-removable", "true"},
                                            {"remove-paragraph-image-set", "ui.buttons"},
                                            {"remove-paragraph-glyph", "ArrowSm"}});
        finish(window);
        EXPECT_EQ(takeError(), "");
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        return view;
    }
    static CAttrMap& at(CAttrMap& args, double x, double y) {
        args.findOrAdd("x")->value.setReal(x);
        args.findOrAdd("y")->value.setReal(y);
        return args;
    }
    // Moves onto paragraph p and presses on its remove glyph; the glyph's point in view pixels.
    void pressGlyph(CTextView* view, std::int32_t p, double& x, double& y) {
        CTextWrapper& w = *view->textWrapper();
        y = w.paragraph(p).top + 3.0;
        CAttrMap move;
        ASSERT_EQ(test::takeMessage(view->runEvent(CString("mouse-move"), &at(move, 5.0, y))), "");
        const CPixelRect& g = view->removeGlyphRect();
        ASSERT_GT(g.width, 0);
        x = g.x - view->lastTotalRect().x + 1.0;
        y = g.y + g.height / 2 - view->lastTotalRect().y;
        CAttrMap press;
        ASSERT_EQ(test::takeMessage(view->runEvent(CString("mouse-move"), &at(press, x, y))), "");
        ASSERT_TRUE(view->overRemoveGlyph());
        ASSERT_EQ(test::takeMessage(view->runEvent(CString("mouse-press"), &press)), "");
    }
    std::vector<std::string> items() const {
        std::vector<std::string> out;
        for (int i = 0; i < names->itemCount(); ++i) out.push_back(text(names->itemText(i)));
        return out;
    }
};

TEST_F(CTextViewRemoveTest, RemoveGlyphTakesTheItemOutAndTheSelectionFollows) {
    struct Case {
        std::int32_t removed, selectedBefore, selectedAfter;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {1, 1, -1, {"one", "three", "four"}},
        {0, 2, 1, {"two", "three", "four"}},
        {3, 1, 1, {"one", "two", "three"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.removed);
        CTextView* view = removableList();
        ASSERT_NE(view, nullptr);
        CTextWrapper& w = *view->textWrapper();
        w.setSelectedParagraph(c.selectedBefore);
        double x = 0.0, y = 0.0;
        pressGlyph(view, c.removed, x, y);
        CAttrMap release;
        ASSERT_EQ(test::takeMessage(view->runEvent(CString("mouse-release"), &at(release, x, y))), "");
        EXPECT_EQ(items(), c.left);
        EXPECT_EQ(shown(*view), c.left);
        EXPECT_EQ(w.selectedParagraph, c.selectedAfter);
        view->release();
    }
}

TEST_F(CTextViewRemoveTest, StaleHoverRemovesNothing) {
    CTextView* view = removableList();
    ASSERT_NE(view, nullptr);
    double x = 0.0, y = 0.0;
    pressGlyph(view, 3, x, y);
    // The list shrinks before the release, and the hovered index now lies past its end.
    CStringList two;
    two.add("one");
    two.add("two");
    ASSERT_EQ(test::takeMessage(names->setItems(two)), "");
    view->textWrapper()->hoverParagraph = 3;
    CAttrMap release;
    ASSERT_EQ(test::takeMessage(view->runEvent(CString("mouse-release"),
                                               &at(release, x, view->textWrapper()->paragraph(1).top + 3.0))), "");
    EXPECT_EQ(items(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(shown(*view), (std::vector<std::string>{"one", "two"}));
}

} // namespace
} // namespace tal
