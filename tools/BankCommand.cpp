// "delmaro-tool bank": the banks of presets the plug-in ships.
//
//   bank SOURCE.txt SHARED-DESCRIPTION OUTPUT [--registry NAME] [--list]
//
// builds one plug-in instance from the compiled shared description (its "plugin" template and the
// main process), then for each preset of the source resets the registry's parameters to their
// defaults, sets the values the source gives, and captures the preset through the registry (the
// instance's "param-registry", the master, unless --registry names another). The bank of all
// presets is written, to a temporary file renamed over OUTPUT, as a compressed bank record (the
// factory bank "FactoryROM.cbf"), or with --list as an application-data preset list (record
// 'alst': the count 1, then the bank). Capturing through the registry keeps the presets consistent
// with the parameter definitions. Preset names are the registry's id, ":" and the source's name.
//
// The source is UTF-8 text, one statement per line; blank lines and lines starting with "#" are
// skipped:
//   preset NAME          starts a preset (names are unique, at most 64 bytes, no ":")
//   KEY = VALUE          sets a value, written as the parameter shows it ("Hi-pass 24", "2.5k",
//                        "-3.5"). KEY is the name a host sees (Type1, Freq1, BW1, Gain1, ..., EQRange,
//                        OutGain), or a parameter's name below the registry's hierarchy with an
//                        optional element ("window", "ms-pairs[1]"). Values outside the
//                        parameter's range are refused.
#include "DelmaroTool.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamContext.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Processes/ProcessCreators.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CFileWriter.h"
#include "Core/CObject.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"
#include "ProductCreators.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace delmaro_tool {

namespace {

using namespace tal;

struct CSetting {
    int line = 0;
    std::string name, value;
};

struct CPresetSource {
    int line = 0;
    std::string name;
    std::vector<CSetting> settings;
};

std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return std::string();
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

std::string where(const std::string& path, int line) { return path + ":" + std::to_string(line) + ": "; }

bool parseSource(const std::string& path, std::vector<CPresetSource>& presets, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    const bool readOk = std::ferror(f) == 0;
    std::fclose(f);
    if (!readOk) {
        error = "cannot read '" + path + "'";
        return false;
    }
    std::set<std::string> names;
    int lineNo = 0;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(text.substr(at, end - at));
        at = end + 1;
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("preset ", 0) == 0) {
            const std::string name = trimmed(line.substr(7));
            if (name.empty() || name.size() > 64 || name.find(':') != std::string::npos) {
                error = where(path, lineNo) + "a preset name has 1 to 64 bytes and no ':'";
                return false;
            }
            if (!names.insert(name).second) {
                error = where(path, lineNo) + "the preset '" + name + "' is named twice";
                return false;
            }
            presets.push_back({lineNo, name, {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || presets.empty()) {
            error = where(path, lineNo) + (presets.empty() ? "a value before the first 'preset' line"
                                                           : "expected 'preset NAME' or 'NAME = VALUE'");
            return false;
        }
        presets.back().settings.push_back({lineNo, trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1))});
    }
    if (presets.empty()) {
        error = "'" + path + "' holds no preset";
        return false;
    }
    return true;
}

std::string takeError(CError* err) {
    std::string text;
    for (int i = 0; i < err->lineCount(); ++i)
        text.append(i > 0 ? "\n  " : "").append(err->line(i).narrowed().chars8());
    delete err;
    return text;
}

// One instance of the plug-in without audio: the tree made from the "plugin" template and the main
// process, whose creation makes and binds the parameters the presets hold.
class CBankInstance {
public:
    ~CBankInstance() {
        delete mMain;
        if (mRoot != nullptr)
            mRoot->release();
    }

