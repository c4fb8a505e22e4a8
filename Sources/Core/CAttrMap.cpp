#include "Core/CAttrMap.h"

namespace tal {

CAttrMap::Node* CAttrMap::find(const char* name) const { return find(CString(name)); }

CAttrValue* CAttrMap::findValue(const CString& name) const {
    Node* node = find(name);
    return node ? &node->value : nullptr;
}

CAttrValue* CAttrMap::findValue(const char* name) const { return findValue(CString(name)); }

CAttrMap::Node* CAttrMap::findOrAdd(const char* name) { return findOrAdd(CString(name)); }

} // namespace tal
