#pragma once

#include "Audio/CAudioParamContext.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamOwner.h"
#include "Audio/CAudioParamRemapPair.h"
#include "Audio/CAudioParamSelector.h"
#include "Audio/CAudioPreset.h"
#include "Core/CArray.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CUpdateNotifier.h"

#include <mutex>
#include <vector>

namespace tal {

class CAudioParam;
class CAudioParamCollector;
class CAudioParamRegistryListener;
class CAudioRoutingInfoProvider;
class CAudioParamUndo;
class CAudioParamUndoHistory;
class CAudioParamUndoRecord;
class CAudioPresetBank;
class CInputStream;
class COutputStream;
class CStringList;

// A parameter registry ("audio:param-registry"): owns the slice of an instance's parameters whose
// full names start with its hierarchy, captures them into presets and applies presets back. The
// master registry also keeps the programs (the program bank, one preset per program), the
// read-only factory bank, the A/B shadow preset and one undo history per program.
//
// Threads: any thread. Lock order: the preset lock (programs, banks, shadow), then the
// parameter-map lock, then parameter locks (through collector updates); the undo object's lock is
// taken inside the preset lock. Changes of the preset-name parameter reach the registry as a
// deferred call after the change's update, so the preset lock is never taken under a parameter lock.
class CAudioParamRegistry : public CObject, public CAudioParamOwner, public CAudioParamSelector {
public:
    CAudioParamRegistry();
    ~CAudioParamRegistry() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    void releaseLinks() override;
    // Start-up, after every parameter exists: program 0 becomes the live state and the defaults.
    void finishBinding();

    // --- parameters ---
    // Takes a parameter whose full name starts with the hierarchy (and is longer); false otherwise.
    bool claimParam(const CString& fullName, CAudioParam* param);
    // Moves claimed parameters into the parameter map.
    void absorbPendingParams();
    // The mapped parameter of a name relative to the hierarchy, or null.
    CAudioParam* findParam(const CString& relativeName);

    // --- presets: any registry ---
    // Applies preset entries to the parameters; a parameter the preset lacks is reset to its
    // defaults (unless defaultsMode, which loads entries as default values). An entry that fails to
    // load is logged and skipped; the others still apply. group -1 all groups, element -1 whole group.
    void applyPreset(const CAudioPreset::CEntryMap& entries, bool defaultsMode, bool withPersistent,
                     CAudioParamContext context, int group, int element, bool truncate);
    // Captures the parameters into a preset (all groups for group -1).
    void storePreset(CAudioPreset& preset, int group);
    // Reads a preset record and activates it as one undo step; a preset of another registry is
    // refused with nothing changed.
    [[nodiscard]] CError* activatePreset(CInputStream& in, bool withPersistent, int group);
    // Writes a program preset (master; index -1 the current one, refreshed from the live values), a
    // factory preset, or the live state (other registries).
    [[nodiscard]] CError* acquirePreset(bool fromFactory, int index, int group, COutputStream& out);
    void resetParamsToDefaults(CAudioParamContext context, int group, int element, bool truncate);
    void onSelectorChange(const CAudioParamChange& change, const CAudioParamContext& context) override;

    // --- programs and banks: master registry ---
    int getProgramCount();
    int getCurrentProgram();
    CString getProgramName(int index);
    CString getCurrentProgramName();
    void getPresetNames(bool fromFactory, CStringList& names, int& current);
    void setCurrentProgram(int index, const void* sender);
    void renamePreset(int index, const CString& name, const void* sender);
    // Expects the preset lock to be held.
    void setProgramName(const CString& name, bool withUndo, bool setName, bool setNameParam, const void* sender,
                        CAudioParamUndoRecord* undo, int group);
    void activateFactoryPreset(int index);
    void activatePresetObject(const CAudioPreset& preset, CAudioParamUndoRecord* undo, bool withPersistent, int group);
    [[nodiscard]] CError* activateBank(CInputStream& in, bool withPersistent);
    [[nodiscard]] CError* acquireBank(bool fromFactory, COutputStream& out);
    // The preset's values become the parameters' default values; no compatibility test.
    void setDefaultPreset(CInputStream& in);
    // "Master reset": every storable parameter back to its defaults, one undo step.
    void resetToDefaults();
    // A/B: copy the live state to the other side, or exchange the two sides and their histories.
    void updateShadowPreset();
    void exchangeShadowPreset();

