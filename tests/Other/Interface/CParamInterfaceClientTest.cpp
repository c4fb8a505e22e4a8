#include "Other/Interface/CParamInterfaceClient.h"

#include "Audio/CAudioParam.h"
#include "Core/CError.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "support/CLogCapture.h"
#include "support/InterfaceTestTree.h"
#include "support/LeBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CParamInterfaceClientTest : public CInterfaceTestTree {
protected:
    void SetUp() override {
        CInterfaceTestTree::SetUp();
        client = openEditor("editor");
        ASSERT_NE(client, nullptr);
    }
    // Queues a hand-built reply for the client.
    void reply(CParamInterfaceMessageWriter& writer) {
        CByteBuffer message;
        writer.moveTo(message);
        baseConnector->sendToClient(client->clientId(), message);
    }

    CParamInterfaceClient* client = nullptr;
    CRecordingParamListener listener;
};

TEST_F(CParamInterfaceClientTest, HandlesAndUndoIdsCountPerKindAndCarryTheClientId) {
    CParamInterfaceClient* second = openEditor("second");
    EXPECT_EQ(client->listenParam(CString("plugin.a"), &listener), 1);
    EXPECT_EQ(client->listenParam(CString("plugin.b"), &listener), 2);
    EXPECT_EQ(client->createUndoData(CString("Edit"), false, 0), 1);   // a counter of its own
    EXPECT_EQ(second->listenParam(CString("plugin.a"), &listener), 65537);
    EXPECT_EQ(second->createUndoData(CString("Edit"), false, 0), 65537);
    EXPECT_EQ(openEditor("third")->createUndoData(CString("Edit"), false, 0), 131073);
}

TEST_F(CParamInterfaceClientTest, UnlistenOfAHandleWithoutEntrySendsNothing) {
    addParam("plugin.a", "0");
    // The base holds a listener under handle 5 that this client never gave out.
    CParamInterfaceMessageWriter writer("listen-param");
    writer.string(CString("plugin.a"));
    writer.i32(5);
    CByteBuffer message;
    writer.moveTo(message);
    ASSERT_TRUE(client->clientConnector()->sendToBase(message));
    client->unlistenParam(5);
    EXPECT_EQ(base->paramListenerCount(), 1);
    const std::int32_t handle = client->listenParam(CString("plugin.a"), &listener);
    client->unlistenParam(handle);
    client->unlistenParam(handle);  // already gone
    EXPECT_EQ(base->paramListenerCount(), 1);
    EXPECT_EQ(client->paramEntryCount(), 0);
}

TEST_F(CParamInterfaceClientTest, AReplyForAHandleUnlistenedMeanwhileReachesNobody) {
    CAudioParam* param = addParam("plugin.a", "0");
    const std::int32_t handle = client->listenParam(CString("plugin.a"), &listener);
    param->setValue(0, nullptr, nullptr, 0.5);
    client->unlistenParam(handle);
    tick();
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(CParamInterfaceClientTest, InfoRepliesCallTheListenerOnceAndTheUpdateOnlyWithAChange) {
    const std::int32_t handle = client->listenParam(CString("plugin.none"), &listener);
    tick();
    EXPECT_EQ(listener.events, std::vector<std::string>{"info 0"});
    listener.events.clear();
    CParamInterfaceMessageWriter writer("update-param-info");
    writer.i32(handle);
    writer.i32(0);
    writer.i32(1);
    const std::vector<double> v{4};
    writer.check(CAudioParamStorage::writeChange(floatChange(2, 0, v), writer.stream()));
    reply(writer);
    tick();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"info 0", "g2 n1 4"}));
}

TEST_F(CParamInterfaceClientTest, ATruncatedInfoReplyStopsBeforeTheUpdate) {
    const std::int32_t handle = client->listenParam(CString("plugin.none"), &listener);
    tick();
    listener.events.clear();
    CParamInterfaceMessageWriter writer("update-param-info");
    writer.i32(handle);
    writer.i32(0);
    writer.i32(1);  // a change is announced but missing
    reply(writer);
    CLogCapture log;
    tick();
    EXPECT_EQ(listener.events, std::vector<std::string>{"info 0"});
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines()[0].rfind("Premature end of memory resource while reading", 0), 0u) << log.lines()[0];
}

TEST_F(CParamInterfaceClientTest, RequestsCarryTheirFieldsInOrder) {
    client->resetParam(3, -1, 2, 9, true);
    client->resetParam(4, 1, -1, -1, false);
    ASSERT_EQ(base->payloads.size(), 2u);
    EXPECT_EQ(base->payloads[0], LeBytes().i32(3).i32(-1).i32(2).i32(9).i32(1).bytes());
    EXPECT_EQ(base->payloads[1], LeBytes().i32(4).i32(1).i32(-1).i32(-1).i32(0).bytes());
}

TEST_F(CParamInterfaceClientTest, ReleasingTheClientUnlistensEveryEntry) {
    addParam("plugin.a", "0");
    addParam("plugin.b", "0");
    client->listenParam(CString("plugin.a"), &listener);
    client->listenParam(CString("plugin.b"), &listener);
    client->listenParam(CString("plugin.a"), &listener);
    EXPECT_EQ(base->paramListenerCount(), 3);
    closeEditor(client);
    EXPECT_EQ(base->paramListenerCount(), 0);
}

TEST_F(CParamInterfaceClientTest, TheUndoHistoryArrivesWholeAndAnnouncesItself) {
    CEventTestObject* watcher = addListener(ui, "watcher");
    watcher->listenObject(client->getFullName(), CString("undo-history-changed"), CString("on"));
    // What init asked for: the empty history.
    CByteBuffer first;
    ASSERT_TRUE(baseConnector->takeBaseData(0, first));
    EXPECT_EQ(std::vector<std::uint8_t>(first.data(), first.data() + first.size()),
              LeBytes().str("update-undo-history").i32(0).i32(1).str("Undo history start").bytes());
    CParamInterfaceMessageWriter writer("update-undo-history");
    writer.i32(1);
    writer.i32(3);
    for (const char* name : {"Undo history start", "Gain", "Freq"})
        writer.string(CString(name));
    reply(writer);
    tick();
    ASSERT_EQ(client->undoHistoryNames().count(), 3);
    EXPECT_EQ(text(client->undoHistoryNames()[2]), "Freq");
    EXPECT_EQ(client->undoHistoryPosition(), 1);
    EXPECT_EQ(watcher->calls, 1);
}

TEST_F(CParamInterfaceClientTest, ABrokenUndoHistoryFiresNothing) {
    CEventTestObject* watcher = addListener(ui, "watcher");
    watcher->listenObject(client->getFullName(), CString("undo-history-changed"), CString("on"));
    tick();
    ASSERT_EQ(watcher->calls, 1);
    CParamInterfaceMessageWriter writer("update-undo-history");
    writer.i32(2);
    writer.i32(3);
    writer.string(CString("Undo history start"));  // two names missing
    reply(writer);
    tick();
    EXPECT_EQ(watcher->calls, 1);
    EXPECT_EQ(client->undoHistoryPosition(), 2);
    EXPECT_EQ(client->undoHistoryNames().count(), 2);  // what was read, and the one being read
}

} // namespace
} // namespace tal
