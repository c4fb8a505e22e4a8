#include "Audio/CAudioParamData.h"

#include "Audio/CAudioParamDataItem.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"
#include "support/ParamTestTree.h"
#include "support/RecordBytes.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

CError* loadFrom(CAudioParamData& table, const LeBytes& bytes) {
    CMemoryReader in(bytes.data(), bytes.size());
    return table.load(in);
}

TEST(CAudioParamData, LoadedIdsKeepTheirNumbersAndTheNextIdFollowsTheLargest) {
    CAudioParamData table;
    const LeBytes record = LeBytes().i32(2).i32(7).i32(1).str("seven").i32(3).i32(2).i32(2).raw({0xAB, 0xCD});
    ASSERT_EQ(takeMessage(loadFrom(table, record)), "");
    EXPECT_EQ(table.getLastId(), 7);
    EXPECT_EQ(textOf(table.getString(7)), "seven");
    EXPECT_EQ(table.getRaw(3).size(), 2);
    EXPECT_EQ(table.addString(CString("next")), 8);
}

TEST(CAudioParamData, SavesItemsInAscendingIdOrder) {
    CAudioParamData source;
    // Ids 9, 2, 5 in that order in the record; saving writes them ascending.
    const LeBytes record =
        LeBytes().i32(3).i32(9).i32(1).str("c").i32(2).i32(1).str("a").i32(5).i32(2).raw({0, 0, 0, 0});
    ASSERT_EQ(takeMessage(loadFrom(source, record)), "");
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(source.save(out)), "");
    const LeBytes expected =
        LeBytes().i32(3).i32(2).i32(1).str("a").i32(5).i32(2).i32(0).i32(9).i32(1).str("c");
    EXPECT_EQ(bytesOf(out), expected.bytes());
}

TEST(CAudioParamData, OneBlankReadsAsTheEmptyTextAndAnEmptyTextSavesEmpty) {
    CAudioParamData table;
    ASSERT_EQ(takeMessage(loadFrom(table, LeBytes().i32(2).i32(1).i32(1).str(" ").i32(2).i32(1).str("  "))), "");
    EXPECT_EQ(textOf(table.getString(1)), "");
    EXPECT_EQ(textOf(table.getString(2)), "  ");
    CAudioParamData empty;
    empty.addString(CString());
    CWriteSeqBuffer out;
    ASSERT_EQ(takeMessage(empty.save(out)), "");
    EXPECT_EQ(bytesOf(out), LeBytes().i32(1).i32(1).i32(1).i32(0).bytes());
}

TEST(CAudioParamData, LookupsOfTheWrongTypeGiveEmptyValues) {
    CAudioParamData table;
    const int raw = table.addRaw("xyz", 3);
    const int text = table.addString(CString("name"));
    EXPECT_EQ(textOf(table.getString(raw)), "");
    EXPECT_EQ(table.getRaw(text).size(), 0);
    EXPECT_EQ(table.getRaw(raw).size(), 3);
    EXPECT_EQ(textOf(table.getString(99)), "");
}

TEST(CAudioParamData, CopiesAndMovesItemsBetweenTables) {
    CAudioParamData a, b;
    const int id = a.addString(CString("moved"));
    b.addString(CString("first"));
    const int copied = b.copyItem(id, a, CAudioParamDataItem::kTypeString);
    EXPECT_EQ(copied, 2);
    EXPECT_EQ(textOf(b.getString(copied)), "moved");
    EXPECT_EQ(a.getCount(), 1);   // a copy leaves the source alone
    const int missing = b.copyItem(42, a, CAudioParamDataItem::kTypeRaw);
    ASSERT_NE(b.getItem(missing), nullptr);   // an absent id gives an empty item of the asked type
    EXPECT_EQ(b.getItem(missing)->getType(), CAudioParamDataItem::kTypeRaw);
    const int taken = b.takeItem(id, a);
    EXPECT_EQ(textOf(b.getString(taken)), "moved");
    EXPECT_EQ(a.getCount(), 0);

    CAudioParamData c;
    c.assign(b);
    EXPECT_EQ(c.getLastId(), b.getLastId());
    EXPECT_EQ(textOf(c.getString(copied)), "moved");
    EXPECT_NE(c.getItem(copied), b.getItem(copied));   // deep copy
}

TEST(CAudioParamData, TakingOverABlockLeavesTheSourceEmpty) {
    CAudioParamData table;
    CByteBuffer block("0123456789", 10);
    const int id = table.addRaw(block);
    EXPECT_EQ(block.size(), 0);
    EXPECT_EQ(table.getRaw(id).size(), 10);
}

TEST(CAudioParamData, DamagedRecordsFailAndLeaveTheTableAsItWas) {
    struct Case {
        const char* name;
        LeBytes bytes;
        const char* message;   // empty: only check that it fails
    } cases[] = {
        {"unknown type", LeBytes().i32(2).i32(1).i32(1).str("ok").i32(2).i32(3).i32(0),
         "Unknown data type 3 encountered"},
        {"negative count", LeBytes().i32(-1), "Invalid item count -1."},
        {"id zero", LeBytes().i32(1).i32(0).i32(1).str("x"), "Invalid item id 0."},
        {"truncated payload", LeBytes().i32(1).i32(1).i32(1).i32(100), ""},
        {"huge block length", LeBytes().i32(1).i32(1).i32(2).i32(0x7fffffff), ""},
        {"count beyond the data", LeBytes().i32(1000000), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioParamData table;
        const int kept = table.addString(CString("kept"));
        const std::string message = takeMessage(loadFrom(table, c.bytes));
        EXPECT_NE(message, "");
        if (c.message[0] != 0) {
            EXPECT_EQ(message, c.message);
        }
        EXPECT_EQ(table.getCount(), 1);
        EXPECT_EQ(textOf(table.getString(kept)), "kept");
    }
}

} // namespace
} // namespace tal
