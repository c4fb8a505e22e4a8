#include "Audio/VST/CPluginFactory.h"

#include "pluginterfaces/base/ustring.h"

#include <cstring>

namespace tal {

using namespace Steinberg;

CPluginFactory::CPluginFactory(const PFactoryInfo& info) : mFactoryInfo(info) {}

void CPluginFactory::registerClass(const PClassInfo2& info, CreateFunction create, void* context) {
    mClassInfo = info;
    mCreate = create;
    mContext = context;
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
    if (info == nullptr)
        return kInvalidArgument;
    *info = mFactoryInfo;
    return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() { return mCreate != nullptr ? 1 : 0; }

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
    if (info == nullptr || index != 0 || mCreate == nullptr)
        return kInvalidArgument;
    std::memcpy(info->cid, mClassInfo.cid, sizeof(TUID));
    info->cardinality = mClassInfo.cardinality;
    std::memcpy(info->category, mClassInfo.category, sizeof(info->category));
    std::memcpy(info->name, mClassInfo.name, sizeof(info->name));
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
    if (info == nullptr || index != 0 || mCreate == nullptr)
        return kInvalidArgument;
    *info = mClassInfo;
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
    if (info == nullptr || index != 0 || mCreate == nullptr)
        return kInvalidArgument;
    info->fromAscii(mClassInfo);
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString iid, void** obj) {
    if (obj == nullptr)
        return kInvalidArgument;
    *obj = nullptr;
    if (cid == nullptr || iid == nullptr || mCreate == nullptr ||
        !FUnknownPrivate::iidEqual(cid, mClassInfo.cid))
        return kNoInterface;
    FUnknown* instance = mCreate(mContext);
    if (instance == nullptr)
        return kOutOfMemory;
    const tresult result = instance->queryInterface(iid, obj);
    instance->release();   // the caller keeps the reference queryInterface added
    if (result != kResultOk)
        *obj = nullptr;
    return result == kResultOk ? kResultOk : kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* /*context*/) { return kNotImplemented; }

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        addRef();
        *obj = static_cast<IPluginFactory3*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API CPluginFactory::addRef() { return mRefCount.fetch_add(1) + 1; }

uint32 PLUGIN_API CPluginFactory::release() {
    const uint32 left = mRefCount.fetch_sub(1) - 1;
    if (left == 0)
        delete this;
    return left;
}

} // namespace tal
