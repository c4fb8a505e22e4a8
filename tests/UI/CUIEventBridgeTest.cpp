#include "UI/CUIEventBridge.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "UI/CStdEventBridge.h"
#include "UI/ViewCreators.h"
#include "support/CEventTestTree.h"
#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace tal {

namespace {

void registerViewTags() {
    static const bool registered = [] {
        CEventTestObject::registerTags();
        if (CCreatorRegistry::instance().find(CString("ui:ui-event-bridge")) != nullptr) return true;
        return CCreatorRegistry::instance().registerTable(kViewCreatorTable) == 0;
    }();
    EXPECT_TRUE(registered);
}

std::vector<std::int32_t> ids(const CUIEventBridge& poster) {
    CArray<std::int32_t> out;
    CUIEventBridge::pendingIds(&poster, out);
    return std::vector<std::int32_t>(out.begin(), out.end());
}

// An editor tree on a pumped main loop: root, the bridge object "ui" made by its tag, and
// listeners below it whose "on" handler records the parameter "n" of every delivered call.
class UIEventBridgeTree : public ::testing::Test {
protected:
    void SetUp() override {
        registerViewTags();
        CEventTestObject::journal().clear();
        CMainLoopTimers::setCurrent(&loop);
        shared = new CObject;
        shared->initRoot(nullptr);
        CObject::setSharedObject(shared);
        root = new CObject;
        root->initRoot(new CEventRegistry);
        CObject* made = nullptr;
        ASSERT_EQ(root->addChild(made, CString("ui:ui-event-bridge"), CString("ui"), false), nullptr);
        ui = dynamic_cast<CStdEventBridge*>(made);
        ASSERT_NE(ui, nullptr);
    }
    void TearDown() override {
        if (root != nullptr) root->release();
        shared->release();
        CObject::setSharedObject(nullptr);
        CMainLoopTimers::setCurrent(nullptr);
    }

    CEventTestObject* addListener(const char* name) {
        CObject* child = nullptr;
        EXPECT_EQ(ui->addChild(child, CString("test:listener"), CString(name), false), nullptr);
        auto* listener = static_cast<CEventTestObject*>(child);
        listener->action = [this](CEventTestObject&, CAttrMap& args) -> CError* {
            CAttrValue* n = args.findValue("n");
            delivered.push_back(n != nullptr && n->convert(CAttrValue::kInt) ? n->asInt() : -1);
            return nullptr;
        };
        return listener;
    }
    static void post(CObject* listener, const char* handler, int n) {
        CAttrMap args;
        args.findOrAdd("n")->value.setInt(n);
        listener->postBridgedEvent(CString("sender"), CString(handler), args);
    }

    CPumpedMainLoopTimers loop;
    CObject* shared = nullptr;
    CObject* root = nullptr;
    CStdEventBridge* ui = nullptr;
    std::vector<int> delivered;
};

} // namespace

TEST_F(UIEventBridgeTree, TheBridgeObjectCarriesItsPosterForEveryObjectBelowIt) {
    CEventTestObject* a = addListener("a");
    std::thread::id thread;
    CObjectEventBridge* bridge = nullptr;
    EXPECT_EQ(a->findEventBridge(thread, bridge), ui);
    EXPECT_EQ(bridge, &ui->poster());
    EXPECT_EQ(thread, std::this_thread::get_id());
    EXPECT_TRUE(CUIEventBridge::isRegistered(&ui->poster()));
}

