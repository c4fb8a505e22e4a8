#pragma once

#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "UI/Controls/CTextItem.h"

#include <cstdint>

namespace tal {

// One laid-out line of a text wrapper paragraph: its items and its place in the whole text.
// Owned by its paragraph and rebuilt by every rewrap of it; `prev` and `next` link the lines of the
// whole text and are valid after the wrapper's layout update until the next text change.
struct CTextLine : public CPoolAllocated {
    CArray<CTextItem> items;          // left to right
    double height = 0.0;              // whole pixels
    double naturalHeight = 0.0;       // tallest of the text and the inline images
    CTextLine* next = nullptr;        // not owned
    std::int32_t firstChar = 0;       // index in the shown text where the line begins
    std::int32_t paragraph = 0;       // index of its paragraph
    CTextLine* prev = nullptr;        // not owned
    double x = 0.0;                   // left edge of the first item
    double y = 0.0;                   // top of the line
    double imageRaise = 0.0;          // lift of every item of a line holding a tall inline image
    double width = 0.0;
    double justifyExtra = 0.0;        // extra width after each space item (justified text)
};

} // namespace tal
