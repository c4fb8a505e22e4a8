#include "Audio/CAudioProcess.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioProcessDef.h"
#include "Audio/CAudioProcessLinkStateDef.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/Processes/ProcessCreators.h"
#include "support/CLogCapture.h"
#include "support/GraphDefTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::CCountedGainProcess;
using test::CGraphDefTree;
using test::CTestHost;

class CSink : public CAudioProcessBase {};

// Sets a parameter's audio-side value as the collector's hand-off does (a format change carrying
// the value), which raises the watches on it.
void setAudioValue(CGraphDefTree& tree, const char* name, double value) {
    CAudioParamChange change;
    change.group = CAudioParamChange::kFormatGroup;
    change.count = 1;
    change.singleGroup = true;
    change.singleElement = true;
    change.values = &value;
    tree.collector.acquireParam(CString(name))->applyAudioSide(change);
}

// A composite root made as the plug-in shell makes it, with one host channel in and an output
// process whose input is read back.
struct Rig {
    explicit Rig(CGraphDefTree& t) : tree(t), host(t.pool()) {}
    ~Rig() {
        if (root != nullptr)
            root->disconnectAll();
        delete root;
    }
    std::string create(CObject* def) {
        CError* err = dynamic_cast<CAudioProcessDefBase*>(def)->createProcess(&root, prefix, tree.context, 0, 0,
                                                                             &tree.pool(), false, false);
        if (err != nullptr)
            return test::messageOf(err);
        in = host.attach(*root, 1);
        root->addOutput(&sink, 0, 0);
        return std::string();
    }
    // Runs one block of 4 samples of value x; returns the output's first sample (NaN for none).
    double run(double x) {
        host.feed(in, {std::vector<double>(4, x)});
        root->process();
        const std::vector<std::vector<double>> got = CTestHost::collect(sink);
        return got.empty() || got[0].empty() ? std::nan("") : got[0][0];
    }
    CAudioProcess& composite() { return *dynamic_cast<CAudioProcess*>(root); }
    std::vector<std::string> sequence() {
        std::vector<std::string> names;
        for (CAudioProcessBase* p : composite().processingSequence())
            names.emplace_back(p->namePrefix().narrowed().chars8());
        return names;
    }

    CGraphDefTree& tree;
    CTestHost host;
    const CString prefix{"plugin.modMain"};
    CAudioProcessBase* root = nullptr;
    CAudioProcessConnection* in = nullptr;
    CSink sink;
};

void link(CGraphDefTree& tree, CObject* def, const char* name, const char* src, const char* dst,
          const char* state = "") {
    tree.leaf(def, "audio:process-link", name, {{"src", src}, {"dst", dst}, {"state-id", state}});
}

TEST(CAudioProcess, ExplicitLinksWireAndOrderTheChildren) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main");
    tree.leaf(def, "test:gain-def", "b", {{"gain", "3"}});
    tree.leaf(def, "test:gain-def", "a", {{"gain", "2"}});
    tree.leaf(def, "test:gain-def", "unused", {{"gain", "5"}});
    link(tree, def, "l1", "*", "a");
    link(tree, def, "l2", "a", "b");
    link(tree, def, "l3", "b", "*");
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    EXPECT_EQ(rig.composite().processingSequence().count(), 0);   // built at the first block
    EXPECT_EQ(rig.run(1.5), 9.0);
    EXPECT_EQ(rig.sequence(), (std::vector<std::string>{"plugin.modMain.a", "plugin.modMain.b"}));
    EXPECT_EQ(rig.composite().childProcess(CString("unused")), nullptr);
    EXPECT_EQ(rig.run(-1.0), -6.0);
}

TEST(CAudioProcess, AutoLinksChainTheChildrenAndSkipOutOfOrderOnes) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main", {{"is-auto-links", "true"}});
    tree.leaf(def, "test:gain-def", "a", {{"gain", "2"}});
    tree.leaf(def, "test:gain-def", "aside", {{"gain", "7"}, {"is-outoforder", "true"}});
    tree.leaf(def, "test:gain-def", "b", {{"gain", "5"}});
    tree.leaf(def, "test:gain-def", "proto", {{"gain", "11"}, {"is-prototype", "true"}});
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    EXPECT_EQ(rig.composite().childCount(), 3);   // the prototype gets no entry
    EXPECT_EQ(rig.run(1.0), 10.0);
    EXPECT_EQ(rig.composite().childProcess(CString("aside")), nullptr);
}

