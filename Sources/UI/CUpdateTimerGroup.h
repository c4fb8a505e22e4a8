#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"

namespace tal {

class CObjectScheme;
class CUpdateTimer;

// "ui:update-timer-group": the update timers of one period. It owns one system timer child
// ("system-timer", made from the template named by "timer-tag" with the period as "interval" in
// seconds) and fires its members on each of its ticks, lowest "order-asc" first and, among equal
// orders, the earliest joined first. A member that leaves during a pass (also one destroyed by an
// earlier member's tick) does not fire in that pass; one that joins fires from the next tick.
// A child of the shared window data, which creates it for the first member of a period and
// releases it with the last. It does not own its members. UI thread only.
class CUpdateTimerGroup : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CUpdateTimerGroup() override;

    // --- life cycle ---
    // Creates the system timer and listens to its "tick".
    [[nodiscard]] CError* init() override;

    // --- members ---
    // Inserts the timer before the first member whose order is at or below its own (the list runs
    // from the highest order down; the last entry fires first).
    void addTimer(CUpdateTimer* timer);
    // Removes the first occurrence from the members and from a pass in progress.
    void removeTimer(CUpdateTimer* timer);

    // --- events ---
    // Fires every member once; a member's error ends the pass and is returned.
    [[nodiscard]] virtual CError* onSystemTimerTick();

    // --- queries ---
    int memberCount() const noexcept { return mMembers.count(); }
    CUpdateTimer* member(int index) const noexcept { return mMembers[index]; }
    CObject* systemTimer() const noexcept { return mSystemTimer; }

private:
    CObject* mSystemTimer = nullptr;       // not owned: a child
    CArray<CUpdateTimer*> mMembers;        // not owned; each member leaves when it is released
    CArray<CUpdateTimer*>* mFiring = nullptr;   // the pass in progress (a local of the tick); null outside
};

} // namespace tal
