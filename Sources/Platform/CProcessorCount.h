#pragma once

namespace tal {

// The number of processors as counted once at start-up (at least 1). Tests force another count
// to run the parallel paths of a small machine's code on any machine, or the reverse.
int processorCount() noexcept;
// Forces the count; 0 or less goes back to the counted value. Main thread, between uses.
void setProcessorCountForTests(int count) noexcept;

} // namespace tal
