// Window placement on the headless backend's virtual screens: the pixel and window scale, the
// alignments relative to the opener, the flip above it, stored positions and constraining.
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowSharedData.h"
#include "support/MultiWindowTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

using test::takeMessage;

class CWindowPlacementTest : public CMultiWindowTestTree {
protected:
    void SetUp() override {
        CMultiWindowTestTree::SetUp();
        // A main screen with a 30-point panel at the top, and a second screen to its right.
        backend.setScreens({{0, 0, 1920, 1080, 0, 30, 1920, 1050}, {1920, 0, 1280, 1024, 1920, 0, 1280, 1024}});
    }
    // The main window (400 x 300 units), centred on the main screen's visible part.
    CView* openMain(Attrs attrs = {}) {
        mainView = addWindow(ui, "main", 400, 300, attrs, {{"is-main-window", "true"}});
        return mainView;
    }
    // A view of a window, laid out at once.
    CView* viewIn(CView* parent, const char* name, int x, int y, int w, int h) {
        CView* view = addView(parent, name, x, y, w, h, "808080");
        EXPECT_EQ(takeMessage(parent->updateLayout()), "");
        return view;
    }
    // A popup (100 x 80 units) of the opener with the base point and alignment, opened.
    CView* popupAt(CView* opener, const char* alignment, double baseX, double baseY, AttrVector more = {}) {
        AttrVector attrs = {{"is-popup-window", "true"}, {"window-alignment", alignment},
                            {"window-x", std::to_string(int(baseX))}, {"window-y", std::to_string(int(baseY))},
                            {"opener", opener->getFullName().narrowed().chars8()}};
        attrs.insert(attrs.end(), more.begin(), more.end());
        return addWindow(opener, "popup", 100, 80, attrs, {}, true);
    }
    // The position of a window's native window in screen points.
    std::pair<double, double> positionOf(CView* root) {
        const auto* w = backend.window(rendererOf(root)->windowId());
        return w != nullptr ? std::pair{w->params.x, w->params.y} : std::pair{-1.0, -1.0};
    }

    CView* mainView = nullptr;
};

TEST_F(CWindowPlacementTest, WindowScaleIsTheVisualScaleTimesTheBackendsPixelFactor) {
    struct Row {
        double visual, factor;
        bool retina;
        double pixelScale, windowScale;
    };
    for (const Row& r : {Row{1.0, 1.0, false, 1, 1}, Row{1.5, 2.0, false, 2, 3}, Row{2.0, 1.0, false, 1, 2},
                         Row{1.0, 1.0, true, 2, 2}, Row{1.25, 3.0, true, 2, 2.5}}) {
        SCOPED_TRACE(testing::Message() << r.visual << " x " << r.factor << (r.retina ? " retina" : ""));
        TearDown();
        SetUp();
        backend.setScreenScale(r.factor);
        ASSERT_EQ(takeMessage(ui->root()->setDoubleAttr(CString("VisualScale"), r.visual, false)), "");
        CView* main = openMain();
        CWindowRenderer* w = rendererOf(main);
        if (r.retina) {
            ASSERT_EQ(takeMessage(w->setIntAttr(CString("is-retina-mode"), 1, true)), "");
        }
        tick();
        EXPECT_EQ(w->pixelScale(), r.pixelScale);
        EXPECT_EQ(w->windowScale(), r.windowScale);
        EXPECT_EQ(main->area()->totalRect().width, 400 * r.windowScale);
        // The native window: the root's pixels over the pixel scale, drawn at the pixel scale.
        const auto* native = backend.window(w->windowId());
        ASSERT_NE(native, nullptr);
        EXPECT_EQ(native->params.width, 400 * r.windowScale / r.pixelScale);
        EXPECT_EQ(native->params.scale, r.pixelScale);
        EXPECT_EQ(native->pixelWidth, int(400 * r.windowScale));
    }
}

TEST_F(CWindowPlacementTest, APixelFactorThatChangesLaterReachesTheWindowScale) {
    CView* main = openMain();
    CWindowRenderer* w = rendererOf(main);
    ASSERT_EQ(w->windowScale(), 1.0);
    // The host's content scale arrives as the backend's factor and "update-pixel-size".
    backend.setScreenScale(2.0);
    ASSERT_EQ(takeMessage(w->runEvent(CString("update-pixel-size"))), "");
    EXPECT_EQ(w->windowScale(), 2.0);
    EXPECT_EQ(main->area()->totalRect().width, 800);
    tick();
    EXPECT_EQ(backend.window(w->windowId())->pixelWidth, 800);
    EXPECT_EQ(backend.window(w->windowId())->params.width, 400);
    // Retina mode on the main window overrides the factor for every window; off takes it again.
    backend.setScreenScale(1.0);
    ASSERT_EQ(takeMessage(w->setIntAttr(CString("is-retina-mode"), 1, true)), "");
    EXPECT_EQ(w->pixelScale(), 2.0);
    ASSERT_EQ(takeMessage(w->setIntAttr(CString("is-retina-mode"), 0, true)), "");
    EXPECT_EQ(w->pixelScale(), 1.0);
}

