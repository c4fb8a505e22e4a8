#include "Audio/CAudioParamRegistry.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistryListener.h"
#include "Audio/CAudioParamUndo.h"
#include "Audio/CAudioParamUndoHistory.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Audio/CAudioPresetBank.h"
#include "Audio/CAudioRoutingInfoProvider.h"
#include "Core/CAppData.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/RecordTags.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CStringList.h"
#include "Core/Log.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <utility>

namespace tal {

namespace {

// The visible part of a preset name: after its first ":" (all of it without one).
CString visibleName(const CString& name) {
    const int colon = name.findChar(':');
    return colon < 0 ? name : CString(name, colon + 1, -1);
}

// Brackets a preset application: a registry update of the collector, the parameter-map lock and,
// when the caller gave no list, a private change list that reaches the audio side in one piece.
// Every exit hands over what was changed, unlocks and leaves the update.
class CApplyScope {
public:
    CApplyScope(CAudioParamCollector& collector, CRecursiveMutex& mapLock, CAudioParamContext& context)
        : mCollector(collector), mMapLock(mapLock), mContext(context) {
        mCollector.beginUpdate(CAudioParamCollector::kRegistryUpdate);
        mMapLock.lock();
        if (mContext.pending == nullptr && !mContext.audioSide) mContext.pending = &mPrivate;
    }
    ~CApplyScope() {
        if (mContext.pending == &mPrivate) {
            mCollector.queueChanges(mPrivate);
            mContext.pending = nullptr;
        }
        mMapLock.unlock();
        mCollector.endUpdate(CAudioParamCollector::kRegistryUpdate);
    }
    CApplyScope(const CApplyScope&) = delete;
    CApplyScope& operator=(const CApplyScope&) = delete;

private:
    CAudioParamCollector& mCollector;
    CRecursiveMutex& mMapLock;
    CAudioParamContext& mContext;
    CAudioParamChangeList mPrivate;
};

} // namespace

// Hears changes of the preset-name parameter and hands them to the registry after the change's
// update has ended (no parameter lock held), so that the registry may take its preset lock.
class CAudioParamRegistry::CNameListener : public CAudioParamListener, public CAudioParamDeferred {
public:
    explicit CNameListener(CAudioParamRegistry& registry) : mRegistry(registry) {}
    void onParamChange(const CAudioParamUpdateInfo& info) override {
        if (info.sender == &mRegistry || info.change->group != 0) return;
        mRegistry.mCollector->deferNotify(this, 0, 0.0);
    }
    void onDeferred(int, double) override {
        std::lock_guard<CRecursiveMutex> presetLock(mRegistry.mPresetLock);
        mRegistry.onPresetNameChanged();
    }

private:
    CAudioParamRegistry& mRegistry;
};

CAudioParamRegistry::CAudioParamRegistry() = default;

CAudioParamRegistry::~CAudioParamRegistry() {
    delete mNameListener;   // leaves the preset-name parameter when that one is still alive
    for (CAudioParamUndoHistory* h : mProgramHistories) delete h;
    delete mShadowHistory;
    delete mShadowPreset;
    delete mProgramBank;
    delete mFactoryBank;
    delete mEnumBank;
}

// --- life cycle ---

CError* CAudioParamRegistry::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mHierarchy = getTextAttr("hierarchy") + CString(".");
    const CString remap = getTextAttr("def-name-remap");
    if (!remap.isEmpty()) {
        CStringList pieces;
        remap.split(pieces, ' ', true, true);
        for (int i = 0; i < pieces.count(); ++i) {
            CStringList parts;
            pieces[i].split(parts, '=', true, true);
            if (parts.count() != 2)
                return newError("@talstr_CAudioParamRegistry_init_InvalidRemap Invalid remapping string '%1' defined.",
                                getFullName(), remap);
            mRemaps.push_back(CAudioParamRemapPair{parts[0], parts[1]});
        }
    }
    mIsMaster = getBoolAttr("is-master");
    mIsEnumerated = getBoolAttr("is-enumerated");
    mIsElementEnum = getBoolAttr("is-element-enum");
    mId = getTextAttr("id");
    mIsGlobalParamStorable = getBoolAttr("is-global-param-storable");
    mDefaultPresetLoaded = false;
    if (CError* err = findObjectByAttr(mCollector, CString("param-collector"), true))
        return traceError(err, getFullName());
    mPresetNaming = getTextAttr("preset-naming");

    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    mCurrentProgram = 0;
    const CString undoPath = getTextAttr("param-undo");
    mUndo = undoPath.isEmpty() ? nullptr : dynamic_cast<CAudioParamUndo*>(findObject(undoPath));
    const CString presetName = getTextAttr("preset-name-param");
    if (!presetName.isEmpty()) mPresetNameParam = mCollector->acquireParam(presetName);
    const CString groupNames = getTextAttr("group-names-param");
    if (!groupNames.isEmpty()) mGroupNamesParam = mCollector->acquireParam(groupNames);
    if (mIsMaster) {
        loadFactoryBank();
    } else if (mIsEnumerated) {
        // The list is a user file: a damaged one is logged and the registry works without it.
        reportError(loadEnumeratedBank());
    }
    return nullptr;
}

