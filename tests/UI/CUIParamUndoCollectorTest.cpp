#include "UI/CUIParamUndoCollector.h"

#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// The collector on a recording client: the step messages it sends are compared as lines.
class CUIParamUndoCollectorTest : public CRecordingBindingTree {
protected:
    // Writes one value through the parameter as a collector-owned gesture does.
    static void write(CUIParam* param, double plain) {
        CUIParamValue v;
        v[0] = plain;
        param->beginEdit(false, -1, nullptr, true);
        param->setPlainValue(0, -1, v);
        param->endEdit(true);
    }
    // The step's submitted name, or "removed" / "?" from the lines of one commit.
    static std::string outcome(const std::vector<std::string>& lines, std::int32_t step) {
        const std::string id = std::to_string(step);
        for (const std::string& line : lines) {
            if (line == "remove-undo-data " + id)
                return "removed";
            const std::string submit = "submit-undo-data " + id + " '";
            if (line.rfind(submit, 0) == 0)
                return line.substr(submit.size(), line.size() - submit.size() - 1);
        }
        return "?";
    }
};

TEST_F(CUIParamUndoCollectorTest, ACommitWithoutChangesRemovesTheStepAndOpensTheNext) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    CUIParamUndoCollector collector;
    collector.attach(client);
    const std::int32_t first = collector.openStepId();
    EXPECT_EQ(connector->take(),
              (std::vector<std::string>{"create-undo-data " + std::to_string(first) + " '' m0 k-1"}));
    for (const char* name : {"a", "b", "c"}) {
        CParamBridge* bridge = bridgeWith(name, *info);
        collector.addParam(addUIParam(owner, name, {{"bridge", bridge->getFullName().chars8()}}));
        EXPECT_EQ(bridge->undoId(), first);
    }
    EXPECT_EQ(collector.paramCount(), 3);
    collector.commit(CString("Control point add"));
    const std::int32_t next = collector.openStepId();
    EXPECT_NE(next, first);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"remove-undo-data " + std::to_string(first),
                                                           "create-undo-data " + std::to_string(next) + " '' m0 k-1"}));
    EXPECT_EQ(collector.paramCount(), 0);
}

TEST_F(CUIParamUndoCollectorTest, StepNamesComeFromTheChangedParametersAndTheirGroups) {
    const auto frequency = makeInfo("Filter frequency", 1, 20, 20000, "1000", true);
    const auto gain = makeInfo("Filter gain", 1, -30, 30, "0", true);
    const auto output = makeInfo("Output gain", 1, -30, 30, "0;0");
    CParamBridge* frequencyBridge = bridgeWith("frequency", *frequency);
    CParamBridge* gainBridge = bridgeWith("gain", *gain);
    CParamBridge* outputBridge = bridgeWith("output", *output);
    CUIParam* f = addUIParam(owner, "f", {{"bridge", "ui.frequency"}});
    CUIParam* g = addUIParam(owner, "g", {{"bridge", "ui.gain"}});
    CUIParam* out1 = addUIParam(owner, "out1", {{"bridge", "ui.output"}, {"group-selector", "0"}});
    CUIParam* out2 = addUIParam(owner, "out2", {{"bridge", "ui.output"}, {"group-selector", "1"}});
    (void)frequencyBridge, (void)gainBridge, (void)outputBridge;

    struct Case {
        const char* label;
        std::vector<CUIParam*> added, written;
        const char* action;
        const char* name;
    };
    const Case cases[] = {
        {"two single-group, empty action", {f, g}, {f, g}, "", "Filter frequency change"},
        {"two single-group, an action", {g, f}, {f, g}, "Filter band change", "Filter band change"},
        {"one grouped, an action", {out1}, {out1}, "Control point add", "Output gain change (1)"},
        {"one grouped in two groups", {out1, out2}, {out1, out2}, "", "Output gain change (1) (2)"},
        {"only the changed one names the step", {f, out1}, {out1}, "Control point add", "Output gain change (1)"},
        {"a single-group one beside a grouped one", {f, out1}, {f}, "", "Filter frequency change (1)"},
    };
    CUIParamUndoCollector collector;
    collector.attach(client);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::int32_t step = collector.openStepId();
        for (CUIParam* p : c.added)
            collector.addParam(p);
        for (CUIParam* p : c.written)
            write(p, 3);
        connector->take();
        collector.commit(CString(c.action));
        EXPECT_EQ(outcome(connector->take(), step), c.name);
    }
}

