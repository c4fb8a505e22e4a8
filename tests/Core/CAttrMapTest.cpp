#include "Core/CAttrMap.h"

#include <gtest/gtest.h>

#include <string>

using namespace tal;

// The lookup by 8-bit literal must find exactly what the lookup by CString finds, for keys that are
// prefixes of one another, keys with bytes above 127 and keys held in 32-bit characters.
TEST(CAttrMap, LiteralLookupAgreesWithStringLookup) {
    CAttrMap map;
    const char* keys[] = {"a", "ab", "abc", "b", "ba", "\xE9t\xE9", "z-index", "is-q", "is-qq"};
    for (const char* k : keys) map.findOrAdd(k)->value.setText(CString(k));
    CString wide("wide");
    wide.widen(wide.length());
    map.findOrAdd(wide);
    const char* probes[] = {"", "a", "ab", "abc", "abcd", "aa", "b", "ba", "bb", "c", "\xE9t\xE9", "\xE9",
                            "z-index", "z-inde", "is-q", "is-qq", "is-", "wide", "wid", "wides"};
    for (const char* p : probes) {
        SCOPED_TRACE(std::string("'") + p + "'");
        EXPECT_EQ(map.find(p), map.find(CString(p)));
        EXPECT_EQ(map.findValue(p), map.findValue(CString(p)));
    }
    EXPECT_NE(map.find("wide"), nullptr);
}

TEST(CAttrMap, NewEntryHasTypeNoneAndNoFlags) {
    CAttrMap map;
    CAttrValue& v = map.findOrAdd("x")->value;
    EXPECT_EQ(v.type(), CAttrValue::kNone);
    EXPECT_EQ(v.flags(), 0);
    EXPECT_EQ(map.findOrAdd(CString("x")), map.find("x"));
    EXPECT_EQ(map.count(), 1);
}
