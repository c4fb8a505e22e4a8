#include "Audio/CAudioProcessDefBase.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioProcessPort.h"
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CSystem.h"
#include "support/GraphDefTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tal {
namespace {

using test::CCountedGainProcess;
using test::CGraphDefTree;

CAudioProcessDefBase* gainDef(CGraphDefTree& tree, const char* name, test::DefAttrs attrs = {}) {
    return dynamic_cast<CAudioProcessDefBase*>(tree.leaf(tree.root(), "test:gain-def", name, attrs));
}

// Owns a process made into a holder and destroys it at the end of a test.
struct Holder {
    CAudioProcessBase* process = nullptr;
    ~Holder() {
        if (process != nullptr)
            process->disconnectAll();
        delete process;
    }
};

TEST(CAudioProcessDefBase, InputComboModeTakesExactWordsOnly) {
    CGraphDefTree tree;
    const struct {
        const char* text;
        int mode;
    } rows[] = {{"avg", 1}, {"max", 2}, {"AVG", 0}, {"Max", 0}, {"sum", 0}, {"", 0}};
    int i = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const std::string name = "d" + std::to_string(i++);
        EXPECT_EQ(gainDef(tree, name.c_str(), {{"input-combo-mode", r.text}})->inputComboMode(), r.mode);
    }
}

TEST(CAudioProcessDefBase, BypassStateIdDefaultsToZeroAndMinusOneMeansNone) {
    CGraphDefTree tree;
    EXPECT_EQ(gainDef(tree, "a")->bypassStateId(), 0);
    EXPECT_EQ(gainDef(tree, "b", {{"bypass-state-id", "-1"}})->bypassStateId(), -1);
    EXPECT_EQ(gainDef(tree, "c", {{"bypass-state-id", "31"}})->bypassStateId(), 31);
}

TEST(CAudioProcessDefBase, NegativeStackIndexShiftFailsInit) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "shifted", {{"stack-index-shift", "-1"}, {"is-outoforder", "true"}});
    EXPECT_EQ(tree.lastInitError, "Invalid stack index shift value '-1' specified.");
    // Every attribute was read before the check.
    EXPECT_TRUE(dynamic_cast<CAudioProcessDefBase*>(d)->isOutOfOrder());
}

TEST(CAudioProcessDefBase, ElementIndexIsStackIndexPlusShift) {
    CGraphDefTree tree;
    CAudioProcessDefBase* d = gainDef(tree, "shifted", {{"stack-index-shift", "3"}});
    const CString prefix("plugin.shifted");
    Holder h;
    ASSERT_EQ(test::messageOf(d->createProcess(&h.process, prefix, tree.context, 1, 2, &tree.pool(), true, true)), "");
    EXPECT_EQ(h.process->elementIndex(), 5);
    EXPECT_EQ(h.process->groupIndex(), 1);
    EXPECT_TRUE(h.process->namePrefix() == prefix);
    EXPECT_EQ(h.process->definition(), d);
    EXPECT_EQ(h.process->blockPool(), &tree.pool());
}

