#pragma once
#include "Platform/CHeadlessWindowBackend.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "UI/CView.h"
#include "UI/CWindowRenderer.h"
#include "support/ViewTestTree.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tal {

// "test:rect-view": a view that fills its visible part with the colour of its "fill" attribute
// ("rrggbb", read at init) and reports itself fully opaque when "is-opaque-fill" is set.
class CRectTestView : public CView {
public:
    [[nodiscard]] CError* init() override;
    void paint(CSector& sector) override;
    double getOpaqueFraction(CSector&, const CPixelRect&) override { return mOpaque ? 1.0 : 0.0; }

private:
    std::uint8_t mRgb[3] = {0, 0, 0};
    bool mOpaque = false;
};

// "test:paint-renderer": the window renderer that records every view paint call as
// "<view name> <column>,<row> <clip x> <clip y> <clip w> <clip h>" (clip in sector coordinates).
class CPaintRecordingRenderer : public CWindowRenderer {
public:
    void paintView(CView& view, CSector& sector) override;
    std::vector<std::string> takePaints();

    bool recording = true;

private:
    std::mutex mMutex;   // paint calls come from render jobs too
    std::vector<std::string> mPaints;
};

// A window on the headless backend: a root view of a size and scale with the recording renderer,
// its render timer (40 per second) and position timer, views added with addView, the manual main
// loop and the event bridge pumped by tick().
class CRendererTestTree : public CViewTestTree {
protected:
    void SetUp() override;
    void TearDown() override;

    // Begins the root view ("window", w x h points at scale) and its renderer; views come next.
    CView* beginRoot(int width, int height, double scale = 1.0, Attrs attrs = {});
    // A rect view at (x, y) points of its parent, w x h points, filled with rgb ("rrggbb").
    CView* addView(CObject* parent, const char* name, int x, int y, int w, int h, const char* rgb, Attrs more = {});
    // Ends the root view: layout, "content-ready" (the window opens), then delivers the first paint.
    void openWindow();
    // One render-timer period: the timers fire, the renderer requests a redraw, the paint runs.
    void tick();
    // The window's pixels as a bitmap.
    void windowBitmap(CLinearBitmap& out) const;
    // The colour "rrggbb" of the window pixel at (x, y).
    std::string pixelAt(int x, int y) const;
    const CHeadlessWindowBackend::Window& window() const;

    CHeadlessWindowBackend backend;
    CPumpedMainLoopTimers loop;
    CView* root = nullptr;
    CPaintRecordingRenderer* paintRenderer = nullptr;
};

} // namespace tal
