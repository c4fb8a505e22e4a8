#include "Audio/VST/CAudioRegistryProgramSource.h"

#include "Audio/CAudioParamRegistry.h"
#include "Core/CString.h"

namespace tal {

std::int32_t CAudioRegistryProgramSource::getProgramCount() { return mRegistry.getProgramCount(); }

std::int32_t CAudioRegistryProgramSource::getCurrentProgram() { return mRegistry.getCurrentProgram(); }

CString CAudioRegistryProgramSource::getProgramName(std::int32_t index) {
    if (index < 0 || index >= mRegistry.getProgramCount())
        return CString();
    return mRegistry.getProgramName(index);
}

void CAudioRegistryProgramSource::setCurrentProgram(std::int32_t index) {
    if (index >= 0 && index < mRegistry.getProgramCount())
        mRegistry.setCurrentProgram(index, mSender);
}

} // namespace tal
