#include "Other/CCSVTable.h"

#include "Core/CWriteSeqBuffer.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows rowsOf(const CCSVTable& t) {
    Rows rows;
    for (int r = 0; r < t.rowCount(); ++r) {
        rows.emplace_back();
        for (int i = 0; i < t.row(r).count(); ++i)
            rows.back().push_back(test::utf8Of(t.row(r)[i]));
    }
    return rows;
}

Rows loadText(const std::string& text) {
    test::TempFolder tmp;
    test::writeWholeFile(tmp.file("t.csv"), text);
    CCSVTable t;
    EXPECT_EQ(t.load(CString(tmp.file("t.csv").c_str())), nullptr);
    return rowsOf(t);
}

std::string saved(const Rows& rows) {
    CCSVTable t;
    for (const auto& r : rows) {
        CStringList& row = t.addRow();
        for (const auto& cell : r) {
            CString s;
            s.setUTF8(cell.c_str());
            row.add(s);
        }
    }
    CWriteSeqBuffer out;
    t.save(out);
    std::string bytes(std::size_t(out.getSize()), '\0');
    out.copyTo(bytes.data());
    return bytes;
}

TEST(CCSVTable, ParsesSeparatorsQuotesCommentsAndBlanks) {
    struct Case {
        const char* name;
        std::string text;
        Rows rows;
    };
    const Case cases[] = {
        {"mixed", "a, b ;\"c;d\" ,\"e\"\"f\"\n", {{"a", "b", "c;d", "e\"f"}}},
        {"trailing comma", "x,y,\n", {{"x", "y", ""}}},
        {"only a comma", ",\n", {{"", ""}}},
        {"comment", "1;2 #note\n", {{"1", "2"}}},
        {"hash in quotes", "\"1#2\";3\n", {{"1#2", "3"}}},
        {"unclosed quote takes the rest", "a;\"b,c#d\n", {{"a", "b,c#d"}}},
        {"crlf lines", "a;b\r\nc\r\n", {{"a", "b"}, {"c"}}},
        {"blank line in the middle", "1\n\n2\n", {{"1"}, {""}, {"2"}}},
        {"unterminated last line kept", "a;b\r\nc", {{"a", "b"}, {"c"}}},
        {"empty file", "", {}},
        {"bytes are characters", "\xC3\xA9\n", {{"\xC3\x83\xC2\xA9"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadText(c.text), c.rows);
    }
}

TEST(CCSVTable, LoadAppendsToExistingRowsAndReportsMissingFiles) {
    test::TempFolder tmp;
    test::writeWholeFile(tmp.file("a.csv"), "1;2\n");
    CCSVTable t;
    ASSERT_EQ(t.load(CString(tmp.file("a.csv").c_str())), nullptr);
    ASSERT_EQ(t.load(CString(tmp.file("a.csv").c_str())), nullptr);
    EXPECT_EQ(rowsOf(t), (Rows{{"1", "2"}, {"1", "2"}}));
    const std::vector<std::string> lines = test::takeLines(t.load(CString(tmp.file("missing.csv").c_str())));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Unable to open file '" + tmp.file("missing.csv") + "' for reading (error 2).");
    EXPECT_EQ(lines.back().rfind("Other/CCSVTable( ", 0), 0u);
}

TEST(CCSVTable, SavesSemicolonsQuotesOnlyWhereNeededAndCrlf) {
    EXPECT_EQ(saved({{"1", "2"}}), "1;2\r\n");
    EXPECT_EQ(saved({{"a\"b", "c;d", "e"}}), "\"a\"\"b\";\"c;d\";e\r\n");
    EXPECT_EQ(saved({{}}), "\r\n");
    EXPECT_EQ(saved({{"x#y", ""}, {"\xE2\x82\xAC"}}), "\"x#y\";\r\n\xE2\x82\xAC\r\n");
}

TEST(CCSVTable, SavedTablesLoadBack) {
    const Rows rows = {{"freq", "gain"}, {"20", "-3.5"}, {"a;b", "q\"q"}, {"", "x,y"}};
    test::TempFolder tmp;
    test::writeWholeFile(tmp.file("r.csv"), saved(rows));
    CCSVTable t;
    ASSERT_EQ(t.load(CString(tmp.file("r.csv").c_str())), nullptr);
    EXPECT_EQ(rowsOf(t), rows);
}

TEST(CCSVTable, SortsByTheNumberInAColumnKeepingTies) {
    CCSVTable t;
    const char* cells[][2] = {{"r3", "3"}, {"rx", "x"}, {"r15", "1.5"}, {"short", nullptr}, {"r-1", "-1e0"}};
    for (const auto& c : cells) {
        CStringList& row = t.addRow();
        row.add(c[0]);
        if (c[1])
            row.add(c[1]);
    }
    t.sortByColumn(1, true);
    EXPECT_EQ(rowsOf(t), (Rows{{"r-1", "-1e0"}, {"rx", "x"}, {"short"}, {"r15", "1.5"}, {"r3", "3"}}));
    t.sortByColumn(1, false);
    EXPECT_EQ(rowsOf(t), (Rows{{"r3", "3"}, {"r15", "1.5"}, {"rx", "x"}, {"short"}, {"r-1", "-1e0"}}));
    CCSVTable empty;
    empty.sortByColumn(0, true);
    EXPECT_EQ(empty.rowCount(), 0);
}

} // namespace
} // namespace tal
