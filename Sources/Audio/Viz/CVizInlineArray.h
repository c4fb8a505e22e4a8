#pragma once
#include "Core/CMemPool.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tal {

// The value array of a visualisation frame: up to N values inside the object, more in one block of
// the size-class allocator (pool blocks for small counts, a large block above). Frames are made on
// the audio thread, so short spectra and scope images cost no allocation at all. The contents are
// replaced as a whole (resize drops them); one owner, no lock.
template <class T, int N>
class CVizInlineArray {
    static_assert(std::is_trivially_copyable_v<T> && N > 0);

public:
    CVizInlineArray() noexcept = default;
    ~CVizInlineArray() { freeHeap(); }
    CVizInlineArray(const CVizInlineArray&) = delete;
    CVizInlineArray& operator=(const CVizInlineArray&) = delete;

    // --- queries ---
    std::int32_t count() const noexcept { return mCount; }
    bool isInline() const noexcept { return mData == mInline; }
    T* data() noexcept { return mData; }
    const T* data() const noexcept { return mData; }
    T& operator[](std::int32_t i) noexcept { return mData[i]; }
    const T& operator[](std::int32_t i) const noexcept { return mData[i]; }

    // --- operations ---
    // Storage for n values (n >= 0); the old values are dropped, the new ones are undefined.
    void resize(std::int32_t n) {
        freeHeap();
        mData = n <= N ? mInline : static_cast<T*>(poolAlloc(std::uint64_t(n) * sizeof(T)));
        mCount = n;
    }
    // Storage for n values, all zero bits.
    void resizeZeroed(std::int32_t n) {
        resize(n);
        std::memset(static_cast<void*>(mData), 0, std::size_t(n) * sizeof(T));
    }
    // A copy of n values from source.
    void assign(const T* source, std::int32_t n) {
        resize(n);
        if (n > 0)
            std::memcpy(static_cast<void*>(mData), source, std::size_t(n) * sizeof(T));
    }

    // Uses block, n values that the caller lent, as the storage (the old values are dropped). The
    // lender takes it back with detach before the array drops or replaces it.
    void adopt(T* block, std::int32_t n) noexcept {
        freeHeap();
        mData = block;
        mCount = n;
    }
    // Hands back an adopted block and returns to the empty inline storage.
    T* detach() noexcept {
        T* block = mData;
        mData = mInline;
        mCount = 0;
        return block;
    }

private:
    void freeHeap() noexcept {
        if (mData != mInline)
            poolFree(mData);
        mData = mInline;
        mCount = 0;
    }

    T* mData = mInline;
    std::int32_t mCount = 0;
    T mInline[N];
};

} // namespace tal
