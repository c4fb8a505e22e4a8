#include "Audio/Viz/CAudioVizDataInfo.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace tal {

CError* CAudioVizDataInfo::save(COutputStream& out) const {
    CError* err = CAudioVizData::save(out);
    if (err == nullptr) err = out.writeString(text);
    if (err == nullptr) err = out.write32(std::uint32_t(value));
    return traceError(err);
}

CError* CAudioVizDataInfo::load(CInputStream& in) {
    CError* err = CAudioVizData::load(in);
    if (err == nullptr) err = in.readString(text);
    if (err == nullptr) err = in.read32(value);
    return traceError(err);
}

CAudioVizDataInfo* CAudioVizDataInfo::cloneInfo() const {
    auto* copy = new CAudioVizDataInfo;
    copy->copyCommon(*this);
    copy->text = text;
    copy->value = value;
    return copy;
}

} // namespace tal
