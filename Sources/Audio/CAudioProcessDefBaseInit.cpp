#include "Audio/CAudioProcessDefBaseInit.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamFilterDef.h"
#include "Audio/CAudioParamRemapDef.h"
#include "Audio/CAudioParamSharedStorage.h"
#include "Core/CError.h"

namespace tal {

CAudioProcessDefBaseInit::~CAudioProcessDefBaseInit() {
    for (int i = 0; i < mParams.count(); ++i)
        delete mParams[i].relativeName;
    for (int i = 0; i < mShared.count(); ++i)
        delete mShared[i].relativeName;
    for (int i = 0; i < mFilters.count(); ++i)
        delete mFilters[i].groupPrefix;
}

CError* CAudioProcessDefBaseInit::initChilds() {
    if (CError* err = CObject::initChilds())
        return traceError(err, getFullName());
    for (int i = 0; i < childCount(); ++i)
        collectChild(child(i));
    return nullptr;
}

bool CAudioProcessDefBaseInit::collectChild(CObject* object) {
    if (auto* allocation = dynamic_cast<CAudioParamAllocDef*>(object)) {
        mAllocations.findOrAdd(allocation->getIndex())->value = allocation;
        return true;
    }
    if (auto* remap = dynamic_cast<CAudioParamRemapDef*>(object)) {
        mRemaps.add(remap);
        return true;
    }
    if (collectGrouped(object, CString::emptyString))
        return true;
    if (!object->tag().equals("core:object"))
        return false;
    // A parameter group. Allocations, remappings and groups inside it have no effect.
    const CString group = CString(".").append(object->getShortName());
    for (int i = 0; i < object->childCount(); ++i)
        collectGrouped(object->child(i), group);
    return true;
}

bool CAudioProcessDefBaseInit::collectGrouped(CObject* object, const CString& group) {
    const CString dot(".");
    if (auto* shared = dynamic_cast<CAudioParamSharedStorage*>(object)) {
        mShared.add(CSharedEntry{shared, new CString(CString(group).append(dot).append(shared->getParamName()))});
        return true;
    }
    if (auto* filter = dynamic_cast<CAudioParamFilterDef*>(object)) {
        mFilters.add(CFilterEntry{filter, new CString(group)});
        return true;
    }
    if (auto* param = dynamic_cast<CAudioParamDef*>(object)) {
        mParams.add(CParamEntry{param, new CString(CString(group).append(dot).append(param->getShortName()))});
        return true;
    }
    return false;
}

const CAudioParamAllocDef* CAudioProcessDefBaseInit::findAllocation(std::int32_t index) const noexcept {
    const auto* node = mAllocations.find(index);
    return node != nullptr ? node->value : nullptr;
}

void CAudioProcessDefBaseInit::registerParams(const CString& prefix, CAudioParamCollector& collector) const {
    for (int i = 0; i < mParams.count(); ++i) {
        const CAudioParamInfo& info = mParams[i].definition->getInfo();
        if (!info.isGlobal())   // set for persistent and storable definitions too
            continue;
        const CString name = CString(prefix).append(*mParams[i].relativeName);
        if (collector.isParamRemapped(name))
            continue;   // another parameter serves the name
        CAudioParam* param = collector.acquireParam(name);
        param->setInfo(&info, nullptr, CAudioParamContext{});
    }
    // Shared storages after the parameters, so that each mirror finds its parameter's format and
    // default: "local", "group" and "global" name the process-wide application-data scopes.
    for (int i = 0; i < mShared.count(); ++i) {
        const CAudioParamSharedStorage& storage = *mShared[i].storage;
        collector.addSharedParam(CString(prefix).append(*mShared[i].relativeName), storage.getAppData(),
                                 storage.getDataName());
    }
}

CString CAudioProcessDefBaseInit::resolveParamName(const CString& name, const CString& base) {
    if (name.length() > 0 && name.charAt(0) == '/')
        return CString(name, 1, -1);
    CString result(base);
    int pos = 0;
    while (pos < name.length() && name.charAt(pos) == '^') {
        const int dot = result.findLast(CString("."));
        result = dot < 0 ? CString() : CString(result, 0, dot);
        ++pos;
    }
    if (pos == name.length())
        return result;
    if (name.charAt(pos) != '.')
        result.appendChar('.');
    return result.appendSub(name, pos, name.length() - pos);
}

} // namespace tal
