// Caption text: measuring, glyph lists with inline images and shadows, alignment, markup errors,
// and pictures of the shipped font families.

#include "UI/CCaptionText.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "Other/CLinearBitmap.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/CLogCapture.h"
#include "support/CObjectTreeTest.h"
#include "support/CaptionTestHost.h"
#include "support/ReferenceImage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

// A glyph layer drawn at twice the resolution (inverse scale 0.5): a solid block of coverage.
CImageLayer* blockLayer(std::int32_t width, std::int32_t height, std::int32_t offsetY, double advance) {
    std::vector<std::uint8_t> pixels(std::size_t(width * height), 255);
    auto* layer = new CImageLayer;
    layer->init(0, width, height, 0, offsetY, 2.0, advance, 0, 0, 0, 1, -1, pixels.data(), 8);
    layer->encodeRuns(pixels.data(), 8);
    return layer;
}

void setGlyph(CImageSet& set, int code, CImageLayer* layer) {
    auto* image = new CImage;
    image->addLayer(layer);
    set.setImage(code, image);
}

class CaptionTextTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        if (CCreatorRegistry::instance().find(CString("font")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(kResourceCreatorTable), 0);
        }
        // The fixture font: "A" 19.75 layer pixels wide, every other printable code 12, the
        // fallback glyph 164 (16) and a wide code; ascent 10, descent 3 (unscaled).
        CFont font;
        for (int code = 32; code < 127; ++code)
            setGlyph(font, code, blockLayer(10, 16, -16, code == 'A' ? 19.75 : 12.0));
        setGlyph(font, CFont::kFallbackGlyph, blockLayer(12, 16, -16, 16.0));
        setGlyph(font, 8364, blockLayer(14, 16, -16, 18.0));
        font.setMetrics(10.0, 3.0, 0.0, 13.0);
        ASSERT_EQ(font.save(CString(folder.file("fixture.fnt").c_str())), nullptr);
        // A font without glyph 164.
        CFont plain;
        setGlyph(plain, 'x', blockLayer(10, 16, -16, 12.0));
        plain.setMetrics(10.0, 3.0, 0.0, 13.0);
        ASSERT_EQ(plain.save(CString(folder.file("plain.fnt").c_str())), nullptr);

        fixtureFont = addFont("fixture", folder.file("fixture.fnt"));
        plainFont = addFont("plain", folder.file("plain.fnt"));
        CObject* is = add(shared, "is");
        CObject* button = add(is, "button", "imageset");
        ASSERT_EQ(button->setAttr(CString("file"), CString(kButtonSet.c_str()), true), nullptr);
    }

    CFontObject* addFont(const char* name, const std::string& file) {
        auto* family = dynamic_cast<CFontObject*>(add(root, name, "font"));
        EXPECT_NE(family, nullptr);
        CObject* style = add(family, "regular");
        EXPECT_EQ(style->setAttr(CString("is-font-style"), CString("true"), true), nullptr);
        EXPECT_EQ(style->setAttr(CString("file"), CString(file.c_str()), true), nullptr);
        EXPECT_EQ(family->initChilds(), nullptr);
        EXPECT_NE(family->font(CFontObject::kRegular), nullptr);
        return family;
    }

    static const CImageLayer* rangeLayer(const char* range) {
        const CImage* image = CImageSetObject::findImage(CString("is.button"), CString(range), false);
        return image != nullptr ? image->layer(0) : nullptr;
    }
    const CImageLayer* glyphLayer(int code) const {
        return fixtureFont->font(CFontObject::kRegular)->image(code)->layer(0);
    }

    // A caption in the fixture font, sized by getSize, laid out in a box.
    CCaptionText caption(CCaptionTestHost& host, const char* text, double windowScale) {
        CCaptionText c;
        c.fontObject = fixtureFont;
        c.host = &host;
        c.scale = windowScale;
        c.text = CString(text);
        c.getSize(c.textWidth, c.textHeight, false);
        c.boxWidth = 200.0;
        c.boxHeight = 40.0;
        return c;
    }

    const std::string kButtonSet = std::string(TAL_ASSET_DIR) + "/Gfx/Imagesets/button.is";
    test::TempFolder folder;
    CFontObject* fixtureFont = nullptr;
    CFontObject* plainFont = nullptr;
};

