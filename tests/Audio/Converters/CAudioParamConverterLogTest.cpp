#include "Audio/Converters/CAudioParamConverterLog.h"

#include "Audio/CAudioParamInfo.h"
#include "Audio/Converters/CAudioParamConverterFreq.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

CAudioParamConverterLog* makeLog(CParamTestTree& tree, const char* power, const char* threshold) {
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.converters(), "audio:cvt-freq", "log",
                                                {{"scale-power", power}, {"scale-threshold", threshold}})),
              "");
    return dynamic_cast<CAudioParamConverterLog*>(object);
}

TEST(CAudioParamConverterLog, PureLogarithmicMappingIsGeometric) {
    CParamTestTree tree;
    CAudioParamConverterLog* log = makeLog(tree, "1.0", "-1.0");
    CAudioParamInfo info;
    info.setRange(0, 5.0, 30000.0);
    const double middle = std::sqrt(5.0 * 30000.0);
    EXPECT_NEAR(log->toPlain(info, 0, 0.5), middle, 1e-9);
    EXPECT_NEAR(log->toNormalized(info, 0, middle), 0.5, 1e-12);
    EXPECT_NEAR(log->toPlain(info, 0, 0.0), 5.0, 1e-12);
    EXPECT_NEAR(log->toPlain(info, 0, 1.0), 30000.0, 1e-8);
}

TEST(CAudioParamConverterLog, ThresholdSplitsTheRangeAtOne) {
    CParamTestTree tree;
    CAudioParamConverterLog* log = makeLog(tree, "1", "0.5");
    CAudioParamInfo info;
    info.setRange(0, 0.1, 10.0);
    struct Case {
        double normalized, plain;
    } cases[] = {{0.0, 0.1}, {0.25, std::sqrt(0.1)}, {0.5, 1.0}, {0.75, std::sqrt(10.0)}, {1.0, 10.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.normalized);
        EXPECT_NEAR(log->toPlain(info, 0, c.normalized), c.plain, 1e-12);
        EXPECT_NEAR(log->toNormalized(info, 0, c.plain), c.normalized, 1e-12);
    }
}

TEST(CAudioParamConverterLog, PowerCurveBendsTheNormalisedAxis) {
    CParamTestTree tree;
    CAudioParamConverterLog* log = makeLog(tree, "2", "");
    CAudioParamInfo info;
    info.setRange(0, 1.0, 100.0);
    // y = x^(1/p): x = 0.25 gives y = 0.5, the geometric middle 10.
    EXPECT_NEAR(log->toPlain(info, 0, 0.25), 10.0, 1e-12);
    EXPECT_NEAR(log->toNormalized(info, 0, 10.0), 0.25, 1e-12);
}

TEST(CAudioParamConverterLog, InitChecksPowerAndThreshold) {
    CParamTestTree tree;
    struct Case {
        const char *power, *threshold, *message;
        double usedPower, usedThreshold;
    } cases[] = {
        {"0", "", "Invalid 'scale-power' attribute value 0 specified.", 0, 0},
        {"-2", "", "Invalid 'scale-power' attribute value -2 specified.", 0, 0},
        {"abc", "", "", 1.0, -1.0},   // malformed power: 1
        {"", "", "", 1.0, -1.0},
        {"1", "1.5", "Invalid 'scale-threshold' attribute value 1.5 specified.", 0, 0},
        {"1", "x", "", 1.0, -1.0},
        {"1", "0.3", "", 1.0, 0.3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.power << " / " << c.threshold);
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.converters(), "audio:cvt-freq", "f",
                                                    {{"scale-power", c.power}, {"scale-threshold", c.threshold}})),
                  c.message);
        if (c.message[0] == 0) {
            auto* log = dynamic_cast<CAudioParamConverterLog*>(object);
            ASSERT_NE(log, nullptr);
            EXPECT_DOUBLE_EQ(log->getPower(), c.usedPower);
            EXPECT_DOUBLE_EQ(log->getThreshold(), c.usedThreshold);
        }
    }
}

} // namespace
} // namespace tal
