#include "Audio/CAudioProcessBase.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioLatencyDelay.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamFilter.h"
#include "Audio/CAudioParamFilterDef.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioParamWatch.h"
#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/CAudioProcessPort.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/CString.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

// The value store of bindings whose parameter is not found: no values.
const CAudioParamStorage& emptyValueStore() {
    static const CAudioParamStorage store{};
    return store;
}

constexpr std::uint32_t kAllGroups = 0xFFFFFFFFu;

} // namespace

CAudioProcessBase::CAudioProcessBase() {
    getPort(0)->formatCounter++;   // the first evaluation forwards port 0's format to child links
}

CAudioProcessBase::~CAudioProcessBase() {
    for (CAudioParamWatch* w = mWatches; w != nullptr;) {
        CAudioParamWatch* next = w->ownerNext;
        w->param->removeChangeWatch(w);
        w = next;
    }
    if (mContext != nullptr && mContext->collector != nullptr)
        for (int i = 0; i < mRemappedNames.count(); ++i)
            mContext->collector->removeRemap(mRemappedNames[i]);
    for (int i = mFilters.count() - 1; i >= 0; --i)
        delete mFilters[i];
    while (mDeferredChunks != nullptr) {
        CDeferredChunk* next = mDeferredChunks->next;
        poolFree(mDeferredChunks);
        mDeferredChunks = next;
    }
    for (int i = 0; i < mPorts.count(); ++i)
        delete mPorts[i];
}

// --- life cycle -------------------------------------------------------------------------------

CError* CAudioProcessBase::init() {
    return nullptr;
}

void CAudioProcessBase::reset() {
    for (int i = 0; i < mConnections.count(); ++i) {
        CAudioProcessConnection& c = *mConnections[i];
        for (int k = 0; k < c.delays.count(); ++k)
            c.delays[k]->line.clear();
    }
}

void CAudioProcessBase::update() {}

void CAudioProcessBase::process() {}

void CAudioProcessBase::bindParams() {}

void CAudioProcessBase::setIdentity(const CString* namePrefix, CAudioProcessDefBase* definition,
                                    const CAudioGraphContext* context, std::int32_t groupIndex,
                                    std::int32_t elementIndex, CAudioBlockPool* pool) noexcept {
    mNamePrefix = namePrefix;
    mDefinition = definition;
    mContext = context;
    mGroupIndex = groupIndex;
    mElementIndex = elementIndex;
    mDawContext = context != nullptr ? context->dawContext : nullptr;
    mPool = pool;
}

const CString& CAudioProcessBase::namePrefix() const noexcept {
    return mNamePrefix != nullptr ? *mNamePrefix : CString::emptyString;
}

// --- wiring -----------------------------------------------------------------------------------

CAudioProcessPort* CAudioProcessBase::findPort(std::int32_t key) const noexcept {
    for (int i = 0; i < mPorts.count(); ++i)
        if (mPorts[i]->key == key)
            return mPorts[i];
    return nullptr;
}

CAudioProcessPort* CAudioProcessBase::getPort(std::int32_t key) {
    if (CAudioProcessPort* p = findPort(key))
        return p;
    CAudioProcessPort* p = new CAudioProcessPort(key);
    mPorts.add(p);
    return p;
}

CAudioProcessConnection* CAudioProcessBase::addInputConnection(std::int32_t portKey, std::int32_t sourcePort) {
    CAudioProcessConnection* c = new CAudioProcessConnection(sourcePort, &mFormatChangeCounter);
    getPort(portKey)->connections.add(c);
    rebuildConnectionList();
    return c;
}

void CAudioProcessBase::addOutput(CAudioProcessBase* target, std::int32_t targetPort, std::int32_t sourcePort) {
    COutputLink link{target, targetPort, sourcePort, nullptr};
    if (mLeaf) {
        link.connection = target->addInputConnection(targetPort, sourcePort);
        setConnectionFormat(link.connection, mOutputFormat, mOutputChannelCount, mOutputSampleRate);
    } else if (!mOutputSources.isEmpty()) {
        for (int i = 0; i < mOutputSources.count(); ++i)
            mOutputSources[i]->addOutput(target, targetPort, sourcePort);
    } else {
        addInputLink(0, target, targetPort);   // no output source: port 0 passes straight through
    }
    mOutputLinks.add(link);
}

