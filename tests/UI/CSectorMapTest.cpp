#include "UI/CSectorMap.h"

#include "UI/CSector.h"
#include "support/PlacementTestView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CSectorMapTest : public CPlacementTest {
protected:
    // A root view of w x h pixels at scale 1.
    CPlacementTestView* window(int w, int h) {
        return rootView({{"width", std::to_string(w).c_str()}, {"height", std::to_string(h).c_str()}});
    }
    // A view placed at (x, y) of its parent with a size, plus more attributes.
    CPlacementTestView* box(CObject* parent, const char* name, int x, int y, int w, int h, Attrs more = {}) {
        const std::string border = "L" + std::to_string(x) + " T" + std::to_string(y);
        const std::string ws = std::to_string(w), hs = std::to_string(h);
        std::vector<std::pair<const char*, const char*>> attrs = {
            {"placement", "overlay"}, {"outer-border", border.c_str()}, {"width", ws.c_str()}, {"height", hs.c_str()}};
        attrs.insert(attrs.end(), more.begin(), more.end());
        // Built as the description builder does, with every attribute there before init.
        CObject* object = nullptr;
        EXPECT_EQ(parent->addChild(object, CString("test:placement-view"), CString(name), false), nullptr);
        auto* v = static_cast<CPlacementTestView*>(object);
        for (const auto& [key, text] : attrs)
            EXPECT_EQ(v->setAttr(CString(key), CString(text), false), nullptr);
        lastError = v->init();
        if (lastError == nullptr)
            lastError = v->createChilds();
        if (lastError == nullptr)
            lastError = v->initChilds();
        EXPECT_EQ(takeError(), "");
        return v;
    }
    static std::vector<int> dirtyKeys(CSectorMap& map) { return {map.dirtySet().begin(), map.dirtySet().end()}; }
};

TEST(CSectorMapGrid, SectorSizeAndGridFollowTheWindowAndTheScale) {
    struct Row {
        double w, h, scale;
        int alignment, sw, sh, columns, rows, lastWidth, lastHeight;
    };
    const Row rows[] = {
        {1000, 600, 1.0, 1, 240, 144, 5, 5, 40, 24},   {600, 1000, 1.0, 1, 144, 240, 5, 5, 24, 40},
        {500, 500, 1.0, 1, 240, 144, 3, 4, 20, 68},     {1000, 600, 1.25, 125, 250, 250, 4, 3, 250, 100},
        {1000, 600, 1.5, 15, 240, 150, 5, 4, 40, 150}, {1000, 600, 2.0, 2, 240, 144, 5, 5, 40, 24},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.w << "x" << r.h << " @" << r.scale);
        CSectorMap map;
        map.rebuild(nullptr, r.w, r.h, r.scale);
        EXPECT_EQ(map.alignment(), r.alignment);
        EXPECT_EQ(map.sectorWidth(), r.sw);
        EXPECT_EQ(map.sectorHeight(), r.sh);
        ASSERT_EQ(map.columns(), r.columns);
        ASSERT_EQ(map.rows(), r.rows);
        const CSector* corner = map.sector(r.columns - 1, r.rows - 1);
        EXPECT_EQ(corner->localRect.width, r.lastWidth);
        EXPECT_EQ(corner->localRect.height, r.lastHeight);
        EXPECT_EQ(corner->windowRect.x, (r.columns - 1) * r.sw);
        EXPECT_EQ(corner->backBuffer->width(), r.sw);
        EXPECT_EQ(int(map.dirtySet().size()), r.columns * r.rows);   // all dirty after a rebuild
    }
}

TEST(CSectorMapGrid, RangesClampToTheEdgeSectors) {
    CSectorMap map;
    map.rebuild(nullptr, 1000, 600, 1.0);
    struct Row {
        CAreaRect rect;
        int c0, c1, r0, r1;
    };
    const Row rows[] = {
        {{-100, 10, 50, 10}, 0, 0, 0, 0},        {{239.5, 143, 1, 2}, 0, 1, 0, 1},
        {{240, 144, 240, 144}, 1, 1, 1, 1},      {{900, 500, 500, 500}, 3, 4, 3, 4},
        {{10, 10, 0, 10}, 0, -1, 0, -1},         {{0, 0, 1000, 600}, 0, 4, 0, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.rect.x << "," << r.rect.y << " " << r.rect.width << "x" << r.rect.height);
        int c0, c1, r0, r1;
        map.getSectorRange(r.rect, c0, c1, r0, r1);
        EXPECT_EQ((std::vector<int>{c0, c1, r0, r1}), (std::vector<int>{r.c0, r.c1, r.r0, r.r1}));
    }
    CSectorMap empty;
    int c0, c1, r0, r1;
    empty.getSectorRange({0, 0, 10, 10}, c0, c1, r0, r1);
    EXPECT_EQ(c1, -1);
}

