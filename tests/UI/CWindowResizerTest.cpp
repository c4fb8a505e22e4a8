// The window resizer on a main window of the headless backend: sizes in pixels at the window scale,
// snapping to whole units, the root view's limits, throttling to the interval timer's ticks.
#include "UI/CWindowResizer.h"

#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "UI/CIntervalTimer.h"
#include "UI/CWindowRenderer.h"
#include "support/MultiWindowTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

// "test:bounds-renderer": records the "is-winsize" of every "update-window-bounds" (-1: absent).
class CBoundsRecordingRenderer : public CWindowRenderer {
public:
    // The events that came from the resizer ("is-winsize" 1); the root view sends its own too.
    int winsizeCount() const { return int(std::count(bounds.begin(), bounds.end(), 1)); }
    CError* onUpdateWindowBounds(CAttrMap& args) override {
        CAttrValue* v = args.findValue("is-winsize");
        bounds.push_back(v != nullptr ? v->asInt() : -1);
        return CWindowRenderer::onUpdateWindowBounds(args);
    }
    std::vector<int> bounds;
};

class CWindowResizerTest : public CMultiWindowTestTree {
protected:
    void SetUp() override {
        CMultiWindowTestTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"test:bounds-renderer", [] { return static_cast<CObject*>(new CBoundsRecordingRenderer); },
             &CWindowRenderer::initScheme},
            {"", nullptr, nullptr},
        };
        static const bool registered = [] {
            CCreatorRegistry::instance().registerTable(table);
            return true;
        }();
        ASSERT_TRUE(registered);
        rendererTag = "test:bounds-renderer";
    }
    // The main window at a visual scale with the product's limits and a resizer under its renderer.
    void openMain(double scale, Attrs limits = {{"min-window-width", "658"}, {"min-window-height", "230"},
                                                {"max-window-width", "9999"}, {"max-window-height", "9999"}}) {
        EXPECT_EQ(takeMessage(ui->root()->setDoubleAttr(CString("VisualScale"), scale, false)), "");
        main = addWindow(ui, "main", 700, 400, limits, {{"is-main-window", "true"}});
        window = static_cast<CBoundsRecordingRenderer*>(rendererOf(main));
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(window->addChild(object, CString("ui:window-resizer"), CString("window-resizer"), false)),
                  "");
        resizer = dynamic_cast<CWindowResizer*>(object);
        ASSERT_NE(resizer, nullptr);
        ASSERT_EQ(takeMessage(object->setAttr(CString("root-view"), CString("^^"), false)), "");
        ASSERT_EQ(takeMessage(object->setAttr(CString("update-timer"), CString(".update-timer"), false)), "");
        ASSERT_EQ(takeMessage(object->init()), "");
        ASSERT_EQ(takeMessage(object->createChilds()), "");
        CAttrMap attrs;
        attrs.findOrAdd("interval")->value.setText(CString("0.05"));
        CObject* timer = nullptr;
        ASSERT_EQ(takeMessage(object->createChild(timer, CString("ui:interval-timer"), CString("update-timer"), false,
                                                  &attrs, nullptr)),
                  "");
        ASSERT_EQ(takeMessage(object->initChilds()), "");
        // The throttling timer reads the manual clock of the test's main loop.
        static_cast<CIntervalTimer*>(timer)->setClock(
            [](void* context) { return static_cast<CPumpedMainLoopTimers*>(context)->nowNanos(); }, &loop);
        window->bounds.clear();
    }
    double rootWidth() const { return main->area()->totalRect().width; }
    double rootHeight() const { return main->area()->totalRect().height; }

    CView* main = nullptr;
    CBoundsRecordingRenderer* window = nullptr;
    CWindowResizer* resizer = nullptr;
};

