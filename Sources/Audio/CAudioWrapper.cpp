#include "Audio/CAudioWrapper.h"

#include "Audio/CAudioCCTable.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioParamUndo.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/CFloatModeGuard.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/HostSampleConversion.h"
#include "Audio/Processes/CModOutput.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CApplication.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "Core/CObjectLookups.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Core/RecordTags.h"
#include "Other/Interface/CAudioInterfaceBase.h"
#include "Platform/CMonotonicClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tal {

namespace {

// Halves away from zero, as every pixel size of the window is rounded.
std::int32_t roundHalfAway(double v) { return std::int32_t(v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5)); }

// Start, stop and format changes may run on the audio thread: their editor messages are posted,
// and built on the editor's thread.
void post(CAudioInterfaceBase* base, CAudioInterfaceBase::CPosted message) noexcept {
    if (base != nullptr)
        base->postMessage(message);
}

} // namespace

// Keeps the window size in pixels in line with the main-window-size parameter.
class CAudioWrapper::CWinSizeListener : public CAudioParamListener {
public:
    explicit CWinSizeListener(CAudioWrapper& owner) : mOwner(owner) {}
    ~CWinSizeListener() override { detach(); }
    void onParamChange(const CAudioParamUpdateInfo&) override { mOwner.syncWindowSize(); }

private:
    CAudioWrapper& mOwner;
};

// Tells the host about program changes made inside the instance (not by the host itself). The
// host hears it on the main thread: the notice is a deferred call of the collector.
class CAudioWrapper::CProgramChangeListener : public CAudioParamRegistryListener, public CAudioParamDeferred {
public:
    explicit CProgramChangeListener(CAudioWrapper& owner) : mOwner(owner) {}
    ~CProgramChangeListener() override {
        detach();
        if (mOwner.mCollector != nullptr)
            mOwner.mCollector->cancelDeferred(this);
    }
    void onRegistryUpdate(CAudioParamRegistry*, const void* sender) override {
        if (sender != &mOwner && mOwner.isHostLinkActive() && mOwner.mCollector != nullptr) {
            mOwner.mCollector->deferNotify(this, 0, 0.0);
            mOwner.runDeferredCalls();   // runs now when this is the main thread outside an update
        }
    }
    void onDeferred(int, double) override {
        if (mOwner.isHostLinkActive())
            mOwner.notifyProgramChange();
    }

private:
    CAudioWrapper& mOwner;
};

CAudioWrapper::CAudioWrapper() { mNoise.seedFromCounter(); }

CAudioWrapper::~CAudioWrapper() {
    // The binding's part is gone: nothing may reach its host hooks while the tree is released.
    mHostLinkActive.store(false);
    if (mInterfaceBase != nullptr)
        mInterfaceBase->setDataProvider(nullptr);
    if (mRegistry != nullptr)
        mRegistry->setRoutingInfoProvider(nullptr);
    if (mProgramChangeListener != nullptr && mRegistry != nullptr)
        mRegistry->removeListener(mProgramChangeListener);
    if (mWinSizeListener != nullptr && mWindowSizeParam != nullptr)
        mWindowSizeParam->removeListener(mWinSizeListener);
    delete mWinSizeListener;
    delete mProgramChangeListener;
    destroyProcesses();
    if (mRoot != nullptr) {
        CObject* root = mRoot;
        mRoot = nullptr;
        root->release();
    }
    // The pool outlives every block the graph held.
    delete mDaw;
    CWorkerThreadPool::releaseIdleWorkers();
}

void CAudioWrapper::destroyProcesses() noexcept {
    for (CAudioProcessBase** holder : {&mMain, &mOutput}) {
        CAudioProcessBase* process = *holder;
        *holder = nullptr;
        if (process != nullptr) {
            process->disconnectAll();
            delete process;
        }
    }
    mOutputTerminal = nullptr;
    mMainInput = nullptr;
}

// --- set-up ---

CError* CAudioWrapper::init() {
    const std::uint64_t startNs = getMonotonicNanos();
    if (CApplication::theApplication() == nullptr)
        return newError("@talstr_CAudioWrapper_init_NoApp No application object created.");
    if (mRoot == nullptr) {
        if (CError* err = CApplication::initRootObject(mRoot, CString::emptyString))
            return traceError(err);
    }
    CObject* audio = nullptr;
    if (CError* err = mRoot->findObjectChecked(audio, CString("shared::audio")))
        return traceError(err);
    if (mRoot->findObject(CString("plugin")) == nullptr) {
        CObject* created = nullptr;
        if (CError* err = mRoot->createChild(created, audio->getTextAttr("plugin-tag"), CString("plugin"), true,
                                             nullptr, nullptr))
            return traceError(err);
    }
    if (CError* err = mRoot->findObjectChecked(mPlugin, CString("plugin")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mProject, CString("shared::project")))
        return traceError(err);
    if (CError* err = readIdentity())
        return err;
    if (CError* err = findParts())
        return err;
    // The thread that builds the instance is the host's main thread: deferred work runs there.
    mCollector->setMainThread(std::this_thread::get_id());
    acquireHostParams();
    if (CError* err = createProcesses())
        return err;

    // The window size.
    mWindowSizeParam = mCollector->acquireParam(CString("plugin.modMain.main-window-size"));
    mMinWindowWidth = mProject->getIntAttr("min-window-width");
    mMinWindowHeight = mProject->getIntAttr("min-window-height");
    prepareWindowSize();
    mUseWindowResizing = mProject->getBoolAttr("use-window-resizing");
    if (mUseWindowResizing) {
        syncWindowSize();
        if (mWinSizeListener == nullptr) {
            mWinSizeListener = new CWinSizeListener(*this);
            mWindowSizeParam->addListener(mWinSizeListener);
        }
    }

    // The master registry rebuilds the routing after presets and resets through this wrapper.
    mRegistry->setRoutingInfoProvider(this);
    bindExportedParams();
    {
        CSpinLockGuard lock(mFormatLock);
        mInputChannels = 1;
        mOutputChannels = 1;
        mSidechainChannels = 0;
        mFormatChanged = true;
    }
    mForce2ch = parseBool(readAppDataString(&CAppData::groupScope(), CString("force-2ch"), CString("false")), false);
    updateOversampling(false);
    mInitialised = true;

    const double seconds = double(getMonotonicNanos() - startNs) * 1e-9;
    const double sinceStart = double(getMonotonicNanos() - CApplication::startTimeNs()) * 1e-9;
    char line[1024];
    std::snprintf(line, sizeof(line), "CAudioWrapper init time: %.4f s @ %.4f s", seconds, sinceStart);
    writeLog(line, true);
    return nullptr;
}

