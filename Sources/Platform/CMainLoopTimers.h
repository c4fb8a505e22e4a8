#pragma once
#include <cstdint>

namespace tal {

// The main loop's periodic timers: the one service through which framework objects get called back
// on the host's main thread at a steady rate. One implementation sits on the host's run loop (the
// editor installs it); CPumpedMainLoopTimers is the one that tests and tools drive themselves.
// The process has one current service, set and cleared by its owner; framework objects look it up
// when they install a timer. Threads: everything, callbacks included, on the main thread.
class CMainLoopTimers {
public:
    using TimerId = std::uint64_t;                               // 0 is never a valid id
    using Callback = void (*)(TimerId id, void* userData);

    // Status codes of installTimer; implementations may add their own negative codes.
    static constexpr int kStatusOk = 0;
    static constexpr int kStatusNoService = -1;                  // no current service (callers' convention)
    static constexpr int kStatusBadPeriod = -2;                  // delay below 0 or period not above 0

    CMainLoopTimers() = default;
    CMainLoopTimers(const CMainLoopTimers&) = delete;
    CMainLoopTimers& operator=(const CMainLoopTimers&) = delete;
    virtual ~CMainLoopTimers() = default;

    // --- main thread ---
    // Installs a repeating timer: the first call comes firstDelaySeconds from now, the next ones every
    // periodSeconds after it. Returns kStatusOk and the new id in `id`, or a non-zero status with `id` 0.
    // The callback and userData are not owned; they must stay valid until removeTimer.
    virtual int installTimer(double firstDelaySeconds, double periodSeconds, Callback callback, void* userData,
                             TimerId& id) = 0;
    // Removes a timer; ids that are 0 or not installed are ignored. Safe inside any timer's callback:
    // a removed timer is not called again.
    virtual void removeTimer(TimerId id) = 0;

    // --- any thread ---
    // A call that the loop makes once on the main thread, soon after it was posted; value travels
    // with it unchanged. Calls run in posting order.
    using PostedCall = void (*)(void* context, std::int64_t value);
    // Queues call(context, value) for the main thread and returns at once. Returns false, and never
    // makes the call, when this service cannot carry calls; the base carries none.
    virtual bool postCall(PostedCall call, void* context, std::int64_t value);

    // --- the process-wide current service (main thread) ---
    static CMainLoopTimers* current() noexcept;                  // not owned; null when none is set
    static void setCurrent(CMainLoopTimers* service) noexcept;   // not owned; null clears it
};

} // namespace tal
