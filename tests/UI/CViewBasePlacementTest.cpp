#include "UI/CViewBasePlacement.h"

#include "support/CLogCapture.h"
#include "support/PlacementTestView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace tal;

namespace {

using V = CViewArea;

bool logHas(const CLogCapture& log, const std::string& line) {
    for (const std::string& l : log.lines())
        if (l == line) return true;
    return false;
}

// Areas waiting on the solver's redraw list (taken and freed).
std::vector<CViewArea*> takeRedraws(CViewBasePlacement* anyView) {
    std::unique_ptr<CLayoutAreaList> list(anyView->area()->solver()->takeRedrawList());
    std::vector<CViewArea*> out;
    if (list != nullptr)
        for (CViewArea* a : *list) out.push_back(a);
    return out;
}

class CViewBasePlacementTest : public CPlacementTest {
protected:
    // A root view of 200 x 100 at window scale 1.
    CPlacementTestView* window() { return rootView({{"width", "200"}, {"height", "100"}}); }
    void settle(CViewBasePlacement* view) {
        ASSERT_EQ(view->updateLayout(), nullptr);
        takeRedraws(view);
    }
};

} // namespace

// --- grammar of "width", "height" and "placement" ---

TEST_F(CViewBasePlacementTest, SizeGrammarTable) {
    struct Row {
        const char* attr;
        const char* text;
        const char* message;   // "" for success
        int kind;              // expected size kind after the handler (-1: not checked)
    };
    const Row rows[] = {
        {"width", "", "Width cannot be empty.", V::kSizeFixed},
        {"width", "full", "Invalid width syntax 'full'.", V::kSizeFixed},
        {"width", "fill", "Invalid width syntax 'fill'.", V::kSizeFixed},
        {"width", "compact  50%", "Invalid compact width syntax 'compact  50%'.", -1},
        {"width", "compactly", "Invalid width syntax 'compactly'.", V::kSizeFixed},
        {"width", "balance", "Invalid width syntax 'balance'.", V::kSizeFixed},
        {"width", "auto", "", V::kSizeFixed},
        {"width", "Balanced", "", V::kSizeFixed},
        {"width", "balanced", "", V::kSizeBalanced},
        {"width", "compact", "", V::kSizeCompact},
        {"width", "compact 50%", "", V::kSizeCompactPercent},
        {"width", "full-simple", "", V::kSizeFull},
        {"width", "40%", "", V::kSizePercent},
        {"height", "", "Height cannot be empty.", V::kSizeFixed},
        {"height", "full", "Invalid height syntax 'full'.", V::kSizeFixed},
        {"height", "bottom", "Invalid height syntax 'bottom'.", V::kSizeFixed},
        {"height", "compact  5%", "Invalid compact height syntax 'compact  5%'.", -1},
        {"height", "compact 5%", "", V::kSizeCompactPercent},
        {"height", "full-simple", "", V::kSizeFull},
    };
    CPlacementTestView* w = window();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.attr) + " '" + row.text + "'");
        CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "12"}, {"height", "12"}});
        ASSERT_EQ(takeError(), "");
        EXPECT_EQ(set(v, row.attr, row.text), row.message);
        const bool isWidth = std::string(row.attr) == "width";
        const int kind = isWidth ? v->area()->widthKind() : v->area()->heightKind();
        if (row.kind >= 0) {
            EXPECT_EQ(kind, row.kind);
        }
        settle(w);
        // A failed handler leaves the fixed 12; "auto" and "Balanced" give a fixed 0.
        if (row.kind == V::kSizeFixed) {
            EXPECT_EQ(v->area()->value(isWidth ? V::vWidth : V::vHeight), row.message[0] != 0 ? 12.0 : 0.0);
        }
        v->release();
    }
}

TEST_F(CViewBasePlacementTest, PercentWidthIsTheReferenceLessTheOuterBorders) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"height", "10"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(set(v, "outer-border", "L2 R3"), "");
    EXPECT_EQ(set(v, "width", "100%"), "");
    settle(w);
    EXPECT_EQ(v->area()->value(V::vRefWidth), 200.0);
    EXPECT_EQ(v->area()->value(V::vWidth), 195.0);
    EXPECT_EQ(v->lastTotal.width, 195.0);
}

TEST_F(CViewBasePlacementTest, FixedSizesFollowTheWindowScale) {
    CPlacementTestView* w = window();
    w->area()->setWindowScale(2.0, 2.0);
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "26"}, {"height", "5"}});
    ASSERT_EQ(takeError(), "");
    settle(w);
    EXPECT_EQ(v->area()->value(V::vWidth), 52.0);
    w->area()->setWindowScale(1.5, 1.0);
    settle(w);
    EXPECT_EQ(v->area()->value(V::vWidth), 39.0);
}

