#include "Other/Interface/CParamInterfaceBase.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CError.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "support/InterfaceTestTree.h"
#include "support/LeBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

class CParamInterfaceBaseTest : public CInterfaceTestTree {
protected:
    void SetUp() override {
        CInterfaceTestTree::SetUp();
        client = openEditor("editor");
        ASSERT_NE(client, nullptr);
        tick();  // the undo history that init asked for
    }
    bool request(CParamInterfaceMessageWriter& writer) { return sendAs(client, writer); }
    static std::vector<double> values(const CAudioParam* param, int group) {
        std::vector<double> out;
        for (int e = 0; e < param->getCurrent().getElementCount(group); ++e)
            out.push_back(param->getCurrent().getValue(group, e, 0));
        return out;
    }
    void change(std::int32_t handle, std::int32_t undoId, const CAudioParamChange& c) {
        client->changeParam(handle, c, undoId);
    }

    CParamInterfaceClient* client = nullptr;
    CRecordingParamListener listener;
};

TEST_F(CParamInterfaceBaseTest, ListeningSendsTheInfoThenEveryGroupInOrder) {
    addParam("plugin.eq.gain", "1;2,3;4");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    EXPECT_EQ(queuedNames(0), (std::vector<std::string>{"update-param-info", "update-param", "update-param",
                                                         "update-param"}));
    tick();
    EXPECT_EQ(handle, 1);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"info 1 plugin.eq.gain", "g9999 n1 1", "g0 n1 1",
                                                          "g1 n2 2 3", "g2 n1 4"}));
}

TEST_F(CParamInterfaceBaseTest, ListeningToAParameterWithoutInfoSendsOneEmptyInfo) {
    client->listenParam(CString("plugin.unknown"), &listener);
    EXPECT_EQ(takeBytes(0), LeBytes().str("update-param-info").i32(1).i32(0).i32(0).bytes());
    EXPECT_EQ(baseConnector->queuedCount(0), 0);
}

TEST_F(CParamInterfaceBaseTest, UpdateParamCarriesTheHandleAndTheChangeRecord) {
    CAudioParam* param = addParam("plugin.eq.gain", "0.5");
    client->listenParam(CString("plugin.eq.gain"), &listener);
    tick();
    param->setValue(0, nullptr, nullptr, 0.25);  // a change from elsewhere, such as the host
    const std::vector<std::uint8_t> expected = LeBytes()
        .str("update-param").i32(1)
        .i32(0).i32(0).i32(1).i32(1)        // group, first element, count, truncate
        .i32(1).i32(0).i32(0).i32(0)        // element size, float, single-group, single-element
        .f64(0.25).bytes();
    EXPECT_EQ(takeBytes(0), expected);
}

TEST_F(CParamInterfaceBaseTest, ListeningTwiceWithOneHandleAttachesOnceAndRepliesOnce) {
    addParam("plugin.eq.gain", "0.5");
    for (int i = 0; i < 2; ++i) {
        CParamInterfaceMessageWriter writer("listen-param");
        writer.string(CString("plugin.eq.gain"));
        writer.i32(7);
        EXPECT_TRUE(request(writer));
    }
    EXPECT_EQ(base->paramListenerCount(), 1);
    EXPECT_EQ(queuedNames(0), (std::vector<std::string>{"update-param-info", "update-param"}));
}

TEST_F(CParamInterfaceBaseTest, EveryListeningClientHearsAChangeIncludingTheSender) {
    CAudioParam* param = addParam("plugin.eq.gain", "0.5");
    CParamInterfaceClient* other = openEditor("other");
    CRecordingParamListener otherListener;
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    EXPECT_EQ(other->listenParam(CString("plugin.eq.gain"), &otherListener), 65537);
    tick();
    listener.events.clear();
    otherListener.events.clear();
    const std::vector<double> v{0.75};
    change(handle, -1, floatChange(0, 0, v));
    EXPECT_EQ(values(param, 0), v);
    tick();
    EXPECT_EQ(listener.events, std::vector<std::string>{"g0 n1 0.75"});
    EXPECT_EQ(otherListener.events, std::vector<std::string>{"g0 n1 0.75"});
    CAudioParamChangeList toAudio;  // the audio thread's next block takes the change
    collector->takePending(toAudio);
    CAudioParamCollector::applyPendingChanges(toAudio);
    EXPECT_EQ(param->getAudioSide().getValue(0, 0, 0), 0.75);
}

