#pragma once

#include "Core/CObject.h"
#include "Core/CStringList.h"

namespace tal {

class CAudioParamFilter;

// The base of the parameter filter definitions of the shared description: the source and
// destination parameter names (attributes src and dst, "," separated, relative to the process that
// creates the filter). Built with the shared description, read-only afterwards.
class CAudioParamFilterDef : public CObject {
public:
    CAudioParamFilterDef() = default;
    ~CAudioParamFilterDef() override = default;

    // --- life cycle ---
    // Reads src and dst; each must name at least one parameter.
    [[nodiscard]] CError* init() override;

    // --- creation: main thread ---
    // A new filter of this definition's kind, not yet initialised; the caller owns it.
    virtual CAudioParamFilter* createFilter() const = 0;

    // --- queries ---
    const CStringList& getSourceNames() const { return mSourceNames; }
    const CStringList& getDestinationNames() const { return mDestinationNames; }

private:
    CStringList mSourceNames;
    CStringList mDestinationNames;
};

} // namespace tal
