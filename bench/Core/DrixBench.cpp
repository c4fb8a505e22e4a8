// DRIX against LZ4 (the closest reference for this LZ format) on image-like payloads:
// compress and decompress throughput (bytes/s of raw data) and the packed size as a counter.
#include "Core/Drix.h"

#include "support/SampleData.h"

#include <benchmark/benchmark.h>
#include <lz4.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes& payload(std::int64_t n) {
    static std::vector<std::pair<std::int64_t, Bytes>> cache;
    for (auto& [size, bytes] : cache)
        if (size == n)
            return bytes;
    cache.emplace_back(n, tal::test::imageLikeBytes(std::size_t(n), 17));
    return cache.back().second;
}

void BM_DrixCompress(benchmark::State& state) {
    const Bytes& in = payload(state.range(0));
    Bytes out(std::size_t(tal::drixCompressBound(std::int32_t(in.size()))));
    std::int32_t packed = 0;
    for (auto _ : state) {
        packed = tal::drixCompress(in.data(), out.data(), std::int32_t(in.size()), std::int32_t(out.size()));
        benchmark::DoNotOptimize(packed);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
    state.counters["ratio"] = double(packed) / double(in.size());
}

void BM_Lz4Compress(benchmark::State& state) {
    const Bytes& in = payload(state.range(0));
    Bytes out(std::size_t(LZ4_compressBound(int(in.size()))));
    int packed = 0;
    for (auto _ : state) {
        packed = LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                      int(in.size()), int(out.size()));
        benchmark::DoNotOptimize(packed);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
    state.counters["ratio"] = double(packed) / double(in.size());
}

void BM_DrixDecompress(benchmark::State& state) {
    const Bytes& in = payload(state.range(0));
    Bytes block(std::size_t(tal::drixCompressBound(std::int32_t(in.size()))));
    const std::int32_t packed =
        tal::drixCompress(in.data(), block.data(), std::int32_t(in.size()), std::int32_t(block.size()));
    Bytes out(in.size());
    for (auto _ : state) {
        const std::int32_t r = tal::drixDecompress(block.data(), out.data(), packed, std::int32_t(out.size()));
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    if (out != in)
        state.SkipWithError("DRIX round trip differs");
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
}

void BM_Lz4Decompress(benchmark::State& state) {
    const Bytes& in = payload(state.range(0));
    Bytes block(std::size_t(LZ4_compressBound(int(in.size()))));
    const int packed = LZ4_compress_default(reinterpret_cast<const char*>(in.data()),
                                            reinterpret_cast<char*>(block.data()), int(in.size()), int(block.size()));
    Bytes out(in.size());
    for (auto _ : state) {
        const int r = LZ4_decompress_safe(reinterpret_cast<const char*>(block.data()), reinterpret_cast<char*>(out.data()),
                                          packed, int(out.size()));
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    if (out != in)
        state.SkipWithError("LZ4 round trip differs");
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
}

BENCHMARK(BM_DrixCompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK(BM_Lz4Compress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK(BM_DrixDecompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK(BM_Lz4Decompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);

} // namespace
