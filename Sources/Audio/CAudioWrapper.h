#pragma once
#include "Audio/CAudioExtParamHostBridge.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamRegistryListener.h"
#include "Audio/CAudioRoutingInfoProvider.h"
#include "Audio/CAudioWrapperEventQueue.h"
#include "Audio/CDenormNoiseGen.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Other/Interface/CAudioInterfaceDataProvider.h"
#include "Platform/CSpinLock.h"

#include <atomic>
#include <cstdint>
#include <map>

namespace tal {

class CAudioCCTable;
class CAudioEnv;
class CAudioExtParam;
class CAudioExtParamList;
class CAudioParam;
class CAudioParamCollector;
class CAudioParamRegistry;
class CAudioParamUndoRecord;
class CAudioProcessBase;
class CAudioProcessConnection;
class CAudioInterfaceBase;
class CAudioVizCollector;
class CByteBuffer;
class CDCDAWContext;
class CError;
class CInputStream;
class CModOutput;
class CObject;
class COutputStream;

// The format-independent core of one plug-in instance: it builds the instance from the shared
// description (the "plugin" template and the main and output processes), runs the host block loop
// with its timed events, keeps the host's channel format and labels, and saves and restores the
// state. A format binding derives from it and implements the host hooks (the pure operations).
// It is the data provider of the editors' interface base (channel counts, sample rate, gestures)
// and the master registry's routing hook.
//
// Lifetime: made and destroyed with its binding, on the host's main thread; owns the instance's
// object tree, its processes and their block pool. Threads: `init`, `activate`, the state, labels
// and processing-state operations run on the host's main thread; `process` and the event queue on
// the audio thread. A spin lock guards what both read (processing flag, sample rate, channel
// counts, the format-changed flag); the environment's processing lock guards the hand-over of
// collected changes; the wrapper mutex guards the channel labels and the routing rebuild.
class CAudioWrapper : public CAudioExtParamHostBridge,
                      public CAudioInterfaceDataProvider,
                      public CAudioRoutingInfoProvider {
public:
    // Sub-blocks never exceed this many samples.
    static constexpr std::int32_t kMaxSubBlock = 512;
    // Audio blocks reserved when processing starts: of the longest sub-block, and of one granule.
    static constexpr std::int32_t kReservedAudioBlocks = 48;
    static constexpr std::int32_t kReservedSmallBlocks = 192;
    // Host buffers the loop reads and writes, main and side chain together.
    static constexpr std::int32_t kMaxHostChannels = 16;

    CAudioWrapper();
    CAudioWrapper(const CAudioWrapper&) = delete;
    CAudioWrapper& operator=(const CAudioWrapper&) = delete;
    ~CAudioWrapper() override;

    // --- set-up: main thread ---
    // Builds the instance from the shared description. On an error the objects made so far stay
    // with the wrapper (freed by its destructor) and a later call may try again.
    [[nodiscard]] virtual CError* init();
    // Links the initialised instance to the host: gestures, program changes and resizes reach it
    // from now on.
    void activate();
    bool isInitialised() const noexcept { return mInitialised; }
    // Runs the deferred work the instance's threads posted (host notices, registry and editor
    // updates): on the main thread only (the thread that ran init), from the binding's main-thread
    // calls and the editor's timer; elsewhere nothing. Returns how many calls ran.
    int runDeferredCalls();

    // --- identity, read from the project object by init ---
    std::int32_t getInternalChannelCount() const noexcept override { return mIntChannelCount; }
    std::int32_t getGroupCount() const noexcept override { return mGroupCount; }
    std::uint32_t getPluginCode() const noexcept { return mPluginCode; }
    void getVersion(std::int32_t& major, std::int32_t& minor, std::int32_t& patch) const noexcept;
    bool hasTail() const noexcept { return mHasTail; }
    double getTailSeconds() const noexcept { return mTailSeconds; }
    bool usesSidechain() const noexcept { return mUseSidechain; }
    bool isSymmetricIO() const noexcept { return mIsSymmetricIO; }
    bool usesDenormNoise() const noexcept { return mUseDenorm; }
    bool usesRouting() const noexcept { return mUseRouting; }
    bool usesWindowResizing() const noexcept { return mUseWindowResizing; }
    const CString& getAppName() const noexcept { return mAppName; }
    const CString& getAppVendor() const noexcept { return mAppVendor; }

    // --- the instance's parts (null before init) ---
    CObject* getRoot() const noexcept { return mRoot; }
    CAudioParamCollector* getCollector() const noexcept { return mCollector; }
    CAudioParamRegistry* getRegistry() const noexcept { return mRegistry; }
    CAudioExtParamList* getExtParamList() const noexcept { return mExtParams; }
    CAudioEnv* getEnv() const noexcept { return mEnv; }
    CAudioInterfaceBase* getInterfaceBase() const noexcept { return mInterfaceBase; }
    // The exported parameter that shows an element of a parameter, or -1.
    std::int32_t findExtParamIndex(const CAudioParam* param, std::int32_t group, std::int32_t element) const;

    // --- host format: any thread, under the format spin lock ---
    std::int32_t getInputChannelCount() const noexcept override;
    std::int32_t getOutputChannelCount() const noexcept override;
    std::int32_t getSidechainChannelCount() const noexcept override;
    double getSampleRate() const noexcept override;
    // The binding's channel counts; a change sets the format-changed flag. Returns whether it did.
    bool setHostChannelCounts(std::int32_t inputs, std::int32_t sidechain, std::int32_t outputs) noexcept;
    bool isFormatChanged() const noexcept;

    // --- host labels: main thread, under the wrapper mutex ---
    // Replaces the main and side-chain channel labels (the names of the host's speakers).
    void setChannelLabels(const CStringList& main, const CStringList& sidechain);
    // The host's new speakers: the labels are replaced and the routing rebuilt for them (forced),
    // as one step under the wrapper mutex.
    void setChannelLabelsAndRoute(const CStringList& main, const CStringList& sidechain);
    CStringList getMainLabels() const;
    bool areLabelsKnown() const noexcept { return mLabelsKnown.load(); }

    // --- automatic channel routing: main thread (and the audio thread after a format change) ---
    // Rewrites the io parameters for the present labels while they still hold an automatic routing.
    // force: the host described its channels (the first forced update makes the routing ready).
    void updateRouting(bool force, CAudioParamUndoRecord* undo, CAudioParamChangeList* changes);
    // The registry's refresh after a preset or a master reset (under the wrapper mutex).
    void refreshRouting(CAudioParamUndoRecord* undo, CAudioParamChangeList* changes) override;
    // The editor's request: the host's channel labels become the channel names, as one undo step
    // "Channel label import" of the editor's undo history; nothing happens when they already are.
    void importChannelLabels() override;

    // --- host hooks: implemented by the binding ---
    void setHostParamValue(int index, double normalized) override = 0;
    virtual void notifyProgramChange() = 0;
    virtual void beginHostEdit(std::int32_t index) = 0;
    virtual void endHostEdit(std::int32_t index) = 0;
    virtual bool resizeHostWindow() { return false; }
    virtual void onLatencyChanged();
    // Plain events: nothing in this product.
    virtual void processEvent(const CAudioWrapperEvent& event);
    virtual void processParamEvent(const CAudioWrapperEvent& event) = 0;

    // --- edit gestures of the editor: main thread ---
    // An element that an exported parameter shows becomes a host edit of that parameter once the
    // host link is active; other elements make no gesture.
    void beginParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) override;
    void endParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) override;

    // --- processing state: main thread (the host's processing set-up) ---
    // Each transition runs one silent sample through the graph.
    void startProcessing();
    void stopProcessing();
    bool isProcessing() const noexcept;
    void setSampleRate(double rate);
    // Offline (rendering) or real time; a change sets host-offline and the oversampling mode.
    void setOffline(bool offline);
    bool isOffline() const noexcept { return mOffline; }
    // The oversampling mode of offline or real-time processing, written to host-oversampling-mode.
    void updateOversampling(bool offline);
    std::int32_t getOversamplingMode() const noexcept { return mOversamplingMode; }
    void setHostTempo(double bpm) noexcept;
    double getHostTempo() const noexcept { return mHostTempo; }
    // The host asked for the latency: the next change will be reported again.
    void acknowledgeLatency() noexcept;
    std::int32_t getGraphLatency() const noexcept;
    // Whether the host link is active (set by activate): only then do edits reach the host.
    bool isHostLinkActive() const noexcept { return mHostLinkActive.load(); }

    // --- state: main thread ---
    // The master registry's current program as one 'aprs' record.
    [[nodiscard]] CError* getState(COutputStream& out);
    // Reads one 'aprs' record and activates it; a damaged or foreign record changes nothing.
    [[nodiscard]] CError* setState(CInputStream& in);
    // The current program (an 'aprs' record) or the program bank (an 'abnk' record) into out,
    // behind 16 zero bytes when header is set.
    [[nodiscard]] CError* saveStateRecord(CByteBuffer& out, bool bank, bool header);
    // Activates such a record (persistent parameters included). With header the first 16 bytes
    // are skipped, and data of 16 bytes or less is ignored.
    [[nodiscard]] CError* loadStateRecord(const void* data, std::int32_t size, bool bank, bool header);
    void setHostTrackName(const CString& name);
    CString getHostTrackName() const;

    // --- window size: main thread ---
    // The editor's scale from the local setting "ui-scale" (1.0 when absent or not a number).
    static double getUIScaleSetting();
    // Brings the window size in pixels up to date with main-window-size and the scale.
    void prepareWindowSize();
    // Takes main-window-size as the window size; asks the host to resize when it changed.
    bool syncWindowSize();
    // The host resized the editor to width x height pixels.
    void onHostResize(std::int32_t width, std::int32_t height);
    bool getMinWindowSize(std::int32_t& width, std::int32_t& height) const;
    std::int32_t getWindowWidth() const noexcept { return mWindowWidth; }
    std::int32_t getWindowHeight() const noexcept { return mWindowHeight; }
    double getUIScale() const noexcept { return mUIScale; }

    // --- audio thread ---
    CAudioWrapperEventQueue& events() noexcept { return mEvents; }
    // One host block. inputs and outputs hold one buffer per channel (null: missing), 32-bit float
    // or 64-bit as the host format says. Events are dispatched at their offsets; sub-blocks of at
    // most 512 samples end at event offsets. FTZ and DAZ are set for the call and restored after.
    void process(void* const* inputs, void* const* outputs, std::int32_t frames);
    void setHostSampleFormat(bool is64) noexcept { mHostIs64 = is64; }
    bool isHostSample64() const noexcept { return mHostIs64; }
    // The side chain's channel buffers for the next block (null: none).
    void setSidechainBuffers(void* const* buffers) noexcept { mSidechainBuffers = buffers; }
    // Applies a pending format change (channel counts, sample rate) to the graph's input.
    void applyFormatChange() noexcept;
    // The anti-denormal noise generator of this instance's host input conversion.
    const CDenormNoiseGen& noise() const noexcept { return mNoise; }

