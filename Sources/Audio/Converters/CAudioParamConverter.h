#pragma once

#include <cstdint>

#include "Core/CObject.h"
#include "Core/CString.h"

namespace tal {

class CAudioParamInfo;
class CAudioParamData;

// Precision modes of formatValue: compact texts for small readouts, normal texts, precise texts.
enum EAudioParamPrecision : int {
    kPrecisionCompact = 1,
    kPrecisionNormal = 2,
    kPrecisionPrecise = 3,
};

// The base of every value converter: translates one component of a parameter between its normalised
// (0..1), plain (stored), display (number shown) and text forms. Converters are objects of the shared
// tree, configured once while the description is built and read-only afterwards, so every operation
// may be called from any thread without a lock. The range and the switch and state names come from
// the definition passed to each call; component k uses the definition's minimum k and maximum k.
class CAudioParamConverter : public CObject {
public:
    CAudioParamConverter() = default;
    CAudioParamConverter(const CAudioParamConverter&) = delete;
    CAudioParamConverter& operator=(const CAudioParamConverter&) = delete;
    ~CAudioParamConverter() override = default;

    // --- life cycle ---
    // Reads "label" and "is-discrete" after the children exist.
    [[nodiscard]] CError* initChilds() override;

    // --- conversions ---
    // Plain value of a text, clamped to the component's range; ok (may be null) tells whether it was read.
    virtual double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const = 0;
    // Plain value of a text without clamping (the minimum and maximum texts of a definition are read so).
    virtual double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const = 0;
    // Text of a plain value in a precision mode; items is the value's item table (may be null).
    virtual CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                                double value) const = 0;
    virtual double toPlain(const CAudioParamInfo& info, int component, double normalized) const;
    // Not clamped: a plain value outside the range gives a value outside 0..1.
    virtual double toNormalized(const CAudioParamInfo& info, int component, double plain) const;
    virtual double toDisplay(const CAudioParamInfo& info, int component, double normalized) const;
    // Normalised value of a display value clamped to the range.
    virtual double fromDisplay(const CAudioParamInfo& info, int component, double display) const;

    // --- queries ---
    const CString& getLabel() const { return mLabel; }
    bool isDiscrete() const { return mIsDiscrete; }

    // --- helpers shared by the converters ---
    // Rounds half away from zero to a whole number; saturates at the 64-bit range, NaN gives 0.
    static std::int64_t roundToInt(double v);
    // The fixed-point text of v with d decimals (1..10), or the integer text when d is 0.
    static CString decimalsText(double v, int decimals);
    static CString integerText(double v);
    // A number in a text: optional sign, "." or "," as decimal point, optional exponent.
    static double readNumber(const CString& text, bool* ok);
    static double minimumOf(const CAudioParamInfo& info, int component);
    static double maximumOf(const CAudioParamInfo& info, int component);
    // Limits v to the interval between the component's minimum and maximum (given in either order).
    static double clampToRange(const CAudioParamInfo& info, int component, double v);
    static void setOk(bool* ok, bool value) {
        if (ok) *ok = value;
    }

protected:
    CString mLabel;
    bool mIsDiscrete = false;
};

} // namespace tal
