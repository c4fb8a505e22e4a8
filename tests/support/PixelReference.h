#pragma once
#include <cmath>

namespace tal::test {

// The exact blend of a pixel value p towards s with weight w of 32768, rounded half up.
inline int blendRef(int p, int s, long long w) { return p + int(std::floor(((s - p) * double(w) + 16384.0) / 32768.0)); }

} // namespace tal::test
