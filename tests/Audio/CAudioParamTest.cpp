#include "Audio/CAudioParam.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamWatch.h"

#include "support/ParamChangeHelpers.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tal;

namespace {

struct Recorder : CAudioParamListener {
    std::vector<const void*> senders;
    void onParamChange(const CAudioParamUpdateInfo& info) override { senders.push_back(info.sender); }
};

class CAudioParamFixture : public ::testing::Test {
protected:
    void format(const std::vector<double>& defaults) {
        CAudioParamChange c = floatChange(CAudioParamChange::kFormatGroup, 0, defaults, true);
        param->applyChange(c, nullptr, {});
    }
    CAudioParamCollector collector;
    CAudioParam* param = collector.acquireParam("plugin.eq.freq");
};

} // namespace

TEST_F(CAudioParamFixture, ChangeBeyondTheGroupEndIsGapFilledFromTheDefaultRow) {
    format({10, 20, 30});
    const std::vector<double> v{99};
    param->applyChange(floatChange(1, 4, v), nullptr, {});
    // Elements 0..3 of the new group come from the row (element 0 once the row ends).
    EXPECT_EQ(groupValues(param->getCurrent(), 1), (std::vector<double>{10, 20, 30, 10, 99}));
    EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{10, 20, 30}));

    // The audio side receives the filled change, not the original one.
    CAudioParamChangeList taken;
    collector.takePending(taken);
    CAudioParamCollector::applyPendingChanges(taken);
    EXPECT_EQ(groupValues(param->getAudioSide(), 1), (std::vector<double>{10, 20, 30, 10, 99}));
}

TEST_F(CAudioParamFixture, ChangeToALaterGroupLeavesTheGroupsBetweenEmpty) {
    format({1});
    param->applyChange(floatChange(3, 0, {5}), nullptr, {});
    ASSERT_EQ(param->getCurrent().getGroupCount(), 4);
    EXPECT_EQ(param->getCurrent().getElementCount(1), 0);
    EXPECT_EQ(param->getCurrent().getElementCount(2), 0);
    EXPECT_EQ(groupValues(param->getCurrent(), 3), (std::vector<double>{5}));
}

TEST_F(CAudioParamFixture, StringGapFillCopiesTheDefaultItem) {
    CAudioParamData table;
    const double def = table.addString("default");
    CAudioParamChange fmt = floatChange(CAudioParamChange::kFormatGroup, 0, {}, true);
    fmt.dataType = CAudioParamStorage::kTypeString;
    fmt.count = 1;
    fmt.values = &def;
    fmt.table = &table;
    param->applyChange(fmt, nullptr, {});

    CAudioParamData other;
    const double z = other.addString("z");
    CAudioParamChange c = fmt;
    c.group = 0;
    c.firstElement = 3;
    c.truncate = false;
    c.values = &z;
    c.table = &other;
    param->applyChange(c, nullptr, {});
    ASSERT_EQ(param->getCurrent().getElementCount(0), 4);
    for (int e = 0; e < 3; ++e)
        EXPECT_EQ(param->getString(0, e), CString("default")) << e;
    EXPECT_EQ(param->getString(0, 3), CString("z"));
    // An element beyond the group reads the default row.
    EXPECT_EQ(param->getString(0, 9), CString("default"));
}

TEST_F(CAudioParamFixture, SetValueTruncatesTheGroup) {
    format({1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(param->getCurrent().getElementCount(0), 8);
    param->setValue(0, nullptr, nullptr, 42.0);
    EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{42}));
}

TEST_F(CAudioParamFixture, ChangeInAnotherFormatIsDroppedByTheStorageButStillPassedOn) {
    format({1, 2});
    Recorder rec;
    param->addListener(&rec);
    const int before = collector.pendingCount();
    const std::vector<double> seven{7};
    CAudioParamChange c = floatChange(0, 0, seven);
    c.dataType = CAudioParamStorage::kTypeString;
    c.sender = &rec;
    param->applyChange(c, nullptr, {});
    EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{1, 2}));
    EXPECT_EQ(collector.pendingCount(), before + 1);
    ASSERT_EQ(rec.senders.size(), 1u);
    EXPECT_EQ(rec.senders[0], &rec);
    param->removeListener(&rec);
}

