#include "Audio/Filters/CAudioFilterSerialGen.h"

#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"

#include <cmath>

namespace tal {

std::vector<double> CAudioFilterSerialGen::parseAdjustList(const CString& text) {
    CStringList pieces;
    text.split(pieces, ',', true, true);
    std::vector<double> numbers;
    for (int i = 0; i < pieces.count(); ++i) {
        bool valid = false;
        const double v = parseDouble(pieces[i], &valid);
        numbers.push_back(valid ? v : 1.0);
    }
    return numbers;
}

void CAudioFilterSerialGen::designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values,
                                        CDCDAWContext* context, double sampleRate) const noexcept {
    if (values.count > kMaxValues)
        return;
    double adjusted[kMaxValues];
    const CAudioFilterValues itemValues{values.names, values.count, adjusted, values.user};
    for (const Item& item : mItems) {
        for (int i = 0; i < values.count; ++i) {
            const double e = i < static_cast<int>(item.exponents.size()) ? item.exponents[i] : 1.0;
            const double a = i < static_cast<int>(item.factors.size()) ? item.factors[i] : 1.0;
            adjusted[i] = std::pow(values.values[i], e) * a;
        }
        if (item.designer != nullptr)
            item.designer->designStage(stages, itemValues, context, sampleRate);
    }
}

} // namespace tal
