#pragma once
#include "Audio/CAudioLinkGraph.h"
#include "Audio/CAudioProcessBase.h"
#include "Core/CArray.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAudioProcessBypassStateDef;
class CAudioProcessDefBase;
class CAudioProcessLinkStateDef;

// A composite process: runs a small graph of named child processes made from its definition's
// sub-process definitions. Children get processes lazily, when the first link reaches them, and
// lose them with their last link, so a child switched off by a bypass state costs nothing. The
// wiring and the processing order are rebuilt at the start of a block (in update) whenever a
// watched link-state or bypass-state parameter changed or the input format changed; an ordinary
// block just runs the stored sequence. Children in a cycle of links are not run (logged).
//
// Threads: init where the process is created; update, rebuild and process on the audio thread;
// reset while no block runs.
class CAudioProcess : public CAudioProcessBase,
                      private CAudioLinkGraph::CStates,
                      private CAudioLinkGraph::CSink {
public:
    CAudioProcess();
    ~CAudioProcess() override;   // destroys the children's processes (without disconnecting)

    // --- life cycle ---
    // Enters the children, links and states of the definition (which must be a CAudioProcessDef).
    [[nodiscard]] CError* init() override;
    void reset() override;
    void update() override;
    void process() override;
    void disconnectAll() override;

    // --- children ---
    // A child made from a definition under its short name; fails for a name already used.
    [[nodiscard]] CError* addProcess(CAudioProcessDefBase* definition, const CString& name);
    // Marks a child for removal: it takes part in no link from the next rebuild on.
    void removeProcess(const CString& name);

    // --- queries ---
    int childCount() const noexcept { return mChildren.count(); }
    // The child's process, null while it is not linked (nodes never have one).
    CAudioProcessBase* childProcess(const CString& name) const noexcept;
    const CString& childFullName(int child) const noexcept { return mChildren[child]->fullName; }
    // The children's processes in the order they run.
    const CArray<CAudioProcessBase*>& processingSequence() const noexcept { return mSequence; }
    bool isRebuildPending() const noexcept { return mRebuild; }

private:
    struct CChildEntry : CPoolAllocated {
        CString fullName;   // the child process's name prefix; outlives the process
        CAudioProcessDefBase* definition = nullptr;
        CAudioProcessBase* process = nullptr;   // owned
    };
    struct CLinkStateRecord : CPoolAllocated {
        std::int32_t groupIndex = 0;
        std::int32_t lastValue = -99999;
        CAudioProcessLinkStateDef* definition = nullptr;
        const CAudioParamStorage* values = nullptr;
        std::uint32_t changeMask = 0;
    };
    struct CBypassStateRecord : CPoolAllocated {
        std::int32_t groupIndex = 0;
        CAudioProcessBypassStateDef* definition = nullptr;
        const CAudioParamStorage* values = nullptr;
        std::uint32_t changeMask = 0;
        const CAudioParamStorage* andValues = nullptr;
        std::uint32_t andChangeMask = 0;
    };

    void addLinkState(CAudioProcessLinkStateDef* definition);
    void addBypassState(CAudioProcessBypassStateDef* definition);
    bool updateLinkState(CLinkStateRecord& record) const;
    bool isBypassStateActive(const CBypassStateRecord& record, std::int32_t elementIndex) const;
    void rebuild();

    // CAudioLinkGraph::CStates
    bool isBypassStateActive(std::int32_t id) const override;
    bool isStateGroupActive(std::int32_t id) const override;
    // CAudioLinkGraph::CSink
    bool createChild(int child) override;
    void destroyChild(int child) override;
    void connect(int source, int sourcePort, int destination, int destinationPort) override;
    void disconnect(int source, int sourcePort, int destination, int destinationPort) override;

    CAudioLinkGraph mGraph;
    CArray<CChildEntry*> mChildren;                 // owned; index = the graph's child index
    CArray<CLinkStateRecord*> mLinkStates;          // owned
    CArray<CBypassStateRecord*> mBypassStates;      // owned; for one id the later one counts
    bool mRebuild = true;
    CArray<CAudioProcessBase*> mSequence;
};

} // namespace tal
