#include "UI/Controls/CControlSurfaceLayer.h"

#include "Core/CCreatorRegistry.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CValueList.h"
#include "Core/CStringList.h"
#include "Core/CAttrMap.h"
#include "UI/Controls/CControlSurfaceEvents.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Controls/SurfaceCreators.h"
#include "support/SurfaceTestTree.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

class CLayerTestSurface : public CControlSurfaceEvents {
public:
    using CControlSurfaceEvents::mInterfaceClient;
    using CControlSurfaceBase::mAddBandAutoTypes;
    using CControlSurfaceBase::mHoverPoint;
    using CControlSurfaceBase::mIsSnapAddBand;
    using CControlSurfaceBase::mCurrentLayer;
    using CControlSurfaceBase::mCurrentPoint;
    using CControlSurfaceBase::mPendingCurrentPoint;
    using CControlSurfaceBase::mPlotRect;
    using CControlSurfaceBase::mPointDisplay;
};

// A surface with the layer "group-main" bound to band parameters on a recording editor: frequency
// (logarithmic 20 .. 20000 Hz), gain (-30 .. 30 dB over a display of -18 .. 18), bandwidth, type,
// previous type and count, as the audio side announced them.
class CControlSurfaceLayerTest : public CSurfaceTestTree {
protected:
    void SetUp() override {
        CSurfaceTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:layer-surface", [] { return static_cast<CObject*>(new CLayerTestSurface); },
                 &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(kSurfaceCreatorTable);
            if (CCreatorRegistry::instance().find(CString("ui:color-swatch")) == nullptr)
                CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // the colour swatch
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("test:layer-surface"), CString("surface"), false)), "");
        surface = dynamic_cast<CLayerTestSurface*>(object);
        freqBridge = bridgeWith("freq-bridge", *freqInfo("100,1000,5000,200,300"));
        gainBridge = bridgeWith("gain-bridge", *makeInfo("gain", 1, -30, 30, "6,-9,0,3,-3"));
        bridgeWith("bw-bridge", *makeInfo("bw", 1, 0, 4, "1,2,0.5,1,1"));
        typeBridge = bridgeWith("type-bridge", *makeInfo("type", 1, 0, 13, "7,0,1,0,2"));
        bridgeWith("prev-bridge", *makeInfo("prev", 1, 0, 13, "0,4,0,0,0"));
        countBridge = bridgeWith("count-bridge", *makeInfo("count", 1, 0, 32, "3"));
    }
    // The layer with the given attributes; with bound set, its band parameters as children.
    CControlSurfaceLayer* makeLayer(AttrList attrs, bool bound) {
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(surface->addChild(object, CString("ui:control-surface-layer"),
                                                      CString("group-main"), false)),
                  "");
        auto* layer = dynamic_cast<CControlSurfaceLayer*>(object);
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(test::takeMessage(layer->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(layer->init()), "");
        if (bound) {
            const std::pair<const char*, const char*> params[] = {
                {"ui-param-x", "ui.freq-bridge"},         {"ui-param-y", "ui.gain-bridge"},
                {"ui-param-bw", "ui.bw-bridge"},          {"ui-param-filter-mode", "ui.type-bridge"},
                {"ui-param-prev-filter-mode", "ui.prev-bridge"}, {"ui-param-count", "ui.count-bridge"},
                {"ui-param-unknown", "ui.count-bridge"},
            };
            for (const auto& [name, bridge] : params) {
                CObject* param = nullptr;
                EXPECT_EQ(test::takeMessage(CParamTestTree::build(param, layer, "ui:ui-param", name, {{"bridge", bridge}})),
                          "");
            }
        }
        EXPECT_EQ(test::takeMessage(layer->createChilds()), "");
        EXPECT_EQ(test::takeMessage(layer->initChilds()), "");
        return layer;
    }
    CLayerRecord& record() { return *surface->layer(0); }
    void reply(CParamBridge* bridge, int element, double x) {
        const std::vector<double> values = {x};
        connector->replyParamUpdate(bridge->listenHandle(), floatChange(0, element, values));
    }
    double plain(CUIParam* param, int element) {
        CUIParamValue value;
        param->getPlainValue(value, element, -1);
        return value[0];
    }

    CLayerTestSurface* surface = nullptr;
    CParamBridge* freqBridge = nullptr;
    CParamBridge* gainBridge = nullptr;
    CParamBridge* typeBridge = nullptr;
    CParamBridge* countBridge = nullptr;
};

