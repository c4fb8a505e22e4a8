#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"

namespace tal {

// An owning list of strings: each item is a CString object of its own, made from the size-class
// allocator when it is added and deleted when it is removed or the list is destroyed. Items stay at
// their addresses while the list grows. Error objects keep their lines in one; CString::split fills
// one. One owner at a time, no lock of its own.
class CStringList : public CPoolAllocated {
public:
    // --- life cycle ---
    CStringList() = default;
    CStringList(const CStringList& other);   // deep copy; capacity exactly other's count
    CStringList& operator=(const CStringList& other) {
        if (this != &other)
            assign(other);
        return *this;
    }
    ~CStringList();

    // --- queries ---
    int count() const noexcept { return mItems.count(); }
    bool isEmpty() const noexcept { return mItems.isEmpty(); }
    int capacity() const noexcept { return mItems.capacity(); }
    CString& operator[](int i) noexcept { return *mItems[i]; }
    const CString& operator[](int i) const noexcept { return *mItems[i]; }
    CString* item(int i) noexcept { return mItems[i]; }
    // Index of the first item equal to s, or -1.
    int indexOf(const CString& s) const noexcept;

    // --- operations ---
    CString* add(const CString& s);          // appends a copy and returns it
    CString* add(const char* text);
    CString* addEmpty();                     // appends an empty 8-bit string
    void clear() noexcept;                   // deletes every item (last first); storage stays
    void resize(int n);                      // appends empty items or deletes surplus ones (last first)
    void remove(int index) noexcept;         // deletes one item; the following ones move down
    void assign(const CStringList& other);   // deletes the items, then copies other's
    // Deletes the items of slots end - 1 down to start; the caller sets the count.
    static void deleteRange(CString** items, int end, int start) noexcept;

private:
    void makeRoom();

    CArray<CString*> mItems;
};

} // namespace tal
