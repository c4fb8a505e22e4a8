#include "UI/CControlArray.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CDynListObject.h"
#include "UI/CDynListValueList.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/SchemeThunks.h"

#include <cmath>
#include <string>

namespace tal {

namespace {

// Rounded half away from zero.
std::int32_t roundOf(double v) noexcept { return std::int32_t(std::round(v)); }

// Equal within the relative precision of a double.
bool nearlyEqual(double a, double b) noexcept {
    return std::fabs(a - b) <= (std::fabs(a) + std::fabs(b)) * 2.2204461e-16;
}

double plainAt(CUIParam* param, std::int32_t element) {
    CUIParamValue value;
    param->getPlainValue(value, element, -1);
    return value[0];
}

void writePlain(CUIParam* param, std::int32_t element, double x) {
    CUIParamValue value;
    value[0] = x;
    param->setPlainValue(element, -1, value);
}

// Element 0 of a count or index parameter, rounded.
std::int32_t roundedFirst(CUIParam* param) { return roundOf(plainAt(param, 0)); }

} // namespace

CObject* CControlArray::create() { return new CControlArray(); }

void CControlArray::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CControlArray, &CControlArray::attrElement>(scheme, "element");
    addAttrOf<CControlArray, &CControlArray::attrSelectedObject>(scheme, "selected-object");
    addPlainEventOf<CControlArray, &CControlArray::onObjectTitleListUpdate>(scheme, "object-title-list-update");
    addPlainEventOf<CControlArray, &CControlArray::onObjectValueListUpdate>(scheme, "object-value-list-update");
    addArgsEventOf<CControlArray, &CControlArray::onSetObjectValueByString>(scheme, "set-object-value-by-string");
    addArgsEventOf<CControlArray, &CControlArray::onToggleDefaultValue>(scheme, "toggle-default-value");
}

CControlArray::~CControlArray() {
    mObjectValueList.reset();
    mObjectTitleList.reset();
    mInterfaceClient.reset();
}

// --- life cycle ---

CError* CControlArray::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mInterfaceClient.init(this, CString(), CString(), this, CString("interface-client"));
    if (CAudioInterfaceClient* client = mInterfaceClient.resolve())
        mUndoCollector.attach(client);
    mIsAttrMode = getBoolAttr("is-attr-mode");
    mIsCallPopupResult = getBoolAttr("is-call-popup-result");
    mIsDisableValuesUpdate = getBoolAttr("is-disable-values-update");
    mIsIgnoreInactiveValues = getBoolAttr("is-ignore-inactive-values");
    mIsUniqueValuesOnly = getBoolAttr("is-unique-values-only");
    mMissingValueTitle = getTextAttr("unknown-value-char");
    mValueSeparatorChar = getTextAttr("value-separator-char");
    mObjectTag = getTextAttr("object-tag");
    if (mObjectTag.isEmpty())
        return newError("@talstr_CControlArray_init_NoObjectTag Object tag not defined.", getFullName());
    return nullptr;
}

CError* CControlArray::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mObjectTitleList.init(this, CString(), CString(), this, CString("object-title-list"));
    mObjectTitleList.listenEvent(CString("values-changed"), CString("object-title-list-update"));
    CError* error = nullptr;
    if (CValueList* titles = mObjectTitleList.resolve()) {
        error = setObjectCount(titles->itemCount());
    } else if (mUIParamCount == nullptr) {
        const std::int32_t n = getIntAttr("object-count");
        if (n != -1)
            error = setObjectCount(n);
    }
    if (error != nullptr)
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("control-array-ready"), false), getFullName());
}

// --- choices ---

CError* CControlArray::bindValueList() {
    if (mObjectValueList.resolve() != nullptr)
        return nullptr;
    return traceError(CDynListValueList::bindDynList(this, mObjectValueList, CString("object-value-list"),
                                                     CString("object-value-list-update"), false),
                      getFullName());
}

CDynListObject* CControlArray::readChoices(CStringList& out, bool displayFlag) {
    out.clear();
    CDynListObject* list = mObjectValueList.resolve();
    if (list == nullptr)
        return nullptr;
    list->clearCache(0);
    list->setDisplayFlag(displayFlag);
    list->getItems(0, out);
    return list;
}

