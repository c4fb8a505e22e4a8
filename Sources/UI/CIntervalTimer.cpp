#include "UI/CIntervalTimer.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Platform/CMonotonicClock.h"
#include "UI/CView.h"
#include "UI/CWindowRenderer.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CIntervalTimer::create() { return new CIntervalTimer; }

void CIntervalTimer::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CIntervalTimer, &CIntervalTimer::attrInterval>(scheme, "interval");
    addPlainEventOf<CIntervalTimer, &CIntervalTimer::onUpdateTimer>(scheme, "update-timer");
}

CIntervalTimer::CIntervalTimer() : mLastFire(getMonotonicNanos()) {}

void CIntervalTimer::setClock(Clock clock, void* context) noexcept {
    mClock = clock;
    mClockContext = context;
    mLastFire = now();
}

std::uint64_t CIntervalTimer::now() const noexcept {
    return mClock != nullptr ? mClock(mClockContext) : getMonotonicNanos();
}

CError* CIntervalTimer::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    CView* view = nullptr;
    for (CObject* o = parent(); o != nullptr && view == nullptr; o = o->parent())
        view = dynamic_cast<CView*>(o);
    if (view == nullptr)
        return nullptr;
    if (CWindowRenderer* renderer = view->getWindowRenderer()) {
        listenObject(renderer->getFullName(), CString("render"), CString("update-timer"));
        return nullptr;
    }
    CString line("No parent CView for the interval timer!");
    if (!getFullName().isEmpty()) {
        line.append(" // ");
        line.append(getFullName());
    }
    writeLog(line.narrowed().chars8(), true);
    return nullptr;
}

CError* CIntervalTimer::attrInterval() {
    mInterval = parseDouble(getTextAttr("interval"));
    return nullptr;
}

CError* CIntervalTimer::onUpdateTimer() {
    const std::uint64_t t = now();
    const double elapsed = double(std::int64_t(t - mLastFire)) * 1e-9;
    if (!(elapsed >= mInterval))
        return nullptr;
    mLastFire = t;
    return traceError(fireEvent(CString("tick"), false), getFullName());
}

} // namespace tal
