#pragma once
#include "Platform/CMainLoopTimers.h"

#include "pluginterfaces/gui/iplugview.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace tal {

// The main-loop timers on a host's Linux run loop (Steinberg::Linux::IRunLoop, obtained from the
// editor's IPlugFrame): each timer is one host timer, posted calls wake the loop through an eventfd
// registered as an event handler, and other file descriptors (an X connection, a subprocess's
// pipe) can be watched through the same loop.
// Owned by whoever attached the editor; holds a reference on the run loop until it is destroyed,
// which unregisters everything it registered. Threads: the host's main thread, except postCall.
class CRunLoopMainLoopTimers final : public CMainLoopTimers {
public:
    using WatchId = std::uint64_t;                       // 0 is never a valid id
    using FdCallback = void (*)(int fd, void* userData);

    // --- life cycle (main thread) ---
    // Takes a reference on runLoop (may be null: then nothing can be installed) and registers the
    // eventfd for posted calls. isValid() tells whether that worked.
    explicit CRunLoopMainLoopTimers(Steinberg::Linux::IRunLoop* runLoop);
    ~CRunLoopMainLoopTimers() override;
    CRunLoopMainLoopTimers(const CRunLoopMainLoopTimers&) = delete;
    CRunLoopMainLoopTimers& operator=(const CRunLoopMainLoopTimers&) = delete;

    // --- CMainLoopTimers (main thread) ---
    // Host timers have millisecond intervals: delays and periods are rounded to whole milliseconds,
    // at least 1. Returns kStatusHostRefused when the run loop refuses the timer.
    int installTimer(double firstDelaySeconds, double periodSeconds, Callback callback, void* userData,
                     TimerId& id) override;
    void removeTimer(TimerId id) override;
    // Any thread. False when the eventfd could not be registered (see isValid).
    bool postCall(PostedCall call, void* context, std::int64_t value) override;

    // --- file descriptors (main thread) ---
    // Calls callback(fd, userData) from the loop whenever fd is readable, until unwatchFd. The fd is
    // not owned. Returns 0 when the run loop refuses it.
    WatchId watchFd(int fd, FdCallback callback, void* userData);
    // Ids that are 0 or not watched are ignored; safe inside any callback of this service.
    void unwatchFd(WatchId id);

    // --- queries ---
    static constexpr int kStatusHostRefused = -10;
    bool isValid() const noexcept { return mEventHandler != nullptr; }
    Steinberg::Linux::IRunLoop* runLoop() const noexcept { return mRunLoop; }   // not owned by callers
    int timerCount() const noexcept { return int(mTimers.size()); }
    int watchCount() const noexcept { return int(mWatches.size()); }
    // Posted calls not yet run (any thread).
    int postedCallCount() const;

private:
    class TimerHandler;
    class FdHandler;
    struct Timer {
        TimerHandler* handler = nullptr;   // one reference held here
        Callback callback = nullptr;
        void* userData = nullptr;          // not owned
        std::uint64_t periodMs = 1;
        bool firstCall = true;             // registered with the first delay, not yet the period
    };
    struct Watch {
        FdHandler* handler = nullptr;      // one reference held here
        FdCallback callback = nullptr;
        void* userData = nullptr;          // not owned
    };
    struct Posted {
        PostedCall call;
        void* context;
        std::int64_t value;
    };

    void onTimer(TimerId id);
    void onFd(WatchId id, int fd);
    static void drainPosted(int fd, void* self);
    // Handlers unregistered while the host may still be dispatching to them: released at the next
    // installation made outside any callback of this service, or at destruction.
    void retire(Steinberg::FUnknown* handler);
    void releaseRetired();

    Steinberg::Linux::IRunLoop* mRunLoop = nullptr;      // one reference held
    std::map<TimerId, Timer> mTimers;
    std::map<WatchId, Watch> mWatches;
    TimerId mNextTimerId = 1;
    WatchId mNextWatchId = 1;
    int mCallbackDepth = 0;
    std::vector<Steinberg::FUnknown*> mRetired;         // one reference each

    int mEventFd = -1;
    FdHandler* mEventHandler = nullptr;                  // the eventfd's handler; null when not registered
    mutable std::mutex mPostedMutex;
    std::vector<Posted> mPosted;                         // under mPostedMutex
};

} // namespace tal
