#pragma once
#include "Core/CMemPool.h"

#include <cstddef>

namespace tal {

// An empty base that makes `new` and `delete` of a class use the size-class allocator. It adds no
// data and no virtual table. Deleting through a pointer to a base is fine as long as the class has
// a virtual destructor: poolFree needs only the block's address.
struct CPoolAllocated {
    static void* operator new(std::size_t size) { return poolAlloc(size); }
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void* block) noexcept {
        if (block != nullptr)
            poolFree(block);
    }
    static void operator delete(void*, void*) noexcept {}
};

} // namespace tal
