#include "Core/CAttrValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace tal;

namespace {

CString wide(const char* text) {
    CString s(text);
    s.widen(s.length());
    return s;
}

CAttrValue fromText(const CString& text) {
    CAttrValue v;
    v.setText(text);
    return v;
}

CAttrValue fromReal(double x) {
    CAttrValue v;
    v.setReal(x);
    return v;
}

std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

} // namespace

// --- type detection of setText ---

struct DetectCase {
    const char* text;
    CAttrValue::Type type;
};

class CAttrValueDetect : public ::testing::TestWithParam<DetectCase> {};

TEST_P(CAttrValueDetect, SetTextStoresTheDetectedType) {
    const DetectCase& c = GetParam();
    CAttrValue v = fromText(CString(c.text));
    EXPECT_EQ(v.type(), c.type);
    // Exactly the valid bit of the stored type is set (none has no field).
    const std::uint8_t expectedFlags = c.type == CAttrValue::kNone ? 0 : std::uint8_t(1u << c.type);
    EXPECT_EQ(v.flags(), expectedFlags);
}

INSTANTIATE_TEST_SUITE_P(CAttrValue, CAttrValueDetect,
                         ::testing::Values(DetectCase{"12", CAttrValue::kInt}, DetectCase{"-7", CAttrValue::kInt},
                                           DetectCase{"0", CAttrValue::kInt},
                                           DetectCase{"-2147483648", CAttrValue::kInt},
                                           DetectCase{"012", CAttrValue::kText}, DetectCase{"+5", CAttrValue::kText},
                                           DetectCase{"0x1F", CAttrValue::kText}, DetectCase{"-0", CAttrValue::kText},
                                           DetectCase{"1.5", CAttrValue::kText}, DetectCase{"TRUE", CAttrValue::kText},
                                           DetectCase{"4294967296", CAttrValue::kText},
                                           DetectCase{"", CAttrValue::kNone}, DetectCase{"true", CAttrValue::kBool},
                                           DetectCase{"false", CAttrValue::kBool}));

TEST(CAttrValue, WideTrueIsDetectedAsBool) {
    CAttrValue v = fromText(wide("true"));
    EXPECT_EQ(v.type(), CAttrValue::kBool);
    EXPECT_TRUE(v.asBool());
}

// --- conversions ---

TEST(CAttrValue, IntTextReadsAsEveryType) {
    CAttrValue v = fromText(CString("5"));
    EXPECT_EQ(v.asInt(), 5);
    EXPECT_EQ(v.asReal(), 5.0);
    EXPECT_EQ(str(v.asText()), "5");
    EXPECT_TRUE(v.asBool());
    EXPECT_EQ(v.flags() & CAttrValue::kValidBits, 0x0f);
}

TEST(CAttrValue, LeadingZeroStaysTextButReadsAsInt) {
    CAttrValue v = fromText(CString("05"));
    EXPECT_EQ(v.type(), CAttrValue::kText);
    EXPECT_EQ(v.asInt(), 5);
    EXPECT_EQ(str(v.asText()), "05");
}

TEST(CAttrValue, NoneReadsAsDefaultsAndCachesThem) {
    CAttrValue v = fromText(CString());
    EXPECT_FALSE(v.asBool());
    EXPECT_EQ(v.asInt(), 0);
    EXPECT_EQ(v.asReal(), 0.0);
    EXPECT_TRUE(v.asText().isEmpty());
    EXPECT_EQ(v.flags() & CAttrValue::kValidBits, 0x0f);
}

TEST(CAttrValue, BoolReadsAsOneZeroAndText) {
    CAttrValue t = fromText(CString("true"));
    EXPECT_EQ(t.asInt(), 1);
    EXPECT_EQ(str(t.asText()), "true");
    CAttrValue f = fromText(CString("false"));
    EXPECT_EQ(f.asInt(), 0);
    EXPECT_EQ(str(f.asText()), "false");
}

// A bool reads as real 1.0 / 0.0 and is cached, like the bool-to-int conversion.
TEST(CAttrValue, BoolReadsAsRealOneOrZero) {
    CAttrValue t = fromText(CString("true"));
    EXPECT_EQ(t.asReal(), 1.0);
    EXPECT_TRUE(t.isValid(CAttrValue::kReal));
    CAttrValue f;
    f.setBool(false);
    EXPECT_EQ(f.asReal(), 0.0);
    EXPECT_TRUE(f.isValid(CAttrValue::kReal));
}

struct RealCase {
    double x;
    std::int32_t asInt;
    bool asBool;
    const char* asText;
};

class CAttrValueReal : public ::testing::TestWithParam<RealCase> {};

