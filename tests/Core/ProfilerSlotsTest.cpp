#include "Core/ProfilerSlots.h"

#include "support/CLogCapture.h"

#include <gtest/gtest.h>

using namespace tal;

TEST(ProfilerSlots, SlotWithCallsReportsMillisecondsAtThreePointFiveGigahertz) {
    CProfilerSlot slot;
    slot.calls = 2;
    slot.ticks = 7000000000ull;
    slot.peak = 4000;
    EXPECT_EQ(formatProfilerSlot(3, slot),
              "BENCH 3: 2000.0 msec,       2 calls, 1000.00000000 ms/call, 3500000000 tk/call, peak 4000 tk");
}

TEST(ProfilerSlots, EmptySlotsReportNothing) {
    CLogCapture capture;
    for (int i = 0; i < kProfilerSlotCount; ++i)
        reportProfilerSlot(i);
    EXPECT_TRUE(capture.lines().empty());
    profilerSlots[9] = CProfilerSlot{1, 3500000, 3500000};
    reportProfilerSlot(9);
    profilerSlots[9] = CProfilerSlot{};
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].rfind("BENCH 9:    1.0 msec", 0), 0u);
}
