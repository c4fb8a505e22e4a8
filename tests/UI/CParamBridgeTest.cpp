#include "UI/CParamBridge.h"

#include "Audio/CAudioParamStorage.h"
#include "Core/CAttrMap.h"
#include "Core/CByteBuffer.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tal {
namespace {

// A bridge on a recording client: what it sends is recorded, the replies are handed in by the test.
using CParamBridgeTest = CRecordingBindingTree;

TEST_F(CParamBridgeTest, ListensThroughTheClientAndKeepsTheReceivedFormat) {
    CParamBridge* bridge = addBridge("bridge", "plugin.eq.gain", "^client");
    ASSERT_EQ(connector->lines, (std::vector<std::string>{"listen-param plugin.eq.gain"}));
    EXPECT_EQ(connector->handles[0], bridge->listenHandle());
    EXPECT_EQ(bridge->listenHandle(), (1 << 16) + 1);
    EXPECT_FALSE(bridge->hasInfo());
    const auto info = makeInfo("Gain", 1, -30, 30, "1.5,2.5;-3");
    connector->replyParamInfo(bridge->listenHandle(), *info);
    ASSERT_TRUE(bridge->hasInfo());
    CUIParamValue out;
    bridge->getPlainValues(0, 1, out);
    EXPECT_EQ(out[0], 2.5);  // the format change's default row, applied to group 0
    EXPECT_EQ(bridge->getElementCount(0), 2);
}

TEST_F(CParamBridgeTest, WrittenValuesAreClampedToTheirComponentRange) {
    const struct { double minimum, maximum, written, sent; } cases[] = {
        {0, 1, 1.5, 1}, {0, 1, -0.5, 0}, {10, 0, -5, 0}, {10, 0, 15, 10}, {10, 0, 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.minimum) + ".." + std::to_string(c.maximum) + " " + std::to_string(c.written));
        const auto info = makeInfo("Level", 1, c.minimum, c.maximum, "0");
        CParamBridge* bridge = bridgeWith("bridge", *info);
        bridge->setPlainValue(0, 0, value(c.written));
        std::ostringstream expected;
        expected << "change-param u-1 g0 f0 n1 r0: " << c.sent;
        EXPECT_EQ(connector->take(), (std::vector<std::string>{expected.str()}));
        CUIParamValue local;
        bridge->getPlainValues(0, 0, local);
        EXPECT_EQ(local[0], c.sent);  // applied to the copy before any reply
        bridge->release();
    }
}

TEST_F(CParamBridgeTest, NormalisedWritesBeyondTheUnitRangeSendTheRangeEnds) {
    const auto info = makeInfo("Level", 1, -24, 12, "0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->setNormalizedValue(0, 0, value(-0.2));
    bridge->setNormalizedValue(0, 0, value(1.7));
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g0 f0 n1 r0: -24",
                                                           "change-param u-1 g0 f0 n1 r0: 12"}));
}

TEST_F(CParamBridgeTest, AWriteBeyondTheGroupEndSendsTheGapWithDefaults) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0.1,0.2");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    ASSERT_EQ(bridge->getElementCount(0), 2);
    bridge->setPlainValue(0, 4, value(9));
    // Elements 2 and 3 lie beyond the default row: they take element 0's default.
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g0 f2 n3 r0: 0.1 0.1 9"}));
    EXPECT_EQ(bridge->getElementCount(0), 5);
}

