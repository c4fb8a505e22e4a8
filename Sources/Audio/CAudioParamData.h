#pragma once

#include "Core/CByteBuffer.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

namespace tal {

class CAudioParamDataItem;
class CError;
class CInputStream;
class COutputStream;

// The item table of string and raw parameter values: each value is a whole-number id (from 1) of an
// item owned by the table. Ids are local to their table; a value that crosses to another table is
// copied there under a new id (copyItem).
class CAudioParamData {
public:
    CAudioParamData() = default;
    CAudioParamData(const CAudioParamData&) = delete;
    CAudioParamData& operator=(const CAudioParamData&) = delete;
    ~CAudioParamData();

    // --- operations ---
    // Each add returns the new id (last id + 1) of a new item.
    int addString(const CString& text);
    // Copies the bytes of a block.
    int addRaw(const void* data, int size);
    // Takes the block over; the source is left empty.
    int addRaw(CByteBuffer& block);
    int addEmptyRaw();
    // New id of a clone of the source table's item. An id the source lacks (only a damaged record or
    // change form holds one) gives an empty item of missingType.
    int copyItem(int id, const CAudioParamData& source, int missingType);
    // Moves the item of an id out of the source table into this one under a new id (an id the source
    // lacks gives an empty string item).
    int takeItem(int id, CAudioParamData& source);
    // Deletes the item of an id when present.
    void removeItem(int id);
    // Deletes every item; the last id starts over at 0.
    void clear();
    // Deep copy: the same last id, the same ids and clones of the items.
    void assign(const CAudioParamData& other);
    void swap(CAudioParamData& other) noexcept;

    // --- queries ---
    // The text of a string item; empty for an absent id or an item of another type.
    CString getString(int id) const;
    // The block of a raw item; an empty block for an absent id or an item of another type.
    const CByteBuffer& getRaw(int id) const;
    const CAudioParamDataItem* getItem(int id) const;
    int getCount() const { return mItems.count(); }
    int getLastId() const { return mLastId; }
    // True when both items are absent, or of the same type with equal content.
    static bool sameContent(const CAudioParamDataItem* a, const CAudioParamDataItem* b);

    // --- records ---
    // Item count, then per item in ascending id order: id, type, payload.
    [[nodiscard]] CError* save(COutputStream& out) const;
    // Replaces the contents from a record; on failure the table is left as it was.
    [[nodiscard]] CError* load(CInputStream& in);

private:
    using Map = CSortedMap<std::int32_t, CAudioParamDataItem*>;

    // Places an item under an id, deleting an item already there.
    void put(int id, CAudioParamDataItem* item);
    int add(CAudioParamDataItem* item);

    int mLastId = 0;
    Map mItems;
};

} // namespace tal
