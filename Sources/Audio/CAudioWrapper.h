#pragma once
#include "Audio/CAudioWrapperEventQueue.h"
#include "Audio/CDenormNoiseGen.h"
#include "Core/CCheckedObject.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Platform/CSpinLock.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tal {

class CAudioEnv;
class CAudioParamCollector;
class CError;
class CInputStream;
class CObject;
class COutputStream;

// The format-independent core of one plug-in instance: it builds the instance from the shared
// description, runs the host block loop with its timed events, keeps the host's channel format and
// labels, and saves and restores the state. A format binding derives from it and implements the
// host hooks (the pure operations).
//
// Lifetime: made and destroyed with its binding, on the host's main thread. Threads: `init`,
// `activate`, the state, labels and processing-state operations run on the host's main thread;
// `process` and the event queue on the audio thread. The environment's spin lock guards what both
// read (processing flag, sample rate, channel counts, the format-changed flag); the wrapper mutex
// guards the channel labels.
class CAudioWrapper : public CCheckedObject {
public:
    // Sub-blocks never exceed this many samples.
    static constexpr std::int32_t kMaxSubBlock = 512;
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

    // --- identity, read from the project object by init ---
    std::int32_t getInternalChannelCount() const noexcept { return mIntChannelCount; }
    std::int32_t getGroupCount() const noexcept { return mGroupCount; }
    std::uint32_t getPluginCode() const noexcept { return mPluginCode; }
    void getVersion(std::int32_t& major, std::int32_t& minor, std::int32_t& patch) const noexcept;
    bool hasTail() const noexcept { return mHasTail; }
    double getTailSeconds() const noexcept { return mTailSeconds; }
    bool usesSidechain() const noexcept { return mUseSidechain; }
    bool isSymmetricIO() const noexcept { return mIsSymmetricIO; }
    bool usesDenormNoise() const noexcept { return mUseDenorm; }
    const CString& getAppName() const noexcept { return mAppName; }
    const CString& getAppVendor() const noexcept { return mAppVendor; }

    // --- host format: any thread, under the environment's spin lock ---
    std::int32_t getInputChannelCount() const noexcept;
    std::int32_t getOutputChannelCount() const noexcept;
    std::int32_t getSidechainChannelCount() const noexcept;
    double getSampleRate() const noexcept;
    // The binding's channel counts; a change sets the format-changed flag. Returns whether it did.
    bool setHostChannelCounts(std::int32_t inputs, std::int32_t sidechain, std::int32_t outputs) noexcept;
    bool isFormatChanged() const noexcept;

    // --- host labels: main thread, under the wrapper mutex ---
    // Replaces the main and side-chain channel labels (the names of the host's speakers).
    void setChannelLabels(const CStringList& main, const CStringList& sidechain);
    CStringList getMainLabels() const;
    bool areLabelsKnown() const noexcept { return mLabelsKnown.load(); }

    // --- host hooks: implemented by the binding ---
    virtual void setHostParamValue(std::int32_t index, double normalized) = 0;
    virtual void notifyProgramChange() = 0;
    virtual void beginHostEdit(std::int32_t index) = 0;
    virtual void endHostEdit(std::int32_t index) = 0;
    virtual bool resizeHostWindow() { return false; }
    virtual void onLatencyChanged();
    // Plain events: nothing in this product.
    virtual void processEvent(const CAudioWrapperEvent& event);
    virtual void processParamEvent(const CAudioWrapperEvent& event) = 0;

    // --- processing state: main thread (the host's processing set-up) ---
    void startProcessing();
    void stopProcessing();
    bool isProcessing() const noexcept;
    void setSampleRate(double rate);
    void setOffline(bool offline) noexcept { mOffline = offline; }
    bool isOffline() const noexcept { return mOffline; }
    void setHostTempo(double bpm) noexcept;
    double getHostTempo() const noexcept { return mHostTempo; }
    // The host asked for the latency: the next change will be reported again.
    void acknowledgeLatency() noexcept;
    std::int32_t getGraphLatency() const noexcept;
    // Whether the host link is active (set by activate): only then do edits reach the host.
    bool isHostLinkActive() const noexcept { return mHostLinkActive.load(); }

    // --- state: main thread ---
    [[nodiscard]] CError* getState(COutputStream& out);
    [[nodiscard]] CError* setState(CInputStream& in);
    void setHostTrackName(const CString& name);
    const CString& getHostTrackName() const noexcept { return mHostTrackName; }

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
    [[nodiscard]] CError* readIdentity();
    [[nodiscard]] CError* acquirePluginCode();
    [[nodiscard]] CError* parseVersion();
    void dispatchEvent(const CAudioWrapperEvent& event);

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
    CString mAppName, mAppVendor;
    bool mInitialised = false;

    // --- host format (spin lock of the environment, or mFormatLock before init) ---
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
    std::int32_t mLatency = 0;

    // --- main thread ---
    mutable std::recursive_mutex mMutex;   // the labels and the routing rebuild
    CStringList mMainLabels, mSidechainLabels;
    std::atomic<bool> mLabelsKnown{false};
    std::atomic<bool> mHostLinkActive{false};
    bool mOffline = false;
    double mHostTempo = -1.0;
    bool mLatencyChanged = true;
    bool mLatencyReported = false;
    CString mHostTrackName;
};

} // namespace tal