TEST_F(CViewBasePlacementTest, InlineFallbackOfWidthAndHeightForms) {
    struct Row {
        const char* attr;
        const char* text;
        const char* placementAfter;
        int codeAfter;
    };
    const Row rows[] = {
        {"width", "compact 50%", "top", V::kPlaceTop},
        {"width", "full-simple", "top", V::kPlaceTop},
        {"height", "compact 50%", "left", V::kPlaceLeft},
        {"height", "full-simple", "left", V::kPlaceLeft},
        {"width", "compact", "inline", V::kPlaceInline},
        {"width", "50%", "inline", V::kPlaceInline},
        {"height", "balanced", "inline", V::kPlaceInline},
        {"height", "20", "inline", V::kPlaceInline},
    };
    CPlacementTestView* w = window();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.attr) + " '" + row.text + "'");
        CPlacementTestView* v = build(w, "v", {{"placement", "inline"}});
        ASSERT_EQ(takeError(), "");
        EXPECT_EQ(set(v, row.attr, row.text), "");
        EXPECT_EQ(str(v->getTextAttr("placement")), row.placementAfter);
        EXPECT_EQ(v->area()->placement(), row.codeAfter);
        v->release();
    }
    // A view placed otherwise keeps its placement.
    CPlacementTestView* v = build(w, "r", {{"placement", "right"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(set(v, "width", "compact 50%"), "");
    EXPECT_EQ(v->area()->placement(), V::kPlaceRight);
}

TEST_F(CViewBasePlacementTest, PlacementWords) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "overlay"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(v->area()->placement(), V::kPlaceOverlay);
    EXPECT_EQ(set(v, "placement", "bogus"), "Invalid placement 'bogus'.");
    EXPECT_EQ(set(v, "placement", "Top"), "Invalid placement 'Top'.");
    EXPECT_EQ(v->area()->placement(), V::kPlaceOverlay);
    const char* words[] = {"inline", "full", "top", "bottom", "left", "right", "overlay", "window-overlay"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(set(v, "placement", words[i]), "");
        EXPECT_EQ(v->area()->placement(), i + 1);
    }
    // The root view ignores the attribute, whatever it says.
    EXPECT_EQ(set(w, "placement", "bogus"), "");
    EXPECT_EQ(w->area()->placement(), V::kPlaceFull);
}

TEST_F(CViewBasePlacementTest, MatchNeedsAViewAndThenIgnoresWidthAndHeight) {
    CPlacementTestView* w = window();
    CPlacementTestView* a = build(w, "a", {{"placement", "top"}, {"width", "60"}, {"height", "30"}});
    ASSERT_EQ(takeError(), "");
    CPlacementTestView* m = build(w, "m", {{"placement-match", "^nothing"}, {"placement", "overlay"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(set(m, "placement", "match"), "Invalid match '^nothing'.");
    EXPECT_EQ(m->area()->placement(), V::kPlaceOverlay);
    EXPECT_EQ(m->area()->matchTarget(), nullptr);
    // The shared data object is no view either.
    EXPECT_EQ(set(m, "placement-match", "/ui.window-shared-data"), "");
    EXPECT_EQ(set(m, "placement", "match"), "Invalid match '/ui.window-shared-data'.");

    EXPECT_EQ(set(m, "placement-match", "^a"), "");
    EXPECT_EQ(set(m, "placement", "match"), "");
    EXPECT_EQ(m->area()->placement(), V::kPlaceMatch);
    EXPECT_EQ(m->area()->matchTarget(), a->area());
    const int widthKind = m->area()->widthKind();
    EXPECT_EQ(set(m, "width", ""), "");
    EXPECT_EQ(set(m, "height", "full"), "");
    EXPECT_EQ(set(m, "width", "77"), "");
    EXPECT_EQ(m->area()->widthKind(), widthKind);
    settle(w);
    EXPECT_EQ(m->lastTotal.width, 60.0);
    EXPECT_EQ(m->lastTotal.height, 30.0);
}

TEST_F(CViewBasePlacementTest, ScrollerPlacementUnderAParentThatDoesNotScroll) {
    CLogCapture log;
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "scroller-v"}});
    EXPECT_EQ(takeError(), "");
    EXPECT_TRUE(logHas(log, "Invalid placement 11, parent view does not support scrolling"));
    EXPECT_EQ(v->area()->placement(), V::kPlaceInline);
    // Under a scrolling parent the code stays.
    CPlacementTestView* s = build(w, "s", {{"placement", "top"}, {"is-scrollable", "true"}});
    ASSERT_EQ(takeError(), "");
    CPlacementTestView* bar = build(s, "bar", {{"placement", "scroller-v"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(bar->area()->placement(), V::kPlaceScrollerV);
}

// --- border and percentage readers ---

TEST_F(CViewBasePlacementTest, BorderSyntaxTable) {
    struct Row {
        const char* text;
        bool round, scale;
        double left, top, right, bottom;
        bool logged;
    };
    const Row rows[] = {
        {"4", false, false, 4, 4, 4, 4, false},
        {"LR5 TB3", false, false, 5, 3, 5, 3, false},
        {"LR5 LR0", false, false, 0, 3 * 0, 0, 0, false},
        {"0 *LT-0.9 *RB0.9", false, false, -0.9, -0.9, 0.9, 0.9, false},
        {"T1 B-3", false, false, 0, 1, 0, -3, false},
        {"L4", false, false, 4, 0, 0, 0, false},
        {"2 *4", false, false, 6, 6, 6, 6, false},
        {"  l1   t2 r3 b4 ", false, false, 1, 2, 3, 4, false},
        {"+3", false, false, 3, 3, 3, 3, false},
        {"1-2", false, false, 0, 0, 0, 0, false},
        {"LR *", false, false, 0, 0, 0, 0, false},
        {"4px", false, false, 0, 0, 0, 0, true},
        {"D2", false, false, 0, 0, 0, 0, true},
        {"L1 T2px R3", false, false, 1, 0, 0, 0, true},
        {"2.6", true, false, 3, 3, 3, 3, false},
        {"-2.5", true, false, -3, -3, -3, -3, false},
        {"L1.5 R2.25", false, true, 3, 0, 4.5, 0, false},
        {"L1.5 R2.25", true, true, 3, 0, 5, 0, false},
    };
    CPlacementTestView* w = window();
    w->area()->setWindowScale(2.0, 2.0);
    CPlacementTestView* v = build(w, "v", {});
    ASSERT_EQ(takeError(), "");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        CLogCapture log;
        double l = 99, t = 99, r = 99, b = 99;
        v->parseBorder(CString(row.text), l, t, r, b, row.round, row.scale);
        EXPECT_DOUBLE_EQ(l, row.left);
        EXPECT_DOUBLE_EQ(t, row.top);
        EXPECT_DOUBLE_EQ(r, row.right);
        EXPECT_DOUBLE_EQ(b, row.bottom);
        EXPECT_EQ(logHas(log, std::string("Invalid border syntax: '") + row.text + "' (2) // window.v"), row.logged);
    }
}

TEST(CViewBasePlacementScheme, ListsTheThirtyTwoAttributesAndTheReleaseEvent) {
    CObjectScheme scheme;
    CViewBasePlacement::initScheme(&scheme);
    EXPECT_EQ(scheme.attrHandlers().count(), 32);
    for (const char* name : {"alignment-h", "draw-opacity", "is-visible", "min-ratio-y", "opaque-border", "placement",
                             "scroller-height", "spread", "width", "height"})
        EXPECT_NE(scheme.attrHandlers().find(CString(name)), nullptr) << name;
    EXPECT_NE(scheme.eventHandlers().find(CString("release-child-bridged")), nullptr);
}

TEST(CViewBasePlacementPercent, ReadsAllButTheLastCharacter) {
    EXPECT_EQ(CViewBasePlacement::parsePercent(CString("50%")), 0.5);
    EXPECT_EQ(CViewBasePlacement::parsePercent(CString("%")), 0.0);
    EXPECT_EQ(CViewBasePlacement::parsePercent(CString("150%")), 1.5);
    EXPECT_EQ(CViewBasePlacement::parsePercent(CString("12,5%")), 0.125);
    EXPECT_EQ(CViewBasePlacement::parsePercent(CString("x%")), 0.0);
    EXPECT_EQ(CViewBasePlacement::parsePercent(CString("")), 0.0);
}

TEST_F(CViewBasePlacementTest, BorderAttributesReachTheArea) {
    CPlacementTestView* w = window();
    w->area()->setWindowScale(2.0, 2.0);
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "20"}, {"height", "10"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(set(v, "inner-border", "L1.5 T2 R3 B4"), "");
    EXPECT_EQ(set(v, "outer-border", "L1.25 T2 R3 B4"), "");
    EXPECT_EQ(set(v, "spread", "T3 B-5"), "");
    settle(w);
    // Inner borders are logical lengths (twice at scale 2), outer ones pixels rounded after scaling.
    EXPECT_EQ(v->area()->value(V::vInnerLeft), 3.0);
    EXPECT_EQ(v->area()->value(V::vInnerBottom), 8.0);
    EXPECT_EQ(v->area()->value(V::vOuterLeft), 3.0);
    EXPECT_EQ(v->area()->value(V::vOuterRight), 6.0);
    EXPECT_EQ(v->area()->getSpreadTop(), 6.0);
    EXPECT_EQ(v->area()->getSpreadBottom(), -10.0);
    EXPECT_EQ(set(v, "opaque-border", "4"), "");
    EXPECT_TRUE(v->area()->isOpaque());
    EXPECT_EQ(set(v, "opaque-border", ""), "");
    EXPECT_FALSE(v->area()->isOpaque());
}

// --- initialisation ---

TEST_F(CViewBasePlacementTest, ViewUnderAnObjectThatIsNoViewFails) {
    CPlacementTestView* v = build(root, "orphan", {{"width", "20"}});
    EXPECT_EQ(takeError(), "Unable to locate parent view.");
    EXPECT_EQ(v->area(), nullptr);
    EXPECT_EQ(v->parentPlacement(), nullptr);
}

TEST_F(CViewBasePlacementTest, WindowSharedDataMustExistAndHaveItsClass) {
    CObject* other = new CObject;
    other->initRoot(nullptr);
    build(other, "w", {}, true);
    EXPECT_EQ(takeError().rfind("Unable to find object 'ui.window-shared-data'", 0), 0u);
    add(add(other, "ui"), "window-shared-data");
    build(other, "w2", {}, true);
    EXPECT_EQ(takeError().rfind("Incompatible type of object 'ui.window-shared-data'", 0), 0u);
    other->release();
}

TEST_F(CViewBasePlacementTest, RootAndChildLinks) {
    CPlacementTestView* w = window();
    CPlacementTestView* a = build(w, "a", {{"is-decorative", "true"}});
    ASSERT_EQ(takeError(), "");
    CPlacementTestView* b = build(a, "b", {});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(w->rootPlacement(), w);
    EXPECT_EQ(w->parentPlacement(), nullptr);
    EXPECT_EQ(w->area()->parent(), nullptr);
    EXPECT_EQ(b->rootPlacement(), w);
    EXPECT_EQ(b->parentPlacement(), a);
    EXPECT_EQ(b->area()->parent(), a->area());
    EXPECT_EQ(b->area()->solver(), w->area()->solver());
    EXPECT_TRUE(a->isDecorative());
    EXPECT_FALSE(b->isDecorative());
    EXPECT_EQ(str(b->debugName), "window.a.b");
}

TEST_F(CViewBasePlacementTest, UnclipLevelInheritance) {
    struct Row {
        const char* parentLevel;
        const char* ownLevel;   // null: not given
        int expected;
    };
    const Row rows[] = {{"1", nullptr, 2}, {"-1", nullptr, -1}, {"0", nullptr, 0}, {"-2", nullptr, -2},
                        {"1", "3", 3},     {"0", "-2", -2},     {"2", nullptr, 3}};
    CPlacementTestView* w = window();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.parentLevel) + " " + (row.ownLevel != nullptr ? row.ownLevel : "-"));
        CPlacementTestView* p = build(w, "p", {{"unclip-level", row.parentLevel}});
        ASSERT_EQ(takeError(), "");
        CPlacementTestView* c = row.ownLevel != nullptr ? build(p, "c", {{"unclip-level", row.ownLevel}})
                                                        : build(p, "c", {});
        ASSERT_EQ(takeError(), "");
        EXPECT_EQ(c->area()->unclipLevel(), row.expected);
        p->release();
    }
}

