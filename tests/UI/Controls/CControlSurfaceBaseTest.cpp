#include "UI/Controls/CControlSurfaceBase.h"

#include "Core/CCreatorRegistry.h"
#include "UI/CMinMax.h"
#include "UI/CUIParam.h"
#include "support/SurfaceTestTree.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace tal {
namespace {

// The surface core with its state open to the tests and a settable window scale.
class CTestSurface : public CControlSurfaceBase {
public:
    using CControlSurfaceBase::mAddBandAutoTypes;
    using CControlSurfaceBase::mAreaRect;
    using CControlSurfaceBase::mCurrentLayer;
    using CControlSurfaceBase::mDraggedPoints;
    using CControlSurfaceBase::mHoverLabel;
    using CControlSurfaceBase::mHoverPoint;
    using CControlSurfaceBase::mHoverSegment;
    using CControlSurfaceBase::mIsGluedStateValid;
    using CControlSurfaceBase::mIsSimpleXyIgnoreMinmax;
    using CControlSurfaceBase::mIsSimpleXyParamMode;
    using CControlSurfaceBase::mLabelAreas;
    using CControlSurfaceBase::mMaxDistToSegment;
    using CControlSurfaceBase::mMinDistToSegmentVertex;
    using CControlSurfaceBase::mPointDisplay;
    using CControlSurfaceBase::mSegments;
    using CControlSurfaceBase::mWantedSelectionKey;
    double scale = 1.0;

protected:
    double hitScale() const noexcept override { return scale; }
};

// Band parameters on a recording editor: frequency 20 .. 20000 Hz over the log range "ui.freq",
// gain -30 .. 30 dB over the linear range "ui.gain" (-18 .. 18), and band types 0 .. 13; one
// surface "ui.surface" with the layer "group-main" bound to them.
class CControlSurfaceBaseTest : public CSurfaceTestTree {
protected:
    void SetUp() override {
        CSurfaceTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:surface-base", [] { return static_cast<CObject*>(new CTestSurface); }, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("test:surface-base"), CString("surface"), false)), "");
        surface = dynamic_cast<CTestSurface*>(object);
        ASSERT_NE(surface, nullptr);
        bridgeWith("freq-bridge", *freqInfo("100,500,1000,1010,20,20000,3000,4000"));
        bridgeWith("gain-bridge", *makeInfo("gain", 1, -30, 30, "0,0,0,0,0,0,0,0"));
        typeBridge = bridgeWith("type-bridge", *makeInfo("type", 1, 0, 13, "1,1,1,1,1,0,1,2.5"));
        ASSERT_EQ(surface->registerLayer(CString("group-main")), 0);
        record = surface->layer(0);
        record->paramX = addUIParam(owner, "x", {{"bridge", "ui.freq-bridge"}});
        record->paramY = addUIParam(owner, "y", {{"bridge", "ui.gain-bridge"}});
        record->paramFilterMode = addUIParam(owner, "mode", {{"bridge", "ui.type-bridge"}});
        bindRanges("ui.freq", "ui.gain");
        record->isEditable = true;
    }
    void bindRanges(const char* x, const char* y) {
        record->minMaxX.init(surface, CString(x), CString(), surface, CString());
        record->minMaxY.init(surface, CString(y), CString(), surface, CString());
    }
    // A point display record centred on (x, y) with a 10 x 10 hit rectangle.
    static CPointDisplay marker(double x, double y, std::int32_t layer, std::int32_t point) {
        return CPointDisplay::at(x, y, layer, point, x - 5.0, y - 5.0, 10.0, 10.0);
    }

