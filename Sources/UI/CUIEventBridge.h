#pragma once
#include "Core/CArray.h"
#include "Core/CObjectEventBridge.h"

#include <cstdint>
#include <thread>

namespace tal {

class CAttrMap;
class CError;
class CMainLoopTimers;
class CObjectEventBridgeHandler;

// The editor's event poster. A post copies the call's parameters into the process-wide registry of
// undelivered events under a fresh id and asks the main loop to deliver that id on the thread that
// built the poster; delivery takes the parameters out of the registry and has the owning bridge
// object run the call. Only the id travels through the main loop, so a delivery that comes after
// the poster was unregistered finds nothing and runs nothing.
// Ids come from one counter for the whole process, 1 first. The counter wraps around after 2^32
// posts and skips 0 and every id still pending with any poster, so an id is never given twice
// while it waits.
// Threads: postEvent from any thread; everything else on the thread that built the poster. The
// registry is guarded by one process-wide spin lock held for map operations only.
class CUIEventBridge : public CObjectEventBridge {
public:
    // Registers the poster; deliveries go through the main loop service current now, on this thread.
    explicit CUIEventBridge(CObjectEventBridgeHandler& owner);
    // Unregisters and releases the process's idle pool workers.
    ~CUIEventBridge() override;

    // --- any thread ---
    // Copies args, stores the copy under a new id and asks the main loop to deliver it. Always null:
    // a post to an unregistered poster is dropped silently.
    [[nodiscard]] CError* postEvent(const CAttrMap& args) override;

    // --- the poster's thread ---
    // Runs the event of that id when it is still pending with that poster: the owner's
    // runBridgedCall with the parameters, which are freed afterwards. Null when nothing was pending.
    // The poster is only compared by address until it is found registered.
    [[nodiscard]] static CError* deliverPostedEvent(CUIEventBridge* poster, std::int32_t id);
    // Takes the poster out of the registry and frees its undelivered parameters; later posts are
    // dropped. Repeating it does nothing.
    void unregister();

    CObjectEventBridgeHandler* ownerBridge() const noexcept { return mOwner; }

    // --- queries (any thread) ---
    // Whether the poster is registered, and the ids pending with it in ascending order.
    static bool isRegistered(const CUIEventBridge* poster);
    static void pendingIds(const CUIEventBridge* poster, CArray<std::int32_t>& out);
    // The counter value the next post starts its search for a free id from.
    static std::uint32_t nextEventId();
    // Moves the counter; the wrap-around of long sessions is reached this way in tests.
    static void setNextEventId(std::uint32_t next);

private:
    // The main loop's delivery call: value is the event id.
    static void deliverThunk(void* poster, std::int64_t value);

    CObjectEventBridgeHandler* mOwner;   // not owned
    CMainLoopTimers* mLoop;              // not owned; null: events stay pending until unregistered
};

} // namespace tal
