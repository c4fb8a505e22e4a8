#include "UI/CUpdateTimerGroup.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "UI/CUpdateTimer.h"
#include "UI/SchemeThunks.h"

#include <memory>

namespace tal {

CObject* CUpdateTimerGroup::create() { return new CUpdateTimerGroup; }

void CUpdateTimerGroup::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CUpdateTimerGroup, &CUpdateTimerGroup::onSystemTimerTick>(scheme, "system-timer-tick");
}

CUpdateTimerGroup::~CUpdateTimerGroup() = default;

CError* CUpdateTimerGroup::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    const std::int32_t intervalMs = getIntAttr("interval");
    CAttrMap attrs;
    attrs.findOrAdd("interval")->value.setReal(intervalMs * 0.001);
    CObject* timer = nullptr;
    if (CError* error = createChild(timer, getTextAttr("timer-tag"), CString("system-timer"), true, &attrs, nullptr))
        return traceError(error, getFullName());
    mSystemTimer = timer;
    listenObject(timer->getFullName(), CString("tick"), CString("system-timer-tick"));
    return nullptr;
}

void CUpdateTimerGroup::addTimer(CUpdateTimer* timer) {
    int at = 0;
    while (at < mMembers.count() && mMembers[at]->order() > timer->order())
        ++at;
    mMembers.insertAt(at, timer);
}

void CUpdateTimerGroup::removeTimer(CUpdateTimer* timer) {
    mMembers.remove(timer);
    if (mFiring != nullptr) {
        mFiring->remove(timer);
        if (mFiring->isEmpty())
            mFiring = nullptr;
    }
}

CError* CUpdateTimerGroup::onSystemTimerTick() {
    if (mMembers.isEmpty())
        return nullptr;
    // A member's tick may release this group (its last member leaving it). That empties the pass
    // first, so after a member has fired only the local pass is read until it is known non-empty.
    auto pass = std::make_unique<CArray<CUpdateTimer*>>(mMembers);
    mFiring = pass.get();
    while (!pass->isEmpty()) {
        CUpdateTimer* next = pass->last();
        pass->removeAt(pass->count() - 1);
        if (pass->isEmpty())
            mFiring = nullptr;
        if (CError* error = next->fire()) {
            if (pass->isEmpty())
                return traceError(error);   // the group may be gone
            mFiring = nullptr;
            if (mMembers.indexOf(next) >= 0)
                error = traceError(error, next->getFullName());
            return traceError(error, getFullName());
        }
    }
    return nullptr;
}

} // namespace tal
