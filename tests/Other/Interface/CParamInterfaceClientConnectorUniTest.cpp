#include "Other/Interface/CParamInterfaceClientConnectorUni.h"

#include "Core/CError.h"
#include "Core/CTimerQueued.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "support/CLogCapture.h"
#include "support/InterfaceTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CParamInterfaceClientConnectorUniTest : public CInterfaceTestTree {
protected:
    // An "update-undo-history" reply whose single name is `name` (the client keeps the last one).
    static CByteBuffer history(const char* name) {
        CParamInterfaceMessageWriter writer("update-undo-history");
        writer.i32(0);
        writer.i32(1);
        writer.string(CString(name));
        CByteBuffer message;
        writer.moveTo(message);
        return message;
    }
    static CByteBuffer named(const char* eventName) {
        CParamInterfaceMessageWriter writer(eventName);
        CByteBuffer message;
        writer.moveTo(message);
        return message;
    }
    // The history names the client received, one string.
    static std::string names(const CParamInterfaceClient* client) {
        std::string out;
        for (int i = 0; i < client->undoHistoryNames().count(); ++i)
            out += (i ? "," : "") + text(client->undoHistoryNames()[i]);
        return out;
    }
};

TEST_F(CParamInterfaceClientConnectorUniTest, EditorsRegisterInOrderThroughTheAudioRootPointer) {
    CParamInterfaceClient* first = openEditor("first");
    CParamInterfaceClient* second = openEditor("second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->clientId(), 0);
    EXPECT_EQ(second->clientId(), 1);
    EXPECT_EQ(baseConnector->clientCount(), 2);
}

TEST_F(CParamInterfaceClientConnectorUniTest, WithoutTheRootPointerTheBaseConnectorIsFoundInTheOwnTree) {
    // A connector inside the audio tree, whose root carries no "BaseConnectorRootPtr".
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, "other:param-interface-client-connector-uni", "local",
                                                {{"base-connector", "plugin.interface-base-connector"}})), "");
    auto* local = dynamic_cast<CParamInterfaceClientConnectorUni*>(object);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->baseConnector(), baseConnector);
    EXPECT_EQ(local->clientId(), 0);
}

TEST_F(CParamInterfaceClientConnectorUniTest, AMissingBaseConnectorFailsInitAndLeavesItUnregistered) {
    CObject* object = nullptr;
    const std::string message = takeMessage(CParamTestTree::build(
        object, ui, "other:param-interface-client-connector-uni", "lost", {{"base-connector", "plugin.nothing"}}));
    EXPECT_EQ(message.rfind("Unable to find object 'plugin.nothing'", 0), 0u) << message;
    EXPECT_EQ(baseConnector->clientCount(), 0);
}

TEST_F(CParamInterfaceClientConnectorUniTest, RepliesRunOnTheNextTickInQueueOrder) {
    CParamInterfaceClient* client = openEditor("editor");
    tick();  // the history asked for by init
    ASSERT_EQ(names(client), "Undo history start");
    CByteBuffer a = history("A"), b = history("B");
    baseConnector->sendToClient(-1, a);
    baseConnector->sendToClient(client->clientId(), b);
    EXPECT_EQ(names(client), "Undo history start");  // nothing runs before the tick
    tick();
    EXPECT_EQ(names(client), "B");
    EXPECT_EQ(baseConnector->queuedCount(client->clientId()), 0);
}

TEST_F(CParamInterfaceClientConnectorUniTest, AnUnknownReplyIsLoggedAndTheFollowingRepliesStillRun) {
    CParamInterfaceClient* client = openEditor("editor");
    tick();
    CByteBuffer unknown = named("no-such-reply"), after = history("After");
    baseConnector->sendToClient(0, unknown);
    baseConnector->sendToClient(0, after);
    CLogCapture log;
    tick();
    EXPECT_EQ(names(client), "After");
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Unknown event 'no-such-reply'.");
}

TEST_F(CParamInterfaceClientConnectorUniTest, AnUnknownRequestHasNoEffectAndLogsNothing) {
    CParamInterfaceClient* client = openEditor("editor");
    auto* connector = static_cast<CParamInterfaceClientConnectorUni*>(client->clientConnector());
    CLogCapture log;
    CByteBuffer request = named("no-such-request");
    EXPECT_FALSE(connector->sendToBase(request));
    CByteBuffer truncated(request.data(), 3);  // not even a whole name count
    EXPECT_FALSE(connector->sendToBase(truncated));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(CParamInterfaceClientConnectorUniTest, ChangingTheFrameRateRetimesTheOneTimer) {
    CParamInterfaceClient* client = openEditor("editor");
    auto* connector = static_cast<CParamInterfaceClientConnectorUni*>(client->clientConnector());
    auto* timer = dynamic_cast<CTimerQueued*>(connector->timer());
    ASSERT_NE(timer, nullptr);
    EXPECT_DOUBLE_EQ(timer->getInterval(), 1.0 / 40);
    ASSERT_EQ(takeMessage(connector->setAttr(CString("fps"), CString("25"), true)), "");
    EXPECT_EQ(connector->timer(), timer);
    EXPECT_DOUBLE_EQ(timer->getInterval(), 1.0 / 25);
    EXPECT_EQ(loop.timerCount(), 1);
}

TEST_F(CParamInterfaceClientConnectorUniTest, ClosingTheEditorDeletesItsWaitingReplies) {
    CParamInterfaceClient* client = openEditor("editor");
    CParamInterfaceClient* other = openEditor("other");
    CByteBuffer m = history("X");
    baseConnector->sendToClient(-1, m);
    ASSERT_EQ(baseConnector->queuedCount(0), 2);  // the init history and X
    closeEditor(client);
    EXPECT_EQ(baseConnector->queuedCount(0), 0);
    EXPECT_EQ(baseConnector->clientCount(), 1);
    m = history("Y");
    baseConnector->sendToClient(-1, m);
    EXPECT_EQ(baseConnector->queuedCount(0), 0);
    tick();
    EXPECT_EQ(names(other), "Y");
}

TEST_F(CParamInterfaceClientConnectorUniTest, RepliesWithoutClientObjectFailAndAreDeleted) {
    CParamInterfaceClient* client = openEditor("editor");
    CParamInterfaceClientConnector* connector = client->clientConnector();
    connector->clearClient();
    CLogCapture log;
    tick();  // the init history is pushed and processed without a client
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "No client object defined.");
    connector->setClient(client);
    EXPECT_EQ(takeMessage(connector->onProcessBaseData()), "");  // nothing left pending
    EXPECT_EQ(client->undoHistoryNames().count(), 0);
}

} // namespace
} // namespace tal
