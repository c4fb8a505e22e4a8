#include "Other/CTextReaderLine.h"

#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

// Every line of the file in the given encoding, with the last terminator.
std::vector<std::vector<std::uint32_t>> readAll(const std::string& bytes, int type, int window, int* lastTerminator = nullptr) {
    test::TempFolder tmp;
    test::writeWholeFile(tmp.file("t"), bytes);
    CTextReaderLine r;
    EXPECT_EQ(r.open(CString(tmp.file("t").c_str()), type, window), nullptr);
    std::vector<std::vector<std::uint32_t>> lines;
    for (int guard = 0; guard < 1000; ++guard) {
        CString line;
        int terminator = -1;
        EXPECT_EQ(r.readLine(line, terminator), nullptr);
        std::vector<std::uint32_t> chars;
        for (int i = 0; i < line.length(); ++i)
            chars.push_back(line.charAt(i));
        lines.push_back(chars);
        if (terminator == 0) {
            if (lastTerminator)
                *lastTerminator = terminator;
            break;
        }
    }
    return lines;
}

using Lines = std::vector<std::vector<std::uint32_t>>;

TEST(CTextReaderLine, DecodesEachEncodingAcrossSmallWindows) {
    struct Case {
        const char* name;
        std::string bytes;
        int type;
        Lines lines;
    };
    const Case cases[] = {
        {"utf8", "a\xC3\xA9\r\n\xE2\x82\xAC" "b\n", 0, {{'a', 0xE9}, {0x20AC, 'b'}, {}}},
        {"utf8 stray bytes skipped", "a\x80\xFF" "b", 0, {{'a', 'b'}}},
        {"utf8 cut at the end", "ab\xE2\x82", 0, {{'a', 'b'}}},
        {"utf8 surrogate lead skipped", "a\xED\xB0\x80" "b", 0, {{'a', 'b'}}},
        {"bytes", "a\xE9\n", 1, {{'a', 0xE9}, {}}},
        {"16-bit with odd trailing byte", std::string("\xFF\xFE" "A\0\n\0B\0x", 9), 2, {{0xFEFF, 'A'}, {'B'}}},
        {"32-bit with trailing bytes", std::string("\xAC\x20\0\0\x01\x02", 6), 3, {{0x20AC}}},
    };
    for (const Case& c : cases) {
        for (const int window : {4, 5, 16384}) {
            SCOPED_TRACE(std::string(c.name) + " window " + std::to_string(window));
            EXPECT_EQ(readAll(c.bytes, c.type, window), c.lines);
        }
    }
}

TEST(CTextReaderLine, LongLinesGrowAndWidenOnlyWhenNeeded) {
    std::string text(5000, 'x');
    text += "\xE2\x82\xAC\n";
    const Lines lines = readAll(text, 0, 64);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].size(), 5001u);
    EXPECT_EQ(lines[0].back(), 0x20ACu);
}

} // namespace
} // namespace tal