CError* CAudioParamRegistry::loadEnumeratedBank() {
    const CString storeName = getTextAttr("store-name");
    if (storeName.isEmpty()) return nullptr;
    const bool global = storeName.charAt(0) == '/';
    CAppData& scope = global ? CAppData::globalScope() : CAppData::localScope();
    CByteBuffer item;
    scope.read(global ? CString(storeName, 1, -1) : storeName, item, kTagAppList, false);
    if (item.isEmpty()) return nullptr;
    CMemoryReader in(item.data(), item.size());
    std::int32_t count = 0;
    if (CError* err = in.read32(count)) return traceError(err, getFullName());
    if (count < 1) return nullptr;
    auto* bank = new CAudioPresetBank();
    if (CError* err = bank->load(in)) {
        delete bank;
        return traceError(err, getFullName());
    }
    delete mEnumBank;
    mEnumBank = bank;
    return nullptr;
}

int CAudioParamRegistry::getEnumeratedCount() const {
    return mEnumBank != nullptr ? mEnumBank->getCount() : 0;
}

void CAudioParamRegistry::loadFactoryBank() {
    delete mFactoryBank;
    delete mProgramBank;
    mFactoryBank = new CAudioPresetBank();
    mProgramBank = new CAudioPresetBank();
    const CString file = getTextAttr("file");
    if (!file.isEmpty()) {
        if (CError* err = mFactoryBank->loadResource(file)) {
            delete err;   // a missing or damaged factory bank leaves both banks empty
            mFactoryBank->resize(0);
        } else {
            mProgramBank->copyPresets(*mFactoryBank);
        }
    }
    mFactoryBank->setName("Factory ROM");
    mProgramBank->setName("Session Bank");
    if (mProgramBank->getCount() == 0) mProgramBank->addPreset()->setName(mId + CString(":Default"));
    for (int i = mProgramBank->getCount(); i < mProgramHistories.count(); ++i) delete mProgramHistories[i];
    mProgramHistories.setCount(mProgramBank->getCount());
    loadUserDefaultPreset();
}

void CAudioParamRegistry::loadUserDefaultPreset() {
    // The user's default preset (application data, written by the editor) replaces program 0; the
    // factory bank keeps its own first preset. An unreadable item is ignored.
    CByteBuffer item;
    CAppData::localScope().read(CString("default-preset"), item, kTagPreset, false);
    if (item.isEmpty()) return;
    CMemoryReader in(item.data(), item.size());
    CAudioPreset preset;
    if (CError* err = preset.load(in)) {
        delete err;
        return;
    }
    mProgramBank->getPreset(0)->copyFrom(preset);
    mDefaultPresetLoaded = true;
}

CError* CAudioParamRegistry::initChilds() {
    if (CError* err = CObject::initChilds()) return traceError(err, getFullName());
    if (mPresetNameParam != nullptr && mNameListener == nullptr) {
        mNameListener = new CNameListener(*this);
        mPresetNameParam->addListener(mNameListener);
    }
    // A registry whose init failed has no collector and takes no part.
    if (!mRegistered && mCollector != nullptr) {
        mCollector->addRegistry(this);
        mRegistered = true;
    }
    return nullptr;
}

