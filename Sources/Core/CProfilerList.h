#pragma once
#include "Core/CFileReader.h"
#include "Core/CString.h"

#include <cstdint>
#include <map>
#include <memory>

namespace tal {

class CError;

// The profiler list: a text file that maps profiler slot ids to section names, one "id;name" line
// per slot in ascending id order. A developer aid: nothing in the plug-in reads it.
// One object per use, on one thread; the file stays locked while it is open.
class CProfilerList {
public:
    static constexpr const char* kDefaultPath = "d:/libtal/Obj/profiler.lst";

    explicit CProfilerList(const CString& path = CString(kDefaultPath));
    CProfilerList(const CProfilerList&) = delete;
    CProfilerList& operator=(const CProfilerList&) = delete;
    ~CProfilerList();

    // Forgets every entry, opens the file (created when missing), locks it, waiting up to
    // lockTimeoutMs (below 0: reads and closes the file again without waiting for the lock), and
    // reads its lines. Lines whose id is not an integer are skipped; a line without a name maps
    // its id to the empty name. Errors: the file's, "File was not locked.", the reader's.
    [[nodiscard]] CError* open(std::int32_t lockTimeoutMs);
    // The id of a name; a new name gets the largest id + 1 (0 for the first).
    int getId(const CString& name);
    // Writes every entry in ascending id order over the open file, or into a new file at the path
    // when none is open; the file is closed afterwards.
    [[nodiscard]] CError* save();

    // --- queries ---
    int getMaxId() const noexcept { return mMaxId; }
    // The name of an id, or null.
    const CString* findName(int id) const;

private:
    void add(const CString& name, int id);

    CString mPath;
    std::unique_ptr<CFileReader> mFile;      // owned; null when closed
    std::map<CString, int> mIds;
    std::map<int, CString> mNames;
    int mMaxId = -1;
};

} // namespace tal
