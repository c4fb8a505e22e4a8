#pragma once
#include "UI/CUIParamUpdateHandler.h"
#include "UI/Controls/CTextView.h"

#include <cstdint>

namespace tal {

class CUIParam;
class CUIParamController;

// "ui:readout": a one-paragraph text view that shows one element of a parameter as text. At init it
// makes its binding children from templates: "ui-param" (the shown value), optionally "ui-param-def"
// (a fallback text) and "ui-param-controller" (drag and wheel). A typed value becomes one complete
// begin/set/end edit; an unchanged text sends nothing. Without a parameter it keeps what is typed.
// Owned by the object tree; the three children are owned by the tree too. UI thread only.
class CReadOut : public CTextView, public CUIParamUpdateHandler {
public:
    static CObject* create();
    // The text view's scheme plus "element".
    static void initScheme(CObjectScheme* scheme);
    ~CReadOut() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* onMouseMove(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseWheel(CAttrMap& args) override;
    // Applies the typed text (first paragraph) to the parameter, then raises "text-changed".
    [[nodiscard]] CError* notifyTextChanged() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    // Refreshes the shown text whatever changed.
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    [[nodiscard]] virtual CError* attrElement();
    // Shows element index; nothing without a parameter or when it is already shown.
    [[nodiscard]] CError* setElement(std::int32_t index);
    // Disabled while the element is negative or the parameter inactive.
    [[nodiscard]] CError* updateDisabled();

    // --- queries ---
    std::int32_t element() const noexcept { return mElement; }
    const CString& valueText() const noexcept { return mValueText; }
    CUIParam* uiParam() const noexcept { return mUIParam; }
    CUIParam* uiParamDef() const noexcept { return mUIParamDef; }
    CUIParamController* controller() const noexcept { return mController; }

private:
    // The parameter's text of the shown element (empty for element -1 or without a parameter).
    CString currentText();

    CString mValueText;
    std::int32_t mElement = -1;
    bool mHasSharedAttribute = false;
    bool mIsDragDisabled = false;
    CUIParam* mUIParam = nullptr;                 // not owned: a child
    CUIParam* mUIParamDef = nullptr;              // not owned: a child
    CUIParamController* mController = nullptr;    // not owned: a child
};

} // namespace tal
