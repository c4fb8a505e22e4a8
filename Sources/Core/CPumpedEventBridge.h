#pragma once
#include "Core/CArray.h"
#include "Core/CObjectEventBridge.h"
#include "Platform/CSpinLock.h"

#include <thread>

namespace tal {

class CAttrMap;
class CObjectEventBridgeHandler;

// An event bridge whose owner pumps it: posted calls wait in a queue until pump() runs them on the
// thread that installed the bridge. Tests and tools use it where the editor uses the host's run
// loop. Installing makes the handler object the carrier; destruction unregisters.
class CPumpedEventBridge : public CObjectEventBridge {
public:
    // Installs this bridge on handler, delivering on the calling thread.
    explicit CPumpedEventBridge(CObjectEventBridgeHandler& handler);
    ~CPumpedEventBridge() override;

    // --- any thread ---
    [[nodiscard]] CError* postEvent(const CAttrMap& args) override;
    int pendingCount();

    // --- the installing thread ---
    // Runs the calls posted before this call, in posting order; errors are logged and freed.
    // Returns the number of calls run.
    int pump();
    // Takes the bridge off its carrier and drops every waiting call unrun; later posts are dropped.
    void unregister();

private:
    void dropAll();

    CObjectEventBridgeHandler* mHandler;
    CSpinLock mLock;
    CArray<CAttrMap*> mQueue;   // under mLock
    bool mRegistered = true;    // under mLock
};

// Copies every value of from into to, typed, replacing values of the same names.
void copyAttrMap(const CAttrMap& from, CAttrMap& to);

} // namespace tal
