#include "Audio/Processes/CModGainModule.h"

#include <cmath>

namespace tal {

namespace {
constexpr double kUnityTolerance = 2.2204461e-16;
}

bool CModGainModule::differsFromUnity(double factor) noexcept {
    return std::fabs(factor - 1.0) > std::fabs(factor) * kUnityTolerance + kUnityTolerance;
}

void CModGainModule::init() { mNoise.seedFromCounter(); }

void CModGainModule::bindParams() {
    bindKey(kKeyGain, &mGainChanged, &mGain);
    bindKey(kKeyMute, &mMuteChanged, &mMute);
    bindKey(kKeyPhaseInvert, &mPhaseInvertChanged, &mPhaseInvert);
}

void CModGainModule::update() {
    mMuted = hasValues(mMute) && isOn(read(mMute, 0.0));
    const double inv = read(mPhaseInvert, 0.0);
    if (mMuted) {
        mFactor = 0.0;
    } else {
        mFactor = read(mGain, 1.0);
        if (isOn(inv))
            mFactor = -mFactor;
    }
    mNotUnity = differsFromUnity(mFactor);
}

void CModGainModule::process() {
    // One channel per module normally; a module serving a whole terminal treats every channel alike.
    for (int c = 0; c < outputCount; ++c) {
        if (!mNotUnity) {
            passInput(c);
            continue;
        }
        double* __restrict out = newBlock();
        const int n = blockLength;
        if (mMuted) {
            mNoise.fill(out, n);
        } else {
            const double* __restrict in = inputBlock(c);
            const double f = mFactor;
            for (int i = 0; i < n; ++i)
                out[i] = in[i] * f;
        }
        outputs[c].block = out;
    }
}

} // namespace tal
