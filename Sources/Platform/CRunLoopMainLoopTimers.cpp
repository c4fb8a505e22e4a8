#include "Platform/CRunLoopMainLoopTimers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tal {

using namespace Steinberg;
using Steinberg::Linux::IEventHandler;
using Steinberg::Linux::ITimerHandler;

namespace {

// Reference counting and interface lookup shared by the two handler kinds; the host may keep its
// own references, so a handler lives until the last one goes.
template <class Interface>
class CRefCountedHandler : public Interface {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknownPrivate::iidEqual(iid, Interface::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            this->addRef();
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++mRefs; }
    uint32 PLUGIN_API release() override {
        const uint32 left = --mRefs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~CRefCountedHandler() = default;

private:
    std::atomic<uint32> mRefs{1};
};

std::uint64_t toMilliseconds(double seconds) {
    const double ms = std::round(seconds * 1000.0);
    return ms < 1.0 ? 1u : std::uint64_t(std::min(ms, 1e12));
}

} // namespace

// Forwards the host's timer calls to the service until the service lets it go (owner null).
class CRunLoopMainLoopTimers::TimerHandler final : public CRefCountedHandler<ITimerHandler> {
public:
    TimerHandler(CRunLoopMainLoopTimers* owner, TimerId id) : mOwner(owner), mId(id) {}
    void PLUGIN_API onTimer() override {
        if (mOwner)
            mOwner->onTimer(mId);
    }
    CRunLoopMainLoopTimers* mOwner;      // not owned; cleared when the timer is removed
    TimerId mId;
};

// Forwards the host's readiness calls for one file descriptor; id 0 is the posted-call eventfd.
class CRunLoopMainLoopTimers::FdHandler final : public CRefCountedHandler<IEventHandler> {
public:
    FdHandler(CRunLoopMainLoopTimers* owner, WatchId id) : mOwner(owner), mId(id) {}
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor fd) override {
        if (mOwner)
            mOwner->onFd(mId, fd);
    }
    CRunLoopMainLoopTimers* mOwner;      // not owned; cleared when the watch ends
    WatchId mId;
};

CRunLoopMainLoopTimers::CRunLoopMainLoopTimers(Linux::IRunLoop* runLoop) : mRunLoop(runLoop) {
    if (!mRunLoop)
        return;
    mRunLoop->addRef();
    mEventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (mEventFd < 0)
        return;
    auto* handler = new FdHandler(this, 0);
    if (mRunLoop->registerEventHandler(handler, mEventFd) == kResultOk) {
        mEventHandler = handler;
    } else {
        handler->mOwner = nullptr;
        handler->release();
    }
}

CRunLoopMainLoopTimers::~CRunLoopMainLoopTimers() {
    if (CMainLoopTimers::current() == this)
        CMainLoopTimers::setCurrent(nullptr);
    while (!mTimers.empty())
        removeTimer(mTimers.begin()->first);
    while (!mWatches.empty())
        unwatchFd(mWatches.begin()->first);
    if (mEventHandler) {
        mRunLoop->unregisterEventHandler(mEventHandler);
        mEventHandler->mOwner = nullptr;
        mEventHandler->release();
        mEventHandler = nullptr;
    }
    mCallbackDepth = 0;
    releaseRetired();
    if (mEventFd >= 0)
        close(mEventFd);
    if (mRunLoop)
        mRunLoop->release();
}

int CRunLoopMainLoopTimers::installTimer(double firstDelaySeconds, double periodSeconds, Callback callback,
                                         void* userData, TimerId& id) {
    id = 0;
    if (!(firstDelaySeconds >= 0.0) || !(periodSeconds > 0.0) || !std::isfinite(firstDelaySeconds) ||
        !std::isfinite(periodSeconds) || callback == nullptr)
        return kStatusBadPeriod;
    if (!mRunLoop)
        return kStatusHostRefused;
    releaseRetired();
    const TimerId newId = mNextTimerId++;
    Timer timer;
    timer.handler = new TimerHandler(this, newId);
    timer.callback = callback;
    timer.userData = userData;
    timer.periodMs = toMilliseconds(periodSeconds);
    const std::uint64_t firstMs = toMilliseconds(firstDelaySeconds);
    // A first delay equal to the period needs no second registration.
    timer.firstCall = firstMs != timer.periodMs;
    if (mRunLoop->registerTimer(timer.handler, firstMs) != kResultOk) {
        timer.handler->mOwner = nullptr;
        timer.handler->release();
        return kStatusHostRefused;
    }
    mTimers.emplace(newId, timer);
    id = newId;
    return kStatusOk;
}

