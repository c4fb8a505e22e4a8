#include "Audio/CAudioParamStorage.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamDataItem.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CString.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace tal {

static_assert(std::endian::native == std::endian::little, "records are read and written as memory images");

namespace {

constexpr std::int32_t kRecordVersion = 1;
// Bounds that keep a damaged record or change from asking for absurd amounts of memory.
constexpr std::int64_t kMaxGroups = 1 << 16;
// At most 2^20 components (8 MiB of doubles) in one group: a change may reach up to it with a gap
// of defaults, so a few bytes of a damaged change cannot make the parameter allocate more.
constexpr std::int64_t kMaxComponents = 1 << 20;
// Values are read in slices of this many doubles, so a length that claims more than the stream holds
// fails at the stream's end instead of allocating first.
constexpr std::int64_t kReadSlice = 4096;

int toId(double v) {
    return static_cast<int>(CAudioParamConverter::roundToInt(v));
}

// Reads count values of 4 or 8 bytes into dest (its count set to count), slice by slice, so that a
// count that claims more than the stream holds fails at the stream's end instead of allocating first.
template <class T>
CError* readValues(CInputStream& in, CArray<T>& dest, std::int64_t count) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    dest.clear();
    while (dest.count() < count) {
        const int done = dest.count();
        const int slice = static_cast<int>(std::min(kReadSlice, count - done));
        dest.setCount(done + slice);
        if (CError* err = in.read(dest.data() + done, static_cast<std::int32_t>(slice * sizeof(T))))
            return traceError(err);
    }
    return nullptr;
}

CError* countError(const char* what, std::int64_t value) {
    return newError("@talstr_CAudioParamStorage_load_CountError Invalid %1 %2 in parameter data.",
                    CString::emptyString, CString(what), CString(value));
}

} // namespace

CAudioParamStorage::~CAudioParamStorage() {
    deleteGroups();
}

void CAudioParamStorage::deleteGroups() noexcept {
    for (Group* group : mGroups) delete group;
    mGroups.clear();
}

// --- format and layout ---

void CAudioParamStorage::setFormat(int elementSize, int dataType, bool singleGroup, bool singleElement) {
    clear();
    mElementSize = elementSize;
    mDataType = dataType;
    mSingleGroup = singleGroup;
    mSingleElement = singleElement;
    mFormatSet = true;
}

void CAudioParamStorage::clear() {
    deleteGroups();
    mData.clear();
    mDefaultRow.clear();
}

void CAudioParamStorage::setDefaultRow(const double* values, int count, const CAudioParamData* source) {
    if (hasItems())
        for (double id : mDefaultRow) mData.removeItem(toId(id));
    const int n = values && count > 0 ? count : 0;
    mDefaultRow.setCount(n);
    if (n > 0) std::memcpy(mDefaultRow.data(), values, sizeof(double) * std::size_t(n));
    if (hasItems()) {
        static const CAudioParamData kNoItems;
        for (double& id : mDefaultRow) id = mData.copyItem(toId(id), source ? *source : kNoItems, mDataType);
    }
}

void CAudioParamStorage::setDefaultRowFrom(const CArray<double>& row, const CAudioParamStorage& source) {
    setDefaultRow(row.isEmpty() ? nullptr : row.data(), row.count(), &source.mData);
}

void CAudioParamStorage::loadDefaultsFromInfo(const CAudioParamInfo& info, int group, int lastElement) {
    const CAudioParamStorage& defaults = info.getDefaultValues();
    if (&defaults == this) return;
    setFormat(defaults.mElementSize, defaults.mDataType, defaults.mSingleGroup, defaults.mSingleElement);
    setDefaultRowFrom(defaults.mDefaultRow, defaults);
    for (int g = defaults.getGroupCount() - 1; g >= 0; --g) {
        if (group >= 0 && g != group) continue;
        int count = defaults.getElementCount(g);
        if (lastElement >= 0) count = std::min(count, lastElement + 1);
        applyChange(CAudioParamChange::make(g, 0, count, true, nullptr, defaults, defaults.getValues(g), &defaults.mData));
    }
}

void CAudioParamStorage::updateDefaultRow() {
    if (mGroups.isEmpty()) {
        setDefaultRow(nullptr, 0, nullptr);
        return;
    }
    // A copy first: the row may be replaced while group 0 is read. Ids of group 0 are copied within
    // the storage's own table, so the row owns items of its own.
    const Group& g = *mGroups[0];
    CArray<double> row;
    row.setCount(g.count * mElementSize);
    if (row.count() > 0) std::memcpy(row.data(), g.values.data(), sizeof(double) * std::size_t(row.count()));
    setDefaultRow(row.data(), row.count(), &mData);
}

