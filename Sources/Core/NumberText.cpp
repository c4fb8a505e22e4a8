#include "Core/NumberText.h"

#include <cmath>

namespace tal {

namespace {

int digitValue(std::uint32_t c, bool hex) noexcept {
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (hex && c >= 'a' && c <= 'f')
        return int(c - 'a' + 10);
    if (hex && c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

// x * 10^e, rounded once where the power of ten is exact (up to 1e22) and otherwise through the
// library's pow; glibc's exp10 is not correctly rounded for negative exponents (5 * exp10(-1) is
// below 0.5).
double scaleByTen(double x, std::int64_t e) noexcept {
    static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (e >= 0 && e <= 22)
        return x * kExact[e];
    if (e < 0 && e >= -22)
        return x / kExact[-e];
    if (e < 0 && e >= -308)
        return x / std::pow(10.0, double(-e));
    return x * std::pow(10.0, double(e));
}

// The shared body of both parseDouble overloads; Char is char (read as unsigned) or char32_t.
template <class Char>
double parseDoubleChars(const Char* text, bool* valid) noexcept {
    // Digits past these counts change the result by less than a double can hold (the fraction) or
    // only scale it (the integer part); the caps keep the accumulators finite, so that no text can
    // produce infinity times zero.
    constexpr int kMaxDigits = 300;
    constexpr std::int64_t kMaxExponent = 100000;
    auto at = [text](int i) { return std::uint32_t(static_cast<std::make_unsigned_t<Char>>(text[i])); };
    auto isDigit = [](std::uint32_t c) { return c >= '0' && c <= '9'; };

    int i = 0;
    bool negative = false;
    if (at(0) == '+' || at(0) == '-') {
        negative = at(0) == '-';
        i = 1;
    }
    double whole = 0.0, fraction = 0.0;
    int wholeDigits = 0, wholeShift = 0, fractionDigits = 0, fractionCounted = 0;
    for (; isDigit(at(i)); ++i, ++wholeDigits) {
        if (whole < 1e300)
            whole = whole * 10.0 + double(at(i) - '0');
        else
            ++wholeShift;
    }
    bool ok = true;
    if (at(i) == '.' || at(i) == ',') {
        int j = i + 1;
        for (; isDigit(at(j)); ++j, ++fractionDigits) {
            if (fractionCounted < kMaxDigits) {
                fraction = fraction * 10.0 + double(at(j) - '0');
                ++fractionCounted;
            }
        }
        if (fractionDigits == 0 || (at(j) != 0 && at(j) != 'e' && at(j) != 'E')) {
            ok = false;   // the fraction counts only when its digits reach the end or the exponent
            fraction = 0.0;
            fractionCounted = 0;
        }
        i = j;
    } else if (wholeDigits == 0) {
        ok = false;
    }
    std::int64_t exponent = 0;
    if (ok && (at(i) == 'e' || at(i) == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (at(i) == '+' || at(i) == '-') {
            negativeExponent = at(i) == '-';
            ++i;
        }
        int exponentDigits = 0;
        for (; isDigit(at(i)); ++i, ++exponentDigits)
            if (exponent < kMaxExponent)
                exponent = exponent * 10 + (at(i) - '0');
        if (exponentDigits == 0)
            ok = false;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (at(i) != 0)
        ok = false;
    if (valid != nullptr)
        *valid = ok;

    double value = whole;
    if (fractionCounted > 0)
        value += scaleByTen(fraction, -fractionCounted);
    const std::int64_t scale = exponent + wholeShift;
    if (scale != 0 && value != 0.0)
        value = scaleByTen(value, scale);
    return negative ? -value : value;
}

} // namespace

int parseInt(const CString& text, int defaultValue, bool* ok) noexcept {
    const int n = text.length();
    int i = 0;
    const bool negative = n > 0 && text.charAt(0) == '-';
    if (negative)
        i = 1;
    bool hex = false;
    if (i < n && text.charAt(i) == '0') {
        if (i + 1 == n) {
            if (ok != nullptr)
                *ok = true;
            return 0;
        }
        const std::uint32_t x = text.charAt(i + 1);
        hex = x == 'x' || x == 'X';
        i += hex ? 2 : 1;
    } else if (i < n && (text.charAt(i) == '#' || text.charAt(i) == '$')) {
        hex = true;
        ++i;
    }
    bool valid = i < n;
    std::uint64_t value = 0;
    for (; valid && i < n; ++i) {
        const int d = digitValue(text.charAt(i), hex);
        if (d < 0) {
            valid = false;
        } else if (hex) {
            value = (value * 16 + unsigned(d)) & 0xFFFFFFFFu;   // hexadecimal wraps in 32 bits
        } else {
            value = value * 10 + unsigned(d);
            valid = value <= 0xFFFFFFFFu;                       // decimal must fit in 32 bits
        }
    }
    if (ok != nullptr)
        *ok = valid;
    if (!valid)
        return defaultValue;
    std::uint32_t bits = std::uint32_t(value);
    if (negative)
        bits = 0u - bits;
    return int(bits);
}

double parseDouble(const char* text, bool* valid) noexcept { return parseDoubleChars(text, valid); }
double parseDouble(const char32_t* text, bool* valid) noexcept { return parseDoubleChars(text, valid); }
double parseDouble(const CString& text, bool* valid) noexcept {
    return text.isWide() ? parseDouble(text.chars32(), valid) : parseDouble(text.chars8(), valid);
}

void formatFixedPoint(CString& out, std::int64_t value, int decimals) {
    if (decimals < 1)
        decimals = 1;
    if (decimals > 20)
        decimals = 20;
    std::uint64_t m = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    char digits[48];
    int n = 0;
    for (int d = 0; d < decimals; ++d) {
        digits[n++] = char('0' + m % 10);
        m /= 10;
    }
    digits[n++] = '.';
    do {
        digits[n++] = char('0' + m % 10);
        m /= 10;
    } while (m != 0);
    if (value < 0)
        digits[n++] = '-';
    char text[48];
    for (int k = 0; k < n; ++k)
        text[k] = digits[n - 1 - k];
    out = CString(text, n);
}

bool parseBool(const CString& text, bool defaultValue, bool* valid) noexcept {
    if (text.equals("0") || text.equals("false") || text.equals("1") || text.equals("true")) {
        if (valid != nullptr)
            *valid = true;
        return text.equals("1") || text.equals("true");
    }
    bool ok = false;
    const double x = parseDouble(text, &ok);
    if (valid != nullptr)
        *valid = ok;
    if (!ok)
        return defaultValue;
    return x >= 0.5 || x <= -0.5;
}

} // namespace tal
