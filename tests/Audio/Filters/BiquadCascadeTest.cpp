#include "Audio/Filters/BiquadCascade.h"

#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CDCDAWCall.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "fft/CCpuInfo.h"
#include "support/BiquadLevels.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace tal {
namespace {

constexpr double kFs = 48000.0;

// A section: its shape, the single-section routine of that shape and its coefficients.
struct Section {
    BiquadShape shape;
    int type;   // RBJ type
    double freq;
};

void (*routineOf(BiquadShape s))(CDCDAWCall&) noexcept {
    switch (s) {
        case BiquadShape::Common: return DCDAW_fltbiqcommon;
        case BiquadShape::LowPass: return DCDAW_fltbiqlp;
        case BiquadShape::HighPass: return DCDAW_fltbiqhp;
        case BiquadShape::BandPass: return DCDAW_fltbiqbp;
        case BiquadShape::Notch: return DCDAW_fltbiqnotch;
    }
    return nullptr;
}

std::vector<double> coefficientsOf(const Section& s, double gain) {
    CAudioFilterRBJGen gen;
    EXPECT_TRUE(gen.configure(s.type, {true, false, false, false}));
    const CAudioFilterStageList stages = test::design(gen, s.freq, gain, 0.9);
    EXPECT_EQ(stages.count(), 1);
    std::vector<double> c(5);
    stages[0].copyCoefficients(c.data());
    return c;
}

// One channel's states, initialised (and optionally morphed to the end) by the specified routines.
struct Chain {
    std::vector<CBiquadState> states;
    std::vector<CBiquadState*> pointers;

