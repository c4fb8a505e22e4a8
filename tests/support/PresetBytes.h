#pragma once

#include "LeBytes.h"

#include <string>
#include <vector>

namespace tal::test {

// A preset entry written by hand: the definition name, then a float storage record of element
// size 1 whose groups hold the given values.
inline LeBytes floatEntry(const std::string& definition, const std::vector<std::vector<double>>& groups) {
    LeBytes b;
    b.str(definition).i32(1).i32(1).i32(0).i32(std::int32_t(groups.size()));
    for (const std::vector<double>& g : groups) {
        b.i32(std::int32_t(g.size()));
        for (double v : g) b.f64(v);
    }
    return b;
}

// One entry of a preset record: name, state length, state.
inline LeBytes& appendEntry(LeBytes& to, const std::string& name, const LeBytes& state) {
    to.str(name).i32(state.size()).raw(state.bytes());
    return to;
}

} // namespace tal::test
