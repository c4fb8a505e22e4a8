// The palette against the real audio side: a raw parameter stands behind its UI parameter, so that
// applying, storing, undo and the round trip of a stored value run as in the editor.

#include "UI/CDynamicPalette.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamInfo.h"
#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/RecordTags.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicColorData.h"
#include "UI/CValueList.h"
#include "UI/PaletteCreators.h"
#include "support/AppDataFolder.h"
#include "support/BindingTestTree.h"
#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

struct CItemEntry {
    const char* name;
    double brightness, contrast, opacity;
    std::int32_t tone, tone2, tone3;
};

// A parameter item of a version with its entries and the terminator; cut: drop that many bytes.
CByteBuffer paletteItem(std::uint32_t version, std::vector<CItemEntry> entries, int cut = 0) {
    CWriteSeqBuffer out;
    delete out.write32(version);
    for (const CItemEntry& e : entries) {
        delete out.writeString(CString(e.name));
        for (double x : {e.brightness, e.contrast, e.opacity})
            delete out.writeDouble(x);
        for (std::int32_t t : {e.tone, e.tone2, e.tone3})
            delete out.write32(std::uint32_t(t));
    }
    delete out.writeString(CString());
    CByteBuffer bytes;
    out.moveTo(bytes);
    return CByteBuffer(bytes.data(), bytes.size() - cut);
}

std::vector<std::uint8_t> tableOf(const CColor* color) {
    const std::uint8_t* t = color->toneTable();
    return t != nullptr ? std::vector<std::uint8_t>(t, t + 1024) : std::vector<std::uint8_t>();
}

