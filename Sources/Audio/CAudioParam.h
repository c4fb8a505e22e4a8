#pragma once

#include <mutex>
#include <span>

#include "Audio/CAudioParamContext.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CArray.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CString.h"
#include "Core/CUpdateNotifier.h"

namespace tal {

class CAudioParamCollector;
class CAudioParamFilter;
class CAudioParamInfo;
class CAudioParamListener;
class CAudioParamLock;
class CAudioParamOwner;
class CAudioParamSelector;
class CAudioParamUndoRecord;
class CByteBuffer;
class CError;
class CInputStream;
struct CAudioParamChange;
struct CAudioParamRemapPair;
struct CAudioParamWatch;

// The runtime parameter of one plug-in instance, one per full parameter name. Created and owned
// by its CAudioParamCollector, alive as long as the collector. Values change only through
// applyChange, on any thread, under the parameter's recursive lock: store (with undo capture), hand
// to the audio side, let a selecting registry react, notify listeners, run the filters. The
// audio-side storage is written only by the collector's hand-off and read by processes through
// change watches.
//
// Every operation takes an optional outer lock holder (the caller's, when it already holds this
// parameter or is inside another parameter's change); without one it locks for its duration.
//
// The parameter is the update notifier of its own changes (key 0, record CAudioParamUpdateInfo):
// its notifier lock is taken only under its own lock, so a listener that reports to its owner
// cannot make changes of two parameters on two threads wait for each other.
class CAudioParam : public CUpdateNotifier {
public:
    CAudioParam(CAudioParamCollector* collector, const CString& name);
    ~CAudioParam() override;
    CAudioParam(const CAudioParam&) = delete;
    CAudioParam& operator=(const CAudioParam&) = delete;

    // --- the change path: any thread ---
    void applyChange(const CAudioParamChange& change, CAudioParamLock* outer, const CAudioParamContext& context);
    // Sets element 0 of a float group and truncates the group after it (no undo, no list).
    void setValue(int group, const void* sender, CAudioParamLock* outer, double value);
    // Sets one element of a string parameter.
    void setString(int group, int element, const CString& text, const void* sender, CAudioParamLock* outer,
                   const CAudioParamContext& context);
    // Sets one element of a raw parameter; the block is taken over (left empty).
    void setRaw(int group, int element, CByteBuffer& block, const void* sender, CAudioParamLock* outer,
                const CAudioParamContext& context);
    // Back to the per-group defaults of the default storage: every group (group -1), one whole group
    // (element -1) or one element (the first default when useFirstDefault). Needs a definition.
    void resetValues(int group, int element, CAudioParamLock* outer, const CAudioParamContext& context,
                     bool useFirstDefault);
    // Back to the default row: every group (group -1; group 0 gets the row, the others are
    // emptied), one group, one element, or the format and defaults from the definition (group 9999;
    // element -1 all, 0 one, e a row grown by element e). Needs a definition.
    void setToDefaults(int group, int element, bool truncate, CAudioParamLock* outer,
                       const CAudioParamContext& context);
    // Binds a definition: format and defaults of the current and default storages, and the same
    // format change for the audio side. The same definition twice changes nothing.
    void setInfo(const CAudioParamInfo* info, CAudioParamLock* outer, const CAudioParamContext& context);
    // Binds the first "audio:param" definition that a remapped name finds from the shared root: each
    // pair whose orig prefix begins this name gives the name with the prefix replaced. True when a
    // definition is (or already was) bound.
    bool bindDefinition(std::span<const CAudioParamRemapPair> remaps, CAudioParamLock* outer,
                        const CAudioParamContext& context);
    // Sets the preset-name parameter of every owner that stores this parameter to "User", as part
    // of the given undo record. holder is this parameter's lock holder.
    void markOwnerPresetsUser(CAudioParamLock* holder, int group, CAudioParamUndoRecord* undo);

