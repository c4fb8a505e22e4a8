#include "Core/CSharedAttribute.h"

#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CSystem.h"
#include "support/CEventTestTree.h"
#include "support/TempFolder.h"
#include "support/UserSettingsSandbox.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tal {
namespace {

namespace fs = std::filesystem;

// An editor-like tree with a pumped bridge, and the process-wide scopes pointed at a temporary
// preferences folder.
class CSharedAttributeTest : public CEventTestTree {
protected:
    void SetUp() override {
        mSandbox = std::make_unique<test::UserSettingsSandbox>();
        CEventTestTree::SetUp();
    }
    void TearDown() override {
        CEventTestTree::TearDown();
        mSandbox.reset();
    }

    // Adds a shared attribute below parent with the given attributes (null: not set) and runs
    // init; returns init's error.
    CError* addShared(CObject* parent, const char* name, const char* storage, const char* attribute, const char* def,
                      CSharedAttribute*& out, const char* dataName = nullptr) {
        CObject* child = nullptr;
        EXPECT_EQ(parent->addChild(child, CString("core:shared-attribute"), CString(name), false), nullptr);
        out = static_cast<CSharedAttribute*>(child);
        const std::pair<const char*, const char*> attrs[] = {
            {"storage-type", storage}, {"attribute", attribute}, {"def-value", def}, {"data-name", dataName}};
        for (const auto& [key, value] : attrs)
            if (value != nullptr) {
                EXPECT_EQ(child->setAttr(CString(key), CString(value), false), nullptr);
            }
        return child->init();
    }
    CObject* addGroup(const char* name) {
        CObject* child = nullptr;
        EXPECT_EQ(ui->addChild(child, CString("core:object"), CString(name), false), nullptr);
        return child;
    }
    static std::string value(CSharedAttribute* s, const char* attr) {
        CAttrValue* v = s->attrs().findValue(attr);
        return v != nullptr ? text(v->asText()) : "<absent>";
    }

