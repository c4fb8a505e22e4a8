// Pictures of a small window painted view by view as the window's tiles are: nested panels, a
// half-transparent child, a cross-fade halfway and the debug overlay, at window scale 1 and 2.
// After an intended change of painting, look at the new pictures and regenerate the references with
//   TAL_UPDATE_REFERENCES=1 build/release/tal_ui_tests --gtest_filter='CViewPicture*'
#include "UI/CView.h"

#include "Core/CCreatorRegistry.h"
#include "Other/CColor.h"
#include "Other/CLinearBitmap.h"
#include "UI/CDynamicPalette.h"
#include "UI/CViewStateData.h"
#include "ViewSheet.h"
#include "support/ReferenceImage.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tal {
namespace {

class CViewPictureTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:sheet-view", &delmaro_tool::createSheetView, &CView::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        addColor("Panel", "1b1f25");
        addColor("Frame", "2c323b");
        addColor("Action", "3d9bff");
        addColor("Action_Active", "e04070");
        addColor("Selection", "f0a030");
        addColor("Meter", "40c060");
    }
    CView* sheet(CObject* parent, const char* name, Attrs attrs) {
        CView* view = begin(parent, name, attrs, "test:sheet-view");
        return view;
    }
    // The sample window; its button cross-fades from its base look to "Active" halfway.
    CView* sample() {
        CView* window = beginWindow("window", {{"width", "160"}, {"height", "100"}, {"inner-border", "6"}});
        EXPECT_EQ(window->setAttr(CString("color"), CString("Panel"), true), nullptr);
        CView* side = sheet(window, "side", {{"placement", "left"}, {"width", "60"}, {"height", "100%"},
                                             {"color", "Frame"}, {"inner-border", "5"}});
        button = sheet(side, "button", {{"placement", "top"}, {"width", "100%"}, {"height", "24"}, {"color", "Action"}});
        finish(button);
        CView* meter = sheet(side, "meter", {{"placement", "bottom"}, {"width", "100%"}, {"height", "30"},
                                             {"color", "Meter"}, {"debug-area", "true"}});
        finish(meter);
        finish(side);
        CView* main = sheet(window, "main", {{"placement", "full"}, {"width", "100%"}, {"height", "100%"},
                                             {"color", "Frame"}, {"outer-border", "L6"}});
        CView* accent = sheet(main, "accent", {{"placement", "top"}, {"width", "60"}, {"height", "40"},
                                               {"color", "Action"}, {"alignment-h", "left"}});
        finish(accent);
        CView* glass = sheet(main, "glass", {{"placement", "overlay"}, {"width", "50"}, {"height", "40"},
                                             {"outer-border", "L30 T20"}, {"color", "Selection"}, {"opacity", "0.5"}});
        finish(glass);
        finish(main);
        finish(window);
        EXPECT_EQ(takeError(), "");
        button->ensureStateData();
        CViewStateData* data = button->stateData();
        data->isMorphing = true;
        data->morphFraction = 0.5;
        data->targetLook.colorState = CString("Active");
        return window;
    }
    void checkPicture(double scale, const char* name) {
        CView* window = sample();
        CLinearBitmap picture;
        ASSERT_EQ(delmaro_tool::renderViewSheet(*window, scale, picture), nullptr);
        ASSERT_EQ(picture.width(), std::lround(160 * scale));
        // Halfway, the shown look lies over the panel at 1/2 and the target look over that at 1/2.
        const CPixelRect r = button->drawItem(1)->clippedRect;
        const std::uint8_t* mid = picture.pixel(r.x + r.width / 2, r.y + r.height / 2);
        const std::uint8_t* frame = palette->getColor(CString("Frame"), 0.0)->tone(255);
        const std::uint8_t* shown = palette->getColor(CString("Action"), 0.0)->tone(255);
        const std::uint8_t* target = palette->getColor(CString("Action_Active"), 0.0)->tone(255);
        for (int c = 0; c < 3; ++c) {
            const int half = frame[c] + (shown[c] - frame[c]) / 2;
            EXPECT_NEAR(int(mid[c]), half + (target[c] - half) / 2, 1) << c;
        }
        EXPECT_TRUE(matchesReference(picture, std::string("views/") + name, 2, picture.width() * picture.height() / 1000));
    }
    CView* button = nullptr;
};

TEST_F(CViewPictureTest, SampleWindowAtScaleOne) { checkPicture(1.0, "sample-1x"); }

TEST_F(CViewPictureTest, SampleWindowAtScaleTwo) { checkPicture(2.0, "sample-2x"); }

} // namespace
} // namespace tal
