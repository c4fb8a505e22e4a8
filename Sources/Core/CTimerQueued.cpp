#include "Core/CTimerQueued.h"

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/Log.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tal {

namespace {

CError* fpsThunk(CObject* object, CAttrValue* value) {
    return traceError(static_cast<CTimerQueued*>(object)->attrFps(value));
}
CError* intervalThunk(CObject* object, CAttrValue* value) {
    return traceError(static_cast<CTimerQueued*>(object)->attrInterval(value));
}
CError* highPrecisionThunk(CObject* object, CAttrValue* value) {
    return traceError(static_cast<CTimerQueued*>(object)->attrIsHighPrecision(value));
}

} // namespace

CObject* CTimerQueued::create() { return new CTimerQueued(); }

void CTimerQueued::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("fps")) = &fpsThunk;
    scheme->addAttrHandler(CString("interval")) = &intervalThunk;
    scheme->addAttrHandler(CString("is-high-precision")) = &highPrecisionThunk;
}

CTimerQueued::~CTimerQueued() { removeTimer(); }

void CTimerQueued::releaseLinks() {
    removeTimer();
    CObject::releaseLinks();
}

CError* CTimerQueued::attrFps(CAttrValue* value) {
    const double fps = value->asReal();
    const double period = !(fps >= 0.001) ? 1000.0 : 1.0 / std::min(fps, 1000.0);
    if (CError* error = changeInterval(period))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CTimerQueued::attrInterval(CAttrValue* value) {
    const double seconds = value->asReal();
    if (CError* error = changeInterval(std::isnan(seconds) ? 0.001 : std::max(seconds, 0.001)))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CTimerQueued::attrIsHighPrecision(CAttrValue*) { return nullptr; }

CError* CTimerQueued::changeInterval(double period) {
    const double old = mInterval;
    if (std::fabs(period - old) <= (std::fabs(old) + std::fabs(period)) * std::numeric_limits<double>::epsilon())
        return nullptr;
    mInterval = period;
    return initTimer();
}

CError* CTimerQueued::initTimer() {
    removeTimer();
    if (!(mInterval > 0.0))
        return nullptr;
    CMainLoopTimers* service = CMainLoopTimers::current();
    int status = CMainLoopTimers::kStatusNoService;
    CMainLoopTimers::TimerId id = 0;
    if (service != nullptr)
        status = service->installTimer(mInterval, mInterval, &CTimerQueued::onTimerTick, this, id);
    if (status != CMainLoopTimers::kStatusOk)
        return newError("@talstr_CTimerQueued_initTimer_createTimer Timer creation error %1.", getFullName(),
                        CString(status));
    mService = service;
    mTimerId = id;
    mInstalled = true;
    return nullptr;
}

void CTimerQueued::removeTimer() {
    if (!mInstalled)
        return;
    mService->removeTimer(mTimerId);
    mInstalled = false;
    mService = nullptr;
    mTimerId = 0;
}

void CTimerQueued::onTimerTick(CMainLoopTimers::TimerId, void* timer) {
    CError* error = static_cast<CTimerQueued*>(timer)->fireEvent(CString("tick"), true);
    if (error != nullptr)
        reportError(&error);
}

} // namespace tal
