#pragma once
#include "pluginterfaces/vst/vsttypes.h"

#include <cstdint>

namespace tal {

// The speaker arrangements of the plug-in's buses: the fallback table, the speaker names and the
// negotiation of a host's proposal. Plain functions of their arguments; any thread.

// The fallback arrangement for a wanted channel count: the first row of 8 (7.1 music), 7, 6 (5.1),
// 5, 4, 3, 2 (stereo), 1 (mono) channels whose count is at most the wanted count; mono below 1.
Steinberg::Vst::SpeakerArrangement fallbackArrangement(int channels) noexcept;

// The name of speaker bit 0 to 63 ("L", "R", "C", "Lfe", ...); empty for bits without a name.
const char* speakerName(int bit) noexcept;

// What the plug-in takes of a proposal, and whether it took it unchanged.
struct CBusArrangementChoice {
    Steinberg::Vst::SpeakerArrangement input = 0, output = 0, sidechain = 0;
    int inputChannels = 0, outputChannels = 0, sidechainChannels = 0;   // counted from the arrangements
    bool accepted = false;
};

// Negotiates a host's proposal (inputs[0] main, inputs[1] the side chain; outputs[0] main) for an
// instance of maxChannels internal channels. A refused proposal yields the arrangements the plug-in
// offers instead. False (nothing chosen) when there is no input or no output at all.
bool chooseBusArrangements(const Steinberg::Vst::SpeakerArrangement* inputs, int numIns,
                           const Steinberg::Vst::SpeakerArrangement* outputs, int numOuts, int maxChannels,
                           bool useSidechain, bool symmetricIO, CBusArrangementChoice& choice) noexcept;

} // namespace tal
