#include "Core/CObject.h"

#include "Core/CError.h"
#include "Core/CObjectEventHooks.h"
#include "Core/CTemplateBody.h"
#include "support/CLogCapture.h"
#include "support/CObjectTreeTest.h"
#include "support/CRecordingObject.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tal;
using ::testing::ElementsAre;
using ::testing::MatchesRegex;

namespace {

using Journal = std::vector<std::string>;
Journal& journal() { return CRecordingObject::journal(); }

// A template body made in the test: a tag, attributes set deferred, and named children.
class CTestTemplateBody : public CTemplateBody {
public:
    CTestTemplateBody(const char* tag, std::vector<std::pair<const char*, const char*>> attrs,
                      std::vector<const char*> children = {})
        : mTag(tag), mAttrs(std::move(attrs)), mChildren(std::move(children)) {}
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject& target) override {
        for (const auto& [k, v] : mAttrs)
            if (CError* err = target.setAttr(CString(k), CString(v), false)) return err;
        return nullptr;
    }
    CError* buildChildren(CObject& target) override {
        for (const char* name : mChildren) buildChild(target, "test:rec", name);
        return nullptr;
    }

private:
    CString mTag;
    std::vector<std::pair<const char*, const char*>> mAttrs;
    std::vector<const char*> mChildren;
};

// Adds a template placeholder "name" with the given body under parent.
CObject* addTemplate(CObject* parent, const char* name, CTemplateBody* body) {
    CObject* placeholder = nullptr;
    EXPECT_EQ(parent->addChild(placeholder, CString("template"), CString(name), false), nullptr);
    placeholder->setTemplateBody(body);
    parent->addTemplate(CString(name), placeholder);
    return placeholder;
}

std::string errorText(CError* err) {
    std::string s;
    if (err == nullptr) return s;
    for (int i = 0; i < err->lineCount(); ++i) s += str(err->line(i)) + "\n";
    delete err;
    return s;
}

} // namespace

using CObjectNames = CObjectTreeTest;

// --- unique names and full names ---

TEST_F(CObjectNames, ChildNamesFollowTheNumberingRules) {
    CObject* ui = add(root, "ui");
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"knob", "ui.knob"},     {"knob", "ui.knob#1"}, {"knob#5", "ui.knob#5"}, {"knob#1", "ui.knob#6"},
        {"knob#0", "ui.knob#7"}, {"", "ui."},           {"", "ui.#1"},           {"", "ui.#2"},
        {"a#b#3", "ui.a"},       {"row#-1", "ui.row#-1"}, {"row", "ui.row"},    {"row", "ui.row#1"},
        {"Knob", "ui.Knob"},
    };
    for (const auto& [requested, fullName] : rows) {
        SCOPED_TRACE(requested);
        CObject* child = add(ui, requested);
        EXPECT_EQ(str(child->getFullName()), fullName);
    }
}

TEST_F(CObjectNames, ChildrenOfARootHaveOneComponentNames) {
    EXPECT_EQ(str(add(root, "plugin")->getFullName()), "plugin");
    EXPECT_EQ(str(add(root, "")->getFullName()), "");
    EXPECT_EQ(str(add(root, "")->getFullName()), "#1");
    EXPECT_TRUE(root->getFullName().isEmpty());
}

TEST_F(CObjectNames, FreedNumbersAreTakenAgainAndTheBareNameFindsTheLowest) {
    CObject* ui = add(root, "ui");
    CObject* first = add(ui, "knob");
    add(ui, "knob");
    first->release();
    EXPECT_EQ(str(ui->findChild(CString("knob"))->getFullName()), "ui.knob#1");
    // "knob#0" is free again and keeps its number.
    EXPECT_EQ(str(add(ui, "knob#0")->getFullName()), "ui.knob");
    EXPECT_EQ(ui->childCount(), 2);
}

