#pragma once
#include "Core/CInputStream.h"

#include <cstdint>

namespace tal {

// A window of exactly `length` bytes onto another input stream: the payload of one frame record.
// Reading past the window fails instead of consuming the next record, and getRemainingSize reports
// what is left of the window, so that frame loaders can check every count against the bytes that
// can really follow it. finish() skips what the loader left unread, so a longer payload written by
// a newer producer never desynchronises the records after it. One thread, lives on the stack.
class CVizPayloadReader : public CInputStream {
public:
    CVizPayloadReader(CInputStream& source, std::int32_t length) noexcept : mSource(source), mLeft(length) {}
    CVizPayloadReader(const CVizPayloadReader&) = delete;
    CVizPayloadReader& operator=(const CVizPayloadReader&) = delete;

    // --- the stream operations ---
    std::int64_t getRemainingSize() override { return mLeft; }
    [[nodiscard]] CError* read(void* destination, std::int32_t count) override;
    [[nodiscard]] CError* skip(std::int32_t count) override;

    // --- the end of the payload ---
    // Skips the unread rest of the window.
    [[nodiscard]] CError* finish();

private:
    [[nodiscard]] CError* checkCount(std::int32_t count) const;

    CInputStream& mSource;
    std::int32_t mLeft;
};

} // namespace tal
