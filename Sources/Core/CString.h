#pragma once
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CStringList;

// The framework's only string type: every name, attribute text, path, message and list item.
// Characters are 8-bit (code points 0 to 255) or 32-bit (any code point); a string switches to
// 32-bit when it takes in a wider character and back only when assigned an 8-bit string. Texts whose
// bytes (terminator included) fit in 27 bytes stay inside the object: 26 8-bit or 5 32-bit
// characters. Longer texts take an exact-size block of the size-class allocator; growth through
// setLength adds a quarter of the old capacity plus a constant. The storage never shrinks.
// A string belongs to one thread at a time; `emptyString` is shared and never changes.
class CString : public CPoolAllocated {
public:
    static const CString emptyString;

    // --- life cycle ---
    constexpr CString() noexcept : mText(mInline) {}
    CString(const char* text);                              // 8-bit copy; null gives the empty string
    CString(const char* bytes, int count);                  // 8-bit copy of count bytes
    CString(const CString& other);                          // same mode, exact size
    CString(CString&& other) noexcept;                      // takes the heap block; other becomes empty
    CString(const CString& first, const char* bytes);       // first, then the bytes, in first's mode
    CString(const CString& source, int start, int count);   // substring; count -1 takes the rest
    // Number text: digits of value in radix 2 to 36 (upper-case letters above 9), "-" for negative
    // values, left-padded with "0" to minDigits characters (at most 129), sign included.
    explicit CString(int value, int minDigits = 0, int radix = 10);
    explicit CString(std::int64_t value, int minDigits = 0, int radix = 10);
    explicit CString(short value, int minDigits = 0, int radix = 10);
    ~CString();

    CString& operator=(const CString& other);   // takes other's mode, reuses storage when large enough
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* text);        // becomes an 8-bit copy of the bytes

    // --- queries ---
    int length() const noexcept { return mLength; }
    bool isEmpty() const noexcept { return mLength == 0; }
    bool isWide() const noexcept { return mIsWide != 0; }
    bool isInline() const noexcept { return mText == mInline; }
    // The heap block's size in bytes; 0 while the string is inline.
    int heapCapacity() const noexcept { return isInline() ? 0 : mCapacity; }
    // The characters in 8-bit mode (NUL-terminated) and in 32-bit mode (zero-terminated).
    const char* chars8() const noexcept { return mText; }
    const char32_t* chars32() const noexcept { return reinterpret_cast<const char32_t*>(mText); }
    char* chars8() noexcept { return mText; }
    char32_t* chars32() noexcept { return reinterpret_cast<char32_t*>(mText); }
    // The character at index i (0 to length; length gives the terminator) in either mode.
    std::uint32_t charAt(int i) const noexcept {
        return mIsWide ? std::uint32_t(chars32()[i]) : std::uint32_t(static_cast<unsigned char>(mText[i]));
    }
    bool equals(const char* text) const noexcept;   // same characters as the NUL-terminated bytes
    // Index of the first occurrence of pattern at or after start, or -1 (also for an empty pattern).
    int find(const CString& pattern, int start = 0) const noexcept;
    // Index of the last occurrence that begins at or before start (-1: anywhere), or -1.
    int findLast(const CString& pattern, int start = -1) const noexcept;
    int findChar(std::uint32_t c, int start = 0) const noexcept;

    // --- operations ---
    // Sets the length and writes the terminator, growing the storage (keep: old characters stay).
    // The mode never changes. Returns the characters.
    void* setLength(int length, bool keep);
    // Switches to 32-bit mode, expanding the first count characters (callers pass the length).
    void widen(int count);
    CString narrowed() const;                        // 8-bit copy; each character keeps its low 8 bits
    CString& append(const CString& other);           // 32-bit when either string is
    CString& append(const char* bytes);
    CString& appendChar(char c);                     // in 32-bit mode the sign-extended value
    CString& appendSub(const CString& source, int start, int count);
    CString& replace(int position, int count, const CString& replacement);
    // Appends the pieces between separators to list (see the rules in the implementation).
    void split(CStringList& list, std::uint32_t separator, bool skipEmpty, bool clearFirst) const;
    CString trim() const;                            // without leading and trailing space, TAB, LF, CR
    CString toLower() const;                         // A-Z to a-z; every other character unchanged
    // head = text before the first ':', tail = text after it; without ':' head is emptied (its mode
    // kept) and tail is this string.
    void splitAtColon(CString& head, CString& tail) const;
    // Replaces the text by the decoding of count UTF-8 bytes. The string becomes 8-bit and stays so
    // while every code point is below 256; the first larger one widens it (the characters so far
    // kept). A lead byte whose following bytes are not all continuation bytes (10xxxxxx) is skipped,
    // as are a stray continuation byte and the bytes 0xF8 to 0xFF; a sequence cut off by the end, and the code point 0, end the
    // text. Never fails.
    void setUTF8(const char* bytes, int count);
    void setUTF8(const char* text);   // NUL-terminated; null gives the empty string

private:
    static constexpr int kInlineBytes = 27;
    void initBytes(const char* bytes, int count);
    void initCopy(const CString& other);
    void allocExact(int bytes);
    void narrowInPlace() noexcept;
    void assignNumber(std::uint64_t magnitude, bool negative, int minDigits, int radix);

    char* mText;
    std::int32_t mCapacity = 0;
    std::int32_t mLength = 0;
    char mInline[kInlineBytes] = {};
    std::uint8_t mIsWide = 0;
};

// Three-way order of strings: negative, 0 or positive. Compares code points over the stored lengths
// in any mix of modes (so equal texts are equal whatever their modes, and a proper prefix comes
// first). Orders every string-keyed sorted map.
int compareStrings(const CString& a, const CString& b) noexcept;

inline bool operator==(const CString& a, const CString& b) noexcept { return compareStrings(a, b) == 0; }
inline bool operator!=(const CString& a, const CString& b) noexcept { return compareStrings(a, b) != 0; }
inline bool operator<(const CString& a, const CString& b) noexcept { return compareStrings(a, b) < 0; }
CString operator+(const CString& a, const CString& b);

} // namespace tal
