#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAudioParamAllocDef;
class CAudioParamCollector;
class CAudioParamDef;
class CAudioParamFilterDef;
class CAudioParamRemapDef;
class CAudioParamSharedStorage;

// The part of a process definition that collects the definition's local parameter objects into
// tables once its children exist: the parameter allocations by index (a later allocation of an
// index replaces an earlier one), the remappings, and the shared storages, parameter filters and
// parameter definitions, directly or inside a parameter group (a "core:object" child, whose short
// name becomes part of the relative names and of the filters' group prefix). Relative names
// begin with a dot and are appended to a process's name prefix. Read-only after initChilds; the
// objects the tables point to are children owned by the tree.
class CAudioProcessDefBaseInit : public CObject {
public:
    struct CParamEntry {
        CAudioParamDef* definition;
        CString* relativeName;   // owned
    };
    struct CSharedEntry {
        CAudioParamSharedStorage* storage;
        CString* relativeName;   // owned
    };
    struct CFilterEntry {
        CAudioParamFilterDef* definition;
        CString* groupPrefix;    // owned; empty, or a dot and the group's short name
    };

    CAudioProcessDefBaseInit() = default;
    ~CAudioProcessDefBaseInit() override;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* initChilds() override;

    // --- process creation ---
    // Creates and binds every global parameter of the table under prefix (skipping names the
    // collector remaps elsewhere), then lets the collector mirror each shared storage's parameter
    // (prefix + its relative name) into the storage's application-data scope and item. Main
    // thread: the mirrors read the scope (files) at once.
    void registerParams(const CString& prefix, CAudioParamCollector& collector) const;

    // --- queries ---
    // The allocation of a slot index, null when none.
    const CAudioParamAllocDef* findAllocation(std::int32_t index) const noexcept;
    // Every allocation in ascending index.
    const CSortedMap<std::int32_t, CAudioParamAllocDef*>& allocations() const noexcept { return mAllocations; }
    int paramCount() const noexcept { return mParams.count(); }
    const CParamEntry& param(int index) const noexcept { return mParams[index]; }
    const CArray<CAudioParamRemapDef*>& remaps() const noexcept { return mRemaps; }
    const CArray<CSharedEntry>& sharedStorages() const noexcept { return mShared; }
    const CArray<CFilterEntry>& filters() const noexcept { return mFilters; }

    // The full name of a parameter name written relative to base (a process's name prefix):
    // a leading "/" makes the rest absolute; each leading "^" drops the last dotted component of
    // base (all of it when it has no dot); the rest is joined to what remains with one dot.
    static CString resolveParamName(const CString& name, const CString& base);

protected:
    // Enters a child into the tables; false when it is none of the kinds collected here (the
    // subclass then looks at it).
    bool collectChild(CObject* child);

private:
    // Shared storages, filters and parameters, directly (empty group) or inside a group.
    bool collectGrouped(CObject* object, const CString& group);

    CSortedMap<std::int32_t, CAudioParamAllocDef*> mAllocations;
    CArray<CAudioParamRemapDef*> mRemaps;
    CArray<CSharedEntry> mShared;
    CArray<CFilterEntry> mFilters;
    CArray<CParamEntry> mParams;
};

} // namespace tal
