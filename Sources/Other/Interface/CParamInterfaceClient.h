#pragma once
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Other/Interface/CParamInterfaceEndpoint.h"

#include <cstdint>

namespace tal {

class CObjectScheme;
class CParamInterfaceClientConnector;
class CParamInterfaceMessageWriter;
class CParamInterfaceParamListener;
class CParamInterfaceRegistryListener;
class CAudioPreset;
struct CAudioParamChange;

// The editor's end of the UI-audio protocol. Editor objects listen to audio parameters through
// it, send changes and resets, open and submit undo records and move through the undo history;
// the replies that the client connector fetches run here as handlers and are handed on to the
// listeners that asked for them.
// Threads: the editor's thread only. Requests take no lock of this object and have run on the
// audio side when they return; their replies arrive on a later tick of the connector's timer.
// Listen handles and undo-data ids are (client id << 16) + counter + 1, one counter per kind.
class CParamInterfaceClient : public CObject, public CParamInterfaceEndpoint {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamInterfaceClient() override;

    // --- life cycle ---
    // Resolves "client-connector" (required), takes the client id and asks for the undo history.
    [[nodiscard]] CError* init() override;
    // Tells the audio side that every listening ends (the entries stay), then leaves the connector.
    void releaseLinks() override;

    // --- parameters ---
    // A new handle for the parameter; the listener (not owned) receives its replies.
    std::int32_t listenParam(const CString& name, CParamInterfaceParamListener* listener);
    // Sends "unlisten-param" for a handle that has an entry, and removes the entry.
    void unlistenParam(std::int32_t handle);
    // undoId: an open undo record, or any value that names none.
    void changeParam(std::int32_t handle, const CAudioParamChange& change, std::int32_t undoId);
    // group -1: every group; element -1: the whole group.
    void resetParam(std::int32_t handle, std::int32_t group, std::int32_t element, std::int32_t undoId,
                    bool firstElement);

    // --- undo ---
    // Opens an undo record on the audio side and returns its id.
    std::int32_t createUndoData(const CString& name, bool mergeable, std::int32_t mergeKey);
    void removeUndoData(std::int32_t undoId);
    // An empty name keeps the name given at creation.
    void submitUndoData(std::int32_t undoId, const CString& name);
    void setUndoHistoryPos(std::int32_t position);
    void requestUndoHistory();

    // --- registries, programs and presets ---
    // A new registry handle (stored into handle) for the registry's full object name; the listener
    // (not owned) receives the replies, and its onRegistryListen runs once the audio side has
    // queued the names.
    void listenRegistry(const CString& name, CParamInterfaceRegistryListener* listener, std::int32_t& handle);
    // Sends "unlisten-registry" for a handle that has an entry, and removes the entry.
    void unlistenRegistry(std::int32_t handle);
    void setCurrentProgram(std::int32_t handle, std::int32_t program);
    void renamePreset(std::int32_t handle, std::int32_t preset, const CString& name);
    void activateFactoryPreset(std::int32_t handle, std::int32_t preset);
    // group -1: every channel group. False when the audio side refused the preset.
    bool activatePreset(std::int32_t handle, const CAudioPreset& preset, std::int32_t group);
    // preset -1: the current program; group -1: every channel group. Answered by onPresetData.
    void requestPreset(std::int32_t handle, std::int32_t requestId, bool factory, std::int32_t preset,
                       std::int32_t group);
    // Answered by onBankData.
    void requestBank(std::int32_t handle, std::int32_t requestId, bool factory);
    void setDefaultPreset(std::int32_t handle, const CAudioPreset& preset);
    void activateDefaultPreset(std::int32_t handle);
    void exchangeShadowPreset(std::int32_t handle);
    void updateShadowPreset(std::int32_t handle);

    // --- reply handlers: read the payload from the message reader ---
    [[nodiscard]] virtual CError* onUpdateUndoHistory();
    [[nodiscard]] virtual CError* onUpdateParamInfo();
    [[nodiscard]] virtual CError* onUpdateParam();
    [[nodiscard]] virtual CError* onUpdateRegistry();
    [[nodiscard]] virtual CError* onRegistryData();

    // --- queries ---
    std::int32_t clientId() const noexcept { return mClientId; }
    CParamInterfaceClientConnector* clientConnector() const noexcept { return mConnector; }
    // The last "update-undo-history": "Undo history start" and the step names, and the position.
    const CStringList& undoHistoryNames() const noexcept { return mUndoNames; }
    std::int32_t undoHistoryPosition() const noexcept { return mUndoPosition; }
    int paramEntryCount() const noexcept { return mParamListeners.count(); }
    int registryEntryCount() const noexcept { return mRegistryListeners.count(); }

protected:
    // Hands a built request to the connector; false when the audio side reported an error.
    bool sendRequest(CParamInterfaceMessageWriter& writer);
    // The next identifier of a kind: (client id << 16) + counter + 1; the counter grows.
    std::int32_t nextHandle(std::int32_t& counter) noexcept;

    std::int32_t mClientId = -1;
    std::int32_t mSampleRateCounter = 0;

private:
    struct CParamEntry {
        CString name;
        CParamInterfaceParamListener* listener = nullptr;  // not owned
    };
    struct CRegistryEntry {
        CString name;
        CParamInterfaceRegistryListener* listener = nullptr;  // not owned
    };

    // Sends a request whose only field is a registry handle.
    void sendHandleRequest(const char* eventName, std::int32_t handle);
    // Sends a request of a registry handle and one i32.
    void sendHandleRequest(const char* eventName, std::int32_t handle, std::int32_t value);

    CParamInterfaceClientConnector* mConnector = nullptr;  // not owned
    CStringList mUndoNames;
    std::int32_t mUndoPosition = 0;
    std::int32_t mUndoCounter = 0;
    std::int32_t mParamHandleCounter = 0;
    CSortedMap<std::int32_t, CParamEntry> mParamListeners;
    std::int32_t mRegistryHandleCounter = 0;
    CSortedMap<std::int32_t, CRegistryEntry> mRegistryListeners;
};

} // namespace tal
