// The ruler's layout pass: hairline anchors on the ruled view's edge, the hairline ends drawn from
// them, label boxes of a maxed ruler, the positions handed to the graph's grid lines and the
// failures of its set-up.
#include "UI/Controls/CRuler.h"

#include "Core/CCreatorRegistry.h"
#include "Other/CFont.h"
#include "UI/BindingCreators.h"
#include "UI/CGraphLogLines.h"
#include "UI/CSector.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/DisplayCreators.h"
#include "UI/Controls/CRulerArea.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/ParamTestTree.h"
#include "support/StreamTestHelpers.h"
#include "support/StubTextFont.h"
#include "support/TempFolder.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace tal {
namespace {

// A window whose view "graph" covers (100, 50, 400, 201) (its visible part ends at the window's
// bottom edge), the range "ui.range" and a stub font "ui.stub".
class CRulerTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            CCreatorRegistry& registry = CCreatorRegistry::instance();
            if (registry.find(CString("font")) == nullptr) registry.registerTable(kResourceCreatorTable);
            if (registry.find(CString("ui:min-max")) == nullptr) registry.registerTable(kBindingCreatorTable);
            if (registry.find(CString("ui:graph-log-lines")) == nullptr) registry.registerTable(kDisplayCreatorTable);
            return registry.find(CString("ui:ruler")) != nullptr || registry.registerTable(kControlCreatorTable) == 0;
        }();
        ASSERT_TRUE(registered);
        CFont font;
        fillStubFont(font);
        ASSERT_EQ(test::takeMessage(font.save(CString(folder.file("stub.fnt").c_str()))), "");
        CObject* family = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(family, CString("font"), CString("stub"), false)), "");
        CObject* style = nullptr;
        ASSERT_EQ(test::takeMessage(family->addChild(style, CString("core:object"), CString("regular"), false)), "");
        ASSERT_EQ(test::takeMessage(style->setAttr(CString("is-font-style"), CString("true"), true)), "");
        ASSERT_EQ(test::takeMessage(style->setAttr(CString("file"), CString(folder.file("stub.fnt").c_str()), true)), "");
        ASSERT_EQ(test::takeMessage(family->initChilds()), "");
    }

    void range(const char* min, const char* max) {
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "range",
                                                          {{"min", min}, {"max", max}, {"scale-power", "1"}})),
                  "");
    }

    // The window (windowHeight high) with the graph; then `rulers` are begun by the caller.
    void beginGraph(const char* windowHeight = "400", const char* graphHeight = "201") {
        window = beginWindow("window", {{"width", "600"}, {"height", windowHeight}});
        build(window, "above", {{"placement", "top"}, {"height", "50"}});
        build(window, "before", {{"placement", "left"}, {"width", "100"}});
        graph = build(window, "graph", {{"placement", "left"}, {"width", "400"}, {"height", graphHeight}, {"alignment-v", "top"}});
    }

    CRuler* ruler(const char* name, const char* placement, Attrs extra) {
        std::vector<std::pair<const char*, const char*>> attrs = {
            {"placement", placement}, {"ruled-view", "^graph"}, {"min-max", "ui.range"},
            {"hairline-lengths", "4 5 6 8"}, {"ruler-stepping", "0.5/1/3 1/3/6 3/6/12 6/12/24"},
            {"label-format", "%.0f"}, {"label-size", "13"}, {"ruler-size", "14"}, {"is-show-hairlines", "true"},
            {"is-show-labels", "true"}, {"is-hide-overlapping-labels", "true"}, {"font-name", "ui.stub"},
            {"label-area-path", ".label-area"}};
        for (const auto& [key, value] : extra) {
            bool isReplaced = false;
            for (auto& a : attrs)
                if (std::string(a.first) == key) a.second = value, isReplaced = true;
            if (!isReplaced) attrs.emplace_back(key, value);
        }
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(object, CString("ui:ruler"), CString(name), false)), "");
        auto* view = dynamic_cast<CView*>(object);
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "") << key;
        EXPECT_EQ(test::takeMessage(view->init()), "");
        EXPECT_EQ(test::takeMessage(view->createChilds()), "");
        build(view, "label-area", {{"placement", "window-overlay"}, {"text-color", "Text"}}, "ui:ruler-area");
        return dynamic_cast<CRuler*>(view);
    }

    void layOut() {
        finish(window);
        EXPECT_EQ(takeError(), "");
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
    }

    test::TempFolder folder;
    CView* window = nullptr;
    CView* graph = nullptr;
};

