#include "Audio/Processes/CAudioProcessStack.h"

#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessPort.h"
#include "support/TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using test::CProcessTestGraph;
using Signal = std::vector<std::vector<double>>;

// A stacked gain definition: each copy doubles its input; "count" (per group) sets the copies.
struct GainStack {
    CProcessTestGraph graph;
    CAudioProcessStack* stack = nullptr;
    CAudioProcessConnection* input = nullptr;

    GainStack(const char* counts, bool channelStack) {
        CAudioProcessDefBase* def = graph.define(
            "audio:modGain", "g",
            {{"is-stacked", "true"}, {"stack-param", "count"}, {"is-channel-stack", channelStack ? "true" : "0"}});
        graph.alloc(def, 0, "gain");
        graph.param(def, "gain", "2");
        graph.param(def, "count", counts);
        graph.finish(def);
        stack = dynamic_cast<CAudioProcessStack*>(graph.make(def, "plugin.g"));
    }
    Signal run(int channels, const std::vector<int>& groups, double value = 1.0) {
        if (input == nullptr)
            input = graph.host.attach(*stack, channels, 48000.0, 0, 0, groups);
        return graph.run(*stack, input, Signal(std::size_t(channels), std::vector<double>(8, value)));
    }
};

TEST(CAudioProcessStack, StereoGroupRunsOneChainOfCopies) {
    GainStack s("3", false);
    ASSERT_NE(s.stack, nullptr);
    const Signal o = s.run(2, {0, 0});
    ASSERT_EQ(s.stack->groupCount(), 1);
    EXPECT_EQ(s.stack->slotCount(0), 1);
    EXPECT_EQ(s.stack->levelCount(0), 3);
    EXPECT_EQ(s.stack->runCount(), 3);
    // The first copy takes both channels on one connection.
    CAudioProcessBase* first = s.stack->copy(0, 0, 0);
    ASSERT_EQ(first->getPort(0)->connections.count(), 1);
    EXPECT_EQ(first->getPort(0)->connections[0]->channelCount, 2);
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0], std::vector<double>(8, 8.0));   // 2 x 2 x 2
    EXPECT_EQ(o[1], std::vector<double>(8, 8.0));
}

TEST(CAudioProcessStack, ChannelStackGivesEveryChannelItsChain) {
    GainStack s("3", true);
    const Signal o = s.run(2, {0, 0});
    ASSERT_EQ(s.stack->groupCount(), 1);
    EXPECT_EQ(s.stack->slotCount(0), 2);
    EXPECT_EQ(s.stack->runCount(), 6);
    for (int slot = 0; slot < 2; ++slot) {
        CAudioProcessBase* first = s.stack->copy(0, 0, slot);
        ASSERT_EQ(first->getPort(0)->connections.count(), 1);
        EXPECT_EQ(first->getPort(0)->connections[0]->channelCount, 1);
    }
    EXPECT_EQ(o[0], std::vector<double>(8, 8.0));
    EXPECT_EQ(o[1], std::vector<double>(8, 8.0));
}

TEST(CAudioProcessStack, GroupsGetCopiesOfTheirOwnAndTheirOwnCount) {
    GainStack s("2;5;0", false);   // group 0: 2 copies, group 2: none
    const Signal o = s.run(3, {0, 0, 2});
    ASSERT_EQ(s.stack->groupCount(), 2);
    EXPECT_EQ(s.stack->groupNumber(0), 0);
    EXPECT_EQ(s.stack->groupNumber(1), 2);
    EXPECT_EQ(s.stack->levelCount(0), 2);
    EXPECT_EQ(s.stack->levelCount(1), 0);
    EXPECT_EQ(s.stack->copy(0, 1, 0)->groupIndex(), 0);
    EXPECT_EQ(s.stack->copy(0, 1, 0)->elementIndex(), 1);
    // Group 2 yields no output; group 0 carries on.
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0], std::vector<double>(8, 4.0));
    EXPECT_EQ(o[1], std::vector<double>(8, 4.0));
}

TEST(CAudioProcessStack, LoweringTheCountDropsTheUpperCopies) {
    GainStack s("3", false);
    s.run(1, {0});
    ASSERT_EQ(s.stack->levelCount(0), 3);
    s.graph.set("plugin.g.count", 1.0);
    const Signal o = s.run(1, {0});
    EXPECT_EQ(s.stack->levelCount(0), 1);
    EXPECT_EQ(s.stack->runCount(), 1);
    EXPECT_EQ(o[0], std::vector<double>(8, 2.0));
    s.graph.set("plugin.g.count", 2.0);
    EXPECT_EQ(s.run(1, {0})[0], std::vector<double>(8, 4.0));
}

TEST(CAudioProcessStack, VanishingGroupTakesItsCopies) {
    GainStack s("1;1", false);
    s.run(2, {0, 1});
    ASSERT_EQ(s.stack->groupCount(), 2);
    CAudioChannelDesc d[1];
    d[0].key = 0;
    d[0].group = 0;
    CAudioProcessBase::setConnectionFormat(s.input, d, 1, 48000.0);
    const Signal o = s.graph.run(*s.stack, s.input, Signal(1, std::vector<double>(8, 1.0)));
    EXPECT_EQ(s.stack->groupCount(), 1);
    EXPECT_EQ(s.stack->runCount(), 1);
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o[0], std::vector<double>(8, 2.0));
}

} // namespace
} // namespace tal
