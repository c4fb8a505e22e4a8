#include "Audio/Viz/CAudioVizCollector.h"

#include "Core/CMemPool.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Viz/CAudioVizData.h"
#include "Audio/Viz/CAudioVizSlotManager.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/COutputStream.h"
#include "Core/CWriteSeqBuffer.h"

#include <cmath>

namespace tal {

CAudioVizCollector::~CAudioVizCollector() {
    closeNotifier();
    detachExportListeners();
    deleteFrames(mFrames);
    while (mSpareFrames != nullptr) {
        CFrameMap* next = mSpareFrames->nextSpare;
        deleteFrames(mSpareFrames);
        mSpareFrames = next;
    }
    delete mPending;
    delete mPendingSlotRequests;
}

CError* CAudioVizCollector::init() {
    if (CError* err = CObject::init())
        return traceError(err, getFullName());
    const CAudioParamDef* enableDef = nullptr;
    if (CError* err = findObjectChecked(enableDef, CString("shared::audio.param-enable-viz")))
        return traceError(err, getFullName());
    mEnableInfo = &enableDef->getInfo();
    if (CError* err = findObjectByAttr(mEnv, CString("env"), true))
        return traceError(err, getFullName());
    if (CError* err = findObjectByAttr(mParams, CString("param-collector"), true))
        return traceError(err, getFullName());
    if (!getTextAttr("export-slot-param").isEmpty())
        setupExport();
    return nullptr;
}

void CAudioVizCollector::setContext(CAudioEnv* env, CAudioParamCollector* params,
                                    const CAudioParamInfo* enableInfo) noexcept {
    mEnv = env;
    mParams = params;
    mEnableInfo = enableInfo;
}

CAudioVizItem* CAudioVizCollector::getVizItem(const CString& name) {
    CSpinLockGuard guard(mItemLock);
    bool added = false;
    auto* node = mItems.findOrAdd(name, &added);
    CAudioVizItem& item = node->value;
    if (added)
        item.index = mItems.count() - 1;
    if (item.collector == nullptr) {
        item.collector = this;
        item.name = &node->key;
    }
    return &item;
}

void CAudioVizCollector::queueItemRequest(CAudioVizItem* item, std::int32_t delta) {
    // Look the "-enable" parameter up here, on the main thread, so that the audio thread finds it
    // without touching the parameter collector's name map. The request below publishes it.
    if (item->enableParam == nullptr && mParams != nullptr)
        item->enableParam = mParams->acquireParam(CString(*item->name, "-enable"));
    if (delta > 0)
        prepareFrameMaps(item);
    // The list and its growth come from the pool allocator, so the lock stays short.
    CSpinLockGuard guard(mEnv->processingLock);
    if (mPending == nullptr)
        mPending = new CRequestList;
    for (CAudioVizItemRequest& entry : mPending->entries) {
        if (entry.item == item) {
            entry.delta += delta;
            return;
        }
    }
    mPending->entries.add({item, delta});
}

void CAudioVizCollector::prepareFrameMaps(const CAudioVizItem* item) {
    // The spares are taken out, completed without the lock and put back.
    CFrameMap* spares = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        spares = mSpareFrames;
        mSpareFrames = nullptr;
    }
    int count = 0;
    for (CFrameMap* m = spares; m != nullptr; m = m->nextSpare)
        ++count;
    for (; count < kSpareFrameMaps; ++count) {
        auto* map = new CFrameMap;
        map->nextSpare = spares;
        spares = map;
    }
    CFrameMap* last = nullptr;
    for (CFrameMap* m = spares; m != nullptr; m = m->nextSpare) {
        auto* node = m->items.findOrAdd(item->index);
        node->value.item = const_cast<CAudioVizItem*>(item);
        node->value.frames.reserve(kMaxQueuedFrames);
        last = m;
    }
    CSpinLockGuard guard(mFrameLock);
    last->nextSpare = mSpareFrames;   // spares recycled meanwhile stay too
    mSpareFrames = spares;
}

void CAudioVizCollector::recycleFrames(CFrameMap* map) noexcept {
    if (map == nullptr)
        return;
    for (auto* node = map->items.first(); node != nullptr; node = map->items.next(node)) {
        for (CAudioVizData* frame : node->value.frames)
            delete frame;
        node->value.frames.clear();
    }
    {
        CSpinLockGuard guard(mFrameLock);
        int count = 0;
        for (CFrameMap* m = mSpareFrames; m != nullptr; m = m->nextSpare)
            ++count;
        if (count < kSpareFrameMaps) {
            map->nextSpare = mSpareFrames;
            mSpareFrames = map;
            map = nullptr;
        }
    }
    delete map;
}

