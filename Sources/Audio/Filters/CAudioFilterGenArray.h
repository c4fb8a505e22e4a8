#pragma once

#include "Core/CObject.h"

#include <vector>

namespace tal {

class CAudioFilterGen;
class CError;

// The designer array ("audio:fltgen-array"): maps a band's integer mode to a designer. Its table
// is built in initChilds from its "audio:fltgen-array-item" children (or filled by code); the
// designers are not owned. Read-only after the description has loaded, read from any thread.
class CAudioFilterGenArray : public CObject {
public:
    CAudioFilterGenArray() = default;

    // --- life cycle and configuration: while the description loads ---
    // Stores every array item with an index of 0 or more at its index; a later item replaces an
    // earlier one of the same index.
    [[nodiscard]] CError* initChilds() override;
    // Stores a designer at an index (a later one replaces an earlier one); negative indices are
    // ignored.
    void setGen(int index, const CAudioFilterGen* designer);

    // --- queries: any thread ---
    // The designer at an index; null when the index is negative, beyond the table or empty.
    const CAudioFilterGen* getGen(int index) const noexcept;
    int size() const noexcept { return static_cast<int>(mTable.size()); }

private:
    std::vector<const CAudioFilterGen*> mTable;
};

// One entry of a designer array ("audio:fltgen-array-item"): the designer named by "fltgen"
// (required) at position "index". Its parent must be a CAudioFilterGenArray. Read in init.
class CAudioFilterGenArrayItem : public CObject {
public:
    CAudioFilterGenArrayItem() = default;

    [[nodiscard]] CError* init() override;

    const CAudioFilterGen* designer() const noexcept { return mDesigner; }
    int index() const noexcept { return mIndex; }

private:
    const CAudioFilterGen* mDesigner = nullptr;
    int mIndex = 0;
};

} // namespace tal
