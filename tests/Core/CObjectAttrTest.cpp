#include "Core/CObject.h"

#include "Core/CError.h"
#include "support/CLogCapture.h"
#include "support/CObjectTreeTest.h"
#include "support/CRecordingObject.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace tal;
using ::testing::ElementsAre;

namespace {

std::vector<std::string>& journal() { return CRecordingObject::journal(); }

// root
//   ui        palette-path="ui.pal" title="Main" cmods-path="ui.style"
//     style   hover-brightness="0.25" is-shadow-hidden="true"
//     panel   (test:rec)
class CObjectAttr : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        ui = add(root, "ui");
        set(ui, "palette-path", "ui.pal");
        set(ui, "title", "Main");
        set(ui, "cmods-path", "ui.style");
        style = add(ui, "style");
        set(style, "hover-brightness", "0.25");
        set(style, "is-shadow-hidden", "true");
        panel = buildChild(*ui, "test:rec", "panel");
        journal().clear();
    }
    static void set(CObject* o, const char* name, const char* text) {
        EXPECT_EQ(o->setAttr(CString(name), CString(text), true), nullptr);
    }
    static CAttrValue* value(CObject* o, const char* name) { return o->attrs().findValue(name); }
    static std::string text(CObject* o, const char* name) {
        CAttrValue* v = value(o, name);
        return v == nullptr ? "<missing>" : str(v->asText());
    }

    // Returns the source and the releasing listener.
    std::pair<CObject*, CObject*> bindKillerAndRecorder() {
        CObject* source = add(ui, "src");
        CObject* killer = buildChild(*ui, "test:rec", "l1");
        CObject* recorder = buildChild(*ui, "test:rec", "l2");
        set(killer, "kill", "{*/ui.src v}");
        set(recorder, "y", "{*/ui.src v}");
        journal().clear();
        return {source, killer};
    }

    CObject* ui = nullptr;
    CObject* style = nullptr;
    CObject* panel = nullptr;
};

struct RefCase {
    const char* attr;
    const char* text;
    const char* stored;
    CAttrValue::Type type;
};

} // namespace

// --- reference expansion ---

TEST_F(CObjectAttr, ReferencesExpandBeforeTheValueIsStored) {
    const RefCase cases[] = {
        {"v1", "{full-name}", "ui.panel", CAttrValue::kText},
        {"v2", "{missing}.x", ".x", CAttrValue::kText},
        {"v3", "{missing?5}", "5", CAttrValue::kInt},
        {"v4", "{palette-path}", "ui.pal", CAttrValue::kText},
        {"v5", "{@palette-path}", "", CAttrValue::kNone},
        {"v6", "{@palette-path?own}", "own", CAttrValue::kText},
        {"v7", "{/^ title}", "Main", CAttrValue::kText},
        {"v8", "{/^ nothing?Untitled}", "Untitled", CAttrValue::kText},
        {"v9", "{/^??}", "?", CAttrValue::kText},
        {"title", "{/^?Panel}", "Main", CAttrValue::kText},
        {"v10", "{/ui.style hover-brightness}", "0.25", CAttrValue::kText},
        {"v11", "{/ui.style title}", "Main", CAttrValue::kText},   // the path object's ancestors count
        {"v12", "{@/ui.style title?-}", "-", CAttrValue::kText},  // only the path object
        {"v13", "{/nothing title?d}", "d", CAttrValue::kText},
        {"v14", "x{a} {", "x{a} {", CAttrValue::kText},           // the last "{" is unmatched
        {"palette-path", "{}", "ui.pal", CAttrValue::kText},      // the attribute being set, inherited
        {"v15", "{?false}", "false", CAttrValue::kBool},
        {"v16", "a{palette-path}b{title}c", "aui.palbMainc", CAttrValue::kText},
        {"v17", "{/{cmods-path} hover-brightness}", "0.25", CAttrValue::kText},
        {"v18", "{/^ is-shadow-hidden?{palette-path}}", "ui.pal", CAttrValue::kText},
    };
    for (const RefCase& c : cases) {
        SCOPED_TRACE(std::string(c.attr) + " = " + c.text);
        ASSERT_EQ(panel->setAttr(CString(c.attr), CString(c.text), true), nullptr);
        CAttrValue* v = value(panel, c.attr);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type(), c.type);
        EXPECT_EQ(str(v->asText()), c.stored);
    }
}

