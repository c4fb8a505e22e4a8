#include "Audio/Converters/CAudioParamConverter.h"

#include "Audio/CAudioParamInfo.h"
#include "Core/CError.h"
#include "Core/NumberText.h"

#include <cmath>
#include <limits>

namespace tal {

namespace {
constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
}

CError* CAudioParamConverter::initChilds() {
    if (CError* err = CObject::initChilds()) return traceError(err, getFullName());
    mLabel = getTextAttr("label");
    mIsDiscrete = getBoolAttr("is-discrete");
    return nullptr;
}

double CAudioParamConverter::toPlain(const CAudioParamInfo& info, int component, double normalized) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    return a + normalized * (b - a);
}

double CAudioParamConverter::toNormalized(const CAudioParamInfo& info, int component, double plain) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    return (plain - a) / (b - a);
}

double CAudioParamConverter::toDisplay(const CAudioParamInfo& info, int component, double normalized) const {
    return toPlain(info, component, normalized);
}

double CAudioParamConverter::fromDisplay(const CAudioParamInfo& info, int component, double display) const {
    return toNormalized(info, component, clampToRange(info, component, display));
}

std::int64_t CAudioParamConverter::roundToInt(double v) {
    if (std::isnan(v)) return 0;
    const double r = v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v);
    constexpr double kLimit = 9223372036854775807.0;   // 2^63 as a double
    if (r >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (r < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

CString CAudioParamConverter::decimalsText(double v, int decimals) {
    if (decimals <= 0) return integerText(v);
    if (decimals > 10) decimals = 10;
    CString out;
    formatFixedPoint(out, roundToInt(v * kPowersOfTen[decimals]), decimals);
    return out;
}

CString CAudioParamConverter::integerText(double v) {
    return CString(static_cast<std::int64_t>(roundToInt(v)));
}

double CAudioParamConverter::readNumber(const CString& text, bool* ok) {
    bool valid = false;
    const double n = parseDouble(text, &valid);
    setOk(ok, valid);
    return n;
}

double CAudioParamConverter::minimumOf(const CAudioParamInfo& info, int component) {
    return info.getMinimum(component);
}

double CAudioParamConverter::maximumOf(const CAudioParamInfo& info, int component) {
    return info.getMaximum(component);
}

double CAudioParamConverter::clampToRange(const CAudioParamInfo& info, int component, double v) {
    const double a = info.getMinimum(component), b = info.getMaximum(component);
    const double lo = a < b ? a : b, hi = a < b ? b : a;
    // A NaN (a damaged stored value) would pass both tests: it takes the lower end instead.
    if (v < lo || std::isnan(v)) return lo;
    if (v > hi) return hi;
    return v;
}

} // namespace tal
