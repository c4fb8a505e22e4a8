#include "Audio/Converters/CAudioParamConverterRound.h"

namespace tal {

double CAudioParamConverterRound::toPlain(const CAudioParamInfo& info, int component, double normalized) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    return static_cast<double>(roundToInt(a + (b - a) * normalized));
}

} // namespace tal
