#pragma once

namespace tal {

// A receiver of log lines, registered with setConsoleSink (Core/Log.h). Tests register one to
// observe what the framework logs; the shipped product registers none. write is called from any
// thread that logs, so an implementation serialises itself.
class CConsole {
public:
    virtual ~CConsole() = default;
    virtual void clear() = 0;
    virtual void write(const char* text) = 0;   // one line, without its line end
};

} // namespace tal
