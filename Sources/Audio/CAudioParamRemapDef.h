#pragma once

#include "Audio/CAudioParamRemapPair.h"
#include "Core/CObject.h"

#include <vector>

namespace tal {

// "audio:param-remap", inside a process definition: parameter names of the process that another
// parameter serves. Pairs come from the attributes orig and new and from the value texts of
// "content" children ("a = b; c = d;" split at ";", or "a=b c=d" split at blanks). The process
// graph resolves both names against the process and enters them into the collector's remap map.
// Built with the shared description, read-only afterwards.
class CAudioParamRemapDef : public CObject {
public:
    CAudioParamRemapDef() = default;
    ~CAudioParamRemapDef() override = default;

    // --- life cycle ---
    // Reads the pairs once the children exist; no pair at all, or a piece that is not exactly
    // "name=name", is an error.
    [[nodiscard]] CError* initChilds() override;

    // --- queries ---
    const std::vector<CAudioParamRemapPair>& getPairs() const { return mPairs; }

private:
    [[nodiscard]] CError* readContent(const CString& text);

    std::vector<CAudioParamRemapPair> mPairs;
};

} // namespace tal
