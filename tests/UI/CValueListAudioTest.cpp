#include "UI/CValueListAudio.h"

#include "Audio/CAudioParamStorage.h"
#include "Core/CCreatorRegistry.h"
#include "Other/CColorSwatch.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "UI/CParamGroupSelector.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// The editor's interface client "ui.interface-client" on a recording connector, with bridges made
// on demand, and audio value lists built as the description loader builds them.
class CValueListAudioTest : public CBindingTestTree {
protected:
    void SetUp() override {
        CBindingTestTree::SetUp();
        client = openRecordingClient("interface-client", connector);
    }

    // A single-group string parameter whose elements are the ","-separated texts.
    std::unique_ptr<CAudioParamInfo> textInfo(const char* texts) {
        auto info = std::make_unique<CAudioParamInfo>();
        info->setLayout(1, CAudioParamStorage::kTypeString, true, false);
        info->setFlags(false, true, true);
        info->setNames(CString("Names"), CString("names"), CString::emptyString);
        info->converterNames().add("shared::audio.paramcvt.text");
        EXPECT_EQ(takeMessage(info->parseConverterNames()), "");
        info->setRange(0, 0.0, 0.0);
        EXPECT_EQ(takeMessage(info->defaultValues().parseDefValues(CString(texts), *info)), "");
        return info;
    }
    // A bridge "ui.<name>" that received the info.
    CParamBridge* bridge(const char* name, std::unique_ptr<CAudioParamInfo> info) {
        CParamBridge* b = addBridge(name, "plugin.p", "^interface-client");
        connector->replyParamInfo(b->listenHandle(), *info);
        infos.push_back(std::move(info));
        return b;
    }
    CParamBridge* textBridge(const char* name, const char* texts) { return bridge(name, textInfo(texts)); }
    // A single-group float parameter with the given element values.
    CParamBridge* floatBridge(const char* name, const char* values, double min = -100, double max = 100) {
        return bridge(name, makeInfo("Values", 1, min, max, values, true));
    }
    void ioCounts(int ins, int outs, int sidechains) {
        CParamInterfaceMessageWriter writer("update-io-channel-counts");
        writer.i32(ins);
        writer.i32(outs);
        writer.i32(sidechains);
        connector->reply(writer);
    }
    CValueListAudio* list(const char* name, AttrList attrs, std::string* error = nullptr) {
        CObject* object = nullptr;
        const std::string message = takeMessage(CParamTestTree::build(object, ui, "ui:value-list", name, attrs));
        if (error != nullptr)
            *error = message;
        else
            EXPECT_EQ(message, "");
        return dynamic_cast<CValueListAudio*>(object);
    }
    static std::vector<std::string> items(const CValueList* l) {
        std::vector<std::string> out;
        for (int i = 0; l != nullptr && i < l->itemCount(); ++i)
            out.push_back(text(l->itemText(i)));
        return out;
    }

    CAudioInterfaceClient* client = nullptr;
    CRecordingClientConnector* connector = nullptr;
};

TEST_F(CValueListAudioTest, OutputsAreNumberedAndFollowTheCounts) {
    ioCounts(2, 2, 0);
    CValueListAudio* outs = list("outs", {{"mode", "audio-outs"}});
    EXPECT_EQ(items(outs), (std::vector<std::string>{"OUT1", "OUT2"}));
    ioCounts(2, 0, 0);
    EXPECT_TRUE(items(outs).empty());
}

TEST_F(CValueListAudioTest, SideChainInputsComeLastInParentheses) {
    textBridge("in-channel-names-bridge", "n1,n2,n3,n4");
    ioCounts(4, 2, 2);
    CValueListAudio* ins = list("ins", {{"mode", "audio-ins"}, {"ui-param-tag", "ui:ui-param"}});
    EXPECT_EQ(items(ins), (std::vector<std::string>{"n1", "n2", "(n3)", "(n4)"}));
}