TEST_F(CViewBasePlacementTest, DynamicIsInheritedUntilAViewForcesItselfOut) {
    CPlacementTestView* w = window();
    CPlacementTestView* d = build(w, "d", {{"is-dynamic", "true"}});
    CPlacementTestView* c = build(d, "c", {{"is-dynamic", "false"}});
    CPlacementTestView* f = build(d, "f", {{"is-force-non-dynamic", "true"}, {"is-dynamic", "true"}});
    CPlacementTestView* fc = build(f, "fc", {});
    CPlacementTestView* fd = build(f, "fd", {{"is-dynamic", "true"}});
    CPlacementTestView* s = build(w, "s", {});
    EXPECT_EQ(takeError(), "");
    EXPECT_FALSE(w->isDynamic());
    EXPECT_TRUE(d->isDynamic());
    EXPECT_TRUE(c->isDynamic());
    EXPECT_FALSE(f->isDynamic());
    EXPECT_FALSE(fc->isDynamic());
    EXPECT_TRUE(fd->isDynamic());
    EXPECT_FALSE(s->isDynamic());
}

TEST_F(CViewBasePlacementTest, AlignmentWordsAreExact) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "50"}, {"height", "10"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(set(v, "alignment-h", "right"), "");
    settle(w);
    EXPECT_EQ(v->lastTotal.x, 150.0);
    EXPECT_EQ(set(v, "alignment-h", "Left"), "Invalid alignment-h 'Left'.");
    EXPECT_EQ(set(v, "alignment-v", "middle"), "Invalid alignment-v 'middle'.");
    EXPECT_EQ(set(v, "inline-alignment-h", "top"), "Invalid inline-alignment-h 'top'.");
    EXPECT_EQ(set(v, "inline-alignment-v", "left"), "Invalid inline-alignment-v 'left'.");
    settle(w);
    EXPECT_EQ(v->lastTotal.x, 150.0);
    EXPECT_EQ(set(v, "alignment-h", "left"), "");
    settle(w);
    EXPECT_EQ(v->lastTotal.x, 0.0);
}

