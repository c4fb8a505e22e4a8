#pragma once

#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"

namespace tal {

class CAudioParam;
class CAudioParamCollector;
class CAudioParamFilterDef;
class CAudioParamInfo;
class CAudioParamLock;
class CAudioParamStorage;
class CError;
class CStringList;
struct CAudioParamChange;
struct CAudioParamContext;

// Derives the values of destination parameters from source parameters and keeps them up to date:
// the change path of every source runs the filter after a change was stored, handed off and
// notified, under the source's lock. Owned by the process that made it; the parameters belong to
// the collector.
//
// Locks: sources, then destinations, in list order, each through a parameter lock holder (the
// changed source's own holder is reused, never taken twice), released in reverse order.
class CAudioParamFilter : public CCheckedObject, public CPoolAllocated {
public:
    static constexpr int kMaxParams = 9;

    // What a rule sees of one parameter while the filter runs.
    struct Record {
        CAudioParam* param = nullptr;
        const CAudioParamInfo* info = nullptr;
        const CAudioParamStorage* current = nullptr;
        CAudioParamLock* holder = nullptr;
    };

    CAudioParamFilter() = default;
    // An active filter is taken off its sources first.
    ~CAudioParamFilter() override;
    CAudioParamFilter(const CAudioParamFilter&) = delete;
    CAudioParamFilter& operator=(const CAudioParamFilter&) = delete;

    // --- life cycle: main thread ---
    // Acquires the parameters by full name (remaps followed, created when missing). Errors when
    // fewer names than the rule needs or 10 and more are given.
    [[nodiscard]] CError* init(const CAudioParamFilterDef* def, CAudioParamCollector* collector,
                               const CStringList& sourceNames, const CStringList& destinationNames);
    // Attaches the filter to every source, which derives the destinations at once.
    void activate();

    // --- the change path: any thread, under the changed source's lock ---
    void onSourceChange(CAudioParamLock* holder, const CAudioParamChange& change, const CAudioParamContext& context);

    // --- the rule ---
    virtual int getSourceCount() const = 0;
    virtual int getDestinationCount() const = 0;
    // The general rule: element by element through filterElement.
    virtual void filterChange(const Record* sources, const Record* destinations, const CAudioParamChange& change,
                              const CAudioParamContext& context);
    // Writes one value per destination for the first k destinations and returns k; the base
    // produces none.
    virtual int filterElement(const Record* sources, int group, int element, double* values);

    // --- queries ---
    bool isActive() const { return mActive; }
    int sourceNameCount() const { return mSourceCount; }
    int destinationNameCount() const { return mDestinationCount; }
    CAudioParam* source(int i) const { return mSources[i]; }
    CAudioParam* destination(int i) const { return mDestinations[i]; }

protected:
    // A change of group 0 element 0 (or of the given group) of a destination, with one value, in the
    // destination's format, applied under its holder.
    static void applyOne(const Record& destination, int group, double value, const CAudioParamChange& source,
                         const CAudioParamContext& context);

private:
    bool mActive = false;
    const CAudioParamFilterDef* mDef = nullptr;
    CAudioParamCollector* mCollector = nullptr;
    int mSourceCount = 0;
    int mDestinationCount = 0;
    CAudioParam* mSources[kMaxParams] = {};
    CAudioParam* mDestinations[kMaxParams] = {};
};

} // namespace tal
