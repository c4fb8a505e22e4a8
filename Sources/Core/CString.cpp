#include "Core/CString.h"

#include "Core/CStringList.h"
#include "Core/Utf8.h"

#include <cstring>

namespace tal {

constinit const CString CString::emptyString;

namespace {

int bytesNeeded(int length, bool wide) noexcept { return wide ? 4 * length + 4 : length + 1; }

bool isBlank(std::uint32_t c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

// --- life cycle ---

void CString::allocExact(int bytes) {
    if (bytes > kInlineBytes) {
        mText = static_cast<char*>(poolAlloc(std::uint64_t(bytes)));
        mCapacity = bytes;
    }
}

void CString::initBytes(const char* bytes, int count) {
    allocExact(count + 1);
    if (count > 0)
        std::memcpy(mText, bytes, std::size_t(count));
    mText[count] = 0;
    mLength = count;
}

void CString::initCopy(const CString& other) {
    const int bytes = bytesNeeded(other.mLength, other.isWide());
    allocExact(bytes);
    std::memcpy(mText, other.mText, std::size_t(bytes));
    mLength = other.mLength;
    mIsWide = other.mIsWide;
}

CString::CString(const char* text) : mText(mInline) {
    if (text != nullptr)
        initBytes(text, int(std::strlen(text)));
}

CString::CString(const char* bytes, int count) : mText(mInline) { initBytes(bytes, count > 0 ? count : 0); }

CString::CString(const CString& other) : mText(mInline) { initCopy(other); }

CString::CString(CString&& other) noexcept : mText(mInline) {
    if (other.isInline()) {
        std::memcpy(mInline, other.mInline, sizeof mInline);
    } else {
        mText = other.mText;
        mCapacity = other.mCapacity;
        other.mText = other.mInline;
        other.mInline[0] = 0;
        other.mInline[1] = other.mInline[2] = other.mInline[3] = 0;
    }
    mLength = other.mLength;
    mIsWide = other.mIsWide;
    other.mLength = 0;
    other.mIsWide = 0;
}

CString::CString(const CString& first, const char* bytes) : mText(mInline) {
    initCopy(first);
    const int extra = bytes != nullptr ? int(std::strlen(bytes)) : 0;
    const int old = mLength;
    setLength(old + extra, true);
    if (isWide()) {
        for (int i = 0; i < extra; ++i)
            chars32()[old + i] = static_cast<unsigned char>(bytes[i]);
    } else if (extra > 0) {
        std::memcpy(mText + old, bytes, std::size_t(extra));
    }
}

CString::CString(const CString& source, int start, int count) : mText(mInline) {
    if (start < 0)
        start = 0;
    if (start >= source.mLength)
        return;
    if (count < 0 || count > source.mLength - start)
        count = source.mLength - start;
    if (count <= 0)
        return;
    if (source.isWide()) {
        widen(0);
        setLength(count, false);
        std::memcpy(mText, source.chars32() + start, 4 * std::size_t(count));
    } else {
        setLength(count, false);
        std::memcpy(mText, source.mText + start, std::size_t(count));
    }
}

CString::~CString() {
    if (!isInline() && mText != nullptr)
        poolFree(mText);
}

CString& CString::operator=(const CString& other) {
    if (this == &other)
        return *this;
    if (other.isWide() && !isWide()) {
        setLength(0, false);
        widen(0);
    } else if (!other.isWide() && isWide()) {
        setLength(0, false);
        narrowInPlace();
    }
    setLength(other.mLength, false);
    std::memcpy(mText, other.mText, std::size_t(bytesNeeded(other.mLength, other.isWide())));
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this == &other)
        return *this;
    if (other.isInline() || !isInline()) {
        // Keep our own block (it never shrinks) unless we can take other's block for free.
        if (!other.isInline() && !isInline()) {
            char* mine = mText;
            const std::int32_t capacity = mCapacity;
            mText = other.mText;
            mCapacity = other.mCapacity;
            other.mText = mine;
            other.mCapacity = capacity;
            mLength = other.mLength;
            mIsWide = other.mIsWide;
            other.mLength = 0;
            other.mIsWide = 0;
            other.mText[0] = 0;
            return *this;
        }
        return *this = static_cast<const CString&>(other);
    }
    mText = other.mText;
    mCapacity = other.mCapacity;
    mLength = other.mLength;
    mIsWide = other.mIsWide;
    other.mText = other.mInline;
    std::memset(other.mInline, 0, 4);
    other.mLength = 0;
    other.mIsWide = 0;
    return *this;
}

CString& CString::operator=(const char* text) {
    const int count = text != nullptr ? int(std::strlen(text)) : 0;
    if (isWide()) {
        setLength(0, false);
        narrowInPlace();
    }
    if (text != nullptr && text >= mText && text < mText + (isInline() ? kInlineBytes : mCapacity)) {
        const CString copy(text);   // the bytes live in this string's storage
        return *this = copy;
    }
    setLength(count, false);
    if (count > 0)
        std::memcpy(mText, text, std::size_t(count));
    return *this;
}

// --- storage ---

void* CString::setLength(int length, bool keep) {
    const bool wide = isWide();
    const std::int64_t need = wide ? 4 * std::int64_t(length) + 4 : std::int64_t(length) + 1;
    if (need > INT32_MAX)
        poolAllocationFailed(std::uint64_t(need));
    if (isInline()) {
        if (need > kInlineBytes) {
            char* block = static_cast<char*>(poolAlloc(std::uint64_t(need)));
            if (keep)
                std::memcpy(block, mInline, std::size_t(bytesNeeded(mLength, wide)));
            mText = block;
            mCapacity = std::int32_t(need);
        }
    } else if (need > mCapacity) {
        std::int64_t capacity = wide ? need + ((mCapacity / 4) & ~3) + 32 : need + mCapacity / 4 + 8;
        if (capacity > INT32_MAX)
            capacity = need;
        if (keep) {
            mText = static_cast<char*>(poolRealloc(mText, std::uint64_t(capacity)));
        } else {
            poolFree(mText);
            mText = static_cast<char*>(poolAlloc(std::uint64_t(capacity)));
        }
        mCapacity = std::int32_t(capacity);
    }
    mLength = length;
    if (wide)
        chars32()[length] = 0;
    else
        mText[length] = 0;
    return mText;
}

void CString::widen(int count) {
    const int need = 4 * mLength + 4;
    if (isInline()) {
        if (need > kInlineBytes) {
            char* block = static_cast<char*>(poolAlloc(std::uint64_t(need)));
            std::memcpy(block, mInline, std::size_t(mLength + 1));
            mText = block;
            mCapacity = need;
        }
    } else if (need > mCapacity) {
        mText = static_cast<char*>(poolRealloc(mText, std::uint64_t(need)));
        mCapacity = need;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(mText);
    char32_t* wide = chars32();
    wide[count] = 0;
    for (int i = count - 1; i >= 0; --i)
        wide[i] = bytes[i];
    mIsWide = 1;
}

void CString::narrowInPlace() noexcept {
    const char32_t* wide = chars32();
    for (int i = 0; i <= mLength; ++i)
        mText[i] = char(wide[i] & 0xFF);
    mIsWide = 0;
}

CString CString::narrowed() const {
    CString copy(*this);
    if (copy.isWide())
        copy.narrowInPlace();
    return copy;
}

// --- appending and editing ---

CString& CString::append(const CString& other) {
    if (&other == this) {
        const CString copy(other);
        return append(copy);
    }
    const int len = mLength;
    if (isWide()) {
        setLength(len + other.mLength, true);
        char32_t* to = chars32() + len;
        if (other.isWide())
            std::memcpy(to, other.chars32(), 4 * std::size_t(other.mLength));
        else
            for (int i = 0; i < other.mLength; ++i)
                to[i] = static_cast<unsigned char>(other.mText[i]);
    } else if (other.isWide()) {
        widen(len);
        setLength(len + other.mLength, true);
        std::memcpy(chars32() + len, other.chars32(), 4 * std::size_t(other.mLength));
    } else {
        setLength(len + other.mLength, true);
        std::memcpy(mText + len, other.mText, std::size_t(other.mLength));
    }
    return *this;
}

CString& CString::append(const char* bytes) {
    if (bytes == nullptr || *bytes == 0)
        return *this;
    const CString other(bytes);
    return append(other);
}

CString& CString::appendChar(char c) {
    const int len = mLength;
    setLength(len + 1, true);
    if (isWide())
        chars32()[len] = char32_t(std::int32_t(static_cast<signed char>(c)));
    else
        mText[len] = c;
    return *this;
}

CString& CString::appendSub(const CString& source, int start, int count) {
    const CString piece(source, start, count);
    if (!piece.isEmpty())
        append(piece);
    return *this;
}

CString& CString::replace(int position, int count, const CString& replacement) {
    if (position < 0)
        position = 0;
    if (count < 0)
        count = 0;
    CString result(*this, 0, position < mLength ? position : mLength);
    result.append(replacement);
    if (position + count < mLength)
        result.appendSub(*this, position + count, -1);
    return *this = result;
}

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    result.append(b);
    return result;
}

// --- searching ---

bool CString::equals(const char* text) const noexcept {
    const int n = text != nullptr ? int(std::strlen(text)) : 0;
    if (n != mLength)
        return false;
    for (int i = 0; i < n; ++i)
        if (charAt(i) != static_cast<unsigned char>(text[i]))
            return false;
    return true;
}

int CString::findChar(std::uint32_t c, int start) const noexcept {
    if (start < 0)
        start = 0;
    for (int i = start; i < mLength; ++i)
        if (charAt(i) == c)
            return i;
    return -1;
}

namespace {
bool matchesAt(const CString& s, int at, const CString& pattern) noexcept {
    for (int j = 0; j < pattern.length(); ++j)
        if (s.charAt(at + j) != pattern.charAt(j))
            return false;
    return true;
}
} // namespace

int CString::find(const CString& pattern, int start) const noexcept {
    if (pattern.isEmpty() || start >= mLength)
        return -1;
    if (start < 0)
        start = 0;
    for (int i = start; i + pattern.length() <= mLength; ++i)
        if (matchesAt(*this, i, pattern))
            return i;
    return -1;
}

int CString::findLast(const CString& pattern, int start) const noexcept {
    if (pattern.isEmpty() || pattern.length() > mLength)
        return -1;
    if (start < 0 || start + pattern.length() > mLength)
        start = mLength - pattern.length();
    for (int i = start; i >= 0; --i)
        if (matchesAt(*this, i, pattern))
            return i;
    return -1;
}

// --- pieces ---

void CString::split(CStringList& list, std::uint32_t separator, bool skipEmpty, bool clearFirst) const {
    if (clearFirst)
        list.clear();
    const bool findable = isWide() || separator <= 255;
    int pos = 0;
    for (;;) {
        const int f = findable ? findChar(separator, pos) : -1;
        if (f < 0) {
            if (pos < mLength)
                list.add(CString(*this, pos, -1));
            else if (pos > 0 && !skipEmpty)
                list.addEmpty();
            return;
        }
        if (f > pos)
            list.add(CString(*this, pos, f - pos));
        else if (!skipEmpty)
            list.addEmpty();
        pos = f + 1;
    }
}

CString CString::trim() const {
    int first = 0, last = mLength - 1;
    while (first <= last && isBlank(charAt(first)))
        ++first;
    while (last >= first && isBlank(charAt(last)))
        --last;
    if (first > last)
        return CString();
    return CString(*this, first, last - first + 1);
}

CString CString::toLower() const {
    CString result(*this);
    for (int i = 0; i < mLength; ++i) {
        const std::uint32_t c = charAt(i);
        if (c >= 'A' && c <= 'Z') {
            if (isWide())
                result.chars32()[i] = char32_t(c + 32);
            else
                result.mText[i] = char(c + 32);
        }
    }
    return result;
}

void CString::splitAtColon(CString& head, CString& tail) const {
    int i = -1;
    if (isWide()) {
        i = findChar(':');
    } else {
        const char* colon = std::strchr(mText, ':');
        i = colon != nullptr ? int(colon - mText) : -1;
    }
    if (i < 0) {
        head.setLength(0, false);
        tail = *this;
        return;
    }
    const CString before(*this, 0, i), after(*this, i + 1, -1);
    head = before;
    tail = after;
}

// --- comparing ---

int compareStrings(const CString& a, const CString& b) noexcept {
    const int na = a.length(), nb = b.length();
    const int n = na < nb ? na : nb;
    if (!a.isWide() && !b.isWide()) {
        const int c = std::memcmp(a.chars8(), b.chars8(), std::size_t(n));
        if (c != 0)
            return c < 0 ? -1 : 1;
    } else {
        for (int i = 0; i < n; ++i) {
            const std::uint32_t ca = a.charAt(i), cb = b.charAt(i);
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
    }
    return na == nb ? 0 : na < nb ? -1 : 1;
}

// --- number text ---

void CString::assignNumber(std::uint64_t magnitude, bool negative, int minDigits, int radix) {
    if (radix < 2 || radix > 36)
        radix = 10;
    if (minDigits > 129)
        minDigits = 129;
    char digits[130];
    int n = 0;
    do {
        const int d = int(magnitude % unsigned(radix));
        digits[n++] = char(d < 10 ? '0' + d : 'A' + d - 10);
        magnitude /= unsigned(radix);
    } while (magnitude != 0);
    const int width = n + (negative ? 1 : 0);
    const int pad = minDigits > width ? minDigits - width : 0;
    char text[131];
    int t = 0;
    if (negative)
        text[t++] = '-';
    for (int i = 0; i < pad; ++i)
        text[t++] = '0';
    while (n > 0)
        text[t++] = digits[--n];
    initBytes(text, t);
}

CString::CString(int value, int minDigits, int radix) : mText(mInline) {
    const bool negative = value < 0;
    assignNumber(negative ? 0 - std::uint64_t(std::int64_t(value)) : std::uint64_t(value), negative, minDigits, radix);
}

CString::CString(std::int64_t value, int minDigits, int radix) : mText(mInline) {
    const bool negative = value < 0;
    assignNumber(negative ? 0 - std::uint64_t(value) : std::uint64_t(value), negative, minDigits, radix);
}

CString::CString(short value, int minDigits, int radix) : CString(int(value), minDigits, radix) {}

void CString::setUTF8(const char* text) { setUTF8(text, text ? int(std::strlen(text)) : 0); }

void CString::setUTF8(const char* bytes, int count) {
    if (mIsWide) {
        setLength(0, false);
        narrowInPlace();
    }
    int length = 0, capacity = 0;
    setLength(0, false);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    int i = 0;
    while (i < count) {
        const std::uint32_t lead = b[i];
        std::uint32_t c;
        int extra;
        if (lead < 0x80) {
            c = lead;
            extra = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            c = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            c = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            c = lead & 0x07;
            extra = 3;
        } else {
            ++i;   // a stray continuation byte, or 0xF8 to 0xFF
            continue;
        }
        if (extra >= count - i)
            break;   // cut off by the end of the bytes
        bool wellFormed = true;
        for (int k = 1; k <= extra; ++k) {
            wellFormed = wellFormed && (b[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (b[i + k] & 0x3F);
        }
        if (!wellFormed) {
            ++i;   // a lead byte without its continuation bytes: skipped, the next byte is read anew
            continue;
        }
        if (!isEncodableCodePoint(c)) {
            ++i;   // a surrogate or a value past U+10FFFF: the lead byte is skipped
            continue;
        }
        i += extra + 1;
        if (c == 0)
            break;
        if (length == capacity) {
            capacity += 32;
            setLength(capacity, true);
        }
        if (!mIsWide && c > 255)
            widen(length);
        if (mIsWide)
            chars32()[length] = char32_t(c);
        else
            mText[length] = char(c);
        ++length;
    }
    setLength(length, true);
}

} // namespace tal
