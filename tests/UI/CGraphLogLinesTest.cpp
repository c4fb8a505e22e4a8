#include "UI/CGraphLogLines.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "UI/CSpectrum.h"
#include "support/ReferenceImage.h"
#include "support/SpectrumTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

// A 200 x 100 window with a grid-line view on the ranges 20 .. 20000 Hz and -90 .. 0 dB.
class CGraphLogLinesTest : public CSpectrumTestTree {
protected:
    CGraphLogLines* lines(const char* hideBorders, const char* gainStep = "10") {
        window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
        CView* view = begin(window, "grid",
                            {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                             {"min-max-freq", "ui.freq"}, {"min-max-gain", "ui.levels"}, {"gain-step", gainStep},
                             {"is-hide-borderlines", hideBorders}, {"line-color", "GraphLines"}},
                            "ui:graph-log-lines");
        finish(view);
        return dynamic_cast<CGraphLogLines*>(view);
    }
};

TEST_F(CGraphLogLinesTest, LinesCoverDecadesAndGainSteps) {
    struct Case {
        const char* hideBorders;
        const char* gainStep;
        std::size_t expected;
    };
    // 28 vertical lines (2 borders, 30..90, 100..900, 1000..9000, 10000) and 10 horizontal ones
    // (-90 .. 0 in steps of 10, both borders); hiding the borders drops 2 + 2; a step of 0 gives no
    // horizontal line.
    for (const Case& c : {Case{"false", "10", 38}, Case{"true", "10", 34}, Case{"false", "0", 28}}) {
        SCOPED_TRACE(c.hideBorders);
        SCOPED_TRACE(c.gainStep);
        CGraphLogLines* grid = lines(c.hideBorders, c.gainStep);
        finish(window);
        ASSERT_EQ(takeError(), "");
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->prepareDraw(), c.expected > 0);
        EXPECT_EQ(grid->placedItems().size(), c.expected);
        // The line at 1 kHz: x = 199 log(50) / log(1000), snapped.
        const std::int32_t x1k = std::int32_t(std::round(199.0 * std::log(50.0) / std::log(1000.0)));
        bool isFound = false;
        for (std::int32_t index : grid->placedItems()) {
            const CPixelRect& r = grid->drawItem(index)->clippedRect;
            isFound = isFound || (r.x == x1k && r.width == 1 && r.height == 100);
        }
        EXPECT_TRUE(isFound);
        ui->findChild(CString("window"))->release();
    }
}

TEST_F(CGraphLogLinesTest, GridUnderASpectrumLooksRight) {
    addColor("GraphLines", "303840", "1");
    CGraphLogLines* grid = lines("true");
    ASSERT_NE(grid, nullptr);
    CObject* object = nullptr;
    // The spectrum over the grid, as the display stacks them.
    CView* view = begin(window, "spectrum",
                        {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                         {"viz-name", "plugin.spectrum"}, {"color-swatch", "ui.swatch"}, {"color-index", "0"},
                         {"group-selector", "ui.groups"}, {"min-max", "ui.levels"}, {"min-max-freq", "ui.freq"},
                         {"is-imported", "true"}, {"export-slot", "0"}, {"is-filled", "true"}},
                        "ui:spectrum");
    for (const char* name : {"audio-channel-list", "audio-channel-names", "audio-group-name"})
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, view, "ui:value-list-manual", name, {})), "");
    finish(view);
    finish(window);
    ASSERT_EQ(takeError(), "");
    auto* s = dynamic_cast<CSpectrum*>(view);
    ASSERT_NE(s, nullptr);
    std::vector<double> bins(1025);
    for (std::size_t k = 0; k < bins.size(); ++k)
        bins[k] = 0.2 / std::sqrt(1.0 + double(k)) * (1.0 + 0.5 * std::sin(double(k) * 0.3));
    auto frame = std::make_unique<CAudioVizDataSpectrum>();
    frame->values.assign(bins.data(), std::int32_t(bins.size()));
    frame->sampleRate = 48000.0;
    frame->fftSize = 2048;
    frame->exportSlot = 0;
    s->onVizData(CString("plugin.spectrum"), *frame);
    auto sector = blackSector();
    for (CView* v : {static_cast<CView*>(grid), view}) {
        v->selectColorStates();
        if (v->prepareDraw())
            v->paintToSector(*sector);
    }
    EXPECT_TRUE(matchesReference(*sector->backBuffer, "spectrum-grid", 2, 20));
}

} // namespace
} // namespace tal
