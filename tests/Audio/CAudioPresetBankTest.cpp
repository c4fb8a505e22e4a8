#include "Audio/CAudioPresetBank.h"

#include "Audio/CAudioPreset.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"
#include "support/PresetBytes.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tal;
using namespace tal::test;

namespace {

std::vector<std::string> presetNames(const CAudioPresetBank& bank) {
    std::vector<std::string> names;
    for (int i = 0; i < bank.getCount(); ++i) names.push_back(utf8Of(bank.getPreset(i)->getName()));
    return names;
}

CError* loadFrom(CAudioPresetBank& bank, const LeBytes& bytes) {
    CMemoryReader reader(bytes.data(), bytes.size());
    return bank.load(reader);
}

void addNamed(CAudioPresetBank& bank, const char* name, std::int32_t marker) {
    CAudioPreset* p = bank.addPreset();
    p->setName(name);
    const LeBytes state = LeBytes().i32(marker);
    p->setEntry("m", CByteBuffer(state.data(), state.size()));
}

} // namespace

TEST(CAudioPresetBank, RecordLayoutAndRoundTrip) {
    CAudioPresetBank bank;
    bank.setName("Factory ROM");
    addNamed(bank, "DLMR:One", 1);
    addNamed(bank, "DLMR:Two", 2);
    LeBytes expected;
    expected.str("Factory ROM").i32(2);
    appendEntry(expected.str("DLMR:One").i32(1), "m", LeBytes().i32(1));
    appendEntry(expected.str("DLMR:Two").i32(1), "m", LeBytes().i32(2));
    EXPECT_EQ(written([&](COutputStream& out) { ASSERT_EQ(bank.save(out), nullptr); }), expected.bytes());

    CAudioPresetBank back;
    ASSERT_EQ(loadFrom(back, expected), nullptr);
    EXPECT_EQ(utf8Of(back.getName()), "Factory ROM");
    EXPECT_EQ(presetNames(back), (std::vector<std::string>{"DLMR:One", "DLMR:Two"}));
    EXPECT_EQ(bytesOf(*back.getPreset(1)->findEntry("m")), LeBytes().i32(2).bytes());
}

TEST(CAudioPresetBank, ZeroCountGivesNameAndNoPresets) {
    CAudioPresetBank bank;
    addNamed(bank, "old", 1);
    ASSERT_EQ(loadFrom(bank, LeBytes().str("Empty").i32(0)), nullptr);
    EXPECT_EQ(utf8Of(bank.getName()), "Empty");
    EXPECT_EQ(bank.getCount(), 0);
}

TEST(CAudioPresetBank, DamagedRecordsFailAndLeaveTheBankAsItWas) {
    LeBytes secondCut;
    secondCut.str("B").i32(2);
    appendEntry(secondCut.str("P:1").i32(1), "m", LeBytes().i32(1));
    secondCut.str("P:2").i32(1).str("m");   // the second preset ends inside its entry
    struct Case {
        const char* what;
        LeBytes bytes;
    };
    const Case cases[] = {
        {"negative preset count", LeBytes().str("B").i32(-2)},
        {"count beyond the bytes left", LeBytes().str("B").i32(1 << 30).i32(0).i32(0)},
        {"second preset truncated", secondCut},
        {"count missing", LeBytes().str("B")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAudioPresetBank bank;
        bank.setName("Session Bank");
        addNamed(bank, "X:keep", 3);
        CError* err = loadFrom(bank, c.bytes);
        ASSERT_NE(err, nullptr);
        delete err;
        EXPECT_EQ(utf8Of(bank.getName()), "Session Bank");
        EXPECT_EQ(presetNames(bank), std::vector<std::string>{"X:keep"});
    }
}

TEST(CAudioPresetBank, CopySortedIgnoresLetterCase) {
    CAudioPresetBank bank;
    bank.setName("Mine");
    for (const char* name : {"c", "b", "A", "B2"}) addNamed(bank, name, 0);
    CAudioPresetBank sorted;
    addNamed(sorted, "dropped", 0);
    bank.copySorted(sorted);
    EXPECT_EQ(utf8Of(sorted.getName()), "Mine");
    EXPECT_EQ(presetNames(sorted), (std::vector<std::string>{"A", "b", "B2", "c"}));
    EXPECT_EQ(presetNames(bank), (std::vector<std::string>{"c", "b", "A", "B2"}));
    EXPECT_NE(sorted.getPreset(0), bank.getPreset(2));   // copies, not shared presets
}

TEST(CAudioPresetBank, ResizeAndCopyPresets) {
    CAudioPresetBank bank;
    bank.setName("Kept");
    addNamed(bank, "a", 1);
    bank.resize(3);
    EXPECT_EQ(presetNames(bank), (std::vector<std::string>{"a", "", ""}));
    EXPECT_EQ(bank.getPreset(2)->getEntryCount(), 0);
    bank.resize(-1);
    EXPECT_EQ(bank.getCount(), 0);
    EXPECT_EQ(bank.getPreset(0), nullptr);

    CAudioPresetBank source;
    addNamed(source, "x", 7);
    addNamed(source, "y", 8);
    bank.copyPresets(source);
    EXPECT_EQ(utf8Of(bank.getName()), "Kept");
    EXPECT_EQ(presetNames(bank), (std::vector<std::string>{"x", "y"}));
    source.getPreset(0)->clearEntries();
    EXPECT_EQ(bank.getPreset(0)->getEntryCount(), 1);
}

TEST(CAudioPresetBank, CompressedRoundTrip) {
    CAudioPresetBank bank;
    bank.setName("B");
    addNamed(bank, "P:1", 5);
    CWriteSeqBuffer out;
    ASSERT_EQ(bank.saveCompressed(out), nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    CAudioPresetBank back;
    CMemoryReader reader(bytes.data(), bytes.size());
    ASSERT_EQ(back.loadCompressed(reader), nullptr);
    EXPECT_EQ(presetNames(back), std::vector<std::string>{"P:1"});

    // A preset file is refused as a bank by its record tag.
    CAudioPreset preset;
    CWriteSeqBuffer presetOut;
    ASSERT_EQ(preset.saveCompressed(presetOut), nullptr);
    CByteBuffer presetBytes;
    presetOut.moveTo(presetBytes);
    CMemoryReader wrong(presetBytes.data(), presetBytes.size());
    CError* err = back.loadCompressed(wrong);
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(presetNames(back), std::vector<std::string>{"P:1"});
}
