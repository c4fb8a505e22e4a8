#pragma once
#include "Core/CConsole.h"
#include "Core/Log.h"

#include <mutex>
#include <string>
#include <vector>

namespace tal {

// Records every log line written while it lives: registers itself as the console sink and restores
// the previous sink when destroyed.
class CLogCapture : public CConsole {
public:
    CLogCapture() { mPrevious = setConsoleSink(this); }
    ~CLogCapture() override { setConsoleSink(mPrevious); }
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;

    void clear() override {
        std::lock_guard lock(mMutex);
        mLines.clear();
    }
    void write(const char* text) override {
        std::lock_guard lock(mMutex);
        mLines.emplace_back(text);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mMutex);
        return mLines;
    }

private:
    mutable std::mutex mMutex;
    std::vector<std::string> mLines;
    CConsole* mPrevious = nullptr;
};

} // namespace tal