TEST(CAudioProcess, InitErrors) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main");
    tree.leaf(def, "test:gain-def", "a");
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    auto* gain = dynamic_cast<CAudioProcessDefBase*>(def->findChild(CString("a")));
    CError* err = rig.composite().addProcess(gain, CString("a"));
    ASSERT_NE(err, nullptr);
    EXPECT_TRUE(err->line(0) == CString("Duplicate audio process name 'a'."));
    delete err;

    CAudioProcess wrong;   // made from a definition that is not a composite one
    wrong.setIdentity(&rig.prefix, gain, &tree.context, 0, 0, &tree.pool());
    EXPECT_EQ(test::messageOf(wrong.init()), "Audio process def of invalid class supplied.");
}

TEST(CAudioProcess, BypassStateRemovesAndRestoresItsChild) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main", {{"is-auto-links", "true"}});
    tree.leaf(def, "test:gain-def", "a", {{"gain", "2"}});
    tree.leaf(def, "test:gain-def", "b", {{"gain", "3"}, {"bypass-state-id", "7"}});
    tree.leaf(def, "audio:process-bypass-state", "s7", {{"id", "7"}, {"param", "bp"}, {"value", "1.0"}});
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    EXPECT_EQ(rig.run(1.0), 6.0);   // no value yet: reads 0, the state is off
    const int made = CCountedGainProcess::made;
    const int alive = CCountedGainProcess::alive;

    setAudioValue(tree, "plugin.modMain.bp", 0.95);
    EXPECT_EQ(rig.run(1.0), 2.0);
    EXPECT_EQ(rig.composite().childProcess(CString("b")), nullptr);
    EXPECT_EQ(CCountedGainProcess::alive, alive - 1);

    setAudioValue(tree, "plugin.modMain.bp", 0.0);
    EXPECT_EQ(rig.run(1.0), 6.0);
    EXPECT_EQ(CCountedGainProcess::made, made + 1);   // a fresh process for b
    EXPECT_EQ(CCountedGainProcess::alive, alive);

    // A change that leaves every state as it was rebuilds to the same graph: nothing made.
    setAudioValue(tree, "plugin.modMain.bp", 0.5);
    EXPECT_EQ(rig.run(1.0), 6.0);
    EXPECT_EQ(CCountedGainProcess::made, made + 1);
    EXPECT_EQ(rig.sequence(), (std::vector<std::string>{"plugin.modMain.a", "plugin.modMain.b"}));
}

TEST(CAudioProcess, LinkStatesSelectTheActiveGroupOfLinks) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main");
    tree.leaf(def, "test:gain-def", "a", {{"gain", "2"}});
    tree.leaf(def, "test:gain-def", "b", {{"gain", "3"}});
    link(tree, def, "l1", "*", "a", "1");
    link(tree, def, "l2", "a", "*", "1");
    link(tree, def, "l3", "*", "b", "2");
    link(tree, def, "l4", "b", "*", "2");
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    // No tag makes a link state: one is made in code.
    auto* linkState = new CAudioProcessLinkStateDef;
    linkState->initRoot(nullptr);
    ASSERT_EQ(test::messageOf(linkState->setAttr(CString("param"), CString("plugin.sel"), false)), "");
    ASSERT_EQ(test::messageOf(linkState->init()), "");
    dynamic_cast<CAudioProcessDef*>(def)->addLinkState(linkState);

    setAudioValue(tree, "plugin.sel", 1.0);
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    EXPECT_EQ(rig.run(1.0), 2.0);
    setAudioValue(tree, "plugin.sel", 2.4);
    EXPECT_EQ(rig.run(1.0), 3.0);
    setAudioValue(tree, "plugin.sel", 2.6);   // state 3: no links, the input passes straight through
    EXPECT_EQ(rig.run(1.0), 1.0);
    EXPECT_EQ(rig.composite().processingSequence().count(), 0);
    rig.root->disconnectAll();
    delete rig.root;
    rig.root = nullptr;
    linkState->release();
}

