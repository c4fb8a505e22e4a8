#include "Audio/CAudioProcessLinkDef.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"

namespace tal {

void CAudioProcessLinkDef::parseEndpoint(const CString& text, CString& name, std::int32_t& port) {
    const int slash = text.findChar('/');
    if (slash < 0) {
        name = text;
        port = 0;
        return;
    }
    name = CString(text, 0, slash);
    port = parseInt(CString(text, slash + 1, -1), -1);
}

CError* CAudioProcessLinkDef::init() {
    if (CError* err = CObject::init())
        return traceError(err, getFullName());
    const CString& src = getTextAttr("src");
    if (src.isEmpty())
        return newError("@talstr_CAudioProcessLinkDef_init_NoSrc No 'src' attribute defined.", getFullName());
    const CString& dst = getTextAttr("dst");
    if (dst.isEmpty())
        return newError("@talstr_CAudioProcessLinkDef_init_NoDst No 'dst' attribute defined.", getFullName());

    CString name;
    std::int32_t port = 0;
    parseEndpoint(src, name, port);
    if (port < 0)
        return newError("@talstr_CAudioProcessLinkDef_init_SrcPortError Invalid port in the 'src' attribute value '%1' specified.",
                        getFullName(), src);
    if (name.isEmpty())
        return newError("@talstr_CAudioProcessLinkDef_init_SrcNameError Invalid process in the 'src' attribute value '%1' specified.",
                        getFullName(), src);
    mSourceName = name;
    mSourcePort = port;

    parseEndpoint(dst, name, port);
    if (port < 0)
        return newError("@talstr_CAudioProcessLinkDef_init_DstPortError Invalid port in the 'dst' attribute value '%1' specified.",
                        getFullName(), dst);
    if (name.isEmpty())
        return newError("@talstr_CAudioProcessLinkDef_init_DstNameError Invalid process in the 'dst' attribute value '%1' specified.",
                        getFullName(), dst);
    mDestinationName = name;
    mDestinationPort = port;

    const CString& state = getTextAttr("state-id");
    mStateId = parseInt(state, -1);
    if (mStateId < -1)
        return newError("@talstr_CAudioProcessLinkDef_init_StateError Invalid state identifier '%1' specified.",
                        getFullName(), state);

    CStringList pieces;
    getTextAttr("bypass-state-id").split(pieces, ' ', true, true);
    mBypassStateIds.clear();
    for (int i = 0; i < pieces.count(); ++i) {
        bool ok = false;
        const int id = parseInt(pieces[i], -1, &ok);
        if (ok && id >= 0)
            mBypassStateIds.add(id);
    }
    return nullptr;
}

} // namespace tal
