#pragma once
#include "Core/CObject.h"

namespace tal {

class CView;

// "ui:view-color-slot": names the palette colour of one image colour slot of its parent view
// ("color", relative to the view's base colour or absolute with a leading "/" or
// "is-color-abs-path"; "slot-index", 0 or more). It acts once, in init; later attribute changes do
// nothing. A negative "slot-index" is ignored. Owned by the object tree; UI thread only.
class CViewColorSlot : public CObject {
public:
    static CObject* create();

    // Fails with "Parent object is not a view." when the parent is not a view with a colour table.
    [[nodiscard]] CError* init() override;

private:
    CView* mParentView = nullptr;   // not owned: the parent
};

} // namespace tal
