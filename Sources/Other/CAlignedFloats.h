#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace tal {

// A growable block of floats aligned to 16 bytes for four-wide loops. It only grows; growing drops
// the old contents. One owner, no lock.
class CAlignedFloats {
public:
    CAlignedFloats() = default;
    CAlignedFloats(const CAlignedFloats&) = delete;
    CAlignedFloats& operator=(const CAlignedFloats&) = delete;
    ~CAlignedFloats() { release(); }

    // Makes room for at least count floats; true when the block moved (its contents are then undefined).
    bool reserve(std::int64_t count) {
        if (count <= mCapacity)
            return false;
        release();
        mData = static_cast<float*>(::operator new(std::size_t(count) * sizeof(float), std::align_val_t(16)));
        mCapacity = count;
        return true;
    }
    float* data() noexcept { return mData; }
    const float* data() const noexcept { return mData; }
    std::int64_t capacity() const noexcept { return mCapacity; }

private:
    void release() noexcept {
        if (mData != nullptr)
            ::operator delete(mData, std::align_val_t(16));
        mData = nullptr;
        mCapacity = 0;
    }

    float* mData = nullptr;
    std::int64_t mCapacity = 0;
};

} // namespace tal
