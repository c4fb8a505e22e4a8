#include "Audio/CAudioProcessBypassStateDef.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"

#include <cmath>
#include <limits>

namespace tal {

namespace {

constexpr double kValueTolerance = 0.1;
constexpr double kDefaultStep = 0.01;

// x / step to the nearest step, halves away from zero; false when it is not a number. Values
// beyond 32 bits are clamped, so that any input compares sanely with the bounds.
bool stepsOf(double x, double step, std::int64_t& n) noexcept {
    const double q = std::round(x / step);
    if (std::isnan(q))
        return false;
    constexpr double kMin = double(std::numeric_limits<std::int32_t>::min()) - 1.0;
    constexpr double kMax = double(std::numeric_limits<std::int32_t>::max()) + 1.0;
    n = std::int64_t(q < kMin ? kMin : (q > kMax ? kMax : q));
    return true;
}

// One bound: "*" is unbounded, otherwise a finite number whose step count fits 32 bits.
bool parseBound(const CString& piece, double step, std::int32_t& bound, bool& unbounded) {
    const CString text = piece.trim();
    if (text.equals("*")) {
        unbounded = true;
        return true;
    }
    bool valid = false;
    const double x = parseDouble(text, &valid);
    if (!valid || !std::isfinite(x))
        return false;
    const double q = std::round(x / step);
    if (!(q >= double(std::numeric_limits<std::int32_t>::min()) && q <= double(std::numeric_limits<std::int32_t>::max())))
        return false;
    bound = std::int32_t(q);
    unbounded = false;
    return true;
}

} // namespace

bool CAudioProcessBypassStateDef::CRange::contains(double x) const noexcept {
    std::int64_t n = 0;
    if (!stepsOf(x, step, n))
        return false;
    const bool aboveLow = lowUnbounded || (lowInclusive ? n >= low : n > low);
    const bool belowHigh = highUnbounded || (highInclusive ? n <= high : n < high);
    return aboveLow && belowHigh;
}

bool CAudioProcessBypassStateDef::parseRange(CRange& range, const CString& text) {
    range = CRange();
    const int length = text.length();
    if (length < 5)
        return false;
    const std::uint32_t first = text.charAt(0), last = text.charAt(length - 1);
    if ((first != '[' && first != '(') || (last != ']' && last != ')'))
        return false;
    CStringList pieces;
    CString(text, 1, length - 2).split(pieces, ';', true, true);
    if (pieces.count() != 2 && pieces.count() != 3)
        return false;
    double step = kDefaultStep;
    if (pieces.count() == 3) {
        bool valid = false;
        step = parseDouble(pieces[2].trim(), &valid);
        if (!valid || !std::isfinite(step) || !(step > 0.0))
            return false;
    }
    CRange r;
    r.step = step;
    r.lowInclusive = first == '[';
    r.highInclusive = last == ']';
    if (!parseBound(pieces[0], step, r.low, r.lowUnbounded) || !parseBound(pieces[1], step, r.high, r.highUnbounded))
        return false;
    if (!r.lowUnbounded && !r.highUnbounded && r.low > r.high)
        return false;
    r.valid = true;
    range = r;
    return true;
}

CError* CAudioProcessBypassStateDef::init() {
    if (CError* err = CObject::init())
        return traceError(err, getFullName());
    mId = getIntAttr("id");
    mParam = getTextAttr("param");
    if (mParam.isEmpty())
        return newError("@talstr_CAudioProcessBypassStateDef_init_InvalidParam Invalid parameter name specified.",
                        getFullName());
    const CString& range = getTextAttr("range");
    if (range.isEmpty())
        mValue = getDoubleAttr("value");
    else if (!parseRange(mRange, range))
        return newError("@talstr_CAudioProcessBypassStateDef_init_InvalidRange Invalid 'range' attribute value '%1' specified.",
                        getFullName(), range);
    const CString& andRange = getTextAttr("and-range");
    if (andRange.isEmpty())
        mAndValue = getDoubleAttr("and-value");
    else if (!parseRange(mAndRange, andRange))
        return newError(
            "@talstr_CAudioProcessBypassStateDef_init_InvalidAndRange Invalid 'and-range' attribute value '%1' specified.",
            getFullName(), andRange);
    mAndParam = getTextAttr("and-param");
    mInverted = getBoolAttr("is-inverted");
    return nullptr;
}

bool CAudioProcessBypassStateDef::isInRanges(double v, double w) const noexcept {
    return mRange.contains(v) && mAndRange.contains(w);
}

bool CAudioProcessBypassStateDef::isActive(double v, double w) const noexcept {
    bool condition = false;
    if (hasAndParam()) {
        if (mRange.valid && mAndRange.valid)
            condition = isInRanges(v, w);
        else
            condition = std::fabs(v - mValue) <= kValueTolerance && std::fabs(w - mAndValue) <= kValueTolerance;
    } else {
        condition = mRange.valid ? mRange.contains(v) : std::fabs(v - mValue) <= kValueTolerance;
    }
    return condition != mInverted;
}

} // namespace tal
