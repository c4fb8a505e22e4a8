#include "UI/CDynListColorSwatch.h"

#include "Core/CError.h"
#include "Other/CColorSwatch.h"

namespace tal {

CObject* CDynListColorSwatch::create() { return new CDynListColorSwatch(); }

void CDynListColorSwatch::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CDynListColorSwatch::~CDynListColorSwatch() { mColorSwatch.reset(); }

CError* CDynListColorSwatch::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mColorSwatch.init(this, CString(), CString(), nullptr, CString("color-swatch"));
    mColorSwatch.isRequired = true;
    return nullptr;
}

void CDynListColorSwatch::getItems(std::int32_t listId, CStringList& out) {
    CColorSwatch* swatch = mColorSwatch.resolve();
    if (swatch == nullptr)
        return;
    const CSortedMap<int, CString>& names = swatch->names();
    std::int32_t position = 0;
    for (auto* node = names.first(); node != nullptr; node = names.next(node), ++position) {
        setCacheEntry(listId, position, node->key);
        CString item("[IMG=is.button#Color:");
        out.add(item.append(node->value).append("]"));
    }
}

} // namespace tal
