// The audio thread stays off the system heap: this test program replaces malloc, free and their
// relatives, and operator new and delete, with counting versions (the plug-in, loaded into the
// process, resolves them here too) and counts the calls the processing thread makes from the
// first process call after activation on, while the host changes everything it can change.
// Built without sanitizers, which bring allocators of their own.
#include "CHostModule.h"
#include "CHostParameterChanges.h"
#include "CHostPlugin.h"

#include <gtest/gtest.h>

#include <execinfo.h>
#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);
extern "C" void __libc_free(void*);

namespace {

thread_local bool tCounting = false;
thread_local bool tInHook = false;
thread_local long tCalls = 0;

// The call stacks of the first counted calls, kept in static storage (recording allocates nothing
// once backtrace has been called outside counting).
constexpr int kKeptStacks = 6;
constexpr int kStackDepth = 24;
void* gStacks[kKeptStacks][kStackDepth];
int gStackDepths[kKeptStacks];

inline void countCall() {
    if (!tCounting || tInHook)
        return;
    tInHook = true;
    if (tCalls < kKeptStacks)
        gStackDepths[tCalls] = backtrace(gStacks[tCalls], kStackDepth);
    ++tCalls;
    tInHook = false;
}

// Writes the kept stacks to standard error (symbols without allocating).
void printKeptStacks(long calls) {
    for (long i = 0; i < calls && i < kKeptStacks; ++i) {
        const char line[] = "--- heap call on the processing thread:\n";
        if (write(2, line, sizeof(line) - 1) < 0)
            return;
        backtrace_symbols_fd(gStacks[i], gStackDepths[i], 2);
    }
}

} // namespace

