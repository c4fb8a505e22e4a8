// Path lookup and typed attribute reads of the object tree, against plain standard-library
// references doing the same work; and one bound attribute's change passed on to 250 to 4,000
// listeners, against setting the value on each listener directly (the per-listener work alone).
#include "Core/CObject.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

using namespace tal;

namespace {

constexpr int kSections = 10, kGroups = 10, kItems = 20;  // about 2,100 nodes

struct Tree {
    Tree() {
        shared = new CObject;
        shared->initRoot(nullptr);
        CObject::setSharedObject(shared);
        root = new CObject;
        root->initRoot(nullptr);
        const CString tag("bench:node");
        for (int s = 0; s < kSections; ++s) {
            CObject* section = nullptr;
            (void)root->addChild(section, tag, CString("section"), false);
            for (int g = 0; g < kGroups; ++g) {
                CObject* group = nullptr;
                (void)section->addChild(group, tag, CString("group"), false);
                for (int i = 0; i < kItems; ++i) {
                    CObject* item = nullptr;
                    (void)group->addChild(item, tag, CString("item"), false);
                    (void)item->setAttr(CString("count"), CString("12"), false);
                    (void)item->setAttr(CString("scale"), CString("1.25"), false);
                }
            }
        }
    }
    ~Tree() {
        root->release();
        shared->release();
    }
    CObject* shared = nullptr;
    CObject* root = nullptr;
};

Tree& tree() {
    static Tree t;
    return t;
}

// The reference: a node with a std::map of children by unique name.
struct RefNode {
    std::map<std::string, std::unique_ptr<RefNode>, std::less<>> children;
    std::map<std::string, std::variant<int, double, std::string>, std::less<>> attrs;
};

RefNode& refTree() {
    static RefNode root = [] {
        RefNode r;
        for (int s = 0; s < kSections; ++s) {
            auto& section = r.children[s ? "section#" + std::to_string(s) : "section"] = std::make_unique<RefNode>();
            for (int g = 0; g < kGroups; ++g) {
                auto& group = section->children[g ? "group#" + std::to_string(g) : "group"] = std::make_unique<RefNode>();
                for (int i = 0; i < kItems; ++i) {
                    auto& item = group->children[i ? "item#" + std::to_string(i) : "item"] = std::make_unique<RefNode>();
                    item->attrs["count"] = std::string("12");
                    item->attrs["scale"] = std::string("1.25");
                }
            }
        }
        return r;
    }();
    return root;
}

const RefNode* refFind(const RefNode& root, std::string_view path) {
    const RefNode* cur = &root;
    while (!path.empty()) {
        const std::size_t dot = path.find('.');
        auto it = cur->children.find(path.substr(0, dot));
        if (it == cur->children.end()) return nullptr;
        cur = it->second.get();
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return cur;
}

void FindObject(benchmark::State& state) {
    CObject* root = tree().root;
    const CString path("section#7.group#3.item#12");
    for (auto _ : state) benchmark::DoNotOptimize(root->findObject(path));
}
BENCHMARK(FindObject);

void FindObjectReference(benchmark::State& state) {
    const RefNode& root = refTree();
    const std::string path("section#7.group#3.item#12");
    for (auto _ : state) benchmark::DoNotOptimize(refFind(root, path));
}
BENCHMARK(FindObjectReference);

void GetIntAttrCached(benchmark::State& state) {
    CObject* item = tree().root->findObject(CString("section#2.group#5.item#9"));
    for (auto _ : state) benchmark::DoNotOptimize(item->getIntAttr("count"));
}
BENCHMARK(GetIntAttrCached);

void GetDoubleAttrMissing(benchmark::State& state) {
    CObject* item = tree().root->findObject(CString("section#2.group#5.item#9"));
    for (auto _ : state) benchmark::DoNotOptimize(item->getDoubleAttr("no-such-attribute"));
}
BENCHMARK(GetDoubleAttrMissing);

// The reference parses the stored text at every read.
void GetIntAttrReference(benchmark::State& state) {
    const RefNode* item = refFind(refTree(), "section#2.group#5.item#9");
    for (auto _ : state) {
        int value = 0;
        auto it = item->attrs.find("count");
        if (it != item->attrs.end()) {
            const std::string& s = std::get<std::string>(it->second);
            std::from_chars(s.data(), s.data() + s.size(), value);
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(GetIntAttrReference);

// A source "ui.src" with n listener objects, each bound with "{*/ui.src level}".
struct BoundListeners {
    explicit BoundListeners(int n) {
        root = new CObject;
        root->initRoot(nullptr);
        const CString tag("bench:node");
        CObject* ui = nullptr;
        (void)root->addChild(ui, tag, CString("ui"), false);
        (void)ui->addChild(source, tag, CString("src"), false);
        for (int i = 0; i < n; ++i) {
            CObject* listener = nullptr;
            (void)ui->addChild(listener, tag, CString("view"), false);
            (void)listener->setAttr(CString("value"), CString("{*/ui.src level}"), true);
            listeners.push_back(listener);
        }
    }
    ~BoundListeners() { root->release(); }
    CObject* root = nullptr;
    CObject* source = nullptr;
    std::vector<CObject*> listeners;
};

void perListener(benchmark::State& state, std::int64_t listeners) {
    state.SetItemsProcessed(state.iterations() * listeners);
    state.counters["per_listener"] =
        benchmark::Counter(double(state.iterations() * listeners), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void NotifyBoundListeners(benchmark::State& state) {
    BoundListeners bound(int(state.range(0)));
    const CString name("level");
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(bound.source->setAttr(name, CString(++i & 1 ? "0.25" : "0.75"), true));
    if (!bound.listeners.back()->getTextAttr("value").equals(i & 1 ? "0.25" : "0.75"))
        state.SkipWithError("the listeners did not take the value");
    perListener(state, state.range(0));
}
BENCHMARK(NotifyBoundListeners)->Arg(250)->Arg(1000)->Arg(4000);

// The reference hands the value to each listener itself, as the notification does for each one.
void NotifyBoundListenersReference(benchmark::State& state) {
    BoundListeners bound(int(state.range(0)));
    const CString target("value");
    CAttrValue values[2];
    values[0].setText(CString("0.25"));
    values[1].setText(CString("0.75"));
    int i = 0;
    for (auto _ : state) {
        const CAttrValue& v = values[++i & 1];
        for (CObject* l : bound.listeners) benchmark::DoNotOptimize(l->setAttrValue(bound.source, target, v));
    }
    perListener(state, state.range(0));
}
BENCHMARK(NotifyBoundListenersReference)->Arg(250)->Arg(1000)->Arg(4000);

} // namespace
