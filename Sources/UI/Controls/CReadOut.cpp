#include "UI/Controls/CReadOut.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamController.h"
#include "UI/Controls/CTextParagraph.h"
#include "UI/Controls/CTextWrapper.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CReadOut::create() { return new CReadOut(); }

void CReadOut::initScheme(CObjectScheme* scheme) {
    CTextView::initScheme(scheme);
    addAttrOf<CReadOut, &CReadOut::attrElement>(scheme, "element");
}

CReadOut::~CReadOut() = default;

CError* CReadOut::init() {
    if (CError* error = CTextView::init())
        return traceError(error, getFullName());
    mElement = -1;
    const CString bridge = getTextAttr("bridge");
    const CString bridgeDef = getTextAttr("bridge-def");
    const CString groupSelector = getTextAttr("group-selector");
    const CString sharedAttribute = getTextAttr("shared-attribute");
    mIsDragDisabled = getBoolAttr("is-ui-param-controller-drag-disabled");
    mHasSharedAttribute = !sharedAttribute.isEmpty();
    const CString paramTag = getTextAttr("ui-param-tag");
    if (!bridge.isEmpty() || !sharedAttribute.isEmpty()) {
        CAttrMap attrs;
        attrs.findOrAdd("bridge")->value.setText(bridge);
        attrs.findOrAdd("group-selector")->value.setText(groupSelector);
        attrs.findOrAdd("shared-attribute")->value.setText(sharedAttribute);
        const CString sharedName = getTextAttr("shared-attribute-name");
        if (!sharedName.isEmpty()) {
            CString binding("{*/");
            binding.append(sharedAttribute);
            binding.append(" ");
            binding.append(sharedName);
            binding.append("}");
            attrs.findOrAdd("shared-attribute-value")->value.setText(binding);
        }
        CObject* param = nullptr;
        if (CError* error = createChild(param, paramTag, CString("ui-param"), true, &attrs, nullptr))
            return traceError(error, getFullName());
        if (getBoolAttr("needs-ui-param-controller") && param != nullptr) {
            CAttrMap controllerAttrs;
            controllerAttrs.findOrAdd("is-vertical")->value.setInt(getBoolAttr("is-vertical-controller") ? 1 : 0);
            controllerAttrs.findOrAdd("ui-param")->value.setText(param->getFullName());
            controllerAttrs.findOrAdd("update-fps")->value.setReal(getDoubleAttr("update-fps"));
            CObject* controller = nullptr;
            if (CError* error = createChild(controller, getTextAttr("ui-param-controller-tag"),
                                            CString("ui-param-controller"), true, &controllerAttrs, nullptr))
                return traceError(error, getFullName());
            mController = dynamic_cast<CUIParamController*>(controller);
        }
    }
    if (!bridgeDef.isEmpty()) {
        CAttrMap attrs;
        attrs.findOrAdd("bridge")->value.setText(bridgeDef);
        attrs.findOrAdd("group-selector")->value.setText(groupSelector);
        CObject* param = nullptr;
        if (CError* error = createChild(param, paramTag, CString("ui-param-def"), true, &attrs, nullptr))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CReadOut::initChilds() {
    if (CError* error = CTextView::initChilds())
        return traceError(error, getFullName());
    return traceError(setElement(getIntAttr("element")), getFullName());
}

CError* CReadOut::attrElement() { return setElement(getIntAttr("element")); }

CError* CReadOut::setElement(std::int32_t index) {
    if (mUIParam == nullptr || index == mElement)
        return nullptr;
    mElement = index;
    if (CError* error = updateDisabled())
        return traceError(error, getFullName());
    return traceError(onUIParamChanged(mUIParam, 0, 0), getFullName());
}

CError* CReadOut::updateDisabled() {
    const bool disabled = (mUIParam != nullptr && !mUIParam->updateActive()) || mElement < 0;
    return traceError(setDisabled(disabled), getFullName());
}

void CReadOut::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    if (name.equals("ui-param"))
        mUIParam = param;
    else if (name.equals("ui-param-def"))
        mUIParamDef = param;
}

void CReadOut::onUIParamActivated(CUIParam* param) {
    if (param == mUIParam)
        reportError(updateDisabled());
}

void CReadOut::onUIParamDeactivated(CUIParam* param) {
    if (param == mUIParam)
        reportError(updateDisabled());
}

CString CReadOut::currentText() {
    CString text;
    if (mUIParam != nullptr && mElement != -1)
        mUIParam->getValueText(mElement, text, 0, -1, 0);
    return text;
}

CError* CReadOut::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    mValueText = currentText();
    if (mValueText.isEmpty()) {
        mValueText = getTextAttr("default-value");
        if (mValueText.isEmpty() && mElement != -1 && mUIParamDef != nullptr)
            mUIParamDef->getValueText(mElement, mValueText, 0, -1, 0);
    }
    return traceError(setAttr(CString("title"), mValueText, true), getFullName());
}

CError* CReadOut::notifyTextChanged() {
    CString typed;
    if (textWrapper() != nullptr && textWrapper()->paragraphCount() > 0)
        typed = textWrapper()->paragraph(0).text;
    if (mUIParam == nullptr) {
        if (!mHasSharedAttribute)
            if (CError* error = setAttr(CString("title"), typed, true))
                return traceError(error, getFullName());
        return traceError(CTextView::notifyTextChanged(), getFullName());
    }
    const CString current = currentText();
    if (typed.isEmpty())
        typed = getTextAttr("default-value");
    CString shown = current;
    if (mUIParamDef != nullptr && current.isEmpty() && mElement != -1)
        mUIParamDef->getValueText(mElement, shown, 0, -1, 0);
    if (CError* error = setAttr(CString("title"), shown, true))
        return traceError(error, getFullName());
    // Without an element there is nothing to write to: the shown text is only put back.
    if (mElement >= 0 && typed != current) {
        mUIParam->beginEdit(false, -1, nullptr, false);
        mUIParam->setValueText(mElement, typed, 0);
        mUIParam->endEdit(false);
    }
    return traceError(CTextView::notifyTextChanged(), getFullName());
}

namespace {

bool flagOf(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr && v->asBool();
}

} // namespace

CError* CReadOut::onMousePress(CAttrMap& args) {
    if (mController != nullptr && !mIsDragDisabled)
        mController->handleMousePress(CUIParamController::DragShift, mElement, 1, nullptr, false, false);
    return traceError(CTextView::onMousePress(args), getFullName());
}

CError* CReadOut::onMouseMove(CAttrMap& args) {
    if (mController != nullptr && !mIsDragDisabled)
        mController->handleMouseMove(flagOf(args, "is-shift"), false, true);
    return traceError(CTextView::onMouseMove(args), getFullName());
}

CError* CReadOut::onMouseRelease(CAttrMap& args) {
    if (mController != nullptr && !mIsDragDisabled)
        mController->handleMouseRelease();
    return traceError(CTextView::onMouseRelease(args), getFullName());
}

CError* CReadOut::onMouseWheel(CAttrMap& args) {
    if (mController != nullptr) {
        CAttrValue* delta = args.findValue("delta");
        mController->handleMouseWheel(mElement, 1, flagOf(args, "is-shift"), delta != nullptr ? delta->asReal() : 0.0);
    }
    return traceError(CTextView::onMouseWheel(args), getFullName());
}

} // namespace tal
