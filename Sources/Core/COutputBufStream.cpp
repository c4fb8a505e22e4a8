#include "Core/COutputBufStream.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/Utf8.h"

#include <cstring>

namespace tal {

COutputBufStream::~COutputBufStream() {
    CError* err = flush();
    reportError(&err);
}

CError* COutputBufStream::open(COutputStream& target) {
    if (mUsed > 0)
        return newError("@talstr_COutputBufStream_open_NoPriorFlushCall A previously opened stream was not flushed.");
    mTarget = &target;
    if (mBuffer.size() != kCapacity)
        mBuffer.alloc(kCapacity);
    return nullptr;
}

CError* COutputBufStream::flush() {
    if (mUsed <= 0 || mTarget == nullptr)
        return nullptr;
    const std::int32_t used = mUsed;
    mUsed = 0;
    if (CError* err = mTarget->write(mBuffer.data(), used))
        return traceError(err);
    return nullptr;
}

CError* COutputBufStream::write(const void* source, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    if (mTarget == nullptr)
        return newError("@talstr_COutputBufStream_write_NoStream Output stream not specified.");
    const auto* src = static_cast<const std::uint8_t*>(source);
    const std::int32_t room = kCapacity - mUsed;
    if (count <= room) {
        std::memcpy(mBuffer.data() + mUsed, src, std::size_t(count));
        mUsed += count;
        return nullptr;
    }
    std::memcpy(mBuffer.data() + mUsed, src, std::size_t(room));
    mUsed = 0;
    if (CError* err = mTarget->write(mBuffer.data(), kCapacity))
        return traceError(err);
    const std::int32_t rest = count - room;
    if (rest < kCapacity) {
        std::memcpy(mBuffer.data(), src + room, std::size_t(rest));
        mUsed = rest;
        return nullptr;
    }
    if (CError* err = mTarget->write(src + room, rest))
        return traceError(err);
    return nullptr;
}

template <class Char>
CError* COutputBufStream::writeText(const Char* text, bool addNul) {
    if (mTarget == nullptr)
        return newError("@talstr_COutputBufStream_write_NoStream Output stream not specified.");
    constexpr std::int32_t widest = sizeof(Char) == 1 ? 2 : 4;
    for (const Char* p = text;; ++p) {
        if (*p == 0 && !addNul)
            break;
        if (kCapacity - mUsed < widest)
            if (CError* err = flush())
                return traceError(err);
        const std::uint32_t c = sizeof(Char) == 1 ? std::uint32_t(static_cast<unsigned char>(*p)) : std::uint32_t(*p);
        mUsed += encodeUtf8(c, mBuffer.data() + mUsed);
        if (c == 0)
            break;
    }
    return nullptr;
}

CError* COutputBufStream::writeText8(const char* text, bool addNul) { return writeText(text, addNul); }

CError* COutputBufStream::writeText32(const char32_t* text, bool addNul) { return writeText(text, addNul); }

} // namespace tal
