#include "Audio/CAudioLinkGraph.h"

#include "Core/Log.h"

#include <algorithm>

namespace tal {

namespace {

// Writes "<text> // <prefix>", or the text alone when the prefix is empty.
void logWithPrefix(const char* text, const CString& prefix) {
    if (prefix.isEmpty()) {
        writeLog(text, true);
        return;
    }
    CString line(text);
    line.append(" // ").append(prefix);
    writeLog(line.narrowed().chars8(), true);
}

} // namespace

CAudioLinkGraph::~CAudioLinkGraph() {
    for (int i = 0; i < mChildren.count(); ++i)
        delete mChildren[i];
    for (int i = 0; i < mLinks.count(); ++i)
        delete mLinks[i];
}

int CAudioLinkGraph::addChild(const CString& name, bool node, bool outOfOrder, std::int32_t bypassStateId) {
    if (findChild(name) >= 0)
        return -1;
    CChild* child = new CChild;
    child->name = name;
    child->node = node;
    child->outOfOrder = outOfOrder;
    child->bypassStateId = bypassStateId;
    mChildren.add(child);
    return mChildren.count() - 1;
}

void CAudioLinkGraph::addLink(const CLinkSpec& link) {
    CLinkSpec* copy = new CLinkSpec;
    *copy = link;
    mLinks.add(copy);
}

void CAudioLinkGraph::disableChild(int child) noexcept {
    if (child >= 0 && child < mChildren.count())
        mChildren[child]->enabled = false;
}

int CAudioLinkGraph::findChild(const CString& name) const noexcept {
    for (int i = 0; i < mChildren.count(); ++i)
        if (mChildren[i]->name == name)
            return i;
    return -1;
}

CArray<CAudioLinkGraph::CLinkRecord>& CAudioLinkGraph::linksOf(int destination) noexcept {
    return destination == kComposite ? mOutputLinks : mChildren[destination]->inputs;
}

const CArray<CAudioLinkGraph::CLinkRecord>& CAudioLinkGraph::inputLinks(int destination) const noexcept {
    return destination == kComposite ? mOutputLinks : mChildren[destination]->inputs;
}

bool CAudioLinkGraph::isBypassed(int child, const CStates& states) const {
    const std::int32_t id = mChildren[child]->bypassStateId;
    return id >= 0 && states.isBypassStateActive(id);
}

bool CAudioLinkGraph::isMember(int child, const CStates& states) const {
    const CChild& c = *mChildren[child];
    return c.enabled && !c.outOfOrder && !isBypassed(child, states);
}

void CAudioLinkGraph::want(int destination, int source, std::int32_t sourcePort, std::int32_t destinationPort) {
    CArray<CLinkRecord>& links = linksOf(destination);
    for (int i = 0; i < links.count(); ++i) {
        CLinkRecord& r = links[i];
        if (r.source == source && r.sourcePort == sourcePort && r.destinationPort == destinationPort) {
            ++r.count;
            return;
        }
    }
    CLinkRecord r;
    r.source = source;
    r.sourcePort = sourcePort;
    r.destinationPort = destinationPort;
    r.count = 1;
    links.add(r);
}

void CAudioLinkGraph::forwardNodeInputs(int node, int target, std::int32_t port) {
    CChild& n = *mChildren[node];
    if (n.visited) {
        mWalkCycle = true;   // nodes feeding each other in a cycle: the walk ends here
        return;
    }
    n.visited = true;
    for (int i = 0; i < n.inputs.count(); ++i) {
        const CLinkRecord r = n.inputs[i];
        if (r.count == 0)
            continue;
        if (r.source == kComposite) {
            if (target != kComposite)
                want(target, kComposite, 0, port);
        } else if (mChildren[r.source]->node) {
            forwardNodeInputs(r.source, target, port);
        } else {
            want(target, r.source, 0, port);
        }
    }
    n.visited = false;
}

int CAudioLinkGraph::resolveEndpoint(const CString& name, const CStates& states, bool& ok) const {
    ok = true;
    if (name.equals("*"))
        return kComposite;
    const int child = findChild(name);
    ok = child >= 0 && mChildren[child]->enabled && !isBypassed(child, states);
    return child;
}

void CAudioLinkGraph::resolveLinks(const CStates& states) {
    if (mAutoLinks) {
        CArray<int> members;
        for (int i = 0; i < mChildren.count(); ++i)
            if (isMember(i, states))
                members.add(i);
        for (int k = 0; k < members.count(); ++k)   // node pass
            if (mChildren[members[k]]->node)
                want(members[k], k == 0 ? kComposite : members[k - 1], 0, 0);
        for (int k = 0; k < members.count(); ++k) {   // other pass
            const int m = members[k];
            if (mChildren[m]->node)
                continue;
            if (k == 0)
                want(m, kComposite, 0, 0);
            else if (mChildren[members[k - 1]]->node)
                forwardNodeInputs(members[k - 1], m, 0);
            else
                want(m, members[k - 1], 0, 0);
        }
        if (!members.isEmpty()) {
            const int last = members[members.count() - 1];
            if (mChildren[last]->node)
                forwardNodeInputs(last, kComposite, 0);
            else
                want(kComposite, last, 0, 0);
        }
    }

    // The explicit links, one state group after another in ascending id.
    CArray<std::int32_t> groups;
    for (int i = 0; i < mLinks.count(); ++i)
        if (groups.indexOf(mLinks[i]->stateId) < 0)
            groups.add(mLinks[i]->stateId);
    std::sort(groups.begin(), groups.end());
    for (int g = 0; g < groups.count(); ++g) {
        if (!states.isStateGroupActive(groups[g]))
            continue;
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < mLinks.count(); ++i) {
                const CLinkSpec& link = *mLinks[i];
                if (link.stateId != groups[g])
                    continue;
                bool bypassed = false;
                for (int b = 0; b < link.bypassStateIds.count() && !bypassed; ++b)
                    bypassed = states.isBypassStateActive(link.bypassStateIds[b]);
                if (bypassed)
                    continue;
                bool ok = false;
                const int source = resolveEndpoint(link.source, states, ok);
                if (!ok)
                    continue;
                const int destination = resolveEndpoint(link.destination, states, ok);
                if (!ok || (source == kComposite && destination == kComposite))
                    continue;
                const bool toNode = destination != kComposite && mChildren[destination]->node;
                if (pass == 0) {
                    if (toNode)
                        want(destination, source, link.sourcePort, link.destinationPort);
                } else if (!toNode) {
                    if (source != kComposite && mChildren[source]->node)
                        forwardNodeInputs(source, destination, link.destinationPort);
                    else
                        want(destination, source, link.sourcePort, link.destinationPort);
                }
            }
        }
    }
}

