#pragma once
#include "Core/CArray.h"
#include "Core/CTarget.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CValueList.h"

#include <cstdint>

namespace tal {

class CAudioInterfaceClient;
class CParamGroupSelector;

// "ui:value-list": a value list whose items come from the audio side's state, chosen by "mode":
// group names ("audio-groups"), the current group's name ("audio-curgroup"), internal channels
// ("audio-channels"), inputs ("audio-ins"), values spread over a range ("audio-min-max"), outputs
// ("audio-outs"), routing labels ("audio-routing-labels", seven kinds by "routing-label-mode"), the
// texts of an enumerated parameter ("audio-enum-value"), the elements of a parameter
// ("audio-param-values"), or only its markup ("manual"). It reads parameters through UI parameter
// children that it creates (or that the description places under it, by role name) and counts
// through the interface client "ui.interface-client"; it rebuilds on their changes, on the client's
// count events and on "group-change" of its group selector. While a required parameter is absent
// or inactive the list is empty. Editor thread only.
class CValueListAudio : public CValueList, public CUIParamUpdateHandler {
public:
    enum Role : std::int32_t {
        kRoleGrouping,
        kRoleGroupNames,
        kRoleInNames,
        kRoleInRouting,
        kRoleMsPairs,
        kRoleSidechain,
        kRoleChannelMute,
        kRoleValue,
        kRoleGroupColor,
        kRoleCount
    };
    enum Mode : std::int32_t {
        kModeManual,
        kModeGroups,
        kModeCurrentGroup,
        kModeChannels,
        kModeIns,
        kModeMinMax,
        kModeOuts,
        kModeRoutingLabels,
        kModeEnumValue,
        kModeParamValues
    };
    enum RoutingMode : std::int32_t {
        kRoutingFull,
        kRoutingActiveChannels,
        kRoutingActiveChannelNames,
        kRoutingActiveInChannelLabels,
        kRoutingActiveGroups,
        kRoutingActiveGroupsWithChannels,
        kRoutingActiveGroupPerChannel
    };

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CValueListAudio() override;

    // --- life cycle ---
    // Reads the mode and its settings, binds the client and the group selector where the mode
    // needs them and creates the UI parameter children. Errors: "Invalid value list mode specified:
    // %1", "Invalid routing label mode specified: %1", "Unable to locate interface client.".
    [[nodiscard]] CError* init() override;

    // --- value list ---
    [[nodiscard]] CError* collectItems(CStringList& list) override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onShowAllGroupsChanged();
    [[nodiscard]] virtual CError* onValueCountChanged();
    [[nodiscard]] virtual CError* onGroupChange(CAttrMap& args);

    // --- operations ---
    [[nodiscard]] CError* updateParamActivity(CUIParam* param, bool isActive);
    void bindGroupSelector();
    // The routing labels of the routing-label mode (built from the routing roles).
    [[nodiscard]] CError* collectRoutingLabels(CStringList& list);
    // A printf format of exactly one floating conversion (flags, width and precision allowed, "%%"
    // passes); anything else is refused.
    static bool isSingleRealFormat(const CString& format);

    // --- queries ---
    std::int32_t mode() const noexcept { return mMode; }
    std::int32_t currentGroup() const noexcept { return mCurrentGroup; }
    bool isAllActive() const noexcept { return mAllActive; }

private:
    struct CRoleRecord {
        CUIParam* param = nullptr;  // not owned: a child; null without a record
        bool isActive = false;
    };

    [[nodiscard]] CError* createParamChild(const char* name, const char* bridge, bool withGroupSelector);
    void requireRole(Role role) { mRequiredRoles.add(role); }
    bool computeAllActive() const;
    bool hasActive(Role role) const { return mRecords[role].param != nullptr && mRecords[role].isActive; }
    // The display text of element i of a role ("?" when empty); the rounded plain value of element i.
    CString roleText(Role role, std::int32_t i, bool questionWhenEmpty = true) const;
    std::int32_t roleValue(Role role, std::int32_t i) const;
    double roleReal(Role role, std::int32_t i) const;
    std::int32_t roleCount(Role role) const;
    std::int32_t roleValueInGroup(Role role, std::int32_t i, std::int32_t group) const;
    // The colour texts of the group colour list (empty without an active group colour parameter).
    [[nodiscard]] CError* collectGroupColors(CStringList& colors);
    void collectMinMax(CStringList& list);
    void collectEnumValues(CStringList& list);

    CRoleRecord mRecords[kRoleCount];
    std::int32_t mCurrentGroup = -1;
    CString mFormat;
    std::int32_t mDisplayFormat = -1;
    CTarget<CParamGroupSelector> mGroupSelector;
    bool mIsSelectorBound = false;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
    bool mAllActive = true;
    bool mHideReserve = false;
    bool mShowAllGroups = false;
    std::int32_t mMode = kModeManual;
    CArray<std::int32_t> mRequiredRoles;
    std::int32_t mRoutingMode = kRoutingFull;
    std::int32_t mValueCount = 0;
    double mMinimum = 0.0;
    double mMaximum = 0.0;
};

} // namespace tal