    CTestSurface* surface = nullptr;
    CLayerRecord* record = nullptr;
    CParamBridge* typeBridge = nullptr;
};

TEST_F(CControlSurfaceBaseTest, ValuesMapToDisplayPositionsThroughTheRangeScale) {
    // Frequency parameter 20 .. 20000 interpolated logarithmically, gain -30 .. 30 linearly.
    struct Case {
        bool isY;
        double v;
        double expected;
    };
    const Case cases[] = {
        {false, 0.0, 0.0},
        {false, 0.5, 0.5},
        {false, 1.0, 1.0},
        {false, 0.25, 0.25},
        {true, 0.5, 0.5},                        // 0 dB in the middle of both
        {true, 0.8, (18.0 + 18.0) / 36.0},       // 18 dB: the top of the display range
        {true, 0.1, (-24.0 + 18.0) / 36.0},      // -24 dB: below the bottom, not limited
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(surface->valueToDisplay(c.isY, 0, c.v), c.expected, 1e-12) << c.isY << " " << c.v;
        EXPECT_NEAR(surface->displayToValue(c.isY, 0, c.expected), c.v, 1e-12) << c.isY << " " << c.v;
    }
}

TEST_F(CControlSurfaceBaseTest, ADisplayRangeNarrowerThanTheParameterMapsByItsOwnScale) {
    // A display of 100 .. 10000 Hz over the 20 .. 20000 Hz parameter.
    range("narrow", {{"is-log", "true"}, {"min", "100"}, {"max", "10000"}, {"scale-power", "1"}});
    range("bent", {{"is-log", "true"}, {"min", "20"}, {"max", "20000"}, {"scale-power", "2"}});
    bindRanges("ui.narrow", "ui.gain");
    for (double v : {0.0, 0.3, 0.5, 0.9}) {
        const double plain = 20.0 * std::pow(1000.0, v);
        const double expected = std::log(plain / 100.0) / std::log(100.0);
        EXPECT_NEAR(surface->valueToDisplay(false, 0, v), expected, 1e-12) << v;
        EXPECT_NEAR(surface->displayToValue(false, 0, expected), v, 1e-12) << v;
    }
    bindRanges("ui.bent", "ui.gain");
    EXPECT_NEAR(surface->valueToDisplay(false, 0, 0.5), 0.25, 1e-12);
    EXPECT_NEAR(surface->displayToValue(false, 0, 0.25), 0.5, 1e-12);
}

TEST_F(CControlSurfaceBaseTest, WithoutRangeOrParameterOrInSimpleXyIgnoringRangesTheMappingIsTheIdentity) {
    auto expectIdentity = [&](const char* what) {
        for (bool isY : {false, true})
            for (double v : {0.1, 0.6, 1.3}) {
                EXPECT_EQ(surface->valueToDisplay(isY, 0, v), v) << what;
                EXPECT_EQ(surface->displayToValue(isY, 0, v), v) << what;
            }
    };
    EXPECT_EQ(surface->valueToDisplay(false, 3, 0.3), 0.3);  // no such layer
    surface->mIsSimpleXyParamMode = true;
    surface->mIsSimpleXyIgnoreMinmax = true;
    expectIdentity("simple xy ignoring ranges");
    surface->mIsSimpleXyParamMode = false;
    bindRanges("ui.missing", "ui.missing");
    expectIdentity("no range");
}

TEST_F(CControlSurfaceBaseTest, BandHueFollowsTheClampedXOfTheCurrentLayer) {
    for (double x : {0.4, 1.3, -0.2})
        record->pointRecord(static_cast<std::int32_t>(record->points.size()))->x = x;
    const struct {
        std::int32_t index;
        double hue;
    } cases[] = {{0, 0.4}, {1, 1.0}, {2, 0.0}, {-1, 0.0}, {3, 0.0}};
    for (const auto& c : cases)
        EXPECT_EQ(surface->getBandHue(c.index), c.hue) << c.index;
    surface->mCurrentLayer = 4;  // no such layer: neutral answers
    EXPECT_EQ(surface->getBandHue(0), 0.0);
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    std::vector<std::int32_t> current = {1}, previous = {9};
    EXPECT_FALSE(surface->updateActiveBands(2, current, previous));
    EXPECT_EQ(current, std::vector<std::int32_t>({1}));
}

TEST_F(CControlSurfaceBaseTest, ActiveBandsAreTheSelectedBandsThatAreOnAndTheCurrentOne) {
    record->pointCount = 8;
    std::vector<std::int32_t> current, previous = {4};
    EXPECT_FALSE(surface->updateActiveBands(-1, current, previous));  // no selection record yet
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    EXPECT_FALSE(surface->updateActiveBands(-1, current, previous));
    EXPECT_TRUE(current.empty());
    EXPECT_EQ(previous, std::vector<std::int32_t>({4}));

    // Band 5 is off (type 0).
    surface->selection()->addPoint({0, 2}, true);
    surface->selection()->addPoint({0, 5}, true);
    surface->selection()->addPoint({1, 3}, true);  // another layer
    current = {6};
    EXPECT_TRUE(surface->updateActiveBands(7, current, previous));
    EXPECT_EQ(current, std::vector<std::int32_t>({2, 7}));
    EXPECT_EQ(previous, std::vector<std::int32_t>({6}));
    EXPECT_FALSE(surface->updateActiveBands(7, current, previous));
    EXPECT_TRUE(surface->updateActiveBands(2, current, previous));
    EXPECT_EQ(current, std::vector<std::int32_t>({2}));
    EXPECT_EQ(previous, std::vector<std::int32_t>({2, 7}));
}

TEST_F(CControlSurfaceBaseTest, FilterModeRoundsTheBandTypeHalfAwayFromZero) {
    EXPECT_EQ(surface->getFilterMode({0, 0}), 1);
    EXPECT_EQ(surface->getFilterMode({0, 5}), 0);
    EXPECT_EQ(surface->getFilterMode({0, 7}), 3);  // 2.5
    EXPECT_EQ(surface->getFilterMode({1, 0}), -1);
    EXPECT_EQ(surface->getFilterMode({-1, 0}), -1);
    record->paramFilterMode = nullptr;
    EXPECT_EQ(surface->getFilterMode({0, 0}), -1);
}

TEST_F(CControlSurfaceBaseTest, FindPointAtTakesTheNearestAndOfEqualsTheOneDrawnOnTop) {
    ASSERT_EQ(surface->registerLayer(CString("other")), 1);  // not editable
    surface->mPointDisplay = {marker(100, 50, 0, 0), marker(104, 50, 0, 1), marker(102, 50, 1, 0),
                              marker(130, 90, 0, 2)};
    struct Case {
        bool editableOnly, xOnly, ignoreRects;
        double x, y, maxDistance, scale;
        std::int32_t expected;
    };
    const Case cases[] = {
        {false, false, false, 102, 50, 12, 1, 2},   // exactly on the non-editable marker
        {true, false, false, 102, 50, 12, 1, 1},    // 0 and 1 at 2 px each: the later one
        {true, false, false, 100, 50, 12, 1, 0},
        {true, false, false, 120, 50, 30, 1, -1},   // outside every hit rectangle
        {true, false, true, 120, 50, 30, 1, 1},     // ignoring the rectangles: 16 px from point 1
        {true, false, true, 120, 50, 12, 1, -1},    // beyond the limit
        {true, false, true, 120, 50, 8, 2, -1},     // 16 px is not below 8 x 2
        {true, false, true, 120, 50, 8.5, 2, 1},    // the limit grows with the scale
        {true, true, false, 129, 0, 12, 1, 3},      // x only
        {true, true, false, 200, 0, 12, 1, -1},
    };
    for (const Case& c : cases) {
        surface->scale = c.scale;
        EXPECT_EQ(surface->findPointAt(c.editableOnly, c.xOnly, c.ignoreRects, c.x, c.y, c.maxDistance), c.expected)
            << c.x << "," << c.y << " max " << c.maxDistance << " scale " << c.scale;
    }
    surface->mPointDisplay.clear();
    EXPECT_EQ(surface->findPointAt(false, false, true, 0, 0, 1e9), -1);
}

TEST_F(CControlSurfaceBaseTest, SegmentsAreHitWithinTheirDistanceButNotNearTheirEnds) {
    surface->mMaxDistToSegment = 6.0;
    surface->mMinDistToSegmentVertex = 11.0;
    surface->mSegments = {{{0, 0}, {0, 1}, 0, 0, 100, 0}, {{0, 1}, {0, 2}, 100, 0, 100, 100}};
    struct Case {
        double x, y, scale;
        std::int32_t expected;
    };
    const Case cases[] = {
        {50, 5, 1, 0},     // 5 px from the middle
        {50, 7, 1, -1},    // 7 px: beyond the limit of 6
        {-4, 5, 1, -1},    // 5 px from the line but about 6 px from the start: the point's circle
        {6, 5, 1, -1},     // 5 px from the segment and 7.8 px from its end: inside the 11 px circle
        {50, 11, 2, 0},    // scale 2: limits of 12 and 22
        {50, 13, 2, -1},
        {15, 5, 2, -1},    // 15.8 px from the end: inside 22
        {105, 50, 1, 1},
    };
    for (const Case& c : cases) {
        surface->scale = c.scale;
        EXPECT_EQ(surface->findSegmentAt(true, c.x, c.y), c.expected) << c.x << "," << c.y << " scale " << c.scale;
    }
    surface->scale = 1;
    record->isEditable = false;
    EXPECT_EQ(surface->findSegmentAt(true, 50, 5), -1);
    EXPECT_EQ(surface->findSegmentAt(false, 50, 5), 0);
}

TEST_F(CControlSurfaceBaseTest, ProjectionOnASegmentClampsToItsEnds) {
    const CSegmentDisplay segment{{0, 0}, {0, 1}, 10, 20, 50, 20};
    struct Case {
        double x, y, fraction, outX;
    } cases[] = {{20, 30, 0.25, 20}, {0, 0, 0.0, 10}, {80, -5, 1.0, 50}, {30, 20, 0.5, 30}};
    for (const Case& c : cases) {
        double out[2] = {-1, -1}, length = 0;
        EXPECT_DOUBLE_EQ(surface->projectOnSegment(segment, out, c.x, c.y, length), c.fraction) << c.x;
        EXPECT_DOUBLE_EQ(out[0], c.outX) << c.x;
        EXPECT_EQ(out[1], 20.0);
        EXPECT_EQ(length, 40.0);
    }
    double out[2], length = 1;
    EXPECT_EQ(surface->projectOnSegment({{0, 0}, {0, 1}, 5, 5, 5, 5}, out, 9, 9, length), 0.0);
    EXPECT_EQ(length, 0.0);
    const double p[2] = {3, 4}, a[2] = {0, 0}, b[2] = {10, 0};
    EXPECT_EQ(CControlSurfaceBase::distanceToLine(p, a, b), 4.0);
}

TEST_F(CControlSurfaceBaseTest, TheAreaRectangleIsGrownBySevenPixelsUnlessEmpty) {
    surface->mAreaRect = {10, 10, 0, 50};
    for (double x : {10.0, 9.0, 3.0, 16.0})
        EXPECT_FALSE(surface->isInAreaRect(x, 20)) << x;
    surface->mAreaRect = {10, 10, 20, 20};
    EXPECT_TRUE(surface->isInAreaRect(3, 3));
    EXPECT_TRUE(surface->isInAreaRect(36.9, 36.9));
    EXPECT_FALSE(surface->isInAreaRect(37, 20));
    EXPECT_FALSE(surface->isInAreaRect(2.9, 20));
}

TEST_F(CControlSurfaceBaseTest, HoverTakesTheTopPointOfTakingPartLayersThenSegmentsThenLabels) {
    surface->mMaxDistToSegment = 6.0;
    surface->mMinDistToSegmentVertex = 11.0;
    surface->mPointDisplay = {marker(100, 50, 0, 0), marker(100, 50, 0, 1)};
    surface->mSegments = {{{0, 0}, {0, 1}, 0, 200, 100, 200}};
    surface->mLabelAreas = {{300, 300, 20, 10, {0, 4}}};
    ASSERT_EQ(test::takeMessage(surface->updateHoverAt(101, 51)), "");
    EXPECT_EQ(surface->mHoverPoint, (CControlPointRef{0, 1}));
    EXPECT_EQ(surface->mDraggedPoints, std::vector<CControlPointRef>({{0, 1}}));

    // A layer that is not editable, inactive or hiding its points is never hovered.
    for (bool CLayerRecord::*flag : {&CLayerRecord::isInactive, &CLayerRecord::arePointsHidden}) {
        record->*flag = true;
        ASSERT_EQ(test::takeMessage(surface->updateHoverAt(101, 51)), "");
        EXPECT_TRUE(surface->mHoverPoint.isNone());
        EXPECT_TRUE(surface->mDraggedPoints.empty());
        record->*flag = false;
    }
    record->isEditable = false;
    ASSERT_EQ(test::takeMessage(surface->updateHoverAt(101, 51)), "");
    EXPECT_TRUE(surface->mHoverPoint.isNone());
    record->isEditable = true;

    ASSERT_EQ(test::takeMessage(surface->updateHoverAt(50, 204)), "");
    EXPECT_TRUE(surface->mHoverPoint.isNone());
    EXPECT_EQ(surface->mHoverSegment, 0);
    ASSERT_EQ(test::takeMessage(surface->updateHoverAt(310, 305)), "");
    EXPECT_EQ(surface->mHoverSegment, -1);
    EXPECT_EQ(surface->mHoverLabel, (CControlPointRef{0, 4}));
}

TEST_F(CControlSurfaceBaseTest, SnappedBandwidthIsTheOctaveDistanceToTheNearestBandThatIsOn) {
    struct Case {
        double nearest;  // the frequency of the one band that is on
        double added;
        double expected;
    };
    const Case cases[] = {
        {1000, 500, 1.0}, {1010, 1000, 0.25}, {20, 20000, 2.5}, {4000, 3000, std::log2(4000.0 / 3000.0)},
    };
    record->pointCount = 3;
    for (const Case& c : cases) {
        record->pointRecord(0)->x = freqX(c.nearest);
        record->pointRecord(0)->bandType = 1;
        record->pointRecord(1)->x = freqX(c.added) + 1e-3;  // nearer, but off
        record->pointRecord(1)->bandType = 0;
        record->pointRecord(2)->x = 2.0;                     // far away, on
        record->pointRecord(2)->bandType = 2;
        EXPECT_NEAR(surface->snapBandwidth(0, freqX(c.added), 2.5), c.expected, 1e-9) << c.added;
    }
    record->pointCount = 0;
    EXPECT_EQ(surface->snapBandwidth(0, 0.5, 1.75), 1.75);  // no band
    EXPECT_EQ(surface->snapBandwidth(2, 0.5, 1.75), 1.75);  // no layer
    record->paramX = nullptr;
    EXPECT_EQ(surface->snapBandwidth(0, 0.5, 1.75), 1.75);
}

TEST_F(CControlSurfaceBaseTest, AutomaticBandTypesComeFromTheFirstCoveringTriple) {
    struct Case {
        const char* text;
        std::vector<std::array<std::int32_t, 3>> records;  // type, low, high
    };
    const Case cases[] = {
        {"0,100,1, 100,7000,1,  7000,96000,1", {{1, 0, 100}, {1, 100, 7000}, {1, 7000, 96000}}},
        {"1,2", {}},
        {"1,2,3,4", {{3, 1, 2}}},
        {"x,2,3", {{3, 0, 2}}},
        {"1,,2,,,3", {{3, 1, 2}}},
        {"0x10,#20,$3", {{3, 16, 32}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<CAddBandAutoType> parsed;
        CControlSurfaceBase::parseAddBandAutoTypes(CString(c.text), parsed);
        ASSERT_EQ(parsed.size(), c.records.size()) << c.text;
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            EXPECT_EQ(parsed[i].type, c.records[i][0]) << c.text;
            EXPECT_EQ(parsed[i].lowHz, c.records[i][1]) << c.text;
            EXPECT_EQ(parsed[i].highHz, c.records[i][2]) << c.text;
        }
    }
    CControlSurfaceBase::parseAddBandAutoTypes(CString("20,100,4, 100,7000,1"), surface->mAddBandAutoTypes);
    const struct {
        double f;
        std::int32_t type;
    } lookups[] = {{1000, 1}, {50, 4}, {100, 4}, {7000, 1}, {19.6, 4}, {7000.6, 0}, {15000, 0}};
    for (const auto& l : lookups)
        EXPECT_EQ(surface->getAutoBandType(0, freqX(l.f)), l.type) << l.f;
    EXPECT_EQ(surface->getAutoBandType(3, 0.5), 0);
}

TEST_F(CControlSurfaceBaseTest, EachSelectionKeyKeepsItsOwnRecord) {
    record->pointCount = 4;
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    CControlSurfaceSelection* first = surface->selection();
    ASSERT_NE(first, nullptr);
    first->addPoint({0, 1}, true);
    first->addPoint({0, 6}, true);  // beyond the point count: never selected
    first->addPoint({0, 3}, true);
    record->pointCount = 2;
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    EXPECT_EQ(surface->selection(), first);
    EXPECT_EQ(first->selected.size(), 2u);  // the same key changes nothing

    surface->mWantedSelectionKey = CString("group 1");
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    EXPECT_NE(surface->selection(), first);
    EXPECT_TRUE(surface->selection()->selected.empty());
    surface->mWantedSelectionKey = CString();
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    EXPECT_EQ(surface->selection(), first);
    EXPECT_EQ(first->selected, std::vector<CControlPointRef>({{0, 1}}));
}

TEST_F(CControlSurfaceBaseTest, PositionsClampUnlessGluedAndDifferBeyondRounding) {
    EXPECT_EQ(surface->clampPosition(1.4), 1.0);
    EXPECT_EQ(surface->clampPosition(-0.1), 0.0);
    surface->mIsGluedStateValid = true;
    EXPECT_EQ(surface->clampPosition(1.4), 1.4);
    const double a[2] = {0.5, 0.25};
    const double same[2] = {0.5 + 1e-17, 0.25};
    const double other[2] = {0.5, 0.2500001};
    EXPECT_FALSE(CControlSurfaceBase::isPositionDifferent(a, same));
    EXPECT_TRUE(CControlSurfaceBase::isPositionDifferent(a, other));
}

} // namespace
} // namespace tal