bool CAudioLinkGraph::reachesInput(int start) {
    clearVisits();
    int current = start;
    for (;;) {
        CChild& c = *mChildren[current];
        if (c.visited) {
            mWalkCycle = true;   // port-0 inputs in a cycle: a dead end
            return false;
        }
        c.visited = true;
        const CLinkRecord* first = nullptr;
        for (int i = 0; i < c.inputs.count() && first == nullptr; ++i)
            if (c.inputs[i].destinationPort == 0 && c.inputs[i].count >= 1)
                first = &c.inputs[i];
        if (first == nullptr)
            return false;
        if (first->source == kComposite)
            return true;
        current = first->source;
    }
}

void CAudioLinkGraph::pruneDeadEnds() {
    for (int i = 0; i < mChildren.count(); ++i) {
        CChild& c = *mChildren[i];
        if (!c.enabled || reachesInput(i))
            continue;
        for (int k = 0; k < c.inputs.count(); ++k)
            c.inputs[k].count = 0;
    }
    clearVisits();
}

void CAudioLinkGraph::clearVisits() noexcept {
    for (int i = 0; i < mChildren.count(); ++i)
        mChildren[i]->visited = false;
}

void CAudioLinkGraph::acquire(int key, CSink& sink) {
    if (key == kComposite) {
        ++mOutputUseCount;
        return;
    }
    CChild& c = *mChildren[key];
    if (c.useCount++ == 0)
        c.hasProcess = sink.createChild(key);
}

