// delmaro-tool host: a VST 3 host for the command line. It reaches the plug-in only through the
// bundle's GetPluginFactory (CHostModule, CHostPlugin); the framework is linked for audio files.
#include "CHostModule.h"
#include "CHostParameterChanges.h"
#include "CHostPlugin.h"
#include "HostBandLevel.h"
#include "DelmaroTool.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Log.h"
#include "Other/CWaveFile.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace delmaro_tool {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string narrow(const TChar* text, int max = 128) {
    std::string out;
    for (int i = 0; i < max && text[i] != 0; ++i)
        out.push_back(text[i] < 0x80 ? char(text[i]) : '?');
    return out;
}

std::string hexId(const TUID id) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        out.push_back(digits[(std::uint8_t(id[i]) >> 4) & 15]);
        out.push_back(digits[std::uint8_t(id[i]) & 15]);
    }
    return out;
}

std::string flagNames(int32 flags) {
    static const struct { int32 bit; const char* name; } kNames[] = {
        {ParameterInfo::kCanAutomate, "automate"}, {ParameterInfo::kIsReadOnly, "read-only"},
        {ParameterInfo::kIsWrapAround, "wrap"},    {ParameterInfo::kIsList, "list"},
        {ParameterInfo::kIsHidden, "hidden"},      {ParameterInfo::kIsProgramChange, "program-change"},
        {ParameterInfo::kIsBypass, "bypass"},
    };
    std::string out;
    for (const auto& n : kNames)
        if (flags & n.bit)
            out += (out.empty() ? "" : ",") + std::string(n.name);
    return out.empty() ? "none" : out;
}

// Reports a framework error's lines and frees it.
int failWith(tal::CError* error, const std::string& what) {
    const tal::CString lines = tal::joinErrorLines(error);
    delete error;
    return fail(what + ": " + lines.chars8());
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())))
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

// --- info ---