TEST_F(CParamInterfaceBaseTest, AChangeOfAnotherFormatIsDroppedWithoutReply) {
    CAudioParam* param = addParam("plugin.eq.gain", "0.5");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    tick();
    const std::vector<double> v{1, 2};
    change(handle, -1, floatChange(0, 0, v, 2));  // element size 2 against 1
    CAudioParamChange text = floatChange(0, 0, {});
    text.dataType = CAudioParamStorage::kTypeString;
    change(handle, -1, text);
    change(handle + 1, -1, floatChange(0, 0, {3}));  // a handle without listener
    EXPECT_EQ(values(param, 0), std::vector<double>{0.5});
    EXPECT_EQ(baseConnector->queuedCount(0), 0);
}

TEST_F(CParamInterfaceBaseTest, ATruncatedChangeChangesNothing) {
    CAudioParam* param = addParam("plugin.eq.gain", "0.5");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    tick();
    for (int cut : {4, 8, 20, 40}) {   // inside the ids, the header and the values
        SCOPED_TRACE(cut);
        CParamInterfaceMessageWriter writer("change-param");
        writer.i32(handle);
        writer.i32(-1);
        const std::vector<double> v{0.9, 0.8};
        writer.check(CAudioParamStorage::writeChange(floatChange(0, 0, v), writer.stream()));
        CByteBuffer message;
        writer.moveTo(message);
        const std::int32_t nameBytes = 4 + 12;
        message.resize(nameBytes + cut);
        EXPECT_FALSE(client->clientConnector()->sendToBase(message));
    }
    EXPECT_EQ(values(param, 0), std::vector<double>{0.5});
}

TEST_F(CParamInterfaceBaseTest, TheFirstChangeOfAnElementInARecordBeginsItsGesture) {
    addParam("plugin.eq.freq", "1,1,1,1,1;1,1,1,1,1");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.freq"), &listener);
    const std::int32_t undo = client->createUndoData(CString("Drag"), true, 3);
    change(handle, undo, floatChange(1, 2, {5, 6, 7}));
    change(handle, undo, floatChange(1, 3, {8}));
    EXPECT_EQ(base->gestures, (std::vector<std::string>{"+plugin.eq.freq 1 2", "+plugin.eq.freq 1 3",
                                                         "+plugin.eq.freq 1 4"}));
    base->gestures.clear();
    client->submitUndoData(undo, CString());
    EXPECT_EQ(base->gestures, (std::vector<std::string>{"-plugin.eq.freq 1 2", "-plugin.eq.freq 1 3",
                                                         "-plugin.eq.freq 1 4"}));
    EXPECT_EQ(base->openUndoCount(), 0);
}

TEST_F(CParamInterfaceBaseTest, GesturesEndInParameterNameAndKeyOrderWhenARecordIsRemoved) {
    addParam("plugin.b", "0,0,0");
    addParam("plugin.a", "0;0");
    const std::int32_t b = client->listenParam(CString("plugin.b"), &listener);
    const std::int32_t a = client->listenParam(CString("plugin.a"), &listener);
    const std::int32_t undo = client->createUndoData(CString("Edit"), false, 0);
    change(b, undo, floatChange(0, 2, {1}));
    change(a, undo, floatChange(1, 0, {1}));
    change(b, undo, floatChange(0, 1, {1}));
    base->gestures.clear();
    client->removeUndoData(undo);
    // Key order: (element << 8) | group, so element 1 before element 2.
    EXPECT_EQ(base->gestures, (std::vector<std::string>{"-plugin.a 1 0", "-plugin.b 0 1", "-plugin.b 0 2"}));
}

TEST_F(CParamInterfaceBaseTest, ChangesOutsideAnOpenRecordOrBeyondTheKeyRangeBeginNoGesture) {
    CAudioParam* param = addParam("plugin.eq.gain", "0");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    change(handle, 12345, floatChange(0, 0, {0.5}));   // no record open under that id
    const std::int32_t undo = client->createUndoData(CString("Edit"), false, 0);
    change(handle, undo, floatChange(300, 0, {0.25}));  // group 300 has no gesture key of its own
    EXPECT_TRUE(base->gestures.empty());
    EXPECT_EQ(values(param, 0), std::vector<double>{0.5});
    EXPECT_EQ(values(param, 300), std::vector<double>{0.25});
}

