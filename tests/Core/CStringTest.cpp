#include "Core/CString.h"
#include "Core/CStringList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tal;

namespace {

// A 32-bit string holding the given code points.
CString wide(std::initializer_list<char32_t> chars) {
    CString s;
    s.widen(0);
    s.setLength(int(chars.size()), false);
    int i = 0;
    for (char32_t c : chars)
        s.chars32()[i++] = c;
    return s;
}

CString wide(const char* ascii) {
    CString s(ascii);
    s.widen(s.length());
    return s;
}

std::vector<std::uint32_t> codePoints(const CString& s) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < s.length(); ++i)
        out.push_back(s.charAt(i));
    return out;
}

std::vector<std::string> pieces(const CStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i) {
        std::string piece;
        for (int k = 0; k < list[i].length(); ++k)
            piece += char(list[i].charAt(k));
        out.push_back(piece);
    }
    return out;
}

int sign(int x) { return (x > 0) - (x < 0); }

} // namespace

TEST(CString, DefaultIsEmptyInline8Bit) {
    const CString s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_TRUE(s.isInline());
    EXPECT_FALSE(s.isWide());
    EXPECT_EQ(s.chars8()[0], 0);
    EXPECT_TRUE(CString::emptyString.isEmpty());
}

TEST(CString, InlineUpTo27BytesThenExactHeapBlock) {
    const CString s26(std::string(26, 'a').c_str()), s27(std::string(27, 'a').c_str());
    EXPECT_TRUE(s26.isInline());
    EXPECT_FALSE(s27.isInline());
    EXPECT_EQ(s27.heapCapacity(), 28);
    EXPECT_TRUE(wide("abcde").isInline());
    const CString w6 = wide("abcdef");
    EXPECT_FALSE(w6.isInline());
    EXPECT_EQ(w6.heapCapacity(), 28);
    // A copy is exact-size: no growth slack is carried.
    CString grown(std::string(27, 'b').c_str());
    grown.setLength(29, true);
    EXPECT_EQ(grown.heapCapacity(), 45);
    EXPECT_EQ(CString(grown).heapCapacity(), 30);
}

TEST(CString, SetLengthGrowsByAQuarterPlusAConstant) {
    CString s(std::string(27, 'x').c_str());                  // 8-bit heap, capacity 28
    s.setLength(29, true);
    EXPECT_EQ(s.heapCapacity(), 30 + 28 / 4 + 8);             // 45
    s.setLength(44, true);
    EXPECT_EQ(s.heapCapacity(), 45);                          // fits: nothing allocated
    EXPECT_EQ(s.chars8()[26], 'x');
    EXPECT_EQ(s.chars8()[44], 0);

    CString w = wide("abcdef");                               // 32-bit heap, capacity 28
    w.setLength(7, true);
    EXPECT_EQ(w.heapCapacity(), 32 + (28 / 4 / 4 * 4) + 32);  // 68
    EXPECT_EQ(w.charAt(5), U'f');
    EXPECT_EQ(w.charAt(7), 0u);
}

TEST(CString, SetLengthKeepPreservesAndNoKeepMayLose) {
    CString kept(std::string(30, 'k').c_str());
    kept.setLength(200, true);
    EXPECT_EQ(std::string(kept.chars8(), 30), std::string(30, 'k'));
    // Shrinking never returns to the inline buffer or shrinks the block.
    kept.setLength(3, false);
    EXPECT_FALSE(kept.isInline());
    EXPECT_GE(kept.heapCapacity(), 201);
    EXPECT_STREQ(kept.chars8(), "kkk");
}

TEST(CString, AssignmentTakesSourceModeAndKeepsStorage) {
    CString target(std::string(40, 't').c_str());
    const int capacity = target.heapCapacity();
    target = wide("ab");
    EXPECT_TRUE(target.isWide());
    EXPECT_EQ(codePoints(target), (std::vector<std::uint32_t>{'a', 'b'}));
    EXPECT_EQ(target.heapCapacity(), capacity);
    target = CString("xyz");
    EXPECT_FALSE(target.isWide());
    EXPECT_STREQ(target.chars8(), "xyz");
    EXPECT_EQ(target.heapCapacity(), capacity);
}

