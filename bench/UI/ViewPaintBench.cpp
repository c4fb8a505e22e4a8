// Composing one tile of a view at opacity 0.5 with its look cross-fade running (f = 0.4): the view's
// paintToSector (opacity layer, two look layers, three byte-wise blends) against pixman compositing
// the same sequence of copies, fills and weighted blends on the same tile, with memcpy of the tile as
// the bandwidth ceiling. Each look's own paint is a plain fill in both.
#include "Other/CLinearBitmap.h"
#include "UI/CSector.h"
#include "UI/CView.h"
#include "UI/CViewStateData.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace tal;

constexpr int kTileWidth = 240;
constexpr int kTileHeight = 144;
constexpr double kFraction = 0.4;
constexpr double kOpacity = 0.5;

// Fills the sector's clip rectangle with a grey per look (the sector's colour state).
class CBenchFillView : public CView {
public:
    void paint(CSector& sector) override {
        const std::uint32_t grey = sector.colorState == 0 ? 0xffc8c8c8u : 0xff282828u;
        const CPixelRect& r = sector.clipRect;
        for (std::int32_t y = r.y; y < r.y + r.height; ++y) {
            auto* p = reinterpret_cast<std::uint32_t*>(sector.target->pixel(r.x, y));
            for (std::int32_t x = 0; x < r.width; ++x) p[x] = grey;
        }
    }
};

void fillTile(CLinearBitmap& bitmap, std::uint8_t value) {
    std::memset(bitmap.pixels(), value, std::size_t(bitmap.stride()) * std::size_t(bitmap.height()));
}

void BM_PaintToSectorCrossFadeAtHalfOpacity(benchmark::State& state) {
    CBenchFillView view;
    view.setOpacity(kOpacity);
    view.ensureStateData();
    CViewStateData* data = view.stateData();
    data->isMorphing = true;
    data->morphFraction = kFraction;
    CSector sector;
    sector.windowRect = CPixelRect{0, 0, kTileWidth, kTileHeight};
    sector.clipRect = CPixelRect{0, 0, kTileWidth, kTileHeight};
    sector.backBuffer = std::make_unique<CLinearBitmap>();
    delete sector.backBuffer->setSize(kTileWidth, kTileHeight, true);
    fillTile(*sector.backBuffer, 0x40);
    sector.target = sector.backBuffer.get();
    for (auto _ : state) {
        view.paintToSector(sector);
        benchmark::DoNotOptimize(sector.backBuffer->pixels());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kTileWidth * kTileHeight);
}
BENCHMARK(BM_PaintToSectorCrossFadeAtHalfOpacity);

// The same sequence in pixman: opacity layer = tile; look A = layer, fill, layer = A over layer at
// 1 - f; look B = layer, fill, layer = B over layer at f; tile = layer over tile at the opacity.
void BM_PixmanCrossFadeAtHalfOpacity(benchmark::State& state) {
    const int stride = kTileWidth * 4;
    std::vector<std::uint32_t> tile(std::size_t(kTileWidth) * kTileHeight, 0xff404040u);
    std::vector<std::uint32_t> layer(tile.size()), lookA(tile.size()), lookB(tile.size());
    auto image = [&](std::vector<std::uint32_t>& pixels) {
        return pixman_image_create_bits(PIXMAN_a8r8g8b8, kTileWidth, kTileHeight, pixels.data(), stride);
    };
    pixman_image_t* tileImage = image(tile);
    pixman_image_t* layerImage = image(layer);
    pixman_image_t* aImage = image(lookA);
    pixman_image_t* bImage = image(lookB);
    auto weightMask = [](double w) {
        const pixman_color_t c{0, 0, 0, std::uint16_t(w * 65535.0 + 0.5)};
        return pixman_image_create_solid_fill(&c);
    };
    pixman_image_t* maskA = weightMask(1.0 - kFraction);
    pixman_image_t* maskB = weightMask(kFraction);
    pixman_image_t* maskOpacity = weightMask(kOpacity);
    const pixman_color_t light{0xc8c8, 0xc8c8, 0xc8c8, 0xffff}, dark{0x2828, 0x2828, 0x2828, 0xffff};
    const pixman_rectangle16_t all{0, 0, kTileWidth, kTileHeight};
    auto copy = [&](pixman_image_t* from, pixman_image_t* to) {
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, kTileWidth, kTileHeight);
    };
    auto blend = [&](pixman_image_t* from, pixman_image_t* mask, pixman_image_t* to) {
        pixman_image_composite32(PIXMAN_OP_OVER, from, mask, to, 0, 0, 0, 0, 0, 0, kTileWidth, kTileHeight);
    };
    for (auto _ : state) {
        copy(tileImage, layerImage);
        copy(layerImage, aImage);
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, aImage, &light, 1, &all);
        blend(aImage, maskA, layerImage);
        copy(layerImage, bImage);
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, bImage, &dark, 1, &all);
        blend(bImage, maskB, layerImage);
        blend(layerImage, maskOpacity, tileImage);
        benchmark::DoNotOptimize(tile.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kTileWidth * kTileHeight);
    for (pixman_image_t* i : {tileImage, layerImage, aImage, bImage, maskA, maskB, maskOpacity}) pixman_image_unref(i);
}
BENCHMARK(BM_PixmanCrossFadeAtHalfOpacity);

// The ceiling: one memcpy of the tile per pass the sequence makes over it (three copies, two fills
// and three blends: eight).
void BM_MemcpyEightTilePasses(benchmark::State& state) {
    const std::size_t bytes = std::size_t(kTileWidth) * kTileHeight * 4;
    std::vector<std::uint8_t> from(bytes, 0x40), to(bytes);
    for (auto _ : state) {
        for (int pass = 0; pass < 8; ++pass) {
            std::memcpy(to.data(), from.data(), bytes);
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * kTileWidth * kTileHeight);
}
BENCHMARK(BM_MemcpyEightTilePasses);

} // namespace