TEST(CSectorMapGrid, AlignedDirtyRectCoversWholePointsInsideTheWindow) {
    CSectorMap map;
    map.rebuild(nullptr, 601, 301, 1.5);   // window area rounds up to 615 x 315
    struct Row {
        CAreaRect dirty;
        CPixelRect aligned;
    };
    const Row rows[] = {
        {{10, 10, 1, 1}, {9, 9, 3, 3}},             // 6.67 .. 7.33 points -> 6 .. 8 points
        {{600, 290, 50, 50}, {600, 290, 15, 25}},   // clipped to the window area
        {{700, 10, 5, 5}, {699, 9, 0, 0}},          // outside: empty, from the aligned origin
    };
    for (const Row& r : rows) {
        map.dirtyRect() = r.dirty;
        const CPixelRect a = map.getAlignedDirtyRect();
        EXPECT_EQ((std::vector<int>{a.x, a.y, a.width, a.height}),
                  (std::vector<int>{r.aligned.x, r.aligned.y, r.aligned.width, r.aligned.height}));
    }
}

TEST_F(CSectorMapTest, RebuildRegistersShownViewsByZInEverySectorTheyCover) {
    CPlacementTestView* w = window(500, 300);
    CPlacementTestView* a = box(w, "a", 200, 100, 100, 100);
    CPlacementTestView* hidden = box(w, "hidden", 10, 10, 20, 20, {{"is-hidden", "true"}});
    ASSERT_EQ(w->updateLayout(), nullptr);
    CSectorMap map;
    map.rebuild(w, 500, 300, 1.0);
    for (int r = 0; r < map.rows(); ++r)
        for (int c = 0; c < map.columns(); ++c) {
            SCOPED_TRACE(testing::Message() << c << "," << r);
            const CSector* s = map.sector(c, r);
            const auto entry = s->viewMap.find(a->z());
            const bool holdsA = entry != s->viewMap.end() && entry->second.indexOf(a) >= 0;
            EXPECT_EQ(holdsA, c <= 1 && r <= 1);   // 200..300 x 100..200 spans columns 0-1, rows 0-1
            EXPECT_EQ(s->viewMap.count(w->z()), 1u);
            for (const auto& [z, list] : s->viewMap)
                EXPECT_LT(list.indexOf(hidden), 0);
        }
}

TEST_F(CSectorMapTest, ASmallResizeDirtiesOnlyTheLastColumnAndRow) {
    CSectorMap map;
    map.rebuild(nullptr, 1000, 600, 1.0);
    for (int i = 0; i < map.sectorCount(); ++i)
        map.sectorAt(i)->cachedViews.add(nullptr);   // every cache valid
    map.dirtySet().clear();
    map.dirtyRect() = {};
    map.rebuild(nullptr, 1003, 600, 1.0);
    std::vector<int> expected;
    for (int r = 0; r < 5; ++r)
        expected.push_back(4 | r << 16);
    EXPECT_EQ(dirtyKeys(map), expected);
    EXPECT_EQ(map.sector(4, 2)->localRect.width, 43);
    EXPECT_TRUE(map.sector(4, 2)->cachedViews.isEmpty());
    EXPECT_FALSE(map.sector(3, 2)->cachedViews.isEmpty());
    EXPECT_EQ(map.dirtyRect().x, 960);
    EXPECT_EQ(map.dirtyRect().width, 43);
}

TEST_F(CSectorMapTest, HitTestHonoursShownOpacityDecorationClickThroughAndHints) {
    CPlacementTestView* w = window(400, 200);
    CPlacementTestView* panel = box(w, "panel", 0, 0, 300, 150);
    EXPECT_EQ(set(panel, "hint", "panel hint"), "");
    CPlacementTestView* knob = box(panel, "knob", 20, 20, 50, 50);
    CPlacementTestView* label = box(panel, "label", 100, 20, 50, 50, {{"is-decorative", "true"}});
    CPlacementTestView* tip = box(panel, "tip", 200, 20, 50, 50, {{"is-decorative", "true"}, {"hint", "tip"}});
    CPlacementTestView* glass = box(panel, "glass", 20, 90, 50, 50, {{"is-click-through", "true"}});
    CPlacementTestView* ghost = box(panel, "ghost", 100, 90, 50, 50, {{"opacity", "0"}});
    ASSERT_EQ(w->updateLayout(), nullptr);
    CSectorMap map;
    map.rebuild(w, 400, 200, 1.0);
    struct Row {
        double x, y;
        bool hint, clickThrough;
        CViewBasePlacement* expected;
    };
    const Row rows[] = {
        {30, 30, false, false, knob},   {30, 30, true, false, panel},    // hint: the nearest ancestor with one
        {110, 30, false, false, panel}, {210, 30, false, false, panel},  // decorative views are skipped
        {210, 30, true, false, tip},                                     // unless they carry a hint in hint mode
        {30, 100, false, false, glass}, {30, 100, false, true, panel},  // click-through only when honoured
        {110, 100, false, false, panel},                                 // opacity 0 is never hit
        {350, 30, false, false, w},     {-1, 30, false, false, nullptr}, {30, 250, false, false, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y << " hint " << r.hint << " ct " << r.clickThrough);
        EXPECT_EQ(map.hitTest(r.hint, r.clickThrough, r.x, r.y), r.expected);
    }
    (void)label;
    (void)ghost;
}

