#include "Other/Interface/CAudioInterfaceClient.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamInfo.h"
#include "Core/CError.h"
#include "Other/Interface/CAudioInterfaceVizProcessor.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "support/CLogCapture.h"
#include "support/InterfaceTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CAudioInterfaceClientTest : public CInterfaceTestTree {
protected:
    CAudioInterfaceClient* open(const char* name, const char* groupNames = "") {
        auto* client = dynamic_cast<CAudioInterfaceClient*>(openEditor(name, "audio:interface-client", groupNames));
        EXPECT_NE(client, nullptr);
        return client;
    }
    // Queues a hand-built reply for a client.
    void reply(CParamInterfaceClient* client, CParamInterfaceMessageWriter& writer) {
        CByteBuffer message;
        writer.moveTo(message);
        baseConnector->sendToClient(client->clientId(), message);
    }
    void sampleRate(CParamInterfaceClient* client, std::int32_t sequence, double rate) {
        CParamInterfaceMessageWriter writer("update-sample-rate");
        writer.i32(sequence);
        writer.f64(rate);
        reply(client, writer);
    }
    // A watcher of one event of the client; returns its call count holder.
    CEventTestObject* watch(CParamInterfaceClient* client, const char* event) {
        CEventTestObject* watcher = addListener(ui, (std::string("watch-") + event).c_str());
        watcher->listenObject(client->getFullName(), CString(event), CString("on"));
        return watcher;
    }
    // A string parameter of group names with the text converter, one group.
    CAudioParam* addGroupNames(const char* name, const char* defaults) {
        auto info = std::make_unique<CAudioParamInfo>();
        info->setLayout(1, CAudioParamStorage::kTypeString, true, false);
        info->setFlags(false, true, true);
        info->setNames(CString(name), CString(name), CString::emptyString);
        info->converterNames().add("shared::audio.paramcvt.text");
        EXPECT_EQ(takeMessage(info->parseConverterNames()), "");
        EXPECT_EQ(takeMessage(info->parseMinMaxValues(CString("0"), CString("0"))), "");
        EXPECT_EQ(takeMessage(info->defaultValues().parseDefValues(CString(defaults), *info)), "");
        CAudioParam* param = collector->acquireParam(CString(name));
        param->setInfo(info.get(), nullptr, {});
        infos.push_back(std::move(info));
        return param;
    }
};

struct CRecordingVizProcessor : CAudioInterfaceVizProcessor {
    void onStartViz() override { events.push_back("start"); }
    void onStopViz() override { events.push_back("stop"); }
    void onClearClient() override { events.push_back("clear"); }
    CError* onVizData(CInputStream& reader) override {
        double time = 0;
        CError* error = reader.readDouble(time);
        events.push_back("data " + std::to_string(int(time)));
        return error;
    }
    CError* onExportSlotNames(CInputStream&) override {
        events.push_back("names");
        return nullptr;
    }
    std::vector<std::string> events;
};

TEST_F(CAudioInterfaceClientTest, EditorDefaultsStandUntilTheFirstDrain) {
    CAudioInterfaceClient* client = open("editor");
    EXPECT_EQ(client->internalChannelCount(), 2);
    EXPECT_EQ(client->groupCount(), 2);
    EXPECT_EQ(client->inputChannelCount(), 2);
    EXPECT_EQ(client->outputChannelCount(), 2);
    EXPECT_EQ(client->sidechainChannelCount(), 0);
    EXPECT_EQ(client->sampleRate(), 44100.0);
}

TEST_F(CAudioInterfaceClientTest, AnOlderSampleRateIsIgnoredAndARepeatedOneAccepted) {
    CAudioInterfaceClient* client = open("editor");
    tick();
    CEventTestObject* watcher = watch(client, "update-sample-rate");
    const int before = watcher->calls;
    sampleRate(client, 5, 48000);
    sampleRate(client, 4, 96000);
    tick();
    EXPECT_EQ(client->sampleRate(), 48000.0);
    EXPECT_EQ(watcher->calls - before, 1);
    sampleRate(client, 5, 88200);
    tick();
    EXPECT_EQ(client->sampleRate(), 88200.0);
    EXPECT_EQ(watcher->calls - before, 2);
}

