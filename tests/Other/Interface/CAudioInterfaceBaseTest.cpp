#include "Other/Interface/CAudioInterfaceBase.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Core/CError.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Other/Interface/CAudioInterfaceDataProvider.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "support/CRecordingVizProcessor.h"
#include "support/InterfaceTestTree.h"
#include "support/LeBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A shell that answers with fixed values and records the gestures and imports it is handed.
struct CFakeProvider : CAudioInterfaceDataProvider {
    std::int32_t getInternalChannelCount() const override { return 8; }
    std::int32_t getGroupCount() const override { return 4; }
    std::int32_t getInputChannelCount() const override { return 6; }
    std::int32_t getOutputChannelCount() const override { return 2; }
    std::int32_t getSidechainChannelCount() const override { return 3; }
    double getSampleRate() const override { return rate; }
    void beginParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) override {
        calls.push_back("+" + text(param->getName()) + " " + std::to_string(group) + " " + std::to_string(element));
    }
    void endParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) override {
        calls.push_back("-" + text(param->getName()) + " " + std::to_string(group) + " " + std::to_string(element));
    }
    void importChannelLabels() override { calls.push_back("import"); }
    double rate = 96000.0;
    std::vector<std::string> calls;
};

class CAudioInterfaceBaseTest : public CInterfaceTestTree {
protected:
    const char* baseTag() const override { return "audio:interface-base"; }
    void SetUp() override {
        CInterfaceTestTree::SetUp();
        audioBase = dynamic_cast<CAudioInterfaceBase*>(interfaceBase);
        ASSERT_NE(audioBase, nullptr);
        client = openEditor("editor");
        ASSERT_NE(client, nullptr);
        tick();  // the undo history that init asked for
    }
    bool request(CParamInterfaceMessageWriter& writer) { return sendAs(client, writer); }
    // A request whose payload is only the client id.
    bool ask(const char* event) {
        CParamInterfaceMessageWriter writer(event);
        writer.i32(client->clientId());
        return request(writer);
    }
    bool listenViz(std::int32_t slot, const char* item, std::int32_t handle) {
        CParamInterfaceMessageWriter writer("listen-viz");
        writer.i32(slot);
        writer.string(CString(item));
        writer.i32(handle);
        return request(writer);
    }
    bool unlistenViz(std::int32_t handle) {
        CParamInterfaceMessageWriter writer("unlisten-viz");
        writer.i32(handle);
        return request(writer);
    }
    std::vector<std::uint8_t> takeBytes() { return CInterfaceTestTree::takeBytes(client->clientId()); }
    // The item's "-enable" value after the audio thread took the pending requests; -1 without one.
    double enabled(const char* item) {
        vizCollector->runHostBlockRequests();
        CAudioParam* param = collector->findParam(CString(item, "-enable"));
        if (param == nullptr)
            return -1.0;
        CAudioParamLock lock(param);
        return param->getCurrent().getElementCount(0) > 0 ? param->getCurrent().getValue(0, 0, 0) : -1.0;
    }

    CAudioInterfaceBase* audioBase = nullptr;
    CParamInterfaceClient* client = nullptr;
};

TEST_F(CAudioInterfaceBaseTest, AnswersWithTheDefaultsWithoutAProviderAndTheProvidersValuesWithOne) {
    struct Row {
        const char* request;
        std::vector<std::uint8_t> withoutProvider, withProvider;
    };
    const std::vector<Row> rows = {
        {"request-internal-channel-count", LeBytes().str("update-internal-channel-count").i32(1).bytes(),
         LeBytes().str("update-internal-channel-count").i32(8).bytes()},
        {"request-group-count", LeBytes().str("update-group-count").i32(1).bytes(),
         LeBytes().str("update-group-count").i32(4).bytes()},
        {"request-io-channel-counts", LeBytes().str("update-io-channel-counts").i32(1).i32(1).i32(0).bytes(),
         LeBytes().str("update-io-channel-counts").i32(6).i32(2).i32(3).bytes()},
        {"request-export-slot-names", LeBytes().str("export-slot-names").i32(0).bytes(),
         LeBytes().str("export-slot-names").i32(0).bytes()},
    };
    CFakeProvider provider;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        audioBase->setDataProvider(nullptr);
        EXPECT_TRUE(ask(row.request));
        EXPECT_EQ(takeBytes(), row.withoutProvider);
        audioBase->setDataProvider(&provider);
        EXPECT_TRUE(ask(row.request));
        EXPECT_EQ(takeBytes(), row.withProvider);
        audioBase->setDataProvider(nullptr);  // null restores the defaults
        EXPECT_TRUE(ask(row.request));
        EXPECT_EQ(takeBytes(), row.withoutProvider);
    }
}