std::int32_t CControlArray::roundedMinimum() const { return roundOf(mUIParamValues->getMinValue(0)); }

std::int32_t CControlArray::getObjectValue(std::int32_t i) {
    if (mIsAttrMode)
        return getIntAttr("object-value");
    if (mUIParamValues == nullptr)
        return -1;
    const std::int32_t v = roundOf(plainAt(mUIParamValues, i)) - roundedMinimum();
    CDynListObject* list = mObjectValueList.resolve();
    return list != nullptr ? list->getItemIndex(0, v) : v;
}

bool CControlArray::isMissing(const CStringList& choices, std::int32_t idx) {
    // A separator names no value.
    return idx < 0 || idx >= choices.count() || choices[idx] == CValueList::separatorItem();
}

CString CControlArray::valueTitleOf(const CStringList& choices, std::int32_t idx) const {
    if (isMissing(choices, idx))
        return mMissingValueTitle;
    CString text = choices[idx];
    // Only a real "[N/A]" prefix is removed.
    if (!CValueList::isListItemEnabled(text))
        text = CValueList::formatItemEnabled(text, true);
    if (!mValueSeparatorChar.isEmpty()) {
        const int at = text.findLast(mValueSeparatorChar);
        if (at >= 0)
            text = CString(text, 0, at);
    }
    return text;
}

bool CControlArray::isDisabledHere() const {
    for (const CViewBasePlacement* view = this; view != nullptr; view = view->parentPlacement())
        if (view->isDisabled())
            return true;
    return false;
}

CViewBaseState* CControlArray::stateViewOf(CObject* object) {
    const CString& path = object->getTextAttr("object-state-path");
    if (!path.isEmpty())
        if (auto* view = dynamic_cast<CViewBaseState*>(object->findObject(path)))
            return view;
    return dynamic_cast<CViewBaseState*>(object);
}

// --- objects ---

CError* CControlArray::setObjectCount(std::int32_t n) {
    const std::int32_t count = mObjects.count();
    if (n == count)
        return nullptr;
    if (n > count) {
        CValueList* titleList = mObjectTitleList.resolve();
        if (CError* error = bindValueList())
            return traceError(error, getFullName());
        CStringList choices;
        CDynListObject* list = readChoices(choices, true);
        const bool disabled = isDisabledHere();
        for (std::int32_t i = count; i < n; ++i) {
            const std::int32_t idx = getObjectValue(i);
            const CString title = disabled ? CString() : valueTitleOf(choices, idx);
            const bool matched = !disabled && !isMissing(choices, idx);
            CAttrMap attrs;
            attrs.findOrAdd("object-index")->value.setInt(i);
            attrs.findOrAdd("object-index-incr")->value.setInt(i + 1);
            attrs.findOrAdd("object-title")
                ->value.setText(titleList != nullptr && i < titleList->itemCount() ? titleList->itemText(i)
                                                                                   : mMissingValueTitle);
            attrs.findOrAdd("object-value")->value.setInt(idx);
            attrs.findOrAdd("object-value-title")
                ->value.setText(title);
            if (list != nullptr)
                attrs.findOrAdd("object-value-list")->value.setText(list->getFullName());
            CView* object = nullptr;
            const std::string name = "object" + std::to_string(i);
            if (CError* error = createChild(object, mObjectTag, CString(name.c_str()), true, &attrs, nullptr))
                return traceError(error, getFullName());
            mObjects.add(object);
            if (!matched)
                if (CViewBaseState* stateView = stateViewOf(object))
                    if (CError* error = stateView->setState(CString("error"), true))
                        return traceError(error, getFullName());
        }
    } else {
        for (std::int32_t i = n; i < count; ++i)
            if (CError* error = mObjects[i]->setIntAttr(CString("is-hidden"), 1, true))
                return traceError(error, getFullName());
        for (std::int32_t j = count - 1; j >= n; --j) {
            mObjects[j]->releaseBridged();
            mObjects.removeAt(j);
        }
    }
    if (CViewArea* own = area())
        if (CLayoutSolver* solver = own->solver())
            solver->markChanged(own);
    return nullptr;
}

