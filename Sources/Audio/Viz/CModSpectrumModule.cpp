#include "Audio/Viz/CModSpectrumModule.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/Processes/CAudioModuleHost.h"
#include "Core/CString.h"

namespace tal {

CAudioVizCollector* CModSpectrumModule::vizCollector() const noexcept {
    const auto* process = dynamic_cast<const CAudioProcessBase*>(owner);
    if (process == nullptr || process->context() == nullptr)
        return nullptr;
    return process->context()->vizCollector;
}

double CModSpectrumModule::runningTime() const noexcept { return mEnv != nullptr ? mEnv->runningTime : 0.0; }

double CModSpectrumModule::activeFrameRate() const noexcept {
    if (mEnv == nullptr)
        return 0.0;   // the analyser then uses its own default rate
    CSpinLockGuard guard(mEnv->processingLock);
    return mEnv->activeVizFrameRate;
}

void CModSpectrumModule::bindParams() {
    for (int k = 0; k < kKeyCount; ++k)
        bindKey(k, &mChanged[k], &mStores[k]);
}

void CModSpectrumModule::init() {
    mEnv = owner != nullptr ? owner->moduleEnv() : nullptr;
    mSink.attach(vizCollector(), owner != nullptr ? owner->moduleHostName() : CString());
    mAnalyser.setup(blockPool, &mSink, channelSlot, std::int32_t(group));
}

void CModSpectrumModule::reset() { mAnalyser.reset(runningTime()); }

void CModSpectrumModule::update() {
    CFFTAnalyser::CSettings s;
    s.blockSize = read(mStores[kKeyBlockSize], s.blockSize);
    s.window = read(mStores[kKeyWindow], s.window);
    s.overlap = read(mStores[kKeyOverlap], s.overlap);
    s.avgTime = read(mStores[kKeyAvgTime], s.avgTime);
    s.type = read(mStores[kKeyType], s.type);
    s.secType = read(mStores[kKeySecType], s.secType);
    s.secEnable = read(mStores[kKeySecEnable], 0.0);
    std::uint32_t changed = 0;
    for (int k = 0; k < kKeyCount; ++k)
        if (mChanged[k] != 0)
            changed |= 1u << k;
    mAnalyser.update(s, changed, inputsChanged, sampleRate, activeFrameRate(), runningTime());
    // The analyser is a pure sink: nothing goes on to the terminal's output links.
    outputCount = 0;
}

void CModSpectrumModule::process() {
    if (inputCount < 1 || blockLength <= 0)
        return;
    const double* in = inputBlock(0);
    if (in == nullptr)
        return;
    mAnalyser.process(in, blockLength, activeFrameRate());
}

} // namespace tal
