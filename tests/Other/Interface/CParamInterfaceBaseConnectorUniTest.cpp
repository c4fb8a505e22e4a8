#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "support/CLogCapture.h"
#include "support/LeBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A bare base connector; clients are registered without connector objects (replies are taken by hand).
class CParamInterfaceBaseConnectorUniTest : public ::testing::Test {
protected:
    static CByteBuffer message(const std::string& name, std::int32_t value) {
        LeBytes bytes;
        bytes.str(name).i32(value);
        return CByteBuffer(bytes.data(), bytes.size());
    }
    // The messages waiting for the client (at most limit of them), taken out, as "name:value".
    std::vector<std::string> drain(std::int32_t clientId, int limit = 1 << 30) {
        std::vector<std::string> out;
        CByteBuffer taken;
        while (int(out.size()) < limit && connector->takeBaseData(clientId, taken)) {
            const std::int32_t nameLength = std::int32_t(taken.data()[0]);
            std::int32_t value = 0;
            for (int i = 0; i < 4; ++i)
                value |= std::int32_t(taken.data()[4 + nameLength + i]) << (8 * i);
            out.push_back(std::string(reinterpret_cast<const char*>(taken.data()) + 4, nameLength) + ":" +
                          std::to_string(value));
        }
        return out;
    }

    std::unique_ptr<CObject, void (*)(CObject*)> holder{CParamInterfaceBaseConnectorUni::create(),
                                                        [](CObject* o) { o->release(); }};
    CParamInterfaceBaseConnectorUni* connector = static_cast<CParamInterfaceBaseConnectorUni*>(holder.get());
};

TEST_F(CParamInterfaceBaseConnectorUniTest, ClientIdsCountFromZeroAndAreNeverReused) {
    EXPECT_EQ(connector->registerClient(nullptr), 0);
    EXPECT_EQ(connector->registerClient(nullptr), 1);
    connector->unregisterClient(1);
    EXPECT_EQ(connector->registerClient(nullptr), 2);
    EXPECT_EQ(connector->clientCount(), 2);
}

TEST_F(CParamInterfaceBaseConnectorUniTest, BroadcastGivesEveryClientOneMessageTheLastTakesTheBuffer) {
    for (int i = 0; i < 3; ++i)
        connector->registerClient(nullptr);
    // Above 64 bytes, so the buffer owns a block: the last client must receive that very block.
    const std::string longName(80, 'x');
    CByteBuffer m = message(longName, 7);
    const std::uint8_t* block = m.data();
    connector->sendToClient(-1, m);
    EXPECT_TRUE(m.isEmpty());
    for (int id = 0; id < 3; ++id)
        EXPECT_EQ(connector->queuedCount(id), 1) << id;
    CByteBuffer taken;
    ASSERT_TRUE(connector->takeBaseData(2, taken));
    EXPECT_EQ(taken.data(), block);
    ASSERT_TRUE(connector->takeBaseData(0, taken));
    EXPECT_NE(taken.data(), block);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(taken.data()) + 4, 80), longName);
}

TEST_F(CParamInterfaceBaseConnectorUniTest, MessagesThatReachNoClientStayWithTheCaller) {
    CByteBuffer m = message("a", 1);
    connector->sendToClient(-1, m);  // nobody registered
    EXPECT_EQ(m.size(), 9);
    connector->registerClient(nullptr);
    connector->registerClient(nullptr);
    connector->sendToClient(5, m);   // not a registered id
    EXPECT_EQ(m.size(), 9);
    EXPECT_EQ(connector->queuedCount(0) + connector->queuedCount(1), 0);
}

TEST_F(CParamInterfaceBaseConnectorUniTest, AnEmptyMessageIsNeverQueued) {
    connector->registerClient(nullptr);
    CByteBuffer empty;
    connector->sendToClient(0, empty);
    connector->sendToClient(-1, empty);
    EXPECT_EQ(connector->queuedCount(0), 0);
}

TEST_F(CParamInterfaceBaseConnectorUniTest, TakeWithoutMessageReturnsFalseAndEmptiesTheBuffer) {
    connector->registerClient(nullptr);
    CByteBuffer out = message("stale", 3);
    EXPECT_FALSE(connector->takeBaseData(0, out));   // registered, nothing queued
    EXPECT_TRUE(out.isEmpty());
    out = message("stale", 3);
    EXPECT_FALSE(connector->takeBaseData(9, out));   // unknown id
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(connector->getBaseDataSize(0), 0);
}

TEST_F(CParamInterfaceBaseConnectorUniTest, RepliesArriveInQueueOrderAcrossBroadcastsAndAddressedReplies) {
    connector->registerClient(nullptr);
    connector->registerClient(nullptr);
    const struct { std::int32_t to; const char* name; std::int32_t value; } sends[] = {
        {0, "a", 1}, {-1, "b", 2}, {1, "c", 3}, {0, "d", 4}, {-1, "e", 5},
    };
    for (const auto& s : sends) {
        CByteBuffer m = message(s.name, s.value);
        connector->sendToClient(s.to, m);
    }
    EXPECT_EQ(connector->getBaseDataSize(0), 9);
    EXPECT_EQ(drain(0), (std::vector<std::string>{"a:1", "b:2", "d:4", "e:5"}));
    EXPECT_EQ(drain(1), (std::vector<std::string>{"b:2", "c:3", "e:5"}));
}

