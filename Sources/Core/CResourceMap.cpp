#include "Core/CResourceMap.h"

namespace tal {

namespace {

CSortedMap<CString, CResourceMap::CPayload>& resourceMap() {
    static CSortedMap<CString, CResourceMap::CPayload> map;
    return map;
}

} // namespace

void CResourceMap::indexTable(const CResourceEntry* table) {
    for (const CResourceEntry* e = table; e != nullptr && e->blob != nullptr; ++e) {
        const std::uint8_t* b = e->blob;
        const std::uint32_t length =
            std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
        resourceMap().findOrAdd(CString(e->name))->value = CPayload{b + 4, std::int32_t(length)};
    }
}

const CResourceMap::CPayload* CResourceMap::find(const CString& name) noexcept {
    const auto* node = resourceMap().find(name);
    return node ? &node->value : nullptr;
}

void CResourceMap::clear() noexcept { resourceMap().clear(); }

} // namespace tal
