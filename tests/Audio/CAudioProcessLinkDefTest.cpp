#include "Audio/CAudioProcessLinkDef.h"

#include "Audio/CAudioProcessLinkStateDef.h"
#include "Core/CError.h"
#include "support/CObjectTreeTest.h"
#include "support/GraphTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace tal {
namespace {

using Attrs = std::vector<std::pair<const char*, const char*>>;

class CAudioProcessLinkDefTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        ASSERT_TRUE(test::registerGraphTags());
        def = add(root, "modMain");
    }
    // Creates a link from its tag with the attributes and runs init; the error's message or "".
    std::string make(const Attrs& attrs, CAudioProcessLinkDef*& link) {
        CObject* out = add(def, ("link" + std::to_string(++mCount)).c_str(), "audio:process-link");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(out->setAttr(CString(key), CString(value), false), nullptr);
        link = dynamic_cast<CAudioProcessLinkDef*>(out);
        CError* err = out->init();
        if (err == nullptr)
            return "";
        const std::string text = str(err->message());
        EXPECT_EQ(err->lineCount(), 2);
        EXPECT_EQ(str(err->line(1)).rfind("Audio/CAudioProcessLinkDef( ", 0), 0u) << str(err->line(1));
        EXPECT_NE(str(err->line(1)).find(" // modMain.link"), std::string::npos) << str(err->line(1));
        delete err;
        return text;
    }
    CObject* def = nullptr;

private:
    int mCount = 0;
};

TEST_F(CAudioProcessLinkDefTest, EndpointsParseIntoNameAndPort) {
    struct Row {
        const char* src;
        const char* name;
        int port;
        const char* error;   // "" for none
    };
    const Row rows[] = {
        {"modInputNode", "modInputNode", 0, ""},
        {"modBypass/1", "modBypass", 1, ""},
        {"*", "*", 0, ""},
        {"a/0x1", "a", 1, ""},
        {"/1", "", 0, "Invalid process in the 'src' attribute value '/1' specified."},
        {"a/", "", 0, "Invalid port in the 'src' attribute value 'a/' specified."},
        {"a/x", "", 0, "Invalid port in the 'src' attribute value 'a/x' specified."},
        {"a/-1", "", 0, "Invalid port in the 'src' attribute value 'a/-1' specified."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.src);
        CAudioProcessLinkDef* link = nullptr;
        EXPECT_EQ(make({{"src", r.src}, {"dst", "*"}}, link), r.error);
        if (*r.error == 0) {
            EXPECT_EQ(str(link->sourceName()), r.name);
            EXPECT_EQ(link->sourcePort(), r.port);
        }
        // The same texts as destinations give the destination's errors.
        std::string dstError = r.error;
        if (!dstError.empty())
            dstError.replace(dstError.find("'src'"), 5, "'dst'");
        EXPECT_EQ(make({{"src", "*"}, {"dst", r.src}}, link), dstError);
        if (*r.error == 0) {
            EXPECT_EQ(str(link->destinationName()), r.name);
            EXPECT_EQ(link->destinationPort(), r.port);
        }
    }
}

TEST_F(CAudioProcessLinkDefTest, MissingEndpointsAreErrors) {
    CAudioProcessLinkDef* link = nullptr;
    EXPECT_EQ(make({{"dst", "*"}}, link), "No 'src' attribute defined.");
    EXPECT_EQ(make({{"src", "*"}}, link), "No 'dst' attribute defined.");
}

TEST_F(CAudioProcessLinkDefTest, StateAndBypassStateIds) {
    CAudioProcessLinkDef* link = nullptr;
    EXPECT_EQ(make({{"src", "a"}, {"dst", "b"}, {"state-id", "-2"}}, link),
              "Invalid state identifier '-2' specified.");
    EXPECT_EQ(make({{"src", "a"}, {"dst", "b"}, {"state-id", "abc"}, {"bypass-state-id", "30 x  -4"}}, link), "");
    EXPECT_EQ(link->stateId(), -1);
    ASSERT_EQ(link->bypassStateIds().count(), 1);
    EXPECT_EQ(link->bypassStateIds()[0], 30);
    EXPECT_EQ(make({{"src", "a"}, {"dst", "b"}, {"state-id", "3"}, {"bypass-state-id", "31 35"}}, link), "");
    EXPECT_EQ(link->stateId(), 3);
    ASSERT_EQ(link->bypassStateIds().count(), 2);
    EXPECT_EQ(link->bypassStateIds()[1], 35);
    EXPECT_EQ(make({{"src", "a"}, {"dst", "b"}}, link), "");
    EXPECT_EQ(link->stateId(), -1);
    EXPECT_EQ(link->bypassStateIds().count(), 0);
}

TEST(CAudioProcessLinkStateDef, StateIsTheNearestIntegerHalvesAwayFromZero) {
    EXPECT_EQ(CAudioProcessLinkStateDef::stateOf(2.4), 2);
    EXPECT_EQ(CAudioProcessLinkStateDef::stateOf(2.6), 3);
    EXPECT_EQ(CAudioProcessLinkStateDef::stateOf(-2.5), -3);
    EXPECT_EQ(CAudioProcessLinkStateDef::stateOf(2.5), 3);
    EXPECT_EQ(CAudioProcessLinkStateDef::stateOf(1e300), 2147483647);
    EXPECT_EQ(CAudioProcessLinkStateDef::stateOf(std::nan("")), CAudioProcessLinkStateDef::kNoState);
}

} // namespace
} // namespace tal
