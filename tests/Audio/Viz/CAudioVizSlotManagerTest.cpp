#include "Audio/Viz/CAudioVizSlotManager.h"

#include "Audio/Viz/CAudioVizDataMeter.h"
#include "support/LeBytes.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// Counts live frames so that a test sees every frame deleted exactly once.
std::atomic<int> liveFrames{0};
struct CountedFrame : CAudioVizDataMeter {
    explicit CountedFrame(double t) {
        time = t;
        liveFrames.fetch_add(1);
    }
    ~CountedFrame() override { liveFrames.fetch_sub(1); }
};

std::string text(const CString& s) { return std::string(s.narrowed().chars8()); }

CSortedMap<std::int32_t, CString>* namesOf(std::initializer_list<std::pair<int, const char*>> rows) {
    auto* map = new CSortedMap<std::int32_t, CString>;
    for (const auto& [slot, name] : rows)
        map->findOrAdd(slot)->value = CString(name);
    return map;
}

void setNames(CAudioVizSlotManager& m, int id, std::initializer_list<std::pair<int, const char*>> rows) {
    std::unique_ptr<CSortedMap<std::int32_t, CString>> map(namesOf(rows));
    m.setInstanceSlotNames(*map, id);
}

TEST(CAudioVizSlotManager, ASlotHasOneOwnerAtATime) {
    CAudioVizSlotManager m;
    EXPECT_NE(m.claimSlot(5, 1), nullptr);
    EXPECT_EQ(m.claimSlot(5, 2), nullptr);
    EXPECT_EQ(m.claimSlot(5, 1), nullptr);   // also the owner itself
    m.releaseSlot(5, 2);                      // not the owner: nothing happens
    EXPECT_EQ(m.ownerOf(5), 1);
    m.releaseSlot(5, 1);
    EXPECT_EQ(m.ownerOf(5), -1);
    EXPECT_NE(m.claimSlot(5, 2), nullptr);
}

TEST(CAudioVizSlotManager, SlotIndicesOutsideTheRangeAreRefused) {
    CAudioVizSlotManager m;
    for (const int slot : {-1, 48, 1000, INT32_MIN}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(m.claimSlot(slot, 1), nullptr);
        EXPECT_FALSE(m.addRequest(slot, CString("spec")));
        EXPECT_FALSE(m.removeRequest(slot, CString("spec")));
        m.pushFrame(slot, CString("spec"), new CountedFrame(0.0), 1, 0.0);
        EXPECT_EQ(liveFrames.load(), 0);
    }
}

TEST(CAudioVizSlotManager, FirstNameIsShownAndReleaseShowsTheNext) {
    CAudioVizSlotManager m;
    setNames(m, 1, {{5, "6: Drums (Main)"}});
    const std::int32_t v1 = m.namesVersion();
    setNames(m, 2, {{5, "6: Bass (Main)"}});
    EXPECT_EQ(m.namesVersion(), v1);   // the shown name did not change
    EXPECT_EQ(text(m.shownName(5)), "6: Drums (Main)");
    ASSERT_NE(m.claimSlot(5, 1), nullptr);
    m.releaseSlot(5, 1);
    EXPECT_EQ(text(m.shownName(5)), "6: Bass (Main)");
    EXPECT_GT(m.namesVersion(), v1);
    // Renaming the shown entry bumps the version; an identical text does not.
    const std::int32_t v2 = m.namesVersion();
    setNames(m, 2, {{5, "6: Bass (Main)"}});
    EXPECT_EQ(m.namesVersion(), v2);
    setNames(m, 2, {{5, "6: Sub (Main)"}});
    EXPECT_EQ(m.namesVersion(), v2 + 1);
    // Leaving a slot out of the map removes the instance's entry.
    setNames(m, 2, {});
    EXPECT_EQ(text(m.shownName(5)), "");
}

TEST(CAudioVizSlotManager, SlotNamesPayload) {
    CAudioVizSlotManager m;
    EXPECT_EQ(test::written([&](COutputStream& out) { ASSERT_EQ(m.writeSlotNames(out), nullptr); }),
              LeBytes().i32(0).bytes());
    setNames(m, 1, {{7, "8: A (x)"}, {2, "3: A (y)"}});
    LeBytes expected;
    expected.i32(2).i32(2).str("3: A (y)").i32(7).str("8: A (x)");
    EXPECT_EQ(test::written([&](COutputStream& out) { ASSERT_EQ(m.writeSlotNames(out), nullptr); }), expected.bytes());
}

