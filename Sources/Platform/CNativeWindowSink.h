#pragma once

namespace tal {

struct CNativeEvent;

// The receiver of one native window's events: the window renderer implements it and hands it to
// the backend when it creates the window. Called on the main thread, from inside
// CWindowBackend::processEvents (or the host's run loop for a backend that sits on it), never while
// a backend call made by the sink itself is still running.
class CNativeWindowSink {
public:
    virtual ~CNativeWindowSink() = default;
    virtual void onNativeEvent(const CNativeEvent& event) = 0;
};

} // namespace tal