void CAudioParamStorage::setGroupCount(int count) {
    if (count < 0) count = 0;
    while (mGroups.count() > count) {
        Group* last = mGroups.last();
        releaseItems(*last, 0, last->count);
        delete last;
        mGroups.setCount(mGroups.count() - 1);
    }
    while (mGroups.count() < count) mGroups.add(new Group());
}

void CAudioParamStorage::assign(const CAudioParamStorage& other) {
    if (&other == this) return;
    mElementSize = other.mElementSize;
    mDataType = other.mDataType;
    mSingleGroup = other.mSingleGroup;
    mSingleElement = other.mSingleElement;
    mFormatSet = other.mFormatSet;
    mData.assign(other.mData);
    deleteGroups();
    for (const Group* group : other.mGroups) {
        Group* copy = new Group();
        copy->values = group->values;
        copy->count = group->count;
        mGroups.add(copy);
    }
    mDefaultRow = other.mDefaultRow;
}

void CAudioParamStorage::swap(CAudioParamStorage& other) noexcept {
    std::swap(mElementSize, other.mElementSize);
    std::swap(mDataType, other.mDataType);
    std::swap(mSingleGroup, other.mSingleGroup);
    std::swap(mSingleElement, other.mSingleElement);
    std::swap(mFormatSet, other.mFormatSet);
    mData.swap(other.mData);
    std::swap(mGroups, other.mGroups);
    std::swap(mDefaultRow, other.mDefaultRow);
}

// --- changes ---

bool CAudioParamStorage::sameFormat(const CAudioParamChange& change) const {
    return mFormatSet && change.elementSize == mElementSize && change.dataType == mDataType &&
           change.singleGroup == mSingleGroup && change.singleElement == mSingleElement;
}

void CAudioParamStorage::releaseItems(const Group& group, int first, int end) {
    if (!hasItems()) return;
    for (int e = first; e < end; ++e) mData.removeItem(toId(group.values[e]));
}

void CAudioParamStorage::reserveElements(Group& group, int count) const {
    const int need = count * mElementSize;
    if (group.values.count() < need) group.values.setCount(need);
}

void CAudioParamStorage::fillDefaults(Group& group, int first, int end) {
    for (int e = first; e < end; ++e)
        for (int c = 0; c < mElementSize; ++c) {
            double v = getDefault(e, c);
            if (hasItems()) v = mData.copyItem(toId(v), mData, mDataType);
            group.values[std::size_t(e) * mElementSize + c] = v;
        }
}

double CAudioParamStorage::getDefault(int element, int component) const {
    if (mElementSize < 1) return 0.0;
    const int rowElements = mDefaultRow.count() / mElementSize;
    if (rowElements == 0) return 0.0;
    const int e = element < rowElements ? element : 0;
    return mDefaultRow[std::size_t(e) * mElementSize + component];
}

bool CAudioParamStorage::isWithinLimits(const CAudioParamChange& change) noexcept {
    if (change.firstElement < 0 || change.count < 0 || change.elementSize < 1) return false;
    if ((std::int64_t(change.firstElement) + change.count) * change.elementSize > kMaxComponents) return false;
    return change.count == 0 || change.values != nullptr;
}

void CAudioParamStorage::applyChange(const CAudioParamChange& change) {
    int groupIndex = change.group;
    if (!isWithinLimits(change)) return;
    if (groupIndex == CAudioParamChange::kFormatGroup) {
        const bool valid = change.elementSize >= 1 && change.dataType >= kTypeFloat && change.dataType <= kTypeRaw &&
                           (change.dataType == kTypeFloat || change.elementSize == 1);
        if (!valid) return;
        setFormat(change.elementSize, change.dataType, change.singleGroup, change.singleElement);
        setDefaultRow(change.values, change.elementSize * change.count, change.table);
        groupIndex = 0;
    } else if (!sameFormat(change) || groupIndex < 0 || groupIndex >= kMaxGroups) {
        return;
    }

    if (groupIndex >= getGroupCount()) setGroupCount(groupIndex + 1);
    Group& group = *mGroups[groupIndex];
    const int first = change.firstElement;
    const int end = first + change.count;

    if (first > group.count) {   // gap: the elements in between take their defaults
        reserveElements(group, first);
        fillDefaults(group, group.count, first);
        group.count = first;
    }
    if (hasItems()) {
        const int m = (change.truncate || group.count < end) ? group.count : end;
        releaseItems(group, first, m);
    }
    if (group.count < end) {
        reserveElements(group, end);
        group.count = end;
    } else if (change.truncate) {
        group.count = end;
    }
    double* dest = group.values.data() + std::size_t(first) * mElementSize;
    if (!hasItems()) {
        if (change.count > 0)
            std::memcpy(dest, change.values, sizeof(double) * std::size_t(change.count) * mElementSize);
        return;
    }
    static const CAudioParamData kNoItems;
    const CAudioParamData& source = change.table ? *change.table : kNoItems;
    for (int i = 0; i < change.count; ++i) dest[i] = mData.copyItem(toId(change.values[i]), source, mDataType);
}

