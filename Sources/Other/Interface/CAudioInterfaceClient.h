#pragma once
#include "Audio/CAudioParamStorage.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Other/Interface/CParamInterfaceClient.h"
#include "Other/Interface/CParamInterfaceParamListener.h"

#include <cstdint>

namespace tal {

class CAudioInterfaceVizProcessor;
class CAudioParamInfo;

// The editor's end of the audio requests ("audio:interface-client"): the parameter interface client
// extended by the channel information of the audio side (asked for at init, then kept up to date,
// each change announced as an event of the message's name on this object), visualisation
// subscriptions and data on behalf of one viz processor, and the display names of the channel
// groups from a copy of the group-names parameter ("group-names-param").
// Threads: the editor's thread only.
class CAudioInterfaceClient : public CParamInterfaceClient {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CAudioInterfaceClient();
    ~CAudioInterfaceClient() override;

    // --- life cycle ---
    // Sets the editor-side defaults (2, 2, 2, 2, 0, 44100), asks for the real values and listens to
    // the group-names parameter.
    [[nodiscard]] CError* init() override;
    // Withdraws every visualisation subscription, then leaves as the parameter client does.
    void releaseLinks() override;

    // --- requests ---
    // exportSlot -1: an item of this instance; 0 to 47: an export slot of another instance.
    std::int32_t listenViz(std::int32_t exportSlot, const CString& itemName);
    void unlistenViz(std::int32_t handle);
    void requestVizData(double frameRate);
    void requestExportSlotNames();
    void requestInternalChannelCount();
    void requestGroupCount();
    void requestIOChannelCounts();
    void requestSampleRate();

    // --- the viz processor (not owned; null to stop forwarding) ---
    void setVizProcessor(CAudioInterfaceVizProcessor* processor) noexcept { mVizProcessor = processor; }

    // --- queries ---
    std::int32_t internalChannelCount() const noexcept { return mInternalChannelCount; }
    std::int32_t groupCount() const noexcept { return mGroupCount; }
    std::int32_t inputChannelCount() const noexcept { return mInputChannelCount; }
    std::int32_t outputChannelCount() const noexcept { return mOutputChannelCount; }
    std::int32_t sidechainChannelCount() const noexcept { return mSidechainChannelCount; }
    double sampleRate() const noexcept { return mSampleRate; }
    // The display name of channel group n: the group-names parameter's text for the group (or its
    // default), else the number n + 1.
    CString getGroupName(std::int32_t n) const;

    // --- reply handlers, and "import-channel-labels" raised inside the editor ---
    [[nodiscard]] virtual CError* onClearClient();
    [[nodiscard]] virtual CError* onStartViz();
    [[nodiscard]] virtual CError* onStopViz();
    [[nodiscard]] virtual CError* onUpdateInternalChannelCount();
    [[nodiscard]] virtual CError* onUpdateGroupCount();
    [[nodiscard]] virtual CError* onUpdateIOChannelCounts();
    [[nodiscard]] virtual CError* onUpdateSampleRate();
    [[nodiscard]] virtual CError* onVizData();
    [[nodiscard]] virtual CError* onExportSlotNames();
    [[nodiscard]] virtual CError* onImportChannelLabels();

private:
    // Keeps the client's copy of the group-names parameter.
    class CGroupNamesParamListener final : public CParamInterfaceParamListener {
    public:
        explicit CGroupNamesParamListener(CAudioInterfaceClient* owner) : mOwner(owner) {}
        [[nodiscard]] CError* onParamInfo(CInputStream& reader) override;
        void onParamUpdate(const CAudioParamChange& change) override;

    private:
        CAudioInterfaceClient* mOwner;
    };

    struct CVizEntry {
        std::int32_t exportSlot = -1;
        CString itemName;
    };

    // Sends a request whose only field is this client's id.
    void sendClientIdRequest(const char* eventName);
    // Reads one i32 into value and fires the event of that name.
    [[nodiscard]] CError* readCount(std::int32_t& value, const char* eventName);

    std::int32_t mVizListenCounter = 0;
    CSortedMap<std::int32_t, CVizEntry> mVizListeners;
    CAudioInterfaceVizProcessor* mVizProcessor = nullptr;  // not owned
    std::int32_t mInternalChannelCount = 0;
    std::int32_t mGroupCount = 0;
    std::int32_t mInputChannelCount = 0;
    std::int32_t mOutputChannelCount = 0;
    std::int32_t mSidechainChannelCount = 0;
    double mSampleRate = 0.0;
    CAudioParamInfo* mGroupNamesInfo = nullptr;  // owned
    CAudioParamStorage mGroupNames;
    CGroupNamesParamListener mGroupNamesListener{this};
};

} // namespace tal