TEST_F(CParamInterfaceBaseConnectorUniTest, UnregisteringDeletesTheQueueAndLaterBroadcastsMissTheClient) {
    connector->registerClient(nullptr);
    connector->registerClient(nullptr);
    CByteBuffer m = message("a", 1);
    connector->sendToClient(-1, m);
    connector->unregisterClient(0);
    EXPECT_EQ(connector->queuedCount(0), 0);
    m = message("b", 2);
    connector->sendToClient(-1, m);
    EXPECT_TRUE(m.isEmpty());
    EXPECT_EQ(drain(0), std::vector<std::string>{});
    EXPECT_EQ(drain(1), (std::vector<std::string>{"a:1", "b:2"}));
}

TEST_F(CParamInterfaceBaseConnectorUniTest, AFullQueueDropsItsOldestMessagesAndTheCountIsLoggedOnce) {
    const std::int32_t limit = CParamInterfaceBaseConnectorUni::kMaxQueuedReplies;
    connector->registerClient(nullptr);
    connector->registerClient(nullptr);
    for (std::int32_t i = 0; i < limit + 3; ++i) {
        CByteBuffer m = message("n", i);
        connector->sendToClient(0, m);
    }
    CByteBuffer m = message("n", limit + 3);
    connector->sendToClient(-1, m);  // client 0 drops one more; client 1 has room
    EXPECT_EQ(connector->queuedCount(0), limit);
    EXPECT_EQ(connector->droppedCount(0), 4);
    EXPECT_EQ(connector->queuedCount(1), 1);
    EXPECT_EQ(connector->droppedCount(1), 0);
    CLogCapture log;
    const std::vector<std::string> first = drain(0, 1);
    EXPECT_EQ(first, std::vector<std::string>{"n:4"});  // 0 to 3 went first
    EXPECT_EQ(log.lines(), std::vector<std::string>{"4 replies to client 0 were dropped: its queue was full (" +
                                                    std::to_string(limit) + " messages)."});
    const std::vector<std::string> rest = drain(0);
    ASSERT_EQ(rest.size(), std::size_t(limit - 1));
    EXPECT_EQ(rest.back(), "n:" + std::to_string(limit + 3));
    EXPECT_EQ(log.lines().size(), 1u);  // logged once
    EXPECT_EQ(drain(1), std::vector<std::string>{"n:" + std::to_string(limit + 3)});
}

TEST_F(CParamInterfaceBaseConnectorUniTest, DropsNotYetLoggedAreLoggedWhenTheClientLeaves) {
    connector->registerClient(nullptr);
    for (std::int32_t i = 0; i < CParamInterfaceBaseConnectorUni::kMaxQueuedReplies + 2; ++i) {
        CByteBuffer m = message("n", i);
        connector->sendToClient(0, m);
    }
    CLogCapture log;
    connector->unregisterClient(0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("2 replies to client 0 were dropped", 0), 0u) << log.lines()[0];
}

TEST_F(CParamInterfaceBaseConnectorUniTest, DeliveryWithoutBaseObjectFails) {
    LeBytes bytes;
    bytes.str("listen-param");
    CError* error = connector->processClientData(bytes.data(), bytes.size());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(std::string(error->message().chars8()), "No base object defined.");
    delete error;
}

} // namespace
} // namespace tal

namespace tal {
namespace {

// One thread broadcasts numbered messages while another registers, drains and unregisters clients:
// every client sees an unbroken, increasing run of numbers (a broadcast reaches a client whole or
// not at all, and in order).
TEST_F(CParamInterfaceBaseConnectorUniTest, ConcurrentBroadcastAndRegistrationKeepRunsWhole) {
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::atomic<std::int32_t> current{-1};
    std::thread producer([&] {
        for (int i = 0; !stop.load(); ++i) {
            // Stay well below the queue limit: a dropped message would break the run.
            while (!stop.load() && connector->queuedCount(current.load()) > 4096)
                std::this_thread::yield();
            CByteBuffer m = message("n", i);
            connector->sendToClient(-1, m);
            sent.store(i + 1);
        }
    });
    int received = 0;
    bool ok = true;
    for (int cycle = 0; cycle < 200 && ok; ++cycle) {
        const std::int32_t id = connector->registerClient(nullptr);
        current.store(id);
        std::vector<int> seen;
        // A bounded take: an unbounded drain can chase a producer that refills the queue as fast as
        // it empties (as under ThreadSanitizer) and never return.
        auto take = [&] {
            for (const std::string& s : drain(id, 256))
                seen.push_back(std::stoi(s.substr(2)));
        };
        for (int round = 0; round < 4; ++round) {
            // Keep draining while waiting: the producer pauses while the queue is long.
            const int target = sent.load() + 5;
            while (sent.load() < target) {
                take();
                std::this_thread::yield();
            }
            take();
        }
        connector->unregisterClient(id);
        for (std::size_t i = 1; i < seen.size(); ++i)
            ok = ok && seen[i] == seen[i - 1] + 1;
        received += int(seen.size());
    }
    stop.store(true);
    producer.join();
    EXPECT_TRUE(ok);
    EXPECT_GT(received, 0);
}

} // namespace
} // namespace tal
