#include "Audio/Converters/CAudioParamConverterText.h"

#include "Audio/CAudioParamData.h"

namespace tal {

double CAudioParamConverterText::parseText(const CAudioParamInfo&, int, const CString&, bool* ok) const {
    setOk(ok, true);
    return 0.0;
}

double CAudioParamConverterText::parseTextRaw(const CAudioParamInfo&, int, const CString&, bool* ok) const {
    setOk(ok, true);
    return 0.0;
}

CString CAudioParamConverterText::formatValue(const CAudioParamInfo&, int, const CAudioParamData* items, int,
                                              double value) const {
    if (!items) return CString();
    const std::int64_t id = roundToInt(value);
    if (id < 1 || id > 0x7fffffff) return CString();
    return items->getString(static_cast<int>(id));
}

} // namespace tal
