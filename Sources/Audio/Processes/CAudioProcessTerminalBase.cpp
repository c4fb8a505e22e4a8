#include "Audio/Processes/CAudioProcessTerminalBase.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/Filters/MorphLength.h"
#include "Audio/Processes/CAudioModule.h"
#include "Audio/Processes/CAudioModuleSlot.h"
#include "Audio/Processes/ParamAllocs.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace tal {

namespace {
constexpr double kShortestCrossfade = 1e-4;   // seconds; also what a missing "xfade-length" gives
}

CAudioProcessTerminalBase::CAudioProcessTerminalBase() = default;

CAudioProcessTerminalBase::~CAudioProcessTerminalBase() {
    for (int i = mSpares.count() - 1; i >= 0; --i)
        delete mSpares[i];
    for (int i = mSlots.count() - 1; i >= 0; --i) {
        delete mSlots[i]->fadingOut;
        delete mSlots[i]->current;
        delete mSlots[i];
    }
}

// --- set-up -----------------------------------------------------------------------------------

CError* CAudioProcessTerminalBase::init() {
    bindAllocations();
    mRunList.clear();
    mRunListChanged = false;
    const double seconds = definition() != nullptr ? definition()->getDoubleAttr("xfade-length") : 0.0;
    mCrossfadeSeconds = seconds > kShortestCrossfade ? seconds : kShortestCrossfade;
    return nullptr;
}

void CAudioProcessTerminalBase::bindAllocations() {
    CArray<CAudioParamAllocDef*> allocations;
    collectParamAllocs(definition(), allocations);
    // The entries are sized once: the parameter side keeps pointers into them.
    mBindings.setCount(allocations.count());
    mLargestKey = -1;
    for (int i = 0; i < allocations.count(); ++i) {
        const CAudioParamAllocDef* a = allocations[i];
        CAudioTerminalBinding& b = mBindings[i];
        b = {};
        b.key = a->getIndex();
        b.smoothUpdate = a->isSmoothUpdate();
        b.useAllGroups = a->useAllGroups();
        b.paramName = &a->getParamName();
        mLargestKey = std::max(mLargestKey, b.key);
    }
    // Keys may leave gaps: the update finds an entry through this table, never by position.
    mBindingOfKey.setCount(mLargestKey + 1);
    for (int k = 0; k <= mLargestKey; ++k)
        mBindingOfKey[k] = -1;
    for (int i = 0; i < mBindings.count(); ++i) {
        CAudioTerminalBinding& b = mBindings[i];
        mBindingOfKey[b.key] = i;
        bindParam(*b.paramName, b.useAllGroups, allocations[i]->useAllElements(), b.store, &b.changedGroups);
    }
}

// --- module host --------------------------------------------------------------------------------

const CAudioTerminalBinding* CAudioProcessTerminalBase::moduleBindings(int& count) const noexcept {
    count = mBindings.count();
    return mBindings.isEmpty() ? nullptr : &mBindings[0];
}

CObject* CAudioProcessTerminalBase::moduleDefinition() const noexcept { return definition(); }

CAudioEnv* CAudioProcessTerminalBase::moduleEnv() const noexcept {
    return context() != nullptr ? context()->env : nullptr;
}

CAudioChannelDesc* const* CAudioProcessTerminalBase::findModuleInput(int port, std::int32_t channel,
                                                                    std::int32_t group) noexcept {
    CAudioChannelDesc requested;
    requested.key = channel;
    requested.group = group;
    const CAudioChannelDesc* list[1] = {&requested};
    CChannelSlot out[1] = {nullptr};
    findInputChannels(out, list, 1, port);
    return out[0];
}

const CAudioTerminalBinding* CAudioProcessTerminalBase::bindingOfKey(int key) const noexcept {
    if (key < 0 || key >= mBindingOfKey.count() || mBindingOfKey[key] < 0)
        return nullptr;
    return &mBindings[mBindingOfKey[key]];
}

// --- modules ------------------------------------------------------------------------------------

