#include "Audio/CAudioProcessDefBaseInit.h"

namespace tal {

CString CAudioProcessDefBaseInit::resolveParamName(const CString& name, const CString& base) {
    if (name.length() > 0 && name.charAt(0) == '/')
        return CString(name, 1, -1);
    CString result(base);
    int pos = 0;
    while (pos < name.length() && name.charAt(pos) == '^') {
        const int dot = result.findLast(CString("."));
        result = dot < 0 ? CString() : CString(result, 0, dot);
        ++pos;
    }
    if (pos == name.length())
        return result;
    if (name.charAt(pos) != '.')
        result.appendChar('.');
    return result.appendSub(name, pos, name.length() - pos);
}

} // namespace tal