TEST_F(CWindowPlacementTest, AlignmentsPlaceThePopupRelativeToItsOpener) {
    // Opener view at (40, 50), 60 x 20 in a 400 x 300 window; popup 100 x 80; base point (500, 400).
    struct Row {
        const char* alignment;
        double x, y;
    };
    for (const Row& r : {Row{"bottom", 500, 400}, Row{"bottom-center", 610, 400}, Row{"bottom-local-center", 480, 400},
                         Row{"center", 610, 440}, Row{"center-overlay", 480, 370}, Row{"left", 360, 330},
                         Row{"right", 860, 330}}) {
        SCOPED_TRACE(r.alignment);
        TearDown();
        SetUp();
        CView* main = openMain();
        CView* popup = popupAt(viewIn(main, "opener", 40, 50, 60, 20), r.alignment, 500, 400);
        EXPECT_EQ(positionOf(popup), std::pair(r.x, r.y));
    }
}

TEST_F(CWindowPlacementTest, TheCursorAlignmentAndAnUnknownOne) {
    CView* main = openMain();
    CView* opener = viewIn(main, "opener", 40, 50, 60, 20);
    sharedData->inputState().mouseX = 700;
    sharedData->inputState().mouseY = 333;
    EXPECT_EQ(positionOf(popupAt(opener, "cursor", 500, 400)), std::pair(705.0, 336.0));
    CView* bad = addWindow(opener, "bad", 50, 50, AttrVector{{"window-alignment", "top"}}, {}, false);
    EXPECT_EQ(takeMessage(bad->initChilds()), "Invalid window alignment 'top'");
    EXPECT_FALSE(rendererOf(bad)->isOpened());
}

TEST_F(CWindowPlacementTest, APopupOfAViewInTheLowerHalfOpensAboveItWhenThereIsRoom) {
    CView* main = openMain();
    const auto [mx, my] = positionOf(main);
    ASSERT_EQ(my, 30 + (1050 - 300) / 2);   // centred on the visible part of the main screen
    struct Row {
        const char* name;
        int openerY;        // in the window
        double baseY;       // the popup's base point (screen)
        bool manual;
        double expectedY;
    };
    for (const Row& r : {Row{"upper half: below", 50, my + 70, false, my + 70},
                         Row{"lower half: above", 250, my + 270, false, my + 250 - 80},
                         Row{"manual point that fits", 250, 900, true, 900},
                         Row{"manual point too low", 250, 1000, true, 1000 - 80}}) {
        SCOPED_TRACE(r.name);
        CView* opener = viewIn(main, (std::string("opener-") + std::to_string(r.openerY) + (r.manual ? "m" : "")).c_str(),
                               40, r.openerY, 60, 20);
        CView* popup = popupAt(opener, "bottom-local-center", mx + 40, r.baseY,
                               r.manual ? AttrVector{{"is-manual-coords", "true"}} : AttrVector{});
        EXPECT_EQ(positionOf(popup).second, r.expectedY);
    }
}

TEST_F(CWindowPlacementTest, StoredPositionsAreRestoredRelativeToTheOwnerOnItsScreen) {
    CView* main = openMain({{"window-position-id", "plugin"}});
    const auto [mx, my] = positionOf(main);
    struct Row {
        const char* stored;
        double visual;
        double x, y;   // expected, relative to the main window (before clamping into the screen)
    };
    const AttrVector stored = {{"window-position-id", "settings"}, {"is-window-position-stored", "true"},
                               {"is-window-position-storing-enabled", "true"}};
    // 120 right of and 40 above the owner's content corner.
    writeAppDataString(&CAppData::localScope(), CString("winpos-plugin-settings"), CString("120 -40"), nullptr);
    CView* settings = addWindow(main, "settings", 200, 100, stored, {}, true);
    EXPECT_EQ(positionOf(settings), std::pair(mx + 120, my - 40));
    // Far off: clamped into the owner's screen (its visible part).
    writeAppDataString(&CAppData::localScope(), CString("winpos-plugin-settings"), CString("-5000 -5000"), nullptr);
    CView* clamped = addWindow(main, "clamped", 200, 100, stored, {}, true);
    EXPECT_EQ(positionOf(clamped), std::pair(0.0, 30.0));
    // Not two numbers: the aligned place (no base point: the screen's corner, kept below the panel).
    writeAppDataString(&CAppData::localScope(), CString("winpos-plugin-settings"), CString("7"), nullptr);
    CView* ignored = addWindow(main, "ignored", 200, 100, stored, {}, true);
    EXPECT_EQ(positionOf(ignored), std::pair(0.0, 30.0));
}