bool hasPoint(const CRuler& r, int level, std::int32_t x, std::int32_t y) {
    for (const CRuler::CRulerPoint& p : r.hairlinePoints(level))
        if (p.x == x && p.y == y) return true;
    return false;
}

TEST_F(CRulerTest, LeftRulerAnchorsOnTheEdgeAndDrawsInwardOrAligned) {
    range("-12", "12");
    beginGraph();
    CRuler* inward = ruler("inward", "left", {{"is-hairline-inward", "true"}});
    finish(inward);
    CRuler* aligned = ruler("aligned", "left", {});
    finish(aligned);
    layOut();
    ASSERT_NE(inward, nullptr);
    ASSERT_NE(aligned, nullptr);
    ASSERT_EQ(rectText(graph->area()->totalRect()), "100.00 50.00 400.00 201.00");
    // The ends of the range: value 12 at the top (position 0), -12 at the bottom (position 200).
    EXPECT_TRUE(hasPoint(*inward, 3, 100, 50));
    EXPECT_TRUE(hasPoint(*inward, 3, 100, 250));
    struct Case {
        const CRuler* ruler;
        int level;
        std::int32_t from, to;
    };
    for (const Case& c : {Case{inward, 3, 96, 89}, Case{inward, 0, 96, 93}, Case{aligned, 0, 92, 89},
                          Case{aligned, 3, 96, 89}}) {
        SCOPED_TRACE(c.ruler == inward ? "inward" : "aligned");
        SCOPED_TRACE(c.level);
        std::int32_t e[4];
        c.ruler->hairlineEnds(c.level, CRuler::CRulerPoint{100, 150}, 1.0, e);
        EXPECT_EQ(e[0], c.from);
        EXPECT_EQ(e[2], c.to);
        EXPECT_EQ(e[1], 150);
        EXPECT_EQ(e[3], 150);
    }
}

TEST_F(CRulerTest, TopRulerLeavesAGapOnePixelSmaller) {
    range("0", "10");
    beginGraph();
    CRuler* top = ruler("top", "top", {{"is-hairline-inward", "true"}});
    finish(top);
    layOut();
    ASSERT_NE(top, nullptr);
    EXPECT_FALSE(top->isVertical());
    // A horizontal ruler: value max at the right end, anchored on the ruled view's top edge.
    EXPECT_TRUE(hasPoint(*top, 3, 499, 50));
    EXPECT_TRUE(hasPoint(*top, 3, 100, 50));
    std::int32_t e[4];
    top->hairlineEnds(3, CRuler::CRulerPoint{200, 50}, 1.0, e);
    EXPECT_EQ(e[1], 47);
    EXPECT_EQ(e[3], 40);
    EXPECT_EQ(e[0], 200);
}

TEST_F(CRulerTest, MaxedRightRulerPlacesLabelBoxesInsideTheRuledView) {
    range("-36", "36");
    beginGraph();
    CRuler* right = ruler("right", "right", {{"is-maxed", "true"}, {"label-shift", "5"}});
    finish(right);
    layOut();
    ASSERT_NE(right, nullptr);
    auto* labelArea = dynamic_cast<CRulerArea*>(right->findChild(CString("label-area")));
    ASSERT_NE(labelArea, nullptr);
    ASSERT_GT(labelArea->captions().count(), 2);
    int shown = 0;
    for (std::int32_t i = 0; i < labelArea->captions().count(); ++i) {
        const CCaptionText& c = *labelArea->captions()[i];
        if (c.text.isEmpty()) continue;
        ++shown;
        SCOPED_TRACE(c.text.chars8());
        EXPECT_EQ(c.boxLeft, 481.0);
        EXPECT_EQ(c.boxWidth, 14.0);
        EXPECT_EQ(c.boxHeight, 13.0);
        // Centred on a hairline: the box top is 6 above some anchor of the ruler.
        bool isOnHairline = false;
        for (int level = 0; level < 4; ++level)
            for (const CRuler::CRulerPoint& p : right->hairlinePoints(level))
                isOnHairline = isOnHairline || (p.y - 6 == std::int32_t(c.boxTop) && p.x == 500);
        EXPECT_TRUE(isOnHairline);
    }
    EXPECT_GT(shown, 2);
    // A maxed ruler takes no room of its own.
    EXPECT_EQ(right->area()->totalRect().width, 0.0);
}

