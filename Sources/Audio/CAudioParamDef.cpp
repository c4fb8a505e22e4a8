#include "Audio/CAudioParamDef.h"

#include "Core/CError.h"

namespace tal {

CError* CAudioParamDef::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    if (CError* err = buildInfo()) return traceError(err, getFullName());
    return nullptr;
}

CError* CAudioParamDef::buildInfo() {
    const int elementSize = getIntAttr("element-size");
    if (elementSize < 1)
        return newError("@talstr_CAudioParamDef_init_InvalidElementSize Invalid element size %1 specified.", CString::emptyString,
                        getTextAttr("element-size"));

    const CString& typeText = getTextAttr("data-type");
    int dataType = CAudioParamStorage::kTypeFloat;
    if (compareStrings(typeText, CString("string")) == 0) dataType = CAudioParamStorage::kTypeString;
    else if (compareStrings(typeText, CString("raw")) == 0) dataType = CAudioParamStorage::kTypeRaw;
    if (dataType != CAudioParamStorage::kTypeFloat && elementSize >= 2)
        return newError("@talstr_CAudioParamDef_init_ElementSizeStr Invalid element size %1 for non-float data specified.",
                        CString::emptyString, CString(elementSize));
    mInfo.setLayout(elementSize, dataType, getBoolAttr("is-single-group"), getBoolAttr("is-single-element"));

    const bool isPersistent = getBoolAttr("is-persistent");
    const bool isStorable = isPersistent ? false : getBoolAttr("is-storable");
    const bool isGlobal = (isPersistent || isStorable) ? true : getBoolAttr("is-global");
    mInfo.setFlags(isGlobal, isStorable, isPersistent);
    mInfo.setNames(getTextAttr("visual-name"), getFullName(), getTextAttr("param-registry"));

    CStringList& names = mInfo.converterNames();
    names.clear();
    names.add(getTextAttr("converter"));
    for (int k = 1; k < elementSize; ++k) {
        // "converter2", "converter3" ...: names built at run time, read straight from the attribute map.
        CAttrValue* value = attrs().findValue(CString("converter") + CString(k + 1));
        names.add(value ? value->asText() : CString::emptyString);
    }

    if (CError* err = mInfo.parseConverterNames()) return traceError(err);
    if (CError* err = mInfo.parseMinMaxValues(getTextAttr("min-values"), getTextAttr("max-values"))) return traceError(err);
    if (CError* err = mInfo.parseStateNames(getTextAttr("state-names"))) return traceError(err);
    mInfo.parseSwitchValues(getTextAttr("switch-values"), getTextAttr("switch-names"));
    if (CError* err = mInfo.defaultValues().parseDefValues(getTextAttr("def-values"), mInfo)) return traceError(err);
    if (mInfo.getDefaultValues().getGroupCount() == 0)
        return newError("@talstr_CAudioParamDef_init_NoDefValues No default values specified.");
    return nullptr;
}

} // namespace tal
