#pragma once

#include "Core/CArray.h"
#include "Core/CObject.h"

namespace tal {

class CFont;

// "font": one font family of the shared description. Its children whose "is-font-style" is true
// name a style by their own name ("bold", "bold-italic", "italic", "regular", "superscript") and
// the font resource in their "file"; initChilds loads them into five style slots (null where the
// family has no such style). Captions and text views draw with the regular style.
// Loaded on the thread that builds the tree; afterwards read by any thread.
class CFontObject : public CObject {
public:
    enum Style : int { kBold = 0, kBoldItalic = 1, kItalic = 2, kRegular = 3, kSuperscript = 4, kStyleCount = 5 };

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    ~CFontObject() override;

    // Loads the style children in child order. An unknown style name, or a font that fails to
    // load, ends the loading with an error; the slots filled so far stay.
    [[nodiscard]] CError* initChilds() override;

    // The font of a style slot, or null.
    CFont* font(int style) const noexcept { return style >= 0 && style < mStyles.count() ? mStyles[style] : nullptr; }
    // The slot of a style name (exact match), or -1.
    static int styleIndex(const CString& name) noexcept;

private:
    CArray<CFont*> mStyles;   // owned; kStyleCount entries once initChilds ran
};

} // namespace tal
