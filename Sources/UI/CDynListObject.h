#pragma once
#include "Core/CObject.h"
#include "UI/CDynList.h"

namespace tal {

// A dynamic list that is an object of the editor's tree: announces every change of its items with
// "dynamic-list-updated", after emptying its value cache. Editor thread only.
class CDynListObject : public CObject, public CDynList {
public:
    ~CDynListObject() override;

    // Empties the cache of every list, then raises "dynamic-list-updated".
    [[nodiscard]] CError* notifyListUpdated();
};

} // namespace tal
