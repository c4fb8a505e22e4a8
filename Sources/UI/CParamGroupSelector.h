#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CTarget.h"
#include "UI/CParamGroupSource.h"
#include "UI/CUIParamUpdateHandler.h"

#include <cstdint>

namespace tal {

class CAudioInterfaceClient;
class CValueList;

// "ui:param-group-selector": holds the editor's current channel group and announces each change as
// "group-change" with "index". The group comes from the bound UI parameter ".ui-param-group" while
// it is active, else from the attribute "group-index"; a non-negative group is limited to the
// groups named by the items of the value list "active-groups-list" (item text "title;n", n 1-based).
// Re-evaluated on "update-group-count" of the interface client, "values-changed" of the list and
// every new value. Points at the client and the list without owning them. Editor thread only.
class CParamGroupSelector : public CObject, public CUIParamUpdateHandler, public CParamGroupSource {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamGroupSelector() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    // Resolves the list, then raises "group-selector-ready".
    [[nodiscard]] CError* initChilds() override;

    // --- handlers ---
    [[nodiscard]] virtual CError* attrGroupIndex();
    [[nodiscard]] virtual CError* onUpdateGroupCount();
    [[nodiscard]] CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;

    // --- operations ---
    std::int32_t getCurrentGroup() override;
    // The distinct groups the active-groups list names, in item order (empty without a list).
    void getActiveGroups(CArray<std::int32_t>& out);
    // Writes the bound UI parameter (the change is announced when it comes back), or stores the
    // index and announces it.
    [[nodiscard]] CError* setGroupIndex(std::int32_t index);
    // Announces the current group when it differs from the last one announced.
    [[nodiscard]] CError* updateGroup();
    // The 0-based group an item text names ("Left;1" is 0), or -1 when it names none.
    static std::int32_t parseItemGroup(const CString& item);

    std::int32_t lastAnnouncedGroup() const noexcept { return mLastAnnouncedGroup; }

private:
    CUIParam* boundParam() const;

    CTarget<CValueList> mActiveGroupsList;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
    std::int32_t mLastAnnouncedGroup = -1;
    std::int32_t mGroupIndex = -1;
    std::int32_t mGroupSlotId = -1;
};

} // namespace tal
