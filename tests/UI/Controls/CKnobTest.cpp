// The knob: radial mapping with the shipped zone, the hover test and where a press lands, the three
// image layouts (with invalid images, layers and ranges), the element attribute and activity, and
// value following.
#include "UI/Controls/CKnob.h"

#include "Core/CAttrMap.h"
#include "Other/CImageSet.h"
#include "UI/CUIParam.h"
#include "UI/Controls/KnobTestTree.h"
#include "support/PngWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

class CKnobTest : public CKnobTestTree {
protected:
    static CAttrMap& press(CAttrMap& args, double x, double y) {
        args.findOrAdd("x")->value.setReal(x);
        args.findOrAdd("y")->value.setReal(y);
        return args;
    }
};

// A 100 x 100 knob centred at (50, 50) with the shipped zone (0.89, 0.60). Positions at radius 30,
// in pixels with y growing downwards.
TEST_F(CKnobTest, RadialMappingWithTheShippedZone) {
    CKnob* k = knob({});
    ASSERT_NE(k, nullptr);
    ASSERT_DOUBLE_EQ(k->centerXPx(), 50.0);
    ASSERT_DOUBLE_EQ(k->centerYPx(), 50.0);
    const double r = 30.0, d = r / std::sqrt(2.0);
    struct Case { const char* where; double x, y, value; };
    for (const Case& c : {Case{"up", 50, 50 - r, 0.5070}, Case{"right", 50 + r, 50, 0.8592},
                          Case{"left", 50 - r, 50, 0.1549}, Case{"down", 50, 50 + r, 0.0},
                          Case{"45 below left", 50 - d, 50 + d, 0.0}, Case{"45 below right", 50 + d, 50 + d, 1.0}}) {
        SCOPED_TRACE(c.where);
        EXPECT_NEAR(k->pointToRadialValue(c.x, c.y), c.value, 5e-5);
    }
    // The sweep's ends: p = 0.89 (value 0) and p = 0.60 (value 1) exactly.
    const double a0 = (0.89 - 0.5) * 2.0 * M_PI, a1 = (0.60 - 0.5) * 2.0 * M_PI;
    EXPECT_NEAR(k->pointToRadialValue(50 + r * std::cos(a0), 50 + r * std::sin(a0)), 0.0, 1e-12);
    EXPECT_NEAR(k->pointToRadialValue(50 + r * std::cos(a1), 50 + r * std::sin(a1)), 1.0, 1e-12);
}

// Outer radius 0.44 x 100 = 44, inner 27: a press exactly on the outer circle starts nothing, one
// exactly on the inner circle drags on the ring (radially with the radial knob mode), inside it
// drags linearly.
TEST_F(CKnobTest, APressOnTheOuterRadiusStartsNothingAndOnTheInnerRadiusDragsTheRing) {
    settings->radialKnobMode = true;
    CKnob* k = knob({});
    ASSERT_NE(k, nullptr);
    ASSERT_DOUBLE_EQ(k->outerRadiusPx(), 44.0);
    ASSERT_DOUBLE_EQ(k->innerRadiusPx(), 27.0);
    struct Case { double x, y; KnobDragMode mode; };
    for (const Case& c : {Case{50 + 44, 50, KnobDragNone}, Case{50, 50 - 44, KnobDragNone}, Case{50 + 27, 50, KnobDragRadial},
                          Case{50, 50 + 27, KnobDragRadial}, Case{50 + 26.9, 50, KnobDragLinear}, Case{50 + 43.9, 50, KnobDragRadial}}) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        CAttrMap args;
        ASSERT_EQ(test::takeMessage(k->onMousePress(press(args, c.x, c.y))), "");
        EXPECT_EQ(k->dragMode(), c.mode);
        CAttrMap none;
        ASSERT_EQ(test::takeMessage(k->onMouseRelease(none)), "");
        EXPECT_EQ(k->dragMode(), KnobDragNone);
    }
    // Without the radial mode the ring drags linearly too.
    settings->radialKnobMode = false;
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(k->onMousePress(press(args, 50 + 30, 50))), "");
    EXPECT_EQ(k->dragMode(), KnobDragLinear);
}