CAudioModule* CAudioProcessTerminalBase::makeModule() {
    CAudioModule* m = createModule();
    if (m == nullptr)
        return nullptr;
    m->owner = this;
    m->context = dawContext();
    m->blockPool = blockPool();
    m->element = std::uint32_t(elementIndex());
    m->setFlagSlotCount(mLargestKey + 1);
    m->bindParams();
    return m;
}

void CAudioProcessTerminalBase::obtainModule(CAudioModuleSlot& slot) {
    CAudioModule* m = nullptr;
    if (!mSpares.isEmpty()) {
        m = mSpares.last();   // keeps its owner, pool, element and bindings
        mSpares.removeAt(mSpares.count() - 1);
    } else {
        m = makeModule();
    }
    delete slot.current;
    slot.current = m;
}

void CAudioProcessTerminalBase::retire(CAudioModule* module) {
    if (module != nullptr)
        mSpares.add(module);
}

void CAudioProcessTerminalBase::setChangedBytes(CAudioModule& module, std::uint8_t value) noexcept {
    module.setAllChangedBytes(value);
}

void CAudioProcessTerminalBase::runModuleUpdate(CAudioModule& module) {
    module.update();
    module.inputsChanged = false;
    module.updateNeeded = false;
}

void CAudioProcessTerminalBase::arrangeModules() {
    CAudioProcessPort* port = getPort(0);
    CArray<CAudioModule*> added;
    if (definition() == nullptr || !definition()->isTerminalWhole()) {
        // Channel index -> position in port 0's channel table, -1 when absent.
        int position[CAudioProcessPort::kMaxChannels];
        bool served[CAudioProcessPort::kMaxChannels];
        for (int c = 0; c < CAudioProcessPort::kMaxChannels; ++c) {
            position[c] = -1;
            served[c] = false;
        }
        for (int i = 0; i < port->channelCount; ++i) {
            const int c = port->format[i].key;
            if (c >= 0 && c < CAudioProcessPort::kMaxChannels)
                position[c] = i;
        }
        for (int s = 0; s < mSlots.count();) {
            CAudioModuleSlot* slot = mSlots[s];
            const int c = slot->current != nullptr ? slot->current->channelSlot : -1;
            if (c < 0 || c >= CAudioProcessPort::kMaxChannels || position[c] < 0 || served[c]) {
                retire(slot->current);
                retire(slot->fadingOut);
                delete slot;
                mSlots.removeAt(s);
                mRunListChanged = true;
                continue;
            }
            slot->current->group = std::uint32_t(port->format[position[c]].group);
            served[c] = true;
            ++s;
        }
        for (int c = 0; c < CAudioProcessPort::kMaxChannels; ++c) {
            if (position[c] < 0 || served[c])
                continue;
            CAudioModuleSlot* slot = new CAudioModuleSlot;
            obtainModule(*slot);
            if (slot->current == nullptr) {
                delete slot;
                continue;
            }
            slot->current->group = std::uint32_t(port->format[position[c]].group);
            slot->current->channelSlot = c;
            mSlots.add(slot);
            added.add(slot->current);
            mRunListChanged = true;
        }
        for (int s = 0; s < mSlots.count(); ++s) {
            CAudioModule* m = mSlots[s]->current;
            m->inputTable = &port->channelTable[position[m->channelSlot]];
            m->inputCount = 1;
        }
    } else {
        if (mSlots.isEmpty()) {
            CAudioModuleSlot* slot = new CAudioModuleSlot;
            obtainModule(*slot);
            if (slot->current == nullptr) {
                delete slot;
            } else {
                slot->current->group = std::uint32_t(groupIndex());
                slot->current->channelSlot = -1;
                mSlots.add(slot);
                added.add(slot->current);
                mRunListChanged = true;
            }
        }
        if (!mSlots.isEmpty()) {
            mSlots[0]->current->inputTable = port->channelTable;
            mSlots[0]->current->inputCount = port->channelCount;
        }
    }
    for (int s = 0; s < mSlots.count(); ++s) {
        CAudioModule& m = *mSlots[s]->current;
        m.sampleRate = inputSampleRate();
        m.latency = inputLatency();
        m.outputCount = m.inputCount;
        for (int j = 0; j < m.inputCount; ++j) {
            m.outputs[j] = {};
            m.outputs[j].key = m.inputTable[j]->key;
            m.outputs[j].group = m.inputTable[j]->group;
            m.outputs[j].latency = inputLatency();
        }
    }
    for (int i = 0; i < added.count(); ++i)
        added[i]->init();
}

