#include "Platform/CMainLoopTimers.h"

#include <atomic>

namespace tal {

namespace {
std::atomic<CMainLoopTimers*> gCurrentService{nullptr};
}

CMainLoopTimers* CMainLoopTimers::current() noexcept { return gCurrentService.load(std::memory_order_acquire); }

bool CMainLoopTimers::postCall(PostedCall, void*, std::int64_t) { return false; }

void CMainLoopTimers::setCurrent(CMainLoopTimers* service) noexcept {
    gCurrentService.store(service, std::memory_order_release);
}

} // namespace tal
