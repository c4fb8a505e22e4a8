#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tal {

// One decoded pixel of a run-length block: its class (0 transparent, 1 translucent, 2 opaque) and
// its bytes as the bitmap order stores them (4 channels: R, G, B, A; 2: tone, alpha; 1: coverage).
struct DecodedPixel {
    int cls = 0;
    std::array<std::uint8_t, 4> bytes{};
    bool operator==(const DecodedPixel&) const = default;
};

// A plain decoder of the run-length block, written for tests from the format's description: row
// table, one- or two-byte headers, four run types. Returns width x height pixels.
inline std::vector<DecodedPixel> decodeRuns(const std::uint8_t* block, std::int32_t width, std::int32_t height,
                                            std::int32_t channels) {
    std::vector<DecodedPixel> out(std::size_t(width) * std::size_t(height));
    const int opaqueBytes = channels == 4 ? 4 : channels - 1;
    for (std::int32_t r = 0; r < height; ++r) {
        std::int32_t offset = 0;
        std::memcpy(&offset, block + 2 + 4 * r, 4);
        if (offset == 0)
            continue;
        const std::uint8_t* s = block + offset;
        std::int32_t x = 0;
        while (x < width) {
            std::uint32_t header = *s++;
            if (header & 4)
                header |= std::uint32_t(*s++) << 8;
            const int length = int(header >> 3), type = int(header & 3);
            const std::uint8_t* repeated = s;
            if (type == 3)
                s += opaqueBytes;
            for (int i = 0; i < length; ++i, ++x) {
                DecodedPixel& p = out[std::size_t(r) * std::size_t(width) + std::size_t(x)];
                if (type == 1) {
                    p.cls = 1;
                    for (int c = 0; c < channels; ++c)
                        p.bytes[std::size_t(c)] = *s++;
                } else if (type == 2 || type == 3) {
                    p.cls = 2;
                    const std::uint8_t* from = type == 3 ? repeated : s;
                    for (int c = 0; c < opaqueBytes; ++c)
                        p.bytes[std::size_t(c)] = from[c];
                    if (type == 2)
                        s += opaqueBytes;
                }
            }
        }
    }
    return out;
}

// What the encoder must keep of a raw pixel (4 channels stored B, G, R, A): alpha up to 3 is
// transparent, 254 and 255 opaque (alpha 255 stored), the rest translucent with its alpha.
inline DecodedPixel expectedPixel(const std::uint8_t* s, std::int32_t channels) {
    DecodedPixel p;
    const int a = channels == 1 ? s[0] : channels == 2 ? s[1] : s[3];
    if (a <= 3)
        return p;
    p.cls = a >= 254 ? 2 : 1;
    if (channels == 4)
        p.bytes = {s[2], s[1], s[0], std::uint8_t(p.cls == 2 ? 255 : a)};
    else if (channels == 2)
        p.bytes = {s[0], std::uint8_t(p.cls == 2 ? 0 : a), 0, 0};
    else
        p.bytes = {std::uint8_t(p.cls == 2 ? 0 : a), 0, 0, 0};
    return p;
}

} // namespace tal