CError* CAudioWrapper::findParts() {
    if (CError* err = mRoot->findObjectChecked(mEnv, CString("plugin.audio-env")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mCollector, CString("plugin.param-collector")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mViz, CString("plugin.viz-collector")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mInterfaceBase, CString("plugin.interface-base")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mExtParams, CString("plugin.ext-param-list")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mCCTable, CString("plugin.cctable")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mRegistry, CString("plugin.param-registry")))
        return traceError(err);
    if (mDaw == nullptr)
        mDaw = new CDCDAWContext();
    mContext = {mEnv, mDaw, mCollector, mViz};
    return nullptr;
}

void CAudioWrapper::acquireHostParams() {
    CAudioParamCollector& c = *mCollector;
    mOversamplingParam = c.acquireParam(CString("plugin.modMain.host-oversampling-mode"));
    mOfflineParam = c.acquireParam(CString("plugin.modMain.host-offline"));
    mLatencyChangeParam = c.acquireParam(CString("plugin.modMain.host-latency-change"));
    mTrackNameParam = c.acquireParam(CString("plugin.modMain.host-track-name"));
    mBypassParam = c.acquireParam(CString("plugin.modMain.bypass-enable"));
    mAutoOversamplingRtMode = mProject->getIntAttr("auto-oversampling-rtmode");
    mUseHostBpm = mProject->getBoolAttr("use-host-bpm");
    if (mUseHostBpm) {
        mHostTempo = -1.0;
        mBpmParam = c.acquireParam(CString("plugin.modMain.host-bpm"));
    }
    mUseRouting = mProject->getBoolAttr("use-routing");
    mUseMidSide = mUseRouting && mProject->getBoolAttr("use-mid-side");
    static const char* const kNames[kIoParamCount] = {
        "plugin.modMain.io-params.in-channel-names", "plugin.modMain.io-params.group-names",
        "plugin.modMain.io-params.in-routing",       "plugin.modMain.io-params.grouping",
        "plugin.modMain.io-params.out-routing",      "plugin.modMain.io-params.ms-pairs",
        "plugin.modMain.io-params.sidechain",        "plugin.modMain.io-params.sidechain-mute"};
    for (int i = 0; i < kIoParamCount; ++i) {
        const bool sidechain = i == kSidechain || i == kSidechainMute;
        const bool wanted = sidechain ? mUseSidechain : mUseRouting && (i != kMsPairs || mUseMidSide);
        mIoParams[i] = wanted ? c.acquireParam(CString(kNames[i])) : nullptr;
    }
    // The host's parameters take their definitions now, so that the first change finds a format.
    const auto remaps = mRegistry->getRemaps();
    for (CAudioParam* p : {mOversamplingParam, mOfflineParam, mLatencyChangeParam, mTrackNameParam, mBypassParam,
                           mBpmParam})
        if (p != nullptr)
            p->bindDefinition(remaps, nullptr, CAudioParamContext{});
    for (CAudioParam* p : mIoParams)
        if (p != nullptr)
            p->bindDefinition(remaps, nullptr, CAudioParamContext{});
}

CError* CAudioWrapper::createProcesses() {
    destroyProcesses();
    CAudioProcessDefBase* mainDef = nullptr;
    if (CError* err = mRoot->findObjectChecked(mainDef, CString("shared::audio.modMain")))
        return traceError(err);
    if (CError* err = mainDef->createProcess(&mMain, mMainName, mContext, 0, 0, &mDaw->blockPool(), false, false))
        return traceError(err);
    CAudioProcessDefBase* outputDef = nullptr;
    if (CError* err = mRoot->findObjectChecked(outputDef, CString("shared::audio.modOutput")))
        return traceError(err);
    if (CError* err = outputDef->createProcess(&mOutput, mOutputName, mContext, 0, 0, &mDaw->blockPool(), false,
                                               false))
        return traceError(err);
    mOutputTerminal = dynamic_cast<CModOutput*>(mOutput);
    if (mOutputTerminal == nullptr)
        return newError("@talstr_CAudioWrapper_init_InvalidOutProcessType Output process object "
                        "'shared::audio.modOutput' is not of required 'CModOutput' type.");
    mUseDenorm = mProject->getBoolAttr("use-denorm");
    mMainInput = mMain->addInputConnection(0, 0);
    mMain->addOutput(mOutput, 0, 0);
    return nullptr;
}

void CAudioWrapper::bindExportedParams() {
    mExtParamMap.clear();
    const auto remaps = mRegistry->getRemaps();
    for (int i = 0; i < mExtParams->getCount(); ++i) {
        CAudioExtParam* ext = mExtParams->getParam(i);
        ext->setHostBridge(this);
        ext->setIndex(i);
        if (CAudioParam* param = ext->getParam()) {
            param->bindDefinition(remaps, nullptr, CAudioParamContext{});
            mExtParamMap[param][(ext->getElement() << 8) | ext->getGroup()] = i;
        }
    }
}