void CAudioParamStorage::clampToRange(const CAudioParamInfo& info) {
    for (Group* group : mGroups)
        for (int e = 0; e < group->count; ++e)
            for (int c = 0; c < mElementSize; ++c) {
                double& v = group->values[e * mElementSize + c];
                v = CAudioParamConverter::clampToRange(info, c, v);
            }
}

CError* CAudioParamStorage::parseDefValues(const CString& text, const CAudioParamInfo& info) {
    setFormat(info.getElementSize(), info.getDataType(), info.isSingleGroup(), info.isSingleElement());
    int g = 0, e = 0, c = 0, start = 0;
    const int length = text.length();
    for (int pos = 0; pos <= length; ++pos) {
        const std::uint32_t ch = pos < length ? text.charAt(pos) : ';';
        const bool isBlank = ch == ' ' && mElementSize > 1;
        if (ch != ',' && ch != ';' && !isBlank) continue;

        if (c >= mElementSize)
            return newError("@talstr_CAudioParamStorage_parseDefValues_Error Default values parsing error.");
        const CString token(text, start, pos - start);
        double value = 0.0;
        if (mDataType == kTypeString) {
            value = mData.addString(token);
        } else if (mDataType == kTypeRaw) {
            value = mData.addEmptyRaw();
        } else {
            const CAudioParamConverter* converter = info.getConverter(c);
            bool ok = false;
            if (converter) value = converter->parseText(info, c, token, &ok);
            if (!ok) return newError("@talstr_CAudioParamStorage_parseDefValues_Error Default values parsing error.");
        }
        if (g == getGroupCount()) setGroupCount(g + 1);
        Group& group = *mGroups[g];
        if (e == group.count) {
            reserveElements(group, e + 1);
            group.count = e + 1;
        }
        group.values[std::size_t(e) * mElementSize + c] = value;

        if (!isBlank && c + 1 != mElementSize)
            return newError("@talstr_CAudioParamStorage_parseDefValues_NoElements Not enough default elements at pos %1.",
                            CString::emptyString, CString(pos));
        if (isBlank) {
            ++c;
        } else if (ch == ',') {
            ++e;
            c = 0;
        } else {
            ++g;
            e = 0;
            c = 0;
        }
        start = pos + 1;
    }
    updateDefaultRow();
    return nullptr;
}

// --- records ---

CError* CAudioParamStorage::saveItems(COutputStream& out, int first, int end) const {
    // The items the written groups refer to are copied into a fresh table, renumbered from 1 in the
    // order of writing; the table is written first, then the groups with the new ids.
    CAudioParamData items;
    CArray<std::int32_t> ids;
    for (int g = first; g < end; ++g) {
        const Group& group = *mGroups[g];
        for (int e = 0; e < group.count; ++e) ids.add(items.copyItem(toId(group.values[e]), mData, mDataType));
    }
    if (CError* err = items.save(out)) return traceError(err);
    int next = 0;
    for (int g = first; g < end; ++g) {
        const Group& group = *mGroups[g];
        if (CError* err = out.write32(static_cast<std::uint32_t>(group.count))) return traceError(err);
        if (group.count > 0)
            if (CError* err = out.write(ids.data() + next, static_cast<std::int32_t>(sizeof(std::int32_t) * group.count)))
                return traceError(err);
        next += group.count;
    }
    return nullptr;
}