TEST(CAudioVizSlotManager, OppositeRequestsCancelBeforeTheOwnerTakesThem) {
    CAudioVizSlotManager m;
    m.addRequest(3, CString("spec"));
    m.removeRequest(3, CString("spec"));
    m.addRequest(3, CString("other"));
    m.addRequest(3, CString("other"));
    std::unique_ptr<CAudioVizRequestMap> taken(m.takePendingRequests(3));
    ASSERT_NE(taken, nullptr);
    EXPECT_FALSE(taken->counts.contains(CString("spec")));
    ASSERT_TRUE(taken->counts.contains(CString("other")));
    EXPECT_EQ(taken->counts.find(CString("other"))->value, 2);
    EXPECT_EQ(m.takePendingRequests(3), nullptr);
}

TEST(CAudioVizSlotManager, ReadersGetOnlyNewEntriesAndTheLastExpectedReaderFreesThem) {
    const CString name("spec");
    {
        CAudioVizSlotManager m;
        ASSERT_NE(m.claimSlot(0, 1), nullptr);
        m.pushFrame(0, name, new CountedFrame(1.0), 1, 0.0);
        CArray<CAudioVizData*> frames;
        m.readQueue(0, name, 7, frames);
        ASSERT_EQ(frames.count(), 1);
        EXPECT_EQ(m.queuedEntryCount(0, name), 0);   // its only expected reader had it
        m.releaseFrames(0, frames);
        EXPECT_EQ(liveFrames.load(), 0);

        m.pushFrame(0, name, new CountedFrame(2.0), 2, 0.0);
        m.pushFrame(0, name, new CountedFrame(3.0), 2, 0.1);
        frames.clear();
        m.readQueue(0, name, 7, frames);
        ASSERT_EQ(frames.count(), 2);
        EXPECT_EQ(frames[0]->time, 3.0);   // newest first
        EXPECT_EQ(frames[1]->time, 2.0);
        m.releaseFrames(0, frames);
        m.pushFrame(0, name, new CountedFrame(4.0), 2, 0.2);
        frames.clear();
        m.readQueue(0, name, 7, frames);   // only what came after the last read
        ASSERT_EQ(frames.count(), 1);
        EXPECT_EQ(frames[0]->time, 4.0);
        m.releaseFrames(0, frames);
        EXPECT_EQ(m.queuedEntryCount(0, name), 3);   // the second expected reader never came
        m.pruneQueues(0, 0.8);                       // entries older than 0.75 s leave
        EXPECT_EQ(m.queuedEntryCount(0, name), 2);
        m.pruneQueues(0, 2.0);
        EXPECT_EQ(m.queuedEntryCount(0, name), 0);
        EXPECT_EQ(liveFrames.load(), 0);
        m.pushFrame(0, name, new CountedFrame(5.0), 2, 3.0);
    }   // the manager's destructor releases what still waits
    EXPECT_EQ(liveFrames.load(), 0);
}

TEST(CAudioVizSlotManager, ReleasingTheSlotDropsItsQueues) {
    CAudioVizSlotManager m;
    ASSERT_NE(m.claimSlot(4, 1), nullptr);
    m.pushFrame(4, CString("spec"), new CountedFrame(1.0), 3, 0.0);
    CArray<CAudioVizData*> held;
    m.readQueue(4, CString("spec"), 9, held);   // an importer still writes this frame out
    m.releaseSlot(4, 1);
    EXPECT_EQ(m.queuedEntryCount(4, CString("spec")), 0);
    EXPECT_EQ(liveFrames.load(), 1);
    m.releaseFrames(4, held);
    EXPECT_EQ(liveFrames.load(), 0);
}

// The exporter's audio thread pushes and prunes; an importer's main thread reads and releases.
// Every frame ends deleted exactly once and each read returns frames newest first.
TEST(CAudioVizSlotManager, ConcurrentExporterAndImporter) {
    {
        CAudioVizSlotManager m;
        ASSERT_NE(m.claimSlot(1, 1), nullptr);
        const CString name("spec");
        std::atomic<bool> done{false};
        std::thread exporter([&] {
            for (int i = 1; i <= 5000; ++i) {
                m.pushFrame(1, name, new CountedFrame(i), 2, i * 0.001);
                if (i % 32 == 0) m.pruneQueues(1, i * 0.001);
            }
            done.store(true);
        });
        int misordered = 0;
        while (!done.load()) {
            CArray<CAudioVizData*> frames;
            m.readQueue(1, name, 2, frames);
            for (int i = 1; i < frames.count(); ++i)
                if (frames[i]->time >= frames[i - 1]->time) ++misordered;
            m.releaseFrames(1, frames);
        }
        exporter.join();
        EXPECT_EQ(misordered, 0);
    }
    EXPECT_EQ(liveFrames.load(), 0);
}

} // namespace
} // namespace tal