CError* CControlArray::updateValues() {
    if (lifeStage() < 4)
        return nullptr;
    if (CError* error = bindValueList())
        return traceError(error, getFullName());
    if (mIsIgnoreInactiveValues && (mUIParamValues == nullptr || !mUIParamValues->isActive()))
        return nullptr;
    const bool disabled = isDisabledHere();
    CStringList choices;
    readChoices(choices, true);
    for (std::int32_t i = 0; i < mObjects.count(); ++i) {
        CObject* object = mObjects[i];
        const std::int32_t idx = getObjectValue(i);
        if (CError* error = object->setIntAttr(CString("object-value"), idx, true))
            return traceError(error, getFullName());
        CString text = valueTitleOf(choices, idx);
        if (disabled) {
            text = CString();
        } else if (CViewBaseState* stateView = stateViewOf(object)) {
            CError* error = text == mMissingValueTitle ? stateView->setState(CString("error"), false)
                                                       : stateView->unsetState(CString("error"), false);
            if (error != nullptr)
                return traceError(error, getFullName());
        }
        if (CError* error = object->setAttr(CString("object-value-title"), text, true))
            return traceError(error, getFullName());
    }
    return nullptr;
}

// --- disabled state ---

CError* CControlArray::setDisabled(bool disabled) {
    if (CError* error = CView::setDisabled(disabled))
        return traceError(error, getFullName());
    return traceError(updateValues(), getFullName());
}

CError* CControlArray::attrIsDisabled(CAttrValue& value) {
    return traceError(refreshDisabled(value.asBool()), getFullName());
}

CError* CControlArray::onDisabledChanged() {
    if (CError* error = CView::onDisabledChanged())
        return traceError(error, getFullName());
    return traceError(updateValues(), getFullName());
}

CError* CControlArray::refreshDisabled(bool isDisabledAttr) {
    bool disabled = isDisabledAttr;
    for (CUIParam* param : {mUIParamCount, mUIParamSelectedObject, mUIParamValues})
        if (!disabled && param != nullptr && !param->updateActive())
            disabled = true;
    return traceError(setDisabled(disabled), getFullName());
}

// --- UI parameters ---

void CControlArray::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    if (name.equals("ui-param-count"))
        mUIParamCount = param;
    else if (name.equals("ui-param-selected-object"))
        mUIParamSelectedObject = param;
    else if (name.equals("ui-param-values"))
        mUIParamValues = param;
}

void CControlArray::onUIParamActivated(CUIParam*) {
    if (CError* error = refreshDisabled(getBoolAttr("is-disabled"))) {
        logError(error);
        delete error;
    }
}

void CControlArray::onUIParamDeactivated(CUIParam* param) { onUIParamActivated(param); }

CError* CControlArray::onUIParamChanged(CUIParam* param, std::int32_t, std::int32_t) {
    if (param == nullptr)
        return nullptr;
    if (param == mUIParamCount)
        return traceError(setObjectCount(roundedFirst(param)), getFullName());
    if (param == mUIParamSelectedObject) {
        mSelectedObject = roundedFirst(param);
        return nullptr;
    }
    if (param == mUIParamValues)
        return traceError(updateValues(), getFullName());
    return nullptr;
}

// --- handlers ---

CError* CControlArray::attrElement() {
    mElement = getIntAttr("element");
    return nullptr;
}

CError* CControlArray::attrSelectedObject() {
    if (mUIParamSelectedObject == nullptr)
        mSelectedObject = getIntAttr("selected-object");
    return nullptr;
}

