// The colour fill: white before its colour is built, the built colour at the view's draw opacity,
// and the disabled colour while the view is disabled.
#include "UI/Controls/CColorFill.h"

#include "UI/CViewColorTable.h"
#include "UI/Controls/PanelTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

class CColorFillTest : public CPanelTestTree {};

TEST_F(CColorFillTest, PaintsWhiteUntilItsColourIsBuiltThenThatColour) {
    auto* fill = static_cast<CColorFill*>(panel("ui:color-fill", {{"draw-opacity", "0.5"}}, "10", "10"));
    ASSERT_NE(fill, nullptr);
    auto sector = filledSector(0, 0, 10, 10, 0, 0, 0);
    fill->paint(*sector);
    // Half-way from black to white.
    EXPECT_NEAR(pixelAt(*sector, 5, 5)[0], 128, 1);
    EXPECT_NEAR(pixelAt(*sector, 9, 9)[2], 128, 1);

    fill->fillColor().buildToneRamp(200, 40, 100, 1.0, 1.0, 0.0);
    const std::uint8_t* tone = fill->fillColor().tone(255);
    ASSERT_NE(tone, nullptr);
    auto again = filledSector(0, 0, 10, 10, 0, 0, 0);
    fill->paint(*again);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(pixelAt(*again, 0, 0)[c], tone[c] / 2.0, 1.0) << c;
}

TEST_F(CColorFillTest, DisabledFillPaintsTheDisabledColour) {
    addColor("Disabled", "405060");
    auto* fill = static_cast<CColorFill*>(panel("ui:color-fill", {}, "10", "10"));
    ASSERT_NE(fill, nullptr);
    fill->fillColor().buildToneRamp(250, 250, 250, 1.0, 1.0, 0.0);
    fill->colorTable()->refresh();
    ASSERT_NE(fill->colorTable()->disabledColor(), nullptr);
    fill->setEffectivelyDisabled(true);
    auto sector = filledSector(0, 0, 10, 10, 0, 0, 0);
    fill->paint(*sector);
    const std::uint8_t* disabled = fill->colorTable()->disabledColor()->tone(255);
    ASSERT_NE(disabled, nullptr);
    EXPECT_EQ(pixelAt(*sector, 4, 4)[0], disabled[0]);
    EXPECT_EQ(pixelAt(*sector, 4, 4)[2], disabled[2]);
    EXPECT_NE(pixelAt(*sector, 4, 4)[0], 250);
}

} // namespace
} // namespace tal
