#include "Core/CTextReader.h"

#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tal;
using ::testing::MatchesRegex;

namespace {

CTextReader* openText(CTextReader& reader, const std::string& text, bool commentsOff = false,
                      int encoding = CTextReader::kUTF8) {
    reader.openBuffer(CString("f.txt"), text.data(), text.size(), commentsOff, encoding);
    return &reader;
}

// Every character readChar gives until the end, or the error's message.
std::u32string readAll(CTextReader& reader, std::string* error = nullptr) {
    std::u32string out;
    for (;;) {
        std::uint32_t c = 0;
        if (CError* e = reader.readChar(c)) {
            if (error != nullptr)
                *error = e->line(0).chars8();
            delete e;
            return out;
        }
        if (c == 0)
            return out;
        out.push_back(char32_t(c));
    }
}

std::string messageOf(CError* error) {
    if (error == nullptr)
        return "ok";
    std::string message = error->line(0).chars8();
    delete error;
    return message;
}

std::u32string wideOf(const CString& s) {
    std::u32string out;
    for (int i = 0; i < s.length(); ++i)
        out.push_back(char32_t(s.charAt(i)));
    return out;
}

} // namespace

struct ColumnCase { const char* text; int column; };
class CTextReaderColumn : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(CTextReaderColumn, LeadingBlanksAreSkippedAndTabsReachMultiplesOfFour) {
    CTextReader reader;
    openText(reader, GetParam().text);
    std::uint32_t c = 0;
    ASSERT_EQ(reader.readChar(c), nullptr);
    EXPECT_EQ(c, std::uint32_t('x'));
    EXPECT_EQ(reader.getLine(), 1);
    EXPECT_EQ(reader.getColumn(), GetParam().column);
}
INSTANTIATE_TEST_SUITE_P(Indents, CTextReaderColumn, ::testing::Values(
    ColumnCase{"x", 1}, ColumnCase{"  x", 3}, ColumnCase{"\tx", 5}, ColumnCase{"\t\tx", 9},
    ColumnCase{" \tx", 5}, ColumnCase{"\t x", 6}, ColumnCase{"   \tx", 5}));

TEST(CTextReader, LinesAndColumnsFollowTheText) {
    CTextReader reader;
    openText(reader, "ab\r\n  c\n\nd");
    std::vector<std::tuple<char32_t, int, int>> seen;
    for (;;) {
        std::uint32_t c = 0;
        ASSERT_EQ(reader.readChar(c), nullptr);
        if (c == 0)
            break;
        seen.emplace_back(char32_t(c), reader.getLine(), reader.getColumn());
    }
    const std::vector<std::tuple<char32_t, int, int>> expected = {
        {U'a', 1, 1}, {U'b', 1, 2}, {U'\n', 1, 3}, {U'c', 2, 3}, {U'\n', 2, 4}, {U'\n', 3, 1}, {U'd', 4, 1}};
    EXPECT_EQ(seen, expected);
}

struct TextCase { const char* text; std::u32string chars; const char* error; };
class CTextReaderChars : public ::testing::TestWithParam<TextCase> {};

TEST_P(CTextReaderChars, CommentsAndEscapesResolve) {
    const TextCase& c = GetParam();
    CTextReader reader;
    openText(reader, c.text);
    std::string error = "ok";
    EXPECT_EQ(readAll(reader, &error), c.chars);
    EXPECT_EQ(error, c.error);
}
INSTANTIATE_TEST_SUITE_P(Text, CTextReaderChars, ::testing::Values(
    TextCase{"a// note\nb", U"ab", "ok"},                       // the comment and its newline vanish
    TextCase{"a//\nb", U"ab", "ok"},
    TextCase{"a/* x\n y */b", U"ab", "ok"},
    TextCase{"a/* x\n */   b", U"ab", "ok"},                    // after a block comment: line start again
    TextCase{"a/b", U"a/b", "ok"},
    TextCase{"a/", U"a/", "ok"},
    TextCase{"a /* x", U"a ", "Unfinished comment (file 'f.txt', line 1, pos 3)."},
    TextCase{"\\n\\t\\b\\r", U"\n\t\b\r", "ok"},
    TextCase{"\\u0041\\U0001F600", U"A\U0001F600", "ok"},
    TextCase{"\\x4ag", U"Jg", "ok"},
    TextCase{"\\q\\\\", U"q\\", "ok"},
    TextCase{"a\\\nb", U"ab", "ok"},                             // line continuation
    TextCase{"a\\ \nb", U"ab", "ok"},
    TextCase{"ab\\", U"ab", "Premature end of file (file 'f.txt', line 1, pos 3)."},
    TextCase{" \\x", U"", "Empty hexadecimal value (file 'f.txt', line 1, pos 2)."},
    TextCase{"\\xg", U"", "Empty hexadecimal value (file 'f.txt', line 1, pos 1)."},
    TextCase{"\\u123\"", U"", "Invalid hexadecimal value (file 'f.txt', line 1, pos 1)."}));

