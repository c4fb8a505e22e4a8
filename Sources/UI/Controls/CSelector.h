#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CValueList;

// The base of the selectors: a row of buttons, one per title of the value list named by
// "button-title-list" ("button-count" buttons titled "?" without one), built from the templates
// named by "button-tag", "run-event-params-tag", "param-data-tag" and "view-command-tag"; each
// button's seven generated view commands run the selector's "button-*" events with the button's
// "index". At most one button is active. A title is shown up to the last "separator-char"; the text
// after it is the entry's key, by which a rebuild recognises the active entry (another key, or an
// entry that is gone, makes the first button active).
// Every "values-changed" of the list rebuilds the row: the old buttons are hidden at once and
// released later through the event bridge, never inside the rebuild.
// No tag of its own: derived selectors run its scheme. Owned by the object tree; the buttons are its
// children. UI thread only.
class CSelector : public CView {
public:
    static void initScheme(CObjectScheme* scheme);
    ~CSelector() override;

    // The view's second step, the title list, the first row and "active-button".
    [[nodiscard]] CError* initChilds() override;

    // --- operations ---
    [[nodiscard]] CError* rebuildButtons();
    // Makes button index active (none for an index outside the row); notify is true only for a
    // choice of the user.
    [[nodiscard]] virtual CError* setActiveButton(std::int32_t index, bool notify);
    [[nodiscard]] virtual CError* refreshActiveButton();
    [[nodiscard]] virtual CError* checkActiveTitle(const CString& previousTitle);

    // --- handlers ---
    [[nodiscard]] virtual CError* attrActiveButton(CAttrValue& value);
    [[nodiscard]] virtual CError* onButtonEnter(CAttrMap& args);
    [[nodiscard]] virtual CError* onButtonExit(CAttrMap& args);
    [[nodiscard]] virtual CError* onButtonCancelledR(CAttrMap& args);
    [[nodiscard]] virtual CError* onButtonPressedR(CAttrMap& args);
    [[nodiscard]] virtual CError* onButtonReleased(CAttrMap& args);
    [[nodiscard]] virtual CError* onButtonReleasedR(CAttrMap& args);
    [[nodiscard]] virtual CError* onButtonXbutton(CAttrMap& args);
    [[nodiscard]] virtual CError* onRebuildButtons();

    // --- queries ---
    std::int32_t activeIndex() const noexcept { return mActiveIndex; }
    std::int32_t buttonCount() const noexcept { return mButtons.count(); }
    CObject* button(std::int32_t index) const noexcept { return mButtons[index]; }
    // The text after the last separator (the whole text without one).
    CString keyOf(const CString& title) const;

protected:
    std::int32_t mActiveIndex = -2;   // -1: none active; -2: nothing applied yet
    CArray<CObject*> mButtons;        // not owned: children of this selector
    CTarget<CValueList> mTitleList;
    CString mSeparator;
};

} // namespace tal
