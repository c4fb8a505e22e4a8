#pragma once
#include "Core/CObject.h"

#include <cstdint>

namespace tal {

class CObjectScheme;
class CWindowSharedData;

// "ui:update-timer": a frame-rate timer of the editor. It installs no system timer of its own: the
// editor's shared window data ("ui.window-shared-data") puts every update timer into the group of
// its period in whole milliseconds, and the group's one system timer fires the members' "tick"
// in ascending "order-asc", the earlier member first among equals.
// The period comes from "fps" (a rate, clamped to 0.001 .. 1000 per second) or "interval"
// (seconds); an empty value sets nothing, a value that is not a number counts as 0. Owned by its
// parent; it leaves its group when its links are released. UI thread only.
class CUpdateTimer : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    // --- life cycle ---
    // Reads "order-asc" once (0 when absent or not an integer).
    [[nodiscard]] CError* init() override;
    // Leaves the group, then releases the links.
    void releaseLinks() override;

    // --- attribute handlers ---
    [[nodiscard]] virtual CError* attrFps();
    [[nodiscard]] virtual CError* attrInterval();

    // --- operations ---
    // Moves the timer to the group of period p ms (below 2 becomes 1); nothing when p is the present
    // period. The new period stays stored when joining its group fails (the error is returned).
    [[nodiscard]] CError* setPeriod(std::int32_t periodMs);
    // Fires "tick" to the listeners.
    [[nodiscard]] CError* fire();

    // --- queries ---
    std::int32_t period() const noexcept { return mPeriod; }   // -1 until a rate or interval is set
    std::int32_t order() const noexcept { return mOrder; }

    // The period of a rate and of an interval (the attribute rules).
    static std::int32_t periodOfRate(double fps) noexcept;
    static std::int32_t periodOfInterval(double seconds) noexcept;

private:
    CWindowSharedData* sharedData() const;

    std::int32_t mPeriod = -1;
    std::int32_t mOrder = 0;
};

} // namespace tal
