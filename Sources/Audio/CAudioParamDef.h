#pragma once

#include "Audio/CAudioParamInfo.h"
#include "Core/CObject.h"

namespace tal {

// The definition of a parameter in the shared description ("audio:param"): its attributes are read
// once, by init, into the embedded CAudioParamInfo, which the runtime parameters bound to it read.
// Converters are looked up while the definition is built, so they must come before it.
class CAudioParamDef : public CObject {
public:
    CAudioParamDef() = default;
    CAudioParamDef(const CAudioParamDef&) = delete;
    CAudioParamDef& operator=(const CAudioParamDef&) = delete;
    ~CAudioParamDef() override = default;

    // --- life cycle ---
    // Builds the info from the attributes; an error names the definition.
    [[nodiscard]] CError* init() override;

    // --- queries ---
    const CAudioParamInfo& getInfo() const { return mInfo; }

private:
    [[nodiscard]] CError* buildInfo();

    CAudioParamInfo mInfo;
};

} // namespace tal
