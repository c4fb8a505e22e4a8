#include "UI/CPluginControl.h"

#include "Audio/CAudioPreset.h"
#include "Core/CAppData.h"
#include "Core/CAttrMap.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/RecordTags.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CPluginControl::create() { return new CPluginControl(); }

void CPluginControl::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CPluginControl, &CPluginControl::onAB>(scheme, "on-ab");
    addPlainEventOf<CPluginControl, &CPluginControl::onCopy>(scheme, "on-copy");
    addPlainEventOf<CPluginControl, &CPluginControl::onReset>(scheme, "on-reset");
    addPlainEventOf<CPluginControl, &CPluginControl::onDefaultPresetUpdate>(scheme, "default-preset-update");
}

CPluginControl::CPluginControl() : mDefaultPreset(std::make_unique<CAudioPreset>()) {}

CPluginControl::~CPluginControl() {
    mListener.detach();
    mInterfaceClient.reset();
}

const CString& CPluginControl::defaultPresetName() {
    static const CString name("default-preset");
    return name;
}

// --- life cycle ---

CError* CPluginControl::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mInterfaceClient.init(this, CString(), CString(), this, CString("interface-client"));
    mInterfaceClient.isRequired = true;
    mDefaultPreset = std::make_unique<CAudioPreset>();
    mHasDefaultPreset = false;
    loadDefaultPreset();
    const CString& registry = getTextAttr("param-registry");
    if (!registry.isEmpty())
        if (CAudioInterfaceClient* client = mInterfaceClient.resolve())
            client->listenRegistry(registry, this, mRegistryHandle);
    return nullptr;
}

CError* CPluginControl::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    mListener.owner = this;
    mListener.setNotifier(&CAppData::localScope(), reinterpret_cast<std::intptr_t>(&defaultPresetName()));
    return nullptr;
}

void CPluginControl::releaseLinks() {
    mListener.detach();
    if (CAudioInterfaceClient* client = listeningClient())
        client->unlistenRegistry(mRegistryHandle);
    CObject::releaseLinks();
}

void CPluginControl::loadDefaultPreset() {
    CByteBuffer data;
    CAppData::localScope().read(defaultPresetName(), data, kTagPreset, false);
    if (data.size() == 0)
        return;
    auto preset = std::make_unique<CAudioPreset>();
    CMemoryReader in(data.data(), std::int32_t(data.size()));
    if (CError* error = preset->load(in)) {
        delete error;
        return;
    }
    mDefaultPreset = std::move(preset);
    mHasDefaultPreset = true;
}

// --- commands ---

CAudioInterfaceClient* CPluginControl::listeningClient() {
    return mRegistryHandle != -1 ? mInterfaceClient.resolve() : nullptr;
}

void CPluginControl::sendDefaultPreset() {
    if (!mHasDefaultPreset)
        return;
    if (CAudioInterfaceClient* client = listeningClient())
        client->setDefaultPreset(mRegistryHandle, *mDefaultPreset);
}

void CPluginControl::onRegistryListen() { sendDefaultPreset(); }

CError* CPluginControl::onAB() {
    if (CAudioInterfaceClient* client = listeningClient())
        client->exchangeShadowPreset(mRegistryHandle);
    return nullptr;
}

CError* CPluginControl::onCopy() {
    if (CAudioInterfaceClient* client = listeningClient())
        client->updateShadowPreset(mRegistryHandle);
    return nullptr;
}

CError* CPluginControl::onReset() {
    if (CAudioInterfaceClient* client = listeningClient())
        client->activateDefaultPreset(mRegistryHandle);
    return nullptr;
}

CError* CPluginControl::onDefaultPresetUpdate() {
    loadDefaultPreset();
    sendDefaultPreset();
    return nullptr;
}

// --- the stored default preset's listener ---

CPluginControl::CDefPresetListener::~CDefPresetListener() { detach(); }

void CPluginControl::CDefPresetListener::update(const CUpdateRecord*) {
    if (owner == nullptr)
        return;
    CAttrMap args;
    owner->postBridgedEvent(CString(), CString("default-preset-update"), args);
}

} // namespace tal
