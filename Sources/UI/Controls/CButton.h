#pragma once
#include "Core/CTarget.h"
#include "UI/CImageDrawList.h"
#include "UI/CUIParamOwnerView.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/Controls/CFrame.h"

#include <cstdint>

namespace tal {

class CDynListObject;
class CGlobalSettings;
class CSharedAttribute;

// "ui:button-base": the editor's button, drawn as its frame or, with "is-picture", as one image of
// its image set. It serves as push, toggle, checkbox, picture and drop-down button: what a click
// does is decided by the view commands of the description (toggle "is-active", run
// "shared-attr-toggle", "popup-toggle" ...); the button itself keeps the pushed and hover states,
// the "active" state (is-active XOR "is-inverse"), "is-shadow-hidden" for its child shadows, the
// flags "is-value-undefined" and "is-item-list-empty", an optional activity parameter (slot
// ".ui-param-activity", written when "is-active" changes and followed when it changes), and steps
// through its item list (list 0 of a dynamic list, or a value list wrapped in one) with the wheel
// and the extra mouse buttons.
// The button is disabled while "is-disabled" is set, while its item list is empty, or while its
// bound activity parameter is inactive, whichever path recomputes it.
// Owned by the object tree. UI thread, except paint, which reads only what prepareDraw prepared.
class CButton : public CFrame, public CUIParamUpdateHandler, public CUIParamOwnerView {
public:
    static CObject* create();
    // The frame's scheme plus the button's seven attributes and four events.
    static void initScheme(CObjectScheme* scheme);
    ~CButton() override;

    // --- life cycle ---
    // The frame, the shared-attribute, settings and item-list references, the activity slot, the
    // flags read once, then the undefined-value and empty-list flags.
    [[nodiscard]] CError* init() override;
    // The view's second step, then the look of the initial state: an inverse button starts with the
    // state "active" shown.
    [[nodiscard]] CError* initChilds() override;

    // --- view operations ---
    [[nodiscard]] CError* attrIsDisabled(CAttrValue& value) override;
    // Disables the view when requested, when the item list is empty or when the bound activity
    // parameter is inactive (the view's and the parameter handler's requests both come here).
    [[nodiscard]] CError* setDisabled(bool disabled) override;
    [[nodiscard]] CError* onMouseCancel() override;
    [[nodiscard]] CError* onMouseCancelR() override;
    [[nodiscard]] CError* onMouseEnterTop() override;
    [[nodiscard]] CError* onMouseExitTop() override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePressR(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseReleaseR(CAttrMap& args) override;
    // With "is-mouse-wheel-on-lists": a step below 0 acts as extra button 1, any other as button 2.
    [[nodiscard]] CError* onMouseWheel(CAttrMap& args) override;
    // Runs the "mouse-xbutton-release" commands; with "is-x-button-allowed" "xbutton" 1 selects the
    // next usable entry and 2 the previous one.
    [[nodiscard]] CError* onMouseXbuttonRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onPopupClosed() override;
    // The view's popup toggle; a popup now open shows the button active and ends the gesture.
    [[nodiscard]] CError* onPopupToggle(CAttrMap& args) override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    [[nodiscard]] CError* updateContent() override;
    void paint(CSector& sector) override;
    [[nodiscard]] bool prepareDraw() override;

    // --- attribute and event handlers ---
    [[nodiscard]] virtual CError* attrImageSetIndex(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsItemListEmpty(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsActive(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsTempPushed(CAttrValue& value);
    [[nodiscard]] virtual CError* attrSelectedItem(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTitle(CAttrValue& value);
    [[nodiscard]] virtual CError* attrUiStyleShadowHidden(CAttrValue& value);
    [[nodiscard]] virtual CError* onItemListUpdated();
    // A list of fewer than three entries steps on release instead; an open local popup stays open.
    [[nodiscard]] virtual CError* onPopupToggleCheckPress(CAttrMap& args);
    // Lists of one or two entries: selects the entry after "selected-item" (wrapping) when its text
    // is usable. Nothing for an index outside the list.
    [[nodiscard]] virtual CError* onPopupToggleCheckRelease();
    // Stores "false" in the shared attribute when its value reads true, else "true".
    [[nodiscard]] virtual CError* onSharedAttrToggle();
    [[nodiscard]] CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;
    [[nodiscard]] virtual CError* updateCompactSize();
    // Runs "popup-result" with the next usable entry in the direction of step (+1 or -1, wrapping)
    // from "selected-item"; nothing when no other entry is usable.
    [[nodiscard]] virtual CError* selectNextItem(std::int32_t step, bool combineChanges);
    // Called with true when the button takes its pressed look and with false when that ends.
    [[nodiscard]] virtual CError* onHighlightChanged(bool highlighted);

    // --- operations ---
    [[nodiscard]] CError* updateValueFlags();
    [[nodiscard]] CError* applyDisabled(bool requested);
    // Shows the new state; with writeParam also writes the activity parameter (one undo step).
    [[nodiscard]] CError* setActive(bool value, bool writeParam);
    [[nodiscard]] CError* updateShadow(bool pushed);

    // --- queries ---
    bool isActive() const noexcept { return mIsActive; }
    bool isPushed() const noexcept { return mIsPushed; }
    bool isPicture() const noexcept { return mIsPicture; }
    std::int32_t activitySlot() const noexcept { return mActivitySlot; }
    void picturePosition(std::int32_t& x, std::int32_t& y) const noexcept { x = mPicturePos[0], y = mPicturePos[1]; }

protected:
    // The item list's list 0, or null without one; out receives its entries.
    CDynListObject* listEntries(CStringList& out);
    // Whether the button or a parent view is disabled.
    bool isDisabledInChain() const;
    // The press (release, cancel) of a button: the pushed flag, the commands of event, the look.
    [[nodiscard]] CError* pressWith(const char* event);
    [[nodiscard]] CError* endWith(const char* event);
    // Sets or clears view states, then the highlight and the shadow.
    [[nodiscard]] CError* showPushed(const char* states, bool pushed);

    CTarget<CGlobalSettings> mGlobalSettings;
    CImageDrawList mPictureImage;
    std::int32_t mPicAlignH = -1;
    std::int32_t mPicAlignV = -1;
    std::int32_t mImageIndex = 0;
    bool mIsActive = false;
    bool mIsInverse = false;
    bool mIsCheckbox = false;
    bool mIsMouseWheelDisabled = false;
    bool mIsPicture = false;
    bool mIsPushed = false;
    bool mIsRightClickAllowed = false;
    bool mIsTempPushed = false;
    bool mIsXButtonAllowed = false;
    CTarget<CDynListObject> mItemList;
    std::int32_t mPicturePos[2] = {0, 0};
    CTarget<CSharedAttribute> mSharedAttribute;
    std::int32_t mActivitySlot = -1;
};

} // namespace tal