TEST_F(CViewBasePlacementTest, CompactWidthAutoNeverSwitchesBack) {
    CPlacementTestView* w = window();
    w->area()->setWindowScale(2.0, 2.0);
    CPlacementTestView* v = build(w, "v", {});
    ASSERT_EQ(takeError(), "");
    EXPECT_TRUE(v->area()->isAutoCompactWidth());
    EXPECT_EQ(set(v, "compact-width", "auto"), "");
    EXPECT_TRUE(v->area()->isAutoCompactWidth());
    EXPECT_EQ(set(v, "compact-width", "40"), "");
    EXPECT_EQ(set(v, "compact-width", "auto"), "");
    settle(w);
    EXPECT_FALSE(v->area()->isAutoCompactWidth());
    EXPECT_EQ(v->area()->value(V::vCompactWidth), 80.0);
    EXPECT_EQ(set(v, "compact-height", "x"), "");
    EXPECT_FALSE(v->area()->isAutoCompactHeight());
    EXPECT_EQ(v->area()->value(V::vCompactHeight), 0.0);
}

TEST_F(CViewBasePlacementTest, MaxAndMinWidthForms) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"height", "10"}, {"outer-border", "L5 R5"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(set(v, "width", "300"), "");
    EXPECT_EQ(set(v, "max-width", "50%"), "");
    EXPECT_EQ(v->area()->maxWidthKind(), V::kSizePercent);
    settle(w);
    EXPECT_EQ(v->area()->value(V::vMaxWidth), 90.0);
    EXPECT_EQ(v->area()->value(V::vWidth), 90.0);
    EXPECT_EQ(set(v, "max-width", "150%"), "");
    settle(w);
    EXPECT_EQ(v->area()->value(V::vMaxWidth), 190.0);
    EXPECT_EQ(set(v, "max-width", "wide"), "");
    EXPECT_EQ(v->area()->maxWidthKind(), V::kSizeFixed);
    settle(w);
    EXPECT_EQ(v->area()->value(V::vWidth), 0.0);
    EXPECT_EQ(set(v, "max-width", "1000"), "");
    EXPECT_EQ(set(v, "width", "10"), "");
    EXPECT_EQ(set(v, "min-width", "25%"), "");
    settle(w);
    EXPECT_EQ(v->area()->minWidthKind(), V::kSizePercent);
    EXPECT_EQ(v->area()->value(V::vWidth), 40.0);
    EXPECT_EQ(set(v, "min-width", "balanced"), "");
    EXPECT_EQ(v->area()->minWidthKind(), V::kSizeBalanced);
    EXPECT_EQ(set(v, "min-width", "compact"), "");
    EXPECT_EQ(v->area()->minWidthKind(), V::kSizeCompact);
    EXPECT_EQ(set(v, "min-width", "33"), "");
    settle(w);
    EXPECT_EQ(v->area()->value(V::vWidth), 33.0);
}