TEST_F(UIEventBridgeTree, TheFirstTwoPostsOfTheProcessGetIdsOneAndTwoWhateverThePosters) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");   // re-runs this test in a fresh process
    EXPECT_EXIT(
        {
            CObjectEventBridgeHandler otherOwner;
            CUIEventBridge other(otherOwner);
            CAttrMap args;
            (void)ui->poster().postEvent(args);   // result is always null
            (void)other.postEvent(args);
            const bool ok = ids(ui->poster()) == std::vector<std::int32_t>{1} &&
                            ids(other) == std::vector<std::int32_t>{2} && CUIEventBridge::nextEventId() == 3;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(UIEventBridgeTree, TwoPendingPostsAreBothDeliveredWithTheirOwnParametersAndOnlyOnce) {
    CEventTestObject* a = addListener("a");
    post(a, "on", 7);
    post(a, "on", 8);
    EXPECT_EQ(ids(ui->poster()).size(), 2u);
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(loop.pump(), 2);
    EXPECT_EQ(delivered, (std::vector<int>{7, 8}));
    EXPECT_TRUE(ids(ui->poster()).empty());
    // A second delivery of the same ids finds nothing.
    CUIEventBridge* poster = &ui->poster();
    EXPECT_EQ(CUIEventBridge::deliverPostedEvent(poster, 1), nullptr);
    EXPECT_EQ(delivered.size(), 2u);
}

TEST_F(UIEventBridgeTree, ChangingThePostersMapAfterPostingChangesNothingDelivered) {
    CEventTestObject* a = addListener("a");
    CAttrMap args;
    args.findOrAdd("n")->value.setInt(1);
    a->postBridgedEvent(CString("sender"), CString("on"), args);
    args.findOrAdd("n")->value.setInt(2);
    args.clear();
    loop.pump();
    EXPECT_EQ(delivered, (std::vector<int>{1}));
}

TEST_F(UIEventBridgeTree, EventsPendingAtReleaseAreFreedUndeliveredAndLaterPostsAreDropped) {
    CEventTestObject* a = addListener("a");
    post(a, "on", 1);
    post(a, "on", 2);
    const CUIEventBridge* poster = &ui->poster();
    ASSERT_EQ(loop.postedCallCount(), 2);
    root->release();   // the carrier is released with its tree; its pending maps are freed
    root = nullptr;
    EXPECT_FALSE(CUIEventBridge::isRegistered(poster));
    EXPECT_EQ(loop.pump(), 2);   // the deliveries run but find nothing
    EXPECT_TRUE(delivered.empty());
    EXPECT_TRUE(CEventTestObject::journal().empty());
}

TEST(UIEventBridge, APostToAnUnregisteredPosterIsDroppedWithoutAMessage) {
    CPumpedMainLoopTimers loop;
    CMainLoopTimers::setCurrent(&loop);
    CObjectEventBridgeHandler owner;
    CUIEventBridge poster(owner);
    poster.unregister();
    poster.unregister();
    CLogCapture log;
    CAttrMap args;
    args.findOrAdd("n")->value.setInt(1);
    EXPECT_EQ(poster.postEvent(args), nullptr);
    EXPECT_TRUE(ids(poster).empty());
    EXPECT_EQ(loop.postedCallCount(), 0);
    EXPECT_TRUE(log.lines().empty());
    CMainLoopTimers::setCurrent(nullptr);
}

TEST_F(UIEventBridgeTree, ACallWhoseListenerWasReplacedUnderTheSameNameRunsNothing) {
    CEventTestObject* a = addListener("a");
    post(a, "on", 1);
    a->release();
    CEventTestObject* again = addListener("a");
    EXPECT_EQ(again->getFullName(), CString("ui.a"));
    EXPECT_EQ(loop.pump(), 1);
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(again->calls, 0);
}

TEST_F(UIEventBridgeTree, AFailingCallIsLoggedEndingWithTheBridgesTraceLine) {
    CEventTestObject* a = addListener("a");
    post(a, "fail", 1);
    CLogCapture log;
    loop.pump();
    const std::vector<std::string> lines = log.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines.front().find("Handler failed."), std::string::npos);
    EXPECT_EQ(lines.back().rfind("UI/CUIEventBridge(", 0), 0u) << lines.back();
}

TEST_F(UIEventBridgeTree, TheIdCounterWrapsAroundAndSkipsZeroAndIdsStillPending) {
    CEventTestObject* a = addListener("a");
    CUIEventBridge::setNextEventId(1);
    post(a, "on", 1);   // id 1
    post(a, "on", 2);   // id 2
    CUIEventBridge::setNextEventId(0xFFFFFFFEu);
    post(a, "on", 3);   // the two largest counter values: ids -2 and -1
    post(a, "on", 4);
    post(a, "on", 5);   // 0 is no id and 1, 2 still wait: the first free one is 3
    EXPECT_EQ(ids(ui->poster()), (std::vector<std::int32_t>{-2, -1, 1, 2, 3}));
    EXPECT_EQ(loop.pump(), 5);
    EXPECT_EQ(delivered, (std::vector<int>{1, 2, 3, 4, 5}));
}

// Four threads post 10,000 calls each while the main thread pumps; every call runs exactly once,
// on the main thread. The posting threads fill their own maps; they never touch the tree.
TEST_F(UIEventBridgeTree, ConcurrentPostsFromFourThreadsRunExactlyOnceOnThePumpedLoop) {
    constexpr int kThreads = 4;
    constexpr int kPosts = 10000;
    CEventTestObject* a = addListener("a");
    const std::thread::id mainThread = std::this_thread::get_id();
    bool offThread = false;
    a->action = [&](CEventTestObject&, CAttrMap& args) -> CError* {
        offThread = offThread || std::this_thread::get_id() != mainThread;
        CAttrValue* n = args.findValue("n");
        delivered.push_back(n != nullptr && n->convert(CAttrValue::kInt) ? n->asInt() : -1);
        return nullptr;
    };
    CAttrMap probe;
    a->postBridgedEvent(CString("sender"), CString("on"), probe);   // enters a in the registry by id
    loop.pump();
    delivered.clear();
    const std::int32_t listenerId = a->objectId();
    CUIEventBridge& poster = ui->poster();
    std::atomic<int> finished{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            CAttrMap args;
            args.findOrAdd("listener-id")->value.setInt(listenerId);
            args.findOrAdd("listener-proc")->value.setText(CString("on"));
            for (int i = 0; i < kPosts; ++i) {
                args.findOrAdd("n")->value.setInt(t * kPosts + i);
                EXPECT_EQ(poster.postEvent(args), nullptr);
            }
            finished.fetch_add(1, std::memory_order_release);
        });
    }
    while (finished.load(std::memory_order_acquire) < kThreads) loop.pump();
    for (std::thread& th : posters) th.join();
    loop.pump();
    EXPECT_FALSE(offThread);
    ASSERT_EQ(delivered.size(), std::size_t(kThreads * kPosts));
    std::vector<int> seen(kThreads * kPosts, 0);
    for (int n : delivered) {
        ASSERT_GE(n, 0);
        ASSERT_LT(n, kThreads * kPosts);
        ++seen[n];
    }
    for (int n = 0; n < kThreads * kPosts; ++n) ASSERT_EQ(seen[n], 1) << "call " << n;
    // Each thread's calls arrive in its own posting order.
    std::vector<int> last(kThreads, -1);
    for (int n : delivered) {
        EXPECT_GT(n, last[n / kPosts]);
        last[n / kPosts] = n;
    }
    EXPECT_TRUE(ids(poster).empty());
}

