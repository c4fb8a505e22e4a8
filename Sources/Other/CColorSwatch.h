#pragma once

#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

namespace tal {

// A numbered list of palette colour names ("ui:color-swatch"), read from its children that carry
// "is-color", "index" and "color". Lives in the editor's object tree; built once with its children.
class CColorSwatch : public CObject {
public:
    // The creator of "ui:color-swatch" (the scheme is a plain object's).
    static CObject* create();
    [[nodiscard]] CError* initChilds() override;
    // The palette colour name of an index, or the empty text when the index has none.
    const CString& colorName(int index) const;
    int count() const noexcept { return mNames.count(); }
    // Index to colour name, in ascending order of index.
    const CSortedMap<int, CString>& names() const noexcept { return mNames; }

private:
    CSortedMap<int, CString> mNames;
};

} // namespace tal
