#pragma once
#include "Audio/CAudioChannelDesc.h"
#include "Audio/CombineInputs.h"
#include "Core/CArray.h"
#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

class CAudioBlockPool;
class CAudioParamAllocDef;
class CAudioParamFilter;
class CAudioParamFilterDef;
class CAudioParamStorage;
class CAudioProcessConnection;
class CAudioProcessDefBase;
class CAudioProcessPort;
class CDCDAWContext;
class CError;
class CString;
struct CAudioGraphContext;
struct CAudioLatencyDelay;
struct CAudioParamWatch;

// The base of every audio process. It owns what connects a process to others: input ports with
// their connections, output links, the stream format of a leaf's output, a composite's links to
// its children and its output sources, and the lists the block loop walks. It also binds the
// process to parameters.
//
// Leaves (terminals, node, output and mid/side processes) make their own output; composites
// (isLeaf() false) forward their input ports to children and take their outputs from their
// output sources, or pass port 0 straight through while they have none.
//
// Each process block starts with renderInputs (which re-evaluates the inputs once after a wiring
// or format change and runs update when something changed) and ends with releaseInputs. Wiring and
// format changes only raise counters; the next block acts on them.
//
// Threads: one thread at a time uses a graph: the audio thread inside the block loop (composites
// rewire there, in their update), or the thread that builds, resets or tears down the graph while
// no block runs. Nothing here locks. The parameter side raises the update-pending flag and the
// changed-group words on the audio thread before a block.
class CAudioProcessBase : public CCheckedObject, public CPoolAllocated {
public:
    static constexpr int kMaxOutputChannels = 32;
    // A slot of a port's channel table: the descriptor it points at carries the channel's block.
    using CChannelSlot = CAudioChannelDesc**;

    // An output link {target, target port, source port}; a leaf also keeps the connection the link
    // made on the target.
    struct COutputLink {
        CAudioProcessBase* target = nullptr;
        std::int32_t targetPort = 0;
        std::int32_t sourcePort = 0;
        CAudioProcessConnection* connection = nullptr;
    };

    CAudioProcessBase();
    CAudioProcessBase(const CAudioProcessBase&) = delete;
    CAudioProcessBase& operator=(const CAudioProcessBase&) = delete;
    // Withdraws the parameter watches and remappings and destroys ports and connections; does not
    // disconnect: whoever destroys a connected process calls disconnectAll first.
    ~CAudioProcessBase() override;

    // --- life cycle (virtual) ---
    // Set-up after bindParams; base: success.
    [[nodiscard]] virtual CError* init();
    // Clears signal state; base: clears every latency delay line.
    virtual void reset();
    // Runs from renderInputs when the input format changed, a bound parameter changed or a
    // deferred update is due; base: nothing.
    virtual void update();
    // Processes one block; base: nothing.
    virtual void process();
    // Removes the process from the wiring: its output links, output sources and child links.
    virtual void disconnectAll();
    // Binds the process's own parameters; base: nothing.
    virtual void bindParams();

    // --- set-up (process creation) ---
    // The prefix string is not copied: the creator keeps it alive and unchanged while the process
    // lives. context and pool outlive the process.
    void setIdentity(const CString* namePrefix, CAudioProcessDefBase* definition, const CAudioGraphContext* context,
                     std::int32_t groupIndex, std::int32_t elementIndex, CAudioBlockPool* pool) noexcept;
    void setCombineMode(CombineMode mode) noexcept { mCombineMode = mode; }
    // Latency delay lines start filled with the first input sample instead of silence.
    void setCompensationInput(bool on) noexcept { mCompInput = on; }
    // Keeps a name whose remap-table entry the process added; withdrawn by the destructor.
    void addRemappedName(const CString& name) { mRemappedNames.add(name); }
    // Makes, initialises and activates a parameter filter of the definition; its parameter names
    // are resolved against the name prefix followed by groupPrefix. The process owns the filter.
    [[nodiscard]] CError* addParamFilter(const CAudioParamFilterDef& definition, const CString& groupPrefix);

