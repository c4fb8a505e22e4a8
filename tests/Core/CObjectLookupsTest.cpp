#include "Core/CObject.h"

#include "Core/CError.h"
#include "support/CObjectTreeTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using namespace tal;
using ::testing::MatchesRegex;

namespace {

// An interface implemented beside the object base, and two object classes.
class CListenerOwner {
public:
    virtual ~CListenerOwner() = default;
};
class CTestView : public CObject {};
class CTestMeter : public CObject, public CListenerOwner {};

CObject* makeView() { return new CTestView; }
CObject* makeMeter() { return new CTestMeter; }

void registerLookupTags() {
    static bool done = false;
    if (done) return;
    done = true;
    static const CCreatorTableEntry table[] = {
        {"test:view", &makeView, &CObject::initScheme},
        {"test:meter", &makeMeter, &CObject::initScheme},
        {nullptr, nullptr, nullptr},
    };
    CCreatorRegistry::instance().registerTable(table);
}

// The error's lines, then frees it.
std::vector<std::string> takeLines(CError* err) {
    std::vector<std::string> lines;
    if (err == nullptr) return lines;
    for (int i = 0; i < err->lineCount(); ++i) lines.push_back(str(err->line(i)));
    delete err;
    return lines;
}

class CObjectLookupsTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        registerLookupTags();
        plugin = add(root, "plugin");
        view = add(plugin, "view", "test:view");
        meter = add(plugin, "meter", "test:meter");
        plainChild = add(meter, "plain");
    }
    CObject* plugin = nullptr;
    CObject* view = nullptr;
    CObject* meter = nullptr;
    CObject* plainChild = nullptr;
};

TEST_F(CObjectLookupsTest, CheckedLookupFindsObjectsOfTheClassAndAcrossToInterfaces) {
    CTestView* v = nullptr;
    EXPECT_EQ(root->findObjectChecked(v, CString("plugin.view")), nullptr);
    EXPECT_EQ(v, view);
    CListenerOwner* owner = nullptr;
    EXPECT_EQ(plainChild->findObjectChecked(owner, CString("^")), nullptr);
    EXPECT_EQ(owner, dynamic_cast<CListenerOwner*>(meter));
    CObject* any = nullptr;
    EXPECT_EQ(view->findObjectChecked(any, CString("shared::")), nullptr) << "shared:: alone is the shared root";
}