    std::unique_ptr<test::UserSettingsSandbox> mSandbox;
    const test::TempFolder& tempFolder() const { return mSandbox->folder(); }
};

TEST_F(CSharedAttributeTest, InitFailsOnABadStorageTypeOrAMissingAttributeName) {
    struct Case { const char* storage; const char* attribute; const char* message; };
    const Case cases[] = {
        {"Global", "x", "Invalid storage type \"Global\" specified."},
        {nullptr, "x", "Invalid storage type \"\" specified."},
        {"global", nullptr, "No attached attribute name specified."},
        {"global", "", "No attached attribute name specified."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CSharedAttribute* s = nullptr;
        CError* err = addShared(ui, "bad", c.storage, c.attribute, "1", s);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(text(err->message()), c.message);
        EXPECT_THAT(text(err->line(1)), ::testing::EndsWith(" // ui.bad"));
        delete err;
        // Without a scope, loading and storing do nothing.
        EXPECT_EQ(s->scope(), nullptr);
        EXPECT_EQ(s->onUpdate(), nullptr);
        EXPECT_EQ(s->storeValue(CString("2")), nullptr);
        EXPECT_EQ(value(s, "x"), "<absent>");
        s->release();
    }
}

TEST_F(CSharedAttributeTest, HoldsTheDefaultRightAfterInitWithoutAStoredItem) {
    CSharedAttribute* s = nullptr;
    ASSERT_EQ(addShared(addGroup("global-data"), "mouse-wheel-precision", "global", "mouse-wheel-precision", "0.5", s), nullptr);
    EXPECT_EQ(value(s, "mouse-wheel-precision"), "0.5");
    EXPECT_TRUE(s->dataName().equals("mouse-wheel-precision"));
    EXPECT_EQ(s->scope(), &CAppData::globalScope());
}

TEST_F(CSharedAttributeTest, StoredValueReachesEverySharedAttributeOfTheItemThroughTheBridge) {
    CSharedAttribute *writer = nullptr, *other = nullptr, *unrelated = nullptr;
    ASSERT_EQ(addShared(addGroup("a"), "ui-shadows", "global", "ui-shadows", "true", writer), nullptr);
    ASSERT_EQ(addShared(addGroup("b"), "ui-shadows", "global", "shadows", "true", other), nullptr);
    ASSERT_EQ(addShared(addGroup("c"), "ui-shadows", "local", "ui-shadows", "true", unrelated), nullptr);
    ASSERT_EQ(writer->storeValue(CString("false")), nullptr);
    EXPECT_EQ(value(writer, "ui-shadows"), "true");  // nothing changes before the bridge delivers
    EXPECT_EQ(bridge->pump(), 2);
    EXPECT_EQ(value(writer, "ui-shadows"), "false");
    EXPECT_EQ(value(other, "shadows"), "false");
    EXPECT_EQ(value(unrelated, "ui-shadows"), "true");  // another scope, another item
    EXPECT_EQ(writer->attrs().findValue("ui-shadows")->type(), CAttrValue::kBool);
    EXPECT_TRUE(readAppDataString(&CAppData::globalScope(), CString("ui-shadows"), CString()).equals("false"));
}

TEST_F(CSharedAttributeTest, ValueSurvivesTheDeletionOfItsFile) {
    CSharedAttribute* s = nullptr;
    ASSERT_EQ(addShared(ui, "ui-scale", "local", "scale", "1.0", s), nullptr);
    ASSERT_EQ(s->storeValue(CString("1.5")), nullptr);
    bridge->pump();
    const fs::path file = fs::path(tempFolder().path()) / "Talmero/Audio Plug-Ins/Delmaro/ui-scale";
    ASSERT_TRUE(fs::exists(file));
    fs::remove(file);
    CSharedAttribute* late = nullptr;  // an editor built later
    ASSERT_EQ(addShared(addGroup("later"), "ui-scale", "local", "scale", "1.0", late), nullptr);
    EXPECT_EQ(value(late, "scale"), "1.5");
}

TEST_F(CSharedAttributeTest, UnsavableValueStillReachesTheEditors) {
    test::writeWholeFile(tempFolder().path() + "/blocker", "a file");
    CSystem::setUserPreferencesFolderForTest(CString((tempFolder().path() + "/blocker").c_str()));
    CSharedAttribute* s = nullptr;
    ASSERT_EQ(addShared(ui, "force-2ch", "group", "force-2ch", "false", s), nullptr);
    ASSERT_EQ(s->storeValue(CString("true")), nullptr);
    EXPECT_EQ(bridge->pump(), 1);
    EXPECT_EQ(value(s, "force-2ch"), "true");
}

TEST_F(CSharedAttributeTest, ReleasedSharedAttributeHearsNothingMore) {
    CSharedAttribute *kept = nullptr, *gone = nullptr;
    ASSERT_EQ(addShared(addGroup("a"), "tablet-mode", "global", "tablet-mode", "false", kept), nullptr);
    ASSERT_EQ(addShared(addGroup("b"), "tablet-mode", "global", "tablet-mode", "false", gone), nullptr);
    gone->release();
    ASSERT_EQ(kept->storeValue(CString("true")), nullptr);
    EXPECT_EQ(bridge->pump(), 1);
    EXPECT_EQ(value(kept, "tablet-mode"), "true");
}

TEST_F(CSharedAttributeTest, ExplicitDataNameIsTheItem) {
    CSharedAttribute *s = nullptr, *t = nullptr;
    ASSERT_EQ(addShared(addGroup("a"), "first", "local", "v", "0", s, "common-item"), nullptr);
    ASSERT_EQ(addShared(addGroup("b"), "second", "local", "v", "0", t, "common-item"), nullptr);
    ASSERT_EQ(s->storeValue(CString("7")), nullptr);
    EXPECT_EQ(bridge->pump(), 2);
    EXPECT_EQ(value(t, "v"), "7");
    EXPECT_EQ(t->attrs().findValue("v")->type(), CAttrValue::kInt);
}

} // namespace
} // namespace tal