    // --- wiring (never while a block of the same graph runs) ---
    // The port of that key; a missing port is created and appended.
    CAudioProcessPort* getPort(std::int32_t key);
    // A new input connection on a port, taking the source's channels of one source port.
    CAudioProcessConnection* addInputConnection(std::int32_t portKey, std::int32_t sourcePort);
    // Deletes an input connection of a port (made with addInputConnection); the process
    // re-evaluates its inputs at its next block.
    void removeInputConnection(std::int32_t portKey, CAudioProcessConnection* connection);
    void addOutput(CAudioProcessBase* target, std::int32_t targetPort, std::int32_t sourcePort);
    // Removes the first equal output link; nothing when there is none.
    void removeOutput(CAudioProcessBase* target, std::int32_t targetPort, std::int32_t sourcePort);
    // Composites: forwards a port of this process to a port of a child.
    void addInputLink(std::int32_t portKey, CAudioProcessBase* child, std::int32_t childPort);
    void removeInputLink(std::int32_t portKey, CAudioProcessBase* child, std::int32_t childPort);
    // Composites: the child's output becomes (a part of) this process's output.
    void addOutputSource(CAudioProcessBase* child);
    void removeOutputSource(CAudioProcessBase* child);
    // Sets a connection's format from a stream format of n descriptors whose keys are
    // source port x 16 + channel index. Descriptors beyond 32 and keys outside 0..31 are dropped
    // (a connection carries source ports 0 and 1). An unchanged format changes nothing; a changed
    // one raises the owning process's format-change counter. The blocks are not touched.
    static void setConnectionFormat(CAudioProcessConnection* connection, const CAudioChannelDesc* descriptors, int n,
                                    double sampleRate) noexcept;
    // For modules that read a second input: out[i] receives the channel-table slot of the port that
    // carries requested[i] (matched by channel index and group), or null. With one request, a
    // channel of the same group is taken when the index is missing (the last one of the group).
    void findInputChannels(CChannelSlot* out, const CAudioChannelDesc* const* requested, int n,
                           std::int32_t portKey);
    // The channel-table slot of the port's channel with exactly this index and group, or null.
    CChannelSlot findPortChannel(std::int32_t portKey, std::int32_t channelIndex, std::int32_t group);

    // --- parameters (creation and bindParams) ---
    // Binds a parameter of this process by its name relative to the name prefix: watched (where the
    // remappings lead) when the collector remaps the name or the definition declares it global; otherwise unbound (values
    // gets the definition's default values, or an empty store, and changed is kept so that format
    // changes still raise it).
    void bindParam(const CString& paramName, bool useAllGroups, bool useAllElements, const CAudioParamStorage*& values,
                   std::uint32_t* changed);
    // Binds the parameter of an allocation of the definition ("param-name", "use-all-groups",
    // "use-all-elements").
    void bindParam(const CAudioParamAllocDef& allocation, const CAudioParamStorage*& values, std::uint32_t* changed);
    // Binds the definition's allocation of a slot index; false (nothing written) when there is none.
    bool bindDefParam(std::int32_t index, const CAudioParamStorage*& values, std::uint32_t* changed);
    // Always watches the parameter that serves that full name (remappings followed).
    void watchParam(const CString& fullName, const CAudioParamStorage*& values, std::uint32_t* changed,
                    bool useAllGroups, bool useAllElements);
    // The value of a bound store for a group and element (group 0 for a single-group parameter,
    // element 0 for a single-element one): the stored value, else the element's default, else the
    // first default; noValue when the store holds no values at all.
    static double readParamValue(const CAudioParamStorage* values, int group, int element, double noValue) noexcept;

    // --- block loop (audio thread) ---
    // Readies the inputs of this block: evaluates them after a change, runs update when due, runs
    // the latency delay lines, combines multi-source channels and forwards to the children.
    void renderInputs() noexcept;
    // Drops this process's references on the blocks of its inputs.
    void releaseInputs() noexcept;
    // Raises *flag once `seconds` of audio have run (checked at each update); keeps the process
    // updating every block until then.
    void addDeferredUpdate(double seconds, bool* flag);
    // Drops every deferred update that has not fired yet: their flags are never raised. A pending
    // parameter update stays pending.
    void cancelDeferredUpdates() noexcept;
    // The steps of renderInputs, each callable on its own.
    bool evaluateInputs();
    void runUpdate();
    void alignLatency(bool recreate);
    void runLatencyDelay(CAudioLatencyDelay& delay) noexcept;

