// Cost of the layout engine on a synthetic editor of about 1,500 areas (depth 6: a header with an
// inline row, a sidebar holding a scrolled list of 300 items with two inline children each, a row of
// 200 inline children, and panels of groups of knobs with labels), against a naive full recompute
// of the same tree written here: a recursive measure-and-arrange over plain records with the same
// placement rules and rounding, followed by the rectangles the engine reports (the scrolled content,
// the clip by the parent's content box and clip), each compared with the last report, reported to an
// owner and listed for redraw when it changed. The engine's positions and rectangles are checked
// against the reference first.
// Measured: a window scale change plus the layout pass, and one leaf width change in the 200-child
// row plus the pass, each against one full naive recompute.
#include "Core/CError.h"
#include "UI/CLayoutSolver.h"
#include "UI/CViewArea.h"
#include "UI/CViewAreaUpdateHandler.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using tal::CViewArea;

enum class Place { Root, Top, Left, Full, Inline };

// One node of the synthetic tree, shared by both implementations. Sizes are logical; a negative
// size means "the whole reference size" (full-simple).
struct Node {
    Place place = Place::Top;
    double width = -1, height = -1;
    bool scrollable = false;
    double offsetY = 0, ratioY = 1;
    std::vector<std::unique_ptr<Node>> children;
    // Reference results: the placement, and the rectangles last reported to refOwner.
    double x = 0, y = 0, w = 0, h = 0;
    tal::CAreaRect total, clip;
    tal::CViewAreaUpdateHandler refOwner;
    // Engine side.
    std::unique_ptr<tal::CViewAreaUpdateHandler> owner;
    std::unique_ptr<CViewArea> area;

    Node& add(Place p, double wd, double ht) {
        children.push_back(std::make_unique<Node>());
        Node& c = *children.back();
        c.place = p;
        c.width = wd;
        c.height = ht;
        return c;
    }
};

double rnd(double v) { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

std::unique_ptr<Node> makeTree() {
    auto root = std::make_unique<Node>();
    root->place = Place::Root;
    root->width = 1600;
    root->height = 1200;
    Node& header = root->add(Place::Top, -1, 40);
    for (int i = 0; i < 20; ++i)
        header.add(Place::Inline, 60, 24);
    Node& sidebar = root->add(Place::Left, 300, -1);
    Node& list = sidebar.add(Place::Top, -1, 1000);
    list.scrollable = true;
    list.ratioY = 0.25;
    list.offsetY = 0.1;
    for (int i = 0; i < 300; ++i) {
        Node& item = list.add(Place::Top, -1, 24);
        item.add(Place::Inline, 100, 16);
        item.add(Place::Inline, 60, 16);
    }
    Node& main = root->add(Place::Full, -1, -1);
    Node& row = main.add(Place::Top, -1, 60);
    for (int i = 0; i < 200; ++i)
        row.add(Place::Inline, 6, 20);
    for (int p = 0; p < 14; ++p) {
        Node& panel = main.add(Place::Top, -1, 100);
        for (int g = 0; g < 3; ++g) {
            Node& group = panel.add(Place::Left, 200, -1);
            for (int k = 0; k < 4; ++k)
                group.add(Place::Inline, 40, 40).add(Place::Top, -1, 10);
        }
    }
    return root;
}

int countNodes(const Node& n) {
    int c = 1;
    for (const auto& k : n.children)
        c += countNodes(*k);
    return c;
}

// --- the engine ---

void buildAreas(Node& n, Node* parent, double scale) {
    n.owner = std::make_unique<tal::CViewAreaUpdateHandler>();
    n.area = std::make_unique<CViewArea>(n.owner.get(), parent != nullptr ? parent->area.get() : nullptr, n.scrollable);
    CViewArea& a = *n.area;
    static constexpr int kCodes[] = {CViewArea::kPlaceFull, CViewArea::kPlaceTop, CViewArea::kPlaceLeft,
                                     CViewArea::kPlaceFull, CViewArea::kPlaceInline};
    a.setPlacement(kCodes[int(n.place)]);
    if (n.width < 0)
        a.setWidthFull();
    else
        a.setFixedWidth(n.width * scale);
    if (n.height < 0)
        a.setHeightFull();
    else
        a.setFixedHeight(n.height * scale);
    if (n.scrollable) {
        a.setRatioY(n.ratioY);
        a.setOffsetY(n.offsetY);
    }
    for (auto& c : n.children)
        buildAreas(*c, &n, scale);
}

void destroyAreas(Node& n) {
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it)
        destroyAreas(**it);
    n.area.reset();
    n.owner.reset();
}

