#pragma once

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioChannelDesc.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Processes/CAudioModule.h"
#include "Audio/Processes/CAudioModuleHost.h"
#include "Audio/Processes/CAudioTerminalBinding.h"
#include "Core/CString.h"

#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace tal::test {

// A float value store as the parameter side keeps it: groups of elements, element size 1.
inline std::unique_ptr<CAudioParamStorage> makeStore(const std::vector<std::vector<double>>& groups,
                                                    bool singleGroup = false, bool singleElement = false,
                                                    const std::vector<double>& defaults = {}) {
    auto store = std::make_unique<CAudioParamStorage>();
    store->setFormat(1, CAudioParamStorage::kTypeFloat, singleGroup, singleElement);
    if (!defaults.empty())
        store->setDefaultRow(defaults.data(), int(defaults.size()), nullptr);
    store->setGroupCount(int(groups.size()));
    for (std::size_t g = 0; g < groups.size(); ++g) {
        CAudioParamChange c;
        c.group = int(g);
        c.count = int(groups[g].size());
        c.truncate = true;
        c.singleGroup = singleGroup;
        c.singleElement = singleElement;
        c.values = groups[g].data();
        store->applyChange(c);
    }
    return store;
}

// Sets element 0 of group 0 of a one-value store.
inline void setStoreValue(CAudioParamStorage& store, double value, int group = 0) {
    CAudioParamChange c;
    c.group = group;
    c.count = 1;
    c.singleGroup = store.isSingleGroup();
    c.singleElement = store.isSingleElement();
    c.values = &value;
    store.applyChange(c);
}

// Stands in for the terminal around modules under test: bindings by key, a name, a definition
// and the channels of input port 1.
class TestModuleHost : public CAudioModuleHost {
public:
    void bind(int key, const CAudioParamStorage* store, const char* name = "") {
        names.emplace_back(name);
        CAudioTerminalBinding b;
        b.key = key;
        b.store = store;
        b.paramName = &names.back();
        bindings.push_back(b);
    }
    const CAudioTerminalBinding* moduleBindings(int& count) const noexcept override {
        count = int(bindings.size());
        return bindings.data();
    }
    const CString& moduleHostName() const noexcept override { return name; }
    CObject* moduleDefinition() const noexcept override { return definition; }
    CAudioEnv* moduleEnv() const noexcept override { return nullptr; }
    CAudioChannelDesc* const* findModuleInput(int port, std::int32_t channel, std::int32_t group) noexcept override {
        if (port != 1)
            return nullptr;
        CAudioChannelDesc* const* last = nullptr;
        for (int i = 0; i < port1Count; ++i) {
            if (port1[i]->group != group)
                continue;
            if ((port1[i]->key & 15) == channel)
                return &port1[i];
            last = &port1[i];
        }
        return last;
    }

    std::vector<CAudioTerminalBinding> bindings;
    std::deque<CString> names;
    CString name;
    CObject* definition = nullptr;
    CAudioChannelDesc* port1[16] = {};
    int port1Count = 0;
};

// One module wired as a terminal would wire it: one input channel, block pool and context.
template <class T>
struct ModuleRig {
    CDCDAWContext context;
    TestModuleHost host;
    CAudioChannelDesc input;
    CAudioChannelDesc* inputTable[1] = {&input};
    std::unique_ptr<T> module = std::make_unique<T>();

    // Call after the bindings are in place: binds, configures one channel and initialises.
    void start(double rate = 48000.0, int channel = 0, int group = 0, int flagSlots = 8) {
        configure(*module, rate, channel, group, flagSlots);
    }
    void configure(T& m, double rate, int channel, int group, int flagSlots) {
        m.owner = &host;
        m.context = &context;
        m.blockPool = &context.blockPool();
        m.setFlagSlotCount(flagSlots);
        m.bindParams();
        input.key = channel;
        input.group = group;
        m.group = std::uint32_t(group);
        m.channelSlot = channel;
        m.inputTable = inputTable;
        m.inputCount = 1;
        m.outputCount = 1;
        m.outputs[0] = {};
        m.outputs[0].key = channel;
        m.outputs[0].group = group;
        m.sampleRate = rate;
        m.init();
        runUpdate(m, true);
    }
    // An update as the terminal runs it: flags set, update, flags cleared.
    static void runUpdate(T& m, bool inputsChanged) {
        m.setAllChangedBytes(1);
        m.inputsChanged = inputsChanged;
        m.update();
        m.inputsChanged = false;
        m.updateNeeded = false;
        m.setAllChangedBytes(0);
    }
    void update() { runUpdate(*module, false); }

    // Runs the module over samples in blocks of blockSize; returns the output.
    std::vector<double> run(const std::vector<double>& in, int blockSize = 512) { return runOn(*module, in, blockSize); }
    std::vector<double> runOn(T& m, const std::vector<double>& in, int blockSize) {
        std::vector<double> out;
        for (std::size_t at = 0; at < in.size(); at += std::size_t(blockSize)) {
            const int n = int(std::min(in.size() - at, std::size_t(blockSize)));
            double* block = context.blockPool().allocBlock(8 * n);
            std::memcpy(block, in.data() + at, sizeof(double) * std::size_t(n));
            input.block = block;
            m.blockLength = n;
            m.process();
            out.insert(out.end(), m.outputs[0].block, m.outputs[0].block + n);
            CAudioBlockPool::releaseBlock(m.outputs[0].block);
            CAudioBlockPool::releaseBlock(block);
            input.block = nullptr;
        }
        return out;
    }
};

} // namespace tal::test