// --- update -------------------------------------------------------------------------------------

void CAudioProcessTerminalBase::endCrossfade(CAudioModuleSlot& slot) {
    slot.crossfading = false;
    slot.fadeCount = 0;
    retire(slot.fadingOut);
    slot.fadingOut = nullptr;
    mRunListChanged = true;
}

void CAudioProcessTerminalBase::endAllCrossfades() {
    for (int i = 0; i < mCrossfading.count(); ++i)
        endCrossfade(*mCrossfading[i]);
    mCrossfading.clear();
}

void CAudioProcessTerminalBase::update() {
    if (inputFormatChanged()) {
        endAllCrossfades();
        arrangeModules();
        mOutputFormatChanged = true;
        cancelDeferredUpdates();
        mCrossfadeSamples = morphLengthSamples(mCrossfadeSeconds, inputSampleRate());
        for (int s = 0; s < mSlots.count(); ++s) {
            CAudioModule& m = *mSlots[s]->current;
            setChangedBytes(m, 1);
            m.inputsChanged = true;
            m.updateNeeded = true;
        }
        for (int s = 0; s < mSlots.count(); ++s)
            runModuleUpdate(*mSlots[s]->current);
        for (int s = 0; s < mSlots.count(); ++s)
            setChangedBytes(*mSlots[s]->current, 0);
    } else {
        bool smooth = definition() != nullptr && definition()->isSmoothUpdate();
        bool any = false;
        for (int i = 0; i < mBindings.count(); ++i) {
            const CAudioTerminalBinding& b = mBindings[i];
            const std::uint32_t w = b.changedGroups;
            if (w == 0)
                continue;
            any = true;
            smooth = smooth || b.smoothUpdate;
            for (int s = 0; s < mSlots.count(); ++s) {
                CAudioModule& m = *mSlots[s]->current;
                bool hit = b.useAllGroups;
                if (!hit) {
                    const bool perGroup = CAudioModule::hasValues(b.store) && !b.store->isSingleGroup();
                    const std::uint32_t bit = perGroup ? m.group % 32u : 0u;
                    hit = (w >> bit) & 1u;
                }
                if (hit && b.key < m.flagSlotCount) {
                    if (m.flagSlots[b.key] != nullptr)
                        *m.flagSlots[b.key] = 1;
                    m.updateNeeded = true;
                }
            }
        }
        if (any) {
            if (smooth) {
                for (int s = 0; s < mSlots.count(); ++s) {
                    CAudioModuleSlot& slot = *mSlots[s];
                    if (!slot.current->updateNeeded)
                        continue;
                    if (!slot.crossfading) {
                        if (startCrossfade(slot))
                            mCrossfading.add(&slot);
                    } else {
                        slot.changePending = true;
                        slot.current->updateNeeded = false;
                    }
                }
            } else {
                for (int s = 0; s < mSlots.count(); ++s)
                    if (mSlots[s]->current->updateNeeded)
                        runModuleUpdate(*mSlots[s]->current);
            }
            for (int s = 0; s < mSlots.count(); ++s)
                setChangedBytes(*mSlots[s]->current, 0);
        }
    }
    for (int i = 0; i < mCrossfading.count();) {
        CAudioModuleSlot& slot = *mCrossfading[i];
        bool stays = true;
        if (slot.crossfadeFinished) {
            if (!slot.changePending) {
                endCrossfade(slot);
                stays = false;
            } else {
                stays = startCrossfade(slot);
            }
        }
        if (stays)
            ++i;
        else
            mCrossfading.removeAt(i);
    }
    if (mOutputFormatChanged) {
        mOutputFormatChanged = false;
        mOutputTableChanged = false;
        updateOutputFormat();
    } else if (mOutputTableChanged) {
        mOutputTableChanged = false;
        rebuildOutputTable();
    }
    if (mRunListChanged) {
        mRunListChanged = false;
        rebuildRunList();
    }
}

