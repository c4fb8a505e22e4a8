#include "UI/CWindowRenderer.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/CStringList.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "Platform/CMonotonicClock.h"
#include "Platform/CNativeEvent.h"
#include "Platform/CProcessorCount.h"
#include "UI/CIntervalTimer.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CUpdateTimer.h"
#include "UI/CView.h"
#include "UI/CWindowSharedData.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

namespace tal {

namespace {

constexpr double kMinimumOpacity = 0.005;
constexpr double kMinimumSize = 0.1;
constexpr double kOpaqueThreshold = 0.99;
constexpr double kCostPerViewDraw = 400.0;
constexpr double kCostPerJob = 600000.0;

std::atomic<int> gForcedRenderJobs{-1};
const std::uint64_t gStartNanos = getMonotonicNanos();

double secondsSinceStart() noexcept { return nanosToSeconds(getMonotonicNanos() - gStartNanos); }

std::int32_t roundHalfAway(double v) noexcept { return std::int32_t(std::round(v)); }

bool isEmptyPixelRect(const CPixelRect& r) noexcept { return r.width <= 0 || r.height <= 0; }

// The bounding box of two integer rectangles; an empty one does not count.
CPixelRect unionOf(const CPixelRect& a, const CPixelRect& b) noexcept {
    if (isEmptyPixelRect(a))
        return b;
    if (isEmptyPixelRect(b))
        return a;
    const std::int32_t x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const std::int32_t x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

// Sets the rectangle (inside the bitmap) to opaque black.
void clearRect(CLinearBitmap& bitmap, const CPixelRect& r) {
    if (bitmap.pixels() == nullptr)
        return;
    const std::int32_t x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    const std::int32_t x1 = std::min(r.x + r.width, bitmap.width()), y1 = std::min(r.y + r.height, bitmap.height());
    for (std::int32_t y = y0; y < y1; ++y) {
        std::uint8_t* p = bitmap.pixel(x0, y);
        for (std::int32_t x = x0; x < x1; ++x, p += 4)
            p[0] = p[1] = p[2] = 0, p[3] = 255;
    }
}

// Whether the view or one of its ancestors is disabled.
bool isDisabledInTree(const CViewBasePlacement* view) noexcept {
    for (; view != nullptr; view = view->parentPlacement())
        if (view->isDisabled())
            return true;
    return false;
}

} // namespace

// A render job: renders sectors of the queue until it took the last one or found none.
class CWindowRenderer::CRenderJob final : public CWorkerThread {
public:
    explicit CRenderJob(CWindowRenderer& renderer) : mRenderer(renderer) {}
    CError* run() override {
        while (mRenderer.renderNextSector()) {
        }
        return nullptr;
    }

private:
    CWindowRenderer& mRenderer;   // not owned: waits for the job inside its paint
};

// --- scheme ---

CObject* CWindowRenderer::create() { return new CWindowRenderer; }

void CWindowRenderer::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    // Events of the window layer that are handled elsewhere or not at all on this platform.
    static const char* const kAccepted[] = {"close-window", "minimize-window", "popup-close", "update-window-origin",
                                           "focus-lost", "move-mouse-cursor", "wrap-around-mouse-cursor"};
    for (const char* name : kAccepted) {
        CEventHandler& h = scheme->addEventHandler(CString(name));
        h.hasArgs = true;
        h.withArgs = [](CObject*, CAttrMap*) -> CError* { return nullptr; };
    }
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onContentReady>(scheme, "content-ready");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onRenderTimer>(scheme, "render-timer");
    addArgsEventOf<CWindowRenderer, &CWindowRenderer::onPaint>(scheme, "paint");
    initPlacementScheme(scheme);
    initClosingScheme(scheme);
}

CWindowRenderer::~CWindowRenderer() {
    // The timer children are gone by now (releaseLinks left them already); only the native side.
    mRenderTimer = nullptr;
    mActualPosTimer = nullptr;
    mDeactivateTimer = nullptr;
    mPopupPositionTimer = nullptr;
    closeNativeWindow(false);
    releaseKeyFocusIfHeld();   // also a renderer destroyed without being detached
}

// --- life cycle ---

CError* CWindowRenderer::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    char line[64];
    std::snprintf(line, sizeof line, "Open window on: %.4f s", secondsSinceStart());
    logNamed(line);
    mIsMainWindow = getBoolAttr("is-main-window");
    mRootView = dynamic_cast<CView*>(parent());
    if (mRootView == nullptr)
        return newError("@talstr_CWindow_init_NoRootView Unable to find root view.", getFullName());
    if (CError* error = mRootView->setAttr(CString("window"), getFullName(), true))
        return traceError(error, getFullName());
    if (CError* error = updateScale(true))
        return traceError(error, getFullName());
    mSectorMap = mRootView->sectorMap();
    if (mSectorMap == nullptr)
        return newError("@talstr_CWindow_init_NoSectorMap Unable to find sector map.", getFullName());
    if (CWindowSharedData* data = sharedData(); data != nullptr && !mIsRegistered) {
        mIsRegistered = true;
        if (CError* error = data->registerWindow(this))
            return traceError(error, getFullName());
    }
    std::thread::id thread;
    CObjectEventBridge* bridge = nullptr;
    if (findEventBridge(thread, bridge) == nullptr || thread != std::this_thread::get_id())
        return newError("@talstr_CWindow_init_NoEventBridge Unable to locate a suitable event bridge.", getFullName());
    mBaseX = mRootView->getIntAttr("window-x");
    mBaseY = mRootView->getIntAttr("window-y");
    if (CError* error = setDoubleAttr(CString("x"), mBaseX, false))
        return traceError(error, getFullName());
    if (CError* error = setDoubleAttr(CString("y"), mBaseY, false))
        return traceError(error, getFullName());
    mIsHelperWindow = mRootView->getBoolAttr("is-helper-window");
    mIsPopupWindow = mRootView->getBoolAttr("is-popup-window");
    if (mIsPopupWindow)
        if (CWindowSharedData* data = sharedData())
            data->setPopup(findObject(mRootView->getTextAttr("opener")), this);
    mIsPositionStored = mRootView->getBoolAttr("is-window-position-stored");
    mIsStoredGlobally = mRootView->getBoolAttr("is-window-position-stored-globally");
    return nullptr;
}

