#include "UI/CDynListObject.h"

#include "Core/CError.h"

namespace tal {

CDynListObject::~CDynListObject() = default;

CError* CDynListObject::notifyListUpdated() {
    clearCache();
    return traceError(fireEvent(CString("dynamic-list-updated"), false), getFullName());
}

} // namespace tal