TEST(CString, AppendWidensWhenEitherSideIsWide) {
    CString s("h\xE9");
    s.append(wide({0x141, 'x'}));
    EXPECT_TRUE(s.isWide());
    EXPECT_EQ(codePoints(s), (std::vector<std::uint32_t>{'h', 0xE9, 0x141, 'x'}));
    CString w = wide({0x3A9});
    w.append(CString("\xFF"));
    EXPECT_EQ(codePoints(w), (std::vector<std::uint32_t>{0x3A9, 0xFF}));
    CString self("abc");
    self.append(self);
    EXPECT_STREQ(self.chars8(), "abcabc");
}

TEST(CString, ConcatenatingConstructorKeepsFirstMode) {
    const CString w(wide({0x100}), "ab");
    EXPECT_TRUE(w.isWide());
    EXPECT_EQ(codePoints(w), (std::vector<std::uint32_t>{0x100, 'a', 'b'}));
    EXPECT_STREQ(CString(CString("x"), "yz").chars8(), "xyz");
}

TEST(CString, Substrings) {
    const CString abc("abc");
    EXPECT_STREQ(CString(abc, 2, -1).chars8(), "c");
    EXPECT_TRUE(CString(abc, 3, -1).isEmpty());
    EXPECT_STREQ(CString(abc, 1, 99).chars8(), "bc");
    const CString w = wide({0x141, 'b', 'c'});
    EXPECT_TRUE(CString(w, 0, 2).isWide());
    const CString empty(w, 3, -1);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isWide());
}

TEST(CString, NarrowedKeepsLowByte) {
    const CString n = wide({0x141, 'a'}).narrowed();
    EXPECT_FALSE(n.isWide());
    EXPECT_EQ(codePoints(n), (std::vector<std::uint32_t>{0x41, 'a'}));
}

// Equal texts compare equal in every mix of modes; the order is the code point order with a proper
// prefix first, over the stored lengths (embedded zeros included).
TEST(CString, CompareStringsAcrossModes) {
    struct Case { const char* a; const char* b; int expected; };
    const Case cases[] = {{"abc", "abc", 0}, {"ab", "abc", -1}, {"abd", "abc", 1},
                          {"", "a", -1},     {"\xE9", "z", 1},  {"B", "a", -1}};
    for (const Case& c : cases)
        for (int mode = 0; mode < 4; ++mode) {
            SCOPED_TRACE(std::string(c.a) + " vs " + c.b + " mode " + std::to_string(mode));
            const CString a = (mode & 1) ? wide(c.a) : CString(c.a);
            const CString b = (mode & 2) ? wide(c.b) : CString(c.b);
            EXPECT_EQ(sign(compareStrings(a, b)), c.expected);
            EXPECT_EQ(sign(compareStrings(b, a)), -c.expected);
        }
    EXPECT_GT(compareStrings(wide({0x141}), CString("\xFF")), 0);
}

TEST(CString, CompareStringsIsAStrictOrderWithEmbeddedZeros) {
    const CString a("a"), ab(CString("a\0b", 3)), ac(CString("a\0c", 3));
    EXPECT_LT(compareStrings(a, ab), 0);    // a proper prefix first
    EXPECT_LT(compareStrings(ab, ac), 0);
    EXPECT_LT(compareStrings(a, ac), 0);
    const CString wab = wide({'a', 0, 'b'});
    EXPECT_EQ(compareStrings(ab, wab), 0);
    EXPECT_LT(compareStrings(a, wab), 0);
}

TEST(CString, SplitTable) {
    struct Case { const char* text; bool skipEmpty; std::vector<std::string> expected; };
    const Case cases[] = {
        {"a,b", false, {"a", "b"}},   {"a,,b", false, {"a", "", "b"}}, {"a,", false, {"a", ""}},
        {",", false, {"", ""}},       {"abc", false, {"abc"}},         {"", false, {}},
        {"a,,b", true, {"a", "b"}},   {",", true, {}},                 {",a,", true, {"a"}},
    };
    for (const Case& c : cases)
        for (bool isWide : {false, true}) {
            SCOPED_TRACE(std::string(c.text) + (isWide ? " wide" : " 8-bit"));
            CStringList list;
            (isWide ? wide(c.text) : CString(c.text)).split(list, ',', c.skipEmpty, true);
            EXPECT_EQ(pieces(list), c.expected);
        }
}