TEST_P(CAttrValueReal, ConvertsByTheRoundingRules) {
    const RealCase& c = GetParam();
    CAttrValue v = fromReal(c.x);
    EXPECT_EQ(v.asInt(), c.asInt);
    EXPECT_EQ(v.asBool(), c.asBool);
    EXPECT_EQ(str(v.asText()), c.asText);
}

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    CAttrValue, CAttrValueReal,
    ::testing::Values(RealCase{2.5, 3, true, "2.5000"}, RealCase{-2.5, -3, true, "-2.5000"},
                      RealCase{0.49, 0, false, "0.4900"}, RealCase{0.5, 1, true, "0.5000"},
                      RealCase{-0.5, -1, true, "-0.5000"}, RealCase{3.0, 3, true, "3.0000"},
                      RealCase{-0.125, 0, false, "-0.1250"}, RealCase{1.0 / 3.0, 0, false, "0.3333"},
                      RealCase{1e-5, 0, false, "0.0000"},
                      // Beyond the integer ranges: saturated, never undefined.
                      RealCase{1e12, kIntMax, true, "1000000000000.0000"}, RealCase{-1e12, kIntMin, true, "-1000000000000.0000"},
                      RealCase{1e300, kIntMax, true, "922337203685477.5807"},
                      RealCase{-1e300, kIntMin, true, "-922337203685477.5808"},
                      RealCase{std::numeric_limits<double>::infinity(), kIntMax, true, "922337203685477.5807"}));

TEST(CAttrValue, NanReadsAsZeroAndFalse) {
    CAttrValue v = fromReal(std::nan(""));
    EXPECT_EQ(v.asInt(), 0);
    EXPECT_FALSE(v.asBool());
    EXPECT_EQ(str(v.asText()), "0.0000");
}

TEST(CAttrValue, IntConvertsExactly) {
    CAttrValue v;
    v.setInt(-42);
    EXPECT_EQ(v.asReal(), -42.0);
    EXPECT_EQ(str(v.asText()), "-42");
    EXPECT_TRUE(v.asBool());
    v.setInt(0);
    EXPECT_FALSE(v.asBool());
}

TEST(CAttrValue, TextNumbersUseTheNumberRules) {
    EXPECT_EQ(fromText(CString("1,5")).asReal(), 1.5);
    CAttrValue seven = fromText(CString("0.7"));
    EXPECT_TRUE(seven.asBool());
    EXPECT_EQ(seven.asInt(), 0);  // "0.7" is no integer text
    CAttrValue hex = fromText(CString("0x10"));
    EXPECT_EQ(hex.asInt(), 16);
    EXPECT_EQ(hex.asReal(), 0.0);
    EXPECT_FALSE(hex.isValid(CAttrValue::kReal));
    EXPECT_EQ(fromText(CString("1.5")).asInt(), 0);
}

TEST(CAttrValue, FailedConversionsAreNotCached) {
    CAttrValue v = fromText(CString("abc"));
    EXPECT_EQ(v.asReal(), 0.0);
    EXPECT_EQ(v.asInt(), 0);
    EXPECT_FALSE(v.asBool());
    EXPECT_EQ(v.flags(), CAttrValue::kValidText);
}

TEST(CAttrValue, PointerConvertsToNothing) {
    int target = 0;
    CAttrValue v;
    v.setPointer(&target);
    EXPECT_FALSE(v.asBool());
    EXPECT_EQ(v.asInt(), 0);
    EXPECT_EQ(v.asReal(), 0.0);
    EXPECT_TRUE(v.asText().isEmpty());
    EXPECT_EQ(v.flags(), CAttrValue::kValidPointer);
    EXPECT_EQ(v.asPointer(), &target);
    EXPECT_EQ(fromText(CString("1")).asPointer(), nullptr);
}

TEST(CAttrValue, NewAssignmentDropsCachedConversions) {
    CAttrValue v = fromText(CString("7"));
    EXPECT_EQ(v.asReal(), 7.0);
    v.setReal(2.25);
    EXPECT_EQ(v.asInt(), 2);
    EXPECT_EQ(v.flags(), CAttrValue::kValidReal | CAttrValue::kValidInt);
}

TEST(CAttrValue, AssignmentsKeepTheOwnerBits) {
    CAttrValue v;
    v.setQueued(true);
    v.setHandler(nullptr);
    v.setText(CString("x"));
    v.setInt(3);
    v.setText(CString());
    EXPECT_TRUE(v.isQueued());
    EXPECT_TRUE(v.isHandlerLooked());
    EXPECT_EQ(v.type(), CAttrValue::kNone);
}

TEST(CAttrValue, CopyTypedTakesTheSourceRepresentationsAndKeepsOwnBits) {
    CAttrValue source = fromText(CString("12"));
    EXPECT_EQ(str(source.asText()), "12");
    source.setQueued(true);  // the source's owner bits do not travel
    CAttrValue target;
    target.setHandler(nullptr);
    target.copyTyped(source);
    EXPECT_EQ(target.type(), CAttrValue::kInt);
    EXPECT_EQ(target.flags(), CAttrValue::kValidInt | CAttrValue::kValidText | CAttrValue::kHandlerLooked);
    EXPECT_EQ(target.asInt(), 12);
    EXPECT_EQ(str(target.asText()), "12");
}

TEST(CAttrValue, WarmCachesCachesEverySuccessfulConversion) {
    CAttrValue text = fromText(CString("2.5"));
    text.warmCaches();
    EXPECT_EQ(text.flags(), CAttrValue::kValidText | CAttrValue::kValidReal | CAttrValue::kValidBool);
    CAttrValue i = fromText(CString("9"));
    i.warmCaches();
    EXPECT_EQ(i.flags() & CAttrValue::kValidBits, 0x0f);
}