CError* CWindowRenderer::createChilds() {
    if (CError* error = CObject::createChilds())
        return traceError(error, getFullName());
    if (mIsMainWindow)
        if (CWindowSharedData* data = sharedData())
            data->setMainWindow(this);
    return nullptr;
}

CError* CWindowRenderer::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    if (mIsPopupWindow)
        if (CError* error = findObjectChecked(mDeactivateTimer, CString(".deactivate-timer")))
            return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mRenderTimer, CString(".render-timer")))
        return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mActualPosTimer, CString(".update-actual-pos-timer")))
        return traceError(error, getFullName());
    return nullptr;
}

void CWindowRenderer::releaseLinks() {
    // The subscriptions go with the links; the timers are released with the children next.
    closeNativeWindow(true);
    mRenderTimer = nullptr;
    mActualPosTimer = nullptr;
    mDeactivateTimer = nullptr;
    mPopupPositionTimer = nullptr;
    CObject::releaseLinks();
}

CWindowSharedData* CWindowRenderer::sharedData() const {
    return dynamic_cast<CWindowSharedData*>(findObject(CString("ui.window-shared-data")));
}

double CWindowRenderer::windowScale() const noexcept {
    return mRootView != nullptr && mRootView->area() != nullptr ? mRootView->area()->windowScale() : 1.0;
}

// --- what views call ---

double CWindowRenderer::getMouseScale() { return 1.0; }

// --- opening ---

