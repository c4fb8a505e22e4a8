#include "FontPacker.h"
#include "ImageSetPacker.h"

#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

namespace tal {
namespace {

void writeText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

const std::uint8_t* pixelOf(const CImageLayer& layer, int x, int y) {
    return layer.block() + (std::size_t(y) * std::size_t(layer.width()) + std::size_t(x)) * std::size_t(layer.channels());
}

TEST(ImageSetPacker, GreyArtKeepsToneAndAlphaAndColourArtItsChannels) {
    test::TempFolder folder;
    // Left half: white at half opacity; right half: opaque mid grey. A red square for colour.
    writeText(folder.file("grey.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='2' viewBox='0 0 4 2'>"
              "<rect id='a' x='0' y='0' width='2' height='2' fill='#ffffff' fill-opacity='0.5'/>"
              "<rect id='b' x='2' y='0' width='2' height='2' fill='#808080'/></svg>");
    writeText(folder.file("red.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='2' height='2' viewBox='0 0 2 2'>"
                                      "<rect width='2' height='2' fill='#ff0000'/></svg>");
    writeText(folder.file("set.set"), "# test\nscale 2\nrange \"\" 3 4\nrange Red 4 4\n"
                                      "image 3 4 2\nlayer 0 svg grey.svg grey\nlayer 1 svg grey.svg#b grey\n"
                                      "image 4 2 2\nlayer 2 svg red.svg colour\n"
                                      "image 5 8 2\nlayer 0 draw rule\n");
    CImageSet set;
    std::string error;
    ASSERT_TRUE(delmaro_tool::packImageSet(folder.file("set.set"), set, error)) << error;
    EXPECT_EQ(set.getRangeIndex(CString("")), 3);
    EXPECT_EQ(set.getRangeIndex(CString("Red")), 4);
    ASSERT_EQ(set.imageCount(), 6);

    const CImage& grey = *set.image(3);
    ASSERT_EQ(grey.layerCount(), 2);
    const CImageLayer& both = *grey.layer(0);
    EXPECT_EQ(both.width(), 8);
    EXPECT_EQ(both.height(), 4);
    EXPECT_EQ(both.scale(), 2.0);
    EXPECT_EQ(both.channels(), 2);
    EXPECT_EQ(pixelOf(both, 1, 1)[0], 255);   // white stays the full tone at any opacity
    EXPECT_NEAR(pixelOf(both, 1, 1)[1], 128, 1);
    EXPECT_NEAR(pixelOf(both, 6, 2)[0], 128, 1);
    EXPECT_EQ(pixelOf(both, 6, 2)[1], 255);
    const CImageLayer& onlyB = *grey.layer(1);   // the element "b" alone
    EXPECT_EQ(onlyB.colorIndex(), 1);
    EXPECT_EQ(pixelOf(onlyB, 1, 1)[1], 0);
    EXPECT_EQ(pixelOf(onlyB, 6, 2)[1], 255);

    const CImageLayer& red = *set.image(4)->layer(0);
    EXPECT_EQ(red.channels(), 4);
    EXPECT_EQ(red.colorIndex(), 2);
    const std::uint8_t* p = pixelOf(red, 1, 1);
    EXPECT_EQ(p[0], 0);     // blue
    EXPECT_EQ(p[2], 255);   // red
    EXPECT_EQ(p[3], 255);

    // The rule: opaque across the middle, fading to nothing at both ends.
    const CImageLayer& rule = *set.image(5)->layer(0);
    EXPECT_EQ(pixelOf(rule, 8, 1)[1], 255);
    EXPECT_LT(pixelOf(rule, 0, 1)[1], 64);
    EXPECT_LT(pixelOf(rule, 0, 1)[1], pixelOf(rule, 2, 1)[1]);
    EXPECT_LT(pixelOf(rule, 2, 1)[1], pixelOf(rule, 8, 1)[1]);
    EXPECT_EQ(pixelOf(rule, 15, 1)[1], pixelOf(rule, 0, 1)[1]);
}

TEST(ImageSetPacker, ErrorsNameTheLine) {
    test::TempFolder folder;
    const std::pair<const char*, const char*> cases[] = {
        {"image 1 4 4\nlayer 0 svg missing.svg grey\n", ":2: cannot read"},
        {"layer 0 draw rule\n", ":1: a layer needs an image before it"},
        {"image 1 4 4\nlayer 0 svg x.svg sepia\n", ":2: expected"},
        {"image 70000 4 4\n", ":1: image index out of range"},
        {"range A 1\n", ":1: not understood"},
        {"scale -1\n", ":1: the scale must be positive"},
    };
    for (const auto& [manifest, expected] : cases) {
        writeText(folder.file("bad.set"), manifest);
        CImageSet set;
        std::string error;
        EXPECT_FALSE(delmaro_tool::packImageSet(folder.file("bad.set"), set, error)) << manifest;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

TEST(FontPacker, GlyphsGetFractionalAdvancesTrackingAndRaise) {
    delmaro_tool::FontPackOptions options;
    options.faces = {"/usr/share/fonts/opentype/inter/Inter-Regular.otf",
                     "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"};
    options.size = 12.0;
    CFont plain;
    std::string error;
    ASSERT_TRUE(delmaro_tool::packFont(options, plain, error)) << error;
    options.tracking = 0.25;
    options.raise = 3.0;
    CFont moved;
    ASSERT_TRUE(delmaro_tool::packFont(options, moved, error)) << error;

    int fractional = 0;
    for (const int code : delmaro_tool::fontCharacterCodes()) {
        const CImage* a = plain.image(code);
        const CImage* b = moved.image(code);
        ASSERT_EQ(a == nullptr, b == nullptr) << code;
        if (a == nullptr)
            continue;
        const CImageLayer& la = *a->layer(0);
        const CImageLayer& lb = *b->layer(0);
        EXPECT_EQ(la.advance() * 64.0, std::floor(la.advance() * 64.0)) << code;   // kept to 1/64 pixel
        fractional += la.advance() != std::floor(la.advance()) ? 1 : 0;
        EXPECT_EQ(lb.advance(), la.advance() + 0.5) << code;   // tracking at scale 2
        EXPECT_EQ(lb.offsetY(), la.offsetY() - 6) << code;     // raised by 3 pixels at scale 2
        EXPECT_EQ(lb.width(), la.width()) << code;
    }
    EXPECT_GT(fractional, 50);
    ASSERT_NE(plain.image(CFont::kFallbackGlyph), nullptr);
    // Metrics from the face, to 1/8 pixel.
    EXPECT_GT(plain.ascent(), 10.0);
    EXPECT_EQ(plain.ascent() * 8.0, std::floor(plain.ascent() * 8.0));
}

TEST(FontPacker, MissingFaceOrBadSizeFails) {
    delmaro_tool::FontPackOptions options;
    options.faces = {"/nonexistent/face.otf"};
    CFont font;
    std::string error;
    EXPECT_FALSE(delmaro_tool::packFont(options, font, error));
    EXPECT_NE(error.find("/nonexistent/face.otf"), std::string::npos);
    options.faces = {"/usr/share/fonts/opentype/inter/Inter-Regular.otf"};
    options.size = 0.0;
    EXPECT_FALSE(delmaro_tool::packFont(options, font, error));
}

} // namespace
} // namespace tal
