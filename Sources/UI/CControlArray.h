#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CUIParamUndoCollector.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"

#include <cstdint>
#include <map>
#include <vector>

namespace tal {

class CAudioInterfaceClient;
class CDynListObject;
class CStringList;
class CUIParam;
class CValueList;

// "ui:control-array": a row of identical small controls made from the template "object-tag", one
// per element of the UI parameter "ui-param-values" (counted by "ui-param-count", a title list or
// the fixed "object-count"). Object i ("object<i>") shows element i as the title of an entry of the
// dynamic list "object-value-list" and gets the attributes "object-index", "object-index-incr",
// "object-title", "object-value", "object-value-title" and "object-value-list". A choice in an
// object's popup ("popup-result") writes the element as one undo step (merged with the ones before
// through the undo collector when "combine-changes"); "toggle-default-value" swaps an element
// between its default and the last other value, also as one undo step. In attribute mode the value
// is the array's own "object-value". The array is disabled while one of its UI parameters is
// inactive. Draws nothing itself; its objects are its child views, owned by the tree.
// UI thread only, no lock.
class CControlArray : public CView, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CControlArray() override;

    // --- life cycle ---
    // Attaches the undo collector to "interface-client", reads the flags and the texts. Error:
    // "Object tag not defined.".
    [[nodiscard]] CError* init() override;
    // Binds the title list, creates the first objects and fires "control-array-ready".
    [[nodiscard]] CError* initChilds() override;

    // --- disabled state ---
    // The view's setting, then every object's value refreshed.
    [[nodiscard]] CError* setDisabled(bool disabled) override;
    [[nodiscard]] CError* attrIsDisabled(CAttrValue& value) override;
    [[nodiscard]] CError* onDisabledChanged() override;
    // Disabled when isDisabledAttr or when a bound UI parameter is inactive.
    [[nodiscard]] CError* refreshDisabled(bool isDisabledAttr);

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- handlers ---
    [[nodiscard]] CError* onPopupResult(CAttrMap& args) override;
    [[nodiscard]] virtual CError* attrElement();
    [[nodiscard]] virtual CError* attrSelectedObject();
    [[nodiscard]] virtual CError* onObjectTitleListUpdate();
    [[nodiscard]] virtual CError* onObjectValueListUpdate();
    [[nodiscard]] virtual CError* onSetObjectValueByString(CAttrMap& args);
    [[nodiscard]] virtual CError* onToggleDefaultValue(CAttrMap& args);

    // --- operations ---
    // Creates objects up to n or hides and releases those from n on.
    [[nodiscard]] CError* setObjectCount(std::int32_t n);
    // Refreshes every object's "object-value" and "object-value-title" and its "error" state.
    [[nodiscard]] CError* updateValues();
    // Binds the dynamic list of choices on first use.
    [[nodiscard]] CError* bindValueList();
    // The list position object i shows (-1: none).
    std::int32_t getObjectValue(std::int32_t i);

    // --- queries ---
    std::int32_t objectCount() const noexcept { return mObjects.count(); }
    CObject* object(std::int32_t i) const noexcept { return mObjects[i]; }
    std::int32_t selectedObject() const noexcept { return mSelectedObject; }
    std::int32_t element() const noexcept { return mElement; }
    const CUIParamUndoCollector& undoCollector() const noexcept { return mUndoCollector; }

private:
    // Empties the choices' cache and lists them again with the display flag; null without a list.
    CDynListObject* readChoices(CStringList& out, bool displayFlag);
    // The view that takes an object's "error" state.
    static CViewBaseState* stateViewOf(CObject* object);
    bool isDisabledHere() const;
    // The value title of a choice: a disabled choice loses its "[N/A]", a separator shows as
    // missing; then the cut at the last value separator.
    CString valueTitleOf(const CStringList& choices, std::int32_t idx) const;
    // Whether no choice names position idx (outside the list, or the separator).
    static bool isMissing(const CStringList& choices, std::int32_t idx);
    std::int32_t roundedMinimum() const;

    std::int32_t mElement = 0;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
    bool mIsAttrMode = false;
    bool mIsCallPopupResult = false;
    bool mIsDisableValuesUpdate = false;
    bool mIsIgnoreInactiveValues = false;
    bool mIsUniqueValuesOnly = false;
    CArray<CObject*> mObjects;   // not owned: children
    CString mObjectTag;
    CTarget<CValueList> mObjectTitleList;
    CTarget<CDynListObject> mObjectValueList;
    CUIParamUndoCollector mUndoCollector;
    // Per "element": the value each object returns to on its next toggle.
    std::map<std::int32_t, std::vector<double>> mDefaultMemory;
    std::int32_t mSelectedObject = -1;
    CUIParam* mUIParamCount = nullptr;            // not owned: children
    CUIParam* mUIParamSelectedObject = nullptr;
    CUIParam* mUIParamValues = nullptr;
    CString mMissingValueTitle;
    CString mValueSeparatorChar;
};

} // namespace tal
