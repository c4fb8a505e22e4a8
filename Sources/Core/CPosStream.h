#pragma once
#include <cstdint>

namespace tal {

class CError;

// The positioning part of a stream: position, seek and size in bytes. Always inherited virtually,
// so that a stream that is both a reader and a file has one positioning part.
class CPosStream {
public:
    virtual ~CPosStream() = default;

    [[nodiscard]] virtual CError* getPosition(std::uint64_t& position) = 0;
    [[nodiscard]] virtual CError* setPosition(std::uint64_t position) = 0;
    [[nodiscard]] virtual CError* getSize(std::uint64_t& size) = 0;

    // The position or size as a signed 32-bit value; 2^31 or more fails and leaves value unset.
    [[nodiscard]] CError* getPositionInt(std::int32_t& value);
    [[nodiscard]] CError* getSizeInt(std::int32_t& value);
};

} // namespace tal
