#include "Audio/VST/VST3Entry.h"

#include "Audio/VST/CAudioWrapperVST3.h"
#include "Audio/VST/CPluginFactory.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "Core/CString.h"
#include "Core/CSystem.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cstring>
#include <mutex>

namespace tal {

using namespace Steinberg;

namespace {

std::mutex gFactoryMutex;
CPluginFactory* gCachedFactory = nullptr;   // holds the module's own reference

// An attribute text as 8-bit characters (the low byte of each), copied and cut to the field.
template <std::size_t N, std::size_t M>
void copyText(char8 (&field)[N], CObject& object, const char (&name)[M]) {
    std::memset(field, 0, N);
    const CString text = object.getTextAttr(name).narrowed();
    std::strncpy(field, text.chars8(), N - 1);
}

} // namespace

IPluginFactory* getPluginFactoryVST3() {
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    if (gCachedFactory != nullptr) {
        gCachedFactory->addRef();
        return gCachedFactory;
    }
    CObject* shared = CApplication::sharedObject();
    CObject* project = shared != nullptr ? shared->findObject(CString("project")) : nullptr;
    if (project == nullptr)
        return nullptr;
    TUID cid {};
    if (!CSystem::parseUUID(project->getTextAttr("plugin-uuid"), reinterpret_cast<std::uint8_t*>(cid)))
        return nullptr;

    PFactoryInfo factoryInfo {};
    copyText(factoryInfo.vendor, *project, "app-vendor");
    copyText(factoryInfo.url, *project, "app-vendor-url");
    copyText(factoryInfo.email, *project, "app-vendor-email");
    factoryInfo.flags = PFactoryInfo::kUnicode;

    PClassInfo2 classInfo {};
    std::memcpy(classInfo.cid, cid, sizeof(TUID));
    classInfo.cardinality = PClassInfo::kManyInstances;
    std::strncpy(classInfo.category, kVstAudioEffectClass, sizeof(classInfo.category) - 1);
    copyText(classInfo.name, *project, "app-name");
    classInfo.classFlags = 0;
    copyText(classInfo.subCategories, *project, "plugin-category-vst3");
    copyText(classInfo.version, *project, "app-version");
    std::strncpy(classInfo.sdkVersion, "VST 3.6.5", sizeof(classInfo.sdkVersion) - 1);

    gCachedFactory = new CPluginFactory(factoryInfo);   // the module's reference
    gCachedFactory->registerClass(classInfo, &CAudioWrapperVST3::createInstance, nullptr);
    gCachedFactory->addRef();                          // the host's reference
    return gCachedFactory;
}

void releasePluginFactoryVST3() {
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    if (gCachedFactory != nullptr) {
        gCachedFactory->release();
        gCachedFactory = nullptr;
    }
}

} // namespace tal