    bool build(const std::string& registryName, std::string& error) {
        const CObject* shared = CApplication::sharedObject();
        CObject* audio = shared != nullptr ? shared->findObject(CString("audio")) : nullptr;
        if (audio == nullptr || shared->lifeStage() < 4) {
            error = "the shared description did not load (see the log above)";
            return false;
        }
        CObject* plugin = nullptr;
        CAudioProcessDefBase* mainDef = nullptr;
        CError* err = CApplication::initRootObject(mRoot, CString());
        if (err == nullptr)
            err = mRoot->createChild(plugin, audio->getTextAttr("plugin-tag"), CString("plugin"), false, nullptr,
                                     nullptr);
        if (err == nullptr)
            err = plugin->findObjectChecked(mContext.env, CString(".audio-env"));
        if (err == nullptr)
            err = plugin->findObjectChecked(mContext.collector, CString(".param-collector"));
        if (err == nullptr)
            err = plugin->findObjectChecked(mContext.vizCollector, CString(".viz-collector"));
        if (err == nullptr)
            err = plugin->findObjectChecked(registry, CString(("." + registryName).c_str()));
        if (err == nullptr)
            err = plugin->findObjectChecked(hostParams, CString(".ext-param-list"));
        if (err == nullptr)
            err = shared->findObjectChecked(mainDef, CString("audio.modMain"));
        mContext.dawContext = &mDaw;
        if (err == nullptr)
            err = mainDef->createProcess(&mMain, mMainName, mContext, 0, 0, &mDaw.blockPool(), false, false);
        if (err != nullptr) {
            error = takeError(err);
            return false;
        }
        collector = mContext.collector;
        collector->bindAllParams();
        return true;
    }

    CAudioExtParam* findHostParam(const std::string& name) const {
        for (int i = 0; i < hostParams->getCount(); ++i)
            if (std::string(hostParams->getParam(i)->getExtName().narrowed().chars8()) == name)
                return hostParams->getParam(i);
        return nullptr;
    }

    CAudioParamRegistry* registry = nullptr;
    CAudioParamCollector* collector = nullptr;
    CAudioExtParamList* hostParams = nullptr;

private:
    CObject* mRoot = nullptr;
    CDCDAWContext mDaw;
    CAudioGraphContext mContext;
    const CString mMainName{"plugin.modMain"};
    CAudioProcessBase* mMain = nullptr;
};

// Where a setting's key points: a parameter, a group and an element.
struct CTarget {
    CAudioParam* param = nullptr;
    int group = 0;
    int element = 0;
};

// A host parameter's name, else a name below the registry's hierarchy with an optional "[e]".
bool findTarget(const CBankInstance& instance, const std::string& key, CTarget& target) {
    if (const CAudioExtParam* host = instance.findHostParam(key)) {
        target = {host->getParam(), host->getGroup(), host->getElement()};
        return true;
    }
    std::string name = key;
    target.element = 0;
    const std::size_t open = key.find('[');
    if (open != std::string::npos) {
        const std::string index = key.substr(open + 1);
        if (index.size() < 2 || index.back() != ']' || index.find_first_not_of("0123456789") != index.size() - 1 ||
            index.size() > 4)
            return false;
        target.element = std::stoi(index.substr(0, index.size() - 1));
        name = key.substr(0, open);
    }
    // Parameters of processes that the graph makes only when it first runs do not exist yet: the
    // name is acquired and bound to its definition as the registry binds its parameters.
    CAudioParamRegistry& registry = *instance.registry;
    target.param = instance.collector->acquireParam(registry.getHierarchy() + CString(name.c_str()));
    target.group = 0;
    if (target.param->getInfo() == nullptr)
        (void)target.param->bindDefinition(registry.getRemaps(), nullptr, CAudioParamContext{});
    return true;
}