CError* CWindowRenderer::onContentReady() {
    if (lifeStage() < 3 || mRootView == nullptr || mRootView->area() == nullptr)
        return nullptr;
    const CAreaRect& total = mRootView->area()->totalRect();
    if (total.width < 1.0 || total.height < 1.0)
        return nullptr;
    if (mIsOpened)
        return traceError(updateWindow(), getFullName());
    if (mIsClosed)
        return nullptr;   // a closed window never opens again
    CWindowSharedData* data = sharedData();
    if (mIsPopupWindow && data != nullptr)
        if (CError* error = data->setKeyFocusView(nullptr, false))
            return traceError(error, getFullName());
    // The embedded flag decides the placement: it is known before the native side exists.
    mIsEmbedded = mIsMainWindow && root() != nullptr && root()->getPtrAttr(CString("ParentWindow")) != nullptr;
    if (CError* error = createWindow())
        return traceError(error, getFullName());
    if (CError* error = restoreWindowPosition())
        return traceError(error, getFullName());
    mSectorMap->rebuild(mRootView, total.width, total.height, windowScale());
    mAppliedFrame = computeFrameRect();
    if (CError* error = createContentView())
        return traceError(error, getFullName());
    if (mDeactivateTimer != nullptr)
        listenObject(mDeactivateTimer->getFullName(), CString("tick"), CString("deactivate-timer"));
    if (mRenderTimer != nullptr)
        listenObject(mRenderTimer->getFullName(), CString("tick"), CString("render-timer"));
    if (mActualPosTimer != nullptr)
        listenObject(mActualPosTimer->getFullName(), CString("tick"), CString("update-actual-pos-timer"));
    mIsOpened = true;
    if (CError* error = constrainWindow())
        return traceError(error, getFullName());
    return nullptr;
}

CError* CWindowRenderer::createContentView() {
    mBackend = CWindowBackend::current();
    if (mBackend == nullptr)
        return newError("@talstr_CWindowRenderer_createContentView_NoBackend No window system to open the window on.",
                        getFullName());
    CWindowBackend::WindowParams params;
    params.width = mAppliedFrame.width;
    params.height = mAppliedFrame.height;
    params.scale = pixelScale();
    params.mainWindow = mIsMainWindow;
    params.popup = mIsPopupWindow || mIsHelperWindow;
    params.modal = mRootView->getBoolAttr("is-modal-window");
    void* hostParent = mIsMainWindow && root() != nullptr ? root()->getPtrAttr(CString("ParentWindow")) : nullptr;
    params.hostParent = std::uint64_t(reinterpret_cast<std::uintptr_t>(hostParent));
    mIsEmbedded = hostParent != nullptr;
    if (!mIsMainWindow)
        if (CWindowRenderer* owner = getOwnerWindow())
            params.transientFor = owner->windowId();
    params.x = mIsEmbedded ? 0.0 : mAppliedFrame.x;
    params.y = mIsEmbedded ? 0.0 : mAppliedFrame.y;
    if (CError* error = mBackend->createWindow(params, this, mWindowId)) {
        mBackend = nullptr;
        return traceError(error, getFullName());
    }
    mNativeWindow = reinterpret_cast<void*>(std::uintptr_t(mWindowId));
    const CString& title = getTextAttr("title");
    if (!title.isEmpty())
        mBackend->setTitle(mWindowId, title.narrowed().chars8());
    mBackend->setVisible(mWindowId, true);
    if (!mIsPopupWindow && !mIsHelperWindow)
        return nullptr;
    // Popups and helper windows close as soon as their owner window moves.
    CAttrMap attrs;
    attrs.findOrAdd("fps")->value.setText(CString("{*/^ fps}"));
    if (CError* error = createChild(mPopupPositionTimer, getTextAttr("timer-tag"), CString("popup-position-timer"),
                                    true, &attrs, nullptr))
        return traceError(error, getFullName());
    listenObject(mPopupPositionTimer->getFullName(), CString("tick"), CString("popup-position-timer"));
    return traceError(onPopupPositionTimer(), getFullName());
}

// --- native events ---

void CWindowRenderer::runNativeEvent(const char* name, CAttrMap& args) {
    reportError(runEvent(CString(name), &args));
}

