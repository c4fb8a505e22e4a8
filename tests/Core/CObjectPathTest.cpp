#include "Core/CObject.h"

#include "support/CObjectTreeTest.h"

#include <gtest/gtest.h>

#include <string>

using namespace tal;

namespace {

// root
//   ui
//     main
//       knob, knob#1, knob#2
//     row, row#1, row#2
//     button
// shared
//   audio
//     modMain
class CObjectPath : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        CObject* ui = add(root, "ui");
        CObject* main = add(ui, "main");
        for (int i = 0; i < 3; ++i) add(main, "knob");
        for (int i = 0; i < 3; ++i) add(ui, "row");
        add(ui, "button");
        add(add(shared, "audio"), "modMain");
    }
    CObject* at(const char* fullName) { return fullName == nullptr ? nullptr : root->findObject(CString(fullName)); }
};

struct FindCase {
    const char* from;    // full name of the object the path is resolved from ("" = the root)
    const char* path;
    const char* found;   // full name of the object found, "<root>" or "<shared>", null for none
};

std::string describe(CObject* o, CObject* root, CObject* shared) {
    if (o == nullptr) return "<null>";
    if (o == root) return "<root>";
    if (o == shared) return "<shared>";
    if (o->root() == shared) return "shared::" + str(o->getFullName());
    return str(o->getFullName());
}

} // namespace

TEST_F(CObjectPath, FindObjectFollowsTheGrammar) {
    const FindCase cases[] = {
        {"ui.main", "", nullptr},
        {"ui.main", ".", "ui.main"},
        {"ui.main", "^", "ui"},
        {"", "^", nullptr},
        {"ui.main", "..", "ui.main"},
        {"ui.main", "ui..main", "ui.main"},
        {"ui.main", "ui.main.", "ui.main"},
        {"ui.main", "/ui.main", "ui.main"},
        {"ui.main", "ui/main", nullptr},        // "/" after the first place belongs to the name
        {"ui.main", "x^", nullptr},             // the parent of the root
        {"ui.main", ".x^", "ui"},               // gathered characters are dropped at "^"
        {"ui.main", ".knob#1", "ui.main.knob#1"},
        {"ui.main.knob#1", "^knob#2", "ui.main.knob#2"},
        {"ui.main.knob#1", "^^row", "ui.row"},
        {"ui.main.knob#1", "^^", "ui"},
        {"ui", "row", nullptr},                 // absolute: the root has no "row"
        {"ui", ".row", "ui.row"},
        {"ui", ".row#", "ui.row#2"},
        {"ui", ".row#0", "ui.row"},
        {"ui", ".row#3", nullptr},
        {"ui", ".row#abc", nullptr},
        {"ui", ".row#0x2", "ui.row#2"},
        {"ui", ".row##2", "ui.row#2"},
        {"ui", ".Row", nullptr},
        {"ui", "shared::", "<shared>"},
        {"ui", "shared::audio.modMain", "shared::audio.modMain"},
        {"ui", "shared::audio.nothing", nullptr},
        {"", "ui.button", "ui.button"},
        {"", ".", "<root>"},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " : '" + c.path + "'");
        CObject* from = *c.from ? at(c.from) : root;
        ASSERT_NE(from, nullptr);
        const std::string expected = c.found == nullptr ? "<null>" : c.found;
        EXPECT_EQ(describe(from->findObject(CString(c.path)), root, shared), expected);
    }
}

TEST_F(CObjectPath, SharedPathsFindNothingWithoutSharedObject) {
    CObject::setSharedObject(nullptr);
    EXPECT_EQ(root->findObject(CString("shared::")), nullptr);
    EXPECT_EQ(root->findObject(CString("shared::audio")), nullptr);
    EXPECT_EQ(str(root->resolvePath(CString("shared::audio"))), "");
    CObject::setSharedObject(shared);
}

TEST_F(CObjectPath, FindChildTakesLowestHighestOrExactIndex) {
    CObject* ui = at("ui");
    EXPECT_EQ(str(ui->findChild(CString("row"))->getFullName()), "ui.row");
    EXPECT_EQ(str(ui->findChild(CString("row#"))->getFullName()), "ui.row#2");
    EXPECT_EQ(str(ui->findChild(CString("row#1"))->getFullName()), "ui.row#1");
    EXPECT_EQ(ui->findChild(CString("row#9")), nullptr);
    EXPECT_EQ(ui->findChild(CString("nothing")), nullptr);
    EXPECT_EQ(ui->findChild(CString("main.knob")), nullptr);
}

TEST_F(CObjectPath, NegativeIndexIsTheLowest) {
    CObject* list = add(root, "list");
    add(list, "row#-1");
    add(list, "row");
    EXPECT_EQ(str(list->findChild(CString("row"))->getFullName()), "list.row#-1");
    EXPECT_EQ(str(list->findChild(CString("row#"))->getFullName()), "list.row");
}

TEST_F(CObjectPath, ResolvePathGivesTheDesignatedFullName) {
    const FindCase cases[] = {
        {"ui", "", ""},
        {"ui", "ui.main.knob", "ui.main.knob"},
        {"ui", "ui.nothing.knob", "ui.nothing.knob"},   // the missing rest stays as written
        {"ui", "nothing.here", "nothing.here"},
        {"ui", ".main.none#4.x", "ui.main.none#4.x"},
        {"ui", "^", ""},
        {"", "^", ""},
        {"", "^x", ""},
        {"ui.main", "^", "ui"},
        {"ui.main", ".", "ui.main"},
        {"ui.main", "ui.main.", "ui.main"},
        {"ui.main", "shared::", ""},
        {"ui.main", "shared::audio.modMain", "audio.modMain"},
        {"ui.main", "shared::audio.x", "audio.x"},
        {"ui.main", "ui.main/ui.row", "ui.row"},       // "/" anywhere restarts at the root
        {"ui.main", "ui.main/row", "row"},
        {"ui.main", "ui.main/nothing", "nothing"},
        {"ui.main", ".knob#", "ui.main.knob#2"},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " : '" + c.path + "'");
        CObject* from = *c.from ? at(c.from) : root;
        ASSERT_NE(from, nullptr);
        EXPECT_EQ(str(from->resolvePath(CString(c.path))), c.found);
    }
}

TEST_F(CObjectPath, ShortNamesAndSubtreeTests) {
    CObject* knob = at("ui.main.knob#2");
    EXPECT_EQ(str(knob->getShortName()), "knob#2");
    EXPECT_EQ(str(root->getShortName()), "");
    CObject* main = at("ui.main");
    CObject* ui = at("ui");
    EXPECT_TRUE(main->isBelow(CString("ui")));
    EXPECT_FALSE(ui->isBelow(CString("ui")));
    EXPECT_TRUE(ui->isBelow(CString()));
    EXPECT_TRUE(ui->isAtOrBelow(CString("ui")));
    EXPECT_TRUE(main->isAtOrBelow(CString("ui")));
    EXPECT_TRUE(root->isAtOrBelow(CString()));
    CObject* uix = add(root, "uix");
    EXPECT_FALSE(uix->isBelow(CString("ui")));
    EXPECT_FALSE(uix->isAtOrBelow(CString("ui")));
    EXPECT_FALSE(ui->isAtOrBelow(CString("ui.main")));
    CString out("stale");
    main->findFullName(CString("^row#1"), out);
    EXPECT_EQ(str(out), "ui.row#1");
    main->findFullName(CString("^nothing"), out);
    EXPECT_EQ(str(out), "");
}
