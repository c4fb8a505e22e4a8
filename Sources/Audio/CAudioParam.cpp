#include "Audio/CAudioParam.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamFilter.h"
#include "Audio/CAudioParamOwner.h"
#include "Audio/CAudioParamRemapPair.h"
#include "Audio/CAudioParamSelector.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Audio/CAudioParamWatch.h"

#include <algorithm>
#include <cstdio>

namespace tal {

namespace {

// Short name for the change builder, which the value paths below call many times.
constexpr auto makeChange = &CAudioParamChange::make;

int componentsOf(const CAudioParamStorage& s) { return s.getDataType() == CAudioParamStorage::kTypeFloat ? s.getElementSize() : 1; }

// Elements of a storage's default row.
int defaultElements(const CAudioParamStorage& s) {
    const int comps = componentsOf(s);
    return comps > 0 ? s.getDefaultCount() / comps : 0;
}

} // namespace

CAudioParam::CAudioParam(CAudioParamCollector* collector, const CString& name) : mCollector(collector), mName(name) {}

CAudioParam::~CAudioParam() {
    closeNotifier();
}

void CAudioParam::applyChange(const CAudioParamChange& change, CAudioParamLock* outer,
                              const CAudioParamContext& context) {
    // A change beyond what any storage holds (a damaged message or state) goes no further: it would
    // size the gap fill below and reach the audio side and the listeners.
    if (!CAudioParamStorage::isWithinLimits(change)) return;
    CAudioParamLock holder(this, outer);

    if (change.group != CAudioParamChange::kFormatGroup && change.group >= 0 && mCurrent.isFormatSet() &&
        change.dataType == mCurrent.getDataType() && change.elementSize == mCurrent.getElementSize()) {
        const int n = mCurrent.getElementCount(change.group);
        if (change.firstElement > n) {
            applyGapFilled(change, n, &holder, context);
            return;
        }
    }

    if (context.undo != nullptr && mInfo != nullptr && (mInfo->isStorable() || mInfo->isPersistent())) {
        context.undo->captureBefore(mName, change.group, mCurrent, false);
        mCurrent.applyChange(change);
        context.undo->captureAfter(mName, change.group, mCurrent, false);
    } else {
        mCurrent.applyChange(change);
    }
    passOn(change, &holder, context, true);
}

void CAudioParam::passOn(const CAudioParamChange& change, CAudioParamLock* holder, const CAudioParamContext& context,
                         bool selectorHook) {
    if (context.pending != nullptr)
        context.pending->addChange(this, change);
    else
        mCollector->postChange(this, change, context.audioSide);

    if (selectorHook && mSelector != nullptr)
        mSelector->onSelectorChange(change, context);

    CAudioParamUpdateInfo info;
    info.sender = change.sender;
    info.param = this;
    info.change = &change;
    info.holder = holder;
    info.context = context;
    notifyUpdate(&info);

    // By index: a filter may attach or detach filters of this parameter while it runs.
    for (int i = 0; i < mFilters.count(); ++i)
        mFilters[i]->onSourceChange(holder, change, context);
}

void CAudioParam::applyGapFilled(const CAudioParamChange& change, int n, CAudioParamLock* holder,
                                 const CAudioParamContext& context) {
    const bool items = change.dataType != CAudioParamStorage::kTypeFloat;
    const int es = items ? 1 : change.elementSize;
    const int gap = change.firstElement - n;
    const int count = change.count + gap;

    CArray<double> values;  // 8 doubles inline
    values.setCount(count * es);
    CAudioParamData table;
    if (items) {
        if (change.table != nullptr)
            table.assign(*change.table);
        for (int i = 0; i < gap; ++i)
            values[i] = table.copyItem(int(mCurrent.getDefault(n + i, 0)), mCurrent.getData(), change.dataType);
        for (int i = 0; i < change.count; ++i)
            values[gap + i] = change.values[i];
    } else {
        for (int i = 0; i < gap; ++i)
            for (int c = 0; c < es; ++c)
                values[i * es + c] = mCurrent.getDefault(n + i, c);
        for (int i = 0; i < change.count * es; ++i)
            values[gap * es + i] = change.values[i];
    }
    CAudioParamChange filled = change;
    filled.firstElement = n;
    filled.count = count;
    filled.values = values.data();
    filled.table = items ? &table : change.table;
    applyChange(filled, holder, context);
}

void CAudioParam::setValue(int group, const void* sender, CAudioParamLock* outer, double value) {
    CAudioParamLock holder(this, outer);
    if (!mCurrent.isFormatSet() || mCurrent.getDataType() != CAudioParamStorage::kTypeFloat)
        return;
    CAudioParamChange change;
    change.group = group;
    change.firstElement = 0;
    change.count = 1;
    change.truncate = true;
    change.sender = sender != nullptr ? sender : this;
    change.takeFormat(mCurrent);
    change.values = &value;
    change.table = &mCurrent.getData();
    applyChange(change, &holder, CAudioParamContext{});
}

void CAudioParam::applyItemChange(int group, int element, double id, const CAudioParamData& table, const void* sender,
                                  CAudioParamLock& holder, const CAudioParamContext& context) {
    CAudioParamChange change;
    change.group = group;
    change.firstElement = element;
    change.count = 1;
    change.sender = sender != nullptr ? sender : this;
    change.elementSize = mInfo->getElementSize();
    change.dataType = mInfo->getDataType();
    change.singleGroup = mInfo->isSingleGroup();
    change.singleElement = mInfo->isSingleElement();
    change.values = &id;
    change.table = &table;
    applyChange(change, &holder, context);
}

void CAudioParam::setString(int group, int element, const CString& text, const void* sender, CAudioParamLock* outer,
                            const CAudioParamContext& context) {
    CAudioParamLock holder(this, outer);
    if (mInfo == nullptr || mInfo->getDataType() != CAudioParamStorage::kTypeString)
        return;
    CAudioParamData table;
    const double id = table.addString(text);
    applyItemChange(group, element, id, table, sender, holder, context);
}

CString CAudioParam::getString(int group, int element) const {
    if (!mCurrent.isFormatSet() || mCurrent.getDataType() != CAudioParamStorage::kTypeString || element < 0)
        return CString();
    const double id = element < mCurrent.getElementCount(group) ? mCurrent.getValues(group)[element]
                                                                 : mCurrent.getDefault(element, 0);
    return mCurrent.getData().getString(int(id));
}

void CAudioParam::setInfo(const CAudioParamInfo* info, CAudioParamLock* outer, const CAudioParamContext& context) {
    CAudioParamLock holder(this, outer);
    if (info == nullptr)
        return;
    if (mInfo != nullptr && mInfo->getName() == info->getName() && mInfo->getElementSize() == info->getElementSize() &&
        mInfo->getDataType() == info->getDataType() && mInfo->isSingleGroup() == info->isSingleGroup() &&
        mInfo->isSingleElement() == info->isSingleElement())
        return;
    mInfo = info;
    mSelector = nullptr;
    if (!info->getParamRegistry().isEmpty() && info->getElementSize() == 1 &&
        info->getDataType() == CAudioParamStorage::kTypeFloat)
        mSelector = dynamic_cast<CAudioParamSelector*>(mCollector->findObject(info->getParamRegistry()));
    const CAudioParamStorage& defs = info->getDefaultValues();
    const CAudioParamContext noUndo{nullptr, context.pending, context.audioSide};
    for (int g = 0; g < defs.getGroupCount(); ++g) {
        CAudioParamChange change;
        change.group = g == 0 ? CAudioParamChange::kFormatGroup : g;
        change.firstElement = 0;
        change.count = defs.getElementCount(g);
        change.truncate = true;
        change.sender = this;
        change.takeFormat(defs);
        change.values = defs.getValues(g);
        change.table = &defs.getData();
        applyChange(change, &holder, noUndo);
        mDefaults.applyChange(change);
    }
}

void CAudioParam::setRaw(int group, int element, CByteBuffer& block, const void* sender, CAudioParamLock* outer,
                         const CAudioParamContext& context) {
    CAudioParamLock holder(this, outer);
    CAudioParamData table;
    const double id = table.addRaw(block);
    if (mInfo == nullptr || mInfo->getDataType() != CAudioParamStorage::kTypeRaw)
        return;
    applyItemChange(group, element, id, table, sender, holder, context);
}

void CAudioParam::resetValues(int group, int element, CAudioParamLock* outer, const CAudioParamContext& context,
                              bool useFirstDefault) {
    CAudioParamLock holder(this, outer);
    if (mInfo == nullptr || group >= mCurrent.getGroupCount())
        return;
    const int comps = componentsOf(mCurrent);
    auto resetGroup = [&](int g) {
        const int n = mDefaults.getElementCount(g);
        applyChange(makeChange(g, 0, n, true, this, mDefaults, mDefaults.getValues(g), &mDefaults.getData()), &holder,
                    context);
    };
    if (group < 0) {
        const int groups = std::max(mCurrent.getGroupCount(), mDefaults.getGroupCount());
        for (int g = 0; g < groups; ++g)
            resetGroup(g);
        return;
    }
    if (element < 0) {
        resetGroup(group);
        return;
    }
    CArray<double> value;
    value.setCount(comps);
    for (int i = mCurrent.getElementCount(group); i < element; ++i) {
        for (int c = 0; c < comps; ++c)
            value[c] = mCurrent.getDefault(i, c);
        applyChange(makeChange(group, i, 1, false, this, mCurrent, value.data(), &mCurrent.getData()), &holder, context);
    }
    const int sourceGroup = useFirstDefault ? 0 : group;
    const int sourceElement = useFirstDefault ? 0 : element;
    if (sourceElement < mDefaults.getElementCount(sourceGroup)) {
        const double* v = mDefaults.getValues(sourceGroup) + std::size_t(sourceElement) * componentsOf(mDefaults);
        applyChange(makeChange(group, element, 1, false, this, mDefaults, v, &mDefaults.getData()), &holder, context);
        return;
    }
    for (int c = 0; c < comps; ++c)
        value[c] = mCurrent.getDefault(sourceElement, c);
    applyChange(makeChange(group, element, 1, false, this, mCurrent, value.data(), &mCurrent.getData()), &holder,
                context);
}

void CAudioParam::setToDefaults(int group, int element, bool truncate, CAudioParamLock* outer,
                                const CAudioParamContext& context) {
    CAudioParamLock holder(this, outer);
    if (mInfo == nullptr)
        return;
    const int rowElements = defaultElements(mCurrent);
    // The default row is copied first: a change of group 0 may rewrite the storage it lives in.
    CArray<double> row;
    row.setCount(mCurrent.getDefaultCount());
    for (int i = 0; i < row.count(); ++i)
        row[i] = mCurrent.getDefaultRow()[i];
    if (group == CAudioParamChange::kFormatGroup) {
        const CAudioParamStorage& defs = mInfo->getDefaultValues();
        const int defElements = defs.getElementCount(0);
        if (element < 0) {
            applyChange(makeChange(group, 0, defElements, true, this, defs, defs.getValues(0), &defs.getData()),
                        &holder, context);
        } else if (element == 0) {
            applyChange(makeChange(group, 0, std::min(defElements, 1), true, this, defs, defs.getValues(0),
                                   &defs.getData()),
                        &holder, context);
        } else if (element == rowElements && defElements > 0) {
            const int source = element < defElements ? element : 0;
            applyGrownFormat(defs, defs.getValues(0) + std::size_t(source) * componentsOf(defs), &holder, context);
        } else {
            logUnexpected("Unexpected Element %i (expected %i), param '%s'.", element, rowElements);
        }
        return;
    }
    if (group < 0) {
        const int groups = std::max(mCurrent.getGroupCount(), 1);
        for (int g = 0; g < groups; ++g)
            applyChange(makeChange(g, 0, g == 0 ? rowElements : 0, true, this, mCurrent, row.data(), &mCurrent.getData()),
                        &holder, context);
        return;
    }
    if (element < 0) {
        applyChange(makeChange(group, 0, group == 0 ? rowElements : 0, true, this, mCurrent, row.data(),
                               &mCurrent.getData()),
                    &holder, context);
        return;
    }
    if (rowElements > 0)
        applyChange(makeChange(group, element, 1, truncate, this, mCurrent, row.data(), &mCurrent.getData()), &holder,
                    context);
}

void CAudioParam::applyGrownFormat(const CAudioParamStorage& source, const double* element, CAudioParamLock* holder,
                                   const CAudioParamContext& context) {
    const int comps = componentsOf(mCurrent);
    const int rowElements = defaultElements(mCurrent);
    CArray<double> values;
    values.setCount((rowElements + 1) * comps);
    for (int i = 0; i < rowElements * comps; ++i)
        values[i] = mCurrent.getDefaultRow()[i];
    // A format change clears the storage's own table before it reads the row: items go through a copy.
    CAudioParamData table;
    table.assign(mCurrent.getData());
    if (mCurrent.getDataType() != CAudioParamStorage::kTypeFloat)
        values[rowElements] = table.copyItem(int(element[0]), source.getData(), mCurrent.getDataType());
    else
        for (int c = 0; c < comps; ++c)
            values[rowElements * comps + c] = element[c];
    applyChange(makeChange(CAudioParamChange::kFormatGroup, 0, rowElements + 1, true, this, mCurrent, values.data(),
                           &table),
                holder, context);
}

void CAudioParam::logUnexpected(const char* pattern, int element, int expected) const {
    char message[1024];
    std::snprintf(message, sizeof message, pattern, element, expected, mName.narrowed().chars8());
    if (mName.isEmpty()) {
        writeLog(message, true);
        return;
    }
    char line[1280];
    std::snprintf(line, sizeof line, "%s // %s", message, mName.narrowed().chars8());
    writeLog(line, true);
}

bool CAudioParam::bindDefinition(std::span<const CAudioParamRemapPair> remaps, CAudioParamLock* outer,
                                 const CAudioParamContext& context) {
    CAudioParamLock holder(this, outer);
    if (mInfo != nullptr)
        return true;
    CObject* shared = CObject::sharedObject();
    if (shared == nullptr)
        return false;
    for (const CAudioParamRemapPair& pair : remaps) {
        if (pair.orig.length() > mName.length() || CString(mName, 0, pair.orig.length()) != pair.orig)
            continue;
        CString name(pair.replacement);
        name.appendSub(mName, pair.orig.length(), -1);
        if (auto* def = dynamic_cast<CAudioParamDef*>(shared->findObject(name))) {
            setInfo(&def->getInfo(), &holder, context);
            return true;
        }
    }
    return false;
}

void CAudioParam::markOwnerPresetsUser(CAudioParamLock* holder, int group, CAudioParamUndoRecord* undo) {
    CAudioParamLock own(this, holder);
    if (mInfo == nullptr)
        return;
    CArray<CAudioParamOwner*> owners;
    {
        std::lock_guard<CRecursiveMutex> guard(mOwnerMutex);
        owners = mOwners;
    }
    for (CAudioParamOwner* owner : owners) {
        if (!mInfo->isStorable() && !(owner->isGlobalParamStorable() && mInfo->isGlobal()))
            continue;
        CAudioParam* nameParam = owner->getPresetNameParam();
        if (nameParam == nullptr)
            continue;
        CAudioParamLock nameLock(nameParam, nameParam == this ? &own : nullptr);
        const CAudioParamStorage& current = nameParam->mCurrent;
        if (!current.isFormatSet() || current.getDataType() != CAudioParamStorage::kTypeString)
            continue;
        if (nameParam->getString(group, 0) == CString("User"))
            continue;
        CAudioParamData table;
        const double id = table.addString(CString("User"));
        nameParam->applyChange(makeChange(group, 0, 1, false, this, current, &id, &table), &nameLock,
                               CAudioParamContext{undo, nullptr, false});
    }
}

void CAudioParam::saveState(CByteBuffer& out, CAudioParamLock* outer, int group) {
    CAudioParamLock holder(this, outer);
    if (mInfo == nullptr)
        return;
    CWriteSeqBuffer buffer;
    CError* err = buffer.writeString(mInfo->getName());
    if (err == nullptr)
        err = mCurrent.save(buffer, group);
    if (err != nullptr) {
        err = traceError(err, mName);
        logError(err);
        delete err;
    }
    buffer.moveTo(out);
}

CError* CAudioParam::loadState(const void* data, int size, CAudioParamLock* outer, bool asDefaults,
                               const CAudioParamContext& context, int group, int element, bool truncate) {
    CAudioParamLock holder(this, outer);
    if (mInfo == nullptr)
        return nullptr;
    CMemoryReader reader(data, size);
    CString definitionName;
    if (CError* err = reader.readString(definitionName)) return traceError(err, mName);
    if (asDefaults) {
        if (CError* err = mDefaults.load(reader)) return traceError(err, mName);
        mDefaults.clampToRange(*mInfo);
        return nullptr;
    }
    if (group < 0)
        return loadWhole(reader, &holder, context);
    return loadPart(reader, &holder, context, group, element, truncate);
}

CError* CAudioParam::loadWhole(CInputStream& in, CAudioParamLock* holder, const CAudioParamContext& context) {
    // Loaded beside the current values and swapped in only on success, so that a damaged record
    // leaves the values, the audio side, the listeners and the undo record as they were.
    CAudioParamStorage loaded;
    loaded.assign(mCurrent);
    if (CError* err = loaded.load(in)) return traceError(err, mName);
    loaded.clampToRange(*mInfo);

    const int oldCount = mCurrent.getGroupCount();
    const int newCount = loaded.getGroupCount();
    CAudioParamUndoRecord* undo = context.undo;
    if (undo != nullptr)
        for (int g = 0; g < oldCount; ++g)
            undo->captureBefore(mName, g, mCurrent, false);
    mCurrent.swap(loaded);
    if (undo != nullptr) {
        for (int g = oldCount; g < newCount; ++g)
            undo->captureBefore(mName, g, mCurrent, true);
        for (int g = 0; g < newCount; ++g)
            undo->captureAfter(mName, g, mCurrent, false);
        for (int g = newCount; g < oldCount; ++g)
            undo->captureAfter(mName, g, mCurrent, true);
    }
    for (int g = 0; g < newCount; ++g)
        passOn(makeChange(g, 0, mCurrent.getElementCount(g), true, this, mCurrent, mCurrent.getValues(g),
                          &mCurrent.getData()),
               holder, context, true);
    for (int g = newCount; g < oldCount; ++g)
        passOn(makeChange(g, 0, 0, true, this, mCurrent, nullptr, &mCurrent.getData()), holder, context, false);
    return nullptr;
}

CError* CAudioParam::loadPart(CInputStream& in, CAudioParamLock* holder, const CAudioParamContext& context, int group,
                              int element, bool truncate) {
    CAudioParamStorage loaded;
    loaded.setFormat(mInfo->getElementSize(), mInfo->getDataType(), mInfo->isSingleGroup(), mInfo->isSingleElement());
    if (CError* err = loaded.load(in)) return traceError(err, mName);
    loaded.clampToRange(*mInfo);
    const int count = loaded.getElementCount(0);
    if (count < 1) {
        setToDefaults(group, element, truncate, holder, context);
        return nullptr;
    }
    const double* values = loaded.getValues(0);
    const CAudioParamData* table = &loaded.getData();
    if (element < 0) {
        applyChange(makeChange(group, 0, count, true, this, loaded, values, table), holder, context);
    } else if (group != CAudioParamChange::kFormatGroup) {
        applyChange(makeChange(group, element, 1, truncate, this, loaded, values, table), holder, context);
    } else if (element == 0) {
        applyChange(makeChange(group, 0, 1, true, this, loaded, values, table), holder, context);
    } else if (element == defaultElements(mCurrent)) {
        applyGrownFormat(loaded, values, holder, context);
    } else {
        logUnexpected("Unexpected LoadElement %i (expected %i).", element, defaultElements(mCurrent));
    }
    return nullptr;
}

void CAudioParam::addFilter(CAudioParamFilter* filter, CAudioParamLock* outer) {
    CAudioParamLock holder(this, outer);
    mFilters.add(filter);
    if (mInfo == nullptr)
        return;
    const CAudioParamContext audio{nullptr, nullptr, true};
    const CAudioParamChange format = makeChange(CAudioParamChange::kFormatGroup, 0, defaultElements(mCurrent), true,
                                                this, mCurrent, mCurrent.getDefaultRow(), &mCurrent.getData());
    filter->onSourceChange(&holder, format, audio);
    for (int g = 0; g < mCurrent.getGroupCount(); ++g)
        filter->onSourceChange(&holder,
                               makeChange(g, 0, mCurrent.getElementCount(g), true, this, mCurrent,
                                          mCurrent.getValues(g), &mCurrent.getData()),
                               audio);
}

void CAudioParam::removeFilter(CAudioParamFilter* filter, CAudioParamLock* outer) {
    CAudioParamLock holder(this, outer);
    mFilters.remove(filter);
}

void CAudioParam::addOwner(CAudioParamOwner* owner) {
    std::lock_guard<CRecursiveMutex> guard(mOwnerMutex);
    if (mOwners.indexOf(owner) < 0)
        mOwners.add(owner);
}

void CAudioParam::removeOwner(CAudioParamOwner* owner) {
    std::lock_guard<CRecursiveMutex> guard(mOwnerMutex);
    mOwners.remove(owner);
}

void CAudioParam::addListener(CAudioParamListener* listener) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    listener->setNotifier(this, 0);
}