CAudioVizCollector::CRequestList* CAudioVizCollector::takePendingRequestsLocked() noexcept {
    CRequestList* taken = mPending;
    mPending = nullptr;
    return taken;
}

void CAudioVizCollector::runHostBlockRequests() {
    CRequestList* taken = nullptr;
    bool exportChanged = false;
    {
        CSpinLockGuard guard(mEnv->processingLock);
        taken = takePendingRequestsLocked();
        if (mSlotManager != nullptr)
            exportChanged = takeExportParamsChangedLocked();
    }
    updateRequests(taken, exportChanged);
    delete taken;
}

bool CAudioVizCollector::takeExportParamsChangedLocked() noexcept {
    const bool changed = mExportParamsChanged;
    mExportParamsChanged = false;
    return changed;
}

void CAudioVizCollector::updateRequests(const CRequestList* pending, bool exportParamsChanged) {
    if (mSlotManager != nullptr) {
        if (mClaimRetryPending) {
            const std::int32_t version = mSlotManager->namesVersion();
            if (version != mNamesSeenByClaims)
                exportParamsChanged = true;
            mNamesSeenByClaims = version;
        }
        if (exportParamsChanged)
            updateExportSlots();
        if (mClaimCount > 0)
            updateExportRequests();
    }
    if (pending == nullptr)
        return;
    for (const CAudioVizItemRequest& entry : pending->entries)
        applyItemRequest(entry.item, entry.delta, -1);
}

void CAudioVizCollector::applyItemRequest(CAudioVizItem* item, std::int32_t delta, std::int32_t group) {
    // The item switches off whenever its total falls to 0, also when more removals arrive than
    // there were requests (the total is then held at 0): an item without requests must not keep
    // its producer running.
    const std::int32_t before = item->totalRequests;
    const bool switchesOn = delta >= 1 && before == 0;
    const bool switchesOff = delta < 0 && before > 0 && before + delta <= 0;
    item->totalRequests += delta;
    if (group >= 0 && group < CAudioVizItem::kGroups) {
        item->exportRequests += delta;
        item->exportRequestsPerGroup[group] += delta;
    }
    if (item->totalRequests < 0)
        item->totalRequests = 0;
    if (switchesOff) {
        // Take the item's frames out under the lock, chained through their link field, and delete
        // them after it.
        CAudioVizData* chain = nullptr;
        {
            CSpinLockGuard guard(mFrameLock);
            if (mFrames != nullptr) {
                if (auto* node = mFrames->items.find(item->index)) {
                    CArray<CAudioVizData*>& frames = node->value.frames;
                    for (int i = frames.count() - 1; i >= 0; --i) {
                        frames[i]->link = chain;
                        chain = frames[i];
                    }
                    frames.clear();
                    mFrames->items.removeNode(node);
                }
            }
        }
        deleteChain(chain);
    }
    if (switchesOn || switchesOff)
        setEnableParam(item, switchesOn);
}

CAudioParam* CAudioVizCollector::enableParamOf(CAudioVizItem* item) {
    if (item->enableParam == nullptr && mParams != nullptr)
        item->enableParam = mParams->acquireParam(CString(*item->name, "-enable"));
    return item->enableParam;
}

void CAudioVizCollector::setEnableParam(CAudioVizItem* item, bool on) {
    CAudioParam* param = enableParamOf(item);
    if (param == nullptr)
        return;
    CAudioParamLock lock(param);
    if (param->getInfo() == nullptr && mEnableInfo != nullptr)
        param->setInfo(mEnableInfo, &lock, CAudioParamContext{});
    param->setValue(0, this, &lock, on ? 1.0 : 0.0);
}

