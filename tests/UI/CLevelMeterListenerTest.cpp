#include "UI/CLevelMeterListener.h"

#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "UI/CLevelMeterListenerOwner.h"
#include "UI/CValueList.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// A meter owner ("test:meter-owner") that records the listener callbacks as text.
class CMeterTestOwner : public CObject, public CLevelMeterListenerOwner {
public:
    CError* initChilds() override {
        if (CError* error = CObject::initChilds())
            return error;
        return CLevelMeterListenerOwner::init(this);
    }
    void onLevelMeterValue(std::int32_t index, std::int32_t band, double time) override {
        calls.push_back("value " + std::to_string(index) + " " + std::to_string(band) + " " + std::to_string(time));
    }
    void onLevelMeterChannelValue(std::int32_t index, std::int32_t channel, double time) override {
        calls.push_back("channel " + std::to_string(index) + " " + std::to_string(channel) + " " +
                        std::to_string(time));
    }
    void onLevelMeterGroupsChanged() override { calls.push_back("groups"); }
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
    void setShowAll(bool isShowAll) { mShowAllChannels = isShowAll ? 1 : 0; }
    std::vector<std::string> calls;
};

// The listener's clock, set by the test.
double gMeterClock = 0.0;

class CLevelMeterListenerTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"test:meter-owner", [] { return static_cast<CObject*>(new CMeterTestOwner); }, &CObject::initScheme},
            {"test:level-meter-listener", &CLevelMeterListener::create, &CLevelMeterListener::initScheme},
            {"", nullptr, nullptr},
        };
        static const bool registered = (CCreatorRegistry::instance().registerTable(table), true);
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:viz-exchange", "viz-exchange",
                                                    {{"interface-client", "^client"}})),
                  "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:group-source", "groups", {{"group", "0"}})), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:value-list-manual", "channels", {})), "");
        channels = dynamic_cast<CValueList*>(object);
        gMeterClock = 100.0;
    }
    // An owner "ui.meter" with one listener child "listener" of the given attributes.
    CLevelMeterListener* meter(AttrList ownerAttrs, AttrList listenerAttrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("test:meter-owner"), CString("meter"), false)), "");
        owner = dynamic_cast<CMeterTestOwner*>(object);
        for (const auto& [key, value] : ownerAttrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        CObject* child = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(child, object, "test:level-meter-listener", "listener",
                                                    listenerAttrs)),
                  "");
        auto* listener = dynamic_cast<CLevelMeterListener*>(child);
        listener->setClock([](void*) { return gMeterClock; }, nullptr);
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        owner->take();
        return listener;
    }
    CLevelMeterListener* plainMeter(const char* timeout = "0") {
        return meter({{"combo-mode", "sum"}, {"combo-mode-peak", "max"}},
                     {{"viz-name", "meters"}, {"group-selector", "ui.groups"}, {"inactive-timeout", timeout},
                      {"interval-timer-tag", "core:object"}});
    }
    static void send(CLevelMeterListener* listener, int channel, int band, double level, double peak, int group = 0,
                     double time = 1.0) {
        CAudioVizDataMeter frame;
        frame.channel = channel;
        frame.position = band;
        frame.group = group;
        frame.time = time;
        frame.level = level;
        frame.peak = peak;
        listener->onVizData(CString("meters"), frame);
    }
    void setChannels(std::vector<const char*> items) {
        CStringList list;
        for (const char* item : items)
            list.add(item);
        ASSERT_EQ(takeMessage(channels->setItems(list)), "");
    }

    CMeterTestOwner* owner = nullptr;
    CValueList* channels = nullptr;
};

TEST_F(CLevelMeterListenerTest, ListenerWithoutVizNameFailsToInit) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:meter-owner", "meter",
                                                {{"combo-mode", "sum"}, {"combo-mode-peak", "max"}})),
              "");
    CObject* child = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(child, object, "test:level-meter-listener", "listener",
                                                {{"group-selector", "ui.groups"}})),
              "Visual object name is not defined.");
}

TEST_F(CLevelMeterListenerTest, OwnerCollectsItsListenersInChildOrder) {
    CLevelMeterListener* listener = plainMeter();
    ASSERT_EQ(owner->listenerCount(), 1);
    EXPECT_EQ(owner->listener(0), listener);
    EXPECT_EQ(listener->listenerIndex(), 0);
}

TEST_F(CLevelMeterListenerTest, ChannelsCombineIntoBandsAndExpiredChannelsDropOut) {
    CLevelMeterListener* listener = plainMeter("0.5");
    send(listener, 0, 0, 0.5, 0.6);
    send(listener, 1, 0, 0.25, 0.9);
    ASSERT_EQ(listener->bandCount(), 1);
    EXPECT_DOUBLE_EQ(listener->bandLevel(0), 0.75);   // sum
    EXPECT_DOUBLE_EQ(listener->bandPeak(0), 0.9);     // max
    EXPECT_EQ(owner->take().back(), "value 0 0 " + std::to_string(1.0));
    // Channel 1 stops; after the timeout only channel 0 counts.
    gMeterClock = 100.4;
    send(listener, 0, 0, 0.5, 0.6);
    gMeterClock = 100.7;
    ASSERT_EQ(takeMessage(listener->onUpdateTimer()), "");
    EXPECT_TRUE(listener->isChannelActive(0));
    EXPECT_FALSE(listener->isChannelActive(1));
    send(listener, 0, 0, 0.5, 0.6);
    EXPECT_DOUBLE_EQ(listener->bandLevel(0), 0.5);
    EXPECT_DOUBLE_EQ(listener->bandPeak(0), 0.6);
    double db = 0.0;
    EXPECT_TRUE(listener->getChannelValue(0, false, db));
    EXPECT_NEAR(db, 20.0 * std::log10(0.5), 1e-9);
}

