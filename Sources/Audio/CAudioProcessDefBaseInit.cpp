#include "Audio/CAudioProcessDefBaseInit.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Core/CError.h"

namespace tal {

CAudioProcessDefBaseInit::~CAudioProcessDefBaseInit() {
    for (int i = 0; i < mParams.count(); ++i)
        delete mParams[i].relativeName;
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
    if (auto* param = dynamic_cast<CAudioParamDef*>(object)) {
        addParam(param, CString(".").append(param->getShortName()));
        return true;
    }
    if (!object->tag().equals("core:object"))
        return false;
    // A parameter group: its parameters get the group's short name in their relative names.
    // Anything else inside a group, groups inside groups included, has no effect.
    const CString groupName = CString(".").append(object->getShortName()).append(".");
    for (int i = 0; i < object->childCount(); ++i)
        if (auto* param = dynamic_cast<CAudioParamDef*>(object->child(i)))
            addParam(param, CString(groupName).append(param->getShortName()));
    return true;
}

const CAudioParamAllocDef* CAudioProcessDefBaseInit::findAllocation(std::int32_t index) const noexcept {
    const auto* node = mAllocations.find(index);
    return node != nullptr ? node->value : nullptr;
}

void CAudioProcessDefBaseInit::addParam(CAudioParamDef* definition, const CString& relativeName) {
    mParams.add(CParamEntry{definition, new CString(relativeName)});
}

void CAudioProcessDefBaseInit::registerParams(const CString& prefix, CAudioParamCollector& collector) const {
    for (int i = 0; i < mParams.count(); ++i) {
        const CAudioParamInfo& info = mParams[i].definition->getInfo();
        if (!info.isGlobal())   // set for persistent and storable definitions too
            continue;
        CAudioParam* param = collector.acquireParam(CString(prefix).append(*mParams[i].relativeName));
        param->setInfo(&info, nullptr, CAudioParamContext{});
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
