#include "UI/CViewColorSlot.h"

#include "Core/CError.h"
#include "UI/CView.h"
#include "UI/CViewColorTable.h"

namespace tal {

CObject* CViewColorSlot::create() { return new CViewColorSlot; }

CError* CViewColorSlot::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mParentView = dynamic_cast<CView*>(parent());
    if (mParentView == nullptr || mParentView->colorTable() == nullptr)
        return newError("@talstr_CViewColorSlot_init_InvalidParent Parent object is not a view.", getFullName());
    CString name(getBoolAttr("is-color-abs-path") ? "/" : "");
    name.append(getTextAttr("color"));
    mParentView->colorTable()->setSlotName(getIntAttr("slot-index"), name);
    return nullptr;
}

} // namespace tal