std::int32_t CAudioWrapper::findExtParamIndex(const CAudioParam* param, std::int32_t group,
                                              std::int32_t element) const {
    const auto p = mExtParamMap.find(param);
    if (p == mExtParamMap.end())
        return -1;
    const auto e = p->second.find((element << 8) | group);
    return e == p->second.end() ? -1 : e->second;
}

CError* CAudioWrapper::readIdentity() {
    mAppName = mProject->getTextAttr("app-name");
    mAppVendor = mProject->getTextAttr("app-vendor");
    if (mAppName.isEmpty())
        return newError("@talstr_CAudioWrapper_init_PluginNameEmpty Plug-in name is empty.");
    if (mAppVendor.isEmpty())
        return newError("@talstr_CAudioWrapper_init_VendorNameEmpty Vendor name is empty.");
    const std::int32_t channels = mProject->getIntAttr("plugin-intchannel-count");
    if (channels < 1 || channels > 16)
        return newError("@talstr_CAudioWrapper_init_InvalidIntChannelCount Invalid 'plugin-intchannel-count' "
                        "attribute value.");
    const std::int32_t groups = mProject->getIntAttr("plugin-group-count");
    if (groups < 1 || groups > 8)
        return newError("@talstr_CAudioWrapper_init_InvalidGroupCount Invalid 'plugin-group-count' attribute value.");
    mIntChannelCount = channels;
    mGroupCount = groups;
    if (CError* err = acquirePluginCode())
        return traceError(err);
    if (CError* err = parseVersion())
        return traceError(err);
    const CString& tail = mProject->getTextAttr("plugin-tail");
    mHasTail = !tail.isEmpty();
    if (mHasTail) {
        bool valid = false;
        const double seconds = parseDouble(tail, &valid);
        mTailSeconds = valid ? seconds : 0.4;
    } else {
        mTailSeconds = 0.0;
    }
    mIsVizAlwaysActive = mProject->getBoolAttr("is-viz-always-active");
    mIsSymmetricIO = mProject->getBoolAttr("is-symmetric-io");
    mUseSidechain = mProject->getBoolAttr("use-sidechain");
    return nullptr;
}

CError* CAudioWrapper::acquirePluginCode() {
    const CString& text = mProject->getTextAttr("plugin-code");
    if (text.length() != 4)
        return newError("@talstr_CAudioWrapper_acquirePluginCode_PluginCodeError Invalid plug-in code in string '%1'.",
                        CString::emptyString, text);
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i)
        code = (code << 8) + text.charAt(i);
    mPluginCode = code;
    return nullptr;
}

CError* CAudioWrapper::parseVersion() {
    const CString& text = mProject->getTextAttr("app-version");
    CStringList pieces;
    text.split(pieces, '.', true, true);
    std::int32_t v[3] = {0, 0, 0};
    bool ok = pieces.count() == 2 || pieces.count() == 3;
    for (int i = 0; ok && i < pieces.count(); ++i) {
        v[i] = parseInt(pieces[i], -1);
        ok = v[i] >= 0;
    }
    if (!ok)
        return newError("@talstr_CAudioWrapper_parseVersion_InvalidVersion Invalid version specification "
                        "in string '%1'.",
                        CString::emptyString, text);
    std::copy(v, v + 3, mVersion);
    return nullptr;
}

void CAudioWrapper::getVersion(std::int32_t& major, std::int32_t& minor, std::int32_t& patch) const noexcept {
    major = mVersion[0];
    minor = mVersion[1];
    patch = mVersion[2];
}

int CAudioWrapper::runDeferredCalls() {
    if (mCollector == nullptr || !mCollector->isMainThread())
        return 0;
    poolPrepareSpares();   // replaces the spare chunks the audio thread used
    return mCollector->runDeferredCalls();
}

void CAudioWrapper::activate() {
    if (mInterfaceBase != nullptr)
        mInterfaceBase->setDataProvider(this);
    if (mRegistry != nullptr) {
        // Every parameter goes to its registry; the master's program 0 becomes the live state and
        // the defaults.
        mCollector->bindAllParams();
        if (mProgramChangeListener == nullptr) {
            mProgramChangeListener = new CProgramChangeListener(*this);
            mRegistry->addListener(mProgramChangeListener);
        }
    }
    startProcessing();
    stopProcessing();
    mHostLinkActive.store(true);
}

// --- host format ---

std::int32_t CAudioWrapper::getInputChannelCount() const noexcept {
    CSpinLockGuard lock(mFormatLock);
    return mInputChannels;
}

std::int32_t CAudioWrapper::getOutputChannelCount() const noexcept {
    CSpinLockGuard lock(mFormatLock);
    return mOutputChannels;
}

std::int32_t CAudioWrapper::getSidechainChannelCount() const noexcept {
    CSpinLockGuard lock(mFormatLock);
    return mSidechainChannels;
}

double CAudioWrapper::getSampleRate() const noexcept {
    CSpinLockGuard lock(mFormatLock);
    return mSampleRate;
}

bool CAudioWrapper::isProcessing() const noexcept {
    CSpinLockGuard lock(mFormatLock);
    return mProcessing;
}

bool CAudioWrapper::isFormatChanged() const noexcept {
    CSpinLockGuard lock(mFormatLock);
    return mFormatChanged;
}

bool CAudioWrapper::setHostChannelCounts(std::int32_t inputs, std::int32_t sidechain, std::int32_t outputs) noexcept {
    // The loop's bookkeeping holds kMaxHostChannels: surplus host channels are ignored.
    inputs = std::clamp(inputs, 0, kMaxHostChannels);
    sidechain = std::clamp(sidechain, 0, inputs);
    outputs = std::clamp(outputs, 0, kMaxHostChannels);
    CSpinLockGuard lock(mFormatLock);
    if (inputs == mInputChannels && sidechain == mSidechainChannels && outputs == mOutputChannels)
        return false;
    mInputChannels = inputs;
    mSidechainChannels = sidechain;
    mOutputChannels = outputs;
    mFormatChanged = true;
    return true;
}

