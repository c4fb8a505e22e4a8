// The audio thread stays off the system heap: this test program replaces malloc and its relatives
// with counting versions (the plug-in, loaded into the process, resolves them here too) and counts
// the calls the processing thread makes during steady processing with automation on every
// parameter. Built without sanitizers, which bring allocators of their own.
#include "CHostModule.h"
#include "CHostParameterChanges.h"
#include "CHostPlugin.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);

namespace {

thread_local bool tCounting = false;
thread_local long tCalls = 0;

inline void countCall() {
    if (tCounting)
        ++tCalls;
}

} // namespace

extern "C" {
void* malloc(std::size_t n) {
    countCall();
    return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t n) {
    countCall();
    return __libc_calloc(count, n);
}
void* realloc(void* p, std::size_t n) {
    countCall();
    return __libc_realloc(p, n);
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
    countCall();
    return __libc_memalign(alignment, n);
}
void* memalign(std::size_t alignment, std::size_t n) {
    countCall();
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    countCall();
    void* p = __libc_memalign(alignment, n);
    if (p == nullptr)
        return 12;   // ENOMEM
    *out = p;
    return 0;
}
}

namespace {

using namespace delmaro_tool;
using namespace Steinberg;
using namespace Steinberg::Vst;

std::vector<int>* volatile gKeep = nullptr;

TEST(VST3Realtime, CountingAllocatorSeesAllocations) {
    tCalls = 0;
    tCounting = true;
    gKeep = new std::vector<int>(100);   // kept in a volatile: the allocation cannot be elided
    tCounting = false;
    delete gKeep;
    EXPECT_GE(tCalls, 2);   // the vector object and its storage
}

TEST(VST3Realtime, SteadyAutomatedProcessingAllocatesNothing) {
    CHostModule module;
    ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    CHostPlugin plugin;
    const std::string err = plugin.create(module.factory());
    if (!err.empty())
        GTEST_SKIP() << "the plug-in builds no instance yet: " << err;
    for (int sampleSize : {kSample32, kSample64}) {
        SCOPED_TRACE(sampleSize == kSample64 ? "64-bit" : "32-bit");
        ASSERT_EQ(plugin.start(48000.0, 512, sampleSize, 2, 2), "");
        std::vector<ParameterInfo> params;
        for (const ParameterInfo& p : plugin.parameters())
            if (!(p.flags & ParameterInfo::kIsProgramChange))
                params.push_back(p);
        CHostParameterChanges changes(int(params.size()), 32);
        std::vector<double> l(512), r(512), ol(512), orr(512);
        const double* ins[2] = {l.data(), r.data()};
        double* outs[2] = {ol.data(), orr.data()};
        for (int block = 0; block < 201; ++block) {
            changes.clear();
            for (const ParameterInfo& p : params)
                for (int k = 0; k < 32; ++k)
                    changes.addPoint(p.id, k * 16, double((block * 7 + k * 3 + int(p.id)) % 101) / 100.0);
            for (int i = 0; i < 512; ++i)
                l[i] = r[i] = ((i * 37 + block) % 200 - 100) / 150.0;
            tCalls = 0;
            tCounting = block > 0;   // the first block may warm pools up
            ASSERT_EQ(plugin.processBlock(ins, outs, 512, &changes), kResultOk);
            tCounting = false;
            ASSERT_EQ(tCalls, 0) << "heap calls in block " << block;
        }
        plugin.stop();
    }
}

} // namespace