void CAudioParamRegistry::releaseLinks() {
    if (mPresetNameParam != nullptr) {
        if (!mIsEnumerated && !mIsMaster) {
            std::lock_guard<CRecursiveMutex> mapLock(mMapLock);
            absorbPendingParams();
            for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n))
                if (n->value != mPresetNameParam) n->value->removeOwner(this);
        }
        if (mNameListener != nullptr) mPresetNameParam->removeListener(mNameListener);
    }
    if (mRegistered) {
        mCollector->removeRegistry(this);
        mRegistered = false;
    }
    CObject::releaseLinks();
}

void CAudioParamRegistry::finishBinding() {
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    const CAudioPreset& first = *mProgramBank->getPreset(0);
    applyPreset(first.getEntries(), false, true, CAudioParamContext{}, -1, -1, false);
    applyPreset(first.getEntries(), true, false, CAudioParamContext{}, -1, -1, false);
    if (!mDefaultPresetLoaded)
        if (CAudioParam* name = mCollector->findParam("plugin.modMain.instance-name"))
            if (name->getInfo() != nullptr) name->resetValues(0, 0, nullptr, CAudioParamContext{}, false);
}

// --- parameters ---

bool CAudioParamRegistry::claimParam(const CString& fullName, CAudioParam* param) {
    const int n = mHierarchy.length();
    if (n >= fullName.length() || compareStrings(CString(fullName, 0, n), mHierarchy) != 0) return false;
    {
        std::lock_guard<CRecursiveMutex> pending(mPendingLock);
        mPending.emplace_back(param, fullName);
    }
    if (mPresetNameParam != nullptr && !mIsEnumerated && !mIsMaster && param != mPresetNameParam)
        param->addOwner(this);
    return true;
}

void CAudioParamRegistry::absorbPendingParams() {
    std::vector<std::pair<CAudioParam*, CString>> taken;
    {
        std::lock_guard<CRecursiveMutex> pending(mPendingLock);
        taken.swap(mPending);
    }
    std::lock_guard<CRecursiveMutex> mapLock(mMapLock);
    for (auto it = taken.rbegin(); it != taken.rend(); ++it)
        mParams.findOrAdd(CString(it->second, mHierarchy.length(), -1))->value = it->first;
}

CAudioParam* CAudioParamRegistry::findParam(const CString& relativeName) {
    std::lock_guard<CRecursiveMutex> mapLock(mMapLock);
    absorbPendingParams();
    auto* node = mParams.find(relativeName);
    return node != nullptr ? node->value : nullptr;
}

bool CAudioParamRegistry::takesPart(const CAudioParam& param, Use use) const {
    const CAudioParamInfo* info = param.getInfo();
    if (info == nullptr) return false;
    const bool global = mIsGlobalParamStorable && info->isGlobal();
    switch (use) {
        case Use::kCapture: return info->isStorable() || info->isPersistent() || global;
        case Use::kApply: return info->isStorable() || global;
        case Use::kApplyPersistent: return info->isStorable() || info->isPersistent() || global;
        case Use::kSelectorReset: return info->isStorable() || global;
        case Use::kMasterReset: return info->isStorable();
    }
    return false;
}

bool CAudioParamRegistry::bindIfNeeded(CAudioParam& param, CAudioParamLock& lock) {
    return param.getInfo() != nullptr || param.bindDefinition(mRemaps, &lock, CAudioParamContext{});
}

// --- presets ---