void CWindowRenderer::onNativeEvent(const CNativeEvent& event) {
    CAttrMap args;
    auto setReal = [&args](const char* key, double v) { args.findOrAdd(key)->value.setReal(v); };
    auto setFlags = [&](std::uint32_t m) {
        args.findOrAdd("is-shift")->value.setInt((m & CNativeEvent::kShift) != 0);
        args.findOrAdd("is-ctrl")->value.setInt((m & CNativeEvent::kCtrl) != 0);
        args.findOrAdd("is-alt")->value.setInt((m & CNativeEvent::kAlt) != 0);
    };
    switch (event.type) {
    case CNativeEvent::Type::Paint:
        setReal("x", event.x);
        setReal("y", event.y);
        setReal("width", event.width);
        setReal("height", event.height);
        runNativeEvent("paint", args);
        break;
    case CNativeEvent::Type::MouseMove:
        mIsMouseInside = true;
        mHasUserInteraction = true;
        setReal("x", event.x * pixelScale());
        setReal("y", event.y * pixelScale());
        setFlags(event.modifiers);
        if (CWindowSharedData* data = sharedData()) {
            double ox = 0.0, oy = 0.0;
            if (mBackend != nullptr)
                mBackend->windowOrigin(mWindowId, ox, oy);
            data->inputState().mouseX = ox + event.x;
            data->inputState().mouseY = oy + event.y;
        }
        if (schemeEventHandlers() != nullptr && schemeEventHandlers()->find(CString("mouse-move")) != nullptr) {
            runNativeEvent("mouse-move", args);
        } else if (CWindowSharedData* data = sharedData()) {
            // Without the input routing the pointer still moves the hover path, so that views show
            // their hover looks.
            reportError(data->updateHoverPath(data->getViewUnderMouse(this, 0)));
        }
        break;
    case CNativeEvent::Type::MouseExit:
        mIsMouseInside = false;
        if (CWindowSharedData* data = sharedData(); data != nullptr && !data->hoverPath().isEmpty())
            reportError(data->updateHoverPath(nullptr));
        break;
    case CNativeEvent::Type::ScaleChanged:
        reportError(onUpdatePixelSize());
        break;
    case CNativeEvent::Type::Closed:
        mWindowId = 0;
        mBackend = nullptr;
        mIsOpened = false;
        break;
    default:
        break;   // buttons, wheel and keys: routed by the input layer where it exists
    }
}

// --- painting ---

int CWindowRenderer::extraThreads(int processors) noexcept {
    return std::min(int(std::ceil(processors * 0.37)), 9) - 1;
}

int CWindowRenderer::renderJobs(int extra, std::int32_t viewDraws, std::int64_t drawnArea) noexcept {
    const double cost = double(viewDraws) * kCostPerViewDraw + double(drawnArea);
    const double wanted = std::floor(cost / kCostPerJob + 0.5);
    return wanted < double(extra) ? int(wanted) : extra;
}

void CWindowRenderer::setForcedRenderJobs(int jobs) noexcept { gForcedRenderJobs.store(jobs); }

bool CWindowRenderer::prepareView(CView& view) { return view.prepareDraw(); }

void CWindowRenderer::paintView(CView& view, CSector& sector) { view.paintToSector(sector); }

CError* CWindowRenderer::onRenderTimer() {
    if (CWindowSharedData* data = sharedData())
        data->setFrameClock(secondsSinceStart());
    if (mPaintCounter == 0)
        return nullptr;
    if (CError* error = fireEvent(CString("render"), false))
        return traceError(error, getFullName());
    if (CError* error = flushLayout())
        return traceError(error, getFullName());
    if (mIsWindowSizePending) {
        applyWindowSize();
    } else if (!mSectorMap->dirtySet().empty()) {
        // Sectors marked without a dirty rectangle (a view hidden, a cache dropped) are asked for
        // too, so that they are painted now and not when something else changes.
        CPixelRect request = mSectorMap->getAlignedDirtyRect();
        for (std::int32_t key : mSectorMap->dirtySet())
            if (const CSector* sector = mSectorMap->sector(key & 0xFFFF, key >> 16); sector != nullptr &&
                sector->dirtyRect.isEmpty())
                request = unionOf(request, {sector->windowRect.x, sector->windowRect.y, sector->localRect.width,
                                            sector->localRect.height});
        requestRedraw(request);
    }
    return nullptr;
}

CError* CWindowRenderer::flushLayout() {
    if (CError* error = mRootView->updateLayout())
        return traceError(error, getFullName());
    CViewArea* area = mRootView->area();
    if (area == nullptr || area->solver() == nullptr)
        return nullptr;
    CLayoutAreaList* list = area->solver()->takeRedrawList();
    if (list == nullptr)
        return nullptr;
    for (CViewArea* a : *list) {
        auto* view = dynamic_cast<CViewBasePlacement*>(a->owner());
        if (view == nullptr)
            continue;
        if (view->isFullRedrawPending() || view->updateRects().isEmpty())
            mSectorMap->invalidateViewRect(a->totalRect(), view);
        else
            for (const CAreaRect& r : view->updateRects())
                mSectorMap->invalidateViewRect(r, view);
        view->clearRedrawRequests();
    }
    delete list;
    return nullptr;
}

