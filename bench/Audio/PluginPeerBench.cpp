// The whole plug-in against the peer equaliser in the same process: this plug-in through its
// VST 3 bundle (loaded and set up by the host code in tools/, then fed blocks through
// IAudioProcessor::process as a host does) and the LSP Parametric Equalizer x16 Stereo through its
// LADSPA interface (Debian's lsp-plugins-ladspa, benchmark only). Both take the same 32-bit white
// noise at 48 kHz, with 1, 4 or 8 peaking bands (+6/-6 dB alternating, one octave wide, spread
// from 100 Hz) or none, in blocks of 32, 64, 512 and 4096 frames. The counter "time/frame" is per
// stereo frame. BM_PlainWidenNarrow is the least any 64-bit plug-in does on 32-bit host buffers:
// widen each channel to doubles and narrow it back. BM_DelmaroAutomated moves one band or every
// band every block (continuous morphs) to compare with the steady BM_Delmaro.

#include "CHostModule.h"
#include "CHostParameterChanges.h"
#include "CHostPlugin.h"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <dlfcn.h>
#include <ladspa.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr double kRate = 48000.0;
constexpr int kMaxBlock = 4096;
const char* const kPeerLabel = "http://lsp-plug.in/plugins/ladspa/para_equalizer_x16_stereo";

double bandFrequency(int band) { return 100.0 * std::pow(2.0, band); }

struct Noise {
    std::vector<float> l, r, outL, outR;
    Noise() : l(kMaxBlock), r(kMaxBlock), outL(kMaxBlock), outR(kMaxBlock) {
        std::uint64_t s = 12345;
        for (int i = 0; i < kMaxBlock; ++i) {
            s = s * 6364136223846793005ULL + 1442695040888963407ULL;
            l[std::size_t(i)] = float(double(s >> 11) * (1.0 / 9007199254740992.0) - 0.5);
            s = s * 6364136223846793005ULL + 1442695040888963407ULL;
            r[std::size_t(i)] = float(double(s >> 11) * (1.0 / 9007199254740992.0) - 0.5);
        }
    }
    // Mean absolute difference of output and input: shows that the bands do filter.
    double change(int frames) const {
        double d = 0.0;
        for (int i = 0; i < frames; ++i)
            d += std::fabs(double(outL[std::size_t(i)]) - l[std::size_t(i)]);
        return d / frames;
    }
};