int runInfo(const std::string& bundle) {
    CHostModule module;
    if (std::string err = module.open(bundle); !err.empty())
        return fail(err);
    IPluginFactory* factory = module.factory();
    PFactoryInfo fi {};
    factory->getFactoryInfo(&fi);
    std::printf("library: %s\n", module.libraryPath().c_str());
    std::printf("factory: vendor \"%s\" url \"%s\" email \"%s\" flags 0x%x\n", fi.vendor, fi.url, fi.email,
                unsigned(fi.flags));
    FUnknownPtr<IPluginFactory2> factory2(factory);
    for (int32 i = 0; i < factory->countClasses(); ++i) {
        PClassInfo2 ci {};
        if (factory2 && factory2->getClassInfo2(i, &ci) == kResultOk) {
            std::printf("class %d: \"%s\" category \"%s\" subcategories \"%s\" vendor \"%s\" version \"%s\" sdk \"%s\" "
                        "cardinality 0x%x flags 0x%x cid %s\n",
                        int(i), ci.name, ci.category, ci.subCategories, ci.vendor, ci.version, ci.sdkVersion,
                        unsigned(ci.cardinality), unsigned(ci.classFlags), hexId(ci.cid).c_str());
        } else {
            PClassInfo c {};
            factory->getClassInfo(i, &c);
            std::printf("class %d: \"%s\" category \"%s\" cardinality 0x%x cid %s\n", int(i), c.name, c.category,
                        unsigned(c.cardinality), hexId(c.cid).c_str());
        }
    }

    CHostPlugin plugin;
    if (std::string err = plugin.create(factory); !err.empty())
        return fail(err);
    static const char* const kDir[] = {"input", "output"};
    for (MediaType type : {MediaType(kAudio), MediaType(kEvent)}) {
        for (BusDirection dir : {BusDirection(kInput), BusDirection(kOutput)}) {
            const std::vector<BusInfo> list = plugin.buses(type, dir);
            for (size_t i = 0; i < list.size(); ++i) {
                const BusInfo& b = list[i];
                SpeakerArrangement arr = 0;
                if (type == kAudio)
                    plugin.processor()->getBusArrangement(dir, int32(i), arr);
                std::printf("bus %s %s %d: \"%s\" %s, %d channels", type == kAudio ? "audio" : "event", kDir[dir],
                            int(i), narrow(b.name).c_str(), b.busType == kMain ? "main" : "aux", int(b.channelCount));
                if (type == kAudio)
                    std::printf(", arrangement 0x%llx", static_cast<unsigned long long>(arr));
                std::printf("%s\n", (b.flags & BusInfo::kDefaultActive) ? ", default active" : "");
            }
        }
    }
    for (const ParameterInfo& p : plugin.parameters()) {
        const double value = plugin.controller()->getParamNormalized(p.id);
        std::printf("param %u: \"%s\" units \"%s\" default %.6g steps %d flags 0x%x (%s) unit %d value %.6g \"%s\"\n",
                    unsigned(p.id), narrow(p.title).c_str(), narrow(p.units).c_str(), p.defaultNormalizedValue,
                    int(p.stepCount), unsigned(p.flags), flagNames(p.flags).c_str(), int(p.unitId), value,
                    plugin.valueText(p.id, value).c_str());
    }
    FUnknownPtr<IUnitInfo> units(plugin.controller());
    if (units) {
        for (int32 u = 0; u < units->getUnitCount(); ++u) {
            UnitInfo ui {};
            if (units->getUnitInfo(u, ui) == kResultOk)
                std::printf("unit %d: \"%s\" parent %d program list %d\n", int(ui.id), narrow(ui.name).c_str(),
                            int(ui.parentUnitId), int(ui.programListId));
        }
        for (int32 l = 0; l < units->getProgramListCount(); ++l) {
            ProgramListInfo li {};
            if (units->getProgramListInfo(l, li) != kResultOk)
                continue;
            std::printf("program list %d: \"%s\", %d programs\n", int(li.id), narrow(li.name).c_str(),
                        int(li.programCount));
            for (int32 k = 0; k < li.programCount; ++k) {
                String128 name {};
                if (units->getProgramName(li.id, k, name) == kResultOk)
                    std::printf("program %d: \"%s\"\n", int(k), narrow(name).c_str());
            }
        }
    }
    return 0;
}

// --- process ---

struct CProcessOptions {
    std::string bundle, input, output, stateIn, stateOut;
    std::vector<std::pair<std::string, std::string>> texts;   // title, text
    std::vector<std::pair<std::string, double>> norms;        // title, normalised value
    int program = -1;
    int block = 512;
    int sampleSize = 32;
    bool bands = false;
};

bool splitSetting(const std::string& s, std::string& title, std::string& value) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    title = s.substr(0, eq);
    value = s.substr(eq + 1);
    return true;
}

bool parseInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || v < -2147483647L || v > 2147483647L)
        return false;
    out = int(v);
    return true;
}

// Octave-band levels of the input and the output, gathered block by block. Three passes of the
// band-pass give skirts of 18 dB per octave, so a band's level is not dominated by the loud bands
// next to it (speech has most of its energy around 250 Hz).
class CBandTable {
public:
    CBandTable(int inChannels, int outChannels, double rate) {
        constexpr int kPasses = 3;
        for (double fc = 31.25; fc < rate * 0.45; fc *= 2.0) {
            mCentres.push_back(fc);
            mBefore.emplace_back(inChannels, rate, fc, std::sqrt(2.0), kPasses);
            mAfter.emplace_back(outChannels, rate, fc, std::sqrt(2.0), kPasses);
        }
    }
    void addInput(const double* const* channels, std::size_t frames) {
        for (CBandLevelMeter& m : mBefore)
            m.add(channels, frames);
    }
    void addOutput(const double* const* channels, std::size_t frames) {
        for (CBandLevelMeter& m : mAfter)
            m.add(channels, frames);
    }
    void print() const {
        std::printf("octave band   before dB   after dB   change dB\n");
        for (std::size_t i = 0; i < mCentres.size(); ++i) {
            const double a = mBefore[i].levelDb(), b = mAfter[i].levelDb();
            std::printf("%8.0f Hz   %9.1f   %8.1f   %+9.1f\n", mCentres[i], a, b, b - a);
        }
    }

private:
    std::vector<double> mCentres;
    std::vector<CBandLevelMeter> mBefore, mAfter;
};

