// A full blit of a 1580x1000 editor (the product at 2x) to an X window through shared memory
// (MIT-SHM) against the same blit through XPutImage, the plain way that copies the pixels through
// the connection. Both wait until the server has the pixels. The server is a private Xvfb.
#include "Platform/CX11Window.h"
#include "support/XvfbServer.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <vector>

namespace {

void runBlit(benchmark::State& state, tal::CX11Surface::Mode mode) {
    tal::XvfbServer& server = tal::XvfbServer::instance();
    if (!server.running()) {
        state.SkipWithError(("no X server: " + server.failure()).c_str());
        return;
    }
    tal::CX11Display display;
    std::string error;
    if (!display.open(server.display(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    constexpr int kW = 1580, kH = 1000;
    Display* d = display.xdisplay();
    const Window host = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, kW, kH, 0, 0, 0);
    XMapWindow(d, host);
    tal::CX11Window window;
    if (!window.createChild(display, host, kW, kH, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    window.setSurfaceMode(mode);
    std::vector<std::uint32_t> pixels(std::size_t(kW) * kH);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xff000000u | std::uint32_t(i * 2654435761u >> 8);
    window.present(pixels.data(), kW, 0, 0, kW, kH);
    if (mode == tal::CX11Surface::Mode::Auto && !window.usesShm()) {
        state.SkipWithError("the server offers no shared memory");
        return;
    }
    for (auto _ : state) {
        pixels[0] ^= 1;    // the content changes every frame
        benchmark::DoNotOptimize(window.present(pixels.data(), kW, 0, 0, kW, kH));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kW * kH * 4);
}

void BM_X11BlitShm(benchmark::State& state) { runBlit(state, tal::CX11Surface::Mode::Auto); }
void BM_X11BlitPutImage(benchmark::State& state) { runBlit(state, tal::CX11Surface::Mode::PutImage); }

} // namespace

BENCHMARK(BM_X11BlitShm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_X11BlitPutImage)->Unit(benchmark::kMicrosecond);
