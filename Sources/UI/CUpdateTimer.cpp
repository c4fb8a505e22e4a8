#include "UI/CUpdateTimer.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "UI/CWindowSharedData.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tal {

CObject* CUpdateTimer::create() { return new CUpdateTimer; }

void CUpdateTimer::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CUpdateTimer, &CUpdateTimer::attrFps>(scheme, "fps");
    addAttrOf<CUpdateTimer, &CUpdateTimer::attrInterval>(scheme, "interval");
}

CError* CUpdateTimer::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mOrder = parseInt(getTextAttr("order-asc"), 0);
    return nullptr;
}

void CUpdateTimer::releaseLinks() {
    if (CWindowSharedData* data = sharedData())
        data->removeUpdateTimer(this);
    CObject::releaseLinks();
}

std::int32_t CUpdateTimer::periodOfRate(double fps) noexcept {
    if (!(fps >= 0.001))   // also NaN
        fps = 0.001;
    fps = std::min(fps, 1000.0);
    return std::int32_t(std::floor(1000.0 / fps + 0.5));
}

std::int32_t CUpdateTimer::periodOfInterval(double seconds) noexcept {
    const double ms = std::round(seconds * 1000.0);   // halves away from zero
    if (!(ms < double(std::numeric_limits<std::int32_t>::max())))
        return ms > 0.0 ? std::numeric_limits<std::int32_t>::max() : 1;
    return ms < 2.0 ? 1 : std::int32_t(ms);
}

CError* CUpdateTimer::attrFps() {
    const CString& text = getTextAttr("fps");
    if (text.isEmpty())
        return nullptr;
    return traceError(setPeriod(periodOfRate(parseDouble(text))), getFullName());
}

CError* CUpdateTimer::attrInterval() {
    const CString& text = getTextAttr("interval");
    if (text.isEmpty())
        return nullptr;
    return traceError(setPeriod(periodOfInterval(parseDouble(text))), getFullName());
}

CError* CUpdateTimer::setPeriod(std::int32_t periodMs) {
    if (periodMs < 2)
        periodMs = 1;
    if (periodMs == mPeriod)
        return nullptr;
    CWindowSharedData* data = sharedData();
    if (data != nullptr)
        data->removeUpdateTimer(this);
    mPeriod = periodMs;
    if (data == nullptr)
        return newError("@talstr_CUpdateTimer_setPeriod_NoSharedData Unable to find the shared window data.",
                        getFullName());
    return traceError(data->addUpdateTimer(this), getFullName());
}

// A listener may release this timer during its own tick, so the group names it in an error only
// when it is still a member.
CError* CUpdateTimer::fire() { return fireEvent(CString("tick"), false); }

CWindowSharedData* CUpdateTimer::sharedData() const {
    return dynamic_cast<CWindowSharedData*>(findObject(CString("ui.window-shared-data")));
}

} // namespace tal