void CRunLoopMainLoopTimers::removeTimer(TimerId id) {
    const auto it = mTimers.find(id);
    if (it == mTimers.end())
        return;
    TimerHandler* handler = it->second.handler;
    mTimers.erase(it);
    mRunLoop->unregisterTimer(handler);
    handler->mOwner = nullptr;
    retire(handler);
}

void CRunLoopMainLoopTimers::onTimer(TimerId id) {
    auto it = mTimers.find(id);
    if (it == mTimers.end())
        return;
    if (it->second.firstCall) {
        // From now on at the period: the host's timer is registered again with it.
        Timer& t = it->second;
        t.firstCall = false;
        mRunLoop->unregisterTimer(t.handler);
        if (mRunLoop->registerTimer(t.handler, t.periodMs) != kResultOk) {
            // Still called once now; the timer cannot go on.
            const Callback callback = t.callback;
            void* userData = t.userData;
            t.handler->mOwner = nullptr;
            retire(t.handler);
            mTimers.erase(it);
            ++mCallbackDepth;
            callback(id, userData);
            --mCallbackDepth;
            return;
        }
    }
    const Callback callback = it->second.callback;
    void* userData = it->second.userData;
    ++mCallbackDepth;
    callback(id, userData);
    --mCallbackDepth;
}

CRunLoopMainLoopTimers::WatchId CRunLoopMainLoopTimers::watchFd(int fd, FdCallback callback, void* userData) {
    if (!mRunLoop || fd < 0 || callback == nullptr)
        return 0;
    releaseRetired();
    const WatchId id = mNextWatchId++;
    auto* handler = new FdHandler(this, id);
    if (mRunLoop->registerEventHandler(handler, fd) != kResultOk) {
        handler->mOwner = nullptr;
        handler->release();
        return 0;
    }
    mWatches.emplace(id, Watch{handler, callback, userData});
    return id;
}

void CRunLoopMainLoopTimers::unwatchFd(WatchId id) {
    const auto it = mWatches.find(id);
    if (it == mWatches.end())
        return;
    FdHandler* handler = it->second.handler;
    mWatches.erase(it);
    mRunLoop->unregisterEventHandler(handler);
    handler->mOwner = nullptr;
    retire(handler);
}

void CRunLoopMainLoopTimers::onFd(WatchId id, int fd) {
    if (id == 0) {
        drainPosted(fd, this);
        return;
    }
    const auto it = mWatches.find(id);
    if (it == mWatches.end())
        return;
    const FdCallback callback = it->second.callback;
    void* userData = it->second.userData;
    ++mCallbackDepth;
    callback(fd, userData);
    --mCallbackDepth;
}

bool CRunLoopMainLoopTimers::postCall(PostedCall call, void* context, std::int64_t value) {
    if (call == nullptr || mEventHandler == nullptr)
        return false;
    {
        std::lock_guard lock(mPostedMutex);
        mPosted.push_back(Posted{call, context, value});
    }
    const std::uint64_t one = 1;
    // A full counter (never in practice) still leaves the fd readable, so the call is not lost.
    [[maybe_unused]] const ssize_t written = write(mEventFd, &one, sizeof one);
    return true;
}

int CRunLoopMainLoopTimers::postedCallCount() const {
    std::lock_guard lock(mPostedMutex);
    return int(mPosted.size());
}

void CRunLoopMainLoopTimers::drainPosted(int, void* selfPtr) {
    auto* self = static_cast<CRunLoopMainLoopTimers*>(selfPtr);
    std::uint64_t count = 0;
    // Read the counter before taking the batch: a call posted after the swap writes again and
    // makes the fd readable for the next turn.
    [[maybe_unused]] const ssize_t got = read(self->mEventFd, &count, sizeof count);
    std::vector<Posted> batch;
    {
        std::lock_guard lock(self->mPostedMutex);
        batch.swap(self->mPosted);
    }
    ++self->mCallbackDepth;
    for (const Posted& p : batch)
        p.call(p.context, p.value);
    --self->mCallbackDepth;
}

void CRunLoopMainLoopTimers::retire(FUnknown* handler) { mRetired.push_back(handler); }

void CRunLoopMainLoopTimers::releaseRetired() {
    if (mCallbackDepth > 0)
        return;
    std::vector<FUnknown*> retired;
    retired.swap(mRetired);
    for (FUnknown* handler : retired)
        handler->release();
}

} // namespace tal
