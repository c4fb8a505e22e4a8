// The knob tone ramp: black at entry 0, saturation raised in the dark part and value in the bright
// part, white and pure colours clamped, one change counted per build.
#include "UI/Controls/CKnobLabels.h"

#include "Other/CColor.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

TEST(BuildKnobToneRampTest, RaisesSaturationInTheDarkAndValueInTheBrightPart) {
    struct Case { double base[3]; int entry; int r, g, b; };
    for (const Case& c : {Case{{0.8, 0.4, 0.4}, 0, 0, 0, 0},
                          // entry 100: value 0.3137, saturation 0.5 x 1.65
                          Case{{0.8, 0.4, 0.4}, 100, 80, 14, 14},
                          // entry 220: k = 27/49, saturation x 1.2918, value x 1.1929
                          Case{{0.8, 0.4, 0.4}, 220, 210, 74, 74},
                          // grey has no saturation to raise; the top entry's value is 0.5 x 1.35
                          Case{{0.5, 0.5, 0.5}, 128, 64, 64, 64}, Case{{0.5, 0.5, 0.5}, 255, 172, 172, 172},
                          Case{{1.0, 1.0, 1.0}, 255, 255, 255, 255}, Case{{1.0, 0.0, 0.0}, 255, 255, 0, 0}}) {
        SCOPED_TRACE(std::to_string(c.base[0]) + "," + std::to_string(c.base[1]) + " entry " + std::to_string(c.entry));
        CColor color;
        buildKnobToneRamp(color, c.base);
        const std::uint8_t* tone = color.tone(c.entry);
        ASSERT_NE(tone, nullptr);
        EXPECT_EQ(int(tone[0]), c.r);
        EXPECT_EQ(int(tone[1]), c.g);
        EXPECT_EQ(int(tone[2]), c.b);
        EXPECT_EQ(int(tone[3]), 255);
    }
}

TEST(BuildKnobToneRampTest, EveryBuildCountsOneChangeAndSetsFullOpacity) {
    CColor color;
    color.setOpacity(0.3);
    const std::int32_t before = color.changeCount();
    const double white[3] = {1.0, 1.0, 1.0};
    buildKnobToneRamp(color, white);
    EXPECT_EQ(color.changeCount(), before + 1);
    EXPECT_EQ(color.opacity(), 1.0);
    buildKnobToneRamp(color, white);
    EXPECT_EQ(color.changeCount(), before + 2);
}

} // namespace
} // namespace tal
