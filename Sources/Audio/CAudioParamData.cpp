#include "Audio/CAudioParamData.h"

#include "Audio/CAudioParamDataItemRaw.h"
#include "Audio/CAudioParamDataItemString.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

#include <cstring>
#include <utility>

namespace tal {

CAudioParamData::~CAudioParamData() {
    clear();
}

void CAudioParamData::clear() {
    for (Map::Node* node = mItems.first(); node != nullptr; node = Map::next(node)) delete node->value;
    mItems.clear();
    mLastId = 0;
}

void CAudioParamData::put(int id, CAudioParamDataItem* item) {
    bool added = false;
    Map::Node* node = mItems.findOrAdd(id, &added);
    if (!added) delete node->value;
    node->value = item;
    if (id > mLastId) mLastId = id;
}

int CAudioParamData::add(CAudioParamDataItem* item) {
    const int id = mLastId + 1;
    put(id, item);
    return id;
}

int CAudioParamData::addString(const CString& text) {
    return add(new CAudioParamDataItemString(text));
}

int CAudioParamData::addRaw(const void* data, int size) {
    CAudioParamDataItemRaw* item = new CAudioParamDataItemRaw();
    item->getBlock().assign(data, size);
    return add(item);
}

int CAudioParamData::addRaw(CByteBuffer& block) {
    CAudioParamDataItemRaw* item = new CAudioParamDataItemRaw();
    item->getBlock().swap(block);   // the new item's empty block goes back to the caller
    return add(item);
}

int CAudioParamData::addEmptyRaw() {
    return add(new CAudioParamDataItemRaw());
}

int CAudioParamData::copyItem(int id, const CAudioParamData& source, int missingType) {
    const CAudioParamDataItem* item = source.getItem(id);
    CAudioParamDataItem* copy = item ? item->clone() : CAudioParamDataItem::create(missingType);
    if (!copy) copy = new CAudioParamDataItemString();
    return add(copy);
}

int CAudioParamData::takeItem(int id, CAudioParamData& source) {
    Map::Node* node = source.mItems.find(id);
    if (!node) return add(new CAudioParamDataItemString());
    CAudioParamDataItem* item = node->value;
    source.mItems.removeNode(node);
    return add(item);
}

void CAudioParamData::removeItem(int id) {
    Map::Node* node = mItems.find(id);
    if (!node) return;
    delete node->value;
    mItems.removeNode(node);
}

void CAudioParamData::assign(const CAudioParamData& other) {
    if (&other == this) return;
    clear();
    for (Map::Node* node = other.mItems.first(); node != nullptr; node = Map::next(node))
        mItems.findOrAdd(node->key)->value = node->value->clone();
    mLastId = other.mLastId;
}

void CAudioParamData::swap(CAudioParamData& other) noexcept {
    std::swap(mLastId, other.mLastId);
    std::swap(mItems, other.mItems);
}

const CAudioParamDataItem* CAudioParamData::getItem(int id) const {
    const Map::Node* node = mItems.find(id);
    return node ? node->value : nullptr;
}

CString CAudioParamData::getString(int id) const {
    const CAudioParamDataItem* item = getItem(id);
    if (!item || item->getType() != CAudioParamDataItem::kTypeString) return CString();
    return static_cast<const CAudioParamDataItemString*>(item)->getText();
}

const CByteBuffer& CAudioParamData::getRaw(int id) const {
    static const CByteBuffer kEmptyBlock;
    const CAudioParamDataItem* item = getItem(id);
    if (!item || item->getType() != CAudioParamDataItem::kTypeRaw) return kEmptyBlock;
    return static_cast<const CAudioParamDataItemRaw*>(item)->getBlock();
}

bool CAudioParamData::sameContent(const CAudioParamDataItem* a, const CAudioParamDataItem* b) {
    if (!a || !b) return a == b;
    if (a->getType() != b->getType()) return false;
    if (a->getType() == CAudioParamDataItem::kTypeString)
        return static_cast<const CAudioParamDataItemString*>(a)->getText() ==
               static_cast<const CAudioParamDataItemString*>(b)->getText();
    return static_cast<const CAudioParamDataItemRaw*>(a)->getBlock() ==
           static_cast<const CAudioParamDataItemRaw*>(b)->getBlock();
}

CError* CAudioParamData::save(COutputStream& out) const {
    if (CError* err = out.write32(static_cast<std::uint32_t>(mItems.count()))) return traceError(err);
    for (Map::Node* node = mItems.first(); node != nullptr; node = Map::next(node)) {
        if (CError* err = out.write32(static_cast<std::uint32_t>(node->key))) return traceError(err);
        if (CError* err = out.write32(static_cast<std::uint32_t>(node->value->getType()))) return traceError(err);
        if (CError* err = node->value->save(out)) return traceError(err);
    }
    return nullptr;
}

CError* CAudioParamData::load(CInputStream& in) {
    CAudioParamData scratch;   // the table changes only when the whole record was read
    std::int32_t count = 0;
    if (CError* err = in.read32(count)) return traceError(err);
    if (count < 0)
        return newError("@talstr_CAudioParamData_load_CountError Invalid item count %1.", CString::emptyString,
                        CString(count));
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t id = 0, type = 0;
        if (CError* err = in.read32(id)) return traceError(err);
        if (CError* err = in.read32(type)) return traceError(err);
        CAudioParamDataItem* item = CAudioParamDataItem::create(type);
        if (!item)
            return newError("@talstr_CAudioParamData_load_TypeError Unknown data type %1 encountered",
                            CString::emptyString, CString(type));
        if (id < 1) {
            delete item;
            return newError("@talstr_CAudioParamData_load_IdError Invalid item id %1.", CString::emptyString,
                            CString(id));
        }
        scratch.put(id, item);
        if (CError* err = item->load(in)) return traceError(err);
    }
    swap(scratch);
    return nullptr;
}

} // namespace tal