// --- the naive reference: measure each child, then arrange it in the parent's free region ---

double sizeOf(double logical, double ref, double scale) { return logical < 0 ? rnd(ref) : rnd(logical * scale); }

void arrange(Node& n, double scale) {
    double rx, ry, rw, rh;
    if (n.scrollable) {
        rw = n.w;
        rh = n.h / n.ratioY;
        rx = n.x;
        ry = n.y - n.offsetY * rh;
    } else {
        rx = rnd(n.x);
        ry = rnd(n.y);
        rw = rnd(n.w);
        rh = rnd(n.h);
    }
    // Edge children; a run of one direction with equal size kinds shares its reference snapshot.
    double snapW = rw, snapH = rh;
    int prevDir = 0;
    bool prevFixedW = false, prevFixedH = false;
    for (auto& cp : n.children) {
        Node& c = *cp;
        if (c.place == Place::Inline)
            continue;
        const bool fw = c.width >= 0, fh = c.height >= 0;
        if (c.place == Place::Full) {
            snapW = rw;
            snapH = rh;
        } else {
            const int dir = c.place == Place::Top ? 1 : 2;
            if (!(dir == prevDir && fw == prevFixedW && fh == prevFixedH)) {
                snapW = rw;
                snapH = rh;
            }
            prevDir = dir;
            prevFixedW = fw;
            prevFixedH = fh;
        }
        c.w = sizeOf(c.width, snapW, scale);
        c.h = sizeOf(c.height, snapH, scale);
        if (c.place == Place::Top) {
            c.x = rnd(rx + (rw - c.w) * 0.5);
            c.y = rnd(ry);
            ry += c.h;
            rh -= c.h;
        } else if (c.place == Place::Left) {
            c.x = rnd(rx);
            c.y = rnd(ry + (rh - c.h) * 0.5);
            rx += c.w;
            rw -= c.w;
        } else {
            c.x = rnd(rx + (rw - c.w) * 0.5);
            c.y = rnd(ry + (rh - c.h) * 0.5);
        }
    }
    // One centred row of inline children, centred across.
    double length = 0, thickness = -1e20;
    int inlineCount = 0;
    for (auto& cp : n.children) {
        Node& c = *cp;
        if (c.place != Place::Inline)
            continue;
        c.w = sizeOf(c.width, rw, scale);
        c.h = sizeOf(c.height, rh, scale);
        length += c.w;
        thickness = c.h > thickness ? c.h : thickness;
        ++inlineCount;
    }
    if (inlineCount > 0) {
        const double top = ry + rnd((rh - thickness) * 0.5);
        double next = rx + (rw - length) * 0.5;
        bool first = true;
        for (auto& cp : n.children) {
            Node& c = *cp;
            if (c.place != Place::Inline)
                continue;
            c.x = rnd(first ? next : next);
            c.y = rnd(top + (thickness - c.h) * 0.5);
            next = c.x + c.w;
            first = false;
        }
    }
    for (auto& c : n.children)
        arrange(*c, scale);
}

void intersect(tal::CAreaRect& r, const tal::CAreaRect& b) {
    const double nx = std::max(r.x, b.x);
    const double nw = std::min(b.x + b.width, r.x + r.width) - nx;
    const double ny = std::max(r.y, b.y);
    const double nh = std::min(b.y + b.height, r.y + r.height) - ny;
    if (nw <= 0.0 || nh <= 0.0) {
        r.width = r.height = 0.0;
        return;
    }
    r = tal::CAreaRect{nx, ny, nw, nh};
}

bool rectsDiffer(const tal::CAreaRect& a, const tal::CAreaRect& b) {
    using tal::CLayoutSolver;
    return CLayoutSolver::differs(a.x, b.x) || CLayoutSolver::differs(a.y, b.y) ||
           CLayoutSolver::differs(a.width, b.width) || CLayoutSolver::differs(a.height, b.height);
}

// The total rectangle (a scrolled area's whole content) and the clip rectangle (limited by the
// parent's content box and clip, which its own ancestors already limited); reported when changed.
void reportRects(Node& n, const Node* parent, std::vector<Node*>& redraw) {
    tal::CAreaRect k{n.x, n.y, n.w, n.h}, t = k;
    if (n.scrollable) {
        t.height = n.h / n.ratioY;
        t.y = n.y - n.offsetY * t.height;
    }
    if (parent != nullptr) {
        if (!k.isEmpty())
            intersect(k, parent->total);
        if (!k.isEmpty())
            intersect(k, parent->clip);
    }
    if (rectsDiffer(k, n.clip) || rectsDiffer(t, n.total)) {
        n.clip = k;
        n.total = t;
        tal::CViewAreaUpdateHandler* owner = &n.refOwner;
        if (tal::CError* err = owner->handleViewAreaUpdate(n.total, n.clip))
            delete err;
        redraw.push_back(&n);
    }
    for (auto& c : n.children)
        reportRects(*c, &n, redraw);
}

