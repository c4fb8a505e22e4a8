#include "Core/CCreatorRegistry.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/CObjectScheme.h"

namespace tal {

CCreatorRegistry::~CCreatorRegistry() {
    for (int i = mSchemes.count() - 1; i >= 0; --i) delete mSchemes[i];
}

CCreatorRegistry& CCreatorRegistry::instance() {
    static CCreatorRegistry registry;
    return registry;
}

CError* CCreatorRegistry::registerCreator(const CString& tag, CObjectCreateFn create, CObjectScheme* scheme) {
    if (mEntries.find(tag) != nullptr) {
        return newError("@talstr_CObject_registerCreator Creator for '%1' has already been registered.",
                        CString::emptyString, tag);
    }
    CCreatorEntry& entry = mEntries.findOrAdd(tag)->value;
    entry.create = create;
    entry.scheme = scheme;
    return nullptr;
}

int CCreatorRegistry::registerTable(const CCreatorTableEntry* table) {
    int failures = 0;
    for (const CCreatorTableEntry* e = table; e->create != nullptr; ++e) {
        CObjectScheme* scheme = newScheme();
        if (e->initScheme) e->initScheme(scheme);
        if (CError* err = registerCreator(CString(e->tag), e->create, scheme)) {
            // A duplicate leaves the first registration in place; the rest of the table still counts.
            reportError(traceError(err));
            ++failures;
        }
    }
    return failures;
}

CObjectScheme* CCreatorRegistry::newScheme() {
    CObjectScheme* scheme = new CObjectScheme;
    mSchemes.add(scheme);
    return scheme;
}

const CCreatorEntry* CCreatorRegistry::find(const CString& tag) const {
    auto* node = mEntries.find(tag);
    return node ? &node->value : nullptr;
}

int CCreatorRegistry::schemeCount() const noexcept { return mSchemes.count(); }

} // namespace tal
