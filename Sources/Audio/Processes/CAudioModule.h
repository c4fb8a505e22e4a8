#pragma once

#include <cstdint>

#include "Audio/CAudioChannelDesc.h"
#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"

namespace tal {

class CAudioBlockPool;
class CAudioModuleHost;
class CAudioParamStorage;
class CDCDAWContext;

// The processing unit a terminal hosts for one channel set (one channel, or all channels of a
// terminal whose definition asks for one module). The terminal creates it, calls bindParams once,
// fills the channel fields and calls init each time the module enters a slot, update before a
// block when the update-needed flag is set (then clears that flag, inputs changed and every
// changed byte), process every block after setting the block length, reset on its own reset.
// Modules know their parameters only by allocation key.
//
// Audio thread (or the thread that starts and stops processing while no block runs); no locks
// except the seed counter's spin lock when a module seeds its noise generator.
class CAudioModule : public CCheckedObject, public CPoolAllocated {
public:
    static constexpr int kInlineFlagSlots = 8;
    static constexpr int kMaxChannels = 16;

    CAudioModule() = default;
    CAudioModule(const CAudioModule&) = delete;
    CAudioModule& operator=(const CAudioModule&) = delete;
    ~CAudioModule() override;

    // --- operations the terminal calls ---
    virtual void init() {}
    virtual void reset() {}
    virtual void update() {}
    // Leaves, for each output descriptor, a block that carries one use for the terminal: an input
    // block with one more use, or a new block of blockLength samples from the pool.
    virtual void process() = 0;
    virtual void bindParams() {}

    // --- flag slots ---
    // Sizes the flag-slot table (largest key + 1 entries, all null).
    void setFlagSlotCount(int count);
    // Sets the changed byte of every key that has a slot to value.
    void setAllChangedBytes(std::uint8_t value) noexcept;

    // --- reading bound values ---
    // Stores the value store bound under key in *out; without such a binding *out stays as it is
    // and one "regModuleParam error" line is logged.
    static void regModuleParam(const CAudioModuleHost* host, int key, const CAudioParamStorage** out);
    // Whether the store holds values at all.
    static bool hasValues(const CAudioParamStorage* store) noexcept;
    // Integer of a parameter value: halves away from zero.
    static std::int64_t toInteger(double value) noexcept;
    // A boolean parameter is on when its value is not below 0.5.
    static bool isOn(double value) noexcept { return !(value < 0.5); }

    // This module's value of a store for its group and element (CAudioProcessBase::readParamValue):
    // fallback, the module's own default, when the store holds no values.
    double read(const CAudioParamStorage* store, double fallback) const noexcept;
    // The block of input channel i.
    double* inputBlock(int i) const noexcept { return inputTable[i]->block; }
    // A new block of blockLength samples (use count 1).
    double* newBlock() const noexcept;
    // Passes input channel i on as output i (one more use).
    void passInput(int i) noexcept;

    // --- fields the terminal fills (see the class comment) ---
    CAudioModuleHost* owner = nullptr;
    CDCDAWContext* context = nullptr;        // the instance's signal-routine context
    CAudioBlockPool* blockPool = nullptr;
    std::uint32_t group = 0;
    std::int32_t channelSlot = -1;           // the channel served; -1 for a whole-terminal module
    std::uint32_t element = 0;
    std::int32_t flagSlotCount = 0;
    std::uint8_t** flagSlots = mInlineFlagSlots;
    bool inputsChanged = false;
    bool updateNeeded = false;
    CAudioChannelDesc* const* inputTable = nullptr;
    std::int32_t inputCount = 0;
    CAudioChannelDesc outputs[kMaxChannels] = {};
    std::int32_t outputCount = 0;
    double sampleRate = 44100.0;
    std::int32_t latency = 0;
    std::int32_t blockLength = 0;

protected:
    // Registers a changed byte for key (ignored when the key has no slot) and binds the key's store.
    void bindKey(int key, std::uint8_t* changed, const CAudioParamStorage** store);

private:
    std::uint8_t* mInlineFlagSlots[kInlineFlagSlots] = {};
};

} // namespace tal