TEST_F(CaptionTextTest, MeasuresTruncatedAdvancesAndRoundsOnlyTheLast) {
    struct Case { const char* text; bool precise; double width; };
    const Case cases[] = {{"A", true, 9.875}, {"A", false, 10.0}, {"AA", true, 18.875}, {"AA", false, 19.0}};
    CCaptionTestHost host(1.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.precise ? " precise" : ""));
        CCaptionText text = caption(host, c.text, 1.0);
        double width = -1.0, height = -1.0;
        text.getSize(width, height, c.precise);
        EXPECT_DOUBLE_EQ(width, c.width);
        EXPECT_DOUBLE_EQ(height, 13.0);
    }
}

TEST_F(CaptionTextTest, EmptyTextAndMissingFont) {
    CCaptionTestHost host(1.0);
    CCaptionText text = caption(host, "", 1.0);
    EXPECT_EQ(text.textWidth, 0.0);
    EXPECT_EQ(text.textHeight, 0.0);
    EXPECT_TRUE(text.buildGlyphList());
    EXPECT_EQ(text.glyphs.count(), 0);

    CCaptionText unset = caption(host, "AB", 1.0);
    ASSERT_TRUE(unset.buildGlyphList());
    ASSERT_EQ(unset.glyphs.count(), 2);
    unset.fontObject = nullptr;
    double width = -1.0, height = -1.0;
    unset.getSize(width, height, false);
    EXPECT_EQ(width, 0.0);
    EXPECT_EQ(height, 0.0);
    EXPECT_FALSE(unset.buildGlyphList());
    EXPECT_EQ(unset.glyphs.count(), 2);   // the list stays as it was
}

