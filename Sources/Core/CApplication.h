#pragma once
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CError;
class CObject;
class CString;
struct CCreatorTableEntry;
struct CResourceEntry;

// What a product hands to the application start: its creator tables, its embedded resources and
// the name of its shared description. Constant data of the product, alive for the whole process.
struct CApplicationSetup {
    const CCreatorTableEntry* const* creatorTables = nullptr;   // a list ended by null
    const CResourceEntry* resources = nullptr;                  // null: nothing embedded
    const char* sharedDataName = "SharedData.xml";              // null or empty: a bare shared root
};

// The application object: registers the product's object tags, indexes its embedded resources and
// builds the shared object tree, then makes the roots of every audio instance and editor. There is
// one per process (theApplication), made by startApplication and freed by finishApplication.
// Threads: start and finish run on the thread that loads and unloads the library, before and after
// all other activity; initRootObject runs on the host's main thread. The shared object is written
// only during start-up and read without a lock afterwards; its attribute caches are warmed after it
// is loaded, so that any number of threads may read it.
class CApplication : public CPoolAllocated {
public:
    explicit CApplication(const CApplicationSetup& setup) noexcept : mSetup(setup) {}
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // --- process-wide start and finish ---
    // The monotonic time of the process start in nanoseconds: recorded by recordStartTime, or by
    // the first call of either.
    static std::uint64_t startTimeNs() noexcept;
    static void recordStartTime() noexcept;
    // Makes theApplication and runs init. An error (only when theApplication already exists) is
    // returned; init itself logs and drops every error so that start-up goes on.
    [[nodiscard]] static CError* startApplication(const CApplicationSetup& setup);
    // Finalises theApplication when it exists, then releases the shared object tree.
    static void finishApplication();
    static CApplication* theApplication() noexcept;

    // --- the application object ---
    // Registers "release-child-bridged" in the default scheme, the creator tables, the embedded
    // resources, then loads the shared object. Every error is logged and dropped: returns null.
    [[nodiscard]] CError* init();
    // Logs "Finalizing application..." and deletes this object.
    void finalize();

    // --- registration and roots ---
    // Registers one creator table; a tag registered twice is logged and skipped, and the rest of the
    // table is still registered. The error names how many tags were refused.
    [[nodiscard]] static CError* registerCreators(const CCreatorTableEntry* table);
    // Makes the shared object (a root without event registry) and loads name into it; an empty name
    // gives a bare root. Fails when it exists already. On a failed load the partly built shared
    // object stays registered.
    [[nodiscard]] static CError* initSharedObject(const CString& name);
    // Makes a new root with an event registry of its own and loads name into it (an empty name: a
    // bare initialised root). Fails when there is no shared object. On an error the root is
    // released and out untouched; on success out owns the root (release it with CObject::release).
    [[nodiscard]] static CError* initRootObject(CObject*& out, const CString& name);
    static CObject* sharedObject() noexcept;

private:
    CApplicationSetup mSetup;
};

} // namespace tal
