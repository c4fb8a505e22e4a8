#pragma once

#include "Audio/Filters/BiquadShape.h"
#include "Audio/Filters/CAudioFilterStageList.h"
#include "Audio/Filters/CAudioFilterValues.h"
#include "Audio/Processes/CAudioModule.h"
#include "Audio/Processes/CModFilterIIRStageState.h"
#include "Core/CString.h"

namespace tal {

struct CBiquadState;
class CAudioFilterGen;
class CAudioFilterGenArray;

// The IIR filter cascade: the module of one equaliser band for one channel. Key 0 ("index")
// selects a designer from the definition's designer array ("gen-array"); the other allocated
// values (freq, gain, bw in the product, in key order) feed it. A change of a value redesigns and
// the running stages morph to the new coefficients; a change of index discards the stages and
// starts the new design from silent state. A design that yields no stage (a frequency above half
// the sample rate) leaves the cascade running on its previous coefficients.
//
// After each update the state records match the current design one for one: a record whose
// routine set differs from its stage's is re-created, and records beyond the stage count are
// dropped. Audio thread; designing allocates nothing but pooled blocks.
class CModFilterIIRModule : public CAudioModule {
public:
    enum : int { kKeyIndex = 0 };
    static constexpr int kMaxValues = CAudioFilterValueMap::kCapacity;
    static constexpr int kMaxStages = CAudioFilterStageList::kCapacity;

    CModFilterIIRModule() = default;
    ~CModFilterIIRModule() override;

    // --- operations the terminal calls ---
    // First call: resolves "gen-array" and binds the value parameters. Every call discards the design.
    void init() override;
    // Re-initialises every stage's state from the current design (silent state, no morph).
    void reset() override;
    // Discards the design after an input change, then re-reads the parameters and redesigns when
    // they changed.
    void update() override;
    void process() override;
    void bindParams() override;

    // --- paired processing ---
    // Whether two modules run the same routines stage by stage, so that they can be processed
    // side by side in one pass (two channels of one band).
    bool canPairWith(const CModFilterIIRModule& other) const noexcept;
    // Processes two pairable modules (same context, same block length); the results equal two
    // process calls.
    static void processPair(CModFilterIIRModule& a, CModFilterIIRModule& b) noexcept;
    // Runs the stages of bands pairs of modules in series (band i of the first channel is a[i], of
    // the second b[i]) as one cascade from the inputs of a[0] and b[0] into new output blocks of
    // a[0] and b[0], when every stage is a biquad, the two channels have the same shapes and there
    // are at least two stages, morphing or not; false (nothing done) otherwise. The results equal
    // running the modules one after the other.
    static bool runChainPair(CModFilterIIRModule* const* a, CModFilterIIRModule* const* b, int bands) noexcept;
    static constexpr int kMaxChainStages = 64;

    // --- side-by-side cascades ---
    // The states and shapes of the stages when every one is a biquad, else -1 (also when there are
    // more than capacity).
    int biquadStates(CBiquadState** states, BiquadShape* shapes, int capacity) const noexcept;
    // Whether every stage is a biquad, morphing or not (true without stages).
    bool runsBiquads() const noexcept;

    // --- queries ---
    int stateCount() const noexcept { return mStateCount; }
    const CModFilterIIRStageState& state(int i) const noexcept { return mStates[i]; }
    const CAudioFilterStageList& stages() const noexcept { return mStages; }
    int currentIndex() const noexcept { return mCurrentIndex; }
    const CAudioFilterGen* currentDesigner() const noexcept { return mDesigner; }
    const CAudioFilterGenArray* designerArray() const noexcept { return mGenArray; }
    int valueCount() const noexcept { return mValueCount; }

private:
    void discardDesign() noexcept;
    void refresh() noexcept;
    void redesign() noexcept;
    void bindValues();
    // A coefficient block for a stage (caller releases it).
    double* coefficientBlock(const CAudioFilterStage& stage) const noexcept;
    // Releases the state block of record i and gives it a new, initialised one for `stage`.
    void startState(int i, const CAudioFilterStage& stage, double* coefficients) noexcept;

    const CAudioParamStorage* mIndexStore = nullptr;
    std::uint8_t mIndexChanged = 0;
    bool mFirstInit = true;
    CAudioFilterValueMap mNames;
    CString mValueNames[kMaxValues];                 // the text behind mNames' views
    const CAudioFilterGenArray* mGenArray = nullptr;  // not owned
    const CAudioParamStorage* mValueStores[kMaxValues] = {};
    std::int32_t mValueCount = 0;
    std::uint8_t mValueChanged = 0;
    bool mRebuild = false;
    std::int32_t mCurrentIndex = 0;
    const CAudioFilterGen* mDesigner = nullptr;       // not owned
    double mCurrentValues[kMaxValues] = {};
    CModFilterIIRStageState mStates[kMaxStages];
    std::int32_t mStateCount = 0;
    CAudioFilterStageList mStages;                    // the design the state records run
};

} // namespace tal
