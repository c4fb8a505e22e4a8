// The plug-in bundle as a host reaches it: dlopen, ModuleEntry, GetPluginFactory.
#include "CHostModule.h"
#include "CHostPlugin.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

using namespace delmaro_tool;
using namespace Steinberg;

// The class identifier the product chose for ever, in text order.
const std::uint8_t kClassId[16] = {0x19, 0xF1, 0x83, 0x0A, 0x81, 0x6A, 0x4E, 0xC6,
                                   0xA0, 0x76, 0x7A, 0xE0, 0x78, 0x50, 0x24, 0xB8};

TEST(VST3Bundle, BundlePathLeadsToTheSharedObject) {
    const std::string so = TAL_PLUGIN_MODULE;
    const std::string bundle = so.substr(0, so.find("/Contents/"));
    EXPECT_EQ(CHostModule::libraryPathOf(bundle), so);
    EXPECT_EQ(CHostModule::libraryPathOf(bundle + "/"), so);
    EXPECT_EQ(CHostModule::libraryPathOf(so), so);
}

TEST(VST3Bundle, FactoryDescribesTheOneClassFromTheProjectObject) {
    CHostModule module;
    ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    IPluginFactory* factory = module.factory();

    PFactoryInfo fi {};
    ASSERT_EQ(factory->getFactoryInfo(&fi), kResultOk);
    EXPECT_STREQ(fi.vendor, "Talmero");
    EXPECT_STREQ(fi.url, "https://www.talmero.example/");
    EXPECT_STREQ(fi.email, "support@talmero.example");
    EXPECT_EQ(fi.flags, PFactoryInfo::kUnicode);

    ASSERT_EQ(factory->countClasses(), 1);
    FUnknownPtr<IPluginFactory2> factory2(factory);
    ASSERT_TRUE(factory2);
    PClassInfo2 ci {};
    ASSERT_EQ(factory2->getClassInfo2(0, &ci), kResultOk);
    EXPECT_EQ(std::memcmp(ci.cid, kClassId, 16), 0);
    EXPECT_EQ(ci.cardinality, PClassInfo::kManyInstances);
    EXPECT_STREQ(ci.category, "Audio Module Class");
    EXPECT_STREQ(ci.name, "Delmaro");
    EXPECT_EQ(ci.classFlags, 0u);
    EXPECT_STREQ(ci.subCategories, "Fx|EQ");
    EXPECT_STREQ(ci.vendor, "");   // the factory's vendor applies
    EXPECT_STREQ(ci.version, "1.9");
    EXPECT_STREQ(ci.sdkVersion, "VST 3.6.5");
    PClassInfo plain {};
    EXPECT_NE(factory->getClassInfo(1, &plain), kResultOk);

    FUnknownPtr<IPluginFactory3> factory3(factory);
    ASSERT_TRUE(factory3);
    PClassInfoW wide {};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(wide.name[0], u'D');
    EXPECT_EQ(std::memcmp(wide.cid, kClassId, 16), 0);
}

TEST(VST3Bundle, FactoryIsCachedAndOutlivesTheHostsReferences) {
    CHostModule module;
    ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    void* handle = dlopen(module.libraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory"));
    IPluginFactory* again = getFactory();
    EXPECT_EQ(again, module.factory());   // the same factory, one more reference
    again->release();
    module.factory()->release();          // every reference the host held is gone...
    IPluginFactory* later = getFactory(); // ...and a later call still gets a live factory
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(later->countClasses(), 1);
    // `later` is the host's reference now: the module's close releases it.
    dlclose(handle);
}

TEST(VST3Bundle, CreateInstanceChecksTheClassAndInterface) {
    CHostModule module;
    ASSERT_EQ(module.open(TAL_PLUGIN_MODULE), "");
    IPluginFactory* factory = module.factory();
    TUID other {};
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->createInstance(other, Vst::IComponent::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    TUID cid;
    std::memcpy(cid, kClassId, 16);
    ASSERT_EQ(factory->createInstance(cid, Vst::IComponent::iid, &obj), kResultOk);
    auto* component = static_cast<Vst::IComponent*>(obj);
    void* processor = nullptr;
    EXPECT_EQ(component->queryInterface(Vst::IAudioProcessor::iid, &processor), kResultOk);
    static_cast<Vst::IAudioProcessor*>(processor)->release();
    void* unit = nullptr;
    EXPECT_EQ(component->queryInterface(Vst::IUnitInfo::iid, &unit), kResultOk);
    static_cast<FUnknown*>(unit)->release();
    EXPECT_EQ(component->release(), 0u);
}

} // namespace