void CAudioParamRegistry::applyPreset(const CAudioPreset::CEntryMap& entries, bool defaultsMode, bool withPersistent,
                                      CAudioParamContext context, int group, int element, bool truncate) {
    const Use use = withPersistent ? Use::kApplyPersistent : Use::kApply;
    CApplyScope scope(*mCollector, mMapLock, context);
    absorbPendingParams();
    std::unordered_set<CAudioParam*> unseen;
    if (!defaultsMode)
        for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n)) unseen.insert(n->value);

    for (auto* e = entries.first(); e != nullptr; e = CAudioPreset::CEntryMap::next(e)) {
        auto* node = mParams.find(e->key);
        if (node == nullptr) {
            const CString fullName = mHierarchy + e->key;
            claimParam(fullName, mCollector->acquireParam(fullName));
            absorbPendingParams();
            node = mParams.find(e->key);
            if (node == nullptr) continue;
        }
        CAudioParam* param = node->value;
        if (!defaultsMode) unseen.erase(param);
        CAudioParamLock lock(param);
        if (!bindIfNeeded(*param, lock) || !takesPart(*param, use)) continue;
        // A damaged entry is skipped: the rest of the preset still applies.
        if (CError* err = param->loadState(e->value.data(), e->value.size(), &lock, defaultsMode, context, group,
                                           element, truncate))
            reportError(traceError(err, getFullName() + CString(" ") + e->key));
    }
    if (!defaultsMode) {
        for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n)) {
            if (unseen.count(n->value) == 0) continue;
            CAudioParamLock lock(n->value);
            if (bindIfNeeded(*n->value, lock) && takesPart(*n->value, use))
                n->value->resetValues(group, element, &lock, context, false);
        }
        if (mRoutingProvider != nullptr)
            mRoutingProvider->refreshRouting(context.undo, context.pending);
    }
    absorbPendingParams();
}

void CAudioParamRegistry::storePreset(CAudioPreset& preset, int group) {
    preset.clearEntries();
    if (mIsMaster) {
        std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
        preset.setName(mProgramBank->getPreset(mCurrentProgram)->getName());
    } else if (mPresetNameParam != nullptr) {
        CAudioParamLock lock(mPresetNameParam);
        preset.setName(mId + CString(":") + mPresetNameParam->getString(group < 0 ? 0 : group, 0));
    } else {
        preset.setName(mId + CString(":"));
    }
    std::lock_guard<CRecursiveMutex> mapLock(mMapLock);
    absorbPendingParams();
    for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n)) {
        CAudioParam* param = n->value;
        CAudioParamLock lock(param);
        if (!takesPart(*param, Use::kCapture)) continue;
        if (group >= 0 && (group >= param->getCurrent().getGroupCount() || param->getCurrent().getElementCount(group) < 1))
            continue;
        CByteBuffer state;
        param->saveState(state, &lock, group);
        preset.setEntry(n->key, state);
    }
}

bool CAudioParamRegistry::isCompatibleName(const CString& presetName) const {
    const int colon = presetName.findChar(':');
    const CString idPart = colon < 0 ? CString() : CString(presetName, 0, colon);
    return compareStrings(idPart, mId) == 0;
}

CAudioParamUndoRecord* CAudioParamRegistry::newUndoStep(const CString& name) {
    return mUndo != nullptr ? new CAudioParamUndoRecord(name, false, -1) : nullptr;
}

void CAudioParamRegistry::submitUndoStep(CAudioParamUndoRecord* record) {
    if (record != nullptr) mUndo->addRecord(record);
}

CString CAudioParamRegistry::groupName(int group) {
    if (mGroupNamesParam != nullptr) return mGroupNamesParam->getString(0, group);
    return CString(group + 1);
}

CError* CAudioParamRegistry::activatePreset(CInputStream& in, bool withPersistent, int group) {
    CAudioPreset preset;
    if (CError* err = preset.load(in)) return traceError(err, getFullName());
    if (!isCompatibleName(preset.getName()))
        return newError("@talstr_CAudioParamRegistry_activatePreset_IncompatiblePreset Incompatible preset.",
                        getFullName());
    CAudioParamUndoRecord* step = newUndoStep(
        group < 0 ? mPresetNaming + CString(" activate")
                  : mPresetNaming + CString(" activate (") + groupName(group) + CString(")"));
    {
        std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
        activatePresetObject(preset, step, withPersistent, group);
    }
    submitUndoStep(step);
    return nullptr;
}

CError* CAudioParamRegistry::acquirePreset(bool fromFactory, int index, int group, COutputStream& out) {
    if (!mIsMaster) {
        CAudioPreset preset;
        std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
        storePreset(preset, group);
        if (CError* err = preset.save(out)) return traceError(err, getFullName());
        return nullptr;
    }
    if (fromFactory) {
        const CAudioPreset* preset = mFactoryBank->getPreset(index);
        if (preset == nullptr)
            return newError("@talstr_CAudioParamRegistry_acquirePreset_PresetIndexError Invalid preset index %1 specified.",
                            getFullName(), CString(index));
        if (CError* err = preset->save(out)) return traceError(err, getFullName());
        return nullptr;
    }
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    if (index == -1) index = mCurrentProgram;
    CAudioPreset* preset = mProgramBank->getPreset(index);
    if (preset == nullptr)
        return newError("@talstr_CAudioParamRegistry_acquirePreset_PresetIndexError Invalid preset index %1 specified.",
                        getFullName(), CString(index));
    if (index == mCurrentProgram) storePreset(*preset, -1);
    if (CError* err = preset->save(out)) return traceError(err, getFullName());
    return nullptr;
}

