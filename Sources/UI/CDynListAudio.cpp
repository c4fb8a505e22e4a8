#include "UI/CDynListAudio.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "UI/CUIParam.h"

namespace tal {

CDynListAudio::~CDynListAudio() = default;

CError* CDynListAudio::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    for (const auto& [id, s] : mSlots)
        if (s.mustBeAttached && s.param == nullptr)
            return newError("@talstr_CDynListAudio_initChilds_NotAttached Required UI parameter '%1' is not attached.",
                            getFullName(), s.name);
    return nullptr;
}

const CDynListAudio::CSlot* CDynListAudio::findSlot(std::int32_t id) const {
    auto found = mSlots.find(id);
    return found != mSlots.end() ? &found->second : nullptr;
}

bool CDynListAudio::computeAllRequiredActive() const {
    for (const auto& [id, s] : mSlots)
        if (s.isRequiredForActivity && !s.isActive)
            return false;
    return true;
}

void CDynListAudio::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    for (auto& [id, s] : mSlots)
        if (s.name == name) {
            s.param = param;
            return;
        }
}

void CDynListAudio::onUIParamActivated(CUIParam* param) { setParamActive(param, true); }

void CDynListAudio::onUIParamDeactivated(CUIParam* param) { setParamActive(param, false); }

void CDynListAudio::setParamActive(CUIParam* param, bool isActive) {
    const bool before = computeAllRequiredActive();
    for (auto& [id, s] : mSlots)
        if (s.param == param)
            s.isActive = isActive;
    mAllRequiredActive = computeAllRequiredActive();
    if (mAllRequiredActive != before) {
        CError* error = notifyListUpdated();
        reportError(&error);
    }
}

CError* CDynListAudio::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    return traceError(notifyListUpdated(), getFullName());
}

} // namespace tal