TEST_F(CParamInterfaceBaseTest, ReopeningAnOpenRecordEndsTheGesturesOfTheOldOne) {
    addParam("plugin.eq.gain", "0");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    const std::int32_t undo = client->createUndoData(CString("First"), false, 0);
    change(handle, undo, floatChange(0, 0, {0.5}));
    CParamInterfaceMessageWriter writer("create-undo-data");
    writer.i32(undo);
    writer.string(CString("Second"));
    writer.i32(0);
    writer.i32(0);
    EXPECT_TRUE(request(writer));
    EXPECT_EQ(base->gestures, (std::vector<std::string>{"+plugin.eq.gain 0 0", "-plugin.eq.gain 0 0"}));
    EXPECT_EQ(base->openUndoCount(), 1);
    change(handle, undo, floatChange(0, 0, {0.75}));  // the new record begins its own gesture
    EXPECT_EQ(base->gestures.back(), "+plugin.eq.gain 0 0");
}

TEST_F(CParamInterfaceBaseTest, AClientThatGoesAwayLeavesNoOpenGestureBehind) {
    addParam("plugin.eq.gain", "0");
    CParamInterfaceClient* other = openEditor("other");
    CRecordingParamListener otherListener;
    const std::int32_t mine = client->listenParam(CString("plugin.eq.gain"), &listener);
    const std::int32_t theirs = other->listenParam(CString("plugin.eq.gain"), &otherListener);
    const std::int32_t myUndo = client->createUndoData(CString("Mine"), false, 0);
    const std::int32_t theirUndo = other->createUndoData(CString("Theirs"), false, 0);
    change(mine, myUndo, floatChange(0, 0, {0.5}));
    other->changeParam(theirs, floatChange(1, 0, {0.5}), theirUndo);
    base->gestures.clear();
    closeEditor(other);
    EXPECT_EQ(base->gestures, std::vector<std::string>{"-plugin.eq.gain 1 0"});
    EXPECT_EQ(base->openUndoCount(), 1);
    EXPECT_EQ(base->paramListenerCount(), 1);
}

TEST_F(CParamInterfaceBaseTest, ReleasingTheAudioTreeEndsTheGesturesOfOpenRecords) {
    addParam("plugin.eq.gain", "0");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    // A record under the id of a client that never registered, so closing the editor leaves it open.
    const std::int32_t undo = (7 << 16) + 1;
    CParamInterfaceMessageWriter writer("create-undo-data");
    writer.i32(undo);
    writer.string(CString("Stray"));
    writer.i32(0);
    writer.i32(0);
    ASSERT_TRUE(request(writer));
    change(handle, undo, floatChange(0, 0, {0.5}));
    std::vector<std::string> journal;
    base->journal = &journal;
    closeEditor(client);
    EXPECT_TRUE(journal.empty());
    audioRoot->release();
    audioRoot = nullptr;
    EXPECT_EQ(journal, std::vector<std::string>{"-plugin.eq.gain 0 0"});
}

struct ResetCase {
    const char* what;
    std::int32_t group, element;
    bool firstElement;
    std::vector<std::vector<double>> expected;  // the values of groups 0, 1 and 2 afterwards
};

TEST_F(CParamInterfaceBaseTest, ResetsReturnGroupsOrElementsToTheirDefaults) {
    const std::vector<ResetCase> cases = {
        {"every group", -1, -1, false, {{1}, {2, 3}, {4}}},
        {"one whole group", 1, -1, false, {{10}, {2, 3}, {40}}},
        {"one element", 1, 1, false, {{10}, {20, 3}, {40}}},
        {"one element from the first default", 1, 1, true, {{10}, {20, 1}, {40}}},
        {"a group beyond the parameter's", 3, -1, false, {{10}, {20, 30}, {40}}},
        {"an element beyond the reset limit", 1, CParamInterfaceBase::kMaxResetElement + 1, false,
         {{10}, {20, 30}, {40}}},
    };
    CAudioParam* param = addParam("plugin.eq.gain", "1;2,3;4");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    for (const ResetCase& c : cases) {
        SCOPED_TRACE(c.what);
        change(handle, -1, floatChange(0, 0, {10}));
        change(handle, -1, floatChange(1, 0, {20, 30}));
        change(handle, -1, floatChange(2, 0, {40}));
        client->resetParam(handle, c.group, c.element, -1, c.firstElement);
        for (int g = 0; g < 3; ++g)
            EXPECT_EQ(values(param, g), c.expected[std::size_t(g)]) << "group " << g;
    }
    EXPECT_TRUE(base->gestures.empty());  // a reset begins no gesture
}

