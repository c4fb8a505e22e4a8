#pragma once

#include <string_view>

namespace tal {

// The name map of a values record: value name to position in the value array. Names are views
// of text the caller keeps alive while the map is used (parameter names of the description).
// Holds up to kCapacity names inline.
class CAudioFilterValueMap {
public:
    static constexpr int kCapacity = 16;

    CAudioFilterValueMap() = default;

    // Maps a name to a position (a later entry of the same name replaces it); false when full.
    bool add(std::string_view name, int position) noexcept;
    // The position of a name, -1 when absent.
    int find(std::string_view name) const noexcept;

    // freq 0, gain 1, bw 2: the order in which the product's filter modules hand their values over.
    static const CAudioFilterValueMap& standard() noexcept;

private:
    struct Entry {
        std::string_view name;
        int position = -1;
    };
    int mCount = 0;
    Entry mEntries[kCapacity] = {};
};

// The named values a designer reads: a name map, the values, and one pointer that no designer
// reads (the serial designer hands it on to its items). Built by the caller.
struct CAudioFilterValues {
    const CAudioFilterValueMap* names = nullptr;
    int count = 0;
    const double* values = nullptr;
    const void* user = nullptr;

    // The value of a name; false when the name is absent or its position lies outside the values.
    bool read(std::string_view name, double& value) const noexcept;
};

} // namespace tal
