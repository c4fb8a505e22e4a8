#include "Audio/CAudioPreset.h"

#include "Audio/CAudioParamStorage.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CMemoryReader.h"
#include "Core/COutputStream.h"
#include "Core/CResourceReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"

namespace tal {

namespace {

// The fewest bytes an entry takes: the name's byte count and the state's length.
constexpr std::int64_t kMinEntryBytes = 8;
// The largest element size a stored entry may declare; the framework's parameters use 1 or 2.
constexpr std::int32_t kMaxElementSize = 256;

// A rounded value, halves away from zero.
std::int64_t rounded(double v) {
    return CAudioParamConverter::roundToInt(v);
}

} // namespace

const CByteBuffer* CAudioPreset::findEntry(const CString& name) const {
    const CEntryMap::Node* node = mEntries.find(name);
    return node != nullptr ? &node->value : nullptr;
}

void CAudioPreset::setEntry(const CString& name, const CByteBuffer& bytes) {
    mEntries.findOrAdd(name)->value = bytes;
}

void CAudioPreset::copyEntries(const CEntryMap& from) {
    if (&from == &mEntries) return;
    mEntries.clear();
    for (const CEntryMap::Node* n = from.first(); n != nullptr; n = CEntryMap::next(const_cast<CEntryMap::Node*>(n)))
        mEntries.findOrAddWith(n->key, nullptr, n->value);
}

void CAudioPreset::copyFrom(const CAudioPreset& other) {
    if (&other == this) return;
    mName = other.mName;
    copyEntries(other.mEntries);
}

CError* CAudioPreset::save(COutputStream& out) const {
    if (CError* err = out.writeString(mName)) return traceError(err, mName);
    if (CError* err = out.write32(static_cast<std::uint32_t>(mEntries.count()))) return traceError(err, mName);
    for (const CEntryMap::Node* n = mEntries.first(); n != nullptr; n = CEntryMap::next(const_cast<CEntryMap::Node*>(n))) {
        if (CError* err = out.writeString(n->key)) return traceError(err, mName);
        if (CError* err = out.writeByteBuffer(n->value)) return traceError(err, mName);
    }
    return nullptr;
}

CError* CAudioPreset::load(CInputStream& in) {
    CAudioPreset scratch;
    if (CError* err = in.readString(scratch.mName)) return traceError(err);
    std::int32_t count = 0;
    if (CError* err = in.read32(count)) return traceError(err, scratch.mName);
    const std::int64_t left = in.getRemainingSize();
    if (count < 0 || (left >= 0 && count > left / kMinEntryBytes))
        return newError("@talstr_CAudioPreset_load_BadCount Damaged preset: %1 entries announced, %2 bytes left.",
                        scratch.mName, CString(count), CString(left));
    CString entryName;
    for (std::int32_t i = 0; i < count; ++i) {
        if (CError* err = in.readString(entryName)) return traceError(err, scratch.mName);
        CByteBuffer bytes;
        if (CError* err = in.readByteBuffer(bytes)) return traceError(err, scratch.mName);
        // A repeated name replaces the earlier block.
        scratch.mEntries.findOrAdd(entryName)->value = std::move(bytes);
    }
    mName = std::move(scratch.mName);
    mEntries = std::move(scratch.mEntries);
    return nullptr;
}

CError* CAudioPreset::saveCompressed(COutputStream& out) const {
    CWriteSeqBuffer record;
    if (CError* err = save(record)) return traceError(err, mName);
    CByteBuffer bytes;
    record.moveTo(bytes);
    if (CError* err = out.writeCompressedData(bytes, kTagPreset)) return traceError(err, mName);
    return nullptr;
}

CError* CAudioPreset::loadCompressed(CInputStream& in) {
    CByteBuffer bytes;
    if (CError* err = in.readCompressedData(bytes, kTagPreset)) return traceError(err);
    CMemoryReader reader(bytes.data(), bytes.size());
    if (CError* err = load(reader)) return traceError(err);
    return nullptr;
}

CError* CAudioPreset::loadResource(const CString& name) {
    CResourceReader reader;
    if (CError* err = reader.open(name)) return traceError(err, name);
    if (CError* err = loadCompressed(reader)) return traceError(err, name);
    return nullptr;
}

CError* CAudioPreset::decodeEntry(const CByteBuffer& bytes, CString& definitionName, CAudioParamStorage& storage) {
    storage.clear();
    CMemoryReader reader(bytes.data(), bytes.size());
    if (CError* err = reader.readString(definitionName)) return traceError(err);
    // The storage record starts with its version, element size and data type: take the format from
    // there, then let the storage read the whole record.
    std::uint64_t start = 0;
    if (CError* err = reader.getPosition(start)) return traceError(err);
    std::int32_t version = 0, elementSize = 0, dataType = 0;
    if (CError* err = reader.read32(version)) return traceError(err, definitionName);
    if (CError* err = reader.read32(elementSize)) return traceError(err, definitionName);
    if (CError* err = reader.read32(dataType)) return traceError(err, definitionName);
    if (elementSize < 1 || elementSize > kMaxElementSize || dataType < CAudioParamStorage::kTypeFloat ||
        dataType > CAudioParamStorage::kTypeRaw)
        return newError("@talstr_CAudioPreset_decodeEntry_BadFormat Damaged entry: element size %1, data type %2.",
                        definitionName, CString(elementSize), CString(dataType));
    if (CError* err = reader.setPosition(start)) return traceError(err, definitionName);
    storage.setFormat(elementSize, dataType, false, false);
    if (CError* err = storage.load(reader)) return traceError(err, definitionName);
    return nullptr;
}

bool CAudioPreset::checkIOCompatibility(bool midSideAvailable, bool sideChainAvailable) const {
    // Which of the three routing entries ask for something: a decoded group 0 is tested value by value.
    enum Rule { kNonZero, kNotIdentity };
    auto inUse = [this](const char* name, Rule rule) {
        const CByteBuffer* bytes = findEntry(CString(name));
        if (bytes == nullptr) return false;
        CString definitionName;
        CAudioParamStorage storage;
        if (CError* err = decodeEntry(*bytes, definitionName, storage)) {
            delete err;   // an entry that does not decode counts as absent
            return false;
        }
        const double* values = storage.getValues(0);
        const int n = storage.getElementCount(0) * storage.getElementSize();
        for (int i = 0; i < n && values != nullptr; ++i) {
            const std::int64_t v = rounded(values[i]);
            if (rule == kNonZero ? v != 0 : v != i) return true;
        }
        return false;
    };
    const bool midSide = inUse("ms-pairs", kNonZero);
    const bool sideChain = inUse("sidechain", kNotIdentity) || inUse("sidechain-mute", kNonZero);
    return (!midSide || midSideAvailable) && (!sideChain || sideChainAvailable);
}

} // namespace tal
