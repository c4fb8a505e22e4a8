#include "DescriptionCompiler.h"
#include "DescriptionDump.h"

#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CXMLLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace delmaro_tool;
using ::testing::HasSubstr;

namespace {

// Templates, text nodes (trimmed runs and CDATA), attributes of every type a description can give
// (int, bool, text; "false" and empty are not set), characters beyond Latin-1 (2, 3 and 4 bytes).
const char* const kSource = R"(<?xml version="1.0"?>
<description title="Überblick">
  <!-- a comment -->
  <core:object _name="audio" count="12" neg="-3" on="true" off="false" empty="" ratio="0.5" unit="€">
    <audio:param _name="gain"/>
    <audio:param _name="gain" label="東京"/>
    <ui:textview-p _name="p">
      first run
      <ui:textview-br/>
      <![CDATA[ kept  as is ]]>
    </ui:textview-p>
  </core:object>
  <template _name="panel">
    <ui:view color="😀" is-hidden="0">
      <core:object _name="inner" value="x"/>
    </ui:view>
  </template>
</description>
)";

const char* const kExpectedDump = R"("" tag ""
    title text "Überblick"
"audio" tag "core:object"
    count int "12"
    neg int "-3"
    on bool "true"
    ratio text "0.5"
    unit text "€"
"audio.gain" tag "audio:param"
"audio.gain#1" tag "audio:param"
    label text "東京"
"audio.p" tag "ui:textview-p"
"audio.p.content" tag "content"
    value text "first run"
"audio.p." tag "ui:textview-br"
"audio.p.content#1" tag "content"
    value text " kept  as is "
"panel" tag "template" template body "ui:view"
template "panel"
"panel" tag "ui:view"
    color text "😀"
    is-hidden int "0"
"panel.inner" tag "core:object"
    value text "x"
)";

std::vector<std::uint8_t> compileOk(const std::string& xml) {
    std::vector<std::uint8_t> out;
    std::string error;
    EXPECT_TRUE(compileDescription(xml, out, error)) << error;
    return out;
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

TEST(DescriptionCompiler, CompileThenDumpRoundTrip) {
    const std::vector<std::uint8_t> compiled = compileOk(kSource);
    ASSERT_EQ(tal::CApplication::initSharedObject(tal::CString()), nullptr);
    tal::CObject* shared = tal::CApplication::sharedObject();
    // Loaded the way an embedded resource is loaded: in place.
    tal::CError* err = tal::CXMLLoader::loadImage(*shared, compiled.data(), std::int32_t(compiled.size()), true, true);
    EXPECT_EQ(err, nullptr);
    delete err;
    EXPECT_EQ(dumpTree(*shared) + dumpTemplates(*shared), kExpectedDump);
    tal::CApplication::finishApplication();
}

// Walks a node independently of the loader, recording string indexes in the order they are used.
void walk(const std::vector<std::uint8_t>& b, std::size_t& at, std::vector<std::uint16_t>& uses) {
    const std::uint8_t kind = b[at++];
    if (kind != 0) {
        uses.push_back(u16(b, at));
        const std::uint32_t length = u32(b, at + 2);
        std::size_t body = at + 6 + 4;
        at += 6 + length;
        walk(b, body, uses);
        EXPECT_EQ(body, at) << "the body length covers exactly the body";
        return;
    }
    const std::uint16_t attrs = u16(b, at);
    at += 2;
    for (int i = 0; i < attrs; ++i, at += 4) {
        uses.push_back(u16(b, at));
        uses.push_back(u16(b, at + 2));
    }
    const std::uint16_t children = u16(b, at);
    at += 2;
    for (int i = 0; i < children; ++i) {
        uses.push_back(u16(b, at));
        uses.push_back(u16(b, at + 2));
        at += 4;
        walk(b, at, uses);
    }
}

TEST(DescriptionCompiler, StringsAreSortedUniqueAndNumberedByFirstUse) {
    const std::vector<std::uint8_t> b = compileOk(kSource);
    const std::uint32_t n = u32(b, 0), area = u32(b, 4);
    std::vector<std::string> strings(n);
    std::map<std::uint32_t, std::uint32_t> byOffset;   // offset -> index
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t offset = u32(b, 8 + 4 * i);
        strings[i] = reinterpret_cast<const char*>(b.data() + 8 + offset);
        byOffset[offset] = i;
    }
    // Stored in ascending byte order, each once, packed up to the end of the area.
    std::vector<std::string> stored;
    std::uint32_t expectedOffset = 4 * n;
    for (const auto& [offset, index] : byOffset) {
        EXPECT_EQ(offset, expectedOffset);
        expectedOffset += std::uint32_t(strings[index].size() + 1);
        stored.push_back(strings[index]);
    }
    EXPECT_EQ(expectedOffset, area) << "the area ends after the last string";
    EXPECT_TRUE(std::is_sorted(stored.begin(), stored.end()));
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), stored.size());

    // Numbered in order of first use: the root tag, then depth-first through the nodes.
    std::vector<std::uint16_t> uses{std::uint16_t(u32(b, 8 + area))};
    std::size_t at = 12 + area;
    walk(b, at, uses);
    EXPECT_EQ(at, b.size());
    EXPECT_EQ(strings[uses[0]], "");
    std::uint32_t next = 0;
    std::set<std::uint16_t> used;
    for (std::uint16_t index : uses) {
        if (used.insert(index).second) {
            EXPECT_EQ(index, next);
            ++next;
        }
    }
    EXPECT_EQ(next, n) << "every string is used";
}

TEST(DescriptionCompiler, RejectsMalformedInputWithAClearMessage) {
    struct Case {
        const char* xml;
        const char* message;
    };
    const Case cases[] = {
        {"<description>\n<a>\n</description>", "XML error at line 3"},
        {"", "XML error"},
        {"<description _name=\"x\"/>", "the root element has no name"},
        {"<d><template _name=\"t\"/></d>", "a template needs a body element: <d> / <template _name=\"t\">"},
        {"<d><template><a/></template></d>", "a template needs a name"},
        {"<d><template _name=\"t\"><a/><b/></template></d>", "exactly one element"},
        {"<d><template _name=\"t\" x=\"1\"><a/></template></d>", "takes no attribute"},
        {"<d><template _name=\"t\">text<a/></template></d>", "holds no text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        std::vector<std::uint8_t> out;
        std::string error;
        EXPECT_FALSE(compileDescription(c.xml, out, error));
        EXPECT_THAT(error, HasSubstr(c.message));
    }
}

TEST(DescriptionCompiler, TooManyStringsIsAnError) {
    std::string xml = "<d>";
    for (int i = 0; i < 33000; ++i) xml += "<o a=\"" + std::to_string(i) + "\" b=\"v" + std::to_string(i) + "\"/>";
    xml += "</d>";
    std::vector<std::uint8_t> out;
    std::string error;
    EXPECT_FALSE(compileDescription(xml, out, error));
    EXPECT_THAT(error, HasSubstr("more than 65536 distinct strings"));
}

} // namespace
