// Loads the built plug-in module as a host does: dlopen, the module entries, dlclose.
#include "pluginterfaces/base/ipluginbase.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <malloc.h>
#include <stdlib.h>

#include <fstream>
#include <string>

namespace {

// The number of threads of this process.
int threadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

// Whether a file mapping of this path is in the process's address space.
bool isMapped(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(path) != std::string::npos) return true;
    return false;
}

std::string realPath(const char* path) {
    char* resolved = realpath(path, nullptr);
    std::string result = resolved ? resolved : path;
    free(resolved);
    return result;
}

template <class Fn>
Fn symbol(void* module, const char* name) {
    return reinterpret_cast<Fn>(dlsym(module, name));
}

TEST(DelmaroModule, StartsOnEntryExportsOnlyTheEntriesAndUnloadsCompletely) {
    const int threadsBefore = threadCount();
    // Twice: a host that scans plug-ins loads and unloads the module, then loads it again.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        void* module = dlopen(TAL_PLUGIN_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();

        auto moduleEntry = symbol<bool (*)(void*)>(module, "ModuleEntry");
        auto moduleExit = symbol<bool (*)()>(module, "ModuleExit");
        auto bundleEntry = symbol<bool (*)(void*)>(module, "bundleEntry");
        auto bundleExit = symbol<bool (*)()>(module, "bundleExit");
        ASSERT_NE(moduleEntry, nullptr);
        ASSERT_NE(moduleExit, nullptr);
        ASSERT_NE(bundleEntry, nullptr);
        ASSERT_NE(bundleExit, nullptr);
        EXPECT_NE(dlsym(module, "GetPluginFactory"), nullptr);
        // The framework stays inside: none of its symbols is exported.
        EXPECT_EQ(dlsym(module, "_ZN3tal12CApplication17startApplicationERKNS_17CApplicationSetupE"), nullptr);
        EXPECT_EQ(dlsym(module, "_ZN3tal8memPoolsE"), nullptr);
        EXPECT_EQ(dlsym(module, "delmaroResources"), nullptr);

        // True only when the application started and the embedded shared description loaded.
        EXPECT_TRUE(moduleEntry(module));
        EXPECT_TRUE(bundleEntry(nullptr));
        EXPECT_TRUE(bundleExit());
        EXPECT_TRUE(moduleExit());

        ASSERT_EQ(dlclose(module), 0) << dlerror();
        EXPECT_EQ(dlopen(TAL_PLUGIN_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module stays mapped";
        EXPECT_EQ(threadCount(), threadsBefore) << "a thread of the module outlives it";
    }
}

// Sixty load, start, use and unload cycles as a scanning host runs them: each leaves no thread
// and no mapping of the module behind, and the process's heap does not grow from cycle to cycle.
// The dynamic loader keeps a few hundred bytes of its own records now and then (they stay
// reachable, so the leak checker does not count them); when it does so depends on the module's
// path and on what the process loaded before, so the test allows a few cycles of growth and
// catches what a leak does: growth in most cycles.
TEST(DelmaroModule, RepeatedLoadUnloadCyclesLeaveNoThreadMappingOrMemory) {
    const int threadsBefore = threadCount();
    const std::string path = realPath(TAL_PLUGIN_MODULE);
    constexpr int kCycles = 60;
    // A leak raises the bytes in use in every cycle; the loader's own caches and the exit of the
    // module's threads move them up and down, more often on a busy machine.
    constexpr int kGrowingCyclesAllowed = (kCycles - 1) / 2;
    std::size_t heap[kCycles] = {};
    for (int round = 0; round < kCycles; ++round) {
        SCOPED_TRACE(round);
        void* module = dlopen(TAL_PLUGIN_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto moduleEntry = symbol<bool (*)(void*)>(module, "ModuleEntry");
        auto moduleExit = symbol<bool (*)()>(module, "ModuleExit");
        ASSERT_NE(moduleEntry, nullptr);
        ASSERT_NE(moduleExit, nullptr);
        EXPECT_TRUE(moduleEntry(module));
        // A host releases its reference to the factory when it is done with it.
        Steinberg::IPluginFactory* factory =
            symbol<Steinberg::IPluginFactory* (*)()>(module, "GetPluginFactory")();
        ASSERT_NE(factory, nullptr);
        EXPECT_EQ(factory->countClasses(), 1);
        factory->release();
        EXPECT_TRUE(moduleExit());
        ASSERT_EQ(dlclose(module), 0) << dlerror();

        EXPECT_EQ(threadCount(), threadsBefore) << "a thread of the module outlives it";
        EXPECT_FALSE(isMapped(path)) << "the module stays mapped";
        heap[round] = mallinfo2().uordblks;
    }
    // Compared after the cycles: a failure report would itself take heap memory.
    int growing = 0;
    for (int round = 1; round < kCycles; ++round)
        if (heap[round] > heap[round - 1]) ++growing;
    EXPECT_LE(growing, kGrowingCyclesAllowed)
        << "the heap grew in " << growing << " of " << kCycles - 1 << " cycles, by "
        << heap[kCycles - 1] - heap[0] << " bytes in all";
}

} // namespace
