#pragma once
#include "Core/CAttrMap.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Platform/CMainLoopTimers.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace tal {

class CError;
class CFileDialogProcess;
class CObject;

// What a view asks of a file dialog; the caller fills it, CFileDialog::open copies it.
struct CFileDialogParams {
    CFileDialogParams() = default;
    CFileDialogParams(const CFileDialogParams&) = delete;
    CFileDialogParams& operator=(const CFileDialogParams&) = delete;
    void copyFrom(const CFileDialogParams& other);

    std::int32_t mode = 0;                     // 0 open files, 1 save a file, 2 choose a folder
    CString startFolder{"."};
    CString suggestedName;
    CString defaultExtension;                  // appended (after a '.') to a chosen name without one
    CSortedMap<CString, CString> filters;      // extension without dot -> description
    bool allowMultiple = false;                // open mode: several files
    CString resultEvent;                       // the event of the view that carries the result
    CAttrMap eventParams;                      // copied into the result event's parameters
    CString folderKey;                         // application-data name of the remembered folder;
                                               // a leading '/' selects the global scope
};

// The process-wide file-dialog service: a view asks for an open, save or choose-folder panel and
// returns at once; the panel (zenity, else kdialog, see CFileDialogProcess) is shown on a later
// turn of the main loop, and its answer comes back as the named event of the view with "path" and
// "filename" (or "0".."n-1" and "count"). It can remember the folder of the last choice.
// One static instance; main thread, except that the pending requests are guarded by a recursive mutex.
class CFileDialog {
public:
    // --- main thread ---
    // Copies the parameters and schedules the panel. Errors: a broken remembered folder (nothing
    // is shown), no main loop that carries posted calls.
    [[nodiscard]] static CError* open(CObject* view, const CFileDialogParams& params);
    // Shows the panel of a pending request (the posted open step). Error: an invalid mode, after
    // which the request is closed.
    [[nodiscard]] static CError* handleEvent(std::int32_t id);
    // Fires the result of a request (empty or a first entry that is empty: nothing fires) and
    // schedules its close.
    static void deliverResult(std::int32_t id, const std::vector<CString>& list);
    // Forgets a request, closing a panel still shown.
    static void closeRequest(std::int32_t id);
    // Closes every panel of the tree with that event registry (its editor goes); nothing fires.
    static void cancelRequestsOf(std::int32_t registryId);

    // --- queries (tests) ---
    static int pendingCount();
    static bool isPending(std::int32_t id);

private:
    struct Request {
        CFileDialogParams params;
        CString owner;                              // full name of the requesting view
        std::int32_t registryId = 0;
        std::unique_ptr<CFileDialogProcess> panel;  // while shown
        CMainLoopTimers::TimerId pollTimer = 0;     // reads the panel's answer while shown
        CMainLoopTimers* timerService = nullptr;    // not owned; the service of pollTimer
    };

    static CFileDialog& instance();
    // The pending request of that id, or null. Requests are removed on the main thread only, so
    // the pointer stays valid on it until closeRequest.
    static Request* pendingRequest(std::int32_t id);
    static void postedOpen(void* context, std::int64_t id);
    static void postedClose(void* context, std::int64_t id);
    static void onPollTimer(CMainLoopTimers::TimerId timer, void* id);
    static void stopPolling(Request& request);

    std::map<std::int32_t, std::unique_ptr<Request>> mPending;   // under mMutex
    std::int32_t mNextId = 1;                                    // under mMutex
    CRecursiveMutex mMutex;
};

} // namespace tal
