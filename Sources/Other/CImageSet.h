#pragma once

#include "Core/CArray.h"
#include "Core/CByteBuffer.h"
#include "Core/CDataSet.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CImage;

// One named range of an image set: first and last image index, both included.
struct CImageRange {
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// An indexed collection of layered images with named index ranges (buttons, knob frames, glyphs),
// stored as a versioned record whose body is DRIX-compressed. Indices may start above 0 and have
// gaps; entries the set does not hold are null. The images' pixel blocks lie in place inside the
// unpacked body, which therefore lives as long as the set.
// Loaded on the thread that builds the object tree, then only read (paint jobs read its images).
class CImageSet : public CDataSet {
public:
    // The record tag; its bytes spell "imgs".
    static constexpr std::uint32_t kTag = 1936158057u;
    // Highest image index a record may store; indices beyond would grow the list without bound.
    static constexpr std::int32_t kMaxIndex = 65535;

    CImageSet() = default;
    CImageSet(const CImageSet&) = delete;
    CImageSet& operator=(const CImageSet&) = delete;
    ~CImageSet() override;

    // --- records ---
    std::uint32_t getTag() const override { return kTag; }
    // Clears the set and reads a record: u32 version (not 1: an empty set, no error), then the DRIX
    // record with tag 0 holding the ranges and the indexed images. An image index outside
    // 0..kMaxIndex is refused as damage. On an error what was read before the failing item stays.
    [[nodiscard]] CError* read(CInputStream& in) override;
    // Writes the record: ranges in name order, then the images held in ascending index order.
    [[nodiscard]] CError* write(COutputStream& out) const override;

    // --- contents ---
    // Deletes every image (last index first), empties the image list and the range map.
    void clear();
    // Stores an image at an index (ownership passes), growing the list with null entries and
    // deleting an image already there. Returns false and deletes the image for an index outside
    // 0..kMaxIndex.
    bool setImage(std::int32_t index, CImage* image);
    // Adds or replaces a named range.
    void setRange(const CString& name, std::int32_t first, std::int32_t last);

    // --- queries ---
    // The highest index held plus one.
    std::int32_t imageCount() const noexcept { return mImages.count(); }
    // The image at an index, null outside the list or where the set holds none.
    CImage* image(std::int32_t index) const noexcept {
        return index >= 0 && index < mImages.count() ? mImages[index] : nullptr;
    }
    const CSortedMap<CString, CImageRange>& ranges() const noexcept { return mRanges; }
    // The first index of the named range (the empty name is looked up like any other); 0 when the
    // set has no such range, logging "Range not found <name>" unless the name is empty.
    std::int32_t getRangeIndex(const CString& name) const;

private:
    [[nodiscard]] CError* readBody();

    CArray<CImage*> mImages;                  // owned; null where no image is held
    CSortedMap<CString, CImageRange> mRanges;
    CByteBuffer mBody;                        // unpacked body of the last read; layers point into it
};

} // namespace tal
