#include "UI/CWindowSharedData.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "UI/CImageScaleQueue.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "Platform/CWindowBackend.h"
#include "UI/CSectorMap.h"
#include "UI/CView.h"
#include "UI/CWindowCloser.h"
#include "UI/CWindowOpener.h"
#include "UI/CWindowRenderer.h"
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

// --- windows ---

namespace {

CWindowRenderer* rendererAt(const CObject& from, const CString& path) {
    return path.isEmpty() ? nullptr : dynamic_cast<CWindowRenderer*>(from.findObject(path));
}

CView* viewAt(const CObject& from, const CString& path) {
    return path.isEmpty() ? nullptr : dynamic_cast<CView*>(from.findObject(path));
}

bool isDisabledUpward(const CViewBasePlacement* view) {
    for (; view != nullptr; view = view->parentPlacement())
        if (view->isDisabled())
            return true;
    return false;
}

} // namespace

CError* CWindowSharedData::registerWindow(CWindowRenderer* renderer) {
    mWindowList.add(renderer->getFullName());
    return traceError(updateModalBlocking(), getFullName());
}

CError* CWindowSharedData::unregisterWindow(CWindowRenderer* renderer) {
    const int index = mWindowList.indexOf(renderer->getFullName());
    if (index >= 0)
        mWindowList.remove(index);
    if (CError* error = updateModalBlocking())
        return traceError(error, getFullName());
    if (getMainWindow() == renderer)
        mMainWindowPath = CString();
    return nullptr;
}

CError* CWindowSharedData::updateModalBlocking() {
    std::vector<CWindowRenderer*> windows;
    for (int i = 0; i < mWindowList.count(); ++i) {
        CWindowRenderer* w = nullptr;
        if (CError* error = findObjectChecked(w, mWindowList[i]))
            return traceError(error, getFullName());
        windows.push_back(w);
    }
    CView* modal = nullptr;
    for (CWindowRenderer* w : windows)
        if (w->rootView() != nullptr && w->rootView()->getBoolAttr("is-modal-window"))
            modal = w->rootView();
    for (CWindowRenderer* w : windows) {
        CView* root = w->rootView();
        if (root == nullptr)
            continue;
        const bool blocked = modal != nullptr && root != modal && !root->isBelow(modal->getFullName());
        if (CError* error = root->setIntAttr(CString("is-blocked"), blocked ? 1 : 0, true))
            return traceError(error, getFullName());
    }
    if (modal == nullptr)
        return nullptr;
    if (CError* error = setHintSource(nullptr, nullptr))
        return traceError(error, getFullName());
    return traceError(updateHoverPath(nullptr), getFullName());
}

void CWindowSharedData::setMainWindow(CWindowRenderer* renderer) {
    mMainWindowPath = renderer != nullptr ? renderer->getFullName() : CString();
}

CWindowRenderer* CWindowSharedData::getMainWindow() const { return rendererAt(*this, mMainWindowPath); }

void CWindowSharedData::setPopup(CObject* opener, CWindowRenderer* popup) {
    mPopupOpenerPath = opener != nullptr ? opener->getFullName() : CString();
    mPopupPath = popup != nullptr ? popup->getFullName() : CString();
}

CWindowRenderer* CWindowSharedData::getPopup() const { return rendererAt(*this, mPopupPath); }

CView* CWindowSharedData::getPopupRootView() const {
    CWindowRenderer* popup = getPopup();
    return popup != nullptr ? popup->rootView() : nullptr;
}

CError* CWindowSharedData::closeWindow(CWindowRenderer* renderer) {
    CWindowCloser* closer = nullptr;
    if (CError* error = findObjectChecked(closer, CString(".window-closer")))
        return traceError(error, getFullName());
    CView* root = renderer->rootView();
    if (root == nullptr)
        return nullptr;
    const std::int32_t queue = closer->createQueue(renderer->getFullName());
    std::vector<CView*> roots;
    for (int i = mWindowList.count() - 1; i >= 0; --i) {
        CWindowRenderer* w = nullptr;
        if (CError* error = findObjectChecked(w, mWindowList[i]))
            return traceError(error, getFullName());
        if (w->rootView() != nullptr && (w->rootView() == root || w->rootView()->isBelow(root->getFullName())))
            roots.push_back(w->rootView());
    }
    for (const bool modal : {true, false})
        for (CView* v : roots)
            if (v->getBoolAttr("is-modal-window") == modal)
                closer->addQueueWindow(queue, v->getFullName());
    return traceError(closer->askWindows(queue), getFullName());
}

