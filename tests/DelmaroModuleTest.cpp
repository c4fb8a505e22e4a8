// Loads the built plug-in module as a host does: dlopen, the module entries, dlclose.
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>

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

} // namespace
