#include "Audio/CAudioParam.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamWatch.h"

#include "Audio/CAudioParamOwner.h"
#include "Audio/CAudioParamRemapPair.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Core/CByteBuffer.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/CLogCapture.h"
#include "support/ParamChangeHelpers.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
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

TEST_F(CAudioParamFixture, ChangeBeyondTheStorageLimitsIsDroppedWithoutGapFillOrPassingOn) {
    format({1, 2});
    Recorder rec;
    param->addListener(&rec);
    const int before = collector.pendingCount();
    const std::vector<double> values{7, 8};
    struct Case { int firstElement, count; };
    // At most 2^20 components: a gap fill up to a far element would allocate gigabytes, and
    // first + count could overflow.
    for (const Case& c : {Case{1 << 20, 1}, Case{(1 << 19) + 1, 1 << 19}, Case{0x7FFFFFFF, 2}, Case{-1, 1},
                          Case{0, -1}}) {
        SCOPED_TRACE(std::to_string(c.firstElement) + " + " + std::to_string(c.count));
        CAudioParamChange change = floatChange(0, 0, values);
        change.firstElement = c.firstElement;
        change.count = c.count;
        param->applyChange(change, nullptr, {});
        EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{1, 2}));
        EXPECT_EQ(collector.pendingCount(), before);
        EXPECT_TRUE(rec.senders.empty());
    }
    // An element size of 2 halves the reach.
    CAudioParamChange wide = floatChange(0, 0, values);
    wide.elementSize = 2;
    wide.firstElement = 1 << 19;
    wide.count = 1;
    param->applyChange(wide, nullptr, {});
    EXPECT_EQ(collector.pendingCount(), before);
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

namespace {

// A parameter bound to a float definition whose default storage has the given groups.
class CAudioParamBoundFixture : public ::testing::Test {
protected:
    void bind(const std::vector<std::vector<double>>& defaults) {
        info = makeFloatInfo("audio.eq.gain", defaults);
        param->setInfo(info.get(), nullptr, {});
        handOff(collector);
    }
    void set(int group, const std::vector<double>& v) { param->applyChange(floatChange(group, 0, v, true), nullptr, {}); }
    std::vector<std::vector<double>> groups() const {
        std::vector<std::vector<double>> out;
        for (int g = 0; g < param->getCurrent().getGroupCount(); ++g)
            out.push_back(groupValues(param->getCurrent(), g));
        return out;
    }
    CByteBuffer save(int group) {
        CByteBuffer block;
        param->saveState(block, nullptr, group);
        return block;
    }
    std::string load(const CByteBuffer& block, int group, int element, bool truncate = false,
                     CAudioParamUndoRecord* undo = nullptr) {
        return takeMessage(param->loadState(block.data(), block.size(), nullptr, false, {undo, nullptr, false}, group,
                                            element, truncate));
    }

    std::unique_ptr<CAudioParamInfo> info;
    CAudioParamCollector collector;
    CAudioParam* param = collector.acquireParam("plugin.eq.gain");
};

struct GroupLog : CAudioParamListener {
    std::vector<std::pair<int, std::vector<double>>> seen;
    void onParamChange(const CAudioParamUpdateInfo& info) override {
        std::vector<double> v(info.change->values, info.change->values + info.change->count);
        seen.emplace_back(info.change->group, v);
    }
};

} // namespace

TEST_F(CAudioParamBoundFixture, SavedGroupLoadsIntoAnotherGroup) {
    bind({{0}});
    set(0, {1});
    set(1, {2, 3, 4});
    set(2, {5, 6, 7, 8});
    const CByteBuffer block = save(1);
    EXPECT_EQ(load(block, 2, -1), "");
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{1}, {2, 3, 4}, {2, 3, 4}}));
    // One element of it into element 1 of group 0: the saved group's element 0.
    EXPECT_EQ(load(block, 0, 1, true), "");
    EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{1, 2}));
}