TEST_F(CParamInterfaceBaseTest, AResetIsReportedToListenersAndRecordedInAnOpenRecord) {
    CAudioParam* param = addParam("plugin.eq.gain", "1;2,3");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    change(handle, -1, floatChange(1, 0, {20, 30}));
    tick();
    listener.events.clear();
    const std::int32_t undo = client->createUndoData(CString("Reset"), false, 0);
    client->resetParam(handle, 1, -1, undo, false);
    client->submitUndoData(undo, CString());
    EXPECT_EQ(values(param, 1), (std::vector<double>{2, 3}));
    tick();
    EXPECT_EQ(listener.events, std::vector<std::string>{"g1 n2 2 3"});
    EXPECT_EQ(client->undoHistoryNames().count(), 2);
    client->setUndoHistoryPos(0);
    EXPECT_EQ(values(param, 1), (std::vector<double>{20, 30}));
}

TEST_F(CParamInterfaceBaseTest, AResetOfAParameterWithoutInfoOrOfAnUnknownHandleDoesNothing) {
    const std::int32_t handle = client->listenParam(CString("plugin.unknown"), &listener);
    tick();
    client->resetParam(handle, -1, -1, -1, false);
    client->resetParam(handle + 100, -1, -1, -1, false);
    EXPECT_EQ(baseConnector->queuedCount(0), 0);
    EXPECT_EQ(collector->acquireParam(CString("plugin.unknown"))->getCurrent().getGroupCount(), 0);
}

TEST_F(CParamInterfaceBaseTest, UnlistenedHandlesReportNothingAndUnknownOnesAreIgnored) {
    CAudioParam* param = addParam("plugin.eq.gain", "0");
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    tick();
    CParamInterfaceMessageWriter unknown("unlisten-param");
    unknown.i32(999);
    EXPECT_TRUE(request(unknown));
    EXPECT_EQ(base->paramListenerCount(), 1);
    client->unlistenParam(handle);
    EXPECT_EQ(base->paramListenerCount(), 0);
    param->setValue(0, nullptr, nullptr, 0.5);
    EXPECT_EQ(baseConnector->queuedCount(0), 0);
}

} // namespace
} // namespace tal

namespace tal {
namespace {

// The host's thread changes one parameter while the editor's thread sends changes of another and
// drains its replies: no report is lost or reordered, and neither side waits for the other's locks.
TEST_F(CParamInterfaceBaseTest, ConcurrentHostChangesAndEditorRequests) {
    constexpr int kHostChanges = 5000;
    CAudioParam* automated = addParam("plugin.eq.gain", "0");
    CAudioParam* edited = addParam("plugin.eq.freq", "0");
    CRecordingParamListener editedListener;
    client->listenParam(CString("plugin.eq.gain"), &listener);
    const std::int32_t editHandle = client->listenParam(CString("plugin.eq.freq"), &editedListener);
    tick();
    listener.events.clear();
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 1; i <= kHostChanges; ++i)
            automated->setValue(0, nullptr, nullptr, double(i));
        done.store(true);
    });
    int edits = 0;
    while (!done.load()) {
        ++edits;
        const std::int32_t undo = client->createUndoData(CString("Edit"), true, 1);
        client->changeParam(editHandle, floatChange(0, 0, {double(edits)}), undo);
        client->submitUndoData(undo, CString());
        tick();
    }
    host.join();
    tick();
    ASSERT_EQ(int(listener.events.size()), kHostChanges);
    for (int i = 0; i < kHostChanges; ++i)
        ASSERT_EQ(listener.events[std::size_t(i)], "g0 n1 " + std::to_string(i + 1));
    EXPECT_EQ(edited->getCurrent().getValue(0, 0, 0), double(edits));
    EXPECT_EQ(editedListener.events.back(), "g0 n1 " + std::to_string(edits));
}

} // namespace
} // namespace tal

namespace tal {
namespace {

// The undo protocol on a parameter "plugin.gain" (default 0) that one editor listens to.
class CParamInterfaceBaseUndo : public CParamInterfaceBaseTest {
protected:
    void SetUp() override {
        CParamInterfaceBaseTest::SetUp();
        gain = addParam("plugin.gain", "0");
        handle = client->listenParam(CString("plugin.gain"), &listener);
        tick();
    }
    // One step: a record named name that sets the gain to value.
    void step(const char* name, double value, bool mergeable = false, std::int32_t key = 0,
              const char* submitName = "") {
        const std::int32_t undo = client->createUndoData(CString(name), mergeable, key);
        change(handle, undo, floatChange(0, 0, {value}));
        client->submitUndoData(undo, CString(submitName));
    }
    // The client's copy of the history after the next tick, as "position: name,name,...".
    std::string history() {
        tick();
        std::string out = std::to_string(client->undoHistoryPosition()) + ":";
        for (int i = 0; i < client->undoHistoryNames().count(); ++i)
            out += (i ? "," : " ") + text(client->undoHistoryNames()[i]);
        return out;
    }
    double value() const { return gain->getCurrent().getValue(0, 0, 0); }

