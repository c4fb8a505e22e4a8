#pragma once
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// Colour texts of the palette: six hexadecimal digits "rrggbb" for 0x00RRGGBB.

// The value of a text of hexadecimal digits (either case): "3f3e2b" gives 0x3F3E2B. The empty
// text, a prefix such as "#" or any other character gives -1 (no colour). No range check.
std::int32_t parseHexColor(const CString& text) noexcept;
// The three low bytes, red first, as six lower-case digits; -1 gives the empty text.
CString formatHexColor(std::int32_t color);

} // namespace tal
