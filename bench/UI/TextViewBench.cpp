// A text view showing a 1000-item value list in a 400 x 300 window, scrolled to the middle: the
// frame's prepareDraw and paint of the visible rows into one window-sized tile, and the refill after
// one item of the list changed (rewrites one paragraph and relays it out). The frame budget is 25 ms
// at 40 frames per second; the target is below 1 ms for each. The reference for the refill is a
// plain greedy breaker (the same glyph advances, break at the last space) laying out all 1000 items
// again, which is what a refill that cannot tell changed items from unchanged ones must do.
#include "Core/CAppData.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObject.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Core/CSystem.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"
#include "ProductCreators.h"
#include "UI/CDynamicColor.h"
#include "UI/CSector.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CWindowSharedData.h"
#include "UI/Controls/CTextView.h"
#include "UI/Controls/CTextWrapper.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace tal;

constexpr int kItems = 1000;
constexpr int kWidth = 400, kHeight = 300;

void mustSucceed(CError* error) {
    if (error != nullptr) {
        std::fprintf(stderr, "%s\n", error->message().narrowed().chars8());
        std::abort();
    }
}

// Advances between 5 and 9 pixels; each glyph a 5 x 9 block of coverage above the baseline.
double advanceOf(int code) { return 5.0 + (code * 7 % 9) * 0.5; }

void fillFont(CFont& font) {
    std::vector<std::uint8_t> pixels(5 * 9, 255);
    for (int code = 33; code < 127; ++code) {
        auto* layer = new CImageLayer;
        layer->init(0, 5, 9, 0, -10, 1.0, advanceOf(code), 0, 0, 0, 1, -1, pixels.data(), 8);
        layer->encodeRuns(pixels.data(), 8);
        auto* image = new CImage;
        image->addLayer(layer);
        font.setImage(code, image);
    }
    auto* space = new CImageLayer;
    space->init(0, 0, 0, 0, 0, 1.0, advanceOf(32), 0, 0, 0, 1, 128, nullptr, 8);
    auto* image = new CImage;
    image->addLayer(space);
    font.setImage(32, image);
    font.setMetrics(10.0, 3.0, 0.0, 14.0);
}

std::string itemText(int i, int variant) {
    return "Preset " + std::to_string(i) + " bright vocal air " + std::to_string(variant);
}

struct TextViewFixture {
    TextViewFixture() {
        char folder[] = "/tmp/tal-textview-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr) std::abort();
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(folder));
        for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
            CCreatorRegistry::instance().registerTable(*table);
        fillFont(font);
        shared = new CObject;
        shared->initRoot(nullptr);
        CObject::setSharedObject(shared);
        root = new CObject;
        root->initRoot(new CEventRegistry);
        CObject* ui = add(root, "core:object", "ui");
        add(ui, "ui:window-shared-data", "window-shared-data");
        CObject* palette = add(ui, "ui:dynamic-palette", "palette");
        mustSucceed(palette->init());
        CObject* text = add(palette, "ui:dynamic-color", "Text");
        for (const auto& [key, value] : {std::pair{"palette", "ui.palette"}, {"gradient-size", "1"}, {"tone", "d0d4da"},
                                         {"contrast", "1"}, {"opacity", "1"}, {"brightness", "0"}})
            mustSucceed(text->setAttr(CString(key), CString(value), false));
        mustSucceed(text->init());
        static_cast<CDynamicColor*>(text)->setReady(true);
        mustSucceed(static_cast<CDynamicColor*>(text)->update());
        list = static_cast<CValueList*>(add(ui, "ui:value-list-manual", "items"));
        mustSucceed(list->init());
        setItems(0);