TEST_F(CControlSurfaceLayerTest, PointsAreBuiltFromTheBandParameters) {
    makeLayer({{"min-max-x", "ui.freq"}, {"min-max-y", "ui.gain"}, {"is-editable", "true"}, {"is-vertical", "true"},
               {"filter-mode-value-list", ".filter-mode-values"}},
              true);
    ASSERT_EQ(surface->layerCount(), 1);
    EXPECT_EQ(record().name, CString("group-main"));
    EXPECT_EQ(record().filterModeValueList, CString("ui.surface.group-main.filter-mode-values"));
    EXPECT_TRUE(record().isEditable);
    EXPECT_TRUE(record().isVertical);
    ASSERT_EQ(record().pointCount, 3);
    const double freqs[] = {100, 1000, 5000};
    const double gains[] = {6, -9, 0};
    const int types[] = {7, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const CControlPoint& p = *record().points[static_cast<std::size_t>(i)];
        EXPECT_NEAR(p.x, freqX(freqs[i]), 1e-9) << i;
        EXPECT_NEAR(p.rawY, gainY(gains[i]), 1e-9) << i;
        EXPECT_EQ(p.bandType, types[i]) << i;
    }
    // Gain 6 dB of a -30 .. 30 parameter on a display of -18 .. 18.
    EXPECT_NEAR(record().points[1]->bandwidth, 0.5, 1e-12);
}

TEST_F(CControlSurfaceLayerTest, CountAndValueChangesFromTheAudioSideReachThePoints) {
    makeLayer({{"min-max-x", "ui.freq"}, {"min-max-y", "ui.gain"}, {"is-editable", "true"}}, true);
    ASSERT_EQ(record().pointCount, 3);
    reply(countBridge, 0, 5);
    ASSERT_EQ(record().pointCount, 5);
    EXPECT_NEAR(record().points[3]->x, freqX(200), 1e-9);
    EXPECT_NEAR(record().points[4]->x, freqX(300), 1e-9);
    EXPECT_EQ(record().points[4]->bandType, 2);
    reply(typeBridge, 4, 9);
    EXPECT_EQ(record().points[4]->bandType, 9);

    reply(freqBridge, 1, 2000);
    EXPECT_NEAR(record().points[1]->x, freqX(2000), 1e-9);
    reply(gainBridge, 2, 30);  // beyond the display: raw above 1, shown at the top
    EXPECT_NEAR(record().points[2]->rawY, gainY(30), 1e-9);
    EXPECT_EQ(record().points[2]->y, 1.0);

    reply(countBridge, 0, 2);
    EXPECT_EQ(record().pointCount, 2);
    EXPECT_NEAR(record().points[1]->x, freqX(2000), 1e-9);  // kept
    EXPECT_EQ(record().points.size(), 5u);                   // the surplus records stay
}

TEST_F(CControlSurfaceLayerTest, BalancedLayersSpreadTheirCountedPoints) {
    struct Case {
        const char* count;
        const char* isBalanced;
        const char* isVertical;
        std::vector<double> x, y;
    };
    const Case cases[] = {
        {"3", "true", "true", {0, 0.5, 1}, {0, 0, 0}},
        {"3", "true", "false", {0, 0, 0}, {0, 0.5, 1}},
        {"1", "true", "true", {0.5}, {0}},
        {"1", "false", "true", {0}, {0}},
        {"0", "true", "true", {}, {}},
    };
    for (const Case& c : cases) {
        CControlSurfaceLayer* layer =
            makeLayer({{"point-count", c.count}, {"is-balanced", c.isBalanced}, {"is-vertical", c.isVertical},
                       {"base-point-num", "A"}, {"kind", "anchor"}},
                      false);
        CLayerRecord& r = *surface->layer(layer->layerIndex());
        ASSERT_EQ(r.pointCount, static_cast<std::int32_t>(c.x.size())) << c.count;
        for (std::size_t i = 0; i < c.x.size(); ++i) {
            EXPECT_EQ(r.points[i]->x, c.x[i]) << c.count << c.isBalanced << c.isVertical << i;
            EXPECT_EQ(r.points[i]->y, c.y[i]) << c.count << c.isBalanced << c.isVertical << i;
            EXPECT_EQ(r.points[i]->labelBase, 'A');
            EXPECT_EQ(r.points[i]->kind, 3);
        }
        layer->release();
    }
}

