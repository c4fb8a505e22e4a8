#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CUpdateNotifier.h"

#include <cstdint>

namespace tal {

// One cached application-data item: its record tag and its bytes.
struct CAppDataItem {
    std::uint32_t tag = 0;
    CByteBuffer data;
};

// An application-data scope: small named items (each a block of bytes under a four-letter record
// tag) that persist between sessions and are shared by every plug-in instance of the process.
// Each item is one file, named exactly as the item, holding one zlib compressed record. A read
// looks in the scope's main folder, then its fallback folder, then the bundle-side folder, then
// the embedded default "<resource prefix><name>", and caches what it found; a source that opens
// but holds no readable record of the tag passes the turn to the next one.
// A write updates the cache, rewrites the file atomically (best effort: a failure is logged) and
// then notifies the listeners attached under the item's id with the record {sender, id}.
// Item names are fixed identifiers; a name that is empty, "." or "..", or holds '/', '\' or NUL is
// refused: it reads as absent and is never written.
// The scope is an update notifier: listeners attach with setNotifier(scope, &name) (a CString*),
// see CAppDataListener. Any thread; the scope's lock serialises its cache and files, and
// notifications run after it is released.
class CAppData : public CUpdateNotifier {
public:
    ~CAppData() override;

    // --- the process-wide scopes, made by the ordered start-up (global, group, local) ---
    static CAppData& globalScope();
    static CAppData& groupScope();
    static CAppData& localScope();
    // "global", "group" or "local" (exact); null for any other text.
    static CAppData* scopeNamed(const CString& name);

    // --- any thread ---
    // out receives a copy of the item's bytes; empty when the item is absent everywhere, cached
    // under another tag (without reload), or unreadable. reload: search the sources again even
    // when the item is cached; when none has a readable record, the cached bytes of that tag stay.
    void read(const CString& name, CByteBuffer& out, std::uint32_t tag, bool reload);
    // Caches a copy of data under tag, writes the item's file and notifies the item's listeners.
    // sender is passed on in the update record.
    void write(const CString& name, const CByteBuffer& data, const void* sender, std::uint32_t tag);
    // The item's id: 1, 2, 3... in order of first use of each name in this scope.
    std::int64_t getNameId(const CString& name);
    // param is a const CString* naming the item.
    std::int64_t getListenerKey(std::intptr_t param) override;

    // --- inspection and tests ---
    // The folders of the last set-up (empty before the first read or write).
    CString mainFolder();
    CString fallbackFolder();
    CString bundleSideFolder();
    // Forgets the folders, flags, ids and cache, as if the scope were new. Tests only.
    void resetForTest();

protected:
    // scopeFolder: below a base folder, ending in '/'; bundleSubfolder: empty or ending in '/';
    // resourcePrefix: prefix of the embedded defaults' names. No file is touched.
    CAppData(const CString& scopeFolder, const CString& bundleSubfolder, const CString& resourcePrefix);

private:
    // --- under mLock ---
    // Computes the three folders once; whether a main folder was found.
    bool setupFolders();
    void ensureFolders();
    std::int64_t nameIdLocked(const CString& name);
    // Reads one record of tag from the source of that path into out; false when it does not open
    // or holds no readable record of the tag.
    static bool readFileRecord(const CString& path, CByteBuffer& out, std::uint32_t tag);
    bool readEmbeddedRecord(const CString& name, CByteBuffer& out, std::uint32_t tag) const;
    void writeFile(const CString& name, const CByteBuffer& data, std::uint32_t tag);

    const CString mScopeFolder;
    const CString mBundleSubfolder;
    const CString mResourcePrefix;
    CString mMainFolder;
    CString mFallbackFolder;
    CString mBundleSideFolder;
    bool mFoldersReady = false;
    bool mCreationTried = false;
    bool mWritable = false;
    CRecursiveMutex mLock;
    std::int64_t mLastId = 0;
    CSortedMap<CString, std::int64_t> mNameIds;
    CSortedMap<std::int64_t, CAppDataItem> mCache;
};

} // namespace tal
