#include "Audio/Processes/CModBypassModule.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/Processes/CAudioModuleHost.h"

namespace tal {

void CModBypassModule::init() { mNoise.seedFromCounter(); }

void CModBypassModule::bindParams() {
    bindKey(kKeyEnable, &mEnableChanged, &mEnable);
    bindKey(kKeyGroupSolo, &mGroupSoloChanged, &mGroupSolo);
}

CModBypassModule::Output CModBypassModule::decide(bool hasEnable, double enable, bool hasAlternate,
                                                  bool soloedOut) noexcept {
    const bool bypassed = hasEnable && isOn(enable);
    if (bypassed && !hasAlternate)
        return Output::kNoise;
    if (soloedOut)
        return Output::kNoise;
    return bypassed ? Output::kAlternate : Output::kMain;
}

bool CModBypassModule::isSoloedOut(const CAudioParamStorage* solo, int group) noexcept {
    if (!hasValues(solo))
        return false;
    bool any = false;
    bool own = false;
    for (int g = 0; g < solo->getGroupCount(); ++g) {
        if (solo->getElementCount(g) < 1 || !isOn(solo->getValue(g, 0, 0)))
            continue;
        any = true;
        if (g == group)
            own = true;
    }
    return any && !own;
}

void CModBypassModule::update() {
    if (inputsChanged) {
        for (int c = 0; c < kMaxChannels; ++c)
            mAlternate[c] = nullptr;
        for (int c = 0; c < inputCount && c < kMaxChannels && owner != nullptr; ++c) {
            const CAudioChannelDesc* in = inputTable[c];
            mAlternate[c] = owner->findModuleInput(1, in->key & 15, in->group);
        }
    }
    const Output o = decide(hasValues(mEnable), read(mEnable, 0.0), mAlternate[0] != nullptr,
                            isSoloedOut(mGroupSolo, int(group)));
    mPassMain = o == Output::kMain;
    mOutputNoise = o == Output::kNoise;
}

CModBypassModule::Output CModBypassModule::selection() const noexcept {
    return mPassMain ? Output::kMain : mOutputNoise ? Output::kNoise : Output::kAlternate;
}

void CModBypassModule::process() {
    for (int c = 0; c < outputCount; ++c) {
        if (mPassMain) {
            passInput(c);
            continue;
        }
        CAudioChannelDesc* const* alternate = mAlternate[c];
        if (mOutputNoise || alternate == nullptr || (*alternate)->block == nullptr) {
            double* out = newBlock();
            mNoise.fill(out, blockLength);
            outputs[c].block = out;
            continue;
        }
        double* block = (*alternate)->block;
        CAudioBlockPool::addUse(block);
        outputs[c].block = block;
    }
}

} // namespace tal
