#pragma once
#include "Core/CArray.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

namespace tal {

class CError;
class CObject;
class CObjectScheme;

// Makes a new, fully constructed object of one tag's class; null only when allocation fails.
using CObjectCreateFn = CObject* (*)();
// Fills a class's scheme: the base class's registrations first, then the class's own.
using CSchemeInitFn = void (*)(CObjectScheme* scheme);

// The create function of a class that is default-constructible: new T (from the size-class
// allocator when T derives from CObject). For creator tables: {"tag", &createObject<T>, ...}.
template <class T>
CObject* createObject() {
    return new T;
}

// One entry of a static creator table; a table ends with an entry whose create function is null.
struct CCreatorTableEntry {
    const char* tag;
    CObjectCreateFn create;
    CSchemeInitFn initScheme;
};

// What the registry holds per tag.
struct CCreatorEntry {
    CObjectCreateFn create = nullptr;
    CObjectScheme* scheme = nullptr;  // owned by the registry's scheme list
};

// Turns a tag into a new object of its class and that class's scheme. The process has one
// (instance()), filled at start-up on the starting thread before any tree exists, then only read,
// from any thread, without a lock; it is released at process exit together with every scheme it
// made. Tests may make private registries.
class CCreatorRegistry {
public:
    CCreatorRegistry() = default;
    CCreatorRegistry(const CCreatorRegistry&) = delete;
    CCreatorRegistry& operator=(const CCreatorRegistry&) = delete;
    ~CCreatorRegistry();

    // The process-wide registry that CObject::addChild reads.
    static CCreatorRegistry& instance();

    // --- registration (start-up only) ---
    // Enters one tag. A tag already present is an error; the first registration stays.
    [[nodiscard]] CError* registerCreator(const CString& tag, CObjectCreateFn create, CObjectScheme* scheme);
    // Registers every entry of a table, each with a new scheme filled by its scheme-init function.
    // A duplicate tag is written to the log and skipped; the entries after it are still registered.
    // Returns the number of entries that failed.
    int registerTable(const CCreatorTableEntry* table);
    // A new empty scheme, owned by this registry's scheme list.
    CObjectScheme* newScheme();

    // --- queries ---
    // Exact, case-sensitive lookup; null when the tag is not registered.
    const CCreatorEntry* find(const CString& tag) const;
    int schemeCount() const noexcept;

private:
    CSortedMap<CString, CCreatorEntry> mEntries;
    CArray<CObjectScheme*> mSchemes;
};

} // namespace tal
