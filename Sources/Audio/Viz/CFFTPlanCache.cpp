#include "Audio/Viz/CFFTPlanCache.h"

#include "Core/CMemPool.h"
#include "Platform/CSpinLock.h"
#include "fft/FftDispatch.h"

namespace tal {

namespace {

// Flag 8: the forward transform is not scaled; the analyser's windows carry the scale.
constexpr std::int32_t kNoScaling = 8;

struct CPlanCache {
    CSpinLock lock;
    CFFTPlan* heads[kFFTPlanMaxOrder + 1] = {};
};

CPlanCache& planCache() {
    static CPlanCache cache;
    return cache;
}

std::uint8_t* allocBytes(std::int32_t bytes) {
    return bytes > 0 ? static_cast<std::uint8_t*>(poolAlloc(std::uint64_t(bytes))) : nullptr;
}

void freeBytes(std::uint8_t* block) noexcept {
    if (block != nullptr)
        poolFree(block);
}

void destroyPlan(CFFTPlan* plan) noexcept {
    freeBytes(plan->workMemory);
    freeBytes(plan->specMemory);
    delete plan;
}

} // namespace

void initFFTPlan(CFFTPlan* plan, std::int32_t order) {
    plan->order = order;
    plan->size = std::int32_t(1) << order;
    plan->inverseSize = 1.0 / double(plan->size);
    plan->spec = nullptr;
    plan->specMemory = nullptr;
    plan->workMemory = nullptr;
    std::int32_t specSize = 0;
    std::int32_t initSize = 0;
    std::int32_t workSize = 0;
    if (realFFTGetSize(order, kNoScaling, 1, &specSize, &initSize, &workSize) != 0)
        return;
    std::uint8_t* initBuffer = allocBytes(initSize);
    plan->specMemory = allocBytes(specSize);
    plan->workMemory = allocBytes(workSize);
    RealFFTSpec* spec = nullptr;
    if (realFFTInit(&spec, order, kNoScaling, 1, plan->specMemory, initBuffer) == 0)
        plan->spec = spec;
    freeBytes(initBuffer);
}

CFFTPlan* acquireFFTPlan(std::int32_t order) {
    if (order < 0 || order > kFFTPlanMaxOrder)
        return nullptr;
    CPlanCache& cache = planCache();
    {
        CSpinLockGuard guard(cache.lock);
        if (CFFTPlan* plan = cache.heads[order]) {
            cache.heads[order] = plan->next;
            plan->next = nullptr;
            return plan;
        }
    }
    auto* plan = new CFFTPlan;
    initFFTPlan(plan, order);
    return plan;
}

void releaseFFTPlan(CFFTPlan* plan) noexcept {
    if (plan == nullptr)
        return;
    CPlanCache& cache = planCache();
    CSpinLockGuard guard(cache.lock);
    plan->next = cache.heads[plan->order];
    cache.heads[plan->order] = plan;
}

void releaseFFTPlanCache() noexcept {
    CPlanCache& cache = planCache();
    CFFTPlan* taken[kFFTPlanMaxOrder + 1];
    {
        CSpinLockGuard guard(cache.lock);
        for (int order = 0; order <= kFFTPlanMaxOrder; ++order) {
            taken[order] = cache.heads[order];
            cache.heads[order] = nullptr;
        }
    }
    for (CFFTPlan* plan : taken) {
        while (plan != nullptr) {
            CFFTPlan* next = plan->next;
            destroyPlan(plan);
            plan = next;
        }
    }
}

int cachedFFTPlanCount(std::int32_t order) noexcept {
    if (order < 0 || order > kFFTPlanMaxOrder)
        return 0;
    CPlanCache& cache = planCache();
    CSpinLockGuard guard(cache.lock);
    int count = 0;
    for (CFFTPlan* plan = cache.heads[order]; plan != nullptr; plan = plan->next)
        ++count;
    return count;
}

} // namespace tal
