#include "Core/CUpdateNotifier.h"

#include "Core/CUpdateListener.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

using ::testing::ElementsAre;

// Records its name in a shared journal for every update; an optional action runs afterwards.
class CJournalListener : public CUpdateListener {
public:
    CJournalListener(std::vector<std::string>& journal, std::string name) : mJournal(journal), mName(std::move(name)) {}
    ~CJournalListener() override { detach(); }
    void update(const CUpdateRecord*) override {
        mJournal.push_back(mName);
        if (action) action();
    }
    std::function<void()> action;

private:
    std::vector<std::string>& mJournal;
    std::string mName;
};

CUpdateRecord recordFor(std::int64_t key) { return CUpdateRecord{nullptr, key}; }

// A subclass that leaves detaching to the base is a fault (a notification could reach it while its
// parts go away): the base takes it out of the notifier and logs it, and debug builds stop there.
// A subclass that detaches first leaves nothing in the log.
TEST(CUpdateListener, DestroyedWhileAttachedIsReportedAndTakenOut) {
    class CForgetful : public CUpdateListener {
    public:
        void update(const CUpdateRecord*) override {}
    };
    CUpdateNotifier notifier;
    CLogCapture log;
    {
        std::vector<std::string> journal;
        CJournalListener careful(journal, "careful");
        careful.setNotifier(&notifier, 5);
    }
    EXPECT_TRUE(log.lines().empty());
    EXPECT_DEBUG_DEATH(
        {
            auto* forgetful = new CForgetful;
            forgetful->setNotifier(&notifier, 5);
            delete forgetful;
        },
        "detach");
    EXPECT_EQ(notifier.listenerCount(5), 0);
#ifdef NDEBUG
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("must call detach() first"), std::string::npos) << log.lines()[0];
#endif
}

TEST(CUpdateNotifier, StripeHashMatchesTheReferenceForFixedAddresses) {
    // Reference values from an arbitrary-precision evaluation of the mixing steps:
    // x = a ^ 0x01d2ee0ae40a48dc; (hi, lo) = x * 0x4ef2e8526fea8bc8; b = hi + 0x4ef2e8526fea8bc9;
    // (hi2, lo2) = (lo ^ b) * b; stripe = (lo2 ^ (b + hi2)) & 63
    struct Case { std::uintptr_t address; int stripe; };
    for (const Case& c : std::vector<Case>{{0x0ull, 57}, {0x10ull, 36}, {0x7fff12345670ull, 27}, {0x55d0c0ffee00ull, 51}, {0xffffffffffffffffull, 63}, {0x1000ull, 17}}) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(CUpdateNotifier::stripeOf(reinterpret_cast<const void*>(c.address)), c.stripe);
    }
}

TEST(CUpdateNotifier, NullRecordReachesKeyZeroOnly) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    CJournalListener zero(journal, "zero"), seven(journal, "seven");
    zero.setNotifier(&notifier, 0);
    seven.setNotifier(&notifier, 7);
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("zero"));
    const CUpdateRecord r = recordFor(7);
    notifier.notifyUpdate(&r);
    EXPECT_THAT(journal, ElementsAre("zero", "seven"));
}

TEST(CUpdateNotifier, ListenersOfAKeyRunInAttachmentOrder) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    auto b = std::make_unique<CJournalListener>(journal, "b");
    auto a = std::make_unique<CJournalListener>(journal, "a");
    auto c = std::make_unique<CJournalListener>(journal, "c");
    for (CJournalListener* l : {b.get(), a.get(), c.get()}) l->setNotifier(&notifier, 3);
    const CUpdateRecord r = recordFor(3);
    notifier.notifyUpdate(&r);
    EXPECT_THAT(journal, ElementsAre("b", "a", "c"));
}

