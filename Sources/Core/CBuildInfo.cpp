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

namespace {

// The map lives from before every ordinary static object of the module to after all of them, so
// it is readable during static exit, and unloading the plug-in frees it.
CBuildInfo* gBuildInfo = nullptr;

struct CBuildInfoHolder {
    CBuildInfoHolder() { (void)buildInfo(); }
    CBuildInfoHolder(const CBuildInfoHolder&) = delete;
    CBuildInfoHolder& operator=(const CBuildInfoHolder&) = delete;
    ~CBuildInfoHolder() {
        delete gBuildInfo;
        gBuildInfo = nullptr;
    }
};
__attribute__((init_priority(102))) CBuildInfoHolder gBuildInfoHolder;

} // namespace

const CBuildInfo& buildInfo() {
    if (gBuildInfo == nullptr) {
        gBuildInfo = new CBuildInfo();
        parseBuildInfo(*gBuildInfo, kBuildInfoText);
    }
    return *gBuildInfo;
}

const CString& getBuildInfoValue(const CString& key) {
    const CBuildInfo::Node* node = buildInfo().find(key);
    return node != nullptr ? node->value : CString::emptyString;
}

} // namespace tal
