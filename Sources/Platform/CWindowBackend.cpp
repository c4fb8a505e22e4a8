#include "Platform/CWindowBackend.h"

#include <atomic>

namespace tal {

namespace {
std::atomic<CWindowBackend*> gCurrentBackend{nullptr};
}

CWindowBackend* CWindowBackend::current() noexcept { return gCurrentBackend.load(std::memory_order_acquire); }

void CWindowBackend::setCurrent(CWindowBackend* backend) noexcept {
    gCurrentBackend.store(backend, std::memory_order_release);
}

} // namespace tal
