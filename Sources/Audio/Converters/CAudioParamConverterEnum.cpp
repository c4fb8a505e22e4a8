#include "Audio/Converters/CAudioParamConverterEnum.h"

#include "Audio/CAudioParamInfo.h"
#include "Core/NumberText.h"
#include "Core/CObjectScheme.h"

namespace tal {

namespace {

constexpr int kShortNameLength = 7;

// Index of the first name whose lower-case form equals text, or -1.
int findLowered(const CStringList& names, const CString& text) {
    for (int i = 0; i < names.count(); ++i)
        if (compareStrings(names[i].toLower(), text) == 0) return i;
    return -1;
}

CError* handleIsBoolean(CObject* object, CAttrValue* value) {
    static_cast<CAudioParamConverterEnum*>(object)->attrIsBoolean(value->asBool());
    return nullptr;
}

CError* handleStateNames(CObject* object, CAttrValue* value) {
    static_cast<CAudioParamConverterEnum*>(object)->attrStateNames(value->asText());
    return nullptr;
}

} // namespace

void CAudioParamConverterEnum::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler("is-boolean") = &handleIsBoolean;
    scheme->addAttrHandler("state-names") = &handleStateNames;
}

void CAudioParamConverterEnum::attrIsBoolean(bool value) {
    mIsBoolean = value;
}

void CAudioParamConverterEnum::attrStateNames(const CString& text) {
    text.split(mFullNames, ';', true, true);
    mShortNames.clear();
    CStringList pieces;
    for (int i = 0; i < mFullNames.count(); ++i) {
        CString& full = mFullNames[i];
        full.split(pieces, '|', true, true);
        if (pieces.count() >= 2) {
            mShortNames.add(CString(pieces[1], 0, kShortNameLength));
            full = pieces[0];
        } else {
            mShortNames.add(CString(full, 0, kShortNameLength));
        }
    }
}

bool CAudioParamConverterEnum::lookupName(const CString& text, const CAudioParamInfo& info, double base,
                                          double& out) const {
    const CString t = text.trim().toLower();
    if (mIsBoolean) {
        if (compareStrings(t, CString("false")) == 0 || compareStrings(t, CString("0")) == 0) {
            out = 0.0;
            return true;
        }
        if (compareStrings(t, CString("true")) == 0 || compareStrings(t, CString("1")) == 0) {
            out = 1.0;
            return true;
        }
    }
    int i = findLowered(mFullNames, t);
    if (i < 0) i = findLowered(info.getStateNames(), t);
    if (i < 0) {
        const CString t7(t, 0, kShortNameLength);
        i = findLowered(mShortNames, t7);
        if (i < 0) i = findLowered(info.getStateShortNames(), t7);
    }
    if (i < 0) return false;
    out = base + i;
    return true;
}

double CAudioParamConverterEnum::parseWithBase(const CAudioParamInfo& info, const CString& text, double base,
                                               bool* ok) const {
    bool isInteger = false;
    const int n = parseInt(text, 0, &isInteger);
    if (isInteger) {
        setOk(ok, true);
        return n;
    }
    double value = base;
    setOk(ok, lookupName(text, info, base, value));
    return value;
}

double CAudioParamConverterEnum::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                           bool* ok) const {
    const double base = static_cast<double>(roundToInt(minimumOf(info, component)));
    return clampToRange(info, component, parseWithBase(info, text, base, ok));
}

double CAudioParamConverterEnum::parseTextRaw(const CAudioParamInfo& info, int, const CString& text, bool* ok) const {
    return parseWithBase(info, text, 0.0, ok);
}

CString CAudioParamConverterEnum::formatValue(const CAudioParamInfo& info, int component, const CAudioParamData*,
                                              int mode, double value) const {
    const CStringList& defNames = info.getStateNames();
    if (mFullNames.count() == 0 && defNames.count() == 0) return integerText(value);
    const std::int64_t i = roundToInt(value) - roundToInt(minimumOf(info, component));
    const bool useOwn = i >= 0 && i < mFullNames.count();
    if (i < 0 || (!useOwn && i >= defNames.count()))
        return CString(mode == kPrecisionCompact ? "Rsv" : "Reserve");
    const CStringList& full = useOwn ? mFullNames : defNames;
    const CStringList& shortNames = useOwn ? mShortNames : info.getStateShortNames();
    const int index = static_cast<int>(i);
    if (mode != kPrecisionNormal && mode != kPrecisionCompact) return full[index];
    // A loaded definition may carry fewer short names than full names.
    const CString& shortName = index < shortNames.count() ? shortNames[index] : CString::emptyString;
    return mode == kPrecisionNormal ? shortName : CString(shortName, 0, 3);
}

} // namespace tal