TEST_F(CObjectAttr, EmptyReferenceReadsTheCurrentOwnValueFirst) {
    set(panel, "title", "Own");
    set(panel, "title", "[{}]");
    EXPECT_EQ(text(panel, "title"), "[Own]");
    set(panel, "w", "{@?dflt}");
    EXPECT_EQ(text(panel, "w"), "dflt");
}

TEST_F(CObjectAttr, SelfRenewingReferenceIsCutOffAndLogged) {
    ui->attrs().findOrAdd("loop")->value.setText(CString("{loop}"));
    CLogCapture log;
    ASSERT_EQ(panel->setAttr(CString("v"), CString("{loop}x"), true), nullptr);
    const std::string stored = text(panel, "v");
    EXPECT_EQ(stored.substr(0, 6), "{loop}");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_THAT(log.lines()[0], ::testing::HasSubstr("'v'"));
    EXPECT_THAT(log.lines()[0], ::testing::EndsWith("// ui.panel"));
}

// --- bindings ---

TEST_F(CObjectAttr, BindingCopiesEveryLaterChangeOfTheSource) {
    ASSERT_EQ(ui->setIntAttr(CString("fps"), 30, true), nullptr);
    set(panel, "label", "{*/^ fps} Hz");
    EXPECT_EQ(text(panel, "label"), "30 Hz");
    ASSERT_EQ(ui->setIntAttr(CString("fps"), 60, true), nullptr);
    CAttrValue* label = value(panel, "label");
    EXPECT_EQ(label->type(), CAttrValue::kInt);  // the whole attribute takes the typed value
    EXPECT_EQ(label->asInt(), 60);
    set(ui, "fps", "05");
    EXPECT_EQ(label->type(), CAttrValue::kText);  // a text without references arrives as text
    EXPECT_EQ(str(label->asText()), "05");
}

TEST_F(CObjectAttr, BindingPathIsAssembledFromInnerReferences) {
    set(panel, "hb", "{*/{cmods-path} hover-brightness}");
    EXPECT_EQ(text(panel, "hb"), "0.25");
    set(style, "hover-brightness", "0.5");
    EXPECT_EQ(text(panel, "hb"), "0.5");
    // A plain first piece names a child of this object or of the nearest ancestor that has one.
    set(panel, "sh", "{*style is-shadow-hidden}");
    EXPECT_EQ(text(panel, "sh"), "true");
    set(style, "is-shadow-hidden", "0");
    EXPECT_EQ(value(panel, "sh")->asInt(), 0);
}

TEST_F(CObjectAttr, BoundHandlersRunAtOnceEvenWhenTheSourceIsDeferred) {
    set(panel, "a", "{*/ui.style tone}");
    journal().clear();
    ASSERT_EQ(style->setAttr(CString("tone"), CString("7"), false), nullptr);
    EXPECT_THAT(journal(), ElementsAre("panel.a=7"));
}

TEST_F(CObjectAttr, IncompleteBindingsBindNothing) {
    set(panel, "is-disabled", "{*/^}");
    EXPECT_EQ(value(panel, "is-disabled")->type(), CAttrValue::kNone);
    set(panel, "self", "{*/ui.panel a}");  // an object is never its own source
    set(panel, "gone", "{*/ui.nothing a}");
    set(ui, "is-disabled", "1");
    set(panel, "a", "2");
    EXPECT_EQ(value(panel, "is-disabled")->type(), CAttrValue::kNone);
    EXPECT_EQ(text(panel, "self"), "");
    EXPECT_EQ(text(panel, "gone"), "");
}

TEST_F(CObjectAttr, ReadOnlySourceIsNotBound) {
    CObject::setSharedObject(nullptr);
    CObject* frozen = add(ui, "frozen");
    set(frozen, "v", "1");
    EXPECT_EQ(frozen->initChilds(), nullptr);
    CObject::setSharedObject(shared);
    set(panel, "b", "{*/ui.frozen v}");
    EXPECT_EQ(text(panel, "b"), "");
    // Writes to a read-only object change nothing and reach nobody.
    set(frozen, "v", "2");
    EXPECT_EQ(text(frozen, "v"), "1");
    EXPECT_EQ(text(panel, "b"), "");
}