    CAudioParam* gain = nullptr;
    std::int32_t handle = 0;
};

TEST_F(CParamInterfaceBaseUndo, StepsEnterTheHistoryAndMovingThePositionUndoesThem) {
    CParamInterfaceClient* other = openEditor("other");
    step("S1", 1);
    step("S2", 2);
    step("S3", 3);
    EXPECT_EQ(history(), "3: Undo history start,S1,S2,S3");
    client->setUndoHistoryPos(1);
    EXPECT_EQ(value(), 1);
    EXPECT_EQ(history(), "1: Undo history start,S1,S2,S3");
    EXPECT_EQ(other->undoHistoryPosition(), 1);  // every editor hears of it
    EXPECT_EQ(listener.events.back(), "g0 n1 1");
    client->setUndoHistoryPos(3);
    EXPECT_EQ(value(), 3);
    client->setUndoHistoryPos(0);
    EXPECT_EQ(value(), 0);
    step("S4", 4);  // a new step cuts the redo tail
    EXPECT_EQ(history(), "1: Undo history start,S4");
}

TEST_F(CParamInterfaceBaseUndo, OutOfRangeOrCurrentPositionsChangeNothingAndSendNothing) {
    step("S1", 1);
    tick();
    for (int target : {-1, 2, 1}) {
        SCOPED_TRACE(target);
        client->setUndoHistoryPos(target);
        EXPECT_EQ(baseConnector->queuedCount(0), 0);
        EXPECT_EQ(value(), 1);
    }
}

TEST_F(CParamInterfaceBaseUndo, TheOldestStepGoesAtTheLimit) {
    for (int i = 1; i <= 33; ++i)
        step(("S" + std::to_string(i)).c_str(), i);
    const std::string h = history();
    EXPECT_EQ(h.substr(0, h.find(',')), "32: Undo history start");
    EXPECT_EQ(client->undoHistoryNames().count(), 33);
    EXPECT_EQ(text(client->undoHistoryNames()[1]), "S2");
}

TEST_F(CParamInterfaceBaseUndo, MergeableStepsOfOneKeyFoldIntoTheFirst) {
    step("Drag", 1, true, 5);
    step("Drag more", 2, true, 5);
    EXPECT_EQ(history(), "1: Undo history start,Drag");
    client->setUndoHistoryPos(0);
    EXPECT_EQ(value(), 0);
    client->setUndoHistoryPos(1);
    EXPECT_EQ(value(), 2);
    // A step that also touches another parameter does not fold.
    CAudioParam* other = addParam("plugin.freq", "0");
    const std::int32_t otherHandle = client->listenParam(CString("plugin.freq"), &listener);
    const std::int32_t undo = client->createUndoData(CString("Both"), true, 5);
    change(handle, undo, floatChange(0, 0, {3}));
    change(otherHandle, undo, floatChange(0, 0, {3}));
    client->submitUndoData(undo, CString());
    EXPECT_EQ(history(), "2: Undo history start,Drag,Both");
    EXPECT_EQ(other->getCurrent().getValue(0, 0, 0), 3);
}

TEST_F(CParamInterfaceBaseUndo, TheSubmitNameReplacesTheCreationNameUnlessEmpty) {
    step("Created", 1, false, 0, "");
    step("Created", 2, false, 0, "Submitted");
    EXPECT_EQ(history(), "2: Undo history start,Created,Submitted");
}

TEST_F(CParamInterfaceBaseUndo, ARecordWithoutUndoDataMakesNoStepButEndsItsGestures) {
    addParam("plugin.meter", "0", 1, false);  // neither storable nor persistent
    const std::int32_t meter = client->listenParam(CString("plugin.meter"), &listener);
    tick();
    const std::int32_t undo = client->createUndoData(CString("Nothing"), false, 0);
    change(meter, undo, floatChange(0, 0, {1}));
    base->gestures.clear();
    client->submitUndoData(undo, CString());
    EXPECT_EQ(base->gestures, std::vector<std::string>{"-plugin.meter 0 0"});
    EXPECT_EQ(baseConnector->queuedCount(0), 1);  // the meter's own "update-param" only
    EXPECT_EQ(history(), "0: Undo history start");
}

} // namespace
} // namespace tal
