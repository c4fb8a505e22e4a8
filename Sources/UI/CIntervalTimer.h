#pragma once
#include "Core/CObject.h"

#include <cstdint>

namespace tal {

class CObjectScheme;

// "ui:interval-timer": a coarse periodic "tick" without a system timer of its own. It listens to
// the "render" notification of the window renderer of its nearest view ancestor and fires on the
// first render at least "interval" seconds (default 1.0 in the description) after it last fired;
// ticks never catch up. Owned by its parent. UI thread only.
class CIntervalTimer : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    CIntervalTimer();

    // --- life cycle ---
    // Finds the window renderer and listens to its "render"; logs a line when the nearest view has
    // none (the timer then never fires).
    [[nodiscard]] CError* initChilds() override;

    // --- handlers ---
    // "interval": seconds; a value that is not a number stores 0.
    [[nodiscard]] virtual CError* attrInterval();
    // "update-timer" (bound to "render"): fires "tick" when the interval has passed.
    [[nodiscard]] virtual CError* onUpdateTimer();

    // --- queries and test hooks ---
    double interval() const noexcept { return mInterval; }
    // The clock the timer reads (monotonic raw nanoseconds); tests install their own.
    using Clock = std::uint64_t (*)(void* context);
    void setClock(Clock clock, void* context) noexcept;

private:
    std::uint64_t now() const noexcept;

    double mInterval = 0.0;
    std::uint64_t mLastFire = 0;
    Clock mClock = nullptr;
    void* mClockContext = nullptr;   // not owned
};

} // namespace tal
