#include "UI/CVizExchange.h"

#include "Audio/Viz/CAudioVizDataInfo.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CTimerQueued.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "UI/CVizListener.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

// Records what reaches it: "reset" and "<name>:<frame value>".
class CRecordingVizListener : public CVizListener {
public:
    void onVizReset() override { events.push_back("reset"); }
    void onVizData(const CString& name, const CAudioVizData& frame) override {
        const auto* info = dynamic_cast<const CAudioVizDataInfo*>(&frame);
        events.push_back(text(name) + ":" + std::to_string(info != nullptr ? info->value : -99));
    }
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }
    std::vector<std::string> events;
};

// One frame of a "viz-data" message.
struct Frame {
    int value;
    double time;
    int slot = -1;
    int group = 0;
    int channel = 0;
};

// The exchange "ui.viz-exchange" on the recording client, its timer a "core:timer" on the manual
// main loop, and its clock the loop's clock.
class CVizExchangeTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
            {"", nullptr, nullptr},
        };
        static const bool registered = (CCreatorRegistry::instance().registerTable(table), true);
        ASSERT_TRUE(registered);
    }
    CVizExchange* exchange(const char* fps = "30", const char* timeout = "1.0") {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:viz-exchange"), CString("viz-exchange"), false)), "");
        auto* viz = dynamic_cast<CVizExchange*>(object);
        viz->setClock([](void* loop) { return static_cast<CPumpedMainLoopTimers*>(loop)->nowNanos(); }, &loop);
        const std::pair<const char*, const char*> attrs[] = {{"interface-client", "^client"},
                                                             {"timer-tag", "core:timer"},
                                                             {"inactive-timeout", timeout},
                                                             {"fps", fps}};
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        connector->take();
        return viz;
    }
    // Sends a "viz-data" message of one visual object.
    void send(double now, const char* name, const std::vector<Frame>& frames) {
        CParamInterfaceMessageWriter writer("viz-data");
        writer.f64(now);
        if (!frames.empty()) {
            writer.i32(std::int32_t(frames.size()));
            writer.string(CString(name));
            CWriteSeqBuffer scratch;
            for (const Frame& f : frames) {
                CAudioVizDataInfo frame;
                frame.value = f.value;
                frame.time = f.time;
                frame.exportSlot = f.slot;
                frame.group = f.group;
                frame.channel = f.channel;
                writer.check(frame.writeRecord(writer.stream(), scratch));
            }
        }
        writer.i32(0);
        connector->reply(writer);
    }
    // The rates requested since the last call.
    std::vector<double> requestedRates() {
        std::vector<double> rates;
        for (const std::string& line : connector->take())
            if (line.rfind("request-viz-data ", 0) == 0)
                rates.push_back(std::stod(line.substr(17)));
        return rates;
    }
};

TEST_F(CVizExchangeTest, FramesAreDeliveredWhenTheAudioClockReachesThem) {
    CVizExchange* viz = exchange();
    CRecordingVizListener listener;
    viz->addListener(&listener, CString("meter"), -1, -1, -1);
    send(10.0, "meter", {{1, 10.0}, {2, 12.0}, {3, 11.0}, {4, 12.0}});
    EXPECT_EQ(listener.take(), (std::vector<std::string>{"meter:1"}));  // stamped "now": at once
    send(11.5, "meter", {{5, 12.0}});
    EXPECT_EQ(listener.take(), (std::vector<std::string>{"meter:3"}));
    send(12.0, "meter", {{6, 9.0}});
    // Queued by time stamp and, within one, by arrival (also across messages); then the message.
    EXPECT_EQ(listener.take(), (std::vector<std::string>{"meter:2", "meter:4", "meter:5", "meter:6"}));
    EXPECT_EQ(viz->queuedFrameCount(), 0);
    send(13.0, "other", {{7, 13.0}});  // nobody listens
    EXPECT_TRUE(listener.take().empty());
}

