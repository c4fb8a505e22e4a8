#include "Audio/CAudioParamStorage.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamInfo.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"
#include "support/ParamTestTree.h"
#include "support/RecordBytes.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace tal {
namespace {

constexpr int kFloat = CAudioParamStorage::kTypeFloat;
constexpr int kString = CAudioParamStorage::kTypeString;

CAudioParamChange change(int group, int first, const std::vector<double>& values, bool truncate = false,
                         int elementSize = 1, int dataType = kFloat, const CAudioParamData* table = nullptr) {
    CAudioParamChange c;
    c.group = group;
    c.firstElement = first;
    c.count = int(values.size()) / (dataType == kFloat ? elementSize : 1);
    c.truncate = truncate;
    c.elementSize = elementSize;
    c.dataType = dataType;
    c.values = values.empty() ? nullptr : values.data();
    c.table = table;
    return c;
}

std::vector<double> valuesOf(const CAudioParamStorage& s, int group) {
    const double* v = s.getValues(group);
    return v ? std::vector<double>(v, v + s.getElementCount(group) * s.getElementSize()) : std::vector<double>();
}

std::vector<std::string> textsOf(const CAudioParamStorage& s, int group) {
    std::vector<std::string> texts;
    for (int e = 0; e < s.getElementCount(group); ++e)
        texts.push_back(textOf(s.getData().getString(int(s.getValue(group, e, 0)))));
    return texts;
}

// A string storage whose group 0 holds the given texts.
void fillStrings(CAudioParamStorage& s, const std::vector<std::string>& texts, int group = 0) {
    CAudioParamData table;
    std::vector<double> ids;
    for (const std::string& t : texts) ids.push_back(table.addString(CString(t.c_str())));
    s.applyChange(change(group, 0, ids, true, 1, kString, &table));
}

CError* loadFrom(CAudioParamStorage& s, const std::vector<std::uint8_t>& bytes) {
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    return s.load(in);
}

TEST(CAudioParamStorage, FormatChangeSetsFormatDefaultsAndGroupZero) {
    CAudioParamStorage s;
    const std::vector<double> v = {1.5, 2.5, 3.5};
    s.applyChange(change(CAudioParamChange::kFormatGroup, 0, v, false, 1));
    EXPECT_TRUE(s.isFormatSet());
    EXPECT_EQ(s.getDefaultCount(), 3);
    EXPECT_EQ(valuesOf(s, 0), v);
    EXPECT_EQ(s.getGroupCount(), 1);
}

TEST(CAudioParamStorage, ChangesInAnotherFormatAreIgnored) {
    CAudioParamStorage s;
    s.applyChange(change(0, 0, {1.0}));   // no format yet
    EXPECT_EQ(s.getGroupCount(), 0);
    s.setFormat(1, kFloat, false, false);
    s.applyChange(change(0, 0, {1.0, 2.0}, false, 2));   // element size differs
    CAudioParamChange layout = change(0, 0, {1.0});
    layout.singleGroup = true;
    s.applyChange(layout);
    EXPECT_EQ(s.getGroupCount(), 0);
    s.applyChange(change(0, 0, {4.0}));
    EXPECT_EQ(valuesOf(s, 0), std::vector<double>{4.0});
}

TEST(CAudioParamStorage, WritesOverwritesGrowsAndTruncates) {
    struct Case {
        const char* name;
        int first;
        std::vector<double> values;
        bool truncate;
        std::vector<double> expected;
    } cases[] = {
        {"overwrite inside", 1, {9, 8}, false, {0, 9, 8, 3, 4}},
        {"overwrite and truncate", 1, {9}, true, {0, 9}},
        {"truncate to one", 0, {7}, true, {7}},
        {"grow at the end", 4, {9, 8}, false, {0, 1, 2, 3, 9, 8}},
        {"gap takes defaults", 7, {9}, false, {0, 1, 2, 3, 4, -1, -1, 9}},
        {"empty truncating change", 2, {}, true, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioParamStorage s;
        s.applyChange(change(CAudioParamChange::kFormatGroup, 0, {-1.0}));
        s.applyChange(change(0, 0, {0, 1, 2, 3, 4}, true));
        s.applyChange(change(0, c.first, c.values, c.truncate));
        EXPECT_EQ(valuesOf(s, 0), c.expected);
    }
}

TEST(CAudioParamStorage, NewGroupsAreEmptyAndGapsUseTheDefaultRowPerElement) {
    CAudioParamStorage s;
    s.applyChange(change(CAudioParamChange::kFormatGroup, 0, {10, 11, 20, 21}, false, 2));
    s.applyChange(change(2, 3, {5, 6}, false, 2));
    EXPECT_EQ(s.getGroupCount(), 3);
    EXPECT_EQ(s.getElementCount(1), 0);
    // Elements 0 and 1 take the row's elements, element 2 is beyond the row and takes element 0.
    EXPECT_EQ(valuesOf(s, 2), (std::vector<double>{10, 11, 20, 21, 10, 11, 5, 6}));
}

TEST(CAudioParamStorage, TruncatingAStringGroupReleasesTheRemovedItems) {
    CAudioParamStorage s;
    s.setFormat(1, kString, false, false);
    fillStrings(s, {"a", "b", "c", "d", "e"});
    EXPECT_EQ(s.getData().getCount(), 5);
    CAudioParamData table;
    const std::vector<double> one = {double(table.addString(CString("z")))};
    s.applyChange(change(0, 0, one, true, 1, kString, &table));
    EXPECT_EQ(textsOf(s, 0), std::vector<std::string>{"z"});
    EXPECT_EQ(s.getData().getCount(), 1);
}

TEST(CAudioParamStorage, StringGapCopiesTheDefaultItem) {
    CAudioParamStorage s;
    CAudioParamData table;
    const std::vector<double> def = {double(table.addString(CString("dflt")))};
    s.applyChange(change(CAudioParamChange::kFormatGroup, 0, def, false, 1, kString, &table));
    CAudioParamData other;
    const std::vector<double> x = {double(other.addString(CString("x")))};
    s.applyChange(change(1, 2, x, false, 1, kString, &other));
    EXPECT_EQ(textsOf(s, 1), (std::vector<std::string>{"dflt", "dflt", "x"}));
    EXPECT_NE(s.getValue(1, 0, 0), s.getValue(1, 1, 0));   // each element owns its item
    s.setGroupCount(1);
    EXPECT_EQ(s.getData().getCount(), 2);   // the default row's item and group 0's
}

TEST(CAudioParamStorage, FloatRecordIsByteExact) {
    CAudioParamStorage s;
    s.setFormat(2, kFloat, false, false);
    s.applyChange(change(0, 0, {1.5, -2.0}, false, 2));
    s.applyChange(change(1, 0, {}, false, 2));
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(s.save(out)), "");
    const LeBytes expected = LeBytes().i32(1).i32(2).i32(0).i32(2).i32(1).f64(1.5).f64(-2.0).i32(0);
    EXPECT_EQ(bytesOf(out), expected.bytes());
}

TEST(CAudioParamStorage, StringRecordRenumbersItemsInWritingOrder) {
    CAudioParamStorage s;
    s.setFormat(1, kString, false, false);
    s.getData().addString(CString("spacer"));   // so that the storage's own ids do not start at 1
    fillStrings(s, {"L", "R"}, 1);
    fillStrings(s, {"M"}, 0);
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(s.save(out)), "");
    const LeBytes expected = LeBytes()
                                 .i32(1).i32(1).i32(1).i32(2)                                  // header, 2 groups
                                 .i32(3).i32(1).i32(1).str("M").i32(2).i32(1).str("L").i32(3).i32(1).str("R")
                                 .i32(1).i32(1)                                                // group 0: id 1
                                 .i32(2).i32(2).i32(3);                                        // group 1: ids 2, 3
    EXPECT_EQ(bytesOf(out), expected.bytes());