TEST_F(CWindowResizerTest, ParameterSizesBecomeRootAreaPixelsAtTheWindowScaleWithinTheLimits) {
    struct Row {
        double scale, width, height;    // the parameter's units
        double rootWidth, rootHeight;   // pixels
    };
    for (const Row& r : {Row{2.0, 790, 500, 1580, 1000}, Row{1.0, 600, 200, 658, 230}, Row{2.0, 600, 200, 1316, 460},
                         Row{1.0, 12000, 300, 9999, 300}, Row{1.5, 1000, 400, 1500, 600}}) {
        SCOPED_TRACE(testing::Message() << r.scale << " " << r.width << "x" << r.height);
        TearDown();
        SetUp();
        openMain(r.scale);
        ASSERT_EQ(main->area()->windowScale(), r.scale);
        // What a parameter change does: units times the scale, applied at the next tick.
        ASSERT_EQ(takeMessage(resizer->setSize(true, false, r.width * r.scale, r.height * r.scale)), "");
        EXPECT_EQ(rootWidth(), r.rootWidth);
        EXPECT_EQ(rootHeight(), r.rootHeight);
        EXPECT_EQ(window->winsizeCount(), 1);
        // The native window follows in points (pixels over the pixel factor 1) at the next tick.
        tick();
        EXPECT_EQ(window->appliedFrame().width, int(r.rootWidth));
        EXPECT_EQ(window->appliedFrame().height, int(r.rootHeight));
    }
}

TEST_F(CWindowResizerTest, SizesSnapToWholeUnitsHalvesAwayFromZero) {
    openMain(1.5, {{"min-window-width", "100"}, {"min-window-height", "100"}, {"max-window-width", "9999"},
                   {"max-window-height", "9999"}});
    // 1001 / 1.5 = 667.33 -> 667 units -> 1000.5 pixels, which rounds to 1001.
    ASSERT_EQ(takeMessage(resizer->setSize(false, false, 1001, 600)), "");
    EXPECT_EQ(resizer->pendingWidth(), 1001);
    // 1000 / 1.5 = 666.67 -> 667 units -> 1001 as well; 998 -> 665 units -> 997.5 -> 998.
    ASSERT_EQ(takeMessage(resizer->setSize(false, false, 1000, 600)), "");
    EXPECT_EQ(resizer->pendingWidth(), 1001);
    ASSERT_EQ(takeMessage(resizer->setSize(false, false, 998, 600)), "");
    EXPECT_EQ(resizer->pendingWidth(), 998);
}

TEST_F(CWindowResizerTest, ChangesWithinOneTickApplyTheLastOnceWithOneBoundsEvent) {
    openMain(1.0);
    for (const double w : {700.0, 720.0, 800.0})
        ASSERT_EQ(takeMessage(resizer->setSize(false, false, w, 400)), "");
    EXPECT_TRUE(window->bounds.empty());
    EXPECT_EQ(rootWidth(), 700);
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_EQ(window->winsizeCount(), 1);
    EXPECT_EQ(rootWidth(), 800);
    EXPECT_EQ(rootHeight(), 400);
    EXPECT_FALSE(resizer->isPending());
    // A size equal to the present one applies nothing.
    const std::size_t events = window->bounds.size();
    ASSERT_EQ(takeMessage(resizer->setSize(true, false, 800, 400)), "");
    EXPECT_EQ(window->bounds.size(), events);
}

TEST_F(CWindowResizerTest, AMissingMaximumHoldsTheSizeAtTheMinimum) {
    openMain(1.0, {{"min-window-width", "658"}, {"min-window-height", "230"}});
    ASSERT_EQ(takeMessage(resizer->setSize(true, false, 1200, 800)), "");
    EXPECT_EQ(rootWidth(), 658);
    EXPECT_EQ(rootHeight(), 230);
}

TEST_F(CWindowResizerTest, AnErrorOfTheBoundsEventDoesNotStopLaterSizes) {
    openMain(1.0);
    // A renderer whose "update-window-bounds" fails once: the invalid alignment of a geometry update
    // with alignment-auto.
    ASSERT_EQ(takeMessage(main->setAttr(CString("is-window-alignment-auto"), CString("true"), true)), "");
    ASSERT_EQ(takeMessage(main->setAttr(CString("window-alignment"), CString("top"), true)), "");
    EXPECT_NE(takeMessage(resizer->setSize(true, false, 720, 420)), "");
    ASSERT_EQ(takeMessage(main->setAttr(CString("window-alignment"), CString("bottom"), true)), "");
    ASSERT_EQ(takeMessage(resizer->setSize(true, false, 900, 450)), "");
    EXPECT_EQ(rootWidth(), 900);
    EXPECT_EQ(rootHeight(), 450);
    // The failing size ended in its layout pass (the root view's own bounds event), before the
    // resizer's; the next one went through.
    EXPECT_EQ(window->winsizeCount(), 1);
}

} // namespace
} // namespace tal
