#include "Core/CAttrDoubler.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "support/CObjectTreeTest.h"

#include <gmock/gmock.h>

namespace tal {
namespace {

using ::testing::ElementsAre;

class CAttrDoublerTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"core:attr-doubler", &CAttrDoubler::create, &CAttrDoubler::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        // A tree with object ids, as editor trees are, so a replaced target can be told apart.
        root->release();
        root = new CObject;
        root->initRoot(new CEventRegistry);
        a = buildChild(*root, "test:rec", "a");
        b = buildChild(*root, "test:rec", "b");
        CRecordingObject::journal().clear();
    }
    // Adds a doubler with its attributes set deferred and runs init; returns init's error.
    CError* addDoubler(const char* target, const char* value, CObject*& out) {
        EXPECT_EQ(root->addChild(out, CString("core:attr-doubler"), CString("d"), false), nullptr);
        EXPECT_EQ(out->setAttr(CString("attr"), CString("x"), false), nullptr);
        EXPECT_EQ(out->setAttr(CString("value"), CString(value), false), nullptr);
        EXPECT_EQ(out->setAttr(CString("target"), CString(target), false), nullptr);
        return out->init();
    }
    CObject* a = nullptr;
    CObject* b = nullptr;
};

TEST_F(CAttrDoublerTest, FirstCopyRunsAtBuildAndLaterSetsCopyAtOnceToEveryTargetInOrder) {
    CObject* d = nullptr;
    ASSERT_EQ(addDoubler("b  a", "7", d), nullptr);
    EXPECT_TRUE(CRecordingObject::journal().empty());  // the value handler waits for createChilds
    ASSERT_EQ(d->createChilds(), nullptr);
    EXPECT_THAT(CRecordingObject::journal(), ElementsAre("b.x=7", "a.x=7"));
    ASSERT_EQ(d->setDoubleAttr(CString("value"), 120.5, true), nullptr);
    EXPECT_EQ(str(a->attrs().findValue("x")->asText()), "120.5000");
    EXPECT_EQ(a->attrs().findValue("x")->type(), CAttrValue::kText);
    ASSERT_EQ(d->setIntAttr(CString("value"), 120, true), nullptr);
    EXPECT_EQ(a->attrs().findValue("x")->type(), CAttrValue::kInt);
    ASSERT_EQ(d->setAttr(CString("value"), CString("true"), true), nullptr);
    EXPECT_EQ(b->attrs().findValue("x")->type(), CAttrValue::kBool);
}

TEST_F(CAttrDoublerTest, InitErrorsNameTheMissingTargets) {
    struct Case { const char* target; const char* message; };
    for (const Case& c : {Case{" ", "No target objects specified."}, Case{"", "No target objects specified."},
                          Case{"a nowhere b", "Target object 'nowhere' not found."}}) {
        SCOPED_TRACE(c.target);
        CObject* d = nullptr;
        CError* err = addDoubler(c.target, "1", d);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(str(err->message()), c.message);
        EXPECT_THAT(str(err->line(1)), ::testing::EndsWith(" // d"));
        delete err;
        d->release();
    }
}

TEST_F(CAttrDoublerTest, TargetReleasedOrReplacedBeforeTheCopyIsSkipped) {
    CObject* d = nullptr;
    ASSERT_EQ(addDoubler("a b", "1", d), nullptr);
    ASSERT_EQ(d->createChilds(), nullptr);
    CRecordingObject::journal().clear();
    a->release();
    b->release();
    CObject* newcomer = buildChild(*root, "test:rec", "b");  // same full name, another object
    CRecordingObject::journal().clear();
    ASSERT_EQ(d->setAttr(CString("value"), CString("2"), true), nullptr);
    EXPECT_TRUE(CRecordingObject::journal().empty());
    EXPECT_EQ(newcomer->attrs().findValue("x"), nullptr);
}

TEST_F(CAttrDoublerTest, UnnamedChildrenTheirChildrenAndSharedObjectsAreWritten) {
    // Full names that do not find their object again: "a." (finds a), "" (finds nothing), "a..c"
    // (finds nothing), and a shared object's name read from this tree.
    CObject* first = buildChild(*a, "test:rec", "");
    CObject* second = buildChild(*a, "test:rec", "");
    CObject* top = buildChild(*root, "test:rec", "");
    CObject* inner = buildChild(*first, "test:rec", "c");
    CObject* inShared = buildChild(*shared, "test:rec", "s");
    ASSERT_EQ(str(first->getFullName()), "a.");
    CObject* d = nullptr;
    ASSERT_EQ(addDoubler("a.#0 a.#1 #0 a.#0.c shared::s", "5", d), nullptr);
    ASSERT_EQ(d->createChilds(), nullptr);
    ASSERT_EQ(d->setAttr(CString("value"), CString("6"), true), nullptr);
    const std::pair<const char*, CObject*> targets[] = {
        {"first unnamed", first}, {"second unnamed", second}, {"root's unnamed", top},
        {"below an unnamed", inner}, {"shared", inShared}};
    for (const auto& [what, target] : targets) {
        SCOPED_TRACE(what);
        CAttrValue* x = target->attrs().findValue("x");
        ASSERT_NE(x, nullptr);
        EXPECT_EQ(str(x->asText()), "6");
    }
    EXPECT_EQ(a->attrs().findValue("x"), nullptr);   // never written in place of its first unnamed child
}

TEST_F(CAttrDoublerTest, FailingTargetStopsTheCopyWithTraceLines) {
    CObject* d = nullptr;
    EXPECT_EQ(root->addChild(d, CString("core:attr-doubler"), CString("d"), false), nullptr);
    ASSERT_EQ(d->setAttr(CString("attr"), CString("fail"), false), nullptr);
    ASSERT_EQ(d->setAttr(CString("target"), CString("a b"), false), nullptr);
    ASSERT_EQ(d->init(), nullptr);
    CError* err = d->setAttr(CString("value"), CString("1"), true);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(str(err->message()), "Handler failed.");
    EXPECT_GE(err->lineCount(), 4);
    delete err;
}

} // namespace
} // namespace tal