TEST(CAudioProcess, ACycleIsLoggedAndTheRestStillRuns) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main");
    tree.leaf(def, "test:gain-def", "a", {{"gain", "2"}});
    tree.leaf(def, "test:gain-def", "b", {{"gain", "3"}});
    tree.leaf(def, "test:gain-def", "c", {{"gain", "5"}});
    // a and b both reach the input on port 0 but feed each other, so neither can go first.
    link(tree, def, "l1", "*", "a");
    link(tree, def, "l2", "b", "a/1");
    link(tree, def, "l3", "a", "b");
    link(tree, def, "l4", "*", "c");
    link(tree, def, "l5", "c", "*");
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    CLogCapture log;
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    EXPECT_EQ(rig.run(1.0), 5.0);
    EXPECT_EQ(rig.sequence(), (std::vector<std::string>{"plugin.modMain.c"}));
    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "process seq err // plugin.modMain"), lines.end());
    EXPECT_EQ(rig.run(2.0), 10.0);   // later blocks run the stored sequence
}

TEST(CAudioProcess, AChildWhoseProcessFailsIsLoggedAndLeftOut) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main", {{"is-auto-links", "true"}});
    tree.leaf(def, "test:gain-def", "a", {{"gain", "2"}});
    tree.leaf(def, "test:gain-def", "broken", {{"fail-init", "true"}});
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    CLogCapture log;
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    rig.run(1.0);
    EXPECT_EQ(rig.composite().childProcess(CString("broken")), nullptr);
    EXPECT_EQ(rig.sequence(), (std::vector<std::string>{"plugin.modMain.a"}));
    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Test process init failed."), lines.end());
}

TEST(CAudioProcess, NestedCompositeForwardsThroughItsChildren) {
    CGraphDefTree tree;
    CObject* def = tree.add(tree.root(), "audio:process-def", "main", {{"is-auto-links", "true"}});
    tree.leaf(def, "test:gain-def", "pre", {{"gain", "2"}});
    CObject* inner = tree.add(def, "audio:process-def", "inner");
    tree.leaf(inner, "test:gain-def", "f", {{"gain", "7"}});
    link(tree, inner, "in", "*", "f");
    link(tree, inner, "out", "f", "*");
    ASSERT_EQ(CGraphDefTree::finish(inner), "");
    ASSERT_EQ(CGraphDefTree::finish(def), "");
    Rig rig(tree);
    ASSERT_EQ(rig.create(def), "");
    EXPECT_EQ(rig.run(1.0), 14.0);
    auto* innerProcess = dynamic_cast<CAudioProcess*>(rig.composite().childProcess(CString("inner")));
    ASSERT_NE(innerProcess, nullptr);
    ASSERT_NE(innerProcess->childProcess(CString("f")), nullptr);
    EXPECT_TRUE(innerProcess->childProcess(CString("f"))->namePrefix() == CString("plugin.modMain.inner.f"));
}