CError* CAudioParamStorage::save(COutputStream& out, int group) const {
    if (group >= getGroupCount() || group < -1)
        return newError("@talstr_CAudioParamStorage_save_GroupError Group %1 does not exist.", CString::emptyString,
                        CString(group));
    const int first = group < 0 ? 0 : group;
    const int end = group < 0 ? getGroupCount() : group + 1;
    const std::int32_t header[4] = {kRecordVersion, mElementSize, mDataType, end - first};
    if (CError* err = out.write(header, sizeof(header))) return traceError(err);
    if (hasItems()) {
        if (CError* err = saveItems(out, first, end)) return traceError(err);
        return nullptr;
    }
    for (int g = first; g < end; ++g) {
        const Group& row = *mGroups[g];
        if (CError* err = out.write32(static_cast<std::uint32_t>(row.count))) return traceError(err);
        const std::int64_t bytes = std::int64_t(row.count) * mElementSize * std::int64_t(sizeof(double));
        if (bytes > 0)
            if (CError* err = out.write(row.values.data(), static_cast<std::int32_t>(bytes))) return traceError(err);
    }
    return nullptr;
}

CError* CAudioParamStorage::load(CInputStream& in) {
    std::int32_t version = 0, elementSize = 0, dataType = 0, groupCount = 0;
    if (CError* err = in.read32(version)) return traceError(err);
    if (version != kRecordVersion)
        return newError("@talstr_CAudioParamStorage_load_VersionError Unsupported data set version %1.",
                        CString::emptyString, CString(version));
    if (CError* err = in.read32(elementSize)) return traceError(err);
    if (CError* err = in.read32(dataType)) return traceError(err);
    if (elementSize != mElementSize || dataType != mDataType)
        return newError("@talstr_CAudioParamStorage_load_FormatError Unsupported storage format (esize=%1, dtype=%2; "
                        "should be: esize=%3, dtype=%4).",
                        CString::emptyString, CString(elementSize), CString(dataType), CString(mElementSize),
                        CString(mDataType));
    if (CError* err = in.read32(groupCount)) return traceError(err);
    if (groupCount < 0 || groupCount > kMaxGroups) return countError("group count", groupCount);

    // Everything is read into a scratch storage (items into a staging table) first, so that a damaged
    // record leaves the current values untouched.
    CAudioParamStorage scratch;
    scratch.mElementSize = mElementSize;
    scratch.mDataType = mDataType;
    CAudioParamData records;
    if (hasItems())
        if (CError* err = records.load(in)) return traceError(err);
    CArray<std::int32_t> ids;
    for (std::int32_t g = 0; g < groupCount; ++g) {
        std::int32_t count = 0;
        if (CError* err = in.read32(count)) return traceError(err);
        const std::int64_t components = std::int64_t(count) * mElementSize;
        if (count < 0 || components > kMaxComponents) return countError("element count", count);
        Group* group = new Group();
        scratch.mGroups.add(group);
        if (hasItems()) {
            if (CError* err = readValues(in, ids, count)) return traceError(err);
            group->values.setCount(count);
            for (int i = 0; i < count; ++i) group->values[i] = scratch.mData.copyItem(ids[i], records, mDataType);
        } else if (CError* err = readValues(in, group->values, components)) {
            return traceError(err);
        }
        group->count = count;
    }

    // Commit: the old values' items go, the staged items move into the storage's own table (where the
    // default row's items stay).
    for (const Group* old : mGroups) releaseItems(*old, 0, old->count);
    if (hasItems())
        for (Group* group : scratch.mGroups)
            for (int i = 0; i < group->count; ++i) group->values[i] = mData.takeItem(toId(group->values[i]), scratch.mData);
    std::swap(mGroups, scratch.mGroups);
    return nullptr;
}

CError* CAudioParamStorage::writeChange(const CAudioParamChange& change, COutputStream& out) {
    const std::int32_t header[8] = {change.group,
                                    change.firstElement,
                                    change.count,
                                    change.truncate ? 1 : 0,
                                    change.elementSize,
                                    change.dataType,
                                    change.singleGroup ? 1 : 0,
                                    change.singleElement ? 1 : 0};
    if (CError* err = out.write(header, sizeof(header))) return traceError(err);
    const std::int64_t components = std::int64_t(change.count > 0 ? change.count : 0) *
                                    (change.dataType == kTypeFloat ? change.elementSize : 1);
    if (components > kMaxComponents || components < 0 || (components > 0 && !change.values))
        return newError("@talstr_CAudioParamStorage_writeChange_SizeError Change of %1 elements cannot be written.",
                        CString::emptyString, CString(change.count));
    if (change.dataType == kTypeFloat) {
        if (components > 0)
            if (CError* err = out.write(change.values, static_cast<std::int32_t>(components * sizeof(double))))
                return traceError(err);
        return nullptr;
    }
    static const CAudioParamData kNoItems;
    const CAudioParamData& source = change.table ? *change.table : kNoItems;
    CAudioParamData items;
    for (std::int64_t i = 0; i < components; ++i) {
        const int id = items.copyItem(toId(change.values[i]), source, change.dataType);
        if (CError* err = out.write32(static_cast<std::uint32_t>(id))) return traceError(err);
    }
    if (CError* err = items.save(out)) return traceError(err);
    return nullptr;
}