TEST_F(CControlSurfaceLayerTest, ToggleBandSwitchesOffKeepingTheTypeAndBackOn) {
    makeLayer({{"min-max-x", "ui.freq"}, {"min-max-y", "ui.gain"}, {"is-editable", "true"}}, true);
    CControlSurfaceBase::parseAddBandAutoTypes(CString("0,100,1, 100,7000,1,  7000,96000,1"),
                                               surface->mAddBandAutoTypes);
    CLayerRecord& r = record();
    surface->mHoverPoint = {0, 0};
    bool gluedOn = true;
    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 0}, true, true, gluedOn)), "");  // on: only-on does nothing
    EXPECT_EQ(plain(r.paramFilterMode, 0), 7.0);
    EXPECT_FALSE(gluedOn);

    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 0}, false, true, gluedOn)), "");
    EXPECT_EQ(plain(r.paramFilterMode, 0), 0.0);
    EXPECT_EQ(plain(r.paramPrevFilterMode, 0), 7.0);
    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 0}, false, true, gluedOn)), "");
    EXPECT_EQ(plain(r.paramFilterMode, 0), 7.0);
    EXPECT_EQ(surface->getIntAttr("current-graph-point"), 0);

    // Band 1 was switched off with type 4 before; band 3 (200 Hz) never had a type.
    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 1}, false, true, gluedOn)), "");
    EXPECT_EQ(plain(r.paramFilterMode, 1), 4.0);
    reply(countBridge, 0, 5);
    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 3}, false, true, gluedOn)), "");
    EXPECT_EQ(plain(r.paramFilterMode, 3), 1.0);
    surface->mAddBandAutoTypes.clear();
    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 3}, false, true, gluedOn)), "");
    ASSERT_EQ(test::takeMessage(surface->toggleBand({0, 3}, false, true, gluedOn)), "");
    EXPECT_EQ(plain(r.paramFilterMode, 3), 1.0);  // the previous type now
}

TEST_F(CControlSurfaceLayerTest, CurrentGraphPointFollowsTheHoveredBandWhileItIsOn) {
    makeLayer({{"min-max-x", "ui.freq"}, {"min-max-y", "ui.gain"}, {"is-editable", "true"}}, true);
    ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    ASSERT_EQ(test::takeMessage(surface->selection()->setCurrentPoint({0, 2}, true)), "");
    EXPECT_EQ(surface->getIntAttr("curpos-band-sel"), 2);
    struct Case {
        CControlPointRef hover;
        bool force;
        std::int32_t expected;
    };
    const Case cases[] = {
        {{0, 0}, false, 0},   // hovered, on
        {{-1, -1}, false, 2}, // the current band
        {{0, 1}, false, -1},  // hovered but off
        {{0, 1}, true, 1},
        {{0, 7}, true, -1},   // beyond the bands
    };
    for (const Case& c : cases) {
        surface->mHoverPoint = c.hover;
        ASSERT_EQ(test::takeMessage(surface->updateCurrentGraphPoint(c.force)), "");
        EXPECT_EQ(surface->getIntAttr("current-graph-point"), c.expected) << c.hover.point << c.force;
    }
}

// The band parameters after edits: the lines the editor sent and the undo steps it submitted.
class CControlSurfaceEditTest : public CControlSurfaceLayerTest {
protected:
    void SetUp() override {
        CControlSurfaceLayerTest::SetUp();
        makeLayer({{"min-max-x", "ui.freq"}, {"min-max-y", "ui.gain"}, {"is-editable", "true"}}, true);
        CControlSurfaceBase::parseAddBandAutoTypes(CString("0,100,1, 100,7000,1,  7000,96000,1"),
                                                   surface->mAddBandAutoTypes);
        surface->mIsSnapAddBand = true;
        surface->mPlotRect = {0, 0, 1000, 100};
        surface->undoCollector().attach(client);
        connector->take();
    }
    // The names of the undo steps submitted since the last call, without the group names that the
    // collector appends.
    std::vector<std::string> submittedSteps() {
        std::vector<std::string> names;
        for (const std::string& line : connector->take())
            if (line.rfind("submit-undo-data ", 0) == 0)
                names.push_back(line.substr(line.find('\'') + 1, line.find(" (") - line.find('\'') - 1));
        return names;
    }
    CUIParam* param(const char* name) { return dynamic_cast<CUIParam*>(ui->findObject(CString(name))); }
    double value(const char* name, int element) { return plain(param(name), element); }
    // The parameters and the point record of band i agree.
    void expectShown(int i) {
        const CControlPoint& p = *record().points[static_cast<std::size_t>(i)];
        EXPECT_NEAR(p.x, freqX(value("ui.surface.group-main.ui-param-x", i)), 1e-9) << i;
        EXPECT_NEAR(p.rawY, gainY(value("ui.surface.group-main.ui-param-y", i)), 1e-9) << i;
        EXPECT_EQ(p.bandType, std::lround(value("ui.surface.group-main.ui-param-filter-mode", i))) << i;
    }
};