extern "C" {
void* malloc(std::size_t n) {
    countCall();
    return __libc_malloc(n);
}
void free(void* p) {
    if (p != nullptr)
        countCall();
    __libc_free(p);
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
void* valloc(std::size_t n) {
    countCall();
    return __libc_memalign(4096, n);
}
void* pvalloc(std::size_t n) {
    countCall();
    return __libc_memalign(4096, (n + 4095) & ~std::size_t(4095));
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

// operator new and delete are counted themselves (and go to the system heap without a second count).
namespace {
void* countedNew(std::size_t n) {
    countCall();
    const bool was = tInHook;
    tInHook = true;
    void* p = __libc_malloc(n == 0 ? 1 : n);
    tInHook = was;
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void countedDelete(void* p) noexcept {
    if (p == nullptr)
        return;
    countCall();
    __libc_free(p);
}
} // namespace
void* operator new(std::size_t n) { return countedNew(n); }
void* operator new[](std::size_t n) { return countedNew(n); }
void operator delete(void* p) noexcept { countedDelete(p); }
void operator delete[](void* p) noexcept { countedDelete(p); }
void operator delete(void* p, std::size_t) noexcept { countedDelete(p); }
void operator delete[](void* p, std::size_t) noexcept { countedDelete(p); }

namespace {

using namespace delmaro_tool;
using namespace Steinberg;
using namespace Steinberg::Vst;

std::vector<int>* volatile gKeep = nullptr;
void* volatile gKeepRaw = nullptr;

TEST(VST3Realtime, CountingAllocatorSeesEveryKindOfHeapCall) {
    std::vector<int>* keep = nullptr;
    tCalls = 0;
    tCounting = true;
    gKeep = new std::vector<int>(100);   // kept in a volatile: the allocation cannot be elided
    keep = gKeep;
    delete keep;
    gKeepRaw = std::malloc(40);
    std::free(gKeepRaw);
    tCounting = false;
    EXPECT_EQ(tCalls, 6);   // two operator new, two operator delete, malloc, free
}

// A host's audio thread: runs one job at a time for the main thread and waits between jobs.
class CAudioThread {
public:
    CAudioThread() : mThread([this] { run(); }) {}
    ~CAudioThread() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mQuit = true;
        }
        mWake.notify_all();
        mThread.join();
    }
    void runAndWait(const std::function<void()>& job) {
        std::unique_lock<std::mutex> lock(mMutex);
        mJob = &job;
        mWake.notify_all();
        mDone.wait(lock, [this] { return mJob == nullptr; });
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            mWake.wait(lock, [this] { return mQuit || mJob != nullptr; });
            if (mJob == nullptr)
                return;
            (*mJob)();
            mJob = nullptr;
            mDone.notify_all();
        }
    }

    std::mutex mMutex;
    std::condition_variable mWake, mDone;
    const std::function<void()>* mJob = nullptr;
    bool mQuit = false;
    std::thread mThread;
};

struct CRun {
    double rate;
    int maxBlock;
    int sampleSize;
};

// From the first block after activation (nothing warmed up by the test) the processing thread
// makes no heap call, while every parameter is automated at sample offsets (bands go on and off,
// types change, bypass toggles), block lengths vary and the main thread switches programs.
TEST(VST3Realtime, ColdProcessingUnderEveryChangeMakesNoHeapCall) {
    void* probe[4];
    backtrace(probe, 4);   // loads the unwinder now, outside counting
    CHostModule module;
    ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    CAudioThread audio;
    for (const CRun run : {CRun{48000.0, 512, kSample64}, CRun{44100.0, 1024, kSample32}}) {
        SCOPED_TRACE(run.sampleSize == kSample64 ? "64-bit" : "32-bit");
        CHostPlugin plugin;   // a fresh instance each time: nothing left warm by the previous run
        const std::string err = plugin.create(module.factory());
        if (!err.empty())
            GTEST_SKIP() << "the plug-in builds no instance yet: " << err;
        ASSERT_EQ(plugin.start(run.rate, run.maxBlock, run.sampleSize, 2, 2), "");
        std::vector<ParameterInfo> params;
        const ParameterInfo* program = nullptr;
        const std::vector<ParameterInfo> all = plugin.parameters();
        for (const ParameterInfo& p : all) {
            if (p.flags & ParameterInfo::kIsProgramChange)
                program = &p;
            else
                params.push_back(p);
        }
        ASSERT_GT(params.size(), 30u);
        CHostParameterChanges changes(int(params.size()), 32);
        const int maxBlock = run.maxBlock;
        std::vector<double> l(maxBlock), r(maxBlock), ol(maxBlock), orr(maxBlock);
        const double* ins[2] = {l.data(), r.data()};
        double* outs[2] = {ol.data(), orr.data()};
        for (int block = 0; block < 240; ++block) {
            // Lengths: full, odd, and a sliver; every few blocks no automation at all.
            const int frames = block % 5 == 3 ? 37 : block % 7 == 2 ? 1 : maxBlock - (block % 3) * 129;
            changes.clear();
            if (block % 4 != 1) {
                for (const ParameterInfo& p : params) {
                    const int points = 1 + (block + int(p.id)) % 8;
                    for (int k = 0; k < points; ++k) {
                        const int offset = frames * k / points;
                        // Steps through the whole range, crossing every switch and type value.
                        const double v = double((block * 13 + k * 29 + int(p.id) * 7) % 101) / 100.0;
                        changes.addPoint(p.id, offset, v);
                    }
                }
            }
            for (int i = 0; i < frames; ++i)
                l[i] = r[i] = ((i * 37 + block) % 200 - 100) / 150.0;
            long calls = 0;
            tresult result = kResultFalse;
            audio.runAndWait([&] {
                tCalls = 0;
                tCounting = true;
                result = plugin.processBlock(ins, outs, frames, &changes);
                tCounting = false;
                calls = tCalls;
            });
            ASSERT_EQ(result, kResultOk);
            if (calls != 0)
                printKeptStacks(calls);
            ASSERT_EQ(calls, 0) << "heap calls in block " << block << " (" << frames << " frames)";
            // The main thread's share: program changes and the controller's calls.
            if (program != nullptr && block % 9 == 4) {
                const double v = double(block / 9 % (program->stepCount + 1)) / double(program->stepCount);
                plugin.controller()->setParamNormalized(program->id, v);
            }
            plugin.controller()->getParamNormalized(params[block % params.size()].id);
        }
        plugin.stop();
    }
}

} // namespace
