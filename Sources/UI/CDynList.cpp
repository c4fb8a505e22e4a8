#include "UI/CDynList.h"

#include "Core/CAttrMap.h"

namespace tal {

CDynList::~CDynList() = default;

std::int32_t CDynList::getSelectedIndex(std::int32_t) { return -1; }

CError* CDynList::getItemAttrs(std::int32_t, std::int32_t, CAttrMap& attrs) {
    attrs.clear();
    return nullptr;
}

std::int32_t CDynList::getSubListId(std::int32_t listId, std::int32_t) { return listId == -1 ? 0 : -1; }

void CDynList::updateCache(std::int32_t listId) {
    CStringList dropped;
    getItems(listId, dropped);
}

const CSortedMap<std::int32_t, CDynList::CCacheEntry>* CDynList::cachedList(std::int32_t listId) {
    if (mCache.find(listId) == nullptr)
        updateCache(listId);
    auto* node = mCache.find(listId);
    return node != nullptr ? &node->value : nullptr;
}

std::int32_t CDynList::getItemValue(std::int32_t listId, std::int32_t index) {
    const auto* list = cachedList(listId);
    const auto* entry = list != nullptr ? list->find(index) : nullptr;
    return entry != nullptr ? entry->value.value : -1;
}

std::int32_t CDynList::getItemIndex(std::int32_t listId, std::int32_t value) {
    const auto* list = cachedList(listId);
    if (list == nullptr)
        return -1;
    for (auto* entry = list->first(); entry != nullptr; entry = list->next(entry))
        if (entry->value.value == value)
            return entry->key;
    return -1;
}

bool CDynList::isItemDisabled(std::int32_t listId, std::int32_t index) {
    const auto* list = cachedList(listId);
    const auto* entry = list != nullptr ? list->find(index) : nullptr;
    return entry != nullptr && entry->value.isDisabled;
}

void CDynList::getItemText(CString& out, std::int32_t listId, std::int32_t index, bool displayFlag) {
    mDisplayFlag = displayFlag;
    CStringList items;
    getItems(listId, items);
    out = index >= 0 && index < items.count() ? items[index] : CString();
}

void CDynList::setCacheEntry(std::int32_t listId, std::int32_t index, std::int32_t value, bool isDisabled) {
    CCacheEntry& entry = mCache.findOrAdd(listId)->value.findOrAdd(index)->value;
    entry.value = value;
    entry.isDisabled = isDisabled;
}

} // namespace tal
