#include "Audio/VST/SpeakerArrangements.h"

#include "pluginterfaces/vst/vstspeaker.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tal;
using namespace Steinberg::Vst;

struct NegotiationCase {
    const char* name;
    SpeakerArrangement in, sidechain, out;
    int numIns;
    int maxChannels;
    bool useSidechain, symmetric;
    SpeakerArrangement wantIn, wantSidechain, wantOut;
    int wantInChannels, wantOutChannels;
    bool wantAccepted;
};

class BusNegotiation : public ::testing::TestWithParam<NegotiationCase> {};

TEST_P(BusNegotiation, TakesOrReplacesTheProposal) {
    const NegotiationCase& c = GetParam();
    SpeakerArrangement ins[2] = {c.in, c.sidechain};
    SpeakerArrangement outs[1] = {c.out};
    CBusArrangementChoice choice;
    ASSERT_TRUE(chooseBusArrangements(ins, c.numIns, outs, 1, c.maxChannels, c.useSidechain, c.symmetric, choice));
    EXPECT_EQ(choice.input, c.wantIn);
    EXPECT_EQ(choice.output, c.wantOut);
    EXPECT_EQ(choice.sidechain, c.wantSidechain);
    EXPECT_EQ(choice.inputChannels, c.wantInChannels);
    EXPECT_EQ(choice.outputChannels, c.wantOutChannels);
    EXPECT_EQ(choice.accepted, c.wantAccepted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BusNegotiation,
    ::testing::Values(
        NegotiationCase{"MonoInStereoOut", SpeakerArr::kMono, 0, SpeakerArr::kStereo, 1, 8, false, false,
                        SpeakerArr::kMono, 0, SpeakerArr::kStereo, 1, 2, true},
        NegotiationCase{"SixSix", SpeakerArr::k51, 0, SpeakerArr::k51, 1, 8, false, true, SpeakerArr::k51, 0,
                        SpeakerArr::k51, 6, 6, true},
        NegotiationCase{"TenTenOverEight", 0x3FF, 0, 0x3FF, 1, 8, false, true, SpeakerArr::k71Music, 0,
                        SpeakerArr::k71Music, 8, 8, false},
        NegotiationCase{"TwoSixSymmetric", SpeakerArr::kStereo, 0, SpeakerArr::k51, 1, 8, false, true,
                        SpeakerArr::k51, 0, SpeakerArr::k51, 6, 6, false},
        NegotiationCase{"FourSixAsymmetric", SpeakerArr::k40Music, 0, SpeakerArr::k51, 1, 8, false, false,
                        SpeakerArr::kMono, 0, SpeakerArr::kStereo, 1, 2, false},
        NegotiationCase{"FiveChannelSidechain", SpeakerArr::kStereo, SpeakerArr::k41Music, SpeakerArr::kStereo, 2, 8,
                        true, true, SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo, 2, 2, false},
        NegotiationCase{"SidechainIgnoredWithoutOption", SpeakerArr::kStereo, SpeakerArr::kStereo,
                        SpeakerArr::kStereo, 2, 8, false, true, SpeakerArr::kStereo, 0, SpeakerArr::kStereo, 2, 2, true},
        NegotiationCase{"NoInputChannels", 0, 0, SpeakerArr::kStereo, 1, 2, false, true, SpeakerArr::kStereo, 0,
                        SpeakerArr::kStereo, 2, 2, false},
        // More internal channels than the table has rows: the fallback has 8 channels, and the
        // counts follow the arrangement, not the internal count.
        NegotiationCase{"FallbackCountsFollowTheArrangement", 0x3FFF, 0, 0x3FFF, 1, 12, false, true,
                        SpeakerArr::k71Music, 0, SpeakerArr::k71Music, 8, 8, false},
        NegotiationCase{"TenTenWithinSixteen", 0x3FF, 0, 0x3FF, 1, 16, false, true, 0x3FF, 0, 0x3FF, 10, 10, true}),
    [](const ::testing::TestParamInfo<NegotiationCase>& info) { return std::string(info.param.name); });

TEST(SpeakerArrangements, NoInputOrOutputIsRefusedOutright) {
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    CBusArrangementChoice choice;
    choice.input = 42;
    EXPECT_FALSE(chooseBusArrangements(&stereo, 0, &stereo, 1, 8, false, true, choice));
    EXPECT_FALSE(chooseBusArrangements(&stereo, 1, &stereo, 0, 8, false, true, choice));
    EXPECT_EQ(choice.input, 42u);   // nothing chosen
}

TEST(SpeakerArrangements, FallbackRowsAndSpeakerNames) {
    EXPECT_EQ(fallbackArrangement(8), 0x63Fu);
    EXPECT_EQ(fallbackArrangement(7), 0x63Bu);
    EXPECT_EQ(fallbackArrangement(6), 0x3Fu);
    EXPECT_EQ(fallbackArrangement(5), 0x3Bu);
    EXPECT_EQ(fallbackArrangement(4), 0x10Bu);
    EXPECT_EQ(fallbackArrangement(3), 0x103u);
    EXPECT_EQ(fallbackArrangement(2), 0x3u);
    EXPECT_EQ(fallbackArrangement(1), 0x80000u);
    EXPECT_EQ(fallbackArrangement(16), 0x63Fu);

    std::string names;
    for (int bit = 0; bit < 64; ++bit)
        if (SpeakerArr::k51 & (SpeakerArrangement(1) << bit))
            names += std::string(speakerName(bit)) + " ";
    EXPECT_EQ(names, "L R C Lfe Ls Rs ");
    EXPECT_STREQ(speakerName(19), "M");
    EXPECT_STREQ(speakerName(27), "Rcs");
    EXPECT_STREQ(speakerName(28), "");
    EXPECT_STREQ(speakerName(63), "");
}

} // namespace