void CWindowSharedData::showCursorForced() {
    if (mCursorHideCount <= 0)
        return;
    CString line("Cursor is hidden in showCursorForced()");
    if (!getFullName().isEmpty()) {
        line.append(" // ");
        line.append(getFullName());
    }
    writeLog(line.narrowed().chars8(), true);
    mCursorHideCount = 0;
    mIsCursorHidden = false;
    if (CWindowBackend* backend = CWindowBackend::current())
        backend->setCursorHidden(false);
}

CWindowRenderer* CWindowSharedData::findWindowByUniqueName(const CString& name) const {
    for (int i = 0; i < mWindowList.count(); ++i) {
        CWindowRenderer* w = rendererAt(*this, mWindowList[i]);
        if (w != nullptr && w->rootView() != nullptr && w->rootView()->getTextAttr("unique-name") == name)
            return w;
    }
    return nullptr;
}

bool CWindowSharedData::processEvents(int n) {
    if (mIsInEventPump)
        return true;
    if (n > 0) {
        mIsInEventPump = true;
        if (CWindowBackend* backend = CWindowBackend::current())
            backend->processEvents();
        if (auto* loop = dynamic_cast<CPumpedMainLoopTimers*>(CMainLoopTimers::current()))
            loop->runPostedCalls();
        mIsInEventPump = false;
    }
    for (int i = 0; i < mWindowList.count(); ++i)
        if (CWindowRenderer* w = rendererAt(*this, mWindowList[i]); w != nullptr && !w->isClosing())
            return true;
    return false;
}

CView* CWindowSharedData::getKeyFocusView() const { return viewAt(*this, mKeyFocusViewPath); }