void CAudioParamRegistry::resetParamsToDefaults(CAudioParamContext context, int group, int element, bool truncate) {
    (void)truncate;
    CApplyScope scope(*mCollector, mMapLock, context);
    absorbPendingParams();
    for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n)) {
        CAudioParamLock lock(n->value);
        if (bindIfNeeded(*n->value, lock) && takesPart(*n->value, Use::kSelectorReset))
            n->value->resetValues(group, element, &lock, context, false);
    }
}

void CAudioParamRegistry::onSelectorChange(const CAudioParamChange& change, const CAudioParamContext& context) {
    if (mEnumBank == nullptr) return;
    // A format change (binding the selector) also writes group 0: it selects for group 0, and
    // never turns a preset into the format and defaults of the registry's parameters.
    const int group = change.group == CAudioParamChange::kFormatGroup ? 0 : change.group;
    const CAudioParamContext noUndo{nullptr, context.pending, context.audioSide};
    const int size = mEnumBank->getCount();
    // A selector value picks a preset by its index, rounded half away from zero.
    auto pick = [](double v) {
        const double r = v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v);
        return r >= 0.0 && r < 2147483647.0 ? int(r) : -1;
    };
    if (mIsElementEnum) {
        if (change.truncate && change.firstElement == 0 && change.count == 0) {
            resetParamsToDefaults(noUndo, group, -1, false);
            return;
        }
        for (int i = 0; i < change.count; ++i) {
            const int n = change.values != nullptr ? pick(change.values[i]) : -1;
            const bool truncate = i == change.count - 1 && change.truncate;
            const int element = change.firstElement + i;
            if (n >= 0 && n < size)
                applyPreset(mEnumBank->getPreset(n)->getEntries(), false, false, noUndo, group, element, truncate);
            else
                resetParamsToDefaults(noUndo, group, element, truncate);
        }
        return;
    }
    if (change.firstElement != 0) return;
    const int n = change.count > 0 && change.values != nullptr ? pick(change.values[0]) : -1;
    if (n >= 0 && n < size)
        applyPreset(mEnumBank->getPreset(n)->getEntries(), false, false, noUndo, group, -1, false);
    else
        resetParamsToDefaults(noUndo, group, -1, false);
}

// --- programs and banks ---

int CAudioParamRegistry::getProgramCount() {
    if (!mIsMaster) return 0;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    return mProgramBank->getCount();
}

int CAudioParamRegistry::getCurrentProgram() {
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    return mCurrentProgram;
}

CString CAudioParamRegistry::getProgramName(int index) {
    if (!mIsMaster) return CString();
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    const CAudioPreset* preset = mProgramBank->getPreset(index);
    return preset != nullptr ? preset->getName() : CString();
}

CString CAudioParamRegistry::getCurrentProgramName() {
    return getProgramName(getCurrentProgram());
}

void CAudioParamRegistry::getPresetNames(bool fromFactory, CStringList& names, int& current) {
    names.clear();
    current = -1;
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    const CAudioPresetBank& bank = fromFactory ? *mFactoryBank : *mProgramBank;
    for (int i = 0; i < bank.getCount(); ++i) names.add(bank.getPreset(i)->getName());
    if (!fromFactory) current = mCurrentProgram;
}

void CAudioParamRegistry::setCurrentProgram(int index, const void* sender) {
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    if (index < 0 || index == mCurrentProgram || index >= mProgramBank->getCount()) return;
    storePreset(*mProgramBank->getPreset(mCurrentProgram), -1);
    if (mUndo != nullptr) mUndo->swapHistory(mProgramHistories[mCurrentProgram], mProgramHistories[index]);
    const CAudioPreset& next = *mProgramBank->getPreset(index);
    const CString visible = visibleName(next.getName());
    mCurrentProgram = index;
    CAudioPreset copy;
    copy.copyEntries(next.getEntries());
    applyPreset(copy.getEntries(), false, false, CAudioParamContext{}, -1, -1, false);
    if (mPresetNameParam != nullptr)
        mPresetNameParam->setString(0, 0, visible, sender, nullptr, CAudioParamContext{});
    notifyListeners(sender);
}

