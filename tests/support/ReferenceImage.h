#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tal {

class CLinearBitmap;

// The reference-image check of the editor's tests: a rendered bitmap is compared with the PNG
// tests/fixtures/<name>.png. It matches when at most maxDiffering pixels differ from the reference
// by more than channelDelta in any of red, green or blue, and the sizes agree. On a mismatch the
// rendered picture is written beside the build as <build>/reference-failures/<name>.png for a look.
//
// Regenerating: run the tests with TAL_UPDATE_REFERENCES=1 in the environment; every check then
// writes its bitmap as the new reference (and passes). Look at each changed PNG before committing
// it (tests/fixtures/README.md).
::testing::AssertionResult matchesReference(const CLinearBitmap& bitmap, const std::string& name,
                                            std::int32_t channelDelta, std::int64_t maxDiffering);

} // namespace tal
