#pragma once
#include "Core/CArray.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

class CParamInterfaceClient;
class CUIParam;

// Gathers the UI parameters that one user action changes and turns all their changes into one undo
// step on the audio side, named after the parameters that really changed and their groups. Keeps one
// step open from attach on; every collected parameter's bridge records into it; commit names and
// submits it (or removes it when nothing changed) and opens the next.
// A plain member of its owner (a control array, a control surface, a drag controller); points at
// the parameters and the client without owning them. Before attach (or attached to no client) every
// operation does nothing. Editor thread only.
class CUIParamUndoCollector {
public:
    CUIParamUndoCollector() = default;
    CUIParamUndoCollector(const CUIParamUndoCollector&) = delete;
    CUIParamUndoCollector& operator=(const CUIParamUndoCollector&) = delete;
    ~CUIParamUndoCollector();

    // --- operations ---
    // Takes the client (not owned; null leaves the collector unattached) and opens the first step.
    void attach(CParamInterfaceClient* client);
    // Replaces the open step (which is removed) by a new one with the given mergeable flag.
    void openStep(bool isMergeable);
    // Collects a bridged parameter once and points its bridge at the open step.
    void addParam(CUIParam* param);
    // Submits the open step under a name built from the changed parameters (name is used only when
    // the first group's list holds several parameters), or removes it when nothing changed; releases
    // the parameters and opens the next, plain step.
    void commit(const CString& name);
    // commit with the empty name; the next step is mergeable.
    void commitAndReopen();
    // Removes the open step, releases the parameters and opens the next.
    void discard();
    // Releases every parameter (their bridges forget the step); nothing is sent.
    void detachAll();

    // --- queries ---
    std::int32_t openStepId() const noexcept { return mOpenStepId; }
    int paramCount() const noexcept { return mParams.count(); }
    bool isAttached() const noexcept { return mClient != nullptr; }

private:
    // Names and submits (or removes) the open step, releases the parameters and opens the next step.
    void finish(const CString& name, bool collectChanges, bool nextMergeable);
    CString stepName(const CString& name) const;

    CArray<CUIParam*> mParams;  // not owned
    CParamInterfaceClient* mClient = nullptr;  // not owned
    CSortedMap<CString, CStringList> mGroupNames;
    bool mAllUngrouped = true;
    std::int32_t mOpenStepId = -1;
};

} // namespace tal
