#pragma once
#include <cstdint>

namespace tal {

// Value blocks for spectrum frames too long for a pool block (1024-point analyses and above: 513
// bins and more), so that the audio thread can emit such frames without touching the system heap.
// An analyser reserves blocks for its size when it is (re)configured, takes one per emitted frame,
// and whoever deletes the frame (the editor's reply, a dropped queue) gives the block back.
//
// One free list per analysis order (10 to 16), each under its own short spin lock, so the audio
// thread waits only for a few pointer operations. Reserving and trimming allocate and free; they
// run when an analyser changes its size or goes away, never per frame.
class CSpectrumValueReserve {
public:
    static constexpr std::int32_t kMinOrder = 10;
    static constexpr std::int32_t kMaxOrder = 16;

    // The order whose spectrum has `bins` values (2^(order-1) + 1), or -1 for a bin count whose
    // values fit a pool block or that no analysis produces.
    static std::int32_t orderOfBins(std::int32_t bins) noexcept;

    // --- (re)configuration ---
    // Adds count blocks to the order's target and allocates blocks until that many exist.
    static void reserve(std::int32_t order, std::int32_t count);
    // Takes count blocks off the order's target and frees free blocks above it; blocks still out
    // in frames are trimmed when they are back and the target changes again.
    static void unreserve(std::int32_t order, std::int32_t count) noexcept;

    // --- any thread, the audio thread included ---
    // A free block of the order's bin count, or null when every block is out.
    static double* take(std::int32_t order) noexcept;
    // Returns a block that take gave out.
    static void give(std::int32_t order, double* block) noexcept;

    // --- statistics (tests and diagnostics) ---
    // Blocks of the order that exist (free or out in frames), and how many of them are free.
    static std::int32_t existingCount(std::int32_t order) noexcept;
    static std::int32_t freeCount(std::int32_t order) noexcept;
    // Blocks allocated for the order since the process started.
    static std::int64_t allocatedTotal(std::int32_t order) noexcept;
};

} // namespace tal
