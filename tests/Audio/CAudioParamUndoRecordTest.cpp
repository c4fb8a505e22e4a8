#include "Audio/CAudioParamUndoRecord.h"

#include "Audio/CAudioParamLock.h"
#include "support/ParamChangeHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CAudioParamUndoRecordFixture : public ::testing::Test {
protected:
    CAudioParam* bound(const char* name, const CAudioParamInfo& info) {
        CAudioParam* p = collector.acquireParam(CString(name));
        p->setInfo(&info, nullptr, {});
        handOff(collector);
        return p;
    }
    void set(CAudioParam* p, CAudioParamUndoRecord& record, int group, int first, const std::vector<double>& v,
             bool truncate = false) {
        CAudioParamContext ctx;
        ctx.undo = &record;
        p->applyChange(floatChange(group, first, v, truncate), nullptr, ctx);
    }

    std::unique_ptr<CAudioParamInfo> gainInfo = makeFloatInfo("audio.gain", {{1, 2, 3}});
    std::unique_ptr<CAudioParamInfo> freqInfo = makeFloatInfo("audio.freq", {{100}});
    std::unique_ptr<CAudioParamInfo> bwInfo = makeFloatInfo("audio.bw", {{1}});
    CAudioParamCollector collector;
    CAudioParam* gain = bound("plugin.gain", *gainInfo);
    CAudioParam* freq = bound("plugin.freq", *freqInfo);
    CAudioParam* bw = bound("plugin.bw", *bwInfo);
};

