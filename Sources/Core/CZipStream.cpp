#include "Core/CZipStream.h"

#include "Core/CMemPool.h"

namespace tal {

CZipStream::CZipStream() noexcept {
    mZ.zalloc = zipAlloc;
    mZ.zfree = zipFree;
    mZ.opaque = nullptr;
}

void* zipAlloc(void*, unsigned items, unsigned size) { return poolAlloc(std::uint64_t(items) * size); }

void zipFree(void*, void* block) {
    if (block != nullptr)
        poolFree(block);
}

} // namespace tal