TEST_F(CVizExchangeTest, FiltersSelectSlotGroupAndChannel) {
    CVizExchange* viz = exchange();
    CRecordingVizListener own, slot2, channel3;
    viz->addListener(&own, CString("spectrum"), -1, 1, -1);
    viz->addListener(&slot2, CString("spectrum"), 2, 1, -1);
    viz->addListener(&channel3, CString("spectrum"), -1, -1, 3);
    send(1.0, "spectrum", {{1, 1.0, 2, 0, 0}, {2, 1.0, -1, 1, 0}, {3, 1.0, -1, 0, -1}, {4, 1.0, -1, 0, 2}});
    EXPECT_EQ(own.take(), (std::vector<std::string>{"spectrum:2"}));      // no imported frames, group 1 only
    EXPECT_EQ(slot2.take(), (std::vector<std::string>{"spectrum:1"}));    // slot-2 frames of any group
    EXPECT_EQ(channel3.take(), (std::vector<std::string>{"spectrum:3"})); // a whole-channel frame, not channel 2
}

TEST_F(CVizExchangeTest, AListenerRegistersOnceAndUnregistersOnlyWhatItHas) {
    CVizExchange* viz = exchange();
    CRecordingVizListener a;
    viz->addListener(&a, CString("meter"), -1, 2, -1);
    viz->addListener(&a, CString("meter"), 3, -1, -1);
    std::vector<std::string> lines = connector->take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("listen-viz -1 meter", 0), 0u);
    viz->removeListener(&a, CString("other"));
    EXPECT_TRUE(connector->take().empty());
    viz->removeListener(&a, CString("meter"));
    EXPECT_EQ(connector->take().size(), 1u);
}

TEST_F(CVizExchangeTest, AnIdleListenerIsResetOnceAfterTheTimeout) {
    CVizExchange* viz = exchange("30", "1.0");
    EXPECT_EQ(viz->inactivityLimit(), 30);
    CRecordingVizListener listener;
    viz->addListener(&listener, CString("meter"), -1, -1, -1);
    loop.advance(5.0);
    EXPECT_TRUE(listener.take().empty());  // no reset before the first frame
    send(1.0, "meter", {{1, 1.0}});
    listener.take();
    for (int tick = 1; tick <= 30; ++tick) {
        ASSERT_EQ(takeMessage(viz->runEvent(CString("on-timer"))), "");
        ASSERT_TRUE(listener.events.empty()) << tick;
    }
    ASSERT_EQ(takeMessage(viz->runEvent(CString("on-timer"))), "");
    EXPECT_EQ(listener.take(), (std::vector<std::string>{"reset"}));
    for (int tick = 0; tick < 100; ++tick)
        ASSERT_EQ(takeMessage(viz->runEvent(CString("on-timer"))), "");
    EXPECT_TRUE(listener.take().empty());
}

TEST_F(CVizExchangeTest, SettingsAreKeptInTheirRanges) {
    EXPECT_EQ(exchange("0.25", "0.005")->inactivityLimit(), 1);  // fps 1, timeout 0.5 s
}

TEST_F(CVizExchangeTest, TheRequestedRateFollowsTheRealTickRate) {
    exchange("60");
    requestedRates();
    std::vector<double> rates;
    for (int tick = 0; tick < 200; ++tick) {
        loop.skip(1.0 / 30.0);
        loop.pump();
        bridge->pump();  // the timer's ticks come through the event bridge
        const std::vector<double> r = requestedRates();
        rates.insert(rates.end(), r.begin(), r.end());
    }
    ASSERT_GE(rates.size(), 150u);
    for (double r : rates) {
        EXPECT_GE(r, 1.0);
        EXPECT_LE(r, 144.0);
        EXPECT_EQ(r, std::floor(r));
    }
    EXPECT_LE(rates.front(), 60.0);
    EXPECT_LT(rates[20], 60.0);  // on its way down
    EXPECT_GT(rates[20], 30.0);
    EXPECT_NEAR(rates.back(), 30.0, 1.0);
}

TEST_F(CVizExchangeTest, ALowRateIsRequestedAsOne) {
    CVizExchange* viz = exchange("1");
    requestedRates();
    for (int tick = 0; tick < 20; ++tick) {
        loop.skip(4.0);  // far slower than one tick per second
        loop.pump();
        bridge->pump();  // the timer's ticks come through the event bridge
    }
    const std::vector<double> rates = requestedRates();
    ASSERT_FALSE(rates.empty());
    EXPECT_LT(viz->adaptiveRate(), 1.5);
    EXPECT_EQ(rates.back(), 1.0);
}

