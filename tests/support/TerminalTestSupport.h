#pragma once

#include "Audio/AudioParamCreators.h"
#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Processes/ProcessCreators.h"
#include "Core/CCreatorRegistry.h"
#include "support/GraphTestProcesses.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tal::test {

// A sink process: what reaches its port 0 is read back with CTestHost::collect.
class CSinkProcess : public CAudioProcessBase {};

// The instance around processes under test: the parameter tree with the shipped converters, a
// collector, environment and signal-routine context, and helpers that build definitions as the
// description loader does, make processes from them, feed their input and read their output.
class CProcessTestGraph {
public:
    CProcessTestGraph() : host(daw.blockPool()) {
        static const bool registered = (CCreatorRegistry::instance().registerTable(kProcessCreatorTable), true);
        (void)registered;
        installProcessFactories();
        context = {&env, &daw, &collector, nullptr};
        sink.setIdentity(nullptr, nullptr, &context, 0, 0, &daw.blockPool());   // combines what several sources feed it
    }
    ~CProcessTestGraph() {
        for (auto it = processes.rbegin(); it != processes.rend(); ++it) {
            (*it)->disconnectAll();
            delete *it;
        }
        sink.disconnectAll();
    }

    // A definition under "audio" with attributes; children follow with alloc() and param(), then
    // finish() collects them.
    CAudioProcessDefBase* define(const char* tag, const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(tree.audio()->addChild(object, CString(tag), CString(name), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        return dynamic_cast<CAudioProcessDefBase*>(object);
    }
    void alloc(CObject* def, int key, const char* paramName, AttrList extra = {}) {
        CObject* a = nullptr;
        const std::string index = std::to_string(key);
        std::vector<std::pair<const char*, const char*>> attrs = {{"param-name", paramName}, {"index", index.c_str()}};
        attrs.insert(attrs.end(), extra.begin(), extra.end());
        build(a, def, "audio:param-alloc", (std::string("alloc") + index).c_str(), attrs);
    }
    // A global real parameter of one element per group ("def-values" groups separated by ";").
    void param(CObject* def, const char* name, const char* defValues, AttrList extra = {}) {
        CObject* p = nullptr;
        std::vector<std::pair<const char*, const char*>> attrs = {
            {"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "-1000"},
            {"max-values", "100000"}, {"def-values", defValues}, {"is-global", "true"}};
        attrs.insert(attrs.end(), extra.begin(), extra.end());
        build(p, def, "audio:param", name, attrs);
    }
    void finish(CObject* def) { EXPECT_EQ(takeMessage(def->initChilds()), ""); }

    // Makes a process of a definition and links its output to the sink.
    CAudioProcessBase* make(CAudioProcessDefBase* def, const char* prefix, int group = 0, int stackIndex = 0) {
        names.push_back(std::make_unique<CString>(prefix));
        CAudioProcessBase* p = nullptr;
        EXPECT_EQ(takeMessage(def->createProcess(&p, *names.back(), context, group, stackIndex, &daw.blockPool(),
                                                 false, false)),
                  "");
        if (p != nullptr) {
            processes.push_back(p);
            p->addOutput(&sink, 0, 0);
        }
        deliver();   // the parameters' formats and defaults reach the audio side
        return p;
    }

    // Sets element 0 of a group of a parameter and hands the change to the audio side.
    void set(const char* fullName, double value, int group = 0) {
        CAudioParam* param = collector.findParam(CString(fullName));
        ASSERT_NE(param, nullptr) << fullName;
        param->setValue(group, nullptr, nullptr, value);
        deliver();
    }
    void deliver() {
        CAudioParamChangeList list;
        collector.takePending(list);
        CAudioParamCollector::applyPendingChanges(list);
    }

    // One block: the input channels into the process, the process runs, the sink's channels out.
    std::vector<std::vector<double>> run(CAudioProcessBase& p, CAudioProcessConnection* in,
                                         const std::vector<std::vector<double>>& signal) {
        host.feed(in, signal);
        p.process();
        return CTestHost::collect(sink);
    }
    // Runs a signal through in blocks of blockSize, concatenating each output channel.
    std::vector<std::vector<double>> runBlocks(CAudioProcessBase& p, CAudioProcessConnection* in,
                                               const std::vector<std::vector<double>>& signal, int blockSize) {
        std::vector<std::vector<double>> out(signal.size());
        for (std::size_t at = 0; at < signal[0].size(); at += std::size_t(blockSize)) {
            std::vector<std::vector<double>> part;
            for (const auto& ch : signal)
                part.emplace_back(ch.begin() + std::ptrdiff_t(at),
                                  ch.begin() + std::ptrdiff_t(std::min(ch.size(), at + std::size_t(blockSize))));
            const auto o = run(p, in, part);
            for (std::size_t c = 0; c < o.size() && c < out.size(); ++c)
                out[c].insert(out[c].end(), o[c].begin(), o[c].end());
        }
        return out;
    }

    CParamTestTree tree;
    CAudioParamCollector collector;
    CAudioEnv env;
    CDCDAWContext daw;
    CAudioGraphContext context;
    CTestHost host;
    CSinkProcess sink;
    std::vector<std::unique_ptr<CString>> names;
    std::vector<CAudioProcessBase*> processes;

private:
    static void build(CObject*& out, CObject* parent, const char* tag, const char* name,
                      const std::vector<std::pair<const char*, const char*>>& attrs) {
        CError* err = parent->addChild(out, CString(tag), CString(name), false);
        for (const auto& [key, value] : attrs)
            if (err == nullptr)
                err = out->setAttr(CString(key), CString(value), false);
        if (err == nullptr)
            err = out->init();
        if (err == nullptr)
            err = out->createChilds();
        if (err == nullptr)
            err = out->initChilds();
        EXPECT_EQ(takeMessage(err), "") << name;
    }
};

} // namespace tal::test
