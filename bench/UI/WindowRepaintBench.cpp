// A full repaint of a window of about 300 views (panels of knobs, labels and meters; a third of them
// dynamic) at 790 x 500 points, at scale 1 (790 x 500 pixels) and 2 (1580 x 1000): every sector
// dirty with its cache dropped, rendered by the window renderer with 0, 1, 2 and 4 render jobs and
// presented to the headless backend. The reference is the plain repaint of the same views into one
// window-sized bitmap in z order on one thread (no sectors, no caches, no occlusion, no present).
// Counters: the sector back buffers and caches in bytes.
#include "Platform/CHeadlessWindowBackend.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CView.h"
#include "UI/CViewDrawItem.h"
#include "UI/CWindowRenderer.h"
#include "support/RendererTestTree.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

// The renderer test tree outside a test: its set-up builds the tree, its tear-down releases it.
class RepaintTree : public CRendererTestTree {
public:
    explicit RepaintTree(double scale) {
        SetUp();
        beginRoot(790, 500, scale);
        addView(root, "bg", 0, 0, 790, 500, "15181c");
        int n = 1;
        for (int p = 0; p < 12; ++p) {   // 12 panels of 6 x 4 controls
            const int px = 10 + (p % 4) * 195, py = 10 + (p / 4) * 160;
            CView* panel = addView(root, ("panel" + std::to_string(p)).c_str(), px, py, 185, 150, "232830");
            ++n;
            for (int k = 0; k < 24; ++k, ++n) {
                char rgb[8];
                std::snprintf(rgb, sizeof rgb, "%02x%02x%02x", 60 + k * 7, 90 + p * 9, 160 - k * 3);
                addView(panel, ("c" + std::to_string(k)).c_str(), 5 + (k % 6) * 30, 5 + (k / 6) * 36, 26, 32, rgb,
                        {{"is-dynamic", k % 3 == 0 ? "true" : "false"}});
            }
        }
        viewCount = n;
        paintRenderer->recording = false;
        openWindow();
    }
    ~RepaintTree() override { TearDown(); }
    void TestBody() override {}

    // Every sector dirty, every cache dropped, then one paint of the whole window.
    void repaint() {
        CSectorMap& map = *paintRenderer->sectorMap();
        for (int i = 0; i < map.sectorCount(); ++i) {
            map.sectorAt(i)->cachedViews.clear();
            map.dirtySet().insert(map.sectorAt(i)->column | map.sectorAt(i)->row << 16);
        }
        map.dirtyRect() = {0.0, 0.0, double(map.windowArea().width), double(map.windowArea().height)};
        CAttrMap args;
        args.findOrAdd("width")->value.setReal(790);
        args.findOrAdd("height")->value.setReal(500);
        if (CError* error = paintRenderer->onPaint(args))
            delete error;
    }
    std::int64_t bitmapBytes() const {
        std::int64_t bytes = 0;
        const CSectorMap& map = *paintRenderer->sectorMap();
        for (int i = 0; i < map.sectorCount(); ++i) {
            const CSector& s = *map.sectorAt(i);
            bytes += std::int64_t(s.backBuffer->height()) * s.backBuffer->stride();
            bytes += std::int64_t(s.cacheBitmap.height()) * s.cacheBitmap.stride();
            for (const CLinearBitmap& side : s.sideBitmaps)
                bytes += std::int64_t(side.height()) * side.stride();
        }
        return bytes;
    }
    // The views in paint order (z, then registration), as the plain reference paints them.
    std::vector<CView*> viewsInZOrder() const {
        std::vector<std::pair<std::int32_t, CView*>> views;
        collect(root, views);
        std::stable_sort(views.begin(), views.end(), [](auto& a, auto& b) { return a.first < b.first; });
        std::vector<CView*> out;
        for (auto& [z, v] : views)
            out.push_back(v);
        return out;
    }

    CPixelRect windowArea() const { return paintRenderer->sectorMap()->windowArea(); }

    int viewCount = 0;

private:
    static void collect(CView* v, std::vector<std::pair<std::int32_t, CView*>>& out) {
        out.emplace_back(v->z(), v);
        for (int i = 0; i < v->childCount(); ++i)
            if (auto* c = dynamic_cast<CView*>(v->child(i)))
                collect(c, out);
    }
};

void BM_WindowRepaint(benchmark::State& state) {
    const double scale = double(state.range(0));
    const int jobs = int(state.range(1));
    RepaintTree tree(scale);
    CWindowRenderer::setForcedRenderJobs(jobs);
    for (auto _ : state)
        tree.repaint();
    CWindowRenderer::setForcedRenderJobs(-1);
    state.counters["views"] = tree.viewCount;
    state.counters["bitmap_bytes"] = double(tree.bitmapBytes());
    state.SetLabel(scale == 1 ? "790x500" : "1580x1000");
}
BENCHMARK(BM_WindowRepaint)
    ->ArgsProduct({{1, 2}, {0, 1, 2, 4}})
    ->ArgNames({"scale", "jobs"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The reference: one window-sized bitmap, each view's paint called once with its whole clip
// rectangle, bottom to top, on one thread.
void BM_PlainRepaint(benchmark::State& state) {
    const double scale = double(state.range(0));
    RepaintTree tree(scale);
    const std::vector<CView*> views = tree.viewsInZOrder();
    CSector whole;
    whole.backBuffer = std::make_unique<CLinearBitmap>();
    const CPixelRect area = tree.windowArea();
    if (CError* error = whole.backBuffer->setSize(area.width, area.height, true))
        delete error;
    whole.windowRect = {0, 0, area.width, area.height};
    whole.localRect = whole.windowRect;
    whole.target = whole.backBuffer.get();
    for (auto _ : state) {
        for (CView* v : views) {
            CPixelRect clip;
            whole.clipRect = whole.localRect;
            if (v->drawItemCount() < 1 || !v->drawItem(0)->intersectContext(whole, clip))
                continue;
            whole.clipRect = clip;
            v->paintToSector(whole);
        }
        benchmark::DoNotOptimize(whole.backBuffer->pixels());
    }
    state.counters["views"] = tree.viewCount;
    state.counters["bitmap_bytes"] = double(std::int64_t(area.height) * whole.backBuffer->stride());
    state.SetLabel(scale == 1 ? "790x500" : "1580x1000");
}
BENCHMARK(BM_PlainRepaint)->Arg(1)->Arg(2)->ArgName("scale")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tal
