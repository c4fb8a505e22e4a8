#include "Audio/Processes/ProcessCreators.h"

#include "Audio/Processes/CAudioProcessMB.h"
#include "Audio/Processes/CAudioProcessStack.h"
#include "Audio/Processes/CModBypass.h"
#include "Audio/Processes/CModFilterIIR.h"
#include "Audio/Processes/CModGain.h"
#include "Audio/Processes/CModMSCoder.h"
#include "Audio/Processes/CModNode.h"
#include "Audio/Processes/CModOutput.h"
#include "Audio/Viz/CModSpectrum.h"

namespace tal {

// Each scheme holds only the common event "release-child-bridged".
const CCreatorTableEntry kProcessCreatorTable[] = {
    {"audio:modBypass", &createObject<CModBypassDef>, &CObject::initScheme},
    {"audio:modFilterIIR", &createObject<CModFilterIIRDef>, &CObject::initScheme},
    {"audio:modGain", &createObject<CModGainDef>, &CObject::initScheme},
    {"audio:modMSCoder", &createObject<CModMSCoderDef>, &CObject::initScheme},
    {"audio:modNode", &createObject<CModNodeDef>, &CObject::initScheme},
    {"audio:modOutput", &createObject<CModOutputDef>, &CObject::initScheme},
    {"audio:modSpectrum", &createObject<CModSpectrumDef>, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal

namespace tal {

namespace {
CAudioProcessBase* makeMultiband() { return new CAudioProcessMB; }
CAudioProcessBase* makeStack() { return new CAudioProcessStack; }
} // namespace

void installProcessFactories() noexcept { CAudioProcessDefBase::setProcessFactories(&makeMultiband, &makeStack); }

} // namespace tal