void CAudioWrapper::applyFormatChange() noexcept {
    std::int32_t inputs = 0;
    double rate = 0.0;
    {
        CSpinLockGuard lock(mFormatLock);
        if (!mFormatChanged)
            return;
        mFormatChanged = false;
        inputs = mInputChannels;
        rate = mSampleRate;
    }
    post(mInterfaceBase, CAudioInterfaceBase::CPosted::kIOChannelCounts);
    if (mMainInput == nullptr)
        return;
    // Host input channel i feeds channel i of the main process's input; the graph routes them.
    CAudioChannelDesc descriptors[kMaxHostChannels];
    for (std::int32_t i = 0; i < inputs; ++i) {
        descriptors[i] = CAudioChannelDesc{};
        descriptors[i].key = i;
        descriptors[i].group = 0;
    }
    CAudioProcessBase::setConnectionFormat(mMainInput, descriptors, inputs, rate);
}

// --- labels ---

void CAudioWrapper::setChannelLabels(const CStringList& main, const CStringList& sidechain) {
    std::lock_guard<CRecursiveMutex> lock(mMutex);
    mMainLabels = main;
    mSidechainLabels = sidechain;
    mLabelsKnown.store(true);
}

void CAudioWrapper::setChannelLabelsAndRoute(const CStringList& main, const CStringList& sidechain) {
    std::lock_guard<CRecursiveMutex> lock(mMutex);
    setChannelLabels(main, sidechain);
    updateRouting(true, nullptr, nullptr);
}

CStringList CAudioWrapper::getMainLabels() const {
    std::lock_guard<CRecursiveMutex> lock(mMutex);
    return mMainLabels;
}

// --- processing state ---

void CAudioWrapper::startProcessing() {
    CFloatModeGuard mode;
    {
        CSpinLockGuard lock(mFormatLock);
        if (mProcessing)
            return;
        mProcessing = true;
    }
    if (mEnv != nullptr) {
        CSpinLockGuard lock(mEnv->processingLock);
        mEnv->processing = true;
    }
    post(mInterfaceBase, CAudioInterfaceBase::CPosted::kStartViz);
    if (!mIsVizAlwaysActive)
        post(mInterfaceBase, CAudioInterfaceBase::CPosted::kClearClient);
    if (mDaw != nullptr) {
        // Blocks of the longest sub-block, which serve every shorter one, and small ones for the
        // filters' states and coefficients: what the graph holds at once with every band on.
        CAudioBlockPool& pool = mDaw->blockPool();
        pool.reserve(kMaxSubBlock * std::int32_t(sizeof(double)), kReservedAudioBlocks);
        pool.reserve(CAudioBlockPool::kGranuleBytes, kReservedSmallBlocks);
    }
    processSilentSample();
    // What the audio thread may need from the size-class allocator waits for it from now on.
    poolPrepareSpares(true);
}

void CAudioWrapper::stopProcessing() {
    CFloatModeGuard mode;
    {
        CSpinLockGuard lock(mFormatLock);
        if (!mProcessing)
            return;
        mProcessing = false;
    }
    if (mEnv != nullptr) {
        CSpinLockGuard lock(mEnv->processingLock);
        mEnv->processing = false;
    }
    processSilentSample();
    if (mMain != nullptr)
        mMain->reset();
    if (mOutput != nullptr)
        mOutput->reset();
    if (!mIsVizAlwaysActive)
        post(mInterfaceBase, CAudioInterfaceBase::CPosted::kStopViz);
    if (mViz != nullptr)
        mViz->releaseExportSlots();
    if (mIsVizAlwaysActive)
        post(mInterfaceBase, CAudioInterfaceBase::CPosted::kClearClient);
}

void CAudioWrapper::setSampleRate(double rate) {
    {
        CSpinLockGuard lock(mFormatLock);
        if (rate == mSampleRate)
            return;
        mSampleRate = rate;
        mFormatChanged = true;
    }
    if (mEnv != nullptr) {
        CSpinLockGuard lock(mEnv->processingLock);
        mEnv->sampleRate = rate;
    }
    // The host changes the rate on its main thread, outside processing.
    if (mInterfaceBase != nullptr)
        mInterfaceBase->sendSampleRate(-1);
}

void CAudioWrapper::setHostParam(CAudioParam* param, double value) {
    if (param != nullptr && param->getInfo() != nullptr)
        param->setValue(0, this, nullptr, value);
}

void CAudioWrapper::setOffline(bool offline) {
    if (offline == mOffline)
        return;
    mOffline = offline;
    setHostParam(mOfflineParam, offline ? 1.0 : 0.0);
    updateOversampling(offline);
}

void CAudioWrapper::updateOversampling(bool offline) {
    std::int32_t mode = 0;
    if (offline) {
        std::int32_t level =
            parseInt(readAppDataString(&CAppData::groupScope(), CString("oversampling-level"), CString("1")), 1);
        const double rate = getSampleRate();
        if (rate < 72000.0)
            ++level;
        else if (rate >= 144000.0)
            --level;
        level = std::clamp(level, 0, 3);
        const bool force =
            parseBool(readAppDataString(&CAppData::localScope(), CString("force-auto-oversampling"), CString("0")),
                      false);
        mode = force ? -level : level;
    } else {
        mode = mAutoOversamplingRtMode - 1;
    }
    if (mode == mOversamplingMode)
        return;
    mOversamplingMode = mode;
    setHostParam(mOversamplingParam, double(mode));
}

void CAudioWrapper::setHostTempo(double bpm) noexcept {
    if (!mUseHostBpm)
        return;
    if (bpm != mHostTempo || std::isnan(bpm) || std::isnan(mHostTempo)) {
        mHostTempo = bpm;
        setHostParam(mBpmParam, bpm);
    }
}

