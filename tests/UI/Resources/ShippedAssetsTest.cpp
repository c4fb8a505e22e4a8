// The shipped fonts and image sets as the build packs them: they read and write back byte for byte,
// hold what the editor relies on, and their specimen sheets match the reference images.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "Other/CLinearBitmap.h"
#include "SpecimenSheet.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

const char* const kFonts[] = {"base",  "base-bold", "base-super", "micro",   "micro-sm",
                              "micro-sm2", "small", "title",      "compact", "compact-super"};
const char* const kSets[] = {"button"};

std::string fontPath(const std::string& name) { return std::string(TAL_ASSET_DIR) + "/Gfx/Fonts/" + name + ".fnt"; }
std::string setPath(const std::string& name) { return std::string(TAL_ASSET_DIR) + "/Gfx/Imagesets/" + name + ".is"; }

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class Set>
std::unique_ptr<Set> loaded(const std::string& path) {
    auto set = std::make_unique<Set>();
    CError* err = set->load(CString(path.c_str()));
    EXPECT_EQ(err, nullptr) << path << ": " << joinErrorLines(err).narrowed().chars8();
    delete err;
    return set;
}

void expectWritesBack(const CImageSet& set, const std::string& path) {
    CByteBuffer written;
    ASSERT_EQ(set.saveToBuffer(written), nullptr);
    const std::vector<std::uint8_t> bytes = fileBytes(path);
    ASSERT_FALSE(bytes.empty()) << path;
    EXPECT_EQ(std::vector<std::uint8_t>(written.data(), written.data() + written.size()), bytes) << path;
}

TEST(ShippedAssets, EverySetAndFontWritesBackByteForByte) {
    for (const char* name : kFonts)
        expectWritesBack(*loaded<CFont>(fontPath(name)), fontPath(name));
    for (const char* name : kSets)
        expectWritesBack(*loaded<CImageSet>(setPath(name)), setPath(name));
}

TEST(ShippedAssets, FontsHoldTheirGlyphsAsCoverageLayersAtScaleTwo) {
    for (const char* name : kFonts) {
        SCOPED_TRACE(name);
        const auto font = loaded<CFont>(fontPath(name));
        EXPECT_GT(font->ascent(), font->descent());
        EXPECT_GT(font->descent(), 0.0);
        for (int code = 32; code <= 126; ++code)
            ASSERT_NE(font->image(code), nullptr) << code;
        for (const int code : {CFont::kFallbackGlyph, 228, 8364, 8710})
            ASSERT_NE(font->image(code), nullptr) << code;
        for (std::int32_t code = 0; code < font->imageCount(); ++code) {
            const CImage* glyph = font->image(code);
            if (glyph == nullptr)
                continue;
            ASSERT_EQ(glyph->layerCount(), 1) << code;
            const CImageLayer& layer = *glyph->layer(0);
            EXPECT_EQ(layer.channels(), 1) << code;
            EXPECT_EQ(layer.scale(), 2.0) << code;
            EXPECT_GT(layer.advance(), 0.0) << code;
            // Glyphs stand on the baseline: nothing reaches further below it than the descent allows.
            EXPECT_LE((layer.offsetY() + layer.height()) * layer.inverseScale(), font->descent() + 1.0) << code;
        }
        // Letters are drawn: "H" covers some pixels fully.
        const CImageLayer& h = *font->image('H')->layer(0);
        int full = 0;
        for (std::int32_t i = 0; i < h.blockSize(); ++i)
            full += h.block()[i] == 255 ? 1 : 0;
        EXPECT_GT(full, h.height());
    }
}

TEST(ShippedAssets, BaseAndTitleKeepTheirFixedMetrics) {
    const auto base = loaded<CFont>(fontPath("base"));
    EXPECT_EQ(std::vector<double>(base->metrics(), base->metrics() + 4), (std::vector<double>{14.5, 3.25, 3.0, 10.5}));
    EXPECT_EQ(base->image('A')->layer(0)->advance(), 19.75);
    EXPECT_EQ(base->image('A')->layer(0)->inverseScale(), 0.5);
    const auto title = loaded<CFont>(fontPath("title"));
    EXPECT_EQ(std::vector<double>(title->metrics(), title->metrics() + 4),
              (std::vector<double>{16.625, 4.75, 3.5, 12.5}));
}

TEST(ShippedAssets, ButtonSetHasItsNamedRanges) {
    const auto set = loaded<CImageSet>(setPath("button"));
    EXPECT_EQ(set->getRangeIndex(CString("")), 1);
    EXPECT_EQ(set->getRangeIndex(CString("ArrowSm")), 33);
    for (const char* range : {"", "ArrowSm", "ListArrow", "HR", "IconRMB", "IconCMD", "Color"}) {
        const auto* node = set->ranges().find(CString(range));
        ASSERT_NE(node, nullptr) << range;
        for (std::int32_t i = node->value.first; i <= node->value.last; ++i) {
            ASSERT_NE(set->image(i), nullptr) << range << " " << i;
            ASSERT_GT(set->image(i)->layerCount(), 0) << range << " " << i;
            EXPECT_EQ(set->image(i)->layer(0)->scale(), 2.0) << range << " " << i;
        }
    }
    EXPECT_EQ(set->image(0), nullptr);
}

// Specimen sheets through the framework's scaled copies and drawImage, against the stored PNGs.
// Small differences are allowed for a rasteriser or font update: a channel off by up to 16 in at
// most one pixel in 500.
void expectSheetMatches(const CLinearBitmap& sheet, const std::string& name) {
    ASSERT_GT(sheet.width(), 0);
    EXPECT_TRUE(matchesReference(sheet, "specimens/" + name, 16, std::int64_t(sheet.width()) * sheet.height() / 500));
}

TEST(ShippedAssets, FontSpecimensMatchTheirReferences) {
    for (const char* name : kFonts)
        for (const double scale : {1.0, 2.0}) {
            SCOPED_TRACE(name);
            CLinearBitmap sheet;
            delmaro_tool::renderFontSheet(*loaded<CFont>(fontPath(name)), scale, "", sheet);
            expectSheetMatches(sheet, std::string(name) + (scale == 1.0 ? "@1x" : "@2x"));
        }
}

TEST(ShippedAssets, ImageSetSpecimensMatchTheirReferences) {
    for (const char* name : kSets)
        for (const double scale : {1.0, 2.0}) {
            CLinearBitmap sheet;
            delmaro_tool::renderImageSetSheet(*loaded<CImageSet>(setPath(name)), scale, sheet);
            expectSheetMatches(sheet, std::string(name) + (scale == 1.0 ? "@1x" : "@2x"));
        }
}

} // namespace
} // namespace tal
