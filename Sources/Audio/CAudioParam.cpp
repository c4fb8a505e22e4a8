#include "Audio/CAudioParam.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Audio/CAudioParamWatch.h"

namespace tal {

namespace {

// The format fields of a change taken from a storage.
void takeFormat(CAudioParamChange& change, const CAudioParamStorage& storage) {
    change.elementSize = storage.getElementSize();
    change.dataType = storage.getDataType();
    change.singleGroup = storage.isSingleGroup();
    change.singleElement = storage.isSingleElement();
}

} // namespace

CAudioParam::CAudioParam(CAudioParamCollector* collector, const CString& name) : mCollector(collector), mName(name) {}

CAudioParam::~CAudioParam() = default;

void CAudioParam::applyChange(const CAudioParamChange& change, CAudioParamLock* outer,
                              const CAudioParamContext& context) {
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

    if (context.pending != nullptr)
        context.pending->addChange(this, change);
    else
        mCollector->postChange(this, change, context.audioSide);

    CAudioParamUpdateInfo info{change.sender, this, &change, &holder, context};
    for (int i = 0; i < mListeners.count(); ++i)
        mListeners[i]->onParamChange(info);
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
    takeFormat(change, mCurrent);
    change.values = &value;
    change.table = &mCurrent.getData();
    applyChange(change, &holder, CAudioParamContext{});
}

void CAudioParam::setString(int group, int element, const CString& text, const void* sender, CAudioParamLock* outer,
                            const CAudioParamContext& context) {
    CAudioParamLock holder(this, outer);
    if (mInfo == nullptr || mInfo->getDataType() != CAudioParamStorage::kTypeString)
        return;
    CAudioParamData table;
    const double id = table.addString(text);
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
    const CAudioParamStorage& defs = info->getDefaultValues();
    const CAudioParamContext noUndo{nullptr, context.pending, context.audioSide};
    for (int g = 0; g < defs.getGroupCount(); ++g) {
        CAudioParamChange change;
        change.group = g == 0 ? CAudioParamChange::kFormatGroup : g;
        change.firstElement = 0;
        change.count = defs.getElementCount(g);
        change.truncate = true;
        change.sender = this;
        takeFormat(change, defs);
        change.values = defs.getValues(g);
        change.table = &defs.getData();
        applyChange(change, &holder, noUndo);
        mDefaults.applyChange(change);
    }
}

void CAudioParam::addListener(CAudioParamListener* listener) {
    std::lock_guard<std::recursive_mutex> guard(mMutex);
    mListeners.add(listener);
}

void CAudioParam::removeListener(CAudioParamListener* listener) {
    std::lock_guard<std::recursive_mutex> guard(mMutex);
    mListeners.remove(listener);
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