// Hover is strictly inside the outer radius; during a drag any move keeps it.
TEST_F(CKnobTest, HoverIsInsideTheOuterRadiusOrDuringADrag) {
    CKnob* k = knob({{"is-knob-labels", "false"}});
    ASSERT_NE(k, nullptr);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 50 + 43.5, 50))), "");
    EXPECT_TRUE(k->isHovered());
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 50 + 44, 50))), "");
    EXPECT_FALSE(k->isHovered());
    ASSERT_EQ(test::takeMessage(k->onMousePress(press(args, 50, 50))), "");
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 99, 99))), "");
    EXPECT_TRUE(k->isHovered());
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(k->onMouseRelease(none)), "");
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 99, 99))), "");
    EXPECT_FALSE(k->isHovered());
}

TEST_F(CKnobTest, ANegativeElementDisablesAndANewElementEnablesAndReadsItsValue) {
    CKnob* k = knob({{"element", "-1"}});
    ASSERT_NE(k, nullptr);
    EXPECT_TRUE(k->isDisabled());
    setValue(k, 0.25);
    EXPECT_EQ(k->value(), -1.0);   // a negative element reads nothing
    ASSERT_EQ(test::takeMessage(k->setAttr(CString("element"), CString("0"), true)), "");
    EXPECT_FALSE(k->isDisabled());
    EXPECT_NEAR(k->value(), 0.25, 1e-4);
    // A disabled knob ignores presses.
    ASSERT_EQ(test::takeMessage(k->setAttr(CString("element"), CString("-1"), true)), "");
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(k->onMousePress(press(args, 50, 50))), "");
    EXPECT_EQ(k->dragMode(), KnobDragNone);
}

// A change notification for elements that do not hold the knob's element leaves the value alone;
// one with count 0 (all elements) reads it.
TEST_F(CKnobTest, ChangeNotificationsOutsideTheElementAreIgnored) {
    CKnob* k = knob({});
    ASSERT_NE(k, nullptr);
    setValue(k, 0.5);
    ASSERT_NEAR(k->value(), 0.5, 1e-4);
    ASSERT_EQ(test::takeMessage(k->setAttr(CString("element"), CString("2"), true)), "");
    const double before = k->value();
    ASSERT_EQ(test::takeMessage(k->onUIParamChanged(k->uiParam(), 0, 2)), "");
    EXPECT_EQ(k->value(), before);
    ASSERT_EQ(test::takeMessage(k->onUIParamChanged(nullptr, 0, 0)), "");
    EXPECT_EQ(k->value(), before);
}

// A knob disabled in the middle of its drag ends the drag at once; the next press starts cleanly.
TEST_F(CKnobTest, DisablingTheKnobMidDragEndsTheDrag) {
    CKnob* k = knob({});
    ASSERT_NE(k, nullptr);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(k->onMousePress(press(args, 50, 50))), "");
    ASSERT_EQ(k->dragMode(), KnobDragLinear);
    ASSERT_EQ(test::takeMessage(k->setAttr(CString("element"), CString("-1"), true)), "");
    EXPECT_EQ(k->dragMode(), KnobDragNone);
    ASSERT_EQ(test::takeMessage(k->setAttr(CString("element"), CString("0"), true)), "");
    ASSERT_EQ(test::takeMessage(k->onMousePress(press(args, 50, 50))), "");
    EXPECT_EQ(k->dragMode(), KnobDragLinear);
}

