#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/COutputStream.h"
#include "Core/CString.h"
#include "Core/CWriteSeqBuffer.h"

#include <cstdint>
#include <string>
#include <vector>

// Helpers for stream, record and file tests.
namespace tal::test {

using Bytes = std::vector<std::uint8_t>;

// The characters of a string as UTF-8 (8-bit strings as Latin-1).
inline std::string utf8Of(const CString& s) {
    std::string out;
    for (int i = 0; i < s.length(); ++i) {
        const std::uint32_t c = s.charAt(i);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Every line of an error, which is deleted; empty for null.
inline std::vector<std::string> takeLines(CError* err) {
    std::vector<std::string> lines;
    if (err == nullptr)
        return lines;
    for (int i = 0; i < err->lineCount(); ++i)
        lines.push_back(utf8Of(err->line(i)));
    delete err;
    return lines;
}

// The message line of an error, which is deleted; "" for null.
inline std::string takeMessage(CError* err) {
    const std::vector<std::string> lines = takeLines(err);
    return lines.empty() ? std::string() : lines[0];
}

inline Bytes bytesOf(const CByteBuffer& b) { return Bytes(b.data(), b.data() + b.size()); }

inline CByteBuffer bufferOf(const Bytes& b) { return CByteBuffer(b.data(), std::int32_t(b.size())); }

// Everything a write function put into a fresh in-memory stream.
template <class WriteFn>
Bytes written(WriteFn&& fn) {
    CWriteSeqBuffer out;
    fn(static_cast<COutputStream&>(out));
    CByteBuffer b;
    out.moveTo(b);
    return bytesOf(b);
}

} // namespace tal::test
