#pragma once

#include <vector>

namespace tal {

class CAudioFilterGen;

// The designer array ("audio:fltgen-array"): maps a band's integer mode to a designer. Filled
// while the description loads (the designers are not owned), read-only afterwards, read from any
// thread.
class CAudioFilterGenArray {
public:
    CAudioFilterGenArray() = default;
    CAudioFilterGenArray(const CAudioFilterGenArray&) = delete;
    CAudioFilterGenArray& operator=(const CAudioFilterGenArray&) = delete;

    // --- configuration: while the description loads ---
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

} // namespace tal
