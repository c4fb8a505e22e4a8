// A UI parameter, its bridge and the real interface client against the audio side's interface base:
// drags, undo and the replies that follow a write.

#include "Audio/CAudioParam.h"
#include "UI/CUIParamUndoCollector.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class BindingRoundTripTest : public CBindingTestTree {
protected:
    void SetUp() override {
        CBindingTestTree::SetUp();
        audioGain = addAudioParam("plugin.eq.gain", "Output gain", 1, -30, 30, "0,0,0;0,0,0");
        client = openClient("client");
        bridge = addBridge("bridge", "plugin.eq.gain", "^client");
        tick();  // the info and the values arrive
        owner = addOwner("knob");
        param = addUIParam(owner, "ui-param", {{"bridge", "ui.bridge"}, {"element", "1"}, {"group-selector", "1"}});
        owner->events.clear();
    }
    double audioValue() const { return audioGain->getCurrent().getValue(1, 1, 0); }
    double bridgeValue() const {
        CUIParamValue out;
        bridge->getPlainValues(1, 1, out);
        return out[0];
    }
    // The history's entries (without its start) and position, as the client last heard them.
    std::vector<std::string> history() {
        tick();
        std::vector<std::string> names;
        const CStringList& list = client->undoHistoryNames();
        for (int i = 1; i < list.count(); ++i)
            names.push_back(text(list[i]));
        return names;
    }
    // Twenty normalised writes of a drag from 0.5 upwards.
    void drag() {
        for (int i = 1; i <= 20; ++i) {
            CUIParamValue v;
            v[0] = 0.5 + 0.02 * i;
            param->setNormalizedValue(0, -1, v);
            ASSERT_DOUBLE_EQ(audioValue(), bridgeValue()) << "write " << i;  // applied on both sides at once
        }
    }

    CAudioParam* audioGain = nullptr;
    CAudioInterfaceClient* client = nullptr;
    CParamBridge* bridge = nullptr;
    CTestParamOwner* owner = nullptr;
    CUIParam* param = nullptr;
};

TEST_F(BindingRoundTripTest, ADragThroughTheCollectorIsOneUndoEntryThatRestoresTheValueBefore) {
    CUIParamValue start;
    start[0] = bridge->toNormalized(0, 4.5);
    param->setNormalizedValue(0, -1, start);  // an edit before the drag, outside any gesture
    tick();
    owner->events.clear();
    ASSERT_DOUBLE_EQ(audioValue(), 4.5);
    const std::vector<std::string> before = history();

    CUIParamUndoCollector collector;
    collector.attach(client);
    collector.addParam(param);
    param->beginEdit(false, -1, nullptr, true);
    drag();
    param->endEdit(true);
    collector.commit(CString());
    const double dragged = audioValue();
    EXPECT_DOUBLE_EQ(dragged, bridge->toPlain(0, 0.9));

    std::vector<std::string> expected = before;
    expected.push_back("Output gain change (2)");
    EXPECT_EQ(history(), expected);
    client->setUndoHistoryPos(client->undoHistoryPosition() - 1);
    tick();
    EXPECT_DOUBLE_EQ(audioValue(), 4.5);
    EXPECT_DOUBLE_EQ(bridgeValue(), 4.5);
    ASSERT_FALSE(owner->events.empty());
    EXPECT_EQ(owner->events.back().rfind("changed ui-param", 0), 0u) << owner->events.back();
    client->setUndoHistoryPos(client->undoHistoryPosition() + 1);
    tick();
    EXPECT_DOUBLE_EQ(bridgeValue(), dragged);
}

TEST_F(BindingRoundTripTest, ADragInItsOwnGestureIsOneUndoEntryNamedAfterTheParameter) {
    const double original = audioValue();
    param->beginEdit(false, -1, nullptr, false);
    drag();
    param->endEdit(false);
    EXPECT_EQ(history(), (std::vector<std::string>{"Output gain change (2)"}));
    EXPECT_EQ(interfaceBase->openUndoCount(), 0);
    client->setUndoHistoryPos(0);
    tick();
    EXPECT_DOUBLE_EQ(audioValue(), original);
    EXPECT_DOUBLE_EQ(bridgeValue(), original);
}

TEST_F(BindingRoundTripTest, TheAudioSidesReplyArrivesWithinTheWrite) {
    // Another editor's bridge of the same parameter hears the change only at its own timer; this
    // editor's copy already holds the audio side's answer when the write returns.
    CAudioInterfaceClient* other = openClient("other");
    CParamBridge* otherBridge = addBridge("other-bridge", "plugin.eq.gain", "^other");
    tick();
    CUIParamValue v;
    v[0] = 7;
    param->setPlainValue(0, -1, v);
    EXPECT_TRUE(queuedNames(client->clientId()).empty());  // nothing left waiting for this editor
    EXPECT_FALSE(queuedNames(other->clientId()).empty());
    CUIParamValue out;
    otherBridge->getPlainValues(1, 1, out);
    EXPECT_EQ(out[0], 0.0);
    tick();
    otherBridge->getPlainValues(1, 1, out);
    EXPECT_EQ(out[0], 7.0);
}

TEST_F(BindingRoundTripTest, AResetThroughTheParameterIsOneUndoEntry) {
    CUIParamValue v;
    v[0] = 12;
    param->setPlainValue(0, -1, v);
    tick();
    param->resetValue(0, true, false, -1, -1);
    tick();
    EXPECT_DOUBLE_EQ(audioValue(), 0.0);
    EXPECT_DOUBLE_EQ(bridgeValue(), 0.0);
    EXPECT_EQ(history(), (std::vector<std::string>{"Output gain reset (2)"}));
}

} // namespace
} // namespace tal
