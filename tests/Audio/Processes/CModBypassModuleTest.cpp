#include "Audio/Processes/CModBypassModule.h"

#include "support/ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace tal {
namespace {

using Output = CModBypassModule::Output;
const char* nameOf(Output o) { return o == Output::kMain ? "main" : o == Output::kAlternate ? "alternate" : "noise"; }

struct BypassRig : test::ModuleRig<CModBypassModule> {
    std::unique_ptr<CAudioParamStorage> enable, solo;
    CAudioChannelDesc dry;
    BypassRig(std::optional<double> enableValue, const std::vector<double>& soloPerGroup, int ownGroup, bool withDry) {
        if (enableValue)
            enable = test::makeStore({{*enableValue}}, true, true);
        else
            enable = std::make_unique<CAudioParamStorage>();   // no values
        std::vector<std::vector<double>> groups;
        for (double s : soloPerGroup)
            groups.push_back({s});
        solo = test::makeStore(groups);
        host.bind(0, enable.get());
        host.bind(1, solo.get());
        dry.key = 0;
        dry.group = ownGroup;
        if (withDry) {
            host.port1[0] = &dry;
            host.port1Count = 1;
        }
        start(48000.0, 0, ownGroup);
    }
    // Which input the output block is: main, dry, or new (noise).
    Output observe() {
        double* main = context.blockPool().allocBlock(8 * 32);
        double* alt = context.blockPool().allocBlock(8 * 32);
        for (int i = 0; i < 32; ++i) {
            main[i] = 1.0;
            alt[i] = 2.0;
        }
        input.block = main;
        dry.block = alt;
        module->blockLength = 32;
        module->process();
        double* out = module->outputs[0].block;
        Output o = out == main ? Output::kMain : out == alt ? Output::kAlternate : Output::kNoise;
        if (o == Output::kNoise) {
            for (int i = 0; i < 32; ++i)
                EXPECT_LE(std::fabs(out[i]), std::ldexp(1.0, -42));
        }
        CAudioBlockPool::releaseBlock(out);
        CAudioBlockPool::releaseBlock(main);
        CAudioBlockPool::releaseBlock(alt);
        return o;
    }
};

TEST(CModBypassModule, DecisionTable) {
    const struct Case {
        std::optional<double> enable;
        bool dry;
        std::vector<double> solo;   // element 0 of each group
        int group;
        Output expected;
    } cases[] = {
        {std::nullopt, true, {0, 0}, 0, Output::kMain},
        {0.0, true, {0, 0}, 0, Output::kMain},
        {0.0, false, {0, 0}, 0, Output::kMain},
        {std::nullopt, true, {0, 1}, 0, Output::kNoise},     // group 1 soloed, own group 0 not
        {0.0, false, {0, 1}, 0, Output::kNoise},
        {1.0, true, {0, 0}, 0, Output::kAlternate},
        {0.5, true, {1, 0}, 0, Output::kAlternate},          // own group soloed
        {1.0, true, {0, 1}, 0, Output::kNoise},
        {1.0, false, {0, 0}, 0, Output::kNoise},             // bypass with nothing on port 1
        {1.0, false, {1, 0}, 0, Output::kNoise},
        {0.0, true, {0, 0, 1}, 2, Output::kMain},            // solo of group 2 keeps group 2
        {0.0, true, {0, 0, 1}, 1, Output::kNoise},
        {1.0, true, {0, 0, 1}, 2, Output::kAlternate},
        {0.0, true, {1, 1, 1}, 1, Output::kMain},            // every group soloed: as if none
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "enable " << (c.enable ? *c.enable : -1) << " dry " << c.dry << " group "
                                        << c.group << " expect " << nameOf(c.expected));
        BypassRig rig(c.enable, c.solo, c.group, c.dry);
        EXPECT_STREQ(nameOf(rig.module->selection()), nameOf(c.expected));
        EXPECT_STREQ(nameOf(rig.observe()), nameOf(c.expected));
    }
}

TEST(CModBypassModule, AlternateFallsBackToTheLastChannelOfTheGroup) {
    BypassRig rig(1.0, {0}, 1, false);
    CAudioChannelDesc a, b, other;
    a.key = 0; a.group = 1;
    b.key = 1; b.group = 1;
    other.key = 2; other.group = 0;
    rig.host.port1[0] = &a;
    rig.host.port1[1] = &b;
    rig.host.port1[2] = &other;
    rig.host.port1Count = 3;
    rig.input.key = 3;   // no channel 3 on port 1: the last of group 1 serves
    test::ModuleRig<CModBypassModule>::runUpdate(*rig.module, true);
    EXPECT_EQ(rig.module->selection(), Output::kAlternate);
    double* main = rig.context.blockPool().allocBlock(64);
    b.block = rig.context.blockPool().allocBlock(64);
    rig.input.block = main;
    rig.module->blockLength = 8;
    rig.module->process();
    EXPECT_EQ(rig.module->outputs[0].block, b.block);
    EXPECT_EQ(CAudioBlockPool::useCount(b.block), 2);
    CAudioBlockPool::releaseBlock(b.block);
    CAudioBlockPool::releaseBlock(b.block);
    CAudioBlockPool::releaseBlock(main);
}

TEST(CModBypassModule, SoloReadsElementZeroWhateverTheStoreFlags) {
    // A single-group store still carries one group per solo flag in element 0 of each group.
    auto solo = test::makeStore({{0, 1}, {1, 0}});
    EXPECT_TRUE(CModBypassModule::isSoloedOut(solo.get(), 0));
    EXPECT_FALSE(CModBypassModule::isSoloedOut(solo.get(), 1));
    EXPECT_FALSE(CModBypassModule::isSoloedOut(nullptr, 0));
}

} // namespace
} // namespace tal