protected:
    // Runs the graph over one sub-block: host input conversion, the main process, host output
    // conversion. The sub-block starts at hostOffset of the host buffers.
    virtual void renderSubBlock(void* const* inputs, void* const* outputs, std::int32_t hostOffset,
                                std::int32_t length);
    // Hands the changes other threads collected to the audio side (first: the block's first
    // sub-block).
    virtual void applyCollectedChanges(bool first, std::int32_t length);

    // The instance's root and the parts init found (null until then; the tree owns them).
    CObject* mRoot = nullptr;
    CObject* mProject = nullptr;
    CObject* mPlugin = nullptr;
    CAudioEnv* mEnv = nullptr;
    CAudioParamCollector* mCollector = nullptr;

private:
    class CWinSizeListener;
    class CProgramChangeListener;

    [[nodiscard]] CError* readIdentity();
    [[nodiscard]] CError* acquirePluginCode();
    [[nodiscard]] CError* parseVersion();
    [[nodiscard]] CError* findParts();
    [[nodiscard]] CError* createProcesses();
    void acquireHostParams();
    void bindExportedParams();
    void destroyProcesses() noexcept;
    void dispatchEvent(const CAudioWrapperEvent& event);
    void processSilentSample();
    void readHostInputs(void* const* buffers, std::int32_t length, std::int32_t hostOffset, bool is64,
                        std::int32_t firstChannel, std::int32_t count) noexcept;
    void writeHostOutputs(void* const* outputs, std::int32_t length, std::int32_t hostOffset) noexcept;
    void setHostParam(CAudioParam* param, double value);
    bool computeWindowSize(std::int32_t& width, std::int32_t& height, bool fallback);

    // --- identity ---
    std::uint32_t mPluginCode = 0;
    std::int32_t mIntChannelCount = 0;
    std::int32_t mGroupCount = 0;
    std::int32_t mVersion[3] = {0, 0, 0};
    bool mHasTail = false;
    double mTailSeconds = 0.0;
    bool mUseSidechain = false;
    bool mIsVizAlwaysActive = false;
    bool mIsSymmetricIO = false;
    bool mUseDenorm = false;
    bool mUseRouting = false;
    bool mUseMidSide = false;
    bool mUseHostBpm = false;
    bool mUseWindowResizing = false;
    bool mForce2ch = false;
    std::int32_t mAutoOversamplingRtMode = 0;
    std::int32_t mMinWindowWidth = 0;
    std::int32_t mMinWindowHeight = 0;
    CString mAppName, mAppVendor;
    bool mInitialised = false;

    // --- the instance's parts ---
    CAudioVizCollector* mViz = nullptr;
    CAudioExtParamList* mExtParams = nullptr;
    CAudioParamRegistry* mRegistry = nullptr;
    CAudioInterfaceBase* mInterfaceBase = nullptr;
    CAudioCCTable* mCCTable = nullptr;             // found, not used afterwards
    CDCDAWContext* mDaw = nullptr;                 // owned: the block pool of the graph
    CAudioGraphContext mContext;
    CString mMainName{"plugin.modMain"};
    CString mOutputName{"plugin.modOutput"};
    CAudioProcessBase* mMain = nullptr;            // owned
    CAudioProcessBase* mOutput = nullptr;          // owned
    CModOutput* mOutputTerminal = nullptr;         // mOutput seen as the output terminal
    CAudioProcessConnection* mMainInput = nullptr; // owned by the main process's port 0
    // parameter -> (element << 8 | group) -> exported index; built by init, read-only afterwards.
    std::map<const CAudioParam*, std::map<std::int32_t, std::int32_t>> mExtParamMap;

    // --- host parameters (owned by the collector) ---
    CAudioParam* mOversamplingParam = nullptr;
    CAudioParam* mOfflineParam = nullptr;
    CAudioParam* mLatencyChangeParam = nullptr;
    CAudioParam* mTrackNameParam = nullptr;
    CAudioParam* mBypassParam = nullptr;
    CAudioParam* mBpmParam = nullptr;
    CAudioParam* mWindowSizeParam = nullptr;
    // The io parameters of the routing, in lock order.
    enum { kInChannelNames, kGroupNames, kInRouting, kGrouping, kOutRouting, kMsPairs, kSidechain, kSidechainMute,
           kIoParamCount };
    CAudioParam* mIoParams[kIoParamCount] = {};

    // --- host format (mFormatLock) ---
    mutable CSpinLock mFormatLock;
    std::int32_t mInputChannels = 1;
    std::int32_t mOutputChannels = 1;
    std::int32_t mSidechainChannels = 0;
    bool mFormatChanged = true;
    bool mProcessing = false;
    double mSampleRate = 44100.0;

    // --- audio thread ---
    bool mHostIs64 = false;
    void* const* mSidechainBuffers = nullptr;
    CAudioWrapperEventQueue mEvents;
    CDenormNoiseGen mNoise;
    CAudioParamChangeList mTakenChanges;   // emptied after every hand-over

    // --- main thread ---
    mutable CRecursiveMutex mMutex;   // the labels, the routing rebuild, the track name
    CStringList mMainLabels, mSidechainLabels;
    std::atomic<bool> mLabelsKnown{false};
    std::atomic<bool> mHostLinkActive{false};
    std::atomic<bool> mRoutingReady{false};
    bool mOffline = false;
    std::int32_t mOversamplingMode = 0;
    double mHostTempo = -1.0;
    std::atomic<bool> mLatencyChanged{true};
    std::atomic<bool> mLatencyReported{false};
    double mUIScale = 1.0;
    std::int32_t mWindowWidth = 0;
    std::int32_t mWindowHeight = 0;
    CWinSizeListener* mWinSizeListener = nullptr;            // owned
    CProgramChangeListener* mProgramChangeListener = nullptr; // owned
};

} // namespace tal