TEST_F(CaptionTextTest, ShadowAddsOutlineAndDiagonalPassesUnderTheText) {
    struct Case { double scale; std::vector<double> diagonals; };
    const Case cases[] = {{2.0, {0.75, 1.5}}, {1.4, {1.05}}, {1.0, {0.75}}, {0.4, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        CCaptionTestHost host(c.scale);
        CCaptionText text = caption(host, "AB", c.scale);
        text.shadowColorIndex = 1;
        ASSERT_TRUE(text.buildGlyphList());
        const int passes = 4 + int(c.diagonals.size()) + 1;
        ASSERT_EQ(text.glyphs.count(), 2 * passes);
        // The text pass last, in the text colour; every earlier pass in the shadow colour.
        const CCaptionText::CGlyphDraw& a = text.glyphs[2 * passes - 2];
        for (int i = 0; i < 2 * passes; ++i)
            EXPECT_EQ(host.requests[std::size_t(i)].color, &host.slots[i < 2 * (passes - 1) ? 1 : 0]) << i;
        std::vector<std::pair<double, double>> offsets = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
        for (double d : c.diagonals)
            offsets.emplace_back(d, d);
        for (std::size_t pass = 0; pass < offsets.size(); ++pass) {
            const CCaptionText::CGlyphDraw& g = text.glyphs[int(2 * pass)];
            EXPECT_EQ(g.x - a.x, std::lround(offsets[pass].first)) << pass;
            EXPECT_EQ(g.y - a.y, std::lround(offsets[pass].second)) << pass;
        }
    }
}

TEST_F(CaptionTextTest, ShadowWithoutColourIsLeftOutAndNoPaletteDrawsNothing) {
    CCaptionTestHost host(2.0);
    host.hasPalette = false;
    CCaptionText text = caption(host, "A[IMG=is.button#ArrowSm:Action]B", 2.0);
    text.shadowColorIndex = 1;
    ASSERT_TRUE(text.buildGlyphList());
    EXPECT_EQ(text.glyphs.count(), 0);
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(CaptionTextTest, AlignmentPlacesTheTextInItsBox) {
    struct Case { std::int32_t alignH, alignV; double gap, inset, scale; double expectX, expectTop; };
    // The box is 200 x 40 at (10, 20); the text of "AB" at scale s is w wide and 13 s high.
    const double w1 = 9.0 + 6.0, w2 = 19.0 + 12.0;
    const Case cases[] = {
        {-1, -1, 0, 0, 1.0, 10.0, 20.0},
        {0, 0, 0, 0, 1.0, 10.0 + (200.0 - w1) / 2.0, 20.0 + (40.0 - 13.0) / 2.0},
        {1, 1, 0, 0, 1.0, 210.0 - w1, 60.0 - 13.0},
        {1, -1, 4, 3, 2.0, 210.0 - w2 - 11.0, 20.0},   // ends 11 pixels before the right edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("align " + std::to_string(c.alignH) + "/" + std::to_string(c.alignV));
        CCaptionTestHost host(c.scale);
        CCaptionText text = caption(host, "AB", c.scale);
        text.boxLeft = 10.0;
        text.boxTop = 20.0;
        text.alignH = c.alignH;
        text.alignV = c.alignV;
        text.rightSideGap = c.gap;
        text.rightInset = c.inset;
        ASSERT_TRUE(text.buildGlyphList());
        ASSERT_EQ(text.glyphs.count(), 2);
        EXPECT_EQ(text.glyphs[0].x, std::lround(c.expectX));
        // The baseline sits an ascent below the top of the line box.
        EXPECT_EQ(text.glyphs[0].y, std::lround(c.expectTop + 10.0 * c.scale));
        const double end = text.glyphs[1].x + std::round(12.0 * 0.5 * c.scale);
        EXPECT_DOUBLE_EQ(end - text.glyphs[0].x, text.textWidth);
    }
}

TEST_F(CaptionTextTest, MarkupGivesGlyphsImagesAndErrors) {
    const CImageLayer* arrow = rangeLayer("ArrowSm");
    const CImageLayer* list = rangeLayer("ListArrow");
    ASSERT_NE(arrow, nullptr);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(arrow, list);
    struct Expect { const CImageLayer* layer; const char* palette; };   // palette null: text colour
    struct Case { const char* text; std::vector<Expect> draws; bool logs; };
    const Case cases[] = {
        {"A[IMG=is.button#ArrowSm]B", {{glyphLayer('A'), nullptr}, {arrow, nullptr}, {glyphLayer('B'), nullptr}}, false},
        {"[IMG=is.button#ListArrow:Action]", {{list, "Action"}}, false},
        {"[IMG=is.button#ListArrow]", {{list, nullptr}}, false},
        {"[bold]x", {{glyphLayer('x'), nullptr}}, true},
        {"[IMG=is.button", {}, true},
        {"x]y[IMG=is.button#ListArrow", {{glyphLayer('x'), nullptr}, {glyphLayer(']'), nullptr}, {glyphLayer('y'), nullptr}}, true},
        // A colon after the reference belongs to the text, not to the reference.
        {"[IMG=is.button#ArrowSm] Gain:", {{arrow, nullptr}, {glyphLayer(' '), nullptr}, {glyphLayer('G'), nullptr},
                                           {glyphLayer('a'), nullptr}, {glyphLayer('i'), nullptr},
                                           {glyphLayer('n'), nullptr}, {glyphLayer(':'), nullptr}}, false},
        {"[IMG=is.button#ArrowSm]-[IMG=is.button#ListArrow:Focus]", {{arrow, nullptr}, {glyphLayer('-'), nullptr},
                                                                      {list, "Focus"}}, false},
        {"\xa4\x01", {{glyphLayer(CFont::kFallbackGlyph), nullptr}, {glyphLayer(CFont::kFallbackGlyph), nullptr}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CCaptionTestHost host(1.0);
        host.palette.emplace("Action", CCaptionTestHost::solid(60, 150, 255));
        host.palette.emplace("Focus", CCaptionTestHost::solid(90, 170, 255));
        CLogCapture log;
        CCaptionText text = caption(host, c.text, 1.0);
        log.clear();
        ASSERT_TRUE(text.buildGlyphList());
        ASSERT_EQ(host.requests.size(), c.draws.size());
        for (std::size_t i = 0; i < c.draws.size(); ++i) {
            EXPECT_EQ(host.requests[i].layer, c.draws[i].layer) << i;
            const CColor* expected = c.draws[i].palette != nullptr ? &host.palette.at(c.draws[i].palette) : &host.slots[0];
            EXPECT_EQ(host.requests[i].color, expected) << i;
        }
        const std::vector<std::string> lines = log.lines();
        if (c.logs) {
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines[0], std::string("Errors in caption: ") + c.text);
        } else {
            EXPECT_TRUE(lines.empty());
        }
    }
}

TEST_F(CaptionTextTest, WideCodesAndMissingGlyphs) {
    CCaptionTestHost host(1.0);
    CCaptionText text = caption(host, "", 1.0);
    text.text.setUTF8("\xe2\x82\xac\xe2\x88\x86x");   // the euro sign (held), an increment sign (not held), x
    text.getSize(text.textWidth, text.textHeight, false);
    EXPECT_DOUBLE_EQ(text.textWidth, 9.0 + 8.0 + 6.0);
    ASSERT_TRUE(text.buildGlyphList());
    ASSERT_EQ(host.requests.size(), 3u);
    EXPECT_EQ(host.requests[0].layer, glyphLayer(8364));
    EXPECT_EQ(host.requests[1].layer, glyphLayer(CFont::kFallbackGlyph));
    // Without glyph 164 a missing code is skipped without advance.
    CCaptionTestHost plainHost(1.0);
    CCaptionText plain = caption(plainHost, "x?x", 1.0);
    plain.fontObject = plainFont;
    plain.getSize(plain.textWidth, plain.textHeight, false);
    EXPECT_DOUBLE_EQ(plain.textWidth, 12.0);
    ASSERT_TRUE(plain.buildGlyphList());
    ASSERT_EQ(plain.glyphs.count(), 2);
    EXPECT_EQ(plain.glyphs[1].x - plain.glyphs[0].x, 6);
}

TEST_F(CaptionTextTest, InlineImagesAreCentredInTheBoxWhateverTheAlignment) {
    const CImageLayer* arrow = rangeLayer("ArrowSm");
    ASSERT_NE(arrow, nullptr);
    for (std::int32_t alignV : {-1, 0, 1}) {
        SCOPED_TRACE(alignV);
        CCaptionTestHost host(2.0);
        CCaptionText text = caption(host, "[IMG=is.button#ArrowSm]", 2.0);
        text.boxTop = 5.0;
        text.alignV = alignV;
        ASSERT_TRUE(text.buildGlyphList());
        ASSERT_EQ(text.glyphs.count(), 1);
        const double imageHeight = (arrow->height() + arrow->extraHeight()) * 2.0 * arrow->inverseScale();
        EXPECT_EQ(text.glyphs[0].y, std::lround(5.0 + 20.0 - imageHeight / 2.0));
    }
}

// Drawing sector by sector gives the same pixels as one whole bitmap.
TEST_F(CaptionTextTest, SectorsDrawTheSamePixelsAsOneBitmap) {
    CCaptionTestHost host(2.0);
    CCaptionText text = caption(host, "AB[IMG=is.button#ArrowSm]xy", 2.0);
    text.shadowColorIndex = 1;
    text.boxLeft = 3.0;
    text.boxTop = 2.0;
    ASSERT_TRUE(text.buildGlyphList());
    CLinearBitmap whole;
    ASSERT_EQ(whole.setSize(96, 48, true), nullptr);
    text.draw(whole, 0, 0, CPixelRect{0, 0, 96, 48});
    CLinearBitmap tiled;
    ASSERT_EQ(tiled.setSize(96, 48, true), nullptr);
    const int tile = 32;
    for (int ty = 0; ty < 48; ty += tile / 2)
        for (int tx = 0; tx < 96; tx += tile) {
            CLinearBitmap sector;
            ASSERT_EQ(sector.setSize(tile, tile / 2, true), nullptr);
            text.draw(sector, tx, ty, CPixelRect{0, 0, tile, tile / 2});
            tiled.copyRectOffset(sector, tx, ty, CPixelRect{0, 0, tile, tile / 2});
        }
    int inked = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 96; ++x) {
            const std::uint8_t* a = whole.pixels() + y * whole.stride() + 4 * x;
            const std::uint8_t* b = tiled.pixels() + y * tiled.stride() + 4 * x;
            ASSERT_EQ(std::vector<std::uint8_t>(a, a + 3), std::vector<std::uint8_t>(b, b + 3)) << x << "," << y;
            inked += a[0] != 0 ? 1 : 0;
        }
    EXPECT_GT(inked, 200);
}

// Captions of every shipped family at 1x and 2x: left, centred and right in their boxes, with and
// without shadow, with inline icons tinted by the text colour and a palette colour.
TEST_F(CaptionTextTest, FamiliesPictureMatchesItsReference) {
    const char* const families[] = {"base", "micro", "micro-sm", "micro-sm2", "small", "title", "compact"};
    std::vector<CFontObject*> fonts;
    for (const char* family : families)
        fonts.push_back(addFont(family, std::string(TAL_ASSET_DIR) + "/Gfx/Fonts/" + family + ".fnt"));
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        CCaptionTestHost host(scale);
        host.palette.emplace("Action", CCaptionTestHost::solid(61, 155, 255));
        const std::int32_t rowHeight = std::int32_t(26 * scale), columnWidth = std::int32_t(180 * scale);
        CLinearBitmap bitmap;
        ASSERT_EQ(bitmap.setSize(3 * columnWidth, rowHeight * std::int32_t(std::size(families)), true), nullptr);
        const CColor panel = CCaptionTestHost::solid(27, 31, 37);
        const CColor plainBox = CCaptionTestHost::solid(36, 42, 50);
        const CColor shadowBox = CCaptionTestHost::solid(92, 104, 120);   // light enough to show the shadow
        bitmap.fillRect(CPixelRect{0, 0, bitmap.width(), bitmap.height()}, panel, 255, 1.0);
        std::vector<CCaptionText> captions;
        for (std::size_t row = 0; row < fonts.size(); ++row)
            for (std::int32_t column = 0; column < 3; ++column) {
                CCaptionText c;
                c.fontObject = fonts[row];
                c.host = &host;
                c.scale = scale;
                const char* const texts[] = {"Gain 3.5 dB [IMG=is.button#ArrowSm]", "[IMG=is.button#ListArrow:Action] Freq",
                                             "Q 0.71 \xe2\x82\xac \xc3\xa4"};
                c.text.setUTF8(texts[column]);
                c.alignH = column == 0 ? -1 : column == 1 ? 0 : 1;
                c.alignV = 0;
                c.shadowColorIndex = row % 2 == 0 ? 1 : -1;
                c.rightSideGap = 4.0;
                c.boxLeft = column * columnWidth + 4 * scale;
                c.boxTop = double(row) * rowHeight + 3 * scale;
                c.boxWidth = columnWidth - 8 * scale;
                c.boxHeight = rowHeight - 6 * scale;
                c.getSize(c.textWidth, c.textHeight, false);
                bitmap.fillRect(CPixelRect{std::int32_t(c.boxLeft), std::int32_t(c.boxTop), std::int32_t(c.boxWidth),
                                           std::int32_t(c.boxHeight)}, row % 2 == 0 ? shadowBox : plainBox, 255, 1.0);
                ASSERT_TRUE(c.buildGlyphList());
                captions.push_back(c);
            }
        for (const CCaptionText& c : captions)
            c.draw(bitmap, 0, 0, CPixelRect{0, 0, bitmap.width(), bitmap.height()});
        EXPECT_TRUE(matchesReference(bitmap, "captions/families@" + std::to_string(int(scale)) + "x", 2, 0));
    }
}

} // namespace
} // namespace tal
