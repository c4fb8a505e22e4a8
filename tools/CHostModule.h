#pragma once
#include <string>

namespace Steinberg {
class IPluginFactory;
}

namespace delmaro_tool {

// One loaded VST 3 module, reached as a Linux host reaches it: dlopen of the bundle's shared
// object, ModuleEntry, GetPluginFactory; on destruction the factory is released, ModuleExit runs
// and the library is unloaded. Nothing of the plug-in is linked. One thread (the host's main one).
class CHostModule {
public:
    CHostModule() = default;
    CHostModule(const CHostModule&) = delete;
    CHostModule& operator=(const CHostModule&) = delete;
    ~CHostModule();

    // --- life cycle ---
    // Loads a bundle ("X.vst3", whose Contents/x86_64-linux/X.so is opened) or a shared object.
    // Returns an empty text on success, else what went wrong; a failed load leaves nothing open.
    std::string open(const std::string& path);
    void close();

    // --- queries ---
    Steinberg::IPluginFactory* factory() const noexcept { return mFactory; }
    const std::string& libraryPath() const noexcept { return mLibraryPath; }

    // The shared object inside a bundle path, or the path itself when it names a file.
    static std::string libraryPathOf(const std::string& path);

private:
    void* mHandle = nullptr;
    bool mEntered = false;
    Steinberg::IPluginFactory* mFactory = nullptr;
    std::string mLibraryPath;
};

} // namespace delmaro_tool
