#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// Computes the wiring of a composite process from its children and link definitions: the
// automatic chain, the explicit links of the active state groups, forwarding through node
// children, dead-end pruning, the in-use set with its use counts, the differences to the previous
// wiring, and the processing order. It knows nothing of processes: the composite supplies the
// bypass states and carries out the changes through a sink.
//
// Children and links are addressed by index; index -1 is the composite itself (its input as a
// source, its output as a destination). Walks through nodes and port-0 inputs stop at a child
// already visited, so cyclic descriptions end (a revisited child counts as a dead end). Ties in
// the processing order follow the child-list order. Threads: one at a time (the audio thread of
// the composite during a rebuild).
class CAudioLinkGraph {
public:
    static constexpr int kComposite = -1;

    // The bypass and link states, evaluated by the composite for its element index.
    class CStates {
    public:
        virtual ~CStates() = default;
        virtual bool isBypassStateActive(std::int32_t id) const = 0;
        // Whether links of the state group id are active (-1, the always group, always is).
        virtual bool isStateGroupActive(std::int32_t id) const { return id == -1; }
    };

    // Carries out a rebuild's changes on processes. A child whose process could not be made stays
    // unused for links: no connection touches it and it is not in the processing order.
    class CSink {
    public:
        virtual ~CSink() = default;
        // The child gained its first link: make its process; false when that failed.
        virtual bool createChild(int child) = 0;
        // The child lost its last link: disconnect and destroy its process.
        virtual void destroyChild(int child) = 0;
        // A link appeared or vanished (source or destination kComposite for the composite's ports).
        virtual void connect(int source, int sourcePort, int destination, int destinationPort) = 0;
        virtual void disconnect(int source, int sourcePort, int destination, int destinationPort) = 0;
    };

    struct CLinkRecord {
        int source = kComposite;
        std::int32_t sourcePort = 0;
        std::int32_t destinationPort = 0;
        std::int32_t count = 0;           // reasons for the link in the current computation
        std::int32_t previousCount = 0;   // the same in the previous computation
    };

    struct CLinkSpec {
        CString source;                   // a child's name or "*"
        std::int32_t sourcePort = 0;
        CString destination;
        std::int32_t destinationPort = 0;
        std::int32_t stateId = -1;
        CArray<std::int32_t> bypassStateIds;
    };

    CAudioLinkGraph() = default;
    CAudioLinkGraph(const CAudioLinkGraph&) = delete;
    CAudioLinkGraph& operator=(const CAudioLinkGraph&) = delete;
    ~CAudioLinkGraph();

    // --- set-up (while the composite is made) ---
    // Adds a child under its short name (what links name). Returns the child's index, or -1 when
    // a child of that name exists.
    int addChild(const CString& name, bool node, bool outOfOrder, std::int32_t bypassStateId);
    void addLink(const CLinkSpec& link);   // in description order
    void setAutoLinks(bool on) noexcept { mAutoLinks = on; }
    void setPrefix(const CString& prefix) { mPrefix = prefix; }
    // Marks a child disabled: it takes part in no link from the next rebuild on.
    void disableChild(int child) noexcept;

    // --- audio thread ---
    // Recomputes the wanted links for the states, applies the differences through the sink and
    // rebuilds the processing order. A cycle writes "process seq err // <prefix>" to the log; the
    // children caught in it and those fed by it are left out of the order. Walks cut short by a
    // cycle of nodes or of port-0 inputs write "process link cycle // <prefix>" once per rebuild.
    void rebuild(const CStates& states, CSink& sink);

    // --- queries ---
    int childCount() const noexcept { return mChildren.count(); }
    int findChild(const CString& name) const noexcept;
    const CString& childName(int child) const noexcept { return mChildren[child]->name; }
    // Whether the child is in use (linked) and its process was made.
    bool hasProcess(int child) const noexcept { return mChildren[child]->hasProcess; }
    // The children to run, in order.
    const CArray<int>& processingOrder() const noexcept { return mOrder; }
    // The link records of a child, or of the composite's output for kComposite.
    const CArray<CLinkRecord>& inputLinks(int destination) const noexcept;

private:
    struct CChild;
    CArray<CLinkRecord>& linksOf(int destination) noexcept;
    bool isBypassed(int child, const CStates& states) const;
    bool isMember(int child, const CStates& states) const;
    void want(int destination, int source, std::int32_t sourcePort, std::int32_t destinationPort);
    void forwardNodeInputs(int node, int target, std::int32_t port);
    void resolveLinks(const CStates& states);
    int resolveEndpoint(const CString& name, const CStates& states, bool& ok) const;
    bool reachesInput(int child);
    void pruneDeadEnds();
    void applyLinks(int destination, CSink& sink);
    void acquire(int key, CSink& sink);
    void release(int key, CSink& sink);
    void computeOrder();
    void clearVisits() noexcept;

    struct CChild {
        CString name;
        bool enabled = true;
        bool node = false;
        bool outOfOrder = false;
        std::int32_t bypassStateId = -1;
        CArray<CLinkRecord> inputs;
        int useCount = 0;
        bool hasProcess = false;
        bool visited = false;   // scratch of the walks through nodes and port-0 inputs
        bool done = false;      // scratch of the order computation
    };

    CArray<CChild*> mChildren;           // owned, in the order they were added
    CArray<CLinkSpec*> mLinks;           // owned, in description order
    CArray<CLinkRecord> mOutputLinks;
    int mOutputUseCount = 0;
    CArray<int> mOrder;
    CString mPrefix;
    bool mAutoLinks = false;
    bool mWalkCycle = false;   // a walk met a child already on its path during this rebuild
};

} // namespace tal