void CAudioProcessBase::removeOutput(CAudioProcessBase* target, std::int32_t targetPort, std::int32_t sourcePort) {
    int index = -1;
    for (int i = 0; i < mOutputLinks.count() && index < 0; ++i) {
        const COutputLink& l = mOutputLinks[i];
        if (l.target == target && l.targetPort == targetPort && l.sourcePort == sourcePort)
            index = i;
    }
    if (index < 0)
        return;
    const COutputLink link = mOutputLinks[index];
    mOutputLinks.removeAt(index);
    if (mLeaf) {
        dropChildConnection(target, targetPort, link.connection);
    } else if (!mOutputSources.isEmpty()) {
        for (int i = 0; i < mOutputSources.count(); ++i)
            mOutputSources[i]->removeOutput(target, targetPort, sourcePort);
    } else {
        removeInputLink(0, target, targetPort);
    }
}

void CAudioProcessBase::dropChildConnection(CAudioProcessBase* child, std::int32_t childPort,
                                            CAudioProcessConnection* connection) {
    child->getPort(childPort)->deleteConnection(connection);
    child->mFormatChangeCounter++;
    child->rebuildConnectionList();
}

void CAudioProcessBase::removeInputConnection(std::int32_t portKey, CAudioProcessConnection* connection) {
    dropChildConnection(this, portKey, connection);
}

void CAudioProcessBase::addInputLink(std::int32_t portKey, CAudioProcessBase* child, std::int32_t childPort) {
    CAudioProcessPort* p = getPort(portKey);
    CAudioProcessConnection* c = child->addInputConnection(childPort, 0);
    p->childLinks.add(CAudioProcessPort::CChildLink{child, childPort, c});
    setConnectionFormat(c, p->format, p->channelCount, mInputSampleRate);
    rebuildForwardList();
}

void CAudioProcessBase::removeInputLink(std::int32_t portKey, CAudioProcessBase* child, std::int32_t childPort) {
    CAudioProcessPort* p = findPort(portKey);
    if (p == nullptr)
        return;
    for (int i = 0; i < p->childLinks.count(); ++i) {
        const CAudioProcessPort::CChildLink link = p->childLinks[i];
        if (link.child != child || link.childPort != childPort)
            continue;
        dropChildConnection(child, childPort, link.connection);
        p->childLinks.removeAt(i);
        if (p->key != 0 && !p->hasSources())
            mFormatChangeCounter++;   // the next evaluation deletes the port
        rebuildForwardList();
        return;
    }
}

void CAudioProcessBase::addOutputSource(CAudioProcessBase* child) {
    mOutputSources.add(child);
    const bool first = mOutputSources.count() == 1;
    for (int i = 0; i < mOutputLinks.count(); ++i) {
        const COutputLink& l = mOutputLinks[i];
        if (first)
            removeInputLink(0, l.target, l.targetPort);   // ends the pass-through
        child->addOutput(l.target, l.targetPort, l.sourcePort);
    }
}

void CAudioProcessBase::removeOutputSource(CAudioProcessBase* child) {
    if (mOutputSources.indexOf(child) < 0)
        return;
    for (int i = 0; i < mOutputLinks.count(); ++i)
        child->removeOutput(mOutputLinks[i].target, mOutputLinks[i].targetPort, mOutputLinks[i].sourcePort);
    mOutputSources.remove(child);
    if (mOutputSources.isEmpty())
        for (int i = 0; i < mOutputLinks.count(); ++i)
            addInputLink(0, mOutputLinks[i].target, mOutputLinks[i].targetPort);   // pass-through again
}