    CWriteSeqBuffer one;
    ASSERT_EQ(takeMessage(s.save(one, 1)), "");
    const LeBytes expectedOne =
        LeBytes().i32(1).i32(1).i32(1).i32(1).i32(2).i32(1).i32(1).str("L").i32(2).i32(1).str("R").i32(2).i32(1).i32(2);
    EXPECT_EQ(bytesOf(one), expectedOne.bytes());
}

TEST(CAudioParamStorage, RecordsRoundTrip) {
    CAudioParamStorage floats, strings;
    floats.setFormat(1, kFloat, false, false);
    floats.applyChange(change(0, 0, {1, 2, 3}));
    floats.applyChange(change(2, 0, {4}));
    strings.setFormat(1, kString, false, false);
    fillStrings(strings, {"one", "", "three"});
    fillStrings(strings, {"x"}, 1);
    for (CAudioParamStorage* s : {&floats, &strings}) {
        CWriteSeqBuffer out;
        ASSERT_EQ(takeMessage(s->save(out)), "");
        CAudioParamStorage copy;
        copy.setFormat(s->getElementSize(), s->getDataType(), false, false);
        fillStrings(copy, {"old"});
        ASSERT_EQ(takeMessage(loadFrom(copy, bytesOf(out))), "");
        EXPECT_TRUE(copy.equals(*s));
        EXPECT_EQ(copy.getData().getCount(), s->getData().getCount());   // no item left behind
    }
}

