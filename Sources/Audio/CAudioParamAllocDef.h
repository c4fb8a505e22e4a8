#pragma once

#include "Core/CObject.h"

#include <cstdint>

namespace tal {

// One parameter slot of a process ("audio:param-alloc", inside a process definition): the parameter
// named relative to the process that fills slot index, and which part of its changes the process
// watches (every group, every element). The process graph reads the fields when it builds a process.
// Built with the shared description, read-only afterwards.
class CAudioParamAllocDef : public CObject {
public:
    CAudioParamAllocDef() = default;
    ~CAudioParamAllocDef() override = default;

    // --- life cycle ---
    // Reads param-name (must not be empty) and index (must not be negative).
    [[nodiscard]] CError* init() override;

    // --- queries ---
    const CString& getParamName() const { return mParamName; }
    std::int32_t getIndex() const { return mIndex; }
    bool useAllGroups() const { return mUseAllGroups; }
    bool useAllElements() const { return mUseAllElements; }
    bool isSmoothUpdate() const { return mIsSmoothUpdate; }

private:
    CString mParamName;
    std::int32_t mIndex = 0;
    bool mUseAllGroups = false;
    bool mUseAllElements = false;
    bool mIsSmoothUpdate = false;
};

} // namespace tal