void CAudioProcessBase::disconnectAll() {
    while (!mOutputLinks.isEmpty()) {
        const COutputLink l = mOutputLinks[0];
        removeOutput(l.target, l.targetPort, l.sourcePort);
    }
    mOutputSources.clear();
    for (int i = 0; i < mPorts.count(); ++i) {
        CAudioProcessPort& p = *mPorts[i];
        for (int k = 0; k < p.childLinks.count(); ++k)
            dropChildConnection(p.childLinks[k].child, p.childLinks[k].childPort, p.childLinks[k].connection);
        p.childLinks.clear();
    }
    mForwards.clear();   // never forward into connections that are gone
}

void CAudioProcessBase::setConnectionFormat(CAudioProcessConnection* connection, const CAudioChannelDesc* descriptors,
                                            int n, double sampleRate) noexcept {
    CAudioChannelDesc valid[CAudioProcessConnection::kMaxChannels];
    int count = 0;
    for (int i = 0; i < n && count < CAudioProcessConnection::kMaxChannels; ++i)
        if (descriptors[i].key >= 0 && descriptors[i].key < CAudioProcessConnection::kMaxChannels)
            valid[count++] = descriptors[i];

    bool same = sampleRate == connection->sampleRate && count == connection->channelCount;
    for (int i = 0; i < count && same; ++i) {
        const CAudioChannelDesc& r = connection->channels[i];
        same = valid[i].key % 16 == r.key && valid[i].key / 16 == r.sourcePortOrCount && valid[i].group == r.group &&
               valid[i].latency == r.latency;
    }
    if (same)
        return;
    ++*connection->formatCounter;
    connection->sampleRate = sampleRate;
    connection->channelCount = count;
    for (int i = 0; i < count; ++i) {
        CAudioChannelDesc& r = connection->channels[i];
        r.key = valid[i].key % 16;
        r.group = valid[i].group;
        r.latency = valid[i].latency;
        r.sourcePortOrCount = valid[i].key / 16;
        connection->keyIndex[valid[i].key] = &r;
    }
}

