#include "UI/CGraphSampleRate.h"

#include "UI/CMinMax.h"
#include "support/SpectrumTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using CPlacement = CGraphSampleRate::CPlacement;

class CGraphSampleRateTest : public CSpectrumTestTree {};

TEST_F(CGraphSampleRateTest, SampleRateMarkersSitOnTheFrequencyRange) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "to24k",
                                                {{"is-log", "true"}, {"min", "20"}, {"max", "24000"}, {"scale-power", "1"}})),
              "");
    const CMinMax& to24k = *dynamic_cast<CMinMax*>(object);
    const CMinMax& to20k = *dynamic_cast<CMinMax*>(ui->findChild(CString("freq")));
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "flat", {{"min", "1000"}, {"max", "1000"}})), "");
    const CMinMax& flat = *dynamic_cast<CMinMax*>(object);
    struct Case {
        const char* name;
        const CMinMax* range;
        double f;
        CPlacement expected;
        std::int32_t x;
    };
    // Host 44100 Hz at 2x: the host marker (22050 Hz) shows on a range to 24 kHz, the effective one
    // (44100 Hz) does not; on a range to 20 kHz neither does.
    const double hostX = std::round(999.0 * std::log(22050.0 / 20.0) / std::log(24000.0 / 20.0));
    const Case cases[] = {
        {"host marker", &to24k, 22050.0, CPlacement::kPlace, std::int32_t(hostX)},
        {"effective marker", &to24k, 44100.0, CPlacement::kHide, 0},
        {"host marker, range to 20 kHz", &to20k, 22050.0, CPlacement::kHide, 0},
        {"at the maximum", &to20k, 20000.0, CPlacement::kPlace, 999},
        {"at the minimum", &to20k, 20.0, CPlacement::kPlace, 0},
        {"no rate yet", &to20k, -1.0, CPlacement::kKeep, 0},
        {"empty range", &flat, 1000.0, CPlacement::kKeep, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t x = -7;
        EXPECT_EQ(CGraphSampleRate::markerPosition(*c.range, c.f, 1000.0, x), c.expected);
        if (c.expected == CPlacement::kPlace) {
            EXPECT_EQ(x, c.x);
        }
    }
}

TEST_F(CGraphSampleRateTest, SampleRateMarkersWaitForARate) {
    CObject* monitor = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(monitor, ui, "ui:sample-rate-monitor", "srm", {})), "");
    window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
    CView* view = begin(window, "graph-sample-rate",
                        {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                         {"sample-rate-monitor", "ui.srm"}, {"min-max-freq", "ui.freq"}},
                        "ui:graph-sample-rate");
    finish(view);
    finish(window);
    ASSERT_EQ(takeError(), "");
    auto* marker = dynamic_cast<CGraphSampleRate*>(view);
    ASSERT_NE(marker, nullptr);
    EXPECT_TRUE(marker->prepareDraw());
    for (int m : {0, 1}) {
        const CPixelRect& r = marker->drawItem(marker->markerItem(m))->clippedRect;
        EXPECT_EQ(r.width * r.height, 0) << m;
    }
}

} // namespace
} // namespace tal