TEST_F(CUIParamUndoCollectorTest, AParameterAddedTwiceIsCollectedOnce) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    CUIParamUndoCollector collector;
    collector.attach(client);
    collector.addParam(param);
    collector.addParam(param);
    EXPECT_EQ(collector.paramCount(), 1);
}

TEST_F(CUIParamUndoCollectorTest, CommitAndReopenLeavesOnlyAMergeableStepOpen) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    CUIParamUndoCollector collector;
    collector.attach(client);
    const std::int32_t first = collector.openStepId();
    collector.addParam(param);
    write(param, 4);
    connector->take();
    collector.commitAndReopen();
    const std::int32_t next = collector.openStepId();
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"submit-undo-data " + std::to_string(first) +
                                                               " 'Filter gain change'",
                                                           "create-undo-data " + std::to_string(next) + " '' m1 k-1"}));
    collector.openStep(false);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"remove-undo-data " + std::to_string(next),
                                                           "create-undo-data " + std::to_string(collector.openStepId()) +
                                                               " '' m0 k-1"}));
}

TEST_F(CUIParamUndoCollectorTest, DiscardRemovesTheStepEvenAfterChanges) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    CUIParamUndoCollector collector;
    collector.attach(client);
    const std::int32_t first = collector.openStepId();
    collector.addParam(param);
    write(param, 4);
    connector->take();
    collector.discard();
    EXPECT_EQ(outcome(connector->take(), first), "removed");
    EXPECT_EQ(bridge->undoId(), -1);
    EXPECT_EQ(collector.paramCount(), 0);
}

TEST_F(CUIParamUndoCollectorTest, AnUnattachedCollectorDoesNothing) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    CUIParamUndoCollector collector;
    collector.attach(nullptr);  // as an owner whose client did not resolve
    collector.addParam(param);
    collector.commit(CString("x"));
    collector.commitAndReopen();
    collector.discard();
    collector.openStep(true);
    EXPECT_FALSE(collector.isAttached());
    EXPECT_EQ(collector.openStepId(), -1);
    EXPECT_EQ(collector.paramCount(), 0);
    EXPECT_EQ(bridge->undoId(), -1);
    EXPECT_TRUE(connector->take().empty());
}

// The collector against the real audio side.
class CUIParamUndoCollectorAudioTest : public CBindingTestTree {};

TEST_F(CUIParamUndoCollectorAudioTest, CommitAndReopenLeavesExactlyOneOpenStepOnTheAudioSide) {
    addAudioParam("plugin.eq.gain", "Filter gain", 1, -30, 30, "0", true);
    CAudioInterfaceClient* client = openClient("client");
    addBridge("bridge", "plugin.eq.gain", "^client");
    tick();
    CTestParamOwner* owner = addOwner("owner");
    CUIParam* param = addUIParam(owner, "p", {{"bridge", "ui.bridge"}});
    ASSERT_TRUE(param->isActive());
    CUIParamUndoCollector collector;
    collector.attach(client);
    EXPECT_EQ(interfaceBase->openUndoCount(), 1);
    for (int round = 0; round < 3; ++round) {
        collector.addParam(param);
        CUIParamValue v;
        v[0] = round + 1;
        param->beginEdit(false, -1, nullptr, true);
        param->setPlainValue(0, -1, v);
        param->endEdit(true);
        collector.commitAndReopen();
        EXPECT_EQ(interfaceBase->openUndoCount(), 1) << "round " << round;
    }
    collector.commit(CString());
    EXPECT_EQ(interfaceBase->openUndoCount(), 1);
    collector.discard();
    EXPECT_EQ(interfaceBase->openUndoCount(), 1);
    tick();
    // The first round's step was plain; the later two were reopened mergeable with one merge key,
    // so the history folds them into one entry.
    EXPECT_EQ(client->undoHistoryNames().count(), 3);
}

} // namespace
} // namespace tal
