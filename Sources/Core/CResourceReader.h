#pragma once
#include "Core/CPosInputStream.h"

#include <cstdint>
#include <memory>

namespace tal {

class CString;

// Opens data by name: an embedded resource of that name (read in place, never copied), otherwise
// the file of that path. Usually a local variable of the code that loads something; one thread at
// a time, though any number of readers may read one embedded payload at once.
class CResourceReader : public CPosInputStream {
public:
    CResourceReader() = default;
    CResourceReader(const CResourceReader&) = delete;
    CResourceReader& operator=(const CResourceReader&) = delete;
    ~CResourceReader() override;

    // Replaces what was open by the named resource or file, positioned at its start. A name that is
    // neither gives the file reader's open error; the reader then fails every read.
    [[nodiscard]] CError* open(const CString& name);
    // Whether the open data is an embedded resource.
    bool isEmbedded() const noexcept { return mEmbedded; }

    // --- stream operations, forwarded to the open data ---
    const std::uint8_t* getDataPtr() override;
    std::int64_t getRemainingSize() override;
    [[nodiscard]] CError* skip(std::int32_t count) override;
    [[nodiscard]] CError* read(void* destination, std::int32_t count) override;
    [[nodiscard]] CError* readUpTo(void* destination, std::int32_t& count) override;
    [[nodiscard]] CError* getPosition(std::uint64_t& position) override;
    [[nodiscard]] CError* setPosition(std::uint64_t position) override;
    [[nodiscard]] CError* getSize(std::uint64_t& size) override;

private:
    [[nodiscard]] CError* notOpen() const;

    std::unique_ptr<CPosInputStream> mInner;   // a CMemoryReaderStatic or a CFileReader
    bool mEmbedded = false;
};

} // namespace tal
