#include "Core/CString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

std::vector<std::uint32_t> charsOf(const CString& s) {
    std::vector<std::uint32_t> v;
    for (int i = 0; i < s.length(); ++i)
        v.push_back(s.charAt(i));
    return v;
}

TEST(CStringSetUTF8, DecodesIntoTheNarrowestMode) {
    struct Case {
        const char* name;
        std::string bytes;
        bool wide;
        std::vector<std::uint32_t> chars;
    };
    const Case cases[] = {
        {"ascii", "abc", false, {'a', 'b', 'c'}},
        {"latin1 stays 8-bit", "\xC3\xA9t\xC3\xA9", false, {0xE9, 't', 0xE9}},
        {"euro widens and keeps earlier characters", "x\xC3\xA9\xE2\x82\xAC" "y", true, {'x', 0xE9, 0x20AC, 'y'}},
        {"four bytes", "\xF0\x9F\x98\x80", true, {0x1F600}},
        {"stray continuation and 0xF8 skipped", "a\x80\xF8" "b", false, {'a', 'b'}},
        // A lead byte whose next bytes are not continuation bytes is skipped; those bytes decode alone.
        {"lead byte without its continuation", "\xC3\x29", false, {')'}},
        {"three-byte lead with one continuation", "\xE2\x82" "AB", false, {'A', 'B'}},
        {"four-byte lead broken at the last byte", "\xF0\x9F\x98" "x", false, {'x'}},
        {"a stray 0xFF between letters", "A\xFF" "B", false, {'A', 'B'}},
        {"cut sequence ends the text", std::string("ab\xE2\x82", 4), false, {'a', 'b'}},
        {"code point 0 ends the text", std::string("a\0b", 3), false, {'a'}},
        {"overlong zero ends the text too", "a\xC0\x80" "b", false, {'a'}},
        // Values the writer cannot encode: the lead byte goes, the following bytes decode alone.
        {"surrogate", "a\xED\xA0\x80" "b", false, {'a', 'b'}},
        {"past U+10FFFF", "x\xF4:Se", false, {'x', ':', 'S', 'e'}},
        {"empty", "", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CString s("something long enough to live on the heap, for reuse");
        s.setUTF8(c.bytes.data(), int(c.bytes.size()));
        EXPECT_EQ(s.isWide(), c.wide);
        EXPECT_EQ(charsOf(s), c.chars);
    }
}

TEST(CStringSetUTF8, LongTextsGrowAndAWideStringBecomesNarrowAgain) {
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "\xC3\xA9";
    text += "\xE2\x82\xAC";
    CString s;
    s.setUTF8(text.c_str());
    ASSERT_EQ(s.length(), 501);
    EXPECT_TRUE(s.isWide());
    EXPECT_EQ(s.charAt(0), 0xE9u);
    EXPECT_EQ(s.charAt(499), 0xE9u);
    EXPECT_EQ(s.charAt(500), 0x20ACu);
    s.setUTF8("plain");
    EXPECT_FALSE(s.isWide());
    EXPECT_TRUE(s.equals("plain"));
}

} // namespace
} // namespace tal
