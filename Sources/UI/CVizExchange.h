#pragma once
#include "Core/CObject.h"
#include "Core/CTarget.h"
#include "Other/Interface/CAudioInterfaceVizProcessor.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace tal {

class CAudioInterfaceClient;
class CAudioVizData;
class CVizListener;

// "ui:viz-exchange": the editor's end of the visualisation stream. It is the interface client's
// visualisation processor, subscribes listeners to visual objects of the audio side (with export
// slot, group and channel filters), asks for frames on every tick of its timer child at a rate that
// follows the measured tick rate (1 to 144 per second), hands each frame to the matching listeners
// when the audio clock has reached its time stamp (queueing early frames by time stamp, at most
// kMaxQueuedPerName per visual object), resets listeners that got nothing for "inactive-timeout"
// seconds, and keeps the names of the export slots. A message whose time goes backwards (the audio
// side's clock restarted) first delivers everything queued. The timer child is made from the tag or
// template named by "timer-tag" and must fire "tick" at its "fps".
// Owns its queued frames; does not own its listeners, which remove themselves before they die.
// Editor thread only.
class CVizExchange : public CObject, public CAudioInterfaceVizProcessor {
public:
    static constexpr int kMaxQueuedPerName = 1024;
    // A clock in nanoseconds; tests substitute a manual one.
    using ClockFn = std::uint64_t (*)(void* context);

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CVizExchange();
    ~CVizExchange() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    void releaseLinks() override;

    // --- handlers ---
    [[nodiscard]] virtual CError* attrFps();
    [[nodiscard]] virtual CError* onTimer();

    // --- CAudioInterfaceVizProcessor ---
    void onStartViz() override;
    void onStopViz() override;
    void onClearClient() override;
    [[nodiscard]] CError* onVizData(CInputStream& reader) override;
    [[nodiscard]] CError* onExportSlotNames(CInputStream& reader) override;

    // --- listeners ---
    void addListener(CVizListener* listener, const CString& name, std::int32_t slot, std::int32_t group,
                     std::int32_t channel);
    void removeListener(CVizListener* listener, const CString& name);

    // --- export slots ---
    // The display name of a slot (text before the first backtick) and its options "opt1=" and
    // "opt2=" (-1 when absent; either output may be null).
    void getExportSlotName(std::int32_t slot, CString& name, std::int32_t* opt1, std::int32_t* opt2) const;

    // --- queries and test hooks ---
    double adaptiveRate() const noexcept { return mAdaptiveRate; }
    std::int32_t inactivityLimit() const noexcept { return mInactivityLimit; }
    int queuedFrameCount() const noexcept;
    bool isActive() const noexcept { return mIsActive; }
    CObject* timer() const noexcept { return mTimer; }
    void setClock(ClockFn clock, void* context) noexcept;

private:
    struct CRecord {
        std::int32_t handle = -1;
        std::int32_t slot = -1;
        std::int32_t group = -1;
        std::int32_t channel = -1;
        std::int32_t idleTicks = 0;
        bool isResetDone = true;
    };
    struct CQueued {
        CString name;
        std::unique_ptr<CAudioVizData> frame;
    };
    using CEntry = std::map<CVizListener*, CRecord>;

    std::uint64_t now() const { return mClock(mClockContext); }
    CEntry* findEntry(const CString& name);
    // Hands a frame to the records of its name (entry: its listeners, or null) that pass the filters.
    void deliver(const CString& name, const CAudioVizData& frame);
    void deliver(const CString& name, CEntry* entry, const CAudioVizData& frame);
    void releaseQueued(double upTo);
    void enqueue(const CString& name, std::unique_ptr<CAudioVizData> frame);

    bool mIsActive = false;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
    double mRate = 1.0;
    double mIntervalAverage = 1.0;
    double mIntervalAverage2 = 1.0;
    double mAdaptiveRate = 1.0;
    std::uint64_t mLastTick = 0;
    CObject* mTimer = nullptr;  // not owned: a child
    std::map<std::int32_t, CString> mSlotNames;
    std::map<CString, CEntry> mListeners;
    std::int32_t mInactivityLimit = 0;
    std::map<double, std::vector<CQueued>> mQueue;
    std::map<CString, int> mQueuedPerName;
    double mLastMessageTime = 0.0;
    bool mHasMessageTime = false;
    std::uint64_t mListenerChanges = 0;  // counts additions and removals of listener records
    std::vector<CVizListener*> mReceivers;  // scratch of deliver, kept for its capacity
    ClockFn mClock;
    void* mClockContext = nullptr;
};

// Gives a visualisation listener its inactivity timer: when timeout exceeds 0.01 s, an
// "update-timer" child made from the owner's "interval-timer-tag" with that interval, whose "tick"
// runs the owner's "update-timer" handler. timer stays null otherwise.
[[nodiscard]] CError* createInactiveTimer(CObject& owner, double timeout, bool needTemplate, CObject*& timer);

} // namespace tal
