#include "Audio/CAudioProcess.h"

#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioProcessBypassStateDef.h"
#include "Audio/CAudioProcessDef.h"
#include "Audio/CAudioProcessLinkDef.h"
#include "Audio/CAudioProcessLinkStateDef.h"
#include "Core/CError.h"
#include "Core/Log.h"

namespace tal {

CAudioProcess::CAudioProcess() {
    setLeaf(false);
}

CAudioProcess::~CAudioProcess() {
    for (int i = 0; i < mChildren.count(); ++i) {
        delete mChildren[i]->process;
        delete mChildren[i];
    }
    for (int i = 0; i < mLinkStates.count(); ++i)
        delete mLinkStates[i];
    for (int i = 0; i < mBypassStates.count(); ++i)
        delete mBypassStates[i];
}

CError* CAudioProcess::init() {
    auto* def = dynamic_cast<CAudioProcessDef*>(definition());
    if (def == nullptr)
        return newError("@talstr_CAudioProcess_init_ProcessDefClassInvalid Audio process def of invalid class supplied.",
                        namePrefix());
    mGraph.setPrefix(namePrefix());
    mGraph.setAutoLinks(def->isAutoLinks());
    for (int i = 0; i < def->subProcesses().count(); ++i) {
        CAudioProcessDefBase* sub = def->subProcesses()[i];
        if (sub->isPrototype())
            continue;
        if (CError* err = addProcess(sub, sub->getShortName()))
            return traceError(err, namePrefix());
    }
    for (int i = 0; i < def->links().count(); ++i) {
        const CAudioProcessLinkDef& l = *def->links()[i];
        CAudioLinkGraph::CLinkSpec spec;
        spec.source = l.sourceName();
        spec.sourcePort = l.sourcePort();
        spec.destination = l.destinationName();
        spec.destinationPort = l.destinationPort();
        spec.stateId = l.stateId();
        spec.bypassStateIds = l.bypassStateIds();
        mGraph.addLink(spec);
    }
    for (int i = 0; i < def->linkStates().count(); ++i)
        addLinkState(def->linkStates()[i]);
    for (int i = 0; i < def->bypassStates().count(); ++i)
        addBypassState(def->bypassStates()[i]);
    return nullptr;
}

CError* CAudioProcess::addProcess(CAudioProcessDefBase* definition, const CString& name) {
    const int index = mGraph.addChild(name, definition->tag().equals("audio:modNode"), definition->isOutOfOrder(),
                                      definition->bypassStateId());
    if (index < 0)
        return newError("@talstr_CAudioProcess_addProcess_DupeName Duplicate audio process name '%1'.", namePrefix(),
                        name);
    CChildEntry* entry = new CChildEntry;
    entry->fullName = CString(namePrefix()).append(".").append(name);
    entry->definition = definition;
    mChildren.add(entry);
    mRebuild = true;
    return nullptr;
}

void CAudioProcess::removeProcess(const CString& name) {
    const int index = mGraph.findChild(name);
    if (index < 0)
        return;
    mGraph.disableChild(index);
    mRebuild = true;
}

CAudioProcessBase* CAudioProcess::childProcess(const CString& name) const noexcept {
    const int index = mGraph.findChild(name);
    return index < 0 ? nullptr : mChildren[index]->process;
}

// --- states -----------------------------------------------------------------------------------

void CAudioProcess::addLinkState(CAudioProcessLinkStateDef* definition) {
    CLinkStateRecord* r = new CLinkStateRecord;
    r->groupIndex = groupIndex();
    r->definition = definition;
    // The parameter name is taken as a full name, as written.
    watchParam(definition->param(), r->values, &r->changeMask, false, false);
    mLinkStates.add(r);
    mRebuild = true;
}

void CAudioProcess::addBypassState(CAudioProcessBypassStateDef* definition) {
    CBypassStateRecord* r = new CBypassStateRecord;
    r->groupIndex = groupIndex();
    r->definition = definition;
    watchParam(CAudioProcessDefBaseInit::resolveParamName(definition->param(), namePrefix()), r->values,
               &r->changeMask, false, false);
    if (definition->hasAndParam())
        watchParam(CAudioProcessDefBaseInit::resolveParamName(definition->andParam(), namePrefix()), r->andValues,
                   &r->andChangeMask, false, false);
    mBypassStates.add(r);
    mRebuild = true;
}

bool CAudioProcess::updateLinkState(CLinkStateRecord& record) const {
    // Link states read element 0 whatever the element index.
    const double v = readParamValue(record.values, record.groupIndex, 0, CAudioProcessLinkStateDef::kNoState);
    const std::int32_t state = CAudioProcessLinkStateDef::stateOf(v);
    if (state == record.lastValue)
        return false;
    record.lastValue = state;
    return true;
}

bool CAudioProcess::isBypassStateActive(const CBypassStateRecord& record, std::int32_t elementIndex) const {
    const double v = readParamValue(record.values, record.groupIndex, elementIndex, 0.0);
    const double w = record.definition->hasAndParam()
                         ? readParamValue(record.andValues, record.groupIndex, elementIndex, 0.0)
                         : 0.0;
    return record.definition->isActive(v, w);
}

bool CAudioProcess::isBypassStateActive(std::int32_t id) const {
    for (int i = mBypassStates.count() - 1; i >= 0; --i)   // for a shared id the later state counts
        if (mBypassStates[i]->definition->id() == id)
            return isBypassStateActive(*mBypassStates[i], elementIndex());
    return false;
}

bool CAudioProcess::isStateGroupActive(std::int32_t id) const {
    if (id == -1)
        return true;
    for (int i = 0; i < mLinkStates.count(); ++i)
        if (mLinkStates[i]->lastValue == id)
            return true;
    return false;
}

// --- block loop -------------------------------------------------------------------------------

void CAudioProcess::update() {
    for (int i = 0; i < mLinkStates.count(); ++i)
        if (updateLinkState(*mLinkStates[i]))
            mRebuild = true;
    for (int i = 0; i < mBypassStates.count(); ++i)
        if (mBypassStates[i]->changeMask != 0 || mBypassStates[i]->andChangeMask != 0)
            mRebuild = true;
    if (mRebuild) {
        mRebuild = false;
        rebuild();
    }
}

void CAudioProcess::rebuild() {
    mGraph.rebuild(*this, *this);
    mSequence.clear();
    const CArray<int>& order = mGraph.processingOrder();
    for (int i = 0; i < order.count(); ++i)
        mSequence.add(mChildren[order[i]]->process);
}

void CAudioProcess::process() {
    renderInputs();
    releaseInputs();   // the children hold their own references
    for (int i = 0; i < mSequence.count(); ++i)
        mSequence[i]->process();
}

void CAudioProcess::reset() {
    CAudioProcessBase::reset();
    for (int i = 0; i < mSequence.count(); ++i)
        mSequence[i]->reset();
}

void CAudioProcess::disconnectAll() {
    for (int i = 0; i < mChildren.count(); ++i)
        if (mChildren[i]->process != nullptr)
            mChildren[i]->process->disconnectAll();
    CAudioProcessBase::disconnectAll();
}

// --- the rebuild's changes --------------------------------------------------------------------

bool CAudioProcess::createChild(int child) {
    static const CAudioGraphContext noContext;
    CChildEntry& e = *mChildren[child];
    if (CError* err = e.definition->createProcess(&e.process, e.fullName, context() != nullptr ? *context() : noContext, groupIndex(), elementIndex(),
                                                  blockPool(), false, false)) {
        logError(err);
        delete err;
    }
    return e.process != nullptr;
}

void CAudioProcess::destroyChild(int child) {
    CChildEntry& e = *mChildren[child];
    if (e.process == nullptr)
        return;
    e.process->disconnectAll();
    delete e.process;
    e.process = nullptr;
}

void CAudioProcess::connect(int source, int sourcePort, int destination, int destinationPort) {
    if (source == CAudioLinkGraph::kComposite) {
        addInputLink(sourcePort, mChildren[destination]->process, destinationPort);
        return;
    }
    CAudioProcessBase* from = mChildren[source]->process;
    if (destination == CAudioLinkGraph::kComposite)
        addOutputSource(from);
    else
        from->addOutput(mChildren[destination]->process, destinationPort, sourcePort);
}

void CAudioProcess::disconnect(int source, int sourcePort, int destination, int destinationPort) {
    if (source == CAudioLinkGraph::kComposite) {
        removeInputLink(sourcePort, mChildren[destination]->process, destinationPort);
        return;
    }
    CAudioProcessBase* from = mChildren[source]->process;
    if (destination == CAudioLinkGraph::kComposite)
        removeOutputSource(from);
    else
        from->removeOutput(mChildren[destination]->process, destinationPort, sourcePort);
}

} // namespace tal
