// Colour texts, the built record of a dynamic colour and its stream form, and a colour's own
// reading of its description.

#include "UI/CDynamicColor.h"

#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/CByteBuffer.h"
#include "UI/CDynamicColorData.h"
#include "UI/CDynamicPalette.h"
#include "UI/HexColor.h"
#include "UI/PaletteCreators.h"
#include "support/AppDataFolder.h"
#include "support/CEventTestTree.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace tal {
namespace {

// The bytes of a ramp (or none) for comparisons.
std::vector<std::uint8_t> tableOf(const CColor& color) {
    const std::uint8_t* t = color.toneTable();
    return t != nullptr ? std::vector<std::uint8_t>(t, t + 1024) : std::vector<std::uint8_t>();
}

std::vector<std::uint8_t> rampOf(int r, int g, int b, double contrast, double opacity, double brightness) {
    CColor color;
    color.buildToneRamp(r, g, b, contrast, opacity, brightness);
    return tableOf(color);
}

CByteBuffer bytesOf(const CDynamicColorData& data) {
    CWriteSeqBuffer out;
    EXPECT_EQ(takeMessage(data.write(out)), "");
    CByteBuffer bytes;
    out.moveTo(bytes);
    return bytes;
}

TEST(HexColorTest, TextsAndValues) {
    const struct { const char* text; std::int32_t value; } parsed[] = {
        {"3f3e2b", 0x3F3E2B}, {"3F3E2B", 0x3F3E2B}, {"000000", 0}, {"ffffff", 0xFFFFFF}, {"d0d0d0", 0xD0D0D0},
        {"", -1}, {"#3f3e2b", -1}, {"0x10", -1}, {"12 34", -1}, {"-1", -1}, {"g00000", -1}, {"1ffffff", 0x1FFFFFF},
    };
    for (const auto& c : parsed)
        EXPECT_EQ(parseHexColor(CString(c.text)), c.value) << c.text;
    EXPECT_EQ(text(formatHexColor(0x3F3E2B)), "3f3e2b");
    EXPECT_EQ(text(formatHexColor(0)), "000000");
    EXPECT_EQ(text(formatHexColor(-1)), "");
    EXPECT_EQ(text(formatHexColor(0x7F0A0B0C)), "0a0b0c");  // only the three low bytes
    for (std::int32_t v : {0x000001, 0x123456, 0xABCDEF, 0xFF00FF})
        EXPECT_EQ(parseHexColor(formatHexColor(v)), v);
}

TEST(CDynamicColorDataTest, ASingleEntryIsTheToneRampOfItsParameters) {
    CDynamicColorData data(1, false);
    EXPECT_EQ(data.entry(0)->toneTable(), nullptr);  // nothing built yet
    EXPECT_TRUE(data.setParams(0x3F3E2B, -1, -1, 0.0, 0.5, 1.0, 6.0));
    EXPECT_EQ(tableOf(*data.entry(0)), rampOf(0x3F, 0x3E, 0x2B, 0.5, 1.0, 0.0));
    EXPECT_FALSE(data.hasHover());
}

TEST(CDynamicColorDataTest, GradientEntriesBlendTheTonesAndTheHoverUsesTheFirstTone) {
    CDynamicColorData two(16, true);
    ASSERT_TRUE(two.setParams(0xFF0000, 0x000000, -1, 2.0, 0.4, 0.9, 6.0));
    EXPECT_EQ(tableOf(*two.entry(0)), rampOf(255, 0, 0, 0.4, 0.9, 2.0));
    EXPECT_EQ(tableOf(*two.entry(5)), rampOf(170, 0, 0, 0.4, 0.9, 2.0));
    EXPECT_EQ(tableOf(*two.entry(15)), rampOf(0, 0, 0, 0.4, 0.9, 2.0));
    EXPECT_EQ(tableOf(*two.hoverColor()), rampOf(255, 0, 0, 0.4, 0.9, 8.0));

    CDynamicColorData three(3, false);
    ASSERT_TRUE(three.setParams(0x102030, 0x808080, 0xF0E0D0, 0.0, 0.5, 1.0, 0.0));
    EXPECT_EQ(tableOf(*three.entry(0)), rampOf(0x10, 0x20, 0x30, 0.5, 1.0, 0.0));
    EXPECT_EQ(tableOf(*three.entry(1)), rampOf(0x80, 0x80, 0x80, 0.5, 1.0, 0.0));
    EXPECT_EQ(tableOf(*three.entry(2)), rampOf(0xF0, 0xE0, 0xD0, 0.5, 1.0, 0.0));

    CDynamicColorData noSecond(2, false);
    ASSERT_TRUE(noSecond.setParams(0x000000, -1, -1, 0.0, 0.5, 1.0, 0.0));
    EXPECT_EQ(tableOf(*noSecond.entry(1)), rampOf(255, 255, 255, 0.5, 1.0, 0.0));
}

TEST(CDynamicColorDataTest, OnlyAChangeBeyondTheToleranceRebuilds) {
    CDynamicColorData data(4, true);
    ASSERT_TRUE(data.setParams(0x405060, 0x000000, -1, 1.0, 0.5, 1.0, 6.0));
    const std::int32_t before = data.entry(2)->changeCount();
    const std::int32_t hoverBefore = data.hoverColor()->changeCount();
    EXPECT_FALSE(data.setParams(0x405060, 0x000000, -1, 1.0, 0.5, 1.0, 6.0));
    EXPECT_EQ(data.entry(2)->changeCount(), before);
    EXPECT_TRUE(data.setParams(0x405060, 0x000000, -1, 1.0 + 1e-9, 0.5, 1.0, 6.0));
    EXPECT_NE(data.entry(2)->changeCount(), before);
    EXPECT_NE(data.hoverColor()->changeCount(), hoverBefore);
    EXPECT_TRUE(data.setParams(0x405060, 0x000000, 0x000001, 1.0 + 1e-9, 0.5, 1.0, 6.0));  // tone3 counts
}

TEST(CDynamicColorDataTest, ARecordReadsBackWithItsParametersTablesAndHover) {
    CDynamicColorData plain(1, false);
    ASSERT_TRUE(plain.setParams(0x3F3E2B, -1, -1, 0.0, 0.5, 1.0, 0.0));
    EXPECT_EQ(bytesOf(plain).size(), 48 + 776 + 1);

    CDynamicColorData gradient(16, true);
    ASSERT_TRUE(gradient.setParams(0xFF0000, 0x00FF00, 0x0000FF, -3.0, 0.3, 0.8, 7.0));
    const CByteBuffer bytes = bytesOf(gradient);
    ASSERT_EQ(bytes.size(), 48 + 776 * 16 + 1 + 776);
    CDynamicColorData back(1, false);  // a different shape: the stream decides
    CMemoryReader in(bytes.data(), bytes.size());
    ASSERT_EQ(takeMessage(back.read(in)), "");
    EXPECT_EQ(in.position(), bytes.size());
    EXPECT_EQ(back.entryCount(), 16);
    ASSERT_TRUE(back.hasHover());
    EXPECT_EQ(back.tone, 0xFF0000);
    EXPECT_EQ(back.tone3, 0x0000FF);
    EXPECT_DOUBLE_EQ(back.brightness, -3.0);
    EXPECT_DOUBLE_EQ(back.hoverBrightness, 7.0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(tableOf(*back.entry(i)), tableOf(*gradient.entry(i))) << i;
    EXPECT_EQ(tableOf(*back.hoverColor()), tableOf(*gradient.hoverColor()));
    // Read records count as built: the same parameters build nothing.
    EXPECT_FALSE(back.setParams(0xFF0000, 0x00FF00, 0x0000FF, -3.0, 0.3, 0.8, 7.0));

    // A hover byte of 0 drops the hover colour of the record read into.
    const CByteBuffer plainBytes = bytesOf(plain);
    CMemoryReader plainReader(plainBytes.data(), plainBytes.size());
    ASSERT_EQ(takeMessage(back.read(plainReader)), "");
    EXPECT_FALSE(back.hasHover());
    EXPECT_EQ(back.entryCount(), 1);
}

TEST(CDynamicColorDataTest, ADamagedEntryCountIsARefusedRecord) {
    CDynamicColorData plain(1, false);
    ASSERT_TRUE(plain.setParams(0x3F3E2B, -1, -1, 0.0, 0.5, 1.0, 0.0));
    const CByteBuffer good = bytesOf(plain);
    for (std::int32_t count : {0, -1, -2147483647 - 1, 4097, 0x7FFFFFFF}) {
        CByteBuffer bytes(good);
        std::memcpy(bytes.data() + 44, &count, 4);
        CDynamicColorData data(1, false);
        CMemoryReader in(bytes.data(), bytes.size());
        EXPECT_NE(takeMessage(data.read(in)), "") << count;
        EXPECT_EQ(data.entryCount(), 1) << count;  // the entries are untouched
    }
    // The largest allowed count is read as far as the bytes go, then the stream's end fails.
    CByteBuffer bytes(good);
    const std::int32_t largest = CDynamicColorData::kMaxEntries;
    std::memcpy(bytes.data() + 44, &largest, 4);
    CDynamicColorData data(1, false);
    CMemoryReader in(bytes.data(), bytes.size());
    EXPECT_NE(takeMessage(data.read(in)), "");
}

TEST(CDynamicColorNameTest, HoverNames) {
    const struct { const char* name; const char* hover; } cases[] = {
        {"Panel", "Panel_Hover"}, {"ButtonABIndicator", "ButtonABIndicator_Hover"},
        {"Button_Active", "Button_ActiveHover"}, {"_Panel", "_Panel_Hover"}, {"A__", "A___Hover"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(CDynamicColor::makeHoverName(CString(c.name))), c.hover) << c.name;
}

// A palette "ui.palette" without a parameter, for colours' own init; its cache goes to a
// temporary folder.
class CDynamicColorTest : public CEventTestTree {
protected:
    void SetUp() override {
        appData = std::make_unique<test::AppDataFolder>();
        CEventTestTree::SetUp();
        CCreatorRegistry::instance().registerTable(kPaletteCreatorTable);  // may be registered already
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(ui->addChild(object, CString("ui:dynamic-palette"), CString("palette"), false)), "");
        palette = dynamic_cast<CDynamicPalette*>(object);
        ASSERT_NE(palette, nullptr);
        ASSERT_EQ(takeMessage(palette->init()), "");
    }
    // A colour under parent (the palette by default); its error text, "" when it was made.
    std::string color(const char* name, AttrList attrs, CObject* parent = nullptr) {
        CObject* object = nullptr;
        CError* error = (parent != nullptr ? parent : palette)->addChild(object, CString("ui:dynamic-color"), CString(name), false);
        if (error == nullptr)
            error = object->setAttr(CString("palette"), CString("ui.palette"), false);
        for (const auto& [key, value] : attrs)
            if (error == nullptr)
                error = object->setAttr(CString(key), CString(value), false);
        if (error == nullptr)
            error = object->init();
        return takeMessage(error);
    }
    CDynamicColor* find(const char* name) { return palette->findColor(CString(name)); }

    void TearDown() override {
        CEventTestTree::TearDown();
        appData.reset();
    }

    std::unique_ptr<test::AppDataFolder> appData;
    CDynamicPalette* palette = nullptr;
};

TEST_F(CDynamicColorTest, EditableFeaturesAreReadWithTheirSigns) {
    ASSERT_EQ(color("A", {{"gradient-size", "1"}, {"editable-features", "tco-o"}}), "");
    EXPECT_TRUE(find("A")->isToneEditable());
    EXPECT_TRUE(find("A")->isContrastEditable());
    EXPECT_FALSE(find("A")->isOpacityEditable());
    EXPECT_FALSE(find("A")->isBrightnessEditable());
    ASSERT_EQ(color("S", {{"gradient-size", "1"}, {"editable-features", "be"}, {"editable-brightness-min", "-5"},
                          {"editable-brightness-max", "60"}}),
              "");
    EXPECT_TRUE(find("S")->isEnableSwitch());
    EXPECT_DOUBLE_EQ(find("S")->editableBrightnessMin(), -5.0);
    EXPECT_DOUBLE_EQ(find("S")->editableBrightnessMax(), 60.0);
    ASSERT_EQ(color("N", {{"gradient-size", "1"}}), "");
    EXPECT_FALSE(find("N")->isEditable());
}

TEST_F(CDynamicColorTest, ABadDescriptionRegistersNothing) {
    EXPECT_NE(color("X", {{"gradient-size", "1"}, {"editable-features", "tx"}}).find("Invalid characters in "
                                                                                    "editable-features attribute."),
              std::string::npos);
    EXPECT_NE(color("G", {{"gradient-size", "0"}}).find("Gradient size not defined."), std::string::npos);
    CObject* group = CParamTestTree::plain(palette, "group");
    EXPECT_NE(color("Orphan", {{"is-copy-parent-color", "true"}}, group).find("Parent dynamic color not found."),
              std::string::npos);
    for (const char* name : {"X", "G", "Orphan"})
        EXPECT_EQ(find(name), nullptr) << name;
}

TEST_F(CDynamicColorTest, AnAliasAnswersWithItsParentsEntries) {
    ASSERT_EQ(color("Border", {{"gradient-size", "1"}, {"tone", "506070"}, {"contrast", "0.5"}, {"opacity", "1"}}), "");
    CObject* border = palette->findChild(CString("Border"));
    ASSERT_EQ(color("LevelMeter", {{"is-copy-parent-color", "true"}}, border), "");
    EXPECT_EQ(find("LevelMeter"), find("Border"));
    EXPECT_EQ(find("Border")->colorData(), palette->getColorData(CString("Border"), 1, false));
}

TEST_F(CDynamicColorTest, GradientPositionsRoundHalfAwayAndFallBackToTheFirstEntry) {
    ASSERT_EQ(color("Alarm", {{"gradient-size", "16"}, {"tone", "ff0000"}, {"tone2", "00ff00"}}), "");
    CDynamicColor* alarm = find("Alarm");
    CDynamicColorData* data = alarm->colorData();
    const struct { double position; int entry; } cases[] = {
        {0.0, 0}, {0.5, 8}, {1.0, 15}, {2.0, 0}, {-0.4, 0}, {-0.01, 0}, {0.3, 5}, {1.03, 15}, {1.04, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(alarm->getGradientColor(c.position), data->entry(c.entry)) << c.position;
    EXPECT_EQ(alarm->getHoverColor(1.0), data->entry(15));  // no hover colour: the entry
}

TEST_F(CDynamicColorTest, AttributeChangesRebuildOnlyWhenReady) {
    ASSERT_EQ(color("C", {{"gradient-size", "1"}, {"is-hoverable", "true"}, {"tone", "202020"}, {"contrast", "0.5"},
                          {"opacity", "1"}}),
              "");
    CDynamicColor* c = find("C");
    ASSERT_EQ(takeMessage(c->setAttr(CString("tone"), CString("ff0000"), true)), "");
    EXPECT_EQ(c->colorData()->entry(0)->toneTable(), nullptr);  // not ready
    c->setReady(true);
    ASSERT_EQ(takeMessage(c->setAttr(CString("tone"), CString("00ff00"), true)), "");
    EXPECT_EQ(tableOf(*c->colorData()->entry(0)), rampOf(0, 255, 0, 0.5, 1.0, 0.0));
    ASSERT_EQ(takeMessage(c->setDoubleAttr(CString("hover-brightness"), 9.0, true)), "");
    EXPECT_EQ(tableOf(*c->colorData()->hoverColor()), rampOf(0, 255, 0, 0.5, 1.0, 9.0));
    ASSERT_EQ(takeMessage(c->setDoubleAttr(CString("brightness"), 60.0, true)), "");
    EXPECT_TRUE(c->isEnabled());
    ASSERT_EQ(takeMessage(c->setDoubleAttr(CString("brightness"), -5.0, true)), "");
    EXPECT_FALSE(c->isEnabled());
    EXPECT_TRUE(palette->isCacheDirty());
}

TEST_F(CDynamicColorTest, HoverBrightnessIsIgnoredWithoutAHoverColour) {
    ASSERT_EQ(color("C", {{"gradient-size", "1"}, {"tone", "202020"}, {"contrast", "0.5"}, {"opacity", "1"}}), "");
    CDynamicColor* c = find("C");
    c->setReady(true);
    ASSERT_EQ(takeMessage(c->update()), "");
    const std::int32_t count = c->colorData()->entry(0)->changeCount();
    ASSERT_EQ(takeMessage(c->setDoubleAttr(CString("hover-brightness"), 9.0, true)), "");
    EXPECT_EQ(c->colorData()->entry(0)->changeCount(), count);
}

} // namespace
} // namespace tal

namespace tal {
namespace {

TEST_F(CDynamicColorTest, AColourThatGoesAwayIsForgottenWithItsAlias) {
    ASSERT_EQ(color("Border", {{"gradient-size", "1"}, {"tone", "506070"}, {"contrast", "0.5"}, {"opacity", "1"}}), "");
    CObject* border = palette->findChild(CString("Border"));
    ASSERT_EQ(color("LevelMeter", {{"is-copy-parent-color", "true"}}, border), "");
    ASSERT_EQ(color("Other", {{"gradient-size", "1"}, {"tone", "102030"}}), "");
    border->release();
    for (const char* name : {"Border", "LevelMeter", "Border_Hover", "LevelMeter_Hover"})
        EXPECT_EQ(palette->getColor(CString(name), 0.0), &palette->fallbackColor()) << name;
    EXPECT_EQ(find("Border"), nullptr);
    EXPECT_EQ(find("LevelMeter"), nullptr);
    EXPECT_NE(find("Other"), nullptr);
}

} // namespace
} // namespace tal
