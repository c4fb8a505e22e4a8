// Wave file throughput against libsndfile (sf_readf_double / sf_writef_double) on the same files:
// reading 16 and 24-bit integers and 32 and 64-bit floats in mono, stereo and eight channels, and
// writing 16-bit integers with dither. Items are frames per second.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Core/CError.h"
#include "Core/CString.h"
#include "Other/CWaveFile.h"

namespace {

using tal::CError;
using tal::CString;
using tal::CWaveFile;

constexpr int kFrames = 480000;   // 10 s at 48 kHz
constexpr int kBlock = 4096;

struct Layout {
    bool isFloat;
    int bits, channels;
};

std::string pathFor(const Layout& l) {
    return "/tmp/tal_wave_bench_" + std::string(l.isFloat ? "f" : "i") + std::to_string(l.bits) + "x" + std::to_string(l.channels) + ".wav";
}

std::vector<std::vector<double>> signal(int channels, int frames) {
    std::vector<std::vector<double>> s(static_cast<std::size_t>(channels), std::vector<double>(static_cast<std::size_t>(frames)));
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < frames; ++i) s[std::size_t(ch)][std::size_t(i)] = 0.7 * std::sin(0.001 * (ch + 1) * i);
    return s;
}

bool check(CError* err, benchmark::State& state) {
    if (err == nullptr) return true;
    state.SkipWithError(err->message().chars8());
    delete err;
    return false;
}

// Writes the file once per layout with the framework's writer.
bool ensureFile(const Layout& l, benchmark::State& state) {
    static std::vector<std::string> made;
    const std::string path = pathFor(l);
    for (const auto& m : made)
        if (m == path) return true;
    CWaveFile w;
    w.sampleRate = 48000;
    w.channelCount = l.channels;
    w.isFloat = l.isFloat;
    w.physicalBits = w.realBits = l.bits;
    w.blockAlign = l.channels * l.bits / 8;
    const auto s = signal(l.channels, kFrames);
    std::vector<const double*> p;
    for (const auto& c : s) p.push_back(c.data());
    if (!check(w.create(CString(path.c_str())), state) || !check(w.writeSamples(p.data(), kFrames), state) ||
        !check(w.finishWriting(), state))
        return false;
    made.push_back(path);
    return true;
}

Layout layoutOf(const benchmark::State& state) {
    return Layout{state.range(0) != 0, int(state.range(1)), int(state.range(2))};
}

void BM_ReadTal(benchmark::State& state) {
    const Layout l = layoutOf(state);
    if (!ensureFile(l, state)) return;
    std::vector<std::vector<double>> out(std::size_t(l.channels), std::vector<double>(kBlock));
    std::vector<double*> p;
    for (auto& c : out) p.push_back(c.data());
    for (auto _ : state) {
        CWaveFile w;
        if (!check(w.open(CString(pathFor(l).c_str())), state)) return;
        std::int32_t got = 0;
        do {
            if (!check(w.readSamples(p.data(), kBlock, got), state)) return;
        } while (got > 0);
        benchmark::DoNotOptimize(out[0][0]);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_ReadSndfile(benchmark::State& state) {
    const Layout l = layoutOf(state);
    if (!ensureFile(l, state)) return;
    std::vector<double> interleaved(std::size_t(kBlock * l.channels));
    for (auto _ : state) {
        SF_INFO info{};
        SNDFILE* f = sf_open(pathFor(l).c_str(), SFM_READ, &info);
        if (f == nullptr) {
            state.SkipWithError("sf_open failed");
            return;
        }
        while (sf_readf_double(f, interleaved.data(), kBlock) > 0) {
        }
        sf_close(f);
        benchmark::DoNotOptimize(interleaved[0]);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_WriteTal16(benchmark::State& state) {
    const int channels = int(state.range(0));
    const auto s = signal(channels, kFrames);
    for (auto _ : state) {
        CWaveFile w;
        w.sampleRate = 48000;
        w.channelCount = channels;
        w.physicalBits = w.realBits = 16;
        w.blockAlign = channels * 2;
        if (!check(w.create(CString("/tmp/tal_wave_bench_out.wav")), state)) return;
        for (int pos = 0; pos < kFrames; pos += kBlock) {
            std::vector<const double*> p;
            for (const auto& c : s) p.push_back(c.data() + pos);
            if (!check(w.writeSamples(p.data(), std::min(kBlock, kFrames - pos)), state)) return;
        }
        if (!check(w.finishWriting(), state)) return;
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_WriteSndfile16(benchmark::State& state) {
    const int channels = int(state.range(0));
    const auto s = signal(channels, kFrames);
    std::vector<double> interleaved(std::size_t(kBlock * channels));
    for (auto _ : state) {
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open("/tmp/tal_wave_bench_out_sf.wav", SFM_WRITE, &info);
        if (f == nullptr) {
            state.SkipWithError("sf_open failed");
            return;
        }
        for (int pos = 0; pos < kFrames; pos += kBlock) {
            const int n = std::min(kBlock, kFrames - pos);
            for (int i = 0; i < n; ++i)
                for (int ch = 0; ch < channels; ++ch) interleaved[std::size_t(i * channels + ch)] = s[std::size_t(ch)][std::size_t(pos + i)];
            sf_writef_double(f, interleaved.data(), n);
        }
        sf_close(f);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void readArgs(benchmark::internal::Benchmark* b) {
    for (const int channels : {1, 2, 8}) {
        b->Args({0, 16, channels});
        b->Args({0, 24, channels});
        b->Args({1, 32, channels});
        b->Args({1, 64, channels});
    }
    b->ArgNames({"float", "bits", "ch"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ReadTal)->Apply(readArgs);
BENCHMARK(BM_ReadSndfile)->Apply(readArgs);
BENCHMARK(BM_WriteTal16)->Arg(2)->ArgName("ch")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSndfile16)->Arg(2)->ArgName("ch")->Unit(benchmark::kMillisecond);

} // namespace