std::string duration(double seconds) {
    const long long s = (long long)(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

// The header's data must lie inside the file: checked before anything is reserved for the audio,
// so that a header claiming hours of audio in a short file fails at once.
std::string checkDataInFile(const tal::CWaveFile& in, const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return "cannot read the size of '" + path + "': " + error.message();
    const std::uint64_t end = std::uint64_t(in.dataOffset) + std::uint64_t(in.dataLength);
    if (end <= size)
        return {};
    const std::int64_t held = std::int64_t(size) > in.dataOffset ? (std::int64_t(size) - in.dataOffset) / in.blockAlign : 0;
    return "'" + path + "' is damaged or cut short: its header claims " + std::to_string(in.frameCount) + " frames (" +
           duration(double(in.frameCount) / in.sampleRate) + ") but the file holds " + std::to_string(held) + " (" +
           duration(double(held) / in.sampleRate) + ")";
}

int runProcess(const CProcessOptions& o) {
    tal::CWaveFile in;
    if (tal::CError* err = in.open(tal::CString(o.input.c_str())))
        return failWith(err, "cannot read '" + o.input + "'");
    if (in.channelCount < 1 || in.sampleRate <= 0.0)
        return fail("'" + o.input + "' has no audio");
    if (std::string err = checkDataInFile(in, o.input); !err.empty())
        return fail(err);
    const int channels = in.channelCount;
    const std::int64_t frames = in.frameCount;

    CHostModule module;
    if (std::string err = module.open(o.bundle); !err.empty())
        return fail(err);
    CHostPlugin plugin;
    if (std::string err = plugin.create(module.factory()); !err.empty())
        return fail(err);
    if (!o.stateIn.empty()) {
        std::vector<std::uint8_t> state;
        if (!readFile(o.stateIn, state))
            return fail("cannot read the state file '" + o.stateIn + "'");
        if (plugin.loadState(state) != kResultOk)
            return fail("the plug-in refused the state in '" + o.stateIn + "'");
    }
    IEditController* controller = plugin.controller();
    if (o.program >= 0) {
        const std::vector<ParameterInfo> params = plugin.parameters();
        const ParameterInfo* programParam = nullptr;
        for (const ParameterInfo& p : params)
            if (p.flags & ParameterInfo::kIsProgramChange)
                programParam = &p;
        if (programParam == nullptr)
            return fail("the plug-in has no program parameter");
        if (o.program > programParam->stepCount)
            return fail("program " + std::to_string(o.program) + " does not exist (the plug-in has " +
                        std::to_string(programParam->stepCount + 1) + ")");
        const double v = programParam->stepCount > 0 ? double(o.program) / programParam->stepCount : 0.0;
        controller->setParamNormalized(programParam->id, v);
    }
    // Settings go to the controller (as an editor would) and, as a host does, to the processor
    // with the first block.
    CHostParameterChanges changes(1024, 4);
    auto apply = [&](const std::string& title, double value) -> bool {
        const std::int64_t id = plugin.findParameter(title);
        controller->setParamNormalized(ParamID(id), value);
        return changes.addPoint(ParamID(id), 0, value);
    };
    for (const auto& [title, text] : o.texts) {
        const std::int64_t id = plugin.findParameter(title);
        if (id < 0)
            return fail("the plug-in has no parameter '" + title + "'");
        String128 wide {};
        UString(wide, 128).fromAscii(text.c_str());
        ParamValue value = 0.0;
        if (controller->getParamValueByString(ParamID(id), wide, value) != kResultOk)
            return fail("'" + title + "' does not take the text '" + text + "'");
        if (!apply(title, value))
            return fail("too many settings");
    }
    for (const auto& [title, value] : o.norms) {
        if (plugin.findParameter(title) < 0)
            return fail("the plug-in has no parameter '" + title + "'");
        if (!(value >= 0.0 && value <= 1.0))
            return fail("the normalised value of '" + title + "' must lie in 0..1");
        if (!apply(title, value))
            return fail("too many settings");
    }

    const int sampleSize = o.sampleSize == 64 ? kSample64 : kSample32;
    if (std::string err = plugin.start(in.sampleRate, o.block, sampleSize, channels, channels); !err.empty())
        return fail(err);
    const int outChannels = plugin.outputChannels();
    const std::int32_t latency = std::int32_t(plugin.processor()->getLatencySamples());

    // The output is written beside its place and renamed when complete.
    const std::string partial = o.output + ".tmp";
    tal::CWaveFile out;
    out.sampleRate = in.sampleRate;
    out.channelCount = outChannels;
    out.isFloat = true;
    out.physicalBits = 32;
    out.realBits = 32;
    out.blockAlign = 4 * outChannels;
    if (tal::CError* err = out.create(tal::CString(partial.c_str())))
        return failWith(err, "cannot write '" + o.output + "'");
    auto abandon = [&](int result) {
        if (tal::CError* err = out.finishWriting())
            delete err;
        std::remove(partial.c_str());
        return result;
    };

    // The audio streams through in blocks: memory does not grow with the file's length.
    std::vector<std::vector<double>> inBlock(channels, std::vector<double>(o.block, 0.0));
    std::vector<std::vector<double>> outBlock(outChannels, std::vector<double>(o.block, 0.0));
    std::vector<double*> inPtrs(channels);
    std::vector<double*> outPtrs(outChannels);
    std::vector<const double*> outFrom(outChannels);
    for (int c = 0; c < channels; ++c)
        inPtrs[c] = inBlock[c].data();
    for (int c = 0; c < outChannels; ++c)
        outPtrs[c] = outBlock[c].data();
    const std::vector<const double*> inConst(inPtrs.begin(), inPtrs.end());
    std::vector<double*> readAt(channels);
    std::unique_ptr<CBandTable> bands;
    if (o.bands)
        bands = std::make_unique<CBandTable>(channels, outChannels, in.sampleRate);
    // Latency: the first `latency` output frames are dropped and as many silent frames appended.
    const std::int64_t total = frames + latency;
    for (std::int64_t pos = 0; pos < total; pos += o.block) {
        const int n = int(std::min<std::int64_t>(o.block, total - pos));
        const int fromFile = int(std::clamp<std::int64_t>(frames - pos, 0, n));
        int got = 0;
        while (got < fromFile) {
            for (int c = 0; c < channels; ++c)
                readAt[c] = inPtrs[c] + got;
            std::int32_t read = 0;
            if (tal::CError* err = in.readSamples(readAt.data(), fromFile - got, read))
                return abandon(failWith(err, "cannot read '" + o.input + "'"));
            if (read <= 0)
                return abandon(fail("'" + o.input + "' ended after " + std::to_string(pos + got) + " of its " +
                                    std::to_string(frames) + " frames"));
            got += read;
        }
        for (int c = 0; c < channels; ++c)
            std::fill(inBlock[c].begin() + fromFile, inBlock[c].begin() + n, 0.0);
        if (bands)
            bands->addInput(inPtrs.data(), std::size_t(fromFile));
        if (plugin.processBlock(inConst.data(), outPtrs.data(), n, pos == 0 ? &changes : nullptr) != kResultOk)
            return abandon(fail("the plug-in failed to process a block"));
        // Output frame pos + i belongs at pos + i - latency.
        const std::int64_t first = std::max<std::int64_t>(pos, latency);
        const std::int64_t last = std::min<std::int64_t>(pos + n, frames + latency);
        if (last > first) {
            for (int c = 0; c < outChannels; ++c)
                outFrom[c] = outPtrs[c] + (first - pos);
            if (tal::CError* err = out.writeSamples(outFrom.data(), std::int32_t(last - first)))
                return abandon(failWith(err, "cannot write '" + o.output + "'"));
            if (bands)
                bands->addOutput(outFrom.data(), std::size_t(last - first));
        }
    }
    plugin.stop();
    if (tal::CError* err = out.finishWriting()) {
        std::remove(partial.c_str());
        return failWith(err, "cannot write '" + o.output + "'");
    }
    if (std::rename(partial.c_str(), o.output.c_str()) != 0) {
        std::remove(partial.c_str());
        return fail("cannot write '" + o.output + "'");
    }

    if (!o.stateOut.empty()) {
        std::vector<std::uint8_t> state;
        if (plugin.saveState(state) != kResultOk)
            return fail("the plug-in could not save its state");
        if (!writeFile(o.stateOut, state))
            return fail("cannot write the state file '" + o.stateOut + "'");
    }
    if (bands)
        bands->print();
    return 0;
}

} // namespace

int runHostEditor(std::span<const char* const> args);   // HostEditorCommand.cpp

int runHost(std::span<const char* const> args) {
    static const char kUsage[] =
        "usage: delmaro-tool host info BUNDLE\n"
        "       delmaro-tool host editor BUNDLE --png OUT.png [--size WxH] [--idle SECONDS] [--events FILE]\n"
        "       delmaro-tool host process BUNDLE IN.wav OUT.wav [--param \"TITLE=TEXT\"]... [--norm \"TITLE=VALUE\"]...\n"
        "            [--program N] [--block FRAMES] [--sample-size 32|64] [--state-in FILE] [--state-out FILE] [--bands]";
    if (args.empty())
        return fail(kUsage);
    const std::string what = args[0];
    if (what == "editor")
        return runHostEditor(args.subspan(1));
    if (what == "info") {
        if (args.size() != 2)
            return fail(kUsage);
        return runInfo(args[1]);
    }
    if (what != "process" || args.size() < 4)
        return fail(kUsage);
    CProcessOptions o;
    o.bundle = args[1];
    o.input = args[2];
    o.output = args[3];
    for (size_t i = 4; i < args.size(); ++i) {
        const std::string opt = args[i];
        if (opt == "--bands") {
            o.bands = true;
            continue;
        }
        if (i + 1 >= args.size())
            return fail("option '" + opt + "' needs a value");
        const char* value = args[++i];
        std::string title, text;
        if (opt == "--param") {
            if (!splitSetting(value, title, text))
                return fail("--param wants \"TITLE=TEXT\", not '" + std::string(value) + "'");
            o.texts.emplace_back(title, text);
        } else if (opt == "--norm") {
            char* end = nullptr;
            if (!splitSetting(value, title, text))
                return fail("--norm wants \"TITLE=VALUE\", not '" + std::string(value) + "'");
            const double v = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != 0)
                return fail("--norm wants a number, not '" + text + "'");
            o.norms.emplace_back(title, v);
        } else if (opt == "--program") {
            if (!parseInt(value, o.program) || o.program < 0)
                return fail("--program wants a program number, not '" + std::string(value) + "'");
        } else if (opt == "--block") {
            if (!parseInt(value, o.block) || o.block < 1 || o.block > 65536)
                return fail("--block wants 1 to 65536 frames, not '" + std::string(value) + "'");
        } else if (opt == "--sample-size") {
            if (!parseInt(value, o.sampleSize) || (o.sampleSize != 32 && o.sampleSize != 64))
                return fail("--sample-size wants 32 or 64, not '" + std::string(value) + "'");
        } else if (opt == "--state-in") {
            o.stateIn = value;
        } else if (opt == "--state-out") {
            o.stateOut = value;
        } else {
            return fail("unknown option '" + opt + "'");
        }
    }
    return runProcess(o);
}

} // namespace delmaro_tool
