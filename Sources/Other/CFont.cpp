#include "Other/CFont.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace tal {

void CFont::setMetrics(double ascent, double descent, double third, double fourth) noexcept {
    mMetrics[0] = ascent;
    mMetrics[1] = descent;
    mMetrics[2] = third;
    mMetrics[3] = fourth;
}

CError* CFont::read(CInputStream& in) {
    std::uint32_t version = 0;
    if (CError* err = in.read32(version))
        return traceError(err);
    if (version != 1)
        return nullptr;
    if (CError* err = CImageSet::read(in))
        return traceError(err);
    for (double& metric : mMetrics)
        if (CError* err = in.readDouble(metric))
            return traceError(err);
    return nullptr;
}

CError* CFont::write(COutputStream& out) const {
    if (CError* err = out.write32(1))
        return traceError(err);
    if (CError* err = CImageSet::write(out))
        return traceError(err);
    for (const double metric : mMetrics)
        if (CError* err = out.writeDouble(metric))
            return traceError(err);
    return nullptr;
}

} // namespace tal
