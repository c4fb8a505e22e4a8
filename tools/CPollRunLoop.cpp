#include "CPollRunLoop.h"

#include "Platform/CMonotonicClock.h"

#include <algorithm>
#include <poll.h>

namespace delmaro_tool {

using namespace Steinberg;

namespace {
std::uint64_t nowMs() { return tal::getMonotonicNanos() / 1000000u; }
} // namespace

CPollRunLoop::~CPollRunLoop() {
    for (const Timer& t : mTimers)
        t.handler->release();
    for (const Fd& f : mFds)
        f.handler->release();
}

bool CPollRunLoop::hasFd(Linux::IEventHandler* handler) const {
    return std::any_of(mFds.begin(), mFds.end(), [handler](const Fd& f) { return f.handler == handler; });
}

bool CPollRunLoop::hasTimer(Linux::ITimerHandler* handler) const {
    return std::any_of(mTimers.begin(), mTimers.end(), [handler](const Timer& t) { return t.handler == handler; });
}

tresult PLUGIN_API CPollRunLoop::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) {
    if (handler == nullptr || fd < 0 || hasFd(handler))
        return kInvalidArgument;
    handler->addRef();
    mFds.push_back(Fd{handler, fd});
    return kResultTrue;
}

tresult PLUGIN_API CPollRunLoop::unregisterEventHandler(Linux::IEventHandler* handler) {
    const auto it = std::find_if(mFds.begin(), mFds.end(), [handler](const Fd& f) { return f.handler == handler; });
    if (it == mFds.end())
        return kInvalidArgument;
    mFds.erase(it);
    handler->release();
    return kResultTrue;
}

tresult PLUGIN_API CPollRunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds) {
    if (handler == nullptr || milliseconds == 0 || hasTimer(handler))
        return kInvalidArgument;
    handler->addRef();
    mTimers.push_back(Timer{handler, milliseconds, nowMs() + milliseconds});
    return kResultTrue;
}

tresult PLUGIN_API CPollRunLoop::unregisterTimer(Linux::ITimerHandler* handler) {
    const auto it =
        std::find_if(mTimers.begin(), mTimers.end(), [handler](const Timer& t) { return t.handler == handler; });
    if (it == mTimers.end())
        return kInvalidArgument;
    mTimers.erase(it);
    handler->release();
    return kResultTrue;
}

tresult PLUGIN_API CPollRunLoop::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<Linux::IRunLoop*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

void CPollRunLoop::runFor(int milliseconds) {
    const std::uint64_t end = nowMs() + std::uint64_t(std::max(0, milliseconds));
    for (;;) {
        std::uint64_t now = nowMs();
        std::uint64_t wakeAt = end;
        for (const Timer& t : mTimers)
            wakeAt = std::min(wakeAt, t.dueMs);
        std::vector<Fd> fds = mFds;
        std::vector<pollfd> polled;
        for (const Fd& f : fds)
            polled.push_back(pollfd{f.fd, POLLIN, 0});
        poll(polled.data(), polled.size(), wakeAt > now ? int(wakeAt - now) : 0);
        for (std::size_t i = 0; i < fds.size(); ++i)
            if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) && hasFd(fds[i].handler)) {
                fds[i].handler->addRef();
                fds[i].handler->onFDIsSet(fds[i].fd);
                fds[i].handler->release();
            }
        now = nowMs();
        std::vector<Timer> due;
        for (Timer& t : mTimers)
            if (t.dueMs <= now) {
                due.push_back(t);
                t.dueMs = now + t.intervalMs;
            }
        for (const Timer& t : due)
            if (hasTimer(t.handler)) {
                t.handler->addRef();
                t.handler->onTimer();
                t.handler->release();
            }
        if (nowMs() >= end)
            return;
    }
}

} // namespace delmaro_tool
