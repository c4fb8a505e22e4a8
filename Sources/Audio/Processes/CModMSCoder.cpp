#include "Audio/Processes/CModMSCoder.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/Processes/CAudioModule.h"
#include "Audio/Processes/ParamAllocs.h"

namespace tal {

void CModMSCoder::bindDefParam(int key, const CAudioParamStorage*& values, std::uint32_t* changed) {
    if (const CAudioParamAllocDef* a = findParamAlloc(definition(), key))
        bindParam(a->getParamName(), a->useAllGroups(), a->useAllElements(), values, changed);
}

void CModMSCoder::bindParams() {
    bindDefParam(kKeyPairs, mPairsStore, &mPairsChanged);
    bindDefParam(kKeyMode, mModeStore, &mModeChanged);
    bindDefParam(kKeyBypass, mBypassStore, &mBypassChanged);
}

void CModMSCoder::update() {
    if (inputFormatChanged()) {
        const CAudioProcessPort* port = getPort(0);
        setOutputFormat(port->format, port->channelCount, inputSampleRate());
    }
    // A format change marks every binding as changed, so the pairs follow the new channels.
    if (mPairsChanged != 0 || mBypassChanged != 0)
        rebuildPairs();
    if (mModeChanged != 0)
        mDecoder = CAudioModule::hasValues(mModeStore) && CAudioModule::toInteger(readParamValue(mModeStore, 0, 0, 0.0)) != 0;
}

void CModMSCoder::rebuildPairs() {
    const CAudioProcessPort* port = getPort(0);
    const int channels = port->channelCount < kMaxChannels ? port->channelCount : kMaxChannels;
    mPairCount = 0;
    mPassCount = 0;
    bool paired[kMaxChannels] = {};
    const bool bypassed = CAudioModule::hasValues(mBypassStore) &&
                          CAudioModule::isOn(readParamValue(mBypassStore, groupIndex(), elementIndex(), 0.0));
    if (!bypassed && CAudioModule::hasValues(mPairsStore) && mPairsStore->getGroupCount() > 0) {
        CPair candidates[kMaxChannels];
        int count = 0;
        for (int i = 0; i < channels; ++i) {
            const int b = port->format[i].key;
            if (b < 0 || b >= mPairsStore->getElementCount(0))
                continue;
            std::int64_t j = CAudioModule::toInteger(mPairsStore->getValue(0, b, 0));
            if (j == 0)
                continue;
            j -= 1;
            int found = -1;
            for (int p = 0; p < count; ++p)
                if (candidates[p].number == j)
                    found = p;
            if (found < 0) {
                CPair& p = candidates[count++];
                p = {};
                p.number = std::int32_t(j);
                p.first = i;
                p.firstChannel = b;
            } else if (candidates[found].second < 0) {
                candidates[found].second = i;
                candidates[found].secondChannel = b;
                paired[candidates[found].first] = true;
                paired[i] = true;
            }
            // A third channel of a matched pair stays a pass-through channel.
        }
        for (int p = 0; p < count; ++p)
            if (candidates[p].second >= 0)
                mPairs[mPairCount++] = candidates[p];
    }
    for (int i = 0; i < channels; ++i)
        if (!paired[i])
            mPass[mPassCount++] = i;
}

void CModMSCoder::encode(const double* a, const double* b, double* mid, double* side, int n) noexcept {
    for (int i = 0; i < n; ++i) {
        const double s = (b[i] - a[i]) * -0.5;
        mid[i] = b[i] + s;
        side[i] = s;
    }
}

void CModMSCoder::decode(const double* a, const double* b, double* left, double* right, int n) noexcept {
    for (int i = 0; i < n; ++i) {
        const double l = b[i] + a[i];
        right[i] = a[i] - b[i];
        left[i] = l;
    }
}

void CModMSCoder::process() {
    renderInputs();
    const CAudioProcessPort* port = getPort(0);
    const int n = blockLength();
    CAudioChannelDesc outputs[kMaxChannels];
    int count = 0;
    for (int k = 0; k < mPassCount; ++k) {
        const int i = mPass[k];
        if (i >= port->channelCount || port->channelTable[i]->block == nullptr)
            continue;
        double* block = port->channelTable[i]->block;
        CAudioBlockPool::addUse(block);
        outputs[count] = port->format[i];
        outputs[count].block = block;
        ++count;
    }
    for (int p = 0; p < mPairCount; ++p) {
        const CPair& pair = mPairs[p];
        if (pair.first >= port->channelCount || pair.second >= port->channelCount)
            continue;
        const double* a = port->channelTable[pair.first]->block;
        const double* b = port->channelTable[pair.second]->block;
        if (a == nullptr || b == nullptr)
            continue;
        double* first = blockPool()->allocBlock(int(sizeof(double)) * (n > 0 ? n : 1));
        double* second = blockPool()->allocBlock(int(sizeof(double)) * (n > 0 ? n : 1));
        if (mDecoder)
            decode(a, b, first, second, n);
        else
            encode(a, b, first, second, n);
        outputs[count] = port->format[pair.first];
        outputs[count].block = first;
        ++count;
        outputs[count] = port->format[pair.second];
        outputs[count].block = second;
        ++count;
    }
    distributeOutputs(outputs, count, n);
    releaseInputs();
}

} // namespace tal
