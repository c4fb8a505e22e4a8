#pragma once

#include "Core/CByteBuffer.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAudioParamStorage;
class CError;
class CInputStream;
class COutputStream;

// A named set of saved parameter states keyed by the parameter's name relative to a registry's
// hierarchy. Each entry holds one parameter's state record: its definition name as a stream string,
// then a value-storage record. The same record serves the host's state, preset files, the default
// preset in application data and the editor's preset messages. A plain record with one owner and
// no lock of its own.
class CAudioPreset : public CPoolAllocated {
public:
    using CEntryMap = CSortedMap<CString, CByteBuffer>;

    CAudioPreset() = default;
    CAudioPreset(const CAudioPreset&) = delete;
    CAudioPreset& operator=(const CAudioPreset&) = delete;

    // --- queries ---
    const CString& getName() const noexcept { return mName; }
    const CEntryMap& getEntries() const noexcept { return mEntries; }
    int getEntryCount() const noexcept { return mEntries.count(); }
    // The bytes of an entry, null when there is none.
    const CByteBuffer* findEntry(const CString& name) const;

    // --- operations ---
    void setName(const CString& name) { mName = name; }
    CEntryMap& getEntries() noexcept { return mEntries; }
    // Adds or replaces an entry with a copy of the bytes.
    void setEntry(const CString& name, const CByteBuffer& bytes);
    // Deletes all entries; the name stays.
    void clearEntries() noexcept { mEntries.clear(); }
    // Replaces the entries by a deep copy of another entry map; the name stays.
    void copyEntries(const CEntryMap& from);
    // Name and a deep copy of the entries of another preset.
    void copyFrom(const CAudioPreset& other);

    // --- records ---
    // The preset record: name, i32 entry count, then each entry (name, i32 length, bytes) in
    // ascending name order.
    [[nodiscard]] CError* save(COutputStream& out) const;
    // Reads a preset record. A negative entry count, or one that the bytes left cannot hold, is a
    // damaged record. On failure this preset is left as it was.
    [[nodiscard]] CError* load(CInputStream& in);
    // The preset record inside a compressed record with tag 'aprs'.
    [[nodiscard]] CError* saveCompressed(COutputStream& out) const;
    // Reads a compressed record with tag 'aprs' and the preset record inside it.
    [[nodiscard]] CError* loadCompressed(CInputStream& in);
    // Opens the name as an embedded resource, else as a file, and reads the compressed preset.
    [[nodiscard]] CError* loadResource(const CString& name);

    // --- entry contents ---
    // Decodes one entry: the definition name, then the storage record into storage, whose format
    // is set from the record's header. On failure storage holds no groups.
    [[nodiscard]] static CError* decodeEntry(const CByteBuffer& bytes, CString& definitionName,
                                             CAudioParamStorage& storage);
    // Whether the routing this preset asks for fits what is available: "ms-pairs" in use needs
    // mid-side, "sidechain" or "sidechain-mute" in use needs the side chain. Entries that are absent
    // or do not decode are not in use.
    bool checkIOCompatibility(bool midSideAvailable, bool sideChainAvailable) const;

private:
    CString mName;
    CEntryMap mEntries;
};

} // namespace tal