// The palette "ui.palette" of a small description: the group title "Base colors", the editable
// colours Panel (hoverable), PanelText, Action, Label (reset from PanelText), Frame (reset to its
// defaults), Border with the alias LevelMeter, the explicit Button_ActiveHover, the 16-entry Alarm
// gradient and the fixed Glyph. Its UI parameter is bound to the raw audio parameter
// "plugin.uicolor.palette"; the application-data scopes live in a temporary folder.
class CDynamicPaletteTest : public CBindingTestTree {
protected:
    void SetUp() override {
        CBindingTestTree::SetUp();
        CCreatorRegistry::instance().registerTable(kPaletteCreatorTable);  // may be registered already
        appData = std::make_unique<test::AppDataFolder>();
        auto info = std::make_unique<CAudioParamInfo>();
        info->setLayout(1, CAudioParamStorage::kTypeRaw, true, true);
        info->setFlags(false, true, true);
        info->setNames(CString("Palette"), CString("Palette"), CString::emptyString);
        info->converterNames().add("shared::audio.paramcvt.text");
        EXPECT_EQ(takeMessage(info->parseConverterNames()), "");
        EXPECT_EQ(takeMessage(info->defaultValues().parseDefValues(CString(""), *info)), "");
        audioParam = collector->acquireParam(CString("plugin.uicolor.palette"));
        audioParam->setInfo(info.get(), nullptr, {});
        infos.push_back(std::move(info));
        client = openClient("client");
        addBridge("palette-bridge", "plugin.uicolor.palette", "^client");
        tick();
        watcher = addListener(ui, "watcher");
        watcher->action = [this](CEventTestObject&, CAttrMap&) {
            ++updates;
            return static_cast<CError*>(nullptr);
        };
        fromParam = addListener(ui, "from-param");
    }
    void TearDown() override {
        CBindingTestTree::TearDown();
        appData.reset();
    }
    CObject* child(CObject* parent, const char* tag, const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, parent, tag, name, attrs)), "") << name;
        return object;
    }
    CObject* color(CObject* parent, const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(parent->addChild(object, CString("ui:dynamic-color"), CString(name), false)), "");
        EXPECT_EQ(takeMessage(object->setAttr(CString("palette"), CString("ui.palette"), false)), "");
        EXPECT_EQ(takeMessage(object->setAttr(CString("contrast"), CString("0.5"), false)), "");
        EXPECT_EQ(takeMessage(object->setAttr(CString("opacity"), CString("1"), false)), "");
        EXPECT_EQ(takeMessage(object->setAttr(CString("gradient-size"), CString("1"), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "") << name << key;
        EXPECT_EQ(takeMessage(object->init()), "") << name;
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return object;
    }
    // Builds the palette as the description loader does, ending at life stage 4. initError
    // receives the text of a failing init (the palette is then not built further).
    CDynamicPalette* build(std::string* initError = nullptr) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:dynamic-palette"), CString("palette"), false)), "");
        p = dynamic_cast<CDynamicPalette*>(object);
        EXPECT_EQ(takeMessage(p->setAttr(CString("color-list"), CString(".color-list"), false)), "");
        const std::string error = takeMessage(p->init());
        if (initError != nullptr)
            *initError = error;
        else
            EXPECT_EQ(error, "");
        child(p, "ui:ui-param", "ui-param-palette", {{"bridge", "ui.palette-bridge"}});
        list = dynamic_cast<CValueList*>(child(p, "ui:value-list-manual", "color-list", {}));
        child(p, "core:object", "cmods", {});
        child(p, "core:object", "group-title", {{"title", "Base colors"}});
        color(p, "Panel", {{"tone", "202428"}, {"editable-features", "tco"}, {"is-hoverable", "true"},
                           {"hover-brightness", "6"}, {"title", "Panel"}});
        color(p, "PanelText", {{"tone", "e0e4e8"}, {"editable-features", "tco"}, {"title", "Text"}});
        color(p, "Action", {{"tone", "3080f0"}, {"editable-features", "tco"}, {"title", "Action"}});
        color(p, "Label", {{"tone", "101010"}, {"editable-features", "tco"}, {"copy-default-from", "PanelText"},
                           {"title", "Label"}});
        color(p, "Frame", {{"tone", "303030"}, {"editable-features", "tco"}, {"title", "Frame"}});
        CObject* border = color(p, "Border", {{"tone", "404040"}, {"editable-features", "tco"}, {"title", "Window border"}});
        color(border, "LevelMeter", {{"is-copy-parent-color", "true"}});
        color(p, "Button_ActiveHover", {{"tone", "5090ff"}});
        color(p, "Alarm", {{"gradient-size", "16"}, {"tone", "ffd000"}, {"tone2", "ff2000"}});
        color(p, "Glyph", {{"tone", "c0c0c0"}});
        watcher->listenObject(p->getFullName(), CString("dynamic-palette-updated"), CString("on"));
        fromParam->listenObject(p->getFullName(), CString("palette-updated-from-param"), CString("on"));
        EXPECT_EQ(takeMessage(p->createChilds()), "");
        EXPECT_EQ(takeMessage(p->initChilds()), "");
        p->setLifeStage(4);
        return p;
    }
    // A new value of the audio parameter, as a preset or the stored state brings it.
    void setParam(CByteBuffer bytes) {
        audioParam->setRaw(0, 0, bytes, nullptr, nullptr, {});
        tick();
    }
    CByteBuffer paramBytes() const { return CByteBuffer(audioParam->getCurrent().getData().getRaw(int(audioParam->getCurrent().getValues(0)[0]))); }
    std::string tone(const char* name) { return text(p->findColor(CString(name))->getTextAttr("tone")); }
    int historySize() {
        tick();
        return client->undoHistoryNames().count();
    }
    CByteBuffer storedCache() {
        CByteBuffer body;
        CAppData::localScope().read(CString("ui-palette-cache"), body, kTagAppData, true);
        return body;
    }

    std::unique_ptr<test::AppDataFolder> appData;
    CAudioParam* audioParam = nullptr;
    CAudioInterfaceClient* client = nullptr;
    CEventTestObject* watcher = nullptr;
    CEventTestObject* fromParam = nullptr;
    int updates = 0;
    CDynamicPalette* p = nullptr;
    CValueList* list = nullptr;
};