TEST_F(CAudioParamBoundFixture, WholeLoadNotifiesKeptGroupsWithValuesAndDroppedGroupsEmpty) {
    bind({{0}});
    set(0, {1});
    set(1, {2});
    const CByteBuffer block = save(-1);
    set(2, {3});
    set(3, {4});
    handOff(collector);
    GroupLog log;
    param->addListener(&log);
    EXPECT_EQ(load(block, -1, -1), "");
    param->removeListener(&log);
    EXPECT_EQ(log.seen, (std::vector<std::pair<int, std::vector<double>>>{{0, {1}}, {1, {2}}, {2, {}}, {3, {}}}));
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{1}, {2}}));
    handOff(collector);
    EXPECT_EQ(param->getAudioSide().getElementCount(3), 0);
    EXPECT_EQ(groupValues(param->getAudioSide(), 1), (std::vector<double>{2}));
}

TEST_F(CAudioParamBoundFixture, WholeLoadIsOneUndoStep) {
    bind({{0}});
    set(0, {1});
    const CByteBuffer one = save(-1);
    set(1, {2});
    set(2, {3});
    const CByteBuffer three = save(-1);
    EXPECT_EQ(load(one, -1, -1), "");
    CAudioParamUndoRecord record(CString("load"));
    EXPECT_EQ(load(three, -1, -1, false, &record), "");
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{1}, {2}, {3}}));
    record.applyUndo(collector);
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{1}, {}, {}}));
    record.applyRedo(collector);
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{1}, {2}, {3}}));
}

TEST_F(CAudioParamBoundFixture, EmptyRecordSetsTheElementToTheFirstDefault) {
    bind({{7, 8}});
    CAudioParamStorage none;
    none.setFormat(1, CAudioParamStorage::kTypeFloat, false, false);
    CWriteSeqBuffer out;
    ASSERT_EQ(out.writeString(CString("audio.eq.gain")), nullptr);
    ASSERT_EQ(none.save(out), nullptr);
    CByteBuffer block;
    out.moveTo(block);
    EXPECT_EQ(load(block, 0, 3, false), "");
    EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{7, 8, 7, 7}));
}

TEST_F(CAudioParamBoundFixture, FailedLoadsChangeNothing) {
    bind({{0}});
    set(0, {1, 2});
    set(1, {3});
    const CByteBuffer good = save(-1);
    handOff(collector);

    // Another element size, and the same record cut short at every length.
    CAudioParamStorage pairs;
    pairs.setFormat(2, CAudioParamStorage::kTypeFloat, false, false);
    CWriteSeqBuffer out;
    ASSERT_EQ(out.writeString(CString("audio.eq.gain")), nullptr);
    ASSERT_EQ(pairs.save(out), nullptr);
    CByteBuffer wrongSize;
    out.moveTo(wrongSize);
    EXPECT_EQ(load(wrongSize, -1, -1),
              "Unsupported storage format (esize=2, dtype=0; should be: esize=1, dtype=0).");

    GroupLog log;
    param->addListener(&log);
    for (int size = 0; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        CAudioParamUndoRecord record(CString("load"));
        const CByteBuffer cut(good.data(), size);
        for (int group : {-1, 0}) {
            EXPECT_NE(load(cut, group, -1, false, &record), "");
        }
        EXPECT_EQ(record.snapshotCount(), 0);
        EXPECT_NE(takeMessage(param->loadState(cut.data(), cut.size(), nullptr, true, {}, -1, -1, false)), "");
    }
    param->removeListener(&log);
    EXPECT_TRUE(log.seen.empty());
    EXPECT_EQ(collector.pendingCount(), 0);
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{1, 2}, {3}}));
    EXPECT_EQ(groupValues(param->getDefaults(), 0), (std::vector<double>{0}));
}

