// The zlib record wrapper against plain compress2/uncompress at level 5 on the same payloads:
// the record adds a 12-byte header, streams in 32 KB chunks and allocates through the pool.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"

#include "support/SampleData.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes payload(std::int64_t n) { return tal::test::imageLikeBytes(std::size_t(n), 23); }

void BM_RecordWrite(benchmark::State& state) {
    const Bytes in = payload(state.range(0));
    const tal::CByteBuffer buffer(in.data(), std::int32_t(in.size()));
    for (auto _ : state) {
        tal::CWriteSeqBuffer out;
        tal::CError* err = out.writeCompressedData(buffer, tal::kTagPreset);
        benchmark::DoNotOptimize(err);
        delete err;
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
}

void BM_Compress2(benchmark::State& state) {
    const Bytes in = payload(state.range(0));
    Bytes out(compressBound(uLong(in.size())));
    for (auto _ : state) {
        uLongf n = uLongf(out.size());
        benchmark::DoNotOptimize(compress2(out.data(), &n, in.data(), uLong(in.size()), 5));
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
}

void BM_RecordRead(benchmark::State& state) {
    const Bytes in = payload(state.range(0));
    tal::CWriteSeqBuffer out;
    delete out.writeCompressedData(tal::CByteBuffer(in.data(), std::int32_t(in.size())), tal::kTagPreset);
    tal::CByteBuffer record;
    out.moveTo(record);
    for (auto _ : state) {
        tal::CMemoryReader r(record.data(), record.size());
        tal::CByteBuffer back;
        tal::CError* err = r.readCompressedData(back, tal::kTagPreset);
        benchmark::DoNotOptimize(err);
        delete err;
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
}

void BM_Uncompress(benchmark::State& state) {
    const Bytes in = payload(state.range(0));
    uLongf packed = compressBound(uLong(in.size()));
    Bytes block(packed);
    compress2(block.data(), &packed, in.data(), uLong(in.size()), 5);
    for (auto _ : state) {
        Bytes back(in.size());   // the record reader allocates its buffer too
        uLongf n = uLongf(back.size());
        benchmark::DoNotOptimize(uncompress(back.data(), &n, block.data(), packed));
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(in.size()));
}

BENCHMARK(BM_RecordWrite)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20);
BENCHMARK(BM_Compress2)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20);
BENCHMARK(BM_RecordRead)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20);
BENCHMARK(BM_Uncompress)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20);

} // namespace
