#pragma once
#include "Core/CInputStream.h"
#include "Core/CZipStream.h"

#include <cstdint>

namespace tal {

// Decompresses a zlib stream read from a source stream, reading the source ahead in chunks of
// 32768 bytes. Built on the stack by the record reader for one record. Not owning the source.
class CInputZipStream : public CInputStream, public CZipStream {
public:
    CInputZipStream();
    ~CInputZipStream() override;   // closes; an error there goes to the log

    // Closes what was open, then starts decompressing from source (read ahead at once).
    [[nodiscard]] CError* open(CInputStream& source);
    // Produces exactly count bytes, or fails: without a source, on damaged data, and when the
    // zlib stream or the source ends first ("Premature end of file.").
    [[nodiscard]] CError* read(void* destination, std::int32_t count) override;
    // After the wanted bytes were read: reads on until the zlib stream reaches its end (checking
    // its trailer) or would give more output. Fails when the source ends first, so a stream cut
    // inside its checksum trailer is not taken as whole, or when the trailer is damaged.
    [[nodiscard]] CError* finish();
    // Ends decompression; nothing when closed.
    [[nodiscard]] CError* close();

private:
    [[nodiscard]] CError* refill();
    // One inflate call into the output set up in the zlib state, reading on in the source first
    // when the input read ahead is used up; fails when the source has ended.
    [[nodiscard]] CError* inflateSome();

    std::uint8_t* mBuffer = nullptr;   // owned; kBufferBytes
    CInputStream* mSource = nullptr;   // not owned; null while closed
    bool mEnded = false;               // zlib reported the end of its stream
};

} // namespace tal
