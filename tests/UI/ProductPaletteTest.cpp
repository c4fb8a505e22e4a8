// The product palette as the editor loads it: the compiled editor description with the default
// palette item applied. Its colour names, legibility, hover and band colours, the colour list, and
// its sheets against the reference pictures.

#include "Core/CByteBuffer.h"
#include "Core/CObject.h"
#include "Other/CColor.h"
#include "PaletteSheet.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicColorData.h"
#include "UI/CDynamicPalette.h"
#include "UI/CValueList.h"
#include "support/AppDataFolder.h"
#include "support/CEventTestTree.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace tal {
namespace {

using delmaro_tool::RgbImage;

// WCAG relative luminance of the colour itself (ramp entry 255).
double luminance(const CColor* color) {
    const std::uint8_t* rgb = color->tone(255);
    double l = 0.0;
    const double weights[3] = {0.2126, 0.7152, 0.0722};
    for (int c = 0; c < 3; ++c) {
        const double s = rgb[c] / 255.0;
        l += weights[c] * (s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
    }
    return l;
}

double contrast(const CColor* a, const CColor* b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class ProductPaletteTest : public ::testing::Test {
protected:
    void SetUp() override {
        CByteBuffer item;
        ASSERT_EQ(takeMessage(delmaro_tool::readDefaultPaletteItem(CString(TAL_DEFAULT_PALETTE_ITEM), item)), "");
        ASSERT_GT(item.size(), 0);
        ASSERT_EQ(takeMessage(delmaro_tool::loadPalette(CString(TAL_DEFAULT_UI_DESCRIPTION), item, root, palette)), "");
        ASSERT_NE(palette, nullptr);
    }
    void TearDown() override {
        if (root != nullptr)
            root->release();
    }
    const CColor* color(const char* name) { return palette->getColor(CString(name), 0.0); }

    test::AppDataFolder appData;   // the palette's cache goes to a temporary folder
    CObject* root = nullptr;
    CDynamicPalette* palette = nullptr;
};

TEST_F(ProductPaletteTest, EveryColourTheEditorNamesIsBuilt) {
    for (const char* name : {"Panel", "PanelText", "PanelBorder", "PanelGradient", "RealisticPanel",
                             "RealisticPanelGradient", "FlatPanels", "LargerPanelBorder", "MeterInnerBorder", "Action",
                             "Button", "Button_Active", "Button_ActiveHover", "ButtonABIndicator",
                             "ButtonABIndicator_Hover", "Selection", "Disabled", "DisabledText", "Border",
                             "LevelMeter", "Alarm", "Glyph", "Invisible"}) {
        EXPECT_NE(palette->findColor(CString(name)), nullptr) << name;
        EXPECT_NE(color(name), &palette->fallbackColor()) << name;
        EXPECT_TRUE(palette->findColor(CString(name))->isReady()) << name;
    }
    EXPECT_EQ(palette->findColor(CString("LevelMeter")), palette->findColor(CString("Border")));
    EXPECT_EQ(palette->findColor(CString("Alarm"))->colorData()->entryCount(), 16);
    EXPECT_TRUE(palette->findColor(CString("FlatPanels"))->isEnabled());
    EXPECT_FALSE(palette->findColor(CString("LargerPanelBorder"))->isEnabled());
}

TEST_F(ProductPaletteTest, TextIsLegibleOnThePanel) {
    EXPECT_GE(contrast(color("PanelText"), color("Panel")), 4.5);
    EXPECT_GE(contrast(color("DisabledText"), color("Panel")), 3.0);
    EXPECT_GE(contrast(color("ButtonText"), color("Button")), 4.5);
    EXPECT_GE(contrast(color("PanelText"), color("Panel_Hover")), 4.5);
    EXPECT_LT(contrast(color("DisabledText"), color("Panel")), contrast(color("PanelText"), color("Panel")));
}

TEST_F(ProductPaletteTest, HoverColoursAreBrighterAndBandColoursDistinct) {
    int hoverable = 0;
    for (int i = 0; i < palette->childCount(); ++i) {
        auto* c = dynamic_cast<CDynamicColor*>(palette->child(i));
        if (c == nullptr || c->colorData() == nullptr || !c->colorData()->hasHover())
            continue;
        ++hoverable;
        EXPECT_GT(luminance(c->colorData()->hoverColor()), luminance(c->colorData()->entry(0))) << text(c->name());
    }
    EXPECT_GE(hoverable, 10);
    for (int a = 1; a <= 8; ++a) {
        const std::string na = "Band" + std::to_string(a);
        const std::uint8_t* x = color(na.c_str())->tone(255);
        EXPECT_NE(color(na.c_str()), &palette->fallbackColor()) << na;
        for (int b = a + 1; b <= 8; ++b) {
            const std::string nb = "Band" + std::to_string(b);
            const std::uint8_t* y = color(nb.c_str())->tone(255);
            const double distance = std::hypot(x[0] - y[0], x[1] - y[1], x[2] - y[2]);
            EXPECT_GT(distance, 60.0) << na << " " << nb;
        }
    }
}

TEST_F(ProductPaletteTest, TheColourListStartsWithTheBaseColours) {
    auto* list = dynamic_cast<CValueList*>(palette->findChild(CString("color-list")));
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->itemCount(), 2);
    EXPECT_EQ(text(list->itemText(0)),
              "[N/A][IMG=is.button#Color:Invisible] [B]Base colors[/B][IMG=is.button#IconCMD:Invisible]");
    EXPECT_EQ(text(list->itemText(1)), "[IMG=is.button#Color:Border] Window border;Border");
    int titles = 0;
    for (int i = 0; i < list->itemCount(); ++i)
        titles += CValueList::isListItemEnabled(list->itemText(i)) ? 0 : 1;
    EXPECT_EQ(titles, 9);
}

// The sheets at both scales against the pictures looked at by eye: at most 2 per channel apart,
// and at most 0.1 % of the pixels beyond that.
TEST_F(ProductPaletteTest, SheetsMatchTheirReferences) {
    for (int scale : {1, 2}) {
        const RgbImage sheet = delmaro_tool::renderPaletteSheet(*palette, scale);
        const std::string path = std::string(TAL_PALETTE_REFERENCES) + "/palette-" + std::to_string(scale) + "x.png";
        if (const char* folder = std::getenv("TAL_PNG_DIR"))
            delmaro_tool::writePngRgb(std::string(folder) + "/palette-" + std::to_string(scale) + "x.png", sheet);
        RgbImage reference;
        ASSERT_TRUE(delmaro_tool::readPngRgb(path, reference)) << path;
        ASSERT_EQ(sheet.width, reference.width) << scale;
        ASSERT_EQ(sheet.height, reference.height) << scale;
        int differing = 0;
        for (std::size_t i = 0; i < sheet.pixels.size(); i += 3) {
            int delta = 0;
            for (int c = 0; c < 3; ++c)
                delta = std::max(delta, std::abs(int(sheet.pixels[i + c]) - int(reference.pixels[i + c])));
            differing += delta > 2 ? 1 : 0;
        }
        EXPECT_LE(differing, int(sheet.pixels.size() / 3 / 1000)) << scale;
        // The sheet is not one flat colour: the swatches stand out from the panel.
        int off = 0;
        for (std::size_t i = 3; i < sheet.pixels.size(); i += 3)
            off += sheet.pixels[i] != sheet.pixels[0] ? 1 : 0;
        EXPECT_GT(off, int(sheet.pixels.size() / 3 / 20)) << scale;
    }
}

} // namespace
} // namespace tal
