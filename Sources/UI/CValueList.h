#pragma once
#include "Core/CObject.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

// "ui:value-list-manual": the editor's list of choices, an ordered list of items each made of a
// display text and a value text. A build combines an empty item ("add-empty-value"), the items of
// the list's own paragraph children ("is-add-manual-items"), and the item source of the class
// (collectItems; for this class the paragraph children), limited by "max-capacity" and cut at the
// last "separator-char" for display; setItems replaces the whole list. Raises "values-changed"
// when the items change and "value-list-ready" once after the first build.
// Item states live in the text itself: a disabled item starts with "[N/A]", a separator is the
// item "[IMG=is.button#HR:Action]". Editor thread only, no lock.
class CValueList : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CValueList() override;

    // --- life cycle ---
    // Reads "add-empty-value", "is-add-manual-items" and "separator-char".
    [[nodiscard]] CError* init() override;
    // Builds the items, then raises "value-list-ready".
    [[nodiscard]] CError* initChilds() override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onMaxCapacityChanged();
    [[nodiscard]] virtual CError* onUpdateValues();
    // The item source: appends its item texts to list. An error leaves the stored items unchanged.
    [[nodiscard]] virtual CError* collectItems(CStringList& list);

    // --- operations ---
    // Rebuilds the items; raises "values-changed" only when they differ from the stored ones.
    [[nodiscard]] CError* updateItems();
    // Texts and values become copies of items (no separator cut, no limit); always raises
    // "values-changed".
    [[nodiscard]] CError* setItems(const CStringList& items);
    // Appends the items made from the paragraph children of markup ("ui:textview-p" with "content"
    // and "content" children carrying "value", "ui:textview-br" as "[BR]").
    static void collectParagraphItems(CObject* markup, CStringList& list);

    // --- item conventions ---
    static const CString& disabledPrefix();   // "[N/A]"
    static const CString& separatorItem();    // "[IMG=is.button#HR:Action]"
    // False for the separator item and for a text that begins with the disabled prefix.
    static bool isListItemEnabled(const CString& text);
    // enabled: the text without a leading disabled prefix; otherwise an enabled text gets the prefix
    // (the separator and disabled texts come back unchanged).
    static CString formatItemEnabled(const CString& text, bool enabled);

    // --- queries ---
    int itemCount() const noexcept { return mTexts.count(); }
    const CString& itemText(int i) const noexcept { return mTexts[i]; }
    const CString& itemValue(int i) const noexcept { return mValues[i]; }
    const CStringList& itemTexts() const noexcept { return mTexts; }
    const CStringList& itemValues() const noexcept { return mValues; }
    std::int32_t fixedItemCount() const noexcept { return mFixedItemCount; }
    std::int32_t maxCapacity() const noexcept { return mMaxCapacity; }

protected:
    [[nodiscard]] CError* fireValuesChanged();

private:
    std::int32_t mFixedItemCount = 0;
    bool mAddEmptyValue = false;
    bool mAddManualItems = false;
    std::int32_t mMaxCapacity = 0;
    CString mSeparator;
    CStringList mTexts;
    CStringList mValues;
};

} // namespace tal
