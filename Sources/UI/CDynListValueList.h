#pragma once
#include "Core/CTarget.h"
#include "UI/CDynListObject.h"

namespace tal {

class CValueList;

// "ui:dynlist-value-list": presents the value list named by "value-list" as a dynamic list. An item
// is the value's text before the list's last separator, and its cached value the whole number after
// it (the item's index when there is none). Every "values-changed" of the list empties the cache
// and raises "dynamic-list-updated". Points at the list without owning it. Editor thread only.
class CDynListValueList : public CDynListObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CDynListValueList() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] virtual CError* onValuesChanged();
    void getItems(std::int32_t listId, CStringList& out) override;

    // Attaches a control's item list: the owner's attribute attrName names either a dynamic list,
    // which target then follows, or a value list, which gets a wrapper child "dynlist-value-list"
    // (tag from the owner's "dynlist-value-list-tag"). The target listens to "dynamic-list-updated"
    // with the owner's handler. Error "Name attribute '%1' refers to invalid dynamic/value list
    // '%2' (in '%3')." when required and nothing is found.
    [[nodiscard]] static CError* bindDynList(CObject* owner, CTarget<CDynListObject>& target, const CString& attrName,
                                             const CString& handlerName, bool isRequired);

private:
    CTarget<CValueList> mValueList;
};

} // namespace tal
