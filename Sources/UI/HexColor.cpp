#include "UI/HexColor.h"

#include "Core/NumberText.h"

#include <cstdio>

namespace tal {

std::int32_t parseHexColor(const CString& text) noexcept {
    // Only "$" is put in front: a text of its own prefix ("#", "0x") or sign is then not a number.
    return parseInt(CString("$") + text, -1);
}

CString formatHexColor(std::int32_t color) {
    if (color == -1)
        return CString();
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", unsigned(color >> 16) & 255u, unsigned(color >> 8) & 255u,
                  unsigned(color) & 255u);
    return CString(text);
}

} // namespace tal
