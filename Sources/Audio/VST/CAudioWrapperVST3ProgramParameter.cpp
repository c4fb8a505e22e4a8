#include "Audio/VST/CAudioWrapperVST3ProgramParameter.h"

#include "Audio/CAudioProgramSource.h"
#include "Core/CString.h"

#include "pluginterfaces/base/ustring.h"

#include <algorithm>
#include <cmath>

namespace tal {

using namespace Steinberg;
using namespace Steinberg::Vst;

CAudioWrapperVST3ProgramParameter::CAudioWrapperVST3ProgramParameter(CAudioProgramSource& source, ParamID id)
    : mSource(source), mProgramCount(std::max<std::int32_t>(source.getProgramCount(), 1)) {
    info.id = id;
    UString(info.title, 128).fromAscii("Program");
    info.shortTitle[0] = 0;
    info.units[0] = 0;
    // One program: not stepped, and every value is program 0.
    info.stepCount = mProgramCount - 1;
    info.defaultNormalizedValue = 0.0;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kIsProgramChange | ParameterInfo::kIsList;
    valueNormalized = toNormalized(double(source.getCurrentProgram()));
    mValue.store(valueNormalized);
}

ParamValue CAudioWrapperVST3ProgramParameter::toPlain(ParamValue normalized) const {
    return mProgramCount > 1 ? normalized * double(mProgramCount - 1) : 0.0;
}

ParamValue CAudioWrapperVST3ProgramParameter::toNormalized(ParamValue plain) const {
    return mProgramCount > 1 ? plain / double(mProgramCount - 1) : 0.0;
}

std::int32_t CAudioWrapperVST3ProgramParameter::programOf(ParamValue normalized) const {
    const double plain = toPlain(normalized);
    if (!(std::fabs(plain) < 2147483647.0))
        return -1;
    return std::int32_t(plain + std::copysign(0.49999999999999994, plain));
}

void CAudioWrapperVST3ProgramParameter::toString(ParamValue normalized, String128 text) const {
    const CString stored = mSource.getProgramName(programOf(normalized));
    CString registryId, visible;
    stored.splitAtColon(registryId, visible);
    const CString narrow = visible.narrowed();
    UString(text, 128).fromAscii(narrow.chars8());
}

bool CAudioWrapperVST3ProgramParameter::fromString(const TChar* /*text*/, ParamValue& /*normalized*/) const {
    return false;
}

bool CAudioWrapperVST3ProgramParameter::setNormalized(ParamValue normalized) {
    const ParamValue v = std::clamp(normalized, 0.0, 1.0);
    if (v == mValue.load())
        return false;
    mValue.store(v);
    return Parameter::setNormalized(v);
}

void CAudioWrapperVST3ProgramParameter::changed(int32 message) {
    mSource.setCurrentProgram(programOf(mValue.load()));
    Parameter::changed(message);
}

} // namespace tal
