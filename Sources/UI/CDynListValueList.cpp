#include "UI/CDynListValueList.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "UI/CValueList.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CDynListValueList::create() { return new CDynListValueList(); }

void CDynListValueList::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CDynListValueList, &CDynListValueList::onValuesChanged>(scheme, "values-changed");
}

CDynListValueList::~CDynListValueList() { mValueList.reset(); }

CError* CDynListValueList::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mValueList.init(this, CString(), CString("values-changed"), nullptr, CString("value-list"));
    mValueList.isRequired = true;
    mValueList.listenEvent(CString("values-changed"), CString("values-changed"));
    return nullptr;
}

CError* CDynListValueList::onValuesChanged() { return traceError(notifyListUpdated(), getFullName()); }

void CDynListValueList::getItems(std::int32_t listId, CStringList& out) {
    CValueList* list = mValueList.resolve();
    if (list == nullptr)
        return;
    const CString& separator = list->getTextAttr("separator-char");
    for (int i = 0; i < list->itemCount(); ++i) {
        const CString& value = list->itemValue(i);
        const int at = separator.isEmpty() ? -1 : value.findLast(separator);
        std::int32_t cached = i;
        if (at >= 0) {
            bool isNumber = false;
            const int number = parseInt(CString(value, at + separator.length(), -1), 0, &isNumber);
            if (isNumber)
                cached = number;
            out.add(CString(value, 0, at));
        } else {
            out.add(value);
        }
        setCacheEntry(listId, i, cached);
    }
}

CError* CDynListValueList::bindDynList(CObject* owner, CTarget<CDynListObject>& target, const CString& attrName,
                                       const CString& handlerName, bool isRequired) {
    CAttrValue* attr = owner->attrs().findValue(attrName);
    const CString path = attr != nullptr ? attr->asText() : CString();
    CObject* found = path.isEmpty() ? nullptr : owner->findObject(path);
    if (auto* valueList = dynamic_cast<CValueList*>(found)) {
        CAttrMap attrs;
        attrs.findOrAdd("value-list")->value.setText(valueList->getFullName());
        CObject* wrapper = nullptr;
        if (CError* error = owner->createChild(wrapper, owner->getTextAttr("dynlist-value-list-tag"),
                                               CString("dynlist-value-list"), false, nullptr, &attrs))
            return traceError(error, owner->getFullName());
        target.init(owner, wrapper->getFullName(), handlerName, nullptr, CString());
    } else {
        target.init(owner, CString(), handlerName, nullptr, attrName);
    }
    if (isRequired)
        target.isRequired = true;
    if (target.resolve() == nullptr && isRequired)
        return newError("@talstr_CDynListValueList_bindDynList_Invalid Name attribute '%1' refers to invalid "
                        "dynamic/value list '%2' (in '%3').",
                        owner->getFullName(), attrName, path, owner->getFullName());
    if (!handlerName.isEmpty())
        target.listenEvent(CString("dynamic-list-updated"), handlerName);
    return nullptr;
}

} // namespace tal
