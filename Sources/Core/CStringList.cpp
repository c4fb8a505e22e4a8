#include "Core/CStringList.h"

namespace tal {

CStringList::CStringList(const CStringList& other) {
    if (other.count() > 0)
        mItems.setCapacity(other.count());
    for (int i = 0; i < other.count(); ++i)
        mItems.add(new CString(other[i]));
}

CStringList::~CStringList() { deleteRange(mItems.data(), mItems.count(), 0); }

int CStringList::indexOf(const CString& s) const noexcept {
    for (int i = 0; i < count(); ++i)
        if (compareStrings(*mItems[i], s) == 0)
            return i;
    return -1;
}

void CStringList::makeRoom() {
    if (mItems.count() == mItems.capacity())
        mItems.setCapacity(CArray<CString*>::growCapacity(mItems.capacity()));
}

CString* CStringList::add(const CString& s) {
    makeRoom();
    CString* item = new CString(s);
    mItems.add(item);
    return item;
}

CString* CStringList::add(const char* text) {
    makeRoom();
    CString* item = new CString(text);
    mItems.add(item);
    return item;
}

CString* CStringList::addEmpty() {
    makeRoom();
    CString* item = new CString();
    mItems.add(item);
    return item;
}

void CStringList::clear() noexcept {
    deleteRange(mItems.data(), mItems.count(), 0);
    mItems.clear();
}

void CStringList::resize(int n) {
    if (n > count()) {
        mItems.reserve(n);
        while (count() < n)
            mItems.add(new CString());
    } else {
        deleteRange(mItems.data(), count(), n);
        mItems.setCount(n);
    }
}

void CStringList::remove(int index) noexcept {
    delete mItems[index];
    mItems.removeAt(index);
}

void CStringList::assign(const CStringList& other) {
    clear();
    mItems.reserve(other.count());
    for (int i = 0; i < other.count(); ++i)
        mItems.add(new CString(other[i]));
}

void CStringList::deleteRange(CString** items, int end, int start) noexcept {
    for (int i = end - 1; i >= start; --i)
        delete items[i];
}

} // namespace tal
