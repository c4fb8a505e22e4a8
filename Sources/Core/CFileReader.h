#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CFileBase.h"
#include "Core/CPosInputStream.h"

#include <cstdint>

namespace tal {

// The file input stream: one read call per operation, no buffering. "*" opens standard input.
// One thread at a time.
class CFileReader : public CCheckedObject, public CPosInputStream, public CFileBase {
public:
    CFileReader() = default;

    // Closes any open file, then opens path for reading (and for writing, created when missing,
    // when writable is set).
    [[nodiscard]] CError* open(const CString& path, bool writable = false);

    // --- stream operations ---
    std::int64_t getRemainingSize() override;
    // Moves the position by count bytes (a seek; never reads).
    [[nodiscard]] CError* skip(std::int32_t count) override;
    // Exactly count bytes in one call; fewer is the read-beyond-end error.
    [[nodiscard]] CError* read(void* destination, std::int32_t count) override;
    // At most count bytes in one call; count becomes the number read (0 at the end of the file).
    [[nodiscard]] CError* readUpTo(void* destination, std::int32_t& count) override;
};

} // namespace tal
