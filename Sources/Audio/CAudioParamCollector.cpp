#include "Audio/CAudioParamCollector.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParamSharedParam.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioParamWatch.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/CObjectLookups.h"
#include "Core/Log.h"

#include <algorithm>
#include <new>
#include <string>

namespace tal {

namespace {
constexpr int kWatchBlock = 256;
}

CAudioParamCollector::CAudioParamCollector() { reserveDeferred(kDeferredReserve); }

CAudioParamCollector::~CAudioParamCollector() {
    mSharedParams.clear();
    delete[] mDeferred;
    mParams.clear();
    for (CAudioParamWatch* block : mWatchBlocks)
        poolFree(block);
    delete mPending;
}

CError* CAudioParamCollector::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    CAudioEnv* env = nullptr;
    if (CError* err = findObjectByAttr(env, CString("env"), true)) return traceError(err, getFullName());
    setProcessingState(&env->processingLock, &env->processing);
    return nullptr;
}

void CAudioParamCollector::setProcessingState(CSpinLock* lock, const bool* processing) {
    mProcessingLock = lock != nullptr ? lock : &mOwnProcessingLock;
    mProcessing = processing != nullptr ? processing : &mOwnProcessing;
}

CAudioParam* CAudioParamCollector::acquireParam(const CString& name) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    std::unique_ptr<CAudioParam>& slot = mParams[name];
    if (slot)
        return slot.get();
    slot = std::make_unique<CAudioParam>(this, name);
    CAudioParam* param = slot.get();
    if (mBound)
        offerParam(name, param);
    return param;
}

void CAudioParamCollector::offerParam(const CString& name, CAudioParam* param) {
    for (CAudioParamRegistry* registry : mOfferOrder)
        if (registry->isEnumerated() && registry->claimParam(name, param))
            return;
    // Several registries may own one parameter (a registry of a sub-hierarchy and the master).
    for (CAudioParamRegistry* registry : mOfferOrder)
        if (!registry->isEnumerated())
            (void)registry->claimParam(name, param);
}

void CAudioParamCollector::rebuildOfferOrder() {
    mOfferOrder.clear();
    for (const auto& [length, registries] : mRegistries)
        mOfferOrder.insert(mOfferOrder.end(), registries.begin(), registries.end());
}

void CAudioParamCollector::addRegistry(CAudioParamRegistry* registry) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    mRegistries[registry->getHierarchy().length()].push_back(registry);
    rebuildOfferOrder();
}

void CAudioParamCollector::removeRegistry(CAudioParamRegistry* registry) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    for (auto& [length, registries] : mRegistries) {
        auto it = std::find(registries.begin(), registries.end(), registry);
        if (it != registries.end()) {
            registries.erase(it);
            break;
        }
    }
    rebuildOfferOrder();
}

CAudioParamRegistry* CAudioParamCollector::findRegistry(const CString& name) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    for (CAudioParamRegistry* registry : mOfferOrder)
        if (compareStrings(registry->getFullName(), name) == 0)
            return registry;
    return nullptr;
}

std::vector<CAudioParamRegistry*> CAudioParamCollector::getRegistries() {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    return mOfferOrder;
}

void CAudioParamCollector::bindAllParams() {
    std::vector<CAudioParamRegistry*> registries;
    {
        std::lock_guard<CRecursiveMutex> guard(mMutex);
        if (mBound)
            return;
        mBound = true;
        for (const auto& [name, param] : mParams)
            offerParam(name, param.get());
        registries = mOfferOrder;
    }
    // Outside the collector lock: finishing takes registry and parameter locks, and a registry
    // applying a preset acquires parameters (the collector lock) under its own locks.
    for (CAudioParamRegistry* registry : registries)
        registry->finishBinding();
}

bool CAudioParamCollector::isBound() {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    return mBound;
}

CAudioParam* CAudioParamCollector::findParam(const CString& name) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    auto it = mParams.find(name);
    return it == mParams.end() ? nullptr : it->second.get();
}

CAudioParamSharedParam* CAudioParamCollector::addSharedParam(const CString& paramName, CAppData* scope,
                                                             const CString& dataName) {
    // One mirror per parameter: a second one would write the item twice per change and answer its
    // own writes, and two items could not both be followed.
    const CAudioParam* param = acquireParam(paramName);
    for (const std::unique_ptr<CAudioParamSharedParam>& shared : mSharedParams) {
        if (shared->getParam() != param) continue;
        if (shared->getScope() != scope || !(shared->getDataName() == dataName)) {
            CString line("Shared parameter ");
            line.append(paramName).append(" already mirrors ").append(shared->getDataName()).append("; ");
            line.append(dataName).append(" ignored");
            writeLog(line.narrowed().chars8(), true);
        }
        return shared.get();
    }
    mSharedParams.push_back(std::make_unique<CAudioParamSharedParam>(this));
    mSharedParams.back()->init(paramName, scope, dataName);
    return mSharedParams.back().get();
}

