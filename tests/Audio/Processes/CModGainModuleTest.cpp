#include "Audio/Processes/CModGainModule.h"

#include "support/ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

using Rig = test::ModuleRig<CModGainModule>;

struct GainRig : Rig {
    std::unique_ptr<CAudioParamStorage> gain, mute, invert;
    GainRig(double g, double m, double inv) {
        gain = test::makeStore({{g}}, true, true);
        mute = test::makeStore({{m}}, true, true);
        invert = test::makeStore({{inv}}, true, true);
        host.bind(0, gain.get());
        host.bind(1, mute.get());
        host.bind(2, invert.get());
        start();
    }
};

TEST(CModGainModule, UnityPassesTheInputBlockByReference) {
    GainRig rig(1.0, 0.0, 0.0);
    double* in = rig.context.blockPool().allocBlock(8 * 64);
    rig.input.block = in;
    rig.module->blockLength = 64;
    rig.module->process();
    EXPECT_EQ(rig.module->outputs[0].block, in);
    EXPECT_EQ(CAudioBlockPool::useCount(in), 2);
    CAudioBlockPool::releaseBlock(in);
    CAudioBlockPool::releaseBlock(in);
}

TEST(CModGainModule, FactorFollowsGainMuteAndInversion) {
    const struct { double gain, mute, invert, factor; } cases[] = {
        {2.0, 0, 0, 2.0}, {1.0, 0, 1, -1.0}, {0.5, 0, 0.5, -0.5}, {4.0, 1, 1, 0.0}, {0.25, 0.49, 0.49, 0.25},
    };
    const std::vector<double> in = {1.0, -0.5, 0.25, 3.0};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gain << " " << c.mute << " " << c.invert);
        GainRig rig(c.gain, c.mute, c.invert);
        EXPECT_EQ(rig.module->factor(), c.factor);
        const std::vector<double> out = rig.run(in);
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (c.mute >= 0.5)
                EXPECT_LE(std::fabs(out[i]), std::ldexp(1.0, -42));
            else
                EXPECT_EQ(out[i], in[i] * c.factor);
        }
    }
}

TEST(CModGainModule, MuteOutputsDistinctNoisePerModule) {
    GainRig a(1.0, 1.0, 0.0), b(1.0, 1.0, 0.0);
    const std::vector<double> silence(256, 0.0);
    const std::vector<double> na = a.run(silence), nb = b.run(silence);
    EXPECT_NE(na, nb);   // each initialisation takes its own seed
    for (double x : na) {
        EXPECT_LE(std::fabs(x), std::ldexp(1.0, -42));
        EXPECT_TRUE(x == 0.0 || std::fabs(x) >= std::ldexp(1.0, -60));
    }
}

TEST(CModGainModule, UnityToleranceIsJustAboveEpsilon) {
    EXPECT_FALSE(CModGainModule::differsFromUnity(1.0));
    EXPECT_FALSE(CModGainModule::differsFromUnity(1.0 + 1e-16));
    EXPECT_TRUE(CModGainModule::differsFromUnity(1.0 + 1e-15));
    EXPECT_TRUE(CModGainModule::differsFromUnity(-1.0));
}

TEST(CModGainModule, MissingStoresDefaultToUnity) {
    Rig rig;
    rig.start();
    EXPECT_TRUE(rig.module->isUnity());
    EXPECT_FALSE(rig.module->isMuted());
}

} // namespace
} // namespace tal
