#include "Audio/CAudioParamDataItemRaw.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace tal {

CAudioParamDataItem* CAudioParamDataItemRaw::clone() const {
    CAudioParamDataItemRaw* copy = new CAudioParamDataItemRaw();
    copy->mBlock.assign(mBlock.data(), mBlock.size());
    return copy;
}

CError* CAudioParamDataItemRaw::save(COutputStream& out) const {
    if (CError* err = out.writeByteBuffer(mBlock)) return traceError(err);
    return nullptr;
}

CError* CAudioParamDataItemRaw::load(CInputStream& in) {
    if (CError* err = in.readByteBuffer(mBlock)) return traceError(err);
    return nullptr;
}

} // namespace tal
