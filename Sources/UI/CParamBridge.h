#pragma once
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CTarget.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Other/Interface/CParamInterfaceParamListener.h"
#include "UI/CUIParamValue.h"

#include <cstdint>

namespace tal {

class CAudioParamConverter;
class CAudioParamData;
class CAudioParamInfo;
class CByteBuffer;
class CInputStream;

// "ui:param-bridge": the editor-side proxy of one audio parameter. Listens to the parameter named
// by "param" through the interface client named by "interface-client", keeps the parameter's info
// and a copy of its values, converts between normalised, plain, display and text values, sends
// changes and resets, opens and submits the undo steps that name them, and raises "param-change"
// ("group", "element-offset", "element-count", "is-replacing") after every change of its copy.
// Owned by the editor tree. Editor thread only; holds no lock (the client's sends take theirs).
// Without info every write, reset, copy and undo operation does nothing and every read gives its
// fallback (zeros, empty texts, element count 0, normalised default 0.5).
class CParamBridge : public CObject, public CParamInterfaceParamListener {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamBridge() override;

    // --- life cycle ---
    // Binds the required reference "interface-client".
    [[nodiscard]] CError* init() override;
    // Stops listening and removes an own open undo step (when the client resolves).
    void releaseLinks() override;

    // --- attribute and event handlers ---
    // "param": listens to the named parameter (after unlistening the previous one).
    [[nodiscard]] virtual CError* onParamChanged();
    // "reset": "group", "element", "undo-id", "do-create-undo", "use-first-element".
    [[nodiscard]] virtual CError* onReset(CAttrMap& args);

    // --- CParamInterfaceParamListener ---
    [[nodiscard]] CError* onParamInfo(CInputStream& in) override;
    void onParamUpdate(const CAudioParamChange& change) override;

    // --- conversions of one component (0 without info or outside the components) ---
    double toPlain(int component, double normalized) const;
    double toNormalized(int component, double plain) const;
    double toDisplay(int component, double normalized) const;
    double fromDisplay(int component, double display) const;
    // Plain value of a text, clamped; the minimum when it does not parse (ok false, when given).
    double parseText(const CString& text, int component, bool* ok = nullptr) const;
    // Text of a plain value in a precision mode (<= 0 counts as 0); empty without info.
    void formatValue(CString& out, int component, int precision, double plain) const;
    void formatNormalizedValue(CString& out, int component, int precision, double normalized) const;

    // --- reading (group: audio group, forced to 0 for single-group parameters) ---
    // Components beyond the element size (and beyond four) are 0.
    void getNormalizedValues(int group, int element, CUIParamValue& out) const;
    void getPlainValues(int group, int element, CUIParamValue& out) const;
    // Empty when the component is outside the element.
    void getValueText(int group, int element, int component, CString& out, int precision) const;
    // 0 for a negative or absent group.
    int getElementCount(int group) const;
    double getDefaultNormalized(int element, int component) const;
    double getDefaultPlain(int element, int component) const;
    // The raw item named by the component's value; the empty block when there is none.
    const CByteBuffer& getDataItem(int group, int element, int component) const;

    // --- writing: each ends in setValues ---
    // Components clamped to 0..1, then converted to plain.
    void setNormalizedValue(int group, int element, const CUIParamValue& value);
    void setNormalizedValues(int group, int first, int count, const CUIParamValue* values, bool isReplacing);
    void setPlainValue(int group, int element, const CUIParamValue& value);
    // String data: a new string item; float data: the parsed text (nothing when it does not parse).
    void setValueText(int group, int element, int component, const CString& text);
    // Raw data only: a new raw item that takes the block over.
    void setDataItem(int group, int element, int component, CByteBuffer& item);
    // The one write path: count elements of element-size values from first (ids valid in table, or
    // in the copy's own table when table is null). A write beyond the group's end is widened to
    // start at the end, the gap taking default values. Float values are clamped to their
    // component's range. Sends the change, applies it to the copy when applyLocally is set, then
    // has the client fetch the replies at once.
    void setValues(int group, int first, int count, const double* values, bool isReplacing, bool applyLocally,
                   const CAudioParamData* table = nullptr);

    // --- undo steps, resets, copies ---
    // Opens the bridge's own step (removing a step still open) named after the parameter and the
    // groups (undoGroups, may be null) or group; with noUndo only clears the changed flag.
    void openUndo(int group, bool isMergeable, int mergeKey, const CArray<std::int32_t>* undoGroups, bool noUndo);
    // Records further changes into a step opened elsewhere; -1 forgets the step without removing it.
    void attachUndo(int id);
    // Submits the current step under the name it was opened with and forgets it.
    void submitUndo();
    // Resets an element (-1: the whole group) of a group (-1: every group) to its defaults on the
    // audio side; with createUndo and no undoId, into the open step or a new "reset" step.
    void resetValue(int group, int element, int undoId, bool createUndo, bool useFirstElement);
    // Sends the source group's elements as the target group's whole content.
    void copyGroupValues(int sourceGroup, int targetGroup, int undoId);

    // --- queries ---
    bool hasInfo() const noexcept { return mInfo != nullptr; }
    const CAudioParamInfo* info() const noexcept { return mInfo; }
    const CAudioParamStorage& store() const noexcept { return mStore; }
    bool isSingleGroup() const noexcept;
    int elementSize() const noexcept;
    bool isChanged() const noexcept { return mChanged; }
    std::int32_t undoId() const noexcept { return mUndoId; }
    std::int32_t listenHandle() const noexcept { return mListenHandle; }
    // The display name of a group: the client's group name, else the 1-based number.
    CString getGroupName(int group);
    // The interface client, looked up afresh (null, logged, when it does not resolve).
    CAudioInterfaceClient* client();

private:
    const CAudioParamConverter* converterOf(int component) const;
    // A change in the info's format; values and table are borrowed.
    CAudioParamChange makeChange(int group, int first, int count, bool isReplacing, const double* values,
                                 const CAudioParamData* table) const;
    // The values of an element by the lookup rule: the copy's, else the defaults; null: none.
    const double* lookup(int group, int element) const;
    // The default values of an element (element 0's beyond the defaults); null: none.
    const double* defaultsOf(int element) const;
    int effectiveGroup(int group) const noexcept;
    // The step name: visual name + suffix, plus " (" + names + ")" unless single-group.
    CString stepName(const char* suffix, const CArray<std::int32_t>* groups, int group);

    std::int32_t mListenHandle = -1;
    bool mChanged = false;
    CAudioParamInfo* mInfo = nullptr;  // owned
    CAudioParamStorage mStore;
    std::int32_t mUndoId = -1;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
};

} // namespace tal
