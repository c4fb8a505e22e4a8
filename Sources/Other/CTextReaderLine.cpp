#include "Other/CTextReaderLine.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Utf8.h"

#include <algorithm>
#include <cstring>

namespace tal {

CError* CTextReaderLine::open(const CString& path, int type, int windowBytes) {
    mType = type;
    mWindow.alloc(std::max(windowBytes, 4));
    mReadPos = mUnread = 0;
    mEnded = false;
    if (CError* err = mFile.open(path, false))
        return traceError(err);
    return nullptr;
}

CError* CTextReaderLine::refill() {
    if (mEnded)
        return nullptr;
    if (mUnread > 0)
        std::memmove(mWindow.data(), mWindow.data() + mReadPos, std::size_t(mUnread));
    mReadPos = 0;
    std::int32_t count = mWindow.size() - mUnread;
    if (CError* err = mFile.readUpTo(mWindow.data() + mUnread, count))
        return traceError(err);
    if (count == 0)
        mEnded = true;
    mUnread += count;
    return nullptr;
}

CError* CTextReaderLine::getChar(std::uint32_t& c) {
    const std::int32_t unit = mType == kUTF8 || mType == kBytes ? 1 : mType == k16Bit ? 2 : 4;
    for (;;) {
        if (mUnread < unit) {
            if (CError* err = refill())
                return traceError(err);
            if (mUnread < unit) {   // nothing more, or a partial unit that is ignored
                c = 0;
                return nullptr;
            }
        }
        const std::uint8_t* p = mWindow.data() + mReadPos;
        if (mType == kBytes || (mType == kUTF8 && p[0] < 0x80)) {
            c = p[0];
            ++mReadPos;
            --mUnread;
            return nullptr;
        }
        if (mType == k16Bit) {
            c = std::uint32_t(p[0] | p[1] << 8);
            mReadPos += 2;
            mUnread -= 2;
            return nullptr;
        }
        if (mType != kUTF8) {
            c = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
            mReadPos += 4;
            mUnread -= 4;
            return nullptr;
        }
        int extra;
        std::uint32_t v;
        if ((p[0] & 0xE0) == 0xC0) {
            extra = 1;
            v = p[0] & 0x1F;
        } else if ((p[0] & 0xF0) == 0xE0) {
            extra = 2;
            v = p[0] & 0x0F;
        } else if ((p[0] & 0xF8) == 0xF0) {
            extra = 3;
            v = p[0] & 0x07;
        } else {   // a stray continuation byte or 0xF8 to 0xFF: skipped
            ++mReadPos;
            --mUnread;
            continue;
        }
        if (mUnread <= extra) {
            if (CError* err = refill())
                return traceError(err);
            if (mUnread <= extra) {   // cut off by the end of the data
                c = 0;
                return nullptr;
            }
            continue;
        }
        for (int k = 1; k <= extra; ++k)
            v = (v << 6) | (p[k] & 0x3F);
        if (!isEncodableCodePoint(v)) {   // a surrogate or past U+10FFFF: the lead byte is skipped
            ++mReadPos;
            --mUnread;
            continue;
        }
        mReadPos += extra + 1;
        mUnread -= extra + 1;
        c = v;
        return nullptr;
    }
}

CError* CTextReaderLine::readLine(CString& line, int& terminator) {
    mLine.clear();
    bool wide = false;
    terminator = 0;
    for (;;) {
        std::uint32_t c = 0;
        if (CError* err = getChar(c))
            return traceError(err);
        if (c == 13)
            continue;
        if (c == 10 || c == 0) {
            terminator = int(c);
            break;
        }
        wide = wide || c > 255;
        mLine.push_back(char32_t(c));
    }
    const int n = int(mLine.size());
    line = CString::emptyString;
    if (wide) {
        line.widen(0);
        line.setLength(n, false);
        std::copy(mLine.begin(), mLine.end(), line.chars32());
    } else {
        line.setLength(n, false);
        for (int i = 0; i < n; ++i)
            line.chars8()[i] = char(mLine[std::size_t(i)]);
    }
    return nullptr;
}

} // namespace tal