CError* CAudioParamStorage::readChange(CAudioParamChangeBuffer& buffer, CInputStream& in, CAudioParamChange& out,
                                       const void* sender) {
    std::int32_t header[8] = {};
    if (CError* err = in.read(header, sizeof(header))) return traceError(err);
    const std::int32_t count = header[2], elementSize = header[4], dataType = header[5];
    const bool validFormat = elementSize >= 1 && dataType >= kTypeFloat && dataType <= kTypeRaw &&
                             (dataType == kTypeFloat || elementSize == 1);
    if (!validFormat)
        return newError("@talstr_CAudioParamStorage_readChange_FormatError Invalid change format (esize=%1, dtype=%2).",
                        CString::emptyString, CString(elementSize), CString(dataType));
    const std::int64_t components = std::int64_t(count) * elementSize;
    // The elements reached, not only those sent, must fit a storage: a gap up to a far first element
    // would be filled with defaults.
    const std::int64_t reach = (std::int64_t(header[1]) + count) * elementSize;
    if (count < 0 || header[1] < 0 || components > kMaxComponents || reach > kMaxComponents)
        return newError("@talstr_CAudioParamStorage_readChange_CountError Invalid change element count %1.",
                        CString::emptyString, CString(count));

    CArray<double>& values = buffer.getValues();
    if (dataType == kTypeFloat) {
        if (CError* err = readValues(in, values, components)) return traceError(err);
    } else {
        CArray<std::int32_t> ids;
        if (CError* err = readValues(in, ids, count)) return traceError(err);
        if (CError* err = buffer.getTable().load(in)) return traceError(err);
        values.setCount(count);
        for (int i = 0; i < count; ++i) values[i] = ids[i];
    }
    out.group = header[0];
    out.firstElement = header[1];
    out.count = count;
    out.truncate = header[3] != 0;
    out.sender = sender;
    out.elementSize = elementSize;
    out.dataType = dataType;
    out.singleGroup = header[6] != 0;
    out.singleElement = header[7] != 0;
    out.values = values.isEmpty() ? nullptr : values.data();
    out.table = &buffer.getTable();
    return nullptr;
}

// --- queries ---

int CAudioParamStorage::getElementCount(int group) const {
    return group >= 0 && group < getGroupCount() ? mGroups[group]->count : 0;
}

const double* CAudioParamStorage::getValues(int group) const {
    if (group < 0 || group >= getGroupCount() || mGroups[group]->count == 0) return nullptr;
    return mGroups[group]->values.data();
}

double CAudioParamStorage::getValue(int group, int element, int component, double def) const {
    if (group < 0 || group >= getGroupCount() || element < 0 || element >= mGroups[group]->count || component < 0 ||
        component >= mElementSize)
        return def;
    return mGroups[group]->values[element * mElementSize + component];
}

bool CAudioParamStorage::equals(const CAudioParamStorage& other) const {
    if (mElementSize != other.mElementSize || mDataType != other.mDataType || mSingleGroup != other.mSingleGroup ||
        mSingleElement != other.mSingleElement || getGroupCount() != other.getGroupCount())
        return false;
    for (int g = 0; g < getGroupCount(); ++g) {
        const Group &a = *mGroups[g], &b = *other.mGroups[g];
        if (a.count != b.count) return false;
        for (int i = 0; i < a.count * mElementSize; ++i) {
            if (!hasItems()) {
                if (a.values[i] != b.values[i]) return false;
                continue;
            }
            if (!CAudioParamData::sameContent(mData.getItem(toId(a.values[i])), other.mData.getItem(toId(b.values[i]))))
                return false;
        }
    }
    return true;
}

} // namespace tal
