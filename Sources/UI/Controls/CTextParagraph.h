#pragma once

#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "UI/Controls/CTextLine.h"

namespace tal {

// One paragraph of a text wrapper: the text as set, the text shown, and its laid-out lines.
// Owned by its wrapper; owns its lines.
struct CTextParagraph : public CPoolAllocated {
    CTextParagraph() = default;
    CTextParagraph(const CTextParagraph&) = delete;
    CTextParagraph& operator=(const CTextParagraph&) = delete;
    ~CTextParagraph() { clearLines(); }

    void clearLines() noexcept {
        for (CTextLine* line : lines)
            delete line;
        lines.clear();
    }

    CStringList captions;        // colour names of the image tags, in order; rebuilt by each rewrap
    double height = 0.0;         // sum of its line heights
    bool disabled = false;       // the text began with "[N/A]"
    CArray<CTextLine*> lines;    // owned
    double top = 0.0;
    CString text;                // shown text: without a leading "[N/A]", cut to the length limit
    CString sourceText;          // the text exactly as set
};

} // namespace tal