TEST_F(CParamBridgeTest, UndoStepsAreNamedAfterTheParameterAndItsGroups) {
    const auto single = makeInfo("Filter gain", 1, -30, 30, "0", true);
    const auto grouped = makeInfo("Output gain", 1, -30, 30, "0;0;0");
    const CArray<std::int32_t> none{};
    CArray<std::int32_t> groups;
    groups.add(0);
    groups.add(2);
    const struct { const CAudioParamInfo* info; int group; const CArray<std::int32_t>* groups; const char* name; } cases[] = {
        {single.get(), 1, nullptr, "Filter gain change"},
        {grouped.get(), 0, nullptr, "Output gain change (1)"},
        {grouped.get(), 1, &none, "Output gain change (2)"},
        {grouped.get(), 1, &groups, "Output gain change (1, 3)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CParamBridge* bridge = bridgeWith("bridge", *c.info);
        bridge->openUndo(c.group, false, -1, c.groups, false);
        const std::string id = std::to_string(bridge->undoId());
        EXPECT_EQ(connector->take(),
                  (std::vector<std::string>{"create-undo-data " + id + " '" + c.name + "' m0 k-1"}));
        bridge->release();
        connector->take();
    }
}

TEST_F(CParamBridgeTest, ChangesAreSentIntoTheOpenStepWhichIsSubmittedUnderItsName) {
    const auto info = makeInfo("Output gain", 1, -30, 30, "0;0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->openUndo(1, true, 7, nullptr, false);
    const std::string id = std::to_string(bridge->undoId());
    bridge->setPlainValue(1, 0, value(3));
    EXPECT_TRUE(bridge->isChanged());
    bridge->submitUndo();
    EXPECT_EQ(bridge->undoId(), -1);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"create-undo-data " + id + " 'Output gain change (2)' m1 k7",
                                                           "change-param u" + id + " g1 f0 n1 r0: 3",
                                                           "submit-undo-data " + id + " ''"}));
}

TEST_F(CParamBridgeTest, ASecondOpenUndoRemovesTheFirstStepBeforeCreatingTheNext) {
    const auto info = makeInfo("Filter gain", 1, -30, 30, "0", true);
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->openUndo(0, false, -1, nullptr, false);
    const std::int32_t first = bridge->undoId();
    bridge->openUndo(0, false, -1, nullptr, false);
    const std::int32_t second = bridge->undoId();
    EXPECT_NE(first, second);
    EXPECT_EQ(connector->take(),
              (std::vector<std::string>{"create-undo-data " + std::to_string(first) + " 'Filter gain change' m0 k-1",
                                        "remove-undo-data " + std::to_string(first),
                                        "create-undo-data " + std::to_string(second) + " 'Filter gain change' m0 k-1"}));
}

TEST_F(CParamBridgeTest, AResetOfAllGroupsIsOneStepSubmittedAtOnce) {
    const auto info = makeInfo("Output gain", 1, -30, 30, "0;0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->resetValue(-1, -1, -1, true, false);
    const std::vector<std::string> lines = connector->take();
    ASSERT_EQ(lines.size(), 3u);
    const std::string id = lines[0].substr(std::string("create-undo-data ").size(),
                                           lines[0].find(' ', 17) - std::string("create-undo-data ").size());
    EXPECT_EQ(lines, (std::vector<std::string>{"create-undo-data " + id + " 'Output gain reset' m0 k-1",
                                               "reset-param g-1 e-1 u" + id + " first0",
                                               "submit-undo-data " + id + " ''"}));
    EXPECT_EQ(bridge->undoId(), -1);
}

TEST_F(CParamBridgeTest, AResetOfOneGroupNamesTheGroupAndAResetIntoAnOpenStepStaysOpen) {
    const auto info = makeInfo("Output gain", 1, -30, 30, "0;0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->resetValue(1, 0, -1, true, true);
    std::vector<std::string> lines = connector->take();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("'Output gain reset (2)'"), std::string::npos) << lines[0];
    bridge->openUndo(0, false, -1, nullptr, false);
    const std::string id = std::to_string(bridge->undoId());
    connector->take();
    bridge->resetValue(0, 2, -1, true, false);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"reset-param g0 e2 u" + id + " first0"}));
    EXPECT_TRUE(bridge->isChanged());
    EXPECT_EQ(std::to_string(bridge->undoId()), id);
}

TEST_F(CParamBridgeTest, TheResetEventResetsWithItsArguments) {
    const auto info = makeInfo("Output gain", 1, -30, 30, "0;0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CAttrMap args;
    args.findOrAdd("group")->value.setInt(1);
    args.findOrAdd("element")->value.setInt(3);
    args.findOrAdd("undo-id")->value.setText(CString("12"));
    args.findOrAdd("use-first-element")->value.setBool(true);
    ASSERT_EQ(takeMessage(bridge->runEvent(CString("reset"), &args)), "");
    args.findOrAdd("undo-id")->value.setText(CString("none"));
    ASSERT_EQ(takeMessage(bridge->runEvent(CString("reset"), &args)), "");
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"reset-param g1 e3 u12 first1", "reset-param g1 e3 u-1 first1"}));
}

