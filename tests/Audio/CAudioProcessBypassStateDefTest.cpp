#include "Audio/CAudioProcessBypassStateDef.h"

#include "Core/CError.h"
#include "support/CObjectTreeTest.h"
#include "support/GraphTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace tal {
namespace {

using Range = CAudioProcessBypassStateDef::CRange;

TEST(CAudioProcessBypassStateDef, ParseRange) {
    struct Row {
        const char* text;
        bool valid;
        std::vector<double> inside, outside;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {"[0;1]", true, {0.0, 0.004, 0.5, 1.0, 1.004}, {-0.006, 1.006}},
        {"[*;*]", true, {-1e9, 0.0, 1e9, inf, -inf}, {std::nan("")}},
        {"(0.5;*]", true, {0.505, 0.51, 1e6}, {0.5, 0.504}},
        {"[2;4;2]", true, {1.0, 2.0, 4.0, 4.9}, {0.9, 5.0}},
        {"[0;10)", true, {0.0, 9.99}, {10.0}},
        {"[ 1 ; 2 ; 0,5 ]", true, {1.0, 2.0}, {0.7, 2.3}},
        {"[1;0]", false, {}, {}},
        {"[0;10", false, {}, {}},
        {"0;10]", false, {}, {}},
        {"[0;1;x]", false, {}, {}},
        {"[1;;]", false, {}, {}},
        {"[0]", false, {}, {}},
        {"[0;1;2;3]", false, {}, {}},
        // A step that is not positive, and bounds beyond 32 bits in steps, are rejected.
        {"[0;1;0]", false, {}, {}},
        {"[0;1;-1]", false, {}, {}},
        {"[0;1e300]", false, {}, {}},
        {"[-1e8;*]", false, {}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        Range range;
        EXPECT_EQ(CAudioProcessBypassStateDef::parseRange(range, CString(r.text)), r.valid);
        EXPECT_EQ(range.valid, r.valid);
        for (double x : r.inside)
            EXPECT_TRUE(range.contains(x)) << x;
        for (double x : r.outside)
            EXPECT_FALSE(range.contains(x)) << x;
    }
}

using Attrs = std::vector<std::pair<const char*, const char*>>;

class BypassStateDef : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        ASSERT_TRUE(test::registerGraphTags());
    }
    std::string make(const Attrs& attrs, CAudioProcessBypassStateDef*& state) {
        CObject* out = add(root, ("state" + std::to_string(++mCount)).c_str(), "audio:process-bypass-state");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(out->setAttr(CString(key), CString(value), false), nullptr);
        state = dynamic_cast<CAudioProcessBypassStateDef*>(out);
        CError* err = out->init();
        if (err == nullptr)
            return "";
        const std::string text = str(err->message());
        EXPECT_EQ(str(err->line(1)).rfind("Audio/CAudioProcessBypassStateDef( ", 0), 0u);
        delete err;
        return text;
    }

private:
    int mCount = 0;
};

TEST_F(BypassStateDef, InitErrors) {
    CAudioProcessBypassStateDef* s = nullptr;
    EXPECT_EQ(make({{"id", "3"}}, s), "Invalid parameter name specified.");
    EXPECT_EQ(make({{"param", "p"}, {"range", "[1;0]"}}, s), "Invalid 'range' attribute value '[1;0]' specified.");
    EXPECT_EQ(make({{"param", "p"}, {"and-range", "[0;1;0]"}}, s),
              "Invalid 'and-range' attribute value '[0;1;0]' specified.");
}

TEST_F(BypassStateDef, ValueConditionHasATenthOfTolerance) {
    CAudioProcessBypassStateDef* s = nullptr;
    ASSERT_EQ(make({{"id", "31"}, {"param", "mid-side-bypass"}, {"value", "1.0"}}, s), "");
    EXPECT_EQ(s->id(), 31);
    for (double v : {0.95, 1.05, 1.0})
        EXPECT_TRUE(s->isActive(v, 0.0)) << v;
    for (double v : {0.89, 1.11, 0.0})
        EXPECT_FALSE(s->isActive(v, 0.0)) << v;
}

// The product's state 30: the analyser link is off unless its data is requested and it is enabled.
TEST_F(BypassStateDef, InvertedWithAndParamIsActiveWhenEitherValueIsOff) {
    CAudioProcessBypassStateDef* s = nullptr;
    ASSERT_EQ(make({{"id", "30"}, {"param", "modSpectrum-enable"}, {"value", "1.0"}, {"and-param", "modSpectrum.disable"},
                    {"and-value", "0"}, {"is-inverted", "true"}},
                   s),
              "");
    EXPECT_TRUE(s->hasAndParam());
    EXPECT_FALSE(s->isActive(1.0, 0.0));
    EXPECT_TRUE(s->isActive(0.0, 0.0));
    EXPECT_TRUE(s->isActive(1.0, 1.0));
    EXPECT_TRUE(s->isActive(0.0, 1.0));
}

TEST_F(BypassStateDef, RangesWithAndRange) {
    CAudioProcessBypassStateDef* s = nullptr;
    ASSERT_EQ(make({{"param", "p"}, {"range", "[1;2;1]"}, {"and-param", "q"}, {"and-range", "(0;*]"}}, s), "");
    EXPECT_TRUE(s->isActive(1.0, 0.02));
    EXPECT_FALSE(s->isActive(1.0, 0.0));
    EXPECT_FALSE(s->isActive(3.0, 1.0));
    EXPECT_TRUE(s->isInRanges(2.4, 5.0));
}

} // namespace
} // namespace tal
