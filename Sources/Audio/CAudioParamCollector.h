#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Audio/CAudioParamChangeList.h"
#include "Core/CObject.h"
#include "Core/CArray.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CString.h"
#include "Platform/CSpinLock.h"

namespace tal {

class CAudioParam;
class CAudioParamDeferred;
class CAudioParamRegistry;
class CAudioParamSharedParam;
class CAppData;
struct CAudioParamChange;
struct CAudioParamWatch;

// The parameters of one plug-in instance by full name, and the hand-off of their changes to the
// audio thread: changes wait in the pending list, which the block loop takes once per block under
// the processing lock. While processing is stopped the list merges changes so it stays bounded.
// Also counts update nesting and keeps deferred calls, which run when the outermost update ends on
// the main thread, or at the main thread's next drain (runDeferredCalls) when the update ended on
// another thread: the audio thread only posts them. The deferred list has a fixed capacity,
// reserved off the audio thread; a call posted again for the same target and key replaces the
// waiting one's value, so the list holds one entry per target and key.
//
// Locks: the collector mutex guards the name map; the processing lock (the pending list), the
// update lock (nesting counts, deferred list) and the watch lock are leaves taken for a few
// instructions. Deferred calls run with none of them held.
class CAudioParamCollector : public CObject {
public:
    CAudioParamCollector();
    ~CAudioParamCollector() override;

    // --- life cycle ---
    // Finds the audio environment named by attribute env (required) and uses its processing lock
    // and flag.
    [[nodiscard]] CError* init() override;
    // Uses an audio environment's processing lock and flag instead of the collector's own.
    void setProcessingState(CSpinLock* lock, const bool* processing);

    // --- parameters: any thread ---
    // The parameter of that name, created when absent.
    CAudioParam* acquireParam(const CString& name);
    CAudioParam* findParam(const CString& name);
    // The parameter that serves a name: the remap map is followed from name to new name until the
    // name is not remapped, then acquireParam. A chain longer than kMaxRemapHops (a cycle) is cut
    // there and logged.
    CAudioParam* acquireParamRemapped(const CString& name);
    // Whether the name is remapped to another name.
    bool isParamRemapped(const CString& name);
    // Enters a remapping (the process graph, from "audio:param-remap"); entering it again counts a
    // further use. A pair that would close a cycle is refused (false) and logged.
    bool addRemap(const CString& orig, const CString& replacement);
    // Drops one use of a remapping; the last use removes it.
    void removeRemap(const CString& orig);
    static constexpr int kMaxRemapHops = 64;

    // --- registries ---
    // Registers a registry (its initChilds) or unregisters it (its releaseLinks). Registries are
    // offered parameters in order of their hierarchy's length, longest first; equal lengths in
    // order of registration.
    void addRegistry(CAudioParamRegistry* registry);
    void removeRegistry(CAudioParamRegistry* registry);
    // The registry whose full object name is exactly name, or null.
    CAudioParamRegistry* findRegistry(const CString& name);
    // The registries in the order they are offered parameters.
    std::vector<CAudioParamRegistry*> getRegistries();
    // Once per collector, after the instance's tree is built: offers every parameter, in name
    // order, to the registries, and from then on each new parameter as it is created; then lets
    // every registry finish its binding (the master applies its first program).
    void bindAllParams();
    bool isBound();

    // --- shared parameters: main thread ---
    // Creates, owns and initialises a parameter mirror of an application-data item. A parameter
    // has at most one mirror: for a parameter that has one already, that one is returned (a log
    // line tells when the item differs).
    CAudioParamSharedParam* addSharedParam(const CString& paramName, CAppData* scope,
                                           const CString& dataName);

    // --- the hand-off ---
    // Producer side: one change, or (audioSide) written straight into the audio-side storage.
    void postChange(CAudioParam* param, const CAudioParamChange& change, bool audioSide);
    // Producer side: a whole list; the caller's list ends empty.
    void queueChanges(CAudioParamChangeList& list);
    // Audio thread: takes the pending list under the processing lock (swaps a pointer).
    void takePending(CAudioParamChangeList& into) noexcept;
    // Audio thread: applies a taken list in order to the audio-side storages.
    static void applyPendingChanges(const CAudioParamChangeList& list) noexcept;
    // The number of queued nodes (tests and diagnostics).
    int pendingCount();

