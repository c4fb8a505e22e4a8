#include "Core/Utf8.h"

namespace tal {

std::int64_t utf8Length(const char* text) noexcept {
    std::int64_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p)
        n += *p < 0x80 ? 1 : 2;
    return n;
}

std::int64_t utf8Length(const char32_t* text) noexcept {
    std::int64_t n = 0;
    std::uint8_t scratch[4];
    for (const char32_t* p = text; *p != 0; ++p)
        n += encodeUtf8(std::uint32_t(*p), scratch);
    return n;
}

} // namespace tal
