// Opening the editor's palette: the compiled editor description loaded with the product palette,
// the palette's init and its first apply of the default palette item.
// - OpenWithCache: the ramp cache of an earlier session is in the application data, so the apply
//   finds every colour built with the same parameters and builds nothing.
// - OpenWithoutCache (the reference: the same work with every ramp built): no cache item.
// Both load the same description and apply the same item; the difference is the ramp builds.

#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CSystem.h"
#include "PaletteSheet.h"
#include "UI/CDynamicPalette.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tal {
namespace {

struct Folder {
    Folder() {
        char name[] = "/tmp/delmaro-palette-bench-XXXXXX";
        path = mkdtemp(name) != nullptr ? name : "";
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(path.c_str()));
        reset();
    }
    ~Folder() {
        reset();
        CSystem::setUserPreferencesFolderForTest(CString());
        std::filesystem::remove_all(path);
    }
    static void reset() {
        for (CAppData* scope : {&CAppData::globalScope(), &CAppData::groupScope(), &CAppData::localScope()})
            scope->resetForTest();
    }
    std::string path;
};

CByteBuffer defaultItem() {
    CByteBuffer item;
    delete delmaro_tool::readDefaultPaletteItem(CString(TAL_DEFAULT_PALETTE_ITEM), item);
    return item;
}

// Opens and closes one palette; the close writes the cache when anything was built.
void openPalette(const CByteBuffer& item, benchmark::State& state) {
    CObject* root = nullptr;
    CDynamicPalette* palette = nullptr;
    if (CError* error = delmaro_tool::loadPalette(CString(TAL_DEFAULT_UI_DESCRIPTION), item, root, palette)) {
        delete error;
        state.SkipWithError("the palette did not load");
    }
    state.PauseTiming();
    root->release();
    state.ResumeTiming();
}

void OpenWithCache(benchmark::State& state) {
    Folder folder;
    const CByteBuffer item = defaultItem();
    {
        CObject* root = nullptr;
        CDynamicPalette* palette = nullptr;
        delete delmaro_tool::loadPalette(CString(TAL_DEFAULT_UI_DESCRIPTION), item, root, palette);
        root->release();   // writes the cache
    }
    for (auto _ : state)
        openPalette(item, state);
}
BENCHMARK(OpenWithCache)->Unit(benchmark::kMicrosecond);

void OpenWithoutCache(benchmark::State& state) {
    Folder folder;
    const CByteBuffer item = defaultItem();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder.path);
        std::filesystem::create_directories(folder.path);
        Folder::reset();
        state.ResumeTiming();
        openPalette(item, state);
    }
}
BENCHMARK(OpenWithoutCache)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tal
