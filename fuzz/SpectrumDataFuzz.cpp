// libFuzzer target for stored spectrum records ("aspc") as a static spectrum view or a spectrum
// file hands them over: a record that reads writes back to bytes that read again to the same record.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "FuzzSupport.h"
#include "UI/CSpectrumData.h"

#include <cmath>
#include <cstdint>
#include <vector>

using namespace tal;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 18))
        return 0;
    // An exact-size copy, so that a read past the end is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    CMemoryReader reader(bytes.data(), std::int32_t(bytes.size()));
    CSpectrumData record;
    if (CError* err = record.read(reader)) {
        delete err;
        return 0;
    }
    check(record.binCount() >= 0 && record.binCount() <= CSpectrumData::kMaxBins);
    check(record.ceilingDb > record.floorDb && std::isfinite(record.floorDb));
    CByteBuffer first;
    check(record.saveToBuffer(first) == nullptr);
    CSpectrumData again;
    check(again.loadFromBuffer(first) == nullptr);
    CByteBuffer second;
    check(again.saveToBuffer(second) == nullptr);
    check(first == second);
    return 0;
}
