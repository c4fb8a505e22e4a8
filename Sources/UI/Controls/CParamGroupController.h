#pragma once
#include "Core/CObject.h"
#include "Core/CTarget.h"

#include <memory>
#include <vector>

namespace tal {

class CAudioInterfaceClient;
class CParamBridge;
class CParamGroupSelector;

// "ui:param-group-controller": copies another channel group into the current group of a group
// selector ("copy-group-from" with "text" ending in a 1-based group number), or resets the current
// group ("reset-group"), over a set of parameter bridges, as one named undo step on the audio side.
// The set is given by the children in order: "bridge" names a bridge, "object" an earlier
// controller whose set is included. Nothing is sent while the selector's group is negative (a
// negative group would mean every group) or the selector or client cannot be found.
// Owns its references; editor thread only.
class CParamGroupController : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamGroupController() override;

    // --- life cycle ---
    // Builds the references of the set from the children.
    [[nodiscard]] CError* initChilds() override;
    void releaseLinks() override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onCopyGroupFrom(CAttrMap& args);
    [[nodiscard]] virtual CError* onGroupChange(CAttrMap& args);
    [[nodiscard]] virtual CError* onResetGroup();

    int bridgeCount() const noexcept { return int(mBridges.size()); }

private:
    using CBridgeTarget = CTarget<CParamBridge>;
    void appendBridge(CObject* owner, const CString& path);

    std::vector<std::unique_ptr<CBridgeTarget>> mBridges;  // in item order
    CTarget<CParamGroupSelector> mGroupSelector;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
};

} // namespace tal