TEST_F(CWindowPlacementTest, AWindowWithoutOwnerIsRestoredOnTheScreenThatHoldsItsPoint) {
    const AttrVector stored = {{"window-position-id", "solo"}, {"is-window-position-stored", "true"},
                               {"is-window-position-storing-enabled", "true"}};
    // On the second screen, clamped into it; on no screen: not restored.
    writeAppDataString(&CAppData::localScope(), CString("winpos-solo"), CString("3100 1000"), nullptr);
    CView* second = addWindow(ui, "second", 200, 100, stored, {}, true);
    EXPECT_EQ(positionOf(second), std::pair(3200.0 - 200, 1024.0 - 100));
    writeAppDataString(&CAppData::localScope(), CString("winpos-solo"), CString("5000 100"), nullptr);
    CView* nowhere = addWindow(ui, "nowhere", 200, 100, stored, {}, true);
    EXPECT_EQ(positionOf(nowhere), std::pair(0.0, 30.0));   // the constrained aligned place
}

TEST_F(CWindowPlacementTest, PositionsAreStoredRelativeToTheOwnerOverItsVisualScale) {
    ASSERT_EQ(takeMessage(ui->root()->setDoubleAttr(CString("VisualScale"), 2.0, false)), "");
    CView* main = openMain({{"window-position-id", "plugin"}});
    const auto [mx, my] = positionOf(main);
    const AttrVector stored = {{"window-position-id", "settings"}, {"is-window-position-stored", "true"},
                               {"is-window-position-storing-enabled", "true"}};
    CView* settings = addWindow(main, "settings", 100, 50, stored, {}, true);
    CWindowRenderer* w = rendererOf(settings);
    const CString key("winpos-plugin-settings");
    // Nothing before the user moved the mouse in the window.
    ASSERT_EQ(takeMessage(w->setAttr(CString("x"), CString(std::to_string(int(mx) + 301).c_str()), false)), "");
    ASSERT_EQ(takeMessage(w->setAttr(CString("y"), CString(std::to_string(int(my) - 51).c_str()), true)), "");
    CAttrMap store;
    store.findOrAdd("mode")->value.setInt(1);
    ASSERT_EQ(takeMessage(w->runEvent(CString("update-window-scale"), &store)), "");
    EXPECT_EQ(readAppDataString(&CAppData::localScope(), key, CString()), CString());
    CNativeEvent move;
    move.type = CNativeEvent::Type::MouseMove;
    move.x = 10;
    move.y = 10;
    backend.injectEvent(w->windowId(), move);
    backend.processEvents();
    ASSERT_EQ(takeMessage(w->runEvent(CString("update-window-scale"), &store)), "");
    // (301, -51) over the owner's visual scale 2, halves away from zero.
    EXPECT_EQ(readAppDataString(&CAppData::localScope(), key, CString()), CString("151 -26"));
    for (const int mode : {0, 3}) {
        CAttrMap bad;
        bad.findOrAdd("mode")->value.setInt(mode);
        EXPECT_EQ(takeMessage(w->runEvent(CString("update-window-scale"), &bad)), "Invalid mode.");
    }
}

TEST_F(CWindowPlacementTest, ConstrainingPullsAWindowBackUnlessItIsLarge) {
    CView* main = openMain();
    struct Row {
        const char* name;
        int width;
        double x, y;             // moved to
        double expectX, expectY;
    };
    for (const Row& r : {Row{"top above the visible area", 200, 100, 10, 100, 30},
                         Row{"more than two thirds off the second screen", 200, 3150, 500, 3000, 500},
                         Row{"exactly two thirds off stays", 300, 3100, 500, 3100, 500},
                         Row{"90 % of the screen wide", 1728, 100, -200, 100, -200}}) {
        SCOPED_TRACE(r.name);
        CView* w = addWindow(main, (std::string("w") + std::to_string(r.width) + std::to_string(int(r.x))).c_str(),
                             r.width, 100, AttrVector{}, {}, true);
        CWindowRenderer* renderer = rendererOf(w);
        backend.setFrame(renderer->windowId(), r.x, r.y, r.width, 100);
        ASSERT_EQ(takeMessage(renderer->runEvent(CString("constrain-window"))), "");
        EXPECT_EQ(positionOf(w), std::pair(r.expectX, r.expectY));
    }
}

} // namespace
} // namespace tal
