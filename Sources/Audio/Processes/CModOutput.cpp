#include "Audio/Processes/CModOutput.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioGraphContext.h"

namespace tal {

void CModOutput::update() {
    if (inputFormatChanged() && context() != nullptr && context()->env != nullptr)
        context()->env->latency = inputLatency();
}

} // namespace tal