TEST_F(CViewBasePlacementTest, ScrollValuesOnlyOnScrollableViews) {
    CPlacementTestView* w = window();
    CPlacementTestView* s = build(w, "s", {{"is-scrollable", "true"}, {"min-ratio-x", "2"}, {"ratio-x", "0.5"}});
    CPlacementTestView* p = build(w, "p", {{"ratio-x", "0.5"}, {"offset-x", "3"}, {"scroller-width", "4"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_TRUE(s->isScrollable());
    EXPECT_FALSE(p->isScrollable());
    EXPECT_EQ(s->area()->minRatioX(), 1.0);
    EXPECT_EQ(set(s, "min-ratio-y", "0"), "");
    EXPECT_EQ(s->area()->minRatioY(), 1e-4);
    EXPECT_EQ(set(s, "min-ratio-x", "0.25"), "");
    EXPECT_EQ(set(s, "ratio-x", "0.5"), "");
    EXPECT_EQ(set(s, "scroller-width", "4"), "");
    EXPECT_EQ(set(s, "offset-y", "7"), "");
    EXPECT_EQ(s->area()->value(V::vRatioX), 0.5);
    EXPECT_EQ(s->area()->value(V::vScrollerWidth), 4.0);
    EXPECT_EQ(s->area()->value(V::vOffsetY), 7.0);
}

// --- z-order ---

TEST_F(CViewBasePlacementTest, ZDefaultBandsAndExplicitForms) {
    CPlacementTestView* w = window();
    CPlacementTestView* a = build(w, "a", {});
    CPlacementTestView* b = build(w, "b", {});
    CPlacementTestView* a1 = build(a, "a1", {});
    CPlacementTestView* a2 = build(a, "a2", {{"is-dynamic", "true"}});
    CPlacementTestView* c = build(w, "c", {{"z-index-dynamic-childs", "110000000"}, {"z-index-static-childs", "0"}});
    CPlacementTestView* c1 = build(c, "c1", {{"is-dynamic", "true"}});
    CPlacementTestView* c2 = build(c, "c2", {{"z-index", "3"}});
    CPlacementTestView* c3 = build(c, "c3", {{"z-index", "-1 ^"}});
    CPlacementTestView* t = build(a1, "t", {{"z-index", "topmost 50"}});
    CPlacementTestView* t0 = build(a1, "t0", {{"z-index", "topmost abc"}});
    CPlacementTestView* plus = build(a1, "plus", {{"z-index", "+5"}});
    CPlacementTestView* tm = build(a1, "tm", {{"z-index", "topmost"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(w->z(), 0);
    EXPECT_EQ(a->z(), 101001);
    EXPECT_EQ(b->z(), 201002);
    EXPECT_EQ(a1->z(), 102002);
    EXPECT_EQ(a2->z(), 102503);
    EXPECT_EQ(c->z(), 301003);
    EXPECT_EQ(c1->z(), 110001501);
    EXPECT_EQ(c2->z(), 301003 + 2 + 3 + 1000);
    EXPECT_EQ(c3->z(), 301002);
    EXPECT_EQ(t->z(), 905000000);
    EXPECT_EQ(t0->z(), 900000000);
    EXPECT_EQ(plus->z(), 102002 + 3 + 1000);
    EXPECT_EQ(tm->z(), 102002 + 4 + 1000);
}

TEST_F(CViewBasePlacementTest, ZTargetFormIgnoresTheParentBaseAndLogsAMissingTarget) {
    CPlacementTestView* w = window();
    CPlacementTestView* p = build(w, "p", {{"z-index-static-childs", "5000000"}});
    CPlacementTestView* two = build(p, "two", {{"z-index", "2 ^"}});
    CPlacementTestView* sib = build(p, "sib", {{"z-index", "-4 ^two"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(two->z(), p->z() + 2);
    EXPECT_EQ(sib->z(), two->z() - 4);
    CLogCapture log;
    CPlacementTestView* lost = build(p, "lost", {{"z-index", "7 ^nowhere"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_TRUE(logHas(log, "Z-index target not found: ^nowhere // window.p.lost"));
    EXPECT_EQ(lost->z(), 5000000 + 3 + 1000);
}

TEST_F(CViewBasePlacementTest, ZSaturatesBeyondTheIntegerRange) {
    CPlacementTestView* w = window();
    CPlacementTestView* hi = build(w, "hi", {{"z-index", "topmost 12475"}});
    CPlacementTestView* lo = build(w, "lo", {{"z-index", "topmost -2000000000"}});
    CPlacementTestView* edge = build(w, "edge", {{"z-index", "topmost 12474"}});
    CPlacementTestView* over = build(hi, "over", {{"z-index", "2147483647"}});
    CPlacementTestView* under = build(lo, "under", {{"z-index", "-2147483647 ^"}});
    ASSERT_EQ(takeError(), "");
    EXPECT_EQ(hi->z(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(lo->z(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(edge->z(), 12474 * 100000 + 900000000);
    EXPECT_EQ(over->z(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(under->z(), std::numeric_limits<std::int32_t>::min());
}

// --- opacity ---

TEST_F(CViewBasePlacementTest, OpacityForms) {
    struct Row {
        const char* attr;
        const char* text;
        double expected;
    };
    const Row rows[] = {{"opacity", "50%", 0.5}, {"opacity", "1.5", 1.0},     {"opacity", "-1", 0.0},
                        {"opacity", "half", 0.0}, {"opacity", "0,25", 0.25},  {"draw-opacity", "half", 1.0},
                        {"draw-opacity", "0.3", 0.3}, {"draw-opacity", "7", 1.0}, {"draw-opacity", "-2", 0.0}};
    CPlacementTestView* w = window();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.attr) + " " + row.text);
        CPlacementTestView* v = build(w, "v", {{row.attr, row.text}});
        ASSERT_EQ(takeError(), "");
        const bool isDraw = std::string(row.attr) == "draw-opacity";
        EXPECT_DOUBLE_EQ(isDraw ? v->drawOpacity() : v->opacity(), row.expected);
        v->release();
    }
}

TEST_F(CViewBasePlacementTest, CumulativeOpacityFollowsTheAncestors) {
    CPlacementTestView* w = window();
    CPlacementTestView* p = build(w, "p", {{"opacity", "0.5"}, {"draw-opacity", "0.5"}});
    CPlacementTestView* c = build(p, "c", {{"opacity", "0.5"}, {"draw-opacity", "0.4"}});
    CPlacementTestView* g = build(c, "g", {});
    ASSERT_EQ(takeError(), "");
    EXPECT_DOUBLE_EQ(c->cumulativeOpacity(), 0.25);
    EXPECT_DOUBLE_EQ(g->cumulativeOpacity(), 0.25);
    EXPECT_DOUBLE_EQ(g->cumulativeDrawOpacity(), 0.2);
    EXPECT_EQ(set(p, "opacity", "1"), "");
    EXPECT_DOUBLE_EQ(c->cumulativeOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(g->cumulativeOpacity(), 0.5);
    w->setOpacity(0.5);   // unclamped setter on the root reaches every view below
    EXPECT_DOUBLE_EQ(g->cumulativeOpacity(), 0.25);
    p->setDrawOpacity(2.0);
    EXPECT_DOUBLE_EQ(g->cumulativeDrawOpacity(), 0.8);
}

TEST_F(CViewBasePlacementTest, SameOpacityTwiceRequestsOneRedraw) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "20"}, {"height", "20"}});
    ASSERT_EQ(takeError(), "");
    settle(w);
    v->clearRedrawRequests();
    EXPECT_EQ(set(v, "opacity", "0.5"), "");
    EXPECT_EQ(takeRedraws(w), std::vector<CViewArea*>{v->area()});
    v->clearRedrawRequests();
    EXPECT_EQ(set(v, "opacity", "50%"), "");
    EXPECT_TRUE(takeRedraws(w).empty());
    EXPECT_FALSE(v->isFullRedrawPending());
}

// --- redraw requests ---

TEST_F(CViewBasePlacementTest, RedrawRequests) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    CPlacementTestView* u = build(w, "u", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    ASSERT_EQ(takeError(), "");
    settle(w);
    ASSERT_EQ(u->lastTotal.y, 20.0);

    // Partial rectangles are moved into window pixels; thin ones are dropped.
    u->addUpdateRect(CAreaRect{1, 2, 3, 4});
    u->addUpdateRect(CAreaRect{1, 2, 0, 4});
    u->addUpdateRect(CAreaRect{1, 2, 3, 0.000001});
    ASSERT_EQ(u->updateRects().count(), 1);
    EXPECT_EQ(u->updateRects()[0].x, u->lastTotal.x + 1);
    EXPECT_EQ(u->updateRects()[0].y, 22.0);
    EXPECT_EQ(u->preparedPass(), 0);
    // A whole repaint makes later partial requests no-ops; an area is listed once.
    v->invalidate();
    v->invalidate();
    v->addUpdateRect(CAreaRect{0, 0, 5, 5});
    EXPECT_TRUE(v->isFullRedrawPending());
    EXPECT_EQ(v->updateRects().count(), 0);
    EXPECT_EQ(takeRedraws(w), (std::vector<CViewArea*>{u->area(), v->area()}));
    v->clearRedrawRequests();
    u->clearRedrawRequests();

    // While the renderer prepares the view, requests are ignored.
    v->setPreparedPass(-1);
    v->invalidate();
    v->addUpdateRect(CAreaRect{0, 0, 5, 5});
    EXPECT_FALSE(v->isFullRedrawPending());
    EXPECT_TRUE(takeRedraws(w).empty());
    v->setPreparedPass(3);

    // A hidden view ignores whole repaints but keeps partial ones.
    EXPECT_EQ(set(v, "is-hidden", "true"), "");
    takeRedraws(w);
    v->invalidate();
    EXPECT_FALSE(v->isFullRedrawPending());
    EXPECT_TRUE(takeRedraws(w).empty());
    v->addUpdateRect(CAreaRect{0, 0, 5, 5});
    EXPECT_EQ(v->updateRects().count(), 1);
    EXPECT_EQ(takeRedraws(w), std::vector<CViewArea*>{v->area()});
}

// --- hiding and disabling ---

TEST_F(CViewBasePlacementTest, HidingInvalidatesTilesAndRefreshesHover) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    CPlacementTestView* d =
        build(w, "d", {{"placement", "top"}, {"width", "50"}, {"height", "20"}, {"is-dynamic", "true"}});
    CPlacementTestView* weak =
        build(w, "weak", {{"placement", "top"}, {"width", "5"}, {"height", "5"}, {"is-weak-hide", "true"}});
    ASSERT_EQ(takeError(), "");
    settle(w);
    EXPECT_EQ(set(v, "is-hidden", "true"), "");
    ASSERT_EQ(w->sectorCalls.size(), 1u);
    EXPECT_EQ(w->sectorCalls[0].second, v);
    EXPECT_EQ(w->sectorCalls[0].first.width, 50.0);
    EXPECT_EQ(v->hoverCalls, 1);
    EXPECT_FALSE(v->area()->isVisible());
    // The hover refresh ran the layout pass: the hidden view was reported empty, d moved up.
    EXPECT_EQ(v->lastTotal.width, 0.0);
    EXPECT_EQ(d->lastTotal.y, 0.0);
    // Hiding again changes nothing.
    EXPECT_EQ(set(v, "is-hidden", "1"), "");
    EXPECT_EQ(w->sectorCalls.size(), 1u);
    EXPECT_EQ(v->hoverCalls, 1);
    // Showing needs no tile invalidation, but refreshes the hover.
    EXPECT_EQ(set(v, "is-visible", "true"), "");
    EXPECT_TRUE(v->area()->isVisible());
    EXPECT_EQ(w->sectorCalls.size(), 1u);
    EXPECT_EQ(v->hoverCalls, 2);
    // A value that is no boolean hides through "is-visible".
    EXPECT_EQ(set(v, "is-visible", "maybe"), "");
    EXPECT_FALSE(v->area()->isVisible());
    // A dynamic view is hidden without invalidating tiles; a weak hide skips the hover refresh.
    EXPECT_EQ(set(d, "is-hidden", "true"), "");
    EXPECT_EQ(w->sectorCalls.size(), 2u);
    EXPECT_FALSE(d->area()->isVisible());
    EXPECT_EQ(set(weak, "is-hidden", "true"), "");
    EXPECT_EQ(weak->hoverCalls, 0);
    EXPECT_FALSE(weak->area()->isVisible());
}

TEST_F(CViewBasePlacementTest, HidingFromInsideAReportRunsANestedPass) {
    CPlacementTestView* w = window();
    CPlacementTestView* a = build(w, "a", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    CPlacementTestView* b = build(w, "b", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    CPlacementTestView* c = build(w, "c", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    ASSERT_EQ(takeError(), "");
    settle(w);
    ASSERT_EQ(c->lastTotal.y, 40.0);
    // a's report hides b while the outer pass still holds b and c in its batch.
    a->onReport = [b]() -> CError* {
        CError* err = b->setAttr(CString("is-hidden"), CString("true"), true);
        return err;
    };
    EXPECT_EQ(set(a, "height", "30"), "");
    ASSERT_EQ(w->updateLayout(), nullptr);
    EXPECT_EQ(b->hoverCalls, 1);
    EXPECT_FALSE(b->area()->isShown());
    EXPECT_EQ(b->lastTotal.width, 0.0);
    EXPECT_EQ(a->lastTotal.height, 30.0);
    EXPECT_EQ(c->lastTotal.y, 30.0);
    EXPECT_EQ(c->area()->changedBatch(), nullptr);
    EXPECT_EQ(b->area()->changedBatch(), nullptr);
    a->onReport = nullptr;
}

TEST_F(CViewBasePlacementTest, FailingHoverRefreshKeepsTheVisibilityChange) {
    CPlacementTestView* w = window();
    CPlacementTestView* v = build(w, "v", {});
    ASSERT_EQ(takeError(), "");
    v->failHover = true;
    EXPECT_EQ(set(v, "is-hidden", "true"), "hover failed");
    EXPECT_FALSE(v->area()->isVisible());
}

TEST_F(CViewBasePlacementTest, DisablingRepaintsTheSubtreeAndTellsTheChildren) {
    CPlacementTestView* w = window();
    CPlacementTestView* p = build(w, "p", {{"placement", "top"}, {"width", "50"}, {"height", "20"}});
    CPlacementTestView* c = build(p, "c", {{"placement", "top"}, {"width", "10"}, {"height", "10"}});
    CPlacementTestView* g = build(c, "g", {{"placement", "top"}, {"width", "5"}, {"height", "5"}});
    ASSERT_EQ(takeError(), "");
    settle(w);
    EXPECT_EQ(set(p, "is-disabled", "true"), "");
    EXPECT_TRUE(p->isDisabled());
    EXPECT_FALSE(c->isDisabled());
    EXPECT_EQ(p->mouseExits, 1);
    EXPECT_EQ(c->mouseExits, 0);
    EXPECT_EQ(takeRedraws(w), (std::vector<CViewArea*>{p->area(), c->area(), g->area()}));
    EXPECT_EQ(p->disabledChanges, 1);
    EXPECT_EQ(c->disabledChanges, 1);
    EXPECT_EQ(g->disabledChanges, 1);
    // The same value again does nothing; enabling runs "mouse-exit" too.
    EXPECT_EQ(set(p, "is-disabled", "true"), "");
    EXPECT_EQ(p->mouseExits, 1);
    EXPECT_EQ(set(p, "is-disabled", "false"), "");
    EXPECT_EQ(p->mouseExits, 2);
    EXPECT_EQ(g->disabledChanges, 2);
    // A failing child stops the report before the children after it.
    for (CPlacementTestView* v : {p, c, g}) v->clearRedrawRequests();
    takeRedraws(w);
    c->failDisabledChanged = true;
    EXPECT_EQ(set(p, "is-disabled", "true"), "disabled change failed");
    EXPECT_EQ(g->disabledChanges, 2);
    // A failing "mouse-exit" returns at once: no repaint, no report, the flag stays set.
    p->failMouseExit = true;
    for (CPlacementTestView* v : {p, c, g}) v->clearRedrawRequests();
    takeRedraws(w);
    const int changes = p->disabledChanges;
    EXPECT_EQ(set(p, "is-disabled", "false"), "mouse-exit failed");
    EXPECT_FALSE(p->isDisabled());
    EXPECT_EQ(p->disabledChanges, changes);
    EXPECT_TRUE(takeRedraws(w).empty());
}

// --- a view whose initialisation failed ---

TEST_F(CViewBasePlacementTest, HandlersOfAViewWithoutAreaTouchNothing) {
    CPlacementTestView* orphan = build(root, "orphan", {});
    EXPECT_EQ(takeError(), "Unable to locate parent view.");
    ASSERT_EQ(orphan->area(), nullptr);
    const char* attrs[][2] = {
        {"alignment-h", "Left"}, {"alignment-v", "x"}, {"compact-width", "4"}, {"compact-height", "4"},
        {"draw-opacity", "0.5"}, {"inline-alignment-h", "x"}, {"inline-alignment-v", "x"}, {"inner-border", "4"},
        {"is-disabled", "true"}, {"is-hidden", "true"}, {"is-inline-vertical", "true"}, {"is-new-inline-row", "true"},
        {"is-visible", "false"}, {"max-width", "50%"}, {"max-height", "5"}, {"min-ratio-x", "0.5"},
        {"min-ratio-y", "0.5"}, {"min-width", "compact"}, {"min-height", "balanced"}, {"offset-x", "1"},
        {"offset-y", "1"}, {"opacity", "0.5"}, {"opaque-border", "1"}, {"outer-border", "1"},
        {"placement", "bogus"}, {"ratio-x", "0.5"}, {"ratio-y", "0.5"}, {"scroller-width", "3"},
        {"scroller-height", "3"}, {"spread", "3"}, {"width", ""}, {"height", "compact 5%"},
    };
    for (const auto& a : attrs) {
        SCOPED_TRACE(a[0]);
        EXPECT_EQ(set(orphan, a[0], a[1]), "");
    }
    EXPECT_FALSE(orphan->isDisabled());
    EXPECT_EQ(orphan->opacity(), 1.0);
    EXPECT_EQ(orphan->mouseExits, 0);
    EXPECT_EQ(orphan->hoverCalls, 0);
    orphan->invalidate();
    orphan->addUpdateRect(CAreaRect{0, 0, 4, 4});
    orphan->invalidateDescendants();
    EXPECT_EQ(orphan->setDisabled(true), nullptr);
    EXPECT_EQ(orphan->updateLayout(), nullptr);
    EXPECT_FALSE(orphan->isFullRedrawPending());
    EXPECT_EQ(orphan->updateRects().count(), 0);
    // A view below it cannot find its root either.
    build(orphan, "child", {{"width", "3"}});
    EXPECT_EQ(takeError(), "Unable to locate root view.");
}
