#pragma once
#include "Core/COutputStream.h"
#include "Core/CZipStream.h"

#include <cstdint>

namespace tal {

// Compresses into a zlib stream written to a target stream in chunks of 32768 bytes. Built on the
// stack by the record writer for one record. Not owning the target.
class COutputZipStream : public COutputStream, public CZipStream {
public:
    COutputZipStream();
    ~COutputZipStream() override;   // closes; an error there goes to the log

    // Closes what was open, then starts compressing into target at zlib level 0 to 9.
    [[nodiscard]] CError* open(COutputStream& target, int level);
    [[nodiscard]] CError* write(const void* source, std::int32_t count) override;
    // Finishes the zlib stream and writes what is left; nothing when closed.
    [[nodiscard]] CError* close();

private:
    std::uint8_t* mBuffer = nullptr;    // owned; kBufferBytes
    COutputStream* mTarget = nullptr;   // not owned; null while closed
};

} // namespace tal
