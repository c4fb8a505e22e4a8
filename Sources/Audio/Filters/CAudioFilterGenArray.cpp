#include "Audio/Filters/CAudioFilterGenArray.h"

namespace tal {

void CAudioFilterGenArray::setGen(int index, const CAudioFilterGen* designer) {
    if (index < 0)
        return;
    if (index >= static_cast<int>(mTable.size()))
        mTable.resize(static_cast<std::size_t>(index) + 1, nullptr);
    mTable[static_cast<std::size_t>(index)] = designer;
}

const CAudioFilterGen* CAudioFilterGenArray::getGen(int index) const noexcept {
    if (index < 0 || index >= static_cast<int>(mTable.size()))
        return nullptr;
    return mTable[static_cast<std::size_t>(index)];
}

} // namespace tal