TEST_F(CAudioParamBoundFixture, LoadAsDefaultsClampsToTheRange) {
    bind({{0}});
    info->setRange(0, -5, 5);
    set(0, {-9, 3, 9});
    const CByteBuffer block = save(-1);
    EXPECT_EQ(takeMessage(param->loadState(block.data(), block.size(), nullptr, true, {}, -1, -1, false)), "");
    EXPECT_EQ(groupValues(param->getDefaults(), 0), (std::vector<double>{-5, 3, 5}));
    EXPECT_EQ(groupValues(param->getCurrent(), 0), (std::vector<double>{-9, 3, 9}));  // untouched
}

TEST_F(CAudioParamBoundFixture, ResetFillsMissingElementsFromTheRowThenTakesTheDefault) {
    bind({{10, 20, 30, 40, 50, 60}, {11, 21, 31, 41, 51}});
    struct Case {
        const char* name;
        int group, element;
        bool useFirst;
        std::vector<double> expect;
    } cases[] = {
        {"group 1 element 4", 1, 4, false, {1, 2, 30, 40, 51}},
        {"first default", 1, 4, true, {1, 2, 30, 40, 10}},
        {"group 2 beyond the defaults", 2, 3, false, {10, 20, 30, 40}},
        {"whole group 1", 1, -1, false, {11, 21, 31, 41, 51}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set(1, {1, 2});
        set(2, {});
        param->resetValues(c.group, c.element, nullptr, {}, c.useFirst);
        EXPECT_EQ(groupValues(param->getCurrent(), c.group), c.expect);
    }
    set(3, {9});
    param->resetValues(-1, -1, nullptr, {}, false);
    EXPECT_EQ(groups(), (std::vector<std::vector<double>>{{10, 20, 30, 40, 50, 60}, {11, 21, 31, 41, 51}, {}, {}}));
    param->resetValues(7, -1, nullptr, {}, false);  // beyond the groups: nothing
    EXPECT_EQ(param->getCurrent().getGroupCount(), 4);
}

TEST_F(CAudioParamBoundFixture, SetToDefaultsTable) {
    bind({{10, 20}, {11}});
    struct Case {
        const char* name;
        int group, element;
        bool truncate;
        std::vector<std::vector<double>> expect;
        std::vector<double> row;
    } cases[] = {
        {"all groups", -1, -1, false, {{10, 20}, {}, {}}, {10, 20}},
        {"group 0", 0, -1, false, {{10, 20}, {5, 6}, {7}}, {10, 20}},
        {"group 2 emptied", 2, -1, false, {{1}, {5, 6}, {}}, {10, 20}},
        {"one element", 1, 3, false, {{1}, {5, 6, 10, 10}, {7}}, {10, 20}},
        {"one element, truncating", 1, 0, true, {{1}, {10}, {7}}, {10, 20}},
        {"format from the definition", 9999, -1, false, {{10, 20}}, {10, 20}},
        {"format of one element", 9999, 0, false, {{10}}, {10}},
        {"format grown by one", 9999, 2, false, {{10, 20, 10}}, {10, 20, 10}},
        {"format with an unexpected element", 9999, 5, false, {{1}, {5, 6}, {7}}, {10, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        param->setToDefaults(9999, -1, false, nullptr, {});
        set(0, {1});
        set(1, {5, 6});
        set(2, {7});
        CLogCapture capture;
        param->setToDefaults(c.group, c.element, c.truncate, nullptr, {});
        EXPECT_EQ(groups(), c.expect);
        const CAudioParamStorage& cur = param->getCurrent();
        EXPECT_EQ(std::vector<double>(cur.getDefaultRow(), cur.getDefaultRow() + cur.getDefaultCount()), c.row);
        if (c.element == 5) {
            EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                           "Unexpected Element 5 (expected 2), param 'plugin.eq.gain'. // plugin.eq.gain"}));
        }
    }
}

