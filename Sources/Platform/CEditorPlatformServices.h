#pragma once
#include "pluginterfaces/gui/iplugview.h"

#include <memory>
#include <string>

namespace tal {

class CRunLoopMainLoopTimers;
class CX11WindowBackend;

// What the open editors of the process share on a Linux host: the main-loop timers on the host's
// run loop (the current CMainLoopTimers, which also carries the posted calls of the editors' event
// bridges) and the X11 window backend on its own connection, served from that run loop (the current
// CWindowBackend). The first attached editor makes them, the last one to go takes them down, which
// unregisters every handler and timer and closes the connection.
// Main thread only.
class CEditorPlatformServices {
public:
    CEditorPlatformServices(const CEditorPlatformServices&) = delete;
    CEditorPlatformServices& operator=(const CEditorPlatformServices&) = delete;
    ~CEditorPlatformServices();

    // One more user. The first call makes the services on `runLoop` (not owned; referenced while
    // the services live) and $DISPLAY; later calls share them, whatever loop they bring. Null with
    // a message in `error` when the run loop refuses the posted-call handler or no X server answers.
    static CEditorPlatformServices* acquire(Steinberg::Linux::IRunLoop* runLoop, std::string& error);
    // One user less; the last one destroys the services.
    static void release();
    // The services while any editor holds them, else null.
    static CEditorPlatformServices* current() noexcept;
    static int userCount() noexcept;

    CRunLoopMainLoopTimers& timers() noexcept { return *mTimers; }
    CX11WindowBackend& backend() noexcept { return *mBackend; }

private:
    CEditorPlatformServices() = default;

    std::unique_ptr<CRunLoopMainLoopTimers> mTimers;
    std::unique_ptr<CX11WindowBackend> mBackend;
};

} // namespace tal
