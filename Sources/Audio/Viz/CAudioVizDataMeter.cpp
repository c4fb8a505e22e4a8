#include "Audio/Viz/CAudioVizDataMeter.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace tal {

CError* CAudioVizDataMeter::save(COutputStream& out) const {
    CError* err = CAudioVizData::save(out);
    if (err == nullptr) err = out.writeDouble(level);
    if (err == nullptr) err = out.writeDouble(peak);
    return traceError(err);
}

CError* CAudioVizDataMeter::load(CInputStream& in) {
    CError* err = CAudioVizData::load(in);
    if (err == nullptr) err = in.readDouble(level);
    if (err == nullptr) err = in.readDouble(peak);
    return traceError(err);
}

CAudioVizDataMeter* CAudioVizDataMeter::cloneMeter() const {
    auto* copy = new CAudioVizDataMeter;
    copy->copyCommon(*this);
    copy->level = level;
    copy->peak = peak;
    return copy;
}

} // namespace tal
