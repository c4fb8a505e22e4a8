// libFuzzer target for the preset and bank readers: the raw records, their compressed containers
// and the entry decoder. Whatever the bytes, reading must fail cleanly or give a record that writes
// back to bytes that read again to the same record.
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"

#include <cstdint>
#include <cstdlib>

using namespace tal;

namespace {

template <class T>
CByteBuffer written(const T& record) {
    CWriteSeqBuffer out;
    if (CError* err = record.save(out)) {
        delete err;
        std::abort();   // writing into memory cannot fail
    }
    CByteBuffer bytes;
    out.moveTo(bytes);
    return bytes;
}

// A record that was read must write and read back unchanged.
template <class T>
void checkRoundTrip(const T& record) {
    const CByteBuffer first = written(record);
    T again;
    CMemoryReader reader(first.data(), first.size());
    if (CError* err = again.load(reader)) {
        delete err;
        std::abort();
    }
    if (!(written(again) == first)) std::abort();
}

void decodeEntries(const CAudioPreset& preset) {
    for (auto* n = preset.getEntries().first(); n != nullptr; n = CAudioPreset::CEntryMap::next(n)) {
        CString definition;
        CAudioParamStorage storage;
        delete CAudioPreset::decodeEntry(n->value, definition, storage);
    }
    (void)preset.checkIOCompatibility(false, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::int32_t n = std::int32_t(size);
    {
        CAudioPreset preset;
        CMemoryReader reader(data, n);
        if (CError* err = preset.load(reader)) {
            delete err;
        } else {
            decodeEntries(preset);
            checkRoundTrip(preset);
        }
    }
    {
        CAudioPresetBank bank;
        CMemoryReader reader(data, n);
        if (CError* err = bank.load(reader)) {
            delete err;
        } else {
            for (int i = 0; i < bank.getCount(); ++i) decodeEntries(*bank.getPreset(i));
            checkRoundTrip(bank);
        }
    }
    {
        CAudioPreset preset;
        CMemoryReader reader(data, n);
        delete preset.loadCompressed(reader);
        CAudioPresetBank bank;
        CMemoryReader again(data, n);
        delete bank.loadCompressed(again);
    }
    return 0;
}