    // --- state records ---
    // The definition name and the storage record of all groups (group -1) or of one group. Errors
    // of the writes are logged. Needs a definition.
    void saveState(CByteBuffer& out, CAudioParamLock* outer, int group);
    // Loads a state record as the default values (asDefaults), as the whole current state (group
    // -1), into one group (element -1) or element, or as a format change (group 9999). A failed
    // load changes nothing and records no undo data. Needs a definition.
    [[nodiscard]] CError* loadState(const void* data, int size, CAudioParamLock* outer, bool asDefaults,
                                    const CAudioParamContext& context, int group, int element, bool truncate);

    // --- listeners, filters and owners: any thread ---
    // Attaches a listener to this parameter's notifier (leaving any other notifier it was on), or
    // detaches it when it listens here. Listeners are called synchronously under the parameter
    // lock, in attachment order; a detach waits for a running notification.
    void addListener(CAudioParamListener* listener);
    void removeListener(CAudioParamListener* listener);
    // Appends a filter and, when bound, replays the current state into it with an audio-side context.
    void addFilter(CAudioParamFilter* filter, CAudioParamLock* outer);
    // Removes the first occurrence of a filter.
    void removeFilter(CAudioParamFilter* filter, CAudioParamLock* outer);
    void addOwner(CAudioParamOwner* owner);
    void removeOwner(CAudioParamOwner* owner);

    // --- queries: under the parameter lock ---
    CString getString(int group, int element) const;
    const CString& getName() const { return mName; }
    CAudioParamCollector* getCollector() const { return mCollector; }
    const CAudioParamInfo* getInfo() const { return mInfo; }
    CAudioParamSelector* getSelector() const { return mSelector; }
    const CAudioParamStorage& getCurrent() const { return mCurrent; }
    const CAudioParamStorage& getDefaults() const { return mDefaults; }
    // The default storage, for a registry that replaces it (default preset); under the lock.
    CAudioParamStorage& defaults() { return mDefaults; }
    CRecursiveMutex& getMutex() { return mMutex; }

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
    // Applies a change of one string or raw item (id valid in table) at (group, element).
    void applyItemChange(int group, int element, double id, const CAudioParamData& table, const void* sender,
                         CAudioParamLock& holder, const CAudioParamContext& context);
    // Replaces a change that starts beyond the group's end by one that fills the gap from the
    // default row, and applies it.
    void applyGapFilled(const CAudioParamChange& change, int n, CAudioParamLock* holder,
                        const CAudioParamContext& context);
    // The steps after storing: hand-off, the selecting registry (when selectorHook), listeners, filters.
    void passOn(const CAudioParamChange& change, CAudioParamLock* holder, const CAudioParamContext& context,
                bool selectorHook);
    // A change of group 9999 from a default row and the definition's element e (setToDefaults and
    // loadState grow the row by one element this way).
    void applyGrownFormat(const CAudioParamStorage& source, const double* element, CAudioParamLock* holder,
                          const CAudioParamContext& context);
    [[nodiscard]] CError* loadWhole(CInputStream& in, CAudioParamLock* holder, const CAudioParamContext& context);
    [[nodiscard]] CError* loadPart(CInputStream& in, CAudioParamLock* holder, const CAudioParamContext& context,
                                   int group, int element, bool truncate);
    // Logs "Unexpected ..." for an element that a format change cannot take.
    void logUnexpected(const char* pattern, int element, int expected) const;

    CRecursiveMutex mMutex;
    CAudioParamCollector* mCollector = nullptr;
    const CAudioParamInfo* mInfo = nullptr;
    CString mName;
    CAudioParamStorage mCurrent;
    CAudioParamStorage mDefaults;
    CArray<CAudioParamFilter*> mFilters;      // under mMutex, attachment order; not owned
    CAudioParamWatch* mWatchHead = nullptr;   // under the collector's watch lock
    CAudioParamWatch* mWatchTail = nullptr;
    CAudioParamStorage mAudioSide;
    CAudioParamSelector* mSelector = nullptr;  // under mMutex
    CRecursiveMutex mOwnerMutex;
    CArray<CAudioParamOwner*> mOwners;         // under mOwnerMutex
};

} // namespace tal
