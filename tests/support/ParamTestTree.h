#pragma once

#include "Audio/AudioParamCreators.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace tal {

// The message line of an error (empty for none); the error is deleted.
using test::takeMessage;

inline std::string textOf(const CString& s) {
    return std::string(s.narrowed().chars8());
}

using AttrList = std::initializer_list<std::pair<const char*, const char*>>;

// A shared object tree for parameter tests: the parameter tags registered, and under "audio.paramcvt"
// the converters as the product describes them (gain, freq, bw, real, percent, time, time-sec, text,
// enum, enum-enable). Definitions are built below "audio" with build(); everything is released with
// the tree.
class CParamTestTree {
public:
    CParamTestTree() {
        static const bool registered = (CCreatorRegistry::instance().registerTable(audioParamCreatorTable()), true);
        (void)registered;
        mShared = new CObject;
        mShared->initRoot(nullptr);
        CObject::setSharedObject(mShared);
        mAudio = plain(mShared, "audio");
        mConverters = plain(mAudio, "paramcvt");
        shipped("gain", "audio:cvt-gain", {{"scale-power", "1.0"}, {"scale-threshold", "-1.0"}, {"decimals", "1"}, {"label", "dB"}});
        shipped("freq", "audio:cvt-freq", {{"scale-power", "1.0"}, {"scale-threshold", "-1.0"}, {"label", "Hz"}});
        shipped("bw", "audio:cvt-bw", {{"label", "Oct"}});
        shipped("real", "audio:cvt-real", {{"decimals", "2"}});
        shipped("percent", "audio:cvt-percent", {{"label", "%"}});
        shipped("time", "audio:cvt-time", {{"scale", "0.001"}, {"label", "ms"}});
        shipped("time-sec", "audio:cvt-time", {{"scale", "1.0"}, {"label", "s"}});
        shipped("text", "audio:cvt-text", {{"is-discrete", "true"}});
        shipped("enum", "audio:cvt-enum", {{"is-discrete", "true"}});
        shipped("enum-enable", "audio:cvt-enum", {{"is-discrete", "true"}, {"is-boolean", "true"}, {"state-names", "Off;On"}});
    }
    ~CParamTestTree() {
        mShared->release();
        CObject::setSharedObject(nullptr);
    }
    CParamTestTree(const CParamTestTree&) = delete;
    CParamTestTree& operator=(const CParamTestTree&) = delete;

    CObject* shared() const { return mShared; }
    CObject* audio() const { return mAudio; }
    CObject* converters() const { return mConverters; }
    // A shipped converter by its name under "audio.paramcvt".
    template <class T>
    T* converter(const char* name) const {
        T* found = dynamic_cast<T*>(mConverters->findChild(CString(name)));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Builds one object as the description loader does: attributes (an empty or "false" value is not
    // set), init, createChilds, initChilds. out receives the object also when a step fails.
    static CError* build(CObject*& out, CObject* parent, const char* tag, const char* name, AttrList attrs) {
        if (CError* err = parent->addChild(out, CString(tag), CString(name), false)) return err;
        for (const auto& [key, value] : attrs) {
            const std::string text(value);
            if (text.empty() || text == "false") continue;
            if (CError* err = out->setAttr(CString(key), CString(value), false)) return err;
        }
        if (CError* err = out->init()) return err;
        if (CError* err = out->createChilds()) return err;
        return out->initChilds();
    }

    // A plain child without life cycle.
    static CObject* plain(CObject* parent, const char* name) {
        CObject* child = nullptr;
        EXPECT_EQ(takeMessage(parent->addChild(child, CString("core:object"), CString(name), false)), "");
        return child;
    }

private:
    void shipped(const char* name, const char* tag, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(build(object, mConverters, tag, name, attrs)), "") << name;
    }

    CObject* mShared = nullptr;
    CObject* mAudio = nullptr;
    CObject* mConverters = nullptr;
};

} // namespace tal
