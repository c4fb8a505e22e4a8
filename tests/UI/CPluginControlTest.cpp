#include "UI/CPluginControl.h"

#include "Audio/CAudioPreset.h"
#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CSystem.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"
#include "support/BindingTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// Plug-in controls on the recording client, with the application data in a folder of the test.
class CPluginControlTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mTemp.path().c_str()));
        CAppData::localScope().resetForTest();
        CRecordingBindingTree::SetUp();
    }
    void TearDown() override {
        CRecordingBindingTree::TearDown();
        CAppData::localScope().resetForTest();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    CPluginControl* control(const char* name, const char* registry) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:plugin-control", name,
                                                    {{"interface-client", "^client"}, {"param-registry", registry}})),
                  "");
        return dynamic_cast<CPluginControl*>(object);
    }
    // Stores a default preset of that name with one entry per byte text (no entries: the bytes of
    // the record are damaged instead when damaged is set).
    static void store(const char* presetName, std::vector<const char*> entries, bool damaged = false) {
        CAudioPreset preset;
        preset.setName(CString(presetName));
        int n = 0;
        for (const char* entry : entries) {
            CByteBuffer bytes;
            bytes.assign(entry, std::int32_t(std::string(entry).size()));
            preset.setEntry(CString(("p" + std::to_string(n++)).c_str()), bytes);
        }
        CWriteSeqBuffer out;
        ASSERT_EQ(takeMessage(preset.save(out)), "");
        CByteBuffer data;
        out.moveTo(data);
        if (damaged)
            data.resize(data.size() - 3);
        CAppData::localScope().write(CPluginControl::defaultPresetName(), data, nullptr, kTagPreset);
    }
    // Sends every event the bridge holds and returns the requests recorded meanwhile.
    std::vector<std::string> pumped() {
        bridge->pump();
        return connector->take();
    }

    test::TempFolder mTemp;
    CString mSavedBundleFolder;
};

TEST_F(CPluginControlTest, WithoutARegistryTheCommandsSendNothing) {
    CPluginControl* c = control("plugin-control", "");
    for (const char* command : {"on-ab", "on-copy", "on-reset", "default-preset-update"})
        ASSERT_EQ(takeMessage(c->runEvent(CString(command))), "") << command;
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CPluginControlTest, TheCommandsGoToTheRegistry) {
    CPluginControl* c = control("plugin-control", "plugin.param-registry");
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"listen-registry"}));  // nothing stored: no preset
    ASSERT_EQ(takeMessage(c->runEvent(CString("on-ab"))), "");
    ASSERT_EQ(takeMessage(c->runEvent(CString("on-copy"))), "");
    ASSERT_EQ(takeMessage(c->runEvent(CString("on-reset"))), "");
    ASSERT_EQ(takeMessage(c->runEvent(CString("default-preset-update"))), "");
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"exchange-shadow-preset", "update-shadow-preset",
                                                           "activate-default-preset"}));
}

TEST_F(CPluginControlTest, AStoredPresetIsSentOnListeningAndEveryEditorSendsANewOne) {
    store("Mine", {"a", "b"});
    control("first", "plugin.param-registry");
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"listen-registry", "set-default-preset 'Mine' n2"}));
    control("second", "plugin.param-registry");
    connector->take();

    store("Newer", {"c"});
    EXPECT_TRUE(connector->take().empty());  // the write only posts to the editors' thread
    EXPECT_EQ(pumped(), (std::vector<std::string>{"set-default-preset 'Newer' n1", "set-default-preset 'Newer' n1"}));
}

TEST_F(CPluginControlTest, AnEmptyOrDamagedStoreKeepsThePresetLoadedBefore) {
    store("Mine", {"a"});
    control("plugin-control", "plugin.param-registry");
    connector->take();
    store("Broken", {"x", "y"}, true);
    EXPECT_EQ(pumped(), (std::vector<std::string>{"set-default-preset 'Mine' n1"}));
    CAppData::localScope().write(CPluginControl::defaultPresetName(), CByteBuffer(), nullptr, kTagPreset);
    EXPECT_EQ(pumped(), (std::vector<std::string>{"set-default-preset 'Mine' n1"}));
}

TEST_F(CPluginControlTest, ReleasingStopsListeningAndWatching) {
    CPluginControl* c = control("plugin-control", "plugin.param-registry");
    connector->take();
    c->release();
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"unlisten-registry"}));
    store("After", {"a"});
    EXPECT_TRUE(pumped().empty());
}

TEST_F(CPluginControlTest, ConcurrentStoreOnAnotherThreadReachesTheEditorThroughItsBridge) {
    control("plugin-control", "plugin.param-registry");
    connector->take();
    std::thread writer([] { store("Elsewhere", {"a", "b", "c"}); });
    writer.join();
    EXPECT_TRUE(connector->take().empty());  // nothing ran on the writing thread
    EXPECT_EQ(pumped(), (std::vector<std::string>{"set-default-preset 'Elsewhere' n3"}));
}

} // namespace
} // namespace tal
