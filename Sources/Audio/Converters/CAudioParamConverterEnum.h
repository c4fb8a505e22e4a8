#pragma once

#include "Audio/Converters/CAudioParamConverterRound.h"
#include "Core/CStringList.h"

namespace tal {

class CObjectScheme;

// Enumeration ("audio:cvt-enum"): whole-number values shown as names. The names come from the
// converter's own "state-names" attribute and from the definition's state names; with "is-boolean" the
// texts false, 0, true and 1 are accepted as 0 and 1.
class CAudioParamConverterEnum : public CAudioParamConverterRound {
public:
    CAudioParamConverterEnum() = default;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;

    // --- attribute handlers ---
    // Sets is-boolean.
    virtual void attrIsBoolean(bool value);
    // Rebuilds both name lists from a text: names separated by ";", each "full|short" or "full"
    // (short names are cut to 7 characters; nothing is trimmed).
    virtual void attrStateNames(const CString& text);

    // The name search shared by the parsers: the value of a name (base + index) or of a boolean word.
    // Returns false and leaves out unchanged when nothing matches.
    bool lookupName(const CString& text, const CAudioParamInfo& info, double base, double& out) const;

    // --- queries ---
    bool isBoolean() const { return mIsBoolean; }
    const CStringList& getFullNames() const { return mFullNames; }
    const CStringList& getShortNames() const { return mShortNames; }

    // The scheme of "audio:cvt-enum": the common one plus the handlers of is-boolean and state-names.
    static void initScheme(CObjectScheme* scheme);

private:
    double parseWithBase(const CAudioParamInfo& info, const CString& text, double base, bool* ok) const;

    bool mIsBoolean = false;
    CStringList mFullNames;
    CStringList mShortNames;
};

} // namespace tal