TEST_F(CControlSurfaceEditTest, AddingABandWritesItsValuesThenTheCountAsOneStep) {
    reply(countBridge, 0, 0);
    ASSERT_EQ(record().pointCount, 0);
    ASSERT_EQ(test::takeMessage(surface->addPoint(0, false, -1, freqX(1000) * 1000, 50)), "");
    EXPECT_EQ(submittedSteps(), std::vector<std::string>({"Control point add"}));
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 1.0);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 0), 1000.0, 1e-6);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-y", 0), 0.0, 1e-9);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-filter-mode", 0), 1.0);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-bw", 0), 2.5, 1e-12);
    EXPECT_EQ(surface->lastAddedPoint(), (CControlPointRef{0, 0}));
    ASSERT_EQ(record().pointCount, 1);
    expectShown(0);

    // The next band snaps its bandwidth to the first: 500 Hz is one octave below.
    ASSERT_EQ(test::takeMessage(surface->addPoint(0, false, -1, freqX(500) * 1000, 25)), "");
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-bw", 1), 1.0, 1e-9);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-y", 1), 9.0, 1e-9);  // a quarter down from the top
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 2.0);
    ASSERT_EQ(record().pointCount, 2);
    expectShown(1);
}

TEST_F(CControlSurfaceEditTest, AFullLayerTakesNoBand) {
    reply(countBridge, 0, 32);
    connector->take();
    const double before = value("ui.surface.group-main.ui-param-x", 31);
    ASSERT_EQ(test::takeMessage(surface->addPoint(0, false, -1, 500, 50)), "");
    EXPECT_TRUE(surface->lastAddedPoint().isNone());
    for (const std::string& line : connector->take())
        EXPECT_EQ(line.rfind("change-param", 0), std::string::npos) << line;
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 32.0);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-x", 31), before);
}

TEST_F(CControlSurfaceEditTest, RemovingABandMovesTheLastIntoItsSlot) {
    reply(countBridge, 0, 4);
    // Bands: 100, 1000, 5000, 200 Hz of types 7, 0, 1, 0.
    ASSERT_EQ(test::takeMessage(surface->removePoint({0, 1}, false, -1, true, nullptr)), "");
    EXPECT_EQ(submittedSteps(), std::vector<std::string>({"Control point remove"}));
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 3.0);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 1), 200.0, 1e-6);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-y", 1), 3.0, 1e-9);
    ASSERT_EQ(record().pointCount, 3);
    for (int i = 0; i < 3; ++i)
        expectShown(i);

    // The last band, then several as one step: 2 and 0 with the commit on the last call.
    ASSERT_EQ(test::takeMessage(surface->removePoint({0, 2}, false, -1, false, nullptr)), "");
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 1), 200.0, 1e-6);
    ASSERT_EQ(test::takeMessage(surface->removePoint({0, 0}, false, -1, true, nullptr)), "");
    EXPECT_EQ(submittedSteps(), std::vector<std::string>({"Control point remove"}));
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 1.0);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 0), 200.0, 1e-6);
}

TEST_F(CControlSurfaceEditTest, RemovingABandTheGroupDoesNotHaveChangesNothing) {
    const double x0 = value("ui.surface.group-main.ui-param-x", 0);
    for (int count : {0, 2}) {
        reply(countBridge, 0, count);
        connector->take();
        ASSERT_EQ(test::takeMessage(surface->removePoint({0, 2}, false, -1, true, nullptr)), "");
        for (const std::string& line : connector->take())
            EXPECT_EQ(line.rfind("change-param", 0), std::string::npos) << count << ": " << line;
        EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), count);
        EXPECT_EQ(value("ui.surface.group-main.ui-param-x", 0), x0);
    }
}