void CAudioParam::removeListener(CAudioParamListener* listener) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    CUpdateListener* base = listener;
    if (base->notifier() == this)
        base->detach();
}

CAudioParamWatch* CAudioParam::addChangeWatch(const CAudioParamStorage*& storage, bool* changed,
                                              std::uint32_t* groupMask, int group, int element) {
    CSpinLockGuard guard(mCollector->watchLock());
    CAudioParamWatch* w = mCollector->allocWatch();
    w->param = this;
    w->changed = changed;
    w->groupMask = groupMask;
    w->group = group;
    w->element = element;
    w->prev = mWatchTail;
    w->next = nullptr;
    if (mWatchTail != nullptr)
        mWatchTail->next = w;
    else
        mWatchHead = w;
    mWatchTail = w;
    if (groupMask != nullptr) {
        std::uint32_t mask = 0;
        if (mAudioSide.isFormatSet()) {
            const int n = mAudioSide.getGroupCount();
            if (group == -1)
                mask = n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1u;
            else if (group >= 0 && group < n)
                mask = 1u << (unsigned(group) % 32u);
        }
        *groupMask = mask;
    }
    storage = &mAudioSide;
    return w;
}

void CAudioParam::removeChangeWatch(CAudioParamWatch* watch) {
    CSpinLockGuard guard(mCollector->watchLock());
    if (watch->prev != nullptr)
        watch->prev->next = watch->next;
    else
        mWatchHead = watch->next;
    if (watch->next != nullptr)
        watch->next->prev = watch->prev;
    else
        mWatchTail = watch->prev;
    mCollector->freeWatch(watch);
}

void CAudioParam::applyAudioSide(const CAudioParamChange& change) {
    mAudioSide.applyChange(change);
    CSpinLockGuard guard(mCollector->watchLock());
    for (CAudioParamWatch* w = mWatchHead; w != nullptr; w = w->next)
        if (w->matches(change))
            w->raise(change);
}

} // namespace tal
