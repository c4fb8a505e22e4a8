#pragma once
#include "Core/CMemPool.h"

#include <cstdint>
#include <cstring>

namespace tal {

// A list of 32-bit words with room for N of them inline; longer contents move to a block of the
// size-class allocator, grown by capacity + capacity * 10/16 + 1 until the new count fits. Used for
// the layout solver's programs and dependents lists. Owns only its storage; one owner, no lock.
template <int N>
class CLayoutWords {
public:
    // --- life cycle ---
    CLayoutWords() noexcept = default;
    ~CLayoutWords() { release(); }
    CLayoutWords(const CLayoutWords& other) { assign(other.data(), other.count()); }
    CLayoutWords& operator=(const CLayoutWords& other) {
        if (this != &other)
            assign(other.data(), other.count());
        return *this;
    }

    // --- queries ---
    int count() const noexcept { return mCount; }
    bool isEmpty() const noexcept { return mCount == 0; }
    bool isInline() const noexcept { return mHeap == nullptr; }
    const std::int32_t* data() const noexcept { return mHeap != nullptr ? mHeap : mInline; }
    std::int32_t operator[](int i) const noexcept { return data()[i]; }
    int indexOf(std::int32_t w) const noexcept {
        const std::int32_t* d = data();
        for (int i = 0; i < mCount; ++i)
            if (d[i] == w)
                return i;
        return -1;
    }
    bool equals(const std::int32_t* words, int n) const noexcept {
        return n == mCount && (n == 0 || std::memcmp(data(), words, sizeof(std::int32_t) * std::size_t(n)) == 0);
    }

    // --- operations ---
    void add(std::int32_t w) {
        reserve(mCount + 1);
        writable()[mCount++] = w;
    }
    void append(const std::int32_t* words, int n) {
        if (n <= 0)
            return;
        reserve(mCount + n);
        std::memcpy(writable() + mCount, words, sizeof(std::int32_t) * std::size_t(n));
        mCount += n;
    }
    void assign(const std::int32_t* words, int n) {
        mCount = 0;
        append(words, n);
    }
    // Removes the last occurrence of w, keeping the order of the others; whether there was one. In a
    // list without repeats that is its only occurrence, found quickly when it was added lately.
    bool removeLastOccurrence(std::int32_t w) noexcept {
        std::int32_t* d = writable();
        for (int i = mCount - 1; i >= 0; --i) {
            if (d[i] == w) {
                std::memmove(d + i, d + i + 1, sizeof(std::int32_t) * std::size_t(mCount - i - 1));
                --mCount;
                return true;
            }
        }
        return false;
    }
    // Empties the list, keeping its storage.
    void clear() noexcept { mCount = 0; }
    // Empties the list and returns to the inline room.
    void release() noexcept {
        if (mHeap != nullptr)
            poolFree(mHeap);
        mHeap = nullptr;
        mCapacity = N;
        mCount = 0;
    }

private:
    std::int32_t* writable() noexcept { return mHeap != nullptr ? mHeap : mInline; }
    void reserve(int n) {
        if (n <= mCapacity)
            return;
        int c = mCapacity;
        while (c < n)
            c = c + c * 10 / 16 + 1;
        auto* block = static_cast<std::int32_t*>(poolAlloc(std::uint64_t(c) * sizeof(std::int32_t)));
        std::memcpy(block, data(), sizeof(std::int32_t) * std::size_t(mCount));
        if (mHeap != nullptr)
            poolFree(mHeap);
        mHeap = block;
        mCapacity = c;
    }

    std::int32_t* mHeap = nullptr;
    std::int32_t mCount = 0;
    std::int32_t mCapacity = N;
    std::int32_t mInline[N];
};

} // namespace tal
