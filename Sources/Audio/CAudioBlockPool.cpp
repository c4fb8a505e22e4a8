#include "Audio/CAudioBlockPool.h"

#include "Core/CMemPool.h"

#include <cstring>

namespace tal {

namespace {

double* nextFree(double* block) noexcept {
    double* next = nullptr;
    std::memcpy(&next, block, sizeof(next));
    return next;
}

void setNextFree(double* block, double* next) noexcept { std::memcpy(block, &next, sizeof(next)); }

} // namespace

CAudioBlockPool::~CAudioBlockPool() {
    for (double*& head : mHeads) {
        while (head != nullptr) {
            double* block = head;
            head = nextFree(block);
            poolFree(header(block)->rawAllocation);
        }
    }
}

double* CAudioBlockPool::makeBlock(int listIndex, int capacity) noexcept {
    void* raw = poolAlloc(static_cast<std::uint64_t>(capacity) + kHeaderBytes);
    ++mMade;
    // The largest multiple of 16 not above raw + 32, plus 16: room for the header, 16-byte aligned.
    const std::uintptr_t samples = ((reinterpret_cast<std::uintptr_t>(raw) + 32) & ~std::uintptr_t{15}) + 16;
    double* block = reinterpret_cast<double*>(samples);
    CAudioBlockHeader* h = header(block);
    h->rawAllocation = raw;
    h->pool = this;
    h->listIndex = listIndex;
    h->capacity = capacity;
    h->useCount = 1;
    return block;
}

double* CAudioBlockPool::allocBlock(int bytes) noexcept {
    if (bytes < 1)
        bytes = 1;
    if (bytes <= kLargestSmallBytes) {
        const int list = (bytes - 1) / kGranuleBytes;
        for (int l = list; l < kLargeList; ++l) {
            if (double* block = mHeads[l]) {
                mHeads[l] = nextFree(block);
                return block;
            }
        }
        return makeBlock(list, kGranuleBytes * (list + 1));
    }
    if (double* block = mHeads[kLargeList]) {
        mHeads[kLargeList] = nextFree(block);
        if (header(block)->capacity >= bytes)
            return block;
        poolFree(header(block)->rawAllocation);   // too small: it leaves the pool for good
    }
    return makeBlock(kLargeList, bytes);
}

void CAudioBlockPool::reserve(int bytes, int count) {
    if (bytes < 1)
        bytes = 1;
    const int list = bytes <= kLargestSmallBytes ? (bytes - 1) / kGranuleBytes : kLargeList;
    int available = 0;
    for (double* b = mHeads[list]; b != nullptr; b = nextFree(b))
        ++available;
    for (; available < count; ++available) {
        double* block = makeBlock(list, list == kLargeList ? bytes : kGranuleBytes * (list + 1));
        setNextFree(block, mHeads[list]);
        mHeads[list] = block;
    }
}

void CAudioBlockPool::releaseBlock(double* block) noexcept {
    CAudioBlockHeader* h = header(block);
    if (h->useCount == 1) {
        CAudioBlockPool* pool = h->pool;
        setNextFree(block, pool->mHeads[h->listIndex]);
        pool->mHeads[h->listIndex] = block;
        return;
    }
    h->useCount--;
}

} // namespace tal