// The product's root composite with gain leaves in place of its modules, and real nodes.
struct ProductRoot {
    explicit ProductRoot(CGraphDefTree& tree) {
        static const bool registered = (CCreatorRegistry::instance().registerTable(kProcessCreatorTable), true);
        (void)registered;
        def = tree.add(tree.root(), "audio:process-def", "modMain", {{"is-auto-links", "true"}});
        tree.leaf(def, "audio:modNode", "modInputNode");
        tree.leaf(def, "test:gain-def", "modMSEncoder", {{"gain", "2"}, {"bypass-state-id", "31"}});
        tree.leaf(def, "audio:modNode", "modPreUpsampler");
        tree.leaf(def, "audio:modNode", "modMainPre");
        tree.leaf(def, "test:gain-def", "modDelmaro", {{"gain", "3"}});
        tree.leaf(def, "test:gain-def", "modOutGain", {{"gain", "5"}});
        tree.leaf(def, "audio:modNode", "modPostDownsampler");
        tree.leaf(def, "test:gain-def", "modSpectrum", {{"gain", "17"}, {"is-outoforder", "true"}});
        tree.leaf(def, "test:gain-def", "modGroupSolo", {{"gain", "7"}, {"bypass-state-id", "35"}});
        tree.leaf(def, "test:gain-def", "modMSDecoder", {{"gain", "11"}, {"bypass-state-id", "31"}});
        tree.leaf(def, "test:gain-def", "modBypass", {{"gain", "13"}});
        tree.leaf(def, "audio:process-link", "dry", {{"src", "modInputNode"}, {"dst", "modBypass/1"}});
        tree.leaf(def, "audio:process-link", "analyser",
                  {{"src", "modPostDownsampler"}, {"dst", "modSpectrum"}, {"bypass-state-id", "30"}});
        tree.leaf(def, "audio:process-bypass-state", "ms", {{"id", "31"}, {"param", "mid-side-bypass"}, {"value", "1.0"}});
        tree.leaf(def, "audio:process-bypass-state", "solo", {{"id", "35"}, {"param", "group-solo-bypass"}, {"value", "1.0"}});
        tree.leaf(def, "audio:process-bypass-state", "viz",
                  {{"id", "30"}, {"param", "modSpectrum-enable"}, {"value", "1.0"}, {"and-param", "modSpectrum.disable"},
                   {"and-value", "0"}, {"is-inverted", "true"}});
        EXPECT_EQ(CGraphDefTree::finish(def), "");
    }
    CObject* def = nullptr;
};

TEST(CAudioProcess, ProductRootProcessesAndOrderForEachBypassState) {
    CGraphDefTree tree;
    ProductRoot product(tree);
    Rig rig(tree);
    ASSERT_EQ(rig.create(product.def), "");
    const std::string p = "plugin.modMain.";
    struct Row {
        double msBypass, soloBypass, vizEnable;
        double gain;   // the product of the gains on the chain
        std::vector<std::string> sequence;
    } rows[] = {
        // A complete mid/side pair, a soloed group, the analyser requested: every module runs.
        {0, 0, 1, 2 * 3 * 5 * 7 * 11 * 13,
         {"modMSEncoder", "modDelmaro", "modOutGain", "modSpectrum", "modGroupSolo", "modMSDecoder", "modBypass"}},
        // No mid/side pair: both coders leave the chain.
        {1, 0, 1, 3 * 5 * 7 * 13, {"modDelmaro", "modOutGain", "modSpectrum", "modGroupSolo", "modBypass"}},
        // No group soloed, the analyser not requested.
        {1, 1, 0, 3 * 5 * 13, {"modDelmaro", "modOutGain", "modBypass"}},
        // Back to everything: the coders and the analyser get fresh processes.
        {0, 0, 1, 2 * 3 * 5 * 7 * 11 * 13,
         {"modMSEncoder", "modDelmaro", "modOutGain", "modSpectrum", "modGroupSolo", "modMSDecoder", "modBypass"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.msBypass << " " << r.soloBypass << " " << r.vizEnable);
        setAudioValue(tree, "plugin.modMain.mid-side-bypass", r.msBypass);
        setAudioValue(tree, "plugin.modMain.group-solo-bypass", r.soloBypass);
        setAudioValue(tree, "plugin.modMain.modSpectrum-enable", r.vizEnable);
        EXPECT_EQ(rig.run(1.0), r.gain);
        std::vector<std::string> expect;
        for (const std::string& name : r.sequence)
            expect.push_back(p + name);
        EXPECT_EQ(rig.sequence(), expect);
        for (const char* node : {"modInputNode", "modPreUpsampler", "modMainPre", "modPostDownsampler"})
            EXPECT_EQ(rig.composite().childProcess(CString(node)), nullptr) << node;   // nodes never get one
    }
    // modBypass gets the dry input on port 1.
    CAudioProcessBase* bypass = rig.composite().childProcess(CString("modBypass"));
    ASSERT_NE(bypass, nullptr);
    ASSERT_NE(bypass->findPort(1), nullptr);
    EXPECT_EQ(bypass->findPort(1)->connections.count(), 1);
}

} // namespace
} // namespace tal