TEST_F(CControlSurfaceEditTest, QueuedMovesAndMarkedPointsAreSentClampedToTheRange) {
    surface->queueMove({0, 0}, -5.0, 0.0, true, false);
    surface->queueMove({0, 2}, 0.25, 3.0, true, true);
    surface->queueMove({0, 2}, 0.25, 0.0, true, true);  // adds to the first move
    surface->queueMove({0, 9}, 0.25, 0.0, true, true);  // no such band
    const double x2 = freqX(5000);
    ASSERT_EQ(test::takeMessage(surface->flushPointChanges()), "");
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 0), 20.0, 1e-9);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 2), 20000.0, 1e-6);  // 0.77 + 0.5 -> 1
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-y", 2), 30.0, 1e-9);
    EXPECT_GT(x2 + 0.5, 1.0);

    CControlPoint& p = *record().points[1];
    p.rawX = freqX(3000);
    p.rawY = gainY(-6);
    surface->markPointChanged({0, 1});
    ASSERT_EQ(test::takeMessage(surface->flushPointChanges()), "");
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 1), 3000.0, 1e-6);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-y", 1), -6.0, 1e-9);
}

TEST_F(CControlSurfaceEditTest, QueuedMovesWaitForTheUpdateTimerTick) {
    const double before = value("ui.surface.group-main.ui-param-x", 1);
    surface->queueMove({0, 1}, freqX(2000) - freqX(1000), 0.0, true, false);
    surface->queueMove({0, 1}, 0.0, 0.0, true, false);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-x", 1), before);
    EXPECT_TRUE(connector->take().empty());
    ASSERT_EQ(test::takeMessage(surface->onUpdateTimer()), "");
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-x", 1), 2000.0, 1e-6);
    EXPECT_FALSE(connector->take().empty());
    // Nothing pending: a further tick sends nothing.
    ASSERT_EQ(test::takeMessage(surface->onUpdateTimer()), "");
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CControlSurfaceEditTest, ResetIsOneUndoStepNamedAfterItsTitle) {
    // Without an interface client nothing is reset.
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(surface->onReset(args)), "");
    EXPECT_TRUE(connector->take().empty());
    surface->mInterfaceClient.init(surface, client->getFullName(), CString(), surface, CString());
    ASSERT_EQ(test::takeMessage(surface->onReset(args)), "");
    // One undo record made with the step's name, every band parameter reset into it, one submit.
    std::size_t creates = 0, resets = 0, submits = 0;
    for (const std::string& line : connector->take()) {
        if (line.rfind("create-undo-data ", 0) == 0) {
            ++creates;
            EXPECT_NE(line.find("'Control surface reset'"), std::string::npos) << line;
        }
        resets += line.rfind("reset-param ", 0) == 0;
        submits += line.rfind("submit-undo-data ", 0) == 0;
    }
    EXPECT_EQ(creates, 1u);
    EXPECT_GT(resets, 5u);
    EXPECT_EQ(submits, 1u);

    args.findOrAdd("title")->value.setText(CString("Low end"));
    args.findOrAdd("group")->value.setInt(0);
    ASSERT_EQ(test::takeMessage(surface->onReset(args)), "");
    // The title, the group's display name and " reset".
    std::vector<std::string> names;
    for (const std::string& line : connector->take())
        if (line.rfind("create-undo-data ", 0) == 0)
            names.push_back(line.substr(line.find('\'') + 1, line.rfind('\'') - line.find('\'') - 1));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("Low end (", 0), 0u) << names[0];
    EXPECT_EQ(names[0].substr(names[0].size() - 7), ") reset") << names[0];
}

