#pragma once
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// Text to numbers and back, for attribute values, paths, parameter texts and file contents.

// An integer: optional "-", then decimal digits, or hexadecimal after "0x", "0X", "#" or "$"; a
// leading "0" before decimal digits is skipped. Nothing else may follow, not even a blank.
// Hexadecimal text wraps around in 32 bits ("#FFFFFFFF" is -1); decimal text whose magnitude
// exceeds 32 bits is not an integer. Not an integer: ok is set false (when given) and defaultValue
// is returned.
int parseInt(const CString& text, int defaultValue, bool* ok = nullptr) noexcept;

// A real number: optional sign; digits, or digits with "." or "," as decimal point and at least one
// digit after it; optional exponent "e"/"E" with optional sign and digits; then the end. valid tells
// whether the whole text had that form; the number is returned either way, built from what was read.
// Huge exponents give infinity or zero (never NaN).
double parseDouble(const char* text, bool* valid = nullptr) noexcept;
double parseDouble(const char32_t* text, bool* valid = nullptr) noexcept;
double parseDouble(const CString& text, bool* valid = nullptr) noexcept;   // the overload of its mode

// value / 10^decimals with exactly `decimals` (1 to 20) digits after a ".": (12345, 2) "123.45",
// (-5, 2) "-0.05". out is replaced by the 8-bit text.
void formatFixedPoint(CString& out, std::int64_t value, int decimals);

// "0"/"false" give false and "1"/"true" give true (case-sensitive); any other text is read with
// parseDouble: |x| >= 0.5 is true. A text of neither kind clears valid and gives defaultValue.
bool parseBool(const CString& text, bool defaultValue, bool* valid = nullptr) noexcept;

} // namespace tal
