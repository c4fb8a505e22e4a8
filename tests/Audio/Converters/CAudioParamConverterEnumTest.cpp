#include "Audio/Converters/CAudioParamConverterEnum.h"

#include "Audio/CAudioParamInfo.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

class EnumConverter : public ::testing::Test {
protected:
    void SetUp() override {
        enumeration = tree.converter<CAudioParamConverterEnum>("enum");
        enable = tree.converter<CAudioParamConverterEnum>("enum-enable");
        ASSERT_NE(enumeration, nullptr);
        ASSERT_NE(enable, nullptr);
        enableInfo.setRange(0, 0.0, 1.0);
        filterType.setRange(0, 0.0, 24.0);
        ASSERT_EQ(takeMessage(filterType.parseStateNames(
                      CString("Off;Peaking;Lo-shelf|Lo-shlf;Hi-shelf|Hi-shlf;Lo-pass 6|LP6;Lo-pass 12|LP12;Lo-pass 24|LP24;"
                              "Lo-pass 48|LP48;Hi-pass 6|HP6;Hi-pass 12|HP12;Hi-pass 24|HP24;Hi-pass 48|HP48;Notch;"
                              "Bandpass|BPass"))),
                  "");
    }
    CParamTestTree tree;
    CAudioParamConverterEnum* enumeration = nullptr;
    CAudioParamConverterEnum* enable = nullptr;
    CAudioParamInfo enableInfo, filterType;
};

TEST_F(EnumConverter, OwnStateNamesAndBooleanWords) {
    EXPECT_TRUE(enable->isBoolean());
    for (int mode : {kPrecisionCompact, kPrecisionNormal, kPrecisionPrecise}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(textOf(enable->formatValue(enableInfo, 0, nullptr, mode, 0.0)), "Off");
        EXPECT_EQ(textOf(enable->formatValue(enableInfo, 0, nullptr, mode, 1.0)), "On");
    }
    struct Case {
        const char* text;
        double value;
        bool ok;
    } cases[] = {{"On", 1, true},   {"ON", 1, true},      {"true", 1, true}, {" off ", 0, true}, {"FALSE", 0, true},
                 {"1", 1, true},    {"maybe", 0, false}, {"", 0, false},    {"7", 1, true}};   // 7: clamped
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool ok = !c.ok;
        EXPECT_DOUBLE_EQ(enable->parseText(enableInfo, 0, CString(c.text), &ok), c.value);
        EXPECT_EQ(ok, c.ok);
    }
}

