#pragma once
#include "Core/CTarget.h"
#include "UI/CView.h"

namespace tal {

class CButton;
class CSharedAttribute;

// "ui:selector-scale": the editor's scale choice. Its child drop-down button (path in
// "dropdown-button-path") lists the entries of the child value list ".ui-scale-titles" ("125%;1.25":
// text, ";", factor) and runs "select-scale" with the chosen entry's "text". The factor is stored
// with four decimals through the shared attribute named by "shared-attribute" (nothing is stored
// unless "shared-attribute2" resolves too); while the root's "VisualScale" is 0 every open window
// records its position first (update-window-scale mode 1) and rescales after the store (mode 2).
// "scale", bound to the shared attribute, is shown as a percentage title on the button and selects
// the matching entry. A factor that does not parse, is not finite or is not above 0 is ignored.
// Owned by the object tree. UI thread only.
class CSelectorScale : public CView {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CSelectorScale() override;

    [[nodiscard]] CError* init() override;
    // The view's second step, the three references and the first display.
    [[nodiscard]] CError* initChilds() override;

    // Title "<round(scale x 100)>%" on the button and, when an entry starts with that text, its
    // index as "selected-item".
    [[nodiscard]] CError* updateDropdown();
    // Stores value (see the class comment); the first window error stops.
    [[nodiscard]] CError* applyScale(double value);

    [[nodiscard]] virtual CError* attrScale(CAttrValue& value);
    [[nodiscard]] virtual CError* attrScale2(CAttrValue& value);
    [[nodiscard]] virtual CError* attrScaleUsesr(CAttrValue& value);
    [[nodiscard]] virtual CError* onSelectScale(CAttrMap& args);

private:
    // Runs "update-window-scale" with mode on every registered window that is not closing.
    [[nodiscard]] CError* updateWindows(std::int32_t mode);

    CTarget<CButton> mDropdownButton;
    CTarget<CSharedAttribute> mSharedAttribute;
    CTarget<CSharedAttribute> mSharedAttribute2;
};

} // namespace tal