TEST(CTextReader, CommentsOffReadsSlashesAsText) {
    CTextReader reader;
    openText(reader, "a//b/*c*/", true);
    EXPECT_EQ(readAll(reader), U"a//b/*c*/");
}

TEST(CTextReader, EscapedCharacterKeepsTheBackslashPosition) {
    CTextReader reader;
    openText(reader, "ab\\u0041");
    std::uint32_t c = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(reader.readChar(c), nullptr);
    EXPECT_EQ(c, 0x41u);
    EXPECT_EQ(reader.getColumn(), 3);
    EXPECT_TRUE(reader.isEscaped());
}

TEST(CTextReader, PushedBackCharacterComesAgainWithItsPosition) {
    CTextReader reader;
    openText(reader, "ab\ncd");
    std::uint32_t c = 0;
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(reader.readChar(c), nullptr);
    ASSERT_EQ(c, std::uint32_t('c'));
    reader.pushBack(c);
    ASSERT_EQ(reader.readChar(c), nullptr);
    EXPECT_EQ(c, std::uint32_t('c'));
    EXPECT_EQ(reader.getLine(), 2);
    EXPECT_EQ(reader.getColumn(), 1);
    ASSERT_EQ(reader.readChar(c), nullptr);
    EXPECT_EQ(c, std::uint32_t('d'));
    EXPECT_EQ(reader.getColumn(), 2);
}

struct StrCase { const char* text; bool bare; std::u32string value; const char* result; };
class CTextReaderString : public ::testing::TestWithParam<StrCase> {};

TEST_P(CTextReaderString, ParsesQuotedAndBareStrings) {
    const StrCase& c = GetParam();
    CTextReader reader;
    openText(reader, c.text);
    CString text;
    EXPECT_EQ(messageOf(reader.parseStr(text, nullptr, c.bare)), c.result);
    if (std::string(c.result) == "ok") {
        EXPECT_EQ(wideOf(text), c.value);
    }
}
INSTANTIATE_TEST_SUITE_P(Strings, CTextReaderString, ::testing::Values(
    StrCase{"\"abc\" x", false, U"abc", "ok"},
    StrCase{"'a\"b'", false, U"a\"b", "ok"},
    StrCase{"\"a\\\"b\"", false, U"a\"b", "ok"},                // an escaped quote is part of the string
    StrCase{"\"ab\"\"cd\"", false, U"abcd", "ok"},              // adjacent strings join
    StrCase{"\"ab\"'cd'", false, U"ab", "ok"},                   // not in the same quotes
    StrCase{"\"a // b /* c\"", false, U"a // b /* c", "ok"},     // no comments inside a string
    StrCase{"\"\\u0141x\"", false, U"\u0141x", "ok"},
    StrCase{"\"\"", false, U"", "ok"},
    StrCase{"word-1_x rest", true, U"word-1_x", "ok"},
    StrCase{"word", false, U"", "String's starting quote expected (file 'f.txt', line 1, pos 1)."},
    StrCase{"\"ab\ncd\"", false, U"", "Unfinished line when reading string (file 'f.txt', line 1, pos 4)."},
    StrCase{"\"ab", false, U"", "Premature end of file when reading string (file 'f.txt', line 1, pos 3)."}));

TEST(CTextReader, StringAboveLatin1IsWide) {
    CTextReader reader;
    openText(reader, "\"\\u0141\" \"\\u00e9\"");
    CString wide, narrow;
    ASSERT_EQ(reader.parseStr(wide, nullptr, false), nullptr);
    EXPECT_TRUE(wide.isWide());
    std::uint32_t blank = 0;
    ASSERT_EQ(reader.readChar(blank), nullptr);
    ASSERT_EQ(reader.parseStr(narrow, nullptr, false), nullptr);
    EXPECT_FALSE(narrow.isWide());
    EXPECT_EQ(narrow.charAt(0), 0xE9u);
}

TEST(CTextReader, StringPositionIsItsOpeningQuote) {
    CTextReader reader;
    openText(reader, "x\n  'y'");
    std::uint32_t c = 0;
    ASSERT_EQ(reader.readChar(c), nullptr);
    ASSERT_EQ(reader.readChar(c), nullptr);
    CString text;
    CTextReader::Position position;
    ASSERT_EQ(reader.parseStr(text, &position, false), nullptr);
    EXPECT_STREQ(text.chars8(), "y");
    EXPECT_EQ(position.line, 2);
    EXPECT_EQ(position.column, 3);
}

struct IdCase { const char* text; std::uint32_t extra; const char* id; const char* result; };
class CTextReaderId : public ::testing::TestWithParam<IdCase> {};