void CAudioWrapper::onLatencyChanged() {
    mLatencyChanged.store(true);
    mLatencyReported.store(false);
    setHostParam(mLatencyChangeParam, 1.0);
}

void CAudioWrapper::acknowledgeLatency() noexcept {
    if (mLatencyReported.load())
        return;
    mLatencyReported.store(true);
    mLatencyChanged.store(false);
    setHostParam(mLatencyChangeParam, 0.0);
}

std::int32_t CAudioWrapper::getGraphLatency() const noexcept { return mEnv != nullptr ? mEnv->latency : 0; }

// --- state ---

CError* CAudioWrapper::getState(COutputStream& out) {
    if (mRegistry == nullptr)
        return newError("@talstr_CAudioWrapper_getState_NoRegistry The instance has no parameter registry.");
    CWriteSeqBuffer buffer;
    if (CError* err = mRegistry->acquirePreset(false, -1, -1, buffer))
        return traceError(err);
    CByteBuffer bytes;
    buffer.moveTo(bytes);
    if (CError* err = out.writeCompressedData(bytes, kTagPreset))
        return traceError(err);
    return nullptr;
}

CError* CAudioWrapper::setState(CInputStream& in) {
    if (mRegistry == nullptr)
        return newError("@talstr_CAudioWrapper_setState_NoRegistry The instance has no parameter registry.");
    CByteBuffer bytes;
    if (CError* err = in.readCompressedData(bytes, kTagPreset))
        return traceError(err);
    CMemoryReader reader(bytes.data(), bytes.size());
    if (CError* err = mRegistry->activatePreset(reader, true, -1))
        return traceError(err);
    return nullptr;
}

CError* CAudioWrapper::saveStateRecord(CByteBuffer& out, bool bank, bool header) {
    if (mRegistry == nullptr)
        return newError("@talstr_CAudioWrapper_getState_NoRegistry The instance has no parameter registry.");
    CWriteSeqBuffer buffer;
    if (CError* err = bank ? mRegistry->acquireBank(false, buffer) : mRegistry->acquirePreset(false, -1, -1, buffer))
        return traceError(err);
    CByteBuffer content;
    buffer.moveTo(content);
    CWriteSeqBuffer record;
    for (int i = 0; header && i < 4; ++i)
        if (CError* err = record.write32(0))
            return traceError(err);
    if (CError* err = record.writeCompressedData(content, bank ? kTagBank : kTagPreset))
        return traceError(err);
    record.moveTo(out);
    return nullptr;
}

CError* CAudioWrapper::loadStateRecord(const void* data, std::int32_t size, bool bank, bool header) {
    if (mRegistry == nullptr)
        return newError("@talstr_CAudioWrapper_setState_NoRegistry The instance has no parameter registry.");
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (header) {
        if (size <= 16)
            return nullptr;
        bytes += 16;
        size -= 16;
    }
    CMemoryReader reader(bytes, size);
    CByteBuffer content;
    if (CError* err = reader.readCompressedData(content, bank ? kTagBank : kTagPreset))
        return traceError(err);
    CMemoryReader contentReader(content.data(), content.size());
    if (CError* err = bank ? mRegistry->activateBank(contentReader, true) : mRegistry->activatePreset(contentReader, true, -1))
        return traceError(err);
    return nullptr;
}

void CAudioWrapper::setHostTrackName(const CString& name) {
    if (mTrackNameParam == nullptr)
        return;
    CAudioParamLock lock(mTrackNameParam);
    if (mTrackNameParam->getInfo() == nullptr)
        return;
    if (mTrackNameParam->getString(0, 0) != name)
        mTrackNameParam->setString(0, 0, name, this, &lock, CAudioParamContext{});
}

CString CAudioWrapper::getHostTrackName() const {
    if (mTrackNameParam == nullptr)
        return CString();
    CAudioParamLock lock(mTrackNameParam);
    return mTrackNameParam->getString(0, 0);
}

// --- window size ---

double CAudioWrapper::getUIScaleSetting() {
    bool valid = false;
    const double scale = parseDouble(readAppDataString(&CAppData::localScope(), CString("ui-scale"), CString("1.0")),
                                     &valid);
    return valid ? scale : 1.0;
}

bool CAudioWrapper::computeWindowSize(std::int32_t& width, std::int32_t& height, bool fallback) {
    const CAudioParamStorage& current = mWindowSizeParam->getCurrent();
    double w = 400.0, h = 300.0;
    if (current.isFormatSet()) {
        const int n = current.getElementCount(0);
        w = n > 0 ? current.getValue(0, 0, 0) : current.getDefault(0, 0);
        h = n > 1 ? current.getValue(0, 1, 0) : current.getDefault(1, 0);
    } else if (!fallback) {
        return false;
    }
    width = roundHalfAway(w * mUIScale);
    height = roundHalfAway(h * mUIScale);
    if (mMinWindowWidth > 0 && mMinWindowHeight > 0) {
        width = std::max(width, roundHalfAway(mMinWindowWidth * mUIScale));
        height = std::max(height, roundHalfAway(mMinWindowHeight * mUIScale));
    }
    return true;
}

void CAudioWrapper::prepareWindowSize() {
    mUIScale = getUIScaleSetting();
    if (mWindowSizeParam == nullptr)
        return;
    CAudioParamLock lock(mWindowSizeParam);
    computeWindowSize(mWindowWidth, mWindowHeight, true);
}

bool CAudioWrapper::syncWindowSize() {
    if (!mUseWindowResizing || mWindowSizeParam == nullptr)
        return false;
    std::int32_t width = 0, height = 0;
    {
        CAudioParamLock lock(mWindowSizeParam);
        if (!computeWindowSize(width, height, false))
            return false;
    }
    if (width == mWindowWidth && height == mWindowHeight)
        return true;
    mWindowWidth = width;
    mWindowHeight = height;
    return isHostLinkActive() ? resizeHostWindow() : true;
}