TEST_F(CAudioInterfaceBaseTest, SampleRateMessagesCarryIncreasingSequenceNumbersForRepliesAndPushesAlike) {
    EXPECT_TRUE(ask("request-sample-rate"));
    EXPECT_EQ(takeBytes(), LeBytes().str("update-sample-rate").i32(1).f64(44100.0).bytes());
    CFakeProvider provider;
    audioBase->setDataProvider(&provider);
    audioBase->sendSampleRate(-1);  // the host changed the rate
    EXPECT_EQ(takeBytes(), LeBytes().str("update-sample-rate").i32(2).f64(96000.0).bytes());
    provider.rate = 48000.0;
    EXPECT_TRUE(ask("request-sample-rate"));
    EXPECT_EQ(takeBytes(), LeBytes().str("update-sample-rate").i32(3).f64(48000.0).bytes());
    audioBase->setDataProvider(nullptr);
}

TEST_F(CAudioInterfaceBaseTest, AnAudioClientTakesOverTheAnswersToItsStartUpRequests) {
    CFakeProvider provider;
    audioBase->setDataProvider(&provider);
    auto* audioClient = dynamic_cast<CAudioInterfaceClient*>(openEditor("audio-editor", "audio:interface-client"));
    ASSERT_NE(audioClient, nullptr);
    tick();
    EXPECT_EQ(audioClient->internalChannelCount(), 8);
    EXPECT_EQ(audioClient->groupCount(), 4);
    EXPECT_EQ(audioClient->inputChannelCount(), 6);
    EXPECT_EQ(audioClient->outputChannelCount(), 2);
    EXPECT_EQ(audioClient->sidechainChannelCount(), 3);
    EXPECT_EQ(audioClient->sampleRate(), 96000.0);
    audioBase->setDataProvider(nullptr);
}

TEST_F(CAudioInterfaceBaseTest, NameOnlySendersReachEveryClient) {
    CParamInterfaceClient* other = openEditor("other");
    tick();
    audioBase->sendStartViz(-1);
    audioBase->sendClearClient();
    audioBase->sendStopViz(other->clientId());
    EXPECT_EQ(queuedNames(client->clientId()), (std::vector<std::string>{"start-viz", "clear-client"}));
    EXPECT_EQ(queuedNames(other->clientId()), (std::vector<std::string>{"start-viz", "clear-client", "stop-viz"}));
    EXPECT_EQ(takeBytes(), LeBytes().str("start-viz").bytes());
}

TEST_F(CAudioInterfaceBaseTest, GesturesOfAnUndoRecordAndTheLabelImportGoToTheProvider) {
    addParam("plugin.eq.gain", "0;0;0", 1);
    CRecordingParamListener listener;
    const std::int32_t handle = client->listenParam(CString("plugin.eq.gain"), &listener);
    CParamInterfaceMessageWriter importWithoutProvider("import-channel-labels");
    EXPECT_TRUE(request(importWithoutProvider));  // nothing happens, and no error
    CFakeProvider provider;
    audioBase->setDataProvider(&provider);
    const std::int32_t undo = client->createUndoData(CString("Gain"), false, 0);
    const std::vector<double> v{1.0, 2.0};
    client->changeParam(handle, floatChange(1, 0, v), undo);
    client->submitUndoData(undo, CString());
    CParamInterfaceMessageWriter import("import-channel-labels");
    EXPECT_TRUE(request(import));
    EXPECT_EQ(provider.calls, (std::vector<std::string>{"+plugin.eq.gain 1 0", "+plugin.eq.gain 1 1",
                                                         "-plugin.eq.gain 1 0", "-plugin.eq.gain 1 1", "import"}));
    audioBase->setDataProvider(nullptr);
}

