#include "CHostParameterChanges.h"

#include <gtest/gtest.h>

namespace {

using namespace delmaro_tool;
using namespace Steinberg;
using namespace Steinberg::Vst;

TEST(CHostParameterChanges, OneQueuePerParameterWithinFixedCapacities) {
    CHostParameterChanges changes(2, 3);
    EXPECT_TRUE(changes.addPoint(10, 0, 0.1));
    EXPECT_TRUE(changes.addPoint(20, 5, 0.2));
    EXPECT_TRUE(changes.addPoint(10, 7, 0.3));   // same parameter: same queue
    EXPECT_FALSE(changes.addPoint(30, 0, 0.4));  // a third parameter does not fit
    ASSERT_EQ(changes.getParameterCount(), 2);
    IParamValueQueue* q = changes.getParameterData(0);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->getParameterId(), 10u);
    ASSERT_EQ(q->getPointCount(), 2);
    int32 offset = -1;
    ParamValue value = -1.0;
    ASSERT_EQ(q->getPoint(1, offset, value), kResultOk);
    EXPECT_EQ(offset, 7);
    EXPECT_EQ(value, 0.3);
    EXPECT_EQ(q->getPoint(2, offset, value), kResultFalse);
    EXPECT_EQ(q->getPoint(-1, offset, value), kResultFalse);
    EXPECT_EQ(changes.getParameterData(2), nullptr);

    EXPECT_TRUE(changes.addPoint(20, 6, 0.5));
    EXPECT_TRUE(changes.addPoint(20, 7, 0.6));
    EXPECT_FALSE(changes.addPoint(20, 8, 0.7));  // the queue is full: refused, never grown

    changes.clear();
    EXPECT_EQ(changes.getParameterCount(), 0);
    EXPECT_TRUE(changes.addPoint(30, 0, 1.0));
    EXPECT_EQ(changes.getParameterData(0)->getPointCount(), 1);
}

} // namespace
