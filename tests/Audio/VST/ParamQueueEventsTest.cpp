#include "Audio/VST/ParamQueueEvents.h"

#include "Audio/CAudioWrapperEventQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace tal;
using namespace Steinberg;
using namespace Steinberg::Vst;

// A host queue whose point k has offset offsets[k] and value k / 1000; points listed in `refused`
// are not handed out.
class CTestQueue : public IParamValueQueue {
public:
    std::vector<int32> offsets;
    std::vector<int32> refused;
    ParamID PLUGIN_API getParameterId() override { return 7; }
    int32 PLUGIN_API getPointCount() override { return int32(offsets.size()); }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
        for (int32 r : refused)
            if (r == index)
                return kResultFalse;
        if (index < 0 || index >= int32(offsets.size()))
            return kResultFalse;
        offset = offsets[index];
        value = index / 1000.0;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32, ParamValue, int32&) override { return kResultFalse; }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

// The indices of the points that became events (each event's value is its point index / 1000).
std::vector<int> pointsTaken(const CAudioWrapperEventQueue& events) {
    std::vector<int> out;
    for (int i = 0; i < events.count(); ++i)
        out.push_back(int(events[i].value * 1000.0 + 0.5));
    return out;
}

CTestQueue queueOf(int points) {
    CTestQueue q;
    for (int k = 0; k < points; ++k)
        q.offsets.push_back(k);
    return q;
}

TEST(ParamQueueEvents, SamplesAtMostThirtyTwoPointsAndAlwaysTheLast) {
    struct Row {
        int points;
        std::vector<int> indices;
    };
    std::vector<int> upTo31, upTo30;
    for (int i = 0; i < 32; ++i)
        upTo31.push_back(i);
    for (int i = 0; i < 31; ++i)
        upTo30.push_back(i);
    upTo30.push_back(32);
    const Row rows[] = {
        {1, {0}},
        {2, {0, 1}},
        {32, upTo31},
        {33, upTo30},
        {100, {0,  3,  6,  9,  12, 15, 18, 21, 25, 28, 31, 34, 37, 40, 43, 46,
               50, 53, 56, 59, 62, 65, 68, 71, 75, 78, 81, 84, 87, 90, 93, 99}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.points);
        CTestQueue q = queueOf(row.points);
        CAudioWrapperEventQueue events;
        EXPECT_EQ(appendParamQueueEvents(q, 5, 4096, events), int(row.indices.size()));
        EXPECT_EQ(pointsTaken(events), row.indices);
        for (int i = 0; i < events.count(); ++i) {
            EXPECT_EQ(events[i].type, CAudioWrapperEvent::kParameter);
            EXPECT_EQ(events[i].index, 5);
            EXPECT_EQ(events[i].offset, row.indices[i]);   // the point's own offset
        }
    }
}

TEST(ParamQueueEvents, EmptyQueueMakesNothing) {
    CTestQueue q;
    CAudioWrapperEventQueue events;
    EXPECT_EQ(appendParamQueueEvents(q, 0, 512, events), 0);
    EXPECT_EQ(events.count(), 0);
}

TEST(ParamQueueEvents, OffsetsOutsideTheBlockAreClampedIntoIt) {
    CTestQueue q;
    q.offsets = {-5, 100, 700};   // before the block, inside, beyond it (the queue's last point)
    CAudioWrapperEventQueue events;
    ASSERT_EQ(appendParamQueueEvents(q, 1, 600, events), 3);
    EXPECT_EQ(events[0].offset, 0);
    EXPECT_EQ(events[1].offset, 100);
    EXPECT_EQ(events[2].offset, 599);   // the last point is applied, at the block's last sample
    CAudioWrapperEventQueue empty;
    ASSERT_EQ(appendParamQueueEvents(q, 1, 0, empty), 3);
    for (int i = 0; i < empty.count(); ++i)
        EXPECT_EQ(empty[i].offset, 0);   // a block without samples: the events wait at offset 0
}

TEST(ParamQueueEvents, RefusedPointsAreSkipped) {
    CTestQueue q = queueOf(4);
    q.refused = {1, 3};
    CAudioWrapperEventQueue events;
    EXPECT_EQ(appendParamQueueEvents(q, 1, 512, events), 2);
    EXPECT_EQ(pointsTaken(events), (std::vector<int>{0, 2}));
}

} // namespace
