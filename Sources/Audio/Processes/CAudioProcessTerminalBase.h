#pragma once

#include "Audio/CAudioProcessBase.h"
#include "Audio/Processes/CAudioModuleHost.h"
#include "Audio/Processes/CAudioTerminalBinding.h"
#include "Core/CArray.h"

namespace tal {

class CAudioModule;
struct CAudioModuleSlot;

// The leaf process that hosts processing modules: one module per channel of input port 0 (or one
// for all channels when the definition says "is-terminal-whole"), run every block, their output
// blocks handed to the output links.
//
// A change of a parameter marked for smooth update (the allocation's or the definition's
// "is-smooth-update") does not touch the running module: a new module takes the new values and
// the terminal crossfades from the old module's output to the new one's over "xfade-length"
// seconds along a raised cosine, then retires the old module at the first update after the fade.
// Retired modules wait as spares and are reused, so that module replacement stops allocating once
// the terminal has warmed up.
//
// Threads: init runs when the process is made; everything else on the thread that runs the graph
// (see CAudioProcessBase). No locks.
class CAudioProcessTerminalBase : public CAudioProcessBase, public CAudioModuleHost {
public:
    static constexpr int kMaxOutputs = kMaxOutputChannels;

    CAudioProcessTerminalBase();
    ~CAudioProcessTerminalBase() override;   // destroys every module

    // --- process operations ---
    // Binds the definition's parameter allocations and reads "xfade-length".
    [[nodiscard]] CError* init() override;
    void reset() override;
    void update() override;
    void process() override;
    // A new module of the terminal's class (null when memory is exhausted).
    virtual CAudioModule* createModule() = 0;

    // --- module host ---
    const CAudioTerminalBinding* moduleBindings(int& count) const noexcept override;
    const CString& moduleHostName() const noexcept override { return namePrefix(); }
    CObject* moduleDefinition() const noexcept override;
    CAudioEnv* moduleEnv() const noexcept override;
    CAudioChannelDesc* const* findModuleInput(int port, std::int32_t channel, std::int32_t group) noexcept override;

    // --- queries ---
    int slotCount() const noexcept { return mSlots.count(); }
    const CAudioModuleSlot& slot(int index) const noexcept { return *mSlots[index]; }
    int spareCount() const noexcept { return mSpares.count(); }
    int crossfadingCount() const noexcept { return mCrossfading.count(); }
    int runCount() const noexcept { return mRunList.count(); }
    CAudioModule* runModule(int index) const noexcept { return mRunList[index]; }
    std::int32_t crossfadeSamples() const noexcept { return mCrossfadeSamples; }
    // Whether the parameter changes waiting for the next update may start a crossfade (a smooth
    // definition, or a changed parameter allocated for smooth update).
    bool pendingUpdateMayCrossfade() const noexcept;
    double crossfadeSeconds() const noexcept { return mCrossfadeSeconds; }

protected:
    // Runs the modules of the run list for this block (after the block length is set on each).
    // Terminals whose modules can process two channels in one pass override it.
    virtual void runModules() noexcept;
    const CArray<CAudioModule*>& runList() const noexcept { return mRunList; }

private:
    void bindAllocations();
    void arrangeModules();
    // Gives the slot a current module: a spare one, else a new one set up for this terminal.
    void obtainModule(CAudioModuleSlot& slot);
    CAudioModule* makeModule();
    bool startCrossfade(CAudioModuleSlot& slot);
    void mixCrossfade(CAudioModuleSlot& slot) noexcept;
    void endCrossfade(CAudioModuleSlot& slot);
    void endAllCrossfades();
    void retire(CAudioModule* module);
    void distributeModuleOutputs() noexcept;
    void rebuildOutputTable();
    void updateOutputFormat();
    void rebuildRunList();
    // The module's changed bytes of every key (null slots skipped).
    static void setChangedBytes(CAudioModule& module, std::uint8_t value) noexcept;
    static void runModuleUpdate(CAudioModule& module);
    const CAudioTerminalBinding* bindingOfKey(int key) const noexcept;

    CAudioChannelDesc* mOutputTable[kMaxOutputs] = {};
    std::int32_t mOutputTableCount = 0;
    bool mOutputFormatChanged = false;
    bool mOutputTableChanged = false;
    bool mRunListChanged = false;
    CArray<CAudioModuleSlot*> mSlots;          // owned, with their modules
    CArray<CAudioModule*> mRunList;
    CArray<CAudioModule*> mSpares;             // owned
    CArray<CAudioModuleSlot*> mCrossfading;
    std::int32_t mCrossfadeSamples = 1;
    double mCrossfadeSeconds = 0.0;
    std::int32_t mLargestKey = -1;
    CArray<CAudioTerminalBinding> mBindings;      // ascending keys; sized once, never moves once bound
    CArray<std::int32_t> mBindingOfKey;           // key -> binding index, -1 for keys not allocated
};

} // namespace tal