TEST_F(CAudioParamFixture, ListenerMayReenterTheChangePathOfTheSameParameter) {
    format({0});
    struct Echo : CAudioParamListener {
        void onParamChange(const CAudioParamUpdateInfo& info) override {
            if (info.sender == this || info.change->group != 0)
                return;
            const double v = info.change->values[0] * 2;
            CAudioParamChange c = *info.change;
            c.group = 1;
            c.sender = this;
            c.values = &v;
            info.param->applyChange(c, info.holder, info.context);
        }
    } echo;
    param->addListener(&echo);
    param->setValue(0, nullptr, nullptr, 3.0);
    EXPECT_EQ(groupValues(param->getCurrent(), 1), (std::vector<double>{6}));
    param->removeListener(&echo);
}

TEST_F(CAudioParamFixture, PendingListOfTheContextCollectsTheChange) {
    format({0});
    CAudioParamChangeList list;
    const int before = collector.pendingCount();
    CAudioParamContext ctx;
    ctx.pending = &list;
    param->applyChange(floatChange(0, 0, {4}), nullptr, ctx);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(collector.pendingCount(), before);
}

TEST_F(CAudioParamFixture, WatchMaskStartsFromTheAudioSideGroups) {
    bool changed = false;
    std::uint32_t mask = 7;
    const CAudioParamStorage* storage = nullptr;
    CAudioParamWatch* w = param->addChangeWatch(storage, &changed, &mask, -1, -1);
    EXPECT_EQ(mask, 0u);  // no format yet
    EXPECT_EQ(storage, &param->getAudioSide());
    param->removeChangeWatch(w);

    CAudioParamContext audio;
    audio.audioSide = true;
    param->applyChange(floatChange(CAudioParamChange::kFormatGroup, 0, {1}, true), nullptr, audio);
    param->applyChange(floatChange(2, 0, {1}), nullptr, audio);
    w = param->addChangeWatch(storage, &changed, &mask, -1, -1);
    EXPECT_EQ(mask, 0b111u);
    param->removeChangeWatch(w);
    w = param->addChangeWatch(storage, &changed, &mask, 1, -1);
    EXPECT_EQ(mask, 0b010u);
    param->removeChangeWatch(w);
    w = param->addChangeWatch(storage, &changed, &mask, 5, -1);
    EXPECT_EQ(mask, 0u);
    param->removeChangeWatch(w);
}

TEST(CAudioParamWatch, MatchingRules) {
    struct Case {
        const char* name;
        int group, first, count;
        bool truncate, singleGroup, singleElement;
        bool expect;
    };
    const Case cases[] = {
        {"covering elements 0..3", 2, 0, 4, false, false, false, true},
        {"format change", CAudioParamChange::kFormatGroup, 0, 1, true, false, false, true},
        {"truncating from 0", 2, 0, 0, true, false, false, true},
        {"elements 2..3", 2, 2, 2, false, false, false, false},
        {"other group", 1, 0, 4, false, false, false, false},
        {"single-group change of group 0", 0, 1, 1, false, true, false, true},
        {"single-element change at 0", 2, 0, 1, false, false, true, true},
        {"truncating after the element", 2, 2, 1, true, false, false, false},
    };
    CAudioParamWatch w;
    w.group = 2;
    w.element = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioParamChange ch;
        ch.group = c.group;
        ch.firstElement = c.first;
        ch.count = c.count;
        ch.truncate = c.truncate;
        ch.singleGroup = c.singleGroup;
        ch.singleElement = c.singleElement;
        EXPECT_EQ(w.matches(ch), c.expect);
    }
}

TEST_F(CAudioParamFixture, HandOffRaisesTheFlagAndOverwritesTheMask) {
    format({0});
    CAudioParamChangeList first;
    collector.takePending(first);
    CAudioParamCollector::applyPendingChanges(first);  // the audio side gets its format
    bool changed = false;
    std::uint32_t mask = 0;
    const CAudioParamStorage* storage = nullptr;
    CAudioParamWatch* w = param->addChangeWatch(storage, &changed, &mask, -1, -1);
    param->applyChange(floatChange(33, 0, {1}), nullptr, {});
    EXPECT_FALSE(changed);  // nothing reaches the audio side before the hand-off
    CAudioParamChangeList taken;
    collector.takePending(taken);
    CAudioParamCollector::applyPendingChanges(taken);
    EXPECT_TRUE(changed);
    EXPECT_EQ(mask, 1u << 1);  // group 33 shares bit 1
    EXPECT_EQ(storage->getValue(33, 0, 0), 1.0);
    param->removeChangeWatch(w);
}
