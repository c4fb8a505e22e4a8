#pragma once

#include "Audio/Processes/CAudioProcessTerminal.h"
#include "Audio/Processes/CModFilterIIRModule.h"
#include "Audio/Processes/CModuleDef.h"

namespace tal {

// The terminal of one equaliser band ("audio:modFilterIIR"): one CModFilterIIRModule per channel.
// Neighbouring modules of the run list that run the same routines (the two channels of a stereo
// band) are processed side by side in one pass; the results equal running them one by one.
//
// Bands in series (each band's only output feeding the next band, as a stack of bands is wired)
// whose stages are all biquads, steady or morphing, run as one cascade, sections side by side: the
// first band of the chain filters through every band's stages and hands on the finished blocks,
// and the following bands, whose parameters and state nothing changes before their turn, pass
// them through. A band without stages heads no chain (the next band that filters does). A
// following band with a parameter update waiting (host automation) runs that
// update when the chain reaches it: the update reads this sub-block's values, the same at either
// time. A band that crossfades, waits for a timed update or sees a format change breaks the chain
// and runs alone.
class CModFilterIIR final : public CAudioProcessTerminal<CModFilterIIRModule> {
public:
    static constexpr int kMaxChain = 32;

    // Whether the last block reached this band already filtered by the first band of its chain.
    bool ranInChain() const noexcept { return mRanInChain; }

protected:
    void runModules() noexcept override;

private:
    // The stereo pair of modules of this band (run list of two pairable modules without a
    // crossfade), or false.
    bool stereoPair(CModFilterIIRModule*& a, CModFilterIIRModule*& b) const noexcept;
    // Whether this band can take its input from `previous` (a, b) within a chain this block; runs
    // a waiting parameter update first.
    bool canFollow(const CModFilterIIRModule& a, const CModFilterIIRModule& b) noexcept;
    bool runChain() noexcept;
    bool takePreApplied() noexcept;
    // The environment's running time: the same for every band within one sub-block.
    double blockTime() const noexcept;

    // Set by the first band of a chain: the blocks that reach this band already filtered, and the
    // sub-block they belong to.
    bool mPreAppliedSet = false;
    double mPreAppliedTime = 0.0;
    const double* mPreApplied[2] = {};
    bool mRanInChain = false;
    bool mSkipChain = false;   // an earlier band found no chain worth running through this one
};
using CModFilterIIRDef = CModuleDef<CModFilterIIR>;

} // namespace tal
