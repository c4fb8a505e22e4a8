#pragma once
#include "Core/CAppDataListener.h"
#include "Core/CObject.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "Other/Interface/CParamInterfaceRegistryListener.h"

#include <cstdint>
#include <memory>

namespace tal {

class CAudioInterfaceClient;
class CAudioPreset;

// "ui:plugin-control": the editor's plug-in-wide commands on the audio side's parameter registry
// ("param-registry"): the A/B switch ("on-ab"), copying into the other A/B slot ("on-copy"),
// resetting every parameter ("on-reset"), and keeping the audio side's defaults equal to the default
// preset stored in the local application data as "default-preset". A write of that item, by any
// editor of the process and on any thread, reaches every control through its event bridge, which
// then reloads and sends it. Owns its default preset; editor thread only, except the listener's
// notification, which only posts an event.
class CPluginControl : public CObject, public CParamInterfaceRegistryListener {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CPluginControl();
    ~CPluginControl() override;

    // --- life cycle ---
    // Loads the stored default preset and listens to the registry.
    [[nodiscard]] CError* init() override;
    // Starts watching the stored default preset.
    [[nodiscard]] CError* initChilds() override;
    void releaseLinks() override;

    // --- commands (each a no-op while not listening) ---
    virtual void sendDefaultPreset();
    [[nodiscard]] virtual CError* onAB();
    [[nodiscard]] virtual CError* onCopy();
    [[nodiscard]] virtual CError* onReset();
    // Reloads the stored default preset and sends it.
    [[nodiscard]] virtual CError* onDefaultPresetUpdate();

    // --- CParamInterfaceRegistryListener ---
    void onRegistryListen() override;

    std::int32_t registryHandle() const noexcept { return mRegistryHandle; }
    bool hasDefaultPreset() const noexcept { return mHasDefaultPreset; }

    // The name of the stored default preset in the local application data.
    static const CString& defaultPresetName();

private:
    // Hears writes of the stored default preset on the writing thread and posts
    // "default-preset-update" to its owner's thread.
    class CDefPresetListener : public CAppDataListener<CPluginControl> {
    public:
        ~CDefPresetListener() override;
        void update(const CUpdateRecord* record) override;
    };

    void loadDefaultPreset();
    CAudioInterfaceClient* listeningClient();

    std::int32_t mRegistryHandle = -1;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
    CDefPresetListener mListener;
    std::unique_ptr<CAudioPreset> mDefaultPreset;
    bool mHasDefaultPreset = false;
};

} // namespace tal