TEST_F(EnumConverter, DefinitionStateNamesInEachPrecision) {
    struct Case {
        int mode;
        double value;
        const char* text;
    } cases[] = {
        {kPrecisionPrecise, 13, "Bandpass"}, {kPrecisionNormal, 13, "BPass"},   {kPrecisionCompact, 13, "BPa"},
        {kPrecisionNormal, 20, "Reserve"},   {kPrecisionCompact, 20, "Rsv"},    {kPrecisionNormal, 1, "Peaking"},
        {kPrecisionNormal, 2.4, "Lo-shlf"},  {kPrecisionPrecise, 2, "Lo-shelf"}, {kPrecisionNormal, -1, "Reserve"},
        {kPrecisionCompact, -1, "Rsv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.value);
        EXPECT_EQ(textOf(enumeration->formatValue(filterType, 0, nullptr, c.mode, c.value)), c.text);
    }
}

TEST_F(EnumConverter, ReadsNumbersFullNamesAndShortNames) {
    struct Case {
        const char* text;
        double value;
        bool ok;
    } cases[] = {
        {"lo-shlf", 2, true},     {"Lo-Shelf", 2, true},   {"  notch ", 12, true},
        {"PeakingXYZ", 1, true},  // longer than 7: compared with the short names by its first 7 characters
        {"BPass", 13, true},      {"5", 5, true},          {"#5", 5, true},   {"0x0C", 12, true},
        {"30", 24, true},         {"unknown", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool ok = !c.ok;
        EXPECT_DOUBLE_EQ(enumeration->parseText(filterType, 0, CString(c.text), &ok), c.value);
        EXPECT_EQ(ok, c.ok);
    }
}

TEST_F(EnumConverter, NamesCountFromTheRoundedMinimumWhenParsingAndFromZeroWhenRaw) {
    CAudioParamInfo shifted;
    shifted.setRange(0, 2.0, 10.0);
    shifted.addStateName(CString("Slow"), CString("Slow"));
    shifted.addStateName(CString("Fast"), CString("Fast"));
    EXPECT_DOUBLE_EQ(enumeration->parseText(shifted, 0, CString("fast"), nullptr), 3.0);
    EXPECT_DOUBLE_EQ(enumeration->parseTextRaw(shifted, 0, CString("fast"), nullptr), 1.0);
    EXPECT_DOUBLE_EQ(enumeration->parseText(shifted, 0, CString("other"), nullptr), 2.0);
    EXPECT_EQ(textOf(enumeration->formatValue(shifted, 0, nullptr, kPrecisionPrecise, 3.0)), "Fast");
}

TEST_F(EnumConverter, NumbersWinOverNamesThatLookLikeNumbers) {
    CAudioParamInfo blockSize;
    blockSize.setRange(0, 0.0, 10.0);
    ASSERT_EQ(takeMessage(blockSize.parseStateNames(CString("64;128;256;512;1024;2048;4096;8192;16384;32768;65536"))), "");
    EXPECT_DOUBLE_EQ(enumeration->parseText(blockSize, 0, CString("2048"), nullptr), 10.0);
    EXPECT_EQ(textOf(enumeration->formatValue(blockSize, 0, nullptr, kPrecisionNormal, 5.0)), "2048");
}

TEST_F(EnumConverter, WithoutNamesShowsTheWholeNumber) {
    CAudioParamInfo range;
    range.setRange(0, -3.0, 3.0);
    EXPECT_EQ(textOf(enumeration->formatValue(range, 0, nullptr, kPrecisionNormal, 2.0)), "2");
    EXPECT_EQ(textOf(enumeration->formatValue(range, 0, nullptr, kPrecisionNormal, -2.4)), "-2");
    EXPECT_DOUBLE_EQ(enumeration->toPlain(range, 0, 0.6), 1.0);   // rounded: -3 + 6 x 0.6 = 0.6
    EXPECT_DOUBLE_EQ(enumeration->toNormalized(range, 0, 0.0), 0.5);
}

TEST_F(EnumConverter, StateNamesAttributeSplitsWithoutTrimming) {
    enumeration->attrStateNames(CString("Alpha|A; Beta ;Gamma-ray burst|"));
    const CStringList& full = enumeration->getFullNames();
    const CStringList& shortNames = enumeration->getShortNames();
    ASSERT_EQ(full.count(), 3);
    ASSERT_EQ(shortNames.count(), 3);
    EXPECT_EQ(textOf(full[0]), "Alpha");
    EXPECT_EQ(textOf(shortNames[0]), "A");
    EXPECT_EQ(textOf(full[1]), " Beta ");
    EXPECT_EQ(textOf(shortNames[1]), " Beta ");
    EXPECT_EQ(textOf(full[2]), "Gamma-ray burst|");
    EXPECT_EQ(textOf(shortNames[2]), "Gamma-r");
    enumeration->attrStateNames(CString());   // back to no names for the shared converter
}

// Converters are shared by every instance and called from several threads without a lock.
TEST_F(EnumConverter, ConcurrentParsingAndFormattingAgreeWithOneThread) {
    const char* texts[] = {"lo-shlf", "Notch", "PeakingXYZ", "#5", "unknown", "BPass"};
    std::vector<std::string> expected;
    for (int v = 0; v < 25; ++v)
        for (int mode : {kPrecisionCompact, kPrecisionNormal, kPrecisionPrecise})
            expected.push_back(textOf(enumeration->formatValue(filterType, 0, nullptr, mode, v)));
    for (const char* t : texts)
        expected.push_back(std::to_string(enumeration->parseText(filterType, 0, CString(t), nullptr)));
    auto run = [&](std::vector<std::string>& out) {
        for (int round = 0; round < 50; ++round) {
            out.clear();
            for (int v = 0; v < 25; ++v)
                for (int mode : {kPrecisionCompact, kPrecisionNormal, kPrecisionPrecise})
                    out.push_back(textOf(enumeration->formatValue(filterType, 0, nullptr, mode, v)));
            for (const char* t : texts) out.push_back(std::to_string(enumeration->parseText(filterType, 0, CString(t), nullptr)));
        }
    };
    std::vector<std::string> a, b;
    std::thread first(run, std::ref(a)), second(run, std::ref(b));
    first.join();
    second.join();
    EXPECT_EQ(a, expected);
    EXPECT_EQ(b, expected);
}

} // namespace
} // namespace tal