TEST_F(CSectorMapTest, OfTwoViewsWithOneKeyTheLaterIsHitFirst) {
    CPlacementTestView* w = window(400, 200);
    CPlacementTestView* first = box(w, "first", 10, 10, 50, 50, {{"z-index", "topmost 5"}});
    CPlacementTestView* second = box(w, "second", 10, 10, 50, 50, {{"z-index", "topmost 5"}});
    ASSERT_EQ(w->updateLayout(), nullptr);
    ASSERT_EQ(first->z(), second->z());
    CSectorMap map;
    map.rebuild(w, 400, 200, 1.0);
    EXPECT_EQ(map.hitTest(false, false, 20, 20), second);
    const CArray<CViewBasePlacement*>& list = map.sector(0, 0)->viewMap.at(first->z());
    EXPECT_LT(list.indexOf(first), list.indexOf(second));
}

TEST_F(CSectorMapTest, MovingANonDynamicViewIntoACachedSectorDropsThatCache) {
    CPlacementTestView* w = window(500, 300);
    CPlacementTestView* v = box(w, "v", 10, 10, 20, 20);
    ASSERT_EQ(w->updateLayout(), nullptr);
    CSectorMap map;
    map.rebuild(w, 500, 300, 1.0);
    CSector* target = map.sector(1, 0);
    target->cachedViews.add(w);   // the sector's cache holds the background
    map.dirtySet().clear();
    map.dirtyRect() = {};
    const CAreaRect oldRect{10, 10, 20, 20}, newRect{250, 10, 20, 20};
    map.moveView(v, oldRect, newRect);
    EXPECT_TRUE(target->cachedViews.isEmpty());
    EXPECT_GE(target->viewMap.at(v->z()).indexOf(v), 0);
    EXPECT_LT(map.sector(0, 0)->viewMap.at(v->z()).indexOf(v), 0);
    EXPECT_EQ(dirtyKeys(map), (std::vector<int>{0, 1}));
    EXPECT_EQ(map.dirtyRect().x, 10);
    EXPECT_EQ(map.dirtyRect().width, 260);
}

TEST_F(CSectorMapTest, RemovingACachedNonDynamicViewEmptiesTheCacheAndAnyOtherAddsItsRect) {
    CPlacementTestView* w = window(500, 300);
    CPlacementTestView* still = box(w, "still", 10, 10, 20, 20);
    CPlacementTestView* moving = box(w, "moving", 40, 10, 20, 20, {{"is-dynamic", "true"}});
    ASSERT_EQ(w->updateLayout(), nullptr);
    ASSERT_TRUE(moving->isDynamic());
    CSectorMap map;
    map.rebuild(w, 500, 300, 1.0);
    CSector* s = map.sector(0, 0);
    s->cachedViews.add(w);
    s->cachedViews.add(still);
    map.removeView(moving, {40, 10, 20, 20});
    EXPECT_EQ(s->cachedViews.count(), 2);   // a dynamic view is never cached
    EXPECT_EQ(s->dirtyRect.x, 40);
    map.removeView(still, {10, 10, 20, 20});
    EXPECT_TRUE(s->cachedViews.isEmpty());
    EXPECT_LT(s->viewMap.at(still->z()).indexOf(still), 0);
    EXPECT_EQ(s->dirtyRect.x, 40);   // the whole sector is redrawn; the rectangle is not added
}

TEST_F(CSectorMapTest, InvalidationKeepsADynamicViewsCacheAndDropsAStaticOnes) {
    CPlacementTestView* w = window(500, 300);
    CPlacementTestView* still = box(w, "still", 10, 10, 20, 20);
    CPlacementTestView* moving = box(w, "moving", 40, 10, 20, 20, {{"is-dynamic", "true"}});
    ASSERT_EQ(w->updateLayout(), nullptr);
    CSectorMap map;
    map.rebuild(w, 500, 300, 1.0);
    CSector* s = map.sector(0, 0);
    s->cachedViews.add(still);
    map.dirtySet().clear();
    map.invalidateViewRect({40, 10, 20, 20}, moving);
    EXPECT_EQ(s->cachedViews.count(), 1);
    EXPECT_EQ(dirtyKeys(map), std::vector<int>{0});
    map.invalidateViewRect({10, 10, 20, 20}, still);
    EXPECT_TRUE(s->cachedViews.isEmpty());
    EXPECT_EQ(s->dirtyRect.x, 10);
    EXPECT_EQ(s->dirtyRect.width, 50);
    map.invalidateViewRect({10, 10, 0, 20}, still);   // empty: nothing
    EXPECT_EQ(s->dirtyRect.width, 50);
}

} // namespace
} // namespace tal
