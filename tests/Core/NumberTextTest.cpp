#include "Core/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using namespace tal;

namespace {
CString wideOf(const char* ascii) {
    CString s(ascii);
    s.widen(s.length());
    return s;
}
} // namespace

TEST(NumberText, ParseIntAcceptsSignPrefixesAndWrapsHex) {
    struct Case { const char* text; int value; };
    const Case cases[] = {{"42", 42},    {"-42", -42},   {"0x1F", 31},        {"0X1f", 31},  {"#ff", 255},
                          {"$10", 16},   {"-#FF", -255}, {"-0x1F", -31},      {"012", 12},   {"0", 0},
                          {"-0", 0},     {"#FFFFFFFF", -1}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
                          {"0x123456789", 0x23456789}};
    for (const Case& c : cases)
        for (bool wide : {false, true}) {
            SCOPED_TRACE(std::string(c.text) + (wide ? " wide" : ""));
            bool ok = false;
            EXPECT_EQ(parseInt(wide ? wideOf(c.text) : CString(c.text), 777, &ok), c.value);
            EXPECT_TRUE(ok);
        }
}

TEST(NumberText, ParseIntRejectsOtherTextsAndDecimalOverflow) {
    for (const char* text : {"", "-", "#", "0x", "+5", " 5", "5 ", "1e3", "0#1", "12a", "4294967296",
                             "99999999999999999999", "-4294967296"}) {
        SCOPED_TRACE(text);
        bool ok = true;
        EXPECT_EQ(parseInt(CString(text), 777, &ok), 777);
        EXPECT_FALSE(ok);
    }
    EXPECT_EQ(parseInt(CString("x"), 5), 5);   // a null ok pointer is allowed
}

TEST(NumberText, ParseDoubleValidForms) {
    struct Case { const char* text; double value; };
    const Case cases[] = {{"1.5", 1.5}, {"1,5", 1.5}, {".5", 0.5},  {"-2", -2.0},     {"1e3", 1000.0},
                          {"1E+3", 1000.0}, {"2.5e-2", 0.025}, {"+7", 7.0}, {"0.1", 0.1}, {"123.456", 123.456}};
    for (const Case& c : cases)
        for (bool wide : {false, true}) {
            SCOPED_TRACE(std::string(c.text) + (wide ? " wide" : ""));
            bool valid = false;
            const double x = parseDouble(wide ? wideOf(c.text) : CString(c.text), &valid);
            EXPECT_TRUE(valid);
            EXPECT_NEAR(x, c.value, std::abs(c.value) * 1e-15);
        }
}

TEST(NumberText, ParseDoubleInvalidFormsReturnWhatWasRead) {
    struct Case { const char* text; double value; };
    const Case cases[] = {{"", 0.0},   {"5.", 5.0},    {"1.5x", 1.0}, {"1e5x", 100000.0}, {"e5", 0.0},
                          {"12e", 12}, {"1e-", 1.0},   {"0x10", 0.0}, {" 1", 0.0},        {"1,000.5", 1.0},
                          {"1.e3", 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool valid = true;
        EXPECT_EQ(parseDouble(c.text, &valid), c.value);
        EXPECT_FALSE(valid);
    }
    bool valid = true;
    const double minusZero = parseDouble("-", &valid);
    EXPECT_FALSE(valid);
    EXPECT_TRUE(minusZero == 0.0 && std::signbit(minusZero));
    EXPECT_TRUE(std::signbit(parseDouble("-0")));
}

// Exponents far outside 32 bits saturate instead of wrapping, and no digit count produces NaN.
TEST(NumberText, ParseDoubleExtremesSaturate) {
    bool valid = false;
    EXPECT_EQ(parseDouble("1e4294967297", &valid), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(valid);
    EXPECT_EQ(parseDouble("1e-4294967297"), 0.0);
    EXPECT_EQ(parseDouble("0e99999999999"), 0.0);
    const std::string longFraction = "0." + std::string(400, '9');
    EXPECT_NEAR(parseDouble(longFraction.c_str(), &valid), 1.0, 1e-12);
    EXPECT_TRUE(valid);
    const std::string longWhole = "1" + std::string(400, '0') + "e-390";
    EXPECT_NEAR(parseDouble(longWhole.c_str()) / 1e10, 1.0, 1e-9);
    const std::string tiny = "0." + std::string(330, '0') + "1";
    EXPECT_FALSE(std::isnan(parseDouble(tiny.c_str())));
}

TEST(NumberText, FormatFixedPoint) {
    struct Case { std::int64_t value; int decimals; const char* text; };
    const Case cases[] = {{12345, 2, "123.45"}, {5, 2, "0.05"}, {45, 2, "0.45"}, {0, 2, "0.00"},
                          {-5, 2, "-0.05"},     {10, 1, "1.0"}, {-1234, 3, "-1.234"},
                          {INT64_MIN, 2, "-92233720368547758.08"}, {INT64_MAX, 20, "0.09223372036854775807"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CString out("old");
        formatFixedPoint(out, c.value, c.decimals);
        EXPECT_STREQ(out.chars8(), c.text);
        EXPECT_FALSE(out.isWide());
    }
}

TEST(NumberText, IntegerConstructors) {
    struct Case { std::int64_t value; int minDigits; int radix; const char* text; };
    const Case cases[] = {{255, 0, 16, "FF"}, {5, 3, 10, "005"}, {-5, 3, 10, "-05"}, {-5, 0, 10, "-5"},
                          {0, 3, 10, "000"},  {-2147483648LL, 0, 10, "-2147483648"}, {35, 0, 36, "Z"},
                          {5, 0, 2, "101"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_STREQ(CString(int(c.value), c.minDigits, c.radix).chars8(), c.text);
        EXPECT_STREQ(CString(c.value, c.minDigits, c.radix).chars8(), c.text);
    }
    EXPECT_STREQ(CString(INT64_MIN).chars8(), "-9223372036854775808");
    EXPECT_STREQ(CString(short(-32768)).chars8(), "-32768");
    EXPECT_EQ(CString(0, 200, 10).length(), 129);
    EXPECT_EQ(CString(-7, 200, 10).length(), 129);
    EXPECT_FALSE(CString(0, 200, 10).isInline());
    EXPECT_TRUE(CString(INT64_MIN).isInline());
}

TEST(NumberText, ParseBool) {
    struct Case { const char* text; bool value; bool valid; };
    const Case cases[] = {{"0", false, true},   {"false", false, true}, {"1", true, true},   {"true", true, true},
                          {"0.4", false, true}, {"-0.7", true, true},   {"0.5", true, true}, {"2", true, true},
                          {"TRUE", true, false}, {"", true, false},     {"yes", true, false}, {"1,5", true, true}};
    for (const Case& c : cases)
        for (bool wide : {false, true}) {
            SCOPED_TRACE(std::string(c.text) + (wide ? " wide" : ""));
            bool valid = !c.valid;
            // The default (true) shows through only for invalid texts.
            EXPECT_EQ(parseBool(wide ? wideOf(c.text) : CString(c.text), true, &valid), c.value);
            EXPECT_EQ(valid, c.valid);
        }
    EXPECT_FALSE(parseBool(CString("nonsense"), false));
}
