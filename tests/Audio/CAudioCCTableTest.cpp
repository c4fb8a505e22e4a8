#include "Audio/CAudioCCTable.h"

#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CSystem.h"
#include "Core/RecordTags.h"
#include "support/CLogCapture.h"
#include "support/LeBytes.h"
#include "support/RegistryTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tal;

namespace {

void resetScopes() {
    for (CAppData* scope : {&CAppData::globalScope(), &CAppData::groupScope(), &CAppData::localScope()})
        scope->resetForTest();
}

// A registry test tree whose local application-data scope lives in a temporary folder, and a
// parameter "plugin.modMain.gain" (held by the collector, not an object of the tree).
class CAudioCCTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mTemp.path().c_str()));
        resetScopes();
        tree.collector().acquireParam(CString("plugin.modMain.gain"));
    }
    void TearDown() override {
        resetScopes();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }

    void storeMap(const LeBytes& bytes) {
        CAppData::localScope().write(CString("ccmap"), CByteBuffer(bytes.data(), bytes.size()), nullptr,
                                     kTagAppData);
    }

    // Builds the table below "plugin" as the description loader does; logged lines are captured.
    CAudioCCTable* build() {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.plugin(), "audio:cctable", "cctable", {})), "");
        return dynamic_cast<CAudioCCTable*>(object);
    }

    static int filledSlots(CAudioCCTable& table) {
        int filled = 0;
        for (int i = 0; i < CAudioCCTable::kSlotCount; ++i) filled += table.getSlot(i) != nullptr;
        return filled;
    }

    test::TempFolder mTemp;
    CString mSavedBundleFolder;
    CRegistryTestTree tree;
    CLogCapture log;
};

} // namespace

TEST_F(CAudioCCTableTest, WithoutStoredMapEverySlotIsEmptyAndNothingIsLogged) {
    CAudioCCTable* table = build();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(filledSlots(*table), 0);
    EXPECT_EQ(table->getSlot(-1), nullptr);
    EXPECT_EQ(table->getSlot(128), nullptr);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(CAudioCCTableTest, EntriesNamingObjectsAndParametersStillLeaveEverySlotEmpty) {
    // Paths of an object of the tree, of a parameter's full name, and of nothing.
    storeMap(LeBytes()
                 .i32(3)
                 .i32(1).str("shared::plugin.param-collector")
                 .i32(7).str("plugin.modMain.gain")
                 .i32(127).str("no.such.object"));
    CAudioCCTable* table = build();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(filledSlots(*table), 0);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(table->load(), nullptr);
}

TEST_F(CAudioCCTableTest, DamagedMapsLogOneErrorAndLeaveTheSlotsEmpty) {
    struct Case {
        const char* what;
        LeBytes bytes;
    };
    const std::vector<Case> cases = {
        {"cut short after its count", LeBytes().i32(2)},
        {"cut inside a path", LeBytes().i32(1).i32(4).i32(10).raw({'a', 'b'})},
        {"negative count", LeBytes().i32(-1).i32(0).i32(0)},
        {"count beyond the bytes left", LeBytes().i32(0x7FFFFFFF).i32(0).i32(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        storeMap(c.bytes);
        log.clear();
        CAudioCCTable* table = build();
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(filledSlots(*table), 0);
        EXPECT_FALSE(log.lines().empty());   // the error's message and trace lines
        CError* err = table->load();
        EXPECT_NE(err, nullptr);
        delete err;
        table->release();
    }
}

TEST_F(CAudioCCTableTest, ControllerNumbersOutsideTheTableAreSkippedAndTheRestIsRead) {
    storeMap(LeBytes()
                 .i32(4)
                 .i32(128).str("plugin.modMain.gain")
                 .i32(-1).str("plugin.modMain.gain")
                 .i32(100000).str("plugin")
                 .i32(5).str("plugin"));
    CAudioCCTable* table = build();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(filledSlots(*table), 0);
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);   // one line per skipped entry, no error for the valid one
    EXPECT_NE(lines[0].find("controller 128"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("controller -1"), std::string::npos) << lines[1];
    EXPECT_EQ(table->load(), nullptr);
}
