#pragma once

#include "Core/CWriteSeqBuffer.h"

#include <cstdint>
#include <vector>

namespace tal {

// The bytes written into an in-memory stream.
inline std::vector<std::uint8_t> bytesOf(const CWriteSeqBuffer& buffer) {
    std::vector<std::uint8_t> bytes(std::size_t(buffer.getSize()));
    if (!bytes.empty()) buffer.copyTo(bytes.data());
    return bytes;
}

} // namespace tal