// The selection of the editing fixture's three bands, with the selection parameter bound.
class CControlSurfaceSelectionTest : public CControlSurfaceEditTest {
protected:
    void SetUp() override {
        CControlSurfaceEditTest::SetUp();
        bridgeWith("sel-bridge", *makeInfo("sel", 1, 0, 32, "0"));
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(CParamTestTree::build(object, ui->findObject(CString("ui.surface.group-main")),
                                                          "ui:ui-param", "ui-param-sel", {{"bridge", "ui.sel-bridge"}})),
                  "");
        sel = dynamic_cast<CUIParam*>(object);
        ASSERT_EQ(record().paramSel, sel);
        ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
        selection = surface->selection();
        // Drawn left to right: band 2, band 0 and band 1 at the same whole pixel, band 0 first.
        surface->mPointDisplay = {CPointDisplay::at(300.4, 50, 0, 0, 290, 40, 20, 20),
                                  CPointDisplay::at(300.9, 60, 0, 1, 290, 50, 20, 20),
                                  CPointDisplay::at(100, 50, 0, 2, 90, 40, 20, 20)};
    }
    double selValue() { return plain(sel, 0); }

    CUIParam* sel = nullptr;
    CControlSurfaceSelection* selection = nullptr;
};

TEST_F(CControlSurfaceSelectionTest, NeighboursFollowTheScreenOrderAndWrapAround) {
    selection->selectNeighbour(1);  // no current point: point 0 of the current layer
    EXPECT_EQ(selection->selected, std::vector<CControlPointRef>({{0, 0}}));
    EXPECT_EQ(selValue(), 1.0);
    struct Case {
        CControlPointRef current;
        std::int32_t step;
        double sel;
    };
    const Case cases[] = {
        {{0, 2}, 1, 1.0},   // 2 -> 0
        {{0, 0}, 1, 2.0},   // 0 -> 1 (same pixel, list order)
        {{0, 1}, 1, 3.0},   // wraps to the leftmost
        {{0, 2}, -1, 2.0},  // wraps to the rightmost
    };
    for (const Case& c : cases) {
        surface->mCurrentPoint = c.current;
        selection->selectNeighbour(c.step);
        EXPECT_EQ(selValue(), c.sel) << c.current.point << " " << c.step;
        EXPECT_EQ(selection->selected.size(), 1u);
    }
    // The selection parameter's echo makes the named point current at the next draw.
    reply(countBridge, 0, 3);
    sel->setPlainValue(0, -1, CUIParamValue{});
    connector->replyParamUpdate(sel->bridge()->listenHandle(), floatChange(0, 0, {3.0}));
    EXPECT_EQ(surface->mPendingCurrentPoint, (CControlPointRef{0, 2}));
    selection->applyPendingCurrent();
    EXPECT_EQ(surface->mCurrentPoint, (CControlPointRef{0, 2}));
    EXPECT_TRUE(surface->mPendingCurrentPoint.isNone());
}

TEST_F(CControlSurfaceSelectionTest, NeighboursOfNothingSelectNothing) {
    surface->mPointDisplay.clear();
    surface->mCurrentPoint = {0, 1};
    selection->selectNeighbour(1);
    EXPECT_TRUE(selection->selected.empty());
    reply(countBridge, 0, 0);
    surface->mCurrentPoint = {};
    connector->take();
    selection->selectNeighbour(-1);
    EXPECT_TRUE(selection->selected.empty());
    EXPECT_TRUE(connector->take().empty());  // no band 1 named for a layer without bands
}

TEST_F(CControlSurfaceSelectionTest, ClicksSelectAndToggleTheCurrentPointOff) {
    ASSERT_EQ(test::takeMessage(selection->clickSelect(true, true, false, 100, 50)), "");
    EXPECT_EQ(selection->selected, std::vector<CControlPointRef>({{0, 2}}));
    EXPECT_EQ(selection->explicitPoints, std::vector<CControlPointRef>({{0, 2}}));
    EXPECT_EQ(selValue(), 3.0);
    surface->mCurrentPoint = {0, 2};
    ASSERT_EQ(test::takeMessage(selection->clickSelect(true, true, false, 100, 50)), "");
    EXPECT_TRUE(selection->selected.empty());
    EXPECT_EQ(selValue(), 0.0);
    ASSERT_EQ(test::takeMessage(selection->clickSelect(false, true, false, 500, 500)), "");
    EXPECT_TRUE(selection->selected.empty());
}