TEST_F(CAudioInterfaceBaseTest, VizRequestsAreCountedPerHandleAndWithdrawnWithTheirLastHandle) {
    EXPECT_TRUE(listenViz(-1, "meter", 1));
    EXPECT_TRUE(listenViz(-1, "meter", 1));  // the same handle again: still one request
    EXPECT_TRUE(listenViz(-1, "meter", 2));
    EXPECT_EQ(audioBase->vizListenerCount(), 2);
    EXPECT_EQ(enabled("meter"), 1.0);
    EXPECT_TRUE(unlistenViz(1));
    EXPECT_TRUE(unlistenViz(1));   // no longer registered: nothing
    EXPECT_TRUE(unlistenViz(77));  // never registered: nothing
    EXPECT_EQ(enabled("meter"), 1.0);
    EXPECT_TRUE(unlistenViz(2));
    EXPECT_EQ(enabled("meter"), 0.0);
    EXPECT_EQ(audioBase->vizListenerCount(), 0);
    EXPECT_EQ(baseConnector->queuedCount(client->clientId()), 0);  // listening has no reply
}

TEST_F(CAudioInterfaceBaseTest, AnExportSlotOutsideTheTableRegistersNothing) {
    for (std::int32_t slot : {-2, 48, 1000, -2147483647 - 1}) {
        SCOPED_TRACE(slot);
        EXPECT_TRUE(listenViz(slot, "meter", 5));
        EXPECT_EQ(audioBase->vizListenerCount(), 0);
        EXPECT_EQ(baseConnector->queuedCount(client->clientId()), 0);
    }
    EXPECT_TRUE(listenViz(47, "meter", 5));  // the last slot of the table is accepted
    EXPECT_EQ(audioBase->vizListenerCount(), 1);
}

TEST_F(CAudioInterfaceBaseTest, ATruncatedListenVizFailsAndRegistersNothing) {
    CParamInterfaceMessageWriter writer("listen-viz");
    writer.i32(-1);
    writer.string(CString("meter"));  // the handle is missing
    EXPECT_FALSE(request(writer));
    EXPECT_EQ(audioBase->vizListenerCount(), 0);
    EXPECT_EQ(enabled("meter"), -1.0);
}

TEST_F(CAudioInterfaceBaseTest, VizDataWithNothingQueuedIsTheTimeAndTheEndMarker) {
    CParamInterfaceMessageWriter writer("request-viz-data");
    writer.i32(client->clientId());
    writer.f64(30.0);
    EXPECT_TRUE(request(writer));
    const std::vector<std::uint8_t> bytes = takeBytes();
    const std::vector<std::uint8_t> name = LeBytes().str("viz-data").bytes();
    ASSERT_EQ(bytes.size(), name.size() + 12);
    EXPECT_TRUE(std::equal(name.begin(), name.end(), bytes.begin()));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()), LeBytes().i32(0).bytes());
}

TEST_F(CAudioInterfaceBaseTest, ReleasingTheBaseWithdrawsEveryVizRequest) {
    EXPECT_TRUE(listenViz(-1, "meter", 1));
    EXPECT_TRUE(listenViz(-1, "scope", 2));
    EXPECT_EQ(enabled("meter"), 1.0);
    EXPECT_EQ(enabled("scope"), 1.0);
    audioBase->release();
    interfaceBase = nullptr;
    audioBase = nullptr;
    EXPECT_EQ(enabled("meter"), 0.0);
    EXPECT_EQ(enabled("scope"), 0.0);
    EXPECT_FALSE(ask("request-sample-rate"));  // the connector no longer knows a base
}

using Posted = CAudioInterfaceBase::CPosted;

