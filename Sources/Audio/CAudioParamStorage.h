#pragma once

#include <cstdint>

#include "Audio/CAudioParamData.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"

namespace tal {

class CAudioParamChangeBuffer;
class CAudioParamInfo;
class CError;
class CInputStream;
class COutputStream;
class CString;
struct CAudioParamChange;

// The values of one parameter in one role (current, default, audio side, a definition's defaults):
// groups of elements of element-size components. Float values are doubles; string and raw values are
// ids of items in the storage's own table. No lock: the owner serialises access.
class CAudioParamStorage {
public:
    enum : int { kTypeFloat = 0, kTypeString = 1, kTypeRaw = 2 };

    CAudioParamStorage() = default;
    CAudioParamStorage(const CAudioParamStorage&) = delete;
    CAudioParamStorage& operator=(const CAudioParamStorage&) = delete;
    ~CAudioParamStorage();

    // --- format and layout ---
    // Frees all groups, items and the default row, then sets the format.
    void setFormat(int elementSize, int dataType, bool singleGroup, bool singleElement);
    // Frees all groups, items and the default row; the format stays.
    void clear();
    // Replaces the default row; string and raw ids are copied from the source table.
    void setDefaultRow(const double* values, int count, const CAudioParamData* source);
    // Replaces the default row by a plain row of values; string and raw ids in it name items of
    // source's table and are copied.
    void setDefaultRowFrom(const CArray<double>& row, const CAudioParamStorage& source);
    // Takes format and default row from a definition's defaults, then writes its groups, last to
    // first, each truncating: all groups (group -1) or that one, all elements (lastElement -1) or
    // elements 0..lastElement.
    void loadDefaultsFromInfo(const CAudioParamInfo& info, int group = -1, int lastElement = -1);
    // The default row becomes a copy of group 0 (empty without groups).
    void updateDefaultRow();
    // Grows with empty groups or shrinks, releasing the items of removed groups.
    void setGroupCount(int count);
    // Deep copy of another storage: format, groups, items and default row.
    void assign(const CAudioParamStorage& other);
    void swap(CAudioParamStorage& other) noexcept;

    // --- changes ---
    // Applies a change; a change in another format (or before a format is set), or beyond the
    // limits, is ignored.
    void applyChange(const CAudioParamChange& change);
    // Whether a change stays within what a storage holds: element counts not negative, at most
    // 2^20 components reached (first element + count, times the element size), values present.
    static bool isWithinLimits(const CAudioParamChange& change) noexcept;
    // Limits every value to its component's range (given in either order).
    void clampToRange(const CAudioParamInfo& info);
    // Sets the format from a definition and reads its default values text: ";" separates groups, ","
    // elements and a blank components (when the element size is above 1).
    [[nodiscard]] CError* parseDefValues(const CString& text, const CAudioParamInfo& info);

    // --- records ---
    // Writes the storage record of all groups (group -1) or of one existing group.
    [[nodiscard]] CError* save(COutputStream& out, int group = -1) const;
    // Reads a storage record of this storage's format. On failure nothing changes.
    [[nodiscard]] CError* load(CInputStream& in);
    // Writes the change form of a change (string and raw ids renumbered from 1, then their table).
    [[nodiscard]] static CError* writeChange(const CAudioParamChange& change, COutputStream& out);
    // Reads a change form into a buffer that owns its values and table; out points into the buffer.
    [[nodiscard]] static CError* readChange(CAudioParamChangeBuffer& buffer, CInputStream& in, CAudioParamChange& out,
                                            const void* sender);

    // --- queries ---
    bool isFormatSet() const { return mFormatSet; }
    int getElementSize() const { return mElementSize; }
    int getDataType() const { return mDataType; }
    bool isSingleGroup() const { return mSingleGroup; }
    bool isSingleElement() const { return mSingleElement; }
    int getGroupCount() const { return mGroups.count(); }
    // Elements of a group; 0 for a group that does not exist.
    int getElementCount(int group) const;
    // The values of a group (element count x element size, element-major); null when empty.
    const double* getValues(int group) const;
    // Component of an element of a group, or def when absent.
    double getValue(int group, int element, int component, double def = 0.0) const;
    const double* getDefaultRow() const { return mDefaultRow.isEmpty() ? nullptr : mDefaultRow.data(); }
    int getDefaultCount() const { return mDefaultRow.count(); }
    // The default of one component of an element: the row's element, or its element 0 beyond the row.
    double getDefault(int element, int component) const;
    const CAudioParamData& getData() const { return mData; }
    CAudioParamData& getData() { return mData; }
    // True when format, groups and values are equal; string and raw items are compared by content.
    bool equals(const CAudioParamStorage& other) const;

private:
    struct Group : CPoolAllocated {
        CArray<double> values;   // at least count x element size doubles; never shrinks
        std::int32_t count = 0;
    };

    bool hasItems() const { return mDataType != kTypeFloat; }
    bool sameFormat(const CAudioParamChange& change) const;
    void releaseItems(const Group& group, int first, int end);
    void fillDefaults(Group& group, int first, int end);
    // Grows group g's row to hold count elements (keeps the values).
    void reserveElements(Group& group, int count) const;
    [[nodiscard]] CError* saveItems(COutputStream& out, int first, int end) const;
    void deleteGroups() noexcept;

    std::int32_t mElementSize = 0;
    std::int32_t mDataType = kTypeFloat;
    bool mSingleGroup = false;
    bool mSingleElement = false;
    bool mFormatSet = false;
    CAudioParamData mData;
    CArray<Group*> mGroups;   // owned
    CArray<double> mDefaultRow;
};

} // namespace tal
