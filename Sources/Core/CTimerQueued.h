#pragma once
#include "Core/CObject.h"
#include "Platform/CMainLoopTimers.h"

namespace tal {

class CAttrValue;
class CError;
class CObjectScheme;

// The object tree's periodic timer ("core:timer"): fires its event "tick" at a rate set as frames
// per second ("fps") or as a period in seconds ("interval"), the one set last winning. It runs on
// the current main-loop timer service (CMainLoopTimers::current()), so every tick comes on the
// main thread; the service must outlive the timers installed on it. "tick" is delivered through the
// event bridges, so listeners on other threads get it through their bridge.
// Owned by its parent in the tree. Threads: main thread only.
class CTimerQueued : public CObject {
public:
    // --- creation (the creator table of "core:timer") ---
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    ~CTimerQueued() override;
    // Removes the installed timer, then releases the object's links.
    void releaseLinks() override;

    // --- attribute handlers ---
    // "fps": the period becomes 1 / min(fps, 1000) s; below 0.001 (or not a number) 1000 s.
    [[nodiscard]] virtual CError* attrFps(CAttrValue* value);
    // "interval" in seconds: the period becomes max(value, 0.001) s.
    [[nodiscard]] virtual CError* attrInterval(CAttrValue* value);
    // "is-high-precision": accepted, without effect.
    [[nodiscard]] virtual CError* attrIsHighPrecision(CAttrValue* value);

    // --- operations ---
    // (Re)installs the timer for the current period: first tick one period from now, then one per
    // period; no timer while the period is 0. Error: "Timer creation error %1." with the service's
    // status (-1: no service), and the timer stays uninstalled.
    [[nodiscard]] CError* initTimer();
    // Removes the installed timer; nothing when none is installed.
    void removeTimer();

    // --- queries ---
    double getInterval() const noexcept { return mInterval; }
    bool isInstalled() const noexcept { return mInstalled; }

private:
    // Applies a new period unless it equals the current one within the double epsilon.
    [[nodiscard]] CError* changeInterval(double period);
    static void onTimerTick(CMainLoopTimers::TimerId id, void* timer);

    double mInterval = 0.0;                       // seconds; 0: no timer
    bool mInstalled = false;
    CMainLoopTimers* mService = nullptr;          // not owned; the service the timer is installed on
    CMainLoopTimers::TimerId mTimerId = 0;
};

} // namespace tal
