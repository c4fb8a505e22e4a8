#include "Audio/Processes/CAudioModule.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/Processes/CAudioModuleHost.h"
#include "Audio/Processes/CAudioTerminalBinding.h"
#include "Core/CMemPool.h"
#include "Core/CString.h"
#include "Core/Log.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tal {

CAudioModule::~CAudioModule() {
    if (flagSlots != mInlineFlagSlots)
        poolFree(flagSlots);
}

void CAudioModule::setFlagSlotCount(int count) {
    if (count < 0)
        count = 0;
    if (flagSlots != mInlineFlagSlots)
        poolFree(flagSlots);
    flagSlots = count > kInlineFlagSlots ? static_cast<std::uint8_t**>(poolAlloc(sizeof(std::uint8_t*) * count))
                                         : mInlineFlagSlots;
    std::memset(static_cast<void*>(flagSlots), 0, sizeof(std::uint8_t*) * (count > kInlineFlagSlots ? count : kInlineFlagSlots));
    flagSlotCount = count;
}

void CAudioModule::setAllChangedBytes(std::uint8_t value) noexcept {
    // A key that this module does not use has no slot: nothing to write for it.
    for (int k = 0; k < flagSlotCount; ++k)
        if (flagSlots[k] != nullptr)
            *flagSlots[k] = value;
}

void CAudioModule::bindKey(int key, std::uint8_t* changed, const CAudioParamStorage** store) {
    if (key >= 0 && key < flagSlotCount)
        flagSlots[key] = changed;
    regModuleParam(owner, key, store);
}

void CAudioModule::regModuleParam(const CAudioModuleHost* host, int key, const CAudioParamStorage** out) {
    if (host != nullptr) {
        int count = 0;
        const CAudioTerminalBinding* bindings = host->moduleBindings(count);
        for (int i = 0; i < count; ++i) {
            if (bindings[i].key == key) {
                *out = bindings[i].store;
                return;
            }
        }
    }
    char message[1024];
    std::snprintf(message, sizeof message, "regModuleParam error %i", key);
    const CString name = host != nullptr ? host->moduleHostName().narrowed() : CString();
    if (name.isEmpty()) {
        writeLog(message, true);
        return;
    }
    char line[1280];
    std::snprintf(line, sizeof line, "%s // %s", message, name.chars8());
    writeLog(line, true);
}

bool CAudioModule::hasValues(const CAudioParamStorage* store) noexcept {
    return store != nullptr && store->isFormatSet();
}

double CAudioModule::read(const CAudioParamStorage* store, double fallback) const noexcept {
    return CAudioProcessBase::readParamValue(store, std::int32_t(group), std::int32_t(element), fallback);
}

std::int64_t CAudioModule::toInteger(double value) noexcept {
    const double r = value < 0.0 ? -std::floor(0.5 - value) : std::floor(value + 0.5);
    // Values beyond the integer range (and NaN) clamp instead of overflowing the conversion.
    if (!(r > -9.2e18))
        return r != r ? 0 : INT64_MIN;
    if (r > 9.2e18)
        return INT64_MAX;
    return static_cast<std::int64_t>(r);
}

double* CAudioModule::newBlock() const noexcept {
    return blockPool->allocBlock(int(sizeof(double)) * blockLength);
}

void CAudioModule::passInput(int i) noexcept {
    double* block = inputBlock(i);
    CAudioBlockPool::addUse(block);
    outputs[i].block = block;
}

} // namespace tal
