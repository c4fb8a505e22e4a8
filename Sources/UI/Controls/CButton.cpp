#include "UI/Controls/CButton.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CSharedAttribute.h"
#include "Core/CStringList.h"
#include "UI/CDynListObject.h"
#include "UI/CDynListValueList.h"
#include "UI/CGlobalSettings.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

namespace {

// Rounds half away from zero.
double roundAway(double x) noexcept { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }

bool valueFlag(CAttrValue& value) { return value.convert(CAttrValue::kBool) && value.asBool(); }

std::int32_t alignmentOf(const CString& text, const char* centre, const char* end) {
    if (text == CString(centre))
        return 0;
    return text == CString(end) ? 1 : -1;
}

} // namespace

CObject* CButton::create() { return new CButton(); }

void CButton::initScheme(CObjectScheme* scheme) {
    CFrame::initScheme(scheme);
    addValueAttrOf<CButton, &CButton::attrImageSetIndex>(scheme, "image-set-index");
    addValueAttrOf<CButton, &CButton::attrIsActive>(scheme, "is-active");
    addValueAttrOf<CButton, &CButton::attrIsItemListEmpty>(scheme, "is-item-list-empty");
    addValueAttrOf<CButton, &CButton::attrIsTempPushed>(scheme, "is-temp-pushed");
    addValueAttrOf<CButton, &CButton::attrSelectedItem>(scheme, "selected-item");
    addValueAttrOf<CButton, &CButton::attrTitle>(scheme, "title");
    addValueAttrOf<CButton, &CButton::attrUiStyleShadowHidden>(scheme, "ui-style-shadow-hidden");
    addPlainEventOf<CButton, &CButton::onItemListUpdated>(scheme, "item-list-updated");
    addArgsEventOf<CButton, &CButton::onPopupToggleCheckPress>(scheme, "popup-toggle-check-press");
    addPlainEventOf<CButton, &CButton::onPopupToggleCheckRelease>(scheme, "popup-toggle-check-release");
    addPlainEventOf<CButton, &CButton::onSharedAttrToggle>(scheme, "shared-attr-toggle");
}

CButton::~CButton() {
    mSharedAttribute.reset();
    mItemList.reset();
    mGlobalSettings.reset();
}

CError* CButton::init() {
    if (CError* error = CFrame::init())
        return traceError(error, getFullName());
    mSharedAttribute.init(this, CString(), CString(), this, CString("shared-attribute"));
    mGlobalSettings.init(this, CString("ui.global-settings"), CString(), this, CString());
    mGlobalSettings.isRequired = true;
    mActivitySlot = registerUIParam(CString(".ui-param-activity"), false);
    mIsMouseWheelDisabled = getBoolAttr("is-mouse-wheel-disabled");
    mIsPicture = getBoolAttr("is-picture");
    mIsXButtonAllowed = getBoolAttr("is-x-button-allowed");
    if (mIsPicture) {
        mPicAlignH = alignmentOf(getTextAttr("pic-alignment-h"), "center", "right");
        mPicAlignV = alignmentOf(getTextAttr("pic-alignment-v"), "center", "bottom");
    }
    mIsInverse = getBoolAttr("is-inverse");
    mIsCheckbox = getBoolAttr("is-checkbox");
    mIsRightClickAllowed = getBoolAttr("is-right-click-allowed");
    if (CError* error = CDynListValueList::bindDynList(this, mItemList, CString("item-list"),
                                                       CString("item-list-updated"), false))
        return traceError(error, getFullName());
    return traceError(updateValueFlags(), getFullName());
}

CError* CButton::initChilds() {
    if (CError* error = CFrame::initChilds())
        return traceError(error, getFullName());
    if (mIsActive == mIsInverse)
        return nullptr;
    return traceError(setState(CString("active"), true), getFullName());
}

CDynListObject* CButton::listEntries(CStringList& out) {
    CDynListObject* list = mItemList.resolve();
    if (list != nullptr)
        list->getItems(0, out);
    return list;
}

