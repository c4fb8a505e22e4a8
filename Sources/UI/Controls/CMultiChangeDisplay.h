#pragma once
#include "Core/CStringList.h"
#include "Core/CTarget.h"
#include "UI/Controls/CFrame.h"

#include <cstdint>

namespace tal {

class CUIParamController;

// "ui:multichange-display": the framed overlay over a knob or slider during a multi-change edit. It
// lists one item per active audio group (the group's label and the edited element's value text in
// that group) and, while shown, switches its owner's drag controller to edit every active group.
// Items are child views of ".items" made from "multichange-item-tag"; surplus items are hidden and
// released through the event bridge. Owned by the object tree; points at its owner view and the
// controller without owning them. UI thread only.
class CMultiChangeDisplay : public CFrame {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CMultiChangeDisplay() override;

    [[nodiscard]] CError* init() override;
    // "offset-y" is the display's vertical offset from its owner here (description units).
    [[nodiscard]] CError* attrOffsetY(CAttrValue& value) override;
    [[nodiscard]] virtual CError* attrElement();

    // Shows (state "show", controller's multi-change flag on) or hides; nothing when unchanged or
    // without a controller. A failed state change leaves everything as it was.
    [[nodiscard]] CError* setShown(bool shown);
    // Rebuilds the items from the present values and places the display over its owner; nothing
    // while hidden or without an owner.
    [[nodiscard]] CError* refreshItems();
    // The labels and value texts of the active groups (both emptied first).
    [[nodiscard]] CError* collectGroupValues(CStringList& labels, CStringList& values);

    bool isShown() const noexcept { return mIsShown; }
    std::int32_t element() const noexcept { return mElement; }
    double offsetY() const noexcept { return mOffsetY; }

private:
    std::int32_t mElement = 0;
    bool mIsShown = false;
    double mOffsetY = 0.0;
    CTarget<CView> mOwner;
    CTarget<CUIParamController> mController;
};

// Binds a control driven by a drag controller: its ".ui-param-controller" child (an error when it
// is missing) and its "multichange-display" child.
[[nodiscard]] CError* bindControllerChildren(CObject& control, CUIParamController*& controller,
                                             CTarget<CMultiChangeDisplay>& display);

} // namespace tal
