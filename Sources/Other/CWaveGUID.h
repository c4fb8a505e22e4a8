#pragma once
#include <cstdint>
#include <cstring>

namespace tal {

// A 16-byte identifier as Wave64 files and the extensible WAVE format store it: data1, data2 and
// data3 little-endian, then the 8 bytes of data4 in order.
struct CWaveGUID {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};

    // Two identifiers are equal when all 16 bytes are.
    friend bool operator==(const CWaveGUID& a, const CWaveGUID& b) noexcept {
        return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
               std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
    }

    // --- the identifiers the reader and writer know ---
    static const CWaveGUID kW64Riff;        // Wave64 file header "riff"
    static const CWaveGUID kW64List;        // Wave64 "list" (known, not used)
    static const CWaveGUID kW64Wave;        // Wave64 form type "wave"
    static const CWaveGUID kW64Format;      // Wave64 "fmt "
    static const CWaveGUID kW64Data;        // Wave64 "data"
    static const CWaveGUID kW64Bext;        // Wave64 "bext"
    static const CWaveGUID kW64Summary;     // Wave64 summary list (INFO texts)
    static const CWaveGUID kW64Marker;      // Wave64 markers
    static const CWaveGUID kSubFormatPCM;   // extensible sub-format: integer PCM
    static const CWaveGUID kSubFormatFloat; // extensible sub-format: IEEE float
};

inline constexpr CWaveGUID makeWaveGUID(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint8_t a,
                                        std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint8_t e, std::uint8_t f,
                                        std::uint8_t g, std::uint8_t h) {
    return CWaveGUID{d1, d2, d3, {a, b, c, d, e, f, g, h}};
}

inline const CWaveGUID CWaveGUID::kW64Riff = makeWaveGUID(0x66666972, 0x912E, 0x11CF, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00);
inline const CWaveGUID CWaveGUID::kW64List = makeWaveGUID(0x7473696C, 0x912F, 0x11CF, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00);
inline const CWaveGUID CWaveGUID::kW64Wave = makeWaveGUID(0x65766177, 0xACF3, 0x11D3, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A);
inline const CWaveGUID CWaveGUID::kW64Format = makeWaveGUID(0x20746D66, 0xACF3, 0x11D3, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A);
inline const CWaveGUID CWaveGUID::kW64Data = makeWaveGUID(0x61746164, 0xACF3, 0x11D3, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A);
inline const CWaveGUID CWaveGUID::kW64Bext = makeWaveGUID(0x74786562, 0xACF3, 0x11D3, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A);
inline const CWaveGUID CWaveGUID::kW64Summary = makeWaveGUID(0x925F94BC, 0x525A, 0x11D2, 0x86, 0xDC, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A);
inline const CWaveGUID CWaveGUID::kW64Marker = makeWaveGUID(0xABF76256, 0x392D, 0x11D2, 0x86, 0xC7, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A);
inline const CWaveGUID CWaveGUID::kSubFormatPCM = makeWaveGUID(0x00000001, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
inline const CWaveGUID CWaveGUID::kSubFormatFloat = makeWaveGUID(0x00000003, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);

} // namespace tal