    // --- update nesting and deferred calls ---
    enum : int { kLockHolderUpdate = 0, kRegistryUpdate = 1 };
    void beginUpdate(int kind);
    // Leaves an update; when the outermost update of both kinds ends on the main thread, runs the
    // deferred calls.
    void endUpdate(int kind);
    // Posts a call (any thread, no allocation). A list that is full drops the call on any thread
    // but the main thread, which grows the list instead; drops are logged by the next drain.
    void deferNotify(CAudioParamDeferred* target, int key, double value);
    // The thread that runs deferred calls (the host's main thread). Until one is set, the thread
    // that ends the outermost update runs them.
    void setMainThread(std::thread::id id) noexcept { mMainThread.store(id); }
    bool isMainThread() const noexcept;
    // Main thread: runs the waiting deferred calls when no update is open. Returns how many ran.
    int runDeferredCalls();
    // Main thread: makes room for at least count waiting calls.
    void reserveDeferred(int count);
    int deferredCount();
    int deferredCapacity();
    // Drops every waiting call of a target (its owner is going away).
    void cancelDeferred(CAudioParamDeferred* target);
    static constexpr int kDeferredReserve = 256;

    // --- watches ---
    CAudioParamWatch* allocWatch();
    void freeWatch(CAudioParamWatch* watch) noexcept;
    CSpinLock& watchLock() { return mWatchLock; }

private:
    struct CDeferred {
        CAudioParamDeferred* target = nullptr;
        int key = 0;
        double value = 0.0;
    };

    // Offers a parameter: to the enumerated registries until one claims it, else to every other
    // registry. Under mMutex.
    void offerParam(const CString& name, CAudioParam* param);
    void rebuildOfferOrder();  // under mMutex

    CRecursiveMutex mMutex;
    std::map<CString, std::unique_ptr<CAudioParam>> mParams;  // under mMutex
    bool mBound = false;                                      // under mMutex
    // Registries by the length of their hierarchy, longest first, each in registration order; a
    // length whose registries are gone keeps its empty entry.
    std::map<int, std::vector<CAudioParamRegistry*>, std::greater<int>> mRegistries;  // under mMutex
    std::vector<CAudioParamRegistry*> mOfferOrder;                                     // under mMutex

    CSpinLock mOwnProcessingLock;
    bool mOwnProcessing = false;
    CSpinLock* mProcessingLock = &mOwnProcessingLock;
    const bool* mProcessing = &mOwnProcessing;
    CAudioParamChangeList* mPending = nullptr;  // under *mProcessingLock

    CSpinLock mUpdateLock;
    int mRegistryCount = 0;     // under mUpdateLock
    int mLockHolderCount = 0;   // under mUpdateLock
    // The waiting deferred calls: a fixed array, grown on the main thread only.
    CDeferred* mDeferred = nullptr;   // under mUpdateLock
    int mDeferredCount = 0;           // under mUpdateLock
    int mDeferredCapacity = 0;        // under mUpdateLock
    std::atomic<int> mDeferredDropped{0};
    std::atomic<std::thread::id> mMainThread{};
    bool mIsDraining = false;         // under mUpdateLock: a thread is running a batch

    struct CRemap {
        CString replacement;
        int uses = 0;
    };
    // The name at the end of the remap chain from name; false when the chain is cut.
    bool resolveRemap(const CString& name, CString& out) const;  // under mMutex
    std::map<CString, CRemap> mRemaps;  // under mMutex

    std::vector<std::unique_ptr<CAudioParamSharedParam>> mSharedParams;  // main thread

    CSpinLock mWatchLock;
    CAudioParamWatch* mFreeWatches = nullptr;  // under mWatchLock
    CArray<CAudioParamWatch*> mWatchBlocks;    // under mWatchLock
};

} // namespace tal