TEST(CAudioParam, RawValuesAreTakenOver) {
    CAudioParamCollector collector;
    auto info = std::make_unique<CAudioParamInfo>();
    info->setLayout(1, CAudioParamStorage::kTypeRaw, false, false);
    info->setNames(CString("audio.blob"), CString("audio.blob"), CString());
    CAudioParamData defs;
    const double empty = defs.addEmptyRaw();
    const std::vector<double> ids{empty};
    CAudioParamChange fmt = floatChange(CAudioParamChange::kFormatGroup, 0, ids, true);
    fmt.dataType = CAudioParamStorage::kTypeRaw;
    fmt.table = &defs;
    info->defaultValues().applyChange(fmt);
    CAudioParam* p = collector.acquireParam("plugin.blob");
    p->setInfo(info.get(), nullptr, {});
    const std::uint8_t bytes[] = {1, 2, 3};
    CByteBuffer block(bytes, 3);
    p->setRaw(0, 1, block, nullptr, nullptr, {});
    EXPECT_TRUE(block.isEmpty());
    const CByteBuffer& stored = p->getCurrent().getData().getRaw(int(p->getCurrent().getValues(0)[1]));
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored.data()[2], 3);
}

TEST(CAudioParam, BindDefinitionFollowsTheFirstResolvingPrefix) {
    CParamTestTree tree;
    CObject* modMain = CParamTestTree::plain(tree.audio(), "modMain");
    CObject* def = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(def, modMain, "audio:param", "gain",
                                                {{"element-size", "1"},
                                                 {"converter", "shared::audio.paramcvt.gain"},
                                                 {"min-values", "-30"},
                                                 {"max-values", "30"},
                                                 {"def-values", "0"}})),
              "");
    CAudioParamCollector collector;
    CAudioParam* bound = collector.acquireParam("plugin.modMain.gain");
    CAudioParam* lost = collector.acquireParam("plugin.modMain.none");
    const std::vector<CAudioParamRemapPair> remaps = {{CString("plugin.x"), CString("audio")},
                                                      {CString("plugin.modMain"), CString("nowhere")},
                                                      {CString("plugin"), CString("audio")}};
    EXPECT_FALSE(lost->bindDefinition(remaps, nullptr, {}));
    EXPECT_EQ(lost->getInfo(), nullptr);
    EXPECT_TRUE(bound->bindDefinition(remaps, nullptr, {}));
    ASSERT_NE(bound->getInfo(), nullptr);
    EXPECT_EQ(textOf(bound->getInfo()->getName()), "audio.modMain.gain");
    EXPECT_TRUE(bound->getCurrent().isFormatSet());
}

TEST(CAudioParam, EditsMarkTheOwnersPresetNameUser) {
    CAudioParamCollector collector;
    auto nameInfo = makeStringInfo("audio.preset-name", {"Init"}, false);
    CAudioParam* name = collector.acquireParam("plugin.preset-name");
    name->setInfo(nameInfo.get(), nullptr, {});
    struct Owner : CAudioParamOwner {
        CAudioParam* nameParam = nullptr;
        bool globalStorable = false;
        CAudioParam* getPresetNameParam() override { return nameParam; }
        bool isGlobalParamStorable() const override { return globalStorable; }
    };
    struct Case {
        const char* name;
        bool storable, global, ownerGlobal;
        bool marks;
    } cases[] = {
        {"storable", true, true, false, true},
        {"global only, owner stores global", false, true, true, true},
        {"global only", false, true, false, false},
    };
    std::vector<std::unique_ptr<CAudioParamInfo>> infos;  // live as long as the parameters bound to them
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        name->setString(0, 0, CString("Init"), nullptr, nullptr, {});
        infos.push_back(makeFloatInfo("audio.v", {{0}}, c.storable));
        infos.back()->setFlags(c.global, c.storable, false);
        CAudioParam* p = collector.acquireParam(CString("plugin.") + CString(c.name));
        p->setInfo(infos.back().get(), nullptr, {});
        Owner owner;
        owner.nameParam = name;
        owner.globalStorable = c.ownerGlobal;
        p->addOwner(&owner);
        CAudioParamUndoRecord record(CString("edit"));
        p->markOwnerPresetsUser(nullptr, 0, &record);
        EXPECT_EQ(textOf(name->getString(0, 0)), c.marks ? "User" : "Init");
        // The mark is part of the edit's undo step only when the name parameter is recorded.
        EXPECT_EQ(record.snapshotCount(), 0);
        p->removeOwner(&owner);
    }
    // Already "User": no second change.
    GroupLog log;
    name->addListener(&log);
    CAudioParam* p = collector.acquireParam("plugin.storable");
    Owner owner;
    owner.nameParam = name;
    p->addOwner(&owner);
    p->markOwnerPresetsUser(nullptr, 0, nullptr);
    p->markOwnerPresetsUser(nullptr, 0, nullptr);
    EXPECT_EQ(log.seen.size(), 1u);
    name->removeListener(&log);
    p->removeOwner(&owner);
}