TEST_F(CValueListAudioTest, MinMaxSpreadsTheRangeThroughASafeFormat) {
    const struct { const char* format; const char* count; std::vector<std::string> expected; } cases[] = {
        {"%1.0f", "3", {"0", "5", "10"}},
        {"%1.0f", "1", {"5"}},
        {"%1.1f dB", "2", {"0.0 dB", "10.0 dB"}},
        {"100%% %.0f", "2", {"100% 0", "100% 10"}},
        {"%s", "2", {"0", "10"}},             // not a number conversion: the plain format instead
        {"%f %f", "2", {"0", "10"}},          // two conversions would read a missing argument
        {"%n", "1", {"5"}},
        {"%1.0f", "0", {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string name = "mm" + std::to_string(n++);
        CValueListAudio* l = list(name.c_str(), {{"mode", "audio-min-max"}, {"format", c.format}, {"value-count", c.count},
                                                 {"min-value", "0"}, {"max-value", "10"}});
        EXPECT_EQ(items(l), c.expected);
    }
}

TEST_F(CValueListAudioTest, AValueCountChangeRebuilds) {
    CValueListAudio* l = list("mm", {{"mode", "audio-min-max"}, {"format", "%.0f"}, {"value-count", "2"},
                                     {"min-value", "0"}, {"max-value", "10"}});
    ASSERT_EQ(takeMessage(l->setAttr(CString("value-count"), CString("3"), true)), "");
    EXPECT_EQ(items(l), (std::vector<std::string>{"0", "5", "10"}));
}

TEST_F(CValueListAudioTest, EnumValuesStartingWithReserveAreNumbered) {
    CObject* converter = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(converter, params->converters(), "audio:cvt-enum", "modes",
                                                {{"is-discrete", "true"}, {"state-names", "Reserve;One;Two;Three"}})),
              "");
    auto info = makeInfo("Mode", 1, 0, 3, "0", true);
    info->converterNames().clear();
    info->converterNames().add("shared::audio.paramcvt.modes");
    ASSERT_EQ(takeMessage(info->parseConverterNames()), "");
    bridge("mode-bridge", std::move(info));
    CValueListAudio* plain = list("plain", {{"mode", "audio-enum-value"}, {"bridge", "ui.mode-bridge"},
                                            {"ui-param-tag", "ui:ui-param"}});
    EXPECT_EQ(items(plain), (std::vector<std::string>{"0", "1", "2", "3"}));
    CValueListAudio* paired = list("paired", {{"mode", "audio-enum-value"}, {"bridge", "ui.mode-bridge"},
                                              {"ui-param-tag", "ui:ui-param"}, {"add-empty-value", "true"},
                                              {"separator-char", ";"}});
    EXPECT_EQ(items(paired), (std::vector<std::string>{"---", "1", "2", "3"}));
    std::vector<std::string> values;
    for (int i = 0; i < paired->itemCount(); ++i)
        values.push_back(text(paired->itemValue(i)));
    EXPECT_EQ(values, (std::vector<std::string>{"---", "1;1", "2;2", "3;3"}));
}

TEST_F(CValueListAudioTest, HidingReserveStopsAtTheNextReserve) {
    CObject* converter = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(converter, params->converters(), "audio:cvt-enum", "windows",
                                                {{"is-discrete", "true"}, {"state-names", "Hann;Flat;Reserve;Late"}})),
              "");
    auto info = makeInfo("Window", 1, 0, 3, "0", true);
    info->converterNames().clear();
    info->converterNames().add("shared::audio.paramcvt.windows");
    ASSERT_EQ(takeMessage(info->parseConverterNames()), "");
    bridge("window-bridge", std::move(info));
    CValueListAudio* all = list("all", {{"mode", "audio-enum-value"}, {"bridge", "ui.window-bridge"},
                                        {"ui-param-tag", "ui:ui-param"}});
    EXPECT_EQ(items(all), (std::vector<std::string>{"Hann", "Flat", "Reserve", "Late"}));
    CValueListAudio* hidden = list("hidden", {{"mode", "audio-enum-value"}, {"bridge", "ui.window-bridge"},
                                              {"ui-param-tag", "ui:ui-param"}, {"is-hide-reserve", "true"}});
    EXPECT_EQ(items(hidden), (std::vector<std::string>{"Hann", "Flat"}));
}

TEST_F(CValueListAudioTest, AnUnknownModeFailsInit) {
    std::string error;
    list("bad", {{"mode", "audio-nothing"}}, &error);
    EXPECT_EQ(error, "Invalid value list mode specified: audio-nothing");
    list("bad-routing", {{"mode", "audio-routing-labels"}, {"routing-label-mode", "sideways"}}, &error);
    EXPECT_EQ(error, "Invalid routing label mode specified: sideways");
}

