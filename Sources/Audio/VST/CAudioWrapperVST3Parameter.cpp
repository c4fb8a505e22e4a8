#include "Audio/VST/CAudioWrapperVST3Parameter.h"

#include "Audio/CAudioExtParam.h"
#include "Audio/VST/VSTText.h"

#include <algorithm>

namespace tal {

using namespace Steinberg;
using namespace Steinberg::Vst;

CAudioWrapperVST3Parameter::CAudioWrapperVST3Parameter(CAudioExtParam& extParam, ParamID id) : mExtParam(extParam) {
    info.id = id;
    textToString128(extParam.getExtName(), info.title);
    info.shortTitle[0] = 0;
    textToString128(extParam.getUnitLabel(), info.units);
    const bool bypass = extParam.getExtName() == CString("Bypass");
    info.stepCount = bypass ? 1 : 0;
    info.defaultNormalizedValue = extParam.getDefaultNormalized();
    info.unitId = kRootUnitId;
    info.flags = bypass ? (ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass) : ParameterInfo::kCanAutomate;
    mValue.store(extParam.getNormalized());
}

bool CAudioWrapperVST3Parameter::setNormalized(ParamValue normalized) {
    // NaN counts as 0, like every value outside [0, 1] is clamped.
    normalized = normalized > 0.0 ? std::min(normalized, 1.0) : 0.0;
    if (mValue.exchange(normalized) == normalized)
        return false;
    // Straight to the exported parameter: the object's change broadcast (the SDK's update handler,
    // which takes a lock and counts references) must not run on the audio thread, which sets values
    // through the process call's parameter events.
    mExtParam.setNormalized(normalized);
    return true;
}

void CAudioWrapperVST3Parameter::changed(int32 message) {
    mExtParam.setNormalized(mValue.load());
    Parameter::changed(message);
}

void CAudioWrapperVST3Parameter::toString(ParamValue normalized, String128 text) const {
    textToString128(mExtParam.normalizedToText(normalized), text);
}

bool CAudioWrapperVST3Parameter::fromString(const TChar* text, ParamValue& normalized) const {
    normalized = mExtParam.textToNormalized(textFromUTF16(text));
    return true;
}

} // namespace tal
