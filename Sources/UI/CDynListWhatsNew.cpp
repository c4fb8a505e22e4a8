#include "UI/CDynListWhatsNew.h"

#include "Core/CSystem.h"
#include "UI/CValueList.h"

namespace tal {

CObject* CDynListWhatsNew::create() { return new CDynListWhatsNew(); }

void CDynListWhatsNew::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

void CDynListWhatsNew::getItems(std::int32_t, CStringList& out) {
    out.clear();
    CObject* shared = CObject::sharedObject();
    if (shared == nullptr)
        return;
    for (int i = 0; i < shared->childCount(); ++i) {
        CObject* notes = shared->child(i);
        if (!matchWildcard(notes->getShortName(), "whatsnew*"))
            continue;
        if (i != 0)
            out.add(CValueList::separatorItem());
        CString heading("[B]Version ");
        out.add(heading.append(notes->getTextAttr("version")).append(", ").append(notes->getTextAttr("date")).append("[/B]"));
        for (int p = 0; p < notes->childCount(); ++p) {
            CObject* paragraph = notes->child(p);
            for (int c = 0; c < paragraph->childCount(); ++c) {
                CString item("[IMG=is.button#DynListCircle:ListItemMarker] ");
                out.add(item.append(paragraph->child(c)->getTextAttr("value")));
            }
        }
    }
}

} // namespace tal
