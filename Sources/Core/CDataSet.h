#pragma once
#include "Core/CCheckedObject.h"

#include <cstdint>

namespace tal {

class CByteBuffer;
class CError;
class CInputStream;
class COutputStream;
class CString;

// The base of items that read and write themselves to streams under a four-letter tag (image
// sets, fonts, spectrum snapshots); each subclass writes its own version number and content.
// Adds the ways of moving an item between streams and storage. One thread at a time.
class CDataSet : public CCheckedObject {
public:
    // --- what a subclass provides ---
    // The item's record tag, whose little-endian bytes spell four letters ("imgs", "font", "aspc").
    virtual std::uint32_t getTag() const = 0;
    [[nodiscard]] virtual CError* read(CInputStream& in) = 0;
    [[nodiscard]] virtual CError* write(COutputStream& out) const = 0;

    // --- loading and saving ---
    // Reads the item from the embedded resource of that name (in place), else from that file.
    // On failure the item holds whatever read left.
    [[nodiscard]] CError* load(const CString& name);
    // Reads the item from the buffer's bytes; the buffer keeps them.
    [[nodiscard]] CError* loadFromBuffer(const CByteBuffer& buffer);
    // Writes the item and hands exactly the written bytes to out; out is untouched on failure.
    [[nodiscard]] CError* saveToBuffer(CByteBuffer& out) const;
    // Writes the item to the file, replacing it only when the whole item was written: on any
    // failure the previous file stays as it was.
    [[nodiscard]] CError* save(const CString& path) const;
};

} // namespace tal
