#include "UI/Controls/CMultiChangeDisplay.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamController.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/SchemeThunks.h"

#include <algorithm>

namespace tal {

CObject* CMultiChangeDisplay::create() { return new CMultiChangeDisplay(); }

void CMultiChangeDisplay::initScheme(CObjectScheme* scheme) {
    CFrame::initScheme(scheme);
    addAttrOf<CMultiChangeDisplay, &CMultiChangeDisplay::attrElement>(scheme, "element");
}

CMultiChangeDisplay::~CMultiChangeDisplay() {
    mOwner.reset();
    mController.reset();
}

CError* CMultiChangeDisplay::init() {
    if (CError* error = CFrame::init())
        return traceError(error, getFullName());
    mElement = getIntAttr("element");
    mIsShown = false;
    mOffsetY = getDoubleAttr("offset-y");
    mOwner.init(this, CString(), CString(), this, CString("owner-path"));
    mOwner.isRequired = true;
    mController.init(this, CString(), CString(), this, CString("ui-param-controller-path"));
    mController.isRequired = true;
    return nullptr;
}

CError* CMultiChangeDisplay::attrOffsetY(CAttrValue& value) {
    mOffsetY = value.asReal();
    return nullptr;
}

CError* CMultiChangeDisplay::attrElement() {
    mElement = getIntAttr("element");
    return nullptr;
}

CError* CMultiChangeDisplay::setShown(bool shown) {
    CUIParamController* controller = mController.resolve();
    if (controller == nullptr || shown == mIsShown)
        return nullptr;
    CError* error = shown ? setState(CString("show"), false) : unsetState(CString("show"), false);
    if (error != nullptr)
        return traceError(error, getFullName());
    controller->setMultiChange(shown);
    mIsShown = shown;
    return nullptr;
}

CError* CMultiChangeDisplay::collectGroupValues(CStringList& labels, CStringList& values) {
    labels.clear();
    values.clear();
    CUIParamController* controller = mController.resolve();
    CUIParam* param = controller != nullptr ? controller->boundUIParam() : nullptr;
    if (param == nullptr)
        return nullptr;
    CValueList* list = nullptr;
    if (CError* error = findObjectByAttr(list, CString("active-audio-groups"), true))
        return traceError(error, getFullName());
    CStringList pieces;
    for (int i = 0; i < list->itemCount(); ++i) {
        list->itemText(i).split(pieces, ';', true, true);
        if (pieces.count() != 2)
            continue;
        labels.add(pieces[0]);
        CString text;
        param->getValueText(mElement, text, 0, parseInt(pieces[1], 0) - 1, 0);
        values.add(text);
    }
    return nullptr;
}

CError* CMultiChangeDisplay::refreshItems() {
    CView* owner = mOwner.resolve();
    if (!mIsShown || owner == nullptr)
        return nullptr;
    CStringList labels, values;
    if (CError* error = collectGroupValues(labels, values))
        return traceError(error, getFullName());
    CObject* items = nullptr;
    if (CError* error = findObjectChecked(items, CString(".items")))
        return traceError(error, getFullName());
    while (items->childCount() < labels.count()) {
        CObject* item = nullptr;
        if (CError* error = items->createChild(item, getTextAttr("multichange-item-tag"), CString("item"), true,
                                               nullptr, nullptr))
            return traceError(error, getFullName());
    }
    for (int i = items->childCount() - 1; i >= labels.count(); --i) {
        CObject* surplus = items->child(i);
        CError* hidden = surplus->setAttr(CString("is-hidden"), CString("true"), true);
        delete hidden;   // a surplus item that cannot hide still goes
        surplus->releaseBridged();
    }
    for (int i = 0; i < labels.count(); ++i) {
        CObject* item = items->child(i);
        if (CError* error = item->setAttr(CString("group-name"), labels[i], true))
            return traceError(error, getFullName());
        if (CError* error = item->setAttr(CString("value"), values[i], true))
            return traceError(error, getFullName());
    }
    if (CError* error = updateLayout())
        return traceError(error, getFullName());
    if (area() == nullptr || owner->area() == nullptr || rootView() == nullptr || rootView()->area() == nullptr)
        return nullptr;
    const double w = area()->totalRect().width;
    const double o = owner->area()->totalRect().width;
    const double x = owner->area()->totalRect().x;
    const double r = rootView()->area()->totalRect().width;
    area()->setOuterBorderLeft(std::min(r - w - x, std::max(-x, (o - w) / 2.0)));
    area()->setOuterBorderTop(mOffsetY * area()->windowScale());
    return nullptr;
}

CError* bindControllerChildren(CObject& control, CUIParamController*& controller,
                               CTarget<CMultiChangeDisplay>& display) {
    controller = nullptr;
    if (CError* error = control.findObjectChecked(controller, CString(".ui-param-controller")))
        return error;
    display.init(&control, CString(), CString(), nullptr, CString("multichange-display"));
    return nullptr;
}

} // namespace tal
