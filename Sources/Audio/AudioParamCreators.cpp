#include "Audio/AudioParamCreators.h"

#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamFilterBypassGroupSoloDef.h"
#include "Audio/CAudioParamFilterBypassMSDef.h"
#include "Audio/CAudioParamRemapDef.h"
#include "Audio/CAudioParamSharedStorage.h"
#include "Audio/Converters/CAudioParamConverterBW.h"
#include "Audio/Converters/CAudioParamConverterEnum.h"
#include "Audio/Converters/CAudioParamConverterFreq.h"
#include "Audio/Converters/CAudioParamConverterGain.h"
#include "Audio/Converters/CAudioParamConverterPercent.h"
#include "Audio/Converters/CAudioParamConverterReal.h"
#include "Audio/Converters/CAudioParamConverterText.h"
#include "Audio/Converters/CAudioParamConverterTime.h"

namespace tal {

namespace {

template <class T>
CObject* create() {
    return new T();
}

const CCreatorTableEntry kTable[] = {
    {"audio:cvt-bw", &create<CAudioParamConverterBW>, &CObject::initScheme},
    {"audio:cvt-enum", &create<CAudioParamConverterEnum>, &CAudioParamConverterEnum::initScheme},
    {"audio:cvt-freq", &create<CAudioParamConverterFreq>, &CObject::initScheme},
    {"audio:cvt-gain", &create<CAudioParamConverterGain>, &CObject::initScheme},
    {"audio:cvt-percent", &create<CAudioParamConverterPercent>, &CObject::initScheme},
    {"audio:cvt-real", &create<CAudioParamConverterReal>, &CObject::initScheme},
    {"audio:cvt-text", &create<CAudioParamConverterText>, &CObject::initScheme},
    {"audio:cvt-time", &create<CAudioParamConverterTime>, &CObject::initScheme},
    {"audio:param", &create<CAudioParamDef>, &CObject::initScheme},
    {"audio:param-alloc", &create<CAudioParamAllocDef>, &CObject::initScheme},
    {"audio:param-collector", &create<CAudioParamCollector>, &CObject::initScheme},
    {"audio:param-filter-bypass-group-solo", &create<CAudioParamFilterBypassGroupSoloDef>, &CObject::initScheme},
    {"audio:param-filter-bypass-ms", &create<CAudioParamFilterBypassMSDef>, &CObject::initScheme},
    {"audio:param-remap", &create<CAudioParamRemapDef>, &CObject::initScheme},
    {"audio:param-shared-storage", &create<CAudioParamSharedStorage>, &CObject::initScheme},
    {"", nullptr, nullptr},
};

} // namespace

const CCreatorTableEntry* audioParamCreatorTable() {
    return kTable;
}

} // namespace tal