TEST_F(CObjectNames, NumericNameIsStoredAsInt) {
    CObject* child = add(root, "12");
    CAttrValue* fullName = child->attrs().findValue("full-name");
    ASSERT_NE(fullName, nullptr);
    EXPECT_EQ(fullName->type(), CAttrValue::kInt);
    EXPECT_EQ(str(child->getFullName()), "12");
}

// --- life cycle ---

using CObjectLifeCycle = CObjectTreeTest;

TEST_F(CObjectLifeCycle, HandlersRunAtCreateChildsAfterInitInReverseOrder) {
    CObject* p = nullptr;
    ASSERT_EQ(root->addChild(p, CString("test:rec"), CString("p"), false), nullptr);
    EXPECT_EQ(p->lifeStage(), 0);
    ASSERT_EQ(p->setAttr(CString("a"), CString("1"), false), nullptr);
    ASSERT_EQ(p->setAttr(CString("b"), CString("2"), false), nullptr);
    ASSERT_EQ(p->setAttr(CString("a"), CString("3"), false), nullptr);  // queued once, sees the latest
    EXPECT_TRUE(journal().empty());
    ASSERT_EQ(p->init(), nullptr);
    EXPECT_EQ(p->lifeStage(), 1);
    ASSERT_EQ(p->createChilds(), nullptr);
    EXPECT_EQ(p->lifeStage(), 2);
    buildChild(*p, "test:rec", "c", {{"c", "4"}});
    ASSERT_EQ(p->initChilds(), nullptr);
    EXPECT_EQ(p->lifeStage(), 3);
    EXPECT_FALSE(p->isReadOnly());
    EXPECT_THAT(journal(), ElementsAre("init p", "createChilds p", "p.b=2", "p.a=3", "added c to p", "init c",
                                       "createChilds c", "c.c=4", "initChilds c", "initChilds p"));
}

TEST_F(CObjectLifeCycle, ReleaseDropsLinksTopDownAndDestroysBottomUp) {
    CObject* p = buildChild(*root, "test:rec", "p");
    CObject* c1 = buildChild(*p, "test:rec", "c1");
    buildChild(*c1, "test:rec", "g");
    buildChild(*p, "test:rec", "c2");
    journal().clear();
    p->release();
    EXPECT_THAT(journal(), ElementsAre("links p", "links c2", "destroy c2", "links c1", "links g", "destroy g",
                                       "destroy c1", "destroy p"));
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_EQ(root->findChild(CString("p")), nullptr);
}

TEST_F(CObjectLifeCycle, ObjectsInitialisedWithoutSharedObjectAreReadOnly) {
    CObject::setSharedObject(nullptr);
    CObject* ui = add(root, "ui");
    ASSERT_EQ(ui->initChilds(), nullptr);
    CObject::setSharedObject(shared);
    EXPECT_TRUE(ui->isReadOnly());

    CObject* out = reinterpret_cast<CObject*>(this);  // must stay untouched
    CError* err = ui->addChild(out, CString("core:object"), CString("x"), false);
    ASSERT_NE(err, nullptr);
    ASSERT_EQ(err->lineCount(), 2);
    EXPECT_EQ(str(err->line(0)), "Error adding child to read-only object.");
    EXPECT_THAT(str(err->line(1)), MatchesRegex("Core/CObject\\( [0-9]+ \\) // ui"));
    delete err;
    EXPECT_EQ(out, reinterpret_cast<CObject*>(this));
    EXPECT_EQ(ui->childCount(), 0);

    EXPECT_EQ(ui->setAttr(CString("a"), CString("1"), true), nullptr);
    EXPECT_EQ(ui->attrs().findValue("a"), nullptr);
}

TEST_F(CObjectLifeCycle, OnChildAddedErrorKeepsTheChild) {
    class CRefusingObject : public CObject {
    public:
        CError* onChildAdded(CObject*) override { return newError("@talstr_Test_onChildAdded_No Refused."); }
    };
    CRefusingObject* parent = new CRefusingObject;
    parent->initRoot(nullptr);
    CObject* out = nullptr;
    const std::string text = errorText(parent->addChild(out, CString("core:object"), CString("x"), false));
    EXPECT_THAT(text, MatchesRegex("Refused\\.\n[^\n]+\n[^\n]+\n"));
    EXPECT_NE(out, nullptr);
    EXPECT_EQ(parent->childCount(), 1);
    parent->release();
}