TEST_F(CLevelMeterListenerTest, FramesOfOtherGroupsCountOnlyWhenAllChannelsAreShown) {
    struct Case {
        bool isShowAll;
        const char* ignore;
        bool isAccepted;
    };
    for (const Case& c : {Case{false, "", false}, Case{true, "", true}, Case{true, "true", false}}) {
        SCOPED_TRACE(c.isShowAll);
        SCOPED_TRACE(c.ignore);
        CLevelMeterListener* listener =
            meter({{"combo-mode", "sum"}, {"combo-mode-peak", "max"}},
                  {{"viz-name", "meters"}, {"group-selector", "ui.groups"}, {"is-ignore-all-channel-meters", c.ignore}});
        owner->setShowAll(c.isShowAll);
        send(listener, 0, 0, 0.5, 0.5, /*group*/ 1);
        EXPECT_EQ(listener->isBandActive(0), c.isAccepted);
        send(listener, 0, 1, 0.5, 0.5, /*group*/ 0);
        EXPECT_TRUE(listener->isBandActive(1));
        owner->release();
    }
}

TEST_F(CLevelMeterListenerTest, ChannelListMapsFrameChannelsToSlots) {
    setChannels({"1", "2"});
    CLevelMeterListener* listener =
        meter({{"combo-mode", "sum"}, {"combo-mode-peak", "max"}, {"use-channel-routing", "true"},
               {"audio-channels-list", "ui.channels"}},
              {{"viz-name", "meters"}, {"group-selector", "ui.groups"}});
    ASSERT_EQ(listener->channelCount(), 2);
    send(listener, 1, 0, 0.5, 0.5);
    EXPECT_FALSE(listener->isChannelActive(0));
    EXPECT_TRUE(listener->isChannelActive(1));
    // A channel the list does not name is dropped.
    send(listener, 5, 0, 0.5, 0.5);
    EXPECT_FALSE(listener->isChannelActive(0));
    EXPECT_EQ(listener->channelCount(), 2);
}

TEST_F(CLevelMeterListenerTest, FramesWithoutChannelOrBandChangeNothing) {
    CLevelMeterListener* listener = plainMeter();
    send(listener, -1, 0, 0.5, 0.5);
    send(listener, 0, -1, 0.5, 0.5);
    EXPECT_EQ(listener->channelCount(), 0);
    EXPECT_EQ(listener->bandCount(), 0);
    EXPECT_TRUE(owner->take().empty());
}

TEST_F(CLevelMeterListenerTest, FrozenListenerIgnoresFramesAndUnfreezingResets) {
    CLevelMeterListener* listener = plainMeter();
    send(listener, 0, 0, 0.5, 0.5);
    owner->take();
    listener->setFrozen(true);
    send(listener, 0, 1, 0.5, 0.5);
    EXPECT_EQ(listener->bandCount(), 1);
    listener->onVizReset();
    EXPECT_TRUE(listener->isBandActive(0));
    listener->setFrozen(false);
    EXPECT_FALSE(listener->isBandActive(0));
    EXPECT_FALSE(listener->isChannelActive(0));
    const std::vector<std::string> calls = owner->take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "channel 0 -1 " + std::to_string(0.0));
    EXPECT_EQ(calls[1], "value 0 -1 " + std::to_string(-1.0));
}

TEST_F(CLevelMeterListenerTest, ShortGroupListLeavesUnlistedChannelsAlone) {
    CLevelMeterListener* listener = plainMeter();
    send(listener, 0, 0, 0.5, 0.5);
    send(listener, 1, 0, 0.5, 0.5);
    send(listener, 2, 0, 0.5, 0.5);
    // The group-per-channel list names two channels: channel 0 in group 0, channel 1 in group 1.
    CObject* object = nullptr;
    const CString path = listener->resolvePath(CString(".group-per-channel-values"));
    const std::string full = test::utf8Of(path);
    const std::size_t dot = full.rfind('.');
    CObject* parent = dot == std::string::npos ? nullptr : ui->findObject(CString(full.substr(0, dot).c_str()));
    ASSERT_NE(parent, nullptr) << full;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, parent, "ui:value-list-manual",
                                                full.substr(dot + 1).c_str(), {})),
              "");
    CStringList groups;
    groups.add("0");
    groups.add("1");
    ASSERT_EQ(takeMessage(dynamic_cast<CValueList*>(object)->setItems(groups)), "");
    ASSERT_EQ(takeMessage(listener->onGroupPerChannelListUpdate()), "");
    EXPECT_EQ(listener->channelGroups(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_TRUE(listener->isChannelActive(0));
    EXPECT_FALSE(listener->isChannelActive(1));
    EXPECT_TRUE(listener->isChannelActive(2));
}

} // namespace
} // namespace tal