TEST_F(CValueListAudioTest, TheCurrentGroupsNameFollowsTheSelector) {
    textBridge("group-names-bridge", "Left,Right,Mid");
    CValueListAudio* before = list("before", {{"mode", "audio-curgroup"}, {"ui-param-tag", "ui:ui-param"},
                                              {"group-selector", "ui.sel"}});
    EXPECT_EQ(items(before), (std::vector<std::string>{"?"}));
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:param-group-selector", "sel",
                                                {{"interface-client", "^interface-client"}, {"group-index", "1"}})),
              "");
    auto* selector = dynamic_cast<CParamGroupSelector*>(object);
    CValueListAudio* current = list("current", {{"mode", "audio-curgroup"}, {"ui-param-tag", "ui:ui-param"},
                                                {"group-selector", "ui.sel"}});
    EXPECT_EQ(items(current), (std::vector<std::string>{"Right"}));
    ASSERT_EQ(takeMessage(selector->setGroupIndex(2)), "");
    EXPECT_EQ(items(current), (std::vector<std::string>{"Mid"}));
}

TEST_F(CValueListAudioTest, AnInactiveRequiredParameterEmptiesTheList) {
    CParamBridge* names = addBridge("group-names-bridge", "plugin.p", "^interface-client");
    CValueListAudio* groups = list("groups", {{"mode", "audio-groups"}, {"ui-param-tag", "ui:ui-param"},
                                              {"add-empty-value", "true"}});
    EXPECT_TRUE(items(groups).empty());  // the names have not arrived: not even the empty item
    const auto info = textInfo("A,B");
    connector->replyParamInfo(names->listenHandle(), *info);
    EXPECT_EQ(items(groups), (std::vector<std::string>{"---", "A", "B"}));  // two groups by default
}

// The routing of the description's defaults: inputs "L" and "R" into internal channels 1 and 2,
// eight internal channels grouped 0, 0, 1, 1, 2, 2, 3, 3, group names "1" to "8".
class CRoutingLabelsTest : public CValueListAudioTest {
protected:
    void SetUp() override {
        CValueListAudioTest::SetUp();
        textBridge("in-channel-names-bridge", "L,R,S1,S2");
        textBridge("group-names-bridge", "1,2,3,4,5,6,7,8");
        floatBridge("grouping-bridge", "0,0,1,1,2,2,3,3");
        ioCounts(2, 2, 0);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:param-group-selector", "sel",
                                                    {{"interface-client", "^interface-client"}, {"group-index", "0"}})),
                  "");
        selector = dynamic_cast<CParamGroupSelector*>(object);
    }
    CValueListAudio* labels(const char* name, const char* mode, AttrList extra = {}, const char* colorBridge = nullptr) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:value-list"), CString(name), false)), "");
        const std::pair<const char*, const char*> base[] = {{"mode", "audio-routing-labels"},
                                                            {"routing-label-mode", mode},
                                                            {"ui-param-tag", "ui:ui-param"},
                                                            {"group-selector", "ui.sel"}};
        for (const auto& [key, value] : base)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        for (const auto& [key, value] : extra)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        if (colorBridge != nullptr)
            addUIParam(object, "ui-param-group-color", {{"bridge", colorBridge}});
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return dynamic_cast<CValueListAudio*>(object);
    }

    CParamGroupSelector* selector = nullptr;
};

