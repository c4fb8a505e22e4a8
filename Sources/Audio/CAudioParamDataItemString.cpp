#include "Audio/CAudioParamDataItemString.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace tal {

CAudioParamDataItem* CAudioParamDataItemString::clone() const {
    return new CAudioParamDataItemString(mText);
}

CError* CAudioParamDataItemString::save(COutputStream& out) const {
    if (CError* err = out.writeString(mText)) return traceError(err);
    return nullptr;
}

CError* CAudioParamDataItemString::load(CInputStream& in) {
    if (CError* err = in.readString(mText)) return traceError(err);
    if (mText.length() == 1 && mText.charAt(0) == ' ') mText = CString();
    return nullptr;
}

} // namespace tal
