#pragma once

#include <cstdint>

namespace tal {

class CImage;

// One drawable element of a laid-out text line: a glyph of the view's font or an inline image.
// Held by value in its line; its x is the line's x plus the widths of the items before it (plus the
// line's justify extra after every space item). The image is not owned: it lives as long as the
// font or image set it comes from.
struct CTextItem {
    std::int32_t colorIndex = 0;   // 0 plain text colour, 1 after "C1", 2 after "C2"
    CImage* image = nullptr;       // glyph or inline image; not owned
    std::int32_t caption = -1;     // index into the paragraph's captions, -1 none
    double width = 0.0;            // advance in window pixels
    bool plain = true;             // false for an image that has a caption
    bool isGlyph = true;           // a character of the text (false for inline images)
    bool isRule = false;           // the horizontal rule image
    bool isSpace = false;          // the character is a space
    std::int32_t charIndex = 0;    // index of the character (of the "[" of an image tag) in the shown text
    double offsetY = 0.0;          // y of the image relative to the line's top
};

} // namespace tal
