#include "Audio/Processes/CAudioProcessStack.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/Processes/CAudioModule.h"
#include "Core/Log.h"

namespace tal {

struct CAudioProcessStack::CPortRecord : CPoolAllocated {
    std::int32_t number = 0;
    CAudioProcessPort* port = nullptr;
    bool seen = false;
    CArray<std::int32_t> channels;   // channel numbers of the group on that port, in order added
};

struct CAudioProcessStack::CSlotEntry : CPoolAllocated {
    CArray<CAudioProcessConnection*> connections;   // level 0: one per port record, null where unused
    CAudioProcessBase* copy = nullptr;              // owned
};

struct CAudioProcessStack::CLevel : CPoolAllocated {
    CArray<CSlotEntry*> slots;   // owned
};

struct CAudioProcessStack::CGroupRecord : CPoolAllocated {
    std::int32_t group = 0;
    CArray<CPortRecord*> ports;   // owned
    std::int32_t slotOfChannel[kMaxChannels] = {};
    std::int32_t channelUses = 0;
    std::int32_t usesPerChannel[kMaxChannels] = {};
    std::int32_t channelOfSlot[kMaxChannels] = {};
    std::int32_t slotCount = 0;
    CArray<CLevel*> levels;       // owned; level i holds copy i of every slot
};

CAudioProcessStack::CAudioProcessStack() { setLeaf(false); }

CAudioProcessStack::~CAudioProcessStack() {
    for (int i = mGroups.count() - 1; i >= 0; --i)
        destroyGroup(mGroups[i]);
}

std::int32_t CAudioProcessStack::groupNumber(int index) const noexcept { return mGroups[index]->group; }
int CAudioProcessStack::levelCount(int group) const noexcept { return mGroups[group]->levels.count(); }
int CAudioProcessStack::slotCount(int group) const noexcept { return mGroups[group]->slotCount; }
CAudioProcessBase* CAudioProcessStack::copy(int group, int level, int slot) const noexcept {
    return mGroups[group]->levels[level]->slots[slot]->copy;
}

CError* CAudioProcessStack::init() {
    const CString& param = definition() != nullptr ? definition()->stackParam() : CString::emptyString;
    mHasCount = !param.isEmpty();
    if (mHasCount)
        watchParam(CAudioProcessDefBaseInit::resolveParamName(param, namePrefix()), mCount, &mCountChanged, false,
                   false);
    mRunList.clear();
    mForwards.clear();
    return nullptr;
}

// --- copies ---------------------------------------------------------------------------------------

CAudioProcessBase* CAudioProcessStack::makeCopy(CGroupRecord& g, int level, CSlotEntry& entry) {
    CAudioProcessBase* copy = nullptr;
    if (definition() != nullptr && context() != nullptr) {
        if (CError* err = definition()->createProcess(&copy, namePrefix(), *context(), g.group, level, blockPool(),
                                                      true, false)) {
            reportError(&err);
            copy = nullptr;
        }
    }
    entry.copy = copy;
    return copy;
}

void CAudioProcessStack::connectLevel0(CGroupRecord& g, CSlotEntry& entry) {
    entry.connections.setCount(g.ports.count());
    for (int p = 0; p < g.ports.count(); ++p) {
        entry.connections[p] = nullptr;
        if (entry.copy != nullptr && !g.ports[p]->channels.isEmpty())
            entry.connections[p] = entry.copy->addInputConnection(g.ports[p]->number, 0);
    }
}

void CAudioProcessStack::detachEntry(CSlotEntry* entry, bool lastLevel) {
    if (CAudioProcessBase* c = entry->copy) {
        if (lastLevel)
            removeOutputSource(c);
        c->disconnectAll();
    }
}

void CAudioProcessStack::freeEntry(CSlotEntry* entry) {
    delete entry->copy;
    delete entry;
}

void CAudioProcessStack::destroyGroup(CGroupRecord* g) {
    // Every copy leaves the wiring before any is deleted: links point from level to level.
    for (int l = g->levels.count() - 1; l >= 0; --l)
        for (int s = g->levels[l]->slots.count() - 1; s >= 0; --s)
            detachEntry(g->levels[l]->slots[s], l == g->levels.count() - 1);
    for (int l = g->levels.count() - 1; l >= 0; --l) {
        CLevel* level = g->levels[l];
        for (int s = level->slots.count() - 1; s >= 0; --s)
            freeEntry(level->slots[s]);
        delete level;
    }
    for (int p = g->ports.count() - 1; p >= 0; --p)
        delete g->ports[p];
    delete g;
}

void CAudioProcessStack::addSlot(CGroupRecord& g, int channel) {
    const int s = g.slotCount;
    if (s >= kMaxChannels)
        return;
    g.slotOfChannel[channel] = s;
    g.channelOfSlot[s] = channel;
    g.slotCount++;
    for (int l = 0; l < g.levels.count(); ++l) {
        CSlotEntry* entry = new CSlotEntry;
        g.levels[l]->slots.add(entry);
        CAudioProcessBase* c = makeCopy(g, l, *entry);
        if (l == 0) {
            connectLevel0(g, *entry);
        } else if (c != nullptr) {
            if (CAudioProcessBase* below = g.levels[l - 1]->slots[s]->copy)
                below->addOutput(c, 0, 0);
        }
        if (l == g.levels.count() - 1 && c != nullptr)
            addOutputSource(c);
    }
}

void CAudioProcessStack::removeSlot(CGroupRecord& g, int slot) {
    for (int c = 0; c < kMaxChannels; ++c)
        if (g.usesPerChannel[c] > 0 && g.slotOfChannel[c] > slot)
            g.slotOfChannel[c]--;
    for (int s = slot; s + 1 < g.slotCount; ++s)
        g.channelOfSlot[s] = g.channelOfSlot[s + 1];
    g.slotCount--;
    for (int l = g.levels.count() - 1; l >= 0; --l)
        if (slot < g.levels[l]->slots.count())
            detachEntry(g.levels[l]->slots[slot], l == g.levels.count() - 1);
    for (int l = g.levels.count() - 1; l >= 0; --l) {
        CLevel* level = g.levels[l];
        if (slot < level->slots.count()) {
            freeEntry(level->slots[slot]);
            level->slots.removeAt(slot);
        }
    }
}

void CAudioProcessStack::addChannel(CGroupRecord& g, int channel) {
    const bool firstUse = g.channelUses == 0;
    const bool newChannel = g.usesPerChannel[channel] == 0;
    g.channelUses++;
    g.usesPerChannel[channel]++;
    const bool channelStack = definition() != nullptr && definition()->isChannelStack();
    if (newChannel && (channelStack || firstUse))
        addSlot(g, channel);
    else if (newChannel && !channelStack)
        g.slotOfChannel[channel] = 0;
}

void CAudioProcessStack::removeChannel(CGroupRecord& g, int channel) {
    g.channelUses--;
    g.usesPerChannel[channel]--;
    if (g.usesPerChannel[channel] > 0)
        return;
    const bool channelStack = definition() != nullptr && definition()->isChannelStack();
    if (channelStack)
        removeSlot(g, g.slotOfChannel[channel]);
    else if (g.channelUses == 0 && g.slotCount > 0)
        removeSlot(g, 0);
}

// --- update ---------------------------------------------------------------------------------------

void CAudioProcessStack::update() {
    if (!inputFormatChanged() && mCountChanged == 0)
        return;
    updateGroups();
    for (int i = 0; i < mGroups.count(); ++i) {
        updatePorts(*mGroups[i]);
        updateCopies(*mGroups[i]);
    }
    rebuildRunList();
    rebuildForwards();
}

void CAudioProcessStack::updateGroups() {
    std::uint32_t present = 0;
    const CAudioProcessPort* port0 = getPort(0);
    for (int i = 0; i < port0->channelCount; ++i)
        present |= 1u << (std::uint32_t(port0->format[i].group) % 32u);
    for (int i = 0; i < mGroups.count();) {
        const std::uint32_t bit = 1u << (std::uint32_t(mGroups[i]->group) % 32u);
        if (present & bit) {
            present &= ~bit;
            ++i;
            continue;
        }
        destroyGroup(mGroups[i]);
        mGroups.removeAt(i);
    }
    for (int g = 0; g < 32; ++g) {
        if (!(present & (1u << g)))
            continue;
        CGroupRecord* record = new CGroupRecord;
        record->group = g;
        mGroups.add(record);
    }
}

void CAudioProcessStack::updatePorts(CGroupRecord& g) {
    for (int p = 0; p < g.ports.count(); ++p)
        g.ports[p]->seen = false;
    for (int i = 0; i < portCount(); ++i) {
        CAudioProcessPort* port = this->port(i);
        int index = 0;
        while (index < g.ports.count() && g.ports[index]->number != port->key)
            ++index;
        if (index == g.ports.count()) {
            CPortRecord* record = new CPortRecord;
            record->number = port->key;
            g.ports.add(record);
            if (!g.levels.isEmpty())
                for (int s = 0; s < g.levels[0]->slots.count(); ++s)
                    g.levels[0]->slots[s]->connections.add(nullptr);
        }
        CPortRecord& record = *g.ports[index];
        record.seen = true;
        record.port = port;
        bool wanted[kMaxChannels] = {};
        for (int c = 0; c < port->channelCount; ++c) {
            const int n = port->format[c].key;
            if (port->format[c].group == g.group && n >= 0 && n < kMaxChannels)
                wanted[n] = true;
        }
        for (int k = 0; k < record.channels.count();) {
            const int n = record.channels[k];
            if (wanted[n]) {
                wanted[n] = false;   // stays; not added again
                ++k;
                continue;
            }
            record.channels.removeAt(k);
            removeChannel(g, n);
        }
        for (int n = 0; n < kMaxChannels; ++n) {
            if (!wanted[n])
                continue;
            record.channels.add(n);
            addChannel(g, n);
        }
        if (!g.levels.isEmpty()) {
            for (int s = 0; s < g.levels[0]->slots.count(); ++s) {
                CSlotEntry& entry = *g.levels[0]->slots[s];
                CAudioProcessConnection*& conn = entry.connections[index];
                if (conn == nullptr && !record.channels.isEmpty() && entry.copy != nullptr) {
                    conn = entry.copy->addInputConnection(record.number, 0);
                } else if (conn != nullptr && record.channels.isEmpty()) {
                    entry.copy->removeInputConnection(record.number, conn);
                    conn = nullptr;
                }
            }
        }
    }
    for (int p = 0; p < g.ports.count();) {
        CPortRecord* record = g.ports[p];
        if (record->seen) {
            ++p;
            continue;
        }
        for (int k = record->channels.count() - 1; k >= 0; --k)
            removeChannel(g, record->channels[k]);
        if (!g.levels.isEmpty()) {
            for (int s = 0; s < g.levels[0]->slots.count(); ++s) {
                CSlotEntry& entry = *g.levels[0]->slots[s];
                if (entry.connections[p] != nullptr)
                    entry.copy->removeInputConnection(record->number, entry.connections[p]);
                entry.connections.removeAt(p);
            }
        }
        delete record;
        g.ports.removeAt(p);
    }
}

void CAudioProcessStack::updateCopies(CGroupRecord& g) {
    int wanted = 1;
    if (mHasCount && CAudioModule::hasValues(mCount)) {
        const int group = mCount->isSingleGroup() ? 0 : g.group;
        const std::int64_t w = CAudioModule::toInteger(readParamValue(mCount, group, 0, 1.0));
        wanted = w < 0 ? 0 : w > 4096 ? 4096 : int(w);
    }
    const int have = g.levels.count();
    if (wanted == have)
        return;
    if (have > 0)
        for (int s = 0; s < g.levels[have - 1]->slots.count(); ++s)
            if (CAudioProcessBase* c = g.levels[have - 1]->slots[s]->copy)
                removeOutputSource(c);
    if (wanted < have) {
        if (wanted > 0) {
            for (int s = 0; s < g.levels[wanted]->slots.count(); ++s) {
                CAudioProcessBase* below = g.levels[wanted - 1]->slots[s]->copy;
                CAudioProcessBase* above = g.levels[wanted]->slots[s]->copy;
                if (below != nullptr && above != nullptr)
                    below->removeOutput(above, 0, 0);
            }
        }
        for (int l = have - 1; l >= wanted; --l)
            for (int s = g.levels[l]->slots.count() - 1; s >= 0; --s)
                detachEntry(g.levels[l]->slots[s], false);
        for (int l = have - 1; l >= wanted; --l) {
            CLevel* level = g.levels[l];
            for (int s = level->slots.count() - 1; s >= 0; --s)
                freeEntry(level->slots[s]);
            delete level;
            g.levels.removeAt(l);
        }
    } else {
        for (int l = have; l < wanted; ++l) {
            CLevel* level = new CLevel;
            g.levels.add(level);
            for (int s = 0; s < g.slotCount; ++s) {
                CSlotEntry* entry = new CSlotEntry;
                level->slots.add(entry);
                CAudioProcessBase* c = makeCopy(g, l, *entry);
                if (l == 0) {
                    connectLevel0(g, *entry);
                } else if (c != nullptr) {
                    if (CAudioProcessBase* below = g.levels[l - 1]->slots[s]->copy)
                        below->addOutput(c, 0, 0);
                }
            }
        }
    }
    if (!g.levels.isEmpty())
        for (int s = 0; s < g.levels.last()->slots.count(); ++s)
            if (CAudioProcessBase* c = g.levels.last()->slots[s]->copy)
                addOutputSource(c);
}

void CAudioProcessStack::rebuildRunList() {
    mRunList.clear();
    for (int i = 0; i < mGroups.count(); ++i)
        for (int l = 0; l < mGroups[i]->levels.count(); ++l)
            for (int s = 0; s < mGroups[i]->levels[l]->slots.count(); ++s)
                if (CAudioProcessBase* c = mGroups[i]->levels[l]->slots[s]->copy)
                    mRunList.add(c);
}

void CAudioProcessStack::rebuildForwards() {
    mForwards.clear();
    const bool channelStack = definition() != nullptr && definition()->isChannelStack();
    for (int i = 0; i < mGroups.count(); ++i) {
        CGroupRecord& g = *mGroups[i];
        if (g.levels.isEmpty())
            continue;
        for (int p = 0; p < g.ports.count(); ++p) {
            const CPortRecord& record = *g.ports[p];
            if (record.channels.isEmpty() || record.port == nullptr)
                continue;
            CAudioChannelDesc format[kMaxChannels];
            CAudioChannelDesc** entries[kMaxChannels] = {};
            int count = 0;
            for (int k = 0; k < record.channels.count(); ++k) {
                const int n = record.channels[k];
                for (int j = 0; j < record.port->channelCount; ++j) {
                    if (record.port->format[j].key != n || record.port->format[j].group != g.group)
                        continue;
                    format[count] = {};
                    format[count].key = n;
                    format[count].group = g.group;
                    format[count].latency = inputLatency();
                    entries[count] = &record.port->channelTable[j];
                    ++count;
                    break;
                }
            }
            if (!channelStack) {
                if (g.slotCount == 0)
                    continue;
                CAudioProcessConnection* conn = g.levels[0]->slots[0]->connections[p];
                if (conn == nullptr)
                    continue;
                setConnectionFormat(conn, format, count, inputSampleRate());
                for (int k = 0; k < count; ++k)
                    mForwards.add({conn, entries[k], format[k].key});
            } else {
                for (int k = 0; k < count; ++k) {
                    const int slot = g.slotOfChannel[format[k].key];
                    if (slot >= g.levels[0]->slots.count())
                        continue;
                    CAudioProcessConnection* conn = g.levels[0]->slots[slot]->connections[p];
                    if (conn == nullptr)
                        continue;
                    setConnectionFormat(conn, &format[k], 1, inputSampleRate());
                    mForwards.add({conn, entries[k], format[k].key});
                }
            }
        }
    }
}

// --- block ----------------------------------------------------------------------------------------

void CAudioProcessStack::process() {
    renderInputs();
    const int n = blockLength();
    for (int i = 0; i < mForwards.count(); ++i) {
        const CForward& f = mForwards[i];
        double* block = (*f.entry)->block;
        if (block == nullptr)
            continue;
        CAudioBlockPool::addUse(block);
        f.connection->storeBlock(f.key, block);
        f.connection->blockLength = n;
    }
    releaseInputs();
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->process();
}

void CAudioProcessStack::reset() {
    CAudioProcessBase::reset();
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->reset();
}

void CAudioProcessStack::disconnectAll() {
    for (int i = 0; i < mGroups.count(); ++i)
        for (int l = 0; l < mGroups[i]->levels.count(); ++l)
            for (int s = 0; s < mGroups[i]->levels[l]->slots.count(); ++s)
                if (CAudioProcessBase* c = mGroups[i]->levels[l]->slots[s]->copy)
                    c->disconnectAll();
    CAudioProcessBase::disconnectAll();
}

} // namespace tal