void setCounters(benchmark::State& state, int frames, double change) {
    state.counters["time/frame"] = benchmark::Counter(double(state.iterations()) * frames,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["change"] = change;
}

// --- this plug-in through its bundle ---

struct OurPlugin {
    delmaro_tool::CHostModule module;
    delmaro_tool::CHostPlugin plugin;
    std::string error;

    explicit OurPlugin(int bands, int frames) {
        error = module.open(TAL_PLUGIN_MODULE);
        if (error.empty())
            error = plugin.create(module.factory());
        if (error.empty())
            error = plugin.start(kRate, frames, kSample32, 2, 2);
        if (!error.empty())
            return;
        delmaro_tool::CHostParameterChanges changes(64, 2);
        for (int b = 0; b < bands; ++b) {
            const std::string n = std::to_string(b + 1);
            set(changes, "Type" + n, "Peaking");
            set(changes, "Freq" + n, std::to_string(bandFrequency(b)));
            set(changes, "Gain" + n, b % 2 ? "-6" : "6");
            set(changes, "BW" + n, "1");
        }
        std::vector<double> in(static_cast<std::size_t>(frames)), out0 = in, out1 = in;
        const double* ins[2] = {in.data(), in.data()};
        double* outs[2] = {out0.data(), out1.data()};
        plugin.processBlock(ins, outs, frames, &changes);
    }
    void set(delmaro_tool::CHostParameterChanges& changes, const std::string& title, const std::string& text) {
        const std::int64_t id = plugin.findParameter(title);
        if (id < 0) {
            error = "no parameter " + title;
            return;
        }
        String128 wide = {};
        for (std::size_t i = 0; i < text.size() && i < 127; ++i)
            wide[i] = TChar(text[i]);
        ParamValue value = 0.0;
        if (plugin.controller()->getParamValueByString(ParamID(id), wide, value) != kResultOk) {
            error = "the text '" + text + "' does not set " + title;
            return;
        }
        plugin.controller()->setParamNormalized(ParamID(id), value);
        changes.addPoint(ParamID(id), 0, value);
    }
    // One host block straight into IAudioProcessor::process, on the host's 32-bit buffers, with
    // the host's parameter changes of the block (or none).
    void process(Noise& io, int frames, IParameterChanges* changes = nullptr) {
        float* ins[2] = {io.l.data(), io.r.data()};
        float* outs[2] = {io.outL.data(), io.outR.data()};
        AudioBusBuffers in {}, out {};
        in.numChannels = 2;
        in.channelBuffers32 = ins;
        out.numChannels = 2;
        out.channelBuffers32 = outs;
        ProcessData data;
        data.processMode = kRealtime;
        data.symbolicSampleSize = kSample32;
        data.numSamples = frames;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &in;
        data.outputs = &out;
        data.inputParameterChanges = changes;
        plugin.processor()->process(data);
    }
};

// Arguments: bands, frames per block.
void BM_Delmaro(benchmark::State& state) {
    const int bands = int(state.range(0)), frames = int(state.range(1));
    OurPlugin p(bands, frames);
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    Noise io;
    for (int i = 0; i < 50; ++i)   // past the parameter morphs
        p.process(io, frames);
    for (auto _ : state) {
        p.process(io, frames);
        benchmark::ClobberMemory();
    }
    setCounters(state, frames, io.change(frames));
}

// Automation: every block moves the first band's frequency (about a sixth of an octave up and
// back), so that band morphs all the time while the others stay steady; with the third argument 1
// every band's frequency moves every block (every section morphs all the time).
void BM_DelmaroAutomated(benchmark::State& state) {
    const int bands = int(state.range(0)), frames = int(state.range(1));
    const int moving = state.range(2) != 0 ? bands : 1;
    OurPlugin p(bands, frames);
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    std::vector<std::int64_t> ids;
    std::vector<double> values;   // two per band: the set value and the moved one
    for (int b = 0; b < moving; ++b) {
        const std::int64_t id = p.plugin.findParameter("Freq" + std::to_string(b + 1));
        const double v = p.plugin.controller()->getParamNormalized(ParamID(id));
        ids.push_back(id);
        values.push_back(v);
        values.push_back(v + 0.02);
    }
    delmaro_tool::CHostParameterChanges changes(64, 2);
    Noise io;
    int k = 0;
    for (auto _ : state) {
        changes.clear();
        ++k;
        for (std::size_t b = 0; b < ids.size(); ++b)
            changes.addPoint(ParamID(ids[b]), 0, values[2 * b + (k & 1)]);
        p.process(io, frames, &changes);
        benchmark::ClobberMemory();
    }
    setCounters(state, frames, io.change(frames));
}

// --- the peer through LADSPA ---

struct Peer {
    void* library = nullptr;
    const LADSPA_Descriptor* d = nullptr;
    LADSPA_Handle h = nullptr;
    std::vector<LADSPA_Data> controls;
    std::string error;

    static void* openLibrary(std::string& path) {
        const char* dirName = "/usr/lib/ladspa";
        DIR* dir = opendir(dirName);
        if (dir == nullptr)
            return nullptr;
        void* lib = nullptr;
        while (dirent* e = readdir(dir)) {
            if (std::strncmp(e->d_name, "lsp-plugins", 11) == 0) {
                path = std::string(dirName) + "/" + e->d_name;
                lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
                break;
            }
        }
        closedir(dir);
        return lib;
    }

    // The port whose name is exactly `name`, or -1.
    long port(const std::string& name) const {
        for (unsigned long i = 0; i < d->PortCount; ++i)
            if (name == d->PortNames[i])
                return long(i);
        return -1;
    }
    void setControl(const std::string& name, float value) {
        const long p = port(name);
        if (p < 0)
            error = "the peer has no port " + name;
        else
            controls[std::size_t(p)] = value;
    }

    // A control's default from its LADSPA hints.
    static float defaultOf(const LADSPA_PortRangeHint& hint) {
        const int h = hint.HintDescriptor;
        const float lo = hint.LowerBound, hi = hint.UpperBound;
        const bool log = LADSPA_IS_HINT_LOGARITHMIC(h) && lo > 0.0f;
        auto between = [&](float t) {
            return log ? float(std::exp(std::log(lo) * (1.0 - t) + std::log(hi) * t)) : lo * (1.0f - t) + hi * t;
        };
        switch (h & LADSPA_HINT_DEFAULT_MASK) {
            case LADSPA_HINT_DEFAULT_MINIMUM: return lo;
            case LADSPA_HINT_DEFAULT_LOW: return between(0.25f);
            case LADSPA_HINT_DEFAULT_MIDDLE: return between(0.5f);
            case LADSPA_HINT_DEFAULT_HIGH: return between(0.75f);
            case LADSPA_HINT_DEFAULT_MAXIMUM: return hi;
            case LADSPA_HINT_DEFAULT_0: return 0.0f;
            case LADSPA_HINT_DEFAULT_1: return 1.0f;
            case LADSPA_HINT_DEFAULT_100: return 100.0f;
            case LADSPA_HINT_DEFAULT_440: return 440.0f;
            default: return 0.0f;
        }
    }

    Peer(int bands, Noise& io) {
        std::string path;
        library = openLibrary(path);
        if (library == nullptr) {
            error = "lsp-plugins-ladspa is not installed (scripts/setup installs it)";
            return;
        }
        auto get = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"));
        for (unsigned long i = 0; get != nullptr; ++i) {
            const LADSPA_Descriptor* c = get(i);
            if (c == nullptr)
                break;
            if (std::strcmp(c->Label, kPeerLabel) == 0) {
                d = c;
                break;
            }
        }
        if (d == nullptr) {
            error = std::string("no plug-in labelled ") + kPeerLabel + " in " + path;
            return;
        }
        h = d->instantiate(d, static_cast<unsigned long>(kRate));
        if (h == nullptr) {
            error = "the peer does not instantiate";
            return;
        }
        controls.resize(d->PortCount);
        for (unsigned long i = 0; i < d->PortCount; ++i) {
            controls[i] = defaultOf(d->PortRangeHints[i]);
            if (LADSPA_IS_PORT_CONTROL(d->PortDescriptors[i]))
                d->connect_port(h, i, &controls[i]);
        }
        for (int b = 0; b < bands; ++b) {
            const std::string n = std::to_string(b);
            setControl("Filter type " + n, 1.0f);   // bell
            setControl("Filter mode " + n, 0.0f);   // bilinear transform
            setControl("Frequency " + n + " (Hz)", float(bandFrequency(b)));
            setControl("Gain " + n + " (G)", b % 2 ? 0.5f : 2.0f);
            setControl("Quality factor " + n, 1.41f);   // about one octave
        }
        setControl("FFT analysis", 0.0f);
        const char* audio[4] = {"Input L", "Input R", "Output L", "Output R"};
        float* buffers[4] = {io.l.data(), io.r.data(), io.outL.data(), io.outR.data()};
        for (int i = 0; i < 4; ++i) {
            const long p = port(audio[i]);
            if (p < 0) {
                error = std::string("the peer has no port ") + audio[i];
                return;
            }
            d->connect_port(h, static_cast<unsigned long>(p), buffers[i]);
        }
        if (d->activate != nullptr)
            d->activate(h);
    }
    ~Peer() {
        if (h != nullptr) {
            if (d->deactivate != nullptr)
                d->deactivate(h);
            d->cleanup(h);
        }
        if (library != nullptr)
            dlclose(library);
    }
};

void BM_LspParaEqualizer(benchmark::State& state) {
    const int bands = int(state.range(0)), frames = int(state.range(1));
    Noise io;
    Peer peer(bands, io);
    if (!peer.error.empty()) {
        state.SkipWithError(peer.error.c_str());
        return;
    }
    for (int i = 0; i < 50; ++i)
        peer.d->run(peer.h, static_cast<unsigned long>(frames));
    for (auto _ : state) {
        peer.d->run(peer.h, static_cast<unsigned long>(frames));
        benchmark::ClobberMemory();
    }
    setCounters(state, frames, io.change(frames));
}

// The least a 64-bit plug-in does on 32-bit host buffers: widen each channel and narrow it back.
void BM_PlainWidenNarrow(benchmark::State& state) {
    const int frames = int(state.range(1));
    Noise io;
    std::vector<double> block(static_cast<std::size_t>(kMaxBlock));
    for (auto _ : state) {
        for (int c = 0; c < 2; ++c) {
            const float* in = c == 0 ? io.l.data() : io.r.data();
            float* out = c == 0 ? io.outL.data() : io.outR.data();
            for (int i = 0; i < frames; ++i)
                block[std::size_t(i)] = double(in[i]);
            for (int i = 0; i < frames; ++i)
                out[i] = float(block[std::size_t(i)]);
        }
        benchmark::ClobberMemory();
    }
    setCounters(state, frames, io.change(frames));
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int bands : {0, 1, 4, 8})
        for (int frames : {32, 64, 512, 4096})
            b->Args({bands, frames});
}

// The machine may be shared: with --benchmark_repetitions the fastest repetition is reported too.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_Delmaro)->Apply(shapes)->ComputeStatistics("min", fastest);
BENCHMARK(BM_DelmaroAutomated)->ArgsProduct({{1, 8}, {32, 512}, {0, 1}})->ComputeStatistics("min", fastest);
BENCHMARK(BM_LspParaEqualizer)->Apply(shapes)->ComputeStatistics("min", fastest);
BENCHMARK(BM_PlainWidenNarrow)->ArgsProduct({{0}, {32, 64, 512, 4096}})->ComputeStatistics("min", fastest);

} // namespace
