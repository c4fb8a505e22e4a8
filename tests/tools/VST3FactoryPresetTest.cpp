// Each factory preset, chosen through the host's program parameter, changes the spectrum of white
// noise the way its name says: the level change (output minus input) around a few frequencies,
// measured with narrow band-pass filters, lies in the range its row gives. The plug-in is reached
// only through its bundle, as a host reaches it.
#include "CHostModule.h"
#include "CHostPlugin.h"
#include "HostBandLevel.h"

#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace delmaro_tool;
using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kFrames = 4 * 48000;        // four seconds of noise
constexpr std::size_t kSettle = 48000;    // the first second lets filters and crossfades settle
constexpr double kCut = -1000.0;          // no lower bound

// At fc (measured with two band-pass passes of quality q) the preset changes the level by
// [minDb, maxDb].
struct Probe {
    double fc, q, minDb, maxDb;
};

const std::map<std::string, std::vector<Probe>>& expectations() {
    static const std::map<std::string, std::vector<Probe>> table = {
        {"Default", {{100, 4, -0.5, 0.5}, {1000, 4, -0.5, 0.5}, {10000, 4, -0.5, 0.5}}},
        {"Low Cut 80 Hz", {{25, 4, kCut, -10}, {1000, 4, -0.5, 0.5}}},
        {"Rumble Filter", {{12, 4, kCut, -10}, {1000, 4, -0.5, 0.5}}},
        {"Vocal Presence", {{250, 4, -3.5, -0.5}, {3500, 4, 1.5, 5.5}}},
        {"Air", {{16000, 4, 2.0, 5.0}, {1000, 4, -0.5, 0.5}}},
        {"De-Mud", {{300, 4, -5.0, -2.5}, {3000, 4, -0.5, 0.5}}},
        {"Bass Boost", {{50, 4, 3.0, 7.0}, {2000, 4, -0.5, 0.5}}},
        {"Telephone", {{60, 4, kCut, -15}, {1500, 4, 0.0, 4.5}, {10000, 4, kCut, -15}}},
        {"Loudness", {{50, 4, 3.0, 6.0}, {16000, 4, 2.5, 5.0}}},
        {"Kick Punch", {{60, 4, 2.0, 5.0}, {350, 4, -5.0, -2.0}, {4000, 4, 1.5, 4.0}}},
        {"Warm Low-pass", {{16000, 4, kCut, -6}, {1000, 4, -0.5, 0.5}}},
        {"Hum Notch 50 Hz", {{50, 40, kCut, -10}, {100, 40, kCut, -10}, {1000, 4, -0.5, 0.5}}},
        {"Hum Notch 60 Hz", {{60, 40, kCut, -10}, {120, 40, kCut, -10}, {1000, 4, -0.5, 0.5}}},
        {"Master Polish", {{16000, 4, 1.0, 3.0}, {400, 4, -2.5, -0.5}}},
    };
    return table;
}

std::string narrow(const TChar* text) {
    std::string out;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        out.push_back(char(text[i]));
    return out;
}

TEST(VST3FactoryPresets, EachPresetShapesNoiseAsItsNameSays) {
    CHostModule module;
    ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    CHostPlugin plugin;
    const std::string err = plugin.create(module.factory());
    if (!err.empty())
        GTEST_SKIP() << "the plug-in builds no instance yet: " << err;
    FUnknownPtr<IUnitInfo> units(plugin.controller());
    ASSERT_TRUE(units);
    ProgramListInfo list {};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    if (list.programCount < 2)
        GTEST_SKIP() << "the plug-in has no factory bank yet";

    std::mt19937 rng(1211);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<std::vector<double>> in(2, std::vector<double>(kFrames));
    for (auto& channel : in)
        for (double& x : channel)
            x = uniform(rng);

    int checked = 0;
    for (int32 k = 0; k < list.programCount; ++k) {
        String128 nameText {};
        ASSERT_EQ(units->getProgramName(list.id, k, nameText), kResultOk);
        const std::string name = narrow(nameText);
        SCOPED_TRACE(name);
        const auto row = expectations().find(name);
        ASSERT_NE(row, expectations().end()) << "a factory preset without an expected shape";

        ASSERT_EQ(plugin.start(kRate, kBlock, kSample64, 2, 2), "");
        plugin.controller()->setParamNormalized(ParamID(list.id), double(k) / double(list.programCount - 1));
        std::vector<std::vector<double>> out(2, std::vector<double>(kFrames));
        for (int at = 0; at < kFrames; at += kBlock) {
            const double* ins[2] = {in[0].data() + at, in[1].data() + at};
            double* outs[2] = {out[0].data() + at, out[1].data() + at};
            ASSERT_EQ(plugin.processBlock(ins, outs, kBlock, nullptr), kResultOk);
        }
        plugin.stop();
        for (const Probe& p : row->second) {
            const double change = bandLevelDb(out, kRate, p.fc, p.q, 2, kSettle) - bandLevelDb(in, kRate, p.fc, p.q, 2, kSettle);
            EXPECT_GE(change, p.minDb) << p.fc << " Hz";
            EXPECT_LE(change, p.maxDb) << p.fc << " Hz";
        }
        ++checked;
    }
    EXPECT_EQ(checked, int(expectations().size()));
}

} // namespace
