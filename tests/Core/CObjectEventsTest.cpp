// Events on objects: running handlers by name, listening, posting and releasing through the bridge.
#include "Core/CObject.h"

#include "Core/CError.h"
#include "support/CEventTestTree.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>

namespace tal {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

using CObjectEvents = CEventTestTree;

TEST_F(CObjectEvents, RunEventWithAnUnknownNameGivesTheErrorAndATraceLine) {
    CEventTestObject* a = addListener(ui, "a");
    CError* err = a->runEvent(CString("nope"));
    ASSERT_NE(err, nullptr);
    ASSERT_EQ(err->lineCount(), 2);
    EXPECT_EQ(text(err->line(0)), "Unknown event 'nope'.");
    EXPECT_THAT(text(err->line(1)), MatchesRegex("Core/[A-Za-z]+\\( [0-9]+ \\) // ui\\.a"));
    delete err;
}

TEST_F(CObjectEvents, RunEventWithoutMapGivesAHandlerWithArgumentsAnEmptyMap) {
    CEventTestObject* a = addListener(ui, "a");
    int entries = -1;
    a->action = [&](CEventTestObject&, CAttrMap& args) {
        entries = args.count();
        args.findOrAdd("scratch")->value.setInt(1);
        return nullptr;
    };
    ASSERT_EQ(a->runEvent(CString("on")), nullptr);
    EXPECT_EQ(entries, 0);
    ASSERT_EQ(a->runEvent(CString("plain")), nullptr);
    EXPECT_EQ(a->calls, 2);
}

TEST_F(CObjectEvents, HandlerErrorGetsTheObjectsTraceLine) {
    CEventTestObject* a = addListener(ui, "a");
    CError* err = a->runEvent(CString("fail"));
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(text(err->message()), "Handler failed.");
    EXPECT_THAT(text(err->line(err->lineCount() - 1)), ::testing::EndsWith(" // ui.a"));
    delete err;
}

TEST_F(CObjectEvents, FireInATreeWithoutRegistryDoesNothing) {
    CObject* plain = nullptr;
    ASSERT_EQ(shared->addChild(plain, CString("test:listener"), CString("x"), false), nullptr);
    CAttrMap args;
    EXPECT_EQ(plain->fireEvent(CString("change"), &args, false), nullptr);
    EXPECT_TRUE(args.isEmpty());
}

TEST_F(CObjectEvents, ListenWithAnUnknownHandlerLogsAndRegistersNothing) {
    CLogCapture log;
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.s"), CString("change"), CString("missing"));
    EXPECT_THAT(log.lines(), ElementsAre("Event handler 'missing' not found in listenObject(). // ui.a"));
    EXPECT_TRUE(a->listenRegistrations().isEmpty());
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(a->calls, 0);
}

TEST_F(CObjectEvents, FirstRegistrationOfASenderAndEventStays) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.s"), CString("change"), CString("plain"));
    a->listenObject(CString("ui.s"), CString("change"), CString("on"));
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:plain"));
}

TEST_F(CObjectEvents, UnlistenDropsTheSenderWithItsLastEventAndAllowsListeningAgain) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    a->unlistenObject(CString("ui.s"), CString("change"));  // nothing registered: nothing happens
    a->listenObject(CString("ui.s"), CString("change"), CString("on"));
    a->listenObject(CString("ui.s"), CString("other"), CString("on"));
    a->unlistenObject(CString("ui.s"), CString("change"));
    EXPECT_TRUE(a->listenRegistrations().contains(CString("ui.s")));
    a->unlistenObject(CString("ui.s"), CString("other"));
    EXPECT_FALSE(a->listenRegistrations().contains(CString("ui.s")));
    EXPECT_FALSE(registry().hasSender(CString("ui.s")));

    a->listenObject(CString("ui.s"), CString("change"), CString("on"));
    a->unlistenAll();
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(a->calls, 0);
    a->listenObject(CString("ui.s"), CString("change"), CString("on"));
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(a->calls, 1);
}

TEST_F(CObjectEvents, PostWithoutBridgeAboveDoesNothing) {
    CEventTestObject* outside = addListener(root, "outside");
    CAttrMap args;
    outside->postBridgedEvent(CString("x"), CString("on"), args);
    EXPECT_TRUE(args.isEmpty());
    EXPECT_EQ(bridge->pendingCount(), 0);
}

TEST_F(CObjectEvents, PostedHandlerRunsAtThePumpWithTheSenderName) {
    CEventTestObject* a = addListener(ui, "a");
    std::string sender;
    a->action = [&](CEventTestObject&, CAttrMap& args) {
        sender = text(args.findValue("sender")->asText());
        return nullptr;
    };
    CAttrMap args;
    a->postBridgedEvent(CString("somebody"), CString("on"), args);
    EXPECT_EQ(a->calls, 0);
    EXPECT_EQ(bridge->pump(), 1);
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(sender, "somebody");
}

TEST_F(CObjectEvents, PostedUnknownHandlerIsLogged) {
    CLogCapture log;
    CEventTestObject* a = addListener(ui, "a");
    CAttrMap args;
    a->postBridgedEvent(CString("x"), CString("nope"), args);
    bridge->pump();
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[0], "Unknown event 'nope'.");
    EXPECT_THAT(log.lines()[2], ::testing::EndsWith(" // ui"));
}

struct ReleaseCase {
    const char* parent;  // empty: a child of "ui"
    const char* child;
};

class CObjectReleaseBridged : public CEventTestTree, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(CObjectReleaseBridged, ReleasesExactlyTheChildAtThePump) {
    const ReleaseCase& c = GetParam();
    CObject* parent = *c.parent ? static_cast<CObject*>(addListener(ui, c.parent)) : ui;
    CEventTestObject* sibling = addListener(parent, "sibling");
    CEventTestObject* child = addListener(parent, c.child);
    const int before = parent->childCount();
    child->releaseBridged();
    EXPECT_EQ(parent->childCount(), before);  // still there until the bridge runs the call
    EXPECT_EQ(bridge->pump(), 1);
    EXPECT_EQ(parent->childCount(), before - 1);
    EXPECT_EQ(parent->child(0), sibling);
}

INSTANTIATE_TEST_SUITE_P(Children, CObjectReleaseBridged,
                         ::testing::Values(ReleaseCase{"", "named"}, ReleaseCase{"p", "named"},
                                           ReleaseCase{"p", ""}));  // "ui.p." designates p itself

TEST_F(CObjectEvents, ReleaseBridgedSparesANewcomerOfTheSameName) {
    CEventTestObject* a = addListener(ui, "a");
    a->releaseBridged();
    a->release();
    CEventTestObject* newcomer = addListener(ui, "a");
    bridge->pump();
    EXPECT_EQ(ui->findChild(CString("a")), newcomer);
}

} // namespace
} // namespace tal
