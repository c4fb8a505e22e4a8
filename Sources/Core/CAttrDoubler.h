#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

// "core:attr-doubler": copies its attribute "value", as text, into the attribute named by "attr" of
// every object listed (blank-separated paths) in "target", each time "value" is set.
// Targets are kept by their exact path from the root (unnamed children included) and object id,
// and found again at each copy: a target destroyed meanwhile (or replaced by another object of
// that name) is skipped.
class CAttrDoubler : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    [[nodiscard]] CError* init() override;
    // The copy, run by the "value" handler.
    [[nodiscard]] CError* attrValue();

private:
    CStringList mTargetNames;   // exact paths from the root
    CArray<std::int32_t> mTargetIds;
    CString mAttrName;
};

} // namespace tal
