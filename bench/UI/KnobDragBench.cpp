// One drag step of a knob that moves its element in 8 active channel groups (Alt, with the
// show-all-channels switch on) and brings 2 linked knobs along (Ctrl), over a recording editor
// whose connector only records the requests:
// - KnobDragStep: CKnob::onMouseMove: the controller's step over the 8 groups, the fresh channel
//   collection, and the display-difference writes of the knob and both linked knobs (24 writes).
// - Reference: the plain version of the same writes: the 24 normalised values computed from the
//   same display difference and written with CUIParam::setNormalizedValue, without the knob.
// The trees are the test support's (tests/support).

#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamController.h"
#include "UI/CValueList.h"
#include "UI/Controls/CKnob.h"
#include "UI/Controls/ControlCreators.h"
#include "support/ControllerTestTree.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tal {
namespace {

class BenchTree : public CControllerTestTree {
public:
    BenchTree() {
        SetUp();
        CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
        CObject* object = nullptr;
        delete CParamTestTree::build(object, ui, "ui:value-list-manual", "groups", {});
        CStringList items;
        for (int g = 1; g <= 8; ++g)
            items.add(CString(("G" + std::to_string(g) + ";" + std::to_string(g)).c_str()));
        delete static_cast<CValueList*>(object)->setItems(items);
        delete CParamTestTree::build(object, ui, "ui:param-group-selector", "sel",
                                     {{"interface-client", "^client"}, {"group-index", "0"}, {"active-groups-list", "^groups"}});
        showInfo = makeInfo("Show all", 1, 0, 1, "1");
        bridgeWith("show-all", *showInfo);
        for (int g = 0; g < 8; ++g)
            setValues(g, {0.3 + 0.01 * g, 0.4, 0.5, 0.5});
        master = addKnob("a", 0, "^b ^c");
        addKnob("b", 1, "");
        addKnob("c", 2, "");
        connector->take();
    }
    ~BenchTree() override { TearDown(); }
    void TestBody() override {}

    CKnob* addKnob(const char* panel, int element, const char* linked) {
        CObject* holder = nullptr;
        delete CParamTestTree::build(holder, window, "ui:view", panel, {});
        CObject* object = nullptr;
        delete holder->addChild(object, CString("ui:knob"), CString("knob-base"), false);
        auto* k = dynamic_cast<CKnob*>(object);
        const std::string elementText = std::to_string(element);
        for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
                 {"center-x", "0.5"}, {"center-y", "0.5"}, {"inner-radius", "0.27"}, {"outer-radius", "0.44"},
                 {"zone-start", "0.89"}, {"zone-end", "0.60"}, {"is-knob-labels", "false"}, {"element", elementText.c_str()},
                 {"linked-knob", linked}, {"show-all-channels-bridge", "ui.show-all"}})
            delete k->setAttr(CString(key), CString(value), false);
        delete k->init();
        delete k->createChilds();
        CObject* child = nullptr;
        delete CParamTestTree::build(child, k, "ui:ui-param", "ui-param", {{"bridge", "ui.p"}, {"group-selector", "ui.sel"}});
        delete CParamTestTree::build(child, k, "ui:ui-param-controller", "ui-param-controller",
                                     {{"interface-client", "ui.client"}, {"is-vertical", "true"}, {"sensitivity", "1.0"},
                                      {"timer-tag", "test:tick"}, {"ui-param", "^ui-param"},
                                      {"active-audio-groups", "ui.groups"}});
        delete k->initChilds();
        const CAreaRect rect{0.0, 0.0, 100.0, 100.0};
        delete k->handleViewAreaUpdate(rect, rect);
        knobs.push_back(k);
        return k;
    }
    void press() {
        moveMouseTo(50, 50);
        CAttrMap m;
        m.findOrAdd("x")->value.setReal(50);
        m.findOrAdd("y")->value.setReal(50);
        m.findOrAdd("is-ctrl")->value.setBool(true);
        m.findOrAdd("is-alt")->value.setBool(true);
        delete master->onMousePress(m);
        master->controller()->setMultiChange(true);
    }
    // One step of dy points with Ctrl held.
    void step(double dy) {
        moveMouseTo(input().dragMouseX, input().dragMouseY + dy);
        CAttrMap m;
        m.findOrAdd("x")->value.setReal(50);
        m.findOrAdd("y")->value.setReal(50 + dy);
        m.findOrAdd("button")->value.setInt('L');
        m.findOrAdd("is-ctrl")->value.setBool(true);
        delete master->onMouseMove(m);
    }

    std::vector<std::string> changeLines() { return lines("change-param"); }
    std::size_t changeRequests() { return lines("change-param").size(); }
    void forgetRequests() {
        connector->lines.clear();
        connector->handles.clear();
    }

    std::unique_ptr<CAudioParamInfo> showInfo;
    CKnob* master = nullptr;
    std::vector<CKnob*> knobs;
};

void KnobDragStep(benchmark::State& state) {
    BenchTree tree;
    tree.press();
    tree.step(-1.0);
    if (!tree.master->isLinkedDragActive() || !tree.master->controller()->isMultiChange())
        state.SkipWithError("the drag did not engage the links and the channel groups");
    tree.forgetRequests();
    tree.step(1.0);
    state.counters["change-param/step"] = double(tree.changeRequests());
    if (std::getenv("KNOB_BENCH_SHOW") != nullptr)
        for (const std::string& line : tree.changeLines())
            std::fprintf(stderr, "%s\n", line.c_str());
    double dy = -1.0;
    int n = 0;
    for (auto _ : state) {
        tree.step(dy);
        dy = -dy;
        if (++n % 256 == 0) {
            state.PauseTiming();
            tree.forgetRequests();
            state.ResumeTiming();
        }
    }
    state.counters["writes/step"] = 24;
}
BENCHMARK(KnobDragStep);

void Reference(benchmark::State& state) {
    BenchTree tree;
    std::vector<CUIParam*> params;
    for (CKnob* k : tree.knobs)
        params.push_back(k->uiParam());
    double start[3][8];
    for (int k = 0; k < 3; ++k)
        for (int g = 0; g < 8; ++g) {
            CUIParamValue v;
            params[std::size_t(k)]->getNormalizedValue(v, k, g);
            start[k][g] = params[std::size_t(k)]->toDisplay(0, v[0]);
        }
    double delta = 0.001;
    tree.forgetRequests();
    int n = 0;
    for (auto _ : state) {
        for (int k = 0; k < 3; ++k)
            for (int g = 0; g < 8; ++g) {
                CUIParamValue v;
                v[0] = params[std::size_t(k)]->fromDisplay(0, start[k][g] + delta);
                params[std::size_t(k)]->setNormalizedValue(k, g, v);
            }
        delta = -delta;
        if (n == 0)
            state.counters["change-param/step"] = double(tree.changeRequests());
        if (++n % 256 == 0) {
            state.PauseTiming();
            tree.forgetRequests();
            state.ResumeTiming();
        }
    }
    state.counters["writes/step"] = 24;
}
BENCHMARK(Reference);

} // namespace
} // namespace tal