TEST_F(CAudioParamUndoRecordFixture, FirstCaptureBeforeWinsAndTheLastCaptureAfterStays) {
    CAudioParamUndoRecord record(CString("drag"));
    set(gain, record, 0, 0, {10});
    set(gain, record, 0, 1, {20});
    set(gain, record, 0, 0, {30});
    ASSERT_EQ(record.snapshotCount(), 1);
    const CAudioParamUndoSnapshot& s = *record.findEntry(CString("plugin.gain"))->snapshot(0);
    EXPECT_EQ(std::vector<double>(s.before.begin(), s.before.end()), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(std::vector<double>(s.after.begin(), s.after.end()), (std::vector<double>{30, 20, 3}));

    record.applyUndo(collector);
    EXPECT_EQ(groupValues(gain->getCurrent(), 0), (std::vector<double>{1, 2, 3}));
    record.applyRedo(collector);
    EXPECT_EQ(groupValues(gain->getCurrent(), 0), (std::vector<double>{30, 20, 3}));
    // The replay reaches the audio side too.
    handOff(collector);
    EXPECT_TRUE(gain->getAudioSide().equals(gain->getCurrent()));
}

TEST_F(CAudioParamUndoRecordFixture, UndoTruncatesAnAppendedElementAndEmptiesANewGroup) {
    CAudioParamUndoRecord record(CString("append"));
    set(gain, record, 0, 3, {4});
    set(gain, record, 2, 0, {7, 8});
    const CAudioParamUndoEntry* entry = record.findEntry(CString("plugin.gain"));
    ASSERT_EQ(entry->snapshotCount(), 2);
    EXPECT_EQ(entry->snapshot(0)->beforeCount, 3);
    EXPECT_EQ(entry->snapshot(0)->afterCount, 4);
    EXPECT_EQ(entry->snapshot(1)->beforeCount, 0);  // group 2 did not exist

    record.applyUndo(collector);
    EXPECT_EQ(groupValues(gain->getCurrent(), 0), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(gain->getCurrent().getElementCount(2), 0);
    record.applyRedo(collector);
    EXPECT_EQ(groupValues(gain->getCurrent(), 0), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(groupValues(gain->getCurrent(), 2), (std::vector<double>{7, 8}));
}

TEST_F(CAudioParamUndoRecordFixture, ReplayIsSentByTheRecordAndNotRecordedAgain) {
    struct Senders : CAudioParamListener {
        std::vector<const void*> seen;
        std::vector<bool> recorded;
        void onParamChange(const CAudioParamUpdateInfo& info) override {
            seen.push_back(info.sender);
            recorded.push_back(info.context.undo != nullptr);
        }
    } listener;
    CAudioParamUndoRecord record(CString("x"));
    set(freq, record, 0, 0, {200});
    freq->addListener(&listener);
    record.applyUndo(collector);
    freq->removeListener(&listener);
    ASSERT_EQ(listener.seen.size(), 1u);
    EXPECT_EQ(listener.seen[0], &record);
    EXPECT_FALSE(listener.recorded[0]);
}

TEST_F(CAudioParamUndoRecordFixture, CaptureAfterInAnotherLayoutKeepsTheAfterValues) {
    CAudioParamUndoRecord record(CString("x"));
    set(freq, record, 0, 0, {200});
    CAudioParamStorage other;
    other.setFormat(2, CAudioParamStorage::kTypeFloat, false, false);
    const std::vector<double> pair{5, 6};
    other.applyChange(floatChange(0, 0, pair));
    record.captureAfter(CString("plugin.freq"), 0, other, false);
    const CAudioParamUndoSnapshot& s = *record.findEntry(CString("plugin.freq"))->snapshot(0);
    EXPECT_EQ(std::vector<double>(s.after.begin(), s.after.end()), (std::vector<double>{200}));
}

TEST_F(CAudioParamUndoRecordFixture, ParametersThatAreNeitherStorableNorPersistentRecordNothing) {
    auto info = makeFloatInfo("audio.meter", {{0}}, /*storable*/ false);
    CAudioParam* meter = bound("plugin.meter", *info);
    CAudioParamUndoRecord record(CString("x"));
    set(meter, record, 0, 0, {1});
    EXPECT_EQ(record.snapshotCount(), 0);
    EXPECT_EQ(groupValues(meter->getCurrent(), 0), (std::vector<double>{1}));
}

TEST_F(CAudioParamUndoRecordFixture, MergeNeedsTheSameParametersGroupsAndAfterCounts) {
    struct Case {
        const char* name;
        std::vector<std::pair<CAudioParam*, int>> newerTouches;  // parameter, group
        bool merges;
    };
    const std::vector<Case> cases = {
        {"same two parameters, group 0", {{gain, 0}, {freq, 0}}, true},
        {"a third parameter as well", {{gain, 0}, {freq, 0}, {bw, 0}}, false},
        {"group 1 instead of group 0", {{gain, 1}, {freq, 1}}, false},
        {"only one of the two", {{gain, 0}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioParamUndoRecord older(CString("older"), true, 7);
        set(gain, older, 0, 0, {11}, true);
        set(freq, older, 0, 0, {110}, true);
        CAudioParamUndoRecord newer(CString("newer"), true, 7);
        for (const auto& [p, g] : c.newerTouches)
            set(p, newer, g, 0, {p == gain ? 12.0 : 120.0}, true);
        EXPECT_EQ(older.mergeFrom(newer), c.merges);
        const CAudioParamUndoSnapshot& s = *older.findEntry(CString("plugin.gain"))->snapshot(0);
        EXPECT_EQ(s.after[0], c.merges ? 12.0 : 11.0);
        // Put the parameters back for the next row.
        newer.applyUndo(collector);
        older.applyUndo(collector);
    }
}

TEST_F(CAudioParamUndoRecordFixture, StringSnapshotsKeepTheirOwnItems) {
    auto info = makeStringInfo("audio.name", {"Init"});
    CAudioParam* name = bound("plugin.name", *info);
    CAudioParamUndoRecord record(CString("rename"));
    CAudioParamContext ctx;
    ctx.undo = &record;
    name->setString(0, 0, CString("First"), nullptr, nullptr, ctx);
    name->setString(0, 0, CString("Second"), nullptr, nullptr, ctx);
    // The parameter's own items of "Init" and "First" are gone; the record still has copies.
    name->setString(0, 0, CString("Third"), nullptr, nullptr, {});
    record.applyUndo(collector);
    EXPECT_EQ(groupTexts(name->getCurrent(), 0), (std::vector<std::string>{"Init"}));
    record.applyRedo(collector);
    EXPECT_EQ(groupTexts(name->getCurrent(), 0), (std::vector<std::string>{"Second"}));

    // A merged copy keeps valid ids too, after the newer record is gone.
    CAudioParamUndoRecord older(CString("a"), true, 1);
    name->setString(0, 0, CString("Fourth"), nullptr, nullptr, {&older, nullptr, false});
    {
        CAudioParamUndoRecord newer(CString("b"), true, 1);
        name->setString(0, 0, CString("Fifth"), nullptr, nullptr, {&newer, nullptr, false});
        ASSERT_TRUE(older.mergeFrom(newer));
    }
    CAudioParamUndoRecord* copy = older.clone();
    copy->applyUndo(collector);
    EXPECT_EQ(groupTexts(name->getCurrent(), 0), (std::vector<std::string>{"Second"}));
    copy->applyRedo(collector);
    EXPECT_EQ(groupTexts(name->getCurrent(), 0), (std::vector<std::string>{"Fifth"}));
    delete copy;
}

TEST_F(CAudioParamUndoRecordFixture, GetEntriesListsTheTouchedSetsInNameOrder) {
    CAudioParamUndoRecord record(CString("x"));
    record.acquireEntry(CString("plugin.b"))->touched().findOrAdd(1 * 256 + 0);
    record.acquireEntry(CString("plugin.a"))->touched().findOrAdd(2 * 256 + 3);
    CArray<CAudioParamUndoEntry::TouchedSet*> sets;
    record.getEntries(sets);
    ASSERT_EQ(sets.count(), 2);
    EXPECT_NE(sets[0]->find(2 * 256 + 3), nullptr);  // "plugin.a" first
    EXPECT_NE(sets[1]->find(1 * 256 + 0), nullptr);
}

} // namespace
} // namespace tal