TEST_F(CControlSurfaceSelectionTest, PointsOfLayersOutOfPlayNeverEnterTheSelection) {
    EXPECT_TRUE(selection->isPointSelected(record().paramY, 1));  // nothing selected: every band active
    for (bool CLayerRecord::*flag : {&CLayerRecord::isInactive, &CLayerRecord::isFreeformOn,
                                     &CLayerRecord::arePointsHidden}) {
        record().*flag = true;
        selection->addPoint({0, 1}, true);
        EXPECT_TRUE(selection->selected.empty());
        record().*flag = false;
    }
    selection->addPoint({0, 7}, true);  // beyond the bands
    EXPECT_TRUE(selection->selected.empty());
    selection->addPoint({0, 1}, true);
    EXPECT_TRUE(selection->isPointSelected(record().paramY, 1));
    EXPECT_FALSE(selection->isPointSelected(record().paramY, 0));
    EXPECT_FALSE(selection->isPointSelected(record().paramBw, 1));
    EXPECT_TRUE(surface->isPointSelected(record().paramY, 1));
}

// The band-type popup's list: an empty item and one manual item ("Remove") before the band types,
// so item 2 + t picks type t, item 0 removes and item 1 (the separator's place) does nothing.
TEST_F(CControlSurfaceSelectionTest, PopupResultsSetTypesOrRemoveTheFirstSelectedBand) {
    CObject* list = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(list, CString("ui:value-list-manual"), CString("filter-mode-values"), false)),
              "");
    for (const auto& [key, value] : {std::pair{"add-empty-value", "true"}, {"is-add-manual-items", "true"}})
        ASSERT_EQ(test::takeMessage(list->setAttr(CString(key), CString(value), false)), "");
    ASSERT_EQ(test::takeMessage(list->init()), "");
    ASSERT_EQ(test::takeMessage(list->createChilds()), "");
    CObject* paragraph = nullptr;
    ASSERT_EQ(test::takeMessage(list->addChild(paragraph, CString("ui:textview-p"), CString("p0"), false)), "");
    ASSERT_EQ(test::takeMessage(paragraph->setAttr(CString("content"), CString("Remove"), true)), "");
    ASSERT_EQ(test::takeMessage(list->initChilds()), "");
    ASSERT_EQ(dynamic_cast<CValueList*>(list)->fixedItemCount(), 2);
    record().filterModeValueList = list->getFullName();
    selection->addPoint({0, 0}, true);
    selection->addPoint({0, 2}, true);
    connector->take();

    CAttrMap args;
    args.findOrAdd("index")->value.setInt(2 + 4);
    ASSERT_EQ(test::takeMessage(surface->onPopupResult(args)), "");
    EXPECT_EQ(value("ui.surface.group-main.ui-param-filter-mode", 0), 4.0);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-filter-mode", 1), 0.0);   // not selected
    EXPECT_EQ(value("ui.surface.group-main.ui-param-filter-mode", 2), 4.0);
    EXPECT_EQ(submittedSteps().size(), 2u);   // one step per band

    args.findOrAdd("index")->value.setInt(1);   // the separator's place: nothing
    ASSERT_EQ(test::takeMessage(surface->onPopupResult(args)), "");
    EXPECT_TRUE(submittedSteps().empty());

    selection->addPoint({0, 0}, true);
    selection->addPoint({0, 2}, true);
    args.findOrAdd("index")->value.setInt(0);   // remove: the first selected band only
    ASSERT_EQ(test::takeMessage(surface->onPopupResult(args)), "");
    EXPECT_EQ(submittedSteps(), (std::vector<std::string>{"Control point remove"}));
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 2.0);
}

// A sweep over the editing fixture: bandpass (13) temporary bands in the groups of "ui.groups",
// unit labels "ui.label-x" and "ui.label-y".
class CControlSurfaceSweepTest : public CControlSurfaceEditTest {
protected:
    void SetUp() override {
        CControlSurfaceEditTest::SetUp();
        for (const char* name : {"label-x", "label-y"}) {
            CObject* label = nullptr;
            ASSERT_EQ(test::takeMessage(ui->addChild(label, CString("core:object"), CString(name), false)), "");
            ASSERT_EQ(test::takeMessage(label->setAttr(CString("title"), CString(name), true)), "");
        }
        CObject* list = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(list, CString("ui:value-list-manual"), CString("groups"), false)), "");
        ASSERT_EQ(test::takeMessage(list->init()), "");
        CStringList items;
        items.add(CString("Main L/R;1"));
        items.add(CString("no group number"));
        ASSERT_EQ(test::takeMessage(dynamic_cast<CValueList*>(list)->setItems(items)), "");
        for (const auto& [key, value] : {std::pair{"label-units-x", "ui.label-x"}, {"label-units-y", "ui.label-y"},
                                         {"temp-point-filter-mode", "13"}, {"temp-point-audio-groups", "ui.groups"}})
            ASSERT_EQ(test::takeMessage(surface->setAttr(CString(key), CString(value), false)), "");
        ASSERT_EQ(test::takeMessage(surface->sweep().init(surface)), "");
        ASSERT_EQ(test::takeMessage(surface->activateSelection()), "");
    }
    std::string title(const char* name) {
        return ui->findObject(CString(name))->getTextAttr("title").narrowed().chars8();
    }
};

