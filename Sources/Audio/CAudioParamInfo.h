#pragma once

#include "Audio/CAudioParamStorage.h"
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Core/CStringList.h"

namespace tal {

class CAudioParamConverter;
class CByteBuffer;
class CError;
class CInputStream;
class COutputStream;

// The definition data of one parameter: layout, flags, names, one converter and one plain range per
// component, state names, switch values and default values. Built once by a CAudioParamDef (or loaded
// from a record on the editor side) and read-only afterwards; no lock.
class CAudioParamInfo {
public:
    CAudioParamInfo() = default;
    CAudioParamInfo(const CAudioParamInfo&) = delete;
    CAudioParamInfo& operator=(const CAudioParamInfo&) = delete;
    ~CAudioParamInfo() = default;

    // --- building ---
    void setLayout(int elementSize, int dataType, bool singleGroup, bool singleElement);
    void setFlags(bool isGlobal, bool isStorable, bool isPersistent);
    void setNames(const CString& visualName, const CString& name, const CString& paramRegistry);
    // Replaces the converter names (one object path per component); parseConverterNames resolves them.
    CStringList& converterNames() { return mConverterNames; }
    // Resolves every converter name from the root of the shared object tree.
    [[nodiscard]] CError* parseConverterNames();
    // Minimums and maximums, one per component separated by blanks, read with each converter's raw
    // parser (so written in displayed units); string and raw data get 0 to 8388608.
    [[nodiscard]] CError* parseMinMaxValues(const CString& minText, const CString& maxText);
    // State names: "full|short;..." or "@item" / "@/item" naming an application-data list.
    [[nodiscard]] CError* parseStateNames(const CString& text);
    // Reads state names from a list record: an i32 flag, then (unless 0) a preset bank record whose
    // preset names, cut after the first ":", give "full;short" pairs.
    [[nodiscard]] CError* parseStateNameList(CInputStream& in);
    // Switch values ("," separated numbers) and their names; a malformed number leaves none.
    void parseSwitchValues(const CString& valuesText, const CString& namesText);
    // The default values, built with CAudioParamStorage::parseDefValues.
    CAudioParamStorage& defaultValues() { return mDefaultValues; }
    // Adds a state name pair (code-built definitions).
    void addStateName(const CString& fullName, const CString& shortName);
    // Sets the plain range of a component (code-built definitions; the arrays grow as needed).
    void setRange(int component, double minimum, double maximum);

    // --- queries ---
    int getElementSize() const { return mElementSize; }
    int getDataType() const { return mDataType; }
    bool isSingleGroup() const { return mSingleGroup; }
    bool isSingleElement() const { return mSingleElement; }
    bool isGlobal() const { return mIsGlobal; }
    bool isStorable() const { return mIsStorable; }
    bool isPersistent() const { return mIsPersistent; }
    const CString& getVisualName() const { return mVisualName; }
    const CString& getName() const { return mName; }
    const CString& getParamRegistry() const { return mParamRegistry; }
    const CStringList& getConverterNames() const { return mConverterNames; }
    // The converter of a component, or null outside the components.
    CAudioParamConverter* getConverter(int component) const;
    // Plain minimum and maximum of a component (0 outside the components).
    double getMinimum(int component) const;
    double getMaximum(int component) const;
    const CStringList& getStateNames() const { return mStateNames; }
    const CStringList& getStateShortNames() const { return mStateShortNames; }
    const CArray<double>& getSwitchValues() const { return mSwitchValues; }
    const CStringList& getSwitchNames() const { return mSwitchNames; }
    const CAudioParamStorage& getDefaultValues() const { return mDefaultValues; }

    // True, with the first switch value, when the text equals the first switch name exactly.
    bool findSwitchValue(const CString& text, double& value) const;
    // True, with the first switch name, when a value lies within 0.5 % (or 0.005) of the first switch value.
    bool findSwitchName(CString& name, double value) const;

    // --- records ---
    [[nodiscard]] CError* save(COutputStream& out) const;
    // Replaces the whole content from a record; the converters are resolved from the shared tree.
    // On failure the info is left as it was.
    [[nodiscard]] CError* load(CInputStream& in);
    // Loads into the info of a slot (made when the slot is null); on failure the info is destroyed and
    // the slot set to null.
    [[nodiscard]] static CError* loadNew(CAudioParamInfo*& slot, CInputStream& in);

private:
    // The bytes of the application-data item that a "@..." state-names text names (empty when absent).
    [[nodiscard]] static CError* readStateNameItem(const CString& text, CByteBuffer& bytes);
    // Takes over the whole content of another info (which is left in an unspecified state).
    void takeFrom(CAudioParamInfo& other);

    std::int32_t mElementSize = 0;
    std::int32_t mDataType = 0;
    bool mSingleGroup = false;
    bool mSingleElement = false;
    bool mIsGlobal = false;
    bool mIsStorable = false;
    bool mIsPersistent = false;
    CString mVisualName;
    CString mName;
    CString mParamRegistry;
    CStringList mConverterNames;
    CArray<CAudioParamConverter*> mConverters;   // not owned: objects of the shared tree
    CArray<double> mMaxValues;
    CArray<double> mMinValues;
    CStringList mStateNames;
    CStringList mStateShortNames;
    CArray<double> mSwitchValues;
    CStringList mSwitchNames;
    CAudioParamStorage mDefaultValues;
};

} // namespace tal