void CAudioProcessBase::findInputChannels(CChannelSlot* out, const CAudioChannelDesc* const* requested,
                                          int n, std::int32_t portKey) {
    CAudioProcessPort* p = findPort(portKey);
    for (int i = 0; i < n; ++i)
        out[i] = nullptr;
    if (p == nullptr || n < 1)
        return;
    if (n == 1) {
        const CAudioChannelDesc& r = *requested[0];
        int sameGroup = -1;
        for (int e = 0; e < p->channelCount; ++e) {
            if (p->format[e].group != r.group)
                continue;
            if (p->format[e].key == r.key) {
                out[0] = &p->channelTable[e];
                return;
            }
            sameGroup = e;
        }
        if (sameGroup >= 0)
            out[0] = &p->channelTable[sameGroup];
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = findPortChannel(portKey, requested[i]->key, requested[i]->group);
}

CAudioProcessBase::CChannelSlot CAudioProcessBase::findPortChannel(std::int32_t portKey, std::int32_t channelIndex,
                                                       std::int32_t group) {
    CAudioProcessPort* p = findPort(portKey);
    if (p == nullptr)
        return nullptr;
    for (int e = 0; e < p->channelCount; ++e)
        if (p->format[e].key == channelIndex && p->format[e].group == group)
            return &p->channelTable[e];
    return nullptr;
}

void CAudioProcessBase::rebuildConnectionList() {
    mConnections.clear();
    for (int i = 0; i < mPorts.count(); ++i)
        for (int k = 0; k < mPorts[i]->connections.count(); ++k)
            mConnections.add(mPorts[i]->connections[k]);
}

void CAudioProcessBase::rebuildForwardList() {
    mForwards.clear();
    for (int i = 0; i < mPorts.count(); ++i)
        for (int k = 0; k < mPorts[i]->childLinks.count(); ++k)
            mForwards.add(CForward{mPorts[i]->childLinks[k].connection, mPorts[i]});
}

// --- parameters -------------------------------------------------------------------------------

void CAudioProcessBase::bindParam(const CString& paramName, bool useAllGroups, bool useAllElements,
                                  const CAudioParamStorage*& values, std::uint32_t* changed) {
    const CString name = CString(namePrefix()).append(".").append(paramName);
    CAudioParamDef* def = mDefinition != nullptr ? dynamic_cast<CAudioParamDef*>(mDefinition->findChild(paramName))
                                                 : nullptr;
    const bool collector = mContext != nullptr && mContext->collector != nullptr;
    if (collector && (mContext->collector->isParamRemapped(name) || (def != nullptr && def->getInfo().isGlobal()))) {
        watchParam(name, values, changed, useAllGroups, useAllElements);
        return;
    }
    mUnboundBindings.add(changed);
    values = def != nullptr ? &def->getInfo().getDefaultValues() : &emptyValueStore();
}

void CAudioProcessBase::bindParam(const CAudioParamAllocDef& allocation, const CAudioParamStorage*& values,
                                  std::uint32_t* changed) {
    bindParam(allocation.getParamName(), allocation.useAllGroups(), allocation.useAllElements(), values, changed);
}

bool CAudioProcessBase::bindDefParam(std::int32_t index, const CAudioParamStorage*& values, std::uint32_t* changed) {
    const CAudioParamAllocDef* allocation = mDefinition != nullptr ? mDefinition->findAllocation(index) : nullptr;
    if (allocation == nullptr)
        return false;
    bindParam(*allocation, values, changed);
    return true;
}

void CAudioProcessBase::watchParam(const CString& fullName, const CAudioParamStorage*& values, std::uint32_t* changed,
                                   bool useAllGroups, bool useAllElements) {
    if (mContext == nullptr || mContext->collector == nullptr) {
        mUnboundBindings.add(changed);
        values = &emptyValueStore();
        return;
    }
    CAudioParam* param = mContext->collector->acquireParamRemapped(fullName);
    CAudioParamWatch* w = param->addChangeWatch(values, &mUpdatePending, changed, useAllGroups ? -1 : mGroupIndex,
                                                useAllElements ? -1 : mElementIndex);
    w->ownerNext = mWatches;
    mWatches = w;
}

CError* CAudioProcessBase::addParamFilter(const CAudioParamFilterDef& definition, const CString& groupPrefix) {
    CAudioParamFilter* filter = definition.createFilter();
    const CString base = CString(namePrefix()).append(groupPrefix);
    CStringList sources;
    CStringList destinations;
    for (int i = 0; i < definition.getSourceNames().count(); ++i)
        sources.add(CAudioProcessDefBaseInit::resolveParamName(definition.getSourceNames()[i], base));
    for (int i = 0; i < definition.getDestinationNames().count(); ++i)
        destinations.add(CAudioProcessDefBaseInit::resolveParamName(definition.getDestinationNames()[i], base));
    CAudioParamCollector* collector = mContext != nullptr ? mContext->collector : nullptr;
    if (CError* err = filter->init(&definition, collector, sources, destinations)) {
        delete filter;
        return traceError(err, namePrefix());
    }
    filter->activate();
    mFilters.add(filter);
    return nullptr;
}

double CAudioProcessBase::readParamValue(const CAudioParamStorage* values, int group, int element,
                                         double noValue) noexcept {
    if (values == nullptr || !values->isFormatSet())
        return noValue;
    const int g = values->isSingleGroup() ? 0 : group;
    const int e = values->isSingleElement() ? 0 : element;
    if (g >= 0 && g < values->getGroupCount() && e >= 0 && e < values->getElementCount(g))
        return values->getValue(g, e, 0);
    if (values->getDefaultCount() == 0)
        return noValue;
    return values->getDefault(e, 0);
}

// --- block loop -------------------------------------------------------------------------------

void CAudioProcessBase::renderInputs() noexcept {
    // A process without input connections runs an empty block with no channels.
    mBlockLength = mConnections.isEmpty() ? 0 : mConnections[0]->blockLength;
    if (mFormatChangeCounter > 0 && evaluateInputs()) {
        mInputFormatChanged = true;
        mForceAllChanged = true;
        runUpdate();
    } else if (mUpdatePending) {
        runUpdate();
    }
    for (int i = 0; i < mDelayList.count(); ++i)
        runLatencyDelay(*mDelayList[i]);
    combineGroups();
    forwardBlocks();
}

void CAudioProcessBase::combineGroups() noexcept {
    int first = 0;
    for (int g = 0; g < mCombineGroups.count(); ++g) {
        CAudioChannelDesc& entry = *mCombineGroups[g];
        const int n = entry.sourcePortOrCount;
        bool complete = true;
        for (int i = 0; i < n; ++i) {
            mCombineScratch[i] = mCombineSources[first + i]->block;
            complete = complete && mCombineScratch[i] != nullptr;
        }
        first += n;
        // A source that delivered nothing this block (it did not run) leaves the channel empty.
        entry.block = complete ? combineInputBlocks(*mPool, mCombineScratch.data(), n, mBlockLength, mCombineMode)
                               : nullptr;
    }
}

void CAudioProcessBase::forwardBlocks() noexcept {
    for (int f = 0; f < mForwards.count(); ++f) {
        CAudioProcessConnection& c = *mForwards[f].connection;
        const CAudioProcessPort& p = *mForwards[f].port;
        for (int j = 0; j < p.channelCount; ++j) {
            double* block = p.channelTable[j]->block;
            if (block == nullptr)
                continue;
            CAudioBlockPool::addUse(block);
            c.storeBlock(p.format[j].key, block);
        }
        c.blockLength = mBlockLength;
    }
}

void CAudioProcessBase::releaseInputs() noexcept {
    for (int g = 0; g < mCombineGroups.count(); ++g) {
        double*& block = mCombineGroups[g]->block;
        if (block != nullptr)
            CAudioBlockPool::releaseBlock(block);
        block = nullptr;
    }
    for (int i = 0; i < mConnections.count(); ++i) {
        CAudioProcessConnection& c = *mConnections[i];
        for (int k = 0; k < c.channelCount; ++k) {
            if (c.channels[k].block != nullptr)
                CAudioBlockPool::releaseBlock(c.channels[k].block);
            c.channels[k].block = nullptr;
        }
    }
}

void CAudioProcessBase::cancelDeferredUpdates() noexcept {
    while (mDeferredHead != nullptr) {
        CDeferredUpdate* node = mDeferredHead;
        mDeferredHead = node->next;
        node->next = mDeferredFree;
        mDeferredFree = node;
    }
    mDeferredTail = nullptr;
}

void CAudioProcessBase::addDeferredUpdate(double seconds, bool* flag) {
    if (mDeferredFree == nullptr) {
        auto* chunk = static_cast<CDeferredChunk*>(poolAlloc(sizeof(CDeferredChunk)));
        chunk->next = mDeferredChunks;
        mDeferredChunks = chunk;
        for (int i = 0; i < kDeferredChunk; ++i)
            chunk->nodes[i].next = i + 1 < kDeferredChunk ? &chunk->nodes[i + 1] : nullptr;
        mDeferredFree = chunk->nodes;
    }
    CDeferredUpdate* node = mDeferredFree;
    mDeferredFree = node->next;
    *node = CDeferredUpdate{seconds, flag, nullptr};
    if (mDeferredTail != nullptr)
        mDeferredTail->next = node;
    else
        mDeferredHead = node;
    mDeferredTail = node;
    mUpdatePending = true;
}

void CAudioProcessBase::evaluatePort(CAudioProcessPort& port, bool& rateTaken, bool& portsChanged) {
    // The records of the port by channel index.
    CArray<CAudioChannelDesc*> byIndex[CAudioProcessPort::kMaxChannels];
    for (int c = 0; c < port.connections.count(); ++c) {
        CAudioProcessConnection& conn = *port.connections[c];
        for (int k = 0; k < conn.channelCount; ++k) {
            CAudioChannelDesc& r = conn.channels[k];
            if (r.sourcePortOrCount != conn.sourcePort)
                continue;   // another source port's channel: carried along, never read
            if (!rateTaken) {
                mInputSampleRate = conn.sampleRate;
                rateTaken = true;
            }
            mInputLatency = std::max(mInputLatency, r.latency);
            byIndex[r.key].add(&r);
        }
    }
    int e = 0;
    for (int index = 0; index < CAudioProcessPort::kMaxChannels; ++index) {
        const CArray<CAudioChannelDesc*>& list = byIndex[index];
        if (list.isEmpty())
            continue;
        CAudioChannelDesc& entry = port.format[e];
        if (entry.key != index || entry.group != list[0]->group) {
            port.formatCounter++;
            portsChanged = true;
        }
        entry.key = index;
        entry.group = list[0]->group;
        entry.sourcePortOrCount = list.count();
        entry.next = nullptr;
        if (list.count() == 1) {
            port.channelTable[e] = list[0];
        } else {
            mCombineGroups.add(&entry);
            for (int i = 0; i < list.count(); ++i)
                mCombineSources.add(list[i]);
            port.channelTable[e] = &entry;
        }
        ++e;
    }
    if (e != port.channelCount) {
        for (int j = e; j < port.channelCount; ++j)
            port.format[j].key = -1;
        port.formatCounter++;
        portsChanged = true;
    }
    for (int j = e; j < CAudioProcessPort::kMaxChannels; ++j)
        port.channelTable[j] = nullptr;
    port.channelCount = e;
}

bool CAudioProcessBase::evaluateInputs() {
    mFormatChangeCounter = 0;
    const double oldRate = mInputSampleRate;
    const std::int32_t oldLatency = mInputLatency;
    mInputLatency = 0;
    mCombineGroups.clear();
    mCombineSources.clear();
    bool rateTaken = false;
    bool portsChanged = false;
    for (int i = 0; i < mPorts.count();) {
        CAudioProcessPort& p = *mPorts[i];
        if (p.key != 0 && p.connections.isEmpty() && p.childLinks.isEmpty()) {
            delete &p;   // a port that lost its last connection and child link
            mPorts.removeAt(i);
            portsChanged = true;
            continue;
        }
        evaluatePort(p, rateTaken, portsChanged);
        ++i;
    }
    int largestGroup = 0;
    for (int g = 0; g < mCombineGroups.count(); ++g)
        largestGroup = std::max(largestGroup, int(mCombineGroups[g]->sourcePortOrCount));
    mCombineScratch.setCount(largestGroup);

    const bool rateChanged = mInputSampleRate != oldRate;
    const bool latencyChanged = mInputLatency != oldLatency;
    bool forwarded = false;
    for (int i = 0; i < mPorts.count(); ++i) {
        CAudioProcessPort& p = *mPorts[i];
        for (int j = 0; j < p.channelCount; ++j)
            p.format[j].latency = mInputLatency;   // every channel has it after alignment
        if (!rateChanged && !latencyChanged && p.formatCounter <= 0)
            continue;
        p.formatCounter = 0;
        for (int k = 0; k < p.childLinks.count(); ++k)
            setConnectionFormat(p.childLinks[k].connection, p.format, p.channelCount, mInputSampleRate);
        forwarded = true;
    }
    if (forwarded)
        rebuildForwardList();
    if (rateChanged) {
        alignLatency(true);
        return true;
    }
    alignLatency(false);
    return portsChanged || latencyChanged;
}

void CAudioProcessBase::runUpdate() {
    if (mForceAllChanged) {
        for (CAudioParamWatch* w = mWatches; w != nullptr; w = w->ownerNext)
            if (w->groupMask != nullptr)
                *w->groupMask = kAllGroups;
        for (int i = 0; i < mUnboundBindings.count(); ++i)
            *mUnboundBindings[i] = kAllGroups;
    }
    const double elapsed = mInputSampleRate > 0.0 ? double(mBlockLength) / mInputSampleRate : 0.0;
    CDeferredUpdate* previous = nullptr;
    for (CDeferredUpdate* node = mDeferredHead; node != nullptr;) {
        CDeferredUpdate* next = node->next;
        if (node->remaining <= 0.0) {
            *node->flag = true;
            if (previous != nullptr)
                previous->next = next;
            else
                mDeferredHead = next;
            if (mDeferredTail == node)
                mDeferredTail = previous;
            node->next = mDeferredFree;
            mDeferredFree = node;
        } else {
            node->remaining -= elapsed;
            previous = node;
        }
        node = next;
    }
    update();
    if (mForceAllChanged) {
        mForceAllChanged = false;
        for (int i = 0; i < mUnboundBindings.count(); ++i)
            *mUnboundBindings[i] = 0;
    }
    for (CAudioParamWatch* w = mWatches; w != nullptr; w = w->ownerNext)
        if (w->groupMask != nullptr)
            *w->groupMask = 0;
    mInputFormatChanged = false;
    mUpdatePending = mDeferredHead != nullptr;
}

void CAudioProcessBase::alignLatency(bool recreate) {
    mDelayList.clear();
    const int crossfade = int(std::lround(0.015 * mInputSampleRate));
    for (int i = 0; i < mConnections.count(); ++i) {
        CAudioProcessConnection& c = *mConnections[i];
        int k = 0;
        for (int r = 0; r < c.channelCount; ++r) {
            CAudioChannelDesc& record = c.channels[r];
            if (record.sourcePortOrCount != c.sourcePort)
                continue;
            const int needed = mInputLatency - record.latency;
            if (needed == 0)
                continue;
            if (k == c.delays.count())
                c.delays.add(nullptr);
            CAudioLatencyDelay* d = c.delays[k];
            if (d == nullptr || recreate) {
                CAudioLatencyDelay* fresh = new CAudioLatencyDelay(mPool, crossfade, mCompInput);
                delete d;
                d = fresh;
                c.delays[k] = d;
                d->line.fitToTaps();
            } else if (d->channelIndex != record.key || d->group != record.group) {
                d->line.clear();   // the line now serves another channel
            }
            d->channelIndex = record.key;
            d->group = record.group;
            d->record = &record;
            d->line.setDelay(needed);
            mDelayList.add(d);
            ++k;
        }
        for (int j = k; j < c.delays.count(); ++j)
            delete c.delays[j];
        c.delays.setCount(k);
    }
}

void CAudioProcessBase::runLatencyDelay(CAudioLatencyDelay& delay) noexcept {
    double* block = delay.record->block;
    if (block == nullptr)
        return;
    const int n = mBlockLength;
    delay.line.primeWith(block, n);
    if (CAudioBlockPool::useCount(block) == 1) {
        delay.line.process(block, block, n);
        return;
    }
    double* own = mPool->allocBlock(8 * n);
    delay.line.process(block, own, n);
    CAudioBlockPool::releaseBlock(block);
    delay.record->block = own;
}

// --- output (leaves) --------------------------------------------------------------------------

void CAudioProcessBase::setOutputFormat(const CAudioChannelDesc* descriptors, int n, double sampleRate) noexcept {
    mOutputChannelCount = std::clamp(n, 0, kMaxOutputChannels);
    std::copy(descriptors, descriptors + mOutputChannelCount, mOutputFormat);
    mOutputSampleRate = sampleRate;
    for (int i = 0; i < mOutputLinks.count(); ++i)
        if (mOutputLinks[i].connection != nullptr)
            setConnectionFormat(mOutputLinks[i].connection, mOutputFormat, mOutputChannelCount, mOutputSampleRate);
}

void CAudioProcessBase::distributeOutputs(const CAudioChannelDesc* outputs, int n, int length) noexcept {
    const int links = mOutputLinks.count();
    for (int i = 0; i < n; ++i) {
        double* block = outputs[i].block;
        if (block == nullptr)
            continue;
        if (links == 0) {
            CAudioBlockPool::releaseBlock(block);
            continue;
        }
        for (int k = 1; k < links; ++k)
            CAudioBlockPool::addUse(block);
        for (int k = 0; k < links; ++k)
            mOutputLinks[k].connection->storeBlock(outputs[i].key, block);
    }
    for (int k = 0; k < links; ++k)
        mOutputLinks[k].connection->blockLength = length;
}

} // namespace tal