// A whole scheme: every attribute of the source now and every later change, but never the
// source's "full-name" (the object keeps its own name, also when the source renames later).
TEST_F(CObjectAttr, SchemeCopiesAndBindsEveryAttributeButTheName) {
    CObject* scheme = add(ui, "scheme-src");
    set(scheme, "tone", "3");
    set(scheme, "colour", "{title}");  // expanded on the source already: "Main"
    set(scheme, "a", "5");
    journal().clear();
    ASSERT_EQ(panel->processSchemeAttribute(CString("  /ui.scheme-src  "), true), nullptr);
    EXPECT_EQ(text(panel, "tone"), "3");
    EXPECT_EQ(text(panel, "colour"), "Main");
    EXPECT_EQ(text(panel, "full-name"), "ui.panel");
    EXPECT_EQ(str(panel->getFullName()), "ui.panel");
    EXPECT_THAT(journal(), ElementsAre("panel.a=5"));  // call-now: the handler ran at once
    set(scheme, "tone", "4");
    set(scheme, "fresh", "x");
    EXPECT_EQ(text(panel, "tone"), "4");
    EXPECT_EQ(text(panel, "fresh"), "x");
    set(scheme, "full-name", "elsewhere");
    EXPECT_EQ(str(panel->getFullName()), "ui.panel");
}

// Named pieces: 'a' maps a to a, 'a=b' maps a to b; only those are copied and bound, and
// "scheme" is bound but never copied.
TEST_F(CObjectAttr, SchemePiecesCopyAndBindOnlyTheNamedAttributes) {
    set(style, "scheme", "s");
    ASSERT_EQ(panel->processSchemeAttribute(CString("style hover-brightness=hb is-shadow-hidden scheme missing "
                                                    "tone=full-name"),
                                            false),
              nullptr);
    EXPECT_EQ(text(panel, "hb"), "0.25");
    EXPECT_EQ(text(panel, "is-shadow-hidden"), "true");
    EXPECT_EQ(text(panel, "hover-brightness"), "<missing>");
    EXPECT_EQ(text(panel, "scheme"), "<missing>");
    EXPECT_EQ(text(panel, "missing"), "<missing>");
    set(style, "hover-brightness", "0.75");
    set(style, "other", "1");
    set(style, "missing", "now");
    set(style, "tone", "renamed");
    EXPECT_EQ(text(panel, "hb"), "0.75");
    EXPECT_EQ(text(panel, "other"), "<missing>");
    EXPECT_EQ(text(panel, "missing"), "now");
    EXPECT_EQ(str(panel->getFullName()), "ui.panel");
}

TEST_F(CObjectAttr, SchemeErrorsAndMissingSources) {
    EXPECT_EQ(panel->processSchemeAttribute(CString("   "), true), nullptr);
    EXPECT_EQ(panel->processSchemeAttribute(CString("/ui.nothing a"), true), nullptr);
    CError* circular = panel->processSchemeAttribute(CString("/ui.panel"), true);
    ASSERT_NE(circular, nullptr);
    EXPECT_EQ(str(circular->line(0)), "Circular scheme '/ui.panel' reference.");
    delete circular;

    CObject::setSharedObject(nullptr);
    CObject* frozen = add(ui, "frozen");
    set(frozen, "v", "1");
    EXPECT_EQ(frozen->initChilds(), nullptr);
    CObject::setSharedObject(shared);
    CError* readOnly = panel->processSchemeAttribute(CString("frozen v"), true);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(str(readOnly->line(0)), "Attaching to read-only scheme 'frozen' is an error.");
    delete readOnly;
    EXPECT_EQ(text(panel, "v"), "<missing>");
}

TEST_F(CObjectAttr, RebindingTheSameSourceAttributeKeepsTheLaterTarget) {
    set(ui, "fps", "30");
    set(panel, "p1", "{*/^ fps}");
    set(panel, "p2", "{*/^ fps}");
    set(ui, "fps", "60");
    EXPECT_EQ(text(panel, "p1"), "30");
    EXPECT_EQ(text(panel, "p2"), "60");
}

TEST_F(CObjectAttr, BindingCycleEndsWhereItStarted) {
    CRecordingObject* a = static_cast<CRecordingObject*>(buildChild(*ui, "test:rec", "a"));
    CRecordingObject* b = static_cast<CRecordingObject*>(buildChild(*ui, "test:rec", "b"));
    set(a, "x", "{*/ui.b y}");
    set(b, "y", "{*/ui.a x}");
    journal().clear();
    a->xRuns = 0;
    set(a, "x", "5");
    EXPECT_EQ(value(a, "x")->asInt(), 5);
    EXPECT_EQ(value(b, "y")->asInt(), 5);
    EXPECT_THAT(journal(), ElementsAre("a.x=5", "b.y=5", "a.x=5"));
    EXPECT_EQ(a->xRuns, 2);
}