TEST_F(CRoutingLabelsTest, TheDefaultRoutingLabelsChannelOneWithASuperscript) {
    floatBridge("in-routing-bridge", "1,2");
    EXPECT_EQ(items(labels("full", "full")), (std::vector<std::string>{"L[SUP]1[/SUP]", "R[SUP]2[/SUP]"}));
    EXPECT_EQ(items(labels("channels", "active-channels")), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(items(labels("names", "active-channel-names")), (std::vector<std::string>{"L", "R"}));
    EXPECT_EQ(items(labels("in-labels", "active-in-channel-labels")), (std::vector<std::string>{"L;1", "R;2"}));
    EXPECT_EQ(items(labels("per-channel", "active-group-per-channel")),
              (std::vector<std::string>{"0", "0", "-1", "-1", "-1", "-1", "-1", "-1"}));
    EXPECT_EQ(items(labels("groups", "active-groups")), (std::vector<std::string>{"1;1", "2;2", "3;3", "4;4"}));
    EXPECT_EQ(items(labels("with-channels", "active-groups-with-channels")), (std::vector<std::string>{"1;1"}));
    EXPECT_EQ(items(labels("disabled", "active-groups-with-channels", {{"routing-label-disable-current", "true"}})),
              (std::vector<std::string>{"[N/A]1;1"}));
}

TEST_F(CRoutingLabelsTest, JoinedInputsAndMidSidePairsAreMarked) {
    floatBridge("in-routing-bridge", "1,1");
    EXPECT_EQ(items(labels("joined", "full")), (std::vector<std::string>{"(L+R)[SUP]1[/SUP]"}));
}

TEST_F(CRoutingLabelsTest, MidSidePairsAndSideChainsAreMarked) {
    ioCounts(4, 2, 2);
    floatBridge("in-routing-bridge", "1,2,3,0");
    floatBridge("ms-pairs-bridge", "1,1,0,0,0,0,0,0");
    floatBridge("sidechain-bridge", "2,-1,-1,-1,-1,-1,-1,-1");
    // The side chain of channel 1 is internal channel 3, fed by the third input.
    EXPECT_EQ(items(labels("ms", "full", {{"routing-label-show-all-groups", "true"}})),
              (std::vector<std::string>{"m(L & R):sc(S1)[SUP]1[/SUP]", "s(L & R)[SUP]2[/SUP]", "S1[SUP]3[/SUP]"}));
}

TEST_F(CRoutingLabelsTest, AMutedChannelHasNoLabelAndMakesNoGroupSeen) {
    floatBridge("in-routing-bridge", "1,3");
    floatBridge("sidechain-mute-bridge", "0,0,1,0,0,0,0,0");
    EXPECT_EQ(items(labels("groups", "active-groups-with-channels")), (std::vector<std::string>{"1;1"}));
    EXPECT_EQ(items(labels("all", "full", {{"routing-label-show-all-groups", "true"}})),
              (std::vector<std::string>{"L[SUP]1[/SUP]"}));
}

TEST_F(CRoutingLabelsTest, TheCurrentGroupDecidesWhichChannelsAreListed) {
    floatBridge("in-routing-bridge", "1,3");
    CValueListAudio* l = labels("names", "active-channel-names");
    EXPECT_EQ(items(l), (std::vector<std::string>{"L"}));
    ASSERT_EQ(takeMessage(selector->setGroupIndex(1)), "");
    EXPECT_EQ(items(l), (std::vector<std::string>{"R"}));
}

TEST_F(CRoutingLabelsTest, GroupItemsCarryTheirColours) {
    static const CCreatorTableEntry table[] = {
        {"test:color-swatch", [] { return static_cast<CObject*>(new CColorSwatch); }, &CObject::initScheme},
        {"", nullptr, nullptr},
    };
    CCreatorRegistry::instance().registerTable(table);  // may be registered already
    CObject* swatch = nullptr;
    ASSERT_EQ(takeMessage(ui->addChild(swatch, CString("test:color-swatch"), CString("swatch"), false)), "");
    for (int i = 0; i < 4; ++i) {
        CObject* c = nullptr;
        const std::string name = "C" + std::to_string(i);
        ASSERT_EQ(takeMessage(swatch->addChild(c, CString("core:object"), CString(name.c_str()), false)), "");
        ASSERT_EQ(takeMessage(c->setAttr(CString("is-color"), CString("true"), true)), "");
        ASSERT_EQ(takeMessage(c->setIntAttr(CString("index"), i, true)), "");
        ASSERT_EQ(takeMessage(c->setAttr(CString("color"), CString(name.c_str()), true)), "");
    }
    ASSERT_EQ(takeMessage(swatch->initChilds()), "");
    CObject* colours = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(colours, ui, "ui:dynlist-color-swatch", "colours",
                                                {{"color-swatch", "ui.swatch"}})),
              "");
    CParamBridge* colourBridge = bridge("group-color-bridge", makeInfo("Colour", 1, 0, 15, "0;0;0;0"));
    const double colourOf[] = {3, 1, 9, 2};
    for (int g = 0; g < 4; ++g) {
        const std::vector<double> values = {colourOf[g]};
        connector->replyParamUpdate(colourBridge->listenHandle(), floatChange(g, 0, values));
    }
    floatBridge("in-routing-bridge", "1,3");
    CValueListAudio* groups = labels("groups", "active-groups-with-channels",
                                     {{"group-color-swatch", "ui.colours"}}, "ui.group-color-bridge");
    // Group 0 has colour 3; group 1 has colour 1.
    EXPECT_EQ(items(groups), (std::vector<std::string>{"1 [IMG=is.button#Color:C3];1", "2 [IMG=is.button#Color:C1];2"}));
    // A colour list that cannot be found fails the build, which keeps the items it had.
    ASSERT_EQ(takeMessage(groups->setAttr(CString("group-color-swatch"), CString("ui.nowhere"), true)), "");
    const std::string failure = takeMessage(groups->runEvent(CString("update-values")));
    EXPECT_NE(failure.find("ui.nowhere"), std::string::npos) << failure;
    EXPECT_EQ(items(groups).size(), 2u);
}

} // namespace
} // namespace tal