bool CAudioProcessTerminalBase::startCrossfade(CAudioModuleSlot& slot) {
    retire(slot.fadingOut);
    slot.fadingOut = slot.current;
    slot.current = nullptr;
    obtainModule(slot);
    mOutputTableChanged = true;
    mRunListChanged = true;
    CAudioModule* old = slot.fadingOut;
    CAudioModule* m = slot.current;
    if (m == nullptr) {   // no memory for a new module: the old one carries on
        slot.current = old;
        slot.fadingOut = nullptr;
        slot.crossfading = false;
        return false;
    }
    m->group = old->group;
    m->channelSlot = old->channelSlot;
    m->sampleRate = old->sampleRate;
    m->latency = old->latency;
    m->inputTable = old->inputTable;
    m->inputCount = old->inputCount;
    m->outputCount = m->inputCount;
    for (int j = 0; j < m->inputCount; ++j) {
        m->outputs[j] = {};
        m->outputs[j].key = m->inputTable[j]->key;
        m->outputs[j].group = m->inputTable[j]->group;
        m->outputs[j].latency = old->latency;
    }
    m->init();
    setChangedBytes(*m, 1);
    m->inputsChanged = true;
    runModuleUpdate(*m);
    setChangedBytes(*m, 0);

    bool sameLayout = m->outputCount == old->outputCount;
    for (int j = 0; sameLayout && j < m->outputCount; ++j) {
        if (m->outputs[j].key != old->outputs[j].key || m->outputs[j].group != old->outputs[j].group)
            sameLayout = false;
        else if (m->outputs[j].latency != old->outputs[j].latency)
            mOutputFormatChanged = true;
    }
    if (!sameLayout) {
        retire(slot.fadingOut);
        slot.fadingOut = nullptr;
        slot.crossfading = false;
        mOutputFormatChanged = true;
        return false;
    }
    const int n = mCrossfadeSamples;
    const double step = std::numbers::pi / n;
    slot.crossfading = true;
    slot.crossfadeFinished = false;
    slot.changePending = false;
    slot.fadeCount = m->outputCount;
    for (int j = 0; j < m->outputCount; ++j)
        slot.fades[j] = {0.5, 0.5 * std::sin(std::numbers::pi / 2.0 - step), 2.0 * std::cos(step)};
    int largest = 0;
    for (int j = 0; j < m->outputCount; ++j)
        largest = std::max(largest, int(m->outputs[j].latency));
    slot.holdSamples = std::max(0, largest - int(inputLatency()));
    slot.crossfadeLeft = n;
    addDeferredUpdate(double(slot.holdSamples + n) / inputSampleRate(), &slot.crossfadeFinished);
    return true;
}

// --- block --------------------------------------------------------------------------------------

void CAudioProcessTerminalBase::runModules() noexcept {
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->process();
}

bool CAudioProcessTerminalBase::pendingUpdateMayCrossfade() const noexcept {
    if (definition() != nullptr && definition()->isSmoothUpdate())
        return true;
    for (int i = 0; i < mBindings.count(); ++i)
        if (mBindings[i].changedGroups != 0 && mBindings[i].smoothUpdate)
            return true;
    return false;
}

void CAudioProcessTerminalBase::process() {
    renderInputs();
    if (!mRunList.isEmpty()) {
        for (int i = 0; i < mRunList.count(); ++i)
            mRunList[i]->blockLength = blockLength();
        runModules();
        for (int i = 0; i < mCrossfading.count(); ++i)
            mixCrossfade(*mCrossfading[i]);
        distributeModuleOutputs();
    }
    releaseInputs();
}

