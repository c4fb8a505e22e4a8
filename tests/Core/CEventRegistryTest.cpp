#include "Core/CEventRegistry.h"

#include "Core/CError.h"
#include "Core/CNotifyServer.h"
#include "support/CEventTestTree.h"

#include <gmock/gmock.h>

#include <thread>

namespace tal {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using CEventRegistryDispatch = CEventTestTree;

const CString kOn("on");

std::string argText(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? text(v->asText()) : "<absent>";
}

TEST(CEventRegistry, IdsAscendAndObjectIdsStartAtTheRoot) {
    CEventRegistry* first = new CEventRegistry;
    CEventRegistry* second = new CEventRegistry;
    EXPECT_EQ(second->id(), first->id() + 1);
    EXPECT_EQ(first->takeObjectId(), 0);
    EXPECT_EQ(first->takeObjectId(), 1);
    delete first;
    delete second;
}

TEST_F(CEventRegistryDispatch, RootHasIdZeroAndChildrenFollowInCreationOrder) {
    EXPECT_EQ(root->objectId(), 0);
    EXPECT_EQ(ui->objectId(), 1);
    EXPECT_EQ(addListener(ui, "a")->objectId(), 2);
    EXPECT_EQ(root->getEventRegistryId(), registry().id());
}

TEST_F(CEventRegistryDispatch, SenderWithoutRegistrationsLeavesTheMapUnchanged) {
    CEventTestObject* sender = addListener(ui, "s");
    CAttrMap args;
    EXPECT_EQ(sender->fireEvent(CString("change"), &args, false), nullptr);
    EXPECT_TRUE(args.isEmpty());
}

TEST_F(CEventRegistryDispatch, DirectListenersRunOnceInCreationOrderWhateverTheRegistrationOrder) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    CEventTestObject* c = addListener(ui, "c");
    for (CEventTestObject* l : {c, a, b}) l->listenObject(CString("ui.s"), CString("change"), kOn);
    CAttrMap args;
    ASSERT_EQ(sender->fireEvent(CString("change"), &args, false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:change", "b:change", "c:change"));
    EXPECT_EQ(argText(args, "sender"), "ui.s");
    EXPECT_EQ(argText(args, "event-name"), "change");
    EXPECT_EQ(bridge->pendingCount(), 0);
}

TEST_F(CEventRegistryDispatch, ListenerWithoutBridgeAboveIsNeverCalled) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* outside = addListener(root, "outside");  // beside "ui", no carrier above it
    outside->listenObject(CString("ui.s"), CString("change"), kOn);
    EXPECT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    EXPECT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(bridge->pump(), 0);
    EXPECT_EQ(outside->calls, 0);
}

TEST_F(CEventRegistryDispatch, SubscriptionHoldsByNameBeforeTheSenderExists) {
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.later"), CString("change"), kOn);
    CEventTestObject* later = addListener(ui, "later");
    ASSERT_EQ(later->fireEvent(CString("change"), false), nullptr);
    EXPECT_EQ(a->calls, 1);
}

TEST_F(CEventRegistryDispatch, HandlerThatUnregistersALaterListenerPreventsItsCall) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    CEventTestObject* c = addListener(ui, "c");
    for (CEventTestObject* l : {a, b, c}) l->listenObject(CString("ui.s"), CString("change"), kOn);
    a->action = [b](CEventTestObject&, CAttrMap&) {
        b->unlistenObject(CString("ui.s"), CString("change"));
        return nullptr;
    };
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:change", "c:change"));
}

TEST_F(CEventRegistryDispatch, HandlerThatReleasesALaterListenerPreventsItsCall) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    for (CEventTestObject* l : {a, b}) l->listenObject(CString("ui.s"), CString("change"), kOn);
    a->action = [b](CEventTestObject&, CAttrMap&) {
        b->release();
        return nullptr;
    };
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:change"));
}

TEST_F(CEventRegistryDispatch, UnregisteringEveryListenerDuringDispatchRemovesTheSender) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    for (CEventTestObject* l : {a, b}) l->listenObject(CString("ui.s"), CString("change"), kOn);
    a->action = [a, b](CEventTestObject&, CAttrMap&) {
        a->unlistenAll();
        b->unlistenAll();
        return nullptr;
    };
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:change"));
    EXPECT_FALSE(registry().hasSender(CString("ui.s")));
}

TEST_F(CEventRegistryDispatch, NestedFireRunsTheEnclosingCallsFirstWithTheirOwnArguments) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    a->listenObject(CString("ui.s"), CString("outer"), kOn);
    b->listenObject(CString("ui.s"), CString("outer"), kOn);
    a->listenObject(CString("ui.s"), CString("inner"), kOn);
    bool fired = false;
    a->action = [&](CEventTestObject&, CAttrMap& args) -> CError* {
        if (fired || argText(args, "event-name") != "outer") return nullptr;
        fired = true;
        return sender->fireEvent(CString("inner"), false);
    };
    ASSERT_EQ(sender->fireEvent(CString("outer"), false), nullptr);
    // b's call of the outer event runs first, and sees the outer event's map, not the inner one.
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:outer", "b:outer", "a:inner"));
}

TEST_F(CEventRegistryDispatch, HandlerErrorEndsTheDispatchAndItsCallsNeverRunLater) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    a->listenObject(CString("ui.s"), CString("change"), CString("fail"));
    b->listenObject(CString("ui.s"), CString("change"), kOn);
    b->listenObject(CString("ui.s"), CString("other"), kOn);
    CError* err = sender->fireEvent(CString("change"), false);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(text(err->message()), "Handler failed.");
    EXPECT_THAT(text(err->line(err->lineCount() - 1)), ::testing::EndsWith(" // ui.s"));
    delete err;
    EXPECT_THAT(CEventTestObject::journal(), IsEmpty());
    // The next dispatch of the sender runs only its own calls, with its own map.
    ASSERT_EQ(sender->fireEvent(CString("other"), false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("b:other"));
}

