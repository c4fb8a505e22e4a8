#pragma once
#include "UI/CDynListObject.h"

namespace tal {

// "ui:dynlist-whats-new": the release notes of the shared description as list items: per child
// "whatsnew*" of the shared object a bold heading "Version <version>, <date>" and one marked item per
// paragraph, a separator item before every heading but the shared object's first child. Stateless;
// computed on every request. Editor thread only.
class CDynListWhatsNew : public CDynListObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    void getItems(std::int32_t listId, CStringList& out) override;
};

} // namespace tal
