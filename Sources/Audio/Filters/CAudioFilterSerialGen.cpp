#include "Audio/Filters/CAudioFilterSerialGen.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"

#include <cmath>

namespace tal {

CError* CAudioFilterSerialGenItem::init() {
    if (CError* err = CObject::init())
        return traceError(err, getFullName());
    if (CError* err = CAudioFilterGen::resolveDesigner(*this, mItem.designer))
        return traceError(err, getFullName());
    mItem.factors = CAudioFilterSerialGen::parseAdjustList(getTextAttr("adjust"));
    mItem.exponents = CAudioFilterSerialGen::parseAdjustList(getTextAttr("adjust-pow"));
    return nullptr;
}

CError* CAudioFilterSerialGen::initChilds() {
    if (CError* err = CAudioFilterGen::initChilds())
        return traceError(err, getFullName());
    for (int i = 0; i < childCount(); ++i)
        if (const auto* item = dynamic_cast<const CAudioFilterSerialGenItem*>(child(i)))
            mItems.push_back(item->item());
    return nullptr;
}

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