    Chain(const std::vector<Section>& sections, double gain) : states(sections.size()) {
        for (std::size_t i = 0; i < sections.size(); ++i) {
            setup(DCDAW_fltbiqi, i, sections[i], gain);
            pointers.push_back(&states[i]);
        }
    }
    // New coefficients (designed with another gain) for every section, or every other one.
    void update(const std::vector<Section>& sections, double gain, bool everyOther = false) {
        for (std::size_t i = 0; i < sections.size(); i += everyOther ? 2 : 1)
            setup(DCDAW_fltbiqu, i, sections[i], gain);
    }
    void setup(void (*routine)(CDCDAWCall&) noexcept, std::size_t i, const Section& section, double gain) {
        std::vector<double> c = coefficientsOf(section, gain);
        CDCDAWCall call;
        call.count = 5;
        call.real = kFs;
        call.blocks[0] = reinterpret_cast<double*>(&states[i]);
        call.blocks[1] = c.data();
        routine(call);
    }
    // The specified way: each section over the whole block, one after the other.
    void runSingly(const std::vector<Section>& sections, std::vector<double>& io, int from, int n) {
        for (std::size_t i = 0; i < sections.size(); ++i) {
            CDCDAWCall call;
            call.count = n;
            call.blocks[0] = io.data() + from;
            call.blocks[1] = reinterpret_cast<double*>(&states[i]);
            call.blocks[2] = io.data() + from;
            routineOf(sections[i].shape)(call);
        }
    }
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<Section> peaks(int count) {
    std::vector<Section> s;
    for (int i = 0; i < count; ++i)
        s.push_back({BiquadShape::Common, CAudioFilterRBJGen::kPeaking, 50.0 * (i + 1) * (i + 1)});
    return s;
}

std::vector<Section> mixed() {
    using B = BiquadShape;
    using G = CAudioFilterRBJGen;
    return {{B::Common, G::kPeaking, 120.0},   {B::LowPass, G::kLowPass, 9000.0}, {B::LowPass, G::kLowPass, 12000.0},
            {B::LowPass, G::kLowPass, 15000.0}, {B::HighPass, G::kHighPass, 30.0}, {B::Notch, G::kNotch, 50.0},
            {B::BandPass, G::kBandPass, 1000.0}, {B::Common, G::kPeaking, 3000.0}, {B::Notch, G::kNotch, 60.0},
            {B::Notch, G::kNotch, 70.0},        {B::HighPass, G::kHighPass, 20.0}};
}

struct CascadeCase {
    std::string name;
    std::vector<Section> sections;
};

class BiquadCascadeLevels : public test::CBiquadLevelTest {};

// Every cascade length up to two full passes and beyond, every shape, blocks of 1, 7 and 512
// frames and a block larger than the kernels' chunk: the outputs and the histories left in the
// states match the single-section routines bit for bit.
TEST_P(BiquadCascadeLevels, MatchesTheSingleSectionRoutinesBitForBit) {
    std::vector<CascadeCase> cases;
    for (int count : {1, 2, 3, 4, 5, 7, 8, 9, 17})
        cases.push_back({"peaks" + std::to_string(count), peaks(count)});
    cases.push_back({"mixed", mixed()});
    const int total = 1400;
    const std::vector<double> in0 = test::testNoise(total, 3), in1 = test::testNoise(total, 4);
    for (const CascadeCase& c : cases) {
        std::vector<BiquadShape> shapes;
        for (const Section& s : c.sections)
            shapes.push_back(s.shape);
        for (int block : {1, 7, 512, 1000}) {
            SCOPED_TRACE(c.name + " block " + std::to_string(block));
            Chain ref0(c.sections, 2.0), ref1(c.sections, 0.5), run0(c.sections, 2.0), run1(c.sections, 0.5);
            std::vector<double> r0 = in0, r1 = in1, o0(total), o1(total);
            for (int at = 0; at < total; at += block) {
                const int n = std::min(block, total - at);
                ref0.runSingly(c.sections, r0, at, n);
                ref1.runSingly(c.sections, r1, at, n);
                runBiquadCascadePair(run0.pointers.data(), run1.pointers.data(), shapes.data(), int(shapes.size()),
                                     in0.data() + at, in1.data() + at, o0.data() + at, o1.data() + at, n);
            }
            int mismatches = 0;
            for (int k = 0; k < total; ++k)
                mismatches += !sameBits(r0[std::size_t(k)], o0[std::size_t(k)]) +
                              !sameBits(r1[std::size_t(k)], o1[std::size_t(k)]);
            EXPECT_EQ(mismatches, 0);
            for (std::size_t i = 0; i < c.sections.size(); ++i) {
                EXPECT_TRUE(sameBits(ref0.states[i].w1, run0.states[i].w1) && sameBits(ref0.states[i].w2, run0.states[i].w2) &&
                            sameBits(ref1.states[i].w1, run1.states[i].w1) && sameBits(ref1.states[i].w2, run1.states[i].w2))
                    << "section " << i;
            }
        }
    }
}

// An update of every section (or every other one) of one channel's chains, at a frame.
struct MorphEvent {
    int frame;
    double gain;
    bool first, second;   // which channels get it
    bool half = false;    // every other section only
};

// Runs the cascade and the single-section routines over the same input in blocks of `block`
// frames, channel 0 designed with gain0 and channel 1 with gain1 (an event's gain scaled by
// gain1 / gain0 for channel 1), the events applied before the block that holds their frame.
// Outputs and whole states must match bit for bit.
void expectMorphsMatch(const std::vector<Section>& sections, double gain0, double gain1,
                       const std::vector<MorphEvent>& events, int total, int block) {
    SCOPED_TRACE("sections " + std::to_string(sections.size()) + " block " + std::to_string(block));
    const std::vector<double> in0 = test::testNoise(total, 7), in1 = test::testNoise(total, 8);
    std::vector<BiquadShape> shapes;
    for (const Section& s : sections)
        shapes.push_back(s.shape);
    Chain ref0(sections, gain0), ref1(sections, gain1), run0(sections, gain0), run1(sections, gain1);
    std::vector<double> r0 = in0, r1 = in1, o0(in0.size()), o1(in0.size());
    for (int at = 0; at < total; at += block) {
        for (const MorphEvent& e : events) {
            if (e.frame >= at && e.frame < at + block) {
                if (e.first)
                    for (Chain* c : {&ref0, &run0})
                        c->update(sections, e.gain, e.half);
                if (e.second)
                    for (Chain* c : {&ref1, &run1})
                        c->update(sections, e.gain * gain1 / gain0, e.half);
            }
        }
        const int n = std::min(block, total - at);
        ref0.runSingly(sections, r0, at, n);
        ref1.runSingly(sections, r1, at, n);
        runBiquadCascadePair(run0.pointers.data(), run1.pointers.data(), shapes.data(), int(shapes.size()),
                             in0.data() + at, in1.data() + at, o0.data() + at, o1.data() + at, n);
    }
    EXPECT_EQ(std::memcmp(r0.data(), o0.data(), std::size_t(total) * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(r1.data(), o1.data(), std::size_t(total) * sizeof(double)), 0);
    EXPECT_NE(std::memcmp(o0.data(), in0.data(), std::size_t(total) * sizeof(double)), 0);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        EXPECT_EQ(std::memcmp(&ref0.states[i], &run0.states[i], offsetof(CBiquadState, remaining)), 0) << i;
        EXPECT_EQ(std::memcmp(&ref1.states[i], &run1.states[i], offsetof(CBiquadState, remaining)), 0) << i;
        EXPECT_EQ(ref0.states[i].remaining, run0.states[i].remaining);
        EXPECT_EQ(ref1.states[i].remaining, run1.states[i].remaining);
    }
}

// Morphs: every section morphing at once (the morph ending inside a block, coefficients arriving
// during a morph and waiting for its end) and only some sections morphing: outputs and whole
// states match the single-section routines bit for bit for blocks of 1, 7 and 512 frames.
TEST_P(BiquadCascadeLevels, MorphsMatchTheSingleSectionRoutinesBitForBit) {
    // All morph from frame 700 (a second set waits from 1000), half of them from 4000.
    const std::vector<MorphEvent> events = {
        {700, 3.0, true, true}, {1000, 0.7, true, true}, {4000, 1.5, true, true, true}};
    for (const std::vector<Section>& sections : {peaks(5), mixed()})
        for (int block : {1, 7, 512})
            expectMorphsMatch(sections, 2.0, 0.5, events, 6000, block);
}

// The two channels of a stereo band get the same coefficients at the same frames, so their morphs
// run in step (the cascade then shares work between them). From a cold start, with updates from
// the first frame, during a morph, to one channel alone (out of step) and to both again: outputs
// and whole states match the single-section routines bit for bit.
TEST_P(BiquadCascadeLevels, MorphsInStepMatchTheSingleSectionRoutinesBitForBit) {
    const std::vector<MorphEvent> events = {{0, 3.0, true, true},     {900, 0.7, true, true},
                                            {2600, 1.5, true, false}, {3300, 2.5, true, true},
                                            {4300, 0.4, true, true},  {4310, 1.2, false, true}};
    for (const std::vector<Section>& sections : {peaks(2), peaks(4), peaks(5), peaks(8), mixed()})
        for (int block : {1, 7, 512})
            expectMorphsMatch(sections, 2.0, 2.0, events, 5200, block);
}

// In place (output block = input block) gives the same as separate blocks.
TEST_P(BiquadCascadeLevels, RunsInPlace) {
    const std::vector<Section> sections = peaks(6);
    const std::vector<BiquadShape> shapes(6, BiquadShape::Common);
    Chain a0(sections, 2.0), a1(sections, 0.5), b0(sections, 2.0), b1(sections, 0.5);
    const std::vector<double> in0 = test::testNoise(300, 5), in1 = test::testNoise(300, 6);
    std::vector<double> o0(300), o1(300), io0 = in0, io1 = in1;
    runBiquadCascadePair(a0.pointers.data(), a1.pointers.data(), shapes.data(), 6, in0.data(), in1.data(), o0.data(),
                         o1.data(), 300);
    runBiquadCascadePair(b0.pointers.data(), b1.pointers.data(), shapes.data(), 6, io0.data(), io1.data(), io0.data(),
                         io1.data(), 300);
    EXPECT_EQ(std::memcmp(o0.data(), io0.data(), 300 * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(o1.data(), io1.data(), 300 * sizeof(double)), 0);
    EXPECT_NE(std::memcmp(o0.data(), in0.data(), 300 * sizeof(double)), 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, BiquadCascadeLevels, ::testing::Values(0, 1, 2), test::biquadLevelName);

// A processor that reports CPUID leaf 1 with the given ECX, leaf 7 with the given EBX (leaf 7
// listed only when ebx7 is not zero) and XCR0.
class CCascadeTestCpu : public CCpuInfo {
public:
    CCascadeTestCpu(std::uint32_t ecx, std::uint64_t xcr0, std::uint32_t ebx7 = 0)
        : mEcx(ecx), mEbx7(ebx7), mXcr0(xcr0) {}
    bool hasCpuid() const override { return true; }
    void cpuid(std::uint32_t leaf, std::uint32_t, std::uint32_t regs[4]) const override {
        regs[0] = leaf == 0 ? (mEbx7 != 0 ? 7 : 1) : 0;
        regs[1] = leaf == 7 ? mEbx7 : 0;
        regs[2] = leaf == 1 ? mEcx : 0;
        regs[3] = 0;
    }
    std::uint64_t xgetbv0() const override { return mXcr0; }

private:
    std::uint32_t mEcx;
    std::uint32_t mEbx7;
    std::uint64_t mXcr0;
};

TEST(BiquadCascadeLevel, FollowsTheProcessorAndTheOperatingSystem) {
    constexpr std::uint32_t kOsxsave = 1u << 27, kAvx = 1u << 28;
    constexpr std::uint32_t kAvx512F = 1u << 16, kAvx512VL = 1u << 31;
    struct Case {
        std::uint32_t ecx;
        std::uint64_t xcr0;
        std::uint32_t ebx7;
        int level;
    };
    const Case cases[] = {
        {kOsxsave | kAvx, 6, 0, 1},
        {kOsxsave | kAvx, 2, 0, 0},   // AVX state not saved
        {kOsxsave, 6, 0, 0},
        {0, 0, 0, 0},
        {kOsxsave | kAvx, 0xE6, kAvx512F | kAvx512VL, 2},
        {kOsxsave | kAvx, 0x66, kAvx512F | kAvx512VL, 1},   // upper registers not saved
        {kOsxsave | kAvx, 0xE6, kAvx512F, 1},                // no 256-bit forms with 32 registers
        {kOsxsave | kAvx, 0xE6, kAvx512VL, 1},
        {kOsxsave, 0xE6, kAvx512F | kAvx512VL, 0},            // no AVX at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(biquadCascadeLevelFor(CCascadeTestCpu(c.ecx, c.xcr0, c.ebx7)), c.level)
            << std::hex << c.ecx << " " << c.xcr0 << " " << c.ebx7;
}

TEST(BiquadCascadeLevel, RefusesALevelTheProcessorLacks) {
    const int native = biquadCascadeLevelFor(CCpuInfo());
    EXPECT_FALSE(setBiquadCascadeLevelForTesting(native + 1));
    EXPECT_FALSE(setBiquadCascadeLevelForTesting(-1));
    EXPECT_EQ(biquadCascadeLevel(), native);
}

TEST(BiquadCascade, KnowsTheShapeOfEveryBiquadProcessRoutine) {
    const BiquadShape expected[5] = {BiquadShape::Common, BiquadShape::LowPass, BiquadShape::HighPass,
                                     BiquadShape::BandPass, BiquadShape::Notch};
    for (int i = 0; i < 5; ++i) {
        BiquadShape s{};
        ASSERT_TRUE(biquadShapeOf(kRBJRoutineTable[2 + i], s));
        EXPECT_EQ(s, expected[i]);
    }
    BiquadShape s{};
    EXPECT_FALSE(biquadShapeOf(kRBJRoutineTable[0], s));
    EXPECT_FALSE(biquadShapeOf(kFirstOrderRoutineTable[2], s));
}

} // namespace
} // namespace tal
