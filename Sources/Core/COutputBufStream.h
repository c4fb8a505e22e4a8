#pragma once
#include "Core/CByteBuffer.h"
#include "Core/COutputStream.h"

#include <cstdint>

namespace tal {

// Buffers writes to a target output stream in a 32768-byte buffer, so that a writer of many small
// pieces makes few calls on the target (data-set files). Not owning the target. flush before the
// target goes away; the destructor flushes and logs a failure.
class COutputBufStream : public COutputStream {
public:
    static constexpr std::int32_t kCapacity = 32768;

    COutputBufStream() = default;
    COutputBufStream(const COutputBufStream&) = delete;
    COutputBufStream& operator=(const COutputBufStream&) = delete;
    ~COutputBufStream() override;

    // Sets the target; refused while bytes are buffered for the previous one.
    [[nodiscard]] CError* open(COutputStream& target);
    [[nodiscard]] CError* write(const void* source, std::int32_t count) override;
    [[nodiscard]] CError* writeText8(const char* text, bool addNul) override;
    [[nodiscard]] CError* writeText32(const char32_t* text, bool addNul) override;
    // Writes the buffered bytes to the target.
    [[nodiscard]] CError* flush();
    // Drops the buffered bytes unwritten (the target's content is being thrown away).
    void abandon() noexcept { mUsed = 0; }

private:
    template <class Char>
    [[nodiscard]] CError* writeText(const Char* text, bool addNul);

    COutputStream* mTarget = nullptr;   // not owned
    CByteBuffer mBuffer;                // size = capacity once opened
    std::int32_t mUsed = 0;
};

} // namespace tal