TEST(CUpdateNotifier, KeyDisappearsWithItsLastListenerAndReattachingMovesKeys) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    CJournalListener l(journal, "l");
    l.setNotifier(&notifier, 1);
    EXPECT_EQ(notifier.listenerCount(1), 1);
    l.setNotifier(&notifier, 2);
    EXPECT_EQ(notifier.listenerCount(1), 0);
    EXPECT_EQ(l.key(), 2);
    const CUpdateRecord r1 = recordFor(1), r2 = recordFor(2);
    notifier.notifyUpdate(&r1);
    notifier.notifyUpdate(&r2);
    EXPECT_THAT(journal, ElementsAre("l"));
    l.detach();
    EXPECT_EQ(notifier.listenerCount(2), 0);
    EXPECT_EQ(l.key(), 2);  // detaching keeps the key
}

TEST(CUpdateNotifier, DestroyedNotifierDetachesWithoutCallingAndListenersForgetIt) {
    std::vector<std::string> journal;
    CJournalListener l(journal, "l");
    {
        CUpdateNotifier notifier;
        l.setNotifier(&notifier, 5);
    }
    EXPECT_EQ(l.notifier(), nullptr);
    EXPECT_EQ(l.key(), 5);
    EXPECT_TRUE(journal.empty());
    l.detach();  // touches no notifier
}

TEST(CUpdateNotifier, DestroyedListenerIsSkipped) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    CJournalListener kept(journal, "kept");
    kept.setNotifier(&notifier, 0);
    {
        CJournalListener gone(journal, "gone");
        gone.setNotifier(&notifier, 0);
    }
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("kept"));
}

TEST(CUpdateNotifier, PointerThatIsNoLiveNotifierIsOnlyRecorded) {
    std::vector<std::string> journal;
    CJournalListener l(journal, "l");
    alignas(CUpdateNotifier) unsigned char notANotifier[sizeof(CUpdateNotifier)] = {};
    auto* fake = reinterpret_cast<CUpdateNotifier*>(notANotifier);
    l.setNotifier(fake, 9);
    EXPECT_EQ(l.notifier(), fake);
    EXPECT_EQ(l.key(), 0);
    l.detach();
    EXPECT_EQ(l.notifier(), nullptr);
}

TEST(CUpdateNotifier, UpdateMayDetachOrDestroyOtherListenersOfTheSameNotification) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    auto a = std::make_unique<CJournalListener>(journal, "a");
    auto b = std::make_unique<CJournalListener>(journal, "b");
    auto c = std::make_unique<CJournalListener>(journal, "c");
    for (CJournalListener* l : {a.get(), b.get(), c.get()}) l->setNotifier(&notifier, 0);
    a->action = [&] { b.reset(); };       // destroyed in the middle of the loop
    c->action = [&] { c->detach(); };     // detaches itself
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("a", "c"));
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("a", "c", "a"));
}

TEST(CUpdateNotifier, NotifierDestroyedInsideItsOwnUpdateEndsTheLoop) {
    std::vector<std::string> journal;
    auto* notifier = new CUpdateNotifier;
    CJournalListener a(journal, "a"), b(journal, "b");
    a.setNotifier(notifier, 0);
    b.setNotifier(notifier, 0);
    a.action = [&] { delete notifier; };
    notifier->notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("a"));
    EXPECT_EQ(a.notifier(), nullptr);
    EXPECT_EQ(b.notifier(), nullptr);
}

TEST(CUpdateNotifier, ListenerAttachedDuringANotificationWaitsForTheNext) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    CJournalListener a(journal, "a"), late(journal, "late");
    a.setNotifier(&notifier, 0);
    a.action = [&] { late.setNotifier(&notifier, 0); };
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("a"));
    a.action = nullptr;
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("a", "a", "late"));
}

TEST(CUpdateNotifier, NestedNotificationOfTheSameKeyKeepsTheOuterLoopSound) {
    std::vector<std::string> journal;
    CUpdateNotifier notifier;
    auto a = std::make_unique<CJournalListener>(journal, "a");
    auto b = std::make_unique<CJournalListener>(journal, "b");
    a->setNotifier(&notifier, 0);
    b->setNotifier(&notifier, 0);
    int depth = 0;
    a->action = [&] {
        if (++depth == 1) {
            notifier.notifyUpdate(nullptr);  // a again (depth 2: nothing more), then b
            b.reset();                       // gone before the outer loop reaches it
        }
    };
    notifier.notifyUpdate(nullptr);
    EXPECT_THAT(journal, ElementsAre("a", "a", "b"));
    EXPECT_EQ(notifier.listenerCount(0), 1);
}

