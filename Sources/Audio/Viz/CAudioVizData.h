#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CError;
class CInputStream;
class COutputStream;
class CWriteSeqBuffer;

// One time-stamped visualisation frame that the audio side hands to the editor. This base class
// is the bare frame (type 2) with the fields every frame carries; the subclasses add a meter pair,
// an info text, a spectrum or scope images.
//
// A frame has one holder at a time (a collector's queue, an export slot entry, a reader), except
// frames queued in an export slot, which the importing instances share through the use count; that
// count changes only under the slot's data lock. The fields are plain data: a producer fills a
// frame completely before handing it over, and nobody touches it concurrently.
//
// Record form: i32 type, i32 payload length L, then L payload bytes (little-endian), the payload
// starting with the common fields channel, group, position, time, export slot (24 bytes).
class CAudioVizData : public CCheckedObject, public CPoolAllocated {
public:
    enum : std::int32_t { kTypeMeter = 0, kTypeInfo = 1, kTypeBare = 2, kTypeSpectrum = 3, kTypeVScope = 4 };
    static constexpr std::int32_t kCommonBytes = 24;

    CAudioVizData() noexcept : CAudioVizData(kTypeBare) {}
    ~CAudioVizData() override = default;
    CAudioVizData(const CAudioVizData&) = delete;
    CAudioVizData& operator=(const CAudioVizData&) = delete;

    // --- the payload ---
    // Writes the payload (the common fields, then the subclass's own).
    [[nodiscard]] virtual CError* save(COutputStream& out) const;
    // Reads the payload. Counts are checked against the bytes the stream says are left, so a
    // damaged count fails instead of allocating; on failure the frame's contents are unspecified.
    [[nodiscard]] virtual CError* load(CInputStream& in);

    // --- records ---
    // Reads one record into holder (owned by the caller). Success with a frame: holder's previous
    // frame is deleted and replaced. A type without a class (2 included): the payload is skipped
    // and holder is emptied. Failure (also a negative length or a payload that does not hold
    // what its counts say): holder keeps its previous frame.
    [[nodiscard]] static CError* readFromStream(CInputStream& in, CAudioVizData*& holder);
    // Writes this frame as one record: the payload is saved into scratch (cleared first), then the
    // type, the payload length and the payload go to out.
    [[nodiscard]] CError* writeRecord(COutputStream& out, CWriteSeqBuffer& scratch) const;
    // A new frame of the same class, fields and payload, use count 1; a bare type-2 frame with the
    // common fields for a type without a class.
    static CAudioVizData* clone(const CAudioVizData& frame);

    // --- sharing ---
    // Drops one use: deletes the frame when this was the last one. Under the holder's lock.
    void releaseUse() noexcept;

    // --- the common fields ---
    std::int32_t type;
    std::int32_t channel = 0;      // channel within the group, -1 for the whole channel set
    std::int32_t group = 0;        // channel group of the producer (0 to 7)
    std::int32_t position = 0;     // which of several like measurements of the channel
    double time = 0.0;             // seconds on the audio side's running clock; 0 for exported frames
    std::int32_t exportSlot = -1;  // -1 for own data, else the export slot the frame came through
    std::int32_t useCount = 1;     // holders; not serialised
    CAudioVizData* link = nullptr; // chains frames released together; not serialised

protected:
    explicit CAudioVizData(std::int32_t typeCode) noexcept : type(typeCode) {}
    // Copies the common fields (not use count or link) of other.
    void copyCommon(const CAudioVizData& other) noexcept;
    // Reads an element count and checks it: not negative and, when the stream knows its size, at
    // most the elements of elementBytes each that fit in what is left after `trailing` more bytes.
    [[nodiscard]] static CError* readCount(CInputStream& in, std::int32_t& count, std::int32_t elementBytes,
                                           std::int32_t trailing);
};

} // namespace tal