TEST_F(CEventRegistryDispatch, RegisteringTwiceStoresOneRegistration) {
    CEventTestObject* a = addListener(ui, "a");
    registry().addListener(a, CString("on"), CString("ui.s"), CString("change"),
                           a->schemeEventHandlers()->find(CString("plain"))->value);
    registry().addListener(a, CString("on"), CString("ui.s"), CString("change"),
                           a->schemeEventHandlers()->find(kOn)->value);
    CEventTestObject* sender = addListener(ui, "s");
    ASSERT_EQ(sender->fireEvent(CString("change"), false), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:change"));
    registry().removeListener(a, CString("ui.s"), CString("change"));
    EXPECT_FALSE(registry().hasSender(CString("ui.s")));
}

TEST_F(CEventRegistryDispatch, ForceBridgedPostsEveryCallWithItsListenerEntries) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    a->listenObject(CString("ui.s"), CString("change"), kOn);
    b->listenObject(CString("ui.s"), CString("change"), CString("plain"));
    std::vector<std::string> seen;
    a->action = [&](CEventTestObject&, CAttrMap& args) {
        seen = {argText(args, "sender"), argText(args, "listener"), argText(args, "listener-id"),
                argText(args, "listener-proc")};
        return nullptr;
    };
    ASSERT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    EXPECT_THAT(CEventTestObject::journal(), IsEmpty());
    EXPECT_EQ(bridge->pendingCount(), 2);
    EXPECT_EQ(bridge->pump(), 2);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("a:change", "b:plain"));
    EXPECT_EQ(seen, (std::vector<std::string>{"ui.s", "ui.a", std::to_string(a->objectId()), "on"}));
}

TEST_F(CEventRegistryDispatch, PostedCallOfAListenerReleasedBeforeThePumpIsDropped) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    CEventTestObject* b = addListener(ui, "b");
    a->listenObject(CString("ui.s"), CString("change"), kOn);
    b->listenObject(CString("ui.s"), CString("change"), kOn);
    ASSERT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    a->release();
    EXPECT_EQ(bridge->pump(), 2);
    EXPECT_THAT(CEventTestObject::journal(), ElementsAre("b:change"));
}

TEST_F(CEventRegistryDispatch, PostedCallDoesNotReachANewcomerOfTheSameName) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.s"), CString("change"), kOn);
    ASSERT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    a->release();
    CEventTestObject* newcomer = addListener(ui, "a");
    ASSERT_EQ(text(newcomer->getFullName()), "ui.a");
    bridge->pump();
    EXPECT_EQ(newcomer->calls, 0);
}

TEST_F(CEventRegistryDispatch, FirstUnnamedChildReceivesPostedCalls) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* p = addListener(ui, "p");
    CEventTestObject* unnamed = addListener(p, "");
    ASSERT_EQ(text(unnamed->getFullName()), "ui.p.");
    unnamed->listenObject(CString("ui.s"), CString("change"), kOn);
    ASSERT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    bridge->pump();
    EXPECT_EQ(unnamed->calls, 1);
    EXPECT_EQ(p->calls, 0);
}

TEST_F(CEventRegistryDispatch, UnregisteredBridgeDropsWaitingAndLaterCalls) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.s"), CString("change"), kOn);
    ASSERT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    bridge->unregister();
    ASSERT_EQ(sender->fireEvent(CString("change"), true), nullptr);
    EXPECT_EQ(bridge->pump(), 0);
    EXPECT_EQ(a->calls, 0);
}

TEST_F(CEventRegistryDispatch, ConcurrentFireFromAnotherThreadIsPostedToTheBridgeThread) {
    CEventTestObject* sender = addListener(ui, "s");
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.s"), CString("change"), kOn);
    std::thread::id ranOn;
    a->action = [&](CEventTestObject&, CAttrMap&) {
        ranOn = std::this_thread::get_id();
        return nullptr;
    };
    // Only the registry and the bridge are touched on the worker: it reads nothing of the tree
    // beyond the listener's parent chain and names, which nobody changes meanwhile.
    const CString senderName = sender->getFullName();
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            CAttrMap args;
            EXPECT_EQ(registry().dispatchEvent(senderName, CString("change"), &args, false), nullptr);
        }
    });
    int run = 0;
    while (run < 50) run += bridge->pump();
    worker.join();
    EXPECT_EQ(a->calls, 50);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(CEventRegistryDispatch, DispatchByIdGoesThroughTheBridgeAndIgnoresAGoneRegistry) {
    CEventTestObject* a = addListener(ui, "a");
    a->listenObject(CString("ui.s"), CString("change"), kOn);
    const std::int32_t id = root->getEventRegistryId();
    CAttrMap args;
    ASSERT_EQ(CNotifyServer::dispatchEventById(id, CString("ui.s"), CString("change"), &args), nullptr);
    EXPECT_EQ(a->calls, 0);
    EXPECT_EQ(bridge->pump(), 1);
    EXPECT_EQ(a->calls, 1);
    bridge.reset();
    root->release();
    root = nullptr;
    CAttrMap later;
    EXPECT_EQ(CNotifyServer::dispatchEventById(id, CString("ui.s"), CString("change"), &later), nullptr);
    EXPECT_TRUE(later.isEmpty());
}

} // namespace
} // namespace tal
