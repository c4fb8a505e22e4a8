#include "Audio/CAudioLinkGraph.h"

#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tal {
namespace {

using Graph = CAudioLinkGraph;

struct States : Graph::CStates {
    std::set<int> active;
    bool isBypassStateActive(std::int32_t id) const override { return active.count(id) != 0; }
};

// Records what a rebuild does to processes, by child name.
struct Sink : Graph::CSink {
    explicit Sink(const Graph& g) : graph(g) {}
    bool createChild(int child) override {
        created.push_back(name(child));
        return failing.count(name(child)) == 0;
    }
    void destroyChild(int child) override { destroyed.push_back(name(child)); }
    void connect(int s, int sp, int d, int dp) override { connections.insert(text(s, sp, d, dp)); }
    void disconnect(int s, int sp, int d, int dp) override { EXPECT_EQ(connections.erase(text(s, sp, d, dp)), 1u); }
    std::string name(int child) const { return child == Graph::kComposite ? "*" : std::string(graph.childName(child).chars8()); }
    std::string text(int s, int sp, int d, int dp) const {
        return name(s) + "/" + std::to_string(sp) + ">" + name(d) + "/" + std::to_string(dp);
    }
    void clearLog() {
        created.clear();
        destroyed.clear();
    }
    const Graph& graph;
    std::vector<std::string> created, destroyed;
    std::set<std::string> connections;
    std::set<std::string> failing;
};

Graph::CLinkSpec link(const char* src, int srcPort, const char* dst, int dstPort, std::vector<int> bypass = {}) {
    Graph::CLinkSpec l;
    l.source = CString(src);
    l.sourcePort = srcPort;
    l.destination = CString(dst);
    l.destinationPort = dstPort;
    for (int id : bypass)
        l.bypassStateIds.add(id);
    return l;
}

std::vector<std::string> order(const Graph& g) {
    std::vector<std::string> names;
    for (int i = 0; i < g.processingOrder().count(); ++i)
        names.emplace_back(g.childName(g.processingOrder()[i]).chars8());
    return names;
}

std::set<std::string> withProcess(const Graph& g) {
    std::set<std::string> names;
    for (int i = 0; i < g.childCount(); ++i)
        if (g.hasProcess(i))
            names.emplace(g.childName(i).chars8());
    return names;
}

// The product's root composite: auto-linked children and two explicit links.
struct ProductRoot {
    ProductRoot() {
        g.setAutoLinks(true);
        g.setPrefix(CString("plugin.modMain"));
        struct Child {
            const char* name;
            bool node, outOfOrder;
            int bypass;
        };
        const Child children[] = {
            {"modInputNode", true, false, -1},      {"modMSEncoder", false, false, 31},
            {"modPreUpsampler", true, false, -1},   {"modMainPre", true, false, -1},
            {"modDelmaro", false, false, -1},       {"modOutGain", false, false, -1},
            {"modPostDownsampler", true, false, -1}, {"modSpectrum", false, true, -1},
            {"modGroupSolo", false, false, 35},     {"modMSDecoder", false, false, 31},
            {"modBypass", false, false, -1},
        };
        for (const Child& c : children)
            EXPECT_GE(g.addChild(CString(c.name), c.node, c.outOfOrder, c.bypass), 0);
        g.addLink(link("modInputNode", 0, "modBypass", 1));
        g.addLink(link("modPostDownsampler", 0, "modSpectrum", 0, {30}));
    }
    Graph g;
    Sink sink{g};
    States states;
};

TEST(CAudioLinkGraph, ProductRootProcessesAndOrderForEachBypassState) {
    ProductRoot root;
    Graph& g = root.g;
    Sink& sink = root.sink;
    States& states = root.states;
    struct Row {
        std::set<int> active;
        std::vector<std::string> order;   // also exactly the children with a process
        std::set<std::string> connections;
    };
    const Row rows[] = {
        {{},
         {"modMSEncoder", "modDelmaro", "modOutGain", "modSpectrum", "modGroupSolo", "modMSDecoder", "modBypass"},
         {"*/0>modMSEncoder/0", "modMSEncoder/0>modDelmaro/0", "modDelmaro/0>modOutGain/0", "modOutGain/0>modGroupSolo/0",
          "modOutGain/0>modSpectrum/0", "modGroupSolo/0>modMSDecoder/0", "modMSDecoder/0>modBypass/0", "*/0>modBypass/1",
          "modBypass/0>*/0"}},
        {{31},
         {"modDelmaro", "modOutGain", "modSpectrum", "modGroupSolo", "modBypass"},
         {"*/0>modDelmaro/0", "modDelmaro/0>modOutGain/0", "modOutGain/0>modGroupSolo/0", "modOutGain/0>modSpectrum/0",
          "modGroupSolo/0>modBypass/0", "*/0>modBypass/1", "modBypass/0>*/0"}},
        {{35},
         {"modMSEncoder", "modDelmaro", "modOutGain", "modSpectrum", "modMSDecoder", "modBypass"},
         {"*/0>modMSEncoder/0", "modMSEncoder/0>modDelmaro/0", "modDelmaro/0>modOutGain/0", "modOutGain/0>modMSDecoder/0",
          "modOutGain/0>modSpectrum/0", "modMSDecoder/0>modBypass/0", "*/0>modBypass/1", "modBypass/0>*/0"}},
        {{30},
         {"modMSEncoder", "modDelmaro", "modOutGain", "modGroupSolo", "modMSDecoder", "modBypass"},
         {"*/0>modMSEncoder/0", "modMSEncoder/0>modDelmaro/0", "modDelmaro/0>modOutGain/0", "modOutGain/0>modGroupSolo/0",
          "modGroupSolo/0>modMSDecoder/0", "modMSDecoder/0>modBypass/0", "*/0>modBypass/1", "modBypass/0>*/0"}},
        {{30, 31, 35},
         {"modDelmaro", "modOutGain", "modBypass"},
         {"*/0>modDelmaro/0", "modDelmaro/0>modOutGain/0", "modOutGain/0>modBypass/0", "*/0>modBypass/1",
          "modBypass/0>*/0"}},
    };
    // Each row from a fresh graph, then all rows in turn on one graph (incremental rebuilds).
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.active));
        ProductRoot fresh;
        fresh.states.active = r.active;
        fresh.g.rebuild(fresh.states, fresh.sink);
        EXPECT_EQ(order(fresh.g), r.order);
        EXPECT_EQ(withProcess(fresh.g), std::set<std::string>(r.order.begin(), r.order.end()));
        EXPECT_EQ(fresh.sink.connections, r.connections);
    }
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.active));
        states.active = r.active;
        g.rebuild(states, sink);
        EXPECT_EQ(order(g), r.order);
        EXPECT_EQ(withProcess(g), std::set<std::string>(r.order.begin(), r.order.end()));
        EXPECT_EQ(sink.connections, r.connections);
    }
}

