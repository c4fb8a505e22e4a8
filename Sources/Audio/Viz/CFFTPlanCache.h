#pragma once
#include "Core/CPoolAllocated.h"
#include "fft/RealFFTPlanHeader.h"

#include <cstdint>

namespace tal {

// One forward real-FFT plan of one order: the initialised plan header and its work buffer.
// A plan serves one holder at a time, between acquireFFTPlan and releaseFFTPlan.
struct CFFTPlan : CPoolAllocated {
    std::int32_t order = 0;
    std::int32_t size = 0;          // N = 2^order
    double inverseSize = 0.0;       // 1 / N
    CFFTPlan* next = nullptr;       // link in the cache's free list of its order
    RealFFTSpec* spec = nullptr;    // inside specMemory; null when initialisation failed
    std::uint8_t* specMemory = nullptr;
    std::uint8_t* workMemory = nullptr;
};

// The process-wide plan cache, shared by every instance's spectrum analyser and the editor's
// spectrum display: one free list per order (0 to 30). Plans are made once per order and holder
// count and reused for the life of the process.
//
// Threads: any thread. A spin lock guards the free lists and is held only to pop or push one
// plan; a new plan is made outside it, so a holder on the audio thread never waits while another
// thread builds a plan (a plan of order 16 takes a while).
constexpr std::int32_t kFFTPlanMaxOrder = 30;

// A plan of the order, from the free list or newly made. Null for an order outside 0 to 30.
CFFTPlan* acquireFFTPlan(std::int32_t order);
// Puts a plan back on the free list of its order. Null is ignored.
void releaseFFTPlan(CFFTPlan* plan) noexcept;
// Fills a fresh plan record: sizes, plan header (no scaling) and work buffer.
void initFFTPlan(CFFTPlan* plan, std::int32_t order);
// Frees every plan waiting on the free lists (module unload, tests). Plans that are held stay
// valid and may still be released afterwards.
void releaseFFTPlanCache() noexcept;
// Plans waiting on the free list of an order (tests and diagnostics).
int cachedFFTPlanCount(std::int32_t order) noexcept;

} // namespace tal
