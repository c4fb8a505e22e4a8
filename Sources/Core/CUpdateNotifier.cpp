#include "Core/CUpdateNotifier.h"

#include "Core/CPoolAllocated.h"
#include "Core/CUpdateListener.h"

#include <mutex>

namespace tal {

namespace {

constexpr int kStripes = 64;

struct CStripe {
    std::recursive_mutex mutex;
    CSortedMap<const CUpdateNotifier*, std::int32_t> live;
    // Notifiers between leaving the live set and having detached their listeners.
    CSortedMap<const CUpdateNotifier*, std::int32_t> dying;
};

CStripe* stripes() {
    static CStripe all[kStripes];
    return all;
}

CStripe& stripeFor(const CUpdateNotifier* notifier) { return stripes()[CUpdateNotifier::stripeOf(notifier)]; }

} // namespace

struct CUpdateNotifier::CState : CPoolAllocated {
    std::recursive_mutex mutex;
    int notifyDepth = 0;     // notifications running now (all on the thread that holds mutex)
    bool destroyed = false;  // the notifier went away inside one of them
};

int CUpdateNotifier::stripeOf(const void* notifier) noexcept {
    using u128 = unsigned __int128;
    const std::uint64_t x = std::uint64_t(reinterpret_cast<std::uintptr_t>(notifier)) ^ 0x01d2ee0ae40a48dcull;
    const u128 p = u128(x) * 0x4ef2e8526fea8bc8ull;
    const std::uint64_t b = std::uint64_t(p >> 64) + 0x4ef2e8526fea8bc9ull;
    const std::uint64_t a = std::uint64_t(p) ^ b;
    const u128 q = u128(a) * b;
    return int((std::uint64_t(q) ^ (b + std::uint64_t(q >> 64))) & (kStripes - 1));
}

CUpdateNotifier::Liveness CUpdateNotifier::lockAndCheckLive(const CUpdateNotifier* notifier) {
    CStripe& s = stripeFor(notifier);
    s.mutex.lock();
    return s.live.contains(notifier) ? kLive : s.dying.contains(notifier) ? kDying : kGone;
}

void CUpdateNotifier::unlockStripe(const CUpdateNotifier* notifier) { stripeFor(notifier).mutex.unlock(); }

CUpdateNotifier::CUpdateNotifier() : mState(new CState) {
    CStripe& s = stripeFor(this);
    std::lock_guard lock(s.mutex);
    s.live.findOrAdd(this);
}

CUpdateNotifier::~CUpdateNotifier() {
    // 1. Leave the live set: from here on nobody attaches, and nobody holding the stripe waits for
    //    this notifier's mutex. Listeners that want to leave meanwhile wait while it is dying.
    CStripe& s = stripeFor(this);
    {
        std::lock_guard lock(s.mutex);
        s.live.remove(this);
        s.dying.findOrAdd(this);
    }
    // 2. Wait for notifications running on other threads.
    CState* state = mState;
    state->mutex.lock();
    // 3. Detach every listener. None of them can be freed meanwhile: a listener that leaves waits
    //    while this notifier is dying. The stripe is not taken under this notifier's mutex.
    for (auto* n = mListeners.first(); n != nullptr; n = mListeners.next(n))
        for (CUpdateListener* l : n->value) l->mNotifier.store(nullptr, std::memory_order_release);
    mListeners.clear();
    // With the mutex held, a running notification can only be this thread's own (the notifier was
    // destroyed from one of its updates): it ends its loop and frees the state when it unwinds.
    const bool notifying = state->notifyDepth > 0;
    state->destroyed = notifying;
    state->mutex.unlock();
    if (!notifying) delete state;
    // 4. Let go of the listeners that wait for this notifier.
    std::lock_guard lock(s.mutex);
    s.dying.remove(this);
}

std::int64_t CUpdateNotifier::getListenerKey(std::intptr_t param) { return std::int64_t(param); }

void CUpdateNotifier::addListener(CUpdateListener* listener, std::int64_t key) {
    std::lock_guard lock(mState->mutex);
    CArray<CUpdateListener*>& set = mListeners.findOrAdd(key)->value;
    if (set.indexOf(listener) < 0) set.add(listener);
}

void CUpdateNotifier::removeListener(CUpdateListener* listener, std::int64_t key) {
    std::lock_guard lock(mState->mutex);
    auto* node = mListeners.find(key);
    if (node == nullptr) return;
    node->value.remove(listener);
    if (node->value.isEmpty()) mListeners.removeNode(node);
}

int CUpdateNotifier::listenerCount(std::int64_t key) {
    std::lock_guard lock(mState->mutex);
    auto* node = mListeners.find(key);
    return node != nullptr ? node->value.count() : 0;
}

void CUpdateNotifier::notifyUpdate(const CUpdateRecord* record) {
    const std::int64_t key = record != nullptr ? record->key : 0;
    CState* state = mState;
    state->mutex.lock();
    ++state->notifyDepth;
    auto* node = mListeners.find(key);
    if (node != nullptr) {
        // A copy to walk, checked against the live set before each call: an update may detach or
        // destroy listeners of this notifier on this thread.
        const CArray<CUpdateListener*> snapshot(node->value);
        for (CUpdateListener* l : snapshot) {
            node = mListeners.find(key);
            if (node == nullptr || node->value.indexOf(l) < 0) continue;
            l->update(record);
            if (state->destroyed) break;
        }
    }
    --state->notifyDepth;
    const bool freeState = state->destroyed && state->notifyDepth == 0;
    state->mutex.unlock();
    if (freeState) delete state;
}

} // namespace tal
