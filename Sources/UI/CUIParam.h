#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "UI/CUIParamValue.h"

#include <cstdint>

namespace tal {

class CByteBuffer;
class CParamBridge;
class CParamGroupSource;
class CSharedAttribute;
class CUIParamUpdateHandler;

// "ui:ui-param": the one value source through which a control, display or other editor object
// reads and writes one parameter. A child of its owner, which must be a CUIParamUpdateHandler; the
// kind is fixed at init:
// - bridged ("bridge"): an element ("element") of an audio parameter through a CParamBridge, in a
//   fixed group or the current group of a group selector ("group-selector");
// - shared attribute ("shared-attribute"): a text value kept by a CSharedAttribute and pushed into
//   "shared-attribute-value";
// - simple ("is-simple-attr"): a number kept as text in "shared-attribute-value", mapped to 0..1
//   through "simple-min-value" and "simple-max-value".
// Value operations take an element offset (added to "element") and a group (-1: the current one).
// Inactive parameters read as zeros and empty texts and ignore writes. Writers open the undo step
// recorded by an outer beginEdit first. Points at its bridge, selector and shared attribute without
// owning them. Editor thread only, no lock.
class CUIParam : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CUIParam() override;

    // --- life cycle ---
    // Resolves the kind and registers with the parent's handler. Errors: "Parent object does not
    // support ui-param.", "Invalid parameter shared attribute '%1'.", failed lookups.
    [[nodiscard]] CError* init() override;
    // Listens to the bridge, sends the owner its first notification, fires "ui-param-ready".
    [[nodiscard]] CError* initChilds() override;

    // --- attribute and event handlers ---
    [[nodiscard]] virtual CError* onBridgeChanged();
    [[nodiscard]] virtual CError* onElementChanged();
    [[nodiscard]] virtual CError* onSharedAttributeValueChanged();
    [[nodiscard]] virtual CError* onGroupChange(CAttrMap& args);
    [[nodiscard]] virtual CError* onParamChange(CAttrMap& args);

    // --- reading ---
    void getNormalizedValue(CUIParamValue& out, std::int32_t elementOffset, std::int32_t group);
    void getPlainValue(CUIParamValue& out, std::int32_t elementOffset, std::int32_t group);
    void getValueText(std::int32_t elementOffset, CString& out, std::int32_t precision, std::int32_t group,
                      std::int32_t component);
    double getDefaultNormalized(std::int32_t elementOffset, std::int32_t component);
    double getDefaultPlainValue(std::int32_t elementOffset, std::int32_t component);
    void getDefaultValueText(CString& out, std::int32_t elementOffset, std::int32_t component, std::int32_t precision);
    std::int32_t getElementCount(std::int32_t group);
    std::int32_t getComponentCount();
    double getMaxValue(std::int32_t component);
    double getMinValue(std::int32_t component);
    // The raw item of an element of the current group; null outside the group or for other kinds.
    const CByteBuffer* getDataItem(std::int32_t elementOffset, std::int32_t component);
    double toDisplay(std::int32_t component, double x);
    double fromDisplay(std::int32_t component, double x);

    // --- writing ---
    void setNormalizedValue(std::int32_t elementOffset, std::int32_t group, CUIParamValue value);
    void setNormalizedValues(std::int32_t elementOffset, std::int32_t count, const CUIParamValue* values,
                             bool isReplacing, std::int32_t group);
    void setPlainValue(std::int32_t elementOffset, std::int32_t group, CUIParamValue value);
    void setValueText(std::int32_t elementOffset, const CString& text, std::int32_t component);
    void setDataItem(std::int32_t elementOffset, std::int32_t component, CByteBuffer& item);
    void resetValue(std::int32_t elementOffset, bool createUndo, bool useFirstElement, std::int32_t group,
                    std::int32_t undoId);

    // --- edit gestures and notifications ---
    // Nested gesture; the outermost call records how the first write opens the undo step
    // (undoGroups may be null; noUndo: the step belongs to an undo collector).
    void beginEdit(bool isMergeable, std::int32_t mergeKey, const CArray<std::int32_t>* undoGroups, bool noUndo);
    // The outermost call submits the step the gesture opened, unless keepOpen. A gesture that wrote
    // nothing forgets its recorded settings.
    void endEdit(bool keepOpen);
    void openPendingUndo();
    // Recomputes the activity (reporting a change to the handler) and returns it.
    bool updateActive();
    void holdNotifications();
    // Ends the hold: reports the collected changes, runs of consecutive elements once each.
    [[nodiscard]] CError* flushPendingChanges();
    void copyGroupValuesTo(std::int32_t targetGroup);
    void copyGroupValuesFrom(std::int32_t sourceGroup);

    // --- queries ---
    CParamBridge* bridge() const noexcept { return mBridge; }
    // The group selector named by "group-selector"; null without one. Not owned.
    CParamGroupSource* groupSelector() const noexcept { return mGroupSelector; }
    std::int32_t element() const noexcept { return mElement; }
    std::int32_t currentGroup() const noexcept { return mGroup; }
    bool isActive() const noexcept { return mIsActive; }
    bool isHeld() const noexcept { return mIsHeld; }
    bool isSimple() const noexcept { return mIsSimple; }
    CSharedAttribute* sharedAttribute() const noexcept { return mSharedAttribute; }
    const CString& valueText() const noexcept { return mValueText; }
    std::int32_t editDepth() const noexcept { return mEditDepth; }

private:
    bool isBridged() const noexcept { return mBridge != nullptr && !mIsSimple && mSharedAttribute == nullptr; }
    std::int32_t groupOf(std::int32_t group) const noexcept { return group == -1 ? mGroup : group; }
    // The bridge when it has info and an element record can hold its components.
    bool bridgeUsable() const;
    void setActive(bool active);
    // Writes a value of the attribute kinds (normalised for simple parameters).
    void writeAttrValue(double x);
    void storeText(const CString& text);
    double attrNumber() const;
    void forgetEditSettings();
    void addPending(std::int32_t first, std::int32_t count);
    // Copies a whole group into another as one undo step of the target group.
    void copyGroup(std::int32_t sourceGroup, std::int32_t targetGroup);

    CParamBridge* mBridge = nullptr;  // not owned; follows "bridge"
    std::int32_t mElement = 0;
    std::int32_t mGroup = 0;
    CParamGroupSource* mGroupSelector = nullptr;  // not owned
    CSortedMap<std::int32_t, bool> mPendingElements;
    bool mIsActive = false;
    bool mUndoOpened = false;
    bool mIsHeld = false;
    bool mIsSimple = false;
    bool mIsUpdateOnAnyGroup = false;
    bool mPendingBegin = false;
    bool mIsMergeable = false;
    bool mNoUndo = false;
    std::int32_t mMergeKey = -1;
    CArray<std::int32_t> mUndoGroups;
    CUIParamUpdateHandler* mHandler = nullptr;  // not owned: the parent
    CSharedAttribute* mSharedAttribute = nullptr;  // not owned
    CString mValueText;
    double mSimpleMin = 0.0;
    double mSimpleMax = 1.0;
    std::int32_t mEditDepth = 0;
};

} // namespace tal