void CAudioWrapper::onHostResize(std::int32_t width, std::int32_t height) {
    if (!mUseWindowResizing || mWindowSizeParam == nullptr)
        return;
    CAudioParamLock lock(mWindowSizeParam);
    const CAudioParamStorage& current = mWindowSizeParam->getCurrent();
    if (!current.isFormatSet() || current.getDataType() != CAudioParamStorage::kTypeFloat)
        return;
    const double values[2] = {double(roundHalfAway(width / mUIScale)), double(roundHalfAway(height / mUIScale))};
    mWindowSizeParam->applyChange(CAudioParamChange::make(0, 0, 2, true, this, current, values, nullptr), &lock,
                                  CAudioParamContext{});
}

bool CAudioWrapper::getMinWindowSize(std::int32_t& width, std::int32_t& height) const {
    if (mMinWindowWidth <= 0 || mMinWindowHeight <= 0)
        return false;
    width = roundHalfAway(mMinWindowWidth * mUIScale);
    height = roundHalfAway(mMinWindowHeight * mUIScale);
    return true;
}

// --- gestures ---

void CAudioWrapper::beginParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) {
    const std::int32_t index = findExtParamIndex(param, group, element);
    if (index >= 0 && isHostLinkActive())
        beginHostEdit(index);
}

void CAudioWrapper::endParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) {
    const std::int32_t index = findExtParamIndex(param, group, element);
    if (index >= 0 && isHostLinkActive())
        endHostEdit(index);
}

// --- the block loop ---

void CAudioWrapper::processEvent(const CAudioWrapperEvent& /*event*/) {}

void CAudioWrapper::dispatchEvent(const CAudioWrapperEvent& event) {
    if (event.type == CAudioWrapperEvent::kParameter)
        processParamEvent(event);
    else if (event.type == CAudioWrapperEvent::kPlain)
        processEvent(event);
}

void CAudioWrapper::process(void* const* inputs, void* const* outputs, std::int32_t frames) {
    CFloatModeGuard mode;   // restored on every exit
    CPoolRealtimeScope realtime;
    const std::int32_t latency = getGraphLatency();
    mEvents.sort();
    const std::int32_t eventCount = mEvents.count();
    std::int32_t next = 0;
    std::int32_t position = 0;
    bool first = true;
    while (position < frames) {
        std::int32_t length = std::min(frames - position, kMaxSubBlock);
        bool dispatched = false;
        while (next < eventCount) {
            const CAudioWrapperEvent& event = mEvents[next];
            if (event.offset > position) {
                length = std::min(length, event.offset - position);
                break;
            }
            // Offsets below the position cannot come from the binding (it clamps them into the
            // block); were one to arrive, it runs now instead of making a negative sub-block.
            dispatchEvent(event);
            ++next;
            dispatched = true;
        }
        if (dispatched || first)
            applyCollectedChanges(first, length);
        first = false;
        renderSubBlock(inputs, outputs, position, length);
        position += length;
    }
    if (getGraphLatency() != latency)
        onLatencyChanged();
    mEvents.clear();   // events beyond the block are dropped with it
}

void CAudioWrapper::applyCollectedChanges(bool first, std::int32_t length) {
    if (mEnv == nullptr || mCollector == nullptr)
        return;
    if (first) {
        {
            CSpinLockGuard lock(mEnv->processingLock);
            mEnv->vizTime = mEnv->runningTime + length / mEnv->sampleRate;
            mEnv->activeVizFrameRate = mEnv->requestedVizFrameRate;
        }
        if (mViz != nullptr)
            mViz->runHostBlockRequests();
    }
    mCollector->takePending(mTakenChanges);
    CAudioParamCollector::applyPendingChanges(mTakenChanges);
    mTakenChanges.clear();
}

void CAudioWrapper::renderSubBlock(void* const* inputs, void* const* outputs, std::int32_t hostOffset,
                                   std::int32_t length) {
    if (mMain == nullptr) {
        // No graph (a binding test): the host's outputs get silence, never unprocessed input.
        const std::int32_t channels = getOutputChannelCount();
        for (std::int32_t c = 0; outputs != nullptr && c < channels; ++c)
            clearHostChannel(outputs[c], mHostIs64, hostOffset, hostOffset + length);
        return;
    }
    std::int32_t inputsTotal = 0, sidechain = 0;
    {
        CSpinLockGuard lock(mFormatLock);
        inputsTotal = mInputChannels;
        sidechain = mSidechainChannels;
    }
    readHostInputs(inputs, length, hostOffset, mHostIs64, 0, inputsTotal - sidechain);
    if (sidechain > 0)
        readHostInputs(mSidechainBuffers, length, hostOffset, mHostIs64, inputsTotal - sidechain, sidechain);
    mMainInput->blockLength = length;
    mMain->process();
    writeHostOutputs(outputs, length, hostOffset);
    mEnv->runningTime += length / mEnv->sampleRate;
}

void CAudioWrapper::readHostInputs(void* const* buffers, std::int32_t length, std::int32_t hostOffset, bool is64,
                                   std::int32_t firstChannel, std::int32_t count) noexcept {
    CAudioBlockPool& pool = mDaw->blockPool();
    for (std::int32_t i = 0; i < count; ++i) {
        double* block = pool.allocBlock(8 * length);
        const void* source = buffers != nullptr ? buffers[i] : nullptr;
        readHostChannel(source, is64, hostOffset, length, mUseDenorm ? &mNoise : nullptr, block);
        mMainInput->storeBlock(firstChannel + i, block);
    }
}