void CAudioVizCollector::postVizData(CAudioVizItem* item, CAudioVizData* frame) {
    // Export part: a frame of a group that owns a slot where importers want this item goes there
    // (a clone when this instance's editor wants it too). A frame of a group outside 0 to 7 has
    // no export slot and goes to the local queue only.
    const std::int32_t g = frame->group;
    if (mSlotManager != nullptr && g >= 0 && g < CAudioVizItem::kGroups && item->exportRequestsPerGroup[g] >= 1 &&
        mClaimed[g] != nullptr) {
        const bool onlyExport = item->totalRequests <= item->exportRequests;
        CAudioVizData* goes = onlyExport ? frame : CAudioVizData::clone(*frame);
        goes->exportSlot = mExportSlot[g];
        goes->time = 0.0;
        mSlotManager->pushFrame(mExportSlot[g], *item->name, goes, item->exportRequestsPerGroup[g], mEnv->runningTime);
        if (onlyExport)
            return;
    }
    if (item->totalRequests <= item->exportRequests) {
        delete frame;
        return;
    }
    frame->exportSlot = -1;
    frame->link = nullptr;
    CAudioVizData* dropped = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        if (mFrames == nullptr && mSpareFrames != nullptr) {
            mFrames = mSpareFrames;
            mSpareFrames = mFrames->nextSpare;
            mFrames->nextSpare = nullptr;
        }
        if (mFrames == nullptr)
            mFrames = new CFrameMap;   // only before any item was requested from the main thread
        auto* node = mFrames->items.findOrAdd(item->index);
        node->value.item = item;
        CArray<CAudioVizData*>& frames = node->value.frames;
        // A full queue drops its oldest frame. A list whose room the main thread reserved never
        // grows here; any other list grows only while it fits a block of the size classes.
        const bool atLargeGrowth =
            frames.count() == frames.capacity() &&
            std::uint64_t(CArray<CAudioVizData*>::growCapacity(frames.capacity())) * sizeof(void*) > kPoolMaxBlockSize;
        if (frames.count() >= kMaxQueuedFrames || atLargeGrowth) {
            dropped = frames[0];
            frames.removeAt(0);
        }
        frames.add(frame);
    }
    delete dropped;
}

bool CAudioVizCollector::dropOldestFrame(const CAudioVizItem* item) noexcept {
    CAudioVizData* dropped = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        if (mFrames != nullptr) {
            if (auto* node = mFrames->items.find(item->index); node != nullptr && !node->value.frames.isEmpty()) {
                dropped = node->value.frames[0];
                node->value.frames.removeAt(0);
            }
        }
    }
    delete dropped;
    return dropped != nullptr;
}

int CAudioVizCollector::queuedFrameCount(const CAudioVizItem* item) {
    CSpinLockGuard guard(mFrameLock);
    if (mFrames == nullptr)
        return 0;
    const auto* node = mFrames->items.find(item->index);
    return node == nullptr ? 0 : node->value.frames.count();
}

CError* CAudioVizCollector::writeVizItem(COutputStream& out, const CItemFrames& entry) {
    CError* err = out.write32(std::uint32_t(entry.frames.count()));
    if (err == nullptr) err = out.writeString(*entry.item->name);
    CWriteSeqBuffer scratch;
    for (int i = 0; err == nullptr && i < entry.frames.count(); ++i)
        err = entry.frames[i]->writeRecord(out, scratch);
    return traceError(err);
}

CError* CAudioVizCollector::writeVizData(COutputStream& out, double requestedFrameRate) {
    double vizTime = 0.0;
    {
        CSpinLockGuard guard(mEnv->processingLock);
        vizTime = mEnv->vizTime;
        if (std::isfinite(requestedFrameRate) && requestedFrameRate > 0.0)
            mEnv->requestedVizFrameRate = requestedFrameRate;
    }
    CFrameMap* taken = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        taken = mFrames;
        mFrames = nullptr;
    }
    CError* err = out.writeDouble(vizTime);
    if (taken != nullptr) {
        for (auto* node = taken->items.first(); err == nullptr && node != nullptr; node = taken->items.next(node)) {
            if (!node->value.frames.isEmpty())
                err = writeVizItem(out, node->value);
        }
    }
    recycleFrames(taken);
    bool namesChanged = false;
    if (err == nullptr && mSlotManager != nullptr) {
        std::lock_guard<CRecursiveMutex> guard(mWriteMutex);
        const std::int32_t version = mSlotManager->namesVersion();
        namesChanged = version != mNamesSeenByWriter;
        mNamesSeenByWriter = version;
        err = writeImportedFrames(out);
    }
    if (err == nullptr)
        err = out.write32(0);
    if (err == nullptr && namesChanged) {
        notifyUpdate(nullptr);
        if (mNamesListener != nullptr)
            mNamesListener->exportSlotNamesChanged(*this);
    }
    return traceError(err, getFullName());
}