TEST_F(CRulerTest, GetHairlinesReturnsOnlyVisibleMajorAndMiddlePositions) {
    // 0 .. 24 over 241 px with only the top 100 px visible: 24 at y 50, 21 at 80, 18 at 110, 15 at
    // 140; the minor marks (23, 22, ...) are drawn but not handed out, 12 and below are hidden.
    range("0", "24");
    beginGraph("150", "241");
    CRuler* left = ruler("left", "left", {});
    finish(left);
    std::vector<double> lines = {1.0};
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->getHairlines(lines), 0);
    EXPECT_TRUE(lines.empty());
    layOut();
    ASSERT_EQ(graph->area()->clipRect().height, 100.0);
    EXPECT_EQ(left->getHairlines(lines), 4);
    EXPECT_EQ(lines, (std::vector<double>{80.0, 140.0, 110.0, 50.0}));
    // Minor hairlines are still anchored for drawing, only inside the visible part.
    EXPECT_TRUE(hasPoint(*left, 0, 100, 60));
    for (int level = 0; level < 4; ++level)
        for (const CRuler::CRulerPoint& p : left->hairlinePoints(level)) EXPECT_LE(p.y, 150) << level;
}

TEST_F(CRulerTest, GridLinesFollowTheRulersHairlines) {
    range("-12", "12");
    beginGraph();
    CRuler* left = ruler("gain", "left", {});
    finish(left);
    CView* grid = begin(graph, "grid",
                        {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"ruler-gain", "^^gain"},
                         {"line-color", "Grid"}},
                        "ui:graph-log-lines");
    finish(grid);
    addColor("Grid", "405060", "1");
    layOut();
    auto* lines = dynamic_cast<CGraphLogLines*>(grid);
    ASSERT_NE(lines, nullptr);
    ASSERT_TRUE(lines->prepareDraw());
    std::vector<double> hairlines;
    ASSERT_GT(left->getHairlines(hairlines), 3);
    std::vector<std::int32_t> rows;
    for (std::int32_t index : lines->placedItems()) rows.push_back(lines->drawItem(index)->fullRect.y);
    ASSERT_EQ(rows.size(), hairlines.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], std::int32_t(std::round(hairlines[i]))) << i;
}

TEST_F(CRulerTest, CreationFailsWithoutFourHairlineLengths) {
    range("0", "1");
    for (const char* lengths : {"4 5 6", "4 5 6 8 9", ""}) {
        SCOPED_TRACE(lengths);
        beginGraph();
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(window->addChild(object, CString("ui:ruler"), CString("r"), false)), "");
        ASSERT_EQ(test::takeMessage(object->setAttr(CString("hairline-lengths"), CString(lengths), false)), "");
        EXPECT_EQ(test::takeMessage(object->init()), "Invalid 'hairline-lengths' value.");
        window->release();
    }
}

TEST_F(CRulerTest, BadSteppingIsAnErrorAndLeavesOnlyTheMarks) {
    range("0", "24");
    beginGraph();
    CRuler* left = ruler("left", "left", {});
    finish(left);
    layOut();
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(test::takeMessage(left->setAttr(CString("ruler-stepping"), CString("1/2/3/4"), true)),
              "Invalid ruler-stepping format.");
    // A failed stepping asks for no pass of its own; the next one has only the marks.
    EXPECT_EQ(test::takeMessage(left->runEvent(CString("update-ruler"))), "");
    EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
    for (int level = 0; level < 3; ++level) EXPECT_TRUE(left->hairlinePoints(level).empty()) << level;
    EXPECT_FALSE(left->hairlinePoints(3).empty());
}

TEST_F(CRulerTest, EndReadoutsFollowTheEndLabelsAndShowWhileEdited) {
    range("-36", "36");
    beginGraph();
    CView* readoutMax = build(window, "rmax", {{"placement", "window-overlay"}, {"height", "13"}});
    CView* readoutMin = build(window, "rmin", {{"placement", "window-overlay"}, {"height", "13"}});
    CRuler* right = ruler("right", "right",
                          {{"is-maxed", "true"}, {"label-shift", "5"}, {"readout-max", "^rmax"}, {"readout-min", "^rmin"},
                           {"maxed-readout-offset-inside", "3"}, {"maxed-readout-width-incr", "10"}});
    finish(right);
    layOut();
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(readoutMax->opacity(), 0.0);
    EXPECT_EQ(readoutMin->opacity(), 0.0);
    ASSERT_EQ(test::takeMessage(right->runEvent(CString("readout-editbox-shown"))), "");
    EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
    EXPECT_TRUE(right->isReadoutEditing());
    EXPECT_EQ(readoutMax->opacity(), 1.0);
    EXPECT_EQ(readoutMin->opacity(), 1.0);
    // The maximum's box over the label at the top end, 3 px further in and 10 px wider.
    EXPECT_EQ(readoutMax->area()->totalRect().width, 24.0);
    const double rulerX = right->area()->totalRect().x;
    EXPECT_EQ(readoutMax->area()->value(CViewArea::vOuterLeft), 481.0 - 3.0 - rulerX);
    ASSERT_EQ(test::takeMessage(right->runEvent(CString("readout-editbox-hidden"))), "");
    EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
    EXPECT_EQ(readoutMax->opacity(), 0.0);
}

} // namespace
} // namespace tal