namespace {

class CCountingJob : public CWorkerThread {
public:
    explicit CCountingJob(std::atomic<int>& runs) : mRuns(runs) {}
    CError* run() override {
        mRuns.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }

private:
    std::atomic<int>& mRuns;
};

// One round of a pool: three jobs, woken, waited for, workers back to the idle list.
bool runPoolRound(std::atomic<int>& runs) {
    CWorkerThreadPool pool;
    for (int j = 0; j < 3; ++j) {
        auto* job = new CCountingJob(runs);
        if (CError* err = pool.addThread(job)) {
            delete err;
            delete job;
            return false;
        }
    }
    pool.wakeAll();
    CError* err = pool.waitAll(true);
    const bool ok = err == nullptr;
    delete err;
    return ok;
}

} // namespace

// Closing one editor (its poster goes) while another editor's pool runs rounds on another thread:
// the idle workers go, the running pool keeps its workers, and every later round starts new ones.
TEST(UIEventBridge, ConcurrentClosingOneEditorLeavesAnotherEditorsPoolWorking) {
    constexpr int kRounds = 200;
    std::atomic<int> runs{0};
    std::atomic<bool> poolOk{true};
    ASSERT_TRUE(runPoolRound(runs));
    EXPECT_GT(CWorkerThreadPool::getIdleWorkerCount(), 0);
    {
        CObjectEventBridgeHandler owner;
        CUIEventBridge closing(owner);
    }
    EXPECT_EQ(CWorkerThreadPool::getIdleWorkerCount(), 0);
    std::thread other([&] {
        for (int r = 0; r < kRounds; ++r)
            if (!runPoolRound(runs)) poolOk = false;
    });
    for (int e = 0; e < 50; ++e) {
        CObjectEventBridgeHandler owner;
        CUIEventBridge closing(owner);
    }
    other.join();
    EXPECT_TRUE(poolOk.load());
    EXPECT_EQ(runs.load(), 3 * (kRounds + 1));
    CWorkerThreadPool::releaseIdleWorkers();
}

} // namespace tal