TEST(CAudioParamStorage, SavingOneGroupLoadsAsGroupZero) {
    CAudioParamStorage s;
    s.setFormat(1, kFloat, false, false);
    s.applyChange(change(0, 0, {1}));
    s.applyChange(change(2, 0, {7, 8, 9}));
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(s.save(out, 2)), "");
    CAudioParamStorage loaded;
    loaded.setFormat(1, kFloat, false, false);
    ASSERT_EQ(takeMessage(loadFrom(loaded, bytesOf(out))), "");
    EXPECT_EQ(loaded.getGroupCount(), 1);
    EXPECT_EQ(valuesOf(loaded, 0), (std::vector<double>{7, 8, 9}));
    EXPECT_EQ(takeMessage(s.save(out, 3)), "Group 3 does not exist.");
}

TEST(CAudioParamStorage, DamagedRecordLeavesThePreviousValuesUntouched) {
    struct Case {
        const char* name;
        int dataType;
        LeBytes bytes;
        const char* message;   // empty: any error
    } cases[] = {
        {"version 2", kFloat, LeBytes().i32(2).i32(1).i32(0).i32(0), "Unsupported data set version 2."},
        {"other element size", kFloat, LeBytes().i32(1).i32(2).i32(0).i32(0),
         "Unsupported storage format (esize=2, dtype=0; should be: esize=1, dtype=0)."},
        {"other data type", kString, LeBytes().i32(1).i32(1).i32(0).i32(0),
         "Unsupported storage format (esize=1, dtype=0; should be: esize=1, dtype=1)."},
        {"negative group count", kFloat, LeBytes().i32(1).i32(1).i32(0).i32(-1), ""},
        {"huge group count", kFloat, LeBytes().i32(1).i32(1).i32(0).i32(0x7fffffff), ""},
        {"negative element count", kFloat, LeBytes().i32(1).i32(1).i32(0).i32(1).i32(-5), ""},
        {"element count beyond the data", kFloat, LeBytes().i32(1).i32(1).i32(0).i32(1).i32(0x10000000), ""},
        {"second group cut short", kFloat, LeBytes().i32(1).i32(1).i32(0).i32(2).i32(1).f64(5).i32(3).f64(1), ""},
        {"string ids cut short", kString,
         LeBytes().i32(1).i32(1).i32(1).i32(1).i32(1).i32(1).i32(1).str("new").i32(2).i32(1), ""},
        {"bad item type", kString, LeBytes().i32(1).i32(1).i32(1).i32(1).i32(1).i32(1).i32(9), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioParamStorage s;
        s.setFormat(1, c.dataType, false, false);
        if (c.dataType == kFloat) {
            s.applyChange(change(0, 0, {1, 2}));
        } else {
            fillStrings(s, {"keep", "me"});
        }
        CAudioParamStorage before;
        before.assign(s);
        const std::string message = takeMessage(loadFrom(s, c.bytes.bytes()));
        EXPECT_NE(message, "");
        if (c.message[0] != 0) {
            EXPECT_EQ(message, c.message);
        }
        EXPECT_TRUE(s.equals(before));
        EXPECT_EQ(s.getData().getCount(), before.getData().getCount());
    }
}

TEST(CAudioParamStorage, ChangeFormCarriesRenumberedIdsBeforeTheirTable) {
    CAudioParamData table;
    table.addString(CString("unused"));
    const double a = table.addString(CString("A")), b = table.addString(CString("B"));
    const std::vector<double> ids = {b, a};
    CAudioParamChange c = change(3, 1, ids, true, 1, kString, &table);
    c.singleElement = true;
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(CAudioParamStorage::writeChange(c, out)), "");
    const LeBytes expected = LeBytes()
                                 .i32(3).i32(1).i32(2).i32(1).i32(1).i32(1).i32(0).i32(1)
                                 .i32(1).i32(2)
                                 .i32(2).i32(1).i32(1).str("B").i32(2).i32(1).str("A");
    EXPECT_EQ(bytesOf(out), expected.bytes());

    const std::vector<std::uint8_t> bytes = bytesOf(out);
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    CAudioParamChangeBuffer buffer;
    CAudioParamChange read;
    const int sender = 0;
    ASSERT_EQ(takeMessage(CAudioParamStorage::readChange(buffer, in, read, &sender)), "");
    EXPECT_EQ(read.group, 3);
    EXPECT_EQ(read.firstElement, 1);
    EXPECT_EQ(read.count, 2);
    EXPECT_TRUE(read.truncate);
    EXPECT_TRUE(read.singleElement);
    EXPECT_FALSE(read.singleGroup);
    EXPECT_EQ(read.sender, &sender);
    ASSERT_NE(read.values, nullptr);
    EXPECT_EQ(textOf(read.table->getString(int(read.values[0]))), "B");
    EXPECT_EQ(textOf(read.table->getString(int(read.values[1]))), "A");
}

