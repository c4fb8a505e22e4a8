// delmaro-tool selfcheck: prints the product identity and build information and runs quick checks of
// the framework's foundation (allocator, strings, containers, number text, errors and the log).
#include "DelmaroTool.h"

#include "Core/CBuildInfo.h"
#include "Core/CConsole.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Core/ProductIdentity.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace delmaro_tool {

namespace {

using namespace tal;

// Each check returns the empty text on success, else what went wrong.
using Check = std::string (*)();

std::string checkAllocator() {
    for (std::uint64_t n : {0ull, 16ull, 17ull, 4080ull, 4081ull, 100000ull}) {
        unsigned char* p = static_cast<unsigned char*>(poolAlloc(n));
        const std::uint64_t expected = n == 0 ? 16 : n > 4080 ? n : (n + 15) / 16 * 16;
        if ((reinterpret_cast<std::uintptr_t>(p) & 15) != 0 || poolBlockSize(p) != expected)
            return "wrong block for " + std::to_string(n) + " bytes";
        std::memset(p, 0x3C, expected);
        unsigned char* q = static_cast<unsigned char*>(poolRealloc(p, expected + 100));
        if (q[expected - 1] != 0x3C)
            return "reallocation lost the contents of a " + std::to_string(n) + "-byte block";
        poolFree(q);
    }
    // Blocks made on one thread and freed on another arrive intact.
    std::vector<void*> blocks;
    for (int i = 0; i < 2000; ++i) {
        void* b = poolAlloc(std::uint64_t(16 + i % 300));
        std::memset(b, i & 0xFF, 16);
        blocks.push_back(b);
    }
    std::atomic<int> damaged{0};
    std::thread other([&] {
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (static_cast<unsigned char*>(blocks[i])[15] != (i & 0xFF))
                damaged.fetch_add(1);
            poolFree(blocks[i]);
        }
    });
    other.join();
    return damaged.load() == 0 ? std::string() : "blocks damaged between threads";
}

std::string checkStrings() {
    CString wide("abc");
    wide.widen(wide.length());
    if (compareStrings(wide, CString("abc")) != 0 || compareStrings(CString("ab"), wide) >= 0)
        return "8-bit and 32-bit texts compare wrongly";
    CStringList pieces;
    CString("a,,b,").split(pieces, ',', false, true);
    if (pieces.count() != 4 || !pieces[0].equals("a") || !pieces[1].isEmpty() || !pieces[2].equals("b"))
        return "split gave the wrong pieces";
    if (!CString(" \tx \r\n").trim().equals("x") || !CString("AbC").toLower().equals("abc"))
        return "trim or toLower failed";
    bool ok = false;
    if (parseInt(CString("-#FF"), 0, &ok) != -255 || !ok || parseInt(CString("4294967296"), 7, &ok) != 7 || ok)
        return "parseInt failed";
    CString fixed;
    formatFixedPoint(fixed, -1234, 3);
    if (!fixed.equals("-1.234") || parseDouble("2.5e-2") != 0.025 || !parseBool(CString("0.5"), false))
        return "number text failed";
    CSortedMap<int, int> map;
    for (int k = 999; k >= 0; --k)
        map.findOrAdd(k * 7919 % 1000)->value = k;
    int expected = 0;
    for (auto* n = map.first(); n != nullptr; n = map.next(n), ++expected)
        if (n->key != expected)
            return "sorted map out of order";
    return expected == 1000 ? std::string() : "sorted map lost keys";
}

class Capture : public CConsole {
public:
    void clear() override { lines.clear(); }
    void write(const char* text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

std::string checkErrors() {
    CError* e = makeError(nullptr, CString("Core/CThread"), 38, CString(),
                          CString("@talstr_CThread_runThread_AlreadyRunning Thread %1 is already running."), CString("t"));
    e = makeError(e, CString("Core/CObject"), 833, CString("plugin.timer"), CString());
    Capture capture;
    CConsole* previous = setConsoleSink(&capture);
    reportError(&e);
    setConsoleSink(previous);
    const std::vector<std::string> expected{"Thread t is already running.", "Core/CThread( 38 )",
                                            "Core/CObject( 833 ) // plugin.timer"};
    if (e != nullptr || capture.lines != expected)
        return "error lines or the log are wrong";
    return std::string();
}

} // namespace

int runSelfcheck(std::span<const char* const> args) {
    if (!args.empty())
        return fail("selfcheck takes no arguments");
    std::printf("%s %s (%s, %s)\n", kVendorName, kProductName, kFormatName, kCategoryName);
    std::printf("build information:\n");
    for (auto* n = buildInfo().first(); n != nullptr; n = CBuildInfo::next(n))
        std::printf("  %s = %s\n", n->key.chars8(), n->value.chars8());
    struct Named {
        const char* name;
        Check check;
    };
    const Named checks[] = {{"allocator", checkAllocator},
                            {"strings and containers", checkStrings},
                            {"errors and log", checkErrors}};
    int failures = 0;
    for (const Named& c : checks) {
        const std::string problem = c.check();
        if (problem.empty()) {
            std::printf("check %-24s ok\n", c.name);
        } else {
            std::printf("check %-24s FAILED: %s\n", c.name, problem.c_str());
            ++failures;
        }
    }
    if (failures > 0)
        return fail(std::to_string(failures) + " self-check(s) failed");
    std::printf("self-check passed\n");
    return 0;
}

} // namespace delmaro_tool