// The glow fades in over 0.15 s on the frame clock; leaving after 0.05 s (level 1/3) fades out from
// 1/3 and reaches 0 after a further 0.05 s. The knob listens to the render event only while it fades.
TEST_F(CKnobTest, HoverGlowFadesOnTheFrameClockAndReversesFromItsLevel) {
    CKnob* k = knob({{"is-knob-labels", "false"}});
    ASSERT_NE(k, nullptr);
    sharedData->setFrameClock(10.0);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 50, 50))), "");
    EXPECT_NEAR(k->glowLevel(), 0.0, 1e-12);
    EXPECT_TRUE(k->isRenderListening());
    sharedData->setFrameClock(10.05);
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("window-render"))), "");
    EXPECT_NEAR(k->glowLevel(), 1.0 / 3.0, 1e-9);
    ASSERT_EQ(test::takeMessage(k->onMouseExit()), "");
    EXPECT_NEAR(k->glowLevel(), 1.0 / 3.0, 1e-9);
    sharedData->setFrameClock(10.075);
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("window-render"))), "");
    EXPECT_NEAR(k->glowLevel(), 1.0 / 6.0, 1e-9);
    sharedData->setFrameClock(10.1);
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("window-render"))), "");
    EXPECT_NEAR(k->glowLevel(), 0.0, 1e-9);
    sharedData->setFrameClock(10.125);   // the first frame past the fade's end
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("window-render"))), "");
    EXPECT_EQ(k->glowLevel(), 0.0);
    EXPECT_FALSE(k->isRenderListening());
    // Over the readout the glow fades out although the pointer is over the knob.
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 50, 50))), "");
    sharedData->setFrameClock(10.3);
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("window-render"))), "");
    EXPECT_NEAR(k->glowLevel(), 1.0, 1e-9);
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("readout-enter"))), "");
    sharedData->setFrameClock(10.5);
    ASSERT_EQ(test::takeMessage(k->runEvent(CString("window-render"))), "");
    EXPECT_NEAR(k->glowLevel(), 0.0, 1e-9);
}

// With the global "show-knob-labels" off a hover makes no labels.
TEST_F(CKnobTest, NoLabelsWhileTheGlobalSettingIsOff) {
    settings->showKnobLabels = false;
    CKnob* k = knob({{"is-knob-labels", "true"}, {"knob-labels-tag", "ui:knob-labels"}});
    ASSERT_NE(k, nullptr);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(k->onMouseMove(press(args, 50, 50))), "");
    EXPECT_TRUE(k->isHovered());
    EXPECT_FALSE(k->isLabelsShown());
    EXPECT_EQ(k->knobLabels(), nullptr);
}

class CKnobLayoutTest : public CKnobTest {
protected:
    // A set with images at the given indices (each with `layers` layers) and named ranges.
    void addSet(const char* name, const std::vector<std::int32_t>& images, int layers,
                const std::vector<std::tuple<const char*, std::int32_t, std::int32_t>>& ranges) {
        CImageSet set;
        for (std::int32_t i : images) set.setImage(i, probeImage(i, layers));
        for (const auto& [range, first, last] : ranges) set.setRange(CString(range), first, last);
        addImageSet(name, set);
    }
    static std::vector<std::int32_t> indices(std::int32_t first, std::int32_t last) {
        std::vector<std::int32_t> out;
        for (std::int32_t i = first; i <= last; ++i) out.push_back(i);
        return out;
    }
};

TEST_F(CKnobLayoutTest, LayoutIsDetectedFromTheRangeNames) {
    addSet("both", {0}, 1, {{"KnobTeeth", 0, 0}, {"BG", 0, 0}});
    addSet("bg", {0}, 1, {{"BG", 0, 0}});
    addSet("none", {0}, 1, {{"Other", 0, 0}});
    struct Case { const char* set; KnobLayout layout; };
    for (const Case& c : {Case{"shared::is.both", KnobLayoutLayered}, Case{"shared::is.bg", KnobLayoutComposite},
                          Case{"shared::is.none", KnobLayoutStrip}, Case{"", KnobLayoutStrip}}) {
        SCOPED_TRACE(c.set);
        CKnob* k = knob({{"image-set", c.set}});
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->layout(), c.layout);
    }
}

