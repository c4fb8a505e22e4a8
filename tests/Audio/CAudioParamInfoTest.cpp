#include "Audio/CAudioParamInfo.h"

#include "Audio/CAudioParamDef.h"
#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CMemoryReader.h"
#include "Core/CSystem.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"
#include "support/ParamTestTree.h"
#include "support/RecordBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace tal {
namespace {

const CAudioParamDef* define(CParamTestTree& tree, const char* name, AttrList attrs) {
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.audio(), "audio:param", name, attrs)), "");
    return dynamic_cast<const CAudioParamDef*>(object);
}

std::vector<std::uint8_t> recordOf(const CAudioParamInfo& info) {
    CWriteSeqBuffer out;
    EXPECT_EQ(takeMessage(info.save(out)), "");
    return bytesOf(out);
}

CError* loadInto(CAudioParamInfo*& slot, const std::vector<std::uint8_t>& bytes) {
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    return CAudioParamInfo::loadNew(slot, in);
}

TEST(CAudioParamInfo, GainDefinitionRecordIsByteExact) {
    CParamTestTree tree;
    const CAudioParamDef* def = define(tree, "gain", {{"element-size", "1"},
                                                      {"converter", "shared::audio.paramcvt.gain"},
                                                      {"min-values", "-30"},
                                                      {"max-values", "30"},
                                                      {"def-values", "0"},
                                                      {"visual-name", "Gain"},
                                                      {"is-storable", "true"},
                                                      {"is-single-group", "true"}});
    ASSERT_NE(def, nullptr);
    const LeBytes expected = LeBytes()
                                 .i32(1)                                   // version
                                 .i32(1).i32(1).i32(0)                     // global, storable, persistent
                                 .str("Gain").str(textOf(def->getFullName())).str("")
                                 .i32(1).i32(0).i32(1).i32(0)              // element size, type, layout
                                 .str("shared::audio.paramcvt.gain")
                                 .f64(std::exp(-30 / 8.685889638065037)).f64(std::exp(30 / 8.685889638065037))
                                 .i32(0)                                   // state names
                                 .i32(0)                                   // switch values
                                 .i32(1).i32(1).i32(0).i32(1).i32(1).f64(1.0);   // default storage
    EXPECT_EQ(recordOf(def->getInfo()), expected.bytes());
}

TEST(CAudioParamInfo, StringDefinitionRecordCarriesTheItemRange) {
    CParamTestTree tree;
    const CAudioParamDef* def = define(tree, "names", {{"element-size", "1"},
                                                       {"data-type", "string"},
                                                       {"converter", "shared::audio.paramcvt.text"},
                                                       {"def-values", "L,R"},
                                                       {"is-persistent", "true"}});
    ASSERT_NE(def, nullptr);
    const LeBytes expected = LeBytes()
                                 .i32(1).i32(1).i32(0).i32(1)
                                 .str("").str(textOf(def->getFullName())).str("")
                                 .i32(1).i32(1).i32(0).i32(0)
                                 .str("shared::audio.paramcvt.text").f64(0.0).f64(8388608.0)
                                 .i32(0).i32(0)
                                 .i32(1).i32(1).i32(1).i32(1)                                 // storage header
                                 .i32(2).i32(1).i32(1).str("L").i32(2).i32(1).str("R")         // its items
                                 .i32(2).i32(1).i32(2);                                       // group 0
    EXPECT_EQ(recordOf(def->getInfo()), expected.bytes());
}

TEST(CAudioParamInfo, SaveLoadSaveGivesTheSameBytes) {
    CParamTestTree tree;
    const CAudioParamDef* def = define(tree, "mode", {{"element-size", "2"},
                                                      {"converter", "shared::audio.paramcvt.enum"},
                                                      {"converter2", "shared::audio.paramcvt.freq"},
                                                      {"min-values", "0 20"},
                                                      {"max-values", "3 20k"},
                                                      {"def-values", "1 1k,2 50;0 100"},
                                                      {"state-names", "A|a;Bee;Cee|c"},
                                                      {"switch-values", "0"},
                                                      {"switch-names", "Off"},
                                                      {"param-registry", "plugin.param-registry"},
                                                      {"is-single-element", "true"}});
    ASSERT_NE(def, nullptr);
    const std::vector<std::uint8_t> first = recordOf(def->getInfo());
    CAudioParamInfo* loaded = nullptr;
    ASSERT_EQ(takeMessage(loadInto(loaded, first)), "");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(recordOf(*loaded), first);
    EXPECT_EQ(loaded->getConverter(1), def->getInfo().getConverter(1));   // the same shared converter objects
    EXPECT_DOUBLE_EQ(loaded->getMaximum(1), 20000.0);
    EXPECT_EQ(loaded->getDefaultValues().getGroupCount(), 2);
    EXPECT_EQ(loaded->getDefaultValues().getDefaultCount(), 4);
    EXPECT_TRUE(loaded->getDefaultValues().equals(def->getInfo().getDefaultValues()));
    EXPECT_EQ(textOf(loaded->getStateShortNames()[2]), "c");
    delete loaded;
}

