#include "UI/CLevelMeterBase.h"

#include "Audio/Viz/CAudioVizDataMeter.h"
#include "UI/CLevelMeterListener.h"
#include "support/SpectrumTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

// A meter view "ui.window.meter" with a listener child of visual object "meters" and, with routing,
// the channel list "1" .. "5" named l, r, lfe, ls, rs.
class CLevelMeterBaseTest : public CSpectrumTestTree {
protected:
    void SetUp() override {
        CSpectrumTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:level-meter-base", &CLevelMeterBase::create, &CLevelMeterBase::initScheme},
                {"test:meter-base-listener", &CLevelMeterListener::create, &CLevelMeterListener::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "meter-channels", {})), "");
        setItems(ui, "meter-channels", {"1", "2", "3", "4", "5"});
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "meter-names", {})), "");
        setItems(ui, "meter-names", {"l", "r", "lfe", "ls", "rs"});
    }
    CLevelMeterBase* meter(const char* mode, bool isWithListener = true, const char* format = "%.3f") {
        window = beginWindow("window", {{"width", "20"}, {"height", "100"}});
        CView* view = begin(window, "meter",
                            {{"combo-mode", mode}, {"combo-mode-peak", "max"}, {"group-selector", "ui.groups"},
                             {"out-format", format}, {"is-surround-combo", "true"}, {"use-channel-routing", "true"},
                             {"audio-channels-list", "ui.meter-channels"}, {"audio-channels-names", "ui.meter-names"}},
                            "test:level-meter-base");
        if (isWithListener) {
            CObject* object = nullptr;
            EXPECT_EQ(takeMessage(CParamTestTree::build(object, view, "test:meter-base-listener", "listener",
                                                        {{"viz-name", "meters"}, {"group-selector", "ui.groups"}})),
                      "");
            listener = dynamic_cast<CLevelMeterListener*>(object);
        }
        finish(view);
        finish(window);
        return dynamic_cast<CLevelMeterBase*>(view);
    }
    void send(int channel, double level) {
        CAudioVizDataMeter frame;
        frame.channel = channel;
        frame.level = level;
        frame.peak = level * 2.0;
        listener->onVizData(CString("meters"), frame);
    }

    CLevelMeterListener* listener = nullptr;
};

TEST_F(CLevelMeterBaseTest, LevelsFormatWithoutMinusZeroAndBelowTheFloorAsInfinity) {
    CLevelMeterBase* m = meter("sum", true, "%.1f");
    ASSERT_EQ(takeError(), "");
    ASSERT_NE(m, nullptr);
    struct Case {
        double x;
        const char* expected;
    };
    for (const Case& c : {Case{-0.04, "0.0"}, Case{-300.0, "-inf"}, Case{-222.1, "-222.1"}, Case{-3.25, "-3.2"},
                          Case{0.0, "0.0"}}) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(test::utf8Of(m->formatLevel(c.x)), c.expected);
    }
}

TEST_F(CLevelMeterBaseTest, SurroundRmsLeavesOutTheLfeAndWeighsTheRears) {
    CLevelMeterBase* m = meter("rms");
    ASSERT_EQ(takeError(), "");
    ASSERT_NE(m, nullptr);
    // With no channel active both summaries are 0: "-inf".
    ASSERT_EQ(takeMessage(m->refreshLevels()), "");
    EXPECT_EQ(test::utf8Of(m->getTextAttr("sum-value")), "-inf");
    const double levels[] = {0.5, 0.25, 0.9, 0.125, 0.2};
    for (int ch = 0; ch < 5; ++ch)
        send(ch, levels[ch]);
    const double expected = std::sqrt((0.5 * 0.5 + 0.25 * 0.25 + 1.41 * 0.125 * 0.125 + 1.41 * 0.2 * 0.2) / 4.0);
    EXPECT_NEAR(m->sumValue(), 20.0 * std::log10(expected), 1e-9);
    EXPECT_NEAR(m->sumPeak(), 20.0 * std::log10(0.5 * 2.0), 1e-9);   // the largest peak, LFE left out
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", 20.0 * std::log10(expected));
    EXPECT_EQ(test::utf8Of(m->getTextAttr("sum-value")), text);
}

TEST_F(CLevelMeterBaseTest, AMeterNeedsAListener) {
    meter("sum", false);
    EXPECT_EQ(takeError(), "At least one listener object is required.");
}

} // namespace
} // namespace tal
