#include "Audio/CAudioWrapper.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CFloatModeGuard.h"
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CObjectLookups.h"
#include "Core/Log.h"
#include "Core/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tal {

CAudioWrapper::CAudioWrapper() { mNoise.seedFromCounter(); }

CAudioWrapper::~CAudioWrapper() {
    if (mRoot != nullptr) {
        CObject* root = mRoot;
        mRoot = nullptr;
        root->release();
    }
}

// --- set-up ---

CError* CAudioWrapper::init() {
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

    // The instance's parts, each with its class verified.
    if (CError* err = mRoot->findObjectChecked(mEnv, CString("plugin.audio-env")))
        return traceError(err);
    if (CError* err = mRoot->findObjectChecked(mCollector, CString("plugin.param-collector")))
        return traceError(err);
    for (const char* part : {"plugin.viz-collector", "plugin.interface-base", "plugin.ext-param-list",
                             "plugin.cctable", "plugin.param-registry"}) {
        CObject* found = nullptr;
        if (CError* err = mRoot->findObjectChecked(found, CString(part)))
            return traceError(err);
    }
    // The process graph (the main and output processes, their terminals and modules) is what
    // turns the parts into an equaliser; without it there is nothing to run.
    return newError("@talstr_CAudioWrapper_init_NoProcessGraph The process graph of 'shared::audio.modMain' "
                    "cannot be built: the framework has no process classes.");
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
    mUseDenorm = mProject->getBoolAttr("use-denorm");
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
        return newError("@talstr_CAudioWrapper_parseVersion_InvalidVersion Invalid version text in "
                        "string '%1'.",
                        CString::emptyString, text);
    std::copy(v, v + 3, mVersion);
    return nullptr;
}

void CAudioWrapper::getVersion(std::int32_t& major, std::int32_t& minor, std::int32_t& patch) const noexcept {
    major = mVersion[0];
    minor = mVersion[1];
    patch = mVersion[2];
}

void CAudioWrapper::activate() {
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
    CSpinLockGuard lock(mFormatLock);
    mFormatChanged = false;
}

// --- labels ---

void CAudioWrapper::setChannelLabels(const CStringList& main, const CStringList& sidechain) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mMainLabels = main;
    mSidechainLabels = sidechain;
    mLabelsKnown.store(true);
}

CStringList CAudioWrapper::getMainLabels() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mMainLabels;
}

// --- processing state ---

void CAudioWrapper::startProcessing() {
    CFloatModeGuard mode;
    CSpinLockGuard lock(mFormatLock);
    mProcessing = true;
}

void CAudioWrapper::stopProcessing() {
    CFloatModeGuard mode;
    CSpinLockGuard lock(mFormatLock);
    mProcessing = false;
}

void CAudioWrapper::setSampleRate(double rate) {
    CSpinLockGuard lock(mFormatLock);
    if (rate == mSampleRate)
        return;
    mSampleRate = rate;
    mFormatChanged = true;
}

void CAudioWrapper::setHostTempo(double bpm) noexcept {
    if (bpm != mHostTempo || std::isnan(bpm) || std::isnan(mHostTempo))
        mHostTempo = bpm;
}

void CAudioWrapper::onLatencyChanged() {
    mLatencyChanged = true;
    mLatencyReported = false;
}

void CAudioWrapper::acknowledgeLatency() noexcept {
    if (mLatencyReported)
        return;
    mLatencyReported = true;
    mLatencyChanged = false;
}

std::int32_t CAudioWrapper::getGraphLatency() const noexcept { return mLatency; }

// --- state ---

CError* CAudioWrapper::getState(COutputStream& /*out*/) {
    return newError("@talstr_CAudioWrapper_getState_NoRegistry The instance has no parameter registry to save.");
}

CError* CAudioWrapper::setState(CInputStream& /*in*/) {
    return newError("@talstr_CAudioWrapper_setState_NoRegistry The instance has no parameter registry to restore.");
}

void CAudioWrapper::setHostTrackName(const CString& name) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (name != mHostTrackName)
        mHostTrackName = name;
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
    const std::int32_t latency = mLatency;
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
    if (mLatency != latency)
        onLatencyChanged();
    mEvents.clear();   // events beyond the block are dropped with it
}

void CAudioWrapper::applyCollectedChanges(bool /*first*/, std::int32_t /*length*/) {}

void CAudioWrapper::renderSubBlock(void* const* /*inputs*/, void* const* outputs, std::int32_t hostOffset,
                                   std::int32_t length) {
    // init refuses to build an instance until the process graph exists, so only a binding test
    // reaches this: the host's outputs get silence, never unprocessed input passed off as output.
    const std::int32_t channels = std::min(getOutputChannelCount(), kMaxHostChannels);
    for (std::int32_t c = 0; c < channels; ++c) {
        if (outputs == nullptr || outputs[c] == nullptr)
            continue;
        if (mHostIs64)
            std::fill_n(static_cast<double*>(outputs[c]) + hostOffset, length, 0.0);
        else
            std::fill_n(static_cast<float*>(outputs[c]) + hostOffset, length, 0.0f);
    }
}

} // namespace tal
