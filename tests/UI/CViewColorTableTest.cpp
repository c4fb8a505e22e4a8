// Colour tables of views: palette names built from prefix, names and states, reads by index, raw
// colours, slot objects; and the range guards of names, slots and raw entries.
#include "UI/CViewColorTable.h"

#include "Other/CColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "UI/CViewColorSlot.h"
#include "support/CLogCapture.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CViewColorTableTest : public CViewTestTree {
protected:
    // The palette names a refresh of table looks up, in order (the palette has none of them, so each
    // lookup logs "Color not found").
    std::vector<std::string> lookups(CViewColorTable& table) {
        CLogCapture log;
        table.refresh();
        std::vector<std::string> names;
        for (const std::string& line : log.lines()) {
            const std::string head = "Color not found: '";
            if (line.rfind(head, 0) == 0) names.push_back(line.substr(head.size(), line.find('\'', head.size()) - head.size()));
        }
        return names;
    }
};

TEST_F(CViewColorTableTest, NamesResolvePerStateWithPrefixAbsoluteNamesAndStateSuffix) {
    CViewColorTable table(CString("window"));
    table.setRootColors(&table);
    table.setPalette(palette);
    table.setPrefix(CString("Action"));
    table.setColorName(1, CString("Text"));
    table.setColorName(2, CString("/Selection"));
    table.setSlotName(1, CString("/PanelBorder"));
    table.setDisabledNames(CString("Grey"));
    table.addState(CString("Hover"));
    EXPECT_EQ(lookups(table), (std::vector<std::string>{"Action", "ActionText", "Selection", "Action_Hover",
                                                        "ActionText_Hover", "Selection_Hover", "Action", "PanelBorder",
                                                        "Action_Hover", "PanelBorder_Hover", "Grey", "Grey"}));
    // Clean and the same palette: nothing is looked up again.
    EXPECT_TRUE(lookups(table).empty());
    table.setPrefix(CString("Action"));
    EXPECT_TRUE(lookups(table).empty());
    table.markDirty();
    EXPECT_EQ(lookups(table).size(), 12u);
}

TEST_F(CViewColorTableTest, ReadsIndexNamesTimesStateAndFallBackOutOfRange) {
    CViewColorTable table(CString("window"));
    table.setRootColors(&table);
    table.setPalette(palette);
    CColor own[3];
    for (int i = 0; i < 3; ++i) table.setRawColor(i, &own[i]);
    table.selectState(CString("Active"));
    EXPECT_EQ(table.currentState(), 1);
    CLogCapture log;
    EXPECT_EQ(table.getColor(1), &own[1]);   // entry 1 + 3 x 1: raw colours answer in every state
    EXPECT_EQ(table.colorInState(2, 0), &own[2]);
    const struct {
        int index;
        const char* line;
    } cases[] = {{3, "WRONG COLOR INDEX 3"}, {-1, "WRONG COLOR INDEX -1"}};
    for (const auto& c : cases) {
        log.clear();
        EXPECT_EQ(table.getColor(c.index), &palette->fallbackColor()) << c.index;
        EXPECT_EQ(log.lines(), std::vector<std::string>({c.line})) << c.index;
    }
    log.clear();
    EXPECT_EQ(table.getSlotColor(-3), &palette->fallbackColor());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("WRONG SLOT INDEX -3 (state 1) // 0x", 0), 0u) << log.lines()[0];
    EXPECT_EQ(table.colorInState(0, 7), nullptr);
    EXPECT_EQ(table.slotColorInState(-1, 0), nullptr);
}

TEST_F(CViewColorTableTest, RawNamesPastTheRawColoursAndNegativeIndicesAreHarmless) {
    CViewColorTable table(CString("window"));
    table.setRootColors(&table);
    table.setPalette(palette);
    table.setColorName(4, CString("RAW"));   // named, but no raw colour was ever stored
    table.setRawColor(-2, nullptr);
    table.setColorName(-1, CString("X"));
    table.setSlotName(-1, CString("X"));
    EXPECT_EQ(table.colorNames().count(), 5);
    EXPECT_EQ(table.slotNames().count(), 1);
    EXPECT_EQ(table.getColor(4), &palette->fallbackColor());
    // Names 0 to 3 are empty (the prefix, empty too); name 4 looks nothing up. A slot name "RAW" is
    // an ordinary palette name.
    table.setSlotName(0, CString("RAW"));
    EXPECT_EQ(lookups(table), (std::vector<std::string>{"", "", "", "", "RAW", "Disabled", "DisabledText"}));
}

TEST_F(CViewColorTableTest, WithoutRootOrPaletteNothingResolves) {
    CViewColorTable orphan(CString("orphan"));
    CLogCapture log;
    EXPECT_EQ(orphan.getColor(0), nullptr);
    CViewColorTable root(CString("root"));
    root.setRootColors(&root);
    EXPECT_EQ(root.getColor(0), nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"RootColors IS NULL", "WRONG COLOR INDEX 0", "PALETTE IS NULL",
                                                     "WRONG COLOR INDEX 0"}));
}

TEST_F(CViewColorTableTest, SlotObjectsNameSlotsOfTheirParentView) {
    CView* window = beginWindow("window");
    ASSERT_EQ(takeError(), "");
    const struct {
        const char* name;
        Attrs attrs;
    } slots[] = {
        {"s2", {{"slot-index", "2"}, {"color", "PanelBorder"}, {"is-color-abs-path", "true"}}},
        {"s1", {{"slot-index", "1"}, {"color", "/PanelBorder"}}},
        {"s3", {{"slot-index", "3"}, {"color", "Glyph"}}},
        {"negative", {{"slot-index", "-1"}, {"color", "Glyph"}}},
    };
    for (const auto& s : slots) {
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(window->addChild(object, CString("ui:view-color-slot"), CString(s.name), false)), "");
        for (const auto& [key, value] : s.attrs) ASSERT_EQ(test::takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(object->init()), "") << s.name;
    }
    std::vector<std::string> names;
    for (int i = 0; i < window->colorTable()->slotNames().count(); ++i) names.push_back(text(window->colorTable()->slotNames()[i]));
    EXPECT_EQ(names, (std::vector<std::string>{"", "/PanelBorder", "/PanelBorder", "Glyph"}));
    CObject* loose = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(loose, CString("ui:view-color-slot"), CString("loose"), false)), "");
    EXPECT_EQ(test::takeMessage(loose->init()), "Parent object is not a view.");
    finish(window);
}

} // namespace
} // namespace tal