void CWindowRenderer::requestRedraw(const CPixelRect& rect) {
    const double k = 1.0 / pixelScale();
    const std::int32_t x = roundHalfAway(rect.x * k), y = roundHalfAway(rect.y * k);
    const std::int32_t w = roundHalfAway(rect.width * k), h = roundHalfAway(rect.height * k);
    if (w < 1 || h < 1 || mBackend == nullptr || mWindowId == 0)
        return;
    mBackend->requestRedraw(mWindowId, x, y, w, h);
}

void CWindowRenderer::applyWindowSize() {
    mIsWindowSizePending = false;
    const double k = 1.0 / pixelScale();
    const CAreaRect& total = mRootView->area()->totalRect();
    const CPixelRect frame{mIsEmbedded ? 0 : roundHalfAway(mWindowX), mIsEmbedded ? 0 : roundHalfAway(mWindowY),
                           roundHalfAway(total.width * k), roundHalfAway(total.height * k)};
    if (frame.x == mAppliedFrame.x && frame.y == mAppliedFrame.y && frame.width == mAppliedFrame.width &&
        frame.height == mAppliedFrame.height)
        return;
    mAppliedFrame = frame;
    if (mBackend != nullptr && mWindowId != 0)
        mBackend->setFrame(mWindowId, frame.x, frame.y, frame.width, frame.height);
}

CError* CWindowRenderer::onPaint(CAttrMap& args) {
    const std::uint64_t paintStart = getMonotonicNanos();
    CWindowSharedData* data = sharedData();
    if (data != nullptr)
        data->setFrameClock(secondsSinceStart());
    ++mPaintCounter;
    const bool first = mPaintCounter == 1;
    if (first)   // the backend's pixel factor is known now
        if (CError* error = updateScale(false))
            return traceError(error, getFullName());
    if (first)
        if (CError* error = fireEvent(CString("render"), false))
            return traceError(error, getFullName());
    if (CError* error = flushLayout())
        return traceError(error, getFullName());
    if (first)
        applyWindowSize();

    CSectorMap& map = *mSectorMap;
    map.renderQueue().clear();
    map.drawnArea = 0;
    map.viewDraws = 0;
    CPixelRect rendered;   // the sectors drawn now, which the blit must cover
    for (auto key = map.dirtySet().rbegin(); key != map.dirtySet().rend(); ++key) {
        CSector* sector = map.sector(*key & 0xFFFF, *key >> 16);
        if (sector == nullptr)
            continue;
        prepareSector(*sector);
        if (!sector->drawList.isEmpty()) {
            map.renderQueue().push_back(sector);
            map.viewDraws += sector->drawList.count();
            rendered = unionOf(rendered, {sector->windowRect.x + sector->clipRect.x,
                                          sector->windowRect.y + sector->clipRect.y, sector->clipRect.width,
                                          sector->clipRect.height});
        }
    }
    map.dirtySet().clear();

    mLastRenderJobs = 0;
    if (!map.renderQueue().empty()) {
        const int extra = extraThreads(processorCount());
        if (data != nullptr)
            data->prepareImages(extra);
        map.drawnArea += std::int64_t(map.viewDraws) * std::int64_t(kCostPerViewDraw);
        int jobs = renderJobs(extra, 0, map.drawnArea);
        if (const int forced = gForcedRenderJobs.load(); forced >= 0)
            jobs = forced;
        if (jobs < 1) {
            while (!map.renderQueue().empty()) {
                CSector* sector = map.renderQueue().back();
                map.renderQueue().pop_back();
                renderSector(*sector);
            }
        } else {
            CWorkerThreadPool pool;
            for (int i = 0; i < jobs; ++i) {
                auto* job = new CRenderJob(*this);
                if (CError* error = pool.addThread(job)) {
                    delete job;
                    return traceError(error, getFullName());   // the pool waits for the jobs it has
                }
            }
            mLastRenderJobs = jobs;
            pool.wakeAll();
            while (renderNextSector()) {
            }
            if (CError* error = pool.waitAll(true))
                return traceError(error, getFullName());
        }
    }

    // The blit covers the paint rectangle and every sector drawn now, also those outside it (a
    // dirty rectangle that grew after the request, or an empty paint rectangle).
    const double s = pixelScale();
    const CAreaRect p{args.findValue("x") ? args.findValue("x")->asReal() * s : 0.0,
                      args.findValue("y") ? args.findValue("y")->asReal() * s : 0.0,
                      args.findValue("width") ? args.findValue("width")->asReal() * s : 0.0,
                      args.findValue("height") ? args.findValue("height")->asReal() * s : 0.0};
    const CPixelRect pi{roundHalfAway(p.x), roundHalfAway(p.y), roundHalfAway(p.width), roundHalfAway(p.height)};
    const CPixelRect d = map.getAlignedDirtyRect();
    const CPixelRect blit = unionOf(unionOf(pi, d), rendered);
    mLastBlitRect = blit;
    map.dirtyRect() = {};
    if (!isEmptyPixelRect(blit) && mBackend != nullptr && mWindowId != 0) {
        int c0, c1, r0, r1;
        map.getSectorRange({double(blit.x), double(blit.y), double(blit.width), double(blit.height)}, c0, c1, r0, r1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const CSector& sector = *map.sector(c, r);
                const CPixelRect local{sector.windowRect.x, sector.windowRect.y, sector.localRect.width,
                                       sector.localRect.height};
                CPixelRect part;
                if (!intersectPixelRects(local, blit, part) || sector.backBuffer == nullptr ||
                    sector.backBuffer->pixels() == nullptr)
                    continue;
                mBackend->present(mWindowId, sector.backBuffer->pixels(), sector.backBuffer->stride(),
                                  part.x - sector.windowRect.x, part.y - sector.windowRect.y, part.width, part.height,
                                  part.x, part.y);
            }
    }
    if (first) {
        char line[96];
        std::snprintf(line, sizeof line, "First render time: %.4f s @ %.4f s",
                      nanosToSeconds(getMonotonicNanos() - paintStart), secondsSinceStart());
        logNamed(line);
    }
    return nullptr;
}

