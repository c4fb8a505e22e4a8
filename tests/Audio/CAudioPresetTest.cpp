#include "Audio/CAudioPreset.h"

#include "Audio/CAudioParamStorage.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"
#include "support/LeBytes.h"
#include "support/PresetBytes.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tal;
using namespace tal::test;

namespace {

CByteBuffer bufferOf(const LeBytes& b) {
    return CByteBuffer(b.data(), b.size());
}

std::string textOf(const CString& s) {
    return utf8Of(s);
}

// The names of a preset's entries in map order.
std::vector<std::string> entryNames(const CAudioPreset& preset) {
    std::vector<std::string> names;
    for (auto* n = preset.getEntries().first(); n != nullptr; n = CAudioPreset::CEntryMap::next(n))
        names.push_back(textOf(n->key));
    return names;
}

CError* loadFrom(CAudioPreset& preset, const LeBytes& bytes) {
    CMemoryReader reader(bytes.data(), bytes.size());
    return preset.load(reader);
}

} // namespace

TEST(CAudioPreset, EmptyPresetIsNameAndZeroCount) {
    CAudioPreset preset;
    preset.setName("DLMR:Flat");
    const Bytes bytes = written([&](COutputStream& out) { ASSERT_EQ(preset.save(out), nullptr); });
    EXPECT_EQ(bytes, LeBytes().str("DLMR:Flat").i32(0).bytes());

    CAudioPreset back;
    back.setEntry("stale", bufferOf(LeBytes().i32(7)));
    CMemoryReader reader(bytes.data(), std::int32_t(bytes.size()));
    ASSERT_EQ(back.load(reader), nullptr);
    EXPECT_EQ(textOf(back.getName()), "DLMR:Flat");
    EXPECT_EQ(back.getEntryCount(), 0);
}

TEST(CAudioPreset, EntriesAreWrittenInByteOrderWhateverTheInsertionOrder) {
    const LeBytes a = LeBytes().i32(1), upperB = LeBytes().i32(2), lowerB = LeBytes().i32(3);
    CAudioPreset preset;
    preset.setName("X:y");
    preset.setEntry("b", bufferOf(lowerB));
    preset.setEntry("a", bufferOf(a));
    preset.setEntry("B", bufferOf(upperB));
    LeBytes expected;
    expected.str("X:y").i32(3);
    appendEntry(expected, "B", upperB);
    appendEntry(expected, "a", a);
    appendEntry(expected, "b", lowerB);
    EXPECT_EQ(written([&](COutputStream& out) { ASSERT_EQ(preset.save(out), nullptr); }), expected.bytes());
}

TEST(CAudioPreset, LargeEntriesAndRepeatedNamesReadBack) {
    std::vector<double> many(40);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = 0.25 * double(i);
    const LeBytes big = floatEntry("audio.modMain.x", {many});   // far beyond the 64 inline bytes
    const LeBytes first = LeBytes().i32(11), second = LeBytes().i32(22);
    LeBytes record;
    record.str("P:1").i32(3);
    appendEntry(record, "big", big);
    appendEntry(record, "dup", first);
    appendEntry(record, "dup", second);   // a repeated name replaces the earlier block

    CAudioPreset preset;
    ASSERT_EQ(loadFrom(preset, record), nullptr);
    EXPECT_EQ(entryNames(preset), (std::vector<std::string>{"big", "dup"}));
    EXPECT_EQ(bytesOf(*preset.findEntry("big")), big.bytes());
    EXPECT_EQ(bytesOf(*preset.findEntry("dup")), second.bytes());

    // Written again, the big entry comes back byte for byte.
    LeBytes expected;
    expected.str("P:1").i32(2);
    appendEntry(expected, "big", big);
    appendEntry(expected, "dup", second);
    EXPECT_EQ(written([&](COutputStream& out) { ASSERT_EQ(preset.save(out), nullptr); }), expected.bytes());
}

