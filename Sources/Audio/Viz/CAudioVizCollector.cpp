#include "Audio/Viz/CAudioVizCollector.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Viz/CAudioVizData.h"
#include "Core/CError.h"
#include "Core/COutputStream.h"
#include "Core/CWriteSeqBuffer.h"

#include <cmath>

namespace tal {

CAudioVizCollector::~CAudioVizCollector() {
    deleteFrames(mFrames);
    delete mPending;
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

CAudioVizCollector::CRequestList* CAudioVizCollector::takePendingRequestsLocked() noexcept {
    CRequestList* taken = mPending;
    mPending = nullptr;
    return taken;
}

void CAudioVizCollector::runHostBlockRequests() {
    CRequestList* taken = nullptr;
    {
        CSpinLockGuard guard(mEnv->processingLock);
        taken = takePendingRequestsLocked();
    }
    if (taken != nullptr) {
        updateRequests(taken);
        delete taken;
    }
}

void CAudioVizCollector::updateRequests(const CRequestList* pending) {
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
    // Export slots are not set up by this collector, so no request is an export request; frames of
    // a group outside 0 to 7 can never take part in export and go to the local queue only.
    if (item->totalRequests <= item->exportRequests) {
        delete frame;
        return;
    }
    frame->exportSlot = -1;
    frame->link = nullptr;
    CAudioVizData* dropped = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        if (mFrames == nullptr)
            mFrames = new CFrameMap;
        auto* node = mFrames->items.findOrAdd(item->index);
        node->value.item = item;
        CArray<CAudioVizData*>& frames = node->value.frames;
        if (frames.count() >= kMaxQueuedFrames) {
            dropped = frames[0];
            frames.removeAt(0);
        }
        frames.add(frame);
    }
    delete dropped;
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
    if (err == nullptr)
        err = out.write32(0);
    deleteFrames(taken);
    return traceError(err, getFullName());
}

void CAudioVizCollector::releaseExportSlots() {
    CFrameMap* taken = nullptr;
    {
        CSpinLockGuard guard(mFrameLock);
        taken = mFrames;
        mFrames = nullptr;
    }
    deleteFrames(taken);
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
