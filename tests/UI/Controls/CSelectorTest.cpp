// The selector's row: titles and keys, the generated commands, the active button, clicks through
// the generated commands, and key-preserving rebuilds that hide the old row at once and release it
// through the event bridge.
#include "UI/Controls/CSelector.h"

#include "UI/Controls/ButtonTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CSelectorTest : public CButtonTestTree {
protected:
    void SetUp() override {
        CButtonTestTree::SetUp();
        // The selector base has no tag of its own; the tests give it one.
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:selector", [] { return static_cast<CObject*>(new CSelector); }, &CSelector::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
    }
    CSelector* row(const char* name, std::vector<std::pair<const char*, const char*>> attrs) {
        return selector<CSelector>("test:selector", name, std::move(attrs));
    }
    std::vector<std::string> column(CSelector* s, const char* attrName) {
        std::vector<std::string> out;
        for (std::int32_t i = 0; i < s->buttonCount(); ++i) out.push_back(attr(s->button(i), attrName));
        return out;
    }
};

TEST_F(CSelectorTest, TitlesAreShownUpToTheLastSeparator) {
    struct Case { const char* separator; List items; List titles; };
    const Case cases[] = {
        {";", {"80%;0.8", "90%;0.9"}, {"80%", "90%"}},
        {"", {"80%;0.8", "90%;0.9"}, {"80%;0.8", "90%;0.9"}},
        {";", {"80%;0.8;x", "plain"}, {"80%;0.8", "plain"}},
        {"::", {"a::b::c"}, {"a::b"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string list = "titles" + std::to_string(n);
        valueList(list.c_str(), c.items);
        const std::string path = "^" + list;
        CSelector* s = row(("s" + std::to_string(n++)).c_str(), {{"button-title-list", path.c_str()}, {"separator-char", c.separator}});
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(column(s, "title"), c.titles);
        EXPECT_EQ(column(s, "real-title"), c.items);
    }
}

TEST_F(CSelectorTest, TheListWinsOverTheButtonCount) {
    valueList("three", {"a", "b", "c"});
    CSelector* listed = row("listed", {{"button-title-list", "^three"}, {"button-count", "5"}});
    EXPECT_EQ(column(listed, "title"), (List{"a", "b", "c"}));
    CSelector* counted = row("counted", {{"button-count", "5"}});
    EXPECT_EQ(column(counted, "title"), (List{"?", "?", "?", "?", "?"}));
    CSelector* missing = row("missing", {{"button-title-list", "^nothere"}, {"button-count", "2"}});
    EXPECT_EQ(column(missing, "real-title"), (List{"?", "?"}));
}

TEST_F(CSelectorTest, EachButtonGetsItsParameterAndTheSevenCommands) {
    CSelector* s = row("s", {{"button-count", "2"}, {"is-right-click-allowed", "true"}, {"button-color", "Panel"}});
    ASSERT_EQ(s->buttonCount(), 2);
    CObject* b1 = s->button(1);
    EXPECT_EQ(text(b1->getShortName()), "button1");
    EXPECT_EQ(attr(b1, "is-right-click-allowed"), "1");
    EXPECT_EQ(attr(b1, "color"), "Panel");
    EXPECT_EQ(attr(b1, "placement"), "left");
    std::vector<std::string> names;
    for (int i = 0; i < b1->childCount(); ++i) names.push_back(text(b1->child(i)->getShortName()));
    const List expected = {"run-event-params", "cmd-release", "cmd-cancel", "cmd-press-r", "cmd-release-r", "cmd-enter", "cmd-exit", "cmd-xbutton"};
    // The button template may add children of its own before these.
    ASSERT_GE(names.size(), expected.size());
    EXPECT_EQ(List(names.end() - std::ptrdiff_t(expected.size()), names.end()), expected);
    CObject* param = b1->findChild(CString("run-event-params"))->findChild(CString("param"));
    EXPECT_EQ(attr(param, "attr"), "index");
    EXPECT_EQ(attr(param, "value"), "1");
    CObject* xbutton = b1->findChild(CString("cmd-xbutton"));
    EXPECT_EQ(attr(xbutton, "on-event"), "mouse-xbutton-release");
    EXPECT_EQ(attr(xbutton, "run-event"), "button-xbutton");
    EXPECT_EQ(attr(xbutton, "run-event-forward-params"), "xbutton");
    EXPECT_EQ(attr(xbutton, "run-event-target"), text(s->getFullName()));
    EXPECT_EQ(attr(b1->findChild(CString("cmd-release")), "run-event-forward-params"), "<none>");
}

TEST_F(CSelectorTest, ActiveButtonStartsAtTheAttributeAndAClickMovesIt) {
    CSelector* first = row("first", {{"button-count", "3"}});
    EXPECT_EQ(first->activeIndex(), 0);
    EXPECT_EQ(column(first, "is-active"), (List{"1", "0", "0"}));
    CSelector* none = row("none", {{"button-count", "3"}, {"active-button", "-1"}});
    EXPECT_EQ(none->activeIndex(), -1);
    EXPECT_EQ(column(none, "is-active"), (List{"0", "0", "0"}));
    // The click runs through the button's generated "mouse-release" command.
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(static_cast<CView*>(none->button(2))->onMouseRelease(args)), "");
    EXPECT_EQ(none->activeIndex(), 2);
    EXPECT_EQ(column(none, "is-active"), (List{"0", "0", "1"}));
    ASSERT_EQ(run(none, "button-released", {{"index", "many"}}), "");
    EXPECT_EQ(none->activeIndex(), -1);
    ASSERT_EQ(set(none, "active-button", "7"), "");
    EXPECT_EQ(column(none, "is-active"), (List{"0", "0", "0"}));
}

// A rebuild keeps the active entry when its key is unchanged; another key, or an entry that the
// shrunk list no longer has, makes the first button active without notification.
TEST_F(CSelectorTest, ARebuildKeepsTheActiveEntryByItsKey) {
    struct Case { List after; std::int32_t active; };
    const List before = {"A;1", "B;2", "C;3"};
    const Case cases[] = {
        {{"A;1", "B;2", "C;3"}, 2},
        {{"a;1", "b;2", "c;3"}, 2},
        {{"A;1", "B;2", "D;4"}, 0},
        {{"A;1", "B;2"}, 0},
        {{}, -1},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string list = "titles" + std::to_string(n);
        CValueList* titles = valueList(list.c_str(), before);
        const std::string path = "^" + list;
        CSelector* s = row(("s" + std::to_string(n++)).c_str(), {{"button-title-list", path.c_str()}, {"separator-char", ";"}, {"active-button", "2"}});
        std::vector<CObject*> old;
        for (std::int32_t i = 0; i < s->buttonCount(); ++i) old.push_back(s->button(i));
        setItems(titles, c.after);
        EXPECT_EQ(s->activeIndex(), c.active);
        ASSERT_EQ(s->buttonCount(), std::int32_t(c.after.size()));
        for (std::int32_t i = 0; i < s->buttonCount(); ++i) EXPECT_EQ(attr(s->button(i), "is-active"), i == c.active ? "1" : "0");
        // The old row is hidden at once and still in the tree until the bridge delivers its release.
        for (CObject* b : old) EXPECT_EQ(attr(b, "is-hidden"), "1");
        EXPECT_EQ(s->childCount(), int(old.size() + c.after.size()));
        bridge->pump();
        EXPECT_EQ(s->childCount(), int(c.after.size()));
    }
}

// Until the old row is released, the generated commands of the new row reach the selector with the
// same index.
TEST_F(CSelectorTest, ANewRowWorksBeforeTheOldOneIsReleased) {
    CValueList* titles = valueList("titles", {"A", "B"});
    CSelector* s = row("s", {{"button-title-list", "^titles"}});
    setItems(titles, {"A", "B", "C"});
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(static_cast<CView*>(s->button(1))->onMouseRelease(args)), "");
    EXPECT_EQ(s->activeIndex(), 1);
    bridge->pump();
    ASSERT_EQ(test::takeMessage(static_cast<CView*>(s->button(2))->onMouseRelease(args)), "");
    EXPECT_EQ(s->activeIndex(), 2);
}

} // namespace
} // namespace tal
