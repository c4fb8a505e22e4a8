#include "Platform/CPumpedMainLoopTimers.h"

#include "Platform/CMonotonicClock.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <time.h>
#include <utility>
#include <vector>

namespace tal {

CPumpedMainLoopTimers::CPumpedMainLoopTimers(Clock clock) : mClock(clock) {}

CPumpedMainLoopTimers::~CPumpedMainLoopTimers() {
    if (CMainLoopTimers::current() == this)
        CMainLoopTimers::setCurrent(nullptr);
}

int CPumpedMainLoopTimers::installTimer(double firstDelaySeconds, double periodSeconds, Callback callback,
                                        void* userData, TimerId& id) {
    id = 0;
    if (!(firstDelaySeconds >= 0.0) || !(periodSeconds > 0.0) || !std::isfinite(firstDelaySeconds) ||
        !std::isfinite(periodSeconds) || callback == nullptr)
        return kStatusBadPeriod;
    id = mNextId++;
    mTimers.emplace(id, Timer{nowNanos(), firstDelaySeconds, periodSeconds, 0, callback, userData});
    return kStatusOk;
}

void CPumpedMainLoopTimers::removeTimer(TimerId id) { mTimers.erase(id); }

std::uint64_t CPumpedMainLoopTimers::nowNanos() const noexcept {
    return mClock == Clock::Manual ? mManualNanos : getMonotonicNanos();
}

// Due times are computed from the start each time (not accumulated), so they never drift.
std::uint64_t CPumpedMainLoopTimers::dueNanos(const Timer& t) noexcept {
    const double offset = (t.firstDelaySeconds + double(t.nextIndex) * t.periodSeconds) * 1e9;
    if (offset >= 1.8e19)
        return std::numeric_limits<std::uint64_t>::max();
    return t.startNanos + std::uint64_t(std::llround(offset));
}

std::uint64_t CPumpedMainLoopTimers::nextDueNanos() const noexcept {
    std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
    for (const auto& [id, t] : mTimers)
        best = std::min(best, dueNanos(t));
    return best;
}

CMainLoopTimers::TimerId CPumpedMainLoopTimers::earliestDue(std::uint64_t limit) const noexcept {
    TimerId bestId = 0;
    std::uint64_t best = 0;
    for (const auto& [id, t] : mTimers) {
        const std::uint64_t due = dueNanos(t);
        if (due <= limit && (bestId == 0 || due < best)) {
            bestId = id;
            best = due;
        }
    }
    return bestId;
}

void CPumpedMainLoopTimers::fire(TimerId id, std::uint64_t now) {
    auto it = mTimers.find(id);
    const Callback callback = it->second.callback;
    void* userData = it->second.userData;
    callback(id, userData);
    it = mTimers.find(id);                 // the callback may have removed it or installed others
    if (it == mTimers.end())
        return;
    Timer& t = it->second;
    ++t.nextIndex;
    if (dueNanos(t) <= now) {              // late pump: skip the missed due times
        const double elapsed = double(now - t.startNanos) * 1e-9 - t.firstDelaySeconds;
        t.nextIndex = std::uint64_t(std::floor(elapsed / t.periodSeconds)) + 1;
        while (dueNanos(t) <= now)
            ++t.nextIndex;
    }
}

int CPumpedMainLoopTimers::advance(double seconds) {
    assert(mClock == Clock::Manual);
    if (mClock != Clock::Manual || !(seconds >= 0.0))
        return 0;
    const std::uint64_t target = mManualNanos + std::uint64_t(std::llround(seconds * 1e9));
    int calls = 0;
    while (TimerId id = earliestDue(target)) {
        mManualNanos = std::max(mManualNanos, dueNanos(mTimers.at(id)));
        fire(id, mManualNanos);
        ++calls;
    }
    mManualNanos = target;
    return calls;
}

void CPumpedMainLoopTimers::skip(double seconds) {
    assert(mClock == Clock::Manual);
    if (mClock == Clock::Manual && seconds >= 0.0)
        mManualNanos += std::uint64_t(std::llround(seconds * 1e9));
}

bool CPumpedMainLoopTimers::postCall(PostedCall call, void* context, std::int64_t value) {
    if (call == nullptr)
        return false;
    std::lock_guard lock(mPostedMutex);
    mPosted.push_back(Posted{call, context, value});
    return true;
}

int CPumpedMainLoopTimers::postedCallCount() const {
    std::lock_guard lock(mPostedMutex);
    return int(mPosted.size());
}

int CPumpedMainLoopTimers::runPostedCalls() {
    std::vector<Posted> batch;
    {
        std::lock_guard lock(mPostedMutex);
        batch.swap(mPosted);
    }
    for (const Posted& p : batch)
        p.call(p.context, p.value);
    return int(batch.size());
}

int CPumpedMainLoopTimers::pump() {
    const int posted = runPostedCalls();
    const std::uint64_t now = nowNanos();
    // Each timer due now is called once, earliest first; timers installed by a callback wait for the
    // next pump.
    std::vector<std::pair<std::uint64_t, TimerId>> due;
    for (const auto& [id, t] : mTimers)
        if (dueNanos(t) <= now)
            due.emplace_back(dueNanos(t), id);
    std::sort(due.begin(), due.end());
    int calls = 0;
    for (const auto& [dueAt, id] : due) {
        const auto it = mTimers.find(id);
        if (it != mTimers.end() && dueNanos(it->second) <= now) {
            fire(id, now);
            ++calls;
        }
    }
    return posted + calls;
}

int CPumpedMainLoopTimers::runFor(double seconds) {
    assert(mClock == Clock::Monotonic);
    if (mClock != Clock::Monotonic || !(seconds >= 0.0))
        return 0;
    const std::uint64_t end = nowNanos() + std::uint64_t(std::llround(seconds * 1e9));
    int calls = 0;
    for (;;) {
        calls += pump();
        const std::uint64_t now = nowNanos();
        if (now >= end)
            return calls;
        const std::uint64_t wakeAt = std::min(end, nextDueNanos());
        if (wakeAt > now) {
            const std::uint64_t wait = wakeAt - now;
            timespec ts{time_t(wait / 1000000000u), long(wait % 1000000000u)};
            nanosleep(&ts, nullptr);
        }
    }
}

} // namespace tal
