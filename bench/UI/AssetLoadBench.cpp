// Loading every shipped font and image set once, as the shared description does at start-up:
// DRIX decompression of each body, then the ranges and images read with the pixel blocks used in
// place. The reference is the plain work the loading cannot avoid: the same unpacked bodies
// decompressed with LZ4 (liblz4) from an LZ4 block. Counters: packed and unpacked bytes.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Other/CFont.h"
#include "Other/CImageSet.h"

#include <benchmark/benchmark.h>
#include <lz4.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tal;

struct Asset {
    bool font = false;
    CByteBuffer bytes;
    std::vector<char> lz4;        // the unpacked body as one LZ4 block
    std::int32_t unpacked = 0;
};

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<Asset>& assets() {
    static const std::vector<Asset> all = [] {
        std::vector<Asset> out;
        const std::string dir = TAL_ASSET_DIR;
        const char* fonts[] = {"base",      "base-bold", "base-super", "micro",   "micro-sm",
                               "micro-sm2", "small",     "title",      "compact", "compact-super"};
        std::vector<std::pair<std::string, bool>> files;
        for (const char* f : fonts)
            files.emplace_back(dir + "/Gfx/Fonts/" + f + ".fnt", true);
        files.emplace_back(dir + "/Gfx/Imagesets/button.is", false);
        for (const auto& [path, font] : files) {
            const std::vector<std::uint8_t> raw = fileBytes(path);
            Asset a;
            a.font = font;
            a.bytes.assign(raw.data(), std::int32_t(raw.size()));
            // The unpacked body itself, read after the version word(s) as the loader reads it.
            CMemoryReader reader(a.bytes.data(), a.bytes.size());
            CByteBuffer body;
            CError* err = reader.skip(font ? 8 : 4);
            if (err == nullptr)
                err = reader.readCompressedDataDRIX(body, 0);
            if (err != nullptr) {
                delete err;
                continue;
            }
            a.unpacked = body.size();
            a.lz4.resize(std::size_t(LZ4_compressBound(a.unpacked)));
            const int n = LZ4_compress_default(reinterpret_cast<const char*>(body.data()), a.lz4.data(), a.unpacked, int(a.lz4.size()));
            a.lz4.resize(std::size_t(n));
            out.push_back(std::move(a));
        }
        return out;
    }();
    return all;
}

void BM_LoadAllAssets(benchmark::State& state) {
    std::int64_t packed = 0, unpacked = 0;
    for (const Asset& a : assets()) {
        packed += a.bytes.size();
        unpacked += a.unpacked;
    }
    for (auto _ : state) {
        for (const Asset& a : assets()) {
            std::unique_ptr<CImageSet> set(a.font ? new CFont : new CImageSet);
            CError* err = set->loadFromBuffer(a.bytes);
            delete err;
            benchmark::DoNotOptimize(set->imageCount());
        }
    }
    state.counters["packed"] = double(packed);
    state.counters["unpacked"] = double(unpacked);
    state.counters["files"] = double(assets().size());
}

void BM_Lz4UnpackSameBodies(benchmark::State& state) {
    std::vector<char> out;
    for (auto _ : state) {
        for (const Asset& a : assets()) {
            out.resize(std::size_t(a.unpacked));
            const int r = LZ4_decompress_safe(a.lz4.data(), out.data(), int(a.lz4.size()), a.unpacked);
            benchmark::DoNotOptimize(r);
            benchmark::ClobberMemory();
        }
    }
}

BENCHMARK(BM_LoadAllAssets)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lz4UnpackSameBodies)->Unit(benchmark::kMicrosecond);

} // namespace