// A source "ui.src" with two listeners bound to its attribute "v": "ui.l1" releases the object that
// the value names, "ui.l2" records the value.
using CObjectAttrRelease = CObjectAttr;

TEST_F(CObjectAttrRelease, ListenerReleasedDuringNotificationIsSkipped) {
    auto [source, killer] = bindKillerAndRecorder();
    EXPECT_EQ(source->setAttr(CString("v"), CString("ui.l2"), true), nullptr);
    EXPECT_EQ(ui->findChild(CString("l2")), nullptr);
    EXPECT_THAT(journal(), ElementsAre("links l2", "destroy l2"));
    // The source forgot the released listener: a further change reaches only the killer.
    EXPECT_EQ(source->setAttr(CString("v"), CString("nothing"), true), nullptr);
    EXPECT_EQ(text(killer, "kill"), "nothing");
}

// Releasing a listener that has already taken the value moves the later ones forward in the
// source's list: each of them still takes the value once.
TEST_F(CObjectAttrRelease, ListenerReleasingAnEarlierOneStillReachesTheLaterOnes) {
    CObject* source = add(ui, "src");
    CObject* first = buildChild(*ui, "test:rec", "l0");
    set(first, "y", "{*/ui.src v}");
    CObject* killer = buildChild(*ui, "test:rec", "l1");
    set(killer, "kill", "{*/ui.src v}");
    CObject* last = buildChild(*ui, "test:rec", "l2");
    set(last, "y", "{*/ui.src v}");
    journal().clear();
    EXPECT_EQ(source->setAttr(CString("v"), CString("ui.l0"), true), nullptr);
    EXPECT_EQ(ui->findChild(CString("l0")), nullptr);
    EXPECT_EQ(text(last, "y"), "ui.l0");
    EXPECT_EQ(std::count(journal().begin(), journal().end(), "l2.y=ui.l0"), 1);
    EXPECT_EQ(source->setAttr(CString("v"), CString("again"), true), nullptr);
    EXPECT_EQ(text(killer, "kill"), "again");
    EXPECT_EQ(text(last, "y"), "again");
}

TEST_F(CObjectAttrRelease, SourceReleasedByItsListenerStopsTheNotification) {
    CObject* source = bindKillerAndRecorder().first;
    CObject* later = ui->findChild(CString("l2"));
    EXPECT_EQ(source->setAttr(CString("v"), CString("ui.src"), true), nullptr);
    EXPECT_EQ(ui->findChild(CString("src")), nullptr);
    EXPECT_TRUE(journal().empty());  // the second listener never heard of the value
    EXPECT_EQ(text(later, "y"), "");
}

TEST_F(CObjectAttr, ReleasedSourceUnbindsItsListeners) {
    CObject* source = add(ui, "src");
    set(panel, "b", "{*/ui.src v}");
    source->release();
    CObject* again = add(ui, "src");
    set(again, "v", "3");
    EXPECT_EQ(text(panel, "b"), "");
}

// --- handlers ---

TEST_F(CObjectAttr, DeferredHandlersOfAMapRunInReverseKeyOrder) {
    CAttrMap map;
    map.findOrAdd("c")->value.setText(CString("1"));
    map.findOrAdd("a")->value.setText(CString("2"));
    map.findOrAdd("b")->value.setText(CString("3"));
    ASSERT_EQ(panel->setAttrs(map, true), nullptr);
    EXPECT_THAT(journal(), ElementsAre("panel.c=1", "panel.b=3", "panel.a=2"));
}

TEST_F(CObjectAttr, FailingHandlerStopsTheFlushAndTheRestCanBeQueuedAgain) {
    ASSERT_EQ(panel->setAttr(CString("a"), CString("1"), false), nullptr);
    ASSERT_EQ(panel->setAttr(CString("fail"), CString("1"), false), nullptr);
    CError* err = panel->flushPendingAttrs();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(str(err->line(0)), "Handler failed.");
    EXPECT_THAT(str(err->line(err->lineCount() - 1)), ::testing::EndsWith(" // ui.panel"));
    delete err;
    EXPECT_TRUE(journal().empty());  // "a" was behind the failing handler
    ASSERT_EQ(panel->setAttr(CString("a"), CString("2"), false), nullptr);
    ASSERT_EQ(panel->flushPendingAttrs(), nullptr);
    EXPECT_THAT(journal(), ElementsAre("panel.a=2"));
}