    // --- the routing hook: master registry ---
    // Called after a preset has been applied (not in defaults mode) and after a master reset, with
    // the operation's undo record and change list. Not owned; null removes it.
    void setRoutingInfoProvider(CAudioRoutingInfoProvider* provider) noexcept { mRoutingProvider = provider; }

    // --- listeners of preset, program and name changes ---
    // Attaches a listener to the registry's notifier (key 0), or detaches it when it listens here.
    void addListener(CAudioParamRegistryListener* listener);
    void removeListener(CAudioParamRegistryListener* listener);
    CUpdateNotifier& notifier() { return mNotifier; }

    // --- queries ---
    const CString& getHierarchy() const { return mHierarchy; }
    const CString& getId() const { return mId; }
    bool isMaster() const { return mIsMaster; }
    bool isEnumerated() const { return mIsEnumerated; }
    // The number of presets a selector value can pick (enumerated registries).
    int getEnumeratedCount() const;
    // Whether the master found the user's default preset in application data at start.
    bool isDefaultPresetLoaded() const { return mDefaultPresetLoaded; }
    const std::vector<CAudioParamRemapPair>& getRemaps() const { return mRemaps; }
    CAudioParamUndo* getUndo() const { return mUndo; }
    CAudioParam* getPresetNameParam() override { return mPresetNameParam; }
    bool isGlobalParamStorable() const override { return mIsGlobalParamStorable; }
    CRecursiveMutex& getPresetLock() { return mPresetLock; }
    // Whether a preset name carries this registry's id before its first ":".
    bool isCompatibleName(const CString& presetName) const;

private:
    class CNameListener;
    enum class Use { kCapture, kApply, kApplyPersistent, kSelectorReset, kMasterReset };

    bool takesPart(const CAudioParam& param, Use use) const;
    bool bindIfNeeded(CAudioParam& param, CAudioParamLock& lock);
    void notifyListeners(const void* sender);
    CAudioParamUndoRecord* newUndoStep(const CString& name);
    void submitUndoStep(CAudioParamUndoRecord* record);
    CString groupName(int group);
    void loadFactoryBank();
    // Enumerated registries: the bank of application-data item store-name ('alst': an i32 count,
    // then a bank record); an absent item or a count below 1 leaves none.
    [[nodiscard]] CError* loadEnumeratedBank();
    void loadUserDefaultPreset();
    void storeBankProgram();
    // The preset lock must be held.
    void onPresetNameChanged();

    CString mHierarchy = ".";
    std::vector<CAudioParamRemapPair> mRemaps;
    bool mIsEnumerated = false;
    bool mIsElementEnum = false;
    bool mIsMaster = false;
    bool mIsGlobalParamStorable = false;
    bool mDefaultPresetLoaded = false;
    CString mId;
    CAudioParamCollector* mCollector = nullptr;
    bool mRegistered = false;   // with the collector, from initChilds to releaseLinks
    CString mPresetNaming;
    CAudioParamUndo* mUndo = nullptr;

    CRecursiveMutex mPresetLock;
    CAudioPresetBank* mFactoryBank = nullptr;   // owned; never changed after init
    CAudioPresetBank* mProgramBank = nullptr;   // owned, under mPresetLock
    CAudioPresetBank* mEnumBank = nullptr;      // owned; enumerated registries, never changed after init
    CAudioPreset* mShadowPreset = nullptr;      // owned, under mPresetLock
    CAudioParamUndoHistory* mShadowHistory = nullptr;   // owned, under mPresetLock
    std::int32_t mCurrentProgram = 0;                   // under mPresetLock
    CArray<CAudioParamUndoHistory*> mProgramHistories;  // owned, under mPresetLock

    CAudioParam* mPresetNameParam = nullptr;
    CAudioParam* mGroupNamesParam = nullptr;
    CNameListener* mNameListener = nullptr;   // owned

    CRecursiveMutex mMapLock;
    CSortedMap<CString, CAudioParam*> mParams;   // under mMapLock; names relative to the hierarchy

    CRecursiveMutex mPendingLock;
    std::vector<std::pair<CAudioParam*, CString>> mPending;   // under mPendingLock

    CUpdateNotifier mNotifier;   // preset, program and name changes, key 0
    CAudioRoutingInfoProvider* mRoutingProvider = nullptr;   // not owned; set before the first preset
};

} // namespace tal