void CAudioProcessTerminalBase::mixCrossfade(CAudioModuleSlot& slot) noexcept {
    CAudioModule& fresh = *slot.current;
    CAudioModule& old = *slot.fadingOut;
    const int length = blockLength();
    const int channels = std::min(fresh.outputCount, slot.fadeCount);
    const int hold = std::min(length, std::max(0, int(slot.holdSamples)));
    const int mix = std::min(length - hold, std::max(0, int(slot.crossfadeLeft)));
    for (int c = 0; c < channels; ++c) {
        const double* __restrict a = old.outputs[c].block;
        const double* __restrict b = fresh.outputs[c].block;
        double* __restrict out = blockPool()->allocBlock(int(sizeof(double)) * (length > 0 ? length : 1));
        int k = 0;
        for (; k < hold; ++k)
            out[k] = a[k];
        CAudioModuleSlot::CFade f = slot.fades[c];
        for (const int end = hold + mix; k < end; ++k) {
            out[k] = (f.h + 0.5) * a[k] + (0.5 - f.h) * b[k];
            const double next = f.coefficient * f.h - f.previous;
            f.previous = f.h;
            f.h = next;
        }
        slot.fades[c] = f;
        for (; k < length; ++k)
            out[k] = b[k];
        CAudioBlockPool::releaseBlock(fresh.outputs[c].block);
        CAudioBlockPool::releaseBlock(old.outputs[c].block);
        fresh.outputs[c].block = out;
    }
    // The fading-out module's further outputs (none when the layouts match) are dropped.
    for (int c = channels; c < old.outputCount; ++c)
        CAudioBlockPool::releaseBlock(old.outputs[c].block);
    slot.holdSamples -= hold;
    slot.crossfadeLeft -= mix;
}

void CAudioProcessTerminalBase::distributeModuleOutputs() noexcept {
    // Only the table's records are copied (default-constructing the whole array every block
    // cost more than handing the blocks on).
    union Records {
        Records() {}
        CAudioChannelDesc at[kMaxOutputs];
    } outputs;
    for (int i = 0; i < mOutputTableCount; ++i)
        std::construct_at(&outputs.at[i], *mOutputTable[i]);
    distributeOutputs(outputs.at, mOutputTableCount, blockLength());
    for (int i = 0; i < mOutputTableCount; ++i)
        mOutputTable[i]->block = nullptr;
    // A module's outputs beyond the output table (none in a consistent layout) would leak.
}

void CAudioProcessTerminalBase::rebuildOutputTable() {
    mOutputTableCount = 0;
    for (int s = 0; s < mSlots.count(); ++s) {
        CAudioModule& m = *mSlots[s]->current;
        for (int j = 0; j < m.outputCount && mOutputTableCount < kMaxOutputs; ++j)
            mOutputTable[mOutputTableCount++] = &m.outputs[j];
    }
}

void CAudioProcessTerminalBase::updateOutputFormat() {
    rebuildOutputTable();
    CAudioChannelDesc format[kMaxOutputs];
    for (int i = 0; i < mOutputTableCount; ++i) {
        format[i] = {};
        format[i].key = mOutputTable[i]->key;
        format[i].group = mOutputTable[i]->group;
        format[i].latency = mOutputTable[i]->latency;
    }
    setOutputFormat(format, mOutputTableCount, inputSampleRate());
}

void CAudioProcessTerminalBase::rebuildRunList() {
    mRunList.clear();
    for (int s = 0; s < mSlots.count(); ++s) {
        mRunList.add(mSlots[s]->current);
        if (mSlots[s]->crossfading && mSlots[s]->fadingOut != nullptr)
            mRunList.add(mSlots[s]->fadingOut);
    }
}

void CAudioProcessTerminalBase::reset() {
    CAudioProcessBase::reset();
    cancelDeferredUpdates();
    for (int s = 0; s < mSlots.count(); ++s)
        mSlots[s]->current->reset();
    endAllCrossfades();
    if (mRunListChanged) {
        mRunListChanged = false;
        rebuildRunList();
    }
}

} // namespace tal