TEST(CAudioLinkGraph, SwitchingABypassStateDestroysAndRecreatesOnlyTheAffectedChildren) {
    ProductRoot root;
    Graph& g = root.g;
    Sink& sink = root.sink;
    States& states = root.states;
    g.rebuild(states, sink);
    EXPECT_EQ(sink.created.size(), 7u);
    sink.clearLog();
    g.rebuild(states, sink);   // nothing changed
    EXPECT_TRUE(sink.created.empty());
    EXPECT_TRUE(sink.destroyed.empty());
    states.active = {31};
    g.rebuild(states, sink);
    EXPECT_TRUE(sink.created.empty());
    EXPECT_EQ(std::set<std::string>(sink.destroyed.begin(), sink.destroyed.end()),
              (std::set<std::string>{"modMSEncoder", "modMSDecoder"}));
    sink.clearLog();
    states.active = {};
    g.rebuild(states, sink);
    EXPECT_EQ(std::set<std::string>(sink.created.begin(), sink.created.end()),
              (std::set<std::string>{"modMSEncoder", "modMSDecoder"}));
    EXPECT_TRUE(sink.destroyed.empty());
}

// A child whose process cannot be made is never connected or run; its links are kept out.
TEST(CAudioLinkGraph, AChildWithoutProcessIsNotConnectedOrRun) {
    ProductRoot root;
    Graph& g = root.g;
    Sink& sink = root.sink;
    States& states = root.states;
    sink.failing = {"modSpectrum"};
    g.rebuild(states, sink);
    EXPECT_FALSE(g.hasProcess(g.findChild(CString("modSpectrum"))));
    for (const std::string& c : sink.connections)
        EXPECT_EQ(c.find("modSpectrum"), std::string::npos) << c;
    EXPECT_EQ(order(g), (std::vector<std::string>{"modMSEncoder", "modDelmaro", "modOutGain", "modGroupSolo",
                                                  "modMSDecoder", "modBypass"}));
}