TEST_F(CDynamicPaletteTest, WithoutAValueNothingIsBuiltAndEveryColourIsTheFallback) {
    build();
    EXPECT_EQ(updates, 0);
    EXPECT_FALSE(p->findColor(CString("Panel"))->isReady());
    for (const char* name : {"Panel", "Action", "Alarm", "LevelMeter"})
        EXPECT_EQ(p->getColor(CString(name), 0.0), &p->fallbackColor()) << name;
    setParam(CByteBuffer());  // an empty item does nothing at all
    EXPECT_EQ(updates, 0);
    EXPECT_FALSE(p->findColor(CString("Panel"))->isReady());
}

TEST_F(CDynamicPaletteTest, AVersion1ItemSetsWhatItNamesAndResetsTheRest) {
    build();
    setParam(paletteItem(1, {}));
    ASSERT_EQ(updates, 1);
    updates = 0;
    // Values of an earlier session, which the next item must undo where it does not name them.
    for (const char* name : {"Label", "Frame", "PanelText"})
        ASSERT_EQ(takeMessage(p->findColor(CString(name))->setAttr(CString("tone"), CString("ffffff"), true)), "");
    ASSERT_EQ(takeMessage(p->findColor(CString("PanelText"))->setAttr(CString("tone"), CString("e0e4e8"), true)), "");
    updates = 0;
    fromParam->calls = 0;
    setParam(paletteItem(1, {{"Action", 0.0, 0.5, 1.0, 0xD0D0D0, -1, -1}, {"Unknown", 1.0, 1.0, 1.0, 0, 0, 0}}));
    EXPECT_EQ(tone("Action"), "d0d0d0");
    EXPECT_EQ(tone("Label"), "e0e4e8");  // PanelText's current tone
    EXPECT_EQ(tone("Frame"), "303030");  // its own default
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(fromParam->calls, 1);
    CColor reference;
    reference.buildToneRamp(0xD0, 0xD0, 0xD0, 0.5, 1.0, 0.0);
    EXPECT_EQ(tableOf(p->getColor(CString("Action"), 0.0)), tableOf(&reference));
}

TEST_F(CDynamicPaletteTest, AnItemOfAnotherVersionResetsEveryEditableColourAndAnnouncesOnce) {
    build();
    setParam(paletteItem(1, {{"Action", 0.0, 0.5, 1.0, 0xD0D0D0, -1, -1}}));
    ASSERT_EQ(tone("Action"), "d0d0d0");
    updates = 0;
    setParam(paletteItem(2, {{"Action", 0.0, 0.5, 1.0, 0x123456, -1, -1}}));
    EXPECT_EQ(tone("Action"), "3080f0");
    EXPECT_EQ(tone("Label"), "e0e4e8");
    EXPECT_EQ(updates, 1);
    for (const char* name : {"Panel", "Glyph", "Alarm", "Border", "Button_ActiveHover"})
        EXPECT_TRUE(p->findColor(CString(name))->isReady()) << name;
}

TEST_F(CDynamicPaletteTest, LookupsByNameHoverNameAliasAndUnknownName) {
    build();
    setParam(paletteItem(1, {}));
    CDynamicColor* panel = p->findColor(CString("Panel"));
    EXPECT_EQ(p->getColor(CString("Panel"), 0.0), panel->colorData()->entry(0));
    EXPECT_EQ(p->getColor(CString("Panel_Hover"), 0.0), panel->colorData()->hoverColor());
    EXPECT_NE(tableOf(panel->colorData()->hoverColor()), tableOf(panel->colorData()->entry(0)));
    // An explicit colour of a hover name wins over a derived one.
    EXPECT_EQ(p->getColor(CString("Button_ActiveHover"), 0.0),
              p->findColor(CString("Button_ActiveHover"))->colorData()->entry(0));
    // Without a hover colour the hover name gives the entry.
    EXPECT_EQ(p->getColor(CString("Action_Hover"), 0.0), p->getColor(CString("Action"), 0.0));
    EXPECT_EQ(p->getColor(CString("LevelMeter"), 0.0), p->getColor(CString("Border"), 0.0));
    EXPECT_EQ(p->getColor(CString("LevelMeter_Hover"), 0.0), p->getColor(CString("Border"), 0.0));
    CDynamicColorData* alarm = p->findColor(CString("Alarm"))->colorData();
    EXPECT_EQ(p->getColor(CString("Alarm"), 1.0), alarm->entry(15));
    EXPECT_EQ(p->getColor(CString("Alarm"), 2.0), alarm->entry(0));
    CLogCapture log;
    EXPECT_EQ(p->getColor(CString("Nowhere"), 0.0), &p->fallbackColor());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("Color not found: 'Nowhere' // ui.palette"), std::string::npos) << log.lines()[0];
    CColor grey;
    grey.buildToneRamp(69, 69, 69, 0.5, 1.0, 0.0);
    EXPECT_EQ(tableOf(&p->fallbackColor()), tableOf(&grey));
}

