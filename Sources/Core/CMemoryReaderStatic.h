#pragma once
#include "Core/CMemoryReader.h"

namespace tal {

// A memory reader over bytes that live as long as the process (an embedded resource), whose
// unread bytes may be used in place through getDataPtr. Any number of them may read the same
// bytes on different threads.
class CMemoryReaderStatic : public CMemoryReader {
public:
    using CMemoryReader::CMemoryReader;

    // The byte at the position while the position is below the size, else null.
    const std::uint8_t* getDataPtr() override { return mPosition < mSize ? mData + mPosition : nullptr; }
};

} // namespace tal
