#include "UI/CValueList.h"

#include "Core/CError.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CValueList::create() { return new CValueList(); }

void CValueList::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CValueList, &CValueList::onMaxCapacityChanged>(scheme, "max-capacity");
    addPlainEventOf<CValueList, &CValueList::onUpdateValues>(scheme, "update-values");
}

CValueList::~CValueList() = default;

// --- life cycle ---

CError* CValueList::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mAddEmptyValue = getBoolAttr("add-empty-value");
    mAddManualItems = getBoolAttr("is-add-manual-items");
    mSeparator = getTextAttr("separator-char");
    return nullptr;
}

CError* CValueList::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    if (CError* error = updateItems())
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("value-list-ready"), false), getFullName());
}

// --- handlers ---

CError* CValueList::onMaxCapacityChanged() {
    const std::int32_t capacity = getIntAttr("max-capacity");
    if (capacity == mMaxCapacity)
        return nullptr;
    mMaxCapacity = capacity;
    return traceError(updateItems(), getFullName());
}

CError* CValueList::onUpdateValues() { return traceError(updateItems(), getFullName()); }

CError* CValueList::collectItems(CStringList& list) {
    if (!mAddManualItems)
        collectParagraphItems(this, list);
    return nullptr;
}

// --- operations ---

CError* CValueList::updateItems() {
    CStringList texts;
    if (mAddEmptyValue)
        texts.add("---");
    if (mAddManualItems)
        collectParagraphItems(this, texts);
    mFixedItemCount = texts.count();
    if (CError* error = collectItems(texts))
        return traceError(error, getFullName());
    if (mMaxCapacity > 0 && texts.count() > mFixedItemCount + mMaxCapacity)
        texts.resize(mFixedItemCount + mMaxCapacity);
    CStringList values(texts);
    if (!mSeparator.isEmpty())
        for (int i = 0; i < texts.count(); ++i) {
            const int at = texts[i].findLast(mSeparator);
            if (at >= 0)
                texts[i] = CString(texts[i], 0, at);
        }
    bool same = texts.count() == mTexts.count();
    for (int i = 0; same && i < texts.count(); ++i)
        same = texts[i] == mTexts[i] && values[i] == mValues[i];
    if (same)
        return nullptr;
    mTexts.assign(texts);
    mValues.assign(values);
    return fireValuesChanged();
}

CError* CValueList::setItems(const CStringList& items) {
    mTexts.assign(items);
    mValues.assign(items);
    return fireValuesChanged();
}

CError* CValueList::fireValuesChanged() {
    return traceError(fireEvent(CString("values-changed"), false), getFullName());
}

void CValueList::collectParagraphItems(CObject* markup, CStringList& list) {
    CString collected;
    for (int i = 0; i < markup->childCount(); ++i) {
        CObject* child = markup->child(i);
        const CString& tag = child->tag();
        if (tag.equals("content")) {
            collected.append(child->getTextAttr("value"));
        } else if (tag.equals("ui:textview-br")) {
            collected.append("[BR]");
        } else if (tag.equals("ui:textview-p")) {
            collected.append(child->getTextAttr("content"));
            if (!collected.isEmpty()) {
                list.add(collected);
                collected = CString();
            }
            collectParagraphItems(child, list);
        }
    }
    if (!collected.isEmpty())
        list.add(collected);
}

// --- item conventions ---

const CString& CValueList::disabledPrefix() {
    static const CString prefix("[N/A]");
    return prefix;
}

const CString& CValueList::separatorItem() {
    static const CString separator("[IMG=is.button#HR:Action]");
    return separator;
}

bool CValueList::isListItemEnabled(const CString& text) {
    if (text == separatorItem())
        return false;
    const CString& prefix = disabledPrefix();
    if (text.length() < prefix.length())
        return true;
    for (int i = 0; i < prefix.length(); ++i)
        if (text.charAt(i) != prefix.charAt(i))
            return true;
    return false;
}

CString CValueList::formatItemEnabled(const CString& text, bool enabled) {
    if (enabled) {
        if (text != separatorItem() && !isListItemEnabled(text))
            return CString(text, disabledPrefix().length(), -1);
        return text;
    }
    if (!isListItemEnabled(text))
        return text;
    CString prefixed(disabledPrefix());
    prefixed.append(text);
    return prefixed;
}

} // namespace tal
