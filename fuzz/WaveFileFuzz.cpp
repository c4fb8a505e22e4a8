// libFuzzer target: the wave file reader on arbitrary bytes. Opens the bytes as a file image,
// reads every frame in uneven blocks, repositions, skips, and copies the metadata into a second
// object at another sample rate. Any crash, leak, hang or sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Other/CWaveFile.h"

namespace {

void drop(tal::CError* err) { delete err; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 24)) return 0;
    tal::CMemoryReader reader(data, static_cast<std::int32_t>(size));
    tal::CWaveFile wave;
    if (tal::CError* err = wave.openFile(&reader)) {
        drop(err);
        return 0;
    }
    std::vector<std::vector<double>> buffers(static_cast<std::size_t>(wave.channelCount), std::vector<double>(5000));
    std::vector<double*> channels;
    for (auto& b : buffers) channels.push_back(b.data());
    const std::int32_t blocks[] = {1, 4999, 0, 17, 5000};
    for (int i = 0; i < 64; ++i) {
        std::int32_t got = 0;
        tal::CError* err = i % 7 == 3 ? wave.skipSamples(blocks[i % 5], got) : wave.readSamples(channels.data(), blocks[i % 5], got);
        if (err != nullptr || got < 0) {
            drop(err);
            break;
        }
    }
    drop(wave.setSamplePos(wave.frameCount / 2));
    tal::CWaveFile copy;
    copy.sampleRate = 48000.0;
    copy.copyFormat(wave);
    copy.sampleRate = 96000.0;
    copy.copyTextInfo(wave);
    copy.copyMetadata(wave);
    drop(wave.close());
    return 0;
}
