#include "Core/CBuildInfo.h"

#include "Core/ProductIdentity.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

using namespace tal;

namespace {
std::map<std::string, std::string> contents(const CBuildInfo& map) {
    std::map<std::string, std::string> out;
    for (auto* n = map.first(); n != nullptr; n = map.next(n))
        out[n->key.chars8()] = n->value.chars8();
    return out;
}
} // namespace

TEST(CBuildInfo, ParseRules) {
    struct Case { const char* text; std::map<std::string, std::string> expected; };
    const Case cases[] = {
        {"a=1;;b=2", {{"a", "1"}, {"b", "2"}}},   // an empty piece is skipped
        {"flag;c=3", {{"flag", ""}, {"c", "3"}}},  // no "=": empty value
        {"k=v=w", {{"k", "v"}}},                  // the part after a second "=" is dropped
        {"k=1;k=2", {{"k", "2"}}},                // the later occurrence wins
        {"=x", {{"", "x"}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CBuildInfo map;
        map.findOrAdd(CString("stale"));
        parseBuildInfo(map, c.text);
        EXPECT_EQ(contents(map), c.expected);
    }
    CBuildInfo map;
    parseBuildInfo(map, nullptr);
    EXPECT_TRUE(map.isEmpty());
}

TEST(CBuildInfo, ProcessBuildInfoNamesTheBundleAndFormat) {
    const std::string bundle = getBuildInfoValue(CString("_bundle-id")).chars8();
    EXPECT_EQ(bundle.substr(bundle.size() - 12), "vst3.Delmaro");
    EXPECT_STREQ(getBuildInfoValue(CString("_plugin-format")).chars8(), kFormatName);
    EXPECT_TRUE(getBuildInfoValue(CString("no-such-key")).isEmpty());
    std::ostringstream title;   // (not a chain of std::string +, which GCC 12 warns about wrongly)
    title << kVendorName << " " << kProductName << " " << kFormatName << " ";
    EXPECT_EQ(std::string(kApplicationTitle), title.str());
}
