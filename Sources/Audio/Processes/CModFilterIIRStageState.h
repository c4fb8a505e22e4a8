#pragma once

#include "Audio/Filters/CDCDAWFilterRoutines.h"

namespace tal {

// The running state of one stage of the IIR cascade: a state block from the instance's block pool
// (the record holds one use of it) and the routine set that initialises, morphs and runs it.
struct CModFilterIIRStageState {
    double* stateBlock = nullptr;
    CDCDAWFilterRoutines routines;

    bool sameRoutines(const CDCDAWFilterRoutines& other) const noexcept {
        return routines.init == other.init && routines.update == other.update &&
               routines.process == other.process && routines.stateBytes == other.stateBytes;
    }
};

} // namespace tal