TEST_F(CParamBridgeTest, InfoWithTheFlagClearEmptiesTheStoreAndStopsWrites) {
    const auto info = makeInfo("Gain", 1, -30, 30, "1,2");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    ASSERT_EQ(bridge->getElementCount(0), 2);
    connector->replyParamInfo(bridge->listenHandle(), nullptr, nullptr);
    EXPECT_FALSE(bridge->hasInfo());
    EXPECT_EQ(bridge->store().getGroupCount(), 0);
    EXPECT_EQ(bridge->getElementCount(0), 0);
    EXPECT_EQ(bridge->getDefaultNormalized(0, 0), 0.5);
    bridge->setPlainValue(0, 0, value(1));
    bridge->openUndo(0, false, -1, nullptr, false);
    bridge->resetValue(-1, -1, -1, true, false);
    EXPECT_TRUE(connector->take().empty());
}

TEST_F(CParamBridgeTest, ParamChangeIsRaisedForChangesOfTheInfosFormatOnly) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    CEventTestObject* watcher = addListener(ui, "watcher");
    watcher->listenObject(bridge->getFullName(), CString("param-change"), CString("on"));
    std::vector<double> pair = {1, 2};
    connector->replyParamUpdate(bridge->listenHandle(), floatChange(0, 0, pair, 2));  // element size 2
    EXPECT_EQ(watcher->calls, 0);
    std::vector<double> one = {4};
    connector->replyParamUpdate(bridge->listenHandle(), floatChange(0, 0, one));
    EXPECT_EQ(watcher->calls, 1);
    CUIParamValue out;
    bridge->getPlainValues(0, 0, out);
    EXPECT_EQ(out[0], 4);
}

TEST_F(CParamBridgeTest, TextThatDoesNotParseSendsNothing) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->setValueText(0, 0, 0, CString("loud"));
    EXPECT_TRUE(connector->take().empty());
    bridge->setValueText(0, 0, 0, CString("-6.5"));
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g0 f0 n1 r0: -6.5"}));
}

TEST_F(CParamBridgeTest, StringValuesAreSentWithTheirTextsWhateverTheRange) {
    // Item ids are not values: a range of 0..0 must not turn the new text's id into 0.
    auto info = std::make_unique<CAudioParamInfo>();
    info->setLayout(1, CAudioParamStorage::kTypeString, true, false);
    info->setFlags(false, true, true);
    info->setNames(CString("Group names"), CString("group-names"), CString::emptyString);
    info->converterNames().add("shared::audio.paramcvt.text");
    ASSERT_EQ(takeMessage(info->parseConverterNames()), "");
    info->setRange(0, 0.0, 0.0);
    ASSERT_EQ(takeMessage(info->defaultValues().parseDefValues(CString("Low,High"), *info)), "");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->setValueText(0, 1, 0, CString("Vocals"));
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u-1 g0 f1 n1 r0: 'Vocals'"}));
    CString shown;
    bridge->getValueText(0, 1, 0, shown, 0);
    EXPECT_EQ(text(shown), "Vocals");
    bridge->getValueText(0, 0, 0, shown, 0);
    EXPECT_EQ(text(shown), "Low");
}

TEST_F(CParamBridgeTest, CopyingAGroupSendsTheSourceAsTheTargetsWholeContent) {
    const auto info = makeInfo("Gain", 1, -30, 30, "1,2,3;4");
    CParamBridge* bridge = bridgeWith("bridge", *info);
    std::vector<double> values = {1, 2, 3};
    connector->replyParamUpdate(bridge->listenHandle(), floatChange(0, 0, values));
    bridge->copyGroupValues(0, 1, 42);
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"change-param u42 g1 f0 n3 r1: 1 2 3"}));
    EXPECT_EQ(bridge->getElementCount(1), 0);  // the reply brings the change
}

TEST_F(CParamBridgeTest, ReleasingTheBridgeStopsListeningAndRemovesItsOpenStep) {
    const auto info = makeInfo("Gain", 1, -30, 30, "0", true);
    CParamBridge* bridge = bridgeWith("bridge", *info);
    bridge->openUndo(0, false, -1, nullptr, false);
    const std::string id = std::to_string(bridge->undoId());
    connector->take();
    bridge->release();
    EXPECT_EQ(connector->take(), (std::vector<std::string>{"unlisten-param", "remove-undo-data " + id}));
}

} // namespace
} // namespace tal
