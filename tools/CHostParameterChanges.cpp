#include "CHostParameterChanges.h"

namespace delmaro_tool {

using namespace Steinberg;
using namespace Steinberg::Vst;

CHostParameterChanges::CHostParameterChanges(int maxQueues, int maxPointsPerQueue) {
    mQueues.reserve(maxQueues);
    for (int i = 0; i < maxQueues; ++i)
        mQueues.emplace_back(maxPointsPerQueue);
}

bool CHostParameterChanges::addPoint(ParamID id, int32 offset, double value) {
    int32 index = 0;
    IParamValueQueue* queue = addParameterData(id, index);
    int32 pointIndex = 0;
    return queue != nullptr && queue->addPoint(offset, value, pointIndex) == kResultOk;
}

void CHostParameterChanges::clear() noexcept { mUsed = 0; }

int32 PLUGIN_API CHostParameterChanges::getParameterCount() { return mUsed; }

IParamValueQueue* PLUGIN_API CHostParameterChanges::getParameterData(int32 index) {
    return index >= 0 && index < mUsed ? &mQueues[index] : nullptr;
}

IParamValueQueue* PLUGIN_API CHostParameterChanges::addParameterData(const ParamID& id, int32& index) {
    for (int i = 0; i < mUsed; ++i) {
        if (mQueues[i].getParameterId() == id) {
            index = i;
            return &mQueues[i];
        }
    }
    if (mUsed == int(mQueues.size()))
        return nullptr;
    mQueues[mUsed].reset(id);
    index = mUsed;
    return &mQueues[mUsed++];
}

tresult PLUGIN_API CHostParameterChanges::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, IParameterChanges::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<IParameterChanges*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API CHostParameterChanges::CQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
    if (index < 0 || index >= int32(mPoints.size()))
        return kResultFalse;
    sampleOffset = mPoints[index].offset;
    value = mPoints[index].value;
    return kResultOk;
}

tresult PLUGIN_API CHostParameterChanges::CQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
    if (mPoints.size() == mPoints.capacity())
        return kResultFalse;   // never grow: the host's block must not allocate
    index = int32(mPoints.size());
    mPoints.push_back({sampleOffset, value});
    return kResultOk;
}

tresult PLUGIN_API CHostParameterChanges::CQueue::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, IParamValueQueue::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<IParamValueQueue*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

} // namespace delmaro_tool
