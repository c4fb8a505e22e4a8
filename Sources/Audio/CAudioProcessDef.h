#pragma once
#include "Audio/CAudioProcessDefBase.h"
#include "Core/CArray.h"

namespace tal {

class CAudioProcessBypassStateDef;
class CAudioProcessLinkDef;
class CAudioProcessLinkStateDef;

// The definition of a composite process ("audio:process-def"): its children's definitions, the
// links between them ("audio:process-link"), and the link and bypass states that switch links
// and children from parameter values. With "is-auto-links" the children form an automatic chain.
// The objects the lists point to are children of the definition, owned by the tree.
class CAudioProcessDef : public CAudioProcessDefBase {
public:
    CAudioProcessDef() = default;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* initChilds() override;

    // --- process creation ---
    // A new CAudioProcess (which builds its children at its first update).
    CAudioProcessBase* newProcess() override;

    // --- queries ---
    bool isAutoLinks() const noexcept { return mAutoLinks; }
    const CArray<CAudioProcessDefBase*>& subProcesses() const noexcept { return mSubProcesses; }
    // Every link in description order.
    const CArray<CAudioProcessLinkDef*>& links() const noexcept { return mLinks; }
    const CArray<CAudioProcessLinkStateDef*>& linkStates() const noexcept { return mLinkStates; }
    const CArray<CAudioProcessBypassStateDef*>& bypassStates() const noexcept { return mBypassStates; }
    // Registers a link state (no description tag makes one; code and tests add them).
    void addLinkState(CAudioProcessLinkStateDef* state) { mLinkStates.add(state); }

private:
    bool mAutoLinks = false;
    CArray<CAudioProcessDefBase*> mSubProcesses;
    CArray<CAudioProcessLinkDef*> mLinks;
    CArray<CAudioProcessLinkStateDef*> mLinkStates;
    CArray<CAudioProcessBypassStateDef*> mBypassStates;
};

} // namespace tal
