#pragma once

#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"

namespace tal {

class CAudioPreset;
class CError;
class CInputStream;
class COutputStream;

// A named list of owned presets; the index is the program or list position. The bank record is
// the name, an i32 preset count and the preset records in order; bank files and the factory bank
// keep it inside a compressed record with tag 'abnk'. One owner, no lock of its own.
class CAudioPresetBank : public CPoolAllocated {
public:
    CAudioPresetBank() = default;
    CAudioPresetBank(const CAudioPresetBank&) = delete;
    CAudioPresetBank& operator=(const CAudioPresetBank&) = delete;
    // Deletes the presets from the last to the first.
    ~CAudioPresetBank();

    // --- queries ---
    const CString& getName() const noexcept { return mName; }
    int getCount() const noexcept { return mPresets.count(); }
    // Preset i for 0 <= i < getCount(), else null.
    CAudioPreset* getPreset(int i) const noexcept;

    // --- operations ---
    void setName(const CString& name) { mName = name; }
    // Appends empty presets or deletes presets from the end; a negative count counts as 0.
    void resize(int count);
    // Appends a new empty preset and returns it.
    CAudioPreset* addPreset();
    // Appends a deep copy of a preset and returns it.
    CAudioPreset* appendCopy(const CAudioPreset& preset);
    // Replaces the presets by deep copies of another bank's; this bank's name stays.
    void copyPresets(const CAudioPresetBank& from);
    // Gives `to` this bank's name and deep copies of its presets ordered by name without regard to
    // letter case; `to` loses its own presets.
    void copySorted(CAudioPresetBank& to) const;
    void swap(CAudioPresetBank& other) noexcept;

    // --- records ---
    [[nodiscard]] CError* save(COutputStream& out) const;
    // Reads a bank record. A negative preset count, one that the bytes left cannot hold, or any
    // damaged preset fails; on failure this bank is left as it was.
    [[nodiscard]] CError* load(CInputStream& in);
    // The bank record inside a compressed record with tag 'abnk'.
    [[nodiscard]] CError* saveCompressed(COutputStream& out) const;
    [[nodiscard]] CError* loadCompressed(CInputStream& in);
    // Opens the name as an embedded resource, else as a file, and reads the compressed bank.
    [[nodiscard]] CError* loadResource(const CString& name);

private:
    void deletePresets() noexcept;

    CString mName;
    CArray<CAudioPreset*> mPresets;   // owned
};

} // namespace tal