void CWindowRenderer::prepareSector(CSector& s) {
    CPixelRect redraw = s.localRect;
    if (!s.cachedViews.isEmpty()) {
        const CAreaRect& d = s.dirtyRect;
        CPixelRect wide;
        if (!d.isEmpty()) {
            const std::int32_t x0 = std::int32_t(std::floor(d.x)) - s.windowRect.x;
            const std::int32_t y0 = std::int32_t(std::floor(d.y)) - s.windowRect.y;
            const std::int32_t x1 = std::int32_t(std::ceil(d.x + d.width)) - s.windowRect.x;
            const std::int32_t y1 = std::int32_t(std::ceil(d.y + d.height)) - s.windowRect.y;
            wide = {x0, y0, x1 - x0, y1 - y0};
        }
        if (!intersectPixelRects(wide, s.localRect, redraw))
            redraw = {redraw.x, redraw.y, 0, 0};
    }
    s.clipRect = redraw;
    s.drawList.clear();
    s.drawRects.setCount(1);
    s.opaqueRects.setCount(1);
    if (isEmptyPixelRect(redraw))
        return;
    for (auto& [z, list] : s.viewMap) {
        for (CViewBasePlacement* placement : list) {
            auto* view = dynamic_cast<CView*>(placement);
            if (view == nullptr || view->area() == nullptr || !view->area()->isShown())
                continue;
            const CAreaRect& total = view->area()->totalRect();
            if (view->cumulativeOpacity() < kMinimumOpacity || total.width <= kMinimumSize ||
                total.height <= kMinimumSize || view->drawItemCount() < 1)
                continue;
            CPixelRect& drawRect = s.drawRects[s.drawRects.count() - 1];
            if (!view->drawItem(0)->intersectContext(s, drawRect))
                continue;
            if (view->preparedPass() < mPaintCounter && view->preparedPass() >= 0) {
                view->setPreparedPass(-1);
                view->setEffectivelyDisabled(isDisabledInTree(view));
                view->selectColorStates();
                const bool draws = prepareView(*view);
                view->setDrawsThisFrame(draws);
                view->setPreparedPass(mPaintCounter);
            }
            if (!view->drawsThisFrame())
                continue;
            CPixelRect& opaque = s.opaqueRects[s.opaqueRects.count() - 1];
            opaque = {};
            CPixelRect inSector;
            if (view->cumulativeOpacity() >= kOpaqueThreshold && view->cumulativeDrawOpacity() >= kOpaqueThreshold &&
                view->drawItemCount() > 1 && view->drawItem(1)->getRectInSector(s, inSector) &&
                view->getOpaqueFraction(s, inSector) >= kOpaqueThreshold)
                opaque = inSector;
            mSectorMap->drawnArea += std::int64_t(drawRect.width) * drawRect.height;
            s.drawList.add(placement);
            s.drawRects.addNew();
            s.opaqueRects.addNew();
        }
    }
}