CError* CButton::updateValueFlags() {
    bool empty = false;
    CStringList items;
    if (listEntries(items) != nullptr)
        empty = items.count() == 0 || (items.count() == 1 && items[0] == CString("---"));
    const CString& title = getTextAttr("title");
    const bool undefined = title.isEmpty() || title == CString("---") || title == CString("?");
    if (CError* error = setIntAttr(CString("is-value-undefined"), undefined ? 1 : 0, true))
        return traceError(error, getFullName());
    return traceError(setIntAttr(CString("is-item-list-empty"), empty ? 1 : 0, true), getFullName());
}

CError* CButton::applyDisabled(bool requested) { return traceError(setDisabled(requested), getFullName()); }

CError* CButton::setDisabled(bool requested) {
    // Every request, the view's and the parameter handler's alike, keeps the empty-list and the
    // inactive-parameter conditions, so that neither re-enables a button the other disabled.
    bool disabled = requested;
    if (CUIParam* param = getActiveUIParam(mActivitySlot); param != nullptr && !param->updateActive())
        disabled = true;
    if (!disabled)
        disabled = getBoolAttr("is-item-list-empty");
    return traceError(CFrame::setDisabled(disabled), getFullName());
}

CError* CButton::attrIsDisabled(CAttrValue& value) { return applyDisabled(valueFlag(value)); }

CError* CButton::attrIsItemListEmpty(CAttrValue&) { return applyDisabled(getBoolAttr("is-disabled")); }

CError* CButton::setActive(bool value, bool writeParam) {
    if (value == mIsActive)
        return nullptr;
    mIsActive = value;
    if (CError* error = updateShadow(mIsPushed))
        return traceError(error, getFullName());
    if (CUIParam* param = writeParam ? getActiveUIParam(mActivitySlot) : nullptr) {
        param->beginEdit(false, -1, nullptr, false);
        CUIParamValue plain;
        plain[0] = mIsActive ? 1.0 : 0.0;
        param->setPlainValue(0, -1, plain);
        param->endEdit(false);
    }
    CError* error = mIsActive != mIsInverse ? setState(CString("active"), false) : unsetState(CString("active"), false);
    if (error != nullptr)
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("state-changed"), false), getFullName());
}

CError* CButton::attrIsActive(CAttrValue& value) { return setActive(valueFlag(value), true); }

CError* CButton::onRegisteredUIParamChanged(const CUIParamChangeInfo& info) {
    if (info.slotId != mActivitySlot || info.param == nullptr)
        return nullptr;
    CUIParamValue plain;
    info.param->getPlainValue(plain, 0, -1);
    const bool active = roundAway(plain[0]) != 0.0;
    if (active == mIsActive)
        return nullptr;
    if (CError* error = setIntAttr(CString("is-active"), active ? 1 : 0, false))
        return traceError(error, getFullName());
    return traceError(setActive(active, false), getFullName());
}

CError* CButton::updateShadow(bool pushed) {
    const bool hidden = getBoolAttr("ui-style-shadow-hidden") || pushed || (mIsActive && !mIsCheckbox);
    return traceError(setIntAttr(CString("is-shadow-hidden"), hidden ? 1 : 0, true), getFullName());
}

CError* CButton::attrUiStyleShadowHidden(CAttrValue&) { return updateShadow(mIsPushed); }

CError* CButton::attrIsTempPushed(CAttrValue& value) {
    const bool pushed = valueFlag(value);
    if (pushed == mIsTempPushed)
        return nullptr;
    mIsTempPushed = pushed;
    CError* error = pushed ? setState(CString("temp-pushed"), false) : unsetState(CString("temp-pushed"), false);
    return traceError(error, getFullName());
}

CError* CButton::attrImageSetIndex(CAttrValue& value) {
    mImageIndex = value.convert(CAttrValue::kInt) ? value.asInt() : 0;
    if (mIsPicture)
        invalidate();
    return nullptr;
}

CError* CButton::attrSelectedItem(CAttrValue&) { return updateValueFlags(); }
CError* CButton::attrTitle(CAttrValue&) { return updateValueFlags(); }
CError* CButton::onItemListUpdated() { return updateValueFlags(); }

// --- drawing ---

