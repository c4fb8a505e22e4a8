// `delmaro-tool host process` run as a user runs it: on a file whose header claims far more audio
// than the file holds, and on a short file whose streamed result must equal the same processing
// done in memory in one piece.
#include "CHostModule.h"
#include "CHostParameterChanges.h"
#include "CHostPlugin.h"
#include "HostBandLevel.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Other/CWaveFile.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace delmaro_tool;
using namespace Steinberg;
using namespace Steinberg::Vst;

// A fresh folder, removed with its contents at the end.
struct Folder {
    std::filesystem::path path;
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "talhostXXXXXX").string();
        path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const char* name) const { return (path / name).string(); }
};

using tal::test::ToolRun;

ToolRun runTool(const std::string& arguments) { return tal::test::runTool(TAL_TOOL_PATH, arguments); }

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void le32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// A 16-bit stereo RIFF file at 44.1 kHz whose sizes claim `claimed` frames while `real` follow.
std::vector<std::uint8_t> claimingFile(std::uint32_t claimed, std::uint32_t real) {
    std::vector<std::uint8_t> b;
    const std::uint32_t dataSize = claimed * 4;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    le32(b, 4 + 24 + 8 + dataSize);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    le32(b, 16);
    b.insert(b.end(), {1, 0, 2, 0});
    le32(b, 44100);
    le32(b, 44100 * 4);
    b.insert(b.end(), {4, 0, 16, 0, 'd', 'a', 't', 'a'});
    le32(b, dataSize);
    for (std::uint32_t i = 0; i < real; ++i) {
        const auto v = std::uint16_t(std::int16_t(8000.0 * std::sin(i * 0.03)));
        b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v), std::uint8_t(v >> 8)});
    }
    return b;
}