TEST(CAudioPreset, DamagedRecordsFailAndLeaveThePresetAsItWas) {
    const LeBytes state = LeBytes().i32(5);
    LeBytes twoOfThree;
    twoOfThree.str("P:cut").i32(3);
    appendEntry(twoOfThree, "a", state);
    appendEntry(twoOfThree, "b", state);
    LeBytes lengthBeyond;
    lengthBeyond.str("P:len").i32(1).str("a").i32(1000).i32(5);
    LeBytes negativeLength;
    negativeLength.str("P:neg").i32(1).str("a").i32(-4).i32(5);
    struct Case {
        const char* what;
        LeBytes bytes;
    };
    const Case cases[] = {
        {"count 3, stream ends after 2 entries", twoOfThree},
        {"negative entry count", LeBytes().str("P:n").i32(-1)},
        {"count beyond the bytes left", LeBytes().str("P:big").i32(0x7fffffff).i32(0).i32(0)},
        {"state length beyond the bytes left", lengthBeyond},
        {"negative state length", negativeLength},
        {"name cut short", LeBytes().i32(10).raw({'a', 'b'})},
        {"no count", LeBytes().str("P:x")},
        {"empty input", LeBytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAudioPreset preset;
        preset.setName("Keep:me");
        preset.setEntry("old", bufferOf(state));
        CError* err = loadFrom(preset, c.bytes);
        ASSERT_NE(err, nullptr);
        EXPECT_FALSE(takeMessage(err).empty());
        EXPECT_EQ(textOf(preset.getName()), "Keep:me");
        EXPECT_EQ(entryNames(preset), std::vector<std::string>{"old"});
    }
}

TEST(CAudioPreset, CountAndLengthErrorsNameWhatWasRead) {
    CAudioPreset preset;
    const LeBytes bytes = LeBytes().str("P:big").i32(1000).i32(0);
    EXPECT_EQ(takeMessage(loadFrom(preset, bytes)), "Damaged preset: 1000 entries announced, 4 bytes left.");
}

TEST(CAudioPreset, CompressedRecordRoundTripAndWrongTag) {
    CAudioPreset preset;
    preset.setName("DLMR:Warm");
    preset.setEntry("gain", bufferOf(floatEntry("audio.modMain.gain", {{0.5, 2.0}})));
    CWriteSeqBuffer out;
    ASSERT_EQ(preset.saveCompressed(out), nullptr);
    CByteBuffer record;
    out.moveTo(record);
    ASSERT_GE(record.size(), 12);
    EXPECT_EQ(LeBytes().i32(std::int32_t(kTagPreset)).bytes(), Bytes(record.data(), record.data() + 4));

    CAudioPreset back;
    CMemoryReader reader(record.data(), record.size());
    ASSERT_EQ(back.loadCompressed(reader), nullptr);
    EXPECT_EQ(textOf(back.getName()), "DLMR:Warm");
    ASSERT_NE(back.findEntry("gain"), nullptr);
    EXPECT_EQ(*back.findEntry("gain"), *preset.findEntry("gain"));

    // The same bytes read as a bank record's container are refused by their tag.
    record.data()[0] = 'a', record.data()[1] = 'b', record.data()[2] = 'n', record.data()[3] = 'k';
    CMemoryReader wrong(record.data(), record.size());
    CAudioPreset other;
    CError* err = other.loadCompressed(wrong);
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(other.getEntryCount(), 0);
}

TEST(CAudioPreset, LoadResourceReadsAFileAndReportsAMissingOne) {
    TempFolder folder;
    CAudioPreset preset;
    preset.setName("DLMR:File");
    preset.setEntry("x", bufferOf(LeBytes().i32(1)));
    CWriteSeqBuffer out;
    ASSERT_EQ(preset.saveCompressed(out), nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    writeWholeFile(folder.file("a.cpf"), std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

    CAudioPreset back;
    ASSERT_EQ(back.loadResource(CString(folder.file("a.cpf").c_str())), nullptr);
    EXPECT_EQ(textOf(back.getName()), "DLMR:File");
    EXPECT_EQ(back.getEntryCount(), 1);

    CError* err = back.loadResource(CString(folder.file("missing.cpf").c_str()));
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(textOf(back.getName()), "DLMR:File");
}

TEST(CAudioPreset, CopyEntriesIsDeep) {
    CAudioPreset a;
    a.setName("A:1");
    a.setEntry("e", bufferOf(LeBytes().i32(1)));
    CAudioPreset b;
    b.setName("B:2");
    b.setEntry("gone", bufferOf(LeBytes().i32(9)));
    b.copyEntries(a.getEntries());
    a.setEntry("e", bufferOf(LeBytes().i32(2)));
    EXPECT_EQ(textOf(b.getName()), "B:2");
    EXPECT_EQ(entryNames(b), std::vector<std::string>{"e"});
    EXPECT_EQ(bytesOf(*b.findEntry("e")), LeBytes().i32(1).bytes());
}

TEST(CAudioPreset, DecodeEntryGivesDefinitionAndValues) {
    CString definition;
    CAudioParamStorage storage;
    ASSERT_EQ(CAudioPreset::decodeEntry(bufferOf(floatEntry("audio.modMain.gain", {{1.5, -2.0}, {}})), definition,
                                        storage),
              nullptr);
    EXPECT_EQ(textOf(definition), "audio.modMain.gain");
    ASSERT_EQ(storage.getGroupCount(), 2);
    EXPECT_EQ(storage.getElementCount(0), 2);
    EXPECT_EQ(storage.getValue(0, 1, 0), -2.0);
    EXPECT_EQ(storage.getElementCount(1), 0);

    // A header that claims an impossible element size is refused before anything is read.
    LeBytes bad;
    bad.str("d").i32(1).i32(-3).i32(0).i32(1).i32(1).f64(1.0);
    CError* err = CAudioPreset::decodeEntry(bufferOf(bad), definition, storage);
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(storage.getGroupCount(), 0);
}

TEST(CAudioPreset, IOCompatibilityFollowsTheRoutingEntries) {
    struct Case {
        const char* what;
        const char* entry;      // null: no routing entry
        LeBytes state;
        bool needsMidSide;      // compatible only with mid-side available
        bool needsSideChain;    // compatible only with the side chain available
    };
    const Case cases[] = {
        {"no routing entries", nullptr, {}, false, false},
        {"ms-pairs 0,0,1", "ms-pairs", floatEntry("d", {{0, 0, 1}}), true, false},
        {"ms-pairs 0.4 rounds to 0", "ms-pairs", floatEntry("d", {{0.4, -0.4}}), false, false},
        {"ms-pairs -0.5 rounds away from zero", "ms-pairs", floatEntry("d", {{-0.5}}), true, false},
        {"sidechain 0,1,2 is the identity", "sidechain", floatEntry("d", {{0, 1, 2}}), false, false},
        {"sidechain 0,2", "sidechain", floatEntry("d", {{0, 2}}), false, true},
        {"sidechain-mute 0,1", "sidechain-mute", floatEntry("d", {{0, 1}}), false, true},
        {"ms-pairs without groups", "ms-pairs", floatEntry("d", {}), false, false},
        {"ms-pairs that does not decode", "ms-pairs", LeBytes().str("d").i32(99), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAudioPreset preset;
        if (c.entry != nullptr) preset.setEntry(c.entry, bufferOf(c.state));
        EXPECT_TRUE(preset.checkIOCompatibility(true, true));
        EXPECT_EQ(preset.checkIOCompatibility(false, true), !c.needsMidSide);
        EXPECT_EQ(preset.checkIOCompatibility(true, false), !c.needsSideChain);
    }
}