TEST_F(CControlSurfaceSweepTest, ATemporaryBandpassFollowsAndLeavesNoTrace) {
    CControlSurfaceSweep& sweep = surface->sweep();
    ASSERT_EQ(test::takeMessage(sweep.start(250, 50)), "");
    EXPECT_EQ(sweep.groups(), (std::vector<std::int32_t>{0}));
    ASSERT_EQ(sweep.addedPoints().size(), 1u);
    const CControlPointRef band{0, 3};
    EXPECT_EQ(sweep.sweepPoint(), band);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 4.0);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-filter-mode", 3), 13.0);
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-bw", 3), 0.5, 1e-9);
    EXPECT_TRUE(surface->selection()->isPointSelected(band));
    EXPECT_EQ(title("ui.label-x"), "Hz");
    EXPECT_EQ(title("ui.label-y"), "dB");
    // The user widens the sweep band, then releases.
    CUIParamValue bw;
    bw[0] = 1.5;
    param("ui.surface.group-main.ui-param-bw")->setPlainValue(3, -1, bw);
    ASSERT_EQ(test::takeMessage(sweep.stop()), "");
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 3.0);
    EXPECT_EQ(title("ui.label-x"), "label-x");
    EXPECT_EQ(title("ui.label-y"), "label-y");
    EXPECT_TRUE(submittedSteps().empty());
    EXPECT_DOUBLE_EQ(sweep.lastBandwidth(), 1.5);
    // The next sweep starts with that width.
    ASSERT_EQ(test::takeMessage(sweep.start(700, 50)), "");
    EXPECT_NEAR(value("ui.surface.group-main.ui-param-bw", 3), 1.5, 1e-9);
    ASSERT_EQ(test::takeMessage(sweep.stop()), "");
    EXPECT_TRUE(submittedSteps().empty());
}

TEST_F(CControlSurfaceSweepTest, AFullGroupLosesNoBand) {
    reply(countBridge, 0, 32);
    const double before = value("ui.surface.group-main.ui-param-x", 31);
    CControlSurfaceSweep& sweep = surface->sweep();
    ASSERT_EQ(test::takeMessage(sweep.start(250, 50)), "");
    EXPECT_TRUE(sweep.addedPoints().empty());
    EXPECT_EQ(title("ui.label-x"), "Hz");
    ASSERT_EQ(test::takeMessage(sweep.stop()), "");
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 32.0);
    EXPECT_EQ(value("ui.surface.group-main.ui-param-x", 31), before);
    EXPECT_EQ(title("ui.label-x"), "label-x");
}

TEST_F(CControlSurfaceSweepTest, WithoutRoutedGroupsTheTitlesStillComeBack) {
    ASSERT_EQ(test::takeMessage(surface->setAttr(CString("temp-point-audio-groups"), CString("ui.nothing"), false)), "");
    CControlSurfaceSweep& sweep = surface->sweep();
    ASSERT_EQ(test::takeMessage(sweep.start(250, 50)), "");
    EXPECT_TRUE(sweep.groups().empty());
    EXPECT_TRUE(sweep.addedPoints().empty());
    EXPECT_EQ(title("ui.label-y"), "dB");
    ASSERT_EQ(test::takeMessage(sweep.stop()), "");
    EXPECT_EQ(title("ui.label-x"), "label-x");
    EXPECT_EQ(title("ui.label-y"), "label-y");
    EXPECT_EQ(value("ui.surface.group-main.ui-param-count", 0), 3.0);
}

} // namespace
} // namespace tal
