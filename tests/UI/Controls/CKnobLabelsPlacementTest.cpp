// Knob labels: one caption per value of the "scale" list, placed on the knob's arc; a shorter list
// releases the surplus captions and keeps the others; small circles make every third caption.
#include "UI/Controls/CKnobLabels.h"

#include "Core/CTemplateBody.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/Controls/CCaption.h"
#include "UI/Controls/KnobTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tal {
namespace {

// The caption template: a compact overlay caption.
class CLabelTemplate : public CTemplateBody {
public:
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject& target) override {
        for (const auto& [key, value] : {std::pair{"width", "compact"}, {"height", "compact"}, {"placement", "overlay"}})
            if (CError* error = target.setAttr(CString(key), CString(value), false)) return error;
        return nullptr;
    }
    CError* buildChildren(CObject&) override { return nullptr; }

private:
    CString mTag{"ui:caption"};
};

class CKnobLabelsPlacementTest : public CKnobTestTree {
protected:
    void SetUp() override {
        CKnobTestTree::SetUp();
        CObject* placeholder = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(placeholder, CString("template"), CString("test:label"), false)), "");
        placeholder->setTemplateBody(new CLabelTemplate);
        ui->addTemplate(CString("test:label"), placeholder);
    }
    // Labels of n values under a 100 x 100 view whose centre is at (0.5, 0.5).
    CKnobLabels* labels(int n, const char* smallCircles = "false") {
        CView* host = panel("ui:view", {{"center-x", "0.5"}, {"center-y", "0.5"}}, "100", "100");
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(host->addChild(object, CString("ui:knob-labels"), CString("knob-labels"), false)), "");
        auto* view = dynamic_cast<CKnobLabels*>(object);
        if (view == nullptr) return nullptr;
        for (const auto& [key, value] : {std::pair{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                         {"label-radius", "38.5"}, {"label-tag", "test:label"}, {"use-small-circles", smallCircles}})
            EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(view->init()), "");
        EXPECT_EQ(test::takeMessage(view->createChilds()), "");
        list = dynamic_cast<CValueList*>(addObject(view, "ui:value-list-manual", "scale", {}));
        setCount(n);
        finish(view);
        EXPECT_EQ(takeError(), "");
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        EXPECT_EQ(test::takeMessage(view->updateLabels()), "");
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        return view;
    }
    void setCount(int n) {
        CStringList items;
        for (int i = 0; i < n; ++i) items.add(CString(std::to_string(i * 10).c_str()));
        EXPECT_EQ(test::takeMessage(list->setItems(items)), "");
    }
    CValueList* list = nullptr;
};

// Seven values: the fourth sits straight above the centre at the label radius, the first at the
// bottom left (54 degrees clockwise from straight down), the last mirrored at the bottom right.
TEST_F(CKnobLabelsPlacementTest, SevenCaptionsOnTheArc) {
    CKnobLabels* view = labels(7);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->labelCount(), 7);
    const auto centreOf = [](CCaption* caption, double& x, double& y) {
        const CAreaRect& r = caption->area()->totalRect();
        x = r.x + r.width / 2.0;
        y = r.y + r.height / 2.0;
    };
    double x = 0, y = 0;
    centreOf(view->label(3), x, y);
    EXPECT_NEAR(x, 50.0, 1.0);
    EXPECT_NEAR(y, 50.0 - 38.5, 1.0);
    double x0 = 0, y0 = 0, x6 = 0, y6 = 0;
    centreOf(view->label(0), x0, y0);
    centreOf(view->label(6), x6, y6);
    EXPECT_NEAR(x0, 50.0 - 38.5 * std::sin(54.0 * M_PI / 180.0), 1.0);
    EXPECT_NEAR(y0, 50.0 + 38.5 * std::cos(54.0 * M_PI / 180.0), 1.0);
    EXPECT_NEAR(x6, 100.0 - x0, 1.0);
    EXPECT_NEAR(y6, y0, 1.0);
    EXPECT_EQ(view->label(2)->getTextAttr("title").narrowed().chars8(), std::string("20"));
}

TEST_F(CKnobLabelsPlacementTest, AShorterListKeepsTheFirstCaptionsAndSmallCirclesSkipPositions) {
    CKnobLabels* view = labels(7);
    ASSERT_NE(view, nullptr);
    CCaption* first = view->label(0);
    setCount(5);
    ASSERT_EQ(view->labelCount(), 5);
    EXPECT_EQ(view->label(0), first);
    setCount(0);
    EXPECT_EQ(view->labelCount(), 0);

    CKnobLabels* circles = labels(7, "true");
    ASSERT_NE(circles, nullptr);
    ASSERT_EQ(circles->labelCount(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(circles->label(i) != nullptr, i % 3 == 0) << i;
}

} // namespace
} // namespace tal