void CAudioParamRegistry::renamePreset(int index, const CString& name, const void* sender) {
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    if (index == mCurrentProgram) {
        setProgramName(mId + CString(":") + name, true, true, true, sender, nullptr, 0);
    } else if (CAudioPreset* preset = mProgramBank->getPreset(index)) {
        preset->setName(mId + CString(":") + name);
        notifyListeners(sender);
    }
}

void CAudioParamRegistry::setProgramName(const CString& name, bool withUndo, bool setName, bool setNameParam,
                                         const void* sender, CAudioParamUndoRecord* undo, int group) {
    if (mIsMaster && setName) {
        mProgramBank->getPreset(mCurrentProgram)->setName(name);
        notifyListeners(sender);
    }
    if (!setNameParam || mPresetNameParam == nullptr) return;
    const CString visible = visibleName(name);
    if (undo == nullptr && withUndo) {
        CAudioParamUndoRecord* step = newUndoStep("Program name change");
        mPresetNameParam->setString(group, 0, visible, this, nullptr, CAudioParamContext{step, nullptr, false});
        submitUndoStep(step);
    } else {
        mPresetNameParam->setString(group, 0, visible, this, nullptr, CAudioParamContext{undo, nullptr, false});
    }
}

void CAudioParamRegistry::onPresetNameChanged() {
    if (!mIsMaster || mPresetNameParam == nullptr) return;
    CString text;
    {
        CAudioParamLock lock(mPresetNameParam);
        text = mPresetNameParam->getString(0, 0);
    }
    mProgramBank->getPreset(mCurrentProgram)->setName(mId + CString(":") + text);
    notifyListeners(this);
}

void CAudioParamRegistry::activatePresetObject(const CAudioPreset& preset, CAudioParamUndoRecord* undo,
                                               bool withPersistent, int group) {
    // The name is taken first: the preset may be the current program's own, which a change of the
    // preset-name parameter renames.
    const CString name = preset.getName();
    applyPreset(preset.getEntries(), false, withPersistent, CAudioParamContext{undo, nullptr, false}, group, -1,
                false);
    setProgramName(name, false, true, true, this, undo, group < 0 ? 0 : group);
}

void CAudioParamRegistry::activateFactoryPreset(int index) {
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    const CAudioPreset* preset = mFactoryBank->getPreset(index);
    if (preset == nullptr) return;
    CAudioParamUndoRecord* step = newUndoStep("ROM preset activate");
    activatePresetObject(*preset, step, false, -1);
    submitUndoStep(step);
}

CError* CAudioParamRegistry::activateBank(CInputStream& in, bool withPersistent) {
    if (!mIsMaster)
        return newError("@talstr_CAudioParamRegistry_activateBank_NonMasterRegistry Loading a bank in a non-master "
                        "registry is an error.",
                        getFullName());
    CAudioPresetBank bank;
    if (CError* err = bank.load(in)) return traceError(err, getFullName());
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    const int n = std::min(bank.getCount(), mProgramBank->getCount());
    for (int j = 0; j < n; ++j)
        if (!isCompatibleName(bank.getPreset(j)->getName()))
            return newError("@talstr_CAudioParamRegistry_activateBank_IncompatibleBank Incompatible bank.", getFullName());
    for (int j = 0; j < n; ++j) {
        mProgramBank->getPreset(j)->copyFrom(*bank.getPreset(j));
        delete mProgramHistories[j];
        mProgramHistories[j] = nullptr;
    }
    if (mCurrentProgram < bank.getCount()) {
        if (mUndo != nullptr) mUndo->clearHistory();
        activatePresetObject(*mProgramBank->getPreset(mCurrentProgram), nullptr, withPersistent, -1);
    } else {
        notifyListeners(this);
    }
    return nullptr;
}

