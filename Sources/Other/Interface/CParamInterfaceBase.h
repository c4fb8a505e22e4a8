#pragma once
#include "Audio/CAudioParamListener.h"
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

    // --- replies ---
    // "update-param-info" to the client of the handle: the info (when given) and the change (when given).
    void sendParamInfo(std::int32_t handle, const CAudioParamInfo* info, const CAudioParamChange* change);
    // "update-param" to the client of the handle.
    void sendParamUpdate(std::int32_t handle, const CAudioParamChange& change);
    // "update-undo-history" to one client, or to every client with -1.
    void sendUndoHistory(std::int32_t clientId);

    // --- clients ---
    // A client connector went away: its open undo records end their gestures and are discarded.
    void onClientGone(std::int32_t clientId);

    // --- queries ---
    CParamInterfaceBaseConnector* baseConnector() const noexcept { return mBaseConnector; }
    CAudioParamCollector* paramCollector() const noexcept { return mCollector; }
    // Open undo records and parameter listeners (tests and diagnostics).
    int openUndoCount();
    int paramListenerCount();

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
    // One parameter listen handle of one client.
    class CParamListener final : public CAudioParamListener {
    public:
        CParamListener(CParamInterfaceBase* base, CAudioParam* param, std::int32_t handle)
            : mBase(base), mParam(param), mHandle(handle) {}
        ~CParamListener() override { detach(); }
        void onParamChange(const CAudioParamUpdateInfo& info) override;
        void attach();
        // Waits for a running notification of the parameter, then stops receiving.
        void detach();
        CAudioParam* param() const noexcept { return mParam; }

    private:
        CParamInterfaceBase* mBase;
        CAudioParam* mParam;
        std::int32_t mHandle;
        bool mAttached = false;
    };

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
};

} // namespace tal