namespace tal {
namespace {

TEST_F(CRulerTest, PaintDrawsEachLevelAtItsLength) {
    range("-12", "12");
    addColor("RulerLines", "ffffff", "1");
    beginGraph();
    CRuler* left = ruler("left", "left", {{"color", "RulerLines"}});
    finish(left);
    layOut();
    ASSERT_NE(left, nullptr);
    left->selectColorStates();
    ASSERT_TRUE(left->prepareDraw());
    CSector sector;
    sector.windowRect = CPixelRect{80, 40, 20, 220};
    sector.clipRect = CPixelRect{0, 0, 20, 220};
    sector.backBuffer = std::make_unique<CLinearBitmap>();
    delete sector.backBuffer->setSize(20, 220, true);
    sector.target = sector.backBuffer.get();
    left->paint(sector);
    auto isLit = [&](std::int32_t x, std::int32_t y) {
        return sector.backBuffer->pixels()[(y - 40) * sector.backBuffer->stride() + 4 * (x - 80)] > 128;
    };
    // Every level ends on the outer line x 89 and reaches in to 96 - (8 - length); where marks of
    // several levels share a row the longest shows.
    const std::int32_t lengths[4] = {4, 5, 6, 8};
    std::map<std::int32_t, int> longest;
    for (int level = 0; level < 4; ++level)
        for (const CRuler::CRulerPoint& p : left->hairlinePoints(level)) longest[p.y] = level;
    int checked = 0;
    for (const auto& [y, level] : longest) {
        SCOPED_TRACE(y);
        EXPECT_TRUE(isLit(89, y));
        EXPECT_TRUE(isLit(88 + lengths[level], y));
        EXPECT_FALSE(isLit(89 + lengths[level], y));
        EXPECT_FALSE(isLit(88, y));
        ++checked;
    }
    EXPECT_GT(checked, 10);
    // Between the marks of 12 (y 50) and 11.5 (y 54) nothing is drawn.
    for (std::int32_t x = 80; x < 100; ++x) EXPECT_FALSE(isLit(x, 52)) << x;
}

TEST_F(CRulerTest, MissingLabelAreaSkipsTheCaptionsButKeepsTheHairlines) {
    range("-12", "12");
    beginGraph();
    CRuler* left = ruler("left", "left", {{"label-area-path", ".no-such-area"}});
    finish(left);
    layOut();
    ASSERT_NE(left, nullptr);
    std::vector<double> lines;
    EXPECT_GT(left->getHairlines(lines), 3);
    EXPECT_FALSE(left->hairlinePoints(3).empty());
    // The labels were generated; only their captions have nowhere to go.
    EXPECT_GT(left->scale().labels.size(), 2u);
    auto* unused = dynamic_cast<CRulerArea*>(left->findChild(CString("label-area")));
    ASSERT_NE(unused, nullptr);
    EXPECT_EQ(unused->captions().count(), 0);
}

TEST_F(CRulerTest, HintNamesTheRoutedChannels) {
    range("0", "1");
    CObject* object = nullptr;
    ASSERT_EQ(test::takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "routing", {})), "");
    auto* list = dynamic_cast<CValueList*>(object);
    ASSERT_NE(list, nullptr);
    beginGraph();
    CRuler* left = ruler("left", "left",
                         {{"is-export-channels-to-hint", "true"}, {"audio-routing-labels", "ui.routing"},
                          {"hint", "Channels: %s (%s)"}});
    finish(left);
    layOut();
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(std::string(left->getTextAttr("hint").chars8()), "Channels: N/A (N/A)");
    CStringList items;
    items.add("L");
    items.add("R");
    ASSERT_EQ(test::takeMessage(list->setItems(items)), "");
    EXPECT_EQ(std::string(left->getTextAttr("hint").chars8()), "Channels: L, R (L, R)");
}

} // namespace
} // namespace tal