// Layered: static, teeth, pointer, static colour, light. Pointer 0..99, teeth 100..109, light
// 110..119, static 120, static colour 121.
TEST_F(CKnobLayoutTest, LayeredLayoutCyclesTheTeethWithThePointer) {
    addSet("layered", indices(0, 121), 1,
           {{"KnobPointer", 0, 99}, {"KnobTeeth", 100, 109}, {"KnobLight", 110, 119}, {"KnobStatic", 120, 120},
            {"KnobStaticColor", 121, 121}});
    CKnob* k = knob({{"image-set", "shared::is.layered"}});
    ASSERT_NE(k, nullptr);
    struct Case { double value; std::vector<std::string> images; };
    for (const Case& c : {Case{0.5, {"120:0", "100:0", "50:0", "121:0", "115:0"}},   // R(49.5) = 50, 50 mod 10 = 0
                          Case{0.13, {"120:0", "103:0", "13:0", "121:0", "111:0"}},   // R(12.87) = 13; R(1.17) = 1
                          Case{1.0, {"120:0", "109:0", "99:0", "121:0", "119:0"}}}) {
        SCOPED_TRACE(c.value);
        setValue(k, c.value);
        EXPECT_EQ(requested(k), c.images);
    }
    // Before the first value (-1) the knob draws as at 0.
    CKnob* fresh = knob({{"image-set", "shared::is.layered"}}, "100", "100", 1.0, false);
    EXPECT_EQ(requested(fresh), (std::vector<std::string>{"120:0", "100:0", "0:0", "121:0", "110:0"}));
}

// A teeth range that spans no image (last < first) would make the cycle length 0 or negative: the
// teeth draw nothing and the rest of the knob still draws.
TEST_F(CKnobLayoutTest, ADegenerateTeethRangeDrawsNoTeeth) {
    addSet("noteeth", indices(0, 11), 1, {{"KnobPointer", 0, 9}, {"KnobTeeth", 11, 10}, {"KnobStatic", 10, 10}});
    CKnob* k = knob({{"image-set", "shared::is.noteeth"}});
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->layout(), KnobLayoutLayered);
    setValue(k, 0.5);
    EXPECT_EQ(requested(k), (std::vector<std::string>{"10:0", "5:0"}));
}

// Composite: hairlines, (zero mark), base image o, (hover colour), base frame, LED, colour, indicator.
TEST_F(CKnobLayoutTest, CompositeLayoutRepeatsTheBaseFramesEveryTenDegrees) {
    addSet("composite", indices(0, 40), 1,
           {{"BG", 0, 0}, {"Hairlines", 1, 1}, {"HairlineZero", 2, 2}, {"Color", 3, 3}, {"ColorHover", 4, 4},
            {"Base", 10, 19}, {"LED", 20, 30}, {"Indicator", 31, 40}});
    CKnob* k = knob({{"image-set", "shared::is.composite"}});
    ASSERT_NE(k, nullptr);
    struct Case { double value; const char* base; const char* led; const char* indicator; };
    // 0.5: d = 135, (180 mod 10) / 9 = 0 -> 10; 0.02: d = 5, 50 mod 10 = 0 -> 10; 0.03: d = 8,
    // 53 mod 10 = 3, t = 1/3 -> 10 + R(3) = 13; 0.1: d = 27, 72 mod 10 = 2, R(2) = 2 -> 12.
    for (const Case& c : {Case{0.5, "10:0", "25:0", "36:0"}, Case{0.02, "10:0", "20:0", "31:0"},
                          Case{0.03, "13:0", "20:0", "31:0"}, Case{0.1, "12:0", "21:0", "32:0"}}) {
        SCOPED_TRACE(c.value);
        setValue(k, c.value);
        EXPECT_EQ(requested(k), (std::vector<std::string>{"1:0", "0:0", c.base, c.led, "3:0", c.indicator}));
    }
}

// Strip: with more than 200 images, image 200 first; then layers 0 and 1 of the value image, then
// layer 2 of the range's first image. Missing layers and images draw nothing instead of reading
// past the image.
TEST_F(CKnobLayoutTest, StripLayoutDrawsTheValueImageAndSkipsMissingLayers) {
    addSet("strip3", indices(0, 10), 3, {{"", 0, 10}});
    CKnob* k = knob({{"image-set", "shared::is.strip3"}});
    ASSERT_NE(k, nullptr);
    setValue(k, 0.44);   // R(4.4) = 4
    EXPECT_EQ(requested(k), (std::vector<std::string>{"4:0", "4:1", "0:2"}));

    addSet("strip1", indices(0, 10), 1, {{"", 0, 10}});
    CKnob* thin = knob({{"image-set", "shared::is.strip1"}});
    setValue(thin, 0.44);
    EXPECT_EQ(requested(thin), (std::vector<std::string>{"4:0"}));

    addSet("strip201", indices(0, 200), 1, {{"", 0, 10}});
    CKnob* big = knob({{"image-set", "shared::is.strip201"}});
    setValue(big, 1.0);
    EXPECT_EQ(requested(big), (std::vector<std::string>{"200:0", "10:0"}));
    addSet("strip200", indices(0, 199), 1, {{"", 0, 10}});
    CKnob* edge = knob({{"image-set", "shared::is.strip200"}});
    setValue(edge, 1.0);
    EXPECT_EQ(requested(edge), (std::vector<std::string>{"10:0"}));
}