bool CAudioParamCollector::resolveRemap(const CString& name, CString& out) const {
    out = name;
    for (int hop = 0; hop <= kMaxRemapHops; ++hop) {
        auto it = mRemaps.find(out);
        if (it == mRemaps.end() || it->second.replacement == out)
            return true;
        out = it->second.replacement;
    }
    return false;
}

CAudioParam* CAudioParamCollector::acquireParamRemapped(const CString& name) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    CString target;
    if (!resolveRemap(name, target)) {
        CString line("Parameter remapping of '");
        line.append(name).append("' does not end; using '").append(target).append("'.");
        writeLog(line.narrowed().chars8(), true);
    }
    return acquireParam(target);
}

bool CAudioParamCollector::isParamRemapped(const CString& name) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    auto it = mRemaps.find(name);
    return it != mRemaps.end() && it->second.replacement != name;
}

bool CAudioParamCollector::addRemap(const CString& orig, const CString& replacement) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    auto it = mRemaps.find(orig);
    if (it != mRemaps.end()) {
        ++it->second.uses;
        return true;
    }
    // A replacement whose own chain leads back to orig would close a cycle.
    CString end;
    if (orig != replacement && (!resolveRemap(replacement, end) || end == orig)) {
        CString line("Parameter remapping '");
        line.append(orig).append("' to '").append(replacement).append("' would close a cycle; ignored.");
        writeLog(line.narrowed().chars8(), true);
        return false;
    }
    mRemaps[orig] = CRemap{replacement, 1};
    return true;
}

void CAudioParamCollector::removeRemap(const CString& orig) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    auto it = mRemaps.find(orig);
    if (it != mRemaps.end() && --it->second.uses <= 0)
        mRemaps.erase(it);
}

void CAudioParamCollector::postChange(CAudioParam* param, const CAudioParamChange& change, bool audioSide) {
    if (audioSide) {
        param->applyAudioSide(change);
        return;
    }
    // Allocate outside the spin lock: the audio thread may be waiting on it.
    CAudioParamChangeList::Node* node = CAudioParamChangeList::makeNode(param, change);
    bool merged = false;
    {
        CSpinLockGuard guard(*mProcessingLock);
        if (mPending == nullptr)
            mPending = new CAudioParamChangeList;
        if (!*mProcessing)
            merged = mPending->mergeChange(param, node->change);
        if (!merged)
            mPending->appendNode(node);
    }
    if (merged)
        delete node;
}

void CAudioParamCollector::queueChanges(CAudioParamChangeList& list) {
    CSpinLockGuard guard(*mProcessingLock);
    if (mPending == nullptr) {
        mPending = new CAudioParamChangeList;
        mPending->append(list);
    } else if (*mProcessing) {
        mPending->append(list);
    } else {
        mPending->appendMerging(list);
    }
}

void CAudioParamCollector::takePending(CAudioParamChangeList& into) noexcept {
    CSpinLockGuard guard(*mProcessingLock);
    if (mPending != nullptr)
        into.append(*mPending);  // moves the nodes; the emptied list stays for the producers
}

void CAudioParamCollector::applyPendingChanges(const CAudioParamChangeList& list) noexcept {
    for (CAudioParamChangeList::Node* n = list.head(); n != nullptr; n = n->next)
        n->param->applyAudioSide(n->change);
}

int CAudioParamCollector::pendingCount() {
    CSpinLockGuard guard(*mProcessingLock);
    return mPending != nullptr ? mPending->count() : 0;
}

void CAudioParamCollector::beginUpdate(int kind) {
    CSpinLockGuard guard(mUpdateLock);
    if (kind == kRegistryUpdate)
        ++mRegistryCount;
    else
        ++mLockHolderCount;
}

void CAudioParamCollector::endUpdate(int kind) {
    bool due = false;
    {
        CSpinLockGuard guard(mUpdateLock);
        mRegistryCount -= kind;
        mLockHolderCount -= 1 - kind;
        due = mRegistryCount <= 0 && mLockHolderCount <= 0 && mDeferredCount > 0;
    }
    if (due && isMainThread())
        runDeferredCalls();
}

