#pragma once

#include <cstdint>

#include "Core/CPoolAllocated.h"

namespace tal {

class CAudioParam;
struct CAudioParamChange;

// A process's interest in part of a parameter's audio-side values. The collector's pool owns the
// node; the parameter keeps it in its list until removeChangeWatch. Read and raised on the audio
// side under the collector's watch lock.
struct CAudioParamWatch {
    CAudioParam* param = nullptr;
    bool* changed = nullptr;
    std::uint32_t* groupMask = nullptr;
    std::int32_t group = -1;    // -1: every group
    std::int32_t element = -1;  // -1: every element
    CAudioParamWatch* prev = nullptr;
    CAudioParamWatch* next = nullptr;
    CAudioParamWatch* ownerNext = nullptr;  // the owner's own chain of watches

    // Whether a change reaching the audio-side storage concerns this watch.
    bool matches(const CAudioParamChange& change) const noexcept;
    // Sets the flag and overwrites the mask with the change's group bit (all bits for a format change).
    void raise(const CAudioParamChange& change) const noexcept;
};

} // namespace tal
