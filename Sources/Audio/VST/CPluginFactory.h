#pragma once
#include "pluginterfaces/base/ipluginbase.h"

#include <atomic>

namespace tal {

// The class factory the module hands to hosts: the maker's identity and exactly one class with its
// create function. The SDK copy the build uses has no factory class, so this is the project's own.
// Reference counted; the module keeps one reference of its own for as long as it is loaded, so a
// host that releases every reference and asks again gets a live factory.
// Threads: any (the info is fixed at construction; the count is atomic).
class CPluginFactory : public Steinberg::IPluginFactory3 {
public:
    // Makes an instance of the class; context is the registered context. Returns an FUnknown with
    // one reference, or null.
    using CreateFunction = Steinberg::FUnknown* (*)(void* context);

    explicit CPluginFactory(const Steinberg::PFactoryInfo& info);
    CPluginFactory(const CPluginFactory&) = delete;
    CPluginFactory& operator=(const CPluginFactory&) = delete;

    // --- set-up, before the factory is handed out ---
    // Registers the one class; a second registration replaces the first.
    void registerClass(const Steinberg::PClassInfo2& info, CreateFunction create, void* context);

    // --- IPluginFactory ---
    Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override;
    Steinberg::int32 PLUGIN_API countClasses() override;
    Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index, Steinberg::PClassInfo* info) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                                 void** obj) override;
    // --- IPluginFactory2 ---
    Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index, Steinberg::PClassInfo2* info) override;
    // --- IPluginFactory3 ---
    Steinberg::tresult PLUGIN_API getClassInfoUnicode(Steinberg::int32 index, Steinberg::PClassInfoW* info) override;
    Steinberg::tresult PLUGIN_API setHostContext(Steinberg::FUnknown* context) override;

    // --- FUnknown ---
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

protected:
    virtual ~CPluginFactory() = default;

private:
    std::atomic<Steinberg::uint32> mRefCount{1};
    Steinberg::PFactoryInfo mFactoryInfo {};
    Steinberg::PClassInfo2 mClassInfo {};
    CreateFunction mCreate = nullptr;
    void* mContext = nullptr;
};

} // namespace tal