TEST(CAudioParamInfo, RefusedRecordsEmptyTheSlot) {
    CParamTestTree tree;
    const CAudioParamDef* def = define(tree, "g", {{"element-size", "1"},
                                                   {"converter", "shared::audio.paramcvt.gain"},
                                                   {"min-values", "-30"},
                                                   {"max-values", "30"},
                                                   {"def-values", "0"}});
    ASSERT_NE(def, nullptr);
    const std::vector<std::uint8_t> good = recordOf(def->getInfo());

    std::vector<std::uint8_t> version2 = good;
    version2[0] = 2;
    std::vector<std::uint8_t> renamed = good;
    const std::string path = "shared::audio.paramcvt.gain";
    const std::string wrong = "shared::audio.paramcvt.gaim";
    const auto at = std::search(renamed.begin(), renamed.end(), path.begin(), path.end());
    ASSERT_NE(at, renamed.end());
    std::copy(wrong.begin(), wrong.end(), at);
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 3);
    std::vector<std::uint8_t> badSize = good;
    badSize[4 * 4 + 4 + 4 + textOf(def->getFullName()).size() + 4] = 0;   // element size 0

    struct Case {
        const char* name;
        const std::vector<std::uint8_t>& bytes;
        const char* message;
    } cases[] = {
        {"version 2", version2, "Unsupported data set version 2."},
        {"unknown converter", renamed, "Audio parameter converter 'shared::audio.paramcvt.gaim' not found."},
        {"truncated", truncated, ""},
        {"element size 0", badSize, "Invalid parameter format (esize=0, dtype=0)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioParamInfo* slot = new CAudioParamInfo();
        const std::string message = takeMessage(loadInto(slot, c.bytes));
        EXPECT_NE(message, "");
        if (c.message[0] != 0) {
            EXPECT_EQ(message, c.message);
        }
        EXPECT_EQ(slot, nullptr);
    }
}

TEST(CAudioParamInfo, FailedLoadLeavesAnExistingInfoUnchanged) {
    CParamTestTree tree;
    const CAudioParamDef* def = define(tree, "g", {{"element-size", "1"},
                                                   {"converter", "shared::audio.paramcvt.real"},
                                                   {"min-values", "0"},
                                                   {"max-values", "1"},
                                                   {"def-values", "0.25"}});
    ASSERT_NE(def, nullptr);
    const std::vector<std::uint8_t> good = recordOf(def->getInfo());
    CAudioParamInfo info;
    {
        CMemoryReader in(good.data(), std::int32_t(good.size()));
        ASSERT_EQ(takeMessage(info.load(in)), "");
    }
    const std::vector<std::uint8_t> cut(good.begin(), good.end() - 8);
    CMemoryReader in(cut.data(), std::int32_t(cut.size()));
    EXPECT_NE(takeMessage(info.load(in)), "");
    EXPECT_EQ(recordOf(info), good);
}

TEST(CAudioParamInfo, StateNamesFromAListRecordOfPresetNames) {
    const LeBytes list = LeBytes()
                             .i32(1).str("bank").i32(4)
                             .str("TLIO:Stereo").i32(0)
                             .str("TLIO: Mid side ; M/S pair ;").i32(1).str("entry").i32(2).raw({1, 2})
                             .str("NoColon").i32(0)
                             .str("TLIO:").i32(0);
    CAudioParamInfo info;
    CMemoryReader in(list.data(), list.size());
    ASSERT_EQ(takeMessage(info.parseStateNameList(in)), "");
    const char* full[] = {"Stereo", "Mid side", "NoColon", ""};
    const char* shortNames[] = {"Stereo", "M/S pai", "NoColon", ""};
    ASSERT_EQ(info.getStateNames().count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(textOf(info.getStateNames()[i]), full[i]);
        EXPECT_EQ(textOf(info.getStateShortNames()[i]), shortNames[i]);
    }

    const LeBytes none = LeBytes().i32(0);
    CMemoryReader noneIn(none.data(), none.size());
    ASSERT_EQ(takeMessage(info.parseStateNameList(noneIn)), "");
    EXPECT_EQ(info.getStateNames().count(), 0);

    const LeBytes cut = LeBytes().i32(1).str("bank").i32(2).str("A:x").i32(0);
    CMemoryReader cutIn(cut.data(), cut.size());
    EXPECT_NE(takeMessage(info.parseStateNameList(cutIn)), "");
}