bool CWindowRenderer::renderNextSector() {
    CSector* sector = nullptr;
    std::size_t before = 0;
    {
        CSpinLockGuard guard(mSectorMap->renderQueueLock());
        std::vector<CSector*>& queue = mSectorMap->renderQueue();
        before = queue.size();
        if (before == 0)
            return false;
        sector = queue.back();
        queue.pop_back();
    }
    renderSector(*sector);
    return before >= 2;
}

void CWindowRenderer::renderSector(CSector& s) {
    s.target = s.backBuffer.get();
    bool cacheTaken = !s.cachedViews.isEmpty();
    bool inCachedPrefix = cacheTaken;
    if (cacheTaken)
        s.backBuffer->copyRect(s.cacheBitmap, s.clipRect);
    else
        clearRect(*s.backBuffer, s.clipRect);   // a whole redraw starts from black, never from an old frame
    for (int i = 0; i < s.drawList.count(); ++i) {
        CViewBasePlacement* placement = s.drawList[i];
        CView& view = static_cast<CView&>(*placement);   // prepareSector lists views only
        if (placement->isDynamic()) {
            if (!cacheTaken) {
                s.cacheBitmap.copyFrom(*s.backBuffer);
                cacheTaken = true;
            }
            s.clipRect = s.drawRects[i];
            paintView(view, s);
            inCachedPrefix = false;
            continue;
        }
        if (inCachedPrefix && s.isCached(placement))
            continue;
        if (!cacheTaken)
            s.cachedViews.add(placement);
        // Occlusion: the parts that later static opaque views cover are not painted.
        CArray<CPixelRect>* pieces = &s.scratchA;
        CArray<CPixelRect>* next = &s.scratchB;
        pieces->clear();
        pieces->add(s.drawRects[i]);
        for (int j = i + 1; j < s.drawList.count() && !s.drawList[j]->isDynamic(); ++j) {
            const CPixelRect& opaque = s.opaqueRects[j];
            if (isEmptyPixelRect(opaque))
                continue;
            next->clear();
            for (const CPixelRect& piece : *pieces)
                subtractRect(piece, opaque, *next);
            std::swap(pieces, next);
            if (pieces->isEmpty())
                break;
        }
        for (const CPixelRect& piece : *pieces) {
            s.clipRect = piece;
            paintView(view, s);
        }
    }
    if (!cacheTaken && !s.cachedViews.isEmpty())
        s.cacheBitmap.copyFrom(*s.backBuffer);
    s.dirtyRect = {};
}

void CWindowRenderer::subtractRect(const CPixelRect& a, const CPixelRect& b, CArray<CPixelRect>& out) {
    if (!(b.x < a.x + a.width && b.y < a.y + a.height && a.x < b.x + b.width && a.y < b.y + b.height)) {
        out.add(a);
        return;
    }
    const std::int32_t left = std::max(a.x, b.x), right = std::min(a.x + a.width, b.x + b.width);
    auto addIf = [&out](const CPixelRect& r) {
        if (r.width > 0 && r.height > 0)
            out.add(r);
    };
    if (a.x < b.x)
        addIf({a.x, a.y, b.x - a.x, a.height});
    if (b.x + b.width < a.x + a.width)
        addIf({b.x + b.width, a.y, a.x + a.width - (b.x + b.width), a.height});
    if (a.y < b.y)
        addIf({left, a.y, right - left, b.y - a.y});
    if (b.y + b.height < a.y + a.height)
        addIf({left, b.y + b.height, right - left, a.y + a.height - (b.y + b.height)});
}

} // namespace tal