CError* CControlArray::onObjectTitleListUpdate() {
    CValueList* titles = mObjectTitleList.resolve();
    if (titles == nullptr)
        return nullptr;
    if (CError* error = setObjectCount(titles->itemCount()))
        return traceError(error, getFullName());
    for (std::int32_t i = 0; i < mObjects.count(); ++i) {
        const CString& title = i < titles->itemCount() ? titles->itemText(i) : mMissingValueTitle;
        if (CError* error = mObjects[i]->setAttr(CString("object-title"), title, true))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CControlArray::onObjectValueListUpdate() {
    if (mIsAttrMode || mUIParamValues != nullptr)
        return traceError(updateValues(), getFullName());
    return nullptr;
}

CError* CControlArray::onSetObjectValueByString(CAttrMap& args) {
    CAttrValue* arg = args.findValue("string");
    const CString wanted = arg != nullptr ? arg->asText() : CString();
    if (mObjectValueList.resolve() == nullptr)
        if (CError* error = bindValueList())
            return traceError(error, getFullName());
    CStringList choices;
    if (readChoices(choices, false) == nullptr)
        return nullptr;
    for (std::int32_t i = 0; i < choices.count(); ++i)
        if (choices[i] == wanted) {
            if (CError* error = setIntAttr(CString("object-value"), i, true))
                return traceError(error, getFullName());
            break;
        }
    return traceError(updateValues(), getFullName());
}

CError* CControlArray::onPopupResult(CAttrMap& args) {
    CAttrValue* combineArg = args.findValue("combine-changes");
    const bool combine = combineArg != nullptr && combineArg->asBool();
    CAttrValue* sourceArg = args.findValue("source");
    CObject* source = sourceArg != nullptr ? findObject(sourceArg->asText()) : nullptr;
    const std::int32_t objIndex = source != nullptr ? source->getIntAttr("object-index") : 0;
    if (objIndex < 0)
        return nullptr;
    CAttrValue* indexArg = args.findValue("index");
    const std::int32_t index = indexArg != nullptr ? indexArg->asInt() : 0;
    CDynListObject* list = mObjectValueList.resolve();
    std::int32_t value = list != nullptr ? list->getItemValue(0, index) : -1;
    if (value == -1)
        value = index;

    if (mIsAttrMode) {
        if (CError* error = setIntAttr(CString("object-value"), value, true))
            return traceError(error, getFullName());
        if (CError* error = updateValues())
            return traceError(error, getFullName());
        CString plain;
        if (list != nullptr)
            list->getItemText(plain, 0, value, false);
        args.findOrAdd("object-value")->value.setInt(value);
        args.findOrAdd("object-value-string")->value.setText(plain);
        if (CError* error = runCommand(CString("popup-result"), &args))
            return traceError(error, getFullName());
    }

    if (mUIParamValues != nullptr && !mIsDisableValuesUpdate) {
        CUIParam* param = mUIParamValues;
        const double written = double(value + roundedMinimum());
        // Without an undo client to collect into, a combined choice still is one plain step.
        const bool collect = combine && mUndoCollector.isAttached();
        if (collect) {
            mUndoCollector.commitAndReopen();
            mUndoCollector.addParam(param);
        } else {
            param->beginEdit(false, -1, nullptr, false);
        }
        writePlain(param, objIndex, written);
        if (mIsUniqueValuesOnly)
            for (std::int32_t i = 0; i < mObjects.count(); ++i)
                if (i != objIndex && nearlyEqual(plainAt(param, i), written))
                    writePlain(param, i, 0.0);
        if (collect)
            mUndoCollector.commit(CString());
        else
            param->endEdit(false);
    }

    if (mIsCallPopupResult)
        return traceError(runCommand(CString("popup-result"), &args), getFullName());
    return nullptr;
}

CError* CControlArray::onToggleDefaultValue(CAttrMap& args) {
    CAttrValue* indexArg = args.findValue("object-index");
    const std::int32_t objIndex = indexArg != nullptr ? indexArg->asInt() : 0;
    // A negative index names no element.
    if (mUIParamValues == nullptr || objIndex < 0)
        return nullptr;
    CUIParam* param = mUIParamValues;
    const double cur = plainAt(param, objIndex);
    std::vector<double>& memory = mDefaultMemory[mElement];
    while (std::int32_t(memory.size()) < objIndex + 1)
        memory.push_back(param->getDefaultPlainValue(std::int32_t(memory.size()), 0));
    const double def = param->getDefaultPlainValue(objIndex, 0);
    double next = def;
    if (nearlyEqual(cur, def)) {
        next = memory[std::size_t(objIndex)];
    } else {
        memory[std::size_t(objIndex)] = cur;
    }
    // One gesture, so the toggle is one undo step like a choice.
    param->beginEdit(false, -1, nullptr, false);
    writePlain(param, objIndex, next);
    param->endEdit(false);
    return nullptr;
}

} // namespace tal
