#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CSortedMap.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

class CAttrMap;
class CError;

// A source of item texts that controls query on demand (text views, buttons, control arrays). A
// list is named by an id; the top-level list is the sub-list of list -1, and an item may open a
// further list. Items follow the value-list conventions ("[N/A]" prefix, separator item). The
// implementations record a value and a disabled flag per item in a cache while they list their
// items; the cache is emptied as a whole when the list changes. Editor thread only.
class CDynList : public CCheckedObject {
public:
    struct CCacheEntry {
        std::int32_t value = -1;
        bool isDisabled = false;
    };

    ~CDynList() override;

    // --- overridable queries ---
    virtual std::int32_t getSelectedIndex(std::int32_t listId);
    // Fills the attributes that describe choosing an item (base: empties the map).
    [[nodiscard]] virtual CError* getItemAttrs(std::int32_t listId, std::int32_t index, CAttrMap& attrs);
    // For list -1 the top-level list (base 0); otherwise the list an item opens (base -1: none).
    virtual std::int32_t getSubListId(std::int32_t listId, std::int32_t index);
    // Appends the item texts of a list.
    virtual void getItems(std::int32_t listId, CStringList& out) = 0;
    // Makes sure the cache holds a list (base: lists its items).
    virtual void updateCache(std::int32_t listId);

    // --- cached queries ---
    // The value of an item, filling the cache first when the list is not in it; -1 when unknown.
    std::int32_t getItemValue(std::int32_t listId, std::int32_t index);
    // The smallest index whose value is value, or -1.
    std::int32_t getItemIndex(std::int32_t listId, std::int32_t value);
    bool isItemDisabled(std::int32_t listId, std::int32_t index);
    // The text of one item (empty outside the list); stores the display flag first.
    void getItemText(CString& out, std::int32_t listId, std::int32_t index, bool displayFlag);

    // --- cache ---
    void clearCache() noexcept { mCache.clear(); }
    void clearCache(std::int32_t listId) noexcept { mCache.remove(listId); }
    bool displayFlag() const noexcept { return mDisplayFlag; }
    void setDisplayFlag(bool flag) noexcept { mDisplayFlag = flag; }

protected:
    // Records the entry of an item; called by the implementations while they list their items.
    void setCacheEntry(std::int32_t listId, std::int32_t index, std::int32_t value, bool isDisabled = false);

private:
    // The cached entries of a list, filling the cache first; null when the list stays absent.
    const CSortedMap<std::int32_t, CCacheEntry>* cachedList(std::int32_t listId);

    bool mDisplayFlag = false;
    CSortedMap<std::int32_t, CSortedMap<std::int32_t, CCacheEntry>> mCache;
};

} // namespace tal
