#pragma once

#include "Core/CPoolAllocated.h"
#include "Core/CStringList.h"
#include "UI/Controls/CTextPosition.h"

#include <cstdint>

namespace tal {

// One undo snapshot of a text wrapper: the cursor, the number of lines before the cursor's line
// (-1: the cursor lay on no line) and every paragraph's text as set. Owned by the wrapper's stack.
struct CTextUndoState : public CPoolAllocated {
    CTextPosition cursor;
    std::int32_t linesBefore = 0;
    CStringList texts;
};

} // namespace tal
