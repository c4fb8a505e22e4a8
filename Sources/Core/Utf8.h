#pragma once
#include <cstdint>

// UTF-8 encoding shared by every text writer of the framework.
namespace tal {

// Writes the UTF-8 form of code point c to out, which has room for 4 bytes, and returns the number
// of bytes: 1 below U+0080, 2 below U+0800, 3 up to U+FFFF, 4 up to U+10FFFF. Surrogates
// (U+D800 to U+DFFF) and values above U+10FFFF write nothing and return 0. An 8-bit character is
// its Latin-1 code point.
inline int encodeUtf8(std::uint32_t c, std::uint8_t* out) noexcept {
    if (c < 0x80) {
        out[0] = std::uint8_t(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = std::uint8_t(0xC0 | (c >> 6));
        out[1] = std::uint8_t(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF)
            return 0;
        out[0] = std::uint8_t(0xE0 | (c >> 12));
        out[1] = std::uint8_t(0x80 | ((c >> 6) & 0x3F));
        out[2] = std::uint8_t(0x80 | (c & 0x3F));
        return 3;
    }
    if (c <= 0x10FFFF) {
        out[0] = std::uint8_t(0xF0 | (c >> 18));
        out[1] = std::uint8_t(0x80 | ((c >> 12) & 0x3F));
        out[2] = std::uint8_t(0x80 | ((c >> 6) & 0x3F));
        out[3] = std::uint8_t(0x80 | (c & 0x3F));
        return 4;
    }
    return 0;
}

// True for a code point encodeUtf8 writes: a decoder drops any other value, so that decoded text
// always writes back as it was read.
constexpr bool isEncodableCodePoint(std::uint32_t c) noexcept {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Bytes of the UTF-8 form of a NUL-terminated text of 8-bit (Latin-1) or 32-bit characters,
// without the terminator.
std::int64_t utf8Length(const char* text) noexcept;
std::int64_t utf8Length(const char32_t* text) noexcept;

} // namespace tal
