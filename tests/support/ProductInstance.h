#pragma once

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "support/GraphTestProcesses.h"

#include <string>
#include <vector>

namespace tal::test {

// One plug-in instance built from the product's shared description the way the plug-in builds it:
// a root with the "plugin" object made from the template that "shared::audio" names, and the main
// process of "shared::audio.modMain" fed by a host connection and read by a sink. The application
// must be started with the product's description and creator tables.
class CProductInstance {
public:
    CProductInstance() {
        if (CError* err = CApplication::initRootObject(mRoot, CString())) {
            mError = messageOf(err);
            return;
        }
        CObject* audio = CApplication::sharedObject()->findObject(CString("audio"));
        if (audio == nullptr) {
            mError = "no shared audio object";
            return;
        }
        if (CError* err = mRoot->createChild(plugin, audio->getTextAttr("plugin-tag"), CString("plugin"), false,
                                             nullptr, nullptr)) {
            mError = messageOf(err);
            return;
        }
        env = dynamic_cast<CAudioEnv*>(plugin->findObject(CString(".audio-env")));
        collector = dynamic_cast<CAudioParamCollector*>(plugin->findObject(CString(".param-collector")));
        viz = dynamic_cast<CAudioVizCollector*>(plugin->findObject(CString(".viz-collector")));
        master = dynamic_cast<CAudioParamRegistry*>(plugin->findObject(CString(".param-registry")));
        context = {env, &daw, collector, viz};
    }
    ~CProductInstance() {
        if (main != nullptr) {
            main->disconnectAll();
            delete main;
        }
        sink.disconnectAll();
        if (mRoot != nullptr) mRoot->release();
    }
    CProductInstance(const CProductInstance&) = delete;
    CProductInstance& operator=(const CProductInstance&) = delete;

    // Empty when the tree was built; else what went wrong.
    const std::string& error() const { return mError; }

    // Creates the main process, as the plug-in does at set-up, on a host input of the given channels
    // (all in group 0 unless groups are given), links it to the sink and activates the instance.
    // Empty on success.
    std::string createMain(int channels, double rate = 48000.0, const std::vector<int>& groups = {}) {
        CAudioProcessDefBase* def = nullptr;
        if (CError* err = CApplication::sharedObject()->findObjectChecked(def, CString("audio.modMain")))
            return messageOf(err);
        if (CError* err = def->createProcess(&main, mMainName, context, 0, 0, &daw.blockPool(), false, false))
            return messageOf(err);
        in = host.attach(*main, channels, rate, 0, 0, groups);
        main->addOutput(&sink, 0, 0);
        // As the plug-in activates an instance: every parameter bound to its definition and offered
        // to the registries (the master applies its first program), then a silent sample that
        // primes the graph, where the composites make their children.
        collector->bindAllParams();
        run(std::vector<std::vector<double>>(std::size_t(channels), std::vector<double>(1, 0.0)));
        return std::string();
    }

    // Hands the pending parameter changes to the audio side, as the block loop does per block.
    void deliver() {
        CAudioParamChangeList list;
        collector->takePending(list);
        CAudioParamCollector::applyPendingChanges(list);
    }

    // Sets one element (component 0) of a float parameter of element size 1 from its text, through
    // the parameter's first converter: one change that rewrites the group from element 0 on, the
    // other elements with their current values (or defaults). False when the parameter or its
    // definition is missing or the text does not parse.
    static bool setText(CAudioParamCollector& params, const char* name, int element, const char* text, int group = 0) {
        CAudioParam* param = params.findParam(CString(name));
        if (param == nullptr || param->getInfo() == nullptr || param->getInfo()->getConverter(0) == nullptr)
            return false;
        bool ok = false;
        const CAudioParamInfo& info = *param->getInfo();
        const double value = info.getConverter(0)->parseText(info, 0, CString(text), &ok);
        if (!ok)
            return false;
        CAudioParamLock lock(param);
        const CAudioParamStorage& current = param->getCurrent();
        std::vector<double> values(std::size_t(element) + 1);
        for (int e = 0; e < element; ++e)
            values[std::size_t(e)] = e < current.getElementCount(group) ? current.getValue(group, e, 0)
                                                                         : current.getDefault(e, 0);
        values.back() = value;
        CAudioParamChange change;
        change.group = group;
        change.count = element + 1;
        change.dataType = current.getDataType();
        change.singleGroup = current.isSingleGroup();
        change.singleElement = current.isSingleElement();
        change.values = values.data();
        change.table = &current.getData();
        param->applyChange(change, &lock, CAudioParamContext{});
        return true;
    }

    // One block through the main process: the pending changes first, then the signal (one vector
    // per channel), then what reached the sink.
    std::vector<std::vector<double>> run(const std::vector<std::vector<double>>& signal) {
        deliver();
        host.feed(in, signal);
        main->process();
        return CTestHost::collect(sink);
    }

    CObject* root() const { return mRoot; }

    CObject* plugin = nullptr;
    CAudioEnv* env = nullptr;
    CAudioParamCollector* collector = nullptr;
    CAudioVizCollector* viz = nullptr;
    CAudioParamRegistry* master = nullptr;
    CDCDAWContext daw;
    CAudioGraphContext context;
    CTestHost host{daw.blockPool()};
    CAudioProcessBase* main = nullptr;
    CAudioProcessConnection* in = nullptr;

private:
    class CSink : public CAudioProcessBase {};

    static std::string messageOf(CError* err) {
        std::string text;
        for (int i = 0; i < err->lineCount(); ++i)
            text.append(i > 0 ? " | " : "").append(err->line(i).narrowed().chars8());
        delete err;
        return text;
    }

    CObject* mRoot = nullptr;
    std::string mError;
    const CString mMainName{"plugin.modMain"};

public:
    CSink sink;
};

} // namespace tal::test
