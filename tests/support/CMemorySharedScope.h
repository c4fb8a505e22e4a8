#pragma once

#include "Audio/CAudioParamSharedScope.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tal {

// An in-memory application-data scope for shared-parameter tests: items by name under one mutex,
// listeners called after the mutex is released, as the scope interface requires.
class CMemorySharedScope : public CAudioParamSharedScope {
public:
    CString readText(const CString& name, const CString& def) override {
        std::lock_guard<std::mutex> guard(mMutex);
        auto it = mTexts.find(key(name));
        return it != mTexts.end() ? CString(it->second.c_str()) : def;
    }
    void writeText(const CString& name, const CString& text, const void* sender) override {
        {
            std::lock_guard<std::mutex> guard(mMutex);
            mTexts[key(name)] = key(text);
            ++mWrites;
        }
        notify(name, sender);
    }
    CByteBuffer readRaw(const CString& name) override {
        std::lock_guard<std::mutex> guard(mMutex);
        auto it = mRaws.find(key(name));
        return it != mRaws.end() ? it->second : CByteBuffer();
    }
    void writeRaw(const CString& name, const CByteBuffer& bytes, const void* sender) override {
        {
            std::lock_guard<std::mutex> guard(mMutex);
            mRaws[key(name)] = bytes;
            ++mWrites;
        }
        notify(name, sender);
    }
    void addListener(const CString& name, Listener* listener) override {
        std::lock_guard<std::mutex> guard(mMutex);
        mListeners[key(name)].push_back(listener);
    }
    void removeListener(const CString& name, Listener* listener) override {
        std::lock_guard<std::mutex> guard(mMutex);
        std::vector<Listener*>& list = mListeners[key(name)];
        std::erase(list, listener);
    }
    int writes() {
        std::lock_guard<std::mutex> guard(mMutex);
        return mWrites;
    }

private:
    static std::string key(const CString& s) { return std::string(s.narrowed().chars8()); }
    void notify(const CString& name, const void* sender) {
        std::vector<Listener*> listeners;
        {
            std::lock_guard<std::mutex> guard(mMutex);
            listeners = mListeners[key(name)];
        }
        for (Listener* l : listeners)
            l->onSharedDataChanged(name, sender);
    }

    std::mutex mMutex;
    std::map<std::string, std::string> mTexts;
    std::map<std::string, CByteBuffer> mRaws;
    std::map<std::string, std::vector<Listener*>> mListeners;
    int mWrites = 0;
};

} // namespace tal