void CAudioVizCollector::releaseExportSlots() {
    CFrameMap* taken = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        taken = mFrames;
        mFrames = nullptr;
    }
    recycleFrames(taken);
    if (mSlotManager == nullptr)
        return;
    for (int g = 0; g < CAudioVizItem::kGroups; ++g)
        if (mClaimed[g] != nullptr)
            mSlotManager->clearQueues(mExportSlot[g], mSlotManager->takeQueues(mExportSlot[g]));
}

void CAudioVizCollector::deleteFrames(CFrameMap* map) noexcept {
    if (map == nullptr)
        return;
    for (auto* node = map->items.first(); node != nullptr; node = map->items.next(node))
        for (CAudioVizData* frame : node->value.frames)
            delete frame;
    delete map;
}

void CAudioVizCollector::deleteChain(CAudioVizData* first) noexcept {
    while (first != nullptr) {
        CAudioVizData* next = first->link;
        delete first;
        first = next;
    }
}

} // namespace tal

// --- export slots ---

namespace tal {

namespace {

// Nearest integer, halves away from zero, held to the i32 range; NaN gives 0.
std::int32_t nearestInt(double x) noexcept {
    if (!(x == x))
        return 0;
    const double r = std::round(x);
    return r <= -2147483648.0 ? INT32_MIN : r >= 2147483647.0 ? INT32_MAX : std::int32_t(r);
}

} // namespace

void CAudioVizCollector::CExportParamListener::onParamChange(const CAudioParamUpdateInfo&) {
    if (mIsSlotParam) {
        CSpinLockGuard guard(mOwner->mEnv->processingLock);
        mOwner->mExportParamsChanged = true;
    }
    mOwner->mNamesRebuild.request();
}

void CAudioVizCollector::CNamesRebuild::request() {
    if (!mPending.exchange(true))
        mOwner->mParams->deferNotify(this, 0, 0.0);
}

void CAudioVizCollector::CNamesRebuild::onDeferred(int, double) {
    mPending.store(false);
    mOwner->rebuildSlotNames();
}

void CAudioVizCollector::setupExport() {
    CAudioVizSlotManager& manager = CAudioVizSlotManager::instance();
    mSlotManager = &manager;
    mInstanceId = manager.newInstanceId();
    mNamesSeenByWriter = -1;
    mNamesSeenByClaims = -1;
    const CString names[kExportParamCount] = {getTextAttr("export-slot-param"),
                                              CString("plugin.modMain.io-params.group-names"),
                                              CString("plugin.modMain.instance-name"),
                                              CString("plugin.modMain.host-track-name"),
                                              getTextAttr("export-opt-param1"),
                                              getTextAttr("export-opt-param2")};
    detachExportListeners();
    for (int i = 0; i < kExportParamCount; ++i) {
        if (names[i].isEmpty())
            continue;
        mExportParams[i] = mParams->acquireParam(names[i]);
        mExportListeners[i] = new CExportParamListener(this, i == kExportSlotParam);
        CAudioParamLock lock(mExportParams[i]);
        mExportParams[i]->addListener(mExportListeners[i]);
    }
    rebuildSlotNames();
}

void CAudioVizCollector::detachExportListeners() {
    for (int i = 0; i < kExportParamCount; ++i) {
        if (mExportListeners[i] == nullptr)
            continue;
        {
            CAudioParamLock lock(mExportParams[i]);
            mExportParams[i]->removeListener(mExportListeners[i]);
        }
        delete mExportListeners[i];
        mExportListeners[i] = nullptr;
    }
}

void CAudioVizCollector::releaseLinks() {
    detachExportListeners();
    if (mSlotManager != nullptr) {
        for (int g = 0; g < CAudioVizItem::kGroups; ++g) {
            if (mClaimed[g] != nullptr) {
                mSlotManager->releaseSlot(mExportSlot[g], mInstanceId);
                mClaimed[g] = nullptr;
            }
        }
        mClaimCount = 0;
        // An instance that goes away takes its slot names with it; otherwise other editors would
        // list a slot under the name of an instance that no longer exists.
        mSlotManager->setInstanceSlotNames(CSortedMap<std::int32_t, CString>(), mInstanceId);
    }
    CObject::releaseLinks();
}

double CAudioVizCollector::groupValue(CAudioParam* param, int group) {
    if (param == nullptr)
        return 0.0;
    CAudioParamLock lock(param);
    if (param->getInfo() == nullptr)
        return 0.0;
    const CAudioParamStorage& current = param->getCurrent();
    return current.getValue(group, 0, 0, current.getDefault(0, 0));
}

std::int32_t CAudioVizCollector::slotOfValue(double value) noexcept {
    const std::int32_t slot = nearestInt(value) - 1;
    return CAudioVizSlotManager::isValidSlot(slot) ? slot : -1;
}

void CAudioVizCollector::rebuildSlotNames() {
    if (mSlotManager == nullptr)
        return;
    std::int32_t slots[CAudioVizItem::kGroups];
    std::int32_t option1[CAudioVizItem::kGroups];
    std::int32_t option2[CAudioVizItem::kGroups];
    for (int g = 0; g < CAudioVizItem::kGroups; ++g) {
        slots[g] = slotOfValue(groupValue(mExportParams[kExportSlotParam], g));
        option1[g] = nearestInt(groupValue(mExportParams[kOption1], g));
        option2[g] = nearestInt(groupValue(mExportParams[kOption2], g));
    }
    CString instanceName;
    if (CAudioParam* p = mExportParams[kInstanceName]) {
        CAudioParamLock lock(p);
        instanceName = p->getString(0, 0);
    }
    if (instanceName.isEmpty()) {
        if (CAudioParam* p = mExportParams[kHostTrackName]) {
            CAudioParamLock lock(p);
            instanceName = p->getString(0, 0);
        }
        // The editor splits names at grave accents; a track name must not add pieces.
        for (int i = instanceName.findChar(0x60); i >= 0; i = instanceName.findChar(0x60, i + 1))
            instanceName.replace(i, 1, CString("'"));
    }
    CSortedMap<std::int32_t, CString> names;
    for (int g = 0; g < CAudioVizItem::kGroups; ++g) {
        if (slots[g] == -1)
            continue;
        CString groupName;
        if (CAudioParam* p = mExportParams[kGroupNames]) {
            CAudioParamLock lock(p);
            groupName = p->getString(0, g);
        }
        CString text(slots[g] + 1);
        text.append(": ").append(instanceName).append(" (").append(groupName).append(")`opt1=");
        text.append(CString(option1[g])).append("`opt2=").append(CString(option2[g]));
        names.findOrAdd(slots[g])->value = text;
    }
    mSlotManager->setInstanceSlotNames(names, mInstanceId);
}

void CAudioVizCollector::updateExportSlots() {
    std::int32_t wanted[CAudioVizItem::kGroups];
    for (int g = 0; g < CAudioVizItem::kGroups; ++g)
        wanted[g] = slotOfValue(groupValue(mExportParams[kExportSlotParam], g));
    mClaimRetryPending = false;
    for (int g = 0; g < CAudioVizItem::kGroups; ++g) {
        if (wanted[g] == mExportSlot[g] && (mClaimed[g] != nullptr || mExportSlot[g] == -1))
            continue;
        if (CAudioVizSlot* slot = mClaimed[g]) {
            // Give the slot's requests back: the items they switched on switch off with the claim.
            --mClaimCount;
            if (slot->accumulated != nullptr)
                for (auto* node = slot->accumulated->counts.first(); node != nullptr; node = slot->accumulated->counts.next(node))
                    applyItemRequest(getVizItem(node->key), -node->value, g);
            mSlotManager->releaseSlot(mExportSlot[g], mInstanceId);
            mClaimed[g] = nullptr;
        }
        mExportSlot[g] = wanted[g];
        if (wanted[g] == -1)
            continue;
        CAudioVizSlot* slot = mSlotManager->claimSlot(wanted[g], mInstanceId);
        if (slot == nullptr) {
            mClaimRetryPending = true;
            continue;
        }
        mClaimed[g] = slot;
        ++mClaimCount;
        if (slot->accumulated != nullptr)
            for (auto* node = slot->accumulated->counts.first(); node != nullptr; node = slot->accumulated->counts.next(node))
                applyItemRequest(getVizItem(node->key), node->value, g);
    }
}

void CAudioVizCollector::updateExportRequests() {
    for (int g = 0; g < CAudioVizItem::kGroups; ++g) {
        CAudioVizSlot* slot = mClaimed[g];
        if (slot == nullptr)
            continue;
        const std::int32_t s = mExportSlot[g];
        mSlotManager->pruneQueues(s, mEnv->runningTime);
        CAudioVizRequestMap* taken = mSlotManager->takePendingRequests(s);
        if (taken == nullptr)
            continue;
        if (!taken->counts.isEmpty() && slot->accumulated == nullptr)
            slot->accumulated = new CAudioVizRequestMap;
        for (auto* node = taken->counts.first(); node != nullptr; node = taken->counts.next(node)) {
            bool added = false;
            auto* total = slot->accumulated->counts.findOrAdd(node->key, &added);
            total->value = added ? node->value : total->value + node->value;
            if (total->value == 0)
                slot->accumulated->counts.removeNode(total);
            CAudioVizItem* item = getVizItem(node->key);
            applyItemRequest(item, node->value, g);
            if (item->exportRequests == 0)
                mSlotManager->removeQueue(s, node->key);
        }
        delete taken;
    }
}

bool CAudioVizCollector::changeSlotRequest(std::int32_t slot, const CString& name, std::int32_t delta) {
    if (mSlotManager == nullptr || !CAudioVizSlotManager::isValidSlot(slot))
        return false;
    if (delta > 0)
        mSlotManager->addRequest(slot, name);
    else
        mSlotManager->removeRequest(slot, name);
    CSpinLockGuard guard(mSlotRequestLock);
    if (mPendingSlotRequests == nullptr)
        mPendingSlotRequests = new CSlotRequestMap;
    CSlotRequests& list = mPendingSlotRequests->names.findOrAdd(name)->value;
    for (CAudioVizSlotRequest& entry : list) {
        if (entry.slot == slot) {
            entry.count += delta;
            return true;
        }
    }
    list.add({slot, delta});
    return true;
}

CError* CAudioVizCollector::writeSlotFrame(COutputStream& out, const CString& name, const CAudioVizData& frame) {
    CError* err = out.write32(1);
    if (err == nullptr) err = out.writeString(name);
    CWriteSeqBuffer scratch;
    if (err == nullptr) err = frame.writeRecord(out, scratch);
    return traceError(err);
}

CError* CAudioVizCollector::writeImportedFrames(COutputStream& out) {
    CSlotRequestMap* taken = nullptr;
    {
        CSpinLockGuard guard(mSlotRequestLock);
        taken = mPendingSlotRequests;
        mPendingSlotRequests = nullptr;
    }
    if (taken != nullptr) {
        for (auto* node = taken->names.first(); node != nullptr; node = taken->names.next(node)) {
            CSlotRequests& current = mCurrentSlotRequests.findOrAdd(node->key)->value;
            for (const CAudioVizSlotRequest& change : node->value) {
                if (change.count == 0)
                    continue;
                int at = -1;
                for (int i = 0; i < current.count(); ++i)
                    if (current[i].slot == change.slot) at = i;
                if (at >= 0) {
                    current[at].count += change.count;
                    if (current[at].count <= 0)
                        current.removeAt(at);
                } else if (change.count > 0) {
                    current.add(change);
                }
            }
            if (current.isEmpty())
                mCurrentSlotRequests.remove(node->key);
        }
        delete taken;
    }
    CError* err = nullptr;
    for (auto* node = mCurrentSlotRequests.first(); err == nullptr && node != nullptr;
         node = mCurrentSlotRequests.next(node)) {
        for (const CAudioVizSlotRequest& request : node->value) {
            CArray<CAudioVizData*> frames;
            mSlotManager->readQueue(request.slot, node->key, mInstanceId, frames);
            // A failed write leaves a partial record: stop and report it rather than go on
            // writing records the reader can no longer find.
            for (int i = 0; err == nullptr && i < frames.count(); ++i)
                err = writeSlotFrame(out, node->key, *frames[i]);
            mSlotManager->releaseFrames(request.slot, frames);
        }
    }
    return traceError(err);
}

CError* CAudioVizCollector::writeExportSlotNames(COutputStream& out) {
    CError* err = mSlotManager != nullptr ? mSlotManager->writeSlotNames(out) : out.write32(0);
    return traceError(err, getFullName());
}

} // namespace tal
