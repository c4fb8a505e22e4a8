#include "CHostModule.h"

#include "pluginterfaces/base/ipluginbase.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace delmaro_tool {

namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

CHostModule::~CHostModule() { close(); }

std::string CHostModule::libraryPathOf(const std::string& path) {
    std::string bundle = path;
    while (bundle.size() > 1 && bundle.back() == '/')
        bundle.pop_back();
    if (!isDirectory(bundle))
        return bundle;
    // "Name.vst3" holds Contents/x86_64-linux/Name.so.
    std::string name = bundle.substr(bundle.find_last_of('/') + 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".vst3") == 0)
        name.resize(name.size() - 5);
    return bundle + "/Contents/x86_64-linux/" + name + ".so";
}

std::string CHostModule::open(const std::string& path) {
    close();
    mLibraryPath = libraryPathOf(path);
    mHandle = dlopen(mLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (mHandle == nullptr) {
        const char* why = dlerror();
        return "cannot load '" + mLibraryPath + "': " + (why ? why : "unknown reason");
    }
    using EntryFn = bool (*)(void*);
    using FactoryFn = Steinberg::IPluginFactory* (*)();
    auto entry = reinterpret_cast<EntryFn>(dlsym(mHandle, "ModuleEntry"));
    auto getFactory = reinterpret_cast<FactoryFn>(dlsym(mHandle, "GetPluginFactory"));
    if (getFactory == nullptr) {
        close();
        return "'" + mLibraryPath + "' exports no GetPluginFactory";
    }
    if (entry != nullptr) {
        mEntered = true;   // ModuleExit is owed even when the entry reports failure
        if (!entry(mHandle)) {
            close();
            return "ModuleEntry of '" + mLibraryPath + "' failed";
        }
    }
    mFactory = getFactory();
    if (mFactory == nullptr) {
        close();
        return "GetPluginFactory of '" + mLibraryPath + "' returned no factory";
    }
    return {};
}

void CHostModule::close() {
    if (mFactory != nullptr) {
        mFactory->release();
        mFactory = nullptr;
    }
    if (mHandle != nullptr) {
        if (mEntered) {
            using ExitFn = bool (*)();
            if (auto exitFn = reinterpret_cast<ExitFn>(dlsym(mHandle, "ModuleExit")))
                exitFn();
        }
        dlclose(mHandle);
        mHandle = nullptr;
    }
    mEntered = false;
}

} // namespace delmaro_tool