void CAudioWrapper::writeHostOutputs(void* const* outputs, std::int32_t length, std::int32_t hostOffset) noexcept {
    const std::int32_t n = std::min(getOutputChannelCount(), kMaxHostChannels);
    std::int32_t written[kMaxHostChannels] = {};
    mOutput->renderInputs();
    const CAudioProcessPort* port = mOutput->port(0);
    const std::int32_t rendered = mOutput->blockLength();
    for (int i = 0; port != nullptr && i < port->channelCount; ++i) {
        const std::int32_t h = port->format[i].key;
        if (h < 0 || h >= n)
            continue;
        const CAudioChannelDesc* channel = port->channelTable[i];
        const double* block = channel != nullptr ? channel->block : nullptr;
        const std::int32_t count = std::min(length - written[h], rendered);
        if (block == nullptr || count <= 0 || outputs == nullptr)
            continue;
        writeHostChannel(block, outputs[h], mHostIs64, hostOffset + written[h], count);
        written[h] += count;
    }
    mOutput->releaseInputs();
    for (std::int32_t h = 0; outputs != nullptr && h < n; ++h)
        clearHostChannel(outputs[h], mHostIs64, hostOffset + written[h], hostOffset + length);
}

void CAudioWrapper::processSilentSample() {
    if (mMain == nullptr)
        return;
    applyFormatChange();
    mEvents.sort();
    for (std::int32_t i = 0; i < mEvents.count() && mEvents[i].offset <= 0; ++i)
        dispatchEvent(mEvents[i]);
    applyCollectedChanges(true, 1);
    const std::int32_t inputs = getInputChannelCount();
    CAudioBlockPool& pool = mDaw->blockPool();
    for (std::int32_t i = 0; i < inputs; ++i) {
        double* block = pool.allocBlock(8);
        block[0] = 0.0;
        mMainInput->storeBlock(i, block);
    }
    mMainInput->blockLength = 1;
    const std::int32_t latency = getGraphLatency();
    mMain->process();
    mOutput->renderInputs();
    mOutput->releaseInputs();
    mEnv->runningTime += 1.0 / mEnv->sampleRate;
    if (getGraphLatency() != latency)
        onLatencyChanged();
    mEvents.clear();
}

// --- automatic channel routing ---

namespace {

// A value of an io parameter's group 0, rounded: the stored element, else its default, else
// fallback when the parameter has no format.
std::int32_t routingValue(const CAudioParam* param, int element, double fallback) {
    const CAudioParamStorage& s = param->getCurrent();
    const double v = !s.isFormatSet()                   ? fallback
                     : element < s.getElementCount(0) ? s.getValue(0, element, 0)
                                                        : s.getDefault(element, 0);
    return roundHalfAway(v);
}

bool isGroupNameAutomatic(const CString& name, int v) {
    if (v == 1)
        for (const char* text : {"1", "G1", "G-1", "MONO", "STEREO", "ALL CH", "MULTI"})
            if (name == CString(text))
                return true;
    const CString number = CString(std::to_string(v).c_str());
    return name == number || name == CString("G") + number || name == CString("G-") + number;
}

// Writes count elements of group 0 of a parameter (truncating), floats or texts.
void applyRoutingChange(CAudioParam* param, CAudioParamLock& lock, const double* values, int count,
                        const CAudioParamData* table, const void* sender, const CAudioParamContext& context) {
    param->applyChange(CAudioParamChange::make(0, 0, count, true, sender, param->getCurrent(), values, table), &lock,
                       context);
}

} // namespace

