#include "Audio/Processes/ParamAllocs.h"

#include "Audio/CAudioParamAllocDef.h"

namespace tal {

void collectParamAllocs(const CObject* definition, CArray<CAudioParamAllocDef*>& out) {
    out.clear();
    if (definition == nullptr)
        return;
    for (int i = 0; i < definition->childCount(); ++i) {
        CAudioParamAllocDef* a = dynamic_cast<CAudioParamAllocDef*>(definition->child(i));
        if (a == nullptr)
            continue;
        int at = 0;
        while (at < out.count() && out[at]->getIndex() < a->getIndex())
            ++at;
        if (at < out.count() && out[at]->getIndex() == a->getIndex())
            out[at] = a;
        else
            out.insertAt(at, a);
    }
}

CAudioParamAllocDef* findParamAlloc(const CObject* definition, int key) {
    CAudioParamAllocDef* found = nullptr;
    if (definition == nullptr)
        return nullptr;
    for (int i = 0; i < definition->childCount(); ++i) {
        CAudioParamAllocDef* a = dynamic_cast<CAudioParamAllocDef*>(definition->child(i));
        if (a != nullptr && a->getIndex() == key)
            found = a;
    }
    return found;
}

} // namespace tal
