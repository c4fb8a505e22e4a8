// libFuzzer target: the DRIX decoder on arbitrary blocks, and encode-decode round trips.
#include "Core/Drix.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > (1u << 20))
        return 0;
    // First three bytes: the raw length to decode into (up to 1 MiB); the rest is the block.
    const std::int32_t raw = std::int32_t(data[0] | data[1] << 8 | (data[2] & 0x0F) << 16);
    const std::uint8_t* block = data + 3;
    const std::int32_t packed = std::int32_t(size - 3);
    std::vector<std::uint8_t> copy(block, block + packed);   // exact size: reads beyond are caught
    std::vector<std::uint8_t> out(std::size_t(raw) + 1);
    const std::int32_t r = tal::drixDecompress(copy.data(), raw > 0 ? out.data() : nullptr, packed, raw);
    if (r > raw)
        __builtin_trap();

    // Every input compresses to a block that decodes to the same bytes.
    std::vector<std::uint8_t> packedOut(std::size_t(tal::drixCompressBound(packed)));
    const std::int32_t n = tal::drixCompress(block, packedOut.data(), packed, std::int32_t(packedOut.size()));
    if (packed > 0) {
        if (n <= 0)
            __builtin_trap();
        packedOut.resize(std::size_t(n));
        std::vector<std::uint8_t> back(static_cast<std::size_t>(packed));
        if (tal::drixDecompress(packedOut.data(), back.data(), n, packed) != packed ||
            std::memcmp(back.data(), block, std::size_t(packed)) != 0)
            __builtin_trap();
    }
    return 0;
}