TEST(CString, SplitAppendsUnlessClearFirstAndIgnoresWideSeparatorIn8Bit) {
    CStringList list;
    list.add("old");
    CString("x;y").split(list, ';', false, false);
    EXPECT_EQ(pieces(list), (std::vector<std::string>{"old", "x", "y"}));
    CString("a\x41" "b").split(list, 0x141, false, true);   // 0x141 is not an 8-bit character
    EXPECT_EQ(pieces(list), (std::vector<std::string>{"aAb"}));
    wide({'a', 0x141, 'b'}).split(list, 0x141, false, true);
    EXPECT_EQ(list.count(), 2);
}

TEST(CString, TrimRemovesOnlySpaceTabCrLf) {
    EXPECT_STREQ(CString("\tx \r\n").trim().chars8(), "x");
    EXPECT_STREQ(CString("\vx\f").trim().chars8(), "\vx\f");
    EXPECT_TRUE(CString(" \t ").trim().isEmpty());
    const CString w = wide({' ', 0x141, ' '}).trim();
    EXPECT_EQ(codePoints(w), (std::vector<std::uint32_t>{0x141}));
    EXPECT_FALSE(wide("  ").trim().isWide());
}

TEST(CString, ToLowerChangesOnlyAsciiLetters) {
    EXPECT_EQ(codePoints(CString("\xC4" "B@[Z").toLower()), (std::vector<std::uint32_t>{0xC4, 'b', '@', '[', 'z'}));
    const CString w = wide({'Q', 0xC4, 0x141, 0x10FFFF}).toLower();
    EXPECT_TRUE(w.isWide());
    EXPECT_EQ(codePoints(w), (std::vector<std::uint32_t>{'q', 0xC4, 0x141, 0x10FFFF}));
    EXPECT_TRUE(wide("").toLower().isWide());
}

TEST(CString, SplitAtColon) {
    CString head("keep"), tail;
    CString("a:b:c").splitAtColon(head, tail);
    EXPECT_STREQ(head.chars8(), "a");
    EXPECT_STREQ(tail.chars8(), "b:c");
    CString("none").splitAtColon(head, tail);
    EXPECT_TRUE(head.isEmpty());
    EXPECT_STREQ(tail.chars8(), "none");
    wide({0x141, ':', 'x'}).splitAtColon(head, tail);
    EXPECT_EQ(codePoints(head), (std::vector<std::uint32_t>{0x141}));
    EXPECT_EQ(codePoints(tail), (std::vector<std::uint32_t>{'x'}));
}

TEST(CString, FindAndFindLast) {
    const CString s("xaya");
    const CString a("a");
    EXPECT_EQ(s.find(a, 2), 3);
    EXPECT_EQ(s.find(a, 4), -1);
    EXPECT_EQ(s.findLast(a, -1), 3);
    EXPECT_EQ(s.findLast(a, 2), 1);
    EXPECT_EQ(s.find(CString(), 0), -1);
    EXPECT_EQ(wide("xaya").find(CString("ya"), 0), 2);
    EXPECT_EQ(s.findLast(wide("xa"), -1), 0);
}

TEST(CString, ReplaceAppendSubAndAppendChar) {
    CString s("abcd");
    s.replace(1, 2, CString("X"));
    EXPECT_STREQ(s.chars8(), "aXd");
    s.replace(10, 0, CString("!"));
    EXPECT_STREQ(s.chars8(), "aXd!");
    CString t("1");
    t.appendSub(CString("2345"), 1, 2).appendSub(CString("6"), 5, 1).appendChar('7');
    EXPECT_STREQ(t.chars8(), "1347");
    CString w = wide({0x141});
    w.appendChar('\xFF');
    EXPECT_EQ(w.charAt(1), 0xFFFFFFFFu);   // a sign-extended 8-bit character
    EXPECT_STREQ((CString("ab") + CString("cd")).chars8(), "abcd");
}

TEST(CString, MoveLeavesAnEmptyUsableSource) {
    CString a(std::string(60, 'm').c_str());
    const char* block = a.chars8();
    CString b(static_cast<CString&&>(a));
    EXPECT_EQ(b.chars8(), block);
    EXPECT_TRUE(a.isEmpty());
    a.append(CString("again"));
    EXPECT_STREQ(a.chars8(), "again");
}