void CAudioLinkGraph::release(int key, CSink& sink) {
    if (key == kComposite) {
        --mOutputUseCount;
        return;
    }
    CChild& c = *mChildren[key];
    if (--c.useCount == 0 && c.hasProcess) {
        sink.destroyChild(key);
        c.hasProcess = false;
    }
}

void CAudioLinkGraph::applyLinks(int destination, CSink& sink) {
    CArray<CLinkRecord>& links = linksOf(destination);
    auto connected = [&](const CLinkRecord& r) {
        return (r.source == kComposite || mChildren[r.source]->hasProcess) &&
               (destination == kComposite || mChildren[destination]->hasProcess);
    };
    int kept = 0;
    for (int i = 0; i < links.count(); ++i) {
        const CLinkRecord r = links[i];
        if (r.count > 0) {
            links[kept++] = r;
            continue;
        }
        if (r.previousCount > 0) {
            if (connected(r))
                sink.disconnect(r.source, r.sourcePort, destination, r.destinationPort);
            if (r.source != kComposite)
                release(r.source, sink);
            release(destination, sink);
        }
    }
    links.setCount(kept);
    for (int i = 0; i < links.count(); ++i) {
        const CLinkRecord r = links[i];
        if (r.previousCount != 0)
            continue;
        acquire(destination, sink);
        if (r.source != kComposite)
            acquire(r.source, sink);
        if (connected(r))
            sink.connect(r.source, r.sourcePort, destination, r.destinationPort);
    }
}

void CAudioLinkGraph::computeOrder() {
    // Keys of the in-use set: the composite's output first, then the children in child-list order.
    CArray<int> keys;
    if (mOutputUseCount > 0)
        keys.add(kComposite);
    for (int i = 0; i < mChildren.count(); ++i) {
        mChildren[i]->done = false;
        if (mChildren[i]->useCount > 0)
            keys.add(i);
    }
    mOrder.clear();
    bool outputDone = false;
    int remaining = keys.count();
    for (bool marked = true; marked && remaining > 0;) {
        marked = false;
        for (int k = 0; k < keys.count(); ++k) {
            const int key = keys[k];
            if (key == kComposite ? outputDone : mChildren[key]->done)
                continue;
            const CArray<CLinkRecord>& links = linksOf(key);
            bool ready = true;
            for (int i = 0; i < links.count() && ready; ++i)
                ready = links[i].source == kComposite || mChildren[links[i].source]->done;
            if (!ready)
                continue;
            marked = true;
            --remaining;
            if (key == kComposite) {
                outputDone = true;
            } else {
                mChildren[key]->done = true;
                if (mChildren[key]->hasProcess)
                    mOrder.add(key);   // a child whose process could not be made is not run
            }
        }
    }
    if (remaining > 0)
        logWithPrefix("process seq err", mPrefix);
}

void CAudioLinkGraph::rebuild(const CStates& states, CSink& sink) {
    for (int d = kComposite; d < mChildren.count(); ++d) {
        CArray<CLinkRecord>& links = linksOf(d);
        for (int i = 0; i < links.count(); ++i) {
            links[i].previousCount = links[i].count;
            links[i].count = 0;
        }
    }
    clearVisits();
    mWalkCycle = false;
    resolveLinks(states);
    pruneDeadEnds();
    if (mWalkCycle)
        logWithPrefix("process link cycle", mPrefix);
    for (int i = 0; i < mChildren.count(); ++i)
        if (!mChildren[i]->node)
            applyLinks(i, sink);
    applyLinks(kComposite, sink);
    computeOrder();
}

} // namespace tal
