#include "Core/CAttrValue.h"

#include "Core/NumberText.h"

#include <cmath>
#include <limits>

namespace tal {

namespace {

const CString kTrueText("true");
const CString kFalseText("false");

} // namespace

std::int64_t roundRealToInt64(double x) noexcept {
    if (std::isnan(x)) return 0;
    const double r = x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x);
    // 2^63 is exactly representable; anything at or beyond it saturates.
    if (r >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (r <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return std::int64_t(r);
}

std::int32_t roundRealToInt(double x) noexcept {
    const std::int64_t r = roundRealToInt64(x);
    if (r > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (r < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(r);
}

// Rows: stored type; columns: wanted type. Nothing converts to pointer or none, and a pointer
// converts to nothing.
const CAttrValue::Converter CAttrValue::kConvertTable[6][6] = {
    /* bool    */ {nullptr, &CAttrValue::boolToReal, &CAttrValue::boolToInt, &CAttrValue::boolToText, nullptr, nullptr},
    /* real    */ {&CAttrValue::realToBool, nullptr, &CAttrValue::realToInt, &CAttrValue::realToText, nullptr, nullptr},
    /* int     */ {&CAttrValue::intToBool, &CAttrValue::intToReal, nullptr, &CAttrValue::intToText, nullptr, nullptr},
    /* text    */ {&CAttrValue::textToBool, &CAttrValue::textToReal, &CAttrValue::textToInt, nullptr, nullptr, nullptr},
    /* pointer */ {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    /* none    */ {&CAttrValue::noneToBool, &CAttrValue::noneToReal, &CAttrValue::noneToInt, &CAttrValue::noneToText, nullptr, nullptr},
};

void CAttrValue::setText(const CString& text) {
    bool ok = false;
    const std::int32_t n = parseInt(text, 0, &ok);
    if (ok && compareStrings(CString(n, 0, 10), text) == 0) {
        setInt(n);
        return;
    }
    if (text.length() == 0) {
        mType = kNone;
        mFlags &= kOwnerBits;
        return;
    }
    if (compareStrings(text, kTrueText) == 0) {
        setBool(true);
        return;
    }
    if (compareStrings(text, kFalseText) == 0) {
        setBool(false);
        return;
    }
    mText = text;
    assignType(kText, kValidText);
}

void CAttrValue::copyTyped(const CAttrValue& from) {
    if (this == &from) return;
    mType = from.mType;
    mFlags = std::uint8_t((from.mFlags & ~kOwnerBits) | (mFlags & kOwnerBits));
    if (from.mFlags & kValidReal) mReal = from.mReal;
    if (from.mFlags & kValidPointer) mPointer = from.mPointer;
    if (from.mFlags & kValidInt) mInt = from.mInt;
    if (from.mFlags & kValidText) mText = from.mText;
    if (from.mFlags & kValidBool) mBool = from.mBool;
}

bool CAttrValue::convert(Type wanted) {
    const std::uint8_t bit = std::uint8_t(1u << wanted);
    if (mFlags & bit) return true;
    const Converter c = kConvertTable[mType][wanted];
    if (c == nullptr || !(this->*c)()) return false;
    mFlags |= bit;
    return true;
}

bool CAttrValue::asBool() { return convert(kBool) && mBool != 0; }
std::int32_t CAttrValue::asInt() { return convert(kInt) ? mInt : 0; }
double CAttrValue::asReal() { return convert(kReal) ? mReal : 0.0; }
const CString& CAttrValue::asText() { return convert(kText) ? mText : CString::emptyString; }

void CAttrValue::warmCaches() {
    convert(kBool);
    convert(kReal);
    convert(kInt);
    convert(kText);
}

// --- conversion table entries ---

// A bool reads as the real 1.0 or 0.0, like an int.
bool CAttrValue::boolToReal() { mReal = mBool ? 1.0 : 0.0; return true; }
bool CAttrValue::boolToInt() { mInt = mBool ? 1 : 0; return true; }
bool CAttrValue::boolToText() { mText = mBool ? kTrueText : kFalseText; return true; }

bool CAttrValue::realToBool() { mBool = (mReal >= 0.5 || mReal <= -0.5) ? 1 : 0; return true; }
bool CAttrValue::realToInt() { mInt = roundRealToInt(mReal); return true; }
bool CAttrValue::realToText() {
    formatFixedPoint(mText, roundRealToInt64(mReal * 10000.0), 4);
    return true;
}

bool CAttrValue::intToBool() { mBool = mInt != 0 ? 1 : 0; return true; }
bool CAttrValue::intToReal() { mReal = double(mInt); return true; }
bool CAttrValue::intToText() { mText = CString(mInt, 0, 10); return true; }

bool CAttrValue::textToBool() {
    bool valid = false;
    const bool b = parseBool(mText, false, &valid);
    if (!valid) return false;
    mBool = b ? 1 : 0;
    return true;
}
bool CAttrValue::textToReal() {
    bool valid = false;
    const double d = parseDouble(mText, &valid);
    if (!valid) return false;
    mReal = d;
    return true;
}
bool CAttrValue::textToInt() {
    bool ok = false;
    const std::int32_t n = parseInt(mText, 0, &ok);
    if (!ok) return false;
    mInt = n;
    return true;
}

bool CAttrValue::noneToBool() { mBool = 0; return true; }
bool CAttrValue::noneToReal() { mReal = 0.0; return true; }
bool CAttrValue::noneToInt() { mInt = 0; return true; }
bool CAttrValue::noneToText() { mText.setLength(0, false); return true; }

} // namespace tal
