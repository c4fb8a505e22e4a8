#include "Audio/Processes/CModFilterIIR.h"

#include "Audio/CAudioChannelDesc.h"
#include "Audio/CAudioEnv.h"

namespace tal {

double CModFilterIIR::blockTime() const noexcept {
    const CAudioEnv* env = moduleEnv();
    return env != nullptr ? env->runningTime : 0.0;
}

bool CModFilterIIR::stereoPair(CModFilterIIRModule*& a, CModFilterIIRModule*& b) const noexcept {
    const CArray<CAudioModule*>& list = runList();
    if (list.count() != 2 || crossfadingCount() != 0)
        return false;
    a = static_cast<CModFilterIIRModule*>(list[0]);
    b = static_cast<CModFilterIIRModule*>(list[1]);
    if (a->outputCount != 1 || b->outputCount != 1)
        return false;
    return a->stateCount() == 0 && b->stateCount() == 0 ? true : a->canPairWith(*b);
}

bool CModFilterIIR::canFollow(const CModFilterIIRModule& a, const CModFilterIIRModule& b) noexcept {
    // Nothing may change this band between the first band's turn and its own: no format change,
    // no timed update, no delay line, its only input the previous band. A parameter update that
    // only redesigns (a morph, no crossfade with its timed end) runs now instead of at its turn:
    // the block loop applied this sub-block's values before the graph ran, and the band's own
    // turn then finds nothing pending.
    if (formatChangeCounter() > 0 || !delayList().isEmpty() || connections().count() != 1 || hasDeferredUpdates())
        return false;
    if (isUpdatePending()) {
        if (pendingUpdateMayCrossfade())
            return false;
        runUpdate();
        if (isUpdatePending())
            return false;
    }
    CModFilterIIRModule* na = nullptr;
    CModFilterIIRModule* nb = nullptr;
    if (!stereoPair(na, nb))
        return false;
    // Channel for channel: each module takes the previous band's module output of its channel.
    const CAudioChannelDesc* ia = na->inputTable[0];
    const CAudioChannelDesc* ib = nb->inputTable[0];
    return ia->key == a.outputs[0].key && ia->group == a.outputs[0].group && ib->key == b.outputs[0].key &&
           ib->group == b.outputs[0].group && na->context == a.context && na->runsBiquads() && nb->runsBiquads();
}

bool CModFilterIIR::runChain() noexcept {
    CModFilterIIRModule* a[kMaxChain];
    CModFilterIIRModule* b[kMaxChain];
    CModFilterIIR* bands[kMaxChain];
    // A band without stages (switched off) passes its input on and heads no chain: the next band
    // that filters does, and an equaliser with every band off searches nothing.
    if (!stereoPair(a[0], b[0]) || a[0]->stateCount() == 0 || !a[0]->runsBiquads() || !b[0]->runsBiquads())
        return false;
    bands[0] = this;
    int count = 1;
    while (count < kMaxChain) {
        const CModFilterIIR* at = bands[count - 1];
        if (at->outputCount() != 1)
            break;
        auto* next = dynamic_cast<CModFilterIIR*>(at->outputLink(0).target);
        if (next == nullptr || !next->canFollow(*a[count - 1], *b[count - 1]))
            break;
        bool seen = false;   // a band met twice would filter twice
        for (int i = 0; i < count; ++i)
            seen = seen || bands[i] == next;
        if (seen)
            break;
        next->stereoPair(a[count], b[count]);
        bands[count++] = next;
    }
    if (!CModFilterIIRModule::runChainPair(a, b, count)) {
        // Fewer than two stages among these bands: no later band of them can do better.
        for (int i = 1; i < count; ++i)
            bands[i]->mSkipChain = true;
        return false;
    }
    const double time = blockTime();
    for (int i = 1; i < count; ++i) {
        bands[i]->mPreAppliedSet = true;
        bands[i]->mPreAppliedTime = time;
        bands[i]->mPreApplied[0] = a[0]->outputs[0].block;
        bands[i]->mPreApplied[1] = b[0]->outputs[0].block;
    }
    return true;
}

bool CModFilterIIR::takePreApplied() noexcept {
    mRanInChain = false;
    if (!mPreAppliedSet)
        return false;
    // The blocks of this very sub-block (a mark left over from an earlier one is stale).
    const bool mine = mPreAppliedTime == blockTime();
    mPreAppliedSet = false;
    const CArray<CAudioModule*>& list = runList();
    if (!mine || list.count() != 2 || list[0]->inputBlock(0) != mPreApplied[0] ||
        list[1]->inputBlock(0) != mPreApplied[1])
        return false;
    list[0]->passInput(0);
    list[1]->passInput(0);
    mRanInChain = true;
    return true;
}

void CModFilterIIR::runModules() noexcept {
    const bool skipChain = mSkipChain;
    mSkipChain = false;
    if (takePreApplied() || (!skipChain && runChain()))
        return;
    const CArray<CAudioModule*>& list = runList();
    int i = 0;
    while (i < list.count()) {
        auto* a = static_cast<CModFilterIIRModule*>(list[i]);
        if (i + 1 < list.count()) {
            auto* b = static_cast<CModFilterIIRModule*>(list[i + 1]);
            if (a->canPairWith(*b)) {
                CModFilterIIRModule::processPair(*a, *b);
                i += 2;
                continue;
            }
        }
        a->process();
        ++i;
    }
}

} // namespace tal
