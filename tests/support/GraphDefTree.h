#pragma once
#include "Audio/AudioParamCreators.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/GraphCreators.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "support/GraphTestProcesses.h"
#include "support/GraphTestSupport.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace tal::test {

// A leaf process that counts the processes alive and can fail its init.
class CCountedGainProcess : public CGainProcess {
public:
    CCountedGainProcess(double gain, bool failInit) : CGainProcess(gain), mFailInit(failInit) { ++alive; ++made; }
    ~CCountedGainProcess() override { --alive; }
    CError* init() override {
        return mFailInit ? newError("@talstr_Test_init_Failed Test process init failed.", namePrefix()) : nullptr;
    }
    static inline int alive = 0;
    static inline int made = 0;

private:
    bool mFailInit;
};

// The definition of a gain leaf ("test:gain-def"): "gain" (1 when absent), "fail-init".
class CGainDef : public CAudioProcessDefBase {
public:
    CAudioProcessBase* newProcess() override {
        const double gain = getTextAttr("gain").isEmpty() ? 1.0 : getDoubleAttr("gain");
        return new CCountedGainProcess(gain, getBoolAttr("fail-init"));
    }
};

using DefAttrs = std::initializer_list<std::pair<const char*, const char*>>;

inline std::string messageOf(CError* err) {
    if (err == nullptr)
        return std::string();
    std::string text(err->message().narrowed().chars8());
    delete err;
    return text;
}

// A description tree for graph tests: the graph, parameter and test tags registered, a shared
// root, and the per-instance objects a graph runs on (block pools, collector, graph context).
class CGraphDefTree {
    CParamTestTree mParams;   // the shared root: made first, released last

public:
    CGraphDefTree() {
        static const bool registered = [] {
            static const CCreatorTableEntry testTable[] = {
                {"test:gain-def", &createObject<CGainDef>, &CObject::initScheme},
                {nullptr, nullptr, nullptr},
            };
            registerGraphTags();
            CCreatorRegistry::instance().registerTable(testTable);
            return true;
        }();
        (void)registered;
        context.dawContext = &daw;
        context.collector = &collector;
    }
    CGraphDefTree(const CGraphDefTree&) = delete;
    CGraphDefTree& operator=(const CGraphDefTree&) = delete;

    // Where definitions go: "shared::audio"; parameter definitions find the shipped converters
    // ("shared::audio.paramcvt.real" and others).
    CObject* root() const { return mParams.audio(); }
    CAudioBlockPool& pool() { return daw.blockPool(); }

    // Adds an object with its attributes (an empty or "false" value is not set) and runs init;
    // finish() runs the rest of its life cycle once its children exist.
    CObject* add(CObject* parent, const char* tag, const char* name, DefAttrs attrs = {}) {
        CObject* out = nullptr;
        EXPECT_EQ(messageOf(parent->addChild(out, CString(tag), CString(name), false)), "") << name;
        for (const auto& [key, value] : attrs) {
            const std::string text(value);
            if (text.empty() || text == "false")
                continue;
            EXPECT_EQ(messageOf(out->setAttr(CString(key), CString(value), false)), "") << key;
        }
        lastInitError = messageOf(out->init());
        return out;
    }
    // createChilds and initChilds; the error message (empty on success).
    static std::string finish(CObject* object) {
        if (CError* err = object->createChilds())
            return messageOf(err);
        return messageOf(object->initChilds());
    }
    // add() and finish() for an object without children.
    CObject* leaf(CObject* parent, const char* tag, const char* name, DefAttrs attrs = {}) {
        CObject* out = add(parent, tag, name, attrs);
        EXPECT_EQ(lastInitError, "") << name;
        EXPECT_EQ(finish(out), "") << name;
        return out;
    }

    CDCDAWContext daw;
    CAudioParamCollector collector;
    CAudioGraphContext context;
    std::string lastInitError;

};

} // namespace tal::test
