// DRIX against LZ4 (the closest reference for this LZ format) on image-like payloads:
// compress and decompress throughput (bytes/s of raw data) and the packed size as a counter.
#include "Core/Drix.h"

#include "support/SampleData.h"

#include <benchmark/benchmark.h>
#include <lz4.h>

#include <chrono>
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

// Both decoders on the same 1 MiB block in each iteration, timed apart: the counter is DRIX's
// decoding speed as a fraction of LZ4's in this run (target at least 0.7).
void BM_DecodeSpeedRatio(benchmark::State& state) {
    const Bytes& in = payload(1 << 20);
    Bytes drix(std::size_t(tal::drixCompressBound(std::int32_t(in.size()))));
    const std::int32_t drixPacked =
        tal::drixCompress(in.data(), drix.data(), std::int32_t(in.size()), std::int32_t(drix.size()));
    Bytes lz4(std::size_t(LZ4_compressBound(int(in.size()))));
    const int lz4Packed = LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(lz4.data()),
                                               int(in.size()), int(lz4.size()));
    Bytes out(in.size());
    double drixSeconds = 0.0, lz4Seconds = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(tal::drixDecompress(drix.data(), out.data(), drixPacked, std::int32_t(out.size())));
        benchmark::ClobberMemory();
        const auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(LZ4_decompress_safe(reinterpret_cast<const char*>(lz4.data()),
                                                     reinterpret_cast<char*>(out.data()), lz4Packed, int(out.size())));
        benchmark::ClobberMemory();
        const auto t2 = std::chrono::steady_clock::now();
        drixSeconds += std::chrono::duration<double>(t1 - t0).count();
        lz4Seconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["drix_speed_over_lz4"] = drixSeconds > 0.0 ? lz4Seconds / drixSeconds : 0.0;
}
BENCHMARK(BM_DecodeSpeedRatio);

BENCHMARK(BM_DrixCompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK(BM_Lz4Compress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK(BM_DrixDecompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK(BM_Lz4Decompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);

} // namespace