    // --- queries ---
    bool isLeaf() const noexcept { return mLeaf; }
    const CString& namePrefix() const noexcept;
    CAudioProcessDefBase* definition() const noexcept { return mDefinition; }
    const CAudioGraphContext* context() const noexcept { return mContext; }
    CDCDAWContext* dawContext() const noexcept { return mDawContext; }
    CAudioBlockPool* blockPool() const noexcept { return mPool; }
    std::int32_t groupIndex() const noexcept { return mGroupIndex; }
    std::int32_t elementIndex() const noexcept { return mElementIndex; }
    int portCount() const noexcept { return mPorts.count(); }
    CAudioProcessPort* port(int index) const noexcept { return mPorts[index]; }
    // The port of that key, null when absent (never creates one).
    CAudioProcessPort* findPort(std::int32_t key) const noexcept;
    double inputSampleRate() const noexcept { return mInputSampleRate; }
    std::int32_t inputLatency() const noexcept { return mInputLatency; }
    bool inputFormatChanged() const noexcept { return mInputFormatChanged; }
    std::int32_t blockLength() const noexcept { return mBlockLength; }
    std::int32_t formatChangeCounter() const noexcept { return mFormatChangeCounter; }
    int outputCount() const noexcept { return mOutputLinks.count(); }
    const COutputLink& outputLink(int index) const noexcept { return mOutputLinks[index]; }
    const CArray<CAudioProcessBase*>& outputSources() const noexcept { return mOutputSources; }
    double outputSampleRate() const noexcept { return mOutputSampleRate; }
    int outputChannelCount() const noexcept { return mOutputChannelCount; }
    const CAudioChannelDesc* outputFormat() const noexcept { return mOutputFormat; }
    // Every input connection, port by port, each port's in order.
    const CArray<CAudioProcessConnection*>& connections() const noexcept { return mConnections; }
    const CArray<CAudioLatencyDelay*>& delayList() const noexcept { return mDelayList; }
    bool isUpdatePending() const noexcept { return mUpdatePending; }
    // Whether timed updates (addDeferredUpdate) wait to fire.
    bool hasDeferredUpdates() const noexcept { return mDeferredHead != nullptr; }

protected:
    // Composite processes are not leaves: the wiring forwards to and from their children.
    void setLeaf(bool leaf) noexcept { mLeaf = leaf; }
    // Leaves: sets the output format and hands it to every output connection.
    void setOutputFormat(const CAudioChannelDesc* descriptors, int n, double sampleRate) noexcept;
    // Leaves: gives the output blocks (one use each, owned by the caller) to every output link;
    // the descriptors' keys are channel indexes on source port 0.
    void distributeOutputs(const CAudioChannelDesc* outputs, int n, int length) noexcept;

private:
    struct CForward {
        CAudioProcessConnection* connection;
        CAudioProcessPort* port;
    };
    struct CDeferredUpdate {
        double remaining;
        bool* flag;
        CDeferredUpdate* next;
    };
    static constexpr int kDeferredChunk = 32;
    // Deferred-update nodes come in chunks from the size-class allocator (whose refills on the
    // audio thread take prepared chunks), linked for the destructor.
    struct CDeferredChunk {
        CDeferredChunk* next;
        CDeferredUpdate nodes[kDeferredChunk];
    };

    void rebuildConnectionList();
    void rebuildForwardList();
    // Deletes a connection of one of the child's ports and lets the child re-evaluate.
    static void dropChildConnection(CAudioProcessBase* child, std::int32_t childPort,
                                    CAudioProcessConnection* connection);
    void evaluatePort(CAudioProcessPort& port, bool& rateTaken, bool& portsChanged);
    void combineGroups() noexcept;
    void forwardBlocks() noexcept;

    bool mLeaf = true;
    CDCDAWContext* mDawContext = nullptr;
    CAudioBlockPool* mPool = nullptr;
    const CString* mNamePrefix = nullptr;   // not owned
    CAudioProcessDefBase* mDefinition = nullptr;
    const CAudioGraphContext* mContext = nullptr;
    std::int32_t mGroupIndex = 0;
    std::int32_t mElementIndex = 0;
    CombineMode mCombineMode = CombineMode::kSum;
    bool mCompInput = false;

    CArray<CAudioProcessPort*> mPorts;      // owned; port 0 first, always present
    double mInputSampleRate = 1.0;          // 1.0 until the inputs have a format
    std::int32_t mInputLatency = 0;
    bool mInputFormatChanged = false;
    std::int32_t mBlockLength = 0;

    CArray<CAudioProcessBase*> mOutputSources;
    CArray<COutputLink> mOutputLinks;
    double mOutputSampleRate = 44100.0;
    CAudioChannelDesc mOutputFormat[kMaxOutputChannels];
    std::int32_t mOutputChannelCount = 0;

    std::int32_t mFormatChangeCounter = 1;
    CArray<CAudioProcessConnection*> mConnections;
    CArray<CAudioChannelDesc*> mCombineGroups;   // port format entries with two or more sources
    CArray<CAudioChannelDesc*> mCombineSources;  // their source records, group after group
    CArray<double*> mCombineScratch;             // block pointers of one group while combining
    CArray<CForward> mForwards;
    CArray<CAudioLatencyDelay*> mDelayList;      // not owned: the connections own their lines

    CAudioParamWatch* mWatches = nullptr;        // chained through ownerNext
    CStringList mRemappedNames;
    CArray<CAudioParamFilter*> mFilters;         // owned
    bool mForceAllChanged = false;
    bool mUpdatePending = false;
    CDeferredChunk* mDeferredChunks = nullptr;   // owned
    CDeferredUpdate* mDeferredFree = nullptr;
    CDeferredUpdate* mDeferredHead = nullptr;
    CDeferredUpdate* mDeferredTail = nullptr;
    CArray<std::uint32_t*> mUnboundBindings;
};

} // namespace tal
