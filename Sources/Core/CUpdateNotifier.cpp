#include "Core/CUpdateNotifier.h"

#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CSortedMap.h"
#include "Core/CUpdateListener.h"

#include <atomic>
#include <mutex>

namespace tal {

// The lock and listener sets of one notifier. Reference-counted: the notifier holds one reference,
// every running notification and every listener operation that found it in the registry hold one,
// so the sets stay valid for them even when the notifier object goes away meanwhile.
struct CUpdateNotifier::CState : CPoolAllocated {
    CRecursiveMutex mutex;
    // key -> listeners in attachment order. While a notification runs, removed listeners leave a
    // null in their slot, and the sets are compacted when the outermost notification ends.
    CSortedMap<std::int64_t, CArray<CUpdateListener*>> listeners;
    int notifyDepth = 0;        // under mutex
    bool hasHoles = false;      // under mutex: some set holds nulls
    // Set when the notifier starts to go away (under its stripe lock); attaching stops then.
    std::atomic<bool> closing{false};
    std::atomic<int> references{1};

    void retain() noexcept { references.fetch_add(1, std::memory_order_relaxed); }
    void release() noexcept {
        if (references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

    // --- under mutex ---
    void add(CUpdateListener* listener, std::int64_t key) {
        CArray<CUpdateListener*>& set = listeners.findOrAdd(key)->value;
        if (set.indexOf(listener) < 0) set.add(listener);
    }
    void remove(CUpdateListener* listener, std::int64_t key) {
        auto* node = listeners.find(key);
        if (node == nullptr) return;
        const int i = node->value.indexOf(listener);
        if (notifyDepth > 0) {
            // A loop may be walking this set: leave a hole, erase nothing yet.
            if (i >= 0) node->value[i] = nullptr;
            hasHoles = true;
            return;
        }
        if (i >= 0) node->value.removeAt(i);
        if (node->value.isEmpty()) listeners.removeNode(node);
    }
    void compact() {
        hasHoles = false;
        for (auto* node = listeners.first(); node != nullptr;) {
            auto* next = listeners.next(node);
            while (node->value.remove(nullptr)) {
            }
            if (node->value.isEmpty()) listeners.removeNode(node);
            node = next;
        }
    }
    bool count(const CUpdateListener* listener, std::int64_t key) const {
        const auto* node = listeners.find(key);
        return node != nullptr && node->value.indexOf(const_cast<CUpdateListener*>(listener)) >= 0;
    }
    int count(std::int64_t key) const {
        const auto* node = listeners.find(key);
        int n = 0;
        if (node != nullptr)
            for (CUpdateListener* l : node->value) n += l != nullptr ? 1 : 0;
        return n;
    }
};

namespace {
constexpr int kStripes = 64;
} // namespace

// One stripe of the registry of live notifiers: notifier address -> its state. A notifier is in
// its stripe from the end of its construction until it has detached its listeners; from the start
// of its destruction its state is marked closing. The stripe lock is a leaf: nothing waits for
// another lock while holding it, except a notifier's getListenerKey.
struct CUpdateNotifier::CStripe {
    CRecursiveMutex mutex;
    CSortedMap<const CUpdateNotifier*, CState*> members;
};

CUpdateNotifier::CStripe& CUpdateNotifier::stripeFor(const CUpdateNotifier* notifier) {
    static CStripe all[kStripes];
    return all[stripeOf(notifier)];
}

int CUpdateNotifier::stripeOf(const void* notifier) noexcept {
    using u128 = unsigned __int128;
    const std::uint64_t x = std::uint64_t(reinterpret_cast<std::uintptr_t>(notifier)) ^ 0x01d2ee0ae40a48dcull;
    const u128 p = u128(x) * 0x4ef2e8526fea8bc8ull;
    const std::uint64_t b = std::uint64_t(p >> 64) + 0x4ef2e8526fea8bc9ull;
    const std::uint64_t a = std::uint64_t(p) ^ b;
    const u128 q = u128(a) * b;
    return int((std::uint64_t(q) ^ (b + std::uint64_t(q >> 64))) & (kStripes - 1));
}

void CUpdateNotifier::initRegistry() { (void)stripeFor(nullptr); }

CUpdateNotifier::CUpdateNotifier() : mState(new CState) {
    CStripe& s = stripeFor(this);
    std::lock_guard lock(s.mutex);
    s.members.findOrAdd(this)->value = mState;
}

CUpdateNotifier::~CUpdateNotifier() {
    closeNotifier();
    mState->release();
}

void CUpdateNotifier::closeNotifier() {
    if (mClosed) return;
    mClosed = true;
    CStripe& s = stripeFor(this);
    CState* state = mState;
    // 1. Stop attaching. Listeners that leave now still find the state and take it out of the set
    //    under its lock, so the loop below never reaches a listener that has been freed.
    {
        std::lock_guard lock(s.mutex);
        state->closing.store(true, std::memory_order_release);
    }
    // 2. Wait for notifications on other threads, then detach every listener without calling it.
    //    A notification of this thread (the notifier is destroyed from one of its updates) sees
    //    closing and ends its loop.
    {
        std::lock_guard lock(state->mutex);
        for (auto* node = state->listeners.first(); node != nullptr; node = state->listeners.next(node))
            for (CUpdateListener* l : node->value)
                if (l != nullptr) l->mNotifier.store(nullptr, std::memory_order_release);
        state->listeners.clear();
        state->hasHoles = false;
    }
    // 3. Leave the registry; a notifier made later at this address enters it anew.
    std::lock_guard lock(s.mutex);
    auto* node = s.members.find(this);
    if (node != nullptr && node->value == state) s.members.removeNode(node);
}

std::int64_t CUpdateNotifier::getListenerKey(std::intptr_t param) { return std::int64_t(param); }

void CUpdateNotifier::addListener(CUpdateListener* listener, std::int64_t key) {
    std::lock_guard lock(mState->mutex);
    mState->add(listener, key);
}

void CUpdateNotifier::removeListener(CUpdateListener* listener, std::int64_t key) {
    std::lock_guard lock(mState->mutex);
    mState->remove(listener, key);
}

int CUpdateNotifier::listenerCount(std::int64_t key) {
    std::lock_guard lock(mState->mutex);
    return mState->count(key);
}

void CUpdateNotifier::notifyUpdate(const CUpdateRecord* record) {
    const std::int64_t key = record != nullptr ? record->key : 0;
    CState* state = mState;  // `this` may be destroyed by an update: only the state is used below
    state->retain();
    state->mutex.lock();
    ++state->notifyDepth;
    const auto* node = state->listeners.find(key);
    // Listeners attached during the loop go behind this count and wait for the next notification.
    const int n = node != nullptr ? node->value.count() : 0;
    for (int i = 0; i < n; ++i) {
        // Nodes are not erased while a notification runs, but the set may grow and move.
        CUpdateListener* l = state->listeners.find(key)->value[i];
        if (l == nullptr) continue;
        l->update(record);
        if (state->closing.load(std::memory_order_acquire)) break;
    }
    if (--state->notifyDepth == 0 && state->hasHoles) state->compact();
    state->mutex.unlock();
    state->release();
}

// --- the listener side ---

CUpdateNotifier::CState* CUpdateNotifier::findState(CUpdateNotifier* notifier, bool forAttach, std::intptr_t param,
                                                    std::int64_t& key) {
    CStripe& s = stripeFor(notifier);
    std::lock_guard lock(s.mutex);
    auto* node = s.members.find(notifier);
    if (node == nullptr) return nullptr;
    CState* state = node->value;
    if (forAttach) {
        if (state->closing.load(std::memory_order_acquire)) return nullptr;
        key = notifier->getListenerKey(param);
    }
    state->retain();
    return state;
}

bool CUpdateNotifier::leave(CUpdateListener* listener) {
    CUpdateNotifier* old = listener->mNotifier.load(std::memory_order_acquire);
    if (old == nullptr) return false;
    std::int64_t unused = 0;
    CState* state = findState(old, false, 0, unused);
    if (state == nullptr) return false;  // gone (it detached this listener first) or never live
    bool wasIn = false;
    {
        std::lock_guard lock(state->mutex);
        wasIn = state->count(listener, listener->mKey);
        state->remove(listener, listener->mKey);
    }
    state->release();
    return wasIn;
}

void CUpdateNotifier::join(CUpdateListener* listener, CUpdateNotifier* notifier, std::intptr_t param) {
    std::int64_t key = 0;
    CState* state = findState(notifier, true, param, key);
    if (state == nullptr) return;  // not live: only recorded
    listener->mKey = key;
    {
        std::lock_guard lock(state->mutex);
        if (!state->closing.load(std::memory_order_acquire)) state->add(listener, key);
    }
    state->release();
}

} // namespace tal
