#pragma once

#include "Audio/CAudioProcessBase.h"
#include "Core/CArray.h"

#include <cstdint>

namespace tal {

class CAudioProcessConnection;

// A stacked process ("is-stacked" definitions): for every channel group on its input port 0 it runs
// a chain of copies of its own definition in series, as many as the copy-count parameter
// ("stack-param") says for that group (one without it). With "is-channel-stack" each channel of a
// group gets a chain of its own. The group's channels reach the first copies by reference; the
// last copies' outputs are the stack's output.
//
// Threads: update runs from renderInputs on the thread that runs the graph; no locks.
class CAudioProcessStack final : public CAudioProcessBase {
public:
    static constexpr int kMaxChannels = 16;

    CAudioProcessStack();
    ~CAudioProcessStack() override;

    [[nodiscard]] CError* init() override;
    void reset() override;
    void update() override;
    void process() override;
    void disconnectAll() override;

    // --- queries ---
    int groupCount() const noexcept { return mGroups.count(); }
    std::int32_t groupNumber(int index) const noexcept;
    int levelCount(int group) const noexcept;
    int slotCount(int group) const noexcept;
    // The copy of a slot on a level, null when it could not be made.
    CAudioProcessBase* copy(int group, int level, int slot) const noexcept;
    int runCount() const noexcept { return mRunList.count(); }

private:
    struct CPortRecord;
    struct CSlotEntry;
    struct CLevel;
    struct CGroupRecord;
    struct CForward {
        CAudioProcessConnection* connection;
        CAudioChannelDesc** entry;   // the stack port's channel-table slot
        std::int32_t key;
    };

    void updateGroups();
    void updatePorts(CGroupRecord& g);
    void updateCopies(CGroupRecord& g);
    void addChannel(CGroupRecord& g, int channel);
    void removeChannel(CGroupRecord& g, int channel);
    void addSlot(CGroupRecord& g, int channel);
    void removeSlot(CGroupRecord& g, int slot);
    // A new copy for a slot on a level, wired like its neighbours; null when creation failed.
    CAudioProcessBase* makeCopy(CGroupRecord& g, int level, CSlotEntry& entry);
    void connectLevel0(CGroupRecord& g, CSlotEntry& entry);
    // Takes a copy out of the wiring (and out of the output sources when it is on the last level).
    void detachEntry(CSlotEntry* entry, bool lastLevel);
    void freeEntry(CSlotEntry* entry);
    void destroyGroup(CGroupRecord* g);
    void rebuildRunList();
    void rebuildForwards();

    const CAudioParamStorage* mCount = nullptr;
    std::uint32_t mCountChanged = 0;
    bool mHasCount = false;
    CArray<CGroupRecord*> mGroups;   // owned
    CArray<CAudioProcessBase*> mRunList;
    CArray<CForward> mForwards;
};

} // namespace tal
