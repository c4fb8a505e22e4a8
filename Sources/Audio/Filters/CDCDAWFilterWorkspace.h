#pragma once

#include "Audio/Filters/CDCDAWContextWorkspace.h"
#include "Audio/Filters/CDCDAWFilterRoutines.h"

namespace tal {

class CDCDAWContext;

// The filter workspace of a context (kept under key 65535): the routine set of every filter kind
// that a design with this context needed so far. A set is made on first use and keeps its
// address for the workspace's life, so stage records and running state records may point to it.
// Used on the context's thread only.
class CDCDAWFilterWorkspace : public CDCDAWContextWorkspace {
public:
    static constexpr int kWorkspaceKey = 65535;

    // Filter kind keys and the routine sets they stand for.
    static constexpr int kFirstOrderLowPass = 9;
    static constexpr int kFirstOrderHighPass = 10;
    static constexpr int kBiquadCommon = 11;        // 11 + numerator shape 0..4
    static constexpr int kBiquadLowPass = 12;
    static constexpr int kBiquadHighPass = 13;
    static constexpr int kBiquadBandPass = 14;
    static constexpr int kBiquadNotch = 15;
    static constexpr int kFirstOrderHighPassGain = 16;
    static constexpr int kMaxKey = 16;

    explicit CDCDAWFilterWorkspace(CDCDAWContext& owner) : mOwner(&owner) {}

    // The filter workspace of a context, made on first use; null only when the context has no
    // free workspace slot.
    static CDCDAWFilterWorkspace* of(CDCDAWContext& context) noexcept;

    // The routine set of a kind key (9 to 16), made from `table` (the designer's routine table of
    // `tableSize` entries) on first use; null for other keys or a table without that routine.
    const CDCDAWFilterRoutines* routineSet(int key, const CDCDAWRoutine* table, int tableSize) noexcept;

    CDCDAWContext& owner() const noexcept { return *mOwner; }

private:
    CDCDAWContext* mOwner;
    CDCDAWFilterRoutines mSets[kMaxKey + 1] = {};
    bool mMade[kMaxKey + 1] = {};
};

} // namespace tal