void naiveLayout(Node& root, double scale, std::vector<Node*>& redraw) {
    root.x = root.y = 0;
    root.w = rnd(root.width * scale);
    root.h = rnd(root.height * scale);
    arrange(root, scale);
    redraw.clear();
    reportRects(root, nullptr, redraw);
}

void naiveLayout(Node& root, double scale) {
    std::vector<Node*> redraw;
    naiveLayout(root, scale, redraw);
}

bool sameAsEngine(const Node& n) {
    const CViewArea& a = *n.area;
    if (std::fabs(a.value(CViewArea::vX) - n.x) > 1e-9 || std::fabs(a.value(CViewArea::vY) - n.y) > 1e-9 ||
        std::fabs(a.value(CViewArea::vWidth) - n.w) > 1e-9 || std::fabs(a.value(CViewArea::vHeight) - n.h) > 1e-9)
        return false;
    if (rectsDiffer(a.totalRect(), n.total) || rectsDiffer(a.clipRect(), n.clip))
        return false;
    for (const auto& c : n.children)
        if (!sameAsEngine(*c))
            return false;
    return true;
}

struct Fixture {
    std::unique_ptr<Node> root = makeTree();
    Fixture() {
        buildAreas(*root, nullptr, 1.0);
        if (root->area->updateLayout() != nullptr)
            std::abort();
    }
    ~Fixture() { destroyAreas(*root); }
    Node& leafInRow() { return *root->children[2]->children[0]->children[100]; }
};

void BM_NaiveFullRecompute(benchmark::State& state) {
    Fixture f;
    std::vector<Node*> redraw;
    double scale = 1.0;
    for (auto _ : state) {
        scale = scale == 1.0 ? 1.25 : 1.0;
        naiveLayout(*f.root, scale, redraw);
        benchmark::DoNotOptimize(redraw.data());
    }
    if (redraw.size() != std::size_t(countNodes(*f.root)))
        state.SkipWithError("a scale change must report every area");
    state.counters["areas"] = countNodes(*f.root);
}

void BM_ScaleChangeAndPass(benchmark::State& state) {
    Fixture f;
    naiveLayout(*f.root, 1.0);
    if (!sameAsEngine(*f.root)) {
        state.SkipWithError("engine and reference disagree");
        return;
    }
    double scale = 1.0;
    for (auto _ : state) {
        scale = scale == 1.0 ? 1.25 : 1.0;
        f.root->area->setWindowScale(scale, 1.0);
        if (tal::CError* err = f.root->area->updateLayout()) {
            delete err;
            state.SkipWithError("layout error");
            return;
        }
        delete f.root->area->solver()->takeRedrawList();
    }
    naiveLayout(*f.root, scale);
    if (!sameAsEngine(*f.root))
        state.SkipWithError("engine and reference disagree after scale changes");
    state.counters["areas"] = countNodes(*f.root);
}

void BM_LeafWidthChangeAndPass(benchmark::State& state) {
    Fixture f;
    CViewArea& leaf = *f.leafInRow().area;
    double width = 6;
    for (auto _ : state) {
        width = width == 6 ? 7 : 6;
        leaf.setFixedWidth(width);
        if (tal::CError* err = f.root->area->updateLayout()) {
            delete err;
            state.SkipWithError("layout error");
            return;
        }
        delete f.root->area->solver()->takeRedrawList();
    }
    f.leafInRow().width = width;
    naiveLayout(*f.root, 1.0);
    if (!sameAsEngine(*f.root))
        state.SkipWithError("engine and reference disagree after width changes");
}

void BM_FirstPass(benchmark::State& state) {
    for (auto _ : state) {
        auto root = makeTree();
        buildAreas(*root, nullptr, 1.0);
        if (tal::CError* err = root->area->updateLayout()) {
            delete err;
            state.SkipWithError("layout error");
            return;
        }
        state.PauseTiming();
        destroyAreas(*root);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_NaiveFullRecompute)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScaleChangeAndPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LeafWidthChangeAndPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstPass)->Unit(benchmark::kMicrosecond);
