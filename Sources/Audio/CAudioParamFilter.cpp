#include "Audio/CAudioParamFilter.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamLock.h"
#include "Core/CError.h"
#include "Core/CStringList.h"

#include <algorithm>
#include <optional>

namespace tal {

namespace {

// The holders one run takes, released in reverse order of taking.
class CFilterLocks {
public:
    ~CFilterLocks() {
        for (int i = mCount - 1; i >= 0; --i)
            mLocks[i].reset();
    }
    // The holder for a parameter: the caller's own for the changed parameter, else a new one.
    CAudioParamLock* lock(CAudioParam* param, CAudioParamLock* callerHolder) {
        if (callerHolder != nullptr && callerHolder->getParam() == param)
            return callerHolder;
        mLocks[mCount].emplace(param);
        return &*mLocks[mCount++];
    }

private:
    std::optional<CAudioParamLock> mLocks[2 * CAudioParamFilter::kMaxParams];
    int mCount = 0;
};

} // namespace

CAudioParamFilter::~CAudioParamFilter() {
    if (!mActive)
        return;
    CFilterLocks locks;
    // Every acquired source: the rule's count is not available any more in the base destructor, and
    // a source the filter was never attached to has nothing to remove.
    for (int i = 0; i < mSourceCount; ++i)
        mSources[i]->removeFilter(this, locks.lock(mSources[i], nullptr));
}

CError* CAudioParamFilter::init(const CAudioParamFilterDef* def, CAudioParamCollector* collector,
                                const CStringList& sourceNames, const CStringList& destinationNames) {
    mDef = def;
    mCollector = collector;
    const int sources = sourceNames.count(), destinations = destinationNames.count();
    if (sources < getSourceCount())
        return newError("@talstr_CAudioParamFilter_init_NotEnoughSrcParams Not enough source parameters %1 defined in "
                        "the param filter (required %2).",
                        CString::emptyString, CString(sources), CString(getSourceCount()));
    if (sources > kMaxParams)
        return newError("@talstr_CAudioParamFilter_init_TooManySrcParams Too many source parameters %1 defined in the "
                        "param filter.",
                        CString::emptyString, CString(sources));
    if (destinations < getDestinationCount())
        return newError("@talstr_CAudioParamFilter_init_NotEnoughDstParams Not enough destination parameters %1 "
                        "defined in the param filter (required %2).",
                        CString::emptyString, CString(destinations), CString(getDestinationCount()));
    if (destinations > kMaxParams)
        return newError("@talstr_CAudioParamFilter_init_TooManyDstParams Too many destination parameters %1 defined "
                        "in the param filter.",
                        CString::emptyString, CString(destinations));
    for (int i = 0; i < sources; ++i)
        mSources[i] = collector->acquireParamRemapped(sourceNames[i]);
    for (int i = 0; i < destinations; ++i)
        mDestinations[i] = collector->acquireParamRemapped(destinationNames[i]);
    mSourceCount = sources;
    mDestinationCount = destinations;
    return nullptr;
}

void CAudioParamFilter::activate() {
    const int sources = std::min(getSourceCount(), mSourceCount);
    const int destinations = std::min(getDestinationCount(), mDestinationCount);
    CFilterLocks locks;
    CAudioParamLock* sourceLocks[kMaxParams];
    for (int i = 0; i < sources; ++i)
        sourceLocks[i] = locks.lock(mSources[i], nullptr);
    for (int i = 0; i < destinations; ++i)
        locks.lock(mDestinations[i], nullptr);
    for (int i = 0; i < sources; ++i)
        mSources[i]->addFilter(this, sourceLocks[i]);
    mActive = true;
}

void CAudioParamFilter::onSourceChange(CAudioParamLock* holder, const CAudioParamChange& change,
                                       const CAudioParamContext& context) {
    const int sources = std::min(getSourceCount(), mSourceCount);
    const int destinations = std::min(getDestinationCount(), mDestinationCount);
    Record sourceRecords[kMaxParams];
    Record destinationRecords[kMaxParams];
    CFilterLocks locks;
    auto fill = [&](Record& record, CAudioParam* param) {
        record.holder = locks.lock(param, holder);
        record.param = param;
        record.info = param->getInfo();
        record.current = &param->getCurrent();
        return record.current->isFormatSet();
    };
    for (int i = 0; i < sources; ++i)
        if (!fill(sourceRecords[i], mSources[i]))
            return;
    for (int i = 0; i < destinations; ++i)
        if (!fill(destinationRecords[i], mDestinations[i]))
            return;
    filterChange(sourceRecords, destinationRecords, change, context);
}

void CAudioParamFilter::filterChange(const Record* sources, const Record* destinations, const CAudioParamChange& change,
                                     const CAudioParamContext& context) {
    const int group = change.group == CAudioParamChange::kFormatGroup ? 0 : change.group;
    const int first = change.firstElement;
    int n = change.count;
    if (change.truncate)
        for (int i = 0; i < std::min(getSourceCount(), mSourceCount); ++i)
            n = std::max(n, sources[i].current->getElementCount(group) - first);
    const int destinationCount = std::min(getDestinationCount(), mDestinationCount);
    CArray<double> columns;
    columns.setCount(std::max(n, 0) * destinationCount);
    double values[kMaxParams];
    for (int e = 0; e < n; ++e) {
        const int k = std::clamp(filterElement(sources, group, first + e, values), 0, destinationCount);
        for (int d = 0; d < destinationCount; ++d) {
            const CAudioParamStorage& current = *destinations[d].current;
            columns[d * n + e] = d < k ? values[d]
                                       : (first + e < current.getElementCount(group)
                                              ? current.getValue(group, first + e, 0)
                                              : current.getDefault(first + e, 0));
        }
    }
    for (int d = 0; d < destinationCount; ++d) {
        const Record& dest = destinations[d];
        CAudioParamChange out;
        out.group = change.group;
        out.firstElement = first;
        out.count = std::max(n, 0);
        out.truncate = change.truncate;
        out.sender = change.sender;
        out.elementSize = dest.current->getElementSize();
        out.dataType = dest.current->getDataType();
        out.singleGroup = dest.current->isSingleGroup();
        out.singleElement = dest.current->isSingleElement();
        out.values = n > 0 ? columns.data() + d * n : nullptr;
        dest.param->applyChange(out, dest.holder, context);
    }
}

int CAudioParamFilter::filterElement(const Record*, int, int, double*) { return 0; }

void CAudioParamFilter::applyOne(const Record& destination, int group, double value, const CAudioParamChange& source,
                                 const CAudioParamContext& context) {
    CAudioParamChange out;
    out.group = group;
    out.firstElement = 0;
    out.count = 1;
    out.truncate = true;
    out.sender = source.sender;
    if (destination.info != nullptr) {
        out.elementSize = destination.info->getElementSize();
        out.dataType = destination.info->getDataType();
        out.singleGroup = destination.info->isSingleGroup();
        out.singleElement = destination.info->isSingleElement();
    } else {
        out.elementSize = destination.current->getElementSize();
        out.dataType = destination.current->getDataType();
        out.singleGroup = destination.current->isSingleGroup();
        out.singleElement = destination.current->isSingleElement();
    }
    out.values = &value;
    destination.param->applyChange(out, destination.holder, context);
}

} // namespace tal
