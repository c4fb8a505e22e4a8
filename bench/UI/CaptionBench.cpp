// Layout and drawing of one 40-character caption in the shipped base font (Inter at 14.5 pixels,
// packed at twice the resolution), against cairo showing the same text in the same face and size
// into an image surface of the same size. Both redraw the background each time. The ratio counter
// times the two in the same iterations (target at most 1.5).
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CCreatorRegistry.h"
#include "Other/CColor.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"
#include "ProductCreators.h"
#include "UI/CCaptionText.h"
#include "UI/CCaptionTextHost.h"
#include "UI/Resources/CFontObject.h"

#include "support/TimeRatio.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tal;

const char* const kText = "Low shelf 120 Hz, gain +3.5 dB, Q 0.71 ok";   // 40 characters
constexpr int kWidth = 400, kHeight = 30;
constexpr double kFontSize = 14.5;

// The owner view: one text colour and a reused pool of draw records, filled at once.
class BenchHost : public CCaptionTextHost {
public:
    BenchHost() { text.buildToneRamp(230, 234, 240, 1.0, 1.0, 0.0); }
    const CColor* captionColor(std::int32_t) override { return &text; }
    const CColor* captionPaletteColor(const CString&) override { return &text; }
    CImageDraw* requestCaptionImageDraw(const CImageLayer* layer, const CColor* color, double opacity) override {
        if (used == records.size())
            records.emplace_back();
        CImageDraw& record = records[used++];
        CImageDraw::init(record, const_cast<CImageLayer*>(layer)->getScaled(1.0), color, false, opacity);
        return &record;
    }
    CColor text;
    std::vector<CImageDraw> records = std::vector<CImageDraw>(64);
    std::size_t used = 0;
};

void mustSucceed(CError* error) {
    if (error != nullptr) {
        std::fprintf(stderr, "%s\n", error->message().narrowed().chars8());
        std::abort();
    }
}

struct OurCaption {
    OurCaption() {
        for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
            CCreatorRegistry::instance().registerTable(*table);
        root = new CObject;
        root->initRoot(nullptr);
        CObject* made = nullptr;
        mustSucceed(root->addChild(made, CString("font"), CString("base"), false));
        family = static_cast<CFontObject*>(made);
        CObject* style = nullptr;
        mustSucceed(family->addChild(style, CString("core:object"), CString("regular"), false));
        const std::string file = std::string(TAL_ASSET_DIR) + "/Gfx/Fonts/base.fnt";
        mustSucceed(style->setAttr(CString("is-font-style"), CString("true"), true));
        mustSucceed(style->setAttr(CString("file"), CString(file.c_str()), true));
        mustSucceed(family->initChilds());
        panel.buildToneRamp(27, 31, 37, 1.0, 1.0, 0.0);
        mustSucceed(bitmap.setSize(kWidth, kHeight, true));
        caption.fontObject = family;
        caption.host = &host;
        caption.text = CString(kText);
        caption.boxLeft = 4.0;
        caption.boxWidth = kWidth - 8.0;
        caption.boxHeight = kHeight;
        caption.alignV = 0;
        caption.getSize(caption.textWidth, caption.textHeight, false);
    }
    ~OurCaption() { root->release(); }
    void draw() {
        host.used = 0;
        caption.buildGlyphList();
        bitmap.fillRect(CPixelRect{0, 0, kWidth, kHeight}, panel, 255, 1.0);
        caption.draw(bitmap, 0, 0, CPixelRect{0, 0, kWidth, kHeight});
        benchmark::DoNotOptimize(bitmap.pixels());
    }
    CObject* root = nullptr;
    CFontObject* family = nullptr;
    BenchHost host;
    CColor panel;
    CLinearBitmap bitmap;
    CCaptionText caption;
};

struct CairoCaption {
    CairoCaption() {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
        cr = cairo_create(surface);
        cairo_select_font_face(cr, "Inter", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, kFontSize);
    }
    ~CairoCaption() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    void draw() {
        cairo_set_source_rgb(cr, 27 / 255.0, 31 / 255.0, 37 / 255.0);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 230 / 255.0, 234 / 255.0, 240 / 255.0);
        cairo_move_to(cr, 4.0, 20.0);
        cairo_show_text(cr, kText);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
};

void BM_Caption(benchmark::State& state) {
    OurCaption ours;
    for (auto _ : state)
        ours.draw();
    state.SetItemsProcessed(state.iterations() * 40);
}
BENCHMARK(BM_Caption);

void BM_CairoCaption(benchmark::State& state) {
    CairoCaption theirs;
    for (auto _ : state)
        theirs.draw();
    state.SetItemsProcessed(state.iterations() * 40);
}
BENCHMARK(BM_CairoCaption);

void BM_CaptionTimeRatio(benchmark::State& state) {
    OurCaption ours;
    CairoCaption theirs;
    tal::bench::runTimeRatio(state, ours, theirs, "time_over_cairo");
}
BENCHMARK(BM_CaptionTimeRatio);

} // namespace
