#include "Audio/Viz/CSpectrumValueReserve.h"

#include "Core/CMemPool.h"
#include "Platform/CSpinLock.h"

#include <cstring>

namespace tal {

namespace {

// The free blocks of one order, linked through their first 8 bytes.
struct COrderList {
    CSpinLock lock;
    void* free = nullptr;          // under lock
    std::int32_t freeCount = 0;    // under lock
    std::int32_t existing = 0;     // under lock
    std::int32_t target = 0;       // under lock
    std::int64_t allocated = 0;    // under lock
};

constexpr std::int32_t kOrders = CSpectrumValueReserve::kMaxOrder - CSpectrumValueReserve::kMinOrder + 1;
COrderList gLists[kOrders];

COrderList* listOf(std::int32_t order) noexcept {
    if (order < CSpectrumValueReserve::kMinOrder || order > CSpectrumValueReserve::kMaxOrder)
        return nullptr;
    return &gLists[order - CSpectrumValueReserve::kMinOrder];
}

// One counter of an order's list, read under its lock; 0 for an order outside the reserve.
template <class T>
T countOf(std::int32_t order, T COrderList::*counter) noexcept {
    COrderList* list = listOf(order);
    if (list == nullptr)
        return 0;
    CSpinLockGuard guard(list->lock);
    return list->*counter;
}

std::uint64_t blockBytes(std::int32_t order) noexcept {
    return ((std::uint64_t(1) << (order - 1)) + 1) * sizeof(double);
}

void* popLocked(COrderList& list) noexcept {
    void* block = list.free;
    if (block != nullptr) {
        std::memcpy(&list.free, block, sizeof(void*));
        --list.freeCount;
    }
    return block;
}

void pushLocked(COrderList& list, void* block) noexcept {
    std::memcpy(block, &list.free, sizeof(void*));
    list.free = block;
    ++list.freeCount;
}

// Takes free blocks off the list while more exist than the target asks for; returns them
// chained, to be freed after the lock.
void* takeSurplusLocked(COrderList& list) noexcept {
    void* surplus = nullptr;
    while (list.existing > list.target) {
        void* block = popLocked(list);
        if (block == nullptr)
            break;
        --list.existing;
        std::memcpy(block, &surplus, sizeof(void*));
        surplus = block;
    }
    return surplus;
}

void freeChain(void* chain) noexcept {
    while (chain != nullptr) {
        void* next = nullptr;
        std::memcpy(&next, chain, sizeof(void*));
        poolFree(chain);
        chain = next;
    }
}

} // namespace

std::int32_t CSpectrumValueReserve::orderOfBins(std::int32_t bins) noexcept {
    for (std::int32_t order = kMinOrder; order <= kMaxOrder; ++order)
        if (bins == (std::int32_t(1) << (order - 1)) + 1)
            return order;
    return -1;
}

void CSpectrumValueReserve::reserve(std::int32_t order, std::int32_t count) {
    COrderList* list = listOf(order);
    if (list == nullptr || count <= 0)
        return;
    std::int32_t missing = 0;
    void* surplus = nullptr;
    {
        CSpinLockGuard guard(list->lock);
        list->target += count;
        missing = list->target - list->existing;
        if (missing > 0)
            list->existing += missing;   // counted now, so a concurrent reserve does not add them too
        else
            surplus = takeSurplusLocked(*list);   // blocks that came back after an earlier unreserve
    }
    freeChain(surplus);
    // Allocate outside the lock: the audio threads of other instances may be taking blocks.
    for (std::int32_t i = 0; i < missing; ++i) {
        void* block = poolAlloc(blockBytes(order));
        CSpinLockGuard guard(list->lock);
        pushLocked(*list, block);
        ++list->allocated;
    }
}

void CSpectrumValueReserve::unreserve(std::int32_t order, std::int32_t count) noexcept {
    COrderList* list = listOf(order);
    if (list == nullptr || count <= 0)
        return;
    void* surplus = nullptr;
    {
        CSpinLockGuard guard(list->lock);
        list->target -= count;
        if (list->target < 0)
            list->target = 0;
        surplus = takeSurplusLocked(*list);
    }
    freeChain(surplus);
}

double* CSpectrumValueReserve::take(std::int32_t order) noexcept {
    COrderList* list = listOf(order);
    if (list == nullptr)
        return nullptr;
    CSpinLockGuard guard(list->lock);
    return static_cast<double*>(popLocked(*list));
}

void CSpectrumValueReserve::give(std::int32_t order, double* block) noexcept {
    COrderList* list = listOf(order);
    if (list == nullptr || block == nullptr)
        return;
    CSpinLockGuard guard(list->lock);
    pushLocked(*list, block);
}

std::int32_t CSpectrumValueReserve::existingCount(std::int32_t order) noexcept {
    return countOf(order, &COrderList::existing);
}

std::int32_t CSpectrumValueReserve::freeCount(std::int32_t order) noexcept {
    return countOf(order, &COrderList::freeCount);
}

std::int64_t CSpectrumValueReserve::allocatedTotal(std::int32_t order) noexcept {
    return countOf(order, &COrderList::allocated);
}

} // namespace tal
