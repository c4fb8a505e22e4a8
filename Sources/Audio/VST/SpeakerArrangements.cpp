#include "Audio/VST/SpeakerArrangements.h"

#include "pluginterfaces/vst/vstspeaker.h"

#include <algorithm>
#include <bit>

namespace tal {

using namespace Steinberg::Vst;

namespace {

struct CArrangementRow {
    int channels;
    SpeakerArrangement arrangement;
};

const CArrangementRow kArrangementTable[] = {
    {8, SpeakerArr::k71Music}, {7, SpeakerArr::k61Music}, {6, SpeakerArr::k51},     {5, SpeakerArr::k41Music},
    {4, SpeakerArr::k31Music}, {3, SpeakerArr::k30Music}, {2, SpeakerArr::kStereo}, {1, SpeakerArr::kMono},
};

const char* const kSpeakerNames[28] = {
    "L", "R", "C", "Lfe", "Ls", "Rs", "Lc", "Rc", "S", "Sl", "Sr", "Tm", "Tfl", "Tfc",
    "Tfr", "Trl", "Trc", "Trr", "Lfe2", "M", "B-W", "B-X", "B-Y", "B-Z", "Tsl", "Tsr", "Lcs", "Rcs",
};

int channelsOf(SpeakerArrangement arrangement) noexcept { return std::popcount(std::uint64_t(arrangement)); }

} // namespace

SpeakerArrangement fallbackArrangement(int channels) noexcept {
    for (const CArrangementRow& row : kArrangementTable)
        if (row.channels <= channels)
            return row.arrangement;
    return SpeakerArr::kMono;
}

const char* speakerName(int bit) noexcept { return bit >= 0 && bit < 28 ? kSpeakerNames[bit] : ""; }

bool chooseBusArrangements(const SpeakerArrangement* inputs, int numIns, const SpeakerArrangement* outputs,
                           int numOuts, int maxChannels, bool useSidechain, bool symmetricIO,
                           CBusArrangementChoice& choice) noexcept {
    if (numIns <= 0 || numOuts <= 0 || inputs == nullptr || outputs == nullptr)
        return false;
    CBusArrangementChoice c;
    c.input = inputs[0];
    c.output = outputs[0];
    if (numIns >= 2 && useSidechain && inputs[1] != 0)
        c.sidechain = inputs[1];
    c.accepted = true;
    // Counts always follow the arrangement chosen: a fallback for more than 8 internal channels
    // still has only 8.
    int nIn = channelsOf(c.input), nOut = channelsOf(c.output);
    if (nIn == 0 || nIn > maxChannels) {
        c.input = fallbackArrangement(maxChannels);
        nIn = channelsOf(c.input);
        c.accepted = false;
    }
    if (nOut > maxChannels) {
        c.output = fallbackArrangement(maxChannels);
        nOut = channelsOf(c.output);
        c.accepted = false;
    }
    if (channelsOf(c.sidechain) >= 3) {
        c.sidechain = SpeakerArr::kStereo;
        c.accepted = false;
    }
    if (nIn != nOut) {
        if (symmetricIO) {
            c.input = c.output = fallbackArrangement(std::max(nIn, nOut));
            c.accepted = false;
        } else if (nIn != 1 && nOut != 2) {
            c.input = SpeakerArr::kMono;
            c.output = SpeakerArr::kStereo;
            c.accepted = false;
        }
    }
    c.inputChannels = channelsOf(c.input);
    c.outputChannels = channelsOf(c.output);
    c.sidechainChannels = channelsOf(c.sidechain);
    choice = c;
    return true;
}

} // namespace tal
