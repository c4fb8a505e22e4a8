#include "UI/CWindowSharedData.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "UI/CImageScaleQueue.h"
#include "UI/CUpdateTimer.h"
#include "UI/CUpdateTimerGroup.h"

#include <algorithm>
#include <cmath>

namespace tal {

CObject* CWindowSharedData::create() { return new CWindowSharedData; }

void CWindowSharedData::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CWindowSharedData::~CWindowSharedData() = default;

void CWindowSharedData::removeChild(CObject* child) {
    for (auto* entry = mTimerGroups.first(); entry != nullptr; entry = mTimerGroups.next(entry))
        if (entry->value == child) {
            mTimerGroups.removeNode(entry);
            break;
        }
    CObject::removeChild(child);
}

// --- update-timer groups ---

CError* CWindowSharedData::addUpdateTimer(CUpdateTimer* timer) {
    const std::int32_t period = timer->period();
    CUpdateTimerGroup* group = findUpdateTimerGroup(period);
    if (group == nullptr) {
        CAttrMap attrs;
        attrs.findOrAdd("interval")->value.setInt(period);
        if (CError* error = createChild(group, CString("ui:update-timer-group"), CString("group-timer"), true, &attrs,
                                        nullptr)) {
            if (group != nullptr)
                group->release();   // half made: it would own a system timer without members
            return traceError(error, getFullName());
        }
        mTimerGroups.findOrAdd(period)->value = group;
    }
    group->addTimer(timer);
    return nullptr;
}

void CWindowSharedData::removeUpdateTimer(CUpdateTimer* timer) {
    auto* entry = mTimerGroups.find(timer->period());
    if (entry == nullptr)
        return;
    CUpdateTimerGroup* group = entry->value;
    group->removeTimer(timer);
    if (group->memberCount() == 0) {
        mTimerGroups.removeNode(entry);
        group->release();
    }
}

CUpdateTimerGroup* CWindowSharedData::findUpdateTimerGroup(std::int32_t periodMs) const {
    auto* entry = mTimerGroups.find(periodMs);
    return entry != nullptr ? entry->value : nullptr;
}

// --- image preparation ---

// A preparation job: scales layers of one queue until none is left.
class CWindowSharedData::CPrepareThread final : public CWorkerThread {
public:
    CPrepareThread(CWindowSharedData& data, CImageScaleQueue& queue) : mData(data), mQueue(queue) {}
    CError* run() override {
        while (mData.prepareNextImage(&mQueue)) {
        }
        return nullptr;
    }

private:
    CWindowSharedData& mData;   // not owned: outlives the job (prepareImages waits for it)
    CImageScaleQueue& mQueue;
};

CImageDraw* CWindowSharedData::takeImageDraw() {
    if (mFreeDraws == nullptr) {
        auto chunk = std::make_unique<CImageDraw[]>(kDrawChunk);
        for (int i = 0; i < kDrawChunk - 1; ++i)
            chunk[i].next = &chunk[i + 1];
        chunk[kDrawChunk - 1].next = nullptr;
        mFreeDraws = chunk.get();
        mDrawChunks.push_back(std::move(chunk));
    }
    CImageDraw* record = mFreeDraws;
    mFreeDraws = record->next;
    record->next = mRequestedHead;
    mRequestedHead = record;
    if (mRequestedTail == nullptr)
        mRequestedTail = record;
    return record;
}

void CWindowSharedData::requestImage(CImageDraw* record, CImageLayer* layer, const CColor* tint, bool keepColorOpacity,
                                     double opacity, double scale) {
    if (layer->isPrepared()) {
        CImageDraw::init(*record, layer, tint, keepColorOpacity, opacity);
        return;
    }
    CImageScaleQueue* queue = nullptr;
    for (const auto& q : mScaleQueues)
        if (q->scale == scale) {
            queue = q.get();
            break;
        }
    if (queue == nullptr) {
        mScaleQueues.push_back(std::make_unique<CImageScaleQueue>());
        queue = mScaleQueues.back().get();
        queue->scale = scale;
    }
    auto ready = queue->ready.find(layer);
    if (ready != queue->ready.end()) {
        CImageDraw::init(*record, ready->second, tint, keepColorOpacity, opacity);
        return;
    }
    record->requestedOpacity = opacity;
    record->tintColor = tint;
    record->keepColorOpacity = keepColorOpacity;
    queue->pending[layer].add(record);
    // The work estimate: destination pixels, and source pixels times channels when resampling.
    const std::int32_t w = layer->width(), h = layer->height();
    if (scale == layer->scale()) {
        queue->scaledPixels += std::int32_t(std::uint32_t(w) * std::uint32_t(h));
        return;
    }
    const double r = scale * layer->inverseScale();
    auto scaledSide = [r](std::int32_t side, std::int32_t offset) {
        return std::int32_t(std::ceil(std::trunc(128.0 * r * (side + offset - std::floor(r * offset) / r)) / 128.0));
    };
    const std::int32_t sw = scaledSide(w, layer->offsetX()), sh = scaledSide(h, layer->offsetY());
    const std::int32_t destination = std::int32_t(std::uint32_t(sw) * std::uint32_t(sh));
    const std::int32_t source = std::int32_t(std::uint32_t(w) * std::uint32_t(h));
    queue->scaledPixels += destination;
    queue->weightedSourcePixels +=
        std::int32_t(std::uint32_t(std::max(source, destination)) * std::uint32_t(layer->channels()));
}

int CWindowSharedData::preparationJobs(std::int64_t scaledPixels, std::int64_t weightedSourcePixels, int pendingLayers,
                                       int jobLimit) noexcept {
    const double estimate = double(scaledPixels * 35 + weightedSourcePixels * 14) * 1.25e-6;
    const double rounded = std::round(estimate);   // halves away from zero
    const int wanted = rounded > 1e9 ? 1000000000 : int(rounded);
    return std::min({wanted, jobLimit, pendingLayers - 1});
}

void CWindowSharedData::prepareImages(int jobLimit) {
    mLastPreparationJobs = 0;
    for (const auto& owned : mScaleQueues) {
        CImageScaleQueue* queue = owned.get();
        const int pendingLayers = int(queue->pending.size());
        if (pendingLayers == 0)
            continue;
        const int jobs = preparationJobs(queue->scaledPixels, queue->weightedSourcePixels, pendingLayers, jobLimit);
        queue->scaledPixels = 0;
        queue->weightedSourcePixels = 0;
        if (jobs < 1) {
            while (prepareNextImage(queue)) {
            }
            continue;
        }
        CWorkerThreadPool pool;
        for (int i = 0; i < jobs; ++i) {
            auto* job = new CPrepareThread(*this, *queue);
            if (CError* error = pool.addThread(job)) {
                delete job;
                reportError(error);
            }
        }
        mLastPreparationJobs += pool.getThreadCount();
        pool.wakeAll();
        while (prepareNextImage(queue)) {
        }
        if (CError* error = pool.waitAll(true)) {
            reportError(error);
        }
    }
    if (mRequestedHead != nullptr) {
        mRequestedTail->next = mFreeDraws;
        mFreeDraws = mRequestedHead;
        mRequestedHead = mRequestedTail = nullptr;
    }
}

bool CWindowSharedData::prepareNextImage(CImageScaleQueue* queue) {
    CImageLayer* layer = nullptr;
    CArray<CImageDraw*> waiting;
    std::size_t pendingBefore = 0;
    {
        CSpinLockGuard guard(mPrepareLock);
        if (queue->pending.empty())
            return false;
        auto first = queue->pending.begin();
        layer = first->first;
        waiting = first->second;
        pendingBefore = queue->pending.size();
        queue->pending.erase(first);
    }
    CImageLayer* scaled = layer->getScaled(queue->scale);
    {
        CSpinLockGuard guard(mPrepareLock);
        queue->ready[layer] = scaled;
    }
    for (CImageDraw* record : waiting)
        CImageDraw::init(*record, scaled, record->tintColor, record->keepColorOpacity, record->requestedOpacity);
    return pendingBefore > 1;
}

CView* CWindowSharedData::getViewUnderMouse(CWindowRenderer*, int) { return nullptr; }

CError* CWindowSharedData::updateHoverPath(CView*) { return nullptr; }

void CWindowSharedData::showCursor(bool) {}

CError* CWindowSharedData::openWindow(const CString&, const CString& templateTag, const CString&, const CAttrMap&,
                                      const CString&, bool) {
    return newError("@talstr_CWindowSharedData_openWindow_NoOpener No window opener for '%1'.", getFullName(), templateTag);
}

void CWindowSharedData::requestImage(CImageDraw& record, CImageLayer* layer, const CColor* tint,
                                     bool ignoreTintOpacity, double opacity, double targetScale) {
    requestImage(&record, layer, tint, ignoreTintOpacity, opacity, targetScale);
}

} // namespace tal
