#pragma once

namespace tal {

// The value of one element of a UI parameter: one double per value component (at most four);
// components that the parameter lacks are 0. Passed by value.
struct CUIParamValue {
    static constexpr int kComponents = 4;

    double& operator[](int component) noexcept { return values[component]; }
    double operator[](int component) const noexcept { return values[component]; }

    double values[kComponents] = {0.0, 0.0, 0.0, 0.0};
};

} // namespace tal