// Posting builds and queues nothing (so it allocates nothing); the editor's fetch builds the posted
// messages, in posting order, for every editor, reading the provider's state at that moment.
TEST_F(CAudioInterfaceBaseTest, PostedMessagesAreBuiltWhenAnEditorFetches) {
    CParamInterfaceClient* other = openEditor("other");
    tick();
    CFakeProvider provider;
    audioBase->setDataProvider(&provider);
    audioBase->postMessage(Posted::kStartViz);
    audioBase->postMessage(Posted::kStartViz);   // the same again: posted once
    audioBase->postMessage(Posted::kClearClient);
    audioBase->postMessage(Posted::kIOChannelCounts);
    EXPECT_EQ(baseConnector->queuedCount(client->clientId()), 0);
    EXPECT_EQ(baseConnector->queuedCount(other->clientId()), 0);
    baseConnector->sendPostedMessages();
    const std::vector<std::string> expected = {"start-viz", "clear-client", "update-io-channel-counts"};
    EXPECT_EQ(queuedNames(client->clientId()), expected);
    EXPECT_EQ(queuedNames(other->clientId()), expected);
    takeBytes();
    takeBytes();
    EXPECT_EQ(takeBytes(), LeBytes().str("update-io-channel-counts").i32(6).i32(2).i32(3).bytes());
    // Sent once: a second fetch finds nothing posted.
    baseConnector->sendPostedMessages();
    EXPECT_EQ(baseConnector->queuedCount(client->clientId()), 0);
    audioBase->setDataProvider(nullptr);
}

// More posts than the mailbox holds: the oldest give way, the newest state is kept.
TEST_F(CAudioInterfaceBaseTest, AFullMailboxDropsTheOldestPosts) {
    const int posts = CAudioInterfaceBase::kMaxPosted + 5;
    for (int i = 0; i < posts; ++i)
        audioBase->postMessage(i % 2 == 0 ? Posted::kStartViz : Posted::kStopViz);
    baseConnector->sendPostedMessages();
    const std::vector<std::string> names = queuedNames(client->clientId());
    ASSERT_EQ(int(names.size()), CAudioInterfaceBase::kMaxPosted);
    for (int i = 0; i < CAudioInterfaceBase::kMaxPosted; ++i) {
        const int posted = posts - CAudioInterfaceBase::kMaxPosted + i;
        EXPECT_EQ(names[std::size_t(i)], posted % 2 == 0 ? "start-viz" : "stop-viz") << i;
    }
}

// The editor's timer tick is the fetch: the audio client's visualisation end hears the posts.
TEST_F(CAudioInterfaceBaseTest, AnEditorsTickDeliversThePostedMessages) {
    CRecordingVizProcessor viz;
    auto* audioClient = dynamic_cast<CAudioInterfaceClient*>(openEditor("audio-editor", "audio:interface-client"));
    ASSERT_NE(audioClient, nullptr);
    audioClient->setVizProcessor(&viz);
    tick();
    audioBase->postMessage(Posted::kStartViz);
    audioBase->postMessage(Posted::kStopViz);
    audioBase->postMessage(Posted::kClearClient);
    EXPECT_TRUE(viz.events.empty());
    tick();
    EXPECT_EQ(viz.events, (std::vector<std::string>{"start", "stop", "clear"}));
    audioClient->setVizProcessor(nullptr);
}

// One thread posts (as the audio thread does) while another fetches: nothing is lost out of order,
// and the last state posted is the last one the editor hears.
TEST_F(CAudioInterfaceBaseTest, ConcurrentPostingAndFetching) {
    constexpr int kPosts = 2001;   // odd: the last post is a start
    std::atomic<bool> done{false};
    std::thread poster([&] {
        for (int i = 0; i < kPosts; ++i)
            audioBase->postMessage(i % 2 == 0 ? Posted::kStartViz : Posted::kStopViz);
        done.store(true);
    });
    while (!done.load())
        baseConnector->sendPostedMessages();
    poster.join();
    baseConnector->sendPostedMessages();
    const std::vector<std::string> names = queuedNames(client->clientId());
    ASSERT_FALSE(names.empty());
    EXPECT_LE(int(names.size()), kPosts);
    for (const std::string& name : names)
        EXPECT_TRUE(name == "start-viz" || name == "stop-viz") << name;
    EXPECT_EQ(names.back(), "start-viz");
}

} // namespace
} // namespace tal
