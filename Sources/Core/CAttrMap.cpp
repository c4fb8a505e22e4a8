#include "Core/CAttrMap.h"

#include <cstdint>

namespace tal {

namespace {

// Three-way order of a key against a zero-terminated 8-bit name, the same order as compareStrings.
int compareKeyToName(const CString& key, const char* name) noexcept {
    const int n = key.length();
    for (int i = 0; i < n; ++i) {
        const std::uint32_t c = static_cast<unsigned char>(name[i]);
        if (c == 0) return 1;  // the name is a proper prefix of the key
        const std::uint32_t k = key.charAt(i);
        if (k != c) return k < c ? -1 : 1;
    }
    return name[n] == 0 ? 0 : -1;
}

} // namespace

// A descent without making a string of the name: getters pass literals on hot paths.
CAttrMap::Node* CAttrMap::find(const char* name) const {
    CSortedMapNode* n = root();
    while (n != nullptr) {
        const int c = compareKeyToName(static_cast<Node*>(n)->key, name);
        if (c == 0) return static_cast<Node*>(n);
        n = c > 0 ? n->left : n->right;
    }
    return nullptr;
}

CAttrValue* CAttrMap::findValue(const CString& name) const {
    Node* node = find(name);
    return node ? &node->value : nullptr;
}

CAttrValue* CAttrMap::findValue(const char* name) const {
    Node* node = find(name);
    return node ? &node->value : nullptr;
}

CAttrMap::Node* CAttrMap::findOrAdd(const char* name) { return findOrAdd(CString(name)); }

} // namespace tal
