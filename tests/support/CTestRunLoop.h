#pragma once
#include "pluginterfaces/gui/iplugview.h"

#include <algorithm>
#include <cstdint>
#include <poll.h>
#include <vector>

namespace tal {

// A host's Linux run loop for tests: a manual millisecond clock drives the registered timers, and
// dispatchFds polls the registered descriptors and calls the handlers of the readable ones. It keeps
// a reference on every registered handler as hosts do, counts the references taken on itself, and
// can refuse registrations. Lives on the test's stack; one thread.
class CTestRunLoop final : public Steinberg::Linux::IRunLoop {
public:
    struct TimerEntry {
        Steinberg::Linux::ITimerHandler* handler;
        std::uint64_t intervalMs;
        std::uint64_t nextDueMs;
    };
    struct FdEntry {
        Steinberg::Linux::IEventHandler* handler;
        int fd;
    };

    ~CTestRunLoop() {
        for (const TimerEntry& t : mTimers)
            t.handler->release();
        for (const FdEntry& f : mFds)
            f.handler->release();
    }

    // --- IRunLoop ---
    Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                       Steinberg::Linux::FileDescriptor fd) override {
        if (refuseFds || !handler || fd < 0 || findFd(handler) != mFds.end())
            return Steinberg::kInvalidArgument;
        handler->addRef();
        mFds.push_back(FdEntry{handler, fd});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override {
        const auto it = findFd(handler);
        if (it == mFds.end())
            return Steinberg::kInvalidArgument;
        mFds.erase(it);
        handler->release();
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval ms) override {
        if (refuseTimers || !handler || ms == 0 || findTimer(handler) != mTimers.end())
            return Steinberg::kInvalidArgument;
        handler->addRef();
        mTimers.push_back(TimerEntry{handler, ms, mNowMs + ms});
        ++registrations;
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override {
        const auto it = findTimer(handler);
        if (it == mTimers.end())
            return Steinberg::kInvalidArgument;
        mTimers.erase(it);
        handler->release();
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return Steinberg::uint32(++refs); }
    Steinberg::uint32 PLUGIN_API release() override { return Steinberg::uint32(--refs); }

    // --- driving ---
    // Moves the clock forward, calling each timer at every due time on the way, earliest first.
    // Returns the number of calls.
    int advance(std::uint64_t ms) {
        const std::uint64_t target = mNowMs + ms;
        int calls = 0;
        for (;;) {
            auto next = std::min_element(mTimers.begin(), mTimers.end(),
                                         [](const TimerEntry& a, const TimerEntry& b) { return a.nextDueMs < b.nextDueMs; });
            if (next == mTimers.end() || next->nextDueMs > target)
                break;
            mNowMs = next->nextDueMs;
            next->nextDueMs += next->intervalMs;
            Steinberg::Linux::ITimerHandler* handler = next->handler;
            handler->addRef();                 // the handler may be unregistered by its own call
            handler->onTimer();
            handler->release();
            ++calls;
        }
        mNowMs = target;
        return calls;
    }
    // Waits up to timeoutMs for any registered descriptor to become readable, then calls the
    // handler of each readable one that is still registered. Returns the number of calls.
    int dispatchFds(int timeoutMs) {
        std::vector<FdEntry> entries = mFds;
        std::vector<pollfd> fds;
        for (const FdEntry& e : entries)
            fds.push_back(pollfd{e.fd, POLLIN, 0});
        if (fds.empty() || poll(fds.data(), fds.size(), timeoutMs) <= 0)
            return 0;
        int calls = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || findFd(entries[i].handler) == mFds.end())
                continue;
            entries[i].handler->addRef();
            entries[i].handler->onFDIsSet(entries[i].fd);
            entries[i].handler->release();
            ++calls;
        }
        return calls;
    }

    // --- queries ---
    std::uint64_t nowMs() const { return mNowMs; }
    int timerCount() const { return int(mTimers.size()); }
    int fdCount() const { return int(mFds.size()); }
    const std::vector<TimerEntry>& timers() const { return mTimers; }
    const std::vector<FdEntry>& fdEntries() const { return mFds; }

    int refs = 0;                 // references taken on the loop and not yet given back
    int registrations = 0;        // timer registrations accepted so far
    bool refuseTimers = false;
    bool refuseFds = false;

private:
    std::vector<TimerEntry>::iterator findTimer(Steinberg::Linux::ITimerHandler* h) {
        return std::find_if(mTimers.begin(), mTimers.end(), [h](const TimerEntry& e) { return e.handler == h; });
    }
    std::vector<FdEntry>::iterator findFd(Steinberg::Linux::IEventHandler* h) {
        return std::find_if(mFds.begin(), mFds.end(), [h](const FdEntry& e) { return e.handler == h; });
    }

    std::uint64_t mNowMs = 0;
    std::vector<TimerEntry> mTimers;
    std::vector<FdEntry> mFds;
};

} // namespace tal