CError* CWindowSharedData::setKeyFocusView(CView* view, bool isTab) {
    CView* old = getKeyFocusView();
    if (old == view)
        return nullptr;
    const bool blur = old != nullptr && !isDisabledUpward(old);
    bool changed = false;
    if (view != nullptr && view->getBoolAttr("is-focusable") && !isDisabledUpward(view)) {
        mKeyFocusViewPath = view->getFullName();
        changed = true;
    } else if (old != nullptr) {
        mKeyFocusViewPath = CString();
    }
    if (blur)
        if (CError* error = old->runEvent(CString("blur")))
            return traceError(error, getFullName());
    if (changed) {
        CAttrMap args;
        args.findOrAdd("is-tab")->value.setInt(isTab ? 1 : 0);
        if (CError* error = view->runEvent(CString("focus"), &args))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CWindowSharedData::setHintSource(CView* view, CWindowRenderer* window) {
    CView* current = viewAt(*this, mHintViewPath);
    if ((current == nullptr && view == nullptr) || current == view)
        return nullptr;
    mHintViewPath = view != nullptr ? view->getFullName() : CString();
    if (view != nullptr && window == nullptr)
        window = view->getWindowRenderer();
    if (window == nullptr)
        window = rendererAt(*this, mHintWindowPath);
    if (window == nullptr)
        return nullptr;
    mHintWindowPath = window->getFullName();
    return traceError(setHintView(), getFullName());
}

CError* CWindowSharedData::setHintView() {
    CWindowRenderer* window = rendererAt(*this, mHintWindowPath);
    if (window == nullptr || window->rootView() == nullptr)
        return nullptr;
    CView* root = window->rootView();
    CString statusPath(".");
    statusPath.append(root->getTextAttr("window-status-path"));
    CObject* status = root->findObject(statusPath);
    if (status == nullptr)
        return newError("@talstr_CWindowSharedData_setHintView_NoWinStatus Unable to find window status object.",
                        getFullName());
    CString hint;
    for (CViewBasePlacement* v = viewAt(*this, mHintViewPath); v != nullptr && hint.isEmpty(); v = v->parentPlacement())
        hint = v->getTextAttr("hint");
    return traceError(status->setAttr(CString("title"), hint, true), getFullName());
}

// --- the mouse ---

CView* CWindowSharedData::getViewUnderMouse(CWindowRenderer* renderer, int options) {
    const double mx = mInputState.mouseX, my = mInputState.mouseY;
    double x = 0.0, y = 0.0, w = 0.0, h = 0.0;
    auto contains = [&] { return x <= mx && mx < x + w && y <= my && my < y + h; };
    CWindowRenderer* window = getPopup();
    if (window != nullptr) {
        window->getWindowRect(x, y, w, h);
        if (!contains())
            window = nullptr;
    }
    if (window == nullptr) {
        if (renderer == nullptr || renderer->getBoolAttr("is-blocked"))
            return nullptr;
        window = renderer;
        window->getWindowRect(x, y, w, h);
        if (!contains())
            return nullptr;
    }
    CView* root = window->rootView();
    if (root == nullptr || root->area() == nullptr || window->sectorMap() == nullptr)
        return nullptr;
    const double s0 = root->area()->pixelRatio();   // screen points to window pixels
    return dynamic_cast<CView*>(
        window->sectorMap()->hitTest((options & 1) != 0, (options & 2) != 0, (mx - x) * s0, (my - y) * s0));
}

CError* CWindowSharedData::updateHoverPath(CView* view) {
    if (mIsUpdatingHover) {
        mIsHoverPending = true;
        mPendingHoverPath = view != nullptr ? view->getFullName() : CString();
        return nullptr;
    }
    if (view == nullptr && mHoverPath.isEmpty())
        return nullptr;
    if (!mHoverPath.isEmpty() && viewAt(*this, mHoverPath[0]) == view)
        return nullptr;
    mIsUpdatingHover = true;
    CView* previous = mHoverPath.isEmpty() ? nullptr : viewAt(*this, mHoverPath[0]);
    CStringList old(mHoverPath), path;
    std::vector<CView*> entered, exited;
    for (CView* v = view; v != nullptr; v = v->parentView()) {
        path.add(v->getFullName());
        const int at = old.indexOf(v->getFullName());
        if (at >= 0)
            old.remove(at);
        else if (!isDisabledUpward(v))
            entered.push_back(v);
    }
    for (int i = 0; i < old.count(); ++i) {
        CView* v = viewAt(*this, old[i]);
        if (v == nullptr)
            continue;
        if (auto it = std::find(entered.begin(), entered.end(), v); it != entered.end())
            entered.erase(it);
        else
            exited.push_back(v);
    }
    mHoverPath = path;
    CError* error = nullptr;
    for (CView* v : exited)
        if (error == nullptr)
            error = v->runEvent(CString("mouse-exit"));
    for (CView* v : entered)
        if (error == nullptr)
            error = v->runEvent(CString("mouse-enter"));
    for (int i = 1; i < path.count() && error == nullptr; ++i)
        if (CView* v = viewAt(*this, path[i]))
            error = v->runEvent(CString("mouse-top-exit"));
    if (error == nullptr && previous != view) {
        if (previous != nullptr)
            error = previous->runEvent(CString("mouse-exit-top"));
        if (error == nullptr && view != nullptr)
            error = view->runEvent(CString("mouse-enter-top"));
    }
    mIsUpdatingHover = false;
    if (error != nullptr)
        return traceError(error, getFullName());
    if (mIsHoverPending) {
        mIsHoverPending = false;
        return traceError(updateHoverPath(viewAt(*this, mPendingHoverPath)), getFullName());
    }
    return nullptr;
}

void CWindowSharedData::showCursor(bool show) {
    if (show) {
        // A show without a matching hide is a caller's mistake: it is logged and ignored, so the
        // next hide still hides the cursor.
        if (mCursorHideCount <= 0) {
            CString line("ERROR: Number of cursor hide/show calls mismatch");
            if (!getFullName().isEmpty()) {
                line.append(" // ");
                line.append(getFullName());
            }
            writeLog(line.narrowed().chars8(), true);
            return;
        }
        --mCursorHideCount;
    } else {
        ++mCursorHideCount;
    }
    CWindowBackend* backend = CWindowBackend::current();
    if (mCursorHideCount == 0 && mIsCursorHidden) {
        mIsCursorHidden = false;
        if (backend != nullptr)
            backend->setCursorHidden(false);
    } else if (mCursorHideCount > 0 && !mIsCursorHidden) {
        mIsCursorHidden = true;
        if (backend != nullptr)
            backend->setCursorHidden(true);
    }
}

CError* CWindowSharedData::openWindow(const CString& parentView, const CString& templateTag, const CString& windowName,
                                      const CAttrMap& attrs, const CString& closingWindow, bool showErrors) {
    CWindowOpener* opener = nullptr;
    if (CError* error = findObjectChecked(opener, CString(".window-opener")))
        return traceError(error, getFullName());
    return traceError(opener->requestOpen(parentView, templateTag, windowName, attrs, closingWindow, showErrors),
                      getFullName());
}

void CWindowSharedData::requestImage(CImageDraw& record, CImageLayer* layer, const CColor* tint,
                                     bool ignoreTintOpacity, double opacity, double targetScale) {
    requestImage(&record, layer, tint, ignoreTintOpacity, opacity, targetScale);
}

} // namespace tal
