#include "UI/Controls/CButtonAB.h"

#include "Core/CError.h"
#include "UI/CPluginControl.h"
#include "UI/CUIParam.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

CObject* CButtonAB::create() { return new CButtonAB(); }

void CButtonAB::initScheme(CObjectScheme* scheme) {
    CButton::initScheme(scheme);
    addPlainEventOf<CButtonAB, &CButtonAB::onCopyButtonReady>(scheme, "copy-button-ready");
}

CButtonAB::~CButtonAB() { mCopyButton.reset(); }

CError* CButtonAB::init() {
    if (CError* error = CButton::init())
        return traceError(error, getFullName());
    mAllowAbsent = true;
    mAbStateSlot = registerUIParam(CString(".ui-param-ab-state"), true);
    mCopyButton.init(this, CString(), CString(), this, CString("copy-button-path"));
    // A copy button made later in the tree re-applies the look when it is ready.
    if (mCopyButton.resolve() == nullptr)
        listenObject(resolvePath(getTextAttr("copy-button-path")), CString("view-ready"), CString("copy-button-ready"));
    return traceError(findObjectChecked(mPluginControl, CString("ui.plugin-control")), getFullName());
}

CError* CButtonAB::initChilds() {
    if (CError* error = CButton::initChilds())
        return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mLabels, CString(".labels")))
        return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mLabelA, CString(".labels.a")))
        return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mLabelB, CString(".labels.b")))
        return traceError(error, getFullName());
    return traceError(setABState(mIsStateA, false), getFullName());
}

CError* CButtonAB::setABState(bool stateA, bool notify) {
    if (stateA != mIsStateA) {
        // The audio side is asked first: a refusal leaves the state, the parameter and the look.
        if (notify && mPluginControl != nullptr)
            if (CError* error = mPluginControl->runEvent(CString("on-ab")))
                return traceError(error, getFullName());
        mIsStateA = stateA;
        if (CUIParam* param = notify ? getActiveUIParam(mAbStateSlot) : nullptr) {
            CUIParamValue plain;
            plain[0] = stateA ? 0.0 : 1.0;
            param->setPlainValue(0, -1, plain);
        }
    }
    const CString bState("b-state");
    CButton* copy = mCopyButton.resolve();
    for (CView* view : {static_cast<CView*>(this), static_cast<CView*>(copy)}) {
        if (view == nullptr)
            continue;
        CError* error = mIsStateA ? view->unsetState(bState, false) : view->setState(bState, false);
        if (error != nullptr)
            return traceError(error, getFullName());
    }
    if (mLabelA == nullptr || mLabelB == nullptr)
        return nullptr;
    const CString selection("Selection"), other("ButtonAB");
    if (CError* error = mLabelA->setAttr(CString("color"), mIsStateA ? selection : other, true))
        return traceError(error, getFullName());
    return traceError(mLabelB->setAttr(CString("color"), mIsStateA ? other : selection, true), getFullName());
}

CError* CButtonAB::onMouseRelease(CAttrMap& args) {
    if (CError* error = setABState(!mIsStateA, true))
        return traceError(error, getFullName());
    return traceError(CButton::onMouseRelease(args), getFullName());
}

CError* CButtonAB::onRegisteredUIParamChanged(const CUIParamChangeInfo& info) {
    if (CError* error = CButton::onRegisteredUIParamChanged(info))
        return traceError(error, getFullName());
    if (info.slotId != mAbStateSlot || info.param == nullptr)
        return nullptr;
    CUIParamValue plain;
    info.param->getPlainValue(plain, 0, -1);
    const double x = plain[0];
    const double rounded = x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x);
    return traceError(setABState(rounded == 0.0, false), getFullName());
}

CError* CButtonAB::onHighlightChanged(bool highlighted) {
    if (mLabels == nullptr)
        return nullptr;
    const CString border(highlighted ? "LT1 BR-1" : "");
    for (CView* label : {mLabelA, mLabelB})
        if (CError* error = label->setAttr(CString("outer-border"), border, true))
            return traceError(error, getFullName());
    return nullptr;
}

CError* CButtonAB::onCopyButtonReady() { return setABState(mIsStateA, false); }

} // namespace tal
