#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CWriteSeqBuffer.h"

#include <cstdint>

namespace tal {

class CError;
class CString;

// Builds one protocol message: the event name as a stream string, then the payload fields in
// order. A field whose writing fails is logged and left out, and building goes on: a sender never
// reports failure to its caller. Usually a local variable of one sender; the first 1024 bytes need
// no allocation.
class CParamInterfaceMessageWriter {
public:
    explicit CParamInterfaceMessageWriter(const char* eventName);
    CParamInterfaceMessageWriter(const CParamInterfaceMessageWriter&) = delete;
    CParamInterfaceMessageWriter& operator=(const CParamInterfaceMessageWriter&) = delete;

    // --- payload fields ---
    void i32(std::int32_t value);
    void f64(double value);
    void string(const CString& text);
    // Logs and frees the error of a record writer that wrote into stream().
    void check(CError* error);
    // The stream for record writers (parameter changes, infos, presets, visualisation data).
    COutputStream& stream() noexcept { return mBuffer; }

    // --- the result ---
    // Moves the written bytes into message (exactly their size; inline up to 64 bytes).
    void moveTo(CByteBuffer& message) { mBuffer.moveTo(message); }

private:
    CWriteSeqBuffer mBuffer;
};

} // namespace tal