void CAudioParamRegistry::storeBankProgram() {
    CAudioPreset& current = *mProgramBank->getPreset(mCurrentProgram);
    current.clearEntries();
    std::lock_guard<CRecursiveMutex> mapLock(mMapLock);
    absorbPendingParams();
    for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n)) {
        CAudioParam* param = n->value;
        CAudioParamLock lock(param);
        if (!takesPart(*param, Use::kCapture)) continue;
        CByteBuffer state;
        param->saveState(state, &lock, -1);
        current.setEntry(n->key, state);
        // Persistent values are the same in every program of a written bank.
        if (param->getInfo()->isPersistent())
            for (int i = 0; i < mProgramBank->getCount(); ++i)
                if (i != mCurrentProgram) mProgramBank->getPreset(i)->setEntry(n->key, state);
    }
}

CError* CAudioParamRegistry::acquireBank(bool fromFactory, COutputStream& out) {
    if (!mIsMaster)
        return newError("@talstr_CAudioParamRegistry_acquireBank_NonMasterRegistry Acquiring bank in a non-master "
                        "registry is an error.",
                        getFullName());
    if (fromFactory) {
        if (CError* err = mFactoryBank->save(out)) return traceError(err, getFullName());
        return nullptr;
    }
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    storeBankProgram();
    if (CError* err = mProgramBank->save(out)) return traceError(err, getFullName());
    return nullptr;
}

void CAudioParamRegistry::setDefaultPreset(CInputStream& in) {
    if (!mIsMaster) return;
    CAudioPreset preset;
    if (CError* err = preset.load(in)) {
        delete err;
        return;
    }
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    applyPreset(preset.getEntries(), true, false, CAudioParamContext{}, -1, -1, false);
}

void CAudioParamRegistry::resetToDefaults() {
    if (!mIsMaster) return;
    CAudioParamUndoRecord* step = newUndoStep("Master reset");
    {
        CAudioParamContext context{step, nullptr, false};
        CApplyScope scope(*mCollector, mMapLock, context);
        absorbPendingParams();
        for (auto* n = mParams.first(); n != nullptr; n = decltype(mParams)::next(n)) {
            CAudioParamLock lock(n->value);
            if (n->value != mPresetNameParam && takesPart(*n->value, Use::kMasterReset))
                n->value->resetValues(-1, -1, &lock, context, false);
        }
        if (mPresetNameParam != nullptr && mPresetNameParam->getInfo() != nullptr)
            mPresetNameParam->resetValues(-1, -1, nullptr, context, false);
        if (mRoutingProvider != nullptr)
            mRoutingProvider->refreshRouting(context.undo, context.pending);
    }
    submitUndoStep(step);
}

void CAudioParamRegistry::updateShadowPreset() {
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    if (mShadowPreset == nullptr) mShadowPreset = new CAudioPreset();
    storePreset(*mShadowPreset, -1);
    if (mUndo != nullptr) mUndo->copyHistory(mShadowHistory);
}

void CAudioParamRegistry::exchangeShadowPreset() {
    if (!mIsMaster) return;
    std::lock_guard<CRecursiveMutex> presetLock(mPresetLock);
    if (mShadowPreset == nullptr) updateShadowPreset();
    CAudioPreset* live = new CAudioPreset();
    storePreset(*live, -1);
    activatePresetObject(*mShadowPreset, nullptr, false, -1);
    if (mUndo != nullptr) {
        CAudioParamUndoHistory* empty = nullptr;
        // The live history goes into `empty`, the shadow's becomes live; then `empty` is the new shadow.
        mUndo->swapHistory(empty, mShadowHistory);
        mShadowHistory = empty;
    }
    delete mShadowPreset;
    mShadowPreset = live;
}

// --- listeners ---

void CAudioParamRegistry::addListener(CAudioParamRegistryListener* listener) {
    listener->mRegistry = this;
    listener->setNotifier(&mNotifier, 0);
}

void CAudioParamRegistry::removeListener(CAudioParamRegistryListener* listener) {
    CUpdateListener* base = listener;
    if (base->notifier() == &mNotifier) base->detach();
}

void CAudioParamRegistry::notifyListeners(const void* sender) {
    CUpdateRecord record;
    record.sender = sender;
    mNotifier.notifyUpdate(&record);
}

} // namespace tal