TEST_F(CObjectLookupsTest, CheckedLookupErrorsNamePathFullNameAndAsker) {
    // Missing: out keeps its value, %2 is the full name the path designates.
    CTestView* v = reinterpret_cast<CTestView*>(this);
    auto lines = takeLines(plugin->findObjectChecked(v, CString(".missing.x")));
    EXPECT_EQ(v, reinterpret_cast<CTestView*>(this));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Unable to find object '.missing.x' ('plugin.missing.x') at plugin.");
    EXPECT_THAT(lines[1], MatchesRegex("Core/CObjectLookups\\( [0-9]+ \\) // plugin"));

    // Wrong class: out becomes null.
    lines = takeLines(root->findObjectChecked(v, CString("plugin.meter")));
    EXPECT_EQ(v, nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Incompatible type of object 'plugin.meter' ('plugin.meter') at .");
    EXPECT_THAT(lines[1], MatchesRegex("Core/CObjectLookups\\( [0-9]+ \\)")) << "a root names no object";

    // "^" above a root: nothing found, %2 empty.
    CObject* any = nullptr;
    lines = takeLines(root->findObjectChecked(any, CString("^")));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Unable to find object '^' ('') at .");
    lines = takeLines(root->findObjectChecked(any, CString("")));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Unable to find object '' ('') at .");
}

TEST_F(CObjectLookupsTest, LookupByAttribute) {
    struct Case {
        const char* attrText;   // null: attribute absent
        bool required;
        bool ok;
        const char* message;
        bool findsView;
    };
    const Case cases[] = {
        {"plugin.view", true, true, nullptr, true},
        {"^view", true, true, nullptr, true},
        {nullptr, false, true, nullptr, false},
        {nullptr, true, false, "Object name attribute 'target' cannot be empty at plugin.meter.", false},
        {"", true, false, "Object name attribute 'target' cannot be empty at plugin.meter.", false},
        {"plugin.nothing", true, false,
         "Name attribute 'target' refers to a non-existent object 'plugin.nothing' ('plugin.nothing') at plugin.meter.",
         false},
        {".plain", false, false,
         "Name attribute 'target' refers to object '.plain' ('plugin.meter.plain') of incompatible type at plugin.meter.",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrText ? c.attrText : "(absent)");
        meter->attrs().remove(CString("target"));
        if (c.attrText != nullptr) meter->attrs().findOrAdd("target")->value.setText(CString(c.attrText));
        CTestView* out = reinterpret_cast<CTestView*>(this);
        const auto lines = takeLines(meter->findObjectByAttr(out, CString("target"), c.required));
        if (c.ok) {
            EXPECT_TRUE(lines.empty());
            EXPECT_EQ(out, c.findsView ? view : nullptr);
        } else {
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_EQ(lines[0], c.message);
            EXPECT_THAT(lines[1], MatchesRegex("Core/CObjectLookups\\( [0-9]+ \\) // plugin\\.meter"));
        }
    }
}

TEST_F(CObjectLookupsTest, LookupByAttributeReadsTypedValuesAsText) {
    CObject* five = add(root, "5");
    plugin->attrs().findOrAdd("target")->value.setInt(5);
    CObject* out = nullptr;
    EXPECT_EQ(plugin->findObjectByAttr(out, CString("target"), true), nullptr);
    EXPECT_EQ(out, five);
    // The untyped form accepts any class.
    plugin->attrs().findOrAdd("target")->value.setText(CString("plugin.meter"));
    EXPECT_EQ(plugin->findObjectByAttr(out, CString("target"), true), nullptr);
    EXPECT_EQ(out, meter);
}

TEST_F(CObjectLookupsTest, CreateChildChecksTheClassAndRemovesAWrongChild) {
    CTestView* v = nullptr;
    EXPECT_EQ(plugin->createChild(v, CString("test:view"), CString("popup"), false, nullptr, nullptr), nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->lifeStage(), 3);
    EXPECT_EQ(str(v->getFullName()), "plugin.popup");
    // A second one with the same name is made unique.
    CObject* second = nullptr;
    EXPECT_EQ(plugin->createChild(second, CString("test:view"), CString("popup"), false, nullptr, nullptr), nullptr);
    EXPECT_EQ(str(second->getFullName()), "plugin.popup#1");

    const int before = plugin->childCount();
    auto lines = takeLines(plugin->createChild(v, CString("unknown:tag"), CString("w"), false, nullptr, nullptr));
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(plugin->childCount(), before) << "the wrong child is released again";
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Object of invalid class created (child tag 'unknown:tag', child name 'w').");

    lines = takeLines(plugin->createChild(v, CString("no-such-template"), CString("w"), true, nullptr, nullptr));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Run-time template 'no-such-template' does not exist.");
    EXPECT_EQ(plugin->childCount(), before);
}

TEST_F(CObjectLookupsTest, CreateChildAppliesSetAttrsThenInitAttrs) {
    CAttrMap setAttrs, initAttrs;
    setAttrs.findOrAdd("a")->value.setText(CString("from-set"));
    setAttrs.findOrAdd("b")->value.setText(CString("from-set"));
    initAttrs.findOrAdd("b")->value.setText(CString("from-init"));
    CObject* child = nullptr;
    EXPECT_EQ(plugin->createChild(child, CString("core:object"), CString("c"), false, &initAttrs, &setAttrs), nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->getTextAttr("a").equals("from-set"), true);
    EXPECT_EQ(child->getTextAttr("b").equals("from-init"), true);
}

} // namespace
