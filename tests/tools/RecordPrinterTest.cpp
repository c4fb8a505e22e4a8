#include "RecordPrinter.h"

#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"
#include "support/PresetBytes.h"
#include "support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using namespace tal;
using namespace tal::test;
using namespace delmaro_tool;
using ::testing::HasSubstr;

namespace {

CByteBuffer bufferOf(const LeBytes& b) {
    return CByteBuffer(b.data(), b.size());
}

template <class T>
std::string compressed(const T& record) {
    CWriteSeqBuffer out;
    CError* err = record.saveCompressed(out);
    EXPECT_EQ(err, nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    return std::string(reinterpret_cast<const char*>(bytes.data()), std::size_t(bytes.size()));
}

bool inspect(const std::string& bytes, std::string& out, std::string& error) {
    return inspectRecordBytes(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()), out, error);
}

// A string entry: definition name, storage record of data type 1 with one item "Warm" (id 1).
LeBytes stringEntry() {
    LeBytes b;
    b.str("audio.modMain.preset-name").i32(1).i32(1).i32(1).i32(1);   // version, esize, string, 1 group
    b.i32(1).i32(1).i32(1).str("Warm");                                 // table: 1 item, id 1, type string
    b.i32(1).i32(1);                                                    // group 0: 1 element, id 1
    return b;
}

} // namespace

TEST(RecordInspect, PresetShowsEveryEntryWithDefinitionAndValues) {
    CAudioPreset preset;
    preset.setName("DLMR:Warm");
    preset.setEntry("gain", bufferOf(floatEntry("audio.modMain.modDelmaro.eq-params.gain", {{1.5, -3}, {}})));
    preset.setEntry("bypass-enable", bufferOf(floatEntry("audio.modMain.bypass-enable", {{0}})));
    std::string out, error;
    ASSERT_TRUE(inspect(compressed(preset), out, error)) << error;
    EXPECT_EQ(out,
              "preset \"DLMR:Warm\", 2 entries\n"
              "  \"bypass-enable\" = \"audio.modMain.bypass-enable\" float, 1 group(s)\n"
              "    [0] 0\n"
              "  \"gain\" = \"audio.modMain.modDelmaro.eq-params.gain\" float, 2 group(s)\n"
              "    [0] 1.5, -3\n"
              "    [1] (empty)\n");
}

TEST(RecordInspect, BankListsItsPresets) {
    CAudioPresetBank bank;
    bank.setName("Factory ROM");
    bank.addPreset()->setName("DLMR:Default");
    CAudioPreset* second = bank.addPreset();
    second->setName("DLMR:Named");
    second->setEntry("preset-name", bufferOf(stringEntry()));
    std::string out, error;
    ASSERT_TRUE(inspect(compressed(bank), out, error)) << error;
    EXPECT_EQ(out,
              "bank \"Factory ROM\", 2 presets\n"
              "  #0 preset \"DLMR:Default\", 0 entries\n"
              "  #1 preset \"DLMR:Named\", 1 entries\n"
              "  \"preset-name\" = \"audio.modMain.preset-name\" string, 1 group(s)\n"
              "    [0] \"Warm\"\n");
}

TEST(RecordInspect, DamagedFilesAreReportedClearly) {
    CAudioPreset preset;
    preset.setName("DLMR:Cut");
    preset.setEntry("gain", bufferOf(floatEntry("audio.x", {{1, 2, 3}})));
    const std::string whole = compressed(preset);
    CAudioPreset badEntry;
    badEntry.setName("DLMR:Bad");
    badEntry.setEntry("gain", bufferOf(LeBytes().str("audio.x").i32(1).i32(1)));
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"record cut in half", whole.substr(0, whole.size() / 2), "damaged preset or state record"},
        {"header cut short", whole.substr(0, 6), "damaged preset or state record"},
        {"three bytes", whole.substr(0, 3), "too short"},
        {"unknown tag", "abcdefghijklmnop", "not a preset, bank or plug-in state record (record tag 'abcd')"},
        {"damaged entry", compressed(badEntry), "entry \"gain\" is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out, error;
        EXPECT_FALSE(inspect(c.bytes, out, error));
        EXPECT_THAT(error, HasSubstr(c.reason));
    }
}

TEST(RecordInspect, FileErrorsNameTheFile) {
    TempFolder folder;
    std::string out, error;
    EXPECT_FALSE(inspectRecordFile(folder.file("none.cpf"), out, error));
    EXPECT_THAT(error, HasSubstr("cannot open '" + folder.file("none.cpf") + "'"));

    CAudioPreset preset;
    preset.setName("DLMR:F");
    writeWholeFile(folder.file("ok.cpf"), compressed(preset));
    out.clear();
    ASSERT_TRUE(inspectRecordFile(folder.file("ok.cpf"), out, error)) << error;
    EXPECT_EQ(out, "preset \"DLMR:F\", 0 entries\n");
}