TEST_F(CObjectLifeCycle, UnregisteredTagMakesAPlainObjectAndLogsIt) {
    CLogCapture log;
    CObject* ui = add(root, "ui");
    CObject* k = add(ui, "k", "test:Rec");  // tags are case-sensitive
    EXPECT_EQ(dynamic_cast<CRecordingObject*>(k), nullptr);
    EXPECT_EQ(str(k->tag()), "test:Rec");
    add(ui, "t", "template");
    add(ui, "c", "content");
    EXPECT_THAT(log.lines(), ElementsAre("Creating CObject 'ui' (tag 'core:object')",
                                         "Creating CObject 'k' (tag 'test:Rec') // ui"));
}

TEST_F(CObjectLifeCycle, ReleaseChildBridgedReleasesOnlyAChild) {
    CObject* ui = add(root, "ui");
    add(ui, "");  // full name "ui.", which as a path designates ui itself
    add(ui, "k");
    CAttrMap args;
    args.findOrAdd("sender")->value.setText(CString("ui."));
    EXPECT_EQ(ui->onReleaseChildBridged(args), nullptr);
    EXPECT_EQ(ui->childCount(), 2);
    args.findOrAdd("sender")->value.setText(CString("ui.k"));
    EXPECT_EQ(ui->onReleaseChildBridged(args), nullptr);
    EXPECT_EQ(ui->childCount(), 1);
    EXPECT_EQ(ui->findChild(CString("k")), nullptr);
    args.findOrAdd("sender")->value.setText(CString("ui.nothing"));
    EXPECT_EQ(ui->onReleaseChildBridged(args), nullptr);
    EXPECT_EQ(ui->childCount(), 1);
}

TEST_F(CObjectLifeCycle, ReleaseBridgedWithoutBridgeKeepsTheObject) {
    CObject* k = add(add(root, "ui"), "k");
    k->releaseBridged();
    EXPECT_EQ(root->findObject(CString("ui.k")), k);
}

// --- templates ---

using CObjectTemplates = CObjectTreeTest;

TEST_F(CObjectTemplates, TemplateAttributesComeFirstAndInitialAttributesOverride) {
    CObject* placeholder =
        addTemplate(root, "knob-t", new CTestTemplateBody("test:rec", {{"a", "tmpl"}, {"b", "tmpl"}}, {"inner"}));
    CObject* ui = add(root, "ui");
    CObject* k = nullptr;
    ASSERT_EQ(ui->addChild(k, CString("knob-t"), CString("k"), true), nullptr);
    EXPECT_EQ(str(k->tag()), "test:rec");
    EXPECT_EQ(k->templateSource(), placeholder);
    CAttrMap initial;
    initial.findOrAdd("a")->value.setText(CString("init"));
    k->setInitialAttrs(&initial);
    ASSERT_EQ(k->init(), nullptr);
    ASSERT_EQ(k->createChilds(), nullptr);
    ASSERT_EQ(k->initChilds(), nullptr);
    EXPECT_EQ(str(k->getTextAttr("a")), "init");
    EXPECT_EQ(str(k->getTextAttr("b")), "tmpl");
    ASSERT_NE(k->findChild(CString("inner")), nullptr);
    // The handler of "a" ran once, with the overriding value, before the template's children.
    EXPECT_THAT(journal(), ::testing::Contains("k.a=init"));
    EXPECT_THAT(journal(), ::testing::Not(::testing::Contains("k.a=tmpl")));
}