        window = static_cast<CView*>(add(ui, "ui:view", "window"));
        for (const auto& [key, value] : {std::pair{"is-root-view", "true"}, {"width", "400"}, {"height", "300"}})
            mustSucceed(window->setAttr(CString(key), CString(value), false));
        mustSucceed(window->init());
        mustSucceed(window->createChilds());
        view = static_cast<CTextView*>(add(window, "ui:textview", "list"));
        for (const auto& [key, value] :
             {std::pair{"placement", "overlay"}, {"width", "100%"}, {"height", "compact"}, {"outer-border", "T-6500"},
              {"text-source", "ui.items"}, {"allow-no-paragraphs", "true"}, {"is-read-only", "true"},
              {"is-paragraph-selectable", "true"}, {"text-alignment", "left"}, {"text-alignment-v", "top"},
              {"text-color", "/Text"}})
            mustSucceed(view->setAttr(CString(key), CString(value), false));
        mustSucceed(view->init());
        view->textWrapper()->setFont(3, &font);
        mustSucceed(view->createChilds());
        mustSucceed(view->initChilds());
        mustSucceed(window->initChilds());
        window->area()->setWindowScale(1.0, 1.0);
        mustSucceed(window->updateLayout());
        mustSucceed(tile.setSize(kWidth, kHeight, true));
        sector.windowRect = CPixelRect{0, 0, kWidth, kHeight};
        sector.target = &tile;
    }
    ~TextViewFixture() {
        root->release();
        shared->release();
        CObject::setSharedObject(nullptr);
        CSystem::setUserPreferencesFolderForTest(CString());
    }
    static CObject* add(CObject* parent, const char* tag, const char* name) {
        CObject* made = nullptr;
        mustSucceed(parent->addChild(made, CString(tag), CString(name), false));
        return made;
    }
    void setItems(int variant) {
        CStringList items;
        for (int i = 0; i < kItems; ++i) items.add(itemText(i, i == kItems / 2 ? variant : 0).c_str());
        mustSucceed(list->setItems(items));
    }
    void frame() {
        auto* data = static_cast<CWindowSharedData*>(root->findObject(CString("ui.window-shared-data")));
        view->selectColorStates();
        benchmark::DoNotOptimize(view->prepareDraw());
        data->prepareImages(0);
        sector.clipRect = CPixelRect{0, 0, kWidth, kHeight};
        CPixelRect visible;
        if (view->drawItem(1)->intersectContext(sector, visible)) {
            sector.clipRect = visible;
            view->paintToSector(sector);
        }
        benchmark::DoNotOptimize(tile.pixels());
    }

    CFont font;
    CObject* shared = nullptr;
    CObject* root = nullptr;
    CValueList* list = nullptr;
    CView* window = nullptr;
    CTextView* view = nullptr;
    CLinearBitmap tile;
    CSector sector;
};

void BM_TextViewScrolledListFrame(benchmark::State& state) {
    TextViewFixture f;
    f.frame();
    state.counters["visible-lines"] = double(f.view->glyphRuns().count());
    for (auto _ : state) f.frame();
}
BENCHMARK(BM_TextViewScrolledListFrame)->Unit(benchmark::kMicrosecond);

void BM_TextViewRefillOneItemChanged(benchmark::State& state) {
    TextViewFixture f;
    int variant = 0;
    for (auto _ : state) {
        f.setItems(++variant);
        f.view->textWrapper()->updateLayout();
    }
}
BENCHMARK(BM_TextViewRefillOneItemChanged)->Unit(benchmark::kMicrosecond);

// The reference: the same 1000 item strings built, then every item laid out by a plain greedy
// breaker (floor of each advance, break at the last space) into reused line records.
void BM_PlainGreedyRelayoutOfAllItems(benchmark::State& state) {
    struct Line {
        int start, end;
        double width;
    };
    double advance[128];
    for (int c = 0; c < 128; ++c) advance[c] = std::floor(advanceOf(c));
    std::vector<Line> lines;
    lines.reserve(kItems * 2);
    int variant = 0;
    for (auto _ : state) {
        ++variant;
        std::vector<std::string> items;
        items.reserve(kItems);
        for (int i = 0; i < kItems; ++i) items.push_back(itemText(i, i == kItems / 2 ? variant : 0));
        lines.clear();
        for (const std::string& t : items) {
            int start = 0, lastSpace = -1;
            double width = 0.0, widthAtSpace = 0.0;
            for (int i = 0; i < int(t.size()); ++i) {
                const double a = advance[static_cast<unsigned char>(t[std::size_t(i)]) & 127];
                if (t[std::size_t(i)] == ' ') {
                    lastSpace = i;
                    widthAtSpace = width;
                }
                if (width + a > kWidth && lastSpace > start) {
                    lines.push_back({start, lastSpace, widthAtSpace});
                    start = lastSpace + 1;
                    width -= widthAtSpace + advance[32];
                    lastSpace = -1;
                }
                width += a;
            }
            lines.push_back({start, int(t.size()), width});
        }
        // One walk placing the lines.
        double y = 0.0, widest = 0.0;
        for (const Line& l : lines) {
            widest = std::max(widest, l.width);
            y += 13.0;
        }
        benchmark::DoNotOptimize(lines.data());
        benchmark::DoNotOptimize(y + widest);
    }
}
BENCHMARK(BM_PlainGreedyRelayoutOfAllItems)->Unit(benchmark::kMicrosecond);

} // namespace
