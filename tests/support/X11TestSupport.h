#pragma once
// Helpers of the X11 tests: a listener that records translated events, and a wait that dispatches a
// connection until a condition holds or a generous time-out passes (loaded machines are slow; the
// time-out only ends a test that would otherwise hang, it is never what a test checks); the test
// server's check, which skips a test without a server (and fails it with TAL_REQUIRE_X11=1, as in CI).
#include "Platform/CMonotonicClock.h"
#include "Platform/CX11Clipboard.h"
#include "Platform/CX11Display.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <atomic>
#include <functional>
#include <thread>
#include <poll.h>
#include <vector>

namespace tal {

struct CRecordingX11Listener final : CX11Display::Listener {
    std::vector<CX11Event> events;
    void onX11Event(const CX11Event& event) override { events.push_back(event); }
    // The first recorded event of a kind at or after `from`; null when none.
    const CX11Event* find(CX11Event::Kind kind, std::size_t from = 0) const {
        for (std::size_t i = from; i < events.size(); ++i)
            if (events[i].kind == kind)
                return &events[i];
        return nullptr;
    }
};

// Dispatches `display` until done() is true; false when 20 s pass first.
inline bool dispatchUntil(CX11Display& display, const std::function<bool()>& done, int timeoutMs = 20000) {
    const std::uint64_t deadline = getMonotonicNanos() + std::uint64_t(timeoutMs) * 1000000u;
    display.flush();
    for (;;) {
        display.dispatch();
        if (done())
            return true;
        const std::uint64_t now = getMonotonicNanos();
        if (now >= deadline)
            return false;
        pollfd p{display.fd(), POLLIN, 0};
        poll(&p, 1, 50);
    }
}

// One client with a clipboard, its events served on a thread of its own while `serving` is set
// (the reading client blocks its own thread while it waits for the answer).
struct CX11ClipboardClient {
    CX11Display display;
    CX11Clipboard clipboard;
    std::atomic<bool> serving{false};
    std::thread thread;

    bool open(const std::string& name) {
        std::string error;
        return display.open(name, error) && clipboard.create(display);
    }
    void startServing() {
        serving = true;
        thread = std::thread([this] {
            while (serving) {
                display.dispatch();
                pollfd p{display.fd(), POLLIN, 0};
                poll(&p, 1, 20);
            }
        });
    }
    void stopServing() {
        serving = false;
        if (thread.joinable())
            thread.join();
    }
    ~CX11ClipboardClient() { stopServing(); }
};

// The display name of the test server; skips the test (fails it in CI) when there is none.
#define TAL_REQUIRE_XVFB(displayVar)                                                               \
    std::string displayVar;                                                                        \
    do {                                                                                           \
        ::tal::XvfbServer& server_ = ::tal::XvfbServer::instance();                                \
        if (!server_.running()) {                                                                  \
            const char* require_ = std::getenv("TAL_REQUIRE_X11");                                 \
            if (require_ && std::strcmp(require_, "1") == 0)                                       \
                FAIL() << "No X server for the X11 tests: " << server_.failure();                  \
            GTEST_SKIP() << "No X server for the X11 tests: " << server_.failure();                \
        }                                                                                          \
        displayVar = server_.display();                                                            \
    } while (false)

} // namespace tal
