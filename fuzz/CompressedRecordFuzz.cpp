// libFuzzer target: the zlib and DRIX record readers over memory, in place and copied.
// The input's first byte chooses the form; the harness fills in a correct header checksum, so
// that the fuzzer reaches the payload decoders, and also feeds the raw bytes as a whole record.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/CWriteSeqBuffer.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::uint32_t le32(const std::uint8_t* p) { return std::uint32_t(p[0] | p[1] << 8 | p[2] << 16) | std::uint32_t(p[3]) << 24; }

void putLe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(std::uint8_t(x >> (8 * i)));
}

// Reads the bytes as one record of each form, through both kinds of memory reader.
void readRecords(const std::vector<std::uint8_t>& bytes, std::uint32_t tag) {
    const std::int32_t n = std::int32_t(bytes.size());
    {
        tal::CMemoryReader r(bytes.data(), n);
        tal::CByteBuffer out;
        delete r.readCompressedData(out, tag);
    }
    {
        tal::CMemoryReaderStatic r(bytes.data(), n);
        tal::CByteBuffer out;
        delete r.readCompressedDataDRIX(out, tag);
        if (r.position() > n)
            __builtin_trap();
    }
    {
        tal::CMemoryReader r(bytes.data(), n);
        tal::CByteBuffer out;
        delete r.readCompressedDataDRIX(out, tag);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 18))
        return 0;
    const std::uint32_t tag = 0x73727061;
    readRecords(std::vector<std::uint8_t>(data, data + size), size >= 4 ? le32(data) : tag);
    if (size < 9)
        return 0;

    // zlib: raw length from the input (at most 256 KiB), a correct checksum, the rest as payload.
    std::vector<std::uint8_t> rec;
    putLe32(rec, tag);
    const std::uint32_t raw = le32(data + 1) & 0x3FFFF;
    putLe32(rec, raw);
    std::uint8_t lengths[8];
    std::memcpy(lengths, rec.data() + 4, 4);
    putLe32(rec, std::uint32_t(adler32(1, lengths, 4)));
    rec.insert(rec.end(), data + 5, data + size);
    readRecords(rec, tag);

    // DRIX: raw and packed lengths from the input, a correct checksum, the rest as the block.
    std::vector<std::uint8_t> drix;
    putLe32(drix, tag);
    putLe32(drix, le32(data + 1) & 0xFFFFF);
    putLe32(drix, std::uint32_t(size - 5) - (data[0] & 3));
    std::memcpy(lengths, drix.data() + 4, 8);
    putLe32(drix, std::uint32_t(adler32(1, lengths, 8)));
    drix.insert(drix.end(), data + 5, data + size);
    readRecords(drix, tag);

    // Writing any payload in either form reads back the same bytes.
    tal::CByteBuffer payload(data, std::int32_t(size));
    for (const bool useDrix : {false, true}) {
        tal::CWriteSeqBuffer out;
        tal::CError* err = useDrix ? out.writeCompressedDataDRIX(payload, tag) : out.writeCompressedData(payload, tag);
        if (err != nullptr)
            __builtin_trap();
        tal::CByteBuffer bytes, back;
        out.moveTo(bytes);
        tal::CMemoryReader r(bytes.data(), bytes.size());
        if ((useDrix ? r.readCompressedDataDRIX(back, tag) : r.readCompressedData(back, tag)) != nullptr ||
            !(back == payload))
            __builtin_trap();
    }
    return 0;
}