// Sets one element to the value of a text, exactly as the parameter's converter reads it.
bool applySetting(const CBankInstance& instance, const CSetting& setting, const std::string& path, std::string& error) {
    CTarget target;
    const CAudioParamInfo* info = findTarget(instance, setting.name, target) ? target.param->getInfo() : nullptr;
    if (info == nullptr || info->getConverter(0) == nullptr || info->getElementSize() != 1 ||
        info->getDataType() != CAudioParamStorage::kTypeFloat) {
        error = where(path, setting.line) + "'" + setting.name + "' is no parameter with values of this registry";
        return false;
    }
    // The converter clamps what it reads to the range; a value it had to clamp is a typing error.
    bool ok = false;
    bool rawOk = false;
    const CString text(setting.value.c_str());
    const double value = info->getConverter(0)->parseText(*info, 0, text, &ok);
    const double raw = info->getConverter(0)->parseTextRaw(*info, 0, text, &rawOk);
    if (!ok || !rawOk || raw != value) {
        error = where(path, setting.line) + "'" + setting.value + "' is not a value of " + setting.name;
        return false;
    }
    CAudioParamLock lock(target.param);
    const CAudioParamStorage& current = target.param->getCurrent();
    CAudioParamChange change;
    change.group = target.group;
    change.firstElement = target.element;
    change.count = 1;
    change.dataType = current.getDataType();
    change.singleGroup = current.isSingleGroup();
    change.singleElement = current.isSingleElement();
    change.values = &value;
    change.table = &current.getData();
    target.param->applyChange(change, &lock, CAudioParamContext{});
    return true;
}

bool buildBank(const std::vector<CPresetSource>& sources, const std::string& path, const std::string& registryName,
               CAudioPresetBank& bank, std::string& error) {
    CBankInstance instance;
    if (!instance.build(registryName, error))
        return false;
    CAudioParamRegistry& registry = *instance.registry;
    for (const CPresetSource& source : sources) {
        registry.resetParamsToDefaults(CAudioParamContext{}, -1, -1, false);
        if (CAudioParam* name = registry.getPresetNameParam())
            name->setString(0, 0, CString(source.name.c_str()), nullptr, nullptr, CAudioParamContext{});
        for (const CSetting& setting : source.settings)
            if (!applySetting(instance, setting, path, error))
                return false;
        CAudioPreset* preset = bank.addPreset();
        registry.storePreset(*preset, -1);
        preset->setName(registry.getId() + CString(":") + CString(source.name.c_str()));
        if (preset->getEntryCount() == 0) {
            error = where(path, source.line) + "the registry '" + registryName + "' captured no parameter";
            return false;
        }
    }
    return true;
}

// The application-data preset list: the count 1, then the bank record, compressed as 'alst'.
CError* saveList(const CAudioPresetBank& bank, COutputStream& out) {
    CWriteSeqBuffer record;
    CError* err = record.write32(1);
    if (err == nullptr)
        err = bank.save(record);
    if (err != nullptr)
        return err;
    CByteBuffer bytes;
    record.moveTo(bytes);
    return out.writeCompressedData(bytes, kTagAppList);
}

} // namespace

int runBank(std::span<const char* const> args) {
    std::string registryName = "param-registry";
    bool list = false;
    std::vector<const char*> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i];
        if (arg == "--list") {
            list = true;
        } else if (arg == "--registry" && i + 1 < args.size()) {
            registryName = args[++i];
        } else if (arg.rfind("--", 0) == 0) {
            return fail("bank: unknown option '" + arg + "'");
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.size() != 3)
        return fail("usage: bank SOURCE.txt SHARED-DESCRIPTION OUTPUT [--registry NAME] [--list]");
    std::vector<CPresetSource> sources;
    std::string error;
    if (!parseSource(paths[0], sources, error))
        return fail(error);

    CApplicationSetup setup;
    setup.creatorTables = productCreatorTables();
    setup.sharedDataName = paths[1];
    installProcessFactories();
    if (CError* err = CApplication::startApplication(setup))
        return fail(takeError(err));
    CAudioPresetBank bank;
    bank.setName(CString("Factory ROM"));
    const bool built = buildBank(sources, paths[0], registryName, bank, error);
    CApplication::finishApplication();
    if (!built)
        return fail(error);

    CFileWriter file;
    CError* err = file.open(CString(paths[2]));
    if (err == nullptr)
        err = list ? saveList(bank, file) : bank.saveCompressed(file);
    if (err != nullptr) {
        file.discard();
        CError* closeErr = file.close();
        delete closeErr;
        return fail(takeError(err));
    }
    if (CError* closeErr = file.close())
        return fail(takeError(closeErr));
    return 0;
}

} // namespace delmaro_tool
