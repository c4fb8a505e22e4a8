#include "Other/CColorSwatch.h"

#include "Core/CError.h"

namespace tal {

CObject* CColorSwatch::create() { return new CColorSwatch(); }

CError* CColorSwatch::initChilds() {
    if (CError* err = CObject::initChilds())
        return traceError(err, getFullName());
    for (int i = 0; i < childCount(); ++i) {
        CObject* entry = child(i);
        if (entry->getBoolAttr("is-color"))
            mNames.findOrAdd(entry->getIntAttr("index"))->value = entry->getTextAttr("color");
    }
    return nullptr;
}

const CString& CColorSwatch::colorName(int index) const {
    const auto* node = mNames.find(index);
    return node != nullptr ? node->value : CString::emptyString;
}

} // namespace tal