// Listeners of two parameters report to one owner under the owner's lock, and one thread changes
// a parameter while holding that lock (as an editor request does). Notifications of different
// parameters share no lock, so the two threads cannot wait for each other.
TEST(CAudioParamListeners, ConcurrentReportsToAnOwnerThatChangesUnderItsLock) {
    CAudioParamCollector collector;
    auto info = makeFloatInfo("audio.x", {{0}});
    CAudioParam* x = collector.acquireParam("plugin.x");
    CAudioParam* y = collector.acquireParam("plugin.y");
    x->setInfo(info.get(), nullptr, {});
    y->setInfo(info.get(), nullptr, {});
    CRecursiveMutex ownerLock;
    int reports = 0;
    struct Report : CAudioParamListener {
        Report(CRecursiveMutex& lock, int& count) : lock(lock), count(count) {}
        ~Report() override { detach(); }
        void onParamChange(const CAudioParamUpdateInfo&) override {
            std::lock_guard guard(lock);
            ++count;
        }
        CRecursiveMutex& lock;
        int& count;
    };
    Report rx(ownerLock, reports), ry(ownerLock, reports);
    x->addListener(&rx);
    y->addListener(&ry);
    constexpr int kRounds = 2000;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) y->setValue(0, nullptr, nullptr, double(i));
    });
    for (int i = 0; i < kRounds; ++i) {
        std::lock_guard guard(ownerLock);
        x->setValue(0, nullptr, nullptr, double(i));
    }
    other.join();
    std::lock_guard guard(ownerLock);
    EXPECT_EQ(reports, 2 * kRounds);
}

TEST(CAudioParamListeners, AListenerMovesBetweenParametersAndOutlivesThem) {
    struct Count : CAudioParamListener {
        ~Count() override { detach(); }
        void onParamChange(const CAudioParamUpdateInfo& info) override { params.push_back(info.param); }
        std::vector<CAudioParam*> params;
    } count;
    auto info = makeFloatInfo("audio.x", {{0}});
    {
        CAudioParamCollector collector;
        CAudioParam* x = collector.acquireParam("plugin.x");
        CAudioParam* y = collector.acquireParam("plugin.y");
        x->setInfo(info.get(), nullptr, {});
        y->setInfo(info.get(), nullptr, {});
        x->addListener(&count);
        y->addListener(&count);     // leaves x
        x->removeListener(&count);  // not listening there: stays on y
        x->setValue(0, nullptr, nullptr, 1.0);
        y->setValue(0, nullptr, nullptr, 2.0);
        EXPECT_EQ(count.params, (std::vector<CAudioParam*>{y}));
        EXPECT_EQ(count.notifier(), y);
    }
    // The parameters died first: the listener was let go and is destroyed safely.
    EXPECT_EQ(count.notifier(), nullptr);
}
