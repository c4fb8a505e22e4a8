#include "Audio/Filters/CAudioFilterGenArray.h"

#include "Audio/Filters/CAudioFilterGen.h"
#include "Core/CError.h"

namespace tal {

CError* CAudioFilterGenArrayItem::init() {
    if (CError* err = CObject::init())
        return traceError(err, getFullName());
    if (dynamic_cast<CAudioFilterGenArray*>(parent()) == nullptr)
        return newError("@talstr_CAudioFilterGenArrayItem_init_InvalidParent CAudioFilterGenArray class parent expected.",
                        getFullName());
    if (CError* err = CAudioFilterGen::resolveDesigner(*this, mDesigner))
        return traceError(err, getFullName());
    mIndex = getIntAttr("index");
    return nullptr;
}

CError* CAudioFilterGenArray::initChilds() {
    if (CError* err = CObject::initChilds())
        return traceError(err, getFullName());
    for (int i = 0; i < childCount(); ++i)
        if (const auto* item = dynamic_cast<const CAudioFilterGenArrayItem*>(child(i)))
            setGen(item->index(), item->designer());
    return nullptr;
}

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