TEST(CAudioParamStorage, FloatChangeFormRoundTripsIntoAStorage) {
    const std::vector<double> v = {0.25, 0.5, 0.75, 1.0};
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(CAudioParamStorage::writeChange(change(CAudioParamChange::kFormatGroup, 0, v, false, 2), out)), "");
    const std::vector<std::uint8_t> bytes = bytesOf(out);
    EXPECT_EQ(bytes.size(), 8 * 4 + 4 * 8u);
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    CAudioParamChangeBuffer buffer;
    CAudioParamChange read;
    ASSERT_EQ(takeMessage(CAudioParamStorage::readChange(buffer, in, read, nullptr)), "");
    CAudioParamStorage s;
    s.applyChange(read);
    EXPECT_EQ(s.getElementSize(), 2);
    EXPECT_EQ(valuesOf(s, 0), v);
    EXPECT_EQ(s.getDefaultCount(), 4);
}

TEST(CAudioParamStorage, DamagedChangeFormsFail) {
    struct Case {
        const char* name;
        LeBytes bytes;
    } cases[] = {
        {"negative count", LeBytes().i32(0).i32(0).i32(-1).i32(0).i32(1).i32(0).i32(0).i32(0)},
        {"count beyond the data", LeBytes().i32(0).i32(0).i32(0x20000000).i32(0).i32(1).i32(0).i32(0).i32(0)},
        {"count times element size overflows",
         LeBytes().i32(0).i32(0).i32(0x10000).i32(0).i32(0x10000).i32(0).i32(0).i32(0)},
        {"element size 0", LeBytes().i32(0).i32(0).i32(1).i32(0).i32(0).i32(0).i32(0).i32(0).f64(1)},
        {"string with element size 2", LeBytes().i32(0).i32(0).i32(1).i32(0).i32(2).i32(1).i32(0).i32(0)},
        {"unknown data type", LeBytes().i32(0).i32(0).i32(1).i32(0).i32(1).i32(5).i32(0).i32(0)},
        {"values cut short", LeBytes().i32(0).i32(0).i32(2).i32(0).i32(1).i32(0).i32(0).i32(0).f64(1)},
        {"negative first element", LeBytes().i32(0).i32(-3).i32(1).i32(0).i32(1).i32(0).i32(0).i32(0).f64(1)},
        // Elements reached beyond what a storage holds (2^20 components), whatever the count.
        {"first element beyond the limit", LeBytes().i32(0).i32(1 << 20).i32(1).i32(0).i32(1).i32(0).i32(0).i32(0).f64(1)},
        {"first element plus count overflows",
         LeBytes().i32(0).i32(0x7FFFFFFF).i32(1).i32(0).i32(1).i32(0).i32(0).i32(0).f64(1)},
        {"reach times element size beyond the limit",
         LeBytes().i32(0).i32(1 << 19).i32(1).i32(0).i32(2).i32(0).i32(0).i32(0).f64(1).f64(2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryReader in(c.bytes.data(), c.bytes.size());
        CAudioParamChangeBuffer buffer;
        CAudioParamChange read;
        EXPECT_NE(takeMessage(CAudioParamStorage::readChange(buffer, in, read, nullptr)), "");
    }
}

class DefValues : public ::testing::Test {
protected:
    // A definition of the given layout with the "real" converter and a wide range per component.
    void define(int elementSize, int dataType) { define(info, elementSize, dataType); }
    static void define(CAudioParamInfo& info, int elementSize, int dataType) {
        info.setLayout(elementSize, dataType, false, false);
        for (int k = 0; k < elementSize; ++k) {
            info.converterNames().add("shared::audio.paramcvt.real");
            info.setRange(k, -1000.0, 1000.0);
        }
        ASSERT_EQ(takeMessage(info.parseConverterNames()), "");
    }
    CParamTestTree tree;
    CAudioParamInfo info;
};

TEST_F(DefValues, FloatTextsTable) {
    struct Case {
        const char* text;
        int elementSize;
        const char* message;
        std::vector<std::vector<double>> groups;
    } cases[] = {
        {"1 2,3 4", 2, "", {{1, 2, 3, 4}}},
        {"1;2", 1, "", {{1}, {2}}},
        {"2,-3e1;7", 1, "", {{2, -30}, {7}}},
        {"5000", 1, "", {{1000}}},   // clamped by the converter
        {"1 2,3", 2, "Not enough default elements at pos 5.", {}},
        {"1 2 3", 2, "Default values parsing error.", {}},
        {"1,x", 1, "Default values parsing error.", {}},
        {"", 1, "Default values parsing error.", {}},
        {"1,", 1, "Default values parsing error.", {}},
        {"1 2", 1, "Default values parsing error.", {}},   // a blank is part of the token
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CAudioParamInfo local;
        define(local, c.elementSize, kFloat);
        CAudioParamStorage s;
        EXPECT_EQ(takeMessage(s.parseDefValues(CString(c.text), local)), c.message);
        if (c.message[0] != 0) continue;
        ASSERT_EQ(s.getGroupCount(), int(c.groups.size()));
        for (int g = 0; g < s.getGroupCount(); ++g) EXPECT_EQ(valuesOf(s, g), c.groups[g]);
        EXPECT_EQ(std::vector<double>(s.getDefaultRow(), s.getDefaultRow() + s.getDefaultCount()), c.groups[0]);
    }
}

TEST_F(DefValues, StringTextsBecomeItems) {
    define(1, kString);
    CAudioParamStorage s;
    ASSERT_EQ(takeMessage(s.parseDefValues(CString("L,R,IN3"), info)), "");
    EXPECT_EQ(textsOf(s, 0), (std::vector<std::string>{"L", "R", "IN3"}));
    ASSERT_EQ(s.getDefaultCount(), 3);
    EXPECT_EQ(textOf(s.getData().getString(int(s.getDefaultRow()[2]))), "IN3");
    EXPECT_NE(s.getDefaultRow()[0], s.getValue(0, 0, 0));   // the row owns copies

    CAudioParamStorage empty;
    ASSERT_EQ(takeMessage(empty.parseDefValues(CString(""), info)), "");
    EXPECT_EQ(textsOf(empty, 0), std::vector<std::string>{""});
}

// A storage takes a definition's defaults: format, default row and groups; one group or the first
// elements only on request; string ids become items of its own table.
TEST_F(DefValues, LoadDefaultsFromInfoTakesGroupsAndElements) {
    define(1, kFloat);
    ASSERT_EQ(takeMessage(info.defaultValues().parseDefValues(CString("1,2,3;4,5;6"), info)), "");
    CAudioParamStorage all;
    all.loadDefaultsFromInfo(info);
    EXPECT_TRUE(all.equals(info.getDefaultValues()));
    EXPECT_EQ(std::vector<double>(all.getDefaultRow(), all.getDefaultRow() + all.getDefaultCount()),
              (std::vector<double>{1, 2, 3}));

    CAudioParamStorage one;
    one.loadDefaultsFromInfo(info, 1, 0);
    ASSERT_EQ(one.getGroupCount(), 2);
    EXPECT_EQ(one.getElementCount(0), 0);
    EXPECT_EQ(valuesOf(one, 1), (std::vector<double>{4}));
    CAudioParamStorage firstTwo;
    firstTwo.loadDefaultsFromInfo(info, -1, 1);
    EXPECT_EQ(valuesOf(firstTwo, 0), (std::vector<double>{1, 2}));
    EXPECT_EQ(valuesOf(firstTwo, 2), (std::vector<double>{6}));

    CAudioParamInfo strings;
    define(strings, 1, kString);
    ASSERT_EQ(takeMessage(strings.defaultValues().parseDefValues(CString("L,R"), strings)), "");
    CAudioParamStorage copy;
    copy.loadDefaultsFromInfo(strings);
    EXPECT_EQ(textsOf(copy, 0), (std::vector<std::string>{"L", "R"}));
    EXPECT_EQ(textOf(copy.getData().getString(int(copy.getDefaultRow()[1]))), "R");

    CArray<double> row;
    row.add(strings.getDefaultValues().getDefaultRow()[0]);
    copy.setDefaultRowFrom(row, strings.getDefaultValues());
    ASSERT_EQ(copy.getDefaultCount(), 1);
    EXPECT_EQ(textOf(copy.getData().getString(int(copy.getDefaultRow()[0]))), "L");
}

TEST_F(DefValues, ClampToRangeAcceptsEitherOrder) {
    define(2, kFloat);
    info.setRange(0, 10.0, -10.0);
    info.setRange(1, 0.0, 1.0);
    CAudioParamStorage s;
    s.setFormat(2, kFloat, false, false);
    s.applyChange(change(0, 0, {-20, 5, 3, -1}, false, 2));
    s.clampToRange(info);
    EXPECT_EQ(valuesOf(s, 0), (std::vector<double>{-10, 1, 3, 0}));
}

TEST_F(DefValues, ClampToRangeGivesNotANumberTheLowerEnd) {
    define(2, kFloat);
    info.setRange(0, 10.0, -10.0);
    info.setRange(1, 0.0, 1.0);
    CAudioParamStorage s;
    s.setFormat(2, kFloat, false, false);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    s.applyChange(change(0, 0, {nan, -nan, inf, -inf}, false, 2));
    s.clampToRange(info);
    EXPECT_EQ(valuesOf(s, 0), (std::vector<double>{-10, 0, 10, 0}));
}

} // namespace
} // namespace tal