TEST(CAudioLinkGraph, ACycleOfLinksLogsAndLeavesTheCycleOut) {
    CLogCapture log;
    Graph g;
    g.setPrefix(CString("plugin.x"));
    for (const char* name : {"A", "B", "C", "D"})
        ASSERT_GE(g.addChild(CString(name), false, false, -1), 0);
    g.addLink(link("*", 0, "A", 0));
    g.addLink(link("A", 0, "B", 0));
    g.addLink(link("C", 0, "B", 1));   // B waits for C, C for B
    g.addLink(link("B", 0, "C", 0));
    g.addLink(link("C", 0, "D", 0));   // fed by the cycle
    g.addLink(link("A", 0, "*", 0));
    States states;
    Sink sink(g);
    g.rebuild(states, sink);
    EXPECT_EQ(order(g), std::vector<std::string>{"A"});
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("process seq err // plugin.x"), std::string::npos) << lines.back();
}

// Port-0 inputs and nodes in cycles end the walks: the cyclic children are dead ends.
TEST(CAudioLinkGraph, CyclicNodesAndPortZeroLoopsEndAsDeadEnds) {
    CLogCapture log;
    Graph g;
    g.setPrefix(CString("plugin.y"));
    g.addChild(CString("N1"), true, false, -1);
    g.addChild(CString("N2"), true, false, -1);
    g.addChild(CString("P"), false, false, -1);
    g.addChild(CString("Q"), false, false, -1);
    g.addChild(CString("R"), false, false, -1);
    g.addLink(link("N1", 0, "N2", 0));
    g.addLink(link("N2", 0, "N1", 0));
    g.addLink(link("N1", 0, "P", 0));   // forwarding through the node cycle ends
    g.addLink(link("Q", 0, "R", 0));
    g.addLink(link("R", 0, "Q", 0));    // a port-0 loop that never reaches the input
    g.addLink(link("*", 0, "*", 0));    // composite to composite: skipped
    States states;
    Sink sink(g);
    g.rebuild(states, sink);
    EXPECT_TRUE(order(g).empty());
    EXPECT_TRUE(sink.connections.empty());
    EXPECT_FALSE(g.hasProcess(g.findChild(CString("Q"))));
    bool logged = false;
    for (const std::string& l : log.lines())
        logged = logged || l.find("process link cycle // plugin.y") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST(CAudioLinkGraph, NodesForwardTheirInputsAndDropTheSourcePort) {
    Graph g;
    g.addChild(CString("A"), false, false, -1);
    g.addChild(CString("N"), true, false, -1);
    g.addChild(CString("B"), false, false, -1);
    g.addChild(CString("M"), true, false, -1);
    g.addLink(link("*", 0, "A", 0));
    g.addLink(link("A", 3, "N", 0));
    g.addLink(link("N", 5, "B", 0));   // forwarded as A/0 -> B/0
    g.addLink(link("*", 0, "M", 0));
    g.addLink(link("M", 0, "*", 0));   // a node fed only by the input, to the output: nothing
    g.addLink(link("M", 0, "B", 2));   // input forwarded to B's port 2
    g.addLink(link("B", 0, "*", 0));
    g.addLink(link("A", 0, "B", 0));   // wanted twice: one connection
    States states;
    Sink sink(g);
    g.rebuild(states, sink);
    EXPECT_EQ(sink.connections, (std::set<std::string>{"*/0>A/0", "A/0>B/0", "*/0>B/2", "B/0>*/0"}));
    EXPECT_EQ(order(g), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(g.addChild(CString("A"), false, false, -1), -1);   // names are unique
}

} // namespace
} // namespace tal
