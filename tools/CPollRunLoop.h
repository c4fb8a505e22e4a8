#pragma once
#include "pluginterfaces/gui/iplugview.h"

#include <cstdint>
#include <vector>

namespace delmaro_tool {

// A host's Linux run loop for the command-line host: the plug-in's timers and descriptor handlers
// run from runFor, which waits in poll() between them. Keeps a reference on every registered
// handler while it is registered. Owned by the host command; one thread.
class CPollRunLoop final : public Steinberg::Linux::IRunLoop {
public:
    CPollRunLoop() = default;
    CPollRunLoop(const CPollRunLoop&) = delete;
    CPollRunLoop& operator=(const CPollRunLoop&) = delete;
    ~CPollRunLoop();

    // --- IRunLoop ---
    Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                       Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }    // owned by the command
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

    // --- driving ---
    // Runs timers and handlers for `milliseconds` of wall time.
    void runFor(int milliseconds);
    int registrationCount() const noexcept { return int(mTimers.size() + mFds.size()); }

private:
    struct Timer {
        Steinberg::Linux::ITimerHandler* handler;
        std::uint64_t intervalMs;
        std::uint64_t dueMs;
    };
    struct Fd {
        Steinberg::Linux::IEventHandler* handler;
        int fd;
    };
    bool hasFd(Steinberg::Linux::IEventHandler* handler) const;
    bool hasTimer(Steinberg::Linux::ITimerHandler* handler) const;

    std::vector<Timer> mTimers;
    std::vector<Fd> mFds;
};

} // namespace delmaro_tool