TEST_F(CDynamicPaletteTest, OneEditStoresTheItemOnceAsOneUndoStepAndAnnouncesOnce) {
    build();
    setParam(paletteItem(1, {}));
    updates = 0;
    fromParam->calls = 0;
    const int history = historySize();
    CDynamicColor* action = p->findColor(CString("Action"));
    ASSERT_EQ(takeMessage(action->setAttr(CString("tone"), CString("ff8000"), true)), "");
    const std::int32_t built = action->colorData()->entry(0)->changeCount();
    CByteBuffer expected;
    ASSERT_EQ(takeMessage(p->writePaletteItem(expected)), "");
    const CByteBuffer stored = paramBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(stored.data(), stored.data() + stored.size()),
              std::vector<std::uint8_t>(expected.data(), expected.data() + expected.size()));
    EXPECT_EQ(historySize(), history + 1);
    // The edit announces itself once; each return of the value through the interface is applied
    // again (rebuilding nothing) and announced with both events.
    ASSERT_GE(fromParam->calls, 1);
    EXPECT_EQ(updates, 1 + fromParam->calls);
    EXPECT_EQ(action->colorData()->entry(0)->changeCount(), built);
    EXPECT_EQ(tone("Action"), "ff8000");
    // The same value again stores and announces nothing.
    const int announced = updates;
    ASSERT_EQ(takeMessage(action->setAttr(CString("tone"), CString("ff8000"), true)), "");
    EXPECT_EQ(updates, announced);
    EXPECT_EQ(historySize(), history + 1);
    // Undo brings the tone back through the parameter.
    client->setUndoHistoryPos(client->undoHistoryPosition() - 1);
    tick();
    EXPECT_EQ(tone("Action"), "3080f0");
}

TEST_F(CDynamicPaletteTest, AChangeBeforeThePaletteIsBuiltOnlyMarksTheCache) {
    build();
    setParam(paletteItem(1, {}));
    const int history = historySize();
    updates = 0;
    p->setLifeStage(3);
    ASSERT_EQ(takeMessage(p->findColor(CString("Action"))->setAttr(CString("tone"), CString("ff8000"), true)), "");
    EXPECT_TRUE(p->isCacheDirty());
    EXPECT_EQ(updates, 0);
    EXPECT_EQ(historySize(), history);
}

