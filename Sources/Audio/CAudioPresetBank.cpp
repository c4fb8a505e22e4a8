#include "Audio/CAudioPresetBank.h"

#include "Audio/CAudioPreset.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CMemoryReader.h"
#include "Core/COutputStream.h"
#include "Core/CResourceReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"

#include <algorithm>
#include <utility>

namespace tal {

namespace {

// The fewest bytes a preset record takes: its name's byte count and its entry count.
constexpr std::int64_t kMinPresetBytes = 8;

} // namespace

CAudioPresetBank::~CAudioPresetBank() {
    deletePresets();
}

void CAudioPresetBank::deletePresets() noexcept {
    for (int i = mPresets.count() - 1; i >= 0; --i) delete mPresets[i];
    mPresets.clear();
}

CAudioPreset* CAudioPresetBank::getPreset(int i) const noexcept {
    return i >= 0 && i < mPresets.count() ? mPresets[i] : nullptr;
}

void CAudioPresetBank::resize(int count) {
    if (count < 0) count = 0;
    while (mPresets.count() > count) {
        delete mPresets.last();
        mPresets.setCount(mPresets.count() - 1);
    }
    mPresets.reserve(count);
    while (mPresets.count() < count) mPresets.add(new CAudioPreset());
}

CAudioPreset* CAudioPresetBank::addPreset() {
    CAudioPreset* preset = new CAudioPreset();
    mPresets.add(preset);
    return preset;
}

CAudioPreset* CAudioPresetBank::appendCopy(const CAudioPreset& preset) {
    CAudioPreset* copy = new CAudioPreset();
    copy->copyFrom(preset);
    mPresets.add(copy);
    return copy;
}

void CAudioPresetBank::copyPresets(const CAudioPresetBank& from) {
    if (&from == this) return;
    deletePresets();
    mPresets.reserve(from.getCount());
    for (const CAudioPreset* preset : from.mPresets) appendCopy(*preset);
}

void CAudioPresetBank::copySorted(CAudioPresetBank& to) const {
    if (&to == this) return;
    CArray<const CAudioPreset*> order;
    order.reserve(mPresets.count());
    for (const CAudioPreset* preset : mPresets) order.add(preset);
    std::stable_sort(order.begin(), order.end(), [](const CAudioPreset* a, const CAudioPreset* b) {
        return compareStrings(a->getName().toLower(), b->getName().toLower()) < 0;
    });
    to.deletePresets();
    to.mName = mName;
    for (const CAudioPreset* preset : order) to.appendCopy(*preset);
}

void CAudioPresetBank::swap(CAudioPresetBank& other) noexcept {
    std::swap(mName, other.mName);
    std::swap(mPresets, other.mPresets);
}

CError* CAudioPresetBank::save(COutputStream& out) const {
    if (CError* err = out.writeString(mName)) return traceError(err, mName);
    if (CError* err = out.write32(static_cast<std::uint32_t>(mPresets.count()))) return traceError(err, mName);
    for (const CAudioPreset* preset : mPresets)
        if (CError* err = preset->save(out)) return traceError(err, mName);
    return nullptr;
}

CError* CAudioPresetBank::load(CInputStream& in) {
    CAudioPresetBank scratch;
    if (CError* err = in.readString(scratch.mName)) return traceError(err);
    std::int32_t count = 0;
    if (CError* err = in.read32(count)) return traceError(err, scratch.mName);
    const std::int64_t left = in.getRemainingSize();
    if (count < 0 || (left >= 0 && count > left / kMinPresetBytes))
        return newError("@talstr_CAudioPresetBank_load_BadCount Damaged bank: %1 presets announced, %2 bytes left.",
                        scratch.mName, CString(count), CString(left));
    scratch.mPresets.reserve(count);
    for (std::int32_t i = 0; i < count; ++i)
        if (CError* err = scratch.addPreset()->load(in))
            return traceError(err, scratch.mName + CString(" #") + CString(int(i)));
    swap(scratch);
    return nullptr;
}

CError* CAudioPresetBank::saveCompressed(COutputStream& out) const {
    CWriteSeqBuffer record;
    if (CError* err = save(record)) return traceError(err, mName);
    CByteBuffer bytes;
    record.moveTo(bytes);
    if (CError* err = out.writeCompressedData(bytes, kTagBank)) return traceError(err, mName);
    return nullptr;
}

CError* CAudioPresetBank::loadCompressed(CInputStream& in) {
    CByteBuffer bytes;
    if (CError* err = in.readCompressedData(bytes, kTagBank)) return traceError(err);
    CMemoryReader reader(bytes.data(), bytes.size());
    if (CError* err = load(reader)) return traceError(err);
    return nullptr;
}

CError* CAudioPresetBank::loadResource(const CString& name) {
    CResourceReader reader;
    if (CError* err = reader.open(name)) return traceError(err, name);
    if (CError* err = loadCompressed(reader)) return traceError(err, name);
    return nullptr;
}

} // namespace tal
