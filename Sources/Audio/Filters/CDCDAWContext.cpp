#include "Audio/Filters/CDCDAWContext.h"

#include "Audio/Filters/CDCDAWContextWorkspace.h"


namespace tal {

CDCDAWContext::~CDCDAWContext() {
    for (WorkspaceSlot& slot : mWorkspaces) {
        delete slot.workspace;
        slot.workspace = nullptr;
    }
    while (mFreeFrames != nullptr) {
        CDCDAWCall* frame = mFreeFrames;
        mFreeFrames = frame->next;
        delete frame;
    }
}

CDCDAWContextWorkspace* CDCDAWContext::findWorkspace(int key) const noexcept {
    for (const WorkspaceSlot& slot : mWorkspaces)
        if (slot.workspace != nullptr && slot.key == key)
            return slot.workspace;
    return nullptr;
}

bool CDCDAWContext::setWorkspace(int key, CDCDAWContextWorkspace* workspace) noexcept {
    WorkspaceSlot* target = nullptr;
    for (WorkspaceSlot& slot : mWorkspaces) {
        if (slot.workspace != nullptr && slot.key == key) {
            target = &slot;
            break;
        }
        if (slot.workspace == nullptr && target == nullptr)
            target = &slot;
    }
    if (target == nullptr) {
        delete workspace;
        return false;
    }
    if (target->workspace != workspace)
        delete target->workspace;
    target->key = key;
    target->workspace = workspace;
    return true;
}

CDCDAWCall* CDCDAWContext::takeFrame() noexcept {
    if (CDCDAWCall* frame = mFreeFrames) {
        mFreeFrames = frame->next;
        return frame;
    }
    return new CDCDAWCall;   // size-class allocator; kept in the free list until the context dies
}

void CDCDAWContext::finishCall(CDCDAWCall* frame, int releaseCount) noexcept {
    for (int i = 0; i < releaseCount && i < CDCDAWCall::kMaxBlocks; ++i) {
        if (frame->blocks[i] != nullptr)
            CAudioBlockPool::releaseBlock(frame->blocks[i]);
        frame->blocks[i] = nullptr;
    }
    frame->next = mFreeFrames;
    mFreeFrames = frame;
}

void CDCDAWContext::runRoutine(const CDCDAWRoutine& routine, int count, double real, double* const* blocks,
                               int blockCount) noexcept {
    CDCDAWCall* frame = takeFrame();
    frame->routine = &routine;
    frame->count = count;
    frame->real = real;
    for (int i = 0; i < CDCDAWCall::kMaxBlocks; ++i) {
        frame->blocks[i] = i < blockCount ? blocks[i] : nullptr;
        if (frame->blocks[i] != nullptr)
            CAudioBlockPool::addUse(frame->blocks[i]);
    }
    routine.routine(*frame);
    finishCall(frame, blockCount);
}

void CDCDAWContext::runSetupRoutine(const CDCDAWRoutine& routine, int count, double* state, double* coefficients,
                                    double sampleRate) noexcept {
    double* const blocks[] = {state, coefficients};
    runRoutine(routine, count, sampleRate, blocks, 2);
}

void CDCDAWContext::runProcessRoutine(const CDCDAWRoutine& routine, int count, double* output, double* state,
                                      double* input) noexcept {
    double* const blocks[] = {output, state, input};
    runRoutine(routine, count, 0.0, blocks, 3);
}

void CDCDAWContext::runProcessRoutinePair(const CDCDAWRoutine& routine, int count, double* output0, double* state0,
                                          double* input0, double* output1, double* state1, double* input1) noexcept {
    if (routine.pairRoutine == nullptr) {
        runProcessRoutine(routine, count, output0, state0, input0);
        runProcessRoutine(routine, count, output1, state1, input1);
        return;
    }
    CDCDAWCall* frame = takeFrame();
    frame->routine = &routine;
    frame->count = count;
    frame->real = 0.0;
    double* const blocks[] = {output0, state0, input0, output1, state1, input1};
    for (int i = 0; i < CDCDAWCall::kMaxBlocks; ++i) {
        frame->blocks[i] = blocks[i];
        CAudioBlockPool::addUse(blocks[i]);
    }
    routine.pairRoutine(*frame);
    finishCall(frame, CDCDAWCall::kMaxBlocks);
}

} // namespace tal