TEST_P(CTextReaderId, ParsesIdentifiers) {
    const IdCase& c = GetParam();
    CTextReader reader;
    openText(reader, c.text);
    CString id;
    EXPECT_EQ(messageOf(reader.parseId(id, nullptr, c.extra)), c.result);
    if (std::string(c.result) == "ok") {
        EXPECT_STREQ(id.chars8(), c.id);
    }
}
INSTANTIATE_TEST_SUITE_P(Ids, CTextReaderId, ::testing::Values(
    IdCase{"foo_1 bar", 0, "foo_1", "ok"},
    IdCase{"_x+", 0, "_x", "ok"},
    IdCase{"a.b.c;", '.', "a.b.c", "ok"},
    IdCase{"  name", 0, "name", "ok"},                           // line start blanks are skipped
    IdCase{"1abc", 0, "", "Invalid character '49' encountered (file 'f.txt', line 1, pos 1)."},
    IdCase{"+abc", 0, "", "Invalid character '43' encountered (file 'f.txt', line 1, pos 1)."},
    IdCase{"", 0, "", "Premature end of file (file 'f.txt', line 1, pos 0)."}));

TEST(CTextReader, IdentifierHandsBackTheCharacterAfterIt) {
    CTextReader reader;
    openText(reader, "abc=1");
    CString id;
    CTextReader::Position position;
    ASSERT_EQ(reader.parseId(id, &position), nullptr);
    EXPECT_EQ(position.line, 1);
    EXPECT_EQ(position.column, 1);
    EXPECT_STREQ(position.file.chars8(), "f.txt");
    std::uint32_t c = 0;
    ASSERT_EQ(reader.readChar(c), nullptr);
    EXPECT_EQ(c, std::uint32_t('='));
    EXPECT_EQ(reader.getColumn(), 4);
}

TEST(CTextReader, DecodesEveryEncoding) {
    struct Case { std::string bytes; int encoding; std::u32string chars; };
    const auto units16 = [](std::initializer_list<std::uint16_t> u) {
        return std::string(reinterpret_cast<const char*>(std::data(u)), u.size() * 2);
    };
    const auto units32 = [](std::initializer_list<std::uint32_t> u) {
        return std::string(reinterpret_cast<const char*>(std::data(u)), u.size() * 4);
    };
    const Case cases[] = {
        {"a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", CTextReader::kUTF8, U"a\u00E9\u4E2D\U0001F600"},
        {"a\x80" "b", CTextReader::kUTF8, U"ab"},                  // a stray continuation byte is skipped
        {"a\xE4\xB8", CTextReader::kUTF8, U"a"},                   // a sequence cut short ends the text
        {"a\xF4\x90\x80\x80" "b", CTextReader::kUTF8, U"ab"},    // past U+10FFFF: no character
        {"\xE9\xFF", CTextReader::kLatin1, U"\u00E9\u00FF"},
        {units16({'a', 0x4E2D, 0xFFFD}), CTextReader::kUTF16, U"a\u4E2D\uFFFD"},
        {units32({'a', 0x1F600}), CTextReader::kUTF32, U"a\U0001F600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        CTextReader reader;
        openText(reader, c.bytes, false, c.encoding);
        EXPECT_EQ(readAll(reader), c.chars);
    }
}

namespace {
// Records each directive line and fails on "//$fail".
class CDirectiveReader : public CTextReader {
public:
    std::vector<std::string> directives;

protected:
    CError* onDirective() override {
        CString word;
        parseWord(word, nullptr);
        directives.emplace_back(word.chars8());
        if (word.equals("fail"))
            return newError("@talstr_Test_onDirective_Failed Directive failed.");
        return CTextReader::onDirective();
    }
};
} // namespace

TEST(CTextReader, DirectivesGoToTheHandler) {
    CDirectiveReader reader;
    openText(reader, "a\n//$include x\nb");
    EXPECT_EQ(readAll(reader), U"a\nb");
    EXPECT_EQ(reader.directives, std::vector<std::string>{"include"});
}

TEST(CTextReader, DirectiveErrorIsPassedOnWithATraceLine) {
    CDirectiveReader reader;
    openText(reader, "//$fail\nb");
    std::uint32_t c = 0;
    CError* error = reader.readChar(c);
    ASSERT_NE(error, nullptr);
    ASSERT_EQ(error->lineCount(), 3);
    EXPECT_STREQ(error->line(0).chars8(), "Directive failed.");
    EXPECT_THAT(error->line(2).chars8(), MatchesRegex("Core/CTextReader\\( [0-9]+ \\)"));
    delete error;
}

TEST(CTextReader, ReadsAWholeFileAndNamesItInErrors) {
    test::TempFolder folder;
    const std::string path = folder.file("in.txt");
    test::writeWholeFile(path, "x /* open");
    CFileReader file;
    ASSERT_EQ(file.open(CString(path.c_str())), nullptr);
    CTextReader reader;
    ASSERT_EQ(reader.open(file, false, CTextReader::kUTF8), nullptr);
    std::string error;
    EXPECT_EQ(readAll(reader, &error), U"x ");
    EXPECT_EQ(error, "Unfinished comment (file '" + path + "', line 1, pos 3).");
}