void CAudioWrapper::updateRouting(bool force, CAudioParamUndoRecord* undo, CAudioParamChangeList* changes) {
    if (force)
        mRoutingReady.store(true);
    else if (!mRoutingReady.load())
        return;
    if (!mUseRouting)
        return;
    // The labels are copied before any parameter is locked: the wrapper mutex is always taken
    // before parameter locks (refreshRouting holds it around the whole update).
    CStringList main, side;
    {
        std::lock_guard<CRecursiveMutex> lock(mMutex);
        main = mMainLabels;
        side = mSidechainLabels;
    }
    // Locked in the fixed order of the table; the locks are released in reverse order on return.
    static constexpr int kTypes[kIoParamCount] = {CAudioParamStorage::kTypeString, CAudioParamStorage::kTypeString,
                                                  CAudioParamStorage::kTypeFloat,  CAudioParamStorage::kTypeFloat,
                                                  CAudioParamStorage::kTypeFloat,  CAudioParamStorage::kTypeFloat,
                                                  CAudioParamStorage::kTypeFloat,  CAudioParamStorage::kTypeFloat};
    std::optional<CAudioParamLock> locks[kIoParamCount];
    for (int i = 0; i < kIoParamCount; ++i) {
        if ((i == kMsPairs && !mUseMidSide) || ((i == kSidechain || i == kSidechainMute) && !mUseSidechain))
            continue;
        CAudioParam* p = mIoParams[i];
        if (p == nullptr)
            return;
        locks[i].emplace(p);
        if (!p->getCurrent().isFormatSet() || p->getCurrent().getDataType() != kTypes[i])
            return;
    }
    const int n = mIntChannelCount;
    CAudioParam* const* io = mIoParams;

    // Is the present routing still an automatic one?
    if (mUseMidSide)
        for (int i = 0; i < n; ++i)
            if (routingValue(io[kMsPairs], i, -1.0) != 0)
                return;
    for (int v = 1; v <= 8; ++v)
        if (!isGroupNameAutomatic(io[kGroupNames]->getString(0, v - 1), v))
            return;
    // The side-chain channels the rebuild marks are one unbroken run of muted channels.
    int runFirst = -1, runCount = 0;
    if (mUseSidechain) {
        for (int i = 0; i < n; ++i) {
            if (routingValue(io[kSidechainMute], i, 0.0) == 0)
                continue;
            if (runFirst < 0)
                runFirst = i;
            else if (runFirst + runCount != i)
                return;
            ++runCount;
        }
        if (runCount > 0 && !mLabelsKnown.load())
            return;
        if (runCount == 0)
            for (int i = 0; i < n; ++i)
                if (routingValue(io[kSidechain], i, -1.0) != i)
                    return;
    }
    const auto inRun = [&](int i) { return runCount > 0 && i >= runFirst && i < runFirst + runCount; };
    int expected = 1;
    int firstUnrouted = n;
    for (int i = 0; i < n; ++i) {
        const int r = routingValue(io[kInRouting], i, 0.0);
        if (expected > 0 && r == expected) {
            ++expected;
        } else if (r == 0) {
            if (expected > 0)
                firstUnrouted = i;
            expected = 0;
        } else {
            return;
        }
        const int out = routingValue(io[kOutRouting], i, 0.0);
        if (out != r && !(out == 0 && inRun(i)))
            return;
    }
    for (int i = 0; i < n; ++i)
        if (routingValue(io[kGrouping], i, -1.0) != (i < firstUnrouted ? 0 : i / 2))
            return;
    if (runCount > 0) {
        // The mapping the rebuild writes for a run that ends at the first unrouted channel.
        const int first = firstUnrouted - runCount;
        for (int j = runFirst; j < runFirst + runCount; ++j)
            if (routingValue(io[kSidechain], j, -1.0) != j)
                return;
        for (int j = 0; j < first; ++j)
            if (routingValue(io[kSidechain], j, -1.0) != (runCount == 1 ? first : j < runCount ? first + j : j))
                return;
    }

    // Rebuild for the present labels.
    if (main.count() == 0)
        return;
    const int m = main.count();
    const int t = std::min(m + side.count(), kMaxHostChannels);
    const CAudioParamContext context{undo, changes, false};
    double values[kMaxHostChannels] = {};

    CAudioParamData names;
    for (int j = 0; j < t; ++j)
        values[j] = names.addString(j < m ? main[j] : side[j - m]);
    applyRoutingChange(io[kInChannelNames], *locks[kInChannelNames], values, t, &names, this, context);

    CAudioParamData groups;
    values[0] = groups.addString(CString(m == 2 ? "STEREO" : m == 1 ? "MONO" : "MULTI"));
    for (int v = 2; v <= 8; ++v)
        values[v - 1] = groups.addString(CString("G-") + CString(std::to_string(v).c_str()));
    applyRoutingChange(io[kGroupNames], *locks[kGroupNames], values, 8, &groups, this, context);

    for (int j = 0; j < n; ++j)
        values[j] = j < t ? j + 1 : 0;
    applyRoutingChange(io[kInRouting], *locks[kInRouting], values, n, nullptr, this, context);
    // The side-chain channels follow the main ones (m to last - 1), muted: they feed the processing
    // but reach no output. Each main channel j is mapped to a side-chain channel.
    int last = m;
    if (mUseSidechain) {
        const bool run = mLabelsKnown.load() && side.count() > 0 && m < n;
        last = run ? std::min(n, t) : m;
        double mute[kMaxHostChannels] = {};
        for (int j = 0; j < n; ++j) {
            if (!run)
                values[j] = j;
            else if (j >= last)
                values[j] = 0;
            else if (j >= m)
                values[j] = j;
            else
                values[j] = last - 1 == m ? m : j <= last - 1 - m ? m + j : j;
            mute[j] = run && j >= m && j < last ? 1 : 0;
        }
        applyRoutingChange(io[kSidechain], *locks[kSidechain], values, n, nullptr, this, context);
        applyRoutingChange(io[kSidechainMute], *locks[kSidechainMute], mute, n, nullptr, this, context);
    }
    for (int j = 0; j < n; ++j)
        values[j] = j < t && (j < m || j >= last) ? j + 1 : 0;
    applyRoutingChange(io[kOutRouting], *locks[kOutRouting], values, n, nullptr, this, context);
    for (int j = 0; j < n; ++j)
        values[j] = j < t ? 0 : j / 2;
    applyRoutingChange(io[kGrouping], *locks[kGrouping], values, n, nullptr, this, context);
}

void CAudioWrapper::refreshRouting(CAudioParamUndoRecord* undo, CAudioParamChangeList* changes) {
    std::lock_guard<CRecursiveMutex> lock(mMutex);
    updateRouting(false, undo, changes);
}

} // namespace tal

namespace tal {

void CAudioWrapper::importChannelLabels() {
    if (mCollector == nullptr)
        return;
    CAudioParam* names = mCollector->acquireParam(CString("plugin.modMain.io-params.in-channel-names"));
    // The labels are copied first: the wrapper mutex is never taken under a parameter lock.
    CStringList main, side;
    {
        std::lock_guard<CRecursiveMutex> labels(mMutex);
        main = mMainLabels;
        side = mSidechainLabels;
    }
    std::optional<CAudioParamLock> lock(std::in_place, names);
    const CAudioParamStorage& current = names->getCurrent();
    if (!current.isFormatSet() || current.getDataType() != CAudioParamStorage::kTypeString)
        return;
    CAudioParamData table;
    double values[kMaxHostChannels] = {};
    const int m = main.count();
    const int count = std::min(m + side.count(), int(kMaxHostChannels));
    bool differ = false;
    for (int j = 0; j < count; ++j) {
        const CString& label = j < m ? main[j] : side[j - m];
        differ = differ || names->getString(0, j) != label;
        values[j] = table.addString(label);
    }
    if (!differ)
        return;
    CAudioParamUndo* history = dynamic_cast<CAudioParamUndo*>(mInterfaceBase);
    CAudioParamUndoRecord* undo = history != nullptr ? new CAudioParamUndoRecord(CString("Channel label import"))
                                                     : nullptr;
    applyRoutingChange(names, *lock, values, count, &table, this, CAudioParamContext{undo, nullptr, false});
    lock.reset();   // the history's lock is never taken under a parameter's lock
    if (undo != nullptr)
        history->addRecord(undo);
}

} // namespace tal
