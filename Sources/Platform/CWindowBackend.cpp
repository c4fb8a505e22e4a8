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

std::vector<CWindowBackend::Screen> CWindowBackend::screens() {
    Screen s;
    screenRect(0.0, 0.0, s.x, s.y, s.width, s.height);
    s.visibleX = s.x, s.visibleY = s.y, s.visibleWidth = s.width, s.visibleHeight = s.height;
    return {s};
}

} // namespace tal