bool CButton::prepareDraw() {
    if (!mIsPicture)
        return CFrame::prepareDraw();
    drawImageSetFrame(*this, mPictureImage, mImageIndex, true, false, nullptr, 1.0);
    return true;
}

void CButton::paint(CSector& sector) {
    if (!mIsPicture) {
        CFrame::paint(sector);
        return;
    }
    drawImageSetItem(*this, sector, mPictureImage, mPicturePos[0], mPicturePos[1], 1, false, false);
}

CError* CButton::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CFrame::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    if (mIsPicture)
        getAlignedImageCoords(mImageIndex, true, mPicAlignH, mPicAlignV, 1, mPicturePos);
    return nullptr;
}

CError* CButton::updateContent() { return traceError(updateCompactSize(), getFullName()); }

CError* CButton::updateCompactSize() {
    if (!mIsPicture)
        return nullptr;
    std::int32_t width = 0, height = 0;
    getImageSetFrameSize(*this, mImageIndex, true, false, width, height);
    if (CError* error = setDoubleAttr(CString("compact-width"), width, true))
        return traceError(error, getFullName());
    return traceError(setDoubleAttr(CString("compact-height"), height, true), getFullName());
}

// --- pointer input ---

CError* CButton::showPushed(const char* states, bool pushed) {
    CError* error = pushed ? setState(CString(states), false) : unsetState(CString(states), false);
    if (error == nullptr)
        error = onHighlightChanged(pushed);
    if (error == nullptr)
        error = updateShadow(pushed);
    return traceError(error, getFullName());
}

CError* CButton::pressWith(const char* event) {
    mIsPushed = true;
    CViewWatch watch(this);
    if (CError* error = runCommand(CString(event), nullptr))
        return traceError(error, getFullName());
    // A command may have ended the gesture (a popup opened) or released the button.
    if (watch.isViewGone() || !mIsPushed)
        return nullptr;
    return showPushed("pushed", true);
}

CError* CButton::endWith(const char* event) {
    mIsPushed = false;
    CViewWatch watch(this);
    if (CError* error = runCommand(CString(event), nullptr))
        return traceError(error, getFullName());
    return watch.isViewGone() ? nullptr : showPushed("pushed", false);
}

CError* CButton::onMousePress(CAttrMap&) { return pressWith("mouse-press"); }
CError* CButton::onMouseRelease(CAttrMap&) { return endWith("mouse-release"); }
CError* CButton::onMouseCancel() { return endWith("mouse-cancel"); }
CError* CButton::onMousePressR(CAttrMap&) { return mIsRightClickAllowed ? pressWith("mouse-press-r") : nullptr; }
CError* CButton::onMouseReleaseR(CAttrMap&) { return mIsRightClickAllowed ? endWith("mouse-release-r") : nullptr; }
CError* CButton::onMouseCancelR() { return mIsRightClickAllowed ? endWith("mouse-cancel-r") : nullptr; }

bool CButton::isDisabledInChain() const {
    for (const CView* view = this; view != nullptr; view = view->parentView())
        if (view->isDisabled())
            return true;
    return false;
}

CError* CButton::onMouseEnterTop() {
    if (isDisabledInChain())
        return nullptr;
    CError* error = mIsPushed ? showPushed("hover pushed", true) : setState(CString("hover"), false);
    if (error != nullptr)
        return traceError(error, getFullName());
    return traceError(runCommand(CString("mouse-enter"), nullptr), getFullName());
}

CError* CButton::onMouseExitTop() {
    if (isDisabledInChain())
        return nullptr;
    CError* error = mIsPushed ? showPushed("hover pushed", false) : unsetState(CString("hover"), false);
    if (error != nullptr)
        return traceError(error, getFullName());
    return traceError(runCommand(CString("mouse-exit"), nullptr), getFullName());
}

CError* CButton::onMouseWheel(CAttrMap& args) {
    if (mIsMouseWheelDisabled)
        return nullptr;
    CGlobalSettings* settings = mGlobalSettings.get();
    if (settings == nullptr || !settings->isMouseWheelOnLists)
        return nullptr;
    CAttrValue* delta = args.findValue("delta");
    const bool down = delta != nullptr && delta->convert(CAttrValue::kReal) && delta->asReal() < 0.0;
    CAttrMap xbutton;
    xbutton.findOrAdd("xbutton")->value.setInt(down ? 1 : 2);
    return traceError(onMouseXbuttonRelease(xbutton), getFullName());
}

