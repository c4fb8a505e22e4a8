#pragma once
#include "Core/CPoolAllocated.h"

#include <zlib.h>

namespace tal {

// The zlib state shared by the compressing and decompressing streams, with zlib's allocations
// routed to the size-class allocator. One stream, one thread, one record.
class CZipStream : public CPoolAllocated {
public:
    CZipStream(const CZipStream&) = delete;
    CZipStream& operator=(const CZipStream&) = delete;

    static constexpr int kBufferBytes = 32768;

protected:
    CZipStream() noexcept;
    ~CZipStream() = default;

    // zlib's message for the last call, or "" when it gave none.
    const char* zlibMessage() const noexcept { return mZ.msg ? mZ.msg : ""; }

    z_stream mZ{};
};

// The allocation hooks given to zlib: items * size bytes from the size-class allocator.
void* zipAlloc(void* opaque, unsigned items, unsigned size);
void zipFree(void* opaque, void* block);

} // namespace tal
