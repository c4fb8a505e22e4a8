#pragma once
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamRegistryListener.h"
#include "Audio/CAudioParamUndo.h"
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Other/Interface/CParamInterfaceEndpoint.h"

#include <cstdint>
#include <mutex>

namespace tal {

class CAudioParam;
class CAudioParamCollector;
class CAudioParamInfo;
class CAudioParamRegistry;
class CAudioParamUndoRecord;
class CObjectScheme;
class CParamInterfaceBaseConnector;
class CParamInterfaceMessageWriter;
struct CAudioParamChange;

// The audio side's end of the UI-audio protocol: the object on which the base connector runs every
// editor request, and the instance's one undo history. It keeps one listener per parameter listen
// handle that an editor opened (and reports every change of the parameter to the editor that owns
// the handle), the undo records that editors opened and not yet submitted with the edit gestures
// begun in them, and applies the changes and resets that editors send. Every change of the history
// reaches every editor as "update-undo-history".
// Threads: requests run on the editor's thread under the connector mutex and the object mutex, then
// the undo mutex, then parameter locks. Change reports run on whatever thread changes a parameter,
// under that parameter's lock, and take only the connector's queue lock.
class CParamInterfaceBase : public CAudioParamUndo, public CParamInterfaceEndpoint {
public:
    // The highest element that "reset-param" resets; a reset beyond it is ignored.
    static constexpr std::int32_t kMaxResetElement = 65535;

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamInterfaceBase() override;

    // --- life cycle ---
    // Resolves "base-connector" and "param-collector" (both required) and binds to the connector.
    [[nodiscard]] CError* init() override;
    // Ends the gestures of every open undo record, detaches every listener, leaves the connector.
    void releaseLinks() override;

    // --- undo history ---
    // The history changed: every client receives "update-undo-history".
    void onHistoryChanged() override;

    // --- edit gestures (called with the undo mutex held) ---
    virtual void beginParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element);
    virtual void endParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element);

    // --- request handlers: read the payload from the message reader ---
    [[nodiscard]] virtual CError* onCreateUndoData();
    [[nodiscard]] virtual CError* onRemoveUndoData();
    [[nodiscard]] virtual CError* onSubmitUndoData();
    [[nodiscard]] virtual CError* onRequestUndoHistory();
    [[nodiscard]] virtual CError* onSetUndoHistoryPos();
    [[nodiscard]] virtual CError* onListenParam();
    [[nodiscard]] virtual CError* onUnlistenParam();
    [[nodiscard]] virtual CError* onChangeParam();
    [[nodiscard]] virtual CError* onResetParam();
    [[nodiscard]] virtual CError* onListenRegistry();
    [[nodiscard]] virtual CError* onUnlistenRegistry();
    [[nodiscard]] virtual CError* onSetCurrentProgram();
    [[nodiscard]] virtual CError* onRenamePreset();
    [[nodiscard]] virtual CError* onActivateFactoryPreset();
    [[nodiscard]] virtual CError* onActivatePreset();
    [[nodiscard]] virtual CError* onRequestPreset();
    [[nodiscard]] virtual CError* onRequestBank();
    [[nodiscard]] virtual CError* onSetDefaultPreset();
    [[nodiscard]] virtual CError* onActivateDefaultPreset();
    [[nodiscard]] virtual CError* onExchangeShadowPreset();
    [[nodiscard]] virtual CError* onUpdateShadowPreset();

    // --- replies ---
    // "update-param-info" to the client of the handle: the info (when given) and the change (when given).
    void sendParamInfo(std::int32_t handle, const CAudioParamInfo* info, const CAudioParamChange* change);
    // "update-param" to the client of the handle.
    void sendParamUpdate(std::int32_t handle, const CAudioParamChange& change);
    // "update-undo-history" to one client, or to every client with -1.
    void sendUndoHistory(std::int32_t clientId);
    // "update-registry" of the session names (kind 0) or the factory names (kind 1, master
    // registries only) to the client of the registry handle; nothing for a handle that names no
    // registry.
    void sendRegistryUpdate(std::int32_t handle, std::int32_t kind);

    // --- registries ---
    // The registry of a registry handle. Errors: no listener for the handle; a listener whose
    // "listen-registry" named no registry.
    [[nodiscard]] CError* getRegistry(std::int32_t handle, CAudioParamRegistry*& registry);
    // Reads a registry handle from the message reader and resolves it.
    [[nodiscard]] CError* readRegistryHandle(std::int32_t& handle, CAudioParamRegistry*& registry);

    // --- clients ---
    // A client connector went away: its open undo records end their gestures and are discarded, and
    // its parameter and registry listeners are removed.
    void onClientGone(std::int32_t clientId);
    // An editor is about to fetch its replies (its thread, under the connector mutex): messages that
    // other threads posted without building them are built and queued now. Nothing here.
    virtual void sendPostedMessages() {}

    // --- queries ---
    CParamInterfaceBaseConnector* baseConnector() const noexcept { return mBaseConnector; }
    CAudioParamCollector* paramCollector() const noexcept { return mCollector; }
    // Open undo records and parameter listeners (tests and diagnostics).
    int openUndoCount();
    int paramListenerCount();
    int registryListenerCount();

    // The gesture key of an element: group in the low 8 bits, element above. Gestures are begun
    // only for keys that decode to the same (group, element): 0 <= group < 256, 0 <= element < 2^23.
    static bool hasGestureKey(std::int32_t group, std::int32_t element) noexcept;
    static std::int32_t gestureKey(std::int32_t group, std::int32_t element) noexcept {
        return std::int32_t(std::uint32_t(element) << 8) | group;
    }