TEST_F(CDynamicPaletteTest, TheCacheIsWrittenOnCloseOnlyAfterARebuild) {
    build();
    setParam(paletteItem(1, {}));
    p->release();
    const CByteBuffer body = storedCache();
    ASSERT_GT(body.size(), 8);
    CMemoryReader in(body.data(), body.size());
    std::uint32_t version = 0, count = 0;
    ASSERT_EQ(takeMessage(in.read32(version)), "");
    ASSERT_EQ(takeMessage(in.read32(count)), "");
    EXPECT_EQ(version, 2u);
    EXPECT_EQ(count, 9u);  // every colour with data of its own, the alias has none
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < count; ++i) {
        CString name;
        ASSERT_EQ(takeMessage(in.readString(name)), "");
        names.push_back(text(name));
        CDynamicColorData data(1, false);
        ASSERT_EQ(takeMessage(data.read(in)), "") << names.back();
    }
    EXPECT_EQ(in.position(), body.size());
    EXPECT_EQ(names.front(), "Action");  // in name order
    EXPECT_EQ(names.back(), "PanelText");

    // The next editor draws from the cache before any value arrives, and closes without writing.
    build();
    CColor reference;
    reference.buildToneRamp(0x30, 0x80, 0xF0, 0.5, 1.0, 0.0);
    EXPECT_EQ(tableOf(p->getColor(CString("Action"), 0.0)), tableOf(&reference));
    EXPECT_FALSE(p->isCacheDirty());
    setParam(paletteItem(1, {}));  // the same values: nothing to rebuild
    EXPECT_FALSE(p->isCacheDirty());
    const CByteBuffer marker(paletteItem(7, {}));
    CAppData::localScope().write(CString("ui-palette-cache"), marker, nullptr, kTagAppData);
    p->release();
    EXPECT_EQ(storedCache().size(), marker.size());
}

TEST_F(CDynamicPaletteTest, ADamagedCacheIsDroppedAndTheEditorStillOpens) {
    build();
    setParam(paletteItem(1, {}));
    p->release();
    const CByteBuffer good = storedCache();
    for (int cut : {1, 500, good.size() - 12}) {
        CAppData::localScope().write(CString("ui-palette-cache"), CByteBuffer(good.data(), good.size() - cut), nullptr,
                                     kTagAppData);
        CLogCapture log;
        std::string initError;
        build(&initError);
        EXPECT_EQ(initError, "") << cut;
        EXPECT_FALSE(log.lines().empty()) << cut;  // the damage is logged
        EXPECT_TRUE(p->isCacheDirty()) << cut;
        setParam(paletteItem(1, {}));
        EXPECT_NE(p->getColor(CString("Action"), 0.0), &p->fallbackColor()) << cut;
        p->release();
        EXPECT_EQ(storedCache().size(), good.size()) << cut;  // rewritten whole
    }
}

TEST_F(CDynamicPaletteTest, ATruncatedItemStillReadiesTheColoursAndLaterEditsAreStored) {
    build();
    CLogCapture log;
    setParam(paletteItem(1, {{"Action", 0.0, 0.5, 1.0, 0xD0D0D0, -1, -1}, {"Frame", 0.0, 0.5, 1.0, 0x00FF00, -1, -1}}, 9));
    EXPECT_EQ(tone("Action"), "d0d0d0");  // read before the damage
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(fromParam->calls, 1);
    EXPECT_FALSE(log.lines().empty());  // the damage is logged
    for (const char* name : {"Panel", "Frame", "Alarm"})
        EXPECT_TRUE(p->findColor(CString(name))->isReady()) << name;
    updates = 0;
    fromParam->calls = 0;
    const int history = historySize();
    ASSERT_EQ(takeMessage(p->findColor(CString("Panel"))->setAttr(CString("tone"), CString("101418"), true)), "");
    EXPECT_EQ(historySize(), history + 1);
    ASSERT_GE(fromParam->calls, 1);
    EXPECT_EQ(updates, 1 + fromParam->calls);  // the edit's own, then one per return of the value
}

TEST_F(CDynamicPaletteTest, TheColourListHasGroupTitlesAndEditableColours) {
    build();
    ASSERT_GE(list->itemCount(), 2);
    EXPECT_EQ(text(list->itemText(0)),
              "[N/A][IMG=is.button#Color:Invisible] [B]Base colors[/B][IMG=is.button#IconCMD:Invisible]");
    EXPECT_EQ(text(list->itemValue(1)), "[IMG=is.button#Color:Panel] Panel;Panel");
    std::vector<std::string> values;
    for (int i = 0; i < list->itemCount(); ++i)
        values.push_back(text(list->itemValue(i)));
    EXPECT_EQ(values.size(), 7u);  // the title and six editable colours; no alias, fixed colour or cmods
    EXPECT_EQ(values[6], "[IMG=is.button#Color:Border] Window border;Border");
}

} // namespace
} // namespace tal
