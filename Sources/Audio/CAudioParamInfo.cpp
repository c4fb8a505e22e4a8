#include "Audio/CAudioParamInfo.h"


#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CAppData.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CMemoryReader.h"
#include "Core/NumberText.h"
#include "Core/CObject.h"
#include "Core/COutputStream.h"

#include <cmath>

namespace tal {

namespace {

constexpr std::int32_t kRecordVersion = 1;
constexpr int kShortNameLength = 7;
constexpr double kItemRangeMaximum = 8388608.0;   // 2^23: the id range of string and raw values
constexpr std::uint32_t kListTag = 0x74736c61;     // "alst"

void writeBool(COutputStream& out, bool v, CError*& err) {
    if (!err) err = out.write32(v ? 1 : 0);
}

// The full and short name of one state name item "full|short" (blanks trimmed, short cut to 7).
void splitStateName(const CString& item, CString& fullName, CString& shortName) {
    CStringList pieces;
    item.split(pieces, '|', true, true);
    if (pieces.count() == 0) {
        fullName = item;
        shortName = CString();
        return;
    }
    fullName = pieces[0].trim();
    shortName = CString(pieces.count() >= 2 ? pieces[1].trim() : fullName, 0, kShortNameLength);
}

// Reads the preset names of a bank record: name, count, then per preset its name and entries.
CError* readBankPresetNames(CInputStream& in, CStringList& names) {
    CString bankName;
    std::int32_t presetCount = 0;
    if (CError* err = in.readString(bankName)) return traceError(err);
    if (CError* err = in.read32(presetCount)) return traceError(err);
    for (std::int32_t p = 0; p < presetCount; ++p) {
        std::int32_t entryCount = 0;
        if (CError* err = in.readString(*names.addEmpty())) return traceError(err);
        if (CError* err = in.read32(entryCount)) return traceError(err);
        for (std::int32_t e = 0; e < entryCount; ++e) {
            CString entryName;
            if (CError* err = in.readString(entryName)) return traceError(err);
            if (CError* err = in.skipByteBuffer()) return traceError(err);
        }
    }
    return nullptr;
}

} // namespace

// --- building ---

void CAudioParamInfo::setLayout(int elementSize, int dataType, bool singleGroup, bool singleElement) {
    mElementSize = elementSize;
    mDataType = dataType;
    mSingleGroup = singleGroup;
    mSingleElement = singleElement;
}

void CAudioParamInfo::setFlags(bool isGlobal, bool isStorable, bool isPersistent) {
    mIsGlobal = isGlobal;
    mIsStorable = isStorable;
    mIsPersistent = isPersistent;
}

void CAudioParamInfo::setNames(const CString& visualName, const CString& name, const CString& paramRegistry) {
    mVisualName = visualName;
    mName = name;
    mParamRegistry = paramRegistry;
}

void CAudioParamInfo::setRange(int component, double minimum, double maximum) {
    if (component < 0) return;
    while (mMinValues.count() <= component) mMinValues.add(0.0);
    while (mMaxValues.count() <= component) mMaxValues.add(0.0);
    mMinValues[component] = minimum;
    mMaxValues[component] = maximum;
}

void CAudioParamInfo::addStateName(const CString& fullName, const CString& shortName) {
    mStateNames.add(fullName);
    mStateShortNames.add(shortName);
}

CError* CAudioParamInfo::parseConverterNames() {
    mConverters.clear();
    CObject* shared = CObject::sharedObject();
    for (int k = 0; k < mConverterNames.count(); ++k) {
        const CString& name = mConverterNames[k];
        CObject* object = name.length() > 0 && shared ? shared->findObject(name) : nullptr;
        CAudioParamConverter* converter = dynamic_cast<CAudioParamConverter*>(object);
        if (!converter)
            return newError("@talstr_CAudioParamInfo_parseConverterNames_ConverterNotFound Audio parameter converter "
                            "'%1' not found.",
                            CString::emptyString, name);
        mConverters.add(converter);
    }
    if (mConverters.count() < mElementSize)
        return newError("@talstr_CAudioParamInfo_parseConverterNames_NotEnoughConverters Not enough converters defined "
                        "%1 (should be %2).",
                        CString::emptyString, CString(mConverters.count()), CString(mElementSize));
    return nullptr;
}

CError* CAudioParamInfo::parseMinMaxValues(const CString& minText, const CString& maxText) {
    mMinValues.clear();
    mMaxValues.clear();
    if (mDataType != CAudioParamStorage::kTypeFloat) {
        for (int k = 0; k < mElementSize; ++k) {
            mMinValues.add(0.0);
            mMaxValues.add(kItemRangeMaximum);
        }
        return nullptr;
    }
    if (mConverters.count() < mElementSize)
        return newError("@talstr_CAudioParamInfo_parseConverterNames_NotEnoughConverters Not enough converters defined "
                        "%1 (should be %2).",
                        CString::emptyString, CString(mConverters.count()), CString(mElementSize));
    CStringList pieces;
    minText.split(pieces, ' ', true, true);
    if (pieces.count() < mElementSize)
        return newError("@talstr_CAudioParamInfo_parseMinMaxValues_NotEnoughMin Not enough minimum values defined %1 "
                        "(should be %2).",
                        CString::emptyString, CString(pieces.count()), CString(mElementSize));
    for (int k = 0; k < mElementSize; ++k) mMinValues.add(mConverters[k]->parseTextRaw(*this, k, pieces[k], nullptr));
    maxText.split(pieces, ' ', true, true);
    if (pieces.count() < mElementSize)
        return newError("@talstr_CAudioParamInfo_parseMinMaxValues_NotEnoughMax Not enough maximum values defined %1 "
                        "(should be %2).",
                        CString::emptyString, CString(pieces.count()), CString(mElementSize));
    for (int k = 0; k < mElementSize; ++k) mMaxValues.add(mConverters[k]->parseTextRaw(*this, k, pieces[k], nullptr));
    for (int k = 0; k < mElementSize; ++k)
        if (mMaxValues[k] - mMinValues[k] == 0.0)
            return newError("@talstr_CAudioParamInfo_parseMinMaxValues_Zero Zero default min-max values difference "
                            "detected in element %1.",
                            CString::emptyString, CString(k));
    return nullptr;
}

CError* CAudioParamInfo::parseStateNames(const CString& text) {
    mStateNames.clear();
    mStateShortNames.clear();
    if (text.length() == 0) return nullptr;
    if (text.charAt(0) != '@') {
        CStringList items;
        text.split(items, ';', true, true);
        for (int i = 0; i < items.count(); ++i) splitStateName(items[i], *mStateNames.addEmpty(), *mStateShortNames.addEmpty());
        return nullptr;
    }

    CByteBuffer bytes;
    if (CError* err = readStateNameItem(text, bytes)) return traceError(err);
    if (bytes.isEmpty())
        return newError("@talstr_CAudioParamInfo_parseStateNames_NoData No state names data available in '%1'.",
                        CString::emptyString, text);
    CMemoryReader in(bytes.data(), bytes.size());
    if (CError* err = parseStateNameList(in)) return traceError(err);
    return nullptr;
}

CError* CAudioParamInfo::readStateNameItem(const CString& text, CByteBuffer& bytes) {
    // "@/item" names an item of the global application-data scope, "@item" one of the local scope,
    // stored with the record tag "alst". An absent item leaves bytes empty.
    bytes.resize(0);
    if (text.length() < 2 || text.charAt(0) != '@') return nullptr;
    if (text.charAt(1) == '/')
        CAppData::globalScope().read(CString(text, 2, -1), bytes, kListTag, false);
    else
        CAppData::localScope().read(CString(text, 1, -1), bytes, kListTag, false);
    return nullptr;
}

CError* CAudioParamInfo::parseStateNameList(CInputStream& in) {
    mStateNames.clear();
    mStateShortNames.clear();
    std::int32_t flag = 0;
    if (CError* err = in.read32(flag)) return traceError(err);
    if (flag == 0) return nullptr;
    CStringList presetNames;
    if (CError* err = readBankPresetNames(in, presetNames)) return traceError(err);
    for (int p = 0; p < presetNames.count(); ++p) {
        CString head, rest;
        presetNames[p].splitAtColon(head, rest);
        CStringList pieces;
        rest.split(pieces, ';', true, true);
        CString& fullName = *mStateNames.addEmpty();
        CString& shortName = *mStateShortNames.addEmpty();
        if (pieces.count() == 1) {
            fullName = rest.trim();
            shortName = CString(fullName, 0, kShortNameLength);
        } else if (pieces.count() >= 2) {
            fullName = pieces[0].trim();
            shortName = CString(pieces[1].trim(), 0, kShortNameLength);
        }
    }
    return nullptr;
}

void CAudioParamInfo::parseSwitchValues(const CString& valuesText, const CString& namesText) {
    mSwitchValues.clear();
    mSwitchNames.clear();
    if (valuesText.length() == 0) return;
    CStringList pieces;
    valuesText.split(pieces, ',', true, true);
    for (int i = 0; i < pieces.count(); ++i) {
        bool ok = false;
        const double v = CAudioParamConverter::readNumber(pieces[i], &ok);
        if (!ok) {
            mSwitchValues.clear();
            return;
        }
        mSwitchValues.add(v);
    }
    if (mSwitchValues.isEmpty()) return;
    namesText.split(mSwitchNames, ',', true, true);
    while (mSwitchNames.count() < mSwitchValues.count()) mSwitchNames.addEmpty();
}

// --- queries ---

CAudioParamConverter* CAudioParamInfo::getConverter(int component) const {
    return component >= 0 && component < mConverters.count() ? mConverters[component] : nullptr;
}

double CAudioParamInfo::getMinimum(int component) const {
    return component >= 0 && component < mMinValues.count() ? mMinValues[component] : 0.0;
}

double CAudioParamInfo::getMaximum(int component) const {
    return component >= 0 && component < mMaxValues.count() ? mMaxValues[component] : 0.0;
}

bool CAudioParamInfo::findSwitchValue(const CString& text, double& value) const {
    if (mSwitchValues.isEmpty() || mSwitchNames.count() == 0) return false;
    if (compareStrings(text, mSwitchNames[0]) != 0) return false;
    value = mSwitchValues[0];
    return true;
}

bool CAudioParamInfo::findSwitchName(CString& name, double value) const {
    if (mSwitchValues.isEmpty() || mSwitchNames.count() == 0) return false;
    const double a = mSwitchValues[0], d = std::fabs(value - a);
    if (!(a * 0.005 > d || d < 0.005)) return false;
    name = mSwitchNames[0];
    return true;
}

// --- records ---

CError* CAudioParamInfo::save(COutputStream& out) const {
    CError* err = out.write32(kRecordVersion);
    writeBool(out, mIsGlobal, err);
    writeBool(out, mIsStorable, err);
    writeBool(out, mIsPersistent, err);
    if (!err) err = out.writeString(mVisualName);
    if (!err) err = out.writeString(mName);
    if (!err) err = out.writeString(mParamRegistry);
    if (!err) err = out.write32(mElementSize);
    if (!err) err = out.write32(mDataType);
    writeBool(out, mSingleGroup, err);
    writeBool(out, mSingleElement, err);
    for (int k = 0; !err && k < mElementSize; ++k) {
        err = out.writeString(k < mConverterNames.count() ? mConverterNames[k] : CString());
        if (!err) err = out.writeDouble(getMinimum(k));
        if (!err) err = out.writeDouble(getMaximum(k));
    }
    if (!err) err = out.write32(mStateNames.count());
    for (int i = 0; !err && i < mStateNames.count(); ++i) {
        err = out.writeString(mStateNames[i]);
        if (!err) err = out.writeString(i < mStateShortNames.count() ? mStateShortNames[i] : CString());
    }
    const int switchCount = mSwitchValues.count();
    if (!err) err = out.write32(switchCount);
    for (int i = 0; !err && i < switchCount; ++i) {
        err = out.writeDouble(mSwitchValues[i]);
        if (!err) err = out.writeString(i < mSwitchNames.count() ? mSwitchNames[i] : CString());
    }
    if (!err) err = mDefaultValues.save(out);
    return err ? traceError(err) : nullptr;
}

CError* CAudioParamInfo::load(CInputStream& in) {
    CAudioParamInfo scratch;
    std::int32_t version = 0, flags[3] = {}, layout[4] = {};
    if (CError* err = in.read32(version)) return traceError(err);
    if (version != kRecordVersion)
        return newError("@talstr_CAudioParamInfo_load_VersionError Unsupported data set version %1.", CString(),
                        CString(version));
    for (std::int32_t& f : flags)
        if (CError* err = in.read32(f)) return traceError(err);
    CString visualName, name, paramRegistry;
    if (CError* err = in.readString(visualName)) return traceError(err);
    if (CError* err = in.readString(name)) return traceError(err);
    if (CError* err = in.readString(paramRegistry)) return traceError(err);
    for (std::int32_t& v : layout)
        if (CError* err = in.read32(v)) return traceError(err);
    const std::int32_t elementSize = layout[0], dataType = layout[1];
    // A damaged record must not produce a definition that breaks the invariants its users rely on.
    if (elementSize < 1 || elementSize > 1024 || dataType < 0 || dataType > 2 || (dataType != 0 && elementSize != 1))
        return newError("@talstr_CAudioParamInfo_load_FormatError Invalid parameter format (esize=%1, dtype=%2).",
                        CString::emptyString, CString(elementSize), CString(dataType));
    scratch.setFlags(flags[0] != 0, flags[1] != 0, flags[2] != 0);
    scratch.setNames(visualName, name, paramRegistry);
    scratch.setLayout(elementSize, dataType, layout[2] != 0, layout[3] != 0);
    for (int k = 0; k < elementSize; ++k) {
        double minimum = 0.0, maximum = 0.0;
        if (CError* err = in.readString(*scratch.mConverterNames.addEmpty())) return traceError(err);
        if (CError* err = in.readDouble(minimum)) return traceError(err);
        if (CError* err = in.readDouble(maximum)) return traceError(err);
        scratch.mMinValues.add(minimum);
        scratch.mMaxValues.add(maximum);
    }
    if (CError* err = scratch.parseConverterNames()) return traceError(err);
    std::int32_t stateCount = 0, switchCount = 0;
    if (CError* err = in.read32(stateCount)) return traceError(err);
    for (std::int32_t i = 0; i < stateCount; ++i) {
        if (CError* err = in.readString(*scratch.mStateNames.addEmpty())) return traceError(err);
        if (CError* err = in.readString(*scratch.mStateShortNames.addEmpty())) return traceError(err);
    }
    if (CError* err = in.read32(switchCount)) return traceError(err);
    for (std::int32_t i = 0; i < switchCount; ++i) {
        double v = 0.0;
        if (CError* err = in.readDouble(v)) return traceError(err);
        scratch.mSwitchValues.add(v);
        if (CError* err = in.readString(*scratch.mSwitchNames.addEmpty())) return traceError(err);
    }
    scratch.mDefaultValues.setFormat(elementSize, dataType, layout[2] != 0, layout[3] != 0);
    if (CError* err = scratch.mDefaultValues.load(in)) return traceError(err);
    scratch.mDefaultValues.updateDefaultRow();
    takeFrom(scratch);
    return nullptr;
}

CError* CAudioParamInfo::loadNew(CAudioParamInfo*& slot, CInputStream& in) {
    if (!slot) slot = new CAudioParamInfo();
    if (CError* err = slot->load(in)) {
        delete slot;
        slot = nullptr;
        return traceError(err);
    }
    return nullptr;
}

void CAudioParamInfo::takeFrom(CAudioParamInfo& other) {
    mElementSize = other.mElementSize;
    mDataType = other.mDataType;
    mSingleGroup = other.mSingleGroup;
    mSingleElement = other.mSingleElement;
    mIsGlobal = other.mIsGlobal;
    mIsStorable = other.mIsStorable;
    mIsPersistent = other.mIsPersistent;
    mVisualName = other.mVisualName;
    mName = other.mName;
    mParamRegistry = other.mParamRegistry;
    mConverterNames.assign(other.mConverterNames);
    mConverters = other.mConverters;
    mMaxValues = other.mMaxValues;
    mMinValues = other.mMinValues;
    mStateNames.assign(other.mStateNames);
    mStateShortNames.assign(other.mStateShortNames);
    mSwitchValues = other.mSwitchValues;
    mSwitchNames.assign(other.mSwitchNames);
    mDefaultValues.swap(other.mDefaultValues);
}

} // namespace tal
