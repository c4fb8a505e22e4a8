// libFuzzer target for the parameter records: the storage record (in the format chosen by the
// first byte), the change form (applied to a storage afterwards) and the definition record, whose
// converters are looked up in the product's shared description. Whatever the bytes, reading must
// fail cleanly or give a value that writes back to bytes that read again to the same value.
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CMemoryReader.h"
#include "FuzzSupport.h"

#include <cstdint>
#include <vector>

extern const tal::CResourceEntry paramFuzzResources[];

using namespace tal;
using fuzz::check;
using fuzz::written;

namespace {

void fuzzStorage(const std::uint8_t* data, std::int32_t size) {
    if (size < 1)
        return;
    // Format: element size 1 to 4 for floats; strings and raw items have element size 1.
    const int dataType = data[0] % 3;
    const int elementSize = dataType == 0 ? 1 + (data[0] >> 2) % 4 : 1;
    const bool singleGroup = (data[0] & 0x40) != 0, singleElement = (data[0] & 0x80) != 0;
    CAudioParamStorage storage;
    storage.setFormat(elementSize, dataType, singleGroup, singleElement);
    CMemoryReader reader(data + 1, size - 1);
    if (CError* err = storage.load(reader)) {
        delete err;
        check(storage.getGroupCount() == 0);   // a failed load changes nothing
        return;
    }
    const CByteBuffer first = written([&](COutputStream& out) { return storage.save(out); });
    CAudioParamStorage again;
    again.setFormat(elementSize, dataType, singleGroup, singleElement);
    CMemoryReader back(first.data(), first.size());
    CError* err = again.load(back);
    check(err == nullptr);
    // Compared as written bytes: a NaN value is never equal to itself.
    check(written([&](COutputStream& out) { return again.save(out); }) == first);
}

void fuzzChange(const std::uint8_t* data, std::int32_t size) {
    CAudioParamChangeBuffer buffer;
    CAudioParamChange change;
    CMemoryReader reader(data, size);
    if (CError* err = CAudioParamStorage::readChange(buffer, reader, change, nullptr)) {
        delete err;
        return;
    }
    const CByteBuffer first = written([&](COutputStream& out) { return CAudioParamStorage::writeChange(change, out); });
    CAudioParamChangeBuffer againBuffer;
    CAudioParamChange again;
    CMemoryReader back(first.data(), first.size());
    CError* err = CAudioParamStorage::readChange(againBuffer, back, again, nullptr);
    check(err == nullptr);
    check(written([&](COutputStream& out) { return CAudioParamStorage::writeChange(again, out); }) == first);

    // A change from the wire may name any group and element: applying it stays within bounds.
    // (Changes that reach far out only cost time here: the storage's own caps hold them.)
    if ((std::int64_t(change.firstElement) + change.count) * change.elementSize > 4096 ||
        (change.group > 4096 && change.group != CAudioParamChange::kFormatGroup))
        return;
    CAudioParamStorage storage;
    storage.setFormat(change.elementSize, change.dataType, change.singleGroup, change.singleElement);
    storage.applyChange(change);
    CAudioParamStorage copy;
    copy.assign(storage);
    check(written([&](COutputStream& out) { return copy.save(out); }) ==
          written([&](COutputStream& out) { return storage.save(out); }));
}

void fuzzInfo(const std::uint8_t* data, std::int32_t size) {
    CAudioParamInfo info;
    CMemoryReader reader(data, size);
    if (CError* err = info.load(reader)) {
        delete err;
        check(info.getElementSize() == 0);   // a failed load leaves the info as it was
        return;
    }
    const CByteBuffer first = written([&](COutputStream& out) { return info.save(out); });
    CAudioParamInfo again;
    CMemoryReader back(first.data(), first.size());
    CError* err = again.load(back);
    check(err == nullptr);
    check(written([&](COutputStream& out) { return again.save(out); }) == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (fuzz::startProduct(paramFuzzResources), true);
    (void)ready;
    if (size > (1u << 16))
        return 0;
    // An exact-size copy, so that a read past the end is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto n = std::int32_t(bytes.size());
    fuzzStorage(bytes.data(), n);
    fuzzChange(bytes.data(), n);
    fuzzInfo(bytes.data(), n);
    return 0;
}
