#pragma once

#include "Audio/CAudioBlockPool.h"
#include "Audio/Filters/CDCDAWCall.h"

namespace tal {

class CDCDAWContextWorkspace;

// The per-instance context of the named signal routines: the instance's audio block pool, a free
// list of call frames and the workspaces kept under 32-bit keys (key 65535 is the filter
// workspace). Created by the plug-in shell with the instance and destroyed after its process
// graph. One thread at a time uses it (the audio thread); nothing here locks.
class CDCDAWContext {
public:
    static constexpr int kMaxWorkspaces = 8;

    CDCDAWContext() = default;
    CDCDAWContext(const CDCDAWContext&) = delete;
    CDCDAWContext& operator=(const CDCDAWContext&) = delete;
    ~CDCDAWContext();               // destroys the workspaces and frees every call frame

    // --- queries ---
    CAudioBlockPool& blockPool() noexcept { return mPool; }
    // The workspace stored under a key, null when none.
    CDCDAWContextWorkspace* findWorkspace(int key) const noexcept;

    // --- operations ---
    // Stores a workspace under a key and takes it over; a previous workspace of that key is
    // destroyed. Returns false (and destroys the new one) when every slot holds another key.
    bool setWorkspace(int key, CDCDAWContextWorkspace* workspace) noexcept;

    // Runs an initialise or update routine. Each block gets one use for the call.
    void runSetupRoutine(const CDCDAWRoutine& routine, int count, double* state, double* coefficients,
                         double sampleRate) noexcept;
    // Runs a process routine over `count` samples from input to output.
    void runProcessRoutine(const CDCDAWRoutine& routine, int count, double* output, double* state,
                           double* input) noexcept;
    // Runs one process routine for two channels (two stages with the same routine and their own
    // state blocks); same results as two runProcessRoutine calls, faster where the routine has a
    // paired form.
    void runProcessRoutinePair(const CDCDAWRoutine& routine, int count, double* output0, double* state0,
                               double* input0, double* output1, double* state1, double* input1) noexcept;
    // Runs any routine with up to CDCDAWCall::kMaxBlocks block arguments (null entries allowed
    // beyond the routine's own).
    void runRoutine(const CDCDAWRoutine& routine, int count, double real, double* const* blocks,
                    int blockCount) noexcept;

private:
    struct WorkspaceSlot {
        int key = 0;
        CDCDAWContextWorkspace* workspace = nullptr;
    };

    CDCDAWCall* takeFrame() noexcept;
    void finishCall(CDCDAWCall* frame, int releaseCount) noexcept;

    CAudioBlockPool mPool;
    CDCDAWCall* mFreeFrames = nullptr;
    WorkspaceSlot mWorkspaces[kMaxWorkspaces] = {};
};

} // namespace tal
