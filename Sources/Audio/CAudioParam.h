#pragma once

#include <mutex>

#include "Audio/CAudioParamContext.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CArray.h"
#include "Core/CString.h"

namespace tal {

class CAudioParamCollector;
class CAudioParamInfo;
class CAudioParamListener;
class CAudioParamLock;
struct CAudioParamChange;
struct CAudioParamWatch;

// The runtime parameter of one plug-in instance, one per full parameter name. Created and owned
// by its CAudioParamCollector, alive as long as the collector. Values change only through
// applyChange, on any thread, under the parameter's recursive lock: store, hand to the audio side,
// notify listeners. The audio-side storage is written only by the collector's hand-off and read
// by processes through change watches.
class CAudioParam {
public:
    CAudioParam(CAudioParamCollector* collector, const CString& name);
    ~CAudioParam();
    CAudioParam(const CAudioParam&) = delete;
    CAudioParam& operator=(const CAudioParam&) = delete;

    // --- the change path: any thread ---
    void applyChange(const CAudioParamChange& change, CAudioParamLock* outer, const CAudioParamContext& context);
    // Sets element 0 of a float group and truncates the group after it.
    void setValue(int group, const void* sender, CAudioParamLock* outer, double value);
    // Sets one element of a string parameter.
    void setString(int group, int element, const CString& text, const void* sender, CAudioParamLock* outer,
                   const CAudioParamContext& context);
    // Binds a definition: format and defaults of the current and default storages, and the same
    // format change for the audio side. The same definition twice changes nothing.
    void setInfo(const CAudioParamInfo* info, CAudioParamLock* outer, const CAudioParamContext& context);

    // --- listeners: any thread; called under the parameter lock ---
    void addListener(CAudioParamListener* listener);
    void removeListener(CAudioParamListener* listener);

    // --- queries: under the parameter lock ---
    CString getString(int group, int element) const;
    const CString& getName() const { return mName; }
    CAudioParamCollector* getCollector() const { return mCollector; }
    const CAudioParamInfo* getInfo() const { return mInfo; }
    const CAudioParamStorage& getCurrent() const { return mCurrent; }
    const CAudioParamStorage& getDefaults() const { return mDefaults; }
    std::recursive_mutex& getMutex() { return mMutex; }

    // --- the audio side ---
    // A watch on group (-1 every group) and element (-1 every element): sets *groupMask once from
    // the audio-side storage and hands that storage back.
    CAudioParamWatch* addChangeWatch(const CAudioParamStorage*& storage, bool* changed, std::uint32_t* groupMask,
                                     int group, int element);
    void removeChangeWatch(CAudioParamWatch* watch);
    // Applies a change to the audio-side storage and raises the matching watches (the collector's
    // hand-off, or a direct audio-side change).
    void applyAudioSide(const CAudioParamChange& change);
    const CAudioParamStorage& getAudioSide() const { return mAudioSide; }

private:
    // Replaces a change that starts beyond the group's end by one that fills the gap from the
    // default row, and applies it.
    void applyGapFilled(const CAudioParamChange& change, int n, CAudioParamLock* holder,
                        const CAudioParamContext& context);

    std::recursive_mutex mMutex;
    CAudioParamCollector* mCollector = nullptr;
    const CAudioParamInfo* mInfo = nullptr;
    CString mName;
    CAudioParamStorage mCurrent;
    CAudioParamStorage mDefaults;
    CArray<CAudioParamListener*> mListeners;  // under mMutex, attachment order
    CAudioParamWatch* mWatchHead = nullptr;   // under the collector's watch lock
    CAudioParamWatch* mWatchTail = nullptr;
    CAudioParamStorage mAudioSide;
};

} // namespace tal