TEST_F(CVizExchangeTest, ExportSlotNamesSplitIntoNameAndOptions) {
    CVizExchange* viz = exchange();
    CParamInterfaceMessageWriter writer("export-slot-names");
    writer.i32(3);
    writer.i32(0);
    writer.string(CString("t`opt1=2`opt2=0x10"));
    writer.i32(1);
    writer.string(CString("alone`"));
    writer.i32(4);
    writer.string(CString("x`opt2=5`junk`opt2=7"));
    connector->reply(writer);
    const struct { int slot; const char* name; int opt1, opt2; } cases[] = {
        {0, "t", 2, 16}, {1, "alone`", -1, -1}, {4, "x", -1, 7}, {2, "", -1, -1},
    };
    for (const auto& c : cases) {
        CString name;
        std::int32_t opt1 = 0, opt2 = 0;
        viz->getExportSlotName(c.slot, name, &opt1, &opt2);
        EXPECT_EQ(text(name), c.name) << c.slot;
        EXPECT_EQ(opt1, c.opt1) << c.slot;
        EXPECT_EQ(opt2, c.opt2) << c.slot;
    }
}

TEST_F(CVizExchangeTest, ClearingDropsTheQueueAndResetsEveryListenerOnce) {
    CVizExchange* viz = exchange();
    CRecordingVizListener a, b;
    viz->addListener(&a, CString("meter"), -1, -1, -1);
    viz->addListener(&b, CString("scope"), -1, -1, -1);
    send(1.0, "meter", {{1, 1.0}, {2, 5.0}});
    a.take();
    CParamInterfaceMessageWriter writer("clear-client");
    connector->reply(writer);
    EXPECT_EQ(a.take(), (std::vector<std::string>{"reset"}));
    EXPECT_EQ(b.take(), (std::vector<std::string>{"reset"}));
    send(9.0, "meter", {});
    EXPECT_TRUE(a.take().empty());  // the queued frame is gone
}

TEST_F(CVizExchangeTest, AClockGoingBackwardsStrandsNoFrameAndTheQueueStaysBounded) {
    CVizExchange* viz = exchange();
    CRecordingVizListener listener;
    viz->addListener(&listener, CString("meter"), -1, -1, -1);
    send(100.0, "meter", {{1, 150.0}, {2, 120.0}});
    EXPECT_TRUE(listener.take().empty());
    // The audio side restarted its clock without clearing the client.
    send(0.5, "meter", {{3, 0.5}, {4, 1.0}});
    EXPECT_EQ(listener.take(), (std::vector<std::string>{"meter:2", "meter:1", "meter:3"}));
    send(1.0, "meter", {});
    EXPECT_EQ(listener.take(), (std::vector<std::string>{"meter:4"}));

    // Frames far ahead of the clock: the oldest of the object are dropped beyond the bound.
    const int n = CVizExchange::kMaxQueuedPerName + 10;
    std::vector<Frame> ahead;
    for (int i = 0; i < n; ++i)
        ahead.push_back({1000 + i, 1000.0 + i});
    send(2.0, "meter", ahead);
    EXPECT_EQ(viz->queuedFrameCount(), CVizExchange::kMaxQueuedPerName);
    send(1e9, "meter", {});
    const std::vector<std::string> delivered = listener.take();
    ASSERT_EQ(int(delivered.size()), CVizExchange::kMaxQueuedPerName);
    EXPECT_EQ(delivered.front(), "meter:" + std::to_string(1000 + 10));
    EXPECT_EQ(delivered.back(), "meter:" + std::to_string(1000 + n - 1));
}

TEST_F(CVizExchangeTest, AListenerMayLeaveWhileItReceives) {
    CVizExchange* viz = exchange();
    struct CLeaving : CRecordingVizListener {
        CVizExchange* viz = nullptr;
        CVizListener* other = nullptr;
        void onVizData(const CString& name, const CAudioVizData& frame) override {
            CRecordingVizListener::onVizData(name, frame);
            viz->removeListener(this, name);
            viz->removeListener(other, name);
        }
    };
    CLeaving first;
    CRecordingVizListener second;
    first.viz = viz;
    first.other = &second;
    viz->addListener(&first, CString("meter"), -1, -1, -1);
    viz->addListener(&second, CString("meter"), -1, -1, -1);
    send(1.0, "meter", {{1, 1.0}, {2, 1.0}});
    // Whichever is called first removes both; nobody is called after its removal.
    EXPECT_LE(first.take().size() + second.take().size(), 2u);
}

} // namespace
} // namespace tal
