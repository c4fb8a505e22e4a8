#pragma once
#include "Platform/CMainLoopTimers.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace tal {

// A main-loop timer service that its owner drives by hand: tests step a manual clock with advance(),
// tools call pump() (or runFor()) on the monotonic clock. A timer is called once for every due time
// the loop reaches; when pump() runs late, the due times it missed coalesce into one call and the
// timer continues on its original grid, so a slow pump never produces a burst of calls.
// Owned by the test or tool that creates it; all calls on one thread, which acts as the main thread.
class CPumpedMainLoopTimers final : public CMainLoopTimers {
public:
    enum class Clock { Manual, Monotonic };

    // --- life cycle ---
    // A manual clock starts at 0 ns and moves only through advance(); a monotonic one reads the
    // system's raw monotonic clock.
    explicit CPumpedMainLoopTimers(Clock clock = Clock::Manual);
    ~CPumpedMainLoopTimers() override;

    // --- CMainLoopTimers ---
    int installTimer(double firstDelaySeconds, double periodSeconds, Callback callback, void* userData,
                     TimerId& id) override;
    void removeTimer(TimerId id) override;
    bool postCall(PostedCall call, void* context, std::int64_t value) override;   // any thread

    // --- driving the loop ---
    // Manual clock only: moves the clock forward by `seconds` (>= 0), calling every timer at each of
    // its due times in time order (ties in installation order). Returns the number of calls made.
    int advance(double seconds);
    // Manual clock only: moves the clock forward by `seconds` without calling anything, as when the
    // loop was busy elsewhere; the next pump() makes the calls that became due, once per timer.
    void skip(double seconds);
    // Runs the posted calls, then calls every timer that is due at the clock's current time once.
    // Returns the number of calls of both kinds.
    int pump();
    // Runs the calls posted before this call, in posting order; calls they post wait for the next
    // run. Returns the number of calls run.
    int runPostedCalls();
    // The number of posted calls not yet run (any thread).
    int postedCallCount() const;
    // Monotonic clock only: pumps for `seconds`, sleeping until the next due time in between.
    int runFor(double seconds);

    // --- queries ---
    std::uint64_t nowNanos() const noexcept;
    int timerCount() const noexcept { return int(mTimers.size()); }
    // The earliest due time of all timers in clock nanoseconds; UINT64_MAX when there is none.
    std::uint64_t nextDueNanos() const noexcept;

private:
    struct Timer {
        std::uint64_t startNanos = 0;      // clock time of installation
        double firstDelaySeconds = 0.0;
        double periodSeconds = 0.0;
        std::uint64_t nextIndex = 0;       // due time number: 0 is the first call
        Callback callback = nullptr;
        void* userData = nullptr;          // not owned
    };

    static std::uint64_t dueNanos(const Timer& t) noexcept;
    // The installed timer with the earliest due time at or before `limit`; 0 when none is due.
    TimerId earliestDue(std::uint64_t limit) const noexcept;
    // Calls the timer and moves it to its first due time after `now` (unless the callback removed it).
    void fire(TimerId id, std::uint64_t now);

    Clock mClock;
    std::uint64_t mManualNanos = 0;
    TimerId mNextId = 1;
    std::map<TimerId, Timer> mTimers;      // by id, so ties go in installation order

    struct Posted {
        PostedCall call;
        void* context;
        std::int64_t value;
    };
    mutable std::mutex mPostedMutex;
    std::vector<Posted> mPosted;           // under mPostedMutex
};

} // namespace tal