CError* CButton::onMouseXbuttonRelease(CAttrMap& args) {
    if (mIsMouseWheelDisabled)
        return nullptr;
    CViewWatch watch(this);
    if (CError* error = runCommand(CString("mouse-xbutton-release"), &args))
        return traceError(error, getFullName());
    if (watch.isViewGone() || !mIsXButtonAllowed)
        return nullptr;
    CAttrValue* value = args.findValue("xbutton");
    const std::int32_t button = value != nullptr && value->convert(CAttrValue::kInt) ? value->asInt() : 0;
    if (button == 1)
        return traceError(selectNextItem(1, true), getFullName());
    if (button == 2)
        return traceError(selectNextItem(-1, true), getFullName());
    return nullptr;
}

// --- item lists and popups ---

CError* CButton::selectNextItem(std::int32_t step, bool combineChanges) {
    CStringList items;
    CDynListObject* list = listEntries(items);
    if (list == nullptr)
        return nullptr;
    const std::int32_t count = items.count();
    const std::int32_t start = getIntAttr("selected-item");
    std::int32_t n = start;
    bool found = false;
    for (std::int32_t attempts = count; attempts > 0 && !found; --attempts) {
        n += step;
        if (n < 0)
            n = count - 1;
        else if (n >= count)
            n = 0;
        found = !list->isItemDisabled(0, n) && CValueList::isListItemEnabled(items[n]);
    }
    if (!found || n == start)
        return nullptr;
    CAttrMap result;
    result.findOrAdd("combine-changes")->value.setInt(combineChanges ? 1 : 0);
    result.findOrAdd("index")->value.setInt(n);
    result.findOrAdd("text")->value.setText(items[n]);
    return traceError(runEvent(CString("popup-result"), &result), getFullName());
}

CError* CButton::onPopupToggle(CAttrMap& args) {
    if (CError* error = CFrame::onPopupToggle(args))
        return traceError(error, getFullName());
    if (!popups().isLocalPopupOpen())
        return nullptr;
    if (CError* error = setIntAttr(CString("is-active"), 1, true))
        return traceError(error, getFullName());
    mIsPushed = false;
    return showPushed("pushed", false);
}

CError* CButton::onPopupClosed() {
    if (CError* error = CFrame::onPopupClosed())
        return traceError(error, getFullName());
    return traceError(setIntAttr(CString("is-active"), 0, true), getFullName());
}

CError* CButton::onPopupToggleCheckPress(CAttrMap& args) {
    CStringList items;
    if (listEntries(items) != nullptr && items.count() < 3)
        return nullptr;
    if (const CString* path = popups().localPopupPath(); path != nullptr && findObject(*path) != nullptr)
        return nullptr;
    return traceError(runEvent(CString("popup-toggle"), &args), getFullName());
}

CError* CButton::onPopupToggleCheckRelease() {
    CStringList items;
    if (listEntries(items) == nullptr || items.count() > 2)
        return nullptr;
    std::int32_t n = getIntAttr("selected-item") + 1;
    if (n >= items.count())
        n = 0;
    // An empty list, or a "selected-item" below -1, names no entry: nothing is sent.
    if (n < 0 || n >= items.count() || !CValueList::isListItemEnabled(items[n]))
        return nullptr;
    CAttrMap result;
    result.findOrAdd("index")->value.setInt(n);
    return traceError(runEvent(CString("popup-result"), &result), getFullName());
}

CError* CButton::onSharedAttrToggle() {
    CSharedAttribute* shared = mSharedAttribute.resolve();
    if (shared == nullptr)
        return nullptr;
    CAttrValue* value = shared->attrs().findValue(shared->getTextAttr("attribute"));
    const bool isOn = value != nullptr && valueFlag(*value);
    return traceError(shared->storeValue(CString(isOn ? "false" : "true")), getFullName());
}

CError* CButton::onHighlightChanged(bool) { return nullptr; }

} // namespace tal
