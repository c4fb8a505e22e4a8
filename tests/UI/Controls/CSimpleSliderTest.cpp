// The simple slider: thumb position from the value, the 80 % thumb hit zone, no jump on a press
// beside the thumb, the pit pieces, and the pointer put back on the thumb at release.
#include "UI/Controls/CSimpleSlider.h"

#include "Core/CAttrMap.h"
#include "Other/CImageSet.h"
#include "UI/CUIParam.h"
#include "UI/CViewDrawItem.h"
#include "UI/Controls/KnobTestTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

class CSimpleSliderTest : public CKnobTestTree {
protected:
    void SetUp() override {
        CKnobTestTree::SetUp();
        // Frames 0 and 1: a 20 x 10 thumb; 2 and 4: 6-pixel caps; 3: the middle; 5: the shadow.
        CImageSet set;
        const auto full = [](int, int) { return std::uint8_t(255); };
        for (int i = 0; i < 6; ++i) {
            auto* image = new CImage;
            const int w = i < 2 || i == 5 ? 20 : 6;
            image->addLayer(coverageLayer(0, w, 10, 1.0, 255, full));
            set.setImage(i, image);
        }
        addImageSet("slider", set);
    }
    CSimpleSlider* slider(double value, const char* vertical = "false") {
        const std::string name = "window" + std::to_string(++windowCount);
        window = beginWindow(name.c_str(), {{"width", "200"}, {"height", "20"}});
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(object, CString("ui:simple-slider"), CString("slider"), false)), "");
        auto* view = dynamic_cast<CSimpleSlider*>(object);
        if (view == nullptr) return nullptr;
        for (const auto& [key, text] : {std::pair{"placement", "left"}, {"width", "100%"}, {"height", "100%"},
                                        {"image-set", "shared::is.slider"}, {"is-vertical", vertical}})
            EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(text), false)), "");
        EXPECT_EQ(test::takeMessage(view->init()), "");
        EXPECT_EQ(test::takeMessage(view->createChilds()), "");
        auto* param = dynamic_cast<CUIParam*>(addObject(view, "ui:ui-param", "ui-param", {{"is-simple-attr", "true"}}));
        addObject(view, "ui:ui-param-controller", "ui-param-controller", {{"ui-param", "^ui-param"}, {"is-vertical", "true"}, {"sensitivity", "1.0"}});
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        window->area()->setWindowScale(1.0, 1.0);
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        CUIParamValue v;
        v[0] = value;
        param->setNormalizedValue(0, -1, v);
        EXPECT_TRUE(view->prepareDraw());
        return view;
    }
    static CAttrMap& at(CAttrMap& args, double x, double y) {
        args.findOrAdd("x")->value.setReal(x);
        args.findOrAdd("y")->value.setReal(y);
        return args;
    }
};

// 200 pixels wide, 20-pixel thumb: travel 180; value 0.5 puts the thumb's point at 10 + 90 = 100.
TEST_F(CSimpleSliderTest, TheThumbStandsWhereTheValueIs) {
    struct Case { double value; std::int32_t x; };
    for (const Case& c : {Case{0.5, 100}, Case{0.0, 10}, Case{1.0, 190}, Case{0.25, 55}}) {
        SCOPED_TRACE(c.value);
        CSimpleSlider* s = slider(c.value);
        ASSERT_NE(s, nullptr);
        EXPECT_DOUBLE_EQ(s->travel(), 180.0);
        EXPECT_EQ(s->thumbX(), c.x);
        EXPECT_EQ(s->thumbY(), 10);   // across the axis: the view's middle
    }
}

// The sensitive zone is 80 % of the thumb: 0.4 x 20 = 8 pixels either side, 4 up and down.
TEST_F(CSimpleSliderTest, TheThumbAnswersInItsCentralEightyPercent) {
    CSimpleSlider* s = slider(0.5);
    ASSERT_NE(s, nullptr);
    struct Case { double x, y; bool hit; };
    for (const Case& c : {Case{108, 10, true}, Case{109, 10, false}, Case{92, 10, true}, Case{91, 10, false},
                          Case{100, 14, true}, Case{100, 14.5, false}, Case{100, 6, true}, Case{100, 5.5, false}}) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(s->hitTestThumb(c.x, c.y), c.hit);
        CAttrMap args;
        ASSERT_EQ(test::takeMessage(s->onMouseMove(at(args, c.x, c.y))), "");
        EXPECT_EQ(s->isHover(), c.hit);
    }
}

// The pit: start cap 0..6, middle 6..194, end cap 194..200, each over the full height.
TEST_F(CSimpleSliderTest, ThePitCoversTheLengthInThreePieces) {
    CSimpleSlider* s = slider(0.0);
    ASSERT_NE(s, nullptr);
    struct Case { int piece; std::int32_t x, width, position; };
    for (const Case& c : {Case{0, 0, 6, 3}, Case{1, 6, 188, 0}, Case{2, 194, 6, 197}}) {
        SCOPED_TRACE(c.piece);
        const CPixelRect& rect = s->drawItem(s->pitItem(c.piece))->fullRect;
        EXPECT_EQ(rect.x, c.x);
        EXPECT_EQ(rect.width, c.width);
        EXPECT_EQ(rect.height, 20);
        EXPECT_EQ(s->pitPosition(c.piece)[0], c.position);
    }
}

TEST_F(CSimpleSliderTest, APressBesideTheThumbStartsNothing) {
    CSimpleSlider* s = slider(0.5);
    ASSERT_NE(s, nullptr);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(s->onMousePress(at(args, 150, 10))), "");
    journal.clear();
    CAttrMap none;
    ASSERT_EQ(test::takeMessage(s->onMouseRelease(none)), "");
    EXPECT_TRUE(journal.empty()) << journal.front();   // no drag: the pointer is not moved
    EXPECT_EQ(s->thumbX(), 100);
}

} // namespace
} // namespace tal