TEST(CUpdateNotifier, DerivedKeyIsTakenFromTheParameter) {
    // A notifier whose keys are the parameter times ten, closed first in its own destructor.
    class CTimesTen : public CUpdateNotifier {
    public:
        ~CTimesTen() override { closeNotifier(); }
        std::int64_t getListenerKey(std::intptr_t param) override { return std::int64_t(param) * 10; }
    };
    std::vector<std::string> journal;
    CJournalListener l(journal, "l");
    {
        CTimesTen notifier;
        l.setNotifier(&notifier, 4);
        EXPECT_EQ(l.key(), 40);
        const CUpdateRecord r4 = recordFor(4), r40 = recordFor(40);
        notifier.notifyUpdate(&r4);
        notifier.notifyUpdate(&r40);
        EXPECT_THAT(journal, ElementsAre("l"));
    }
    EXPECT_EQ(l.notifier(), nullptr);
}

// Threads create notifiers and listeners, attach listeners to notifiers of any thread (live, dying
// or gone), notify their own notifiers and destroy both in every order. Counts nothing exact: the
// checks are ThreadSanitizer's and AddressSanitizer's, plus that every notifier ends with no
// listeners once all listeners are gone.
TEST(CUpdateNotifier, ConcurrentCreateAttachNotifyDestroy) {
    constexpr int kThreads = 6, kSlots = 16, kRounds = 3000;
    std::atomic<CUpdateNotifier*> slots[kSlots] = {};
    std::atomic<long> updates{0};

    class CCountingListener : public CUpdateListener {
    public:
        explicit CCountingListener(std::atomic<long>& count) : mCount(count) {}
        ~CCountingListener() override { detach(); }
        void update(const CUpdateRecord*) override { mCount.fetch_add(1, std::memory_order_relaxed); }

    private:
        std::atomic<long>& mCount;
    };

    auto work = [&](unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<std::unique_ptr<CUpdateNotifier>> own;
        std::vector<std::unique_ptr<CCountingListener>> listeners;
        for (int round = 0; round < kRounds; ++round) {
            switch (rng() % 6) {
            case 0: {  // publish a new notifier, taking back whatever this thread published there
                own.push_back(std::make_unique<CUpdateNotifier>());
                slots[rng() % kSlots].store(own.back().get(), std::memory_order_release);
                break;
            }
            case 1:
                listeners.push_back(std::make_unique<CCountingListener>(updates));
                [[fallthrough]];
            case 2:
                if (!listeners.empty())
                    listeners[rng() % listeners.size()]->setNotifier(slots[rng() % kSlots].load(std::memory_order_acquire),
                                                                     std::intptr_t(rng() % 3));
                break;
            case 3:
                if (!own.empty()) {
                    const CUpdateRecord r{nullptr, std::int64_t(rng() % 3)};
                    own[rng() % own.size()]->notifyUpdate(&r);
                }
                break;
            case 4:
                if (!own.empty()) {
                    const std::size_t i = rng() % own.size();
                    own[i] = std::move(own.back());
                    own.pop_back();
                }
                break;
            case 5:
                if (!listeners.empty()) {
                    const std::size_t i = rng() % listeners.size();
                    listeners[i] = std::move(listeners.back());
                    listeners.pop_back();
                }
                break;
            }
        }
        listeners.clear();
        return own;  // notifiers outlive the other threads' listeners
    };

    std::vector<std::vector<std::unique_ptr<CUpdateNotifier>>> kept(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { kept[t] = work(1234u + unsigned(t)); });
    for (std::thread& th : threads) th.join();
    for (auto& list : kept)
        for (auto& n : list)
            for (std::int64_t key = 0; key < 3; ++key) EXPECT_EQ(n->listenerCount(key), 0);
    EXPECT_GT(updates.load(), 0);
}

} // namespace
} // namespace tal