TEST_F(CObjectTemplates, NearestAncestorWinsThenTheSharedObject) {
    addTemplate(root, "t", new CTestTemplateBody("test:rec", {}));
    CObject* ui = add(root, "ui");
    CObject* inner = addTemplate(ui, "t", new CTestTemplateBody("test:rec2", {}));
    addTemplate(shared, "s", new CTestTemplateBody("test:rec", {}));
    CObject* k = nullptr;
    ASSERT_EQ(ui->addChild(k, CString("t"), CString("k"), true), nullptr);
    EXPECT_EQ(k->templateSource(), inner);
    EXPECT_EQ(str(k->tag()), "test:rec2");
    EXPECT_TRUE(ui->hasTemplate(CString("s")));
    EXPECT_TRUE(shared->hasTemplate(CString("s")));
    EXPECT_FALSE(ui->hasTemplate(CString("u")));
    CObject* s = nullptr;
    ASSERT_EQ(ui->addChild(s, CString("s"), CString("s"), true), nullptr);
    EXPECT_NE(s->templateSource(), nullptr);
    // Without useTemplates the tag is looked up as it is.
    CObject* plain = nullptr;
    ASSERT_EQ(ui->addChild(plain, CString("s"), CString("p"), false), nullptr);
    EXPECT_EQ(plain->templateSource(), nullptr);
}

TEST_F(CObjectTemplates, UnregisteredBodyTagMakesAPlainObjectWithThatTag) {
    addTemplate(root, "t", new CTestTemplateBody("test:unknown", {}));
    CObject* ui = add(root, "ui");
    CLogCapture log;
    CObject* k = nullptr;
    ASSERT_EQ(ui->addChild(k, CString("t"), CString("k"), true), nullptr);
    EXPECT_EQ(str(k->tag()), "test:unknown");
    EXPECT_EQ(dynamic_cast<CRecordingObject*>(k), nullptr);
    EXPECT_THAT(log.lines(), ElementsAre("Creating CObject 'k' (tag 'test:unknown') // ui"));
}

TEST_F(CObjectTemplates, ReleasedPlaceholderLeavesTheTemplateMap) {
    CObject* placeholder = addTemplate(root, "t", new CTestTemplateBody("test:rec", {}));
    EXPECT_TRUE(root->hasTemplate(CString("t")));
    placeholder->release();
    EXPECT_FALSE(root->hasTemplate(CString("t")));
    EXPECT_EQ(root->childCount(), 0);
}

// --- the event system's seam ---

namespace {

// Stands in for the event system: counts ids per registry and records the calls it receives.
struct CFakeEvents {
    static inline int nextId = 0;
    static inline std::vector<std::string> calls;
    static int takeObjectId(CEventRegistry&) { return nextId++; }
    static void destroyRegistry(CEventRegistry*) { calls.push_back("destroy registry"); }
    static void unlistenAll(CObject& o) { calls.push_back("unlisten " + str(o.getShortName())); }
    static void releaseBridged(CObject& o) { calls.push_back("post " + str(o.getFullName())); }
};

} // namespace

TEST_F(CObjectLifeCycle, EventSystemHooksTakeIdsAndDropRegistrations) {
    static const CObjectEventHooks hooks{&CFakeEvents::takeObjectId, &CFakeEvents::destroyRegistry,
                                         &CFakeEvents::unlistenAll, &CFakeEvents::releaseBridged};
    CObject::setEventHooks(&hooks);
    CFakeEvents::nextId = 0;
    CFakeEvents::calls.clear();
    CEventRegistry* registry = reinterpret_cast<CEventRegistry*>(&CFakeEvents::nextId);  // opaque to CObject
    CObject* tree = new CObject;
    tree->initRoot(registry);
    CObject* a = add(tree, "a");
    CObject* b = add(a, "b");
    EXPECT_EQ(tree->objectId(), 0);
    EXPECT_EQ(a->objectId(), 1);
    EXPECT_EQ(b->objectId(), 2);
    EXPECT_EQ(b->eventRegistry(), registry);
    EXPECT_EQ(add(root, "plain")->objectId(), -1);  // a tree without registry
    b->releaseBridged();
    tree->release();
    CObject::setEventHooks(nullptr);
    EXPECT_THAT(CFakeEvents::calls,
                ElementsAre("post a.b", "unlisten ", "unlisten a", "unlisten b", "destroy registry"));
}
