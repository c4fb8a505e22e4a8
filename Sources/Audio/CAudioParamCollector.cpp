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

namespace tal {

namespace {
constexpr int kWatchBlock = 256;
}

CAudioParamCollector::CAudioParamCollector() = default;

CAudioParamCollector::~CAudioParamCollector() {
    mSharedParams.clear();
    delete mDeferred;
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
    for (;;) {
        CArray<CDeferred>* calls = nullptr;
        {
            CSpinLockGuard guard(mUpdateLock);
            const int r = mRegistryCount - kind;
            const int h = mLockHolderCount - (1 - kind);
            if (r > 0 || h > 0 || mDeferred == nullptr) {
                mRegistryCount = r;
                mLockHolderCount = h;
                return;
            }
            calls = mDeferred;
            mDeferred = nullptr;
        }
        for (const CDeferred& call : *calls)
            call.target->onDeferred(call.key, call.value);
        delete calls;
    }
}

void CAudioParamCollector::deferNotify(CAudioParamDeferred* target, int key, double value) {
    CSpinLockGuard guard(mUpdateLock);
    if (mDeferred == nullptr)
        mDeferred = new CArray<CDeferred>;
    mDeferred->add(CDeferred{target, key, value});
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