protected:
    // Hands a built message to the connector for one client or every client (-1).
    void sendMessage(std::int32_t clientId, CParamInterfaceMessageWriter& writer);

private:
    // One parameter listen handle of one client. Detaching waits for a running report of the
    // parameter and is safe when the parameter is already gone.
    class CParamListener final : public CAudioParamListener {
    public:
        CParamListener(CParamInterfaceBase* base, CAudioParam* param, std::int32_t handle)
            : mBase(base), mParam(param), mHandle(handle) {}
        ~CParamListener() override { detach(); }
        void onParamChange(const CAudioParamUpdateInfo& info) override;
        void attach();
        CAudioParam* param() const noexcept { return mParam; }

    private:
        CParamInterfaceBase* mBase;
        CAudioParam* mParam;
        std::int32_t mHandle;
    };

    // One registry handle of one client: the registry's change notifications become
    // "update-registry" of the session names, on the thread that changed the registry. Detaching
    // waits for a running notification and is safe when the registry is already gone.
    class CRegistryListener final : public CAudioParamRegistryListener {
    public:
        CRegistryListener(CParamInterfaceBase* base, CAudioParamRegistry* registry, std::int32_t handle)
            : mBase(base), mRegistry(registry), mHandle(handle) {}
        ~CRegistryListener() override { detach(); }
        void onRegistryUpdate(CAudioParamRegistry* registry, const void* sender) override;
        void attach();
        CAudioParamRegistry* registry() const noexcept { return mRegistry; }

    private:
        CParamInterfaceBase* mBase;
        CAudioParamRegistry* mRegistry;   // null when the name named no registry
        std::int32_t mHandle;
    };

    // Writes and sends "update-registry" for a resolved registry; takes the preset lock, never the
    // undo lock.
    void sendRegistryNames(CAudioParamRegistry& registry, std::int32_t handle, std::int32_t kind);
    // The registry that a full object name designates in this instance's tree, or null.
    CAudioParamRegistry* findRegistry(const CString& name) const;
    // Reads a registry handle and runs operation(registry) on its registry.
    template <class Operation>
    [[nodiscard]] CError* runOnRegistry(Operation&& operation);
    // Reads a registry handle and one i32 after it (a command's index or flag).
    [[nodiscard]] CError* readRegistryCommand(CAudioParamRegistry*& registry, std::int32_t& value);
    // "registry-data" for one request: the record written by write, or none when write fails
    // (its error is logged).
    template <class Write>
    void sendRegistryData(std::int32_t handle, std::int32_t requestId, std::int32_t kind, Write&& write);

    // Calls endParamGesture for every gesture key that the record's entries hold, in parameter-name
    // and key order.
    void endUndoGestures(CAudioParamUndoRecord& record);
    // Takes the open record of an id out of the map; null when none is open.
    CAudioParamUndoRecord* takeOpenUndo(std::int32_t id);
    // The records of one client (or every record with -1): gestures ended, records deleted.
    void discardOpenUndo(std::int32_t clientId);

    CParamInterfaceBaseConnector* mBaseConnector = nullptr;    // not owned
    CAudioParamCollector* mCollector = nullptr;                // not owned
    // The undo lock of the history guards both maps.
    CSortedMap<std::int32_t, CAudioParamUndoRecord*> mOpenUndo;  // owned records
    CSortedMap<std::int32_t, CParamListener> mParamListeners;
    CSortedMap<std::int32_t, CRegistryListener*> mRegistryListeners;  // owned
};

} // namespace tal
