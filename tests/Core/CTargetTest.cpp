#include "Core/CTarget.h"

#include "support/CEventTestTree.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>

namespace tal {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using CTargetTest = CEventTestTree;

// The owner's "on" handler counts the change events (journal "<name>:?" since no event-name is set).
TEST_F(CTargetTest, ResolvesThroughTheOwnersAttributeAndReportsEachChange) {
    CEventTestObject* owner = addListener(ui, "owner");
    CEventTestObject* first = addListener(ui, "first");
    CEventTestObject* second = addListener(ui, "second");
    ASSERT_EQ(owner->setAttr(CString("peer"), CString("ui.first"), true), nullptr);
    CTarget<CEventTestObject> t;
    t.init(owner, CString(), CString("on"), nullptr, CString("peer"));
    EXPECT_EQ(owner->calls, 1);  // once at init, nothing resolved
    EXPECT_EQ(t.cachedTarget, nullptr);
    EXPECT_EQ(t.resolve(), first);
    EXPECT_EQ(t.get(), first);
    EXPECT_EQ(owner->calls, 2);  // the change to first, not the repeat
    ASSERT_EQ(owner->setAttr(CString("peer"), CString("ui.second"), true), nullptr);
    EXPECT_EQ(t.resolve(), second);
    EXPECT_EQ(owner->calls, 3);
    second->release();
    EXPECT_EQ(t.resolve(), nullptr);
    EXPECT_EQ(owner->calls, 4);
}

TEST_F(CTargetTest, ObjectOfAnotherClassCountsAsMissingAndIsLoggedWhenRequired) {
    CLogCapture log;
    CEventTestObject* owner = addListener(ui, "owner");
    CTarget<CEventTestObject> t;
    t.init(owner, CString("ui"), CString(), nullptr, CString());  // "ui" is a bridge handler
    t.isRequired = true;
    EXPECT_EQ(t.resolve(), nullptr);
    EXPECT_THAT(log.lines(), ElementsAre("Target object not found: ui (attr: )", "Owner: ui.owner"));
    CTarget<CObject> any;
    any.init(owner, CString("ui"), CString(), nullptr, CString());
    EXPECT_EQ(any.resolve(), ui);
}

TEST_F(CTargetTest, GetOnAnUnboundTargetLogsTheNullWithoutOwner) {
    CLogCapture log;
    CTarget<CObject> t;
    EXPECT_EQ(t.get(), nullptr);
    EXPECT_THAT(log.lines(), ElementsAre("NULL pointer usage detected!", "ObjectName: "));
}

TEST_F(CTargetTest, BindingsFollowTheDesignatedNameAcrossInitAndEndWithReset) {
    CEventTestObject* owner = addListener(ui, "owner");
    CTarget<CObject> t;
    t.listenEvent(CString("change"), CString("on"));  // recorded only: unbound
    EXPECT_TRUE(owner->listenRegistrations().isEmpty());
    t.init(owner, CString("ui.a"), CString(), nullptr, CString());
    CEventTestObject* a = addListener(ui, "a");  // created after the binding
    ASSERT_EQ(a->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(owner->calls, 1);
    t.init(owner, CString("ui.b"), CString(), nullptr, CString());  // moves the binding
    CEventTestObject* b = addListener(ui, "b");
    ASSERT_EQ(a->fireEvent(CString("change"), false), nullptr);
    ASSERT_EQ(b->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(owner->calls, 2);
    t.reset();
    ASSERT_EQ(b->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(owner->calls, 2);
    EXPECT_TRUE(owner->listenRegistrations().isEmpty());
}

TEST_F(CTargetTest, ChangeEventRunsOnTheReceiverAndErrorsAreLogged) {
    CLogCapture log;
    CEventTestObject* owner = addListener(ui, "owner");
    CEventTestObject* receiver = addListener(ui, "receiver");
    CTarget<CObject> t;
    t.init(owner, CString("ui.receiver"), CString("on"), receiver, CString());
    EXPECT_EQ(receiver->calls, 1);
    EXPECT_EQ(owner->calls, 0);
    CTarget<CObject> bad;
    bad.init(owner, CString("ui"), CString("no-such-event"), nullptr, CString());
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], "Unknown event 'no-such-event'.");
}

TEST_F(CTargetTest, ViewAreaUpdateBindingAsksEachNewTargetOnce) {
    CEventTestObject* owner = addListener(ui, "owner");
    CEventTestObject* view = addListener(ui, "view");
    CTarget<CObject> t;
    t.listenEvent(CString("view-area-update"), CString("on"));
    t.init(owner, CString("ui.view"), CString(), nullptr, CString());
    // The test object's scheme has no "request-view-area-updates": each request logs an error.
    CLogCapture log;
    EXPECT_EQ(t.resolve(), view);
    EXPECT_EQ(t.resolve(), view);
    EXPECT_EQ(log.lines().size(), 2u);  // one request: message and trace line
    EXPECT_EQ(log.lines()[0], "Unknown event 'request-view-area-updates'.");
}

TEST_F(CTargetTest, ListenEventTwiceKeepsOneBindingWithTheSecondHandler) {
    CTarget<CObject> t;
    t.listenEvent(CString("change"), CString("on"));
    t.listenEvent(CString("change"), CString("plain"));
    ASSERT_EQ(t.bindings.count(), 1);
    EXPECT_EQ(text(t.bindings.first()->value), "plain");
    EXPECT_FALSE(t.wantsViewAreaUpdates);
    EXPECT_THAT(CEventTestObject::journal(), IsEmpty());
}

} // namespace
} // namespace tal
