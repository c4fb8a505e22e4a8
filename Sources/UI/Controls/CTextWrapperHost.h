#pragma once

#include "Core/CString.h"
#include "UI/CAreaRect.h"

namespace tal {

// What a text wrapper needs of the view that owns it: the window scale, repaint requests, a layout
// request and the clipboard. The text view implements it; the wrapper holds it without owning it.
// UI thread only.
class CTextWrapperHost {
public:
    virtual ~CTextWrapperHost() = default;

    // The window scale the text is laid out for (positive).
    virtual double textWindowScale() const = 0;
    // A rectangle of the view's content (window pixels) must be drawn again; the view also drops
    // its cached row, selection and cursor rectangles.
    virtual void textUpdateRect(const CAreaRect& rect) = 0;
    // The whole view must be drawn again.
    virtual void textRedraw() = 0;
    // The text must be laid out again at the view's next layout pass (the active paragraph changed).
    virtual void textLayoutChanged() = 0;
    // The window's clipboard as plain text (empty when it holds none), and setting it.
    virtual CString getClipboardText() = 0;
    virtual void setClipboardText(const CString& text) = 0;
};

} // namespace tal
