#include "Core/CBuildInfo.h"

#include "Core/CStringList.h"
#include "Core/ProductIdentity.h"

namespace tal {

void parseBuildInfo(CBuildInfo& map, const char* text) {
    map.clear();
    if (text == nullptr)
        return;
    CStringList pieces, parts;
    CString(text).split(pieces, ';', true, true);
    for (int i = 0; i < pieces.count(); ++i) {
        pieces[i].split(parts, '=', false, true);
        if (parts.isEmpty())
            continue;
        map.findOrAdd(parts[0])->value = parts.count() > 1 ? parts[1] : CString::emptyString;
    }
}

const CBuildInfo& buildInfo() {
    static const CBuildInfo* info = [] {
        CBuildInfo* map = new CBuildInfo();   // never destroyed: readable during static exit
        parseBuildInfo(*map, kBuildInfoText);
        return map;
    }();
    return *info;
}

const CString& getBuildInfoValue(const CString& key) {
    const CBuildInfo::Node* node = buildInfo().find(key);
    return node != nullptr ? node->value : CString::emptyString;
}

} // namespace tal
