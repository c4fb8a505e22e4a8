#include "Audio/CAudioParamUndo.h"

#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamUndoHistory.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "support/ParamChangeHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// Counts the history-changed hook.
class CountingUndo : public CAudioParamUndo {
public:
    int changes = 0;
    void onHistoryChanged() override { ++changes; }
};

// An undo object as a root, initialised from an optional undo-count-max text.
CountingUndo* makeUndo(const char* countMax) {
    auto* undo = new CountingUndo;
    undo->initRoot(nullptr);
    if (countMax != nullptr) {
        EXPECT_EQ(undo->setAttr(CString("undo-count-max"), CString(countMax), false), nullptr);
    }
    CError* err = undo->init();
    EXPECT_EQ(err, nullptr);
    delete err;
    return undo;
}

class CAudioParamUndoFixture : public ::testing::Test {
protected:
    void SetUp() override {
        undo = makeUndo("4");
        undo->setCollector(&collector);
        for (CAudioParam* p : {a, b}) {
            p->setInfo(info.get(), nullptr, {});
        }
    }
    void TearDown() override { undo->release(); }

    // A record named name that sets group 0 of a parameter to v.
    CAudioParamUndoRecord* step(const char* name, CAudioParam* p, double v, bool mergeable = false, int key = -1) {
        auto* record = new CAudioParamUndoRecord(CString(name), mergeable, key);
        const std::vector<double> values{v};
        p->applyChange(floatChange(0, 0, values, true), nullptr, {record, nullptr, false});
        return record;
    }
    std::vector<std::string> names() {
        CStringList list;
        std::int32_t position = -1;
        undo->getHistory(list, position);
        std::vector<std::string> out;
        for (int i = 0; i < list.count(); ++i)
            out.push_back(std::string(list[i].narrowed().chars8()));
        out.push_back("@" + std::to_string(position));
        return out;
    }
    double valueOf(CAudioParam* p) { return p->getCurrent().getValue(0, 0, 0); }

    std::unique_ptr<CAudioParamInfo> info = makeFloatInfo("audio.v", {{0}});
    CAudioParamCollector collector;
    CAudioParam* a = collector.acquireParam(CString("plugin.a"));
    CAudioParam* b = collector.acquireParam(CString("plugin.b"));
    CountingUndo* undo = nullptr;
};

TEST(CAudioParamUndo, LimitBelowFiveBecomesFour) {
    const std::pair<const char*, int> cases[] = {{"0", 4}, {"3", 4}, {nullptr, 4}, {"5", 5}, {"32", 32}};
    for (const auto& [text, limit] : cases) {
        SCOPED_TRACE(text != nullptr ? text : "missing");
        CountingUndo* undo = makeUndo(text);
        EXPECT_EQ(undo->getUndoCountMax(), limit);
        undo->release();
    }
}

TEST_F(CAudioParamUndoFixture, AtTheLimitTheOldestRecordIsDropped) {
    for (int i = 1; i <= 5; ++i)
        undo->addRecord(step(("s" + std::to_string(i)).c_str(), a, i));
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "s2", "s3", "s4", "s5", "@4"}));
    // Undoing everything that is left goes back to the state after s1.
    undo->setHistoryPosition(0, true);
    EXPECT_EQ(valueOf(a), 1.0);
}

TEST_F(CAudioParamUndoFixture, ANewRecordCutsTheRedoTail) {
    undo->setUndoCountMax(8);
    for (int i = 1; i <= 5; ++i)
        undo->addRecord(step(("s" + std::to_string(i)).c_str(), a, i));
    undo->setHistoryPosition(2, true);
    EXPECT_EQ(valueOf(a), 2.0);
    undo->addRecord(step("new", a, 9));
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "s1", "s2", "new", "@3"}));
}

TEST_F(CAudioParamUndoFixture, MergeableRecordsWithOneKeyFoldIntoOne) {
    undo->addRecord(step("drag", a, 1, true, 7));
    const int hooks = undo->changes;
    undo->addRecord(step("drag", a, 2, true, 7));
    EXPECT_EQ(undo->changes, hooks);  // a merge does not run the hook
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "drag", "@1"}));
    undo->setHistoryPosition(0, true);
    EXPECT_EQ(valueOf(a), 0.0);  // before the first
    undo->setHistoryPosition(1, true);
    EXPECT_EQ(valueOf(a), 2.0);  // after the second

    undo->addRecord(step("other key", a, 3, true, 8));
    undo->addRecord(step("wider", b, 4, true, 8));  // touches another parameter: appended
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "drag", "other key", "wider", "@3"}));
}

TEST_F(CAudioParamUndoFixture, ARecordWithoutSnapshotsIsDroppedSilently) {
    auto meterInfo = makeFloatInfo("audio.meter", {{0}}, false);
    CAudioParam* meter = collector.acquireParam(CString("plugin.meter"));
    meter->setInfo(meterInfo.get(), nullptr, {});
    undo->addRecord(step("meter", meter, 1));
    EXPECT_EQ(undo->changes, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "@0"}));
}

TEST_F(CAudioParamUndoFixture, MovingBackUndoesRecordsNewestFirst) {
    std::vector<CAudioParamUndoRecord*> records;
    for (int i = 1; i <= 3; ++i) {
        records.push_back(step(("s" + std::to_string(i)).c_str(), a, i));
        undo->addRecord(records.back());
    }
    struct Order : CAudioParamListener {
        std::vector<const void*> senders;
        void onParamChange(const CAudioParamUpdateInfo& info) override { senders.push_back(info.sender); }
    } order;
    a->addListener(&order);
    undo->setHistoryPosition(0, false);
    EXPECT_EQ(order.senders, (std::vector<const void*>{records[2], records[1], records[0]}));
    order.senders.clear();
    const int hooks = undo->changes;
    undo->setHistoryPosition(4, true);  // beyond the count: nothing
    undo->setHistoryPosition(-1, true);
    EXPECT_TRUE(order.senders.empty());
    EXPECT_EQ(undo->changes, hooks);
    undo->setHistoryPosition(2, true);
    EXPECT_EQ(order.senders, (std::vector<const void*>{records[0], records[1]}));
    EXPECT_EQ(valueOf(a), 2.0);
    a->removeListener(&order);
}

TEST_F(CAudioParamUndoFixture, SwapClearAndCopyExchangeWholeHistories) {
    undo->addRecord(step("p1", a, 1));
    CAudioParamUndoHistory* copy = nullptr;
    undo->copyHistory(copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->count(), 1);

    CAudioParamUndoHistory* slotOld = nullptr;
    CAudioParamUndoHistory* slotNew = nullptr;
    undo->swapHistory(slotOld, slotNew);  // program change to one without history
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "@0"}));
    undo->addRecord(step("p2", a, 2));
    undo->swapHistory(slotNew, slotOld);  // and back
    EXPECT_EQ(slotOld, nullptr);
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "p1", "@1"}));
    ASSERT_NE(slotNew, nullptr);
    EXPECT_EQ(slotNew->record(0)->getName(), CString("p2"));

    // The copy replays on its own: its records are deep copies.
    undo->clearHistory();
    EXPECT_EQ(names(), (std::vector<std::string>{"Undo history start", "@0"}));
    copy->record(0)->applyUndo(collector);
    EXPECT_EQ(valueOf(a), 0.0);
    delete copy;
    delete slotNew;
}

} // namespace
} // namespace tal