// A drawn 40 x 40 layered knob: a grey disc (slot 0, the knob's colour) and nine pointer dots over
// the 270-degree sweep (slot 2, the swatch colour). The dot follows the value, the disc stays, and
// a disabled knob draws in the disabled colour.
TEST_F(CKnobLayoutTest, PaintDrawsThePointerWhereTheValueIs) {
    addColor("Disabled", "303030");
    CImageSet set;
    const auto disc = [](int x, int y) { return std::uint8_t((x - 20) * (x - 20) + (y - 20) * (y - 20) <= 16 * 16 ? 255 : 0); };
    auto* body = new CImage;
    body->addLayer(coverageLayer(0, 40, 40, 1.0, 255, disc));
    set.setImage(9, body);
    for (int j = 0; j < 9; ++j) {
        const double a = (225.0 - 270.0 * j / 8.0) * M_PI / 180.0;
        const double cx = 20 + 12 * std::cos(a), cy = 20 - 12 * std::sin(a);
        auto* dot = new CImage;
        dot->addLayer(coverageLayer(2, 40, 40, 1.0, 255, [cx, cy](int x, int y) {
            return std::uint8_t((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= 9.0 ? 255 : 0);
        }));
        set.setImage(j, dot);
    }
    set.setImage(10, probeImage(10, 1));
    set.setRange(CString("KnobPointer"), 0, 8);
    set.setRange(CString("KnobStatic"), 9, 9);
    set.setRange(CString("KnobTeeth"), 10, 9);   // no teeth
    addImageSet("painted", set);
    CKnob* k = knob({{"image-set", "shared::is.painted"}, {"is-knob-labels", "false"}}, "40", "40");
    ASSERT_NE(k, nullptr);
    const auto paint = [&](const char* name) {
        EXPECT_TRUE(k->prepareDraw());
        sharedData->prepareImages(0);
        auto sector = filledSector(0, 0, 40, 40, 0, 0, 0);
        k->paint(*sector);
        writePng(name, *sector->backBuffer);
        return sector;
    };
    const auto rgb = [](CSector& s, int x, int y) {
        const std::uint8_t* p = pixelAt(s, x, y);
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    };
    // Lower left (225 degrees) and lower right (-45 degrees) at radius 12 from (20, 20).
    const int lx = 20 - 8, ly = 20 + 8, rx = 20 + 8, ry = 20 + 8;
    setValue(k, 0.0);
    auto atZero = paint("knob-value-0");
    EXPECT_EQ(rgb(*atZero, lx, ly), "255,64,0");
    EXPECT_EQ(rgb(*atZero, rx, ry), "128,128,128");
    EXPECT_EQ(rgb(*atZero, 20, 20), "128,128,128");
    EXPECT_EQ(rgb(*atZero, 1, 1), "0,0,0");
    setValue(k, 1.0);
    auto atOne = paint("knob-value-1");
    EXPECT_EQ(rgb(*atOne, lx, ly), "128,128,128");
    EXPECT_EQ(rgb(*atOne, rx, ry), "255,64,0");
    ASSERT_EQ(test::takeMessage(k->setAttr(CString("element"), CString("-1"), true)), "");
    k->setEffectivelyDisabled(true);   // the renderer's bookkeeping before a frame
    k->selectColorStates();
    auto disabled = paint("knob-disabled");
    EXPECT_EQ(rgb(*disabled, 20, 20), "48,48,48");
}

} // namespace
} // namespace tal
