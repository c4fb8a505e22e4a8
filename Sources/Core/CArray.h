#pragma once
#include "Core/CMemPool.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

namespace tal {

// The framework's growable array of plain values (numbers, pointers, plain records): short contents
// live in inline slots (as many as fit in 64 bytes, at least one), longer ones in a block of the
// size-class allocator. Elements move by copying their bytes. Growth adds capacity * 10/16 + 1, so
// from 0 the capacities run 1, 2, 4, 7, 12, 20, 33...; the storage never returns from a heap block to
// the inline slots. The array owns only its storage: an array of pointers does not delete them.
// One owner at a time, no lock of its own.
template <class T>
class CArray {
    static_assert(std::is_trivially_copyable_v<T>, "CArray moves its elements by copying bytes");

public:
    static constexpr int kInlineSlots = sizeof(T) >= 64 ? 1 : int(64 / sizeof(T));

    // --- life cycle ---
    CArray() noexcept = default;
    ~CArray() { freeHeap(); }
    CArray(const CArray& other) { copyFrom(other); }
    CArray& operator=(const CArray& other) {
        if (this != &other) {
            mCount = 0;
            reserve(other.mCount);
            copyItems(other);
        }
        return *this;
    }
    CArray(CArray&& other) noexcept { takeFrom(other); }
    CArray& operator=(CArray&& other) noexcept {
        if (this != &other) {
            freeHeap();
            mItems = nullptr;
            mCapacity = 0;
            takeFrom(other);
        }
        return *this;
    }

    // --- queries ---
    int count() const noexcept { return mCount; }
    int size() const noexcept { return mCount; }
    bool isEmpty() const noexcept { return mCount == 0; }
    int capacity() const noexcept { return mCapacity; }
    bool isInline() const noexcept { return mItems == inlineSlots(); }
    T& operator[](int i) noexcept { return mItems[i]; }
    const T& operator[](int i) const noexcept { return mItems[i]; }
    T* data() noexcept { return mItems; }
    const T* data() const noexcept { return mItems; }
    T* begin() noexcept { return mItems; }
    T* end() noexcept { return mItems + mCount; }
    const T* begin() const noexcept { return mItems; }
    const T* end() const noexcept { return mItems + mCount; }
    T& last() noexcept { return mItems[mCount - 1]; }
    // Index of the first element equal to x (by ==), or -1.
    int indexOf(const T& x) const noexcept {
        for (int i = 0; i < mCount; ++i)
            if (mItems[i] == x)
                return i;
        return -1;
    }

    // --- operations ---
    // Sets the capacity to n (never below count): inline slots while they suffice and no heap block
    // was ever taken, else a heap block of n elements (reallocated, possibly smaller).
    void setCapacity(int n) {
        if (mItems == nullptr) {
            mItems = n <= kInlineSlots ? inlineSlots() : static_cast<T*>(poolAlloc(bytesFor(n)));
        } else if (isInline()) {
            if (n > kInlineSlots) {
                T* block = static_cast<T*>(poolAlloc(bytesFor(n)));
                std::memcpy(static_cast<void*>(block), mItems, sizeof(T) * std::size_t(mCount));
                mItems = block;
            }
        } else {
            mItems = static_cast<T*>(poolRealloc(mItems, bytesFor(n)));
        }
        mCapacity = n;
    }
    // Grows by the growth rule while the capacity is below n.
    void reserve(int n) {
        if (mCapacity >= n)
            return;
        int c = mCapacity;
        while (c < n)
            c = growCapacity(c);
        setCapacity(c);
    }
    static constexpr int growCapacity(int capacity) noexcept { return capacity + capacity * 10 / 16 + 1; }

    void add(const T& x) {
        if (mCount == mCapacity) {
            const T copy = x;   // x may live in this array
            setCapacity(growCapacity(mCapacity));
            mItems[mCount++] = copy;
            return;
        }
        mItems[mCount++] = x;
    }
    // Appends a value-initialised element and returns it.
    T& addNew() {
        if (mCount == mCapacity)
            setCapacity(growCapacity(mCapacity));
        T* slot = mItems + mCount++;
        new (slot) T();
        return *slot;
    }
    void insertAt(int index, const T& x) {
        const T copy = x;
        if (mCount == mCapacity)
            setCapacity(growCapacity(mCapacity));
        std::memmove(static_cast<void*>(mItems + index + 1), mItems + index, sizeof(T) * std::size_t(mCount - index));
        mItems[index] = copy;
        ++mCount;
    }
    void removeAt(int index) noexcept { removeRange(index, 1); }
    void removeRange(int index, int n) noexcept {
        std::memmove(static_cast<void*>(mItems + index), mItems + index + n, sizeof(T) * std::size_t(mCount - index - n));
        mCount -= n;
    }
    // Removes the first element equal to x; whether there was one.
    bool remove(const T& x) noexcept {
        const int i = indexOf(x);
        if (i >= 0)
            removeAt(i);
        return i >= 0;
    }
    // Sets the count, growing by the rule; new elements are zero bytes.
    void setCount(int n) {
        reserve(n);
        if (n > mCount)
            std::memset(static_cast<void*>(mItems + mCount), 0, sizeof(T) * std::size_t(n - mCount));
        mCount = n;
    }
    void clear() noexcept { mCount = 0; }

private:
    static std::uint64_t bytesFor(int n) noexcept { return std::uint64_t(n) * sizeof(T); }
    T* inlineSlots() noexcept { return reinterpret_cast<T*>(mInline); }
    const T* inlineSlots() const noexcept { return reinterpret_cast<const T*>(mInline); }
    void freeHeap() noexcept {
        if (mItems != nullptr && !isInline())
            poolFree(mItems);
    }
    void copyFrom(const CArray& other) {
        reserveExact(other.mCount);
        copyItems(other);
    }
    void reserveExact(int n) {
        if (n > 0)
            setCapacity(n);
    }
    void copyItems(const CArray& other) {
        if (other.mCount > 0)
            std::memcpy(static_cast<void*>(mItems), other.mItems, sizeof(T) * std::size_t(other.mCount));
        mCount = other.mCount;
    }
    void takeFrom(CArray& other) noexcept {
        if (other.mItems != nullptr && !other.isInline()) {
            mItems = other.mItems;
            mCapacity = other.mCapacity;
            mCount = other.mCount;
        } else {
            if (other.mItems != nullptr) {
                mItems = inlineSlots();
                mCapacity = other.mCapacity;
                std::memcpy(static_cast<void*>(mItems), other.mItems, sizeof(T) * std::size_t(other.mCount));
            }
            mCount = other.mCount;
        }
        other.mItems = nullptr;
        other.mCapacity = 0;
        other.mCount = 0;
    }

    std::int32_t mCapacity = 0;
    T* mItems = nullptr;
    alignas(T) unsigned char mInline[sizeof(T) * kInlineSlots];
    std::int32_t mCount = 0;
};

} // namespace tal