TEST(CAudioParamInfo, AnAbsentStateNamesItemIsAnError) {
    CAudioParamInfo info;
    EXPECT_EQ(takeMessage(info.parseStateNames(CString("@no-such-item"))),
              "No state names data available in '@no-such-item'.");
    EXPECT_EQ(takeMessage(info.parseStateNames(CString("@/no-such-item"))),
              "No state names data available in '@/no-such-item'.");
}

// "@item" reads the local application-data scope, "@/item" the global one, each under the list
// tag; the item's preset names become the state names.
TEST(CAudioParamInfo, StateNamesFromApplicationDataItems) {
    test::TempFolder temp;
    CSystem::setUserPreferencesFolderForTest(CString((temp.path() + "/prefs").c_str()));
    CAppData::localScope().resetForTest();
    CAppData::globalScope().resetForTest();
    const auto bytesOf = [](const LeBytes& b) { return CByteBuffer(b.data(), b.size()); };
    const std::uint32_t listTag = 0x74736c61;  // "alst"
    CAppData::localScope().write(CString("local-states"),
                                 bytesOf(LeBytes().i32(1).str("bank").i32(2).str("A:Low shelf|x").i32(0).str("B:Peak").i32(0)),
                                 nullptr, listTag);
    CAppData::globalScope().write(CString("global-states"),
                                  bytesOf(LeBytes().i32(1).str("bank").i32(1).str("G:Global one;Glob").i32(0)), nullptr,
                                  listTag);
    CAppData::localScope().write(CString("other-tag"), bytesOf(LeBytes().i32(0)), nullptr, 0x12345678);

    CAudioParamInfo info;
    ASSERT_EQ(takeMessage(info.parseStateNames(CString("@local-states"))), "");
    ASSERT_EQ(info.getStateNames().count(), 2);
    EXPECT_EQ(textOf(info.getStateNames()[0]), "Low shelf|x");
    EXPECT_EQ(textOf(info.getStateNames()[1]), "Peak");
    ASSERT_EQ(takeMessage(info.parseStateNames(CString("@/global-states"))), "");
    ASSERT_EQ(info.getStateNames().count(), 1);
    EXPECT_EQ(textOf(info.getStateNames()[0]), "Global one");
    EXPECT_EQ(textOf(info.getStateShortNames()[0]), "Glob");
    // The global item is not in the local scope, nor the local one in the global scope, and an
    // item of another tag is no list.
    EXPECT_NE(takeMessage(info.parseStateNames(CString("@global-states"))), "");
    EXPECT_NE(takeMessage(info.parseStateNames(CString("@/local-states"))), "");
    EXPECT_NE(takeMessage(info.parseStateNames(CString("@other-tag"))), "");

    CAppData::localScope().resetForTest();
    CAppData::globalScope().resetForTest();
    CSystem::setUserPreferencesFolderForTest(CString());
}

TEST(CAudioParamInfo, SwitchLookupsUseOnlyTheFirstPair) {
    CAudioParamInfo info;
    CString name;
    double value = -1;
    EXPECT_FALSE(info.findSwitchName(name, 0.0));
    EXPECT_FALSE(info.findSwitchValue(CString("Off"), value));
    info.parseSwitchValues(CString("0,100"), CString("Off,Max"));
    EXPECT_TRUE(info.findSwitchName(name, 0.004));
    EXPECT_EQ(textOf(name), "Off");
    EXPECT_FALSE(info.findSwitchName(name, 0.006));
    EXPECT_FALSE(info.findSwitchName(name, 100.0));
    EXPECT_FALSE(info.findSwitchValue(CString("off"), value));
    EXPECT_FALSE(info.findSwitchValue(CString("Max"), value));
    EXPECT_TRUE(info.findSwitchValue(CString("Off"), value));
    EXPECT_DOUBLE_EQ(value, 0.0);

    CAudioParamInfo relative;
    relative.parseSwitchValues(CString("1000"), CString("Top"));
    EXPECT_TRUE(relative.findSwitchName(name, 1004.0));   // within 0.5 %
    EXPECT_FALSE(relative.findSwitchName(name, 1006.0));
    CAudioParamInfo negative;
    negative.parseSwitchValues(CString("-1000"), CString("Bottom"));
    EXPECT_FALSE(negative.findSwitchName(name, -1004.0));   // only the absolute tolerance
    EXPECT_TRUE(negative.findSwitchName(name, -1000.004));
}

} // namespace
} // namespace tal
