#include "UI/Controls/CSelectorFPS.h"

#include "Core/CError.h"
#include "Core/CSharedAttribute.h"
#include "Core/NumberText.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CSelectorFPS::create() { return new CSelectorFPS(); }

void CSelectorFPS::initScheme(CObjectScheme* scheme) {
    CSelector::initScheme(scheme);
    addValueAttrOf<CSelectorFPS, &CSelectorFPS::attrValue>(scheme, "value");
}

CSelectorFPS::~CSelectorFPS() { mSharedAttribute.reset(); }

CError* CSelectorFPS::initChilds() {
    if (CError* error = CSelector::initChilds())
        return traceError(error, getFullName());
    mSharedAttribute.init(this, CString(), CString(), this, CString("shared-attribute"));
    return traceError(selectButtonForValue(), getFullName());
}

CError* CSelectorFPS::selectButtonForValue() {
    const std::int32_t value = getIntAttr("value");
    std::int32_t found = -1;
    for (std::int32_t i = 0; i < mButtons.count() && found < 0; ++i)
        if (parseInt(mButtons[i]->getTextAttr("title"), 0) == value)
            found = i;
    return traceError(setIntAttr(CString("active-button"), found, true), getFullName());
}

CError* CSelectorFPS::setActiveButton(std::int32_t index, bool notify) {
    const std::int32_t old = mActiveIndex;
    if (CError* error = CSelector::setActiveButton(index, notify))
        return traceError(error, getFullName());
    if (mActiveIndex == old || !notify || index < 0 || index >= mButtons.count())
        return nullptr;
    CSharedAttribute* shared = mSharedAttribute.resolve();
    if (shared == nullptr)
        return nullptr;
    return traceError(shared->storeValue(mButtons[index]->getTextAttr("title")), getFullName());
}

CError* CSelectorFPS::attrValue(CAttrValue&) {
    // While the tree is built there is no row yet; child set-up shows the value.
    return mActiveIndex == -2 ? nullptr : selectButtonForValue();
}

} // namespace tal
