#include "Audio/CAudioParamRemapDef.h"

#include "Core/CError.h"
#include "Core/CStringList.h"

namespace tal {

CError* CAudioParamRemapDef::initChilds() {
    if (CError* err = CObject::initChilds()) return traceError(err, getFullName());
    const CString& orig = getTextAttr("orig");
    const CString& replacement = getTextAttr("new");
    if (!orig.isEmpty() && !replacement.isEmpty())
        mPairs.push_back({orig, replacement});
    for (int i = 0; i < childCount(); ++i) {
        CObject* c = child(i);
        if (c->tag() != CString("content"))
            continue;
        const CString& text = c->getTextAttr("value");
        if (text.isEmpty())
            continue;
        if (CError* err = readContent(text)) return traceError(err, getFullName());
    }
    if (mPairs.empty())
        return newError("@talstr_CAudioParamRemapDef_init_NoRemapsDefined No remappings defined.", getFullName());
    return nullptr;
}

CError* CAudioParamRemapDef::readContent(const CString& text) {
    CStringList pieces;
    text.split(pieces, text.findChar(';') >= 0 ? ';' : ' ', true, true);
    for (int i = 0; i < pieces.count(); ++i) {
        CStringList parts;
        pieces[i].split(parts, '=', true, true);
        if (parts.count() != 2)
            return newError("@talstr_CAudioParamRemapDef_init_InvalidRemap Invalid remapping string '%1' defined.",
                            CString::emptyString, text);
        mPairs.push_back({parts[0].trim(), parts[1].trim()});
    }
    return nullptr;
}

} // namespace tal