bool CAudioParamCollector::isMainThread() const noexcept {
    const std::thread::id main = mMainThread.load();
    return main == std::thread::id() || main == std::this_thread::get_id();
}

int CAudioParamCollector::runDeferredCalls() {
    if (!isMainThread())
        return 0;
    if (const int dropped = mDeferredDropped.exchange(0)) {
        const std::string text = "Parameter notifications: " + std::to_string(dropped) +
                                 " deferred calls were dropped (the list was full).";
        writeLog(text.c_str(), true);
    }
    int ran = 0;
    for (;;) {
        // A batch from the front of the list, taken under the lock and run without it.
        constexpr int kBatch = 64;
        CDeferred batch[kBatch];
        int n = 0;
        {
            CSpinLockGuard guard(mUpdateLock);
            if (mRegistryCount > 0 || mLockHolderCount > 0 || mDeferredCount == 0 || mIsDraining)
                return ran;
            mIsDraining = true;
            n = std::min(mDeferredCount, kBatch);
            std::copy(mDeferred, mDeferred + n, batch);
            std::copy(mDeferred + n, mDeferred + mDeferredCount, mDeferred);
            mDeferredCount -= n;
        }
        for (int i = 0; i < n; ++i)
            batch[i].target->onDeferred(batch[i].key, batch[i].value);
        ran += n;
        CSpinLockGuard guard(mUpdateLock);
        mIsDraining = false;
    }
}

void CAudioParamCollector::deferNotify(CAudioParamDeferred* target, int key, double value) {
    for (;;) {
        int capacity = 0;
        {
            CSpinLockGuard guard(mUpdateLock);
            for (int i = 0; i < mDeferredCount; ++i) {
                if (mDeferred[i].target == target && mDeferred[i].key == key) {
                    mDeferred[i].value = value;
                    return;
                }
            }
            if (mDeferredCount < mDeferredCapacity) {
                mDeferred[mDeferredCount++] = CDeferred{target, key, value};
                return;
            }
            capacity = mDeferredCapacity;
        }
        // Only the main thread grows the list (or any thread while none is set: tools and tests
        // that run everything on one thread of their choice).
        if (!isMainThread()) {
            mDeferredDropped.fetch_add(1);
            return;
        }
        reserveDeferred(capacity * 2);
    }
}

void CAudioParamCollector::reserveDeferred(int count) {
    {
        CSpinLockGuard guard(mUpdateLock);
        if (count <= mDeferredCapacity)
            return;
    }
    CDeferred* grown = new CDeferred[count];
    {
        CSpinLockGuard guard(mUpdateLock);
        if (count > mDeferredCapacity) {
            std::copy(mDeferred, mDeferred + mDeferredCount, grown);
            std::swap(grown, mDeferred);
            mDeferredCapacity = count;
        }
    }
    delete[] grown;   // the old list, or the new one when another call grew it first
}

int CAudioParamCollector::deferredCount() {
    CSpinLockGuard guard(mUpdateLock);
    return mDeferredCount;
}

int CAudioParamCollector::deferredCapacity() {
    CSpinLockGuard guard(mUpdateLock);
    return mDeferredCapacity;
}

void CAudioParamCollector::cancelDeferred(CAudioParamDeferred* target) {
    CSpinLockGuard guard(mUpdateLock);
    CDeferred* end = std::remove_if(mDeferred, mDeferred + mDeferredCount,
                                    [target](const CDeferred& d) { return d.target == target; });
    mDeferredCount = int(end - mDeferred);
}

CAudioParamWatch* CAudioParamCollector::allocWatch() {
    // Under the watch lock (the caller holds it).
    if (mFreeWatches == nullptr) {
        auto* block = static_cast<CAudioParamWatch*>(poolAlloc(sizeof(CAudioParamWatch) * kWatchBlock));
        for (int i = 0; i < kWatchBlock; ++i) {
            CAudioParamWatch* w = new (block + i) CAudioParamWatch;
            w->next = mFreeWatches;
            mFreeWatches = w;
        }
        mWatchBlocks.add(block);
    }
    CAudioParamWatch* w = mFreeWatches;
    mFreeWatches = w->next;
    *w = CAudioParamWatch{};
    return w;
}

void CAudioParamCollector::freeWatch(CAudioParamWatch* watch) noexcept {
    watch->next = mFreeWatches;
    mFreeWatches = watch;
}

} // namespace tal