TEST(HostProcess, HeaderClaimingHoursInASmallFileFailsAtOnceWithAClearError) {
    Folder folder;
    const std::uint32_t twoHours = 2 * 3600 * 44100;
    writeBytes(folder.file("lying.wav"), claimingFile(twoHours, 48000));
    const ToolRun run = runTool("host process '" + std::string(TAL_PLUGIN_MODULE) + "' '" + folder.file("lying.wav") + "' '" +
                            folder.file("out.wav") + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("claims " + std::to_string(twoHours) + " frames (2:00:00)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("holds 48000"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.wav")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.wav.tmp")));
}

// The same processing done in memory: every block of the whole signal (plus latency frames of
// silence) through the plug-in, the first `latency` output frames dropped.
std::vector<std::vector<double>> processInMemory(const std::vector<std::vector<double>>& in, double rate, int block,
                                                 int program) {
    CHostModule module;
    EXPECT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    CHostPlugin plugin;
    EXPECT_EQ(plugin.create(module.factory()), "");
    for (const ParameterInfo& p : plugin.parameters())
        if (p.flags & ParameterInfo::kIsProgramChange)
            plugin.controller()->setParamNormalized(p.id, double(program) / p.stepCount);
    const int channels = int(in.size());
    EXPECT_EQ(plugin.start(rate, block, kSample32, channels, channels), "");
    const std::int64_t frames = std::int64_t(in[0].size());
    const std::int64_t latency = plugin.processor()->getLatencySamples();
    std::vector<std::vector<double>> padded = in, out(std::size_t(plugin.outputChannels()));
    for (auto& c : padded)
        c.resize(std::size_t(frames + latency + block), 0.0);
    for (auto& c : out)
        c.resize(padded[0].size(), 0.0);
    CHostParameterChanges changes(1024, 4);
    for (std::int64_t pos = 0; pos < frames + latency; pos += block) {
        const int n = int(std::min<std::int64_t>(block, frames + latency - pos));
        std::vector<const double*> ins;
        std::vector<double*> outs;
        for (auto& c : padded)
            ins.push_back(c.data() + pos);
        for (auto& c : out)
            outs.push_back(c.data() + pos);
        EXPECT_EQ(plugin.processBlock(ins.data(), outs.data(), n, pos == 0 ? &changes : nullptr), kResultOk);
    }
    plugin.stop();
    for (auto& c : out)
        c = std::vector<double>(c.begin() + latency, c.begin() + latency + frames);
    return out;
}

TEST(HostProcess, StreamedResultEqualsProcessingInOnePiece) {
    Folder folder;
    // Noise in a 24-bit file whose length is no multiple of the block or the reader's buffer.
    const int frames = 40000 + 77;
    std::mt19937 rng(26);
    std::uniform_real_distribution<double> uniform(-0.7, 0.7);
    std::vector<std::vector<double>> signal(2, std::vector<double>(frames));
    for (auto& c : signal)
        for (double& x : c)
            x = uniform(rng);
    {
        tal::CWaveFile writer;
        writer.sampleRate = 48000.0;
        writer.channelCount = 2;
        writer.physicalBits = writer.realBits = 24;
        writer.blockAlign = 6;
        ASSERT_EQ(writer.create(tal::CString(folder.file("in.wav").c_str())), nullptr);
        const double* ptrs[2] = {signal[0].data(), signal[1].data()};
        ASSERT_EQ(writer.writeSamples(ptrs, frames), nullptr);
        ASSERT_EQ(writer.finishWriting(), nullptr);
    }
    // What the plug-in gets is what the file holds. (The plug-in's anti-denormal noise differs
    // between instances far below the tolerance of the comparison.)
    std::vector<std::vector<double>> held(2, std::vector<double>(frames));
    {
        tal::CWaveFile reader;
        ASSERT_EQ(reader.open(tal::CString(folder.file("in.wav").c_str())), nullptr);
        double* ptrs[2] = {held[0].data(), held[1].data()};
        std::int32_t got = 0;
        ASSERT_EQ(reader.readSamples(ptrs, frames, got), nullptr);
        ASSERT_EQ(got, frames);
        ASSERT_EQ(reader.close(), nullptr);
    }
    const int program = 6;
    const ToolRun run = runTool("host process '" + std::string(TAL_PLUGIN_MODULE) + "' '" + folder.file("in.wav") + "' '" +
                            folder.file("out.wav") + "' --block 300 --program " + std::to_string(program) + " --bands");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("1000 Hz"), std::string::npos) << run.output;
    const std::vector<std::vector<double>> expected = processInMemory(held, 48000.0, 300, program);

    tal::CWaveFile result;
    ASSERT_EQ(result.open(tal::CString(folder.file("out.wav").c_str())), nullptr);
    ASSERT_EQ(result.frameCount, frames);
    ASSERT_EQ(result.channelCount, int(expected.size()));
    std::vector<std::vector<double>> got(expected.size(), std::vector<double>(frames));
    std::vector<double*> ptrs;
    for (auto& c : got)
        ptrs.push_back(c.data());
    std::int32_t n = 0;
    ASSERT_EQ(result.readSamples(ptrs.data(), frames, n), nullptr);
    ASSERT_EQ(n, frames);
    double difference = 0.0;
    for (std::size_t c = 0; c < got.size(); ++c)
        for (int i = 0; i < frames; ++i)
            ASSERT_NEAR(got[c][std::size_t(i)], expected[c][std::size_t(i)], 1e-7) << c << ":" << i;
    for (int i = 0; i < frames; ++i)
        difference = std::max(difference, std::abs(expected[0][std::size_t(i)] - held[0][std::size_t(i)]));
    EXPECT_GT(difference, 0.01);   // the program changed the sound: the comparison means something
}

// Band levels gathered block by block equal those of the whole signal.
TEST(HostProcess, BandMeterFedInBlocksMatchesTheWholeSignal) {
    std::mt19937 rng(7);
    std::normal_distribution<double> normal(0.0, 0.3);
    std::vector<std::vector<double>> signal(2, std::vector<double>(30011));
    for (auto& c : signal)
        for (double& x : c)
            x = normal(rng);
    for (const double fc : {63.0, 1000.0, 12000.0}) {
        SCOPED_TRACE(fc);
        CBandLevelMeter meter(2, 48000.0, fc, 1.4, 3, 1000);
        for (std::size_t at = 0; at < signal[0].size(); at += 333) {
            const std::size_t n = std::min<std::size_t>(333, signal[0].size() - at);
            const double* ptrs[2] = {signal[0].data() + at, signal[1].data() + at};
            meter.add(ptrs, n);
        }
        const double whole = bandLevelDb(signal, 48000.0, fc, 1.4, 3, 1000);
        EXPECT_NEAR(meter.levelDb(), whole, 1e-9);
        EXPECT_GT(whole, -60.0);
    }
}

} // namespace