TEST(CAudioProcessDefBase, TablesCollectAllocationsAndParametersOfGroups) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "def");
    tree.leaf(d, "audio:param-alloc", "first", {{"param-name", "freq"}, {"index", "1"}});
    tree.leaf(d, "audio:param-alloc", "second", {{"param-name", "gain"}, {"index", "1"}});
    tree.leaf(d, "audio:param", "direct", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0"}});
    CObject* group = tree.add(d, "core:object", "grp");
    tree.leaf(group, "audio:param", "inner", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0"}});
    CObject* nested = tree.add(group, "core:object", "deeper");
    tree.leaf(nested, "audio:param", "lost", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0"}});
    ASSERT_EQ(CGraphDefTree::finish(nested), "");
    ASSERT_EQ(CGraphDefTree::finish(group), "");
    ASSERT_EQ(CGraphDefTree::finish(d), "");

    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    ASSERT_NE(def->findAllocation(1), nullptr);
    EXPECT_TRUE(def->findAllocation(1)->getParamName() == CString("gain"));   // the later one
    EXPECT_EQ(def->findAllocation(0), nullptr);
    ASSERT_EQ(def->paramCount(), 2);
    EXPECT_TRUE(*def->param(0).relativeName == CString(".direct"));
    EXPECT_TRUE(*def->param(1).relativeName == CString(".grp.inner"));
}

TEST(CAudioProcessDefBase, CreationRegistersGlobalParametersOnly) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "def");
    tree.leaf(d, "audio:param", "kept", {{"is-persistent", "true"}, {"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0.5"}});
    tree.leaf(d, "audio:param", "local", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0"}});
    ASSERT_EQ(CGraphDefTree::finish(d), "");
    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    const CString prefix("plugin.p");
    {
        Holder copy;   // copies made by stacked and multiband processes register nothing
        ASSERT_EQ(test::messageOf(def->createProcess(&copy.process, prefix, tree.context, 0, 0, &tree.pool(), true, false)), "");
        EXPECT_EQ(tree.collector.findParam(CString("plugin.p.kept")), nullptr);
    }
    Holder h;
    ASSERT_EQ(test::messageOf(def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
    CAudioParam* kept = tree.collector.findParam(CString("plugin.p.kept"));
    ASSERT_NE(kept, nullptr);
    EXPECT_NE(kept->getInfo(), nullptr);
    EXPECT_EQ(tree.collector.findParam(CString("plugin.p.local")), nullptr);
}

// Keeps the application-data scopes in a folder of the test's own while it lives.
struct AppDataFolder {
    test::TempFolder preferences;
    CString savedBundleFolder = CSystem::bundleFolder;
    AppDataFolder() {
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(preferences.path().c_str()));
        CAppData::localScope().resetForTest();
        CAppData::groupScope().resetForTest();
    }
    ~AppDataFolder() {
        CAppData::localScope().resetForTest();
        CAppData::groupScope().resetForTest();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = savedBundleFolder;
    }
};

TEST(CAudioProcessDefBase, SharedStoragesMirrorTheirParametersIntoTheirScopes) {
    AppDataFolder folder;
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "def");
    const test::DefAttrs real = {{"is-persistent", "true"}, {"element-size", "1"},
                                 {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"},
                                 {"max-values", "100"}, {"def-values", "10"}};
    tree.leaf(d, "audio:param-shared-storage", "s-tone", {{"param", "tone"}, {"data-name", "test-tone"}, {"storage-type", "local"}});
    tree.leaf(d, "audio:param", "tone", real);
    CObject* group = tree.add(d, "core:object", "grp");
    tree.leaf(group, "audio:param-shared-storage", "s-level", {{"param", "level"}, {"data-name", "test-level"}, {"storage-type", "group"}});
    tree.leaf(group, "audio:param", "level", real);
    ASSERT_EQ(CGraphDefTree::finish(d), "");
    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    ASSERT_EQ(def->sharedStorages().count(), 2);

    writeAppDataString(&CAppData::groupScope(), CString("test-level"), CString("25"), nullptr);
    const CString prefix("plugin.p");
    CAudioParamCollector other;   // a second instance of the plug-in
    CAudioGraphContext otherContext = tree.context;
    otherContext.collector = &other;
    Holder a, b;
    ASSERT_EQ(test::messageOf(def->createProcess(&a.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
    ASSERT_EQ(test::messageOf(def->createProcess(&b.process, prefix, otherContext, 0, 0, &tree.pool(), false, false)), "");
    const auto value = [](CAudioParamCollector& c, const char* name) {
        return c.findParam(CString(name))->getCurrent().getValue(0, 0, 0);
    };
    // The item of the group scope is read at creation; an absent item leaves the default.
    EXPECT_EQ(value(tree.collector, "plugin.p.grp.level"), 25.0);
    EXPECT_EQ(value(other, "plugin.p.grp.level"), 25.0);
    EXPECT_EQ(value(tree.collector, "plugin.p.tone"), 10.0);
    // A change in one instance reaches the other through the local scope, and only that scope.
    tree.collector.findParam(CString("plugin.p.tone"))->setValue(0, nullptr, nullptr, 60.0);
    EXPECT_EQ(value(other, "plugin.p.tone"), 60.0);
    EXPECT_NE(textOf(readAppDataString(&CAppData::localScope(), CString("test-tone"), CString("none"))), "none");
    EXPECT_EQ(textOf(readAppDataString(&CAppData::groupScope(), CString("test-tone"), CString("none"))), "none");
}

TEST(CAudioProcessDefBase, BindingWatchesGlobalParametersAndLeavesOthersOnDefaults) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "def");
    tree.leaf(d, "audio:param-alloc", "a0", {{"param-name", "level"}, {"index", "0"}});
    tree.leaf(d, "audio:param-alloc", "a1", {{"param-name", "trim"}, {"index", "1"}});
    tree.leaf(d, "audio:param", "level", {{"is-global", "true"}, {"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0.25"}});
    tree.leaf(d, "audio:param", "trim", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0.75"}});
    ASSERT_EQ(CGraphDefTree::finish(d), "");
    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    const CString prefix("plugin.p");
    Holder h;
    ASSERT_EQ(test::messageOf(def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
    const CAudioParamStorage* level = nullptr;
    const CAudioParamStorage* trim = nullptr;
    std::uint32_t levelChanged = 0, trimChanged = 0;
    ASSERT_TRUE(h.process->bindDefParam(0, level, &levelChanged));
    ASSERT_TRUE(h.process->bindDefParam(1, trim, &trimChanged));
    EXPECT_FALSE(h.process->bindDefParam(2, trim, &trimChanged));
    // The global one reads the parameter's audio side, the other one the definition's defaults.
    EXPECT_EQ(level, &tree.collector.findParam(CString("plugin.p.level"))->getAudioSide());
    EXPECT_EQ(CAudioProcessBase::readParamValue(trim, 0, 0, -1.0), 0.75);
    EXPECT_EQ(tree.collector.findParam(CString("plugin.p.trim")), nullptr);
}

TEST(CAudioProcessDefBase, FailingInitLeavesTheHolderEmpty) {
    CGraphDefTree tree;
    CAudioProcessDefBase* def = gainDef(tree, "bad", {{"fail-init", "true"}});
    const CString prefix("plugin.bad");
    const int aliveBefore = CCountedGainProcess::alive;
    Holder h;
    CError* err = def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false);
    ASSERT_NE(err, nullptr);
    ASSERT_EQ(err->lineCount(), 3);
    EXPECT_TRUE(err->line(0) == CString("Test process init failed."));
    // The trace line of the definition: "Audio/CAudioProcessDefBase( n ) // <full name>".
    const std::string trace(err->line(2).narrowed().chars8());
    const std::string tail = " ) // " + std::string(def->getFullName().narrowed().chars8());
    EXPECT_EQ(trace.rfind("Audio/CAudioProcessDefBase( ", 0), 0u) << trace;
    EXPECT_TRUE(trace.size() > tail.size() && trace.compare(trace.size() - tail.size(), tail.size(), tail) == 0) << trace;
    delete err;
    EXPECT_EQ(h.process, nullptr);
    EXPECT_EQ(CCountedGainProcess::alive, aliveBefore);
}

TEST(CAudioProcessDefBase, ANewProcessReplacesTheOldOneDisconnectedBeforeItsInit) {
    CGraphDefTree tree;
    CAudioProcessDefBase* def = gainDef(tree, "g");
    const CString prefix("plugin.g");
    Holder h;
    ASSERT_EQ(test::messageOf(def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
    test::CGainProcess target;
    h.process->addOutput(&target, 0, 0);
    ASSERT_EQ(target.getPort(0)->connections.count(), 1);
    const int aliveBefore = CCountedGainProcess::alive;
    CAudioProcessBase* old = h.process;
    ASSERT_EQ(test::messageOf(def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
    EXPECT_NE(h.process, nullptr);
    EXPECT_EQ(CCountedGainProcess::alive, aliveBefore);   // one destroyed, one made
    EXPECT_EQ(target.getPort(0)->connections.count(), 0); // the old one's link went with it
    (void)old;
}

TEST(CAudioProcessDefBase, RemappingsLeadBindingsToTheServingParameterUntilTheProcessGoes) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "coder");
    tree.leaf(d, "audio:param-remap", "r", {{"orig", "pairs"}, {"new", "^io.ms-pairs"}});
    tree.leaf(d, "audio:param", "pairs", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}, {"def-values", "0"}, {"is-global", "true"}});
    ASSERT_EQ(CGraphDefTree::finish(d), "");
    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    const CString prefix("plugin.main.coder");
    const CString pairs("plugin.main.coder.pairs");
    {
        Holder copy;   // a stacked copy registers nothing
        ASSERT_EQ(test::messageOf(def->createProcess(&copy.process, prefix, tree.context, 0, 0, &tree.pool(), true, false)), "");
        EXPECT_FALSE(tree.collector.isParamRemapped(pairs));
    }
    {
        Holder h;
        ASSERT_EQ(test::messageOf(def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
        EXPECT_TRUE(tree.collector.isParamRemapped(pairs));
        // The global parameter is served elsewhere, so it is not created under its own name.
        EXPECT_EQ(tree.collector.findParam(pairs), nullptr);
        const CAudioParamStorage* values = nullptr;
        std::uint32_t changed = 0;
        h.process->bindParam(CString("pairs"), false, false, values, &changed);
        EXPECT_EQ(values, &tree.collector.acquireParam(CString("plugin.main.io.ms-pairs"))->getAudioSide());
        {
            Holder second;   // a second process of the same name counts one more use
            ASSERT_EQ(test::messageOf(def->createProcess(&second.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
        }
        EXPECT_TRUE(tree.collector.isParamRemapped(pairs));
    }
    EXPECT_FALSE(tree.collector.isParamRemapped(pairs));   // withdrawn with the last process
}

TEST(CAudioProcessDefBase, FiltersResolveTheirNamesInTheirGroup) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "def");
    CObject* group = tree.add(d, "core:object", "io");
    tree.leaf(group, "audio:param-filter-bypass-ms", "f", {{"src", "ms-pairs"}, {"dst", "^ms-bypass"}});
    ASSERT_EQ(CGraphDefTree::finish(group), "");
    ASSERT_EQ(CGraphDefTree::finish(d), "");
    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    ASSERT_EQ(def->filters().count(), 1);
    const CString prefix("plugin.p");
    Holder h;
    ASSERT_EQ(test::messageOf(def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)), "");
    EXPECT_NE(tree.collector.findParam(CString("plugin.p.io.ms-pairs")), nullptr);
    EXPECT_NE(tree.collector.findParam(CString("plugin.p.ms-bypass")), nullptr);
}

TEST(CAudioProcessDefBase, AFailingFilterFailsCreationAndLeavesNothingBehind) {
    CGraphDefTree tree;
    CObject* d = tree.add(tree.root(), "test:gain-def", "def");
    tree.leaf(d, "audio:param-remap", "r", {{"orig", "x"}, {"new", "y"}});
    // A filter takes at most nine sources: ten make its initialisation fail.
    tree.leaf(d, "audio:param-filter-bypass-ms", "f", {{"src", "a,b,c,d,e,f,g,h,i,j"}, {"dst", "k"}});
    ASSERT_EQ(CGraphDefTree::finish(d), "");
    auto* def = dynamic_cast<CAudioProcessDefBase*>(d);
    const CString prefix("plugin.p");
    const int alive = CCountedGainProcess::alive;
    Holder h;
    CError* err = def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false);
    ASSERT_NE(err, nullptr);
    EXPECT_TRUE(err->line(0) == CString("Too many source parameters 10 defined in the param filter."));
    const std::string trace(err->line(err->lineCount() - 1).narrowed().chars8());
    EXPECT_EQ(trace.rfind("Audio/CAudioProcessDefBase( ", 0), 0u) << trace;
    delete err;
    EXPECT_EQ(h.process, nullptr);
    EXPECT_EQ(CCountedGainProcess::alive, alive);
    EXPECT_FALSE(tree.collector.isParamRemapped(CString("plugin.p.x")));
}

CAudioProcessBase* makeMultiband() {
    return new test::CGainProcess(-1.0);
}
CAudioProcessBase* makeStack() {
    return new test::CGainProcess(-2.0);
}

TEST(CAudioProcessDefBase, StackedAndMultibandDefinitionsUseTheirFactories) {
    CGraphDefTree tree;
    CAudioProcessDefBase* stacked = gainDef(tree, "s", {{"is-stacked", "true"}});
    CAudioProcessDefBase* both = gainDef(tree, "b", {{"is-stacked", "true"}, {"is-multiband", "true"}});
    const CString prefix("plugin.x");
    {
        Holder h;   // without factories: an error, nothing made
        EXPECT_EQ(test::messageOf(stacked->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), false, false)),
                  "Stacked processes are not available.");
        EXPECT_EQ(h.process, nullptr);
    }
    CAudioProcessDefBase::setProcessFactories(&makeMultiband, &makeStack);
    struct Row {
        CAudioProcessDefBase* def;
        bool noStack, noMultiband;
        const char* kind;
    } rows[] = {{stacked, false, false, "stack"}, {stacked, true, false, "plain"}, {both, false, false, "multiband"},
                {both, false, true, "stack"}, {both, true, true, "plain"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.kind) + (r.noStack ? " noStack" : "") + (r.noMultiband ? " noMultiband" : ""));
        Holder h;
        ASSERT_EQ(test::messageOf(r.def->createProcess(&h.process, prefix, tree.context, 0, 0, &tree.pool(), r.noStack,
                                                       r.noMultiband)),
                  "");
        const bool counted = dynamic_cast<CCountedGainProcess*>(h.process) != nullptr;
        EXPECT_EQ(std::string(r.kind) == "plain", counted);
    }
    CAudioProcessDefBase::setProcessFactories(nullptr, nullptr);
}

} // namespace
} // namespace tal