TEST_F(CObjectAttr, HandlerErrorOfASetterCarriesTraceLines) {
    CError* err = panel->setAttr(CString("fail"), CString("1"), true);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(str(err->line(0)), "Handler failed.");
    EXPECT_GE(err->lineCount(), 3);
    delete err;
    err = panel->setIntAttr(CString("fail"), 1, true);
    ASSERT_NE(err, nullptr);
    delete err;
}

TEST_F(CObjectAttr, EmptyNameChangesNothing) {
    const int before = panel->attrs().count();
    EXPECT_EQ(panel->setAttr(CString(), CString("1"), true), nullptr);
    EXPECT_EQ(panel->setIntAttr(CString(), 1, true), nullptr);
    EXPECT_EQ(panel->attrs().count(), before);
}

// --- typed setters and getters ---

TEST_F(CObjectAttr, TypedSettersStoreTheirTypeAndRunTheHandler) {
    ASSERT_EQ(panel->setIntAttr(CString("a"), 7, true), nullptr);
    ASSERT_EQ(panel->setDoubleAttr(CString("b"), 0.5, true), nullptr);
    int target = 0;
    ASSERT_EQ(panel->setPtrAttr(CString("ParentWindow"), &target, true), nullptr);
    EXPECT_EQ(value(panel, "a")->type(), CAttrValue::kInt);
    EXPECT_EQ(value(panel, "b")->type(), CAttrValue::kReal);
    EXPECT_EQ(panel->getPtrAttr(CString("ParentWindow")), &target);
    EXPECT_EQ(panel->getPtrAttr(CString("a")), nullptr);
    // Typed setters expand nothing.
    EXPECT_THAT(journal(), ElementsAre("panel.a=7", "panel.b=0.5000"));
}

TEST_F(CObjectAttr, GettersConvertAndNeverAdd) {
    set(panel, "is-active", "true");
    set(panel, "scale", "1,5");
    set(panel, "count", "12");
    const int before = panel->attrs().count();
    EXPECT_TRUE(panel->getBoolAttr("is-active"));
    EXPECT_EQ(panel->getDoubleAttr("is-active"), 1.0);
    EXPECT_EQ(panel->getDoubleAttr("scale"), 1.5);
    EXPECT_EQ(panel->getIntAttr("scale"), 0);
    EXPECT_EQ(panel->getIntAttr("count"), 12);
    EXPECT_EQ(str(panel->getTextAttr("count")), "12");
    EXPECT_FALSE(panel->getBoolAttr("missing"));
    EXPECT_EQ(panel->getIntAttr("missing"), 0);
    EXPECT_EQ(panel->getDoubleAttr("missing"), 0.0);
    EXPECT_TRUE(panel->getTextAttr("missing").isEmpty());
    EXPECT_EQ(panel->attrs().count(), before);
    const CString& title = panel->getTextAttr("count");
    set(panel, "count", "13");
    EXPECT_EQ(str(panel->getTextAttr("count")), "13");
    EXPECT_EQ(str(title), "13");  // the reference points into the value record
}

// A warmed tree is only read by lookups and getters, so several threads may read it at once.
TEST_F(CObjectAttr, ConcurrentReadsOfAWarmedTree) {
    set(style, "mix", "0.7");
    set(style, "count", "5");
    root->warmAttrCaches();
    std::vector<std::thread> readers;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                CObject* s = panel->findObject(CString("ui.style"));
                if (s == nullptr || s->getIntAttr("count") != 5 || !s->getBoolAttr("mix") ||
                    s->getDoubleAttr("hover-brightness") != 0.25 || str(s->getTextAttr("count")) != "5" ||
                    str(s->getFullName()) != "ui.style" || s->getIntAttr("mix") != 0)
                    ++failures[t];
            }
        });
    }
    for (std::thread& r : readers) r.join();
    EXPECT_THAT(failures, ElementsAre(0, 0, 0, 0));
}
