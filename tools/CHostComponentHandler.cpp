#include "CHostComponentHandler.h"

namespace delmaro_tool {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::vector<CHostComponentHandler::CCall> CHostComponentHandler::calls() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCalls;
}

void CHostComponentHandler::clearCalls() {
    std::lock_guard<std::mutex> lock(mMutex);
    mCalls.clear();
    mFromAudio.store(0);
}

int CHostComponentHandler::callsNotFrom(std::thread::id thread) const {
    std::lock_guard<std::mutex> lock(mMutex);
    int n = 0;
    for (const CCall& call : mCalls)
        n += call.thread != thread ? 1 : 0;
    return n;
}

void CHostComponentHandler::setAudioThread(std::thread::id id) noexcept { mAudioThread.store(id); }

void CHostComponentHandler::record(Kind kind, int32 id, double value) {
    if (std::this_thread::get_id() == mAudioThread.load())
        mFromAudio.fetch_add(1);
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCalls.size() < mCalls.capacity())   // a full record drops calls rather than allocate
        mCalls.push_back({kind, id, value, std::this_thread::get_id()});
}

tresult PLUGIN_API CHostComponentHandler::beginEdit(ParamID id) {
    record(Kind::Begin, int32(id), 0.0);
    return kResultOk;
}

tresult PLUGIN_API CHostComponentHandler::performEdit(ParamID id, ParamValue value) {
    record(Kind::Perform, int32(id), value);
    return kResultOk;
}

tresult PLUGIN_API CHostComponentHandler::endEdit(ParamID id) {
    record(Kind::End, int32(id), 0.0);
    return kResultOk;
}

tresult PLUGIN_API CHostComponentHandler::restartComponent(int32 flags) {
    record(Kind::Restart, flags, 0.0);
    return kResultOk;
}

tresult PLUGIN_API CHostComponentHandler::notifyUnitSelection(UnitID unitId) {
    record(Kind::UnitSelection, unitId, 0.0);
    return kResultOk;
}

tresult PLUGIN_API CHostComponentHandler::notifyProgramListChange(ProgramListID listId, int32 programIndex) {
    record(Kind::ProgramListChange, listId, double(programIndex));
    return kResultOk;
}

tresult PLUGIN_API CHostComponentHandler::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, IComponentHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<IComponentHandler*>(this);
        return kResultOk;
    }
    if (FUnknownPrivate::iidEqual(iid, IUnitHandler::iid)) {
        *obj = static_cast<IUnitHandler*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

} // namespace delmaro_tool