TEST_F(CAudioInterfaceClientTest, ChannelCountsChangeOnlyWhenTheWholeMessageReads) {
    CAudioInterfaceClient* client = open("editor");
    tick();
    const std::int32_t input = client->inputChannelCount();
    CEventTestObject* watcher = watch(client, "update-io-channel-counts");
    CParamInterfaceMessageWriter shortOne("update-io-channel-counts");
    shortOne.i32(6);
    shortOne.i32(6);
    reply(client, shortOne);
    CLogCapture log;
    tick();
    EXPECT_EQ(client->inputChannelCount(), input);
    EXPECT_EQ(watcher->calls, 0);
    CParamInterfaceMessageWriter whole("update-io-channel-counts");
    for (int v : {6, 4, 2})
        whole.i32(v);
    reply(client, whole);
    tick();
    EXPECT_EQ(client->inputChannelCount(), 6);
    EXPECT_EQ(client->outputChannelCount(), 4);
    EXPECT_EQ(client->sidechainChannelCount(), 2);
    EXPECT_EQ(watcher->calls, 1);
}

TEST_F(CAudioInterfaceClientTest, VizHandlesCountFromTheClientIdAndUnknownOnesSendNothing) {
    open("first");
    CAudioInterfaceClient* client = open("second");
    EXPECT_EQ(client->listenViz(-1, CString("spectrum")), 65537);
    EXPECT_EQ(client->listenViz(3, CString("meter")), 65538);
    base->payloads.clear();
    client->unlistenViz(70000);
    EXPECT_TRUE(base->payloads.empty());
}

TEST_F(CAudioInterfaceClientTest, VisualisationMessagesReachTheProcessorOrAreIgnored) {
    CAudioInterfaceClient* client = open("editor");
    tick();
    CParamInterfaceMessageWriter data("viz-data");
    data.f64(7.0);
    data.i32(0);
    reply(client, data);
    CLogCapture log;
    tick();  // no processor: ignored without error
    EXPECT_TRUE(log.lines().empty());
    CRecordingVizProcessor processor;
    client->setVizProcessor(&processor);
    for (const char* name : {"start-viz", "clear-client", "stop-viz", "export-slot-names"}) {
        CParamInterfaceMessageWriter writer(name);
        reply(client, writer);
    }
    CParamInterfaceMessageWriter more("viz-data");
    more.f64(9.0);
    more.i32(0);
    reply(client, more);
    tick();
    EXPECT_EQ(processor.events, (std::vector<std::string>{"start", "clear", "stop", "names", "data 9"}));
    client->setVizProcessor(nullptr);
}

TEST_F(CAudioInterfaceClientTest, GroupNamesComeFromTheGroupNamesParameterOrAreNumbers) {
    CAudioParam* names = addGroupNames("plugin.io.group-names", "Low,Mid,High");
    CAudioInterfaceClient* client = open("editor", "plugin.io.group-names");
    EXPECT_EQ(text(client->getGroupName(2)), "3");  // nothing arrived yet
    tick();
    names->setString(0, 1, CString("Vocals"), nullptr, nullptr, {});
    tick();
    const struct { int n; const char* name; } cases[] = {
        {0, "Low"}, {1, "Vocals"}, {2, "High"}, {7, "Low"}, {-1, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(text(client->getGroupName(c.n)), c.name);
    }
}

TEST_F(CAudioInterfaceClientTest, WithoutGroupNamesInfoGroupsAreNumbered) {
    CAudioInterfaceClient* client = open("editor", "plugin.io.none");
    tick();  // the parameter has no definition: "update-param-info" with has-info 0
    EXPECT_EQ(text(client->getGroupName(0)), "1");
    EXPECT_EQ(text(client->getGroupName(2)), "3");
}

} // namespace
} // namespace tal
