#pragma once
#include "Audio/Viz/CAudioVizCollector.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Other/Interface/CParamInterfaceBase.h"
#include "Platform/CSpinLock.h"

#include <atomic>
#include <cstdint>

namespace tal {

class CAudioInterfaceDataProvider;
struct CAudioVizItem;

// The audio side's end of the audio requests ("audio:interface-base"): the parameter interface base
// extended by the channel layout and sample rate of the instance (from the data provider, with
// defaults without one), visualisation subscriptions served from the instance's collector
// ("viz-collector"), the export slot names, and the hand-over of edit gestures and the channel-label
// import to the plug-in shell. The shell calls the senders when processing starts or stops, the
// sample rate changes and the channel counts are to be announced.
// Threads: requests on the editor's thread; sendSampleRate on the thread that changes the rate
// (under the object mutex, so its sequence numbers reach the queues in order). The shell posts the
// messages of the processing state (start, stop, clear, channel counts) from any thread, the audio
// thread included; they are built and queued on the editor's thread when it fetches its replies.
class CAudioInterfaceBase : public CParamInterfaceBase, public CAudioVizCollector::CNamesListener {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CAudioInterfaceBase() override;

    // --- life cycle ---
    // The parameter interface base's init, then the collector from "viz-collector" (required).
    [[nodiscard]] CError* init() override;
    // Withdraws every visualisation request of the editors, then releases as the parameter base.
    void releaseLinks() override;

    // --- the shell ---
    // The provider (not owned); null restores the defaults 1, 1, 1, 1, 0 and 44100 Hz.
    void setDataProvider(CAudioInterfaceDataProvider* provider) noexcept;

    // --- messages of the processing state: any thread, the audio thread included ---
    enum class CPosted : std::uint8_t { kClearClient, kStartViz, kStopViz, kIOChannelCounts };
    static constexpr int kMaxPosted = 16;
    // Posts a message for every editor without building it: no allocation, only a spin lock held
    // for a few stores. The same message twice in a row is posted once (each reads the state when
    // it is built); when kMaxPosted wait, the oldest is dropped (the newest state wins).
    void postMessage(CPosted message) noexcept;
    // Builds and queues the posted messages for every editor, in posting order (the editor's
    // thread, before it fetches its replies).
    void sendPostedMessages() override;

    // --- senders: clientId -1 reaches every editor ---
    void sendClearClient();
    void sendStartViz(std::int32_t clientId);
    void sendStopViz(std::int32_t clientId);
    void sendInternalChannelCount(std::int32_t clientId);
    void sendGroupCount(std::int32_t clientId);
    void sendIOChannelCounts(std::int32_t clientId);
    void sendSampleRate(std::int32_t clientId);
    void sendExportSlotNames(std::int32_t clientId);

    // --- gestures go to the shell ---
    void beginParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) override;
    void endParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) override;

    // --- the collector's export slot names changed (while a reply is written) ---
    void exportSlotNamesChanged(CAudioVizCollector& collector) override;

    // --- request handlers ---
    [[nodiscard]] virtual CError* onListenViz();
    [[nodiscard]] virtual CError* onUnlistenViz();
    [[nodiscard]] virtual CError* onRequestVizData();
    [[nodiscard]] virtual CError* onRequestExportSlotNames();
    [[nodiscard]] virtual CError* onRequestInternalChannelCount();
    [[nodiscard]] virtual CError* onRequestGroupCount();
    [[nodiscard]] virtual CError* onRequestIOChannelCounts();
    [[nodiscard]] virtual CError* onRequestSampleRate();
    [[nodiscard]] virtual CError* onImportChannelLabels();

    // --- queries ---
    CAudioVizCollector* vizCollector() const noexcept { return mVizCollector; }
    int vizListenerCount();

private:
    struct CVizEntry {
        std::int32_t exportSlot = -1;
        CString itemName;                // for an export slot
        CAudioVizItem* item = nullptr;   // for an item of this instance
    };

    // Withdraws the collector request of one entry.
    void withdraw(const CVizEntry& entry);
    // Reads the client id of a request and calls the sender with it.
    [[nodiscard]] CError* answer(void (CAudioInterfaceBase::*sender)(std::int32_t));
    void sendNameOnly(const char* eventName, std::int32_t clientId);

    std::atomic<CAudioInterfaceDataProvider*> mProvider{nullptr};  // not owned
    CAudioVizCollector* mVizCollector = nullptr;                    // not owned
    CSortedMap<std::int32_t, CVizEntry> mVizListeners;              // under the undo lock
    std::int32_t mSampleRateCounter = 0;                            // under the object mutex
    CSpinLock mPostLock;
    CPosted mPosted[kMaxPosted] = {};                               // under mPostLock
    std::int32_t mPostedCount = 0;                                  // under mPostLock
};

} // namespace tal
